// Ground points: (station, elevation) pairs kept by station, the rules for
// reading and writing them, and the document base shared by the files that
// hold nothing else (the profile ground line and the ditch-bottom file).
#pragma once

#include <qdat/host/Export.h>
#include <qdat/station/QStation.h>
#include <qdat/station/StationCursorDocument.h>

namespace qdat {

// A point of a ground line: station and elevation in metres. The elevation
// NoElevation (-9999) means the point has none.
struct QDAT_API GroundPoint {
    static constexpr double NoElevation = -9999.0;

    GroundPoint() = default;
    GroundPoint(const QStation& station, double elevation) : m_station(station), m_elevation(elevation) {}

    bool HasElevation() const { return m_elevation != NoElevation; }
    // Tolerant station comparisons (QStation).
    bool IsBelow(const QStation& station) const { return m_station < station; }
    bool IsAbove(const QStation& station) const { return m_station > station; }

    QStation m_station;
    double m_elevation = 0.0;
};

// Reads ground points up to the end of the content into rows (from index 0).
// Text form: a record is a station, optionally followed by an elevation or a
// token containing "NULL"; a point without elevation gets NoElevation. Binary
// forms: station and elevation pairs.
QDAT_API void LoadGroundPoints(DataArchive& ar, StationCursor<GroundPoint>& rows);

// Writes ground points. A point without elevation is written as its station
// alone in text form (as a pair in the binary forms), and of several such
// points in a row only the first. The ground-line rules add: a point at
// station 0 with elevation exactly 0 is not written, and elevations carry six
// decimals.
QDAT_API void StoreGroundPoints(DataArchive& ar, const GrowArray<GroundPoint>& points, bool groundLineRules);

// The ground elevation at a station, metres, between the points either side
// of it along a straight line; at a point's station (within the station
// tolerance) that point's. NaN where there is no ground: before the first
// point, after the last, next to a point without elevation. The points must
// be in station order.
QDAT_API double GroundElevationAt(const GrowArray<GroundPoint>& points, double station);

// The columns of ground points: the table editor's and the tools'.
inline constexpr ColumnDescription kGroundPointColumns[] = {
    Column<&GroundPoint::m_station>("station", "m"),
    Column<&GroundPoint::m_elevation>("elevation", "m", GroundPoint::NoElevation),
};

// The point accessors shared by the documents that keep ground points by
// station (the ground line and the ditch-bottom file).
class QDAT_API GroundPointDocument : public StationCursorDocument<GroundPoint> {
public:
    using StationCursorDocument<GroundPoint>::StationCursorDocument;

    int GetPointCount() const { return Rows().GetCount(); }
    GrowArray<GroundPoint>& GetPointArray() { return Rows().GetRows(); }
    // The point at index; null out of range.
    GroundPoint* GetPointAt(int index) { return Rows().GetAt(index); }
    void SetPointAt(int index, const GroundPoint& point) { SetRowAt(index, point); }
    GroundPoint* GetCurrentPoint() { return Rows().GetCurrent(); }
    void SetCurrentPoint(const GroundPoint& point) { SetRowAt(GetCursor(), point); }
    // Replaces the point at the same station (within the tolerance), or
    // inserts it in station order.
    void InsertPoint(const GroundPoint& point) { InsertRow(point); }
    void InsertPoint(const QStation& station, double elevation) {
        InsertRow(GroundPoint(station, elevation));
    }
};

}  // namespace qdat
