// qdat profile FILE --at STATION...
// qdat profile FILE --from A --to B --step S [--csv | --json]
// Design elevation and design grade of a vertical profile at stations (station
// text through the current chain table, plain metres when there are no chain
// breaks). The table and CSV give the grade in per cent, JSON as rise over run;
// a station without a value shows an empty cell, or null in JSON.
#include <cmath>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Tool.h"
#include "host/HostException.h"
#include "profile/QZdmFile.h"
#include "station/QStation.h"

namespace qdat::tool {
namespace {

// More rows than anyone reads; a range beyond it is a mistyped step.
constexpr double kMaxRows = 10'000'000;

struct ProfileOptions {
    std::string file;
    std::string kind;
    std::vector<std::string> at;
    std::string from, to;
    double step = std::nan("");  // not given
    bool csv = false;
    bool json = false;
};

struct Row {
    double station;
    double elevation;
    double grade;
};

std::optional<QStation> ParseStation(const std::string& text) {
    QStation station;
    try {
        station = text;
    } catch (const HostException& e) {
        std::cerr << "qdat profile: station " << text << ": " << e.GetErrorMessage() << "\n";
        return std::nullopt;
    }
    if (!std::isfinite(station.GetValue())) {
        std::cerr << "qdat profile: station " << text << " is not a finite number\n";
        return std::nullopt;
    }
    return station;
}

std::string Fixed(double value, const char* format) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, value);
    return buf;
}

bool HasValue(double v) { return v != QZdmFile::kNoValue; }

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
        std::cout << ShortNumber(r.station) << "," << (HasValue(r.elevation) ? ShortNumber(r.elevation) : "") << ","
                  << (HasValue(r.grade) ? ShortNumber(r.grade * 100.0) : "") << "\n";
    }
}

void PrintJson(const std::vector<Row>& rows) {
    using Json = nlohmann::ordered_json;
    Json out = Json::array();
    for (const Row& r : rows) {
        out.push_back({{"station", r.station},
                       {"elevation", HasValue(r.elevation) ? Json(r.elevation) : Json()},
                       {"grade", HasValue(r.grade) ? Json(r.grade) : Json()}});
    }
    std::cout << out.dump(2) << "\n";
}

int RunProfile(const ProfileOptions& opt) {
    const bool range = !opt.from.empty() || !opt.to.empty() || !std::isnan(opt.step);
    if (opt.at.empty() && !range) {
        std::cerr << "qdat profile: give --at STATION... or --from A --to B --step S\n";
        return 2;
    }
    if (range && (opt.from.empty() || opt.to.empty() || std::isnan(opt.step))) {
        std::cerr << "qdat profile: --from, --to and --step go together\n";
        return 2;
    }

    std::vector<QStation> stations;
    for (const std::string& text : opt.at) {
        const auto s = ParseStation(text);
        if (!s) return 2;
        stations.push_back(*s);
    }
    if (range) {
        const auto from = ParseStation(opt.from);
        const auto to = ParseStation(opt.to);
        if (!from || !to) return 2;
        const double a = from->GetValue(), b = to->GetValue();
        if (!(opt.step > 0.0) || !std::isfinite(opt.step)) {
            std::cerr << "qdat profile: --step must be a positive number\n";
            return 2;
        }
        if (a > b) {
            std::cerr << "qdat profile: --from must not be after --to\n";
            return 2;
        }
        // Stations as from + i step, so that rounding does not pile up; the
        // end station is kept when the last step lands on it.
        const double count = std::floor((b - a) / opt.step * (1.0 + 1e-12)) + 1.0;
        if (!(count <= kMaxRows)) {
            std::cerr << "qdat profile: " << count << " stations are too many; use a larger --step\n";
            return 2;
        }
        for (long i = 0; i < static_cast<long>(count); ++i) stations.emplace_back(a + static_cast<double>(i) * opt.step);
    }

    auto zdmDoc = LoadDocumentOfKind<QZdmFile>("profile", opt.file, opt.kind, "a vertical profile");
    if (!zdmDoc) return 1;
    QZdmFile* zdm = zdmDoc.get();
    if (zdm->NeedsRepair()) {
        // Only in memory: the tool never rewrites the file.
        std::cerr << "qdat profile: " << opt.file << ": the points are not in station order; sorted for this run\n";
        zdm->Repair();
    }

    std::vector<Row> rows;
    rows.reserve(stations.size());
    for (const QStation& s : stations)
        rows.push_back({s.GetValue(), zdm->GetDesignElevation(s), zdm->GetDesignGrade(s)});
    if (opt.json)
        PrintJson(rows);
    else if (opt.csv)
        PrintCsv(rows);
    else
        PrintTable(rows);
    return 0;
}

std::function<int()> SetupProfile(CLI::App& app) {
    auto opt = std::make_shared<ProfileOptions>();
    CLI::App* cmd = app.add_subcommand("profile", "Design elevation and grade of a vertical profile at stations");
    cmd->add_option("FILE", opt->file, "Vertical profile file")->required();
    CLI::Option* at = cmd->add_option("--at", opt->at, "Stations");
    CLI::Option* from = cmd->add_option("--from", opt->from, "First station of a range");
    CLI::Option* to = cmd->add_option("--to", opt->to, "Last station of a range");
    CLI::Option* step = cmd->add_option("--step", opt->step, "Distance between the stations of a range, metres");
    at->excludes(from)->excludes(to)->excludes(step);
    CLI::Option* csv = cmd->add_flag("--csv", opt->csv, "Comma-separated values, grade in per cent");
    CLI::Option* json = cmd->add_flag("--json", opt->json, "JSON rows, grade as rise over run");
    csv->excludes(json);
    cmd->add_option("--kind", opt->kind, "Document class for a file without a usable signature");
    return [opt] { return RunProfile(*opt); };
}

const CommandRegistration kRegistration{{"profile", SetupProfile}};

}  // namespace
}  // namespace qdat::tool
