// Plan geometry benchmarks.
//
// (a) Clothoid point evaluation: the series point, and a whole point at a
//     station on a spiral element, against a bare circular-arc point (one sin
//     and one cos) in the same run.
// (b) PointAtStation on alignments of 100 and 10,000 elements, 1,000,000
//     stations per iteration, in station order and shuffled, each against a
//     bare baseline that evaluates the same stations on elements whose index
//     is known beforehand (the cost of finding the element is the
//     difference), and against the bound a lookup is held to: a bare binary
//     search over a flat array of element start stations plus the same
//     evaluation. A few thousand lookups by the linear rule show what the
//     search saves. The shuffled lookups again with an element read through
//     ElementAt between every two show what such an access costs them.
//
// Counters: ns_per_call is the time of one call.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include <qdat/plan/Clothoid.h>
#include <qdat/plan/PlanAlignment.h>

namespace {

using namespace qdat;

constexpr int kCalls = 1'000'000;

void CountCalls(benchmark::State& state, double callsPerIteration) {
    state.counters["ns_per_call"] =
        benchmark::Counter(callsPerIteration * 1e-9,
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Spiral parameters and arc lengths of road spirals: A 50..2000, up to 500 m
// or a spiral angle of pi/2.
struct ClothoidSample {
    double A, L;
};

std::vector<ClothoidSample> ClothoidSamples() {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<ClothoidSample> samples(1024);
    for (ClothoidSample& s : samples) {
        s.A = 50.0 + 1950.0 * unit(random);
        s.L = std::min(500.0, s.A * std::sqrt(3.141592653589793)) * unit(random);
    }
    return samples;
}

void BM_ClothoidSeriesPoint(benchmark::State& state) {
    const std::vector<ClothoidSample> samples = ClothoidSamples();
    std::size_t i = 0;
    for (auto _ : state) {
        const ClothoidSample& s = samples[i++ & 1023];
        benchmark::DoNotOptimize(clothoid::SeriesPoint(s.A, s.L));
    }
    CountCalls(state, 1);
}
BENCHMARK(BM_ClothoidSeriesPoint);

void BM_BaselineCirclePoint(benchmark::State& state) {
    const std::vector<ClothoidSample> samples = ClothoidSamples();
    std::size_t i = 0;
    for (auto _ : state) {
        const ClothoidSample& s = samples[i++ & 1023];
        const double phi = s.L / s.A;
        benchmark::DoNotOptimize(s.A * std::sin(phi));
        benchmark::DoNotOptimize(s.A * std::cos(phi));
    }
    CountCalls(state, 1);
}
BENCHMARK(BM_BaselineCirclePoint);

void BM_SpiralElementPointAtStation(benchmark::State& state) {
    PlanElement spiral;
    spiral.Turn = 1;
    spiral.StartRadius = state.range(0) ? 800.0 : InfiniteRadius;
    spiral.EndRadius = 400.0;
    spiral.LengthItem = -120.0;
    spiral.StartAzimuth = 0.4;
    spiral.Evaluate();
    std::size_t i = 0;
    StationPoint p;
    for (auto _ : state) {
        p.Station = 0.37 + 0.117 * static_cast<double>(i++ & 1023);
        benchmark::DoNotOptimize(spiral.PointAtStation(p));
    }
    CountCalls(state, 1);
    state.SetLabel(state.range(0) ? "800 -> 400" : "infinite -> 400");
}
BENCHMARK(BM_SpiralElementPointAtStation)->Arg(0)->Arg(1);

// Straight, spiral in, arc, spiral out, with the curves turning right and
// left in turn.
PlanAlignment MakeAlignment(int count) {
    PlanAlignment a;
    a.StartMode = 1;
    a.StartX = 3400000.0;
    a.StartY = 500000.0;
    a.StartAzimuth = 0.3;
    for (int i = 0; i < count; ++i) {
        PlanElement e;
        e.Turn = (i / 4) % 2 ? -1 : 1;
        switch (i % 4) {
            case 0:
                e.LengthItem = -50.0;
                break;
            case 1:
                e.EndRadius = 400.0;
                e.LengthItem = -60.0;
                break;
            case 2:
                e.StartRadius = e.EndRadius = 400.0;
                e.LengthItem = -80.0;
                break;
            default:
                e.StartRadius = 400.0;
                e.LengthItem = -60.0;
                break;
        }
        a.AppendElement(e);
    }
    a.ComputeElements();
    return a;
}

struct Queries {
    std::vector<double> stations;
    std::vector<int> elements;  // the element of each station, for the baselines
};

Queries MakeQueries(PlanAlignment& a, bool shuffled) {
    Queries q;
    const double start = a.GetStartStation().GetValue();
    const double length = a.GetEndStation().GetValue() - start;
    q.stations.resize(kCalls);
    for (int i = 0; i < kCalls; ++i) q.stations[i] = start + length * (i + 0.5) / kCalls;
    if (shuffled) std::shuffle(q.stations.begin(), q.stations.end(), std::mt19937_64(11));
    q.elements.resize(kCalls);
    for (int i = 0; i < kCalls; ++i) q.elements[i] = a.FindElement(q.stations[i]);
    return q;
}

void RunLookups(benchmark::State& state, bool shuffled) {
    PlanAlignment a = MakeAlignment(static_cast<int>(state.range(0)));
    const Queries q = MakeQueries(a, shuffled);
    StationPoint p;
    for (auto _ : state) {
        for (double s : q.stations) {
            p.Station = s;
            benchmark::DoNotOptimize(a.PointAtStation(p));
        }
    }
    CountCalls(state, kCalls);
}

void RunBaseline(benchmark::State& state, bool shuffled) {
    PlanAlignment a = MakeAlignment(static_cast<int>(state.range(0)));
    const Queries q = MakeQueries(a, shuffled);
    const GrowArray<PlanElement>& elements = a.GetElements();
    StationPoint p;
    for (auto _ : state) {
        for (int i = 0; i < kCalls; ++i) {
            p.Station = q.stations[i];
            benchmark::DoNotOptimize(elements[q.elements[i]].PointAtStation(p));
        }
    }
    CountCalls(state, kCalls);
}

// The bound a lookup is held to: a bare binary search over a flat array of
// element start stations, then the same element evaluation.
void RunSearchBaseline(benchmark::State& state, bool shuffled) {
    PlanAlignment a = MakeAlignment(static_cast<int>(state.range(0)));
    const Queries q = MakeQueries(a, shuffled);
    const GrowArray<PlanElement>& elements = a.GetElements();
    std::vector<double> starts(static_cast<std::size_t>(a.GetTotalElementCount()));
    for (std::size_t i = 0; i < starts.size(); ++i)
        starts[i] = elements[static_cast<int>(i)].StartStation.GetValue();
    StationPoint p;
    for (auto _ : state) {
        for (double s : q.stations) {
            const auto above = std::upper_bound(starts.begin(), starts.end(), s);
            const int found = above == starts.begin() ? 0 : static_cast<int>(above - starts.begin()) - 1;
            p.Station = s;
            benchmark::DoNotOptimize(elements[found].PointAtStation(p));
        }
    }
    CountCalls(state, kCalls);
}

void BM_AlignmentRandomWithAccess(benchmark::State& state) {
    PlanAlignment a = MakeAlignment(static_cast<int>(state.range(0)));
    const Queries q = MakeQueries(a, true);
    const int count = static_cast<int>(state.range(0));
    StationPoint p;
    for (auto _ : state) {
        int i = 0;
        for (double s : q.stations) {
            benchmark::DoNotOptimize(a.ElementAt(i++ % count).Turn);
            p.Station = s;
            benchmark::DoNotOptimize(a.PointAtStation(p));
        }
    }
    CountCalls(state, kCalls);
}

void BM_AlignmentInOrder(benchmark::State& state) {
    RunLookups(state, false);
}
void BM_BaselineInOrder(benchmark::State& state) {
    RunBaseline(state, false);
}
void BM_AlignmentRandom(benchmark::State& state) {
    RunLookups(state, true);
}
void BM_BaselineRandom(benchmark::State& state) {
    RunBaseline(state, true);
}
void BM_SearchBaselineInOrder(benchmark::State& state) {
    RunSearchBaseline(state, false);
}
void BM_SearchBaselineRandom(benchmark::State& state) {
    RunSearchBaseline(state, true);
}
BENCHMARK(BM_AlignmentInOrder)->Arg(100)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BaselineInOrder)->Arg(100)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AlignmentRandom)->Arg(100)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BaselineRandom)->Arg(100)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchBaselineInOrder)->Arg(100)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchBaselineRandom)->Arg(100)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AlignmentRandomWithAccess)->Arg(100)->Arg(10000)->Unit(benchmark::kMillisecond);

// The linear rule itself, for scale: the first element whose end station is
// not below the station, searched from the first element.
void BM_LinearRuleRandom(benchmark::State& state) {
    PlanAlignment a = MakeAlignment(static_cast<int>(state.range(0)));
    const Queries q = MakeQueries(a, true);
    const GrowArray<PlanElement>& elements = a.GetElements();
    const int total = a.GetTotalElementCount();
    constexpr int kLinearCalls = 10000;
    StationPoint p;
    for (auto _ : state) {
        for (int i = 0; i < kLinearCalls; ++i) {
            const QStation s = q.stations[i];
            int found = total - 1;
            for (int e = 0; e < total; ++e)
                if (!(elements[e].EndStation < s)) {
                    found = e;
                    break;
                }
            p.Station = s;
            benchmark::DoNotOptimize(elements[found].PointAtStation(p));
        }
    }
    CountCalls(state, kLinearCalls);
}
BENCHMARK(BM_LinearRuleRandom)->Arg(100)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
