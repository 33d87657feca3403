// qdat bg FILE --at STATION... | --from A --to B --step S: ditch-bottom
// elevations interpolated at stations.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <qdat/auxdocs/QBgDoc.h>
#include "Tool.h"

namespace qdat::tool {
namespace {

struct BgOptions {
    std::string file;
    FileOptions fileOptions;
    StationOptions stations;
};

int RunBg(const BgOptions& opt) {
    if (opt.stations.Empty()) UsageError("give --at STATION... or --from A --to B --step S");
    auto bg = LoadDocumentOfKind<QBgDoc>(opt.file, opt.fileOptions, "a ditch-bottom file");
    for (const QStation& station : opt.stations.Collect()) {
        double elevation = 0.0;
        std::cout << ShortNumber(station.GetValue()) << "\t";
        if (bg->ElevationAtStation(station, elevation))
            std::cout << ShortNumber(elevation) << "\n";
        else
            std::cout << "none\n";
    }
    return kExitOk;
}

std::function<int()> SetupBg(CLI::App& app) {
    auto opt = std::make_shared<BgOptions>();
    CLI::App* cmd = app.add_subcommand("bg", "Ditch-bottom elevation at stations");
    cmd->add_option("FILE", opt->file, "Ditch-bottom file")->required();
    opt->stations.AddTo(cmd);
    opt->fileOptions.AddTo(cmd);
    return [opt] { return RunBg(*opt); };
}

const CommandRegistration kRegistration{{"bg", SetupBg}};

}  // namespace
}  // namespace qdat::tool
