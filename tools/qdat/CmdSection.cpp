// qdat section FILE --at STATION [--json]: the cross-section at a station,
// its ground points left and right of the centre line, as the file gives
// them. A station without a section names the nearest sections instead.
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <qdat/section/HDMFlie.h>
#include "InputFiles.h"
#include "Tool.h"

namespace qdat::tool {
namespace {

struct SectionOptions {
    std::string file;
    FileOptions fileOptions;
    std::string at;
    bool json = false;
};

Json PointsJson(const std::vector<SectionPoint>& points) {
    Json out = Json::array();
    for (const SectionPoint& p : points)
        out.push_back({{"horizontal", p.Horizontal}, {"vertical", p.Vertical}});
    return out;
}

void PrintSection(const CrossSection& section) {
    std::printf("section at %s\n", ShortNumber(section.m_station.GetValue()).c_str());
    std::printf("%-6s %12s %12s\n", "side", "horizontal", "vertical");
    for (const auto& [name, points] :
         {std::pair{"left", &section.LeftGround}, {"right", &section.RightGround}}) {
        for (const SectionPoint& p : *points)
            std::printf("%-6s %12s %12s\n", name, ShortNumber(p.Horizontal).c_str(),
                        ShortNumber(p.Vertical).c_str());
    }
}

int RunSection(const SectionOptions& opt) {
    auto hdm = LoadSections(opt.file, opt.fileOptions, "section");
    const QStation station = ParseStation(opt.at, "station");
    const CrossSection& section = SectionAtOrFail(*hdm, opt.file, station);
    if (opt.json) {
        const Json out{{"station", section.m_station.GetValue()},
                       {"leftGround", PointsJson(section.LeftGround)},
                       {"rightGround", PointsJson(section.RightGround)}};
        std::cout << out.dump(2) << "\n";
    } else {
        PrintSection(section);
    }
    return kExitOk;
}

std::function<int()> SetupSection(CLI::App& app) {
    auto opt = std::make_shared<SectionOptions>();
    CLI::App* cmd = app.add_subcommand("section", "The ground points of the cross-section at a station");
    cmd->add_option("FILE", opt->file, "Cross-section ground-line file")->required();
    cmd->add_option("--at", opt->at, "Station (station text, or metres without chain breaks)")->required();
    cmd->add_flag("--json", opt->json, "JSON: station, leftGround and rightGround (horizontal, vertical)");
    opt->fileOptions.AddTo(cmd);
    cmd->footer("The points are given as the file holds them, from the centre line outwards.");
    return [opt] { return RunSection(*opt); };
}

const CommandRegistration kRegistration{{"section", SetupSection}};

}  // namespace
}  // namespace qdat::tool
