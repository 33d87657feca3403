#include <qdat/docbase/QDocument.h>

#include <qdat/host/Context.h>
#include <qdat/host/HostFile.h>
#include <qdat/host/HostUi.h>
#include <qdat/host/Resources.h>

namespace qdat {

namespace {
constexpr std::uint32_t kFlagsAfterRead = FormatFlag::NotLoading | FormatFlag::TextForm;
// The variants a file is written in besides the plain one. They are the file's
// own: a railway or NZS file is written back as one, whoever saves it, and a
// plain file read into the same document is plain again.
constexpr std::uint32_t kFileVariants = FormatFlag::NzsVariant | FormatFlag::RailwayVariant;
constexpr std::uint32_t kMinimumListenerVersion = 580;
// Documents are read and written through a 64 KiB buffer: files of a million
// points take a few thousand system calls instead of tens of thousands.
constexpr int kDocumentBufferSize = 64 * 1024;

void Report(const std::exception& e) {
    if (const auto* host = dynamic_cast<const HostException*>(&e))
        host->ReportError();
    else
        ShowError(e.what());
}
}  // namespace

const RuntimeClass QDocument::classRecord{"QDocument", &HostDocument::classRecord,
                                          [] { return std::make_unique<QDocument>(); }};

// ---------------------------------------------------------------------------
// DocumentData: listeners are asked in list order; the first veto wins.

bool DocumentData::CanSave(const std::string& path) {
    for (auto pos = Listeners.GetHeadPosition(); pos;)
        if (!Listeners.GetNext(pos)->OnBeforeSave(path)) return false;
    return true;
}

void DocumentData::Saved(const std::string& path) {
    for (auto pos = Listeners.GetHeadPosition(); pos;) Listeners.GetNext(pos)->OnAfterSave(path);
}

bool DocumentData::CanOpen(const std::string& path) {
    for (auto pos = Listeners.GetHeadPosition(); pos;)
        if (!Listeners.GetNext(pos)->OnBeforeOpen(path)) return false;
    return true;
}

void DocumentData::Opened(const std::string& path) {
    for (auto pos = Listeners.GetHeadPosition(); pos;) Listeners.GetNext(pos)->OnAfterOpen(path);
}

bool DocumentData::Closing(const std::string& path) {
    for (auto pos = Listeners.GetHeadPosition(); pos;)
        if (!Listeners.GetNext(pos)->OnClose(path)) return false;
    return true;
}

// ---------------------------------------------------------------------------

QDocument::QDocument() : m_data(std::make_unique<DocumentData>()) {}

QDocument::QDocument(std::unique_ptr<DocumentData> data) : m_data(std::move(data)) {
    if (!m_data) m_data = std::make_unique<DocumentData>();
}

QDocument::QDocument(const DocumentKind& kind, std::unique_ptr<DocumentData> data)
    : QDocument(std::move(data)) {
    m_kind = &kind;
    m_data->CurrentVersion = kind.GetCurrentVersion();
}

QDocument::~QDocument() = default;

void QDocument::SetRailwayMode(bool on) {
    Context::Current().railwayMode = on;
}
bool QDocument::GetRailwayMode() {
    return Context::Current().railwayMode;
}
void QDocument::ArmOldVersionNotice(bool armed) {
    Context::Current().oldVersionNoticeArmed = armed;
}
bool QDocument::IsOldVersionNoticeArmed() {
    return Context::Current().oldVersionNoticeArmed;
}

std::string QDocument::TypeStringField(const std::string& typeString, int index) {
    std::size_t start = 0;
    for (int i = 0; i < index; ++i) {
        start = typeString.find('\n', start);
        if (start == std::string::npos) return {};
        ++start;
    }
    const std::size_t end = typeString.find('\n', start);
    return typeString.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

bool QDocument::OnNewDocument() {
    DeleteContents();
    m_pathName.clear();
    SetModifiedFlag(false);
    return true;
}

void QDocument::OnCloseDocument() {
    m_data->Closing(m_pathName);
    m_pathName.clear();
    HostDocument::OnCloseDocument();
}

void QDocument::SetTitle(const std::string& title) {
    m_title = title;
}

bool QDocument::IsModified() const {
    return m_data->IsContentModified() || m_modified;
}

std::unique_ptr<File> QDocument::GetFile(const std::string& path, unsigned openFlags, std::string* error) {
    auto file = std::make_unique<MirrorFile>();
    try {
        file->Open(path, openFlags);
    } catch (const FileException& e) {
        if (error) *error = e.GetErrorMessage();
        return nullptr;
    }
    return file;
}

void QDocument::ReleaseFile(std::unique_ptr<File> file, bool abort) {
    if (!file) return;
    if (abort)
        file->Abort();
    else
        file->Close();
}

int QDocument::SerializeContent(DataArchive& ar) {
    return ar.IsStoring() ? 1 : 0;
}

std::string QDocument::GetSignature() {
    return m_kind ? std::string(m_kind->WrittenSignature(m_data->FormatFlags)) : std::string();
}

bool QDocument::ParseSignature(const std::string& signature) {
    if (!m_kind) {
        m_data->FileVersion = 0;
        return false;
    }
    const SignatureRule& rule = m_kind->RuleFor(NormalizeSignature(signature));
    m_data->FileVersion = rule.fileVersion;
    m_data->FormatFlags = (m_data->FormatFlags & ~rule.clear) | rule.set;
    return rule.IsAccepted();
}

std::string QDocument::GetTypeString() {
    return m_kind && m_kind->GetTypeStringId() ? LoadResourceString(m_kind->GetTypeStringId())
                                               : std::string();
}

// ---------------------------------------------------------------------------
// Open and read

bool QDocument::OnOpenDocument(const std::string& path) {
    if (path.empty()) {
        const std::string type = GetTypeString();
        FileDialogRequest request;
        request.filters.push_back({type, std::string("*").append(TypeStringField(type, 4))});
        request.defaultExtension = TypeStringField(type, 4);
        auto chosen = CurrentUi().ChooseOpenFile(request);
        if (!chosen || chosen->empty()) return false;
        return OnOpenDocument(*chosen);
    }
    if (!m_data->CanOpen(path)) return false;
    std::string error;
    auto file = GetFile(path, File::ModeRead | File::ShareDenyWrite, &error);
    if (!file) {
        ShowError(error);
        return false;
    }
    SetModifiedFlag(true);
    m_data->FormatFlags &= ~FormatFlag::NotLoading;
    if (!ReadFromFile(*file)) {
        m_data->FormatFlags |= FormatFlag::NotLoading;
        ReleaseFile(std::move(file), true);
        return false;
    }
    try {
        ReleaseFile(std::move(file), false);
        SetModifiedFlag(m_data->FileVersion < m_data->CurrentVersion);
        SetFilePath(path);
        if (NeedsRepair()) {
            const std::string question = FormatResource(9, path.c_str());
            if (AskYesNo(question) && Repair()) SetModifiedFlag(true);
        }
    } catch (const HostException& e) {
        e.ReportError();
    }
    m_data->FormatFlags |= FormatFlag::NotLoading;
    m_data->Opened(path);
    // An old or repaired file is written back at once in the current version;
    // not one read only in part, whose rest would be lost.
    if (IsModified() && !WasReadPartly()) OnSaveDocument(path);
    return true;
}

bool QDocument::ReadFromFile(File& file) {
    DeleteContents();
    m_pathName.clear();
    m_partialRead.reset();
    m_data->FormatFlags &= ~kFileVariants;
    try {
        DataArchive ar(&file, DataArchive::Load | DataArchive::NoFlushOnDelete, kDocumentBufferSize, nullptr,
                       this);
        if (m_data->FileVersion < m_data->CurrentVersion && Context::Current().oldVersionNoticeArmed &&
            !(m_data->FormatFlags & FormatFlag::NotLoading)) {
            CurrentUi().ShowMessage(FormatResource(263, file.GetFileName().c_str()), MessageKind::Information,
                                    MessageButtons::Ok);
            Context::Current().oldVersionNoticeArmed = false;
        }
        if (!SerializeContent(ar))
            ar.ThrowError(QArchiveException::GenericError, "the document did not take the content");
        // Content after what the document took (beyond its counts, after its
        // closing line) is content all the same: the read was partial, and
        // writing the document back would drop the rest.
        if (!m_partialRead && !ar.AtEnd()) NoteReadStoppedEarly(ar, "the records before it");
        ar.Close();
    } catch (const std::exception& e) {
        // The header, the signature or the content is unreadable: nothing of it stays.
        DeleteContents();
        m_partialRead.reset();
        Report(e);
        return false;
    }
    if (m_partialRead)
        CurrentUi().ShowMessage(GetPartialReadNote(), MessageKind::Warning, MessageButtons::Ok);
    m_data->FormatFlags = kFlagsAfterRead | (m_data->FormatFlags & kFileVariants);
    return true;
}

// ---------------------------------------------------------------------------
// Save and write

void QDocument::NoteReadStoppedEarly(const DataArchive& ar, const std::string& kept) {
    const long long position = ar.GetPosition();
    m_partialRead =
        PartialRead{MakeAbsolutePath(ar.GetFileName()), kept,
                    ar.IsTextForm() ? FormatResource(2010, position) : FormatResource(2011, position)};
}

std::string QDocument::GetPartialReadNote() const {
    if (!m_partialRead) return {};
    return FormatResource(2020, m_partialRead->path.c_str(), m_partialRead->kept.c_str(),
                          m_partialRead->where.c_str());
}

bool QDocument::OnSaveDocument(const std::string& path) {
    if (m_partialRead && MakeAbsolutePath(path) == m_partialRead->path &&
        !AskYesNo(FormatResource(2021, m_partialRead->path.c_str())))
        return false;
    SetTextForm(true);
    SetTaggedForm(false);
    SetScrambledForm(false);
    SetLegacyLayout(false);
    if (!WriteThroughMirror(path, false)) return false;
    m_partialRead.reset();  // the document is now the whole of the file it was saved to
    SetModifiedFlag(false);
    SetTitle(FileTitleOf(path));
    SetFilePath(path);
    m_data->Saved(path);
    if (m_data->OwnerProject) m_data->OwnerProject->OnEntrySaved(m_data->ProjectEntryId, m_pathName);
    return true;
}

bool QDocument::WriteThroughMirror(const std::string& path, bool legacy) {
    if (!m_data->CanSave(path)) return false;
    std::string error;
    auto file = GetFile(path, File::ModeCreate | File::ModeReadWrite | File::ShareExclusive, &error);
    if (!file) {
        ShowError(error);
        return false;
    }
    try {
        if (!(legacy ? WriteLegacyToFile(*file) : WriteToFile(*file))) {
            ReleaseFile(std::move(file), true);
            return false;
        }
        // Closing the mirror file replaces the target; if that fails the old
        // file is still in place and the save has failed.
        ReleaseFile(std::move(file), false);
    } catch (const std::exception& e) {
        if (file) ReleaseFile(std::move(file), true);
        Report(e);
        return false;
    }
    return true;
}

bool QDocument::WriteToFile(File& file) {
    if (Context::Current().railwayMode) SetRailwayVariant(true);
    if (m_kind && m_kind->IsTextOnly()) {
        // A kind whose content can only be found again by looking at the
        // tokens is written in text form whatever form was asked for (a
        // legacy copy included: such a kind has no older layout).
        m_data->FormatFlags =
            (m_data->FormatFlags & ~(FormatFlag::FormBits | FormatFlag::LegacyLayout)) | FormatFlag::TextForm;
    }
    DataArchive ar(&file, DataArchive::Store | DataArchive::NoFlushOnDelete, kDocumentBufferSize, nullptr,
                   this);
    if (!SerializeContent(ar))
        ar.ThrowError(QArchiveException::GenericError, "the document did not write its content");
    ar.Close();
    // The file keeps its fixed decimal places; the user hears what that cost.
    if (const int rounded = ar.GetRoundedCount())
        CurrentUi().ShowMessage(FormatResource(2022, file.GetFileName().c_str(), rounded),
                                MessageKind::Warning, MessageButtons::Ok);
    return true;
}

bool QDocument::SaveLegacyCopy(const std::string& path) {
    if (!WriteThroughMirror(path, true)) return false;
    SetModifiedFlag(false);
    m_data->Saved(path);
    return true;
}

bool QDocument::WriteLegacyToFile(File& file) {
    const std::uint32_t remembered = m_data->FormatFlags;
    // The document's own form flags come back whether the write succeeds or not,
    // so a failed legacy copy cannot turn later saves into legacy writes.
    struct Restore {
        DocumentData& data;
        std::uint32_t flags;
        ~Restore() { data.FormatFlags = flags; }
    } restore{*m_data, remembered};
    SetTextForm(false);
    SetTaggedForm(false);
    SetScrambledForm(false);
    SetLegacyLayout(true);
    return WriteToFile(file);
}

void QDocument::SetFilePath(const std::string& path) {
    m_pathName = MakeAbsolutePath(path);
    const std::string title = FileTitleOf(m_pathName);
    if (!title.empty() && title.size() < 256) SetTitle(title);
    if (GetViewCount() > 0) CurrentUi().AddRecentFile(m_pathName);
}

bool QDocument::SaveWithPrompt() {
    if (!IsModified()) return true;
    if (!m_pathName.empty()) return OnSaveDocument(m_pathName);
    const std::string type = GetTypeString();
    const std::string filterName = TypeStringField(type, 3);
    const std::string extension = TypeStringField(type, 4);
    std::string proposed = m_title.substr(0, m_title.find_first_of(" #%;/\\"));
    if (!extension.empty()) proposed += extension;
    FileDialogRequest request;
    if (!filterName.empty() && !extension.empty()) {
        request.filters.push_back({filterName, std::string("*").append(extension)});
        request.defaultExtension = extension.substr(extension[0] == '.' ? 1 : 0);
    }
    request.filters.push_back({"All Files (*.*)", "*.*"});
    request.selectedFilter = 0;
    request.initialName = proposed.substr(0, 259);
    auto chosen = CurrentUi().ChooseSaveFile(request);
    if (!chosen || chosen->empty()) return false;
    return OnSaveDocument(*chosen);
}

// ---------------------------------------------------------------------------
// Listeners

void QDocument::AddListener(DocumentListener* listener) {
    if (!listener) return;
    if ((listener->GetInterfaceVersion() & 0xFFFF) < kMinimumListenerVersion) return;
    m_data->Listeners.AddTail(listener);
}

void QDocument::RemoveListener(DocumentListener* listener) {
    if (auto pos = m_data->Listeners.Find(listener)) m_data->Listeners.RemoveAt(pos);
}

bool ReadDocumentFile(QDocument& doc, const std::string& path) {
    File file;
    try {
        file.Open(path, File::ModeRead);
    } catch (const FileException& e) {
        e.ReportError();
        return false;
    }
    return doc.ReadFromFile(file);
}

}  // namespace qdat
