// Element geometry: the clothoid against an independent quadrature, the chord
// search, the evaluation of every element type, and points and radii at
// stations.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include <qdat/plan/Clothoid.h>
#include <qdat/plan/PlanElement.h>

namespace qdat::test {
namespace {

constexpr double kPi = std::numbers::pi;

struct Point2 {
    double x = 0.0;
    double y = 0.0;
};

// The end of a curve whose curvature starts at k0 and changes by c per metre,
// after the length h, in the frame of its start tangent (x ahead, y to the
// inside): Simpson's rule on cos and sin of k0 t + c t^2 / 2 with many panels.
Point2 Simpson(double k0, double c, double h, int panels = 20000) {
    const double step = h / panels;
    double sx = 0.0;
    double sy = 0.0;
    for (int i = 0; i <= panels; ++i) {
        const double t = i * step;
        const double theta = k0 * t + 0.5 * c * t * t;
        const double w = (i == 0 || i == panels) ? 1.0 : (i % 2 ? 4.0 : 2.0);
        sx += w * std::cos(theta);
        sy += w * std::sin(theta);
    }
    return {sx * step / 3.0, sy * step / 3.0};
}

// A spiral element turning right from (0, 0) heading +X, so that its end
// point in (X, Y) is its end in the local frame of the reference.
PlanElement Spiral(double startRadius, double endRadius, double A, double lengthItem = 0.0) {
    PlanElement e;
    e.Turn = 1;
    e.StartRadius = startRadius;
    e.EndRadius = endRadius;
    e.SpiralParam = A;
    e.LengthItem = lengthItem;
    e.StartStation = 1000.0;
    return e;
}

double Curvature(double radius) {
    return radius == InfiniteRadius ? 0.0 : 1.0 / radius;
}

// The expected end of a spiral element between two radii with the length.
Point2 ReferenceEnd(double startRadius, double endRadius, double length) {
    const double k1 = Curvature(startRadius);
    const double k2 = Curvature(endRadius);
    return Simpson(k1, (k2 - k1) / length, length);
}

TEST(ClothoidTest, EndPointsAgreeWithQuadratureFromOneToTwoThousand) {
    const double parameters[] = {50, 75, 100, 150, 200, 300, 500, 800, 1000, 1500, 2000};
    int checked = 0;
    for (double A : parameters) {
        const double longest = std::min(500.0, A * std::sqrt(kPi));  // spiral angle pi/2
        for (double L : {0.5, 5.0, 20.0, 60.0, 120.0, 250.0, 400.0, 500.0, longest}) {
            if (L > longest) continue;
            const Point2 expected = Simpson(0.0, 1.0 / (A * A), L);
            PlanElement e = Spiral(InfiniteRadius, A * A / L, A);
            ASSERT_EQ(e.Evaluate(), 1);
            EXPECT_EQ(e.Type, PlanElement::SpiralIn);
            EXPECT_NEAR(e.EndX, expected.x, 1e-6) << "A " << A << " L " << L;
            EXPECT_NEAR(e.EndY, expected.y, 1e-6) << "A " << A << " L " << L;
            EXPECT_NEAR(e.Length, L, 1e-9);
            EXPECT_NEAR(e.EndAzimuth, L * L / (2 * A * A), 1e-12);
            EXPECT_NEAR(e.EndStation.GetValue(), 1000.0 + L, 1e-9);

            // The bare series and the quadrature of the library agree too.
            const clothoid::LocalPoint s = clothoid::SeriesPoint(A, L);
            const clothoid::LocalPoint q = clothoid::QuadraturePoint(A, L);
            EXPECT_NEAR(s.x, expected.x, 1e-6);
            EXPECT_NEAR(s.y, expected.y, 1e-6);
            EXPECT_NEAR(q.x, expected.x, 1e-6);
            EXPECT_NEAR(q.y, expected.y, 1e-6);
            ++checked;
        }
    }
    EXPECT_GT(checked, 60);
}

TEST(ClothoidTest, SpiralOutOfACurveIsTheReverseOfTheSpiralIn) {
    for (double A : {60.0, 250.0, 1200.0}) {
        const double L = std::min(300.0, A * 1.5);
        const double R = A * A / L;
        // From radius R out to the straight: curvature falls from 1/R to 0.
        const Point2 expected = Simpson(1.0 / R, -1.0 / (A * A), L);
        PlanElement e = Spiral(R, InfiniteRadius, A);
        ASSERT_EQ(e.Evaluate(), 1);
        EXPECT_EQ(e.Type, PlanElement::SpiralOut);
        EXPECT_NEAR(e.EndX, expected.x, 1e-6);
        EXPECT_NEAR(e.EndY, expected.y, 1e-6);
        EXPECT_NEAR(e.StartSpiralAngle, L * L / (2 * A * A), 1e-12);
        EXPECT_EQ(e.EndSpiralAngle, 0.0);
        EXPECT_EQ(e.CentreX, 0.0);  // no centre at an infinite radius
    }
}

TEST(ClothoidTest, SpiralsBetweenFiniteRadiiAgreeWithQuadrature) {
    struct Case {
        double r1, r2, length;
    };
    // Ordinary compound transitions, a long one, and two between nearly equal
    // radii far from the clothoid's origin (spiral angles there are 5 and 50,
    // beyond the reach of the series).
    const Case cases[] = {
        {500, 300, 80}, {300, 500, 80},   {2000, 150, 200}, {150, 2000, 200},
        {60, 50, 30},   {1000, 990, 100}, {990, 1000, 100}, {1000, 999, 100},
    };
    for (const Case& c : cases) {
        const double Rc = c.r1 * c.r2 / std::fabs(c.r1 - c.r2);
        PlanElement e = Spiral(c.r1, c.r2, 0.0, -c.length);
        ASSERT_EQ(e.Evaluate(), 1);
        EXPECT_EQ(e.Type, c.r1 > c.r2 ? PlanElement::SpiralTightens : PlanElement::SpiralLoosens);
        EXPECT_NEAR(e.SpiralParam, std::sqrt(Rc * c.length), 1e-9);
        const Point2 expected = ReferenceEnd(c.r1, c.r2, c.length);
        EXPECT_NEAR(e.EndX, expected.x, 1e-6) << c.r1 << " -> " << c.r2;
        EXPECT_NEAR(e.EndY, expected.y, 1e-6) << c.r1 << " -> " << c.r2;
        // Total turn: the mean curvature times the length.
        EXPECT_NEAR(e.CentralAngle, 0.5 * (1 / c.r1 + 1 / c.r2) * c.length, 1e-10);
        EXPECT_NEAR(e.ChordAngle1 + e.ChordAngle2, e.CentralAngle, 1e-12);
        // The centre of curvature at the end lies one end radius to the right
        // of the end tangent.
        EXPECT_NEAR(std::hypot(e.CentreX - e.EndX, e.CentreY - e.EndY), c.r2, 1e-9);
        // The tangent point lies on both end tangents.
        const double cross = (e.TangentPointX - e.EndX) * std::sin(e.EndAzimuth) -
                             (e.TangentPointY - e.EndY) * std::cos(e.EndAzimuth);
        EXPECT_NEAR(cross, 0.0, 1e-6);
    }
}

// The end of a curve whose curvature runs linearly from k1 to k2 over the
// length h, in the frame of its start tangent, by Simpson's rule in long
// double, and the tangent lengths of that piece: independent of the library's
// series and of its double-precision quadrature alike.
struct LongPiece {
    long double x, y, central, tangent1, tangent2;
};
LongPiece LongDoublePiece(long double k1, long double k2, long double h) {
    const int panels = 20000;
    const long double step = h / panels;
    const long double c = (k2 - k1) / h;
    long double sx = 0.0L;
    long double sy = 0.0L;
    for (int i = 0; i <= panels; ++i) {
        const long double t = i * step;
        const long double theta = k1 * t + 0.5L * c * t * t;
        const long double w = (i == 0 || i == panels) ? 1.0L : (i % 2 ? 4.0L : 2.0L);
        sx += w * std::cos(theta);
        sy += w * std::sin(theta);
    }
    LongPiece p{sx * step / 3.0L, sy * step / 3.0L, 0.5L * (k1 + k2) * h, 0.0L, 0.0L};
    const long double chord = std::hypot(p.x, p.y);
    const long double angle1 = std::atan2(p.y, p.x);
    p.tangent1 = chord * std::sin(p.central - angle1) / std::sin(p.central);
    p.tangent2 = chord * std::sin(angle1) / std::sin(p.central);
    return p;
}

// Spirals between nearly equal radii are pieces of a clothoid far out from
// its origin; their ends, tangents and points still come to 1e-9 m.
TEST(ClothoidTest, PiecesBetweenNearlyEqualRadiiKeepTheirAccuracy) {
    struct Case {
        double r1, r2, length;
    };
    const Case cases[] = {
        {1e7, 0.9999999e7, 100}, {0.9999999e7, 1e7, 100}, {1e6, 999999, 200},  {999999, 1e6, 200},
        {1e6, 999000, 300},      {1000, 999, 100},        {5000, 4999.9, 300}, {2000, 1999, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.r1) + " -> " + std::to_string(c.r2));
        PlanElement e = Spiral(c.r1, c.r2, 0.0, -c.length);
        ASSERT_EQ(e.Evaluate(), 1);
        const LongPiece ref = LongDoublePiece(1.0L / c.r1, 1.0L / c.r2, c.length);
        EXPECT_NEAR(e.EndX, static_cast<double>(ref.x), 1e-9);
        EXPECT_NEAR(e.EndY, static_cast<double>(ref.y), 1e-9);
        EXPECT_NEAR(e.CentralAngle, static_cast<double>(ref.central), 1e-15 * e.CentralAngle);
        EXPECT_NEAR(e.Tangent1, static_cast<double>(ref.tangent1), 1e-9 * e.Tangent1);
        EXPECT_NEAR(e.Tangent2, static_cast<double>(ref.tangent2), 1e-9 * e.Tangent2);
        for (double s : {0.3, c.length / 3, c.length * 0.77}) {
            StationPoint p;
            p.Station = e.StartStation + s;
            ASSERT_EQ(e.PointAtStation(p), 1);
            const LongPiece part =
                LongDoublePiece(1.0L / c.r1, 1.0L / c.r1 + (1.0L / c.r2 - 1.0L / c.r1) * s / c.length, s);
            EXPECT_NEAR(p.X, static_cast<double>(part.x), 1e-9) << "at " << s;
            EXPECT_NEAR(p.Y, static_cast<double>(part.y), 1e-9) << "at " << s;
            EXPECT_NEAR(p.Azimuth, static_cast<double>(part.central), 1e-15) << "at " << s;
        }
    }
}

TEST(ClothoidTest, ChordSearchRecoversTheParameter) {
    struct Case {
        double r1, r2, A;
    };
    const Case cases[] = {
        {InfiniteRadius, 300, 150}, {InfiniteRadius, 800, 420}, {600, InfiniteRadius, 250},
        {500, 300, 273.86},         {300, 500, 273.86},
    };
    for (const Case& c : cases) {
        const double k1 = Curvature(c.r1);
        const double k2 = Curvature(c.r2);
        const double length = c.A * c.A * std::fabs(k2 - k1);
        const Point2 end = Simpson(k1, (k2 - k1) / length, length);
        const double chord = std::hypot(end.x, end.y);

        PlanElement e = Spiral(c.r1, c.r2, 0.0, chord);
        ASSERT_EQ(e.Evaluate(), 1);
        EXPECT_NEAR(e.SpiralParam, c.A, GetGeometryTolerance()) << c.r1 << " -> " << c.r2;
        // A within the tolerance moves the end by about as much.
        EXPECT_NEAR(e.Chord, chord, 2 * GetGeometryTolerance());
        EXPECT_NEAR(e.Length, length, 1e-3);
    }
}

TEST(ClothoidTest, TypeTwentyOneTextbookCase) {
    // A = 100 to R 200: L = A^2 / R = 50 and the spiral angle L / 2R = 0.125.
    PlanElement e = Spiral(InfiniteRadius, 200, 100);
    ASSERT_EQ(e.Evaluate(), 1);
    EXPECT_NEAR(e.Length, 50.0, 1e-12);
    EXPECT_NEAR(e.EndSpiralAngle, 0.125, 1e-15);
    EXPECT_EQ(e.StartSpiralAngle, 0.0);
    EXPECT_NEAR(e.CentralAngle, 0.125, 1e-15);
    // The same spiral given by its length: A = sqrt(R L).
    PlanElement byLength = Spiral(InfiniteRadius, 200, 0.0, -50.0);
    ASSERT_EQ(byLength.Evaluate(), 1);
    EXPECT_NEAR(byLength.SpiralParam, 100.0, 1e-12);
    EXPECT_NEAR(byLength.EndX, e.EndX, 1e-12);
    EXPECT_NEAR(byLength.EndY, e.EndY, 1e-12);
}

TEST(PlanElementTest, TypeFollowsTheRadii) {
    struct Case {
        double r1, r2;
        std::int32_t type;
    };
    const Case cases[] = {
        {InfiniteRadius, InfiniteRadius, PlanElement::Straight},
        {400, 400, PlanElement::Arc},
        {InfiniteRadius, 300, PlanElement::SpiralIn},
        {300, InfiniteRadius, PlanElement::SpiralOut},
        {500, 300, PlanElement::SpiralTightens},
        {300, 500, PlanElement::SpiralLoosens},
    };
    for (const Case& c : cases) {
        PlanElement e;
        e.Type = 24;  // whatever was stored
        e.StartRadius = c.r1;
        e.EndRadius = c.r2;
        e.LengthItem = -40.0;
        ASSERT_EQ(e.Evaluate(), 1) << c.r1 << " " << c.r2;
        EXPECT_EQ(e.Type, c.type) << c.r1 << " " << c.r2;
    }
    for (auto [r1, r2] : {std::pair{InfiniteRadius, 0.0}, {0.0, 0.0}, {-5.0, -5.0}, {0.0, 300.0}}) {
        PlanElement e;
        e.StartRadius = r1;
        e.EndRadius = r2;
        e.LengthItem = -40.0;
        const PlanElement before = e;
        EXPECT_EQ(e.Evaluate(), 0) << r1 << " " << r2;
        EXPECT_EQ(e, before);  // a failed evaluation changes nothing
    }
}

TEST(PlanElementTest, StraightDropsTheSignOfItsLength) {
    for (double item : {-50.0, 50.0}) {
        PlanElement e;
        e.LengthItem = item;
        e.StartX = 10;
        e.StartY = 20;
        e.StartAzimuth = kPi / 2;  // due east: +Y
        e.StartStation = 5;
        ASSERT_EQ(e.Evaluate(), 1);
        EXPECT_EQ(e.LengthItem, 50.0);
        EXPECT_EQ(e.Length, 50.0);
        EXPECT_EQ(e.Chord, 50.0);
        EXPECT_NEAR(e.EndX, 10.0, 1e-12);
        EXPECT_NEAR(e.EndY, 70.0, 1e-12);
        EXPECT_NEAR(e.TangentPointY, 45.0, 1e-12);
        EXPECT_EQ(e.EndAzimuth, e.StartAzimuth);
        EXPECT_NEAR(e.EndStation.GetValue(), 55.0, 1e-12);
    }
}

TEST(PlanElementTest, ArcLengthItemIsChordOrLength) {
    // A chord of 20 on a radius of 10 is a half circle.
    PlanElement half;
    half.Turn = 1;
    half.StartRadius = half.EndRadius = 10;
    half.LengthItem = 20;
    ASSERT_EQ(half.Evaluate(), 1);
    EXPECT_EQ(half.Type, PlanElement::Arc);
    EXPECT_NEAR(half.CentralAngle, kPi, 1e-12);
    EXPECT_NEAR(half.Length, 10 * kPi, 1e-12);
    // Heading north and turning right, the half circle ends 20 m east,
    // heading south, with its centre 10 m east of the start.
    EXPECT_NEAR(half.EndX, 0.0, 1e-12);
    EXPECT_NEAR(half.EndY, 20.0, 1e-12);
    EXPECT_NEAR(half.EndAzimuth, kPi, 1e-12);
    EXPECT_NEAR(half.CentreX, 0.0, 1e-12);
    EXPECT_NEAR(half.CentreY, 10.0, 1e-12);

    // LengthItem 120 is a chord, -120 a length along the arc.
    PlanElement byChord;
    byChord.Turn = -1;
    byChord.StartRadius = byChord.EndRadius = 300;
    byChord.LengthItem = 120;
    ASSERT_EQ(byChord.Evaluate(), 1);
    EXPECT_NEAR(byChord.Chord, 120.0, 1e-12);
    EXPECT_NEAR(byChord.Length, 600 * std::asin(0.2), 1e-12);
    PlanElement byLength = byChord;
    byLength.LengthItem = -120;
    ASSERT_EQ(byLength.Evaluate(), 1);
    EXPECT_NEAR(byLength.Length, 120.0, 1e-12);
    EXPECT_NEAR(byLength.Chord, 600 * std::sin(0.2), 1e-12);
    // Turning left from north: the azimuth falls (reduced into [0, 2 pi)).
    EXPECT_NEAR(byLength.EndAzimuth, 2 * kPi - 0.4, 1e-12);
    EXPECT_NEAR(byLength.EndX, 300 * std::sin(0.4), 1e-9);
    EXPECT_NEAR(byLength.EndY, -300 * (1 - std::cos(0.4)), 1e-9);
    EXPECT_NEAR(byLength.Tangent1, 300 * std::tan(0.2), 1e-12);

    // A chord longer than the diameter has no arc.
    PlanElement tooLong = byChord;
    tooLong.LengthItem = 601;
    EXPECT_EQ(tooLong.Evaluate(), 0);
}

TEST(PlanElementTest, ZeroSizeElementStaysAtItsStart) {
    PlanElement e = Spiral(InfiniteRadius, 300, 0.0, 0.0);
    e.StartX = 3;
    e.StartY = 4;
    e.StartAzimuth = 1.0;
    ASSERT_EQ(e.Evaluate(), 1);
    EXPECT_EQ(e.Length, 0.0);
    EXPECT_EQ(e.EndX, 3.0);
    EXPECT_EQ(e.EndY, 4.0);
    EXPECT_EQ(e.EndAzimuth, 1.0);
    EXPECT_EQ(e.EndStation.GetValue(), e.StartStation.GetValue());
}

// Input at the edge of the doubles: the element fails and stays as it was,
// instead of handing on infinities, NaN or the meaningless end of a spiral
// that winds up 1e200 times.
TEST(PlanElementTest, ElementsBeyondTheDoublesOrAnyAccuracyFail) {
    std::vector<PlanElement> cases;
    cases.push_back(Spiral(InfiniteRadius, 800, 0.0, -1e160));
    cases.push_back(Spiral(InfiniteRadius, 1e-200, 0.0, -100));
    cases.push_back(Spiral(InfiniteRadius, 1e-200, 0.0, 100));  // by its chord
    cases.push_back(Spiral(InfiniteRadius, 1e-200, 100.0));
    cases.push_back(Spiral(300, 1e-200, 0.0, -100));
    cases.push_back(Spiral(1e-200, InfiniteRadius, 0.0, -100));
    PlanElement arc = Spiral(1e-200, 1e-200, 0.0, -100);
    cases.push_back(arc);
    PlanElement far = Spiral(InfiniteRadius, InfiniteRadius, 0.0, -1e308);
    far.StartX = 1e308;
    cases.push_back(far);
    for (const PlanElement& c : cases) {
        PlanElement e = c;
        EXPECT_EQ(e.Evaluate(), 0) << c.StartRadius << " -> " << c.EndRadius << " size " << c.LengthItem;
        EXPECT_TRUE(e == c);
    }
    // The most turning computed: 1000 radians of arc, and a spiral to
    // radius 1 turning as much, which still agrees with the quadrature.
    PlanElement loop = Spiral(1.0, 1.0, 0.0, -1000.0);
    ASSERT_EQ(loop.Evaluate(), 1);
    EXPECT_NEAR(loop.CentralAngle, 1000.0, 1e-12);
    PlanElement wound = Spiral(InfiniteRadius, 1.0, 0.0, -1000.0);
    ASSERT_EQ(wound.Evaluate(), 1);
    const Point2 expected = Simpson(0.0, 1.0 / 1000.0, 1000.0, 2000000);
    EXPECT_NEAR(wound.EndX, expected.x, 1e-6);
    EXPECT_NEAR(wound.EndY, expected.y, 1e-6);
    PlanElement beyond = Spiral(InfiniteRadius, 1.0, 0.0, -1000.5);
    EXPECT_EQ(beyond.Evaluate(), 0);
}

TEST(PlanElementTest, EvaluateAsTypedKeepsTheStoredType) {
    PlanElement e = Spiral(InfiniteRadius, 300, 150);
    e.Type = PlanElement::Arc;  // not what the radii say
    e.StartRadius = e.EndRadius = 300;
    e.LengthItem = -30;
    e.SpiralParam = 0;
    ASSERT_EQ(e.EvaluateAsTyped(), 1);
    EXPECT_EQ(e.Type, PlanElement::Arc);
    e.Type = 7;
    EXPECT_EQ(e.EvaluateAsTyped(), 0);
}

TEST(PlanElementTest, PointAtStationSnapsToTheEnds) {
    PlanElement e = Spiral(InfiniteRadius, 250, 120);
    e.StartX = 100;
    e.StartY = 200;
    e.StartAzimuth = 0.3;
    ASSERT_EQ(e.Evaluate(), 1);
    StationPoint p;
    p.Station = e.StartStation + 0.00005;
    ASSERT_EQ(e.PointAtStation(p), 1);
    EXPECT_EQ(p.X, 100.0);
    EXPECT_EQ(p.Y, 200.0);
    EXPECT_EQ(p.Azimuth, 0.3);
    p.Station = e.EndStation - 0.00005;
    ASSERT_EQ(e.PointAtStation(p), 1);
    EXPECT_EQ(p.X, e.EndX);
    EXPECT_EQ(p.Y, e.EndY);
    EXPECT_EQ(p.Azimuth, e.EndAzimuth);
    // Just beyond the snap distance the computed point is used.
    p.Station = e.StartStation + 0.0002;
    ASSERT_EQ(e.PointAtStation(p), 1);
    EXPECT_NEAR(std::hypot(p.X - 100, p.Y - 200), 0.0002, 1e-12);

    PlanElement never;  // never evaluated: a spiral without parameter
    never.Type = PlanElement::SpiralIn;
    never.EndRadius = 100;
    never.EndStation = 50.0;
    p.Station = 20.0;
    p.X = p.Y = 5.0;
    EXPECT_EQ(never.PointAtStation(p), 0);
    EXPECT_EQ(p.X, 0.0);
    EXPECT_EQ(p.Y, 0.0);
}

TEST(PlanElementTest, PointOnSpiralIsEvaluateOfTheSubPiece) {
    struct Case {
        double r1, r2, length;
        std::int32_t turn;
    };
    const Case cases[] = {
        {InfiniteRadius, 300, 90, 1}, {300, InfiniteRadius, 90, -1}, {600, 250, 120, 1},
        {250, 600, 120, -1},          {1000, 990, 100, 1},
    };
    for (const Case& c : cases) {
        PlanElement e = Spiral(c.r1, c.r2, 0.0, -c.length);
        e.Turn = c.turn;
        e.StartX = 5000;
        e.StartY = -3000;
        e.StartAzimuth = 5.9;
        ASSERT_EQ(e.Evaluate(), 1);
        for (double s = 0.25; s < c.length; s += 3.7) {
            StationPoint p;
            p.Station = e.StartStation + s;
            ASSERT_EQ(e.PointAtStation(p), 1);

            PlanElement piece = e;
            piece.EndRadius = e.RadiusAtStation(p.Station);
            piece.SpiralParam = e.SpiralParam;
            ASSERT_EQ(piece.Evaluate(), 1);
            EXPECT_NEAR(piece.Length, s, 1e-9);
            EXPECT_NEAR(p.X, piece.EndX, 1e-9) << c.r1 << " -> " << c.r2 << " at " << s;
            EXPECT_NEAR(p.Y, piece.EndY, 1e-9) << c.r1 << " -> " << c.r2 << " at " << s;
            EXPECT_NEAR(p.Azimuth, piece.EndAzimuth, 1e-12);

            // And both lie on the curve the quadrature traces.
            const double k1 = Curvature(c.r1);
            const double k2 = Curvature(c.r2);
            const Point2 local = Simpson(k1, (k2 - k1) / c.length, s, 4000);
            const double side = c.turn == 1 ? 1.0 : -1.0;
            const double x = 5000 + local.x * std::cos(5.9) - side * local.y * std::sin(5.9);
            const double y = -3000 + local.x * std::sin(5.9) + side * local.y * std::cos(5.9);
            EXPECT_NEAR(p.X, x, 1e-6);
            EXPECT_NEAR(p.Y, y, 1e-6);
        }
    }
}

TEST(PlanElementTest, RadiusAtStationFollowsTheCurvature) {
    PlanElement in = Spiral(InfiniteRadius, 200, 100);  // L 50
    ASSERT_EQ(in.Evaluate(), 1);
    EXPECT_NEAR(in.RadiusAtStation(in.StartStation + 25), 400.0, 1e-9);
    EXPECT_EQ(in.RadiusAtStation(in.StartStation), InfiniteRadius);
    EXPECT_EQ(in.RadiusAtStation(in.EndStation), 200.0);

    PlanElement out = Spiral(200, InfiniteRadius, 100);
    ASSERT_EQ(out.Evaluate(), 1);
    EXPECT_NEAR(out.RadiusAtStation(out.StartStation + 25), 400.0, 1e-9);

    // 500 -> 300 over 80 m: the curvature grows linearly.
    PlanElement tight = Spiral(500, 300, 0.0, -80);
    ASSERT_EQ(tight.Evaluate(), 1);
    EXPECT_NEAR(1 / tight.RadiusAtStation(tight.StartStation + 20),
                1 / 500.0 + 0.25 * (1 / 300.0 - 1 / 500.0), 1e-12);
    PlanElement loose = Spiral(300, 500, 0.0, -80);
    ASSERT_EQ(loose.Evaluate(), 1);
    EXPECT_NEAR(1 / loose.RadiusAtStation(loose.StartStation + 20),
                1 / 300.0 - 0.25 * (1 / 300.0 - 1 / 500.0), 1e-12);

    PlanElement straight;
    straight.LengthItem = 10;
    ASSERT_EQ(straight.Evaluate(), 1);
    EXPECT_EQ(straight.RadiusAtStation(5.0), InfiniteRadius);
}

// Azimuths of points: an arc gives StartAzimuth + phi (right) or
// StartAzimuth + 2 pi - phi (left), a spiral from the straight
// StartAzimuth +- its spiral angle, neither reduced; the other spirals the
// end azimuth of the piece, reduced.
TEST(PlanElementTest, PointAzimuthsAreReducedOnlyWhereTheEndAzimuthIs) {
    const auto azimuthAt = [](PlanElement e, double startAzimuth, std::int32_t turn, double s) {
        e.StartAzimuth = startAzimuth;
        e.Turn = turn;
        EXPECT_EQ(e.Evaluate(), 1);
        StationPoint p;
        p.Station = e.StartStation + s;
        EXPECT_EQ(e.PointAtStation(p), 1);
        return p.Azimuth;
    };
    const PlanElement arc = Spiral(100, 100, 0.0, -50);  // phi = s / 100
    EXPECT_NEAR(azimuthAt(arc, 1.0, 0, 10), 1.0 + 2 * kPi - 0.1, 1e-14);
    EXPECT_NEAR(azimuthAt(arc, 6.2, 1, 20), 6.4, 1e-14);
    const PlanElement in = Spiral(InfiniteRadius, 200, 100);  // tau = s^2 / 20000
    EXPECT_NEAR(azimuthAt(in, 0.05, 0, 20), 0.03, 1e-14);
    EXPECT_NEAR(azimuthAt(in, 0.01, 0, 20), -0.01, 1e-14);
    EXPECT_NEAR(azimuthAt(in, 6.28, 1, 20), 6.3, 1e-14);
    const PlanElement out = Spiral(200, InfiniteRadius, 100);  // 0.125 less (50 - s)^2 / 20000
    EXPECT_NEAR(azimuthAt(out, 1.0, 0, 30), 1.0 - 0.125 + 0.02, 1e-14);
    EXPECT_NEAR(azimuthAt(out, 6.2, 1, 30), 6.2 + 0.125 - 0.02 - 2 * kPi, 1e-14);
}

TEST(PlanElementTest, ReduceAzimuthOnlyReducesFromAbove) {
    EXPECT_DOUBLE_EQ(ReduceAzimuth(2 * kPi + 0.5), 0.5);
    EXPECT_DOUBLE_EQ(ReduceAzimuth(6 * kPi + 0.5), 0.5);
    EXPECT_EQ(ReduceAzimuth(-0.5), -0.5);
    EXPECT_EQ(ReduceAzimuth(1.0), 1.0);
}

}  // namespace
}  // namespace qdat::test
