// qdat plan FILE --at STATION... | --from A --to B --step S [--csv|--json]:
// position, azimuth and radius on a plan element file's alignment at
// stations (station text through the current chain table, plain metres when
// there are no chain breaks). The table and CSV give the azimuth in degrees,
// JSON in radians; a radius of 9999 is a straight.
//
// qdat plan FILE --compute -o OUT: recomputes every element from the
// alignment's start and saves the result to OUT (never the input).
//
// The elements are always recomputed after loading: the derived fields stored
// in a file may be stale.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <numbers>
#include <string>
#include <system_error>
#include <vector>

#include "Tool.h"
#include "docbase/DataArchive.h"
#include "docbase/NumberText.h"
#include "host/HostException.h"
#include "host/HostFile.h"
#include "plan/QPmDoc.h"
#include "station/QStation.h"

namespace qdat::tool {
namespace {

// More rows than anyone reads; a step far too small for its range is a typo.
constexpr double kMaxRangeRows = 10'000'000;

struct PlanOptions {
    std::string file;
    std::string kind;
    std::vector<std::string> stations;
    std::string from, to;
    double step = 0.0;
    bool csv = false;
    bool json = false;
    bool compute = false;
    std::string out;
};

struct Row {
    double station = 0.0;
    double x = 0.0;
    double y = 0.0;
    double azimuth = 0.0;  // radians
    double radius = 0.0;
};

bool SameFile(const std::string& a, const std::string& b) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::exists(b, ec) && fs::equivalent(a, b, ec)) return true;
    return fs::weakly_canonical(a, ec) == fs::weakly_canonical(b, ec);
}

bool ParseStation(const std::string& text, QStation& station) {
    try {
        station = text;
        return true;
    } catch (const HostException& e) {
        std::cerr << "qdat plan: station " << text << ": " << e.GetErrorMessage() << "\n";
        return false;
    }
}

// The stations asked for: the --at list, then the range. False after an
// error has been reported.
bool CollectStations(const PlanOptions& opt, std::vector<QStation>& stations) {
    for (const std::string& text : opt.stations) {
        QStation s;
        if (!ParseStation(text, s)) return false;
        stations.push_back(s);
    }
    if (opt.from.empty() && opt.to.empty()) return true;
    QStation from, to;
    if (opt.from.empty() || opt.to.empty() || !(opt.step > 0.0) || !std::isfinite(opt.step)) {
        std::cerr << "qdat plan: a range needs --from, --to and a positive --step\n";
        return false;
    }
    if (!ParseStation(opt.from, from) || !ParseStation(opt.to, to)) return false;
    const double a = from.GetValue();
    const double b = to.GetValue();
    const double rows = std::floor((b - a) / opt.step + 1e-9) + 1.0;
    if (!(b >= a) || !(rows <= kMaxRangeRows)) {
        std::cerr << "qdat plan: the range " << opt.from << " to " << opt.to << " by " << opt.step
                  << " is empty or has too many stations\n";
        return false;
    }
    const long count = static_cast<long>(rows);
    for (long i = 0; i < count; ++i) stations.emplace_back(a + static_cast<double>(i) * opt.step);
    // The end of the range is always asked, also when the step does not fit.
    if (std::fabs(stations.back().GetValue() - b) > 1e-9) stations.emplace_back(b);
    return true;
}

std::string Fixed(double value, int places) { return FormatFixed(value, places); }

double Degrees(double radians) { return radians * 180.0 / std::numbers::pi; }

void PrintTable(const std::vector<Row>& rows) {
    std::printf("%14s %16s %16s %14s %12s\n", "station", "x", "y", "azimuth", "radius");
    for (const Row& r : rows)
        std::printf("%14s %16s %16s %14s %12s\n", Fixed(r.station, 3).c_str(), Fixed(r.x, 4).c_str(),
                    Fixed(r.y, 4).c_str(), Fixed(Degrees(r.azimuth), 6).c_str(), Fixed(r.radius, 3).c_str());
}

void PrintCsv(const std::vector<Row>& rows) {
    std::cout << "station,x,y,azimuth,radius\n";
    for (const Row& r : rows)
        std::cout << ShortNumber(r.station) << ',' << ShortNumber(r.x) << ',' << ShortNumber(r.y) << ','
                  << ShortNumber(Degrees(r.azimuth)) << ',' << ShortNumber(r.radius) << '\n';
}

void PrintJson(const std::vector<Row>& rows) {
    nlohmann::json out = nlohmann::json::array();
    for (const Row& r : rows)
        out.push_back({{"station", r.station}, {"x", r.x}, {"y", r.y}, {"azimuth", r.azimuth}, {"radius", r.radius}});
    std::cout << out.dump(2) << "\n";
}

bool SaveComputed(QPmDoc& doc, const PlanOptions& opt) {
    if (SameFile(opt.file, opt.out)) {
        std::cerr << "qdat plan: " << opt.out << " is the input file; choose another output\n";
        return false;
    }
    doc.SetFormatFlags(FormatFlag::NotLoading | FormatFlag::TextForm);
    MirrorFile file;
    try {
        file.Open(opt.out, File::ModeCreate | File::ModeReadWrite | File::ShareExclusive);
        doc.WriteToFile(file);
        file.Close();
    } catch (const std::exception& e) {
        file.Abort();
        std::cerr << "qdat plan: " << e.what() << "\n";
        return false;
    }
    return true;
}

int RunPlan(const PlanOptions& opt) {
    if (opt.compute != !opt.out.empty()) {
        std::cerr << "qdat plan: --compute and -o go together\n";
        return 1;
    }
    std::vector<QStation> stations;
    if (!CollectStations(opt, stations)) return 1;
    if (stations.empty() && !opt.compute) {
        std::cerr << "qdat plan: nothing to do; give --at, a range, or --compute -o OUT\n";
        return 1;
    }

    auto pmDoc = LoadDocumentOfKind<QPmDoc>("plan", opt.file, opt.kind, "a plan element file");
    if (!pmDoc) return 1;
    QPmDoc* pm = pmDoc.get();
    PlanAlignment& alignment = pm->GetAlignment();
    if (!alignment.ComputeElements()) {
        std::cerr << "qdat plan: " << opt.file << ": the elements cannot be computed (start mode "
                  << alignment.StartMode << ", " << alignment.ElementCount << " main elements, end type "
                  << alignment.EndType << ")\n";
        return 1;
    }
    if (opt.compute && !SaveComputed(*pm, opt)) return 1;

    int status = 0;
    std::vector<Row> rows;
    rows.reserve(stations.size());
    for (const QStation& station : stations) {
        StationPoint point;
        point.Station = station;
        if (!alignment.PointAtStation(point)) {
            std::cerr << "qdat plan: no point at station " << ShortNumber(station.GetValue()) << "\n";
            status = 1;
            continue;
        }
        rows.push_back({station.GetValue(), point.X, point.Y, point.Azimuth, alignment.RadiusAtStation(station)});
    }
    if (!stations.empty()) {
        if (opt.json)
            PrintJson(rows);
        else if (opt.csv)
            PrintCsv(rows);
        else
            PrintTable(rows);
    }
    return status;
}

std::function<int()> SetupPlan(CLI::App& app) {
    auto opt = std::make_shared<PlanOptions>();
    CLI::App* cmd = app.add_subcommand("plan", "Position, azimuth and radius on a plan element alignment");
    cmd->add_option("FILE", opt->file, "Plan element file")->required();
    cmd->add_option("--at", opt->stations, "Stations");
    cmd->add_option("--from", opt->from, "First station of a range");
    cmd->add_option("--to", opt->to, "Last station of a range");
    cmd->add_option("--step", opt->step, "Distance between the stations of a range (metres)");
    auto* csv = cmd->add_flag("--csv", opt->csv, "Comma-separated values, azimuth in degrees");
    auto* json = cmd->add_flag("--json", opt->json, "JSON rows, azimuth in radians");
    csv->excludes(json);
    cmd->add_flag("--compute", opt->compute, "Recompute the elements and save them to -o");
    cmd->add_option("-o,--output", opt->out, "File to save the computed elements to (never the input)");
    cmd->add_option("--kind", opt->kind, "Document class for a file without a usable signature");
    return [opt] { return RunPlan(*opt); };
}

const CommandRegistration kRegistration{{"plan", SetupPlan}};

}  // namespace
}  // namespace qdat::tool
