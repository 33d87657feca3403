// Shared pieces of the qdat tool: command and dumper tables, document loading,
// the tool's user interface.
#include <unistd.h>

#include <cmath>
#include <charconv>
#include <iostream>
#include <stdexcept>

#include "Tool.h"
#include "docbase/ArchiveEnvelope.h"
#include "host/HostFile.h"
#include "host/HostUi.h"

namespace qdat::tool {

namespace {
std::vector<Command>& CommandTable() {
    static std::vector<Command> table;
    return table;
}
std::vector<ContentDumper>& DumperTable() {
    static std::vector<ContentDumper> table;
    return table;
}

// Messages go to stderr and are remembered, so a failed read can name its cause.
class ToolUi : public ConsoleUi {
public:
    bool answerYes = false;
    std::string lastError;

    MessageAnswer ShowMessage(const std::string& text, MessageKind kind, MessageButtons buttons) override {
        if (buttons == MessageButtons::Ok) {
            if (kind == MessageKind::Error) lastError = text;
            std::cerr << (kind == MessageKind::Error ? "error: " : kind == MessageKind::Warning ? "warning: " : "")
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
            return (!line.empty() && (line[0] == 'y' || line[0] == 'Y')) ? MessageAnswer::Yes : MessageAnswer::No;
        }
        std::cerr << text << " [no]\n";
        return buttons == MessageButtons::OkCancel ? MessageAnswer::Cancel : MessageAnswer::No;
    }
};

ToolUi& TheToolUi() {
    static ToolUi ui;
    return ui;
}
}  // namespace

CommandRegistration::CommandRegistration(Command command) { CommandTable().push_back(std::move(command)); }
const std::vector<Command>& Commands() { return CommandTable(); }

DumperRegistration::DumperRegistration(ContentDumper dumper) { DumperTable().push_back(std::move(dumper)); }
const ContentDumper* FindDumper(const std::string& className) {
    for (const auto& d : DumperTable())
        if (d.className == className) return &d;
    return nullptr;
}

void InstallToolUi(bool answerYes) {
    TheToolUi().answerYes = answerYes;
    SetCurrentUi(&TheToolUi());
}

std::vector<KindMatch> MatchSignature(const std::string& signature) {
    std::vector<KindMatch> matches;
    for (const RuntimeClass* cls : RuntimeClass::All()) {
        if (!cls->IsCreatable() || cls == &QDocument::classRecord || !cls->IsDerivedFrom(QDocument::classRecord))
            continue;
        auto doc = CreateObjectAs<QDocument>(cls->GetName());
        if (doc && doc->ParseSignature(signature))
            matches.push_back({cls->GetName(), doc->GetFileVersion(), doc->GetCurrentVersion()});
    }
    return matches;
}

std::unique_ptr<QDocument> CreateDocumentFor(const std::string& path, const std::string& kindOverride) {
    if (!kindOverride.empty()) {
        const RuntimeClass* cls = RuntimeClass::FromName(kindOverride);
        if (!cls || !cls->IsDerivedFrom(QDocument::classRecord) || !cls->IsCreatable())
            throw std::runtime_error("unknown document kind " + kindOverride);
        return CreateObjectAs<QDocument>(kindOverride);
    }
    File file;
    file.Open(path, File::ModeRead);
    const ArchiveEnvelope env = ReadArchiveEnvelope(file);
    const auto matches = MatchSignature(env.signature);
    if (matches.empty())
        throw std::runtime_error(path + ": no document kind knows the signature \"" + env.signature +
                                 "\"; name one with --kind");
    return CreateObjectAs<QDocument>(matches.front().className);
}

std::unique_ptr<QDocument> LoadDocument(const std::string& path, const std::string& kindOverride) {
    if (&CurrentUi() != &TheToolUi()) InstallToolUi(false);
    auto doc = CreateDocumentFor(path, kindOverride);
    TheToolUi().lastError.clear();
    if (!ReadDocumentFile(*doc, path)) {
        const std::string why = TheToolUi().lastError.empty() ? path + ": cannot be read" : TheToolUi().lastError;
        throw std::runtime_error(why);
    }
    return doc;
}

std::string ShortNumber(double value) {
    if (!std::isfinite(value)) return "";
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

}  // namespace qdat::tool
