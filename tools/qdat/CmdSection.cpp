// qdat section FILE --at STATION [--csv | --json]: the cross-section at a station,
// its ground points left and right of the centre line, as the file gives
// them. A station without a section names the nearest sections instead.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <qdat/section/HDMFlie.h>
#include "Inputs.h"
#include "Output.h"

namespace qdat::tool {
namespace {

struct SectionOptions {
    std::string file;
    FileOptions fileOptions;
    std::string at;
    OutputOptions output;
};

Json PointsJson(const std::vector<SectionPoint>& points) {
    Json out = Json::array();
    for (const SectionPoint& p : points)
        out.push_back({{"horizontal", p.Horizontal}, {"vertical", p.Vertical}});
    return out;
}

// The points as rows: side, horizontal, vertical.
void PrintPoints(const CrossSection& section, const OutputOptions& output) {
    std::vector<Row> rows;
    for (const auto& [name, points] :
         {std::pair{"left", &section.LeftGround}, {"right", &section.RightGround}}) {
        for (const SectionPoint& p : *points)
            rows.push_back({Cell::Text(name), Cell::Number(p.Horizontal, ShortNumber(p.Horizontal)),
                            Cell::Number(p.Vertical, ShortNumber(p.Vertical))});
    }
    if (output.Table()) std::cout << "section at " << ShortNumber(section.m_station.GetValue()) << "\n";
    PrintRows(output, {{"side", -6}, {"horizontal", 12}, {"vertical", 12}}, rows);
}

int RunSection(const SectionOptions& opt) {
    FileContext context(opt.fileOptions);
    auto hdm = LoadSections(opt.file, context, "section");
    const QStation station = ParseStation(opt.at, "station");
    const CrossSection& section = SectionAtOrFail(*hdm, opt.file, station);
    // JSON gives the section as one object, its sides as lists.
    if (opt.output.json)
        PrintJson({{"station", section.m_station.GetValue()},
                   {"leftGround", PointsJson(section.LeftGround)},
                   {"rightGround", PointsJson(section.RightGround)}});
    else
        PrintPoints(section, opt.output);
    return kExitOk;
}

std::function<int()> SetupSection(CLI::App& app) {
    auto opt = std::make_shared<SectionOptions>();
    CLI::App* cmd = app.add_subcommand("section", "The ground points of the cross-section at a station");
    cmd->add_option("FILE", opt->file, "Cross-section ground-line file")->required();
    cmd->add_option("--at", opt->at, "Station (station text, or metres without chain breaks)")->required();
    opt->output.AddTo(cmd, "Comma-separated values: side, horizontal, vertical",
                      "JSON: station, leftGround and rightGround (horizontal, vertical)");
    opt->fileOptions.AddTo(cmd);
    cmd->footer("The points are given as the file holds them, from the centre line outwards.");
    return [opt] { return RunSection(*opt); };
}

const CommandRegistration kRegistration{{"section", SetupSection}};

}  // namespace
}  // namespace qdat::tool
