// Backing up a project whose data files hold about 50 MB of text (ground
// lines, cross-sections, stations and profiles as their files hold them),
// against `gcab -cz` packing the same files, in one run.
//
// Targets: the backup within 1.2x of gcab's time (time_ratio), and its
// cabinet no more than 5% larger than gcab's (size_ratio).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <qdat/host/HostUi.h>
#include <qdat/project/PrjFile.h>

namespace {

namespace fs = std::filesystem;

class SilentUi : public qdat::ConsoleUi {
public:
    qdat::MessageAnswer ShowMessage(const std::string&, qdat::MessageKind, qdat::MessageButtons) override {
        return qdat::MessageAnswer::No;
    }
};

// Text as the data files hold it: stations every few metres with elevations
// and offsets that wander as terrain does.
std::string SurveyText(std::mt19937& gen, std::size_t bytes, int columns) {
    std::string out;
    out.reserve(bytes + 200);
    std::normal_distribution<double> step(0.0, 0.15);
    std::vector<double> values(static_cast<std::size_t>(columns), 400.0);
    double station = 0.0;
    char line[256];
    while (out.size() < bytes) {
        station += 2.5 + (gen() % 8) * 2.5;
        int n = std::snprintf(line, sizeof line, "%10.3f", station);
        for (double& v : values) {
            v += step(gen);
            n += std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), " %10.4f", v);
        }
        line[n++] = '\n';
        out.append(line, static_cast<std::size_t>(n));
    }
    return out;
}

struct Project {
    fs::path folder;
    std::string prj;
    std::vector<std::string> files;

    Project() {
        folder = fs::temp_directory_path() / ("qdat-bench-backup-" + std::to_string(::getpid()));
        fs::create_directories(folder / "data");
        std::mt19937 gen(20240501);
        // type id, file, megabytes, columns
        const struct {
            int type;
            const char* name;
            double megabytes;
            int columns;
        } kFiles[] = {
            {103, "data/ground.dmx", 8, 1},          {116, "data/design-ground.dmx", 6, 1},
            {117, "data/old-ground.dmx", 6, 1},      {105, "data/sections.hdm", 14, 6},
            {118, "data/design-sections.hdm", 8, 6}, {104, "data/profile.zdm", 1, 4},
            {109, "data/stations.sta", 3, 1},        {107, "data/superelevation.sup", 2, 4},
            {106, "data/widening.wid", 2, 4},
        };
        std::string body = "RADUDAR6.00_PRJ_SHUJU\n[Files]1\n";
        for (const auto& f : kFiles) {
            const std::string path = (folder / f.name).string();
            std::ofstream(path, std::ios::binary)
                << "RADUDAR5.83_DATA\n"
                << SurveyText(gen, static_cast<std::size_t>(f.megabytes * 1e6), f.columns);
            files.push_back(path);
            std::string stored = f.name;
            for (char& c : stored)
                if (c == '/') c = '\\';
            body += std::to_string(f.type) + " = " + stored + "\n";
        }
        body += "[Settings]2\n201 = Benchmark road\n";
        prj = (folder / "road.prj").string();
        std::ofstream(prj, std::ios::binary) << body;
        files.insert(files.begin(), prj);
    }
    ~Project() {
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
};

Project& TheProject() {
    static Project project;
    return project;
}

double Seconds(const std::function<bool()>& run, bool& ok) {
    const auto start = std::chrono::steady_clock::now();
    ok = run() && ok;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Each iteration backs the project up once and lets gcab pack the same files
// once, in turn, so that both meet the same load of the machine; the time of
// the iteration is the backup's (wall clock: gcab runs as a process of its own).
void BM_BackupAgainstGcab(benchmark::State& state) {
    static SilentUi ui;
    qdat::ScopedUi scoped(ui);
    Project& p = TheProject();
    qdat::PrjFile project;
    if (!project.ReadProject(p.prj)) {
        state.SkipWithError("the project cannot be read");
        return;
    }
    const std::string ours = (p.folder / "backup.cab").string(), theirs = (p.folder / "gcab.cab").string();
    std::string command = "rm -f '" + theirs + "' && gcab -cz '" + theirs + "'";
    for (const std::string& f : p.files) command += " '" + f + "'";
    command += " >/dev/null";
    double backup = 0, gcab = 0;
    bool ok = true;
    for (auto _ : state) {
        const double took = Seconds([&] { return project.BackupProject(ours); }, ok);
        gcab += Seconds([&] { return std::system(command.c_str()) == 0; }, ok);
        backup += took;
        state.SetIterationTime(took);
    }
    if (!ok) state.SkipWithError("a backup failed");
    const auto n = static_cast<double>(state.iterations());
    const auto oursBytes = static_cast<double>(fs::file_size(ours));
    const auto theirBytes = static_cast<double>(fs::file_size(theirs));
    state.counters["gcab_ms"] = gcab / n * 1000;
    state.counters["cabinet_bytes"] = oursBytes;
    state.counters["gcab_cabinet_bytes"] = theirBytes;
    state.counters["time_ratio"] = backup / gcab;           // target: at most 1.2
    state.counters["size_ratio"] = oursBytes / theirBytes;  // target: at most 1.05
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(50e6));
}
BENCHMARK(BM_BackupAgainstGcab)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(8);

}  // namespace
