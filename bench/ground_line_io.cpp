// Opening and saving a ground line of 1,000,000 points in text form, against a
// bare baseline that parses (and writes) the same station/elevation records
// with std::from_chars (std::to_chars) into (from) a plain vector.
//
// Targets: the document within 2x of the baseline both ways, and the memory
// allocated while opening (peak above what was in use before) under 3x the
// in-memory size of the points. Every allocation of the process is counted by
// the replaced global operator new of BenchSupport.h; the counters are reported as
// peak_bytes and peak_ratio.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include <qdat/docbase/DataArchive.h>
#include <qdat/host/HostFile.h>
#include <qdat/host/HostUi.h>
#include <qdat/profile/DmxFile.h>
#include <qdat/station/ChainTable.h>
#include <qdat/station/QStation.h>
#include "BenchSupport.h"

// ---------------------------------------------------------------------------
// The test file

namespace {

constexpr int kPoints = 1000000;

struct Setup {
    std::filesystem::path dir;
    std::string input;

    Setup() {
        static bench::SilentUi ui;
        qdat::SetCurrentUi(&ui);
        qdat::SetStationPrecisionValue(3);
        qdat::GetCurrentChainTable() = qdat::ChainTable();
        dir = std::filesystem::temp_directory_path() / ("qdat-bench-ground-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        input = (dir / "line.dmx").string();
        // A line every 0.5 m with elevations to the micrometre, written by the
        // document itself so both sides read the same text.
        qdat::DmxFile doc;
        auto& points = doc.GetPointArray();
        points.SetSize(kPoints);
        std::uint32_t seed = 12345;
        for (int i = 0; i < kPoints; ++i) {
            seed = seed * 1664525u + 1013904223u;
            points[i] = qdat::GroundPoint(0.5 * (i + 1), 300.0 + (seed >> 8) % 200000000 / 1e6);
        }
        if (!doc.OnSaveDocument(input)) std::abort();
    }
    ~Setup() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    std::string Output(const char* name) const { return (dir / name).string(); }
};

Setup& TheSetup() {
    static Setup setup;
    return setup;
}

struct Pair {
    double station;
    double elevation;
};

// The baseline reader: the whole file read in buffer-sized chunks, lines split
// by hand, numbers scanned with from_chars.
std::vector<Pair> BaselineRead(const std::string& path) {
    std::vector<Pair> out;
    bool first = true;
    bench::ForEachLine(path, [&](const char* b, const char* e) {
        if (first) {  // the signature
            first = false;
            return;
        }
        auto skip = [&] {
            while (b < e && (*b == ' ' || *b == ',' || *b == '\t' || *b == '\r')) ++b;
        };
        skip();
        if (b == e) return;
        Pair p{0.0, -9999.0};
        b = std::from_chars(b, e, p.station).ptr;
        skip();
        if (b < e) std::from_chars(b, e, p.elevation);
        out.push_back(p);
    });
    return out;
}

// The baseline writer: the same right-aligned columns with to_chars.
void BaselineWrite(const std::string& path, const std::vector<Pair>& pairs) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    std::fputs("RADUDAR5.83_DMX_SHUJU\n", f);
    char line[128];
    auto column = [](char* at, double v, int places) {
        char tmp[64];
        const auto r = std::to_chars(tmp, tmp + sizeof tmp, v, std::chars_format::fixed, places);
        const int len = static_cast<int>(r.ptr - tmp);
        int pad = len < 10 ? 10 - len : 0;
        std::memset(at, ' ', pad);
        std::memcpy(at + pad, tmp, len);
        return pad + len;
    };
    for (const Pair& p : pairs) {
        int k = column(line, p.station, 3);
        line[k++] = ' ';
        k += column(line + k, p.elevation, 6);
        line[k++] = '\n';
        std::fwrite(line, 1, k, f);
    }
    std::fclose(f);
}

void ReportMemory(benchmark::State& state, std::size_t before, std::size_t points) {
    const double peak = static_cast<double>(bench::PeakSince(before));
    state.counters["peak_bytes"] = peak;
    state.counters["peak_ratio"] = peak / (static_cast<double>(points) * sizeof(qdat::GroundPoint));
}

void BM_OpenGroundLine(benchmark::State& state) {
    Setup& s = TheSetup();
    std::size_t count = 0;
    for (auto _ : state) {
        qdat::DmxFile doc;
        const std::size_t before = bench::ResetPeak();
        if (!doc.OnOpenDocument(s.input)) std::abort();
        count = static_cast<std::size_t>(doc.GetPointCount());
        ReportMemory(state, before, count);
    }
    if (count != kPoints) std::abort();
    state.SetItemsProcessed(state.iterations() * kPoints);
}

void BM_BaselineRead(benchmark::State& state) {
    Setup& s = TheSetup();
    std::size_t count = 0;
    for (auto _ : state) {
        const std::size_t before = bench::ResetPeak();
        std::vector<Pair> pairs = BaselineRead(s.input);
        count = pairs.size();
        state.counters["peak_bytes"] = static_cast<double>(bench::PeakSince(before));
        benchmark::DoNotOptimize(pairs.data());
    }
    if (count != kPoints) std::abort();
    state.SetItemsProcessed(state.iterations() * kPoints);
}

void BM_SaveGroundLine(benchmark::State& state) {
    Setup& s = TheSetup();
    qdat::DmxFile doc;
    if (!doc.OnOpenDocument(s.input)) std::abort();
    const std::string out = s.Output("saved.dmx");
    for (auto _ : state) {
        if (!doc.OnSaveDocument(out)) std::abort();
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}

void BM_BaselineWrite(benchmark::State& state) {
    Setup& s = TheSetup();
    const std::vector<Pair> pairs = BaselineRead(s.input);
    const std::string out = s.Output("baseline.dmx");
    for (auto _ : state) BaselineWrite(out, pairs);
    state.SetItemsProcessed(state.iterations() * kPoints);
}

// The archive alone: the same records read and written as plain numbers, so
// that what the station text costs on top of the archive shows.
void BM_ArchiveOnlyRead(benchmark::State& state) {
    Setup& s = TheSetup();
    std::size_t count = 0;
    for (auto _ : state) {
        qdat::File file;
        file.Open(s.input, qdat::File::ModeRead | qdat::File::ShareDenyWrite);
        qdat::DataArchive ar(&file, qdat::DataArchive::Load | qdat::DataArchive::NoFlushOnDelete);
        std::vector<Pair> pairs;
        ar >> qdat::EndRecord >> qdat::EndRecord;  // the signature line, then the first record
        while (!ar.AtEnd()) {
            Pair p{0.0, -9999.0};
            ar >> p.station;
            if (ar.CountTokens() > 0) ar >> p.elevation;
            ar >> qdat::EndRecord;
            pairs.push_back(p);
        }
        count = pairs.size();
        benchmark::DoNotOptimize(pairs.data());
    }
    if (count != kPoints) std::abort();
    state.SetItemsProcessed(state.iterations() * kPoints);
}

void BM_ArchiveOnlyWrite(benchmark::State& state) {
    Setup& s = TheSetup();
    const std::vector<Pair> pairs = BaselineRead(s.input);
    const std::string out = s.Output("archive.dmx");
    for (auto _ : state) {
        qdat::MirrorFile file;
        file.Open(out, qdat::File::ModeCreate | qdat::File::ModeReadWrite | qdat::File::ShareExclusive);
        {
            qdat::DataArchive ar(&file, qdat::DataArchive::Store);
            ar.WriteText("RADUDAR5.83_DMX_SHUJU\n");
            ar << qdat::Precision(6);  // both columns with six decimals here
            for (const Pair& p : pairs) ar << p.station << p.elevation << qdat::EndRecord;
            ar.Close();
        }
        file.Close();
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}

BENCHMARK(BM_BaselineRead)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_OpenGroundLine)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ArchiveOnlyRead)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_BaselineWrite)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_SaveGroundLine)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ArchiveOnlyWrite)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
