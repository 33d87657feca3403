// QDocument: base of every data-file document. It replaces the framework's open
// and save pipeline: the signature names the kind and version, content goes
// through DataArchive, old files are written back at once in the current
// version, saving goes through a mirror file, and listeners are told of every
// open, save and close and may veto them.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <qdat/docbase/DataArchive.h>
#include <qdat/docbase/DocumentKind.h>
#include <qdat/docbase/PtrList.h>
#include <qdat/host/Export.h>
#include <qdat/host/HostDocument.h>

namespace qdat {

class File;

// Objects attached to a document to be told of its opens, saves and closes.
// The low 16 bits of GetInterfaceVersion are the interface version (at least
// 580 to be attached); bit 0x10000 announces OnEntryPathChanged, bit 0x20000
// the three setting operations (called by the project document only).
class QDAT_API DocumentListener {
public:
    static constexpr std::uint32_t kAnnouncesEntryPath = 0x10000;
    static constexpr std::uint32_t kAnnouncesSettings = 0x20000;

    virtual ~DocumentListener() = default;
    virtual std::uint32_t GetInterfaceVersion() = 0;
    virtual bool OnBeforeSave(const std::string& path) {
        (void)path;
        return true;
    }
    virtual void OnAfterSave(const std::string& path) { (void)path; }
    virtual bool OnBeforeOpen(const std::string& path) {
        (void)path;
        return true;
    }
    virtual void OnAfterOpen(const std::string& path) { (void)path; }
    virtual bool OnClose(const std::string& path) {
        (void)path;
        return true;
    }
    virtual void OnEntryPathChanged(int typeId) { (void)typeId; }
    virtual bool CanChangeSetting(int segment, int keyId, const std::string& newValue) {
        (void)segment;
        (void)keyId;
        (void)newValue;
        return true;
    }
    virtual bool CanChangeSettingFrom(int segment, int keyId, const void* value) {
        (void)segment;
        (void)keyId;
        (void)value;
        return true;
    }
    virtual void SettingChanged(int segment, int keyId, const std::string& oldValue) {
        (void)segment;
        (void)keyId;
        (void)oldValue;
    }
};

// What a document tells the project that lists it when it was saved under a path.
class QDAT_API ProjectOwner {
public:
    virtual ~ProjectOwner() = default;
    virtual void OnEntrySaved(int entryId, const std::string& path) = 0;
};

// The state block of a document: format flags, versions, listeners, owner.
// Concrete documents derive their own block and keep their content in it.
class QDAT_API DocumentData {
public:
    DocumentData() = default;
    virtual ~DocumentData() = default;
    DocumentData(const DocumentData&) = delete;
    DocumentData& operator=(const DocumentData&) = delete;

    virtual bool CanSave(const std::string& path);
    virtual void Saved(const std::string& path);
    virtual bool CanOpen(const std::string& path);
    virtual void Opened(const std::string& path);
    virtual bool Closing(const std::string& path);
    virtual bool IsContentModified() const { return false; }

    std::uint32_t FormatFlags = FormatFlag::NotLoading | FormatFlag::TextForm;
    std::uint32_t FileVersion = 0;
    std::uint32_t CurrentVersion = 0;
    BlockList<DocumentListener*> Listeners;
    ProjectOwner* OwnerProject = nullptr;
    std::int32_t ProjectEntryId = 0;
};

class QDAT_API QDocument : public HostDocument {
public:
    QDocument();
    explicit QDocument(std::unique_ptr<DocumentData> data);
    // A document of a described kind: the kind gives its run-time class, its
    // signatures, its current version and its type string (DocumentKind.h).
    explicit QDocument(const DocumentKind& kind, std::unique_ptr<DocumentData> data = nullptr);
    ~QDocument() override;

    // Framework operations.
    bool OnNewDocument() override;
    bool OnOpenDocument(const std::string& path) override;
    bool OnSaveDocument(const std::string& path) override;
    void OnCloseDocument() override;
    void SetTitle(const std::string& title) override;
    bool IsModified() const override;
    // Opens path through a mirror file; null on failure, with the reason in
    // *error when given.
    std::unique_ptr<File> GetFile(const std::string& path, unsigned openFlags, std::string* error = nullptr);
    void ReleaseFile(std::unique_ptr<File> file, bool abort);

    // The document's own operations.
    virtual int SerializeContent(DataArchive& ar);
    virtual bool ReadFromFile(File& file);
    virtual bool WriteToFile(File& file);
    virtual bool SaveLegacyCopy(const std::string& path);
    virtual bool WriteLegacyToFile(File& file);
    virtual void SetFilePath(const std::string& path);
    virtual bool SaveWithPrompt();
    virtual bool HasFilePath() const { return !m_pathName.empty(); }
    // The kind's signature for the document's variant flags; none without a kind.
    virtual std::string GetSignature();
    // Applies the kind's signature table: FileVersion and the flags of the
    // matching row (or of the unknown-signature row); true when the row
    // accepts the signature. It is compared trimmed and upper-cased.
    virtual bool ParseSignature(const std::string& signature);
    // The kind's document-type string; empty without a kind.
    virtual std::string GetTypeString();
    virtual bool NeedsRepair() { return false; }
    virtual bool Repair() { return false; }

    std::uint32_t GetFileVersion() const { return m_data->FileVersion; }
    std::uint32_t& FileVersionRef() { return m_data->FileVersion; }
    void SetFileVersion(std::uint32_t v) { m_data->FileVersion = v; }
    std::uint32_t GetCurrentVersion() const { return m_data->CurrentVersion; }
    std::uint32_t& CurrentVersionRef() { return m_data->CurrentVersion; }
    void SetCurrentVersion(std::uint32_t v) { m_data->CurrentVersion = v; }
    std::uint32_t GetFormatFlags() const { return m_data->FormatFlags; }
    std::uint32_t& FormatFlagsRef() { return m_data->FormatFlags; }
    void SetFormatFlags(std::uint32_t v) { m_data->FormatFlags = v; }

    bool IsTextForm() const { return TestFlag(FormatFlag::TextForm); }
    void SetTextForm(bool b) { SetFlag(FormatFlag::TextForm, b); }
    bool IsTaggedForm() const { return TestFlag(FormatFlag::TaggedForm); }
    void SetTaggedForm(bool b) { SetFlag(FormatFlag::TaggedForm, b); }
    bool IsScrambledForm() const { return TestFlag(FormatFlag::ScrambledForm); }
    void SetScrambledForm(bool b) { SetFlag(FormatFlag::ScrambledForm, b); }
    bool IsLegacyLayout() const { return TestFlag(FormatFlag::LegacyLayout); }
    void SetLegacyLayout(bool b) { SetFlag(FormatFlag::LegacyLayout, b); }
    // The variant (NZS, railway) a file was read in stays with the document,
    // so that every save writes the file back in it.
    bool IsNzsVariant() const { return TestFlag(FormatFlag::NzsVariant); }
    void SetNzsVariant(bool b) { SetFlag(FormatFlag::NzsVariant, b); }
    bool IsRailwayVariant() const { return TestFlag(FormatFlag::RailwayVariant); }
    void SetRailwayVariant(bool b) { SetFlag(FormatFlag::RailwayVariant, b); }
    int IsOpenComplete() const { return TestFlag(FormatFlag::NotLoading) ? 1 : 0; }

    // Whether the last read stopped early without failing (a damaged or cut
    // file whose first part was kept). Such a document is not written back
    // by the open, and a save over the file it came from asks first.
    bool WasReadPartly() const { return m_partialRead.has_value(); }
    // What was kept and where reading stopped; empty after a complete read.
    std::string GetPartialReadNote() const;

    void AddListener(DocumentListener* listener);
    void RemoveListener(DocumentListener* listener);
    bool RepairIfNeeded() { return NeedsRepair() ? Repair() : false; }
    std::string& GetTitleRef() { return m_title; }
    std::string& GetPathNameRef() { return m_pathName; }

    DocumentData& Data() { return *m_data; }
    const DocumentData& Data() const { return *m_data; }

    // Railway mode of the current context (host/Context.h): while it is on
    // every WriteToFile sets RailwayVariant before writing.
    static void SetRailwayMode(bool on);
    static bool GetRailwayMode();
    // The one-time notice of an old file version, armed again by the project
    // document each time it opens a project.
    static void ArmOldVersionNotice(bool armed = true);
    static bool IsOldVersionNoticeArmed();

    // Field `index` (from 0) of the newline-separated document-type string.
    static std::string TypeStringField(const std::string& typeString, int index);

    // The description of the document's kind; null for a document without one.
    const DocumentKind* GetKind() const { return m_kind; }

    static const RuntimeClass classRecord;
    const RuntimeClass& GetRuntimeClass() const override {
        return m_kind ? static_cast<const RuntimeClass&>(*m_kind) : classRecord;
    }

protected:
    // Called by SerializeContent when it stops reading early on purpose and
    // keeps what it read: `kept` says what that is ("12 of 40 sections").
    void NoteReadStoppedEarly(const DataArchive& ar, const std::string& kept);

    template <class T>
    T& DataAs() {
        return static_cast<T&>(*m_data);
    }
    template <class T>
    const T& DataAs() const {
        return static_cast<const T&>(*m_data);
    }

private:
    bool TestFlag(std::uint32_t bit) const { return (m_data->FormatFlags & bit) != 0; }
    void SetFlag(std::uint32_t bit, bool on) {
        if (on)
            m_data->FormatFlags |= bit;
        else
            m_data->FormatFlags &= ~bit;
    }

    // Asks the listeners, writes through a mirror file and reports any failure.
    bool WriteThroughMirror(const std::string& path, bool legacy);

    struct PartialRead {
        std::string path;  // absolute
        std::string kept;
        std::string where;
    };

    const DocumentKind* m_kind = nullptr;
    std::optional<PartialRead> m_partialRead;
    std::unique_ptr<DocumentData> m_data;
};

// Reading helpers for tools and tests: read a file into a document without the
// open pipeline (no notice, no repair question, no re-save).
QDAT_API bool ReadDocumentFile(QDocument& doc, const std::string& path);

}  // namespace qdat
