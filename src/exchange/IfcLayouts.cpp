#include <qdat/exchange/IfcLayouts.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>

#include <qdat/exchange/ExchangeError.h>

namespace qdat {
namespace {

constexpr double kPi = std::numbers::pi;
// Elements shorter than this carry no geometry and are left out.
constexpr double kMinElementLength = 1e-9;

std::string Number(double value) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

// An azimuth of this package (clockwise from north) as IFC's direction
// (counter-clockwise from east), in [0, 2 pi).
double IfcDirectionOf(double azimuth) {
    double d = std::fmod(kPi / 2.0 - azimuth, 2.0 * kPi);
    if (d < 0.0) d += 2.0 * kPi;
    return d >= 2.0 * kPi ? 0.0 : d;
}

// The signed curvature of a radius of this package on an element that
// turns as `turn` says (+1 right, else left): IFC counts left turns
// positive.
double CurvatureOf(double radius, std::int32_t turn) {
    if (std::fabs(radius) >= InfiniteRadius || radius == 0.0) return 0.0;
    return (turn == 1 ? -1.0 : 1.0) / std::fabs(radius);
}

}  // namespace

std::vector<IfcHorizontalSegment> IfcHorizontalLayout(const PlanAlignment& alignment,
                                                      const std::string& name) {
    const int count = alignment.GetTotalElementCount();
    if (count <= 0 || count > alignment.GetElements().GetSize())
        throw ExchangeError(name + ": the alignment has no elements to write");
    const double start = alignment.GetStartStation().GetValue();
    const double tol = GetStationTolerance();
    std::vector<IfcHorizontalSegment> layout;
    double along = 0.0;
    for (int i = 0; i < count; ++i) {
        const PlanElement& e = alignment.GetElement(i);
        const std::string which = name + ": element " + std::to_string(i + 1);
        if (!e.IsFinite()) throw ExchangeError(which + " holds a value that is not a finite number");
        if (e.Length <= kMinElementLength) continue;
        // IFC has no station of a segment: its distance along is the sum of
        // the lengths before it.
        const double station = e.StartStation.GetValue();
        if (std::fabs(station - (start + along)) > tol)
            throw ExchangeError(which + " starts at station " + Number(station) +
                                ", but the elements before it end at " + Number(start + along) +
                                "; IFC measures the distance along an alignment by the lengths of its "
                                "segments, so nothing is written");
        IfcHorizontalSegment s;
        s.x = e.StartY;
        s.y = e.StartX;
        s.direction = IfcDirectionOf(e.StartAzimuth);
        s.endX = e.EndY;
        s.endY = e.EndX;
        s.endDirection = IfcDirectionOf(e.EndAzimuth);
        s.length = e.Length;
        s.element = i;
        switch (e.Type) {
            case PlanElement::Straight:
                s.type = "LINE";
                break;
            case PlanElement::Arc:
                s.type = "CIRCULARARC";
                s.startCurvature = s.endCurvature = CurvatureOf(e.StartRadius, e.Turn);
                if (s.startCurvature == 0.0)
                    throw ExchangeError(which + " is an arc without a finite radius");
                break;
            case PlanElement::SpiralIn:
            case PlanElement::SpiralOut:
            case PlanElement::SpiralTightens:
            case PlanElement::SpiralLoosens:
                s.type = "CLOTHOID";
                s.startCurvature = CurvatureOf(e.StartRadius, e.Turn);
                s.endCurvature = CurvatureOf(e.EndRadius, e.Turn);
                if (s.startCurvature == s.endCurvature)
                    throw ExchangeError(which + " is a spiral between equal radii");
                break;
            default:
                throw ExchangeError(which + " is of no type IFC can state (type " + std::to_string(e.Type) +
                                    ")");
        }
        layout.push_back(s);
        along += e.Length;
    }
    if (layout.empty()) throw ExchangeError(name + ": the alignment has no elements to write");
    IfcHorizontalSegment last;
    last.type = "LINE";
    last.x = last.endX = layout.back().endX;
    last.y = last.endY = layout.back().endY;
    last.direction = last.endDirection = layout.back().endDirection;
    layout.push_back(last);
    return layout;
}

namespace {

// The profile as the design files define it (QZdmFile::ElevationAt): the
// tangents through the grade points, a step raising the tangent between
// two points past its station, and parabolas of the radius entered
// between each curve's start and end.
class ProfileShape {
public:
    ProfileShape(const QZdmFile& zdm, double tol) : p(zdm.GetGradePointArray()), n(p.GetSize()), tol(tol) {}

    bool Curve(int i) const { return i > 0 && i + 1 < n && p[i].HasCurve(); }
    bool Step(int t) const { return t + 1 < n && p[t].HasStep(tol); }
    double StepAt(int t) const { return p[t].StepStation.GetValue(); }
    bool Past(int t, double s) const { return Step(t) && s >= StepAt(t) - tol; }

    // On the tangent from point t to t + 1.
    double TangentHeight(int t, double s) const {
        if (Past(t, s)) return p[t + 1].Elevation - p[t + 1].GradeIn * (p[t + 1].Station.GetValue() - s);
        return p[t].Elevation + p[t].GradeOut * (s - p[t].Station.GetValue());
    }
    // On the vertical curve at point k: its first half belongs to the
    // segment from k - 1 (and its step), its second to the one from k.
    double CurveHeight(int k, double s) const {
        const GradePoint& pk = p[k];
        const double station = pk.Station.GetValue();
        const double sign = pk.IsSag() ? 1.0 : -1.0;
        if (s < station - tol) {
            const double x = s - pk.CurveStart.GetValue();
            double z = pk.Elevation - pk.GradeIn * (station - s) + sign * x * x / (2.0 * pk.Radius);
            if (Step(k - 1) && !Past(k - 1, s)) z -= p[k - 1].StepHeight;
            return z;
        }
        const double x = pk.CurveEnd.GetValue() - s;
        double z = pk.Elevation + pk.GradeOut * (s - station) + sign * x * x / (2.0 * pk.Radius);
        if (Past(k, s)) z += pk.StepHeight;
        return z;
    }
    double CurveGradient(int k, double s) const {
        const GradePoint& pk = p[k];
        return pk.GradeIn +
               (pk.GradeOut - pk.GradeIn) * (s - pk.CurveStart.GetValue()) / (2.0 * pk.TangentLength);
    }

    const GrowArray<GradePoint>& p;
    const int n;
    const double tol;
};

struct Piece {
    double from = 0.0;
    double to = 0.0;
    int index = 0;  // the tangent's first point, or the curve's point
    bool curve = false;
};

}  // namespace

std::vector<IfcVerticalSegment> IfcVerticalLayout(const QZdmFile& zdm, double start, double end,
                                                  const std::string& name) {
    const double tol = GetStationTolerance();
    const ProfileShape shape(zdm, tol);
    const auto& p = shape.p;
    const int n = shape.n;
    if (n < 2) throw ExchangeError(name + ": a profile needs two grade points at least");
    for (int i = 0; i < n; ++i) {
        const GradePoint& g = p[i];
        if (!std::isfinite(g.Station.GetValue()) || !std::isfinite(g.Elevation) ||
            !std::isfinite(g.GradeIn) || !std::isfinite(g.GradeOut) || !std::isfinite(g.StepHeight) ||
            !std::isfinite(g.StepStation.GetValue()))
            throw ExchangeError(name + ": grade point " + std::to_string(i + 1) +
                                " holds a value that is not finite");
        if (i > 0 && !(g.Station.GetValue() > p[i - 1].Station.GetValue() + tol))
            throw ExchangeError(name + ": the grade points at " + Number(p[i - 1].Station.GetValue()) +
                                " and " + Number(g.Station.GetValue()) + " are not in station order");
    }
    const double first = p[0].Station.GetValue();
    const double last = p[n - 1].Station.GetValue();
    if (first < start - tol || last > end + tol)
        throw ExchangeError(name + ": the profile runs from " + Number(first) + " to " + Number(last) +
                            ", beyond the alignment (" + Number(start) + " to " + Number(end) +
                            "); IFC's vertical layout lies on the horizontal one, so nothing is written");

    std::vector<Piece> pieces;
    for (int i = 0; i + 1 < n; ++i) {
        const double a = shape.Curve(i) ? p[i].CurveEnd.GetValue() : p[i].Station.GetValue();
        const double b = shape.Curve(i + 1) ? p[i + 1].CurveStart.GetValue() : p[i + 1].Station.GetValue();
        if (b < a - tol)
            throw ExchangeError(name + ": the vertical curves at stations " +
                                Number(p[i].Station.GetValue()) + " and " +
                                Number(p[i + 1].Station.GetValue()) + " overlap");
        if (b > a + tol) pieces.push_back({a, b, i, false});
        if (shape.Curve(i + 1))
            pieces.push_back({p[i + 1].CurveStart.GetValue(), p[i + 1].CurveEnd.GetValue(), i + 1, true});
    }
    // The steps that change heights: one at the end of its segment raises
    // nothing the profile holds.
    std::vector<double> steps;
    for (int t = 0; t + 1 < n; ++t) {
        if (!shape.Step(t)) continue;
        const double s = shape.StepAt(t);
        if (s < p[t].Station.GetValue() - tol || s > p[t + 1].Station.GetValue() + tol)
            throw ExchangeError(name + ": the step at station " + Number(s) + " lies outside its segment (" +
                                Number(p[t].Station.GetValue()) + " to " +
                                Number(p[t + 1].Station.GetValue()) + ")");
        if (s < p[t + 1].Station.GetValue() - tol) steps.push_back(s);
    }

    std::vector<IfcVerticalSegment> layout;
    const auto emit = [&](const Piece& piece, double from, double to) {
        IfcVerticalSegment v;
        v.distance = from - start;
        v.length = to - from;
        if (piece.curve) {
            v.type = "PARABOLICARC";
            v.height = shape.CurveHeight(piece.index, from);
            v.startGradient = shape.CurveGradient(piece.index, from);
            v.endGradient = shape.CurveGradient(piece.index, to);
        } else {
            v.type = "CONSTANTGRADIENT";
            v.height = shape.TangentHeight(piece.index, from);
            v.startGradient = v.endGradient = p[piece.index].GradeOut;
        }
        return v;
    };
    const auto emitStep = [&](const IfcVerticalSegment& after) {
        IfcVerticalSegment v = after;
        v.type = "CONSTANTGRADIENT";
        v.length = 0.0;
        v.endGradient = v.startGradient;
        layout.push_back(v);
    };
    for (const Piece& piece : pieces) {
        double from = piece.from;
        for (double s : steps) {
            if (std::fabs(s - from) <= tol && from > first + tol) {
                emitStep(emit(piece, from, piece.to));
            } else if (s > from + tol && s < piece.to - tol) {
                layout.push_back(emit(piece, from, s));
                from = s;
                emitStep(emit(piece, from, piece.to));
            }
        }
        layout.push_back(emit(piece, from, piece.to));
    }
    IfcVerticalSegment close;
    close.type = "CONSTANTGRADIENT";
    close.distance = last - start;
    close.height = p[n - 1].Elevation;
    close.startGradient = close.endGradient = layout.back().endGradient;
    layout.push_back(close);
    return layout;
}

std::vector<IfcCantSegment> IfcCantLayout(const QSupFile& table, double railHeadDistance, double start,
                                          double end, const std::string& name) {
    if (!table.IsRailwayVariant())
        throw ExchangeError(name +
                            " is a road superelevation table: a road's cross-fall is no cant; IFC's "
                            "cant is the rail heights of a railway track, from a railway table");
    if (!(railHeadDistance > 0.0) || !std::isfinite(railHeadDistance))
        throw ExchangeError("the rail head distance must be a positive number of metres, not " +
                            Number(railHeadDistance));
    const GrowArray<SupRow>& rows = table.GetRows();
    const int n = rows.GetSize();
    if (n == 0) throw ExchangeError(name + " holds no rows");
    const double tol = GetStationTolerance();
    struct Cant {
        double station, left, right;
    };
    std::vector<Cant> cants;
    for (int i = 0; i < n; ++i) {
        const SupRow& r = rows[i];
        const double s = r.Station.GetValue();
        const std::string at = name + ": the row at station " + Number(s);
        if (!std::isfinite(s) || !std::isfinite(r.LeftMiddle) || !std::isfinite(r.RightMiddle))
            throw ExchangeError(at + " holds a value that is not finite");
        if (!r.HasValue(3) || !r.HasValue(4))
            throw ExchangeError(at + " holds no value on the " + (r.HasValue(3) ? "right" : "left") +
                                "; IFC's cant needs both rails at every row");
        if (s < start - tol || s > end + tol)
            throw ExchangeError(at + " lies beyond the alignment (" + Number(start) + " to " + Number(end) +
                                ")");
        if (!cants.empty() && s < cants.back().station - tol)
            throw ExchangeError(at + " comes after the row at " + Number(cants.back().station) +
                                "; the rows are not in station order");
        // A cross-fall in per cent, negative falling away from the centre
        // line, lifts the rail at half the rail head distance out by this.
        cants.push_back({s, railHeadDistance / 2.0 * r.LeftMiddle / 100.0,
                         railHeadDistance / 2.0 * r.RightMiddle / 100.0});
    }
    std::vector<IfcCantSegment> layout;
    for (std::size_t i = 0; i + 1 < cants.size(); ++i) {
        const Cant& a = cants[i];
        const Cant& b = cants[i + 1];
        IfcCantSegment c;
        c.distance = a.station - start;
        c.length = std::max(0.0, b.station - a.station);
        c.startLeft = a.left;
        c.endLeft = b.left;
        c.startRight = a.right;
        c.endRight = b.right;
        c.type = a.left == b.left && a.right == b.right ? "CONSTANTCANT" : "LINEARTRANSITION";
        layout.push_back(c);
    }
    IfcCantSegment close;
    close.type = "CONSTANTCANT";
    close.distance = cants.back().station - start;
    close.startLeft = close.endLeft = cants.back().left;
    close.startRight = close.endRight = cants.back().right;
    layout.push_back(close);
    return layout;
}

}  // namespace qdat
