// qdat sup FILE --at STATION... [--evaluator NAME] [--csv | --json]
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
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <qdat/section/QSupFile.h>
#include <qdat/section/SupEvaluator.h>
#include "Inputs.h"
#include "Output.h"

namespace qdat::tool {
namespace {

struct SupOptions {
    std::string file;
    FileOptions fileOptions;
    StationOptions stations;
    std::string evaluator;
    OutputOptions output;
    std::optional<int> transition;
    std::string out;
};

constexpr const char* kKeys[] = {"leftInner",  "leftMiddle",  "leftOuter",
                                 "rightInner", "rightMiddle", "rightOuter"};

double Value(const SupRow& r, int i) {
    const double values[] = {r.LeftInner,  r.LeftMiddle,  r.LeftOuter,
                             r.RightInner, r.RightMiddle, r.RightOuter};
    return values[i];
}

// A railway table has one cross-fall a side: its table shows the middle
// ones; CSV and JSON carry all six keys.
std::vector<Column> SupColumns(bool railwayTable) {
    std::vector<Column> columns{{"station", 12}};
    for (int i = 0; i < 6; ++i) {
        Column column{kKeys[i], railwayTable ? 0 : 11};
        if (railwayTable && (i == 1 || i == 4)) {
            column.width = 10;
            column.title = i == 1 ? "left" : "right";
        }
        columns.push_back(column);
    }
    return columns;
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

    FileContext context(opt.fileOptions);
    auto sup = LoadDocumentOfKind<QSupFile>(opt.file, context, "a superelevation table");
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
        std::optional<SupRow> values;
        if (evaluator->Evaluate(s.GetValue())) values = evaluator->GetResultRow();
        Row row{Cell::Number(s.GetValue(), ShortNumber(s.GetValue()))};
        for (int i = 0; i < 6; ++i) {
            const std::optional<double> v = values ? std::optional<double>(Value(*values, i)) : std::nullopt;
            row.push_back(Cell::Number(v, v ? Fixed(*v, 3) : std::string()));
        }
        rows.push_back(std::move(row));
    }
    PrintRows(opt.output, SupColumns(railway), rows);
    return kExitOk;
}

std::function<int()> SetupSup(CLI::App& app) {
    auto opt = std::make_shared<SupOptions>();
    CLI::App* cmd =
        app.add_subcommand("sup", "Cross-falls of a superelevation table at stations; its transition tool");
    cmd->add_option("FILE", opt->file, "Superelevation table")->required();
    opt->stations.AddTo(cmd);
    cmd->add_option("--evaluator", opt->evaluator, "Evaluator class (default: the library's linear one)");
    opt->output.AddTo(cmd, "Comma-separated values: station and the six cross-falls, in per cent",
                      "JSON rows, cross-falls in per cent");
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
