// CurveFit: the curve of one intersection point, fitted as the point's
// calculation mode asks. The list's computation (JdList) calls it for every
// point with the point before it already computed.
//
// A curve is laid element by element: the entry spiral from the curve start,
// the circular arc for the deflection the spirals leave, the exit spiral. It
// is first laid in a local frame starting at (0, 0) on the arriving leg, where
// its tangents are measured as the distances from its ends to the meeting
// point of its end tangents; then it is laid again in place, starting Tangent1
// before the intersection point.
//
// The search modes (2 to 7) accept their unknown once the tangent is within
// JdList::kTangentTolerance (5e-5 m) of its target, but go on while the
// bracket still narrows, up to 1e-9 m: the target is stored as the point's
// tangent, and a curve placed by a tangent 5e-5 m off its own would leave
// steps of that size in the alignment at its ends. The search halves its
// bracket until a curve has been measured at both ends, then interpolates
// the root from the measured misses (inverse quadratic, or secant), falling
// back to halving whenever an interpolated step is not under half the step
// before the last: superlinear near the root, never slower than twice the
// halving steps, and at the limits of what can be built it halves exactly
// as plain bisection does.
#pragma once

#include <qdat/plan/JdPoint.h>
#include <qdat/plan/PlanElement.h>
#include <qdat/station/QStation.h>

namespace qdat::detail {

class CurveFit {
public:
    // previous: the point before (null for the first point); startStation:
    // the list's start station; index: the point's index, for messages.
    CurveFit(const JdPoint* previous, const QStation& startStation, int index);

    // Computes point (a working copy the caller keeps only on success) by
    // its calculation mode. Returns 1, or 0 after showing the message.
    int Compute(JdPoint& point);
    // A point without a curve: a corner taken without curve, or an end of
    // the alignment.
    int ComputeWithoutCurve(JdPoint& point);
    // Search steps (curves measured) of the last Compute.
    int GetIterations() const { return m_iterations; }

    // How a search mode (2 to 7) searches: defined with the modes.
    struct InverseMode;

private:
    enum class Laid { Ok, SpiralsExceed, NoIntersection, BadElement };
    struct Curve {
        PlanElement entry;
        PlanElement arc;
        PlanElement exit;
        double arcAngle = 0.0;
        double tangent1 = 0.0;
        double tangent2 = 0.0;
    };

    // Lays the curve starting at (x, y) and station on the point's arriving
    // leg: the entry spiral, the arc for what the spirals leave of the
    // deflection, the exit spiral.
    static Laid Lay(const JdPoint& point, double station, double x, double y, Curve& curve);
    // Lay in the local frame and measure the tangents.
    static Laid LayAndMeasure(const JdPoint& point, Curve& curve);
    int ComputeGiven(JdPoint& point);
    int ComputeSimple(JdPoint& point);
    int ComputeInverse(JdPoint& point, const InverseMode& mode);
    // Places a curve measured in the local frame: straight before it, its
    // elements in place, main-point stations and the derived lengths.
    int Place(JdPoint& point, int overlapMessage);
    // Shows the message (formatted with the point index); Fail returns 0.
    int Fail(int message) const;
    void Warn(int message) const;

    const JdPoint* m_previous;
    QStation m_startStation;
    int m_index;
    int m_iterations = 0;
};

}  // namespace qdat::detail
