// The intersection points of an imported alignment: one at its start, one at
// every corner between two straights, one for every curve (an arc with the
// spirals on either side, between two points of zero curvature) where the
// tangents at its ends meet, and one at its end; each curve as radius and
// spiral lengths (CalcMode 0). Computing their curves must give the
// alignment back, and is checked.
#include <cmath>
#include <numbers>

#include <qdat/exchange/AlignmentOf.h>
#include <qdat/exchange/ExchangeError.h>
#include <qdat/exchange/LandXmlImport.h>
#include <qdat/exchange/detail/LandXmlRead.h>
#include <qdat/plan/JdList.h>
#include <qdat/plan/QJdDoc.h>

namespace qdat {

namespace {

constexpr double kPi = std::numbers::pi;
// The alignment the points give must run within this of the one imported.
constexpr double kLargestDeparture = 0.001;

std::string StationText(double station) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", station);
    return text;
}

const char* TypeName(const PlanElement& e) {
    switch (e.Type) {
        case PlanElement::Straight:
            return "line";
        case PlanElement::Arc:
            return "arc";
        case PlanElement::SpiralIn:
            return "spiral from a straight";
        case PlanElement::SpiralOut:
            return "spiral to a straight";
        default:
            return "spiral between two radii";
    }
}

// Radii of one curve, the one of an arc given by rounded points.
bool SameRadius(double a, double b) {
    return std::fabs(a - b) <= 1e-5 * b;
}

JdPoint PointAt(double x, double y) {
    JdPoint p;
    p.X = x;
    p.Y = y;
    p.CalcMode = 0;
    return p;
}

[[noreturn]] void Refuse(const ImportedAlignment& a, const PlanElement& e, const std::string& why) {
    throw ExchangeError(a.name + ": the " + TypeName(e) + " at station " +
                        StationText(e.StartStation.GetValue()) + " " + why +
                        "; intersection points cannot describe it (write the plan elements instead)");
}

// The points the elements make: where the tangents of each curve meet.
JdList PointsOfElements(const ImportedAlignment& a) {
    const PlanAlignment& plan = a.plan;
    const int n = plan.ElementCount;
    if (n < 1) throw ExchangeError(a.name + ": no elements");
    JdList list;
    list.StartStation = plan.GetElement(0).StartStation;
    list.Points.Add(PointAt(plan.GetElement(0).StartX, plan.GetElement(0).StartY));
    for (int i = 0; i < n;) {
        const PlanElement& e = plan.GetElement(i);
        if (e.Type == PlanElement::Straight) {
            const PlanElement* next = i + 1 < n ? &plan.GetElement(i + 1) : nullptr;
            const double kink = next ? std::remainder(next->StartAzimuth - e.EndAzimuth, 2.0 * kPi) : 0.0;
            if (next && next->Type == PlanElement::Straight && std::fabs(kink) > landxml::kKinkTolerance) {
                // A corner: a point without a curve where the two lines meet.
                const double c1 = std::cos(e.EndAzimuth), s1 = std::sin(e.EndAzimuth);
                const double c2 = std::cos(next->StartAzimuth), s2 = std::sin(next->StartAzimuth);
                const double t =
                    ((next->StartX - e.EndX) * s2 - (next->StartY - e.EndY) * c2) / (c1 * s2 - s1 * c2);
                list.Points.Add(PointAt(e.EndX + t * c1, e.EndY + t * s1));
            }
            ++i;
            continue;
        }
        // The curve: up to the next point of zero curvature.
        int j = i;
        while (j + 1 < n && plan.GetElement(j).EndRadius != InfiniteRadius &&
               plan.GetElement(j + 1).StartRadius != InfiniteRadius)
            ++j;
        JdPoint p;
        int k = i;
        double radius = 0.0;
        if (plan.GetElement(k).Type == PlanElement::SpiralIn) {
            p.SpiralLength1 = plan.GetElement(k).Length;
            radius = plan.GetElement(k).EndRadius;
            ++k;
        }
        if (k <= j && plan.GetElement(k).Type == PlanElement::Arc) {
            if (radius != 0.0 && !SameRadius(plan.GetElement(k).StartRadius, radius))
                Refuse(a, plan.GetElement(k), "has another radius than the spiral before it");
            radius = plan.GetElement(k).StartRadius;
            ++k;
        }
        if (k <= j && plan.GetElement(k).Type == PlanElement::SpiralOut) {
            if (radius != 0.0 && !SameRadius(plan.GetElement(k).StartRadius, radius))
                Refuse(a, plan.GetElement(k), "starts at another radius than the curve before it ends with");
            radius = plan.GetElement(k).StartRadius;
            p.SpiralLength2 = plan.GetElement(k).Length;
            ++k;
        }
        if (k <= j)
            Refuse(a, plan.GetElement(k),
                   "does not fit a curve of entry spiral, arc and exit spiral between two straights");
        for (int m = i + 1; m <= j; ++m)
            if (plan.GetElement(m).Turn != e.Turn) Refuse(a, plan.GetElement(m), "turns the other way");
        // Where the tangents at the ends of the curve meet.
        const PlanElement& last = plan.GetElement(j);
        const double c1 = std::cos(e.StartAzimuth), s1 = std::sin(e.StartAzimuth);
        const double c2 = std::cos(last.EndAzimuth), s2 = std::sin(last.EndAzimuth);
        const double cross = c1 * s2 - s1 * c2;
        const double dx = last.EndX - e.StartX, dy = last.EndY - e.StartY;
        const double t = (dx * s2 - dy * c2) / cross, u = (c1 * dy - s1 * dx) / cross;
        if (!(std::fabs(cross) > 1e-12) || !(t > 0.0) || !(u > 0.0))
            Refuse(a, e, "begins a curve that turns through half a circle or more");
        p.X = e.StartX + t * c1;
        p.Y = e.StartY + t * s1;
        p.Radius = radius;
        list.Points.Add(p);
        i = j + 1;
    }
    const PlanElement& end = plan.GetElement(n - 1);
    list.Points.Add(PointAt(end.EndX, end.EndY));
    for (int i = 0; i < list.Points.GetSize(); ++i) list.Points[i].Name = "JD" + std::to_string(i);
    return list;
}

struct Departure {
    double distance = 0.0;  // the largest, metres
    double station = 0.0;   // where
};

// The points with their curves computed, and how far the alignment they
// make runs from the one imported, at the start and end of every element.
Departure Compute(const ImportedAlignment& a, JdList& list) {
    QJdDoc doc;
    doc.GetList() = list;
    ComputeCurves(doc, a.name + " (its intersection points)");
    PlanAlignment again = doc.GetList().BuildElementList();
    if (!again.ComputeElements())
        throw ExchangeError(a.name + ": the curves of its intersection points cannot be computed");
    list = doc.GetList();
    Departure worst;
    for (int i = 0; i < a.plan.ElementCount; ++i) {
        const PlanElement& e = a.plan.GetElement(i);
        for (int side = 0; side < 2; ++side) {
            StationPoint want, got;
            want.Station = got.Station = side ? e.EndStation : e.StartStation;
            e.PointAtStation(want);
            again.PointAtStation(got);
            const double off = std::hypot(want.X - got.X, want.Y - got.Y);
            if (!(off <= worst.distance)) worst = {off, want.Station.GetValue()};
        }
    }
    return worst;
}

std::string Millimetres(double metres) {
    char mm[32];
    std::snprintf(mm, sizeof mm, "%.1f mm", metres * 1000.0);
    return mm;
}

}  // namespace

JdList IntersectionPointsOf(const ImportedAlignment& a, std::vector<std::string>* notes) {
    // The file's own points, where it gives them, as long as they make the
    // alignment its elements are; their curves are the elements'.
    if (a.alignPoints) {
        JdList own = *a.alignPoints;
        std::string why;
        if (a.pointsOnly) {
            Compute(a, own);
            return own;
        }
        try {
            JdList made = PointsOfElements(a);
            if (made.Points.GetSize() == own.Points.GetSize()) {
                for (int i = 0; i < own.Points.GetSize(); ++i) {
                    made.Points[i].X = own.Points[i].X;
                    made.Points[i].Y = own.Points[i].Y;
                }
                const Departure d = Compute(a, made);
                if (d.distance <= kLargestDeparture) return made;
                why = "make an alignment " + Millimetres(d.distance) + " away at station " +
                      StationText(d.station);
            } else {
                why = "are " + std::to_string(own.Points.GetSize()) + " where its curves make " +
                      std::to_string(made.Points.GetSize());
            }
        } catch (const ExchangeError& e) {
            why = std::string("cannot be computed (") + e.what() + ")";
        }
        if (notes)
            notes->push_back(a.name + ": the intersection points of its AlignPIs " + why +
                             "; those of its elements are written");
    }
    JdList list = PointsOfElements(a);
    const Departure d = Compute(a, list);
    if (d.distance > kLargestDeparture)
        throw ExchangeError(a.name + ": its intersection points give another alignment: at station " +
                            StationText(d.station) + " it lies " + Millimetres(d.distance) +
                            " away (a gap, a kink or a jump of the stations between its elements); "
                            "write the plan elements instead");
    return list;
}

}  // namespace qdat
