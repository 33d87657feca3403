// qdat jd FILE [--compute] [--csv|--json] [-o OUT]: every intersection point of an
// intersection-point file with its inputs and derived values (angles in
// degrees in the table, in radians in JSON). --compute computes the curves
// first; when a point fails, the command ends with the message and the point
// and writes nothing. -o saves the document (computed or as read) to OUT.
//
// qdat jd FILE --elements OUT.pm: computes the curves and saves the alignment
// they make as a plan element file.
//
// A command that writes a file prints the points only when --csv or --json
// is given.
#include <cstdio>
#include <iostream>
#include <memory>
#include <numbers>
#include <string>

#include <qdat/docbase/NumberFormat.h>
#include <qdat/exchange/AlignmentOf.h>
#include <qdat/plan/QJdDoc.h>
#include <qdat/plan/QPmDoc.h>
#include "Inputs.h"
#include "Output.h"

namespace qdat::tool {
namespace {

struct JdOptions {
    std::string file;
    FileOptions fileOptions;
    bool compute = false;
    OutputOptions output;
    std::string out;
    std::string elements;
};

std::string Metres(double value) {
    return FormatFixed(value, 3);
}
std::string Angle(double radians) {
    return FormatFixed(Degrees(radians), 6);
}

Json PointJson(const JdPoint& p) {
    Json aux = Json::array();
    for (const AuxPoint& a : p.AuxPoints)
        aux.push_back({{"name", a.Name},
                       {"x", a.X},
                       {"y", a.Y},
                       {"deflection", a.Deflection},
                       {"azimuth", a.Azimuth},
                       {"distance", a.Distance}});
    return {{"name", p.Name},
            {"calcMode", p.CalcMode},
            {"curveType", p.CurveType},
            {"x", p.X},
            {"y", p.Y},
            {"radius", p.Radius},
            {"spiralStartRadius", p.SpiralStartRadius},
            {"spiralEndRadius", p.SpiralEndRadius},
            {"spiralLength1", p.SpiralLength1},
            {"spiralLength2", p.SpiralLength2},
            {"spiralParam1", p.SpiralParam1},
            {"spiralParam2", p.SpiralParam2},
            {"tangent1", p.Tangent1},
            {"tangent2", p.Tangent2},
            {"externalDistance", p.ExternalDistance},
            {"curveLength", p.CurveLength},
            {"arcLength", p.ArcLength},
            {"straightLength", p.StraightLength},
            {"legLength", p.LegLength},
            {"azimuth", p.Azimuth},
            {"deflection", p.Deflection},
            {"stationJD", p.StationJD.GetValue()},
            {"stationTS", p.StationTS.GetValue()},
            {"stationSC", p.StationSC.GetValue()},
            {"stationMid", p.StationMid.GetValue()},
            {"stationCS", p.StationCS.GetValue()},
            {"stationST", p.StationST.GetValue()},
            {"auxPoints", aux}};
}

void PrintJson(const QJdDoc& doc, const std::string& signature) {
    const JdList& list = doc.GetList();
    Json points = Json::array();
    for (const JdPoint& p : list.Points) points.push_back(PointJson(p));
    const Json out = {{"kind", doc.GetRuntimeClass().GetName()},
                      {"signature", signature},
                      {"fileVersion", doc.GetFileVersion()},
                      {"startStation", list.StartStation.GetValue()},
                      {"points", points}};
    std::cout << out.dump(2) << "\n";
}

// One line a point, the keys of the JSON (aux points numbered).
void PrintPointsCsv(const QJdDoc& doc) {
    Json points = Json::array();
    for (const JdPoint& p : doc.GetList().Points) points.push_back(PointJson(p));
    PrintJsonAsCsv(points);
}

void PrintTable(const QJdDoc& doc, const std::string& signature) {
    const JdList& list = doc.GetList();
    std::cout << KindFileName(doc) << " " << (signature.empty() ? "(no signature)" : signature)
              << ", file version " << doc.GetFileVersion() << ", start station "
              << Metres(list.StartStation.GetValue()) << ", " << list.Points.GetSize() << " points\n";
    for (int i = 0; i < list.Points.GetSize(); ++i) {
        const JdPoint& p = list.Points[i];
        std::cout << "#" << i << " " << PointName(p, i) << "  mode " << p.CalcMode << "  curve type "
                  << p.CurveType << "\n"
                  << "   x " << FormatFixed(p.X, 4) << "  y " << FormatFixed(p.Y, 4) << "\n"
                  << "   radius " << Metres(p.Radius) << "  spiral radii " << Metres(p.SpiralStartRadius)
                  << " / " << Metres(p.SpiralEndRadius) << "  spiral lengths " << Metres(p.SpiralLength1)
                  << " / " << Metres(p.SpiralLength2) << "  spiral parameters " << Metres(p.SpiralParam1)
                  << " / " << Metres(p.SpiralParam2) << "\n"
                  << "   tangents " << Metres(p.Tangent1) << " / " << Metres(p.Tangent2) << "  external "
                  << Metres(p.ExternalDistance) << "  curve " << Metres(p.CurveLength) << "  arc "
                  << Metres(p.ArcLength) << "  straight " << Metres(p.StraightLength) << "  leg "
                  << Metres(p.LegLength) << "\n"
                  << "   azimuth " << Angle(p.Azimuth) << " deg  deflection " << Angle(p.Deflection)
                  << " deg\n"
                  << "   stations JD " << Metres(p.StationJD.GetValue()) << "  TS "
                  << Metres(p.StationTS.GetValue()) << "  SC " << Metres(p.StationSC.GetValue()) << "  Mid "
                  << Metres(p.StationMid.GetValue()) << "  CS " << Metres(p.StationCS.GetValue()) << "  ST "
                  << Metres(p.StationST.GetValue()) << "\n";
        for (int j = 0; j < p.AuxPoints.GetSize(); ++j) {
            const AuxPoint& a = p.AuxPoints[j];
            std::cout << "   aux " << p.AuxDisplayName("JD", i, j) << "  x " << FormatFixed(a.X, 4) << "  y "
                      << FormatFixed(a.Y, 4) << "  deflection " << Angle(a.Deflection) << " deg  azimuth "
                      << Angle(a.Azimuth) << " deg  distance " << Metres(a.Distance) << "\n";
        }
    }
}

int RunJd(const JdOptions& opt) {
    if ((opt.out == "-") + (opt.elements == "-") +
            (!opt.output.Table() && (opt.out == "-" || opt.elements == "-")) >
        1)
        UsageError("only one output can go to standard output");
    for (const std::string* out : {&opt.out, &opt.elements})
        if (!out->empty() && SameFile(opt.file, *out))
            Fail(*out + " is the input file; choose another output");
    const std::string signature = ReadFileEnvelope(opt.file).signature;
    FileContext context(opt.fileOptions);
    auto doc = LoadDocumentOfKind<QJdDoc>(opt.file, context, "an intersection-point file");
    if (opt.compute || !opt.elements.empty()) ComputeCurves(*doc, opt.file);

    if (!opt.elements.empty()) {
        QPmDoc pm;
        pm.GetAlignment() = doc->GetList().BuildElementList();
        WriteDocument(pm, opt.elements, Form::Text, opt.file);
    }
    if (!opt.out.empty()) WriteDocument(*doc, opt.out, Form::Text, opt.file);
    // A command that writes files prints only when CSV or JSON is asked for.
    if ((!opt.out.empty() || !opt.elements.empty()) && opt.output.Table()) return kExitOk;
    if (opt.output.json)
        PrintJson(*doc, signature);
    else if (opt.output.csv)
        PrintPointsCsv(*doc);
    else
        PrintTable(*doc, signature);
    return kExitOk;
}

std::function<int()> SetupJd(CLI::App& app) {
    auto opt = std::make_shared<JdOptions>();
    CLI::App* cmd = app.add_subcommand("jd", "Intersection points and their curves");
    cmd->add_option("FILE", opt->file, "Intersection-point file")->required();
    cmd->add_flag("--compute", opt->compute, "Compute the curves of every point first");
    opt->output.AddTo(cmd, "CSV, one line a point, angles in radians", "JSON, angles in radians");
    cmd->add_option("-o,--output", opt->out,
                    "File to save the points to (never the input; - for standard output)");
    cmd->add_option("--elements", opt->elements,
                    "Compute the curves and save the alignment as a plan element file (never the input; - "
                    "for standard output)")
        ->type_name("OUT.pm");
    opt->fileOptions.AddTo(cmd);
    return [opt] { return RunJd(*opt); };
}

const CommandRegistration kRegistration{{"jd", SetupJd}};

}  // namespace
}  // namespace qdat::tool
