// Station and offset of points: exact against a dense sampling of the centre
// line, the offset point as its inverse, ends, ties, and a changed alignment.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <random>
#include <utility>
#include <vector>

#include <qdat/plan/PlanAlignment.h>
#include "plan/PlanTestHelpers.h"

namespace qdat::test {
namespace {

constexpr double kPi = std::numbers::pi;

// Every kind of element, turning both ways: a curve to the right with a
// spiral tightening between two finite radii and one loosening, a curve to the
// left, and a reverse curve whose spirals meet without a straight between
// them, on grid coordinates far from the origin.
PlanAlignment EveryElementType() {
    PlanAlignment a;
    a.StartMode = 1;
    a.StartStation = 2000.0;
    a.StartX = 3400000.0;
    a.StartY = 500000.0;
    a.StartAzimuth = 0.3;
    const double I = InfiniteRadius;
    for (const PlanElement& e :
         {Element(I, I, 80, 1), Element(I, 250, 60, 1), Element(250, 250, 100, 1), Element(250, 150, 50, 1),
          Element(150, 150, 60, 1), Element(150, 400, 40, 1), Element(400, I, 50, 1), Element(I, I, 60, 1),
          Element(I, 200, 50, -1), Element(200, 200, 120, -1), Element(200, I, 50, -1),
          Element(I, 300, 45, 1), Element(300, 300, 80, 1), Element(300, I, 45, 1), Element(I, I, 50, 1)})
        a.AppendElement(e);
    EXPECT_EQ(a.ComputeElements(), 1);
    return a;
}

// For `count` random points within `within` of the alignment: no point of the
// centre line sampled every 0.1 m is nearer than the one found, and the offset
// point of the station and offset found is the point itself.
void CheckRandomPoints(const PlanAlignment& a, int count, double within) {
    const double start = a.GetStartStation().GetValue();
    const double end = a.GetEndStation().GetValue();

    // The centre line every 0.1 m, from the elements' own evaluation.
    std::vector<StationPoint> samples;
    for (double s = start; s <= end; s += 0.1) {
        StationPoint p;
        p.Station = s;
        ASSERT_EQ(a.PointAtStation(p), 1);
        samples.push_back(p);
    }
    double minX = samples[0].X, maxX = minX, minY = samples[0].Y, maxY = minY;
    for (const StationPoint& p : samples) {
        minX = std::min(minX, p.X), maxX = std::max(maxX, p.X);
        minY = std::min(minY, p.Y), maxY = std::max(maxY, p.Y);
    }

    std::mt19937_64 random(15);
    std::uniform_real_distribution<double> ux(minX - within, maxX + within);
    std::uniform_real_distribution<double> uy(minY - within, maxY + within);
    int tested = 0, beyondStart = 0, beyondEnd = 0, left = 0, right = 0;
    while (tested < count) {
        const double x = ux(random);
        const double y = uy(random);
        double sampled = 1e300;
        for (const StationPoint& p : samples) sampled = std::min(sampled, std::hypot(x - p.X, y - p.Y));
        if (sampled > within) continue;
        ++tested;

        PointLocation loc;
        ASSERT_EQ(a.LocatePoint(x, y, loc), 1);
        const double found = std::hypot(x - loc.X, y - loc.Y);
        ASSERT_LE(found, sampled + 1e-6) << x << " " << y;
        ASSERT_GE(loc.Element, 0);

        StationPoint back;
        back.Station = loc.Station;
        ASSERT_EQ(a.PointAtOffset(back, loc.Offset), 1);
        if (loc.BeyondStart || loc.BeyondEnd) {
            // Past an end: the offset point there, then along the end tangent.
            const double along = loc.BeyondStart ? -loc.Beyond : loc.Beyond;
            back.X += along * std::cos(back.Azimuth);
            back.Y += along * std::sin(back.Azimuth);
            EXPECT_EQ(loc.Station.GetValue(), loc.BeyondStart ? start : end);
            beyondStart += loc.BeyondStart;
            beyondEnd += loc.BeyondEnd;
        } else {
            ASSERT_NEAR(std::fabs(loc.Offset), found, 1e-6);
            (loc.Offset > 0 ? right : left) += 1;
        }
        ASSERT_NEAR(back.X, x, 1e-6) << "station " << loc.Station.GetValue();
        ASSERT_NEAR(back.Y, y, 1e-6) << "station " << loc.Station.GetValue();

        // Off the ends' snapping, the offset point of the centre line is the
        // element's own point.
        const PlanElement& e = a.GetElement(loc.Element);
        if (std::fabs(loc.Station.GetValue() - e.StartStation.GetValue()) > 1e-3 &&
            std::fabs(loc.Station.GetValue() - e.EndStation.GetValue()) > 1e-3) {
            StationPoint own, centre;
            own.Station = centre.Station = loc.Station;
            ASSERT_EQ(e.PointAtStation(own), 1);
            ASSERT_EQ(a.PointAtOffset(centre, 0.0), 1);
            ASSERT_NEAR(centre.X, own.X, 1e-9);
            ASSERT_NEAR(centre.Y, own.Y, 1e-9);
        }
    }
    EXPECT_GT(beyondStart, count / 200);
    EXPECT_GT(beyondEnd, count / 200);
    EXPECT_GT(left, count / 20);
    EXPECT_GT(right, count / 20);
}

TEST(AlignmentProjection, NearestPointOfRandomPointsIsExact) {
    CheckRandomPoints(EveryElementType(), 10000, 200.0);
    // A clothoid winding in to a radius of 30 m over two radians, then out
    // again: points inside it face the curve at two foot points or more.
    PlanAlignment tight;
    tight.StartMode = 1;
    tight.AppendElement(Element(InfiniteRadius, 30, 120, -1));
    tight.AppendElement(Element(30, 60, 40, -1));
    tight.AppendElement(Element(60, InfiniteRadius, 80, -1));
    ASSERT_EQ(tight.ComputeElements(), 1);
    CheckRandomPoints(tight, 3000, 100.0);
    // Short bends turning by 1.4 rad each, to both sides in turn, some with
    // spirals between finite radii: each element lies within a wide margin
    // of its chord, and the bends' boxes overlap their neighbours'.
    PlanAlignment bends;
    bends.StartMode = 1;
    for (int i = 0; i < 8; ++i) {
        const std::int32_t turn = i % 2 ? 1 : -1;
        if (i % 3 == 2) {
            bends.AppendElement(Element(40, 20, 20, turn));
            bends.AppendElement(Element(20, 20, 18, turn));
        } else {
            bends.AppendElement(Element(20, 20, 28, turn));
        }
    }
    ASSERT_EQ(bends.ComputeElements(), 1);
    CheckRandomPoints(bends, 3000, 60.0);
}

// North 100 m from (0, 0), a half circle of radius 50 to the right (centre
// (100, 50)), then south 100 m: a hairpin whose legs are 100 m apart.
PlanAlignment Hairpin() {
    PlanAlignment a;
    a.StartMode = 1;
    a.AppendElement(Element(InfiniteRadius, InfiniteRadius, 100, 1));
    a.AppendElement(Element(50, 50, 50 * kPi, 1));
    a.AppendElement(Element(InfiniteRadius, InfiniteRadius, 100, 1));
    EXPECT_EQ(a.ComputeElements(), 1);
    return a;
}

TEST(AlignmentProjection, OffsetsEndsAndTies) {
    PlanAlignment a = Hairpin();
    PointLocation loc;
    // East of the first leg is right of travel; west of the second leg too.
    ASSERT_EQ(a.LocatePoint(30, 20, loc), 1);
    EXPECT_NEAR(loc.Station.GetValue(), 30, 1e-12);
    EXPECT_NEAR(loc.Offset, 20, 1e-12);
    EXPECT_EQ(loc.Element, 0);
    ASSERT_EQ(a.LocatePoint(30, 120, loc), 1);
    EXPECT_NEAR(loc.Station.GetValue(), 100 + 50 * kPi + 70, 1e-9);
    EXPECT_NEAR(loc.Offset, -20, 1e-9);
    EXPECT_EQ(loc.Element, 2);
    // Round the outside of the bend, 45 degrees on.
    ASSERT_EQ(a.LocatePoint(100 + 60 * std::sqrt(0.5), 50 - 60 * std::sqrt(0.5), loc), 1);
    EXPECT_NEAR(loc.Station.GetValue(), 100 + 12.5 * kPi, 1e-9);
    EXPECT_NEAR(loc.Offset, -10, 1e-9);
    EXPECT_EQ(loc.Element, 1);
    StationPoint p;
    p.Station = 50;
    ASSERT_EQ(a.PointAtOffset(p, 10), 1);
    EXPECT_NEAR(p.X, 50, 1e-12);
    EXPECT_NEAR(p.Y, 10, 1e-12);

    // Halfway between the legs both are 50 m away: the lower station wins.
    ASSERT_EQ(a.LocatePoint(50, 50, loc), 1);
    EXPECT_NEAR(loc.Station.GetValue(), 50, 1e-9);
    EXPECT_NEAR(loc.Offset, 50, 1e-9);
    // The centre of the bend is 50 m from all of it: its start, on the
    // element that ends there.
    ASSERT_EQ(a.LocatePoint(100, 50, loc), 1);
    EXPECT_NEAR(loc.Station.GetValue(), 100, 1e-9);
    EXPECT_EQ(loc.Element, 0);
    EXPECT_NEAR(loc.Offset, 50, 1e-9);
    EXPECT_FALSE(loc.BeyondStart || loc.BeyondEnd);

    // Behind the start and past the end: the end, the offset square to its
    // tangent and how far beyond.
    ASSERT_EQ(a.LocatePoint(-30, -10, loc), 1);
    EXPECT_TRUE(loc.BeyondStart);
    EXPECT_FALSE(loc.BeyondEnd);
    EXPECT_EQ(loc.Station.GetValue(), 0.0);
    EXPECT_NEAR(loc.Offset, -10, 1e-12);
    EXPECT_NEAR(loc.Beyond, 30, 1e-12);
    ASSERT_EQ(a.LocatePoint(-25, 107, loc), 1);
    EXPECT_TRUE(loc.BeyondEnd);
    EXPECT_EQ(loc.Element, 2);
    EXPECT_NEAR(loc.Station.GetValue(), 200 + 50 * kPi, 1e-9);
    EXPECT_NEAR(loc.Offset, -7, 1e-9);
    EXPECT_NEAR(loc.Beyond, 25, 1e-9);
    // Square to the start is not beyond it.
    ASSERT_EQ(a.LocatePoint(0, 5, loc), 1);
    EXPECT_FALSE(loc.BeyondStart);
    EXPECT_NEAR(loc.Offset, 5, 1e-12);

    // A changed alignment is indexed anew: with a first leg of 150 m the
    // point (130, 0) lies on it.
    a.ElementAt(0).LengthItem = -150;
    ASSERT_EQ(a.ComputeElements(), 1);
    ASSERT_EQ(a.LocatePoint(130, 0, loc), 1);
    EXPECT_NEAR(loc.Station.GetValue(), 130, 1e-9);
    EXPECT_NEAR(loc.Offset, 0, 1e-9);
    EXPECT_EQ(loc.Element, 0);

    PlanAlignment empty;
    EXPECT_EQ(empty.LocatePoint(0, 0, loc), 0);
    EXPECT_EQ(loc.Element, -1);
}

// A loop of 24 short arcs between two straights, the second crossing the
// first: near the crossing, elements far apart along the road lie close.
PlanAlignment Loop() {
    PlanAlignment a;
    a.StartMode = 1;
    a.StartX = 500000.0;
    a.StartY = 5200000.0;
    a.AppendElement(Element(InfiniteRadius, InfiniteRadius, 150, 1));
    for (int i = 0; i < 24; ++i) a.AppendElement(Element(40, 40, 10, 1));
    a.AppendElement(Element(InfiniteRadius, InfiniteRadius, 200, 1));
    EXPECT_EQ(a.ComputeElements(), 1);
    return a;
}

// After many locates a grid of cells serves them; it gives what the box
// hierarchy alone gives: near the road and far off it, between the legs of a
// hairpin (ties), at a road crossing itself and past the ends.
TEST(AlignmentProjection, CellsGiveWhatTheHierarchyGives) {
    for (const PlanAlignment& a : {EveryElementType(), Hairpin(), Loop()}) {
        std::vector<PlanElement> elements;
        double minX = 1e300, maxX = -1e300, minY = 1e300, maxY = -1e300;
        for (int i = 0; i < a.GetTotalElementCount(); ++i) {
            const PlanElement& e = a.GetElement(i);
            elements.push_back(e);
            minX = std::min({minX, e.StartX, e.EndX}), maxX = std::max({maxX, e.StartX, e.EndX});
            minY = std::min({minY, e.StartY, e.EndY}), maxY = std::max({maxY, e.StartY, e.EndY});
        }
        const int count = static_cast<int>(elements.size());
        const AlignmentProjection warm(elements.data(), count);
        PointLocation loc;
        for (int i = 0; i < 20 * count + 100; ++i) ASSERT_TRUE(warm.Locate(minX, minY, loc));

        std::mt19937_64 random(7);
        std::uniform_real_distribution<double> ux(minX - 400, maxX + 400), uy(minY - 400, maxY + 400);
        std::vector<std::pair<double, double>> points = {{minX + 50, minY + 50}, {minX + 100, minY + 50}};
        for (int i = 0; i < 20000; ++i) points.emplace_back(ux(random), uy(random));
        std::unique_ptr<AlignmentProjection> fresh;
        for (std::size_t i = 0; i < points.size(); ++i) {
            // A new hierarchy every few points, before it would build cells.
            if (i % 16 == 0) fresh = std::make_unique<AlignmentProjection>(elements.data(), count);
            const auto [x, y] = points[i];
            PointLocation byCells, byHierarchy;
            ASSERT_TRUE(warm.Locate(x, y, byCells));
            ASSERT_TRUE(fresh->Locate(x, y, byHierarchy));
            ASSERT_EQ(byCells.Element, byHierarchy.Element) << x << " " << y;
            ASSERT_NEAR(byCells.Station.GetValue(), byHierarchy.Station.GetValue(), 1e-9) << x << " " << y;
            ASSERT_NEAR(byCells.Offset, byHierarchy.Offset, 1e-9) << x << " " << y;
            ASSERT_EQ(byCells.BeyondStart, byHierarchy.BeyondStart);
            ASSERT_EQ(byCells.BeyondEnd, byHierarchy.BeyondEnd);
        }
    }
    // Still exact against the centre line sampled densely, where the cells
    // serve most points.
    CheckRandomPoints(Loop(), 3000, 120.0);
}

// A clothoid from the straight to a radius of 1 m over 400 m turns by 200
// radians, as far as elements are computed: its search starts from 128
// pieces. An element of a damaged file whose clothoid parameter squares to
// infinity turns by no number at all: it is left out.
TEST(AlignmentProjection, ClothoidsThatTurnFarOrByNoNumber) {
    PlanAlignment a;
    a.StartMode = 1;
    a.AppendElement(Element(InfiniteRadius, 1, 400, 1));
    ASSERT_EQ(a.ComputeElements(), 1);
    StationPoint p;
    p.Station = 10;
    ASSERT_EQ(a.PointAtOffset(p, 0.5), 1);
    PointLocation loc;
    ASSERT_EQ(a.LocatePoint(p.X, p.Y, loc), 1);
    EXPECT_NEAR(loc.Station.GetValue(), 10, 1e-9);
    EXPECT_NEAR(loc.Offset, 0.5, 1e-9);

    PlanElement damaged = a.ElementAt(0);
    damaged.SpiralParam = 1e200;
    damaged.EndRadius = 1e-300;
    const AlignmentProjection projection(&damaged, 1);
    EXPECT_FALSE(projection.Locate(p.X, p.Y, loc));
    EXPECT_EQ(loc.Element, 0);

    // Beside a sound element the damaged one still gives no answer: the
    // nearest point might lie on it. It is named instead.
    const PlanElement both[] = {a.ElementAt(0), damaged};
    const AlignmentProjection mixed(both, 2);
    EXPECT_FALSE(mixed.Locate(p.X, p.Y, loc));
    EXPECT_EQ(loc.Element, 1);
}

}  // namespace
}  // namespace qdat::test
