// Copies of an alignment share the index behind LocatePoint, and the index
// builds its grid of cells while locates go on: threads locating on copies at
// once get what one thread gets on an alignment of its own.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <thread>
#include <vector>

#include <qdat/plan/PlanAlignment.h>
#include "plan/PlanTestHelpers.h"

namespace qdat {
namespace {

// Straight, spiral, arc and spiral, to the right and to the left in turn.
PlanAlignment WindingRoad() {
    PlanAlignment a;
    a.StartMode = 1;
    a.StartX = 3400000.0;
    a.StartY = 500000.0;
    a.StartAzimuth = 0.3;
    const double I = InfiniteRadius;
    for (int i = 0; i < 15; ++i) {
        const std::int32_t turn = i % 2 ? -1 : 1;
        for (const PlanElement& e : {test::Element(I, I, 80, turn), test::Element(I, 300, 50, turn),
                                     test::Element(300, 300, 60, turn), test::Element(300, I, 50, turn)})
            a.AppendElement(e);
    }
    EXPECT_EQ(a.ComputeElements(), 1);
    return a;
}

TEST(SharedLocate, ThreadsOnCopiesGetWhatOneThreadGets) {
    constexpr int kThreads = 4;
    constexpr int kPoints = 6000;
    const PlanAlignment reference = WindingRoad();
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> station(reference.GetStartStation().GetValue(),
                                                   reference.GetEndStation().GetValue());
    std::uniform_real_distribution<double> offset(-150.0, 150.0);
    std::vector<StationPoint> points(kPoints);
    std::vector<PointLocation> expected(kPoints);
    for (int i = 0; i < kPoints; ++i) {
        points[i].Station = station(random);
        ASSERT_EQ(reference.PointAtOffset(points[i], offset(random)), 1);
        ASSERT_EQ(reference.LocatePoint(points[i].X, points[i].Y, expected[i]), 1);
    }

    PlanAlignment shared = WindingRoad();
    PointLocation first;
    ASSERT_EQ(shared.LocatePoint(points[0].X, points[0].Y, first), 1);  // builds the index
    const std::vector<PlanAlignment> copies(kThreads, shared);
    std::vector<int> mismatches(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kPoints; ++i) {
                const int at = (i + t * kPoints / kThreads) % kPoints;
                PointLocation loc;
                const bool same =
                    copies[t].LocatePoint(points[at].X, points[at].Y, loc) == 1 &&
                    loc.Element == expected[at].Element &&
                    std::fabs(loc.Station.GetValue() - expected[at].Station.GetValue()) <= 1e-9 &&
                    std::fabs(loc.Offset - expected[at].Offset) <= 1e-9;
                mismatches[t] += same ? 0 : 1;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(mismatches[t], 0) << "thread " << t;
}

}  // namespace
}  // namespace qdat
