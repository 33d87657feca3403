#include "support/TestSupport.h"

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace qdat::test {

MessageAnswer RecordingUi::ShowMessage(const std::string& text, MessageKind kind, MessageButtons buttons) {
    messages.push_back({text, kind, buttons});
    if (buttons == MessageButtons::Ok) return MessageAnswer::Ok;
    MessageAnswer answer = MessageAnswer::No;
    if (!answers.empty()) {
        answer = answers.front();
        answers.pop_front();
    }
    if (buttons == MessageButtons::OkCancel && answer == MessageAnswer::No) return MessageAnswer::Cancel;
    return answer;
}

std::optional<std::string> RecordingUi::ChooseOpenFile(const FileDialogRequest& request) {
    openRequests.push_back(request);
    if (chosen.empty()) return std::nullopt;
    auto c = chosen.front();
    chosen.pop_front();
    return c;
}

std::optional<std::string> RecordingUi::ChooseSaveFile(const FileDialogRequest& request) {
    saveRequests.push_back(request);
    if (chosen.empty()) return std::nullopt;
    auto c = chosen.front();
    chosen.pop_front();
    return c;
}

StationDefaults::StationDefaults() : m_precision(GetStationPrecision()), m_table(GetCurrentChainTable()) {
    SetStationPrecisionValue(3);
    GetCurrentChainTable() = ChainTable();
    ClearLastStationTextError();
}

StationDefaults::~StationDefaults() {
    SetStationPrecisionValue(m_precision);
    GetCurrentChainTable() = m_table;
    ClearLastStationTextError();
}

TempDir::TempDir() {
    std::random_device rd;
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto p = std::filesystem::temp_directory_path() /
                 ("qdat-test-" + std::to_string(::getpid()) + "-" + std::to_string(rd()));
        if (std::filesystem::create_directory(p)) {
            m_path = p;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::vector<int> BubbleSortOrder(const std::vector<double>& stations) {
    std::vector<int> order(stations.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
    const auto below = [&](int a, int b) {
        return QStation(stations[static_cast<std::size_t>(a)]) <
               QStation(stations[static_cast<std::size_t>(b)]);
    };
    int last = static_cast<int>(order.size()) - 1;
    bool swapped = true;
    while (swapped) {
        swapped = false;
        int lastSwap = 0;
        for (int i = 1; i <= last; ++i) {
            if (below(order[static_cast<std::size_t>(i)], order[static_cast<std::size_t>(i - 1)])) {
                std::swap(order[static_cast<std::size_t>(i)], order[static_cast<std::size_t>(i - 1)]);
                lastSwap = i;
                swapped = true;
            }
        }
        last = lastSwap;
    }
    return order;
}

std::vector<double> ClusteredStations(unsigned round) {
    std::mt19937 random(round);
    const int count = 2 + static_cast<int>(random() % 40);
    std::vector<double> stations;
    for (int i = 0; i < count; ++i) {
        // A few bases; steps of 0.4 tolerance chain up past the tolerance.
        const double base = 100.0 * static_cast<double>(1 + random() % 3);
        stations.push_back(base + 0.0004 * static_cast<double>(random() % 6));
    }
    return stations;
}

std::string TestDataPath(const std::string& name) {
    return std::string(QDAT_TEST_DATA) + "/" + name;
}

int RunCommand(const std::string& command, std::string* out, std::string* err) {
    TempDir dir;
    const std::string outPath = dir.Path("out.txt"), errPath = dir.Path("err.txt");
    const std::string cmd = command + " >" + outPath + " 2>" + errPath + " </dev/null";
    int status = std::system(cmd.c_str());
    if (out) *out = ReadFileBytes(outPath);
    if (err) *err = ReadFileBytes(errPath);
    if (status == -1) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

#ifdef QDAT_TOOL
int RunTool(const std::string& args, std::string* out, std::string* err) {
    return RunCommand(std::string(QDAT_TOOL) + " " + args, out, err);
}

#endif  // QDAT_TOOL

}  // namespace qdat::test
