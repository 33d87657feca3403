// qdat control FILE --at STATION... [--csv|--json]
// What the design control file says at stations: whether the station lies in
// a tunnel and in which, the bridge or culvert on each side, the benchmarks
// nearest behind and ahead, and the FJBK rows of both sides interpolated at
// the station.
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <qdat/section/CtrDoc.h>
#include <qdat/section/CtrStructures.h>
#include "Inputs.h"
#include "Output.h"

namespace qdat::tool {
namespace {

struct ControlOptions {
    std::string file;
    FileOptions fileOptions;
    StationOptions stations;
    OutputOptions output;
    std::string transition = "linear";
    std::string firstValue = "linear";
};

const std::map<std::string, int> kTransitions{{"linear", CtrDoc::LinearTransition},
                                              {"parabola", CtrDoc::ParabolaTransition},
                                              {"cubic", CtrDoc::CubicTransition}};
const std::map<std::string, int> kFirstValueModes{{"linear", CtrDoc::LinearFirstValue},
                                                  {"cubic", CtrDoc::CubicFirstValue}};

using Answer = CtrStationAnswer;

// ---------------------------------------------------------------------------
// JSON: the rows with the keys of `qdat dump`.

Json TunnelJson(const TunnelRow* t) {
    if (!t) return nullptr;
    return {{"startStation", t->StartStation.GetValue()},
            {"endStation", t->EndStation.GetValue()},
            {"name", t->Name}};
}

Json StructureJson(const StructureRow* s) {
    if (!s) return nullptr;
    return {{"startStation", s->StartStation.GetValue()},
            {"endStation", s->EndStation.GetValue()},
            {"centreStation", s->CentreStation.GetValue()},
            {"text1", s->Text1},
            {"text2", s->Text2},
            {"text3", s->Text3},
            {"value1", s->Value1},
            {"value2", s->Value2},
            {"code1", s->Code1},
            {"code2", s->Code2},
            {"side", s->Side}};
}

Json BenchmarkJson(const BenchmarkRow* b, const QStation& station) {
    return {{"station", b->Station.GetValue()},
            {"name", b->Name},
            {"value", b->Value},
            {"remark", b->Remark},
            {"offset", b->Station.GetValue() - station.GetValue()}};
}

Json FjbkJson(const std::optional<ItemRow>& row) {
    if (!row) return nullptr;
    Json items = Json::array();
    for (const CtrItem& item : row->Items)
        items.push_back(
            {{"first", item.First}, {"second", item.Second}, {"third", item.Third}, {"code", item.Code}});
    return {{"station", row->Station.GetValue()}, {"items", items}};
}

Json AnswersJson(const std::vector<Answer>& answers) {
    Json out = Json::array();
    for (const Answer& a : answers) {
        Json benchmarks = Json::array();
        if (a.behind) benchmarks.push_back(BenchmarkJson(a.behind, a.station));
        if (a.ahead) benchmarks.push_back(BenchmarkJson(a.ahead, a.station));
        out.push_back({{"station", a.station.GetValue()},
                       {"inTunnel", a.inTunnel},
                       {"tunnel", TunnelJson(a.tunnel)},
                       {"leftStructure", StructureJson(a.left)},
                       {"rightStructure", StructureJson(a.right)},
                       {"benchmarks", benchmarks},
                       {"leftFJBK", FjbkJson(a.leftFjbk)},
                       {"rightFJBK", FjbkJson(a.rightFjbk)}});
    }
    return out;
}

// ---------------------------------------------------------------------------
// Text

std::string Range(const QStation& start, const QStation& end) {
    return ShortNumber(start.GetValue()) + " to " + ShortNumber(end.GetValue());
}

std::string TunnelText(const Answer& a) {
    if (!a.tunnel) return "none";
    std::string text = Quoted(a.tunnel->Name) + ", " + Range(a.tunnel->StartStation, a.tunnel->EndStation);
    if (!a.inTunnel) text += " (at its end)";
    return text;
}

std::string StructureText(const StructureRow* s) {
    if (!s) return "none";
    return Quoted(s->Text1) + " " + Quoted(s->Text2) + ", " + Range(s->StartStation, s->EndStation) +
           ", centre " + ShortNumber(s->CentreStation.GetValue());
}

std::string BenchmarkText(const BenchmarkRow* b, const QStation& station) {
    const double offset = b->Station.GetValue() - station.GetValue();
    return Quoted(b->Name) + " at " + ShortNumber(b->Station.GetValue()) + " (" + (offset >= 0 ? "+" : "") +
           ShortNumber(offset) + "), " + ShortNumber(b->Value);
}

std::string FjbkText(const std::optional<ItemRow>& row) {
    if (!row) return "none";
    if (row->Items.empty()) return "no items";
    std::string text;
    for (const CtrItem& item : row->Items) {
        if (!text.empty()) text += ", ";
        text += ShortNumber(item.First) + " " + ShortNumber(item.Second) + " " + ShortNumber(item.Third) +
                " " + std::to_string(item.Code);
    }
    return text;
}

void PrintText(const std::vector<Answer>& answers) {
    for (const Answer& a : answers) {
        std::cout << "station " << ShortNumber(a.station.GetValue()) << "\n"
                  << "  tunnel:          " << TunnelText(a) << "\n"
                  << "  left structure:  " << StructureText(a.left) << "\n"
                  << "  right structure: " << StructureText(a.right) << "\n"
                  << "  benchmarks:      ";
        if (!a.behind && !a.ahead) std::cout << "none";
        if (a.behind) std::cout << BenchmarkText(a.behind, a.station);
        if (a.behind && a.ahead) std::cout << "; ";
        if (a.ahead) std::cout << BenchmarkText(a.ahead, a.station);
        std::cout << "\n"
                  << "  left FJBK:       " << FjbkText(a.leftFjbk) << "\n"
                  << "  right FJBK:      " << FjbkText(a.rightFjbk) << "\n";
    }
}

int RunControl(const ControlOptions& opt) {
    if (opt.stations.Empty()) UsageError("give --at STATION... or --from A --to B --step S");
    FileContext context(opt.fileOptions);
    auto doc = LoadDocumentOfKind<CtrDoc>(opt.file, context, "a design control file");
    const std::vector<QStation> stations = opt.stations.Collect();
    SortForThisRun(*doc, opt.file, "control", "some table is");
    std::vector<Answer> answers;
    answers.reserve(stations.size());
    for (const QStation& s : stations)
        answers.push_back(
            AskControlAt(*doc, s, kTransitions.at(opt.transition), kFirstValueModes.at(opt.firstValue)));
    if (opt.output.json)
        PrintJson(AnswersJson(answers));
    else if (opt.output.csv)
        PrintJsonAsCsv(AnswersJson(answers));
    else
        PrintText(answers);
    return kExitOk;
}

std::function<int()> SetupControl(CLI::App& app) {
    auto opt = std::make_shared<ControlOptions>();
    CLI::App* cmd = app.add_subcommand(
        "control",
        "Tunnels, bridges and culverts, benchmarks and FJBK rows of a design control file at stations");
    cmd->add_option("FILE", opt->file, "Design control file")->required();
    opt->stations.AddTo(cmd);
    opt->output.AddTo(cmd, "Write CSV: one line per station, nested keys joined by dots",
                      "Write JSON: one object per station");
    cmd->add_option("--transition", opt->transition, "How the FJBK second values pass from row to row")
        ->check(CLI::IsMember({"linear", "parabola", "cubic"}))
        ->capture_default_str();
    cmd->add_option("--first-value", opt->firstValue, "How the FJBK first values pass from row to row")
        ->check(CLI::IsMember({"linear", "cubic"}))
        ->capture_default_str();
    opt->fileOptions.AddTo(cmd);
    cmd->footer(
        "A tunnel, bridge or culvert holds a station from its start to its end, both included within the "
        "station "
        "tolerance; \"in a tunnel\" asks for more than the tolerance inside both ends. The benchmarks are "
        "the "
        "nearest at or behind the station and the nearest ahead of it, with their offsets in metres. An FJBK "
        "first "
        "value of 9999 is not set and is not interpolated.");
    return [opt] { return RunControl(*opt); };
}

const CommandRegistration kRegistration{{"control", SetupControl}};

}  // namespace
}  // namespace qdat::tool
