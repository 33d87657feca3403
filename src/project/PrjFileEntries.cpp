// The project's data files: the path of each data type's file, its
// fingerprint, and its document, made and opened on the first request.
#include <algorithm>

#include <qdat/host/HostUi.h>
#include <qdat/host/Resources.h>
#include <qdat/project/PrjFile.h>
#include <qdat/project/ProjectPaths.h>
#include <qdat/project/detail/PrjFileShared.h>
#include <qdat/project/detail/ProjectStrings.h>

namespace qdat {

namespace {

using namespace prj_file;
namespace strings = project_strings;

template <class Entries>
auto FindEntryIn(Entries& entries, std::uint32_t typeId) -> decltype(&entries[0]) {
    const auto at = std::lower_bound(entries.begin(), entries.end(), typeId,
                                     [](const ProjectFileEntry& e, std::uint32_t t) { return e.typeId < t; });
    return at != entries.end() && at->typeId == typeId ? &*at : nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------
// Data files

ProjectFileEntry* PrjFile::EntryOf(std::uint32_t typeId) {
    return FindEntryIn(Project().entries, typeId);
}

const ProjectFileEntry* PrjFile::FindEntry(std::uint32_t typeId) const {
    return FindEntryIn(Project().entries, typeId);
}

std::string PrjFile::GetEntryPath(std::uint32_t typeId) const {
    const ProjectFileEntry* entry = FindEntry(typeId);
    return entry ? ResolveStoredPath(GetProjectDir(), entry->storedPath) : std::string();
}

std::string PrjFile::GetStoredEntryPath(std::uint32_t typeId) const {
    const ProjectFileEntry* entry = FindEntry(typeId);
    return entry ? entry->storedPath : std::string();
}

bool PrjFile::SetEntryPath(std::uint32_t typeId, const std::string& path) {
    ProjectFileEntry* entry = EntryOf(typeId);
    if (!entry || !IsWritableValue(path)) return false;
    const std::string trimmed = TrimValue(path);
    std::string effective;
    if (trimmed.empty() || (trimmed[0] != '/' && !IsWindowsDrivePath(trimmed))) {
        entry->storedPath = trimmed;
        effective = ResolveStoredPath(GetProjectDir(), trimmed);
    } else {
        entry->storedPath = IsWindowsDrivePath(trimmed) ? trimmed : MakeStoredPath(GetProjectDir(), trimmed);
        effective = trimmed;
    }
    if (QDocument* doc = entry->document.get()) {
        if (effective.empty()) {
            doc->OnCloseDocument();
            doc->OnNewDocument();
        } else if (!SameResolvedPath(doc->GetPathName(), effective)) {
            doc->OnCloseDocument();
            doc->OnOpenDocument(effective);
        }
    }
    SetModifiedFlag(true);
    ForListeners(Data(), DocumentListener::kAnnouncesEntryPath, [typeId](DocumentListener& l) {
        l.OnEntryPathChanged(static_cast<int>(typeId));
        return true;
    });
    return true;
}

void PrjFile::OnEntrySaved(int entryId, const std::string& path) {
    const ProjectFileEntry* entry = FindEntry(static_cast<std::uint32_t>(entryId));
    if (entry && SameResolvedPath(GetEntryPath(entry->typeId), path)) {
        SetModifiedFlag(true);  // the file's fingerprint changed with it
        return;
    }
    SetEntryPath(static_cast<std::uint32_t>(entryId), path);
}

bool PrjFile::IsEntryFileUnchanged(std::uint32_t typeId) {
    const ProjectFileEntry* entry = FindEntry(typeId);
    if (!entry || entry->storedPath.empty()) return false;
    const std::string path = GetEntryPath(typeId);
    Fingerprint now{};
    if (!ResolvedFileExists(path) || !ComputeFileFingerprint(path, now)) return false;
    return now == entry->fingerprint;
}

QDocument* PrjFile::GetEntryDocument(std::uint32_t typeId) {
    ProjectFileEntry* entry = EntryOf(typeId);
    if (!entry) return nullptr;
    if (entry->document) return entry->document.get();
    entry->document = entry->type->CreateDocument();
    QDocument* doc = entry->document.get();
    if (!doc) return nullptr;
    doc->Data().OwnerProject = this;
    doc->Data().ProjectEntryId = static_cast<std::int32_t>(typeId);
    const std::string path = GetEntryPath(typeId);
    if (path.empty()) {
        doc->OnNewDocument();
    } else if (IsWindowsDrivePath(path)) {
        // A file of another computer: the document stays empty.
        ShowError(FormatResource(strings::kDrivePathNotHere, path.c_str()));
        doc->OnNewDocument();
    } else {
        doc->OnOpenDocument(path);
    }
    return doc;
}

std::vector<std::string> PrjFile::GetExistingFiles() const {
    std::vector<std::string> files;
    const auto add = [&files](const std::string& path) {
        if (!ResolvedFileExists(path)) return;
        for (const std::string& known : files)
            if (SameResolvedPath(known, path)) return;
        files.push_back(path);
    };
    for (const ProjectFileEntry& entry : Project().entries) add(GetEntryPath(entry.typeId));
    for (const ProjectLine& line : Project().unknownFiles)
        add(ResolveStoredPath(GetProjectDir(), line.value));
    return files;
}

}  // namespace qdat
