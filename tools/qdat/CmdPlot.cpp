// qdat plot plan ALIGNMENT -o OUT.svg
// qdat plot profile ZDM [--ground DMX] -o OUT.svg
// qdat plot section HDM --at STATION -o OUT.svg
// each with [--paper A4|A3|A1] [--scale 1:N]
// Draws an alignment in plan, a vertical profile with its data band, or a
// cross-section, as SVG (exchange/Drawings.h draws them). The plan is drawn
// with the easting across and the northing up.
#include <memory>
#include <string>

#include <qdat/exchange/AlignmentOf.h>
#include <qdat/exchange/Drawings.h>
#include <qdat/exchange/XmlOutput.h>
#include "AlignmentInput.h"
#include "Inputs.h"
#include "Output.h"

namespace qdat::tool {
namespace {

struct PlotOptions {
    std::string file;
    std::string ground;
    std::string at;
    std::string out;
    std::string paper;
    std::string scale;
    FileOptions fileOptions;
};

int PlotPlan(const PlotOptions& opt, const DrawingSheet& sheet) {
    FileContext context(opt.fileOptions);
    AlignmentInput input(opt.file, context);
    pugi::xml_document doc;
    DrawPlan({&input.Alignment(), input.Points(), FileName(opt.file), input.Document().IsRailwayVariant()},
             sheet, doc);
    SaveXml(doc, opt.out, {opt.file, opt.fileOptions.project});
    return kExitOk;
}

int PlotProfile(const PlotOptions& opt, const DrawingSheet& sheet) {
    // The ground line and the profile are drawn together, under one context.
    FileContext context(opt.fileOptions);
    std::unique_ptr<DmxFile> dmx;
    if (!opt.ground.empty()) dmx = LoadGroundLine(opt.ground, context);
    std::unique_ptr<QZdmFile> zdm = LoadProfile(opt.file, context, "plot");
    ProfileDrawingInput input;
    input.profile = zdm.get();
    input.name = opt.file;
    input.ground = dmx.get();
    input.groundName = opt.ground;
    pugi::xml_document doc;
    DrawProfile(input, sheet, doc);
    SaveXml(doc, opt.out, {opt.file, opt.ground, opt.fileOptions.project});
    return kExitOk;
}

int PlotSection(const PlotOptions& opt, const DrawingSheet& sheet) {
    FileContext context(opt.fileOptions);
    std::unique_ptr<HDMFlie> hdm = LoadSections(opt.file, context, "plot");
    const QStation station = ParseStation(opt.at, "station");
    const CrossSection& section = SectionAtOrFail(*hdm, opt.file, station);
    pugi::xml_document doc;
    DrawSection({&section, FileName(opt.file), nullptr}, sheet, doc);
    SaveXml(doc, opt.out, {opt.file, opt.fileOptions.project});
    return kExitOk;
}

std::function<int()> SetupPlot(CLI::App& app) {
    auto opt = std::make_shared<PlotOptions>();
    CLI::App* cmd = app.add_subcommand("plot", "Draw an alignment, a profile or a cross-section as SVG");
    cmd->require_subcommand(1);
    CLI::App* plan = cmd->add_subcommand("plan", "The alignment in plan");
    plan->add_option("ALIGNMENT", opt->file, "Plan element file or intersection-point file")->required();
    CLI::App* profile =
        cmd->add_subcommand("profile", "The vertical profile, the ground line and a data band");
    profile->add_option("ZDM", opt->file, "Vertical profile file")->required();
    profile->add_option("--ground", opt->ground, "Profile ground line file")->type_name("DMX");
    CLI::App* section = cmd->add_subcommand("section", "The ground of a cross-section");
    section->add_option("HDM", opt->file, "Cross-section ground-line file")->required();
    section->add_option("--at", opt->at, "Station of the section")->required();
    for (CLI::App* sub : {plan, profile, section}) {
        sub->add_option("-o,--output", opt->out, "SVG file to write (never an input; - for standard output)")
            ->required();
        sub->add_option("--paper", opt->paper, "Sheet, landscape (default: as large as the drawing)")
            ->check(CLI::IsMember({"A4", "A3", "A1"}));
        sub->add_option("--scale", opt->scale, "Scale across, as 1:N (default: fitted)")->type_name("1:N");
        opt->fileOptions.AddChainTo(sub);
    }
    return [opt, plan, profile] {
        const DrawingSheet sheet = ParseDrawingSheet(opt->paper, opt->scale);
        if (plan->parsed()) return PlotPlan(*opt, sheet);
        if (profile->parsed()) return PlotProfile(*opt, sheet);
        return PlotSection(*opt, sheet);
    };
}

const CommandRegistration kRegistration{{"plot", SetupPlot}};

}  // namespace
}  // namespace qdat::tool
