// The qdat tool's shared pieces: the command table every command registers in,
// the exit-code rule, the options every file command takes (--kind, --break,
// --project), loading and writing documents, stations and ranges, and showing
// a document's content from its kind's description.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <iosfwd>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <qdat/docbase/ArchiveEnvelope.h>
#include <qdat/docbase/QDocument.h>
#include <qdat/station/ChainTable.h>
#include <qdat/station/QStation.h>

namespace qdat {
class PrjFile;
}

namespace qdat::tool {

using Json = nlohmann::ordered_json;

// Exit codes of every command: 0 done, 1 the work failed, 2 the command line
// is wrong.
enum ExitCode : int { kExitOk = 0, kExitFailure = 1, kExitUsage = 2 };

// Ends a command: main prints "qdat <command>: <message>" on stderr and exits
// with the code.
class ToolError : public std::runtime_error {
public:
    ToolError(int code, const std::string& message) : std::runtime_error(message), m_code(code) {}
    int GetCode() const { return m_code; }

private:
    int m_code;
};
[[noreturn]] void Fail(const std::string& message);        // exit 1
[[noreturn]] void UsageError(const std::string& message);  // exit 2

// A command: `setup` adds its subcommand and options to the app and returns a
// runner that is called when that subcommand was given. The runner returns the
// exit code or throws ToolError.
struct Command {
    std::string name;
    std::function<std::function<int()>(CLI::App& app)> setup;
};

class CommandRegistration {
public:
    explicit CommandRegistration(Command command);
};
const std::vector<Command>& Commands();

// The tool's user interface: messages on stderr; questions answered by `yes`
// when set, else asked on a terminal, else answered No.
void InstallToolUi(bool answerYes);

// The options of every command that reads or writes data files.
struct FileOptions {
    std::string kind;                 // --kind CLASS
    std::vector<std::string> breaks;  // --break BEFORE:AFTER, repeatable
    std::string project;              // --project PRJ
    bool takesKind = false;           // whether the command has --kind at all

    // Adds --kind, --break and --project; AddChainTo only the last two.
    void AddTo(CLI::App* cmd);
    void AddChainTo(CLI::App* cmd);
    // Whether --break or --project gives the chain table.
    bool GivesChainTable() const { return !breaks.empty() || !project.empty(); }
    // The chain table --project or --break gives, its breaks in order along the
    // alignment; a usage error for a bad or overlapping break.
    ChainTable GetChainTable() const;
    // With --project: the project's station precision becomes the process's.
    void ApplyProjectPrecision() const;
};

// While it lives, the errors the library shows are held back instead of
// printed: a failure is then told once, by the command, with the last of them.
class HeldErrors {
public:
    HeldErrors();
    ~HeldErrors();
    HeldErrors(const HeldErrors&) = delete;
    HeldErrors& operator=(const HeldErrors&) = delete;
    // The last error held, else otherwise.
    std::string Last(const std::string& otherwise) const;

private:
    bool m_wasHolding;
};

// A project file read without the open pipeline (nothing is upgraded or
// written); a failure naming the file when it cannot be read.
std::unique_ptr<PrjFile> LoadProject(const std::string& path);
// The same, read once per command and kept.
const PrjFile& LoadedProject(const std::string& path);

// A chain table as JSON: its prefix and its breaks.
Json ChainTableJson(const ChainTable& table);

// The chain table each file is used with. Before a file is read it is the
// table the options give, or none; after, the options' table still, else the
// table the file itself carries (an old ground line's, say). So one file's
// breaks never reach the next file.
void UseChainTableBefore(const FileOptions& options);
void UseChainTableAfter(const FileOptions& options, const QDocument& doc);
// The chain table a document of an old layout carries; null when none.
const ChainTable* FileChainTableOf(const QDocument& doc);

// The header and signature of a file as the archive reads them; a failure
// naming the file when it cannot be opened.
ArchiveEnvelope ReadFileEnvelope(const std::string& path);

// The kind that reads a file: the one --kind names, else the kind whose
// signature table reads the file's signature, else the kind of its extension.
// Throws ToolError naming the file when none fits; its message offers --kind
// where the command takes it.
const DocumentKind& DetectKind(const std::string& path, const std::string& kindOverride,
                               bool offerKind = true);

// What a command does with a file that was read only in part (the library
// has warned of it): refuse it, since whatever it computes, draws or writes
// from the part would be taken for the whole; or take the part, for a command
// that then says so and decides its exit code.
enum class PartialRead { Refuse, Accept };

// Reads a file into a fresh document without the open pipeline (a file is
// never rewritten by reading it), with the chain table the options give.
// Throws ToolError with the one message that says why a read failed, or
// that the file was read only in part when that is refused.
std::unique_ptr<QDocument> LoadDocument(const std::string& path, const FileOptions& options,
                                        PartialRead partial = PartialRead::Refuse);

// What a user calls a document's kind of file ("cross-section ground-line
// file"); machine-read output keeps the class name instead.
std::string KindFileName(const QDocument& doc);
// The same with its article: "a cross-section ground-line file".
std::string AKindFileName(const QDocument& doc);

// LoadDocument for a command that works on one kind (described as `what`).
template <class T>
std::unique_ptr<T> LoadDocumentOfKind(const std::string& path, const FileOptions& options, const char* what) {
    std::unique_ptr<QDocument> doc = LoadDocument(path, options);
    if (!dynamic_cast<T*>(doc.get())) Fail(path + " is " + AKindFileName(*doc) + ", not " + what);
    return std::unique_ptr<T>(static_cast<T*>(doc.release()));
}

// Empty when the file written from doc keeps the chain table doc's old file
// carried (or it carried none); else a note giving the --break options that
// give its stake stations, so that the table is not lost without a word.
std::string ChainTableNotKeptNote(const QDocument& doc, const std::string& written);

// The physical forms a document can be written in.
enum class Form { Text, Binary, Tagged, Scrambled, Legacy };
const std::vector<std::string>& FormNames();
Form FormFromName(const std::string& name);
// Writes doc to path in the form through a mirror file: a failed write leaves
// path as it was. Refuses to write over `input` (the file that was read).
void WriteDocument(QDocument& doc, const std::string& path, Form form, const std::string& input);
// Whether two paths name one file.
bool SameFile(const std::string& a, const std::string& b);

// Station text typed by the user in any form the tool prints, read through
// the current chain table: a number or lettered text ("B1070.5"), or the
// kilometre form with or without the prefix ("K1+070.500", "0+400",
// "KB1+070"). Throws the table's QDLException when it is none of them.
double ParseStationText(const std::string& text);
// The same as a station; a usage error naming `what` when it is not station
// text or not finite.
QStation ParseStation(const std::string& text, const std::string& what);

// --at STATION... and --from A --to B --step S. A range holds A, A + S,
// A + 2S ... up to B, and B itself when the last step does not land on it.
struct StationOptions {
    std::vector<std::string> at;
    std::string from, to;
    std::optional<double> step;

    void AddTo(CLI::App* cmd);
    bool Empty() const { return at.empty() && from.empty() && to.empty() && !step; }
    // The stations asked for: the --at list, then the range; usage errors for
    // a bad station, a half-given or empty range, or one far too long.
    std::vector<QStation> Collect() const;
};

// --csv and --json of the commands that print rows: one of three printers runs.
struct OutputOptions {
    bool csv = false;
    bool json = false;

    void AddTo(CLI::App* cmd, const char* csvHelp, const char* jsonHelp);
    void Print(const std::function<void()>& table, const std::function<void()>& csv,
               const std::function<void()>& json) const;
};

// A finite number that is the whole text; false for anything else.
bool ParseNumber(const std::string& text, double& value);

// Formats a double for tables: shortest text that reads back exactly.
std::string ShortNumber(double value);

// A document's content as its kind describes it: the fields of its records at
// the top level, each list under its key, a missing value as null.
Json ContentJson(QDocument& doc);
// The number of rows of the content's lists.
std::size_t ContentCount(QDocument& doc);
// The content as text: "key: value" lines, each list as a table whose header
// gives the units; a missing value is a dash.
void PrintContent(QDocument& doc, std::ostream& out);

}  // namespace qdat::tool
