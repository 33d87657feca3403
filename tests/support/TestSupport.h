// Shared helpers of the unit tests: a user interface that records what the
// user was shown and answers from a script, temporary folders and file helpers.
#pragma once

#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <qdat/host/HostUi.h>
#include <qdat/station/ChainTable.h>

namespace qdat::test {

class RecordingUi : public UserInterface {
public:
    struct Message {
        std::string text;
        MessageKind kind;
        MessageButtons buttons;
    };

    MessageAnswer ShowMessage(const std::string& text, MessageKind kind, MessageButtons buttons) override;
    std::optional<std::string> ChooseOpenFile(const FileDialogRequest& request) override;
    std::optional<std::string> ChooseSaveFile(const FileDialogRequest& request) override;
    void AddRecentFile(const std::string& path) override { recentFiles.push_back(path); }

    std::vector<Message> messages;
    std::vector<FileDialogRequest> openRequests, saveRequests;
    std::vector<std::string> recentFiles;
    std::deque<MessageAnswer> answers;              // for questions; No when empty
    std::deque<std::optional<std::string>> chosen;  // for choosers; cancel when empty
};

// The station precision, the current chain table and the last station-text
// error are process-wide: an object of this class starts a test from the
// defaults (precision 3, no breaks) and leaves them as it found them.
class StationDefaults {
public:
    StationDefaults();
    ~StationDefaults();
    StationDefaults(const StationDefaults&) = delete;
    StationDefaults& operator=(const StationDefaults&) = delete;

private:
    int m_precision;
    ChainTable m_table;
};

// A fresh folder under the system temporary folder, removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string Path(const std::string& name) const { return (m_path / name).string(); }
    const std::filesystem::path& Root() const { return m_path; }

private:
    std::filesystem::path m_path;
};

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
std::string TestDataPath(const std::string& name);

// The order in which the repair step of a document puts rows with these
// stations, computed the slow way it is defined: a bubble sort with a
// shrinking bound that exchanges neighbours when the later station is below
// the earlier one (QStation's tolerant "<"). Returns the original indices.
std::vector<int> BubbleSortOrder(const std::vector<double>& stations);

// Rows in clusters whose stations lie a fraction of the tolerance apart, in
// chains longer than the tolerance, shuffled: where the tolerant order is not
// an ordering. Round r of a test gets its own set.
std::vector<double> ClusteredStations(unsigned round);

// Runs a shell command line; returns the exit status and fills out with
// standard output (and err with standard error).
int RunCommand(const std::string& command, std::string* out = nullptr, std::string* err = nullptr);

// Runs the qdat tool with arguments (a shell command line fragment); returns the
// exit status and fills out with standard output (and err with standard error).
int RunTool(const std::string& args, std::string* out = nullptr, std::string* err = nullptr);

}  // namespace qdat::test
