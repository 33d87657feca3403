// qdat plan FILE --at STATION... | --from A --to B --step S [--offset D]
// [--csv|--json]: position, azimuth and radius on a plan element file's
// alignment at stations. With --offset the position is the offset point, D
// square to the centre line (+ right of travel; the azimuth and radius stay
// the centre line's), taken on the element's exact geometry, the inverse of
// qdat locate. The table and CSV give the azimuth in degrees, JSON in
// radians, always in [0, 360) or [0, 2 pi); a radius of 9999 is a straight.
// FILE may also be an intersection-point file: its curves are computed, and
// the alignment is the element list they make.
//
// qdat plan FILE --compute -o OUT: recomputes every element from the
// alignment's start (every curve of an intersection-point file) and saves the
// result to OUT (never the input).
//
// The elements are always recomputed after loading: the derived fields stored
// in a file may be stale.
#include <cmath>
#include <cstdio>
#include <iostream>
#include <memory>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include <qdat/docbase/detail/NumberText.h>
#include "AlignmentInput.h"
#include "Tool.h"

namespace qdat::tool {
namespace {

struct PlanOptions {
    std::string file;
    FileOptions fileOptions;
    StationOptions stations;
    OutputOptions output;
    bool compute = false;
    std::string out;
    std::optional<double> offset;
};

struct Row {
    double station = 0.0;
    std::string text;  // the station text under the chain table; empty without breaks
    double x = 0.0;
    double y = 0.0;
    double azimuth = 0.0;  // radians
    double radius = 0.0;
};

std::string Fixed(double value, int places) {
    return FormatFixed(value, places);
}

double Degrees(double radians) {
    return radians * 180.0 / std::numbers::pi;
}

// The library leaves the azimuths of points on curves as they come (a left
// turn from 1.0 gives 1.0 + 2 pi - phi); shown, they are one full turn.
double FullTurn(double radians) {
    constexpr double kTwoPi = 2.0 * std::numbers::pi;
    const double reduced = std::fmod(radians, kTwoPi);
    return reduced < 0.0 ? reduced + kTwoPi : reduced;
}

// Under chain breaks the station column is the continuous station, and the
// station text (its chain letter and stake station) stands beside it.
void PrintTable(const std::vector<Row>& rows, bool chained) {
    if (chained)
        std::printf("%14s %14s %16s %16s %14s %12s\n", "continuous", "station text", "x", "y", "azimuth",
                    "radius");
    else
        std::printf("%14s %16s %16s %14s %12s\n", "station", "x", "y", "azimuth", "radius");
    for (const Row& r : rows) {
        std::printf("%14s ", Fixed(r.station, 3).c_str());
        if (chained) std::printf("%14s ", r.text.c_str());
        std::printf("%16s %16s %14s %12s\n", Fixed(r.x, 4).c_str(), Fixed(r.y, 4).c_str(),
                    Fixed(Degrees(r.azimuth), 6).c_str(), Fixed(r.radius, 3).c_str());
    }
}

void PrintCsv(const std::vector<Row>& rows, bool chained) {
    std::cout << (chained ? "station,text,x,y,azimuth,radius\n" : "station,x,y,azimuth,radius\n");
    for (const Row& r : rows) {
        std::cout << ShortNumber(r.station) << ',';
        if (chained) std::cout << r.text << ',';
        std::cout << ShortNumber(r.x) << ',' << ShortNumber(r.y) << ',' << ShortNumber(Degrees(r.azimuth))
                  << ',' << ShortNumber(r.radius) << '\n';
    }
}

void PrintJson(const std::vector<Row>& rows, bool chained) {
    Json out = Json::array();
    for (const Row& r : rows) {
        Json row{{"station", r.station}};
        if (chained) row["text"] = r.text;
        row.update(Json{{"x", r.x}, {"y", r.y}, {"azimuth", r.azimuth}, {"radius", r.radius}});
        out.push_back(std::move(row));
    }
    std::cout << out.dump(2) << "\n";
}

int RunPlan(const PlanOptions& opt) {
    if (opt.compute != !opt.out.empty()) UsageError("--compute and -o go together");
    if (opt.stations.Empty() && !opt.compute)
        UsageError("nothing to do; give --at, a range, or --compute -o OUT");
    if (opt.offset && !std::isfinite(*opt.offset)) UsageError("--offset: a finite distance is needed");
    if (opt.compute && SameFile(opt.file, opt.out))
        Fail(opt.out + " is the input file; choose another output");

    AlignmentInput input(opt.file, opt.fileOptions);
    const std::vector<QStation> stations = opt.stations.Collect();
    PlanAlignment& alignment = input.Alignment();
    if (opt.compute) WriteDocument(input.Document(), opt.out, Form::Text, opt.file);

    int status = kExitOk;
    const bool chained = !GetCurrentChainTable().IsEmpty();
    const QStation start = alignment.GetStartStation(), end = alignment.GetEndStation();
    std::vector<Row> rows;
    rows.reserve(stations.size());
    for (const QStation& station : stations) {
        // The geometry gives the end point for a station past an end; that
        // point does not lie at the station asked for.
        if (station < start || station > end) {
            std::cerr << "qdat plan: station " << ShortNumber(station.GetValue()) << " lies beyond the "
                      << (station < start ? "start" : "end") << " of the alignment ("
                      << ShortNumber(start.GetValue()) << " to " << ShortNumber(end.GetValue()) << ")\n";
            continue;
        }
        StationPoint point;
        point.Station = station;
        const bool found =
            (opt.offset ? alignment.PointAtOffset(point, *opt.offset) : alignment.PointAtStation(point)) != 0;
        const Row row{station.GetValue(),      chained ? station.GetText() : std::string(), point.X, point.Y,
                      FullTurn(point.Azimuth), alignment.RadiusAtStation(station)};
        // A row is printed only with numbers throughout: JSON would show
        // anything else as null.
        if (!found || !std::isfinite(row.x) || !std::isfinite(row.y) || !std::isfinite(row.azimuth) ||
            !std::isfinite(row.radius)) {
            std::cerr << "qdat plan: no point at station " << ShortNumber(station.GetValue()) << "\n";
            status = kExitFailure;
            continue;
        }
        rows.push_back(row);
    }
    if (!stations.empty()) {
        opt.output.Print([&] { PrintTable(rows, chained); }, [&] { PrintCsv(rows, chained); },
                         [&] { PrintJson(rows, chained); });
    }
    // Stations beyond the ends are told; a run that found none on the
    // alignment has done nothing that was asked.
    if (!stations.empty() && rows.empty()) status = kExitFailure;
    return status;
}

std::function<int()> SetupPlan(CLI::App& app) {
    auto opt = std::make_shared<PlanOptions>();
    CLI::App* cmd = app.add_subcommand("plan", "Position, azimuth and radius on a plan alignment");
    cmd->add_option("FILE", opt->file, "Plan element file or intersection-point file")->required();
    opt->stations.AddTo(cmd);
    cmd->add_option("--offset", opt->offset, "Points this far square to the centre line, + right of travel")
        ->type_name("D");
    opt->output.AddTo(cmd, "Comma-separated values, azimuth in degrees", "JSON rows, azimuth in radians");
    cmd->add_flag("--compute", opt->compute, "Recompute the elements and save them to -o");
    cmd->add_option("-o,--output", opt->out,
                    "File to save the computed elements to (never the input; - for standard output)");
    opt->fileOptions.AddTo(cmd);
    return [opt] { return RunPlan(*opt); };
}

const CommandRegistration kRegistration{{"plan", SetupPlan}};

}  // namespace
}  // namespace qdat::tool
