// qdat info FILE...: how each file is stored (form, layout, signature), the
// document kinds that read it, and how many rows its content holds. Only reads.
#include <algorithm>
#include <iostream>

#include <qdat/exchange/Descriptions.h>
#include "Inputs.h"
#include "Output.h"

namespace qdat::tool {
namespace {

struct InfoOptions {
    std::vector<std::string> files;
    FileOptions file;
    OutputOptions output;
};

// A kind whose files have no signature: their first line is content.
bool ReadsNoSignature(const DocumentKind& kind) {
    const auto& rules = kind.Description().signatures;
    return std::none_of(rules.begin(), rules.end(), [](const SignatureRule& r) { return r.IsRead(); });
}

Json InfoOf(const std::string& path, const InfoOptions& opt, FileContext& context) {
    const ArchiveEnvelope env = ReadFileEnvelope(path);
    const auto matches = DocumentKind::MatchSignature(env.signature);
    const SignatureRule* rule = matches.empty() ? nullptr : matches.front().rule;

    Json j;
    j["file"] = path;
    j["form"] = FileFormName(env, rule);
    j["tagged"] = env.tagged;
    j["scrambled"] = env.scrambled;
    j["legacyLayout"] = rule && (rule->set & FormatFlag::LegacyLayout) != 0;
    j["signature"] = env.signature;
    j["lengthPrefixedSignature"] = env.lengthPrefixedSignature;
    j["kinds"] = Json::array();
    for (const auto& m : matches) {
        j["kinds"].push_back({{"kind", m.kind->GetName()},
                              {"fileVersion", m.rule->fileVersion},
                              {"currentVersion", m.kind->GetCurrentVersion()},
                              {"accepted", m.rule->IsAccepted()}});
    }
    const DocumentKind* reader = matches.empty() ? nullptr : matches.front().kind;
    if (!opt.file.kind.empty()) {
        reader = DocumentKind::Find(opt.file.kind);
    } else if (matches.empty()) {
        for (const DocumentKind* kind : DocumentKind::MatchExtension(path)) {
            j["kinds"].push_back({{"kind", kind->GetName()}, {"byExtension", true}});
            if (!reader) reader = kind;
        }
    }
    if (matches.empty() && reader && ReadsNoSignature(*reader)) {
        j["signature"] = "";
        j["lengthPrefixedSignature"] = false;
    }
    if (!j["kinds"].empty() || !opt.file.kind.empty()) {
        auto doc = LoadDocument(path, context, PartialRead::Accept);
        // What was kept and where reading stopped: the note's first line.
        if (doc->WasReadPartly()) {
            const std::string note = doc->GetPartialReadNote();
            j["partialRead"] = note.substr(0, note.find('\n'));
        }
        j["count"] = ContentRowCount(*doc);
        if (const ChainTable* table = FileChainTableOf(*doc)) j["fileChainBreaks"] = table->GetBreakCount();
    }
    return j;
}

void PrintInfo(const Json& j) {
    std::cout << j["file"].get<std::string>() << '\n';
    std::cout << "  form:      " << j["form"].get<std::string>()
              << (j["legacyLayout"].get<bool>() ? " (legacy layout)" : "")
              << (j["lengthPrefixedSignature"].get<bool>() ? " (length-prefixed signature)" : "") << '\n';
    const std::string signature = j["signature"].get<std::string>();
    std::cout << "  signature: " << (signature.empty() ? "(none)" : signature) << '\n';
    if (j["kinds"].empty()) std::cout << "  kind:      (none)\n";
    for (const auto& k : j["kinds"]) {
        std::cout << "  kind:      " << k["kind"].get<std::string>();
        if (k.contains("byExtension"))
            std::cout << ", by its extension (no signature it knows)";
        else
            std::cout << ", file version " << k["fileVersion"] << " (current " << k["currentVersion"] << ")"
                      << (k["accepted"].get<bool>() ? "" : ", read as a file without signature");
        std::cout << '\n';
    }
    if (j.contains("partialRead"))
        std::cout << "  read only in part: " << j["partialRead"].get<std::string>() << '\n';
    if (j.contains("count")) std::cout << "  count:     " << j["count"] << '\n';
    if (j.contains("fileChainBreaks"))
        std::cout << "  chain breaks in the file: " << j["fileChainBreaks"] << '\n';
}

int RunInfo(const InfoOptions& opt) {
    int status = kExitOk;
    Json rows = Json::array();  // --csv: one line a file, after them all
    for (const std::string& path : opt.files) {
        try {
            // Each file under a context of its own, while it is read and shown.
            FileContext context(opt.file);
            const Json j = InfoOf(path, opt, context);
            if (opt.output.json)
                std::cout << j.dump() << '\n';
            else if (opt.output.csv)
                rows.push_back(j);
            else
                PrintInfo(j);
        } catch (const ToolError& e) {
            // One file's fault does not stop the others.
            std::cerr << "qdat info: " << e.what() << '\n';
            status = kExitFailure;
        }
    }
    if (opt.output.csv) PrintJsonAsCsv(rows);
    return status;
}

CommandRegistration reg{{"info", [](CLI::App& app) -> std::function<int()> {
                             auto* sub = app.add_subcommand(
                                 "info", "Show the form, signature and kind of data files");
                             auto opt = std::make_shared<InfoOptions>();
                             sub->add_option("FILE", opt->files, "Data files")->required();
                             opt->output.AddTo(sub, "CSV, one line a file (files that fail are left out)",
                                               "One JSON object per file");
                             opt->file.AddTo(sub);
                             return [opt] { return RunInfo(*opt); };
                         }}};

}  // namespace
}  // namespace qdat::tool
