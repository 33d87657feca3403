// qdat wid FILE --at STATION... [--shape linear|quartic|cubic] [--json]
// The five widths of each side of a widening table at stations, in metres,
// from the inner part out, along the transition shape (linear by default;
// quartic is the fourth-degree transition). A side without a segment at a
// station shows dashes, null in JSON.
#include <array>
#include <cstdio>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <qdat/docbase/detail/NumberText.h>
#include <qdat/section/QWIDFile.h>
#include "Tool.h"

namespace qdat::tool {
namespace {

struct WidOptions {
    std::string file;
    FileOptions fileOptions;
    StationOptions stations;
    std::string shape = "linear";
    bool json = false;
};

using Widths = std::optional<std::array<double, 5>>;

struct Row {
    double station;
    Widths left, right;
};

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

void PrintTable(const std::vector<Row>& rows) {
    std::printf("%12s", "station");
    for (const char* side : {"left", "right"})
        for (int i = 1; i <= 5; ++i) std::printf(" %8s", (side + std::to_string(i)).c_str());
    std::printf("\n");
    for (const Row& r : rows) {
        std::printf("%12s", ShortNumber(r.station).c_str());
        for (const Widths* w : {&r.left, &r.right})
            for (int i = 0; i < 5; ++i) std::printf(" %8s", *w ? FormatFixed((**w)[i], 3).c_str() : "-");
        std::printf("\n");
    }
}

void PrintJson(const std::vector<Row>& rows) {
    Json out = Json::array();
    const auto side = [](const Widths& w) { return w ? Json(*w) : Json(); };
    for (const Row& r : rows)
        out.push_back({{"station", r.station}, {"left", side(r.left)}, {"right", side(r.right)}});
    std::cout << out.dump(2) << "\n";
}

int RunWid(const WidOptions& opt) {
    if (opt.stations.Empty()) UsageError("give --at STATION... or --from A --to B --step S");
    auto wid = LoadDocumentOfKind<QWIDFile>(opt.file, opt.fileOptions, "a widening table");
    const int shape = kShapes.at(opt.shape);
    std::vector<Row> rows;
    for (const QStation& s : opt.stations.Collect()) {
        const double station = s.GetValue();
        rows.push_back({station, WidthsAt(*wid, station, 1, shape), WidthsAt(*wid, station, 0, shape)});
    }
    if (opt.json)
        PrintJson(rows);
    else
        PrintTable(rows);
    return kExitOk;
}

std::function<int()> SetupWid(CLI::App& app) {
    auto opt = std::make_shared<WidOptions>();
    CLI::App* cmd = app.add_subcommand("wid", "Widths of both sides of a widening table at stations");
    cmd->add_option("FILE", opt->file, "Widening table")->required();
    opt->stations.AddTo(cmd);
    cmd->add_option("--shape", opt->shape, "Transition shape (quartic: the fourth-degree one)")
        ->check(CLI::IsMember({"linear", "quartic", "cubic"}));
    cmd->add_flag("--json", opt->json, "JSON rows, widths in metres");
    opt->fileOptions.AddTo(cmd);
    return [opt] { return RunWid(*opt); };
}

const CommandRegistration kRegistration{{"wid", SetupWid}};

}  // namespace
}  // namespace qdat::tool
