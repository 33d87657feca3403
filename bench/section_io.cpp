// Opening a cross-section ground-line file of 20,000 sections with 30 points
// a side (1.2 million points, 2.4 million numbers) and an earthwork table of
// 20,000 rows of 61 quantities, in text form, each against a bare baseline
// that scans every number of the same text with std::from_chars into one
// plain vector.
//
// Targets: the documents within 2x of the baseline, and the memory allocated
// while opening (peak above what was in use before) under 3x what the opened
// document holds. Every allocation is counted (BenchSupport.h); the counters
// are held_bytes (what the document holds once open), peak_bytes and
// peak_ratio (peak over held).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <qdat/earthwork/TfDoc.h>
#include <qdat/host/HostUi.h>
#include <qdat/section/HDMFlie.h>
#include <qdat/station/ChainTable.h>
#include <qdat/station/QStation.h>
#include "BenchSupport.h"

namespace {

constexpr int kSections = 20000;
constexpr int kPointsPerSide = 30;
constexpr int kRows = 20000;

std::uint32_t g_seed = 12345;
double Random(double scale) {
    g_seed = g_seed * 1664525u + 1013904223u;
    return (g_seed >> 8) % 1000000 / 1e6 * scale;
}

struct Setup {
    std::filesystem::path dir;
    std::string sections;
    std::string table;

    Setup() {
        static bench::SilentUi ui;
        qdat::SetCurrentUi(&ui);
        qdat::SetStationPrecisionValue(3);
        qdat::GetCurrentChainTable() = qdat::ChainTable();
        dir = std::filesystem::temp_directory_path() / ("qdat-bench-section-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);

        // Written by the documents themselves, so both sides read the same text.
        sections = (dir / "road.hdm").string();
        qdat::HDMFlie hdm;
        hdm.InsertSections(0, kSections);
        for (int i = 0; i < kSections; ++i) {
            qdat::CrossSection& s = *hdm.GetSectionAt(i);
            s.m_station = 20.0 * i;
            const double centre = 400.0 + Random(50.0);
            for (auto* side : {&s.LeftGround, &s.RightGround}) {
                for (int k = 0; k < kPointsPerSide; ++k)
                    side->push_back({0.5 + 1.25 * k, centre + Random(4.0) - 2.0});
            }
        }
        if (!hdm.OnSaveDocument(sections)) std::abort();

        table = (dir / "road.tf").string();
        qdat::TfDoc tf;
        tf.Rows().GetRows().SetSize(kRows);
        for (int i = 0; i < kRows; ++i) {
            qdat::EarthworkRow& row = *tf.GetRowAt(i);
            row.m_station = 20.0 * i;
            for (int k = 1; k < qdat::EarthworkRow::kKindCount; ++k) row.Quantities[k] = Random(2000.0);
            row.IntegerQuantity = i % 7;
        }
        if (!tf.OnSaveDocument(table)) std::abort();
    }
    ~Setup() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

Setup& TheSetup() {
    static Setup setup;
    return setup;
}

bool IsSeparator(char c) {
    return c == ' ' || c == ',' || c == '\t' || c == '\r';
}

// The baseline: every number of every line after the signature, comment lines
// passed over, into one vector.
std::vector<double> BaselineNumbers(const std::string& path) {
    std::vector<double> out;
    bool first = true;
    bench::ForEachLine(path, [&](const char* b, const char* e) {
        if (first) {
            first = false;
            return;
        }
        if (e - b >= 2 && b[0] == '/' && b[1] == '/') return;
        while (b < e) {
            while (b < e && IsSeparator(*b)) ++b;
            const char* end = b;
            while (end < e && !IsSeparator(*end)) ++end;
            double v = 0;
            if (end > b && std::from_chars(b, end, v).ec == std::errc()) out.push_back(v);
            b = end;
        }
    });
    return out;
}

void ReportMemory(benchmark::State& state, std::size_t held, std::size_t peak) {
    state.counters["held_bytes"] = static_cast<double>(held);
    state.counters["peak_bytes"] = static_cast<double>(peak);
    state.counters["peak_ratio"] = static_cast<double>(peak) / static_cast<double>(held);
}

template <class Doc>
void OpenDocument(benchmark::State& state, const std::string& path, int expected, int (Doc::*count)() const) {
    for (auto _ : state) {
        Doc doc;
        const std::size_t before = bench::ResetPeak();
        if (!doc.OnOpenDocument(path) || (doc.*count)() != expected || doc.WasReadPartly()) std::abort();
        ReportMemory(state, bench::g_inUse.load() - before, bench::PeakSince(before));
    }
    state.SetItemsProcessed(state.iterations() * expected);
}

void Baseline(benchmark::State& state, const std::string& path, std::size_t expectedNumbers, int items) {
    for (auto _ : state) {
        const std::size_t before = bench::ResetPeak();
        std::vector<double> numbers = BaselineNumbers(path);
        if (numbers.size() != expectedNumbers) std::abort();
        ReportMemory(state, bench::g_inUse.load() - before, bench::PeakSince(before));
        benchmark::DoNotOptimize(numbers.data());
    }
    state.SetItemsProcessed(state.iterations() * items);
}

// A section: its station, and per side the count and the pairs.
constexpr std::size_t kSectionNumbers = 1 + 2 * (1 + 2 * kPointsPerSide);
// A row: the station and 61 quantities (the remark is no number).
constexpr std::size_t kRowNumbers = 1 + 61;

void BM_BaselineSections(benchmark::State& state) {
    Baseline(state, TheSetup().sections, kSections * kSectionNumbers, kSections);
}
void BM_OpenSections(benchmark::State& state) {
    OpenDocument<qdat::HDMFlie>(state, TheSetup().sections, kSections, &qdat::HDMFlie::GetSectionCount);
}
void BM_BaselineEarthwork(benchmark::State& state) {
    Baseline(state, TheSetup().table, kRows * kRowNumbers, kRows);
}
void BM_OpenEarthwork(benchmark::State& state) {
    OpenDocument<qdat::TfDoc>(state, TheSetup().table, kRows, &qdat::TfDoc::GetRowCount);
}

BENCHMARK(BM_BaselineSections)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_OpenSections)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_BaselineEarthwork)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_OpenEarthwork)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
