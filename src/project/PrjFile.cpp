// PrjFile: the kind, the data block, and opening and saving. The project's
// other jobs have sources of their own: PrjFileText.cpp (the project file's
// text), PrjFileEntries.cpp (the data files and their documents),
// PrjFileSettings.cpp (settings, segments and the host's numbered values),
// PrjFileBackup.cpp and PrjFileUpgrade.cpp.
#include <qdat/project/PrjFile.h>

#include <unistd.h>

#include <algorithm>

#include <qdat/host/HostUi.h>
#include <qdat/host/Resources.h>
#include <qdat/project/ProjectPaths.h>
#include <qdat/project/detail/PrjFileShared.h>
#include <qdat/project/detail/ProjectStrings.h>

namespace qdat {

namespace {

using namespace prj_file;
namespace strings = project_strings;

// ---------------------------------------------------------------------------
// The kind

constexpr TypeString kTypeStrings[] = {
    // The project file stands for no data type of a project: group 0.
    {strings::kProjectFileType, 0, "Project|Design project\nProject\nProject\nProject files (*.prj)\n.prj"},
};

constexpr SignatureRule kSignatures[] = {
    {"RADUDAR6.00_PRJ_SHUJU", 600, 0, 0, SignatureUse::Written},
    {"RADUDAR5.83_PRJ_SHUJU", 583},
    {"RADUDAR5.8_PRJ_SHUJU", 580},
    {"QARO_CAD_PRJ_VERSION_55", 500},
};

ProjectData& DataOf(QDocument& doc) {
    return static_cast<ProjectData&>(doc.Data());
}

// The entries that name a file, as the content's list of files.
int FileCount(QDocument& doc) {
    const auto& entries = DataOf(doc).entries;
    return static_cast<int>(std::count_if(entries.begin(), entries.end(),
                                          [](const ProjectFileEntry& e) { return !e.storedPath.empty(); }));
}
void* FileRow(QDocument& doc, int index) {
    for (ProjectFileEntry& e : DataOf(doc).entries)
        if (!e.storedPath.empty() && index-- == 0) return &e;
    return nullptr;
}
int SettingCount(QDocument& doc) {
    const auto& values = DataOf(doc).globals;
    return static_cast<int>(
        std::count_if(values.begin(), values.end(), [](const SettingValue& v) { return !v.value.empty(); }));
}
void* SettingRow(QDocument& doc, int index) {
    for (SettingValue& v : DataOf(doc).globals)
        if (!v.value.empty() && index-- == 0) return &v;
    return nullptr;
}

constexpr ColumnDescription kFileColumns[] = {
    Column<&ProjectFileEntry::typeId>("typeId"),
    TextColumn<&ProjectFileEntry::storedPath>("path"),
};
constexpr ColumnDescription kSettingColumns[] = {
    Column<&SettingValue::keyId>("key"),
    TextColumn<&SettingValue::value>("value"),
};
constexpr ContentBlock kContent[] = {
    {"files", kFileColumns, FileCount, FileRow},
    {"settings", kSettingColumns, SettingCount, SettingRow},
};

}  // namespace

const DocumentKind PrjFile::classRecord{"PrjFile",
                                        &QDocument::classRecord,
                                        [] { return std::make_unique<PrjFile>(); },
                                        {.typeStrings = kTypeStrings,
                                         .currentVersion = kCurrentVersion,
                                         .signatures = kSignatures,
                                         .content = kContent,
                                         .textOnly = true,
                                         .fileName = "project file"}};

// ---------------------------------------------------------------------------
// The data block

void ProjectData::Saved(const std::string& path) {
    for (ProjectFileEntry& entry : entries) {
        QDocument* doc = entry.document.get();
        if (!doc || !doc->IsModified()) continue;
        const std::string name = doc->HasFilePath() ? doc->GetPathName() : doc->GetTitle();
        if (AskYesNo(FormatResource(strings::kSaveEntryDocument, name.c_str()))) doc->SaveWithPrompt();
    }
    DocumentData::Saved(path);
}

void ProjectData::Opened(const std::string& path) {
    if (FileVersion < CurrentVersion) m_project.UpgradeOnOpen();
    DocumentData::Opened(path);
}

bool ProjectData::IsContentModified() const {
    return std::any_of(entries.begin(), entries.end(),
                       [](const ProjectFileEntry& e) { return e.document && e.document->IsModified(); });
}

// ---------------------------------------------------------------------------
// Construction and contents

PrjFile::PrjFile() : QDocument(classRecord, std::make_unique<ProjectData>(*this)) {
    ResetContent();
}

PrjFile::~PrjFile() = default;

void PrjFile::ResetContent() {
    ProjectData& d = Project();
    d.entries.clear();
    for (const DataType* type : DataTypeRegistry::Get().All()) {
        ProjectFileEntry entry;
        entry.type = type;
        entry.typeId = type->GetId();
        d.entries.push_back(std::move(entry));
    }
    d.unknownFiles.clear();
    d.globals = ValuesOfKeys(false);
    d.unknownGlobals.clear();
    d.segments.clear();
    d.chainTable = ChainTable();
    for (auto& lines : d.unknownMapLines) lines.clear();
    EnsureSegment(0);
}

void PrjFile::DeleteContents() {
    // The maps keep their entries: other parts of the host put them there.
    ResetContent();
    ApplyProjectSettings();
}

// ---------------------------------------------------------------------------
// Opening and saving

bool PrjFile::OpenProject(const std::string& path) {
    ArmOldVersionNotice(true);
    m_openUpgrade = ProjectUpgradeReport();
    if (!OnOpenDocument(path)) return false;
    // A folder that cannot be entered leaves the current one: the project is open all the same.
    const std::string folder = GetProjectDir();
    if (!folder.empty()) [[maybe_unused]]
        const int moved = ::chdir(folder.c_str());
    return true;
}

bool PrjFile::ReadProject(const std::string& path) {
    if (!ReadDocumentFile(*this, path)) return false;
    SetFilePath(path);
    SetModifiedFlag(false);
    return true;
}

bool PrjFile::SaveProjectAs(const std::string& path) {
    return !path.empty() && OnSaveDocument(path);
}

bool PrjFile::SaveProject() {
    return HasFilePath() && OnSaveDocument(GetPathName());
}

std::string PrjFile::GetProjectPath() const {
    return m_pathName;
}

std::string PrjFile::GetProjectDir() const {
    return ProjectFolderOf(m_pathName);
}

}  // namespace qdat
