// qdat station: station text through a chain table given on the command line.
//   qdat station format VALUE...      lettered, kilometre and plus text
//   qdat station parse TEXT...        continuous station of station text
//   qdat station fill FROM TO STEP    whole-interval stake stations
// Common options: --break BEFORE:AFTER (repeatable), --project, --prefix,
// --precision, --csv or --json.
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <qdat/docbase/QArchiveException.h>
#include <qdat/station/ChainTable.h>
#include <qdat/station/QStaDoc.h>
#include <qdat/station/QStation.h>
#include "Inputs.h"
#include "Output.h"

namespace qdat::tool {

namespace {

// A fill longer than this is a mistake in the step, not a stake list.
constexpr std::size_t kMaxFillStations = 1000000;

struct StationCommandOptions {
    FileOptions chain;
    std::string prefix;
    std::optional<int> precision;
    OutputOptions output;
    std::vector<std::string> values;
    std::vector<std::string> texts;  // parse: --text, for texts that look like options
    double from = 0.0;
    double to = 0.0;
    double step = 0.0;
};

// Sets up the context's chain table and precision from the options.
void ApplyOptions(const StationCommandOptions& options, FileContext& context) {
    // The precision --precision gives, else the project's, else 3.
    if (options.chain.project.empty()) context.SetPrecision(3);
    if (options.precision) context.SetPrecision(*options.precision);
    ChainTable table = context.Chain();
    if (!options.prefix.empty() || options.chain.project.empty()) table.SetPrefix(options.prefix);
    context.SetChainTable(table);
}

const std::vector<Column> kStationColumns{{"station"}, {"text"}, {"kmText"}, {"plusText"}};

Row StationRow(double station) {
    const QStation s(station);
    return {Cell::Number(station, ShortNumber(station)), Cell::Text(s.GetText()), Cell::Text(s.GetKmText()),
            Cell::Text(s.GetPlusText())};
}

int RunFormat(const StationCommandOptions& options) {
    std::vector<double> stations;
    for (const std::string& text : options.values) {
        double value = 0.0;
        if (!ParseNumber(text, value)) {
            UsageError("format: \"" + text + "\" is not a number");
        }
        stations.push_back(value);
    }
    std::vector<Row> rows;
    for (double station : stations) rows.push_back(StationRow(station));
    PrintRows(options.output, kStationColumns, rows, TableStyle::Tabs);
    return kExitOk;
}

int RunParse(StationCommandOptions options) {
    options.values.insert(options.values.end(), options.texts.begin(), options.texts.end());
    if (options.values.empty()) {
        UsageError("parse: no station text given");
    }
    // A text that does not parse has an error instead of a station.
    std::vector<Row> rows;
    bool allParsed = true;
    for (const std::string& text : options.values) {
        try {
            const double station = ParseStationText(text);
            Cell error = Cell::Text({});
            error.leftOut = true;
            rows.push_back({Cell::Text(text), Cell::Number(station, ShortNumber(station)), error});
        } catch (const QDLException& e) {
            allParsed = false;
            const std::string message = std::to_string(e.m_nMessageId) + ": " + e.GetErrorMessage();
            Cell station{Json(), "error " + message, {}, true};
            Cell error{Json{{"code", e.m_nMessageId}, {"message", e.GetErrorMessage()}}, {}, message};
            rows.push_back({Cell::Text(text), station, error});
        }
    }
    PrintRows(options.output, {{"text"}, {"station"}, {"error", 0}}, rows, TableStyle::Tabs);
    return allParsed ? kExitOk : kExitFailure;
}

// The stake list of a station list document: FROM, every whole-interval
// stake station after it with each chain break on the way, then TO.
int RunFill(const StationCommandOptions& options) {
    if (!(options.step > 0.0) || !std::isfinite(options.step)) {
        UsageError("fill: STEP must be a positive number");
    }
    if (!std::isfinite(options.from) || !std::isfinite(options.to) || options.to < options.from) {
        UsageError("fill: FROM and TO must be numbers with FROM not after TO");
    }
    // The stake list of a station list that holds FROM, filled up to TO.
    std::vector<FillStation> entries;
    if (!QStaDoc::StationsToFill(options.from, options.to, options.step, entries, kMaxFillStations - 1)) {
        UsageError("fill: more than " + std::to_string(kMaxFillStations) + " stations; use a larger STEP");
    }
    entries.insert(entries.begin(), {QStation(options.from), false});

    std::vector<Column> columns = kStationColumns;
    columns.push_back({"atBreak"});
    std::vector<Row> rows;
    for (const FillStation& e : entries) {
        rows.push_back(StationRow(e.station.GetValue()));
        rows.back().push_back(Cell::Flag(e.atBreak, e.atBreak ? "break" : ""));
    }
    PrintRows(options.output, columns, rows, TableStyle::Tabs);
    return kExitOk;
}

void AddCommonOptions(CLI::App* cmd, StationCommandOptions& options) {
    options.chain.AddChainTo(cmd);
    cmd->add_option("--prefix", options.prefix, "Station prefix of the kilometre forms, e.g. K");
    cmd->add_option("--precision", options.precision,
                    "Decimal places of station text (default: the project's with --project, else 3)");
    options.output.AddTo(cmd, "Comma-separated values", "Write JSON");
}

std::function<int()> Setup(CLI::App& app) {
    auto options = std::make_shared<StationCommandOptions>();
    CLI::App* station =
        app.add_subcommand("station", "Format, parse and step stations through a chain table");
    station->require_subcommand(1);

    CLI::App* format = station->add_subcommand("format", "Print the station texts of continuous stations");
    format->add_option("VALUE", options->values, "Continuous stations in metres")->required();
    AddCommonOptions(format, *options);

    CLI::App* parse = station->add_subcommand("parse", "Print the continuous stations of station texts");
    parse->add_option("TEXT", options->values, "Station texts, e.g. 1020 or B1020");
    // "-A20" looks like an option on a command line; --text=-A20 passes it.
    parse->add_option("--text", options->texts, "A station text, after the TEXT arguments");
    AddCommonOptions(parse, *options);

    CLI::App* fill =
        station->add_subcommand("fill", "Print the whole-interval stake stations from FROM to TO");
    fill->add_option("FROM", options->from, "First continuous station")->required();
    fill->add_option("TO", options->to, "Last continuous station")->required();
    fill->add_option("STEP", options->step, "Interval of the stake stations in metres")->required();
    AddCommonOptions(fill, *options);

    return [options, format, parse, fill]() -> int {
        FileContext context(options->chain);
        ApplyOptions(*options, context);
        if (format->parsed()) return RunFormat(*options);
        if (parse->parsed()) return RunParse(*options);
        if (fill->parsed()) return RunFill(*options);
        return 1;
    };
}

const CommandRegistration reg{{"station", Setup}};

}  // namespace

}  // namespace qdat::tool
