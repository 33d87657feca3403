// qdat station: station text through a chain table given on the command line.
//   qdat station format VALUE...      lettered, kilometre and plus text
//   qdat station parse TEXT...        continuous station of station text
//   qdat station fill FROM TO STEP    whole-interval stake stations
// Common options: --break BEFORE:AFTER (repeatable), --prefix, --precision,
// --json.
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
#include "Tool.h"

namespace qdat::tool {

namespace {

// A fill longer than this is a mistake in the step, not a stake list.
constexpr std::size_t kMaxFillStations = 1000000;

struct StationCommandOptions {
    FileOptions chain;
    std::string prefix;
    std::optional<int> precision;
    bool json = false;
    std::vector<std::string> values;
    std::vector<std::string> texts;  // parse: --text, for texts that look like options
    double from = 0.0;
    double to = 0.0;
    double step = 0.0;
};

// Sets up the current chain table and the precision from the options. The
// tool is one process per command, so the process-wide state is ours.
void ApplyOptions(const StationCommandOptions& options) {
    // The precision --precision gives, else the project's, else 3.
    SetStationPrecisionValue(3);
    options.chain.ApplyProjectPrecision();
    if (options.precision) SetStationPrecisionValue(*options.precision);
    ChainTable table = options.chain.GetChainTable();
    if (!options.prefix.empty() || options.chain.project.empty()) table.SetPrefix(options.prefix);
    GetCurrentChainTable() = table;
}

Json StationJson(double station) {
    const QStation s(station);
    return {{"station", station},
            {"text", s.GetText()},
            {"kmText", s.GetKmText()},
            {"plusText", s.GetPlusText()}};
}

void PrintStation(double station, const char* note = nullptr) {
    const QStation s(station);
    std::cout << ShortNumber(station) << '\t' << s.GetText() << '\t' << s.GetKmText() << '\t'
              << s.GetPlusText();
    if (note) std::cout << '\t' << note;
    std::cout << '\n';
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
    if (options.json) {
        Json out = Json::array();
        for (double station : stations) out.push_back(StationJson(station));
        std::cout << out.dump(2) << '\n';
    } else {
        for (double station : stations) PrintStation(station);
    }
    return kExitOk;
}

int RunParse(StationCommandOptions options) {
    options.values.insert(options.values.end(), options.texts.begin(), options.texts.end());
    if (options.values.empty()) {
        UsageError("parse: no station text given");
    }
    Json out = Json::array();
    bool allParsed = true;
    for (const std::string& text : options.values) {
        try {
            const double station = ParseStationText(text);
            if (options.json)
                out.push_back({{"text", text}, {"station", station}});
            else
                std::cout << text << '\t' << ShortNumber(station) << '\n';
        } catch (const QDLException& e) {
            allParsed = false;
            if (options.json)
                out.push_back({{"text", text},
                               {"error", {{"code", e.m_nMessageId}, {"message", e.GetErrorMessage()}}}});
            else
                std::cout << text << "\terror " << e.m_nMessageId << ": " << e.GetErrorMessage() << '\n';
        }
    }
    if (options.json) std::cout << out.dump(2) << '\n';
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

    if (options.json) {
        Json out = Json::array();
        for (const FillStation& e : entries) {
            Json item = StationJson(e.station.GetValue());
            item["atBreak"] = e.atBreak;
            out.push_back(std::move(item));
        }
        std::cout << out.dump(2) << '\n';
    } else {
        for (const FillStation& e : entries)
            PrintStation(e.station.GetValue(), e.atBreak ? "break" : nullptr);
    }
    return kExitOk;
}

void AddCommonOptions(CLI::App* cmd, StationCommandOptions& options) {
    options.chain.AddChainTo(cmd);
    cmd->add_option("--prefix", options.prefix, "Station prefix of the kilometre forms, e.g. K");
    cmd->add_option("--precision", options.precision,
                    "Decimal places of station text (default: the project's with --project, else 3)");
    cmd->add_flag("--json", options.json, "Write JSON");
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
        ApplyOptions(*options);
        if (format->parsed()) return RunFormat(*options);
        if (parse->parsed()) return RunParse(*options);
        if (fill->parsed()) return RunFill(*options);
        return 1;
    };
}

const CommandRegistration reg{{"station", Setup}};

}  // namespace

}  // namespace qdat::tool
