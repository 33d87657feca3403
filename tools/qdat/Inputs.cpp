// The file options, the context of each input file, detecting kinds and
// loading documents and projects.
#include "Inputs.h"

#include <algorithm>
#include <iostream>
#include <iterator>
#include <map>

#include <qdat/docbase/DataArchive.h>
#include <qdat/host/HostException.h>
#include <qdat/host/HostFile.h>
#include <qdat/project/PrjFile.h>
#include "Output.h"

namespace qdat::tool {

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

// ---------------------------------------------------------------------------
// File options

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

// ---------------------------------------------------------------------------
// The context of a file

namespace {

// A fresh context with the settings of the one current so far.
Context& Prepared(Context& context) {
    // All but the chain table and its last error, which are the file's own.
    context.TakeSettingsFrom(Context::Current());
    return context;
}

}  // namespace

FileContext::FileContext(const FileOptions& options) : m_options(options), m_scope(Prepared(m_context)) {
    // The project's chain table and station precision; the chain table is
    // then the one GetChainTable checked.
    if (!options.project.empty()) LoadedProject(options.project).ApplyProjectSettings();
    SetChainTable(options.GetChainTable());
}

const ChainTable& FileContext::Chain() const {
    // Made by the constructor.
    return *m_context.chainTable;
}

void FileContext::SetChainTable(const ChainTable& table) {
    std::call_once(m_context.chainTableMade,
                   [this] { m_context.chainTable = std::make_shared<ChainTable>(); });
    *m_context.chainTable = table;
}

void FileContext::SetPrecision(int places) {
    SetStationPrecisionValue(places);
}

void FileContext::BeforeRead() {
    SetChainTable(m_options.GetChainTable());
}

void FileContext::AfterRead(const QDocument& doc) {
    if (m_options.GivesChainTable()) {
        SetChainTable(m_options.GetChainTable());
    } else if (const ChainTable* carried = FileChainTableOf(doc)) {
        SetChainTable(*carried);
    } else {
        SetChainTable(ChainTable());
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

std::unique_ptr<QDocument> LoadDocument(const std::string& path, FileContext& context, PartialRead partial) {
    const FileOptions& options = context.Options();
    return LoadDocumentAs(path, DetectKind(path, options.kind, options.takesKind), context, partial);
}

std::unique_ptr<QDocument> LoadDocumentAs(const std::string& path, const DocumentKind& kind,
                                          FileContext& context, PartialRead partial) {
    context.BeforeRead();
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
    context.AfterRead(*doc);
    return doc;
}

void SortForThisRun(QDocument& doc, const std::string& path, const std::string& command, const char* rows) {
    if (!doc.NeedsRepair()) return;
    std::cerr << "qdat " << command << ": " << path << ": " << rows
              << " not in station order; sorted for this run\n";
    doc.Repair();
}

namespace {

// Why there is no section at the station: the sections either side of it.
std::string NoSectionMessage(const HDMFlie& hdm, const std::string& file, const QStation& station) {
    std::string message = file + ": no section at " + ShortNumber(station.GetValue());
    const GrowArray<CrossSection>& sections = hdm.Sections().GetRows();
    const CrossSection* before = nullptr;
    const CrossSection* after = nullptr;
    for (const CrossSection& s : sections) {
        if (s.m_station < station) before = &s;
        if (s.m_station > station && !after) after = &s;
    }
    if (!before && !after) return message + "; the file holds no sections";
    message += "; the nearest ";
    if (before && after)
        return message + "are at " + ShortNumber(before->m_station.GetValue()) + " and " +
               ShortNumber(after->m_station.GetValue());
    const CrossSection* only = before ? before : after;
    return message + "is at " + ShortNumber(only->m_station.GetValue()) +
           (before ? ", the last section" : ", the first section");
}

}  // namespace

std::unique_ptr<QZdmFile> LoadProfile(const std::string& path, FileContext& context,
                                      const std::string& command) {
    auto doc = LoadDocumentOfKind<QZdmFile>(path, context, "a vertical profile");
    SortForThisRun(*doc, path, command, "the points are");
    return doc;
}

std::unique_ptr<DmxFile> LoadGroundLine(const std::string& path, FileContext& context) {
    return LoadDocumentOfKind<DmxFile>(path, context, "a profile ground line");
}

std::unique_ptr<HDMFlie> LoadSections(const std::string& path, FileContext& context,
                                      const std::string& command) {
    auto doc = LoadDocumentOfKind<HDMFlie>(path, context, "a cross-section file");
    SortForThisRun(*doc, path, command, "the sections are");
    return doc;
}

const CrossSection& SectionAtOrFail(HDMFlie& hdm, const std::string& path, const QStation& station) {
    if (!hdm.SeekStation(station)) Fail(NoSectionMessage(hdm, path, station));
    return *hdm.GetCurrentSection();
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

}  // namespace qdat::tool
