// Shared pieces of the qdat tool: commands and errors, the tool's user
// interface, the file options and the chain table they give, loading and
// writing documents, stations and ranges.
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <system_error>

#include <qdat/docbase/DataArchive.h>
#include <qdat/host/HostException.h>
#include <qdat/host/HostFile.h>
#include <qdat/host/HostUi.h>
#include <qdat/project/PrjFile.h>
#include "Tool.h"

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
    takesKind = true;
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

const DocumentKind& DetectKind(const std::string& path, const std::string& kindOverride, bool offerKind) {
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
    Fail(path + ": no document kind knows the signature \"" + env.writtenSignature + "\"" +
         (offerKind ? "; name one with --kind" : ""));
}

std::string KindFileName(const QDocument& doc) {
    const DocumentKind* kind = doc.GetKind();
    return kind ? std::string(kind->GetFileName()) : doc.GetRuntimeClass().GetName();
}

std::string AKindFileName(const QDocument& doc) {
    const std::string name = KindFileName(doc);
    const bool vowel =
        !name.empty() && std::string_view("aeiouAEIOU").find(name[0]) != std::string_view::npos;
    return (vowel ? "an " : "a ") + name;
}

namespace {

// Lettered station text read with no chain table: the message says how to
// give the table the file was written with.
bool NeedsChainTable(const std::string& message) {
    return message.find(ChainTableNeededReason()) != std::string::npos;
}
const char* const kChainTableHint = "; give its chain table with --break BEFORE:AFTER or --project PRJ";

}  // namespace

std::unique_ptr<QDocument> LoadDocument(const std::string& path, const FileOptions& options,
                                        PartialRead partial) {
    const DocumentKind& kind = DetectKind(path, options.kind, options.takesKind);
    UseChainTableBefore(options);
    std::unique_ptr<QDocument> doc = kind.CreateDocument();
    HeldErrors held;
    if (!ReadDocumentFile(*doc, path)) {
        const std::string message = held.Last(path + ": cannot be read");
        Fail(NeedsChainTable(message) ? message + kChainTableHint : message);
    }
    // A file whose reading stopped at its first lettered station holds
    // nothing that could be shown without the table.
    if (doc->WasReadPartly() && NeedsChainTable(held.Last({})))
        Fail(path + ": " + held.Last({}) + kChainTableHint);
    if (doc->WasReadPartly() && partial == PartialRead::Refuse)
        Fail(path + " was read only in part; nothing was done with it");
    UseChainTableAfter(options, *doc);
    return doc;
}

std::string ChainTableNotKeptNote(const QDocument& doc, const std::string& written) {
    const ChainTable* carried = FileChainTableOf(doc);
    const DocumentKind* kind = doc.GetKind();
    if (!carried || carried->IsEmpty() || !kind) return {};
    // What a later read of the written file finds on its own.
    std::unique_ptr<QDocument> reread = kind->CreateDocument();
    {
        StatedChainTableScope none{ChainTable()};
        HeldErrors held;
        if (ReadDocumentFile(*reread, written)) {
            const ChainTable* kept = FileChainTableOf(*reread);
            if (kept && kept->GetBreakCount() == carried->GetBreakCount()) {
                bool same = true;
                for (int i = 0; i < kept->GetBreakCount(); ++i)
                    same = same && kept->GetBreak(i) == carried->GetBreak(i);
                if (same) return {};
            }
        }
    }
    std::string options;
    for (int i = 0; i < carried->GetBreakCount(); ++i)
        options += " --break " + ShortNumber(carried->GetBreak(i).Before) + ":" +
                   ShortNumber(carried->GetBreak(i).After);
    return "the chain breaks the file carried are not kept in " + written + ";" + options +
           " gives its stake stations";
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
    if (path != "-" && !input.empty() && SameFile(input, path))
        Fail(path + " is the input file; choose another output");
    const DocumentKind* kind = doc.GetKind();
    if (form == Form::Legacy) {
        if (path == "-") UsageError("the legacy layout is written to a file only, not to standard output");
        if (!kind || !kind->HasLegacyLayout())
            Fail(std::string(kind ? kind->GetFileName() : doc.GetRuntimeClass().GetName()) +
                 "s have no legacy layout");
        TheToolUi().lastError.clear();
        if (!doc.SaveLegacyCopy(path)) Fail(path + " was not written");
        return;
    }
    static constexpr std::uint32_t kFormFlags[] = {FormatFlag::TextForm, 0, FormatFlag::TaggedForm,
                                                   FormatFlag::ScrambledForm};
    doc.SetFormatFlags((doc.GetFormatFlags() & ~(FormatFlag::FormBits | FormatFlag::LegacyLayout)) |
                       kFormFlags[static_cast<int>(form)]);
    if (path == "-") {
        // Written whole in memory first: a document that fails half-way
        // leaves nothing on standard output.
        MemoryFile memory(std::string(), "standard output");
        try {
            if (!doc.WriteToFile(memory)) Fail("the standard output was not written");
        } catch (const ToolError&) {
            throw;
        } catch (const std::exception& e) {
            Fail(e.what());
        }
        std::cout.write(memory.Bytes().data(), static_cast<std::streamsize>(memory.Bytes().size()));
        std::cout.flush();
        if (!std::cout) Fail("the standard output cannot be written");
        return;
    }
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

namespace {

bool AllDigits(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The kilometre form the tool prints ("K1+045.500", "-0+045.5", with the
// prefix of the table, or "K" when it has none) as the stake station text the
// chain table reads ("1045.500", "-45.5"); a chain letter before the
// kilometres ("KB1+100") is kept ("B1100"). None when text is not one.
std::optional<std::string> KilometreFormAsStake(std::string_view text, const ChainTable& table) {
    std::string s;
    for (const char c : text)
        if (c != ' ' && c != '\t') s += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::string prefix = table.GetPrefix();
    for (char& c : prefix) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    // "K" is the common prefix; it is one only where it cannot be chain K.
    if (prefix.empty() && table.GetBreakCount() < 'K' - 'A') prefix = "K";
    if (s.starts_with(prefix) && s.size() > prefix.size() && s[prefix.size()] != '+')
        s.erase(0, prefix.size());
    // The sign of a lettered station stands before its letter ("-A45"), of
    // a kilometre form before the kilometres ("K-0+045"); either is taken.
    std::string sign, letter;
    const auto take = [&s](std::string& into, bool what) {
        if (what) {
            into = s.substr(0, 1);
            s.erase(0, 1);
        }
    };
    take(sign, s.starts_with('-'));
    take(letter, !s.empty() && s[0] >= 'A' && s[0] <= 'Z');
    take(sign, sign.empty() && s.starts_with('-'));
    const std::size_t plus = s.find('+');
    if (plus == std::string::npos) return std::nullopt;
    const std::string km = s.substr(0, plus), metres = s.substr(plus + 1);
    const std::size_t point = metres.find('.');
    const std::string whole = metres.substr(0, point);
    const std::string fraction = point == std::string::npos ? std::string() : metres.substr(point + 1);
    // The metres of a kilometre form are below 1000: "1+2000" is a typing slip.
    if (!AllDigits(km) || !AllDigits(whole) || whole.size() > 3 ||
        (!fraction.empty() && !AllDigits(fraction)) || km.size() > 15)
        return std::nullopt;
    // Composed as text, so that no rounding comes between what was typed and
    // what the table reads.
    return sign + letter + km + std::string(3 - whole.size(), '0') + whole +
           (fraction.empty() ? std::string() : "." + fraction);
}

}  // namespace

double ParseStationText(const std::string& text) {
    const ChainTable& table = GetCurrentChainTable();
    double station = 0.0;
    if (table.ParseStake(text, station)) return station;
    ClearLastStationTextError();
    if (const std::optional<std::string> stake = KilometreFormAsStake(text, table)) {
        return table.ParseStakeOrThrow(*stake);
    }
    return table.ParseStakeOrThrow(text);
}

QStation ParseStation(const std::string& text, const std::string& what) {
    QStation station;
    try {
        station = QStation(ParseStationText(text));
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
