// Clothoid series, piece integration and the chord search.
#include <qdat/plan/Clothoid.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace qdat {

namespace clothoid {

namespace {

// One unit of double rounding: the series keeps adding terms down to this
// size (relative to L) while the factorial order is small.
constexpr double kRoundoff = 2.220446049250313e-16;
constexpr int kSmallOrder = 20;
constexpr int kMaxOrder = 200;

// The reciprocals the series multiplies by at its n-th pair of terms:
// 1 / (4n + 1) and 1 / (4n + 3) for the x and y terms, 1 / (2n + 1) and
// 1 / (2n + 2) for the two steps of tau^k / k!.
constexpr int kSeriesPairs = kMaxOrder / 2 + 1;
struct SeriesFactors {
    double xTerm[kSeriesPairs];
    double yTerm[kSeriesPairs];
    double firstStep[kSeriesPairs];
    double secondStep[kSeriesPairs];
};
constexpr SeriesFactors MakeSeriesFactors() {
    SeriesFactors f{};
    for (int n = 0; n < kSeriesPairs; ++n) {
        f.xTerm[n] = 1.0 / (4 * n + 1);
        f.yTerm[n] = 1.0 / (4 * n + 3);
        f.firstStep[n] = 1.0 / (2 * n + 1);
        f.secondStep[n] = 1.0 / (2 * n + 2);
    }
    return f;
}
constexpr SeriesFactors kSeriesFactors = MakeSeriesFactors();

// Six-point Gauss-Legendre rule on [-1, 1]. A panel over which the direction
// turns by at most kPanelTurn is integrated to far below rounding.
constexpr double kGaussNodes[6] = {
    -0.9324695142031521, -0.6612093864662645, -0.2386191860831969,
    0.2386191860831969,  0.6612093864662645,  0.9324695142031521,
};
constexpr double kGaussWeights[6] = {
    0.1713244923791704, 0.3607615730481386, 0.4679139345726910,
    0.4679139345726910, 0.3607615730481386, 0.1713244923791704,
};
constexpr double kPanelTurn = 0.5;
// Bounds the work: pieces turning up to kMaxTurning keep full accuracy;
// beyond that the result of an absurd input only loses accuracy, and never
// costs more than this.
constexpr double kMaxPanels = kMaxTurning / kPanelTurn;

// The integral of (cos, sin) of theta(t) = k0 t + c t^2 / 2 for t in [0, h]:
// the end point, in the frame of the start tangent, of a curve whose curvature
// starts at k0 and changes by c per metre.
LocalPoint IntegrateCurve(double k0, double c, double h) {
    if (!(h > 0.0)) return {};
    const double turnRate = std::max(std::fabs(k0), std::fabs(k0 + c * h));
    const double panels = std::clamp(std::ceil(turnRate * h / kPanelTurn), 1.0, kMaxPanels);
    const int n = static_cast<int>(panels);
    const double width = h / n;
    double sx = 0.0;
    double sy = 0.0;
    for (int p = 0; p < n; ++p) {
        const double mid = (p + 0.5) * width;
        double px = 0.0;
        double py = 0.0;
        for (int g = 0; g < 6; ++g) {
            const double t = mid + 0.5 * width * kGaussNodes[g];
            const double theta = t * (k0 + 0.5 * c * t);
            px += kGaussWeights[g] * std::cos(theta);
            py += kGaussWeights[g] * std::sin(theta);
        }
        sx += px;
        sy += py;
    }
    return {0.5 * width * sx, 0.5 * width * sy};
}

// Reduces an angle to (-pi, pi].
double Wrap(double angle) {
    constexpr double pi = std::numbers::pi;
    angle = std::remainder(angle, 2.0 * pi);
    return angle <= -pi ? angle + 2.0 * pi : angle;
}

}  // namespace

LocalPoint SeriesPoint(double A, double L) {
    if (L == 0.0 || A == 0.0) return {};
    const double tau = L * L / (2.0 * A * A);
    const double absL = std::fabs(L);
    const double stopTolerance = GetGeometryTolerance() / absL;
    const double stopRoundoff = kRoundoff / absL;

    // p runs through tau^k / k!; the n-th pair is the x term of order 2n and
    // the y term of order 2n + 1. The divisions are taken from the table.
    const SeriesFactors& f = kSeriesFactors;
    double x = 0.0;
    double y = 0.0;
    double p = 1.0;
    double sign = 1.0;
    for (int n = 0;; ++n) {
        x += sign * p * f.xTerm[n];
        p *= tau * f.firstStep[n];
        const double lastTerm = p * f.yTerm[n];
        y += sign * lastTerm;
        p *= tau * f.secondStep[n];
        sign = -sign;
        const int order = 2 * n + 1;
        if (order + 2 > kMaxOrder) break;
        const bool large = lastTerm >= stopTolerance;
        const bool aboveRoundoff = order <= kSmallOrder && lastTerm >= stopRoundoff;
        if (!large && !aboveRoundoff) break;
    }
    if (tau / 3.0 <= stopTolerance) y = tau / 3.0;
    return {L * x, L * y};
}

LocalPoint QuadraturePoint(double A, double L) {
    if (L == 0.0 || A == 0.0) return {};
    const LocalPoint p = IntegrateCurve(0.0, 1.0 / (A * A), std::fabs(L));
    return L < 0.0 ? LocalPoint{-p.x, -p.y} : p;
}

LocalPoint IntegratedPieceEnd(double A, double La, double h, bool outwards) {
    if (A == 0.0) return {};
    // The curvature starts at La / A^2 and grows (outwards) or shrinks
    // (inwards) by 1 / A^2 per metre.
    const double c = (outwards ? 1.0 : -1.0) / (A * A);
    return IntegrateCurve(La / (A * A), c, h);
}

PieceShape Piece(double A, double La, double h, bool outwards) {
    PieceShape shape;
    if (!(h > 0.0) || A == 0.0) return shape;
    const double Lb = outwards ? La + h : std::max(La - h, 0.0);
    const double twoA2 = 2.0 * A * A;
    const double tauA = La * La / twoA2;
    const double tauB = Lb * Lb / twoA2;
    // h times the mean curvature (La + Lb) / 2A^2: tauB - tauA without the
    // cancellation of two large spiral angles.
    shape.centralAngle = h * (La + Lb) / twoA2;

    if (std::max(tauA, tauB) <= kSeriesAngleLimit && std::min(La, Lb) <= h) {
        const LocalPoint a = SeriesPoint(A, La);
        const LocalPoint b = SeriesPoint(A, Lb);
        // The chord taken in the outward direction of the clothoid, whose
        // local angle lies between the tangent angles at its two ends.
        const double dx = outwards ? b.x - a.x : a.x - b.x;
        const double dy = outwards ? b.y - a.y : a.y - b.y;
        shape.chord = std::hypot(dx, dy);
        const double chordAngle = std::atan2(dy, dx);
        shape.chordAngle1 = Wrap(outwards ? chordAngle - tauA : tauA - chordAngle);
        return shape;
    }

    // Integrate the piece in the frame of its start tangent.
    const LocalPoint end = IntegratedPieceEnd(A, La, h, outwards);
    shape.chord = std::hypot(end.x, end.y);
    shape.chordAngle1 = std::atan2(end.y, end.x);
    return shape;
}

double ParameterFromChord(double chord, double k1, double k2) {
    constexpr int kMaxSteps = 2000;
    double low = 20.0;
    double high = 999.0;
    double A = low;
    for (int step = 0; step < kMaxSteps; ++step) {
        A = 0.381966 * low + 0.618034 * high;
        const double A2 = A * A;
        const double tried = Piece(A, A2 * k1, A2 * std::fabs(k2 - k1), k2 > k1).chord;
        if (chord > tried)
            low = A;
        else
            high = A;
        if (high - low < GetGeometryTolerance()) break;
    }
    return A;
}

}  // namespace clothoid
}  // namespace qdat
