// qdat export landxml --plan FILE [--profile ZDM] [--ground DMX]
//                     [--project PRJ] [--break B:A] -o OUT.xml
// Writes an alignment as LandXML 1.2: the plan geometry (lines, arcs with
// their centres, clothoid spirals with both radii), a station equation per
// chain break, the vertical profile as points of vertical intersection with
// their parabolas, and the ground line. The plan file may be a plan element
// file or an intersection-point file (its curves are computed first).
// Points are "northing easting", which is "X Y" in this package.
//
// qdat export ifc --plan FILE [--profile ZDM] [--sup SUP] [--rail-head-distance D]
//                 [--project PRJ | --break B:A] [--name NAME] -o OUT.ifc
// Writes the alignment as IFC 4.3: the horizontal layout, the vertical one
// of the profile and the cant of a railway superelevation table, with their
// geometry, and a referent with the stationing at the start and every chain
// break. x is the easting (Y here), y the northing (X).
#include <memory>
#include <string>

#include <qdat/exchange/IfcExport.h>
#include <qdat/exchange/LandXml.h>
#include <qdat/project/PrjFile.h>
#include <qdat/project/SettingKeyRegistry.h>
#include <qdat/section/QSupFile.h>
#include "AlignmentInput.h"
#include "Inputs.h"
#include "Output.h"

namespace qdat::tool {
namespace {

struct ExportOptions {
    std::string plan;
    std::string profile;
    std::string ground;
    std::string sup;
    double railHeadDistance = 1.5;
    std::string name;
    FileOptions fileOptions;
    std::string out;
};

// The project's road name, when a project is given.
std::string ProjectName(const ExportOptions& opt) {
    if (opt.fileOptions.project.empty()) return {};
    for (const SettingValue& v : LoadedProject(opt.fileOptions.project).GetGlobalValues())
        if (v.keyId == SettingKeyRegistry::kProjectName && !v.value.empty()) return v.value;
    return {};
}

// The alignment's name: --name; its own in a plan element file (intersection
// points carry none) and the project's road name, in that order for LandXML
// and the other way round for IFC, whose alignment is the project's road;
// else the file's name.
std::string AlignmentName(const AlignmentInput& input, const ExportOptions& opt, bool projectFirst) {
    if (!opt.name.empty()) return opt.name;
    const std::string own = input.Points() ? std::string() : input.Alignment().Name;
    const std::string project = ProjectName(opt);
    const std::string& first = projectFirst ? project : own;
    const std::string& second = projectFirst ? own : project;
    if (!first.empty()) return first;
    if (!second.empty()) return second;
    return FileStem(opt.plan);
}

int RunLandXml(const ExportOptions& opt) {
    // The files are read together under one context, each with its own
    // chain table while it is read; the alignment's is kept.
    FileContext context(opt.fileOptions);
    AlignmentInput input(opt.plan, context);
    std::unique_ptr<QZdmFile> zdm;
    if (!opt.profile.empty()) zdm = LoadProfile(opt.profile, context, "export");
    std::unique_ptr<DmxFile> dmx;
    if (!opt.ground.empty()) dmx = LoadGroundLine(opt.ground, context);

    LandXmlSource source;
    source.alignment = &input.Alignment();
    source.name = AlignmentName(input, opt, false);
    source.chain = &input.Chain();
    source.profile = zdm.get();
    source.profileName = FileName(opt.profile);
    source.ground = dmx.get();
    source.groundName = FileName(opt.ground);

    WriteLandXml(source, opt.out, {opt.plan, opt.profile, opt.ground, opt.fileOptions.project});
    return kExitOk;
}

int RunIfc(const ExportOptions& opt) {
    FileContext context(opt.fileOptions);
    AlignmentInput input(opt.plan, context);
    std::unique_ptr<QZdmFile> zdm;
    if (!opt.profile.empty()) zdm = LoadProfile(opt.profile, context, "export");
    std::unique_ptr<QSupFile> sup;
    if (!opt.sup.empty()) sup = LoadDocumentOfKind<QSupFile>(opt.sup, context, "a superelevation file");

    IfcSource source;
    source.alignment = &input.Alignment();
    source.name = AlignmentName(input, opt, true);
    source.projectName = ProjectName(opt);
    source.chain = &input.Chain();
    source.profile = zdm.get();
    source.profileName = opt.profile;
    source.superelevation = sup.get();
    source.superelevationName = opt.sup;
    source.railHeadDistance = opt.railHeadDistance;
    if (!opt.fileOptions.project.empty())
        source.facility = IfcFacilityOf(LoadedProject(opt.fileOptions.project));
    source.fileName = opt.out == "-" ? std::string("-") : FileName(opt.out);

    WriteIfc(source, opt.out, {opt.plan, opt.profile, opt.sup, opt.fileOptions.project});
    return kExitOk;
}

std::function<int()> SetupExport(CLI::App& app) {
    auto opt = std::make_shared<ExportOptions>();
    CLI::App* cmd = app.add_subcommand("export", "Export design data to other formats");
    cmd->require_subcommand(1);
    CLI::App* landxml =
        cmd->add_subcommand("landxml", "An alignment, its profile and ground line as LandXML 1.2");
    landxml->add_option("--plan", opt->plan, "Plan element file or intersection-point file")->required();
    landxml->add_option("--profile", opt->profile, "Vertical profile file")->type_name("ZDM");
    landxml->add_option("--ground", opt->ground, "Profile ground line file")->type_name("DMX");
    landxml
        ->add_option("-o,--output", opt->out, "LandXML file to write (never an input; - for standard output)")
        ->required();
    opt->fileOptions.AddChainTo(landxml);
    landxml->footer(
        "Points are written \"northing easting\": X then Y, as X is the northing here. Stations in the "
        "geometry and the profile are continuous stations; staStart and the station equations give the "
        "stake stations.");
    CLI::App* ifc =
        cmd->add_subcommand("ifc", "An alignment, its profile and a railway's cant as IFC 4.3 (IFC4X3_ADD2)");
    ifc->add_option("--plan", opt->plan, "Plan element file or intersection-point file")->required();
    ifc->add_option("--profile", opt->profile, "Vertical profile file")->type_name("ZDM");
    ifc->add_option("--sup", opt->sup, "Railway superelevation file, written as the track's cant")
        ->type_name("SUP");
    ifc->add_option("--rail-head-distance", opt->railHeadDistance,
                    "Distance between the rails' contact points in metres (default 1.500, standard gauge)")
        ->type_name("D");
    ifc->add_option(
        "--name", opt->name,
        "The alignment's name (default: the project's road name, the plan's own, or the file's name)");
    ifc->add_option("-o,--output", opt->out, "IFC file to write (never an input; - for standard output)")
        ->required();
    opt->fileOptions.AddChainTo(ifc);
    ifc->footer(
        "IFC's x is the easting (Y here) and y the northing (X here); directions run counter-clockwise from "
        "east, and a radius is positive where the alignment turns left. Distances along are measured from "
        "the alignment's start; a referent with Pset_Stationing gives the station at the start and at every "
        "chain break. A step in the profile is a zero-length segment carrying the height after it. With "
        "--project the alignment stands in an IfcRoad, or an IfcRailway when the project names a "
        "track-spacing file; without it, in the IfcSite.");
    return [opt, ifc] { return ifc->parsed() ? RunIfc(*opt) : RunLandXml(*opt); };
}

const CommandRegistration kRegistration{{"export", SetupExport}};

}  // namespace
}  // namespace qdat::tool
