// qdat locate ALIGNMENT X Y [--json]: the station and offset of a point, that
// is the nearest point of the centre line (+ offsets right of the direction
// of travel), with the element it lies on. A point before the start or past
// the end of the alignment is given that end's station, its offset square to
// the end tangent, and how far beyond the end it lies.
//
// qdat locate ALIGNMENT --csv IN|-: the same for every point of IN (or of
// standard input for "-"), one "x,y" a line; prints the header
// "x,y,station,offset,stationText" and a line for each point, in order.
// Blank lines are skipped, and so is a first line whose first field is not a
// number (a header). Any other line that is not two numbers separated by a
// comma ends the command (exit 1) with its line number, before anything is
// printed. Points beyond an end are noted on standard error.
//
// ALIGNMENT is a plan element file or an intersection-point file (its curves
// are computed, and the alignment is the element list they make). Station
// text is the lettered form files use ("B250.000": stake 250 of chain B),
// through the chain table of --project or --break, else the file's own.
#include <cmath>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <qdat/plan/PlanAlignment.h>
#include "AlignmentInput.h"
#include "Inputs.h"
#include "Output.h"

namespace qdat::tool {
namespace {

struct LocateOptions {
    std::string file;
    std::string x;
    std::string y;
    std::string csv;
    OutputOptions output;
    FileOptions fileOptions;
};

struct Located {
    double x = 0.0;
    double y = 0.0;
    int line = 0;  // of the CSV input
    PointLocation where;
};

std::string StationText(const PointLocation& where) {
    return where.Station.GetText();
}

// The offset, never a negative zero.
double Offset(const PointLocation& where) {
    return where.Offset == 0.0 ? 0.0 : where.Offset;
}

std::string BeyondNote(const PointLocation& where) {
    if (!where.BeyondStart && !where.BeyondEnd) return {};
    return std::string("beyond the ") + (where.BeyondStart ? "start" : "end") + " of the alignment by " +
           Fixed(where.Beyond, 3) + " m";
}

Json LocatedJson(const Located& p) {
    const PointLocation& w = p.where;
    return {{"x", p.x},
            {"y", p.y},
            {"station", w.Station.GetValue()},
            {"offset", Offset(w)},
            {"stationText", StationText(w)},
            {"element", w.Element},
            {"beyondStart", w.BeyondStart},
            {"beyondEnd", w.BeyondEnd},
            {"beyondDistance", w.Beyond}};
}

void PrintTable(const Located& p) {
    const PointLocation& w = p.where;
    std::cout << "x             " << Padded(Fixed(p.x, 4), 16) << "\n"
              << "y             " << Padded(Fixed(p.y, 4), 16) << "\n"
              << "station       " << Padded(Fixed(w.Station.GetValue(), 3), 16) << "  " << StationText(w)
              << "\n"
              << "offset        " << Padded(Fixed(Offset(w), 3), 16) << "  "
              << (Offset(w) > 0.0 ? "right" : (Offset(w) < 0.0 ? "left" : "on the centre line")) << "\n"
              << "element       " << Padded(std::to_string(w.Element), 16) << "\n";
    const std::string note = BeyondNote(w);
    if (!note.empty()) std::cout << note << "\n";
}

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The points of a CSV input, read whole before any is located.
std::vector<Located> ReadPoints(std::istream& in, const std::string& name) {
    std::vector<Located> points;
    std::string line;
    int number = 0;
    bool first = true;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (Trimmed(line).empty()) continue;
        const bool isFirst = first;
        first = false;
        const std::size_t comma = line.find(',');
        Located p;
        p.line = number;
        const bool good = comma != std::string::npos && line.find(',', comma + 1) == std::string::npos &&
                          ParseNumber(Trimmed(line.substr(0, comma)), p.x) &&
                          ParseNumber(Trimmed(line.substr(comma + 1)), p.y);
        if (good) {
            points.push_back(p);
            continue;
        }
        double ignored = 0.0;
        if (isFirst && !ParseNumber(Trimmed(line.substr(0, comma)), ignored)) continue;  // a header
        const std::string shown = line.size() > 60 ? line.substr(0, 60) + "..." : line;
        Fail(name + " line " + std::to_string(number) + ": expected x,y (two numbers), found \"" + shown +
             "\"");
    }
    if (in.bad()) Fail(name + ": cannot be read");
    return points;
}

void LocateOrFail(const PlanAlignment& alignment, Located& p, const std::string& file) {
    if (alignment.LocatePoint(p.x, p.y, p.where)) return;
    if (p.where.Element >= 0)
        Fail(file + ": element " + std::to_string(p.where.Element) +
             " has sizes that give no curve (a damaged file?); no point can be located on the alignment");
    Fail(file + ": no point of the centre line near " + ShortNumber(p.x) + "," + ShortNumber(p.y));
}

int RunCsv(const LocateOptions& opt, const PlanAlignment& alignment) {
    std::vector<Located> points;
    if (opt.csv == "-") {
        points = ReadPoints(std::cin, "standard input");
    } else {
        std::ifstream in(opt.csv, std::ios::binary);
        if (!in) Fail(opt.csv + ": cannot be opened");
        points = ReadPoints(in, opt.csv);
    }
    for (Located& p : points) LocateOrFail(alignment, p, opt.file);
    std::string out = "x,y,station,offset,stationText\n";
    for (const Located& p : points) {
        out += ShortNumber(p.x) + ',' + ShortNumber(p.y) + ',' + ShortNumber(p.where.Station.GetValue()) +
               ',' + ShortNumber(Offset(p.where)) + ',' + CsvField(StationText(p.where)) + '\n';
        const std::string note = BeyondNote(p.where);
        if (!note.empty())
            std::cerr << "qdat locate: " << (opt.csv == "-" ? "standard input" : opt.csv) << " line "
                      << p.line << ": " << note << "\n";
    }
    std::cout << out;
    return kExitOk;
}

int RunLocate(const LocateOptions& opt) {
    const bool single = !opt.x.empty() || !opt.y.empty();
    if (single == !opt.csv.empty()) UsageError("give either X Y or --csv IN");
    if (!opt.csv.empty() && opt.output.json) UsageError("--json goes with X Y, not with --csv");
    Located point;
    if (single && (!ParseNumber(opt.x, point.x) || !ParseNumber(opt.y, point.y)))
        UsageError("X and Y must both be numbers (\"" + opt.x + "\", \"" + opt.y + "\")");

    FileContext context(opt.fileOptions);
    const AlignmentInput input(opt.file, context);
    const PlanAlignment& alignment = input.Alignment();
    if (!single) return RunCsv(opt, alignment);

    LocateOrFail(alignment, point, opt.file);
    if (opt.output.json)
        std::cout << LocatedJson(point).dump(2) << "\n";
    else
        PrintTable(point);
    return kExitOk;
}

std::function<int()> SetupLocate(CLI::App& app) {
    auto opt = std::make_shared<LocateOptions>();
    CLI::App* cmd = app.add_subcommand("locate", "Station and offset of points on a plan alignment");
    cmd->add_option("ALIGNMENT", opt->file, "Plan element file or intersection-point file")->required();
    cmd->add_option("X", opt->x, "X (northing) of the point");
    cmd->add_option("Y", opt->y, "Y (easting) of the point");
    cmd->add_option("--csv", opt->csv, "Points as lines x,y from a file, or - for standard input")
        ->type_name("IN|-");
    opt->output.AddJsonTo(cmd, "The point as JSON");
    opt->fileOptions.AddTo(cmd);
    return [opt] { return RunLocate(*opt); };
}

const CommandRegistration kRegistration{{"locate", SetupLocate}};

}  // namespace
}  // namespace qdat::tool
