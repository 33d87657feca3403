// Alignments: chaining with start modes and offsets, continuity at the joints,
// clamping, and lookups that pick exactly the element the linear rule picks.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include <qdat/plan/PlanAlignment.h>
#include "plan/PlanTestHelpers.h"

namespace qdat::test {
namespace {

constexpr double kPi = std::numbers::pi;

// Straight, spiral in, arc, spiral out, straight (turning right), then a
// reverse curve to the left with a spiral between two finite radii and an
// end element.
PlanAlignment RoadAlignment() {
    PlanAlignment a;
    a.StartMode = 1;
    a.StartStation = 1000.0;
    a.StartX = 5000.0;
    a.StartY = 3000.0;
    a.StartAzimuth = 0.7;
    a.AppendElement(Element(InfiniteRadius, InfiniteRadius, 120));
    a.AppendElement(Element(InfiniteRadius, 300, 80));
    a.AppendElement(Element(300, 300, 150));
    a.AppendElement(Element(300, InfiniteRadius, 80));
    a.AppendElement(Element(InfiniteRadius, InfiniteRadius, 60));
    a.AppendElement(Element(InfiniteRadius, 600, 70, -1));
    a.AppendElement(Element(600, 250, 90, -1));
    a.AppendElement(Element(250, 250, 40, -1));
    a.AppendElement(Element(250, 900, 60, -1));
    a.EndType = 5;  // one end element
    a.ElementsRef().SetSize(a.ElementCount + 4);
    a.ElementAt(a.ElementCount) = Element(900, InfiniteRadius, 50, -1);
    return a;
}

// The element rule as written: clamp to the alignment, then the first element
// from index 0 whose end station is not below the station.
int LinearRule(const PlanAlignment& a, QStation station) {
    const int total = a.GetTotalElementCount();
    if (station < a.GetElement(0).StartStation) station = a.GetElement(0).StartStation;
    if (station > a.GetElement(total - 1).EndStation) station = a.GetElement(total - 1).EndStation;
    for (int i = 0; i < total; ++i)
        if (!(a.GetElement(i).EndStation < station)) return i;
    return -1;
}

double SignedCurvature(double radius, std::int32_t turn) {
    if (radius == InfiniteRadius) return 0.0;
    return (turn == 1 ? 1.0 : -1.0) / radius;
}

double AngleDifference(double a, double b) {
    return std::remainder(a - b, 2 * kPi);
}

TEST(PlanAlignmentTest, ChainedAlignmentIsContinuousAtEveryJoint) {
    PlanAlignment a = RoadAlignment();
    ASSERT_EQ(a.ComputeElements(), 1);
    const int total = a.GetTotalElementCount();
    ASSERT_EQ(total, 10);
    for (int i = 0; i + 1 < total; ++i) {
        const PlanElement& before = a.GetElement(i);
        const PlanElement& after = a.GetElement(i + 1);
        ASSERT_EQ(after.StartX, before.EndX);
        ASSERT_EQ(after.StartAzimuth, before.EndAzimuth);
        const double jx = before.EndX;
        const double jy = before.EndY;
        const double jaz = before.EndAzimuth;
        // Approach the joint from both sides, also within the station
        // tolerance past it, where the element before the joint still
        // answers: the points must follow the curve through the joint, to
        // second order in the distance, with the curvature of the element
        // that answered.
        for (double d : {-0.02, -0.0015, -0.0003, 0.0003, 0.0008, 0.0015, 0.02}) {
            StationPoint p;
            p.Station = before.EndStation + d;
            ASSERT_EQ(a.PointAtStation(p), 1);
            const PlanElement& used = a.GetElement(GetLastElementIndex());
            ASSERT_TRUE(GetLastElementIndex() == i || GetLastElementIndex() == i + 1);
            const double k = GetLastElementIndex() == i ? SignedCurvature(used.EndRadius, used.Turn)
                                                        : SignedCurvature(used.StartRadius, used.Turn);
            const double dk = std::fabs(d) > 0.01 ? 1.0 / (250.0 * 60.0) : 0.0;  // spiral change of curvature
            const double ahead = d;
            const double aside = 0.5 * k * d * d;
            const double ex = jx + ahead * std::cos(jaz) - aside * std::sin(jaz);
            const double ey = jy + ahead * std::sin(jaz) + aside * std::cos(jaz);
            const double positionSlack = 1e-7 + dk * std::fabs(d * d * d);
            EXPECT_NEAR(p.X, ex, positionSlack) << "joint " << i << " d " << d;
            EXPECT_NEAR(p.Y, ey, positionSlack) << "joint " << i << " d " << d;
            EXPECT_NEAR(AngleDifference(p.Azimuth, jaz + k * d), 0.0, 1e-9 + dk * d * d)
                << "joint " << i << " d " << d;
        }
    }
}

TEST(PlanAlignmentTest, WalkingTheAlignmentNeverJumps) {
    PlanAlignment a = RoadAlignment();
    ASSERT_EQ(a.ComputeElements(), 1);
    const double step = 0.37;
    StationPoint previous;
    previous.Station = a.GetStartStation();
    ASSERT_EQ(a.PointAtStation(previous), 1);
    for (double s = a.GetStartStation().GetValue() + step; s < a.GetEndStation().GetValue(); s += step) {
        StationPoint p;
        p.Station = s;
        ASSERT_EQ(a.PointAtStation(p), 1);
        const double moved = std::hypot(p.X - previous.X, p.Y - previous.Y);
        // A chord of a curve of radius >= 250 falls short of its arc by at
        // most step^3 / (24 R^2).
        EXPECT_NEAR(moved, step, 1e-7) << "at " << s;
        EXPECT_LE(std::fabs(AngleDifference(p.Azimuth, previous.Azimuth)), step / 250.0 + 1e-12)
            << "at " << s;
        previous = p;
    }
}

TEST(PlanAlignmentTest, StationsOutsideTheAlignmentAreClamped) {
    PlanAlignment a = RoadAlignment();
    ASSERT_EQ(a.ComputeElements(), 1);
    StationPoint p;
    p.Station = 900.0;
    ASSERT_EQ(a.PointAtStation(p), 1);
    EXPECT_EQ(p.X, 5000.0);
    EXPECT_EQ(p.Y, 3000.0);
    EXPECT_EQ(p.Azimuth, 0.7);
    EXPECT_EQ(p.Station.GetValue(), 900.0);  // the station asked is left alone
    const PlanElement& last = a.GetElement(a.GetTotalElementCount() - 1);
    p.Station = a.GetEndStation() + 500.0;
    ASSERT_EQ(a.PointAtStation(p), 1);
    EXPECT_EQ(p.X, last.EndX);
    EXPECT_EQ(p.Y, last.EndY);
    EXPECT_EQ(p.Azimuth, last.EndAzimuth);
    EXPECT_EQ(a.GetEndStation().GetValue(), last.EndStation.GetValue());
    EXPECT_NEAR(a.GetEndStation().GetValue(), 1000.0 + 120 + 80 + 150 + 80 + 60 + 70 + 90 + 40 + 60 + 50,
                1e-9);

    EXPECT_EQ(a.RadiusAtStation(1000.0 + 120 + 80 + 10), 300.0);
    EXPECT_EQ(a.RadiusAtStation(1000.0 + 50), InfiniteRadius);
    EXPECT_NEAR(a.RadiusAtStation(1000.0 + 120 + 40), 600.0, 1e-9);
}

TEST(PlanAlignmentTest, StartModes) {
    PlanAlignment a;
    a.AppendElement(Element(InfiniteRadius, InfiniteRadius, 10));
    a.StartMode = 0;
    a.StartAzimuth = 0.0;  // the back point (0, 0)
    a.BackPointY = 0.0;
    a.StartX = 10.0;
    a.StartY = -10.0;
    ASSERT_EQ(a.ComputeElements(), 1);
    EXPECT_NEAR(a.GetElement(0).StartAzimuth, 2 * kPi - kPi / 4, 1e-15);
    EXPECT_NEAR(a.GetElement(0).EndX, 10.0 + 10 / std::sqrt(2.0), 1e-12);

    a.StartMode = 1;
    a.StartAzimuth = 1.0;
    ASSERT_EQ(a.ComputeElements(), 1);
    EXPECT_EQ(a.GetElement(0).StartAzimuth, 1.0);

    // Modes 2 and 3 cannot be computed and leave every element as it was.
    for (int mode : {2, 3, 17}) {
        PlanAlignment untouched = RoadAlignment();
        untouched.StartMode = mode;
        const GrowArray<PlanElement> before = untouched.GetElements();
        EXPECT_EQ(untouched.ComputeElements(), 0);
        EXPECT_TRUE(untouched.GetElements() == before);
    }
}

TEST(PlanAlignmentTest, ComputeFailsWithoutElementsOrWithABadEndOrElement) {
    PlanAlignment empty;
    EXPECT_EQ(empty.ComputeElements(), 0);
    StationPoint p;
    p.X = p.Y = 1.0;
    EXPECT_EQ(empty.PointAtStation(p), 0);
    EXPECT_EQ(p.X, 0.0);
    EXPECT_EQ(empty.RadiusAtStation(0.0), -9999.0);
    EXPECT_EQ(empty.GetEndStation().GetValue(), empty.GetStartStation().GetValue());

    PlanAlignment badEnd = RoadAlignment();
    badEnd.EndType = 7;
    EXPECT_EQ(badEnd.GetTotalElementCount(), -1);
    EXPECT_EQ(badEnd.ComputeElements(), 0);

    // A failing element stops the computation; the elements before it keep
    // their new values.
    PlanAlignment badElement = RoadAlignment();
    badElement.StartMode = 1;
    badElement.ElementAt(3).EndRadius = 0.0;
    EXPECT_EQ(badElement.ComputeElements(), 0);
    EXPECT_NEAR(badElement.GetElement(2).EndStation.GetValue(), 1000.0 + 120 + 80 + 150, 1e-9);
}

TEST(PlanAlignmentTest, EndTypeFixesTheEndElements) {
    PlanAlignment a;
    a.ElementCount = 3;
    const int expected[] = {0, 2, 2, 2, 2, 1, 1};
    for (int type = 0; type <= 6; ++type) {
        a.EndType = type;
        a.EndValue2 = 0.0;
        EXPECT_EQ(a.GetTotalElementCount(), 3 + expected[type]) << type;
    }
    a.EndType = 2;
    a.EndValue2 = 0.5;
    EXPECT_EQ(a.GetTotalElementCount(), 6);
    for (int bad : {-1, 7, 100}) {
        a.EndType = bad;
        EXPECT_EQ(a.GetTotalElementCount(), -1);
    }
}

TEST(PlanAlignmentTest, OffsetsShiftTheStartSideways) {
    for (double offset : {-2.0, 2.0}) {
        PlanAlignment a;
        a.StartMode = 1;
        a.StartAzimuth = 0.0;  // north
        a.AppendElement(Element(InfiniteRadius, InfiniteRadius, 50));
        PlanElement shifted = Element(InfiniteRadius, InfiniteRadius, 50);
        shifted.Offset = offset;
        a.AppendElement(shifted);
        ASSERT_EQ(a.ComputeElements(), 1);
        // Heading north, left is west (-Y) and right is east (+Y).
        EXPECT_NEAR(a.GetElement(1).StartX, 50.0, 1e-12);
        EXPECT_NEAR(a.GetElement(1).StartY, offset, 1e-12);
        EXPECT_EQ(a.GetElement(1).StartAzimuth, 0.0);
        EXPECT_EQ(a.GetElement(1).StartStation.GetValue(), 50.0);
        // Computing again does not move it further.
        ASSERT_EQ(a.ComputeElements(), 1);
        EXPECT_NEAR(a.GetElement(1).StartY, offset, 1e-12);

        // Unchained, an element keeps its own start, which its Offset moves
        // too, once: repeated computations leave it where it is.
        a.Chained = 0;
        a.ElementAt(1).StartX = 70.0;
        a.ElementAt(1).StartY = 5.0;
        ASSERT_EQ(a.ComputeElements(), 1);
        ASSERT_EQ(a.ComputeElements(), 1);
        EXPECT_EQ(a.GetElement(1).StartX, 70.0);
        EXPECT_EQ(a.GetElement(1).StartY, 5.0 + offset);
        EXPECT_NEAR(a.GetElement(1).EndX, 120.0, 1e-12);
        PlanAlignment copy = a;
        ASSERT_EQ(copy.ComputeElements(), 1);
        EXPECT_EQ(copy.GetElement(1).StartY, 5.0 + offset);
        // A new Offset moves the start given, not the one moved before.
        a.ElementAt(1).Offset = 3.0;
        ASSERT_EQ(a.ComputeElements(), 1);
        EXPECT_EQ(a.GetElement(1).StartY, 8.0);
        // A new start is a start given.
        a.ElementAt(1).StartY = -1.0;
        ASSERT_EQ(a.ComputeElements(), 1);
        ASSERT_EQ(a.ComputeElements(), 1);
        EXPECT_EQ(a.GetElement(1).StartY, 2.0);
    }
}

TEST(PlanAlignmentTest, LookupPicksExactlyTheElementOfTheLinearRule) {
    std::mt19937_64 random(20240601);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int round = 0; round < 60; ++round) {
        const int count = 1 + static_cast<int>(unit(random) * 300);
        PlanAlignment a;
        a.ElementsRef().SetSize(count + 4);
        a.ElementCount = count;
        double station = 100.0;
        const bool disordered = round % 3 == 2;
        // Every fourth round, lengths from 0.1 mm to 100 km: most stations
        // then fall among a few long elements and many short ones crowd
        // together.
        const bool spread = round % 4 == 3;
        for (int i = 0; i < count; ++i) {
            PlanElement& e = a.ElementAt(i);
            e.StartStation = station;
            // Lengths include zero and lengths within the station tolerance.
            const double pick = unit(random);
            const double length = spread       ? std::pow(10.0, -4.0 + 9.0 * pick)
                                  : pick < 0.1 ? 0.0
                                  : pick < 0.2 ? 0.0005
                                               : pick * 40.0;
            e.EndStation = station + length;
            station += length;
            if (disordered && unit(random) < 0.2) e.EndStation = station - unit(random) * 200.0;
        }
        std::vector<double> asked;
        for (int i = 0; i < count; ++i) {
            const double end = a.GetElement(i).EndStation.GetValue();
            for (double d : {-0.001, -0.0009999, 0.0, 0.0009999, 0.001, 0.3}) asked.push_back(end + d);
        }
        for (int i = 0; i < 200; ++i) asked.push_back(90.0 + unit(random) * (station - 80.0));
        // In order, then shuffled.
        std::sort(asked.begin(), asked.end());
        for (int pass = 0; pass < 2; ++pass) {
            for (double s : asked) {
                const int expected = LinearRule(a, s);
                ASSERT_EQ(a.FindElement(s), expected) << "round " << round << " station " << s;
                ASSERT_EQ(GetLastElementIndex(), expected);
            }
            std::shuffle(asked.begin(), asked.end(), random);
        }
    }
}

TEST(PlanAlignmentTest, LookupFollowsChangedElements) {
    PlanAlignment a = RoadAlignment();
    ASSERT_EQ(a.ComputeElements(), 1);
    EXPECT_EQ(a.FindElement(1000.0 + 130), 1);
    // Edits through the element accessors are seen by the next lookup.
    a.ElementAt(0).EndStation = 1000.0 + 140;
    EXPECT_EQ(a.FindElement(1000.0 + 130), 0);
    // So are edits through a reference kept across lookups.
    GrowArray<PlanElement>& elements = a.ElementsRef();
    EXPECT_EQ(a.FindElement(1000.0 + 130), 0);
    elements[0].EndStation = 1000.0 + 120;
    EXPECT_EQ(a.FindElement(1000.0 + 130), LinearRule(a, 1000.0 + 130));
}

// Elements handed out for writing between lookups: the lookups follow every
// edit of an end station, and an access that changes none costs them nothing.
TEST(PlanAlignmentTest, AccessBetweenLookupsKeepsAnswersAndSpeed) {
    PlanAlignment a;
    const int count = 3000;
    a.ElementsRef().SetSize(count);
    a.ElementCount = count;
    for (int i = 0; i < count; ++i) {
        a.ElementAt(i).StartStation = i * 10.0;
        a.ElementAt(i).EndStation = (i + 1) * 10.0;
    }
    std::mt19937 random(5);
    for (int round = 0; round < 3000; ++round) {
        const int i = static_cast<int>(random() % count);
        const double moves[] = {0.0, 700.0, -700.0};
        PlanElement& e = a.ElementAt(i);
        e.EndStation = e.EndStation.GetValue() + moves[random() % 3];
        if (random() % 4 == 0) a.ElementsRef()[(i + 3) % count].Turn = 1;
        for (int q = 0; q < 3; ++q) {
            const double s = (random() % 310000) * 0.1;
            ASSERT_EQ(a.FindElement(s), LinearRule(a, s)) << "round " << round << " station " << s;
        }
    }

    for (int i = 0; i < count; ++i) a.ElementAt(i).EndStation = (i + 1) * 10.0;
    const auto time = [&](bool access) {
        const auto start = std::chrono::steady_clock::now();
        int sum = 0;
        for (int i = 0; i < 2000; ++i) {
            if (access) sum += a.ElementAt(i).Turn + a.ElementsRef().GetSize();
            sum += a.FindElement(i * 13.0);
        }
        EXPECT_GT(sum, 0);
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    a.ElementsRef().SetSize(200000);
    a.ElementCount = 200000;
    for (int i = count; i < 200000; ++i) {
        a.ElementAt(i).StartStation = i * 10.0;
        a.ElementAt(i).EndStation = (i + 1) * 10.0;
    }
    const double bare = time(false);
    EXPECT_LT(time(true), 10.0 * bare + 0.005);
}

TEST(PlanAlignmentTest, CopiesAreIndependent) {
    PlanAlignment a = RoadAlignment();
    ASSERT_EQ(a.ComputeElements(), 1);
    StationPoint p;
    p.Station = 1300.0;
    ASSERT_EQ(a.PointAtStation(p), 1);
    PlanAlignment b = a;
    b.ElementAt(2).EndStation = 1100.0;  // a nonsense edit of the copy only
    StationPoint q;
    q.Station = 1300.0;
    ASSERT_EQ(a.PointAtStation(q), 1);
    EXPECT_EQ(q.X, p.X);
    EXPECT_EQ(b.Name, a.Name);
    EXPECT_EQ(b.GetTotalElementCount(), a.GetTotalElementCount());

    // An element of the alignment itself may be appended to it.
    for (int i = 0; i < 40; ++i) b.AppendElement(b.GetElement(i % 3));
    EXPECT_TRUE(b.GetElement(b.ElementCount - 1) == b.GetElement(39 % 3));
}

}  // namespace
}  // namespace qdat::test
