// Station and offset of points on an alignment of 10,000 elements.
//
// One million locates per iteration, of points up to 100 m either side of
// random stations, against the baseline of one million
// PointAtStation calls at random stations of the same alignment in the same
// run. The goal is 3 PointAtStation calls per locate: the ratio
// locate / PointAtStation is the figure to watch.
//
// Counters: ns_per_call is the time of one locate or one PointAtStation.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include <qdat/plan/PlanAlignment.h>

namespace {

using namespace qdat;

constexpr int kCalls = 1'000'000;
constexpr int kElements = 10'000;

void CountCalls(benchmark::State& state) {
    state.counters["ns_per_call"] = benchmark::Counter(
        kCalls * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Curves of every kind in turn, right and left: straight, spiral in, arc,
// spiral between two finite radii, arc, spiral out.
PlanAlignment RoadOf(int count) {
    PlanAlignment a;
    a.StartMode = 1;
    a.StartX = 3400000.0;
    a.StartY = 500000.0;
    a.StartAzimuth = 0.3;
    const double I = InfiniteRadius;
    const double radii[6][2] = {{I, I}, {I, 600}, {600, 600}, {600, 350}, {350, 350}, {350, I}};
    const double lengths[6] = {90, 60, 70, 40, 50, 70};
    for (int i = 0; i < count; ++i) {
        PlanElement e;
        e.Turn = (i / 6) % 2 ? -1 : 1;
        e.StartRadius = radii[i % 6][0];
        e.EndRadius = radii[i % 6][1];
        e.LengthItem = -lengths[i % 6];
        a.AppendElement(e);
    }
    a.ComputeElements();
    return a;
}

std::vector<double> RandomStations(const PlanAlignment& a, std::mt19937_64& random) {
    const double start = a.GetStartStation().GetValue();
    const double end = a.GetEndStation().GetValue();
    std::uniform_real_distribution<double> station(start - 50.0, end + 50.0);
    std::vector<double> stations(kCalls);
    for (double& s : stations) s = station(random);
    return stations;
}

void BM_PointAtStation(benchmark::State& state) {
    const PlanAlignment a = RoadOf(kElements);
    std::mt19937_64 random(3);
    const std::vector<double> stations = RandomStations(a, random);
    StationPoint p;
    for (auto _ : state) {
        for (double s : stations) {
            p.Station = s;
            benchmark::DoNotOptimize(a.PointAtStation(p));
        }
    }
    CountCalls(state);
}
BENCHMARK(BM_PointAtStation)->Unit(benchmark::kMillisecond);

// The points to locate, worked out once for all repetitions, so that a
// profile of the benchmark shows the locates alone. The alignment is the same
// one throughout: its index of cells is built during the first repetition,
// after the locates that make it worth building, and serves the others.
struct LocateInput {
    PlanAlignment alignment = RoadOf(kElements);
    std::vector<double> xs, ys;
    LocateInput() {
        std::mt19937_64 random(5);
        const std::vector<double> stations = RandomStations(alignment, random);
        std::uniform_real_distribution<double> offset(-100.0, 100.0);
        xs.resize(kCalls);
        ys.resize(kCalls);
        for (int i = 0; i < kCalls; ++i) {
            StationPoint p;
            p.Station = stations[i];
            alignment.PointAtOffset(p, offset(random));
            xs[i] = p.X;
            ys[i] = p.Y;
        }
    }
};

void BM_LocatePoint(benchmark::State& state) {
    static const LocateInput input;
    const PlanAlignment& a = input.alignment;
    PointLocation where;
    for (auto _ : state) {
        for (int i = 0; i < kCalls; ++i)
            benchmark::DoNotOptimize(a.LocatePoint(input.xs[i], input.ys[i], where));
    }
    CountCalls(state);
}
BENCHMARK(BM_LocatePoint)->Unit(benchmark::kMillisecond);

// The same locates on an alignment whose indexes are built in the timed
// loop: the hierarchy at the first locate, the cells when they are worth it.
void BM_LocatePointFromScratch(benchmark::State& state) {
    static const LocateInput input;
    PointLocation where;
    for (auto _ : state) {
        state.PauseTiming();
        const PlanAlignment a = RoadOf(kElements);
        state.ResumeTiming();
        for (int i = 0; i < kCalls; ++i)
            benchmark::DoNotOptimize(a.LocatePoint(input.xs[i], input.ys[i], where));
    }
    CountCalls(state);
}
BENCHMARK(BM_LocatePointFromScratch)->Unit(benchmark::kMillisecond);

}  // namespace
