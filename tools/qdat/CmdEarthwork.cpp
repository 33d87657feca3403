// qdat earthwork FILE --at STATION... | --from A --to B --step S [--csv | --json]
// [--quantity N]
// The main pair of earthwork quantities (kinds 8 and 9) at stations, as
// absolute values: a row's own at its station, interpolated between the rows
// either side of it. With --quantity N, quantity N of the row at each station
// (none between rows). --kind N is the old spelling of --quantity N and still
// means it here: the table is always read as an earthwork file, also one
// without signature.
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <qdat/earthwork/TfDoc.h>
#include "Inputs.h"
#include "Output.h"

namespace qdat::tool {
namespace {

struct EarthworkOptions {
    std::string file;
    FileOptions fileOptions;  // --break and --project only
    StationOptions stations;
    std::optional<int> quantity;  // --quantity, or --kind as it was spelt before
    OutputOptions output;
};

// Quantities are kept to three decimals in the file; interpolated ones are
// shown the same way (JSON gives them exactly).
std::string ValueText(const std::optional<double>& v) {
    return v ? Fixed(*v, 3) : "none";
}

// A legacy table has no signature: a file no kind knows by its signature is
// read as one, whatever its name.
std::unique_ptr<TfDoc> LoadTable(const EarthworkOptions& opt, FileContext& context) {
    const bool signed_ = !DocumentKind::MatchSignature(ReadFileEnvelope(opt.file).signature).empty();
    const DocumentKind& kind =
        DetectKind(opt.file, signed_ ? std::string() : TfDoc::classRecord.GetName(), false);
    auto tf = OfKind<TfDoc>(LoadDocumentAs(opt.file, kind, context), opt.file, "an earthwork file");
    SortForThisRun(*tf, opt.file, "earthwork", "the rows are");
    return tf;
}

void RunMainPair(TfDoc& tf, const std::vector<QStation>& stations, const OutputOptions& output) {
    constexpr unsigned k8 = TfDoc::kFirstInterpolatedKind, k9 = TfDoc::kSecondInterpolatedKind;
    std::vector<Row> rows;
    for (const QStation& s : stations) {
        double v8 = 0.0, v9 = 0.0;
        std::optional<double> q8, q9;
        if (tf.InterpolateAt(s, v8, v9)) {
            q8 = v8;
            q9 = v9;
        }
        rows.push_back({Cell::Number(s.GetValue(), ShortNumber(s.GetValue())),
                        Cell::Number(q8, ValueText(q8), "none"), Cell::Number(q9, ValueText(q9), "none")});
    }
    PrintRows(output,
              {{"station", 12},
               {"quantity8", 14, TfDoc::GetQuantityName(k8)},
               {"quantity9", 14, TfDoc::GetQuantityName(k9)}},
              rows);
}

void RunOneQuantity(TfDoc& tf, const std::vector<QStation>& stations, unsigned kind,
                    const OutputOptions& output) {
    const std::string name = TfDoc::GetQuantityName(kind);
    std::vector<Row> rows;
    for (const QStation& s : stations) {
        EarthworkRow row;
        std::optional<double> value;
        if (tf.FindRow(s, row)) value = row.GetQuantity(kind);
        rows.push_back(
            {Cell::Number(s.GetValue(), ShortNumber(s.GetValue())), Cell::Integer(kind), Cell::Text(name),
             Cell::Number(value,
                          value && TfDoc::GetQuantityType(kind) != 0 ? ShortNumber(*value) : ValueText(value),
                          "none")});
    }
    PrintRows(output, {{"station", 12}, {"kind", 0}, {"name", 0}, {"value", 14, name}}, rows);
}

int RunEarthwork(const EarthworkOptions& opt) {
    if (opt.stations.Empty()) UsageError("give --at STATION... or --from A --to B --step S");
    if (opt.quantity && (*opt.quantity < 0 || *opt.quantity >= EarthworkRow::kKindCount))
        UsageError("--quantity " + std::to_string(*opt.quantity) + ": quantity kinds run from 0 to " +
                   std::to_string(EarthworkRow::kKindCount - 1));
    FileContext context(opt.fileOptions);
    auto tf = LoadTable(opt, context);
    const std::vector<QStation> stations = opt.stations.Collect();
    if (opt.quantity)
        RunOneQuantity(*tf, stations, static_cast<unsigned>(*opt.quantity), opt.output);
    else
        RunMainPair(*tf, stations, opt.output);
    return kExitOk;
}

std::function<int()> SetupEarthwork(CLI::App& app) {
    auto opt = std::make_shared<EarthworkOptions>();
    CLI::App* cmd = app.add_subcommand("earthwork", "Earthwork quantities at stations");
    cmd->add_option("FILE", opt->file, "Earthwork file")->required();
    opt->stations.AddTo(cmd);
    CLI::Option* quantity =
        cmd->add_option(
               "--quantity", opt->quantity,
               "Quantity kind 0 to 61 of the row at each station, instead of kinds 8 and 9 interpolated")
            ->type_name("N");
    cmd->add_option("--kind", opt->quantity, "The old spelling of --quantity N")
        ->type_name("N")
        ->excludes(quantity);
    opt->output.AddTo(cmd, "Comma-separated values: station, quantity8, quantity9 (or kind, name, value)",
                      "JSON rows: station and quantity8, quantity9 (or kind, name, value)");
    opt->fileOptions.AddChainTo(cmd);
    cmd->footer(
        "Kinds 8 and 9 are given as absolute values, interpolated linearly between rows; a station before "
        "the first row or after the last has none (null in JSON). Kind 0 is the row's station, kind 28 a "
        "whole "
        "number.");
    return [opt] { return RunEarthwork(*opt); };
}

const CommandRegistration kRegistration{{"earthwork", SetupEarthwork}};

}  // namespace
}  // namespace qdat::tool
