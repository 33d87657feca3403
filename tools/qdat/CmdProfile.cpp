// qdat profile FILE --at STATION...
// qdat profile FILE --from A --to B --step S [--csv | --json]
// Design elevation and design grade of a vertical profile at stations. The
// table and CSV give the grade in per cent, JSON as rise over run; a station
// without a value shows an empty cell, or null in JSON.
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <qdat/profile/QZdmFile.h>
#include "Inputs.h"
#include "Output.h"

namespace qdat::tool {
namespace {

struct ProfileOptions {
    std::string file;
    FileOptions fileOptions;
    StationOptions stations;
    OutputOptions output;
};

// Elevations and grades to four decimals, as printf rounds them.
std::string FourPlaces(double value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.4f", value);
    return buf;
}

std::optional<double> ValueOf(double v) {
    if (v == QZdmFile::kNoValue) return std::nullopt;
    return v;
}

int RunProfile(const ProfileOptions& opt) {
    if (opt.stations.Empty()) UsageError("give --at STATION... or --from A --to B --step S");
    FileContext context(opt.fileOptions);
    auto zdm = LoadProfile(opt.file, context, "profile");
    const std::vector<QStation> stations = opt.stations.Collect();
    std::vector<Row> rows;
    rows.reserve(stations.size());
    for (const QStation& s : stations) {
        const std::optional<double> elevation = ValueOf(zdm->GetDesignElevation(s));
        const std::optional<double> grade = ValueOf(zdm->GetDesignGrade(s));
        const std::optional<double> percent = grade ? std::optional<double>(*grade * 100.0) : std::nullopt;
        rows.push_back({Cell::Number(s.GetValue(), ShortNumber(s.GetValue())),
                        Cell::Number(elevation, elevation ? FourPlaces(*elevation) : std::string()),
                        Cell::Shown(grade, percent, percent ? FourPlaces(*percent) : std::string())});
    }
    // The table and CSV give the grade in per cent, JSON as rise over run.
    PrintRows(opt.output, {{"station", 12}, {"elevation", 12}, {"grade", 9, "grade %", "grade_percent"}},
              rows);
    return kExitOk;
}

std::function<int()> SetupProfile(CLI::App& app) {
    auto opt = std::make_shared<ProfileOptions>();
    CLI::App* cmd =
        app.add_subcommand("profile", "Design elevation and grade of a vertical profile at stations");
    cmd->add_option("FILE", opt->file, "Vertical profile file")->required();
    opt->stations.AddTo(cmd);
    opt->output.AddTo(cmd, "Comma-separated values, grade in per cent", "JSON rows, grade as rise over run");
    opt->fileOptions.AddTo(cmd);
    return [opt] { return RunProfile(*opt); };
}

const CommandRegistration kRegistration{{"profile", SetupProfile}};

}  // namespace
}  // namespace qdat::tool
