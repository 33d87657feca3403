// QStation: tolerant comparisons, the context's precision, station text
// through the current chain table, and streaming in both archives.
#include <qdat/station/QStation.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <memory>
#include <mutex>

#include <qdat/docbase/DataArchive.h>
#include <qdat/docbase/detail/FiniteValues.h>
#include <qdat/docbase/detail/NumberText.h>
#include <qdat/host/Context.h>
#include <qdat/host/HostUi.h>
#include <qdat/host/ObjectArchive.h>
#include <qdat/host/Resources.h>
#include <qdat/host/detail/ContextChanges.h>
#include <qdat/station/ChainTable.h>
#include <qdat/station/detail/StationStrings.h>

namespace qdat {

namespace {

// Stations print with at most this many decimals: the kilometre form counts
// the metre part in units of the last place in a 64-bit integer, and finer
// tolerances are below the resolution of a double at road lengths anyway.
constexpr int kMaxStationPrecision = 15;

// Tolerance of comparisons with the double on the left.
constexpr double kDoubleEqualTolerance = 0.000001;

}  // namespace

int GetStationPrecision() {
    return Context::Current().stationPrecision;
}
double GetStationTolerance() {
    return Context::Current().stationTolerance;
}

void SetStationPrecisionValue(int precision) {
    if (precision < 0) precision = 0;
    if (precision > kMaxStationPrecision) precision = kMaxStationPrecision;
    Context::Current().stationPrecision = precision;
    // 1 / 10^p is the double nearest to 0.1^p (10^p itself is exact), so a
    // station exactly 0.001 below another compares as the tables say.
    double power = 1.0;
    for (int i = 0; i < precision; ++i) power *= 10.0;
    Context::Current().stationTolerance = 1.0 / power;
}

bool SetStationPrecision(const std::string& text) {
    // Message 88 is a single "%d": scan it the way scanf would (leading blanks,
    // an optional sign, digits, anything after them ignored), but refuse
    // numbers out of range instead of letting them wrap.
    std::size_t pos = 0;
    while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos]))) ++pos;
    if (pos < text.size() && text[pos] == '+') ++pos;
    int value = 0;
    const char* first = text.data() + pos;
    const char* last = text.data() + text.size();
    auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || end == first) {
        // A precision too large for an int is still a precision: the most
        // decimals we print (or none, for a huge negative one).
        if (ec == std::errc::result_out_of_range) {
            SetStationPrecisionValue(*first == '-' ? 0 : kMaxStationPrecision);
            return true;
        }
        return false;
    }
    SetStationPrecisionValue(value);
    return true;
}

std::string GetStationPrecisionText() {
    return FormatResource(station_strings::kPrecisionFormat, Context::Current().stationPrecision);
}

const RuntimeClass QStation::classRecord{"QStation", &QObject::classRecord,
                                         [] { return std::make_unique<QStation>(); }};

QStation& QStation::operator=(const std::string& text) {
    m_value = GetCurrentChainTable().ParseStakeOrThrow(text);
    return *this;
}

bool QStation::operator==(const QStation& t) const {
    return std::fabs(m_value - t.m_value) < Context::Current().stationTolerance;
}
bool QStation::operator!=(const QStation& t) const {
    return std::fabs(m_value - t.m_value) >= Context::Current().stationTolerance;
}
bool QStation::operator>(const QStation& t) const {
    return m_value >= t.m_value + Context::Current().stationTolerance;
}
bool QStation::operator>=(const QStation& t) const {
    return m_value > t.m_value - Context::Current().stationTolerance;
}
bool QStation::operator<(const QStation& t) const {
    return m_value <= t.m_value - Context::Current().stationTolerance;
}
bool QStation::operator<=(const QStation& t) const {
    return m_value < t.m_value + Context::Current().stationTolerance;
}
bool QStation::operator==(double y) const {
    return std::fabs(m_value - y) < Context::Current().stationTolerance;
}
bool QStation::operator!=(double y) const {
    return std::fabs(m_value - y) >= Context::Current().stationTolerance;
}
bool QStation::operator>(double y) const {
    return m_value >= y + Context::Current().stationTolerance;
}
bool QStation::operator>=(double y) const {
    return m_value > y - Context::Current().stationTolerance;
}
// Strictly below: a station exactly one tolerance below a double is not less.
bool QStation::operator<(double y) const {
    return m_value < y - Context::Current().stationTolerance;
}
bool QStation::operator<=(double y) const {
    return m_value < y + Context::Current().stationTolerance;
}

bool operator==(double x, const QStation& t) {
    return std::fabs(x - t.GetValue()) < kDoubleEqualTolerance;
}
bool operator!=(double x, const QStation& t) {
    return !(x == t);
}
bool operator<(double x, const QStation& t) {
    return x < t.GetValue();
}
bool operator<=(double x, const QStation& t) {
    return x <= t.GetValue();
}
bool operator>(double x, const QStation& t) {
    return x > t.GetValue();
}
bool operator>=(double x, const QStation& t) {
    return x >= t.GetValue();
}
QStation operator+(double x, const QStation& t) {
    return x + t.GetValue();
}
QStation operator-(double x, const QStation& t) {
    return x - t.GetValue();
}
QStation operator*(double x, const QStation& t) {
    return x * t.GetValue();
}
QStation operator/(double x, const QStation& t) {
    return x / t.GetValue();
}

std::string QStation::GetText() const {
    return GetCurrentChainTable().FormatStakeLettered(m_value);
}
std::string QStation::GetKmText() const {
    return GetCurrentChainTable().FormatStake(m_value);
}
std::string QStation::GetPlusText() const {
    return GetCurrentChainTable().FormatStakePlus(m_value);
}
std::string QStation::GetRawKmText() const {
    return GetCurrentChainTable().FormatKilometre(m_value);
}

std::string QStation::GetMetresText() const {
    const std::string km = GetKmText();
    const std::size_t plus = km.find('+');
    return plus == std::string::npos ? km : km.substr(plus);
}

bool QStation::ParseText(const std::string& text) {
    double value = m_value;
    if (!ChainTable::ParseStakeAndReport(text, value)) return false;
    m_value = value;
    return true;
}

QStation QStation::NextRoundStation(int& step) const {
    return GetCurrentChainTable().NextIntervalStation(m_value, step);
}

QStation QStation::NextRoundStation(double& step) const {
    return GetCurrentChainTable().NextIntervalStation(m_value, step);
}

void QStation::Serialize(ObjectArchive& ar) {
    if (ar.IsStoring())
        ar << m_value;
    else
        ar >> m_value;
}

namespace {

// The station text of a station, which must read back to the same station
// under the chain table it is written with. The stake arithmetic keeps
// millimetres up to stations and breaks of 1e11 m (a hundred million
// kilometres) and loses them beyond: a damaged file's 1e64 m on a table whose
// break lies at 1e171 m would read back as another station, or as one that
// writes differently each time. Such a document is not written rather than
// written wrong.
std::string TextThatReadsBack(const DataArchive& ar, double value) {
    constexpr double kMaxChainedStation = 1e11;
    const ChainTable& table = GetCurrentChainTable();
    if (table.IsEmpty()) return table.FormatStakeLettered(value);
    double stake = value;
    table.ChainIndexOf(value, stake);
    const double largest = std::max(std::fabs(value), std::fabs(stake));
    std::string text;
    double back = 0.0;
    // The last place, rounded once for the station and once more where a
    // break off its grid moves the text to the break.
    const double rounding = std::pow(10.0, -GetStationPrecision()) + 1e-14 * largest;
    if (!(largest <= kMaxChainedStation) || !table.FileText(value, text, back) ||
        !(std::fabs(back - value) <= rounding))
        ar.ThrowError(QArchiveException::GenericError,
                      "the station " + FormatFixed(value, GetStationPrecision()) + " written as \"" + text +
                          "\" would not read back under the chain table");
    return text;
}

}  // namespace

DataArchive& operator<<(DataArchive& ar, const QStation& s) {
    // Every reader refuses such a station; no file is written with one.
    CheckFinite(ar, s.GetValue(), "station");
    if (ar.IsTextForm()) {
        if (ar.IsStationAsNumber())
            ar.AppendToken(FormatFixed(s.GetValue(), ar.GetPrecision()));
        else
            ar.AppendToken(TextThatReadsBack(ar, s.GetValue()));
    } else {
        ar.WriteStationValue(s.GetValue());
    }
    return ar;
}

double ReadStationToken(DataArchive& ar, std::string_view token) {
    double value = 0.0;
    if (token.empty()) ar.ThrowError(QArchiveException::BadFormat, "a station expected, found nothing");
    if (ar.IsStationAsNumber()) {
        if (!ScanDouble(token, value))
            ar.ThrowError(QArchiveException::BadFormat,
                          "a station number expected, found \"" + std::string(token) + "\"");
    } else if (!GetCurrentChainTable().ParseStake(token, value)) {
        // The user sees why the station text is wrong, then the read fails.
        const QDLException* error = GetLastStationTextError();
        const std::string message = error ? error->GetErrorMessage() : std::string();
        ClearLastStationTextError();
        ShowError(message);
        ar.ThrowError(QArchiveException::BadFormat, message);
    }
    // Every computation on stations assumes they are ordered numbers; a file
    // with a NaN or an infinity as a station is corrupt.
    if (!std::isfinite(value))
        ar.ThrowError(QArchiveException::BadFormat, "a station is not a finite number");
    return value;
}

StationTokenReader::StationTokenReader(DataArchive& ar)
    : m_ar(ar), m_plain(!ar.IsStationAsNumber() && GetCurrentChainTable().ReadsPlainNumbers()) {}

DataArchive& operator>>(DataArchive& ar, QStation& s) {
    // In text form the token is parsed where it lies in the record: a file
    // holds one station per point, and a copy each would double the cost of
    // reading.
    if (ar.IsTextForm()) {
        s.SetValue(ReadStationToken(ar, ar.NextTokenView()));
        return ar;
    }
    const double value = ar.ReadStationValue();
    if (!std::isfinite(value))
        ar.ThrowError(QArchiveException::BadFormat, "a station is not a finite number");
    s.SetValue(value);
    return ar;
}

ChainTable& GetCurrentChainTable() {
    // Every station text passes here. The table found last on this thread is
    // taken again while no scope changed the context: a pass through the once
    // flag calls into the C++ runtime's thread-local storage, which costs as
    // much as the scan of a station where the library is a loaded module.
    [[gnu::tls_model("initial-exec")]] static thread_local ChainTable* t_table = nullptr;
    [[gnu::tls_model("initial-exec")]] static thread_local std::uint64_t t_tableChanges = 0;
    const std::uint64_t changes = ContextChanges();
    if (t_table && t_tableChanges == changes) return *t_table;
    // Made on first use, so that static initialisers of other modules can
    // already convert stations; once, as threads that never chose a context
    // share the default one. Once made, the table is only ever assigned to.
    Context& context = Context::Current();
    std::call_once(context.chainTableMade,
                   [&context] { context.chainTable = std::make_shared<ChainTable>(); });
    t_table = context.chainTable.get();
    t_tableChanges = changes;
    return *t_table;
}

bool HasChainBreaks() {
    return GetCurrentChainTable().GetBreakCount() > 0;
}

void ClearChainBreaks() {
    GetCurrentChainTable().RemoveAllBreaks();
}

double ToStakeStation(double station) {
    double stake = station;
    GetCurrentChainTable().ChainIndexOf(station, stake);
    return stake;
}

}  // namespace qdat
