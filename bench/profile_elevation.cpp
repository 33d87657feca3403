// Design elevations on a 10,000-point vertical profile: 1,000,000 calls of
// QZdmFile::GetDesignElevation in station order and in random order, against
// a baseline that does the same arithmetic after a plain binary search; and
// the random order again with a point read through the non-const array
// between every two calls, as a host that edits and asks in turn does.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <utility>
#include <vector>

#include <qdat/profile/QZdmFile.h>

namespace {

using qdat::GradePoint;
using qdat::GrowArray;
using qdat::QZdmFile;

constexpr int kPoints = 10'000;
constexpr int kCalls = 1'000'000;

struct Fixture {
    QZdmFile doc;
    std::vector<double> inOrder;
    std::vector<double> shuffled;

    Fixture() {
        std::mt19937 rng(2024);
        std::uniform_real_distribution<double> gap(40.0, 400.0), rise(-4.0, 4.0), radius(1000.0, 20000.0);
        auto& points = doc.GetGradePointArray();
        points.SetSize(kPoints);
        double s = 0.0, z = 300.0;
        for (int i = 0; i < kPoints; ++i) {
            GradePoint& p = points[i];
            p.Station = s;
            p.Elevation = z;
            p.Radius = radius(rng);
            if (i % 50 == 7) {
                p.StepStation = s + 10.0;
                p.StepHeight = 0.2;
            }
            s += gap(rng);
            z += rise(rng);
        }
        // Curves may overlap in random data; the lookups do not mind.
        doc.Recalculate();
        std::uniform_real_distribution<double> anywhere(-100.0, s + 100.0);
        for (int i = 0; i < kCalls; ++i) inOrder.push_back(anywhere(rng));
        shuffled = inOrder;
        std::sort(inOrder.begin(), inOrder.end());
    }
};

Fixture& Data() {
    static Fixture fixture;
    return fixture;
}

// The same classification and formulas as the document, found each time by
// halving the whole range.
double BaselineElevation(const GrowArray<GradePoint>& pts, double s) {
    const double tol = qdat::GetStationTolerance();
    const int n = pts.GetSize();
    int lo = 0, hi = n;
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (s < pts[mid].Station.GetValue() + tol)
            hi = mid;
        else
            lo = mid + 1;
    }
    const int k = lo;
    if (k == n) return pts[n - 1].Elevation;
    const GradePoint& pk = pts[k];
    if (std::fabs(s - pk.Station.GetValue()) < tol)
        return pk.IsSag() ? pk.Elevation + pk.ExternalDistance : pk.Elevation - pk.ExternalDistance;
    if (k == 0) return pk.Elevation;
    const GradePoint& pt = pts[k - 1];
    const bool step = pt.HasStep(tol);
    const double stepStation = pt.StepStation.GetValue();
    if (s <= pt.CurveEnd.GetValue() - tol) {
        const double x = pt.CurveEnd.GetValue() - s;
        const double y = pt.Radius != 0.0 ? x * x / (2.0 * pt.Radius) : 0.0;
        const double base = pt.Elevation + pt.GradeOut * (s - pt.Station.GetValue());
        double z = pt.IsSag() ? base + y : base - y;
        if (step && s >= stepStation + tol) z += pt.StepHeight;
        return z;
    }
    if (s <= pk.CurveStart.GetValue() - tol) {
        if (!step || s < stepStation + tol) return pt.Elevation + pt.GradeOut * (s - pt.Station.GetValue());
        return pk.Elevation - pk.GradeIn * (pk.Station.GetValue() - s);
    }
    const double x = s - pk.CurveStart.GetValue();
    const double y = pk.Radius != 0.0 ? x * x / (2.0 * pk.Radius) : 0.0;
    const double base = pk.Elevation - pk.GradeIn * (pk.Station.GetValue() - s);
    double z = pk.IsSag() ? base + y : base - y;
    if (step && s < stepStation + tol) z -= pt.StepHeight;
    return z;
}

void CheckSameAnswers() {
    Fixture& f = Data();
    const auto& pts = std::as_const(f.doc).GetGradePointArray();
    for (std::size_t i = 0; i < f.shuffled.size(); i += 97) {
        const double s = f.shuffled[i];
        if (f.doc.GetDesignElevation(s) != BaselineElevation(pts, s)) {
            std::fprintf(stderr, "baseline and document differ at %.6f\n", s);
            std::abort();
        }
    }
}

void Document(benchmark::State& state, const std::vector<double>& stations) {
    QZdmFile& doc = Data().doc;
    for (auto _ : state) {
        double sum = 0.0;
        for (double s : stations) sum += doc.GetDesignElevation(s);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(stations.size()));
}

// Between the calls, one point is read through the array the host edits with.
void DocumentWithAccess(benchmark::State& state, const std::vector<double>& stations) {
    QZdmFile& doc = Data().doc;
    for (auto _ : state) {
        double sum = 0.0;
        int i = 0;
        for (double s : stations) {
            sum += doc.GetGradePointArray()[i++ % kPoints].Elevation;
            sum += doc.GetDesignElevation(s);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(stations.size()));
}

void Baseline(benchmark::State& state, const std::vector<double>& stations) {
    const auto& pts = std::as_const(Data().doc).GetGradePointArray();
    for (auto _ : state) {
        double sum = 0.0;
        for (double s : stations) sum += BaselineElevation(pts, s);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(stations.size()));
}

void BM_Elevation_StationOrder(benchmark::State& state) {
    Document(state, Data().inOrder);
}
void BM_Baseline_StationOrder(benchmark::State& state) {
    Baseline(state, Data().inOrder);
}
void BM_Elevation_RandomOrder(benchmark::State& state) {
    Document(state, Data().shuffled);
}
void BM_Baseline_RandomOrder(benchmark::State& state) {
    Baseline(state, Data().shuffled);
}
void BM_Elevation_RandomOrderWithAccess(benchmark::State& state) {
    DocumentWithAccess(state, Data().shuffled);
}

[[maybe_unused]] const int kChecked = (CheckSameAnswers(), 0);

}  // namespace

BENCHMARK(BM_Elevation_StationOrder)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Baseline_StationOrder)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Elevation_RandomOrder)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Baseline_RandomOrder)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Elevation_RandomOrderWithAccess)->Unit(benchmark::kMillisecond);
