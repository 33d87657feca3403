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
#include <iostream>
#include <memory>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include "AlignmentInput.h"
#include "Inputs.h"
#include "Output.h"

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

// The library leaves the azimuths of points on curves as they come (a left
// turn from 1.0 gives 1.0 + 2 pi - phi); shown, they are one full turn.
double FullTurn(double radians) {
    constexpr double kTwoPi = 2.0 * std::numbers::pi;
    const double reduced = std::fmod(radians, kTwoPi);
    return reduced < 0.0 ? reduced + kTwoPi : reduced;
}

// Under chain breaks the station column is the continuous station, and the
// station text (its chain letter and stake station) stands beside it.
std::vector<Column> PlanColumns(bool chained) {
    std::vector<Column> columns{{"station", 14, chained ? "continuous" : "station"}};
    if (chained) columns.push_back({"text", 14, "station text"});
    columns.insert(columns.end(), {{"x", 16}, {"y", 16}, {"azimuth", 14}, {"radius", 12}});
    return columns;
}

int RunPlan(const PlanOptions& opt) {
    if (opt.compute != !opt.out.empty()) UsageError("--compute and -o go together");
    if (opt.stations.Empty() && !opt.compute)
        UsageError("nothing to do; give --at, a range, or --compute -o OUT");
    if (opt.offset && !std::isfinite(*opt.offset)) UsageError("--offset: a finite distance is needed");
    if (opt.out == "-" && !opt.stations.Empty())
        UsageError("-o - writes the elements to standard output; the rows at stations cannot go there too");
    if (opt.compute && SameFile(opt.file, opt.out))
        Fail(opt.out + " is the input file; choose another output");

    FileContext context(opt.fileOptions);
    AlignmentInput input(opt.file, context);
    const std::vector<QStation> stations = opt.stations.Collect();
    PlanAlignment& alignment = input.Alignment();
    if (opt.compute) WriteDocument(input.Document(), opt.out, Form::Text, opt.file);

    int status = kExitOk;
    const bool chained = !context.Chain().IsEmpty();
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
        const double azimuth = FullTurn(point.Azimuth), radius = alignment.RadiusAtStation(station);
        // A row is printed only with numbers throughout: JSON would show
        // anything else as null.
        if (!found || !std::isfinite(point.X) || !std::isfinite(point.Y) || !std::isfinite(azimuth) ||
            !std::isfinite(radius)) {
            std::cerr << "qdat plan: no point at station " << ShortNumber(station.GetValue()) << "\n";
            status = kExitFailure;
            continue;
        }
        // The table and CSV give the azimuth in degrees, JSON in radians.
        Row row{Cell::Number(station.GetValue(), Fixed(station.GetValue(), 3))};
        if (chained) row.push_back(Cell::Text(station.GetText()));
        row.insert(row.end(),
                   {Cell::Number(point.X, Fixed(point.X, 4)), Cell::Number(point.Y, Fixed(point.Y, 4)),
                    Cell::Shown(azimuth, Degrees(azimuth), Fixed(Degrees(azimuth), 6)),
                    Cell::Number(radius, Fixed(radius, 3))});
        rows.push_back(std::move(row));
    }
    if (!stations.empty()) {
        PrintRows(opt.output, PlanColumns(chained), rows);
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
