// QStation: a continuous station (chainage) in metres, compared with the
// station tolerance of the current context and converted to and from station
// text through its chain table (host/Context.h).
#pragma once

#include <charconv>
#include <cmath>
#include <string>
#include <string_view>
#include <system_error>

#include <qdat/docbase/DocumentKind.h>
#include <qdat/host/Export.h>
#include <qdat/host/RuntimeClass.h>

namespace qdat {

class DataArchive;
class ChainTable;
class ObjectArchive;

// Station settings of the current context: decimals of station text (never below 0) and
// the tolerance of station comparisons, 0.1 to the power of the precision.
QDAT_API int GetStationPrecision();
QDAT_API double GetStationTolerance();
// Scans one integer from text (resource message 88); false, with nothing
// changed, when it does not scan. A negative value becomes 0.
QDAT_API bool SetStationPrecision(const std::string& text);
QDAT_API std::string GetStationPrecisionText();
// Sets the precision directly (same clamping), for code and tests.
QDAT_API void SetStationPrecisionValue(int precision);

class QDAT_API QStation : public QObject {
public:
    QStation() = default;
    QStation(double value) : m_value(value) {}  // NOLINT: stations convert from metres
    QStation(const QStation&) = default;
    QStation& operator=(const QStation&) = default;
    QStation& operator=(double value) {
        m_value = value;
        return *this;
    }
    // The current chain table's ParseStakeOrThrow of text.
    QStation& operator=(const std::string& text);

    double GetValue() const { return m_value; }
    void SetValue(double value) { m_value = value; }

    QStation& operator+=(double x) {
        m_value += x;
        return *this;
    }
    QStation& operator-=(double x) {
        m_value -= x;
        return *this;
    }
    QStation& operator*=(double x) {
        m_value *= x;
        return *this;
    }
    QStation& operator/=(double x) {
        m_value /= x;
        return *this;
    }
    QStation& operator+=(const QStation& t) {
        m_value += t.m_value;
        return *this;
    }
    QStation& operator-=(const QStation& t) {
        m_value -= t.m_value;
        return *this;
    }
    QStation& operator*=(const QStation& t) {
        m_value *= t.m_value;
        return *this;
    }
    QStation& operator/=(const QStation& t) {
        m_value /= t.m_value;
        return *this;
    }
    QStation operator+(double x) const { return m_value + x; }
    QStation operator-(double x) const { return m_value - x; }
    QStation operator*(double x) const { return m_value * x; }
    QStation operator/(double x) const { return m_value / x; }
    QStation operator+(const QStation& t) const { return m_value + t.m_value; }
    QStation operator-(const QStation& t) const { return m_value - t.m_value; }
    QStation operator*(const QStation& t) const { return m_value * t.m_value; }
    QStation operator/(const QStation& t) const { return m_value / t.m_value; }

    // Member comparisons, with the station tolerance tol:
    //   ==  |a - b| < tol        !=  |a - b| >= tol
    //   >   a >= b + tol         >=  a > b - tol
    //   <   a <= b - tol (station) / a < b - tol (double)
    //   <=  a < b + tol
    bool operator==(const QStation& t) const;
    bool operator!=(const QStation& t) const;
    bool operator>(const QStation& t) const;
    bool operator>=(const QStation& t) const;
    bool operator<(const QStation& t) const;
    bool operator<=(const QStation& t) const;
    bool operator==(double y) const;
    bool operator!=(double y) const;
    bool operator>(double y) const;
    bool operator>=(double y) const;
    bool operator<(double y) const;
    bool operator<=(double y) const;

    // Station text through the current chain table.
    std::string GetText() const;        // lettered form, the form of files
    std::string GetKmText() const;      // kilometre form
    std::string GetPlusText() const;    // kilometre form with "%ld+"
    std::string GetRawKmText() const;   // kilometre form without chain conversion
    std::string GetMetresText() const;  // GetKmText from its first "+"
    // Parses text; on failure the user is shown the error and the value stays.
    bool ParseText(const std::string& text);
    // Next whole-interval stake station; step becomes 0 at a chain break.
    QStation NextRoundStation(int& step) const;
    QStation NextRoundStation(double& step) const;

    // Whole-object form: the 8 bytes of the value.
    void Serialize(ObjectArchive& ar);

    static const RuntimeClass classRecord;
    const RuntimeClass& GetRuntimeClass() const override { return classRecord; }

private:
    double m_value = 0.0;
};

// Double on the left: == and != use 0.000001, the order operators are exact.
bool operator==(double x, const QStation& t);
bool operator!=(double x, const QStation& t);
QDAT_API bool operator<(double x, const QStation& t);
bool operator<=(double x, const QStation& t);
QDAT_API bool operator>(double x, const QStation& t);
bool operator>=(double x, const QStation& t);
QDAT_API QStation operator+(double x, const QStation& t);
QDAT_API QStation operator-(double x, const QStation& t);
QDAT_API QStation operator*(double x, const QStation& t);
QDAT_API QStation operator/(double x, const QStation& t);

// The library's archive: tag 11 and 8 bytes in binary forms; station text (or
// the number, with the station-as-number switch) in text form.
QDAT_API DataArchive& operator<<(DataArchive& ar, const QStation& s);
QDAT_API DataArchive& operator>>(DataArchive& ar, QStation& s);
// A station token of a text record, as operator>> reads it: station text
// through the current chain table (or the number, with the station-as-number
// switch); a token that is none is a BadFormat archive error.
QDAT_API double ReadStationToken(DataArchive& ar, std::string_view token);

// The station tokens of the records of one read, as ReadStationToken reads
// them, with what they depend on (the chain table, the language's number
// rules, the station-as-number switch) looked up once: none of it changes
// between two records.
class QDAT_API StationTokenReader {
public:
    explicit StationTokenReader(DataArchive& ar);
    double Read(std::string_view token) {
        double value = 0.0;
        return m_plain && ParsePlainStationNumber(token, value) ? value : ReadStationToken(m_ar, token);
    }

    // A plain number (blanks around it allowed) as std::from_chars reads it
    // in fixed notation, and finite; what a station text is without chain
    // breaks under the built-in number rules (ChainTable::ReadsPlainNumbers).
    static bool ParsePlainStationNumber(std::string_view text, double& value) {
        const auto blank = [](char c) {
            return static_cast<unsigned char>(c) <= ' ' && (c == ' ' || (c >= '\t' && c <= '\r'));
        };
        const char* first = text.data();
        const char* last = first + text.size();
        while (first < last && blank(*first)) ++first;
        while (last > first && blank(last[-1])) --last;
        double scanned = 0.0;
        const auto r = std::from_chars(first, last, scanned, std::chars_format::fixed);
        if (r.ec != std::errc() || r.ptr != last || !std::isfinite(scanned)) return false;
        value = scanned;
        return true;
    }

private:
    DataArchive& m_ar;
    bool m_plain;
};

// Stations as columns of a kind's content (docbase/DocumentKind.h).
constexpr ColumnDescription::Kind ColumnKindFor(const QStation*) {
    return ColumnDescription::Kind::Station;
}
inline double ColumnValue(const QStation& s) {
    return s.GetValue();
}
inline void SetColumnValue(QStation& s, double v) {
    s = v;
}

// The chain table of the current context, made on first use, and helpers.
QDAT_API ChainTable& GetCurrentChainTable();
QDAT_API bool HasChainBreaks();
QDAT_API void ClearChainBreaks();
QDAT_API double ToStakeStation(double station);

}  // namespace qdat
