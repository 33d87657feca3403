// qdat bg FILE --at STATION...: ditch-bottom elevations interpolated at
// stations (station text through the current chain table, plain metres when
// there are no chain breaks).
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "Tool.h"
#include "auxdocs/QBgDoc.h"
#include "host/HostException.h"
#include "station/QStation.h"

namespace qdat::tool {
namespace {

struct BgOptions {
    std::string file;
    std::string kind;
    std::vector<std::string> stations;
};

int RunBg(const BgOptions& opt) {
    auto bgDoc = LoadDocumentOfKind<QBgDoc>("bg", opt.file, opt.kind, "a ditch-bottom file");
    if (!bgDoc) return 1;
    QBgDoc* bg = bgDoc.get();
    int status = 0;
    for (const std::string& text : opt.stations) {
        QStation station;
        try {
            station = text;
        } catch (const HostException& e) {
            std::cerr << "qdat bg: station " << text << ": " << e.GetErrorMessage() << "\n";
            status = 1;
            continue;
        }
        double elevation = 0.0;
        std::cout << ShortNumber(station.GetValue()) << "\t";
        if (bg->ElevationAtStation(station, elevation))
            std::cout << ShortNumber(elevation) << "\n";
        else
            std::cout << "none\n";
    }
    return status;
}

std::function<int()> SetupBg(CLI::App& app) {
    auto opt = std::make_shared<BgOptions>();
    CLI::App* cmd = app.add_subcommand("bg", "Ditch-bottom elevation at stations");
    cmd->add_option("FILE", opt->file, "Ditch-bottom file")->required();
    cmd->add_option("--at", opt->stations, "Stations")->required();
    cmd->add_option("--kind", opt->kind, "Document class for a file without a usable signature");
    return [opt] { return RunBg(*opt); };
}

const CommandRegistration kRegistration{{"bg", SetupBg}};

}  // namespace
}  // namespace qdat::tool
