// Curve computation of intersection points.
//
// ComputeCurves on zig-zag alignments of 1,000 and 10,000 points (legs of
// 400 m, deflections of 0.3 to 0.5 rad alternating left and right, radius 500
// with spirals of 80 m), every middle point in CalcMode 0 (given radius and
// spirals) or in CalcMode 2 (given radius and the tangent of those spirals:
// the spiral length is found by bisection). The bare baseline in the same run
// evaluates one spiral element, the unit every curve is built from.
//
// Counters: ns_per_point is the time of one point; iterations is the
// bisection steps of a CalcMode 2 point (0 in CalcMode 0).
// What to compare: ns_per_point of 10,000 points against 1,000 (should not
// grow by more than 1.2x), and a CalcMode 2 point against its iterations
// times a CalcMode 0 point (should not be more).
#include <benchmark/benchmark.h>

#include <cmath>

#include <qdat/plan/JdList.h>
#include <qdat/plan/PlanElement.h>

namespace {

using namespace qdat;

JdList ZigZag(int points, int calcMode) {
    JdList list;
    double x = 0.0, y = 0.0, azimuth = 0.9;
    for (int i = 0; i < points; ++i) {
        JdPoint p;
        p.X = x;
        p.Y = y;
        p.Radius = 500.0;
        p.SpiralLength1 = p.SpiralLength2 = 80.0;
        list.Points.Add(p);
        const double deflection = (i % 2 ? -1.0 : 1.0) * (0.3 + 0.2 * ((i * 7) % 11) / 10.0);
        azimuth += deflection;
        x += 400.0 * std::cos(azimuth);
        y += 400.0 * std::sin(azimuth);
    }
    if (calcMode == 2) {
        // The tangents the given spirals make become the targets.
        list.ComputeCurves();
        for (int i = 1; i + 1 < points; ++i) {
            list.Points[i].CalcMode = 2;
            list.Points[i].SpiralLength1 = list.Points[i].SpiralLength2 = 0.0;
        }
    }
    return list;
}

void BM_ComputeCurves(benchmark::State& state) {
    const int points = static_cast<int>(state.range(0));
    JdList list = ZigZag(points, static_cast<int>(state.range(1)));
    for (auto _ : state) {
        if (!list.ComputeCurves()) state.SkipWithError("the curves failed");
        benchmark::DoNotOptimize(list.Points[points - 1].StationJD);
    }
    list.ComputePoint(points / 2);
    state.counters["iterations"] = list.GetIterationCount();
    state.counters["ns_per_point"] = benchmark::Counter(
        points * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ComputeCurves)
    ->ArgNames({"points", "mode"})
    ->Args({1000, 0})
    ->Args({10000, 0})
    ->Args({1000, 2})
    ->Args({10000, 2});

void BM_BaselineSpiralElement(benchmark::State& state) {
    PlanElement spiral;
    spiral.Turn = 1;
    spiral.EndRadius = 500.0;
    spiral.LengthItem = -80.0;
    for (auto _ : state) {
        PlanElement e = spiral;
        benchmark::DoNotOptimize(e.Evaluate());
        benchmark::DoNotOptimize(e.EndX);
    }
    state.counters["ns_per_point"] =
        benchmark::Counter(1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_BaselineSpiralElement);

}  // namespace
