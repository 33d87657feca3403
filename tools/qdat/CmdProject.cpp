// qdat project FILE [--csv|--json]: what a project file holds, read without
// changing anything: its signature and version, every data file it names
// (type, stored path, the path here, whether the file is there and whether
// its fingerprint still matches), the settings, the segments and the chain
// table.
//   qdat project FILE get KEY [--segment N]       a setting (by number or name)
//   qdat project FILE set KEY VALUE [--segment N] changes it and saves the project
//   qdat project FILE path TYPE FILE              names the data file of a type and saves
//   qdat project FILE upgrade --yes               backs the project up, then writes every
//                                                 data file and the project in the current version
//                                                 (files outside the project's folder only with
//                                                 --include-outside)
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include <qdat/exchange/Descriptions.h>
#include <qdat/host/HostFile.h>
#include <qdat/project/PrjFile.h>
#include <qdat/project/ProjectPaths.h>
#include "Inputs.h"
#include "Output.h"

namespace qdat::tool {
namespace {

struct ProjectOptions {
    std::string file;
    OutputOptions output;
    std::string key;
    std::string value;
    std::optional<int> segment;
    std::string type;
    std::string dataFile;
    bool yes = false;
    bool includeOutside = false;
};

bool IsNumber(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos && text.size() < 10;
}

const SettingKey& KeyOf(const std::string& text) {
    auto& keys = SettingKeyRegistry::Get();
    const SettingKey* key = IsNumber(text) ? keys.Find(std::stoul(text)) : keys.FindByName(text);
    if (!key) UsageError("no setting key " + text + " (give its number or its name)");
    return *key;
}

const DataType& TypeOf(const std::string& text) {
    auto& types = DataTypeRegistry::Get();
    const DataType* type = IsNumber(text) ? types.Find(std::stoul(text)) : types.FindByName(text);
    if (!type) UsageError("no data type " + text + " (qdat kinds lists them)");
    return *type;
}

int SegmentOf(const std::optional<int>& segment) {
    if (segment && (*segment < 0 || *segment >= PrjFile::kMaxSegments))
        UsageError("--segment " + std::to_string(*segment) + ": segments are numbered 0 to 8");
    return segment ? *segment : -1;
}

void PrintProject(const Json& j) {
    std::cout << "project: " << j["file"].get<std::string>() << "\n"
              << "signature: " << j["signature"].get<std::string>() << " (version " << j["version"]
              << ", current " << j["currentVersion"] << ")\n"
              << "files:\n";
    for (const Json& e : j["entries"]) {
        std::cout << "  " << e["typeId"] << " " << e["name"].get<std::string>() << ": "
                  << e["storedPath"].get<std::string>();
        if (e["resolvedPath"] != e["storedPath"]) std::cout << " -> " << e["resolvedPath"].get<std::string>();
        std::cout << (e["exists"].get<bool>() ? "" : "  (missing)");
        if (e["fingerprintMatches"].is_boolean())
            std::cout << (e["fingerprintMatches"].get<bool>() ? "  (unchanged)" : "  (changed since saved)");
        std::cout << "\n";
    }
    for (const Json& line : j["otherFileLines"]) std::cout << "  " << line.get<std::string>() << "\n";
    std::cout << "settings:\n";
    for (const Json& s : j["settings"])
        std::cout << "  " << s["key"] << " " << s["name"].get<std::string>() << " = "
                  << s["value"].get<std::string>() << "\n";
    for (const Json& line : j["otherSettingLines"]) std::cout << "  " << line.get<std::string>() << "\n";
    std::cout << "segments:\n";
    for (const Json& s : j["segments"]) {
        std::cout << "  " << s["index"] << ": ";
        if (s["start"].is_null())
            std::cout << "no range";
        else
            std::cout << ShortNumber(s["start"].get<double>()) << " to "
                      << ShortNumber(s["end"].get<double>());
        for (const Json& v : s["settings"])
            if (v["key"] != SettingKeyRegistry::kSegmentStart && v["key"] != SettingKeyRegistry::kSegmentEnd)
                std::cout << "; " << v["key"] << " " << v["name"].get<std::string>() << " = "
                          << v["value"].get<std::string>();
        std::cout << "\n";
    }
    const Json& chain = j["chainTable"];
    std::cout << "chain table: prefix \"" << chain["prefix"].get<std::string>() << "\", "
              << chain["breaks"].size() << " breaks\n";
    for (const Json& b : chain["breaks"])
        std::cout << "  " << ShortNumber(b["before"].get<double>()) << " = "
                  << ShortNumber(b["after"].get<double>()) << "\n";
}

int RunShow(const ProjectOptions& opt) {
    std::unique_ptr<PrjFile> project = LoadProject(opt.file);
    const Json j = ToJson(ProjectDescription(*project, ReadFileEnvelope(opt.file).signature));
    if (opt.output.json)
        std::cout << j.dump(2) << "\n";
    else if (opt.output.csv)
        PrintJsonAsCsv(j["entries"]);
    else
        PrintProject(j);
    return kExitOk;
}

int RunGet(const ProjectOptions& opt) {
    std::unique_ptr<PrjFile> project = LoadProject(opt.file);
    const SettingKey& key = KeyOf(opt.key);
    const int segment = SegmentOf(opt.segment);
    std::cout << (segment < 0 ? project->GetSetting(key.id) : project->GetSegmentSetting(segment, key.id))
              << "\n";
    return kExitOk;
}

// A project is changed only in the current version: saving an old one
// would write it as current and its data files would never be upgraded.
std::unique_ptr<PrjFile> LoadForChange(const std::string& path) {
    std::unique_ptr<PrjFile> project = LoadProject(path);
    if (project->GetFileVersion() < project->GetCurrentVersion())
        Fail(path + " is a project of version " + std::to_string(project->GetFileVersion()) +
             "; upgrade it first: qdat project " + path + " upgrade --yes");
    return project;
}

void Save(PrjFile& project) {
    HeldErrors held;
    if (!project.SaveProject()) Fail(held.Last(project.GetProjectPath() + " was not saved"));
}

int RunSet(const ProjectOptions& opt) {
    std::unique_ptr<PrjFile> project = LoadForChange(opt.file);
    const SettingKey& key = KeyOf(opt.key);
    const int segment = SegmentOf(opt.segment);
    bool set = false;
    if (segment < 0) {
        set = project->SetSetting(key.id, opt.value);
    } else {
        if (!key.IsPerSegment()) UsageError("key " + opt.key + " is no setting of a segment");
        set = project->EnsureSegment(segment) && project->SetSegmentSetting(segment, key.id, opt.value);
    }
    if (!set)
        Fail("key " + opt.key + " cannot be set to \"" + opt.value +
             "\" (a project file holds no \"[\" or line break in a value)");
    Save(*project);
    std::cout << key.id << " " << key.GetName() << " = "
              << (segment < 0 ? project->GetSetting(key.id) : project->GetSegmentSetting(segment, key.id))
              << "\n";
    return kExitOk;
}

int RunPath(const ProjectOptions& opt) {
    std::unique_ptr<PrjFile> project = LoadForChange(opt.file);
    const DataType& type = TypeOf(opt.type);
    // A path on a Windows drive is stored as it is; any other is taken from here.
    const std::string path = opt.dataFile.empty() || IsWindowsDrivePath(opt.dataFile)
                                 ? opt.dataFile
                                 : MakeAbsolutePath(opt.dataFile);
    if (!project->SetEntryPath(type.GetId(), path))
        Fail("\"" + opt.dataFile + "\" cannot stand in a project file");
    Save(*project);
    std::cout << type.GetId() << " " << type.GetName() << " = " << project->GetStoredEntryPath(type.GetId())
              << "\n";
    return kExitOk;
}

void PrintUpgrade(const ProjectUpgradeReport& r) {
    if (!r.backup.empty()) std::cout << "backup: " << r.backup << "\n";
    for (const std::string& path : r.upgraded) std::cout << "upgraded: " << path << "\n";
    for (const std::string& path : r.current) std::cout << "current: " << path << "\n";
    for (const std::string& path : r.missing) std::cout << "missing: " << path << "\n";
    for (const auto& [path, why] : r.leftAlone)
        std::cout << "left as it was: " << path << ": " << why << "\n";
    for (const auto& [path, why] : r.backupLeftOut)
        std::cout << "not in the backup: " << path << ": " << why << "\n";
}

int RunUpgrade(const ProjectOptions& opt) {
    if (!opt.yes)
        UsageError("the upgrade writes every data file of the project again (after a backup); give --yes");
    const std::string path = MakeAbsolutePath(opt.file);
    PrjFile project;
    project.AllowFilesOutsideFolder(opt.includeOutside);
    // An old project is backed up and upgraded as it opens, and written
    // back as current; a current one is upgraded on request.
    {
        HeldErrors held;
        if (!project.OpenProject(path)) Fail(held.Last(path + " was not opened"));
    }
    const bool wasOld = project.GetFileVersion() < project.GetCurrentVersion();
    ProjectUpgradeReport report = project.GetOpenUpgradeReport();
    bool done = true;
    if (!wasOld) done = project.UpgradeProjectFiles(&report);
    PrintUpgrade(report);
    if (!report.failure.empty()) {
        std::cout << "nothing was upgraded: " << report.failure << "\n";
        return kExitFailure;
    }
    if (wasOld) {
        const bool saved = !project.IsModified();
        std::cout << "project: " << (saved ? "written" : "NOT written") << " as version "
                  << project.GetCurrentVersion() << " (was " << project.GetFileVersion() << ")\n";
        done = saved && report.leftAlone.empty();
    } else if (report.backup.empty() && report.leftAlone.empty()) {
        std::cout << "project: every file is current\n";
    }
    return done ? kExitOk : kExitFailure;
}

std::function<int()> SetupProject(CLI::App& app) {
    auto opt = std::make_shared<ProjectOptions>();
    CLI::App* cmd =
        app.add_subcommand("project", "Show a project file, change its settings, upgrade its files");
    cmd->add_option("FILE", opt->file, "Project file (.prj)")->required();
    opt->output.AddTo(cmd, "Write the file entries as CSV", "Write JSON");
    cmd->require_subcommand(0, 1);

    CLI::App* get = cmd->add_subcommand("get", "Print a setting");
    get->add_option("KEY", opt->key, "Setting key: its number or its name")->required();
    get->add_option("--segment", opt->segment, "Segment 0 to 8 (default: the global value)");

    CLI::App* set = cmd->add_subcommand("set", "Change a setting and save the project");
    set->add_option("KEY", opt->key, "Setting key: its number or its name")->required();
    set->add_option("VALUE", opt->value, "The new value")->required();
    set->add_option("--segment", opt->segment, "Segment 0 to 8 (made when missing)");

    CLI::App* path = cmd->add_subcommand("path", "Name the data file of a type and save the project");
    path->add_option("TYPE", opt->type, "Data type: its id or its name (qdat kinds lists them)")->required();
    path->add_option("DATAFILE", opt->dataFile, "The data file (empty: none)")->required();

    CLI::App* upgrade = cmd->add_subcommand(
        "upgrade", "Back the project up, then write its data files and itself in the current version");
    upgrade->add_flag("--yes", opt->yes, "Do it (the files are written again)");
    upgrade->add_flag("--include-outside", opt->includeOutside,
                      "Also write the data files that lie outside the project's folder (by their path or "
                      "through a link)");

    cmd->footer(
        "Stored paths are relative to the project's folder, with \"\\\" between folders as on Windows; a "
        "path "
        "on a Windows drive cannot be found here and counts as missing. Segments are numbered 0 to 8.");
    return [opt, get, set, path, upgrade] {
        // The project opens under a context of its own: its chain table and
        // precision are set there.
        const FileOptions none;
        FileContext context(none);
        if (get->parsed()) return RunGet(*opt);
        if (set->parsed()) return RunSet(*opt);
        if (path->parsed()) return RunPath(*opt);
        if (upgrade->parsed()) return RunUpgrade(*opt);
        return RunShow(*opt);
    };
}

const CommandRegistration kRegistration{{"project", SetupProject}};

}  // namespace
}  // namespace qdat::tool
