// The curve of one intersection point: laying its elements, measuring its
// tangents, the eight calculation modes and placing the result.
#include <qdat/plan/detail/CurveFit.h>

#include <cmath>
#include <numbers>
#include <optional>

#include <qdat/host/HostUi.h>
#include <qdat/host/Resources.h>
#include <qdat/plan/JdList.h>
#include <qdat/plan/detail/PlanStrings.h>

namespace qdat::detail {

namespace {

using namespace plan_strings;

constexpr double kPi = std::numbers::pi;

// A curve may overlap the one before it by less than this (metres).
constexpr double kOverlapAllowance = 0.01;
// Mode 1 shortens a tangent that overruns its leg by more than this.
constexpr double kTangentOverrun = 0.001;
// The search modes go on below the accepted tolerance to this.
constexpr double kTangentRefined = 1e-9;
// End tangents whose directions differ by less than this (as a sine) are
// parallel: a deflection of 0 or of a half turn.
constexpr double kParallelSine = 1e-12;

bool HasEntrySpiral(std::int32_t curveType) {
    return curveType != JdPoint::ArcOnly && curveType != JdPoint::ExitSpiralOnly;
}
bool HasExitSpiral(std::int32_t curveType) {
    return curveType != JdPoint::ArcOnly && curveType != JdPoint::EntrySpiralOnly;
}

// +1 for a right turn, as the elements take it.
std::int32_t TurnOf(const JdPoint& p) {
    return p.Deflection >= 0.0 ? 1 : -1;
}

// An element of no size at a point: where a curve without that spiral meets
// its tangent.
PlanElement EmptyAt(std::int32_t turn, const QStation& station, double x, double y, double azimuth) {
    PlanElement e;
    e.Type = PlanElement::Empty;
    e.Turn = turn;
    e.StartStation = e.EndStation = station;
    e.StartX = e.EndX = e.TangentPointX = x;
    e.StartY = e.EndY = e.TangentPointY = y;
    e.StartAzimuth = e.EndAzimuth = azimuth;
    return e;
}

// A spiral of the given length between two radii (its type follows from
// them); false when it cannot be built.
bool LaySpiral(PlanElement& e, std::int32_t turn, double length, double startRadius, double endRadius,
               const QStation& station, double x, double y, double azimuth) {
    if (!(length >= 0.0) || !std::isfinite(length)) return false;
    e = PlanElement();
    e.Turn = turn;
    e.LengthItem = length > 0.0 ? -length : 0.0;
    e.StartRadius = startRadius;
    e.EndRadius = endRadius;
    e.StartStation = station;
    e.StartX = x;
    e.StartY = y;
    e.StartAzimuth = azimuth;
    return e.Evaluate() == 1;
}

// A circular arc turning through angle, starting where `from` ends.
bool LayArc(PlanElement& e, std::int32_t turn, double angle, double radius, const PlanElement& from) {
    const double length = angle * radius;
    e = PlanElement();
    e.Type = PlanElement::Arc;
    e.Turn = turn;
    e.LengthItem = length > 0.0 ? -length : 0.0;
    e.StartRadius = e.EndRadius = radius;
    e.StartStation = from.EndStation;
    e.StartX = from.EndX;
    e.StartY = from.EndY;
    e.StartAzimuth = from.EndAzimuth;
    return e.EvaluateAsTyped() == 1;
}

// Where the lines through a with azimuth ua and through b with azimuth ub
// meet, as the signed distances along them from a (forwards) and from b
// (backwards); false for parallel lines.
bool MeetTangents(double ax, double ay, double ua, double bx, double by, double ub, double& fromA,
                  double& toB) {
    const double ux = std::cos(ua), uy = std::sin(ua);
    const double vx = std::cos(ub), vy = std::sin(ub);
    const double cross = ux * vy - uy * vx;
    if (!(std::fabs(cross) >= kParallelSine)) return false;
    const double dx = bx - ax, dy = by - ay;
    fromA = (dx * vy - dy * vx) / cross;
    toB = (ux * dy - uy * dx) / cross;
    return std::isfinite(fromA) && std::isfinite(toB);
}

// A value of the unknown and the signed miss of the tangent it gives.
struct Sample {
    double value;
    double miss;
};

// Where the miss crosses zero between the bracket's ends a and b (misses of
// opposite signs): inverse quadratic interpolation through a, b and a third
// measured value when all three misses differ, else the secant of a and b.
// Nothing when the result does not lie strictly inside (low, high).
std::optional<double> InterpolateRoot(const Sample& a, const Sample& b, const std::optional<Sample>& c,
                                      double low, double high) {
    double x;
    if (c && c->miss != a.miss && c->miss != b.miss && a.miss != b.miss) {
        x = a.value * b.miss * c->miss / ((a.miss - b.miss) * (a.miss - c->miss)) +
            b.value * a.miss * c->miss / ((b.miss - a.miss) * (b.miss - c->miss)) +
            c->value * a.miss * b.miss / ((c->miss - a.miss) * (c->miss - b.miss));
    } else {
        x = a.value - a.miss * (b.value - a.value) / (b.miss - a.miss);
    }
    if (!(x > low && x < high)) return std::nullopt;
    return x;
}

}  // namespace

// A search mode: its bracket, its unknown, its target, its limit and its
// messages.
struct CurveFit::InverseMode {
    enum class WhenSpiralsExceed { Shorten, Widen, Refuse };

    double (*lower)(const JdPoint&);
    double (*upper)(const JdPoint&);
    void (*set)(JdPoint&, double);
    bool targetIsTangent2;
    int limit;
    WhenSpiralsExceed whenSpiralsExceed;
    int noIntersection;
    int overlap;
};

namespace {

using Mode = CurveFit::InverseMode;

// Modes 2 to 7.
// clang-format off
const Mode kInverseModes[] = {
    // 2: one spiral length for both spirals.
    {[](const JdPoint&) { return 10.0; }, [](const JdPoint&) { return 1000.0; },
     [](JdPoint& p, double v) { p.SpiralLength1 = p.SpiralLength2 = v; },
     false, 100, Mode::WhenSpiralsExceed::Shorten, kMode2TangentsDoNotMeet, kOverlap},
    // 3: the radius.
    {[](const JdPoint&) { return 10.0; }, [](const JdPoint&) { return 100000.0; },
     [](JdPoint& p, double v) { p.Radius = v; },
     false, 1000, Mode::WhenSpiralsExceed::Widen, kTangentsDoNotMeet, kOverlap},
    // 4: the entry spiral, for Tangent1.
    {[](const JdPoint& p) { return p.SpiralLength2 / 2; }, [](const JdPoint& p) { return 2 * p.SpiralLength2; },
     [](JdPoint& p, double v) { p.SpiralLength1 = v; },
     false, 100, Mode::WhenSpiralsExceed::Refuse, kSpiralTangentsDoNotMeet, kOverlapMode4},
    // 5: the exit spiral, for Tangent1.
    {[](const JdPoint& p) { return p.SpiralLength1 / 2; }, [](const JdPoint& p) { return 2 * p.SpiralLength1; },
     [](JdPoint& p, double v) { p.SpiralLength2 = v; },
     false, 100, Mode::WhenSpiralsExceed::Refuse, kSpiralTangentsDoNotMeet, kOverlap},
    // 6: the exit spiral, for Tangent2.
    {[](const JdPoint& p) { return p.SpiralLength1 / 2; }, [](const JdPoint& p) { return 2 * p.SpiralLength1; },
     [](JdPoint& p, double v) { p.SpiralLength2 = v; },
     true, 100, Mode::WhenSpiralsExceed::Refuse, kSpiralTangentsDoNotMeet, kOverlapMode6},
    // 7: the entry spiral, for Tangent2.
    {[](const JdPoint& p) { return p.SpiralLength2 / 2; }, [](const JdPoint& p) { return 2 * p.SpiralLength2; },
     [](JdPoint& p, double v) { p.SpiralLength1 = v; },
     true, 100, Mode::WhenSpiralsExceed::Refuse, kSpiralTangentsDoNotMeet, kOverlap},
};
// clang-format on

}  // namespace

CurveFit::CurveFit(const JdPoint* previous, const QStation& startStation, int index)
    : m_previous(previous), m_startStation(startStation), m_index(index) {}

int CurveFit::Fail(int message) const {
    CurrentUi().ShowMessage(FormatResource(message, m_index), MessageKind::Error, MessageButtons::Ok);
    return 0;
}

void CurveFit::Warn(int message) const {
    CurrentUi().ShowMessage(FormatResource(message, m_index), MessageKind::Warning, MessageButtons::Ok);
}

int CurveFit::Compute(JdPoint& point) {
    m_iterations = 0;
    int result = 0;
    if (point.CalcMode == 0) {
        result = ComputeGiven(point);
    } else if (point.CalcMode == 1) {
        result = ComputeSimple(point);
    } else if (point.CalcMode >= 2 && point.CalcMode <= 7) {
        result = ComputeInverse(point, kInverseModes[point.CalcMode - 2]);
    } else {
        CurrentUi().ShowMessage(FormatResource(kUnknownCalcMode, m_index, static_cast<int>(point.CalcMode)),
                                MessageKind::Error, MessageButtons::Ok);
        return 0;
    }
    // Whatever the input, nothing that is not a number leaves here.
    if (result && point.FindNonFinite()) return Fail(kCurveNotBuilt);
    return result;
}

int CurveFit::ComputeWithoutCurve(JdPoint& point) {
    if (m_previous) {
        point.StraightLength = point.LegLength - m_previous->Tangent2;
        point.StationJD = m_previous->StationST + point.StraightLength;
    } else {
        point.StraightLength = 0.0;
        point.StationJD = m_startStation;
    }
    point.Tangent1 = point.Tangent2 = 0.0;
    point.SpiralParam1 = point.SpiralParam2 = 0.0;
    point.ArcLength = point.CurveLength = point.ExternalDistance = 0.0;
    point.StationTS = point.StationSC = point.StationMid = point.StationCS = point.StationST =
        point.StationJD;
    const std::int32_t turn = TurnOf(point);
    point.EntrySpiral = point.CircularArc = point.ExitSpiral =
        EmptyAt(turn, point.StationJD, point.X, point.Y, point.Azimuth);
    if (point.FindNonFinite()) return Fail(kCurveNotBuilt);
    return 1;
}

CurveFit::Laid CurveFit::Lay(const JdPoint& p, double station, double x, double y, Curve& c) {
    const double R = p.Radius;
    if (!(R > 0.0) || !std::isfinite(R) || R == InfiniteRadius) return Laid::BadElement;
    const std::int32_t turn = TurnOf(p);
    const bool entry = HasEntrySpiral(p.CurveType);
    const bool exit = HasExitSpiral(p.CurveType);

    if (entry) {
        if (!LaySpiral(c.entry, turn, p.SpiralLength1, p.SpiralStartRadius, R, station, x, y, p.Azimuth))
            return Laid::BadElement;
    } else {
        c.entry = EmptyAt(turn, station, x, y, p.Azimuth);
    }
    // The exit spiral's turn does not depend on where it lies: laid at the
    // origin first for its angle only.
    double exitAngle = 0.0;
    if (exit) {
        if (!LaySpiral(c.exit, turn, p.SpiralLength2, R, p.SpiralEndRadius, 0.0, 0.0, 0.0, p.Azimuth))
            return Laid::BadElement;
        exitAngle = c.exit.CentralAngle;
    }
    c.arcAngle = std::fabs(p.Deflection) - c.entry.CentralAngle - exitAngle;
    if (c.arcAngle < 0.0) return Laid::SpiralsExceed;
    if (!std::isfinite(c.arcAngle) || !LayArc(c.arc, turn, c.arcAngle, R, c.entry)) return Laid::BadElement;
    if (exit) {
        if (!LaySpiral(c.exit, turn, p.SpiralLength2, R, p.SpiralEndRadius, c.arc.EndStation, c.arc.EndX,
                       c.arc.EndY, c.arc.EndAzimuth))
            return Laid::BadElement;
    } else {
        c.exit = EmptyAt(turn, c.arc.EndStation, c.arc.EndX, c.arc.EndY, c.arc.EndAzimuth);
    }
    return Laid::Ok;
}

CurveFit::Laid CurveFit::LayAndMeasure(const JdPoint& p, Curve& c) {
    const Laid laid = Lay(p, 0.0, 0.0, 0.0, c);
    if (laid != Laid::Ok) return laid;
    if (p.CurveType == JdPoint::ArcOnly) {
        c.tangent1 = c.tangent2 = c.arc.Tangent1;
    } else {
        // The tangents run from the curve's ends along their directions to
        // the point where they meet.
        const PlanElement& first = HasEntrySpiral(p.CurveType) ? c.entry : c.arc;
        const PlanElement& last = HasExitSpiral(p.CurveType) ? c.exit : c.arc;
        double back = 0.0;
        double ahead = 0.0;
        if (!MeetTangents(first.StartX, first.StartY, first.StartAzimuth, last.EndX, last.EndY,
                          last.EndAzimuth, back, ahead))
            return Laid::NoIntersection;
        c.tangent1 = std::fabs(back);
        c.tangent2 = std::fabs(ahead);
    }
    return std::isfinite(c.tangent1) && std::isfinite(c.tangent2) ? Laid::Ok : Laid::BadElement;
}

int CurveFit::ComputeGiven(JdPoint& point) {
    Curve c;
    switch (LayAndMeasure(point, c)) {
        case Laid::Ok:
            break;
        case Laid::SpiralsExceed:
            return Fail(kSpiralsExceedDeflection);
        case Laid::NoIntersection:
            return Fail(kTangentsDoNotMeet);
        case Laid::BadElement:
            return Fail(kCurveNotBuilt);
    }
    point.Tangent1 = c.tangent1;
    point.Tangent2 = c.tangent2;
    return Place(point, kOverlapMode0);
}

int CurveFit::ComputeInverse(JdPoint& point, const InverseMode& mode) {
    if (point.CalcMode == 3) point.SpiralLength2 = point.SpiralLength1;
    const double target = mode.targetIsTangent2 ? point.Tangent2 : point.Tangent1;
    double low = mode.lower(point);
    double high = mode.upper(point);
    if (!std::isfinite(target) || !std::isfinite(low) || !std::isfinite(high)) return Fail(kCurveNotBuilt);

    struct Found {
        double value;
        double miss;
        Curve curve;
    };
    std::optional<Found> best;
    // The bracket: the tangent is short of the target at low and reaches it
    // at high (or a curve cannot be built there). Where a curve was measured
    // at an end, its signed miss (computed - target) is kept; once both ends
    // have one, the root lies between two measured curves and is
    // interpolated.
    std::optional<double> missLow;
    std::optional<double> missHigh;
    std::optional<Sample> dropped;  // the end a step replaced last
    double value = low;
    bool measured = false;  // whether value was tried yet
    // The sizes of the last two steps: an interpolated step must be under
    // half the older one, or the next try is the middle of the bracket, so
    // that the bracket at least halves in every two steps as bisection's
    // does, whatever the interpolation makes of the curve.
    double lastStep = high - low;
    double stepBefore = lastStep;
    for (int iteration = 1;; ++iteration) {
        m_iterations = iteration;
        const double middle = low + 0.5 * (high - low);
        double next = middle;
        if (measured && missLow && missHigh) {
            const std::optional<double> x =
                InterpolateRoot({low, *missLow}, {high, *missHigh}, dropped, low, high);
            if (x && std::fabs(*x - value) < 0.5 * stepBefore) next = *x;
        }
        stepBefore = lastStep;
        lastStep = measured ? std::fabs(next - value) : high - low;
        value = next;
        measured = true;
        mode.set(point, value);
        Curve c;
        const Laid laid = LayAndMeasure(point, c);
        bool refined = false;
        if (laid == Laid::Ok) {
            const double computed = mode.targetIsTangent2 ? c.tangent2 : c.tangent1;
            const double miss = std::fabs(target - computed);
            if (miss < JdList::kTangentTolerance && (!best || miss < best->miss))
                best = Found{value, miss, c};
            refined = miss < kTangentRefined;
            if (target <= computed) {
                if (missHigh) dropped = Sample{high, *missHigh};
                high = value;
                missHigh = computed - target;
            } else {
                if (missLow) dropped = Sample{low, *missLow};
                low = value;
                missLow = computed - target;
            }
        } else if (best) {
            break;  // refining met an edge of what can be built; what was found stands
        } else if (laid == Laid::SpiralsExceed &&
                   mode.whenSpiralsExceed != InverseMode::WhenSpiralsExceed::Refuse) {
            if (mode.whenSpiralsExceed == InverseMode::WhenSpiralsExceed::Shorten) {
                high = value;
                missHigh.reset();
            } else {
                low = value;
                missLow.reset();
            }
        } else if (laid == Laid::SpiralsExceed) {
            return Fail(kNoConvergence);
        } else {
            return Fail(laid == Laid::NoIntersection ? mode.noIntersection : kCurveNotBuilt);
        }
        if (refined) break;
        // The bracket cannot narrow any more, or the steps are used up.
        const double halfway = low + 0.5 * (high - low);
        if (halfway == low || halfway == high || iteration > mode.limit) {
            if (best) break;
            if (point.CalcMode != 2) return Fail(kNoConvergence);
            if (value < 10.001) return Fail(kMode2ShortestSpiral);
            if (value > 999.99) return Fail(kMode2LongestSpiral);
            return Fail(kMode2NoConvergence);
        }
    }
    mode.set(point, best->value);
    if (mode.targetIsTangent2) {
        point.Tangent1 = best->curve.tangent1;
        point.Tangent2 = target;
    } else {
        point.Tangent1 = target;
        point.Tangent2 = best->curve.tangent2;
    }
    return Place(point, mode.overlap);
}

int CurveFit::Place(JdPoint& point, int overlapMessage) {
    const double straight = point.LegLength - m_previous->Tangent2 - point.Tangent1;
    if (!(straight > -kOverlapAllowance)) return Fail(overlapMessage);
    const QStation start = m_previous->StationST + straight;
    Curve c;
    if (Lay(point, start.GetValue(), point.X - point.Tangent1 * std::cos(point.Azimuth),
            point.Y - point.Tangent1 * std::sin(point.Azimuth), c) != Laid::Ok)
        return Fail(kCurveNotBuilt);

    point.StraightLength = straight;
    point.StationJD = start + point.Tangent1;
    point.EntrySpiral = c.entry;
    point.CircularArc = c.arc;
    point.ExitSpiral = c.exit;
    point.SpiralParam1 = PlanElement::IsSpiralType(c.entry.Type) ? c.entry.SpiralParam : 0.0;
    point.SpiralParam2 = PlanElement::IsSpiralType(c.exit.Type) ? c.exit.SpiralParam : 0.0;
    point.ArcLength = c.arc.Length;
    point.CurveLength = c.entry.Length + c.arc.Length + c.exit.Length;
    // The centre from the arc's start, which an arc of no length has too.
    const double toCentre = c.arc.StartAzimuth + (c.arc.Turn == 1 ? 0.5 : -0.5) * kPi;
    const double centreX = c.arc.StartX + point.Radius * std::cos(toCentre);
    const double centreY = c.arc.StartY + point.Radius * std::sin(toCentre);
    point.ExternalDistance = std::hypot(point.X - centreX, point.Y - centreY) - point.Radius;
    point.StationTS = c.entry.StartStation;
    point.StationSC = c.arc.StartStation;
    point.StationMid = c.arc.StartStation + 0.5 * c.arc.Length;
    point.StationCS = c.arc.EndStation;
    point.StationST = c.exit.EndStation;
    return 1;
}

int CurveFit::ComputeSimple(JdPoint& point) {
    point.SpiralStartRadius = point.SpiralEndRadius = InfiniteRadius;
    point.SpiralParam1 = point.SpiralParam2 = 0.0;
    point.SpiralLength1 = point.SpiralLength2 = 0.0;
    const double deflection = std::fabs(point.Deflection);
    if (deflection == kPi) return Fail(kHalfTurn);

    const double previousTangent = m_previous->Tangent2;
    if (point.Tangent1 + previousTangent - point.LegLength > kTangentOverrun) {
        Warn(kTangentCut);
        point.Tangent1 = point.LegLength - previousTangent;
    }
    const double R = point.Tangent1 / std::tan(0.5 * deflection);
    // A deflection of 0 (or too small to tell from it) or a tangent of no
    // length has no circle.
    if (!(R > 0.0) || !std::isfinite(R)) return Fail(kNoSimpleCurve);
    point.Radius = R;
    point.CurveLength = point.ArcLength = deflection * R;
    point.Tangent2 = point.Tangent1;
    point.ExternalDistance = R * (1.0 / std::cos(0.5 * deflection) - 1.0);
    point.StraightLength = point.LegLength - previousTangent - point.Tangent1;

    const QStation start = m_previous->StationST + point.StraightLength;
    point.StationJD = start + point.Tangent1;
    point.StationTS = point.StationSC = start;
    point.StationMid = start + 0.5 * point.CurveLength;
    point.StationCS = point.StationST = start + point.CurveLength;

    const std::int32_t turn = TurnOf(point);
    point.EntrySpiral = EmptyAt(turn, start, point.X - point.Tangent1 * std::cos(point.Azimuth),
                                point.Y - point.Tangent1 * std::sin(point.Azimuth), point.Azimuth);
    if (!LayArc(point.CircularArc, turn, deflection, R, point.EntrySpiral)) return Fail(kCurveNotBuilt);
    const PlanElement& arc = point.CircularArc;
    point.ExitSpiral = EmptyAt(turn, arc.EndStation, arc.EndX, arc.EndY, arc.EndAzimuth);
    return 1;
}

}  // namespace qdat::detail
