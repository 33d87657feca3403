// The project's backup: the project file and the data files it names,
// packed into a cabinet (set).
#include <algorithm>
#include <cstring>
#include <ctime>
#include <filesystem>

#include <qdat/host/HostFile.h>
#include <qdat/host/HostUi.h>
#include <qdat/host/Resources.h>
#include <qdat/project/PrjFile.h>
#include <qdat/project/ProjectPaths.h>
#include <qdat/project/detail/PrjFileShared.h>
#include <qdat/project/detail/ProjectStrings.h>

namespace qdat {

namespace {

using Keys = SettingKeyRegistry;
using namespace prj_file;
namespace strings = project_strings;

std::string LocalTimeStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[64];
    return std::strftime(text, sizeof text, "(%Y-%m-%d-%H%M%S)", &local) ? text : "";
}

// The first cabinet of a set whose name is not taken yet: a second backup
// within the same second must not replace the first.
std::string FreeCabinetName(const std::string& wanted) {
    if (!FileExists(wanted)) return wanted;
    const std::string stem = wanted.substr(0, wanted.size() - 4);  // without ".cab"
    for (int n = 2;; ++n) {
        const std::string candidate = stem + "-" + std::to_string(n) + ".cab";
        if (!FileExists(candidate)) return candidate;
    }
}

// A project name as one file name in the project folder: the name is the
// user's free text ("Road A/B bypass", even "../elsewhere"), and neither a
// folder separator, a character Windows refuses in a file name, a control
// character nor a leading dot (a hidden file, or a way up) may reach the
// cabinet's path. Cut to leave room for the time stamp within a file name's
// 255 bytes, at a character's start.
std::string BackupNameOf(const std::string& projectName) {
    std::string name;
    for (const char c : projectName) {
        const auto u = static_cast<unsigned char>(c);
        const bool unsafe = u < 0x20 || u == 0x7F || std::strchr("/\\:*?\"<>|", c) != nullptr;
        name += unsafe ? '_' : c;
    }
    name.erase(0, std::min(name.find_first_not_of(". \t"), name.size()));
    constexpr std::size_t kLongest = 200;
    if (name.size() > kLongest) {
        std::size_t cut = kLongest;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
        name.resize(cut);
    }
    return name;
}

}  // namespace

std::string PrjFile::GetDefaultBackupName() {
    return GetProjectDir() + BackupNameOf(GetSetting(Keys::kProjectName)) + LocalTimeStamp() + ".cab";
}

bool PrjFile::BackupProject(const std::string& target, ProjectBackupResult* result,
                            const CabinetOptions& options) {
    return MakeBackup(target, result, options, true);
}

bool PrjFile::MakeBackup(const std::string& target, ProjectBackupResult* result,
                         const CabinetOptions& options, bool tellFailure) {
    ProjectBackupResult local;
    ProjectBackupResult& r = result ? *result : local;
    r = ProjectBackupResult();
    std::string path = target;
    if (path.empty()) {
        const SettingValue* name = GlobalValueOf(Keys::kProjectName);
        path = FreeCabinetName(GetProjectDir() + BackupNameOf(name ? name->value : std::string()) +
                               LocalTimeStamp() + ".cab");
    }
    // The cabinet takes the target's folder and name; its extension is ".cab" whatever the target's.
    const std::filesystem::path target_(path);
    const std::string folder = target_.parent_path().string();
    const std::string base = target_.stem().string();
    const std::string first =
        (folder.empty() ? std::string() : folder + "/") + CabinetWriter::CabinetName(base, 0);

    CabinetWriter writer(folder, base, options);
    if (!HasFilePath()) {
        r.error = "the project has no file yet";
    } else if (writer.AddFile(GetProjectPath())) {
        for (const std::string& file : FilesToPack(r.leftOut))
            if (!SameResolvedPath(file, GetProjectPath()) && !writer.AddFile(file)) break;
        writer.Finish();
    }
    if (r.error.empty()) r.error = writer.GetError();
    if (!r.error.empty()) {
        if (tellFailure) ShowError(FormatResource(strings::kBackupFailed, first.c_str(), r.error.c_str()));
        return false;
    }
    r.cabinets = writer.GetCabinetPaths();
    r.entries = writer.GetEntries();
    CurrentUi().ShowMessage(FormatResource(strings::kBackupDone, r.cabinets.front().c_str()),
                            MessageKind::Information, MessageButtons::Ok);
    if (!r.leftOut.empty()) {
        std::string list;
        for (const auto& [file, why] : r.leftOut) list += file + ": " + why + "\n";
        CurrentUi().ShowMessage(FormatResource(strings::kBackupLeftOut, list.c_str()), MessageKind::Warning,
                                MessageButtons::Ok);
    }
    return true;
}

std::vector<std::string> PrjFile::FilesToPack(std::vector<ProjectFileNote>& leftOut) const {
    // The files of the data types are the project's own, wherever they
    // lie; a line no data type knows may name any file at all.
    std::vector<std::string> files;
    const auto add = [&files](const std::string& path) {
        if (!ResolvedFileExists(path)) return false;
        for (const std::string& known : files)
            if (SameResolvedPath(known, path)) return false;
        return true;
    };
    for (const ProjectFileEntry& entry : Project().entries) {
        const std::string path = GetEntryPath(entry.typeId);
        if (add(path)) files.push_back(path);
    }
    for (const ProjectLine& line : Project().unknownFiles) {
        const std::string path = ResolveStoredPath(GetProjectDir(), line.value);
        if (!add(path)) continue;
        if (m_outsideFolder || LiesInsideFolder(GetProjectDir(), path))
            files.push_back(path);
        else if (std::none_of(leftOut.begin(), leftOut.end(),
                              [&](const ProjectFileNote& n) { return SameResolvedPath(n.first, path); }))
            leftOut.emplace_back(path, kOutsideFolder);
    }
    return files;
}

}  // namespace qdat
