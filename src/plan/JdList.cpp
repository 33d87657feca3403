// The list of intersection points: legs, virtual points, the curve of every
// point, the element list, and the stored list.
#include <qdat/plan/JdList.h>

#include <cmath>

#include <qdat/docbase/DataArchive.h>
#include <qdat/host/HostUi.h>
#include <qdat/host/Resources.h>
#include <qdat/plan/detail/CurveFit.h>
#include <qdat/plan/detail/PlanStrings.h>
#include <qdat/station/StationCursor.h>

namespace qdat {

namespace {

using namespace plan_strings;

// A line through a virtual point must be longer than this (metres).
constexpr double kShortestLine = 0.001;
// Lines whose directions differ by less than this (as a sine) are parallel.
constexpr double kParallelSine = 1e-12;
// BuildElementList leaves out straights and curve elements this short.
constexpr double kShortestStraight = 0.005;
constexpr double kShortestCurveElement = 0.05;
// ... and reports curves that overlap the one before by more than this.
constexpr double kReportedOverlap = 0.001;
// The fewest bytes a point takes in any form: its 87 values, at least one
// character each with a separator, in text.
constexpr std::int64_t kMinPointBytes = 173;

void Show(const std::string& text, MessageKind kind) {
    CurrentUi().ShowMessage(text, kind, MessageButtons::Ok);
}

struct Position {
    double x;
    double y;
};

Position LastPositionOf(const JdPoint& p) {
    if (p.HasAuxPoints())
        return {p.AuxPoints[p.AuxPoints.GetUpperBound()].X, p.AuxPoints[p.AuxPoints.GetUpperBound()].Y};
    return {p.X, p.Y};
}
Position FirstPositionOf(const JdPoint& p) {
    if (p.HasAuxPoints()) return {p.AuxPoints[0].X, p.AuxPoints[0].Y};
    return {p.X, p.Y};
}

}  // namespace

int JdList::ComputeCurves() {
    m_failedPoint = -1;
    if (!ComputeLegs()) return 0;
    for (int i = 0; i < Points.GetSize(); ++i)
        if (!ComputePoint(i)) return 0;
    return 1;
}

int JdList::ComputeLegs() {
    m_failedPoint = -1;
    const int n = Points.GetSize();
    if (n < 2) {
        Show(LoadResourceString(kTooFewPoints), MessageKind::Error);
        return 0;
    }
    JdPoint& first = Points[0];
    first.CurveType = JdPoint::StartPoint;
    first.LegLength = first.Azimuth = first.Deflection = 0.0;

    for (int i = 1; i < n; ++i) {
        if (!Points[i].HasAuxPoints()) continue;
        const int result = ResolveAuxPoints(i);
        if (result < 0) {
            Show(FormatResource(kVirtualPointUnresolved, i, result), MessageKind::Error);
            m_failedPoint = i;
            return 0;
        }
    }
    for (int i = 1; i < n; ++i) {
        JdPoint& p = Points[i];
        const JdPoint& previous = Points[i - 1];
        if (i < n - 1) {
            const int type = p.ClassifyCurve();
            if (type > 12 && type != JdPoint::NoCurve) {
                Show(FormatResource(kInvalidCurveInput, i), MessageKind::Error);
                m_failedPoint = i;
                return 0;
            }
        } else {
            p.CurveType = JdPoint::EndPoint;
        }
        p.LegLength = p.DistanceTo(previous);
        p.Azimuth = AzimuthBetween(previous.X, previous.Y, p.X, p.Y);
        if (i < n - 1) {
            const JdPoint& next = Points[i + 1];
            p.Deflection = ReduceTurn(AzimuthBetween(p.X, p.Y, next.X, next.Y) - p.Azimuth);
        } else {
            p.Deflection = 0.0;
        }
    }
    return 1;
}

int JdList::ComputePoint(int index) {
    m_failedPoint = -1;
    m_iterations = 0;
    const int n = Points.GetSize();
    if (index < 0 || index >= n) return 0;
    // The point is computed on a copy: a failure leaves it as it was.
    JdPoint work = Points[index];
    detail::CurveFit fit(index > 0 ? &Points[index - 1] : nullptr, StartStation, index);
    int result = 0;
    if (index == 0 || index == n - 1) {
        work.CurveType = index == 0 ? JdPoint::StartPoint : JdPoint::EndPoint;
        result = fit.ComputeWithoutCurve(work);
    } else if (work.CalcMode < 0 || work.CalcMode > 7) {
        result = fit.Compute(work);  // tells the user the mode is unknown
    } else if (work.ClassifyCurve() == JdPoint::InvalidInput) {
        Show(FormatResource(kInvalidCurveInput, index), MessageKind::Error);
    } else if (work.CurveType == JdPoint::NoCurve) {
        result = fit.ComputeWithoutCurve(work);
    } else {
        result = fit.Compute(work);
        m_iterations = fit.GetIterations();
    }
    if (!result) {
        m_failedPoint = index;
        return 0;
    }
    Points[index] = std::move(work);
    return 1;
}

int JdList::ResolveAuxPoints(int index) {
    const int n = Points.GetSize();
    if (index < 1) return -1;
    if (index >= n) return -2;
    JdPoint& point = Points[index];
    const int k = point.AuxPoints.GetSize();
    if (k == 0) return -3;
    // The last point has no leg after it to meet.
    if (index == n - 1) return -2;

    const Position previous = LastPositionOf(Points[index - 1]);
    const Position next = FirstPositionOf(Points[index + 1]);
    GrowArray<AuxPoint> aux = point.AuxPoints;
    aux[0].Distance = std::hypot(aux[0].X - previous.x, aux[0].Y - previous.y);
    aux[0].Azimuth = AzimuthBetween(previous.x, previous.y, aux[0].X, aux[0].Y);
    double deflection = 0.0;
    for (int j = 1; j < k; ++j) {
        aux[j].Distance = std::hypot(aux[j].X - aux[j - 1].X, aux[j].Y - aux[j - 1].Y);
        aux[j].Azimuth = AzimuthBetween(aux[j - 1].X, aux[j - 1].Y, aux[j].X, aux[j].Y);
        aux[j - 1].Deflection = ReduceTurn(aux[j].Azimuth - aux[j - 1].Azimuth);
        deflection += aux[j - 1].Deflection;
    }
    AuxPoint& last = aux[k - 1];
    last.Deflection = ReduceTurn(AzimuthBetween(last.X, last.Y, next.x, next.y) - last.Azimuth);
    deflection += last.Deflection;

    // The point is where the arriving line meets the leaving one.
    const double ux = aux[0].X - previous.x, uy = aux[0].Y - previous.y;
    const double vx = next.x - last.X, vy = next.y - last.Y;
    const double lengthU = std::hypot(ux, uy), lengthV = std::hypot(vx, vy);
    if (!(lengthU >= kShortestLine)) return -4;
    if (!(lengthV >= kShortestLine)) return -5;
    const double cross = ux * vy - uy * vx;
    if (!(std::fabs(cross) >= kParallelSine * lengthU * lengthV)) return -6;
    const double t = ((last.X - previous.x) * vy - (last.Y - previous.y) * vx) / cross;
    const double x = previous.x + t * ux;
    const double y = previous.y + t * uy;
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(deflection)) return -6;

    point.AuxPoints = std::move(aux);
    point.Deflection = deflection;
    point.Azimuth = point.AuxPoints[0].Azimuth;
    point.X = x;
    point.Y = y;
    return 0;
}

PlanAlignment JdList::BuildElementList() const {
    PlanAlignment alignment;
    for (int i = 1; i < Points.GetSize(); ++i) {
        const JdPoint& p = Points[i];
        const JdPoint& previous = Points[i - 1];
        if (p.StraightLength < 0.0 && -p.StraightLength > kReportedOverlap)
            Show(FormatResource(kOverlapWarning, i), MessageKind::Warning);
        if (p.StraightLength > kShortestStraight) {
            PlanElement straight;
            straight.Turn = p.Deflection >= 0.0 ? 1 : -1;
            straight.LengthItem = -p.StraightLength;
            straight.StartRadius = straight.EndRadius = InfiniteRadius;
            straight.StartStation = previous.StationST;
            straight.StartX = previous.ExitSpiral.EndX;
            straight.StartY = previous.ExitSpiral.EndY;
            straight.StartAzimuth = p.Azimuth;
            straight.Evaluate();
            alignment.AppendElement(straight);
        }
        for (const PlanElement* e : {&p.EntrySpiral, &p.CircularArc, &p.ExitSpiral})
            if (std::fabs(e->LengthItem) > kShortestCurveElement) alignment.AppendElement(*e);
    }
    alignment.Name = LoadResourceString(kUnnamed);
    alignment.Note.clear();
    alignment.HeaderValue = 0.0;
    alignment.StartMode = 1;
    alignment.BackPointY = 0.0;
    alignment.EndType = 0;
    alignment.EndValue1 = alignment.EndValue2 = alignment.EndValue3 = alignment.EndValue4 = 0.0;
    alignment.Chained = 0;
    if (alignment.ElementCount > 0) {
        const PlanElement& first = alignment.GetElement(0);
        alignment.StartStation = first.StartStation;
        alignment.StartAzimuth = first.StartAzimuth;
        alignment.StartX = first.StartX;
        alignment.StartY = first.StartY;
    }
    return alignment;
}

void JdList::Serialize(DataArchive& ar) {
    if (ar.IsStoring()) {
        // Nothing is written that could not be read back.
        if (!std::isfinite(StartStation.GetValue()))
            ar.ThrowError(QArchiveException::GenericError, "the start station is not a finite number");
        for (int i = 0; i < Points.GetSize(); ++i) {
            if (const char* field = Points[i].FindNonFinite())
                ar.ThrowError(QArchiveException::GenericError, "intersection point " + std::to_string(i) +
                                                                   ": " + field + " is not a finite number");
        }
        ar << static_cast<std::int32_t>(Points.GetSize()) << StartStation << EndRecord;
        for (JdPoint& p : Points) p.Serialize(ar);
        return;
    }

    std::int32_t count = 0;
    ar >> count >> StartStation >> EndRecord;
    if (!std::isfinite(StartStation.GetValue()))
        ar.ThrowError(QArchiveException::BadFormat, "the start station is not a finite number");
    const std::int64_t remaining = ar.RemainingBytes();
    if (count < 0 || (remaining >= 0 && count > remaining / kMinPointBytes + 1))
        ar.ThrowError(QArchiveException::BadFormat,
                      "point count " + std::to_string(count) + " is more than the rest of the file holds");
    RowCollector<JdPoint> points(ar);
    for (std::int32_t i = 0; i < count; ++i) {
        JdPoint& p = points.Add();
        p.Serialize(ar);
        if (const char* field = p.FindNonFinite())
            ar.ThrowError(QArchiveException::BadFormat, "intersection point " + std::to_string(i) + ": " +
                                                            field + " is not a finite number");
    }
    points.MoveTo(Points);
}

}  // namespace qdat
