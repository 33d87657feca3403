// qdat sup FILE --at STATION... [--evaluator NAME] [--json]
// qdat sup FILE --transition ROW -o OUT [--evaluator NAME]
// The cross-falls of a superelevation table at stations, in per cent, as the
// evaluator class computes them (the library's own linear one unless --evaluator
// names another): the six parts of a road section, one value a side for a
// railway table (its JSON rows still carry all six keys, each side's three
// equal). A station the table does not cover shows empty cells, null in JSON.
//
// --transition runs the transition tool on row ROW (counted from 0) and the
// row after it, and saves the table with the rows it inserted to OUT (never
// the input), in the variant of the input.
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <qdat/docbase/detail/NumberText.h>
#include <qdat/section/QSupFile.h>
#include <qdat/section/SupEvaluator.h>
#include "Tool.h"

namespace qdat::tool {
namespace {

struct SupOptions {
    std::string file;
    FileOptions fileOptions;
    StationOptions stations;
    std::string evaluator;
    bool json = false;
    std::optional<int> transition;
    std::string out;
};

struct Row {
    double station;
    std::optional<SupRow> values;
};

constexpr const char* kKeys[] = {"leftInner",  "leftMiddle",  "leftOuter",
                                 "rightInner", "rightMiddle", "rightOuter"};

double Value(const SupRow& r, int i) {
    const double values[] = {r.LeftInner,  r.LeftMiddle,  r.LeftOuter,
                             r.RightInner, r.RightMiddle, r.RightOuter};
    return values[i];
}

std::string Cell(const Row& r, int i) {
    return r.values ? FormatFixed(Value(*r.values, i), 3) : std::string();
}

void PrintTable(const std::vector<Row>& rows, bool railway) {
    if (railway) {
        std::printf("%12s %10s %10s\n", "station", "left", "right");
        for (const Row& r : rows)
            std::printf("%12s %10s %10s\n", ShortNumber(r.station).c_str(), Cell(r, 1).c_str(),
                        Cell(r, 4).c_str());
        return;
    }
    std::printf("%12s", "station");
    for (const char* key : kKeys) std::printf(" %11s", key);
    std::printf("\n");
    for (const Row& r : rows) {
        std::printf("%12s", ShortNumber(r.station).c_str());
        for (int i = 0; i < 6; ++i) std::printf(" %11s", Cell(r, i).c_str());
        std::printf("\n");
    }
}

void PrintJson(const std::vector<Row>& rows) {
    Json out = Json::array();
    for (const Row& r : rows) {
        Json row = {{"station", r.station}};
        for (int i = 0; i < 6; ++i) row[kKeys[i]] = r.values ? Json(Value(*r.values, i)) : Json();
        out.push_back(std::move(row));
    }
    std::cout << out.dump(2) << "\n";
}

// Whether the file is a railway table: the document forgets it once read.
bool IsRailwayTable(const std::string& path) {
    const SignatureRule& rule = QSupFile::classRecord.RuleFor(ReadFileEnvelope(path).signature);
    return (rule.set & FormatFlag::RailwayVariant) != 0;
}

void SelectEvaluator(const std::string& name) {
    if (name.empty()) return;
    if (SupEvaluator::SelectEvaluatorClassByName(name.c_str())) return;
    std::string known;
    for (const RuntimeClass* c : SupEvaluator::GetEvaluatorClasses())
        known += std::string(" ") + c->GetName();
    UsageError("no evaluator class " + name + "; there are:" + known);
}

int RunTransition(const SupOptions& opt, QSupFile& sup, bool railway) {
    const int row = *opt.transition;
    const int count = sup.GetRowCount();
    if (row < 0 || row > count - 2)
        UsageError("--transition takes a row from 0 to " + std::to_string(count - 2) + " (" + opt.file +
                   " has " + std::to_string(count) + " rows)");
    sup.SetCurrentRow(row);
    sup.RunTransitionTool();
    sup.SetRailwayVariant(railway);
    WriteDocument(sup, opt.out, Form::Text, opt.file);
    // Written to standard output, the file is all that goes there.
    (opt.out == "-" ? std::cerr : std::cout)
        << opt.out << ": " << sup.GetRowCount() - count << " rows inserted\n";
    return kExitOk;
}

int RunSup(const SupOptions& opt) {
    if (opt.transition.has_value() == opt.out.empty()) UsageError("--transition and -o go together");
    if (opt.transition && !opt.stations.Empty()) UsageError("give stations or --transition, not both");
    if (!opt.transition && opt.stations.Empty())
        UsageError("give --at STATION... or --transition ROW -o OUT");
    if (opt.transition && SameFile(opt.file, opt.out))
        Fail(opt.out + " is the input file; choose another output");
    SelectEvaluator(opt.evaluator);

    auto sup = LoadDocumentOfKind<QSupFile>(opt.file, opt.fileOptions, "a superelevation table");
    const bool railway = IsRailwayTable(opt.file);
    if (opt.transition) return RunTransition(opt, *sup, railway);

    const std::vector<QStation> stations = opt.stations.Collect();
    const RuntimeClass* evaluatorClass = SupEvaluator::GetSelectedEvaluatorClass();
    std::unique_ptr<SupEvaluator> evaluator =
        evaluatorClass ? SupEvaluator::CreateEvaluator(*evaluatorClass) : nullptr;
    if (!evaluator) Fail("no superelevation evaluator class is registered");
    evaluator->Attach(sup.get());
    std::vector<Row> rows;
    rows.reserve(stations.size());
    for (const QStation& s : stations) {
        Row row{s.GetValue(), std::nullopt};
        if (evaluator->Evaluate(s.GetValue())) row.values = evaluator->GetResultRow();
        rows.push_back(std::move(row));
    }
    if (opt.json)
        PrintJson(rows);
    else
        PrintTable(rows, railway);
    return kExitOk;
}

std::function<int()> SetupSup(CLI::App& app) {
    auto opt = std::make_shared<SupOptions>();
    CLI::App* cmd =
        app.add_subcommand("sup", "Cross-falls of a superelevation table at stations; its transition tool");
    cmd->add_option("FILE", opt->file, "Superelevation table")->required();
    opt->stations.AddTo(cmd);
    cmd->add_option("--evaluator", opt->evaluator, "Evaluator class (default: the library's linear one)");
    cmd->add_flag("--json", opt->json, "JSON rows, cross-falls in per cent");
    cmd->add_option("--transition", opt->transition,
                    "Run the transition tool on this row (from 0) and the next, and save to -o");
    cmd->add_option("-o,--output", opt->out,
                    "File to save the table to after --transition (never the input; - for standard output)");
    opt->fileOptions.AddTo(cmd);
    return [opt] { return RunSup(*opt); };
}

const CommandRegistration kRegistration{{"sup", SetupSup}};

}  // namespace
}  // namespace qdat::tool
