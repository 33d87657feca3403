// PrjFile: the document of a design project. A project file names the data
// file of every kind that belongs to one road, holds the project's settings
// (global values, up to nine station segments with values of their own, the
// project's chain table, and three maps of numbered values the host keeps
// there), opens the document of a data kind on request, backs the project up
// into a cabinet, and upgrades every data file of an old project.
//
// Signatures: "RADUDAR6.00_PRJ_SHUJU" (600, written), "RADUDAR5.83_PRJ_SHUJU"
// (583), "RADUDAR5.8_PRJ_SHUJU" (580) and "QARO_CAD_PRJ_VERSION_55" (500); a
// project file is always text. Its body is a list of sections, each a header
// (a name holding "[" followed by the section's number) and "key = value"
// lines; lines the project does not understand are kept and written back.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <qdat/docbase/QDocument.h>
#include <qdat/host/Export.h>
#include <qdat/project/CabinetWriter.h>
#include <qdat/project/DataTypeRegistry.h>
#include <qdat/project/FileFingerprint.h>
#include <qdat/project/ProjectMap.h>
#include <qdat/project/SettingKeyRegistry.h>
#include <qdat/station/ChainTable.h>
#include <qdat/station/QStation.h>

namespace qdat {

class PrjFile;

// A line of a project file the project does not understand, kept as it was.
struct QDAT_API ProjectLine {
    std::string key;       // the text before "=", its number included
    std::string value;     // the text after "="
    bool hasValue = true;  // the line had "="
};

// The project's entry of one data type.
struct QDAT_API ProjectFileEntry {
    const DataType* type = nullptr;
    std::uint32_t typeId = 0;
    std::string storedPath;               // as the project file holds it; empty: no file of the kind
    std::unique_ptr<QDocument> document;  // made on the first request
    Fingerprint fingerprint{};
};

struct QDAT_API SettingValue {
    std::uint32_t keyId = 0;
    std::string value;
};

// A station segment: one value per per-segment key, and lines of its section
// the project does not understand.
struct QDAT_API ProjectSegment {
    std::vector<SettingValue> values;
    std::vector<ProjectLine> unknownLines;
};

// What gives the text of a setting for SetSettingFrom.
class QDAT_API SettingText {
public:
    virtual ~SettingText() = default;
    virtual std::string GetText() const = 0;
};

// A file the project names, with why it was left out or left alone.
using ProjectFileNote = std::pair<std::string, std::string>;

// What a backup wrote, or why it failed.
struct QDAT_API ProjectBackupResult {
    std::vector<std::string> cabinets;  // first to last
    std::vector<CabinetWriter::Entry> entries;
    // Files the project names that were not packed: the other lines of the
    // files section may name any file, and only those inside the project
    // folder are packed unless files outside it are allowed.
    std::vector<ProjectFileNote> leftOut;
    std::string error;  // empty after a backup made
};

// What an upgrade of the data files did.
struct QDAT_API ProjectUpgradeReport {
    std::string backup;                 // the first cabinet of the backup made before
    std::vector<std::string> upgraded;  // data files written in the current version
    std::vector<std::string> current;   // data files that were current already
    std::vector<std::string> missing;   // data files named that are not there
    // Data files left byte for byte as they were, each with the reason.
    std::vector<ProjectFileNote> leftAlone;
    std::vector<ProjectFileNote> backupLeftOut;  // files the backup did not pack
    // Why nothing was upgraded (the project was read only in part, or the
    // backup failed); empty otherwise.
    std::string failure;
};

// The project's data block: the pipeline's state and the project's content.
class QDAT_API ProjectData : public DocumentData {
public:
    explicit ProjectData(PrjFile& project) : m_project(project) {}

    // Saving the project first offers to save its modified documents.
    void Saved(const std::string& path) override;
    // An old project is backed up and its data files upgraded before the
    // listeners hear of the open.
    void Opened(const std::string& path) override;
    bool IsContentModified() const override;

    std::vector<ProjectFileEntry> entries;    // one per data type, by id
    std::vector<ProjectLine> unknownFiles;    // lines of the files section
    std::vector<SettingValue> globals;        // by key id
    std::vector<ProjectLine> unknownGlobals;  // lines of the global section
    std::vector<ProjectSegment> segments;     // 1 to 9
    ChainTable chainTable;
    ProjectMap<std::uint32_t, std::int32_t> ints;
    ProjectMap<std::uint32_t, double> reals;
    ProjectMap<std::int32_t, std::string> texts;
    std::array<std::vector<ProjectLine>, 3> unknownMapLines;  // lines of the map sections not read

private:
    PrjFile& m_project;
};

class QDAT_API PrjFile : public QDocument, public ProjectOwner {
public:
    static constexpr int kMaxSegments = 9;
    static constexpr std::uint32_t kCurrentVersion = 600;

    PrjFile();
    ~PrjFile() override;

    int SerializeContent(DataArchive& ar) override;
    void DeleteContents() override;

    // Opening and saving ------------------------------------------------
    // Arms the old-version notice and opens the project through the pipeline
    // (an old project is backed up and upgraded); on success the project's
    // folder becomes the current folder.
    bool OpenProject(const std::string& path);
    // Reads the project without the open pipeline: nothing is upgraded or
    // written, no question asked. For tools that only look.
    bool ReadProject(const std::string& path);
    bool SaveProjectAs(const std::string& path);
    bool SaveProject();
    std::string GetProjectPath() const;
    // The project's folder with its trailing "/"; empty without a path.
    std::string GetProjectDir() const;

    // Data files --------------------------------------------------------
    // The path of the entry's file here (Windows drive paths as stored);
    // empty when the type is not registered or the entry names no file.
    std::string GetEntryPath(std::uint32_t typeId) const;
    std::string GetStoredEntryPath(std::uint32_t typeId) const;
    // Names the entry's file: a relative path is taken against the project
    // folder and stored as given, an absolute one stored relative to the
    // folder. A path a project file cannot hold (a line break, "[") is
    // refused, as is an unregistered type.
    bool SetEntryPath(std::uint32_t typeId, const std::string& path);
    // Whether the entry's file is there and has the fingerprint recorded for it.
    bool IsEntryFileUnchanged(std::uint32_t typeId);
    // The entry's document, made and opened on the first request and owned by
    // the project; null for an unregistered type or one without a class.
    QDocument* GetEntryDocument(std::uint32_t typeId);
    const ProjectFileEntry* FindEntry(std::uint32_t typeId) const;
    const std::vector<ProjectFileEntry>& GetEntries() const { return Project().entries; }
    const std::vector<ProjectLine>& GetUnknownFileLines() const { return Project().unknownFiles; }
    // Every data file the project names and that is here, once each: the
    // entries' in type order, then those of the files section's other lines.
    std::vector<std::string> GetExistingFiles() const;

    // Settings ------------------------------------------------------------
    std::string GetSetting(std::uint32_t key);
    std::string GetSegmentSetting(int segment, std::uint32_t key) const;
    std::string GetSettingAtStation(const QStation& station, std::uint32_t key) const;
    bool SetSetting(std::uint32_t key, const std::string& value);
    bool SetSegmentSetting(int segment, std::uint32_t key, const std::string& value);
    bool SetSettingFrom(std::uint32_t key, const SettingText& value);
    bool SetSegmentSettingFrom(int segment, std::uint32_t key, const SettingText& value);
    int GetSegmentCount() const { return static_cast<int>(Project().segments.size()); }
    // Makes segments up to index (0 to 8), each with its values; false past 8.
    bool EnsureSegment(int segment);
    bool GetSegmentRange(int segment, QStation& start, QStation& end) const;
    bool SetSegmentRange(int segment, const QStation& start, const QStation& end);
    bool GetStartStation(QStation& station) const;
    bool GetEndStation(QStation& station) const;
    void ClearSegments();
    const ChainTable& GetChainTable() const { return Project().chainTable; }
    ChainTable& GetChainTable() { return Project().chainTable; }
    // The project's chain table becomes the current one, and its station
    // precision the process's.
    void ApplyProjectSettings() const;
    // The lines of the global section and of a segment's section the project
    // does not understand.
    const std::vector<ProjectLine>& GetUnknownGlobalLines() const { return Project().unknownGlobals; }
    const std::vector<SettingValue>& GetGlobalValues() const { return Project().globals; }
    const ProjectSegment* GetSegment(int segment) const;

    // Numbered values of the host ---------------------------------------
    bool SetInt(std::uint32_t key, std::int32_t value);
    bool GetInt(std::uint32_t key, std::int32_t& value) const;
    bool SetReal(std::uint32_t key, double value);  // a value that is not finite is refused
    bool GetReal(std::uint32_t key, double& value) const;
    bool SetText(std::int32_t key, const std::string& text);  // as SetSetting's values
    bool GetText(std::int32_t key, std::string& text) const;

    // Backup and upgrade --------------------------------------------------
    // Packs the project file and every data file it names that is here into
    // a cabinet (set) at target, or at the default name when target is
    // empty. The user is told the cabinet's path, or why there is none: a
    // failed backup leaves no cabinet.
    bool BackupProject(const std::string& target, ProjectBackupResult* result = nullptr,
                       const CabinetOptions& options = CabinetOptions());
    // The project folder, the project name made one safe file name, the
    // local time and ".cab".
    std::string GetDefaultBackupName();
    // Saves the project, applies its settings and writes every data file
    // that is not in the current version (or text form) again, after a
    // backup of the project; when the backup fails, or the project was read
    // only in part, no data file is touched. Only regular files that read as
    // their kind, inside the project folder, with no chain table of their own
    // other than the project's, are written; the others are named.
    bool UpgradeProjectFiles(ProjectUpgradeReport* report = nullptr);
    // Whether the upgrade may write data files outside the project folder
    // (by their stored path or through a link), and the backup pack the
    // files outside it that the other lines of the files section name. Off
    // unless the user asks: a project file from elsewhere could name any file.
    void AllowFilesOutsideFolder(bool allow) { m_outsideFolder = allow; }
    // What the upgrade when the project was opened did (empty when none ran).
    const ProjectUpgradeReport& GetOpenUpgradeReport() const { return m_openUpgrade; }

    void OnEntrySaved(int entryId, const std::string& path) override;

    static const DocumentKind classRecord;

private:
    friend class ProjectData;

    ProjectData& Project() { return DataAs<ProjectData>(); }
    const ProjectData& Project() const { return DataAs<ProjectData>(); }
    ProjectFileEntry* EntryOf(std::uint32_t typeId);
    SettingValue* GlobalValueOf(std::uint32_t key);
    SettingValue* SegmentValueOf(int segment, std::uint32_t key);
    const SettingValue* SegmentValueOf(int segment, std::uint32_t key) const;
    bool ChangeSetting(int segment, std::uint32_t key, const std::string& value, const SettingText* source);
    void ResetContent();

    // The project file's text.
    void ReadContent(DataArchive& ar);
    void WriteContent(DataArchive& ar);
    void RecordFingerprints();
    void RestoreFingerprints();

    bool MakeBackup(const std::string& target, ProjectBackupResult* result, const CabinetOptions& options,
                    bool tellFailure);
    // The files a backup packs besides the project file, once each; the
    // files it leaves out are added to leftOut.
    std::vector<std::string> FilesToPack(std::vector<ProjectFileNote>& leftOut) const;
    // The upgrade of the data files that writing would change, after a backup.
    bool UpgradeDataFiles(ProjectUpgradeReport& report);
    void UpgradeOnOpen();
    // True, with the reason in the report told to the user, when the project
    // was read only in part: then no data file is upgraded.
    bool RefuseUpgradeOfPartialRead(ProjectUpgradeReport& report);
    void TellUpgradeResult(const ProjectUpgradeReport& report, bool upgraded, bool tellDone);

    ProjectUpgradeReport m_openUpgrade;
    bool m_outsideFolder = false;
};

}  // namespace qdat
