// qdat wid FILE --at STATION... [--shape linear|quartic|cubic] [--csv | --json]
// The five widths of each side of a widening table at stations, in metres,
// from the inner part out, along the transition shape (linear by default;
// quartic is the fourth-degree transition). A side without a segment at a
// station shows dashes, empty fields in CSV, null in JSON.
#include <array>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <qdat/section/QWIDFile.h>
#include "Inputs.h"
#include "Output.h"

namespace qdat::tool {
namespace {

struct WidOptions {
    std::string file;
    FileOptions fileOptions;
    StationOptions stations;
    std::string shape = "linear";
    OutputOptions output;
};

using Widths = std::optional<std::array<double, 5>>;

const std::map<std::string, int> kShapes = {
    {"linear", QWIDFile::Linear}, {"quartic", QWIDFile::FourthDegree}, {"cubic", QWIDFile::Cubic}};

Widths WidthsAt(QWIDFile& wid, double station, int side, int shape) {
    const WidSegment* segment = wid.FindWidSegment(station, side);
    if (!segment) return std::nullopt;
    WidPoint p;
    p.Station = station;
    QWIDFile::InterpolateWidths(*segment, p, shape);
    return std::array<double, 5>{p.Width1, p.Width2, p.Width3, p.Width4, p.Width5};
}

// The widths of a side in JSON are an array of five, null without a segment.
std::vector<Column> WidColumns() {
    std::vector<Column> columns{{"station", 12}};
    for (const char* side : {"left", "right"})
        for (int i = 1; i <= 5; ++i) columns.push_back({side + std::to_string(i), 8, {}, {}, side});
    return columns;
}

void AddWidths(Row& row, const Widths& widths) {
    for (int i = 0; i < 5; ++i) {
        const std::optional<double> w = widths ? std::optional<double>((*widths)[i]) : std::nullopt;
        row.push_back(Cell::Number(w, w ? Fixed(*w, 3) : std::string(), "-"));
    }
}

int RunWid(const WidOptions& opt) {
    if (opt.stations.Empty()) UsageError("give --at STATION... or --from A --to B --step S");
    FileContext context(opt.fileOptions);
    auto wid = LoadDocumentOfKind<QWIDFile>(opt.file, context, "a widening table");
    const int shape = kShapes.at(opt.shape);
    std::vector<Row> rows;
    for (const QStation& s : opt.stations.Collect()) {
        const double station = s.GetValue();
        Row row{Cell::Number(station, ShortNumber(station))};
        AddWidths(row, WidthsAt(*wid, station, 1, shape));
        AddWidths(row, WidthsAt(*wid, station, 0, shape));
        rows.push_back(std::move(row));
    }
    PrintRows(opt.output, WidColumns(), rows);
    return kExitOk;
}

std::function<int()> SetupWid(CLI::App& app) {
    auto opt = std::make_shared<WidOptions>();
    CLI::App* cmd = app.add_subcommand("wid", "Widths of both sides of a widening table at stations");
    cmd->add_option("FILE", opt->file, "Widening table")->required();
    opt->stations.AddTo(cmd);
    cmd->add_option("--shape", opt->shape, "Transition shape (quartic: the fourth-degree one)")
        ->check(CLI::IsMember({"linear", "quartic", "cubic"}));
    opt->output.AddTo(cmd, "Comma-separated values: station, left1 to left5, right1 to right5, in metres",
                      "JSON rows: station, left and right (five widths each, in metres)");
    opt->fileOptions.AddTo(cmd);
    return [opt] { return RunWid(*opt); };
}

const CommandRegistration kRegistration{{"wid", SetupWid}};

}  // namespace
}  // namespace qdat::tool
