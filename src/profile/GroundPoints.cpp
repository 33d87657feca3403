#include <qdat/profile/GroundPoints.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>

#include <qdat/docbase/DataArchive.h>
#include <qdat/docbase/detail/NumberText.h>

namespace qdat {

namespace {
// Whether a token contains "NULL" in any case, the marker of a point without
// elevation.
bool ContainsNull(std::string_view token) {
    // Clearing bit 5 upper-cases ASCII letters and maps no other byte onto them.
    const auto is = [](char c, char upper) { return (static_cast<unsigned char>(c) & 0xDF) == upper; };
    for (std::size_t i = 0; i + 4 <= token.size(); ++i)
        if (is(token[i], 'N') && is(token[i + 1], 'U') && is(token[i + 2], 'L') && is(token[i + 3], 'L'))
            return true;
    return false;
}
}  // namespace

void LoadGroundPoints(DataArchive& ar, StationCursor<GroundPoint>& rows) {
    RowCollector<GroundPoint> collected(ar);
    if (!ar.IsTextForm()) {
        // Binary forms have no records to count; every point is a pair.
        while (!ar.AtEnd()) {
            GroundPoint& point = collected.Add();
            ar >> point.m_station;
            if (ar.AtEnd())
                ar.ThrowError(QArchiveException::EndOfFile, "an elevation after the last station");
            ar >> Finite(point.m_elevation, "elevation");
        }
        collected.MoveTo(rows.m_rows);
        return;
    }
    // Text: a record is a station, then nothing, a token containing "NULL",
    // or the elevation; the first two make a point without elevation. Plain
    // records (nearly all of a ground line) are taken where they lie in the
    // buffer; any other record is read the usual way.
    StationTokenReader stations(ar);
    // The order is seen as the points go by, which spares those who ask
    // whether the line needs sorting a pass over all of it.
    const double tolerance = GetStationTolerance();
    double previous = 0.0;
    bool inOrder = true;
    std::string_view tokens[2];
    int taken = 0;  // tokens of a plain record in hand; 0: the current record
    for (;;) {
        std::string_view station;
        std::string_view token;
        if (taken > 0) {
            station = tokens[0];
            token = taken > 1 ? tokens[1] : std::string_view();
        } else {
            if (ar.AtEnd()) break;
            station = ar.NextTokenView();
        }
        GroundPoint& point = collected.Add();
        const double value = stations.Read(station);
        point.m_station.SetValue(value);
        if (collected.GetCount() > 1 && IsBeforeByTolerance(value, previous, tolerance)) inOrder = false;
        previous = value;
        if (taken == 0) token = ar.NextTokenView();
        // A token that is a finite number through and through holds no
        // "NULL"; only other tokens need the search. One that starts with a
        // digit other than 0 is what ScanDouble hands to std::from_chars.
        double elevation = 0.0;
        std::size_t used = 0;
        point.m_elevation = GroundPoint::NoElevation;
        const auto digitLed = [&] {
            if (token.empty() || token[0] < '1' || token[0] > '9') return false;
            const char* last = token.data() + token.size();
            const auto r = std::from_chars(token.data(), last, elevation);
            return r.ec == std::errc() && r.ptr == last && std::isfinite(elevation);
        };
        if (digitLed() ||
            (ScanDouble(token, elevation, &used) && used == token.size() && std::isfinite(elevation)))
            point.m_elevation = elevation;
        else if (!token.empty() && !ContainsNull(token) &&
                 (!ScanDouble(token, point.m_elevation) || !std::isfinite(point.m_elevation)))
            ar.ThrowError(QArchiveException::BadFormat,
                          "a finite elevation expected, found \"" + std::string(token) + "\"");
        taken = ar.TakePlainRecord(tokens, 2);
    }
    collected.MoveTo(rows.m_rows);
    rows.NoteOrder(inOrder);
}

namespace {
// The elevation as a reader of the file will see it. In text form a value is
// written with a fixed number of decimals, and one that rounds to 0 or to the
// marker of a point without elevation reads back as that: the rules below
// are applied to what is written, so that a file written, read and written
// again comes out the same. Only values near 0 and near the marker can change
// meaning, so the others skip the rounding.
double ElevationAsWritten(double elevation, bool text, int places) {
    if (!text || !(std::fabs(elevation) < 0.001 || std::fabs(elevation - GroundPoint::NoElevation) < 0.001))
        return elevation;
    double back = elevation;
    ScanDouble(FormatFixed(elevation, places), back);
    return back == 0.0 ? 0.0 : back;
}
}  // namespace

// Ground-line rules: elevations carry six decimals, and a point at station 0
// with elevation 0 (as written) is not written at all.
void StoreGroundPoints(DataArchive& ar, const GrowArray<GroundPoint>& points, bool groundLineRules) {
    const bool text = ar.IsTextForm();
    if (groundLineRules) ar << Precision(6);
    const int places = ar.GetPrecision();
    bool lastWithout = false;  // the last point written had no elevation
    for (const GroundPoint& point : points) {
        const double elevation = ElevationAsWritten(point.m_elevation, text, places);
        if (groundLineRules && point.m_station == 0.0 && elevation == 0.0) continue;
        if (elevation != GroundPoint::NoElevation) {
            ar << point.m_station << Finite(point.m_elevation, "elevation") << EndRecord;
            lastWithout = false;
        } else if (!lastWithout) {
            ar << point.m_station;
            // In the binary forms a reader cannot tell a lone station from the
            // next point's, so the marker elevation is written with it.
            if (!text) ar << GroundPoint::NoElevation;
            ar << EndRecord;
            lastWithout = true;
        }
    }
}

}  // namespace qdat

namespace qdat {

double GroundElevationAt(const GrowArray<GroundPoint>& points, double station) {
    constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
    const GroundPoint* first = points.GetData();
    const GroundPoint* last = first + points.GetSize();
    if (first == last || !std::isfinite(station)) return kNone;
    const double tolerance = GetStationTolerance();
    // The first point not below the station less the tolerance.
    const GroundPoint* at =
        std::lower_bound(first, last, station - tolerance,
                         [](const GroundPoint& p, double s) { return p.m_station.GetValue() < s; });
    if (at != last && std::abs(at->m_station.GetValue() - station) <= tolerance)
        return at->HasElevation() ? at->m_elevation : kNone;
    if (at == first || at == last) return kNone;
    const GroundPoint& a = at[-1];
    const GroundPoint& b = at[0];
    if (!a.HasElevation() || !b.HasElevation()) return kNone;
    const double run = b.m_station.GetValue() - a.m_station.GetValue();
    if (!(run > 0.0)) return kNone;
    const double t = (station - a.m_station.GetValue()) / run;
    return a.m_elevation + t * (b.m_elevation - a.m_elevation);
}

}  // namespace qdat
