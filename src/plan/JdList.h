// JdList: the intersection points of an alignment in order, with the station
// of the first one, and the computation that turns them into a complete
// alignment: legs and deflections, virtual points resolved from their
// auxiliary points, the curve of every point fitted as its calculation mode
// asks, and the alignment as a sequence of plan elements.
//
// Calculation modes of a point (CalcMode):
//   0  radius and spiral lengths given;
//   1  a simple circular curve for a given Tangent1 (the radius is found);
//   2  radius and Tangent1 given: equal spiral lengths are found;
//   3  spiral length and Tangent1 given: the radius is found;
//   4  radius, SpiralLength2 and Tangent1 given: SpiralLength1 is found;
//   5  radius, SpiralLength1 and Tangent1 given: SpiralLength2 is found;
//   6  radius, SpiralLength1 and Tangent2 given: SpiralLength2 is found;
//   7  radius, SpiralLength2 and Tangent2 given: SpiralLength1 is found.
// Curves are built element by element with the element evaluation of the plan
// elements, and the tangents are measured on what was built, so asymmetric
// spirals and spirals from a finite radius need no formulas of their own; the
// modes 2 to 7 search their unknown in a bracket around that construction
// until the tangent is within 5e-5 m of its target (in practice within 1e-9 m:
// see CurveFit).
//
// Every failure is shown to the user through the user-interface callbacks
// and makes the operation return 0; the point that failed is kept unchanged,
// the points before it keep their new values, the points after it their old
// ones. No computation leaves a number that is not finite in a point.
#pragma once

#include <qdat/docbase/GrowArray.h>
#include <qdat/host/Export.h>
#include <qdat/plan/JdPoint.h>
#include <qdat/plan/PlanAlignment.h>
#include <qdat/station/QStation.h>

namespace qdat {

class DataArchive;

class QDAT_API JdList {
public:
    // The tangent a search mode (2 to 7) must reach (metres).
    static constexpr double kTangentTolerance = 5e-5;

    // ComputeLegs, then ComputePoint for every point in order; stops at the
    // first failure. Returns 1, or 0 (GetFailedPoint says where).
    int ComputeCurves();
    // Legs, azimuths, deflections and curve classes of every point, with the
    // virtual points resolved first. Fails for fewer than two points, for a
    // virtual point that cannot be resolved, and for a point whose curve
    // input is invalid.
    int ComputeLegs();
    // The curve of one point by its calculation mode; the point before it
    // must have been computed. The first and the last point carry no curve
    // whatever their input. Returns 1, or 0 for a failure or an index out of
    // range.
    int ComputePoint(int index);
    // Finds virtual point index from its auxiliary points: the legs and
    // turning angles of the auxiliary points, the point's deflection (their
    // sum) and azimuth (the first auxiliary leg's), and its position, where
    // the line from the point before through the first auxiliary point meets
    // the line from the last auxiliary point to the point after. Returns 0, or
    // -1 for index 0, -2 for an index past the end or for the last point
    // (no point follows it), -3 for a point without auxiliary points, -4 or
    // -5 when the first or second line is shorter than 1 mm, -6 when they are
    // parallel. Nothing is changed on failure.
    int ResolveAuxPoints(int index);
    // The computed alignment as plan elements, not chained: for every point
    // after the first, the straight before its curve when longer than 5 mm
    // and each of its curve elements longer than 5 cm, evaluated as they
    // were computed. Curves that overlap the one before by more than 1 mm are
    // reported (a warning). Start mode 1, from the first element's start.
    PlanAlignment BuildElementList() const;

    // The point whose computation failed last; -1 when none did (or when the
    // list as a whole failed: fewer than two points).
    int GetFailedPoint() const { return m_failedPoint; }
    // The search steps the last ComputePoint took (0 for modes 0 and 1).
    int GetIterationCount() const { return m_iterations; }

    // The stored list: point count, start station, points. Reading checks
    // the count against the size of the file and refuses numbers that are not
    // finite; so does writing.
    void Serialize(DataArchive& ar);

    bool operator==(const JdList& other) const {
        return StartStation.GetValue() == other.StartStation.GetValue() && Points == other.Points;
    }

    QStation StartStation;      // station of the first point
    GrowArray<JdPoint> Points;  // index 0 the start, the last index the end

private:
    int m_failedPoint = -1;
    int m_iterations = 0;
};

}  // namespace qdat
