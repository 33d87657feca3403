// qdat import landxml IN.xml --list [--json]
// qdat import landxml IN.xml [--alignment NAME] [--profile-name NAME]
//     [--plan OUT.pm] [--jd OUT.jd] [--profile OUT.zdm] [--ground OUT.dmx]
//     [--project OUT.prj] [--all DIR]
// Reads the alignments of a LandXML file written by another program into
// this package's files. Everything is read and checked before the first file
// is written; on any error nothing is. What the reader met on the way (units
// converted, gaps and kinks between elements, curves approximated) is told
// on standard error; the files written are named on standard output.
#include <iostream>
#include <memory>
#include <string>

#include <qdat/exchange/LandXmlImport.h>
#include "Command.h"
#include "Output.h"

namespace qdat::tool {
namespace {

struct ImportOptions {
    std::string input;
    bool list = false;
    OutputOptions output;
    LandXmlImportOptions library;
};

Json ProfileJson(const LandXmlProfileInfo& p) {
    return {{"name", p.name},
            {"kind", p.ground ? "ground" : "design"},
            {"points", p.points},
            {"staStart", p.startStation},
            {"staEnd", p.endStation}};
}

int RunList(const ImportOptions& opt) {
    const LandXmlFileInfo info = ListLandXml(opt.input);
    if (opt.output.json) {
        Json list = Json::array();
        for (const LandXmlAlignmentInfo& a : info.alignments) {
            Json profiles = Json::array();
            for (const LandXmlProfileInfo& p : a.profiles) profiles.push_back(ProfileJson(p));
            list.push_back({{"name", a.name},
                            {"staStart", a.staStart},
                            {"length", a.length},
                            {"lines", a.lines},
                            {"curves", a.curves},
                            {"spirals", a.spirals},
                            {"equations", a.equations},
                            {"profiles", profiles},
                            {"units", info.units},
                            {"application", info.application}});
        }
        PrintJson(list);
        return kExitOk;
    }
    std::cout << "LandXML " << (info.version.empty() ? "(no version)" : info.version) << "\n"
              << "application: " << (info.application.empty() ? "-" : info.application) << "\n"
              << "units: " << info.units << "\n";
    for (const LandXmlAlignmentInfo& a : info.alignments) {
        std::cout << "alignment " << Quoted(a.name) << ": staStart " << Fixed(a.staStart, 3) << ", length "
                  << Fixed(a.length, 3) << " m, " << a.lines << " lines, " << a.curves << " curves, "
                  << a.spirals << " spirals, " << a.equations << " station equations\n";
        for (const LandXmlProfileInfo& p : a.profiles)
            std::cout << "  " << (p.ground ? "ground line " : "profile ") << Quoted(p.name) << ": "
                      << p.points << " points, " << Fixed(p.startStation, 3) << " to "
                      << Fixed(p.endStation, 3) << "\n";
    }
    return kExitOk;
}

int RunImport(const ImportOptions& opt) {
    if (opt.list) return RunList(opt);
    const LandXmlImportOptions& l = opt.library;
    if (l.plan.empty() && l.jd.empty() && l.profile.empty() && l.ground.empty() && l.project.empty() &&
        l.allDirectory.empty())
        UsageError(
            "nothing to do: give --list, or one of --plan, --jd, --profile, --ground, --project, --all");
    const LandXmlImportResult result = ImportLandXml(opt.input, l);
    for (const std::string& note : result.notes) std::cerr << "qdat import: " << note << "\n";
    for (const std::string& path : result.written) std::cout << "written: " << path << "\n";
    return kExitOk;
}

std::function<int()> SetupImport(CLI::App& app) {
    auto opt = std::make_shared<ImportOptions>();
    CLI::App* cmd = app.add_subcommand("import", "Import design data from other formats");
    cmd->require_subcommand(1);
    CLI::App* landxml = cmd->add_subcommand(
        "landxml", "Alignments, profiles and ground lines of a LandXML 1.0-1.2 file as this package's files");
    landxml->add_option("IN", opt->input, "LandXML file")->required();
    CLI::Option* list = landxml->add_flag("--list", opt->list, "List the alignments and their profiles");
    opt->output.AddJsonTo(landxml, "With --list: a JSON list of the alignments")->needs(list);
    landxml->add_option("--alignment", opt->library.alignment, "The alignment (default: the only one)")
        ->type_name("NAME");
    landxml->add_option("--profile-name", opt->library.profileName, "The design profile (default: the first)")
        ->type_name("NAME");
    const auto output = [&](const char* name, std::string& into, const char* help, const char* type) {
        landxml->add_option(name, into, help)->type_name(type)->excludes(list);
    };
    output("--plan", opt->library.plan, "Plan element file to write", "OUT.pm");
    output("--jd", opt->library.jd, "Intersection-point file to write", "OUT.jd");
    output("--profile", opt->library.profile, "Vertical profile file to write", "OUT.zdm");
    output("--ground", opt->library.ground, "Profile ground line file to write", "OUT.dmx");
    output("--project", opt->library.project, "Project file naming them, with the chain table", "OUT.prj");
    output("--all", opt->library.allDirectory,
           "Write every file of every alignment into this folder, named after the alignment", "DIR");
    landxml->footer(
        "Points \"northing easting\" become X Y. Stations of the geometry and the profiles are the file's "
        "internal stations; staStart and the station equations give the chain table, written into the "
        "project file and used for the station text of every file. Lengths in feet are converted to metres. "
        "Nothing is written when anything cannot be read or represented.");
    return [opt] { return RunImport(*opt); };
}

const CommandRegistration kRegistration{{"import", SetupImport}};

}  // namespace
}  // namespace qdat::tool
