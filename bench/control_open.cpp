// Opening a design control file of 10,000 rows spread over its thirty tables,
// against a bare baseline that reads the same file and scans every token that
// is a number with std::from_chars into a plain vector.
//
// Target: the document within 2x of the baseline.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <qdat/section/CtrDoc.h>
#include <qdat/station/ChainTable.h>
#include <qdat/station/QStation.h>
#include "BenchSupport.h"

namespace {

using namespace qdat;

constexpr int kRows = 10000;

// A value with three decimals, as the file holds them.
double Value(std::uint32_t& seed) {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<double>((seed >> 8) % 100000) / 1000.0;
}

void FillRow(CtrDoc& doc, CtrTable table, double station, std::uint32_t& seed) {
    switch (CtrDoc::GetRowShape(table)) {
        case CtrRowShape::Items: {
            ItemRow* row = doc.AddRow<ItemRow>(table);
            row->Station = station;
            for (int i = 0; i < 2; ++i) row->Items.push_back({Value(seed), Value(seed), Value(seed), i + 1});
            break;
        }
        case CtrRowShape::Values: {
            ValueRow* row = doc.AddRow<ValueRow>(table);
            row->Station = station;
            for (double& v : row->Values) v = Value(seed);
            break;
        }
        case CtrRowShape::Structure: {
            StructureRow* row = doc.AddRow<StructureRow>(table);
            row->StartStation = station;
            row->EndStation = station + 20;
            row->CentreStation = station + 10;
            row->Text1 = "Bridge";
            row->Text2 = "T-beam";
            row->Value1 = Value(seed);
            row->Value2 = Value(seed);
            row->Code1 = 1;
            break;
        }
        case CtrRowShape::Culvert: {
            CulvertRow* row = doc.AddRow<CulvertRow>(table);
            row->Station = station;
            row->Text1 = "Box";
            row->Text2 = "2x2";
            row->Value = Value(seed);
            break;
        }
        case CtrRowShape::Geology:
            doc.AddRow<GeologyRow>(table)->Station = station;
            break;
        case CtrRowShape::InterceptingDitch: {
            InterceptingDitchRow* row = doc.AddRow<InterceptingDitchRow>(table);
            row->StartStation = station;
            row->EndStation = station + 20;
            row->Value = Value(seed);
            for (int i = 0; i < 2; ++i) row->Pairs.push_back({Value(seed), Value(seed)});
            break;
        }
        case CtrRowShape::Tunnel: {
            TunnelRow* row = doc.AddRow<TunnelRow>(table);
            row->StartStation = station;
            row->EndStation = station + 20;
            row->Name = "Tunnel";
            break;
        }
        case CtrRowShape::Benchmark: {
            BenchmarkRow* row = doc.AddRow<BenchmarkRow>(table);
            row->Station = station;
            row->Name = "BM";
            row->Value = Value(seed);
            break;
        }
    }
}

struct Setup {
    std::filesystem::path dir;
    std::string input;

    Setup() {
        static bench::SilentUi ui;
        SetCurrentUi(&ui);
        SetStationPrecisionValue(3);
        GetCurrentChainTable() = ChainTable();
        dir = std::filesystem::temp_directory_path() / ("qdat-bench-control-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        input = (dir / "road.ctr").string();
        CtrDoc doc;
        std::uint32_t seed = 12345;
        for (int i = 0; i < kRows; ++i) {
            const auto table = static_cast<CtrTable>(i % kCtrTableCount);
            FillRow(doc, table, 10.0 * (i / kCtrTableCount), seed);
        }
        if (!doc.OnSaveDocument(input)) std::abort();
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

// The baseline: the whole file read in buffer-sized chunks, lines split by
// hand, every blank-separated token scanned with from_chars and kept when it
// is a number.
std::vector<double> BaselineRead(const std::string& path) {
    std::vector<double> out;
    bench::ForEachLine(path, [&](const char* b, const char* e) {
        while (b < e) {
            while (b < e && (*b == ' ' || *b == '\t' || *b == '\r')) ++b;
            const char* end = b;
            while (end < e && *end != ' ' && *end != '\t' && *end != '\r') ++end;
            double v = 0.0;
            if (end > b && std::from_chars(b, end, v).ptr == end) out.push_back(v);
            b = end;
        }
    });
    return out;
}

void BM_BaselineRead(benchmark::State& state) {
    Setup& s = TheSetup();
    for (auto _ : state) {
        std::vector<double> numbers = BaselineRead(s.input);
        benchmark::DoNotOptimize(numbers.data());
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}

void BM_OpenControlFile(benchmark::State& state) {
    Setup& s = TheSetup();
    int rows = 0;
    for (auto _ : state) {
        CtrDoc doc;
        if (!doc.OnOpenDocument(s.input)) std::abort();
        rows = 0;
        for (int t = 0; t < kCtrTableCount; ++t) rows += doc.GetRowCount(static_cast<CtrTable>(t));
    }
    if (rows != kRows) std::abort();
    state.SetItemsProcessed(state.iterations() * kRows);
}

BENCHMARK(BM_BaselineRead)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_OpenControlFile)->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace
