// The C++ side of the Python package's benchmark (bench/python_package.py
// runs this program and the same work from Python in one run and gives the
// ratios): point_at's loop over 1,000,000 stations of the demo road, and
// reading a ground line of 1,000,000 points, the file the script names in
// QDAT_BENCH_GROUND.
//
// Targets: Python within 1.2x of these times for both.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include <qdat/docbase/QDocument.h>
#include <qdat/exchange/AlignmentOf.h>
#include <qdat/host/HostUi.h>
#include <qdat/plan/QJdDoc.h>
#include <qdat/profile/DmxFile.h>
#include "BenchSupport.h"

namespace {

constexpr int kStations = 1000000;

struct Road {
    std::unique_ptr<qdat::QDocument> doc;
    std::unique_ptr<qdat::DocumentAlignment> alignment;

    Road() {
        static bench::SilentUi ui;
        qdat::SetCurrentUi(&ui);
        doc = std::make_unique<qdat::QJdDoc>();
        if (!qdat::ReadDocumentFile(*doc, QDAT_SOURCE_DIR "/examples/demo-road.jd")) std::abort();
        alignment = std::make_unique<qdat::DocumentAlignment>(qdat::AlignmentOf(*doc));
    }
};

// What point_at does for each station: the point, its azimuth in one full
// turn and the radius, stored as the rows of a structured array.
void BM_PointAtLoop(benchmark::State& state) {
    static Road road;
    const qdat::PlanAlignment& a = road.alignment->Alignment();
    const double end = a.GetEndStation().GetValue();
    std::vector<double> stations(kStations);
    for (int i = 0; i < kStations; ++i) stations[i] = end * i / (kStations - 1);
    struct Row {
        double station, x, y, azimuth, radius;
    };
    const qdat::QStation start = a.GetStartStation(), last = a.GetEndStation();
    for (auto _ : state) {
        // A fresh result each time, as each call of point_at returns one.
        std::vector<Row> rows(kStations);
        for (int i = 0; i < kStations; ++i) {
            qdat::StationPoint point;
            point.Station = qdat::QStation(stations[i]);
            const bool on =
                !(point.Station < start) && !(point.Station > last) && a.PointAtStation(point) != 0;
            const double turn = std::fmod(point.Azimuth, 2.0 * std::numbers::pi);
            rows[i] = {stations[i], on ? point.X : NAN, on ? point.Y : NAN,
                       turn < 0.0 ? turn + 2.0 * std::numbers::pi : turn,
                       on ? a.RadiusAtStation(point.Station) : NAN};
        }
        benchmark::DoNotOptimize(rows.data());
    }
    state.SetItemsProcessed(state.iterations() * kStations);
}

void BM_OpenGroundLine(benchmark::State& state) {
    const char* path = std::getenv("QDAT_BENCH_GROUND");
    if (!path) {
        state.SkipWithError("QDAT_BENCH_GROUND names no ground line (bench/python_package.py sets it)");
        return;
    }
    static bench::SilentUi ui;
    qdat::SetCurrentUi(&ui);
    for (auto _ : state) {
        qdat::DmxFile doc;
        if (!qdat::ReadDocumentFile(doc, path)) std::abort();
        benchmark::DoNotOptimize(doc.GetPointCount());
    }
}

}  // namespace

BENCHMARK(BM_PointAtLoop)->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK(BM_OpenGroundLine)->Unit(benchmark::kMillisecond)->MinTime(0.5);
