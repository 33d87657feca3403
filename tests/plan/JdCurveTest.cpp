// The curve computation of intersection points against geometry computed
// here, independently: tangents from numerically integrated curvature
// profiles and the textbook tangent of a symmetric spiral curve; the inverse
// modes against the forward one; the element list against its joints and the
// demo road; every failure message.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include <qdat/docbase/QDocument.h>
#include <qdat/host/Resources.h>
#include <qdat/plan/JdList.h>
#include <qdat/plan/QJdDoc.h>
#include <qdat/plan/QPmDoc.h>
#include "support/TestSupport.h"

namespace qdat::test {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kX0 = 3425000.0;
constexpr double kY0 = 512000.0;
constexpr double kAzimuth0 = 0.9;

class JdCurveTest : public ::testing::Test {
protected:
    RecordingUi ui;
    ScopedUi scoped{ui};
    StationDefaults defaults;
};

// ---------------------------------------------------------------------------
// Reference geometry

// A curve in its own frame: starting at the origin heading along +x and
// turning towards +y, its curvature running linearly over each piece.
struct Piece {
    double k0;
    double k1;
    double length;
};

struct Pose {
    double x = 0.0;
    double y = 0.0;
    double heading = 0.0;
};

// Simpson's rule on cos and sin of the heading, which is exact as a
// quadratic in the distance along each piece.
Pose Walk(const std::vector<Piece>& pieces, Pose pose = {}) {
    for (const Piece& p : pieces) {
        if (p.length <= 0.0) continue;
        constexpr int kPanels = 4000;
        const double h = p.length / kPanels;
        const auto heading = [&](double s) {
            return pose.heading + p.k0 * s + (p.k1 - p.k0) * s * s / (2 * p.length);
        };
        double sx = 0.0, sy = 0.0;
        for (int i = 0; i <= kPanels; ++i) {
            const double w = (i == 0 || i == kPanels) ? 1.0 : (i % 2 ? 4.0 : 2.0);
            sx += w * std::cos(heading(i * h));
            sy += w * std::sin(heading(i * h));
        }
        pose = {pose.x + sx * h / 3, pose.y + sy * h / 3, heading(p.length)};
    }
    return pose;
}

double Curvature(double radius) {
    return radius == InfiniteRadius ? 0.0 : 1.0 / radius;
}

struct Reference {
    double tangent1;
    double tangent2;
    double external;
    double arcLength;
};

// The curve a point's inputs ask for, measured: entry spiral from the start
// radius to R, the arc for the rest of the deflection, exit spiral from R to
// the end radius; the tangents from the curve's ends to where its end
// tangents meet, the external distance from the intersection point to the arc.
Reference ReferenceCurve(double deflection, double R, double startRadius, double length1, double length2,
                         double endRadius) {
    const double kr = 1.0 / R;
    const double turn1 = 0.5 * (Curvature(startRadius) + kr) * length1;
    const double turn2 = 0.5 * (kr + Curvature(endRadius)) * length2;
    const double arc = R * (std::fabs(deflection) - turn1 - turn2);
    const Pose sc = Walk({{Curvature(startRadius), kr, length1}});
    const Pose end = Walk({{kr, kr, arc}, {kr, Curvature(endRadius), length2}}, sc);
    // Back tangent: the x axis; forward tangent: through the end along its heading.
    const double tangent2 = end.y / std::sin(end.heading);
    const double tangent1 = end.x - tangent2 * std::cos(end.heading);
    const double centreX = sc.x - R * std::sin(sc.heading);
    const double centreY = sc.y + R * std::cos(sc.heading);
    return {tangent1, tangent2, std::hypot(tangent1 - centreX, centreY) - R, arc};
}

// The textbook tangent of a symmetric spiral curve, T = (R + p) tan(D/2) + k,
// with the shift p and the tangent offset k from the spiral's end point.
double TextbookTangent(double deflection, double R, double length) {
    const Pose end = Walk({{0.0, 1.0 / R, length}});
    const double spiralAngle = length / (2 * R);
    const double p = end.y - R * (1 - std::cos(spiralAngle));
    const double k = end.x - R * std::sin(spiralAngle);
    return (R + p) * std::tan(0.5 * std::fabs(deflection)) + k;
}

// ---------------------------------------------------------------------------
// Lists

JdPoint At(double x, double y) {
    JdPoint p;
    p.X = x;
    p.Y = y;
    return p;
}

double DirX(double azimuth) {
    return std::cos(azimuth);
}
double DirY(double azimuth) {
    return std::sin(azimuth);
}

// Three points: the start, a corner 600 m ahead turning by `deflection`, the
// end 700 m after it. The corner's curve inputs are the caller's.
JdList Corner(double deflection, double legIn = 600.0, double legOut = 700.0) {
    JdList list;
    list.StartStation = 1000.0;
    const double x1 = kX0 + legIn * DirX(kAzimuth0);
    const double y1 = kY0 + legIn * DirY(kAzimuth0);
    list.Points.Add(At(kX0, kY0));
    list.Points.Add(At(x1, y1));
    list.Points.Add(
        At(x1 + legOut * DirX(kAzimuth0 + deflection), y1 + legOut * DirY(kAzimuth0 + deflection)));
    return list;
}

JdPoint& Middle(JdList& list) {
    return list.Points[1];
}

// The curve's ends lie on the legs at its tangents from the corner.
void ExpectOnTheLegs(const JdPoint& p) {
    const double out = p.Azimuth + p.Deflection;
    EXPECT_NEAR(p.EntrySpiral.StartX, p.X - p.Tangent1 * DirX(p.Azimuth), 1e-7);
    EXPECT_NEAR(p.EntrySpiral.StartY, p.Y - p.Tangent1 * DirY(p.Azimuth), 1e-7);
    EXPECT_NEAR(p.ExitSpiral.EndX, p.X + p.Tangent2 * DirX(out), 1e-7);
    EXPECT_NEAR(p.ExitSpiral.EndY, p.Y + p.Tangent2 * DirY(out), 1e-7);
}

TEST_F(JdCurveTest, CurvesMatchIndependentGeometry) {
    struct Case {
        const char* name;
        int calcMode;
        double deflection, radius, startRadius, length1, length2, tangent1;
    };
    const Case cases[] = {
        {"symmetric spirals", 0, 0.5, 500, InfiniteRadius, 100, 100, 0},
        {"asymmetric spirals turning left", 0, -0.6, 400, InfiniteRadius, 80, 140, 0},
        {"entry spiral from a finite radius", 0, 0.7, 400, 1500, 90, 90, 0},
        {"arc without spirals", 0, 0.3, 600, InfiniteRadius, 0, 0, 0},
        {"simple curve from a tangent", 1, -0.4, 0, InfiniteRadius, 0, 0, 150},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        JdList list = Corner(c.deflection);
        JdPoint& p = Middle(list);
        p.CalcMode = c.calcMode;
        p.Radius = c.radius;
        p.SpiralStartRadius = c.startRadius;
        p.SpiralLength1 = c.length1;
        p.SpiralLength2 = c.length2;
        p.Tangent1 = c.tangent1;
        ASSERT_EQ(list.ComputeCurves(), 1);
        EXPECT_NEAR(p.Deflection, c.deflection, 1e-12);
        const double R = c.calcMode == 1 ? c.tangent1 / std::tan(0.5 * std::fabs(c.deflection)) : c.radius;
        EXPECT_NEAR(p.Radius, R, 1e-9);
        const Reference ref =
            ReferenceCurve(c.deflection, R, c.startRadius, c.length1, c.length2, InfiniteRadius);
        EXPECT_NEAR(p.Tangent1, ref.tangent1, 1e-7);
        EXPECT_NEAR(p.Tangent2, ref.tangent2, 1e-7);
        EXPECT_NEAR(p.ExternalDistance, ref.external, 1e-7);
        EXPECT_NEAR(p.ArcLength, ref.arcLength, 1e-7);
        EXPECT_NEAR(p.CurveLength, ref.arcLength + c.length1 + c.length2, 1e-7);
        // The curve starts after the straight from the start point.
        EXPECT_NEAR(p.StraightLength, 600.0 - p.Tangent1, 1e-9);
        EXPECT_NEAR(p.StationTS.GetValue(), 1000.0 + p.StraightLength, 1e-9);
        EXPECT_NEAR(p.StationJD.GetValue(), 1600.0, 1e-9);
        EXPECT_NEAR(p.StationST.GetValue() - p.StationTS.GetValue(), p.CurveLength, 1e-9);
        ExpectOnTheLegs(p);
        const JdPoint& end = list.Points[2];
        EXPECT_EQ(end.CurveType, JdPoint::EndPoint);
        EXPECT_NEAR(end.StationJD.GetValue(), p.StationST.GetValue() + 700.0 - p.Tangent2, 1e-9);
    }

    // The symmetric curve against the textbook formula too.
    JdList list = Corner(0.5);
    Middle(list).Radius = 500;
    Middle(list).SpiralLength1 = Middle(list).SpiralLength2 = 100;
    ASSERT_EQ(list.ComputeCurves(), 1);
    const JdPoint& p = Middle(list);
    EXPECT_NEAR(p.Tangent1, TextbookTangent(0.5, 500, 100), 1e-7);
    EXPECT_NEAR(p.Tangent1, p.Tangent2, 1e-9);
    EXPECT_NEAR(p.StationMid.GetValue(), 0.5 * (p.StationTS.GetValue() + p.StationST.GetValue()), 1e-9);
    EXPECT_NEAR(p.SpiralParam1, std::sqrt(500.0 * 100.0), 1e-9);
}

TEST_F(JdCurveTest, VirtualPointFromTwoAuxiliaryPoints) {
    // The corner of Corner(0.5), measured through a point on each leg.
    JdList direct = Corner(0.5);
    const JdPoint corner = Middle(direct);
    const double out = kAzimuth0 + 0.5;
    JdList list = direct;
    JdPoint& p = Middle(list);
    p.X = p.Y = 0.0;  // to be found
    p.AuxPoints.Add({"A", corner.X - 40 * DirX(kAzimuth0), corner.Y - 40 * DirY(kAzimuth0)});
    p.AuxPoints.Add({"B", corner.X + 25 * DirX(out), corner.Y + 25 * DirY(out)});
    for (JdList* l : {&direct, &list}) {
        l->Points[1].Radius = 500;
        l->Points[1].SpiralLength1 = l->Points[1].SpiralLength2 = 100;
    }
    ASSERT_EQ(list.ResolveAuxPoints(1), 0);
    EXPECT_NEAR(p.X, corner.X, 1e-8);
    EXPECT_NEAR(p.Y, corner.Y, 1e-8);
    EXPECT_NEAR(p.Deflection, 0.5, 1e-12);
    EXPECT_NEAR(p.Azimuth, kAzimuth0, 1e-12);
    EXPECT_NEAR(p.AuxPoints[0].Distance, 560.0, 1e-8);
    EXPECT_NEAR(p.AuxPoints[1].Distance, std::sqrt(40.0 * 40 + 25 * 25 + 2 * 40 * 25 * std::cos(0.5)), 1e-8);
    EXPECT_NEAR(p.AuxPoints[0].Deflection + p.AuxPoints[1].Deflection, 0.5, 1e-12);

    ASSERT_EQ(list.ComputeCurves(), 1);
    ASSERT_EQ(direct.ComputeCurves(), 1);
    EXPECT_NEAR(p.Tangent1, Middle(direct).Tangent1, 1e-8);
    EXPECT_NEAR(p.StationST.GetValue(), Middle(direct).StationST.GetValue(), 1e-8);
    EXPECT_NEAR(list.Points[2].StationJD.GetValue(), direct.Points[2].StationJD.GetValue(), 1e-8);

    // What a virtual point cannot be found from; nothing changes then.
    const JdPoint before = p;
    EXPECT_EQ(list.ResolveAuxPoints(0), -1);
    EXPECT_EQ(list.ResolveAuxPoints(3), -2);
    EXPECT_EQ(list.ResolveAuxPoints(2), -3);
    list.Points[2].AuxPoints.Add({"C", 0, 0});
    EXPECT_EQ(list.ResolveAuxPoints(2), -2);  // no leg after the last point
    list.Points[2].AuxPoints.RemoveAll();
    const JdPoint& next = list.Points[2];
    p.AuxPoints[1] = {"B", next.X, next.Y};
    EXPECT_EQ(list.ResolveAuxPoints(1), -5);
    // The line through the first auxiliary point runs along the leaving leg.
    p.AuxPoints[0] = {"A", kX0 + 0.5 * (next.X - corner.X), kY0 + 0.5 * (next.Y - corner.Y)};
    p.AuxPoints[1] = {"B", corner.X, corner.Y};
    EXPECT_EQ(list.ResolveAuxPoints(1), -6);
    p.AuxPoints = before.AuxPoints;
    EXPECT_EQ(p, before);
}

TEST_F(JdCurveTest, InverseModesFindWhatTheForwardModeGives) {
    // The forward curves whose tangents the inverse modes are given.
    const auto forward = [](double length1, double length2, double radius) {
        JdList list = Corner(0.6);
        Middle(list).Radius = radius;
        Middle(list).SpiralLength1 = length1;
        Middle(list).SpiralLength2 = length2;
        EXPECT_EQ(list.ComputeCurves(), 1);
        return Middle(list);
    };
    const JdPoint symmetric = forward(100, 100, 400);
    const JdPoint asymmetric = forward(80, 140, 400);
    struct Case {
        int mode;
        const JdPoint& from;
        double JdPoint::*unknown;
        bool targetIsTangent2;
    };
    const Case cases[] = {
        {2, symmetric, &JdPoint::SpiralLength1, false},  {3, symmetric, &JdPoint::Radius, false},
        {4, asymmetric, &JdPoint::SpiralLength1, false}, {5, asymmetric, &JdPoint::SpiralLength2, false},
        {6, asymmetric, &JdPoint::SpiralLength2, true},  {7, asymmetric, &JdPoint::SpiralLength1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("mode " + std::to_string(c.mode));
        JdList list = Corner(0.6);
        JdPoint& p = Middle(list);
        p.CalcMode = c.mode;
        p.Radius = c.mode == 3 ? 0.0 : c.from.Radius;
        p.SpiralLength1 = c.from.SpiralLength1;
        p.SpiralLength2 = c.from.SpiralLength2;
        p.*c.unknown = 0.0;
        if (c.mode == 2) p.SpiralLength2 = 0.0;
        const double target = c.targetIsTangent2 ? c.from.Tangent2 : c.from.Tangent1;
        (c.targetIsTangent2 ? p.Tangent2 : p.Tangent1) = target;
        ASSERT_EQ(list.ComputeCurves(), 1);
        ASSERT_EQ(list.ComputePoint(1), 1);
        EXPECT_GT(list.GetIterationCount(), 0);
        EXPECT_EQ(c.targetIsTangent2 ? p.Tangent2 : p.Tangent1, target);  // the target stays as given
        EXPECT_NEAR(p.*c.unknown, c.from.*c.unknown, 1e-3);
        ExpectOnTheLegs(p);

        // Fed back into mode 0, the unknown found gives the target.
        JdList again = list;
        Middle(again).CalcMode = 0;
        ASSERT_EQ(again.ComputeCurves(), 1);
        const JdPoint& q = Middle(again);
        EXPECT_NEAR(c.targetIsTangent2 ? q.Tangent2 : q.Tangent1, target, JdList::kTangentTolerance);
        EXPECT_NEAR(q.StationST.GetValue(), p.StationST.GetValue(), 1e-6);
    }
}

TEST_F(JdCurveTest, InverseModesMeetTheirTangentToANanometre) {
    // Each mode's unknown is given a value, the tangent it makes is measured
    // on the integrated reference curve, and the mode must find the value
    // back from that tangent: to 1e-9 m in the tangent, so to a few 1e-9 m
    // in the unknown (a tangent grows by about half a spiral's growth).
    struct Case {
        int mode;
        double radius, length1, length2;
        double JdPoint::*unknown;
        bool targetIsTangent2;
    };
    const Case cases[] = {
        {2, 400.0, 87.3, 87.3, &JdPoint::SpiralLength1, false},
        {2, 1200.0, 211.7, 211.7, &JdPoint::SpiralLength1, false},
        {3, 523.7, 90.0, 90.0, &JdPoint::Radius, false},
        {3, 1100.3, 120.0, 120.0, &JdPoint::Radius, false},
        {4, 400.0, 80.9, 140.0, &JdPoint::SpiralLength1, false},
        {5, 400.0, 80.0, 141.3, &JdPoint::SpiralLength2, false},
        {6, 400.0, 80.0, 133.1, &JdPoint::SpiralLength2, true},
        {7, 400.0, 95.2, 140.0, &JdPoint::SpiralLength1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("mode " + std::to_string(c.mode) + " radius " + std::to_string(c.radius));
        const Reference r =
            ReferenceCurve(0.6, c.radius, InfiniteRadius, c.length1, c.length2, InfiniteRadius);
        JdList list = Corner(0.6);
        JdPoint& p = Middle(list);
        p.CalcMode = c.mode;
        p.Radius = c.radius;
        p.SpiralLength1 = c.length1;
        p.SpiralLength2 = c.length2;
        const double truth = p.*c.unknown;
        p.*c.unknown = 0.0;
        if (c.mode == 2) p.SpiralLength2 = 0.0;
        const double target = c.targetIsTangent2 ? r.tangent2 : r.tangent1;
        (c.targetIsTangent2 ? p.Tangent2 : p.Tangent1) = target;
        ASSERT_EQ(list.ComputeCurves(), 1);
        EXPECT_NEAR(p.*c.unknown, truth, 1e-8 * std::max(1.0, truth / 100.0));

        JdList again = list;
        Middle(again).CalcMode = 0;
        ASSERT_EQ(again.ComputeCurves(), 1);
        const JdPoint& q = Middle(again);
        EXPECT_NEAR(c.targetIsTangent2 ? q.Tangent2 : q.Tangent1, target, 1e-9);
        EXPECT_NEAR(c.targetIsTangent2 ? q.Tangent1 : q.Tangent2,
                    c.targetIsTangent2 ? r.tangent1 : r.tangent2, 1e-8);
    }
}

// ---------------------------------------------------------------------------
// The element list

double AzimuthGap(double a, double b) {
    return std::fabs(std::remainder(a - b, 2 * kPi));
}

TEST_F(JdCurveTest, ElementListIsContinuousAndMatchesTheMainPoints) {
    QJdDoc doc;
    ASSERT_TRUE(ReadDocumentFile(doc, std::string(QDAT_SOURCE_DIR) + "/examples/demo-corners.jd"));
    JdList& list = doc.GetList();
    ASSERT_EQ(list.ComputeCurves(), 1);
    PlanAlignment a = list.BuildElementList();
    EXPECT_EQ(a.Chained, 0);
    EXPECT_EQ(a.StartMode, 1);
    ASSERT_EQ(a.ComputeElements(), 1);
    ASSERT_GT(a.ElementCount, 10);
    for (int i = 1; i < a.ElementCount; ++i) {
        const PlanElement& e = a.GetElement(i - 1);
        const PlanElement& f = a.GetElement(i);
        SCOPED_TRACE("joint " + std::to_string(i));
        EXPECT_NEAR(f.StartX, e.EndX, 1e-7);
        EXPECT_NEAR(f.StartY, e.EndY, 1e-7);
        EXPECT_LT(AzimuthGap(f.StartAzimuth, e.EndAzimuth), 1e-9);
        EXPECT_NEAR(f.StartStation.GetValue(), e.EndStation.GetValue(), 1e-7);
    }
    EXPECT_NEAR(a.GetEndStation().GetValue(), 1720.0, 1e-6);
    for (int i = 1; i + 1 < list.Points.GetSize(); ++i) {
        const JdPoint& p = list.Points[i];
        SCOPED_TRACE("point " + std::to_string(i));
        EXPECT_EQ(p.StationTS.GetValue(), p.EntrySpiral.StartStation.GetValue());
        EXPECT_EQ(p.StationSC.GetValue(), p.CircularArc.StartStation.GetValue());
        EXPECT_EQ(p.StationCS.GetValue(), p.CircularArc.EndStation.GetValue());
        EXPECT_EQ(p.StationST.GetValue(), p.ExitSpiral.EndStation.GetValue());
        StationPoint start{p.StationTS};
        ASSERT_EQ(a.PointAtStation(start), 1);
        EXPECT_NEAR(start.X, p.X - p.Tangent1 * DirX(p.Azimuth), 1e-7);
        EXPECT_NEAR(start.Y, p.Y - p.Tangent1 * DirY(p.Azimuth), 1e-7);
    }

    // The demo road entered as intersection points is the demo element file.
    QJdDoc road;
    QPmDoc pm;
    ASSERT_TRUE(ReadDocumentFile(road, std::string(QDAT_SOURCE_DIR) + "/examples/demo-road.jd"));
    ASSERT_TRUE(ReadDocumentFile(pm, std::string(QDAT_SOURCE_DIR) + "/examples/demo-road.pm"));
    ASSERT_EQ(road.GetList().ComputeCurves(), 1);
    const PlanAlignment built = road.GetList().BuildElementList();
    const PlanAlignment& stored = pm.GetAlignment();
    ASSERT_EQ(built.ElementCount, stored.ElementCount);
    for (int i = 0; i < built.ElementCount; ++i) {
        const PlanElement& b = built.GetElement(i);
        const PlanElement& s = stored.GetElement(i);
        EXPECT_EQ(b.Type, s.Type) << i;
        EXPECT_NEAR(b.EndStation.GetValue(), s.EndStation.GetValue(), 1e-6) << i;
        EXPECT_NEAR(b.EndX, s.EndX, 1e-6) << i;
        EXPECT_NEAR(b.EndY, s.EndY, 1e-6) << i;
        EXPECT_NEAR(b.EndAzimuth, s.EndAzimuth, 1e-9) << i;
    }
}

// ---------------------------------------------------------------------------
// Failures

// The one error message shown, and the list left as it should be: the point
// that failed as it was before (after the legs), the points after it too.
struct Failure {
    const char* name;
    std::function<JdList()> make;
    int message;
    int point;  // -1: the list as a whole
};

JdList WithMiddle(double deflection, const std::function<void(JdPoint&)>& set, double legIn = 600.0) {
    JdList list = Corner(deflection, legIn);
    set(Middle(list));
    return list;
}

// Collinear points: a half turn back, or straight on.
JdList Straight(bool halfTurn, const std::function<void(JdPoint&)>& set) {
    JdList list;
    list.Points.Add(At(0, 0));
    list.Points.Add(At(100, 0));
    list.Points.Add(At(halfTurn ? 50 : 200, 0));
    set(Middle(list));
    return list;
}

void Spirals(JdPoint& p, int mode, double radius, double length1, double length2) {
    p.CalcMode = mode;
    p.Radius = radius;
    p.SpiralLength1 = length1;
    p.SpiralLength2 = length2;
}

TEST_F(JdCurveTest, EveryFailureIsToldAndLeavesThePointsAsTheyWere) {
    const Failure failures[] = {
        {"one point",
         [] {
             JdList l;
             l.Points.Add(At(0, 0));
             return l;
         },
         1212, -1},
        {"virtual point on the point before",
         [] {
             JdList l = Corner(0.3);
             Middle(l).AuxPoints.Add({"A", kX0, kY0});
             Middle(l).AuxPoints.Add({"B", Middle(l).X, Middle(l).Y});
             return l;
         },
         1189, 1},
        {"spiral without radius", [] { return WithMiddle(0.3, [](JdPoint& p) { Spirals(p, 0, 0, 50, 0); }); },
         1190, 1},
        {"unknown mode", [] { return WithMiddle(0.3, [](JdPoint& p) { p.CalcMode = 9; }); }, 1213, 1},
        {"spirals beyond the deflection",
         [] { return WithMiddle(0.3, [](JdPoint& p) { Spirals(p, 0, 100, 200, 200); }); }, 1191, 1},
        {"half turn, mode 0", [] { return Straight(true, [](JdPoint& p) { Spirals(p, 0, 100, 10, 10); }); },
         1192, 1},
        {"overlap, mode 0",
         [] {
             return WithMiddle(
                 0.8, [](JdPoint& p) { Spirals(p, 0, 500, 100, 100); }, 200);
         },
         1193, 1},
        {"half turn, mode 1",
         [] { return Straight(true, [](JdPoint& p) { p.CalcMode = 1, p.Tangent1 = 20; }); }, 1194, 1},
        {"straight on, mode 1",
         [] { return Straight(false, [](JdPoint& p) { p.CalcMode = 1, p.Tangent1 = 20; }); }, 1214, 1},
        {"half turn, mode 2",
         [] { return Straight(true, [](JdPoint& p) { Spirals(p, 2, 100, 0, 0), p.Tangent1 = 30; }); }, 1197,
         1},
        {"tangent below the shortest spiral",
         [] { return WithMiddle(0.5, [](JdPoint& p) { Spirals(p, 2, 1000, 0, 0), p.Tangent1 = 1; }); }, 1198,
         1},
        {"tangent beyond the longest spiral",
         [] {
             return WithMiddle(
                 0.5, [](JdPoint& p) { Spirals(p, 2, 50000, 0, 0), p.Tangent1 = 20000; }, 30000);
         },
         1199, 1},
        {"tangent beyond any spiral that fits",
         [] { return WithMiddle(0.5, [](JdPoint& p) { Spirals(p, 2, 100, 0, 0), p.Tangent1 = 500; }); }, 1206,
         1},
        {"overlap, mode 2",
         [] {
             return WithMiddle(
                 0.5, [](JdPoint& p) { Spirals(p, 2, 400, 0, 0), p.Tangent1 = 150; }, 100);
         },
         1207, 1},
        {"half turn, mode 3",
         [] { return Straight(true, [](JdPoint& p) { Spirals(p, 3, 0, 10, 0), p.Tangent1 = 30; }); }, 1192,
         1},
        {"spirals beyond the deflection, mode 4",
         [] { return WithMiddle(0.5, [](JdPoint& p) { Spirals(p, 4, 100, 0, 100), p.Tangent1 = 80; }); },
         1208, 1},
        {"no spiral fits, mode 5",
         [] { return WithMiddle(0.5, [](JdPoint& p) { Spirals(p, 5, 400, 100, 0), p.Tangent1 = 500; }); },
         1208, 1},
        {"half turn, mode 6",
         [] { return Straight(true, [](JdPoint& p) { Spirals(p, 6, 100, 10, 0), p.Tangent2 = 30; }); }, 1209,
         1},
        {"overlap, mode 4",
         [] {
             return WithMiddle(
                 0.5, [](JdPoint& p) { Spirals(p, 4, 400, 0, 100), p.Tangent1 = 150; }, 100);
         },
         1210, 1},
        {"overlap, mode 6",
         [] {
             return WithMiddle(
                 0.5, [](JdPoint& p) { Spirals(p, 6, 400, 100, 0), p.Tangent2 = 140; }, 100);
         },
         1211, 1},
        {"spiral from no radius",
         [] {
             return WithMiddle(0.5,
                               [](JdPoint& p) { Spirals(p, 0, 400, 100, 100), p.SpiralStartRadius = 0; });
         },
         1215, 1},
    };
    for (const Failure& f : failures) {
        SCOPED_TRACE(f.name);
        JdList list = f.make();
        JdList before = list;
        if (f.point > 0 && before.ComputeLegs()) {
            // The points before the failing one are computed first.
            for (int i = 0; i < f.point; ++i) ASSERT_EQ(before.ComputePoint(i), 1);
        }
        ui.messages.clear();
        EXPECT_EQ(list.ComputeCurves(), 0);
        EXPECT_EQ(list.GetFailedPoint(), f.point);
        ASSERT_FALSE(ui.messages.empty());
        const std::string expected =
            f.message == 1213 ? FormatResource(f.message, f.point, 9) : FormatResource(f.message, f.point);
        if (f.message == 1189) {
            EXPECT_EQ(ui.messages.back().text, FormatResource(f.message, f.point, -4));
        } else {
            EXPECT_EQ(ui.messages.back().text, expected);
        }
        EXPECT_EQ(ui.messages.back().kind, MessageKind::Error);
        for (int i = std::max(f.point, 0); i < list.Points.GetSize(); ++i)
            EXPECT_EQ(list.Points[i], before.Points[i]) << "point " << i;
    }
}

TEST_F(JdCurveTest, WarningsLetTheComputationGoOn) {
    // A simple curve whose tangent overruns its leg is cut to the leg.
    JdList list = WithMiddle(0.5, [](JdPoint& p) { p.CalcMode = 1, p.Tangent1 = 700; });
    ASSERT_EQ(list.ComputeCurves(), 1);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, FormatResource(1195, 1));
    EXPECT_EQ(ui.messages[0].kind, MessageKind::Warning);
    EXPECT_NEAR(Middle(list).Tangent1, 600.0, 1e-9);
    EXPECT_NEAR(Middle(list).StraightLength, 0.0, 1e-9);

    // Two curves 5 mm into each other are accepted; the element list warns
    // and has no straight between them.
    ui.messages.clear();
    JdList two;
    const double az = kAzimuth0;
    two.Points.Add(At(kX0, kY0));
    two.Points.Add(At(kX0 + 300 * DirX(az), kY0 + 300 * DirY(az)));
    const JdPoint& p1 = two.Points[1];
    two.Points.Add(At(p1.X + 200 * DirX(az + 0.4), p1.Y + 200 * DirY(az + 0.4)));
    const JdPoint& p2 = two.Points[2];
    two.Points.Add(At(p2.X + 300 * DirX(az + 0.9), p2.Y + 300 * DirY(az + 0.9)));
    two.Points[1].CalcMode = 1;
    two.Points[1].Tangent1 = 100;
    Spirals(two.Points[2], 2, 300, 0, 0);
    two.Points[2].Tangent1 = 100.005;
    ASSERT_EQ(two.ComputeCurves(), 1);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_NEAR(two.Points[2].StraightLength, -0.005, 1e-8);
    const PlanAlignment a = two.BuildElementList();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, FormatResource(212, 2));
    // straight, arc | spiral, arc, spiral, straight: nothing between the curves.
    ASSERT_EQ(a.ElementCount, 6);
    EXPECT_EQ(a.GetElement(1).Type, PlanElement::Arc);
    EXPECT_EQ(a.GetElement(2).Type, PlanElement::SpiralIn);

    // A straight of 4 mm between them is left out too, without a warning.
    ui.messages.clear();
    two.Points[2].Tangent1 = 99.996;
    ASSERT_EQ(two.ComputeCurves(), 1);
    EXPECT_NEAR(two.Points[2].StraightLength, 0.004, 1e-8);
    EXPECT_EQ(two.BuildElementList().ElementCount, 6);
    EXPECT_TRUE(ui.messages.empty());

    // So is an arc of 4 cm between two spirals.
    JdList shortArc = WithMiddle(0.2 + 0.04 / 500, [](JdPoint& p) { Spirals(p, 0, 500, 100, 100); });
    ASSERT_EQ(shortArc.ComputeCurves(), 1);
    EXPECT_NEAR(Middle(shortArc).ArcLength, 0.04, 1e-9);
    const PlanAlignment b = shortArc.BuildElementList();
    ASSERT_EQ(b.ElementCount, 4);
    EXPECT_EQ(b.GetElement(1).Type, PlanElement::SpiralIn);
    EXPECT_EQ(b.GetElement(2).Type, PlanElement::SpiralOut);
}

}  // namespace
}  // namespace qdat::test
