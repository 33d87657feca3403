// qdat earthwork FILE --at STATION... | --from A --to B --step S [--json] [--kind N]
// The main pair of earthwork quantities (kinds 8 and 9) at stations, as
// absolute values: a row's own at its station, interpolated between the rows
// either side of it. With --kind N, quantity N of the row at each station
// (none between rows). --kind here is the quantity: the table is always read
// as an earthwork file, also one without signature.
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <qdat/docbase/detail/NumberText.h>
#include <qdat/earthwork/TfDoc.h>
#include "Tool.h"

namespace qdat::tool {
namespace {

struct EarthworkOptions {
    std::string file;
    FileOptions fileOptions;  // --break and --project only
    StationOptions stations;
    std::optional<int> kind;
    bool json = false;
};

Json ValueJson(const std::optional<double>& v) {
    return v ? Json(*v) : Json();
}
// Quantities are kept to three decimals in the file; interpolated ones are
// shown the same way (JSON gives them exactly).
std::string ValueText(const std::optional<double>& v) {
    return v ? FormatFixed(*v, 3) : "none";
}

// A legacy table has no signature: a file no kind knows by its signature is
// read as one, whatever its name.
std::unique_ptr<TfDoc> LoadTable(const EarthworkOptions& opt) {
    FileOptions options = opt.fileOptions;
    if (DocumentKind::MatchSignature(ReadFileEnvelope(opt.file).signature).empty())
        options.kind = TfDoc::classRecord.GetName();
    auto tf = LoadDocumentOfKind<TfDoc>(opt.file, options, "an earthwork file");
    if (tf->NeedsRepair()) {
        // Only in memory: the tool never rewrites the file.
        std::cerr << "qdat earthwork: " << opt.file
                  << ": the rows are not in station order; sorted for this run\n";
        tf->Repair();
    }
    return tf;
}

void RunMainPair(TfDoc& tf, const std::vector<QStation>& stations, bool json) {
    constexpr unsigned k8 = TfDoc::kFirstInterpolatedKind, k9 = TfDoc::kSecondInterpolatedKind;
    Json out = Json::array();
    if (!json)
        std::printf("%12s %14s %14s\n", "station", TfDoc::GetQuantityName(k8).c_str(),
                    TfDoc::GetQuantityName(k9).c_str());
    for (const QStation& s : stations) {
        double v8 = 0.0, v9 = 0.0;
        std::optional<double> q8, q9;
        if (tf.InterpolateAt(s, v8, v9)) {
            q8 = v8;
            q9 = v9;
        }
        if (json)
            out.push_back(
                {{"station", s.GetValue()}, {"quantity8", ValueJson(q8)}, {"quantity9", ValueJson(q9)}});
        else
            std::printf("%12s %14s %14s\n", ShortNumber(s.GetValue()).c_str(), ValueText(q8).c_str(),
                        ValueText(q9).c_str());
    }
    if (json) std::cout << out.dump(2) << "\n";
}

void RunOneKind(TfDoc& tf, const std::vector<QStation>& stations, unsigned kind, bool json) {
    Json out = Json::array();
    const std::string name = TfDoc::GetQuantityName(kind);
    if (!json) std::printf("%12s %14s\n", "station", name.c_str());
    for (const QStation& s : stations) {
        EarthworkRow row;
        std::optional<double> value;
        if (tf.FindRow(s, row)) value = row.GetQuantity(kind);
        if (json)
            out.push_back(
                {{"station", s.GetValue()}, {"kind", kind}, {"name", name}, {"value", ValueJson(value)}});
        else
            std::printf("%12s %14s\n", ShortNumber(s.GetValue()).c_str(),
                        value && TfDoc::GetQuantityType(kind) != 0 ? ShortNumber(*value).c_str()
                                                                   : ValueText(value).c_str());
    }
    if (json) std::cout << out.dump(2) << "\n";
}

int RunEarthwork(const EarthworkOptions& opt) {
    if (opt.stations.Empty()) UsageError("give --at STATION... or --from A --to B --step S");
    if (opt.kind && (*opt.kind < 0 || *opt.kind >= EarthworkRow::kKindCount))
        UsageError("--kind " + std::to_string(*opt.kind) + ": quantity kinds run from 0 to " +
                   std::to_string(EarthworkRow::kKindCount - 1));
    auto tf = LoadTable(opt);
    const std::vector<QStation> stations = opt.stations.Collect();
    if (opt.kind)
        RunOneKind(*tf, stations, static_cast<unsigned>(*opt.kind), opt.json);
    else
        RunMainPair(*tf, stations, opt.json);
    return kExitOk;
}

std::function<int()> SetupEarthwork(CLI::App& app) {
    auto opt = std::make_shared<EarthworkOptions>();
    CLI::App* cmd = app.add_subcommand("earthwork", "Earthwork quantities at stations");
    cmd->add_option("FILE", opt->file, "Earthwork file")->required();
    opt->stations.AddTo(cmd);
    cmd->add_option("--kind", opt->kind,
                    "Quantity kind 0 to 61 of the row at each station, instead of kinds 8 and 9 interpolated")
        ->type_name("N");
    cmd->add_flag("--json", opt->json, "JSON rows: station and quantity8, quantity9 (or kind, name, value)");
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
