// The upgrade of an old project: every data file it names that writing in
// the current version would change is written again, after a backup.
#include <algorithm>
#include <sstream>

#include <qdat/docbase/ArchiveEnvelope.h>
#include <qdat/host/HostFile.h>
#include <qdat/host/HostPaths.h>
#include <qdat/host/HostUi.h>
#include <qdat/host/Resources.h>
#include <qdat/project/PrjFile.h>
#include <qdat/project/ProjectPaths.h>
#include <qdat/project/detail/PrjFileShared.h>
#include <qdat/project/detail/ProjectStrings.h>

namespace qdat {

namespace {

using namespace prj_file;
namespace strings = project_strings;

// Passes the user's interface through, and keeps the last error shown; while
// quiet, errors are only kept.
class ErrorKeeper : public ForwardingUi {
public:
    using ForwardingUi::ForwardingUi;
    MessageAnswer ShowMessage(const std::string& text, MessageKind kind, MessageButtons buttons) override {
        if (kind == MessageKind::Error && buttons == MessageButtons::Ok) {
            lastError = text;
            if (quiet) return MessageAnswer::Ok;
        }
        return ForwardingUi::ShowMessage(text, kind, buttons);
    }

    std::string Take(const std::string& otherwise) {
        std::string text = lastError.empty() ? otherwise : lastError;
        lastError.clear();
        return text;
    }

    bool quiet = false;
    std::string lastError;
};

std::string ReadWholeFile(const std::string& path) {
    File file;
    file.Open(path, File::ModeRead);
    std::string bytes(static_cast<std::size_t>(file.GetLength()), '\0');
    bytes.resize(file.Read(bytes.data(), bytes.size()));
    return bytes;
}

// Whether the file begins as a file of the document's kind: with a
// signature of its kind, or as an old layout without one that the kind reads
// as such. A kind that reads any file from its first byte (the ditch-bottom
// file) would otherwise take a plain table of numbers for one of its own,
// and the upgrade would write a signature in front of it.
bool ReadsAsItsKind(const QDocument& doc, const std::string& path) {
    const DocumentKind* kind = doc.GetKind();
    if (!kind) return false;
    try {
        File file;
        file.Open(path, File::ModeRead);
        const SignatureRule& rule = kind->RuleFor(NormalizeSignature(ReadArchiveEnvelope(file).signature));
        return &rule != &kind->Description().unknownSignature || rule.fileVersion != 0;
    } catch (const std::exception&) {
        return false;  // changed since it was read: not this upgrade's to write
    }
}

std::string BreaksText(const ChainTable& table) {
    if (table.IsEmpty()) return "none";
    std::string text;
    for (int i = 0; i < table.GetBreakCount(); ++i) {
        std::ostringstream one;
        one.precision(15);
        one << table.GetBreak(i).Before << " = " << table.GetBreak(i).After;
        text += (i ? ", " : "") + one.str();
    }
    return text;
}

// Why a file that carries a chain table of its own is not written under the
// project's: its stations would be written as text of the project's chains,
// and its own breaks lost. Empty when it carries none, or the project's.
std::string OwnChainTableDiffers(const QDocument& doc, const ChainTable& project) {
    const auto* carrier = dynamic_cast<const ChainTableCarrier*>(&doc);
    if (!carrier || !carrier->GetFileChainTable() || carrier->GetFileChainTable()->IsEmpty()) return {};
    ChainTable own = *carrier->GetFileChainTable();
    own.SetPrefix(project.GetPrefix());  // old files keep no prefix: only the breaks count
    if (own == project) return {};
    return "it carries chain breaks of its own (" + BreaksText(own) + ") other than the project's (" +
           BreaksText(project) + ")";
}

// Whether the user may write the file: a read-only file stays as it is, also
// for a user whom the system would let write it.
bool MayBeWritten(const std::string& path) {
    return MayWriteFile(path);
}

// The file as the open pipeline would write it back: in text form, current version.
bool WrittenText(QDocument& doc, std::string& text) {
    doc.SetTextForm(true);
    doc.SetTaggedForm(false);
    doc.SetScrambledForm(false);
    doc.SetLegacyLayout(false);
    MemoryFile out(std::string(), "upgrade");
    if (!doc.WriteToFile(out)) return false;
    text = out.Bytes();
    return true;
}

}  // namespace

bool PrjFile::UpgradeDataFiles(ProjectUpgradeReport& r) {
    ErrorKeeper keeper(CurrentUi());
    ScopedUi scoped(keeper);
    struct Work {
        std::string path;
        const DataType* type;
    };
    std::vector<Work> work;
    std::vector<std::string> seen;
    // Which files writing in the current version would change. Reading here
    // changes nothing and asks nothing.
    keeper.quiet = true;
    for (const ProjectFileEntry& entry : Project().entries) {
        const std::string path = GetEntryPath(entry.typeId);
        if (path.empty()) continue;
        if (std::any_of(seen.begin(), seen.end(),
                        [&](const std::string& p) { return SameResolvedPath(p, path); }))
            continue;
        seen.push_back(path);
        if (IsOtherThanRegularFile(path)) {
            // A pipe would hold the read up for ever; a device is no data file.
            r.leftAlone.emplace_back(path, "it is not a regular file");
            continue;
        }
        if (!ResolvedFileExists(path)) {
            r.missing.push_back(path);
            continue;
        }
        std::unique_ptr<QDocument> doc = entry.type->CreateDocument();
        if (!doc) {
            r.leftAlone.emplace_back(path,
                                     "no document class " + entry.type->GetClassName() + " reads it here");
            continue;
        }
        const bool read = ReadDocumentFile(*doc, path);
        // A file read on its own makes the chain table it carries the current
        // one; the next file is read, and every file written, under the project's.
        GetCurrentChainTable() = Project().chainTable;
        if (!read) {
            r.leftAlone.emplace_back(path, keeper.Take("it cannot be read"));
            continue;
        }
        if (doc->WasReadPartly()) {
            r.leftAlone.emplace_back(path, doc->GetPartialReadNote());
            continue;
        }
        if (!ReadsAsItsKind(*doc, path)) {
            r.leftAlone.emplace_back(
                path, "it does not begin with a signature of its kind (" + entry.type->GetName() + ")");
            continue;
        }
        if (const std::string differs = OwnChainTableDiffers(*doc, Project().chainTable); !differs.empty()) {
            r.leftAlone.emplace_back(path, differs);
            continue;
        }
        std::string text;
        try {
            if (!WrittenText(*doc, text)) throw std::runtime_error("it cannot be written");
            if (text == ReadWholeFile(path)) {
                r.current.push_back(path);
                continue;
            }
        } catch (const std::exception& e) {
            r.leftAlone.emplace_back(path, e.what());
            continue;
        }
        if (!m_outsideFolder && !LiesInsideFolder(GetProjectDir(), path)) {
            r.leftAlone.emplace_back(path, kOutsideFolder);
            continue;
        }
        if (!MayBeWritten(path)) {
            r.leftAlone.emplace_back(path, "it may not be written");
            continue;
        }
        work.push_back({path, entry.type});
    }
    keeper.quiet = false;
    if (work.empty() && GetFileVersion() >= GetCurrentVersion()) return true;

    ProjectBackupResult backup;
    if (!MakeBackup(std::string(), &backup, CabinetOptions(), false)) {
        r.failure = "the backup before the upgrade failed: " + backup.error;
        return false;
    }
    r.backup = backup.cabinets.front();
    r.backupLeftOut = backup.leftOut;
    for (const Work& w : work) {
        std::unique_ptr<QDocument> doc = w.type->CreateDocument();
        keeper.lastError.clear();
        if (!doc->OnOpenDocument(w.path)) {
            r.leftAlone.emplace_back(w.path, keeper.Take("it cannot be opened"));
        } else if (doc->WasReadPartly()) {
            r.leftAlone.emplace_back(w.path, doc->GetPartialReadNote());
        } else if (!doc->OnSaveDocument(w.path)) {
            r.leftAlone.emplace_back(w.path, keeper.Take("it cannot be written"));
        } else {
            r.upgraded.push_back(w.path);
        }
    }
    return true;
}

bool PrjFile::RefuseUpgradeOfPartialRead(ProjectUpgradeReport& r) {
    // The settings after the point where the read stopped are unknown: the
    // files would be written with another station precision or chain table
    // than the project's.
    if (!WasReadPartly()) return false;
    r.failure = "the project file was read only in part: " + GetPartialReadNote();
    TellUpgradeResult(r, false, false);
    return true;
}

void PrjFile::TellUpgradeResult(const ProjectUpgradeReport& r, bool upgraded, bool tellDone) {
    if (!upgraded) {
        ShowError(FormatResource(strings::kUpgradeNotStarted, r.failure.c_str()));
        return;
    }
    if (!r.leftAlone.empty()) {
        std::string list;
        for (const auto& [path, why] : r.leftAlone) list += path + ": " + why + "\n";
        CurrentUi().ShowMessage(FormatResource(strings::kUpgradeLeftAlone, list.c_str()),
                                MessageKind::Warning, MessageButtons::Ok);
    }
    if (tellDone)
        CurrentUi().ShowMessage(LoadResourceString(strings::kUpgradeDone), MessageKind::Information,
                                MessageButtons::Ok);
}

void PrjFile::UpgradeOnOpen() {
    m_openUpgrade = ProjectUpgradeReport();
    if (RefuseUpgradeOfPartialRead(m_openUpgrade)) return;
    // The files are written as the project reads them: with its chain table
    // and its station precision (fewer decimals would cut its stations).
    const ChainTable remembered = GetCurrentChainTable();
    const int precision = GetStationPrecision();
    ApplyProjectSettings();
    const bool upgraded = UpgradeDataFiles(m_openUpgrade);
    GetCurrentChainTable() = remembered;
    SetStationPrecisionValue(precision);
    // Without a backup the project stays as it is on disk, old, so that the
    // upgrade is offered again when it is next opened.
    if (!upgraded) SetModifiedFlag(false);
    TellUpgradeResult(m_openUpgrade, upgraded, false);
}

bool PrjFile::UpgradeProjectFiles(ProjectUpgradeReport* report) {
    ProjectUpgradeReport local;
    ProjectUpgradeReport& r = report ? *report : local;
    r = ProjectUpgradeReport();
    if (RefuseUpgradeOfPartialRead(r)) return false;
    ApplyProjectSettings();
    const bool upgraded = UpgradeDataFiles(r);
    // Saved after the data files, so that its fingerprints are theirs.
    if (upgraded && HasFilePath() &&
        (IsModified() || !r.upgraded.empty() || GetFileVersion() < GetCurrentVersion()))
        SaveProject();
    TellUpgradeResult(r, upgraded, true);
    return upgraded && r.leftAlone.empty();
}

}  // namespace qdat
