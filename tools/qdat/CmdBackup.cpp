// qdat backup FILE [-o OUT]: packs the project file and every data file it
// names into a cabinet (a set of cabinets when one would pass 128 MiB), at
// OUT or under the project's default backup name in its folder, and prints
// the cabinets and what they hold. A failed backup leaves no cabinet. The
// files that lines of the files section outside the data types name are
// packed only from inside the project's folder (--include-outside: from
// anywhere); the others are named and the backup exits 1.
#include <iostream>
#include <memory>
#include <string>

#include <qdat/host/HostFile.h>
#include <qdat/project/PrjFile.h>
#include "Inputs.h"
#include "Output.h"

namespace qdat::tool {
namespace {

struct BackupOptions {
    std::string file;
    std::string output;
    bool includeOutside = false;
};

int RunBackup(const BackupOptions& opt) {
    const FileOptions none;
    FileContext context(none);
    std::unique_ptr<PrjFile> project = LoadProject(opt.file);
    project->AllowFilesOutsideFolder(opt.includeOutside);
    ProjectBackupResult result;
    {
        HeldErrors held;
        if (!project->BackupProject(opt.output.empty() ? std::string() : MakeAbsolutePath(opt.output),
                                    &result))
            Fail(held.Last("the backup failed: " + result.error));
    }
    for (const std::string& cabinet : result.cabinets) std::cout << cabinet << "\n";
    for (const CabinetWriter::Entry& entry : result.entries) {
        std::cout << "  " << entry.name << "\t" << entry.size << "\t" << entry.sourcePath
                  << ((entry.attributes & 0x01) ? "\tread-only" : "") << "\n";
    }
    // A backup without every file the project names is not the whole project.
    for (const auto& [path, why] : result.leftOut) std::cout << "left out: " << path << ": " << why << "\n";
    if (!result.leftOut.empty()) {
        std::cerr << "qdat backup: " << result.leftOut.size()
                  << " file(s) the project names are not in the backup\n";
        return kExitFailure;
    }
    return kExitOk;
}

std::function<int()> SetupBackup(CLI::App& app) {
    auto opt = std::make_shared<BackupOptions>();
    CLI::App* cmd = app.add_subcommand("backup", "Pack a project and its data files into a cabinet");
    cmd->add_option("FILE", opt->file, "Project file (.prj)")->required();
    cmd->add_option("-o,--output", opt->output,
                    "The cabinet (its extension becomes .cab); default: the project's folder, its name and "
                    "the time, as (2024-05-01-130502)");
    cmd->add_flag("--include-outside", opt->includeOutside,
                  "Also pack the files outside the project's folder that lines of its files section name");
    return [opt] { return RunBackup(*opt); };
}

const CommandRegistration kRegistration{{"backup", SetupBackup}};

}  // namespace
}  // namespace qdat::tool
