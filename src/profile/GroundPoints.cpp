#include "profile/GroundPoints.h"

#include <cmath>
#include <string>
#include <string_view>

#include "docbase/DataArchive.h"
#include "docbase/NumberText.h"

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
    const bool text = ar.IsTextForm();
    while (!ar.AtEnd()) {
        GroundPoint& point = collected.Add();
        point.m_elevation = GroundPoint::NoElevation;
        ar >> point.m_station;
        if (text) {
            // After the station: nothing, a token containing "NULL", or the
            // elevation. The first two make a point without elevation.
            const std::string_view token = ar.NextTokenView();
            // A token that is a finite number through and through holds no
            // "NULL"; only other tokens need the search.
            double elevation = 0.0;
            std::size_t used = 0;
            if (ScanDouble(token, elevation, &used) && used == token.size() && std::isfinite(elevation))
                point.m_elevation = elevation;
            else if (!token.empty() && !ContainsNull(token) &&
                     (!ScanDouble(token, point.m_elevation) || !std::isfinite(point.m_elevation)))
                ar.ThrowError(QArchiveException::BadFormat,
                              "a finite elevation expected, found \"" + std::string(token) + "\"");
            ar >> EndRecord;
        } else {
            // Binary forms have no records to count; every point is a pair.
            if (ar.AtEnd())
                ar.ThrowError(QArchiveException::EndOfFile, "an elevation after the last station");
            ar >> Finite(point.m_elevation, "elevation");
        }
    }
    collected.MoveTo(rows.m_rows);
}

namespace {
// The zero point the ground line does not write: elevation 0 as it will read
// back. In text form an elevation that rounds to zero at six decimals is
// written as 0 and would be dropped the next time the file is saved.
bool IsZeroAsWritten(double elevation, bool text) {
    if (elevation == 0.0) return true;
    if (!text || std::fabs(elevation) >= 0.001) return false;
    return FormatFixed(std::fabs(elevation), 6) == "0.000000";
}
}  // namespace

void StoreGroundPoints(DataArchive& ar, const GrowArray<GroundPoint>& points, bool groundLineRules) {
    const bool text = ar.IsTextForm();
    bool lastWithout = false;  // the last point written had no elevation
    bool sixDecimals = false;  // set once, before the first elevation; it stays
    for (const GroundPoint& point : points) {
        if (groundLineRules && point.m_station == 0.0 && IsZeroAsWritten(point.m_elevation, text)) continue;
        if (point.HasElevation()) {
            ar << point.m_station;
            if (groundLineRules && !sixDecimals) {
                ar << Precision(6);
                sixDecimals = true;
            }
            ar << Finite(point.m_elevation, "elevation") << EndRecord;
            lastWithout = false;
        } else if (!lastWithout) {
            ar << point.m_station;
            // In the binary forms a reader cannot tell a lone station from the
            // next point's, so the marker elevation is written with it.
            if (!text) ar << point.m_elevation;
            ar << EndRecord;
            lastWithout = true;
        }
    }
}

}  // namespace qdat
