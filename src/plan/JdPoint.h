// JdPoint: one intersection point (JD) of a road's horizontal alignment as
// designers enter it, with the curve fitted into the corner there: what the
// designer gives (position, calculation mode, radius, spiral lengths or a
// tangent), what the curve computation derives from it (tangents, lengths,
// the stations of the main points and the three curve elements), and the
// auxiliary points through which a virtual intersection point is measured.
//
// Units and conventions: metres and radians; X is northing, Y easting;
// azimuths are measured clockwise from +X and lie in [0, 2 pi); a deflection
// is positive for a right turn. A radius of 9999 is infinite.
#pragma once

#include <cstdint>
#include <string>

#include <qdat/docbase/GrowArray.h>
#include <qdat/host/Export.h>
#include <qdat/plan/PlanElement.h>
#include <qdat/station/QStation.h>

namespace qdat {

class DataArchive;

// An auxiliary point of a virtual intersection point: a surveyed point on the
// way round a corner whose true intersection point cannot be occupied.
struct QDAT_API AuxPoint {
    std::string Name;
    double X = 0.0;           // in
    double Y = 0.0;           // in
    double Deflection = 0.0;  // derived: turning angle here, in [-pi, pi]
    double Distance = 0.0;    // derived: length of the leg arriving here
    double Azimuth = 0.0;     // derived: azimuth of the leg arriving here

    bool operator==(const AuxPoint&) const = default;
};

// The azimuth of the line from (xa, ya) to (xb, yb) in [0, 2 pi); pi/2 for
// two equal points.
QDAT_API double AzimuthBetween(double xa, double ya, double xb, double yb);
// An angle brought into [-pi, pi] by one turn: above pi it loses 2 pi, below
// -pi it gains 2 pi.
QDAT_API double ReduceTurn(double angle);

class QDAT_API JdPoint {
public:
    // Shape classes of the curve at a point (CurveType).
    enum CurveClass : std::int32_t {
        StartPoint = 0,
        ArcOnly = 1,
        SpiralsBothSides = 2,
        EntrySpiralOnly = 3,
        ExitSpiralOnly = 4,
        EndPoint = 10,
        InvalidInput = 13,
        NoCurve = 100,
    };

    // Sets CurveType from the inputs and returns it: by the calculation
    // mode (1 for mode 1, 2 for the other modes but 0), and in mode 0 by
    // which spirals are given with a positive radius; a spiral length or a
    // negative radius without a positive radius is InvalidInput. The first
    // and the last point of a list are classed by the list, not here.
    int ClassifyCurve();
    bool HasAuxPoints() const { return !AuxPoints.IsEmpty(); }
    // -pi < Deflection < pi.
    bool IsDeflectionValid() const;

    // The leg operations of the host's editing: LegLength from the previous
    // point (9999 when a virtual point at either end of the leg has an
    // invalid deflection); Azimuth of the arriving leg (left alone on a
    // virtual point; taken over from a virtual previous point's deflection);
    // Deflection towards the next point (left alone on a virtual point).
    void ComputeLegLength(const JdPoint& previous);
    void ComputeAzimuth(const JdPoint& previous);
    void ComputeDeflection(const JdPoint& next);
    void UpdateLeg(const JdPoint& previous, const JdPoint& next);
    void UpdateLegNoDeflection(const JdPoint& previous);
    double DistanceTo(const JdPoint& other) const;

    // Name with its last run of digits replaced by the numbering placeholder
    // ("JD12a" gives "JD%da"); Name itself when it holds no digit.
    std::string NamePattern() const;
    // The name shown for the point: a made-up one from the prefix and index
    // when it has none, the prefix before a name of digits only, else Name.
    std::string DisplayName(const std::string& prefix, int index) const;
    // The name shown for auxiliary point auxIndex, composed the same way
    // from the point's name; empty for an index out of range.
    std::string AuxDisplayName(const std::string& prefix, int index, int auxIndex) const;

    // The stored record in the archive's current layout (the point's
    // position, the curve data, the stations, the auxiliary points, the three
    // elements) or, with LegacyLayout, in the old order (the auxiliary points
    // before the stations). Files before version 500 have no auxiliary points.
    void Serialize(DataArchive& ar);
    // The name of the first stored number that is not finite; null when all are.
    const char* FindNonFinite() const;

    bool operator==(const JdPoint&) const = default;

    // Input (and, where the calculation mode says so, derived).
    std::int32_t CalcMode = 0;
    std::string Name;
    double X = 0.0;
    double Y = 0.0;
    GrowArray<AuxPoint> AuxPoints;
    double Radius = 0.0;  // 0: no curve
    double SpiralStartRadius = InfiniteRadius;
    double SpiralEndRadius = InfiniteRadius;
    double SpiralLength1 = 0.0;
    double SpiralLength2 = 0.0;
    double Tangent1 = 0.0;  // the target of modes 1 to 5
    double Tangent2 = 0.0;  // the target of modes 6 and 7

    // Derived.
    std::int32_t CurveType = StartPoint;
    double SpiralParam1 = 0.0;
    double SpiralParam2 = 0.0;
    double ExternalDistance = 0.0;
    double CurveLength = 0.0;
    double ArcLength = 0.0;
    double StraightLength = 0.0;
    double LegLength = 0.0;
    double Azimuth = 0.0;     // of the leg arriving here
    double Deflection = 0.0;  // (-pi, pi], + right
    QStation StationJD;
    QStation StationTS;  // tangent to entry spiral
    QStation StationSC;  // entry spiral to arc
    QStation StationMid;
    QStation StationCS;  // arc to exit spiral
    QStation StationST;  // exit spiral to tangent
    PlanElement EntrySpiral;
    PlanElement CircularArc;
    PlanElement ExitSpiral;
};

}  // namespace qdat
