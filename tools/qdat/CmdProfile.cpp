// qdat profile FILE --at STATION...
// qdat profile FILE --from A --to B --step S [--csv | --json]
// Design elevation and design grade of a vertical profile at stations. The
// table and CSV give the grade in per cent, JSON as rise over run; a station
// without a value shows an empty cell, or null in JSON.
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <qdat/profile/QZdmFile.h>
#include "InputFiles.h"
#include "Tool.h"

namespace qdat::tool {
namespace {

struct ProfileOptions {
    std::string file;
    FileOptions fileOptions;
    StationOptions stations;
    OutputOptions output;
};

struct Row {
    double station;
    double elevation;
    double grade;
};

std::string Fixed(double value, const char* format) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, value);
    return buf;
}

bool HasValue(double v) {
    return v != QZdmFile::kNoValue;
}

void PrintTable(const std::vector<Row>& rows) {
    std::printf("%12s %12s %9s\n", "station", "elevation", "grade %");
    for (const Row& r : rows) {
        std::printf("%12s %12s %9s\n", ShortNumber(r.station).c_str(),
                    HasValue(r.elevation) ? Fixed(r.elevation, "%.4f").c_str() : "",
                    HasValue(r.grade) ? Fixed(r.grade * 100.0, "%.4f").c_str() : "");
    }
}

void PrintCsv(const std::vector<Row>& rows) {
    std::cout << "station,elevation,grade_percent\n";
    for (const Row& r : rows) {
        std::cout << ShortNumber(r.station) << "," << (HasValue(r.elevation) ? ShortNumber(r.elevation) : "")
                  << "," << (HasValue(r.grade) ? ShortNumber(r.grade * 100.0) : "") << "\n";
    }
}

void PrintJson(const std::vector<Row>& rows) {
    Json out = Json::array();
    for (const Row& r : rows) {
        out.push_back({{"station", r.station},
                       {"elevation", HasValue(r.elevation) ? Json(r.elevation) : Json()},
                       {"grade", HasValue(r.grade) ? Json(r.grade) : Json()}});
    }
    std::cout << out.dump(2) << "\n";
}

int RunProfile(const ProfileOptions& opt) {
    if (opt.stations.Empty()) UsageError("give --at STATION... or --from A --to B --step S");
    auto zdm = LoadProfile(opt.file, opt.fileOptions, "profile");
    const std::vector<QStation> stations = opt.stations.Collect();
    std::vector<Row> rows;
    rows.reserve(stations.size());
    for (const QStation& s : stations)
        rows.push_back({s.GetValue(), zdm->GetDesignElevation(s), zdm->GetDesignGrade(s)});
    opt.output.Print([&] { PrintTable(rows); }, [&] { PrintCsv(rows); }, [&] { PrintJson(rows); });
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
