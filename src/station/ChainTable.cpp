// Chain-break table: stake stations and station text (its persistence forms
// are in ChainTableStore.cpp).
#include <qdat/station/ChainTable.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <utility>
#include <vector>

#include <qdat/docbase/detail/NumberText.h>
#include <qdat/host/Context.h>
#include <qdat/host/HostUi.h>
#include <qdat/host/Resources.h>
#include <qdat/station/detail/StationStrings.h>

namespace qdat {

namespace ids = station_strings;

namespace {

// A station this close behind a break's Before still belongs to the chain
// behind the break when the chain is looked up.
constexpr double kChainLookupSlack = 0.00001;
// Keeps a whole-interval station that lands on an interval by rounding from
// being stepped over.
constexpr double kIntervalSlack = 0.0000001;
// A wild insertion index would otherwise grow the table by millions of empty
// breaks; no alignment has that many.
constexpr int kMaxInsertIndex = 4096;

// 10^places, exact for every precision a station can have.
double PowerOfTen(int places) {
    double power = 1.0;
    for (int i = 0; i < places; ++i) power *= 10.0;
    return power;
}

std::string Fixed(double value, int places) {
    return FormatFixed(value, places);
}

std::string Quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

// What the parser takes from the resource texts: the two character sets as
// tables of the bytes they admit, and whether the number scan format is the
// built-in one. Station text is parsed once per point of a file, so this is
// built once and rebuilt only when the texts may have changed. A table admits
// a character when its upper-case form is in the set, since the text is
// compared upper-cased.
struct ScanRules {
    std::uint64_t generation = 0;
    bool unchained[256] = {};
    bool chained[256] = {};
    bool builtinFormat = true;  // "%lf": whole-text from_chars is exact
    // The built-in set without breaks (digits, point, minus) with the built-in
    // format: a fixed-format from_chars that takes the whole text admits
    // exactly what the set and the scan admit together (it takes no exponent,
    // no plus and no blank; the infinities and NaN it takes are refused as
    // not finite), so the text is looked at once.
    bool unchainedPlain = false;
};

// Station text is compared upper-cased, ASCII letters only.
constexpr char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Chains are lettered "A" to "Z"; a table filled beyond 25 breaks by
// insertion goes on with "AA", "AB" ... "AZ", "BA" ... "ZZ", "AAA" ...: the
// chain index plus one written in base 26 with the digits A to Z, as
// spreadsheet columns are. Every chain has letters of its own, and letters
// followed by a number read back as the chain they name.
std::string ChainLetter(int chain) {
    std::string letters;
    for (long long n = static_cast<long long>(chain) + 1; n > 0; n = (n - 1) / 26)
        letters.insert(letters.begin(), static_cast<char>('A' + (n - 1) % 26));
    return letters;
}

// The number of leading letters of text and the chain they name; -1 for a
// run of letters beyond any chain a table can have.
std::size_t ChainLetters(std::string_view text, int& chain) {
    constexpr long long kBeyondEveryChain = 1LL << 40;
    std::size_t count = 0;
    long long n = 0;
    while (count < text.size() && UpperAscii(text[count]) >= 'A' && UpperAscii(text[count]) <= 'Z') {
        n = std::min(kBeyondEveryChain, n * 26 + (UpperAscii(text[count]) - 'A' + 1));
        ++count;
    }
    chain = n >= kBeyondEveryChain ? -1 : static_cast<int>(std::min<long long>(n - 1, INT_MAX));
    return count;
}

void FillAdmitted(bool (&admitted)[256], const std::string& set) {
    for (int c = 0; c < 256; ++c)
        admitted[c] = c < 128 && set.find(UpperAscii(static_cast<char>(c))) != std::string::npos;
}

// Kept for each thread and made again when the texts of its current context
// may differ from those it was made from; constant-initialised, so no guard is
// tested on every station.
constinit thread_local ScanRules t_rules;
// Its address, read in the initial-exec model (see host/Context.cpp): the
// rules themselves are too large for the room the loader keeps for that.
[[gnu::tls_model("initial-exec")]] constinit thread_local ScanRules* t_rulesHere = nullptr;

ScanRules& ThreadRules() {
    ScanRules* rules = t_rulesHere;
    return rules ? *rules : *(t_rulesHere = &t_rules);
}

void RebuildRules() {
    ScanRules& rules = ThreadRules();
    FillAdmitted(rules.unchained, ResourceText(ids::kUnchainedChars));
    FillAdmitted(rules.chained, ResourceText(ids::kChainedChars));
    rules.builtinFormat = ResourceText(ids::kNumberScanFormat) == "%lf";
    bool plain = rules.builtinFormat;
    for (int c = 0; c < 256; ++c)
        plain = plain && rules.unchained[c] == (c == '.' || c == '-' || (c >= '0' && c <= '9'));
    rules.unchainedPlain = plain;
    rules.generation = ResourceGeneration();
}

inline const ScanRules& Rules() {
    const ScanRules& rules = ThreadRules();
    if (rules.generation != ResourceGeneration()) RebuildRules();
    return rules;
}

bool OnlyCharsOf(std::string_view text, const bool (&admitted)[256]) {
    for (unsigned char c : text)
        if (!admitted[c]) return false;
    return true;
}

// Scans one number with the resource number format; the whole text must be
// used, so that "1+200" or "1.2.3" are refused instead of read as 1 or 1.2.
bool ScanNumber(const ScanRules& rules, std::string_view text, double& value) {
    double scanned = 0.0;
    if (rules.builtinFormat) {
        // The built-in format: the whole text must be one number. from_chars
        // reads exactly what "%lf" reads from the allowed characters, faster,
        // and the case of an exponent letter does not matter to either.
        const char* first = text.data();
        const char* last = first + text.size();
        const auto r = std::from_chars(first, last, scanned);
        if (r.ptr != last || (r.ec != std::errc() && r.ec != std::errc::result_out_of_range)) return false;
        // Out of range, "%lf" gives what strtod gives: an infinity, refused
        // below, or the nearest tiny number for a text that underflows.
        if (r.ec == std::errc::result_out_of_range) scanned = std::strtod(std::string(text).c_str(), nullptr);
        if (!std::isfinite(scanned)) return false;
        value = scanned;
        return true;
    }
    // A translated format is applied to the upper-cased text, as always.
    std::string upper(text);
    for (char& c : upper) c = UpperAscii(c);
    int used = -1;
    const std::string format = ResourceText(ids::kNumberScanFormat) + "%n";
    if (std::sscanf(upper.c_str(), format.c_str(), &scanned, &used) != 1) return false;
    if (used < 0 || static_cast<std::size_t>(used) != upper.size()) return false;
    if (!std::isfinite(scanned)) return false;
    value = scanned;
    return true;
}

inline std::string_view Trimmed(std::string_view text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    const auto blank = [](char c) {
        return static_cast<unsigned char>(c) <= ' ' && (c == ' ' || (c >= '\t' && c <= '\r'));
    };
    while (first < last && blank(text[first])) ++first;
    while (last > first && blank(text[last - 1])) --last;
    return text.substr(first, last - first);
}

}  // namespace

// ChainBreak ---------------------------------------------------------------

bool ChainBreak::ParseText(const std::string& breakText) {
    const std::string format = LoadResourceString(ids::kBreakFormat);
    double before = 0.0;
    double after = 0.0;
    if (std::sscanf(breakText.c_str(), format.c_str(), &before, &after) != 2) return false;
    if (!std::isfinite(before) || !std::isfinite(after)) return false;
    Before = before;
    After = after;
    text = breakText;
    return true;
}

std::string ChainBreak::GetText() const {
    return FormatResource(ids::kBreakFormat, Before, After);
}

// Breaks -------------------------------------------------------------------

namespace {

ChainBreak BreakFromText(const std::string& breakText) {
    ChainBreak brk;
    if (!brk.ParseText(breakText))
        throw QDLException(ids::kBadStationText, Quoted(breakText),
                           LoadResourceString(ids::kReasonBadBreakText));
    return brk;
}

// Error 13. Message 13 itself is the framework's text for an error without
// details, so the text naming the break has a number of its own.
[[noreturn]] void ThrowTooManyBreaks(const std::string& breakText) {
    QDLException error(ids::kTooManyBreaksText, Quoted(breakText), std::to_string(ChainTable::kMaxBreaks));
    error.m_nMessageId = ids::kTooManyBreaks;
    throw error;
}

}  // namespace

int ChainTable::AddBreak(const std::string& breakText) {
    if (GetBreakCount() >= kMaxBreaks) ThrowTooManyBreaks(breakText);
    return m_breaks.Add(BreakFromText(breakText));
}

int ChainTable::AddBreak(double before, double after) {
    ChainBreak brk(before, after);
    if (GetBreakCount() >= kMaxBreaks) ThrowTooManyBreaks(brk.GetText());
    if (!std::isfinite(before) || !std::isfinite(after))
        throw QDLException(ids::kBadStationText, Quoted(brk.GetText()),
                           LoadResourceString(ids::kReasonBadBreakText));
    brk.text = brk.GetText();
    return m_breaks.Add(brk);
}

void ChainTable::InsertBreak(int index, const std::string& breakText) {
    if (index < 0 || index > kMaxInsertIndex) ThrowIndexError(index);
    m_breaks.InsertAt(index, BreakFromText(breakText));
}

void ChainTable::RemoveBreak(int index) {
    if (index < 0 || index >= GetBreakCount()) ThrowIndexError(index);
    m_breaks.RemoveAt(index);
}

const ChainBreak& ChainTable::GetBreak(int index) const {
    if (index < 0 || index >= GetBreakCount()) ThrowIndexError(index);
    return m_breaks[index];
}

void ChainTable::SetBreak(int index, const ChainBreak& value) {
    if (index < 0 || index >= GetBreakCount()) ThrowIndexError(index);
    m_breaks[index] = value;
}

void ChainTable::ThrowIndexError(int index) const {
    throw QDLException(ids::kBadStationText, std::to_string(index),
                       FormatResource(ids::kReasonNoSuchBreak, GetBreakCount()));
}

void ChainTable::SortBreaks() {
    // Bubble passes: a break lies after a later one when its Before is beyond
    // the later one's After. Each pass ends where the previous one last
    // swapped; equal positions keep their order.
    int end = GetBreakCount() - 1;
    while (end > 0) {
        int lastSwap = 0;
        for (int i = 0; i < end; ++i) {
            if (m_breaks[i].Before > m_breaks[i + 1].After) {
                std::swap(m_breaks[i], m_breaks[i + 1]);
                lastSwap = i;
            }
        }
        end = lastSwap;
    }
}

std::string ChainTable::BreakBeforeText(int index) const {
    return FormatKilometre(GetBreak(index).Before);
}

std::string ChainTable::BreakAfterText(int index) const {
    return FormatKilometre(GetBreak(index).After);
}

QStation ChainTable::BreakStartStation(int index) const {
    double station = GetBreak(index).Before;
    for (int i = 0; i < index; ++i) station -= m_breaks[i].Length();
    return station;
}

// Continuous and stake stations --------------------------------------------

int ChainTable::ChainIndexOf(double station, double& stake) const {
    stake = station;
    if (IsEmpty()) return -1;
    double s = station;
    const int count = GetBreakCount();
    for (int i = 0; i < count; ++i) {
        if (!(m_breaks[i].Before + kChainLookupSlack < s)) {
            stake = s;
            return i;
        }
        s += m_breaks[i].Length();
    }
    stake = s;
    return count;
}

int ChainTable::ChainIndexOfStation(const QStation& station) const {
    double stake = 0.0;
    return ChainIndexOf(station.GetValue(), stake);
}

double ChainTable::StakeOf(double station, int* firstNotPassed) const {
    double s = station;
    const int count = GetBreakCount();
    int i = 0;
    for (; i < count; ++i) {
        // Strict: a station exactly at Before stays behind the break.
        if (!(s > m_breaks[i].Before)) break;
        s += m_breaks[i].Length();
    }
    if (firstNotPassed) *firstNotPassed = i;
    return s;
}

double ChainTable::ContinuousOf(int chain, double stake) const {
    const int last = std::min(chain, GetBreakCount());
    for (int i = 0; i < last; ++i) stake -= m_breaks[i].Length();
    return stake;
}

// Station text -------------------------------------------------------------

std::string ChainTable::KilometreForm(double value, bool plusFormat) const {
    const int p = GetStationPrecision();
    const bool negative = value < 0;
    const double magnitude = std::fabs(value);
    // Kilometres are counted in a 64-bit integer; a value beyond that (or not
    // a number at all) is written as a plain number rather than overflowing.
    if (!(magnitude < 9.0e15)) return m_prefix + Fixed(value, p);

    const double scale = PowerOfTen(p);
    const double e = magnitude + 0.5 / scale;
    const long long km = static_cast<long long>(e) / 1000;
    const long long lastPlaces =
        static_cast<long long>(std::trunc((e - static_cast<double>(km) * 1000.0) * scale));
    const double metres = static_cast<double>(lastPlaces) / scale;

    std::string kmText;
    if (plusFormat) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%lld+", km);
        kmText = buffer;
    } else {
        kmText = FormatResource(ids::kKilometreFormat, km);
    }
    if (negative) kmText = "-" + kmText;

    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%0*.*f", p > 0 ? p + 4 : 3, p, metres);
    std::string metreText = buffer;

    // A whole number of metres is written without its zero decimals.
    std::snprintf(buffer, sizeof buffer, "%.*f", p, 0.0);
    std::string zero = buffer;
    zero.erase(0, zero.find_first_not_of('0'));
    if (!zero.empty()) {
        const std::size_t at = metreText.find(zero);
        if (at != std::string::npos && at > 0) metreText.resize(metreText.size() - zero.size());
    }
    return m_prefix + kmText + metreText;
}

std::string ChainTable::FormatKilometre(double value) const {
    return KilometreForm(value, false);
}

std::string ChainTable::FormatStake(double station) const {
    return KilometreForm(StakeOf(station), false);
}

std::string ChainTable::FormatStakePlus(double station) const {
    return KilometreForm(StakeOf(station), true);
}

namespace {

// The value a stake station has once written with p decimals.
double AsWritten(double stake, int p) {
    double value = stake;
    ScanDouble(Fixed(stake, p), value);
    return value;
}

}  // namespace

void ChainTable::SettleAtBreak(int& chain, double& stake, int p) const {
    // Only a station within a unit of the last place of a break can round
    // onto it or across it.
    const double unit = std::pow(10.0, -p);
    const int count = GetBreakCount();
    while (chain > 0 && stake - m_breaks[chain - 1].After <= unit &&
           AsWritten(stake, p) <= m_breaks[chain - 1].After) {
        stake += m_breaks[chain - 1].Before - m_breaks[chain - 1].After;
        --chain;
    }
    while (chain < count && m_breaks[chain].Before - stake <= unit &&
           AsWritten(stake, p) > m_breaks[chain].Before) {
        stake += m_breaks[chain].After - m_breaks[chain].Before;
        ++chain;
    }
}

std::string ChainTable::FormatStakeLettered(double station) const {
    double stake = station;
    const int chain = ChainIndexOf(station, stake);
    return LetteredText(chain, stake);
}

std::string ChainTable::SettledText(double station) const {
    double stake = station;
    int chain = ChainIndexOf(station, stake);
    // Written with p decimals, a station at a break must read back as one
    // that is written the same again: a stake that rounds onto the start of
    // its chain is the break itself, written on the chain behind, and one
    // that rounds beyond the end of its chain is written on the chain ahead.
    if (chain >= 0) SettleAtBreak(chain, stake, GetStationPrecision());
    return LetteredText(chain, stake);
}

bool ChainTable::FileText(double station, std::string& text, double& readBack) const {
    text = SettledText(station);
    // Where a break lies off the grid of the last place, the text of a
    // station next to it can read back as a station that is written
    // otherwise; the text is the one that such readings settle on.
    for (int step = 0; step < 4; ++step) {
        std::optional<QDLException> error;
        if (!Parse(text, readBack, error)) return false;
        std::string again = SettledText(readBack);
        if (again == text) return true;
        text = std::move(again);
    }
    return false;
}

std::string ChainTable::FormatStakeForFile(double station) const {
    std::string text;
    double readBack = 0.0;
    FileText(station, text, readBack);
    return text;
}

std::string ChainTable::LetteredText(int chain, double stake) const {
    const int p = GetStationPrecision();
    const double magnitude = std::fabs(stake);
    const std::string number = Fixed(magnitude, p);
    // A station that rounds to zero has no sign: "-0.000" would read back as
    // a station that is written "0.000" the next time.
    const bool negative = stake < 0 && number.find_first_of("123456789") != std::string::npos;
    std::string text;
    if (chain < 0) {
        text = number;
    } else {
        const std::string& format = ResourceText(ids::kLetteredFormat);
        // The built-in format is the letter and the fixed-point value; made
        // directly, it costs no printf on every station a file holds.
        if (format == "%s%.*lf")
            text = ChainLetter(chain) + number;
        else
            text = FormatResource(ids::kLetteredFormat, ChainLetter(chain).c_str(), p, magnitude);
    }
    if (negative) text = LoadResourceString(ids::kLetteredMinus) + text;
    return text;
}

// Parsing --------------------------------------------------------------------

bool ChainTable::Parse(std::string_view input, double& station, std::optional<QDLException>& error) const {
    // The text is compared upper-cased; the character tables and the scanner
    // see it that way without a copy being made.
    std::string_view text = Trimmed(input);
    const auto shown = [&input] { return Quoted(input); };
    const ScanRules& rules = Rules();

    if (IsEmpty()) {
        double value = 0.0;
        if (!OnlyCharsOf(text, rules.unchained) || !ScanNumber(rules, text, value)) {
            // Lettered text read without its table: what is missing is the
            // table, not a better text.
            std::string_view rest = text.substr(!text.empty() && text[0] == '-' ? 1 : 0);
            const bool lettered = rest.size() > 1 && UpperAscii(rest[0]) >= 'A' &&
                                  UpperAscii(rest[0]) <= 'Z' && OnlyCharsOf(rest.substr(1), rules.chained) &&
                                  ScanNumber(rules, rest.substr(1), value);
            error.emplace(
                ids::kBadUnchainedText, shown(),
                LoadResourceString(lettered ? ids::kReasonNeedsChainTable : ids::kReasonUnchainedChars));
            return false;
        }
        station = value;
        return true;
    }

    // The sign belongs to the stake station: "-A45" is the stake station -45
    // on chain A, which is the continuous station -45.
    double sign = 1.0;
    if (!text.empty() && text[0] == '-') {
        sign = -1.0;
        text.remove_prefix(1);
    }
    const int count = GetBreakCount();

    if (text.empty() || UpperAscii(text[0]) < 'A' || UpperAscii(text[0]) > 'Z') {
        double value = 0.0;
        if (!OnlyCharsOf(text, rules.chained) || !ScanNumber(rules, text, value)) {
            error.emplace(ids::kBadStationText, shown(), LoadResourceString(ids::kReasonUnletteredChars));
            return false;
        }
        value *= sign;
        // Every chain whose stake range holds the value. Chain A has no lower
        // end: stake stations before the first break are continuous ones.
        std::vector<int> candidates;
        for (int k = 0; k <= count; ++k) {
            const bool afterStart = k == 0 || value >= m_breaks[k - 1].After;
            const bool beforeEnd = k == count || value <= m_breaks[k].Before;
            if (afterStart && beforeEnd) candidates.push_back(k);
        }
        if (candidates.size() == 1) {
            station = ContinuousOf(candidates[0], value);
            return true;
        }
        if (candidates.empty()) {
            for (int i = 0; i < count; ++i) {
                const ChainBreak& brk = m_breaks[i];
                if (value >= std::min(brk.Before, brk.After) && value <= std::max(brk.Before, brk.After)) {
                    error.emplace(ids::kOutsideChain, shown(),
                                  FormatResource(ids::kReasonSkippedRange, brk.GetText().c_str()));
                    return false;
                }
            }
            error.emplace(ids::kOutsideChain, shown(), LoadResourceString(ids::kReasonNoChain));
            return false;
        }
        std::string letters;
        const std::string separator = LoadResourceString(ids::kCandidateSeparator);
        for (std::size_t i = 0; i < candidates.size(); ++i) {
            if (i > 0) letters += separator;
            letters += ChainLetter(candidates[i]);
        }
        error.emplace(ids::kAmbiguousStation, shown(), letters);
        return false;
    }

    int chain = 0;
    const std::string_view letters = text.substr(0, ChainLetters(text, chain));
    const std::string_view rest = text.substr(letters.size());
    double value = 0.0;
    if (rest.empty() || !OnlyCharsOf(rest, rules.chained) || !ScanNumber(rules, rest, value)) {
        error.emplace(ids::kBadStationText, shown(), LoadResourceString(ids::kReasonChainedChars));
        return false;
    }
    value *= sign;
    if (chain < 0 || chain > count) {
        std::string named(letters);
        for (char& c : named) c = UpperAscii(c);
        error.emplace(ids::kBadUnchainedText, shown(),
                      FormatResource(ids::kReasonNoSuchChain, named.c_str(), ChainLetter(count).c_str()));
        return false;
    }
    // Lettered text is what files hold; the library writes it rounded to the
    // precision, and a station within the lookup slack of a break's Before
    // is written on the chain behind it. Both must read back.
    const double slack = 0.5 * GetStationTolerance() + kChainLookupSlack + 1e-9 * std::fabs(value);
    if (chain > 0 && value < m_breaks[chain - 1].After - slack) {
        error.emplace(ids::kOutsideChain, shown(),
                      FormatResource(ids::kReasonBeforeChainStart, ChainLetter(chain).c_str(),
                                     m_breaks[chain - 1].GetText().c_str()));
        return false;
    }
    if (chain < count && value > m_breaks[chain].Before + slack) {
        error.emplace(ids::kOutsideChain, shown(),
                      FormatResource(ids::kReasonAfterChainEnd, ChainLetter(chain).c_str(),
                                     m_breaks[chain].GetText().c_str()));
        return false;
    }
    station = ContinuousOf(chain, value);
    return true;
}

bool ChainTable::ReadsPlainNumbers() const {
    return IsEmpty() && Rules().unchainedPlain;
}

bool ChainTable::ParseStake(std::string_view text, double& station) const {
    // Without breaks a station text is one number: the common case of every
    // file read is settled here, and Parse only runs to say what is wrong.
    if (IsEmpty()) {
        const ScanRules& rules = Rules();
        if (rules.unchainedPlain) {
            if (StationTokenReader::ParsePlainStationNumber(text, station)) return true;
        } else if (const std::string_view trimmed = Trimmed(text);
                   OnlyCharsOf(trimmed, rules.unchained) && ScanNumber(rules, trimmed, station)) {
            return true;
        }
    }
    std::optional<QDLException> error;
    if (Parse(text, station, error)) return true;
    Context::Current().lastStationTextError = std::make_shared<QDLException>(std::move(*error));
    return false;
}

double ChainTable::ParseStakeOrThrow(std::string_view text) const {
    std::optional<QDLException> error;
    double station = 0.0;
    if (!Parse(text, station, error)) throw *error;
    return station;
}

bool ChainTable::ParseStakeAndReport(std::string_view text, double& station) {
    if (GetCurrentChainTable().ParseStake(text, station)) return true;
    if (const QDLException* error = GetLastStationTextError()) ShowError(error->GetErrorMessage());
    ClearLastStationTextError();
    return false;
}

FileChainTableScope::FileChainTableScope(const ChainTableCarrier& document) {
    const std::optional<ChainTable>& carried = document.GetFileChainTable();
    ChainTable& current = GetCurrentChainTable();
    if (!carried || carried->IsEmpty() || !current.IsEmpty()) return;
    m_saved = current;
    current = *carried;
}

FileChainTableScope::~FileChainTableScope() {
    if (m_saved) GetCurrentChainTable() = std::move(*m_saved);
}

StatedChainTableScope::StatedChainTableScope(const ChainTable& stated) : m_saved(GetCurrentChainTable()) {
    GetCurrentChainTable() = stated;
}

StatedChainTableScope::~StatedChainTableScope() {
    GetCurrentChainTable() = std::move(m_saved);
}

std::string ChainTableNeededReason() {
    return LoadResourceString(ids::kReasonNeedsChainTable);
}

const QDLException* GetLastStationTextError() {
    return Context::Current().lastStationTextError.get();
}

void ClearLastStationTextError() {
    Context::Current().lastStationTextError.reset();
}

// Whole-interval stations ------------------------------------------------------

double ChainTable::NextIntervalStation(double station, double& interval) const {
    if (!(interval > 0.0) || !std::isfinite(interval)) return std::numeric_limits<double>::max();
    int next = 0;
    const double stake = StakeOf(station, &next);
    double r = (std::floor((stake + kIntervalSlack) / interval) + 1.0) * interval;
    if (!IsEmpty() && next < GetBreakCount() && r >= m_breaks[next].Before) {
        r = m_breaks[next].Before;
        interval = 0.0;
    }
    return ContinuousOf(next, r);
}

double ChainTable::NextIntervalStation(double station, int& interval) const {
    double step = interval;
    const double result = NextIntervalStation(station, step);
    if (step == 0.0) interval = 0;
    return result;
}

}  // namespace qdat
