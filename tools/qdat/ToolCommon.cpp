// Shared pieces of the qdat tool: commands and errors, the tool's user
// interface, the file options and the chain table they give, loading and
// writing documents, stations and ranges.
#include <unistd.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <system_error>

#include "Tool.h"
#include "docbase/DataArchive.h"
#include "host/HostException.h"
#include "host/HostFile.h"
#include "host/HostUi.h"
#include "project/PrjFile.h"

namespace qdat::tool {

namespace {

std::vector<Command>& CommandTable() {
    static std::vector<Command> table;
    return table;
}

// Messages go to stderr. While a file is being read, errors are held back
// instead: the read's failure is then told once, by the command, with the
// last (the most complete) of them.
class ToolUi : public ConsoleUi {
public:
    bool answerYes = false;
    bool holdErrors = false;
    std::string lastError;

    MessageAnswer ShowMessage(const std::string& text, MessageKind kind, MessageButtons buttons) override {
        if (buttons == MessageButtons::Ok) {
            if (kind == MessageKind::Error) {
                lastError = text;
                if (holdErrors) return MessageAnswer::Ok;
            }
            std::cerr << (kind == MessageKind::Error     ? "error: "
                          : kind == MessageKind::Warning ? "warning: "
                                                         : "")
                      << text << '\n';
            return MessageAnswer::Ok;
        }
        if (answerYes) {
            std::cerr << text << " [yes]\n";
            return MessageAnswer::Yes;
        }
        if (::isatty(STDIN_FILENO) && ::isatty(STDERR_FILENO)) {
            std::cerr << text << " [y/N] " << std::flush;
            std::string line;
            std::getline(std::cin, line);
            return (!line.empty() && (line[0] == 'y' || line[0] == 'Y')) ? MessageAnswer::Yes
                                                                         : MessageAnswer::No;
        }
        std::cerr << text << " [no]\n";
        return buttons == MessageButtons::OkCancel ? MessageAnswer::Cancel : MessageAnswer::No;
    }
};

ToolUi& TheToolUi() {
    static ToolUi ui;
    return ui;
}

// More stations than anyone reads; a range beyond it is a mistyped step.
constexpr double kMaxRangeStations = 10'000'000;

}  // namespace

void Fail(const std::string& message) {
    throw ToolError(kExitFailure, message);
}
void UsageError(const std::string& message) {
    throw ToolError(kExitUsage, message);
}

CommandRegistration::CommandRegistration(Command command) {
    CommandTable().push_back(std::move(command));
}
const std::vector<Command>& Commands() {
    return CommandTable();
}

void InstallToolUi(bool answerYes) {
    TheToolUi().answerYes = answerYes;
    SetCurrentUi(&TheToolUi());
}

HeldErrors::HeldErrors() : m_wasHolding(TheToolUi().holdErrors) {
    TheToolUi().holdErrors = true;
    TheToolUi().lastError.clear();
}

HeldErrors::~HeldErrors() {
    TheToolUi().holdErrors = m_wasHolding;
}

std::string HeldErrors::Last(const std::string& otherwise) const {
    return TheToolUi().lastError.empty() ? otherwise : TheToolUi().lastError;
}

// ---------------------------------------------------------------------------
// Projects

std::unique_ptr<PrjFile> LoadProject(const std::string& path) {
    auto project = std::make_unique<PrjFile>();
    HeldErrors held;
    if (!project->ReadProject(MakeAbsolutePath(path))) Fail(held.Last(path + ": cannot be read"));
    return project;
}

const PrjFile& LoadedProject(const std::string& path) {
    // Read once per command, however many files follow its chain table.
    static std::map<std::string, std::unique_ptr<PrjFile>> loaded;
    auto& project = loaded[path];
    if (!project) project = LoadProject(path);
    return *project;
}

Json ChainTableJson(const ChainTable& table) {
    Json breaks = Json::array();
    for (int i = 0; i < table.GetBreakCount(); ++i)
        breaks.push_back({{"before", table.GetBreak(i).Before}, {"after", table.GetBreak(i).After}});
    return {{"prefix", table.GetPrefix()}, {"breaks", breaks}};
}

// ---------------------------------------------------------------------------
// Chain table

void FileOptions::AddTo(CLI::App* cmd) {
    cmd->add_option("--kind", kind, "Document class, for a file without a usable signature");
    AddChainTo(cmd);
}

void FileOptions::AddChainTo(CLI::App* cmd) {
    cmd->add_option("--break", breaks,
                    "A chain break: the stake station BEFORE continues as AFTER (repeatable)")
        ->type_name("BEFORE:AFTER");
    cmd->add_option("--project", project, "Project file whose chain table the stations follow")
        ->type_name("PRJ");
}

ChainTable FileOptions::GetChainTable() const {
    if (!project.empty() && !breaks.empty()) UsageError("--project and --break do not go together");
    ChainTable table;
    if (!project.empty()) table = LoadedProject(project).GetChainTable();
    for (const std::string& text : breaks) {
        // The colon may be any but a leading character, so "-5:10" is a break.
        const std::size_t colon = text.find(':', 1);
        double before = 0.0;
        double after = 0.0;
        if (colon == std::string::npos || !ParseNumber(text.substr(0, colon), before) ||
            !ParseNumber(text.substr(colon + 1), after))
            UsageError("--break " + text + ": expected BEFORE:AFTER, two numbers");
        try {
            table.AddBreak(before, after);
        } catch (const QDLException& e) {
            UsageError("--break " + text + ": " + e.GetErrorMessage());
        }
    }
    table.SortBreaks();
    // Between two breaks runs a chain of its own: it must end after it starts.
    for (int i = 1; i < table.GetBreakCount(); ++i) {
        const ChainBreak& a = table.GetBreak(i - 1);
        const ChainBreak& b = table.GetBreak(i);
        if (!(b.Before > a.After))
            UsageError("the chain breaks " + ShortNumber(a.Before) + ":" + ShortNumber(a.After) + " and " +
                       ShortNumber(b.Before) + ":" + ShortNumber(b.After) +
                       " overlap: the chain between them would end at " + ShortNumber(b.Before) +
                       " without passing its start " + ShortNumber(a.After));
    }
    return table;
}

void FileOptions::ApplyProjectPrecision() const {
    if (project.empty()) return;
    // The project's chain table and station precision; the chain table is
    // then the one GetChainTable checked.
    LoadedProject(project).ApplyProjectSettings();
}

void UseChainTableBefore(const FileOptions& options) {
    options.ApplyProjectPrecision();
    GetCurrentChainTable() = options.GetChainTable();
}

const ChainTable* FileChainTableOf(const QDocument& doc) {
    const auto* carrier = dynamic_cast<const ChainTableCarrier*>(&doc);
    return carrier && carrier->GetFileChainTable() ? &*carrier->GetFileChainTable() : nullptr;
}

void UseChainTableAfter(const FileOptions& options, const QDocument& doc) {
    if (options.GivesChainTable()) {
        GetCurrentChainTable() = options.GetChainTable();
    } else if (const ChainTable* carried = FileChainTableOf(doc)) {
        GetCurrentChainTable() = *carried;
    } else {
        GetCurrentChainTable() = ChainTable();
    }
}

// ---------------------------------------------------------------------------
// Documents

ArchiveEnvelope ReadFileEnvelope(const std::string& path) {
    File file;
    try {
        file.Open(path, File::ModeRead);
    } catch (const FileException& e) {
        Fail(e.GetErrorMessage());
    }
    return ReadArchiveEnvelope(file);
}

const DocumentKind& DetectKind(const std::string& path, const std::string& kindOverride) {
    if (!kindOverride.empty()) {
        const DocumentKind* kind = DocumentKind::Find(kindOverride);
        if (!kind) UsageError("unknown document kind " + kindOverride + " (qdat kinds lists them)");
        return *kind;
    }
    const ArchiveEnvelope env = ReadFileEnvelope(path);
    const auto bySignature = DocumentKind::MatchSignature(env.signature);
    if (!bySignature.empty()) return *bySignature.front().kind;
    const auto byExtension = DocumentKind::MatchExtension(path);
    if (!byExtension.empty()) return *byExtension.front();
    Fail(path + ": no document kind knows the signature \"" + env.signature + "\"; name one with --kind");
}

std::unique_ptr<QDocument> LoadDocument(const std::string& path, const FileOptions& options,
                                        PartialRead partial) {
    const DocumentKind& kind = DetectKind(path, options.kind);
    UseChainTableBefore(options);
    std::unique_ptr<QDocument> doc = kind.CreateDocument();
    {
        HeldErrors held;
        if (!ReadDocumentFile(*doc, path)) Fail(held.Last(path + ": cannot be read"));
    }
    if (doc->WasReadPartly() && partial == PartialRead::Refuse)
        Fail(path + " was read only in part; nothing was done with it");
    UseChainTableAfter(options, *doc);
    return doc;
}

const std::vector<std::string>& FormNames() {
    static const std::vector<std::string> names{"text", "binary", "tagged", "scrambled", "legacy"};
    return names;
}

Form FormFromName(const std::string& name) {
    const auto& names = FormNames();
    const auto it = std::find(names.begin(), names.end(), name);
    if (it == names.end()) UsageError("unknown form " + name);
    return static_cast<Form>(it - names.begin());
}

bool SameFile(const std::string& a, const std::string& b) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::exists(b, ec) && fs::equivalent(a, b, ec)) return true;
    return fs::weakly_canonical(a, ec) == fs::weakly_canonical(b, ec);
}

void WriteDocument(QDocument& doc, const std::string& path, Form form, const std::string& input) {
    if (!input.empty() && SameFile(input, path)) Fail(path + " is the input file; choose another output");
    const DocumentKind* kind = doc.GetKind();
    if (form == Form::Legacy) {
        if (!kind || !kind->HasLegacyLayout())
            Fail(std::string(doc.GetRuntimeClass().GetName()) + " files have no legacy layout");
        TheToolUi().lastError.clear();
        if (!doc.SaveLegacyCopy(path)) Fail(path + " was not written");
        return;
    }
    static constexpr std::uint32_t kFormFlags[] = {FormatFlag::TextForm, 0, FormatFlag::TaggedForm,
                                                   FormatFlag::ScrambledForm};
    doc.SetFormatFlags((doc.GetFormatFlags() & ~(FormatFlag::FormBits | FormatFlag::LegacyLayout)) |
                       kFormFlags[static_cast<int>(form)]);
    MirrorFile file;
    try {
        file.Open(path, File::ModeCreate | File::ModeReadWrite | File::ShareExclusive);
        if (!doc.WriteToFile(file)) Fail(path + " was not written");
        file.Close();
    } catch (const ToolError&) {
        file.Abort();
        throw;
    } catch (const std::exception& e) {
        file.Abort();
        Fail(e.what());
    }
}

// ---------------------------------------------------------------------------
// Stations

QStation ParseStation(const std::string& text, const std::string& what) {
    QStation station;
    try {
        station = text;
    } catch (const HostException& e) {
        UsageError(what + " " + text + ": " + e.GetErrorMessage());
    }
    if (!std::isfinite(station.GetValue())) UsageError(what + " " + text + " is not a finite number");
    return station;
}

void StationOptions::AddTo(CLI::App* cmd) {
    CLI::Option* atOption =
        cmd->add_option("--at", at, "Stations (station text, or metres without chain breaks)");
    CLI::Option* fromOption = cmd->add_option("--from", from, "First station of a range");
    CLI::Option* toOption = cmd->add_option("--to", to, "Last station of a range (always included)");
    CLI::Option* stepOption =
        cmd->add_option("--step", step, "Distance between the stations of a range, metres");
    atOption->excludes(fromOption)->excludes(toOption)->excludes(stepOption);
}

std::vector<QStation> StationOptions::Collect() const {
    std::vector<QStation> stations;
    for (const std::string& text : at) stations.push_back(ParseStation(text, "station"));
    if (from.empty() && to.empty() && !step) return stations;
    if (from.empty() || to.empty() || !step) UsageError("--from, --to and --step go together");
    if (!(*step > 0.0) || !std::isfinite(*step)) UsageError("--step must be a positive number");
    const double a = ParseStation(from, "--from").GetValue();
    const double b = ParseStation(to, "--to").GetValue();
    if (a > b) UsageError("--from must not be after --to");
    // Stations as from + i step, so that rounding does not pile up; a last
    // step that lands on the end within rounding is the end itself.
    const double steps = std::floor((b - a) / *step * (1.0 + 1e-12));
    if (!(steps + 2 <= kMaxRangeStations))
        UsageError(ShortNumber(steps + 1) + " stations are too many; use a larger --step");
    for (long i = 0; i <= static_cast<long>(steps); ++i)
        stations.emplace_back(a + static_cast<double>(i) * *step);
    if (std::fabs(stations.back().GetValue() - b) > 1e-9 * std::max(1.0, std::fabs(b)))
        stations.emplace_back(b);
    else
        stations.back() = QStation(b);
    return stations;
}

void OutputOptions::AddTo(CLI::App* cmd, const char* csvHelp, const char* jsonHelp) {
    CLI::Option* csvOption = cmd->add_flag("--csv", csv, csvHelp);
    CLI::Option* jsonOption = cmd->add_flag("--json", json, jsonHelp);
    csvOption->excludes(jsonOption);
}

void OutputOptions::Print(const std::function<void()>& table, const std::function<void()>& csvPrinter,
                          const std::function<void()>& jsonPrinter) const {
    if (json)
        jsonPrinter();
    else if (csv)
        csvPrinter();
    else
        table();
}

bool ParseNumber(const std::string& text, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && std::isfinite(value);
}

std::string ShortNumber(double value) {
    if (!std::isfinite(value)) return "";
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

}  // namespace qdat::tool
