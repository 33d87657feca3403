// Station text and ranges typed on the command line, read through the
// current chain table.
#include <algorithm>
#include <cctype>
#include <cmath>

#include <qdat/host/HostException.h>
#include "Inputs.h"
#include "Output.h"

namespace qdat::tool {

namespace {

// More stations than anyone reads; a range beyond it is a mistyped step.
constexpr double kMaxRangeStations = 10'000'000;

}  // namespace

QStation ParseStation(const std::string& text, const std::string& what) {
    QStation station;
    try {
        station = QStation(ParseStationText(text));
    } catch (const HostException& e) {
        UsageError(what + " " + text + ": " + e.GetErrorMessage());
    }
    if (!std::isfinite(station.GetValue())) UsageError(what + " " + text + " is not a finite number");
    return station;
}

void StationOptions::AddTo(CLI::App* cmd) {
    CLI::Option* atOption =
        cmd->add_option("--at", at, "Stations (station text, or metres without chain breaks)");
    CLI::Option* fromOption = cmd->add_option("--from", from, "First station of a range");
    CLI::Option* toOption = cmd->add_option("--to", to, "Last station of a range (always included)");
    CLI::Option* stepOption =
        cmd->add_option("--step", step, "Distance between the stations of a range, metres");
    atOption->excludes(fromOption)->excludes(toOption)->excludes(stepOption);
}

std::vector<QStation> StationOptions::Collect() const {
    std::vector<QStation> stations;
    for (const std::string& text : at) stations.push_back(ParseStation(text, "station"));
    if (from.empty() && to.empty() && !step) return stations;
    if (from.empty() || to.empty() || !step) UsageError("--from, --to and --step go together");
    if (!(*step > 0.0) || !std::isfinite(*step)) UsageError("--step must be a positive number");
    const double a = ParseStation(from, "--from").GetValue();
    const double b = ParseStation(to, "--to").GetValue();
    if (a > b) UsageError("--from must not be after --to");
    // Stations as from + i step, so that rounding does not pile up; a last
    // step that lands on the end within rounding is the end itself.
    const double steps = std::floor((b - a) / *step * (1.0 + 1e-12));
    if (!(steps + 2 <= kMaxRangeStations))
        UsageError(ShortNumber(steps + 1) + " stations are too many; use a larger --step");
    for (long i = 0; i <= static_cast<long>(steps); ++i)
        stations.emplace_back(a + static_cast<double>(i) * *step);
    if (std::fabs(stations.back().GetValue() - b) > 1e-9 * std::max(1.0, std::fabs(b)))
        stations.emplace_back(b);
    else
        stations.back() = QStation(b);
    return stations;
}

}  // namespace qdat::tool
