// Upgrading the data files of projects: 17, 34 and 67 projects of three
// ground lines each (51, 102 and 201 files, about 130, 255 and 505 MB), text
// of the older version 5.8: each project is backed up and every file written
// again in the current version.
//
// Targets: the time linear in the bytes (ns_per_byte the same at every size)
// and the memory allocated at once (peak above what was in use before)
// bounded by the largest file, not by the project or the run
// (peak_per_largest_file the same at every size, and small).
//
// The files are made once per size in a folder of the build tree and removed
// when the program ends; every iteration upgrades fresh copies of them.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include <qdat/host/HostUi.h>
#include <qdat/profile/DmxFile.h>
#include <qdat/project/PrjFile.h>
#include <qdat/station/ChainTable.h>
#include <qdat/station/QStation.h>
#include "BenchSupport.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFilesPerProject = 3;
const int kTypes[kFilesPerProject] = {103, 116, 117};

// About 24 bytes of text a point; files of 0.5 to 5 MB.
int PointsOfFile(int file) {
    return static_cast<int>((0.5 + 0.5 * ((file * 7) % 10)) * 1e6 / 24);
}

struct Projects {
    fs::path pristine;  // the files as made, copied for each iteration
    fs::path work;
    std::vector<std::string> projectFiles;  // in work
    std::uintmax_t bytes = 0;
    std::uintmax_t largest = 0;

    explicit Projects(int count) {
        const fs::path root = fs::path(QDAT_BENCH_SCRATCH) /
                              ("upgrade-" + std::to_string(::getpid()) + "-" + std::to_string(count));
        pristine = root / "pristine";
        work = root / "work";
        fs::create_directories(pristine);
        std::uint32_t seed = 777;
        for (int p = 0; p < count; ++p) {
            const std::string name = "road" + std::to_string(p);
            const fs::path folder = pristine / name;
            fs::create_directories(folder);
            std::string prj = "RADUDAR6.00_PRJ_SHUJU\n[Files]1\n";
            for (int f = 0; f < kFilesPerProject; ++f) {
                const int file = p * kFilesPerProject + f;
                const std::string fileName = "line" + std::to_string(f) + ".dmx";
                const std::string path = (folder / fileName).string();
                qdat::DmxFile doc;
                auto& points = doc.GetPointArray();
                const int n = PointsOfFile(file);
                points.SetSize(n);
                for (int i = 0; i < n; ++i) {
                    seed = seed * 1664525u + 1013904223u;
                    points[i] = qdat::GroundPoint(2.5 * (i + 1), 300.0 + (seed >> 8) % 200000000 / 1e6);
                }
                if (!doc.OnSaveDocument(path)) std::abort();
                {
                    // The same text under the signature of the older version.
                    std::ifstream in(path, std::ios::binary);
                    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
                    const std::string current = "RADUDAR5.83_DMX_SHUJU";
                    if (text.compare(0, current.size(), current) != 0) std::abort();
                    text.replace(0, current.size(), "RADUDAR5.8_DMX_SHUJU");
                    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
                }
                const std::uintmax_t size = fs::file_size(path);
                bytes += size;
                largest = std::max(largest, size);
                prj += std::to_string(kTypes[f]) + " = " + fileName + "\n";
            }
            prj += "[Settings]2\n201 = " + name + "\n204 = 3\n";
            std::ofstream(folder / (name + ".prj"), std::ios::binary) << prj;
            projectFiles.push_back((work / name / (name + ".prj")).string());
        }
    }
    ~Projects() {
        std::error_code ec;
        fs::remove_all(pristine.parent_path(), ec);
    }
    void Refresh() const {
        std::error_code ec;
        fs::remove_all(work, ec);
        fs::copy(pristine, work, fs::copy_options::recursive);
    }
};

void BM_UpgradeProjects(benchmark::State& state) {
    static bench::SilentUi ui;
    qdat::ScopedUi scoped(ui);
    qdat::SetStationPrecisionValue(3);
    qdat::GetCurrentChainTable() = qdat::ChainTable();
    const Projects projects(static_cast<int>(state.range(0)));
    std::size_t peak = 0;
    bool ok = true;
    for (auto _ : state) {
        state.PauseTiming();
        projects.Refresh();
        state.ResumeTiming();
        const std::size_t before = bench::ResetPeak();
        for (const std::string& path : projects.projectFiles) {
            qdat::PrjFile project;
            qdat::ProjectUpgradeReport report;
            ok = project.ReadProject(path) && project.UpgradeProjectFiles(&report) &&
                 report.upgraded.size() == kFilesPerProject && ok;
        }
        peak = std::max(peak, bench::PeakSince(before));
    }
    if (!ok) state.SkipWithError("an upgrade failed");
    const auto bytes = static_cast<double>(projects.bytes);
    state.counters["files"] = static_cast<double>(projects.projectFiles.size() * kFilesPerProject);
    state.counters["MB"] = bytes / 1e6;
    state.counters["ns_per_byte"] = benchmark::Counter(
        bytes * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["peak_MB"] = static_cast<double>(peak) / 1e6;
    state.counters["largest_file_MB"] = static_cast<double>(projects.largest) / 1e6;
    state.counters["peak_per_largest_file"] =
        static_cast<double>(peak) / static_cast<double>(projects.largest);
}
BENCHMARK(BM_UpgradeProjects)->Arg(17)->Arg(34)->Arg(67)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
