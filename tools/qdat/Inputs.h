// What the qdat tool reads: the file options every file command takes
// (--kind, --break, --project), the context each input file is read and shown
// under, detecting a file's kind, loading documents and projects, and
// stations and ranges typed on the command line.
#pragma once

#include <CLI/CLI.hpp>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <qdat/docbase/ArchiveEnvelope.h>
#include <qdat/docbase/QDocument.h>
#include <qdat/exchange/Descriptions.h>
#include <qdat/host/Context.h>
#include <qdat/profile/DmxFile.h>
#include <qdat/profile/QZdmFile.h>
#include <qdat/section/HDMFlie.h>
#include <qdat/station/ChainTable.h>
#include <qdat/station/QStation.h>
#include <qdat/station/StationText.h>
#include "Command.h"

namespace qdat {
class PrjFile;
}

namespace qdat::tool {

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
};

// A project file read without the open pipeline (nothing is upgraded or
// written); a failure naming the file when it cannot be read.
std::unique_ptr<PrjFile> LoadProject(const std::string& path);
// The same, read once per command and kept.
const PrjFile& LoadedProject(const std::string& path);

// The context an input file is read, computed and shown under, current on
// the thread while it lives: the tool's user interface and settings, with the
// station precision of --project and a chain table of the file's own. Before
// a file is read its table is the one the options give, or none; after, the
// options' still, else the one the file itself carries (an old ground line's,
// say). So one file's breaks never reach another file's context. Files that a
// command reads together (a plan with its profile and ground line) share one.
class FileContext {
public:
    explicit FileContext(const FileOptions& options);
    FileContext(const FileContext&) = delete;
    FileContext& operator=(const FileContext&) = delete;

    const FileOptions& Options() const { return m_options; }
    // The chain table stations are written and read through now.
    const ChainTable& Chain() const;
    void SetChainTable(const ChainTable& table);
    // Sets the precision of station text and comparisons.
    void SetPrecision(int places);
    // The table before a file is read, and after it was (see above).
    void BeforeRead();
    void AfterRead(const QDocument& doc);

private:
    const FileOptions& m_options;
    Context m_context;
    ContextScope m_scope;
};

// The chain table a document of an old layout carries: the library's
// FileChainTableOf (exchange/Descriptions.h).

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
// never rewritten by reading it), under the context with its chain table.
// Throws ToolError with the one message that says why a read failed, or
// that the file was read only in part when that is refused.
std::unique_ptr<QDocument> LoadDocument(const std::string& path, FileContext& context,
                                        PartialRead partial = PartialRead::Refuse);
// The same with another kind than the options name.
std::unique_ptr<QDocument> LoadDocumentAs(const std::string& path, const DocumentKind& kind,
                                          FileContext& context, PartialRead partial = PartialRead::Refuse);

// What a user calls a document's kind of file ("cross-section ground-line
// file"); machine-read output keeps the class name instead.
std::string KindFileName(const QDocument& doc);
// The same with its article: "a cross-section ground-line file".
std::string AKindFileName(const QDocument& doc);

// A document read as the kind it must be for a command (described as `what`).
template <class T>
std::unique_ptr<T> OfKind(std::unique_ptr<QDocument> doc, const std::string& path, const char* what) {
    if (!dynamic_cast<T*>(doc.get())) Fail(path + " is " + AKindFileName(*doc) + ", not " + what);
    return std::unique_ptr<T>(static_cast<T*>(doc.release()));
}
template <class T>
std::unique_ptr<T> LoadDocumentOfKind(const std::string& path, FileContext& context, const char* what) {
    return OfKind<T>(LoadDocument(path, context), path, what);
}

// A document whose rows must be in station order, sorted for this run when
// the file has them out of order (only in memory: the tool never rewrites the
// file), with a note naming the command and what was sorted.
void SortForThisRun(QDocument& doc, const std::string& path, const std::string& command, const char* rows);

// A vertical profile, sorted for the command when need be.
std::unique_ptr<QZdmFile> LoadProfile(const std::string& path, FileContext& context,
                                      const std::string& command);
// A profile ground line.
std::unique_ptr<DmxFile> LoadGroundLine(const std::string& path, FileContext& context);
// A cross-section file, sorted for the command when need be.
std::unique_ptr<HDMFlie> LoadSections(const std::string& path, FileContext& context,
                                      const std::string& command);
// The section at a station; a failure naming the nearest sections when there
// is none.
const CrossSection& SectionAtOrFail(HDMFlie& hdm, const std::string& path, const QStation& station);

// Empty when the file written from doc keeps the chain table doc's old file
// carried (or it carried none); else a note giving the --break options that
// give its stake stations, so that the table is not lost without a word.
std::string ChainTableNotKeptNote(const QDocument& doc, const std::string& written);

// Station text typed by the user is read by the library's ParseStationText
// (station/StationText.h), through the current chain table.
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
    // The stations asked for, read through the current chain table: the --at
    // list, then the range; usage errors for a bad station, a half-given or
    // empty range, or one far too long.
    std::vector<QStation> Collect() const;
};

}  // namespace qdat::tool
