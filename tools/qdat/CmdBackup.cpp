// qdat backup FILE [-o OUT]: packs the project file and every data file it
// names into a cabinet (a set of cabinets when one would pass 128 MiB), at
// OUT or under the project's default backup name in its folder, and prints
// the cabinets and what they hold. A failed backup leaves no cabinet.
#include <iostream>
#include <memory>
#include <string>

#include "Tool.h"
#include "host/HostFile.h"
#include "project/PrjFile.h"

namespace qdat::tool {
namespace {

struct BackupOptions {
    std::string file;
    std::string output;
};

int RunBackup(const BackupOptions& opt) {
    std::unique_ptr<PrjFile> project = LoadProject(opt.file);
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
    return kExitOk;
}

std::function<int()> SetupBackup(CLI::App& app) {
    auto opt = std::make_shared<BackupOptions>();
    CLI::App* cmd = app.add_subcommand("backup", "Pack a project and its data files into a cabinet");
    cmd->add_option("FILE", opt->file, "Project file (.prj)")->required();
    cmd->add_option("-o,--output", opt->output,
                    "The cabinet (its extension becomes .cab); default: the project's folder, its name and "
                    "the time, as (2024-05-01-130502)");
    return [opt] { return RunBackup(*opt); };
}

const CommandRegistration kRegistration{{"backup", SetupBackup}};

}  // namespace
}  // namespace qdat::tool
