// Opening a ground line of 1,000,000 points as a whole process: `qdat info`
// (start-up with its registrations and texts, the read, the summary) against
// the bare reader of bench/bare/ground_reader.cpp, which reads the same file
// with one read and std::from_chars, in the same run.
//
// Each iteration runs 15 pairs of the two processes in turn, so that the
// load of the machine weighs on both alike, and takes each child's CPU time
// (user + system) and wall time.
// Counters: cpu_best7 is the least CPU time of the first 7 qdat runs over
// the least of the first 7 bare runs; cpu_median and wall_median the ratios
// of the medians of all 15; peak_mib the greatest resident size of qdat.
// Targets: cpu_best7 <= 1.15, the medians <= 1.25, peak_mib <= 30.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr int kPoints = 1000000;
constexpr int kPairs = 15;

struct Usage {
    double cpu = 0.0;   // seconds, user + system
    double wall = 0.0;  // seconds
    long peakKiB = 0;
};

// Runs the program with its output thrown away; a failure ends the benchmark.
bool Run(const std::vector<std::string>& args, Usage& usage) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return false;
    int status = 0;
    rusage ru{};
    if (wait4(pid, &status, 0, &ru) != pid) return false;
    usage.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    usage.cpu = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
                1e-6 * static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec);
    usage.peakKiB = ru.ru_maxrss;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void BM_WholeProcessOpen(benchmark::State& state) {
    const std::filesystem::path dir = QDAT_BENCH_SCRATCH;
    std::filesystem::create_directories(dir);
    const std::string file = (dir / "process-ground.dmx").string();
    {
        std::ofstream out(file);
        std::mt19937_64 random(12345);
        std::uniform_int_distribution<int> elevation(0, 200000000);
        out << "RADUDAR5.83_DMX_SHUJU\n";
        char line[64];
        for (int i = 0; i < kPoints; ++i) {
            std::snprintf(line, sizeof line, "%10.3f %10.6f\n", 0.5 * (i + 1), 300 + elevation(random) / 1e6);
            out << line;
        }
    }
    const std::vector<std::string> bare{QDAT_BARE_READER, file};
    const std::vector<std::string> qdat{QDAT_TOOL, "info", file};
    Usage warm;
    if (!Run(bare, warm) || !Run(qdat, warm)) {
        state.SkipWithError("the bare reader or qdat failed");
        return;
    }
    std::vector<Usage> bareRuns, qdatRuns;
    for (auto _ : state) {
        for (int i = 0; i < kPairs; ++i) {
            Usage b, q;
            if (!Run(bare, b) || !Run(qdat, q)) {
                state.SkipWithError("the bare reader or qdat failed");
                break;
            }
            bareRuns.push_back(b);
            qdatRuns.push_back(q);
        }
    }
    std::filesystem::remove(file);
    if (qdatRuns.size() < static_cast<std::size_t>(kPairs)) return;
    const auto field = [](const std::vector<Usage>& runs, double Usage::*member, std::size_t n) {
        std::vector<double> v;
        for (std::size_t i = 0; i < n && i < runs.size(); ++i) v.push_back(runs[i].*member);
        return v;
    };
    const auto least = [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); };
    state.counters["cpu_best7"] =
        least(field(qdatRuns, &Usage::cpu, 7)) / least(field(bareRuns, &Usage::cpu, 7));
    state.counters["cpu_median"] = Median(field(qdatRuns, &Usage::cpu, qdatRuns.size())) /
                                   Median(field(bareRuns, &Usage::cpu, bareRuns.size()));
    state.counters["wall_median"] = Median(field(qdatRuns, &Usage::wall, qdatRuns.size())) /
                                    Median(field(bareRuns, &Usage::wall, bareRuns.size()));
    long peak = 0;
    for (const Usage& u : qdatRuns) peak = std::max(peak, u.peakKiB);
    state.counters["peak_mib"] = static_cast<double>(peak) / 1024.0;
    state.counters["qdat_cpu_ms"] = 1e3 * least(field(qdatRuns, &Usage::cpu, qdatRuns.size()));
    state.counters["bare_cpu_ms"] = 1e3 * least(field(bareRuns, &Usage::cpu, bareRuns.size()));
}
BENCHMARK(BM_WholeProcessOpen)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
