#include <qdat/station/StationText.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <string_view>

#include <qdat/station/ChainTable.h>

namespace qdat {

namespace {

bool AllDigits(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The kilometre form the tool prints ("K1+045.500", "-0+045.5", with the
// prefix of the table, or "K" when it has none) as the stake station text the
// chain table reads ("1045.500", "-45.5"); a chain letter before the
// kilometres ("KB1+100") is kept ("B1100"). None when text is not one.
std::optional<std::string> KilometreFormAsStake(std::string_view text, const ChainTable& table) {
    std::string s;
    for (const char c : text)
        if (c != ' ' && c != '\t') s += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::string prefix = table.GetPrefix();
    for (char& c : prefix) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    // "K" is the common prefix; it is one only where it cannot be chain K.
    if (prefix.empty() && table.GetBreakCount() < 'K' - 'A') prefix = "K";
    if (s.starts_with(prefix) && s.size() > prefix.size() && s[prefix.size()] != '+')
        s.erase(0, prefix.size());
    // The sign of a lettered station stands before its letter ("-A45"), of
    // a kilometre form before the kilometres ("K-0+045"); either is taken.
    std::string sign, letter;
    const auto take = [&s](std::string& into, bool what) {
        if (what) {
            into = s.substr(0, 1);
            s.erase(0, 1);
        }
    };
    take(sign, s.starts_with('-'));
    take(letter, !s.empty() && s[0] >= 'A' && s[0] <= 'Z');
    take(sign, sign.empty() && s.starts_with('-'));
    const std::size_t plus = s.find('+');
    if (plus == std::string::npos) return std::nullopt;
    const std::string km = s.substr(0, plus), metres = s.substr(plus + 1);
    const std::size_t point = metres.find('.');
    const std::string whole = metres.substr(0, point);
    const std::string fraction = point == std::string::npos ? std::string() : metres.substr(point + 1);
    // The metres of a kilometre form are below 1000: "1+2000" is a typing slip.
    if (!AllDigits(km) || !AllDigits(whole) || whole.size() > 3 ||
        (!fraction.empty() && !AllDigits(fraction)) || km.size() > 15)
        return std::nullopt;
    // Composed as text, so that no rounding comes between what was typed and
    // what the table reads.
    return sign + letter + km + std::string(3 - whole.size(), '0') + whole +
           (fraction.empty() ? std::string() : "." + fraction);
}

}  // namespace

double ParseStationText(const std::string& text) {
    const ChainTable& table = GetCurrentChainTable();
    double station = 0.0;
    if (table.ParseStake(text, station)) return station;
    ClearLastStationTextError();
    if (const std::optional<std::string> stake = KilometreFormAsStake(text, table)) {
        return table.ParseStakeOrThrow(*stake);
    }
    return table.ParseStakeOrThrow(text);
}

}  // namespace qdat
