// qdat bg FILE --at STATION... | --from A --to B --step S [--csv | --json]:
// ditch-bottom elevations interpolated at stations. The table gives a line a
// station, the station and the elevation between tabs ("none" outside the
// file's stations); CSV and JSON give station and elevation (empty, null).
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <qdat/auxdocs/QBgDoc.h>
#include "Inputs.h"
#include "Output.h"

namespace qdat::tool {
namespace {

struct BgOptions {
    std::string file;
    FileOptions fileOptions;
    StationOptions stations;
    OutputOptions output;
};

int RunBg(const BgOptions& opt) {
    if (opt.stations.Empty()) UsageError("give --at STATION... or --from A --to B --step S");
    FileContext context(opt.fileOptions);
    auto bg = LoadDocumentOfKind<QBgDoc>(opt.file, context, "a ditch-bottom file");
    std::vector<Row> rows;
    for (const QStation& station : opt.stations.Collect()) {
        double elevation = 0.0;
        std::optional<double> found;
        if (bg->ElevationAtStation(station, elevation)) found = elevation;
        rows.push_back({Cell::Number(station.GetValue(), ShortNumber(station.GetValue())),
                        Cell::Number(found, found ? ShortNumber(*found) : std::string(), "none")});
    }
    PrintRows(opt.output, {{"station"}, {"elevation"}}, rows, TableStyle::Tabs);
    return kExitOk;
}

std::function<int()> SetupBg(CLI::App& app) {
    auto opt = std::make_shared<BgOptions>();
    CLI::App* cmd = app.add_subcommand("bg", "Ditch-bottom elevation at stations");
    cmd->add_option("FILE", opt->file, "Ditch-bottom file")->required();
    opt->stations.AddTo(cmd);
    opt->output.AddTo(cmd, "Comma-separated values: station, elevation", "JSON rows: station, elevation");
    opt->fileOptions.AddTo(cmd);
    return [opt] { return RunBg(*opt); };
}

const CommandRegistration kRegistration{{"bg", SetupBg}};

}  // namespace
}  // namespace qdat::tool
