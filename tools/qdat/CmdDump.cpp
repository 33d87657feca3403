// qdat dump FILE [--json] [--kind CLASS]: the whole content of a data file,
// read without the open pipeline (an old file is never rewritten).
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "Tool.h"
#include "docbase/ArchiveEnvelope.h"
#include "host/HostFile.h"

namespace qdat::tool {
namespace {

struct DumpOptions {
    std::string file;
    std::string kind;
    bool json = false;
};

// The signature the document accepted, as compared (trimmed, upper case);
// empty when the file has none the document knows.
std::string AcceptedSignature(const std::string& path, const QDocument& doc) {
    if (doc.GetFileVersion() == 0) return {};
    File file;
    file.Open(path, File::ModeRead | File::ShareDenyWrite);
    return ReadArchiveEnvelope(file).signature;
}

std::string CellText(const nlohmann::json& value) {
    if (value.is_number_float()) return ShortNumber(value.get<double>());
    if (value.is_string()) return value.get<std::string>();
    return value.dump();
}

// The keys of a record in the order they are shown: the station first (the
// key rows are sorted by), then the others.
std::vector<std::string> ColumnOrder(const nlohmann::json& record) {
    std::vector<std::string> keys;
    if (record.contains("station")) keys.push_back("station");
    for (const auto& [key, cell] : record.items())
        if (key != "station") keys.push_back(key);
    return keys;
}

// Text form of a content object: plain values as "key: value", arrays of
// records as a table with one row per record.
void PrintContent(const nlohmann::json& content, std::ostream& out) {
    for (const auto& [key, value] : content.items()) {
        if (value.is_array() && (value.empty() || value.front().is_object())) {
            out << key << ": " << value.size() << "\n";
            if (value.empty()) continue;
            const std::vector<std::string> columns = ColumnOrder(value.front());
            out << " ";
            for (const std::string& column : columns) out << " " << column;
            out << "\n";
            for (const auto& row : value) {
                out << " ";
                for (const std::string& column : columns)
                    out << " " << (row.contains(column) ? CellText(row[column]) : std::string("-"));
                out << "\n";
            }
        } else {
            out << key << ": " << CellText(value) << "\n";
        }
    }
}

int RunDump(const DumpOptions& opt) {
    std::unique_ptr<QDocument> doc;
    std::string signature;
    try {
        doc = LoadDocument(opt.file, opt.kind);
        signature = AcceptedSignature(opt.file, *doc);
    } catch (const std::exception& e) {
        std::cerr << "qdat dump: " << e.what() << "\n";
        return 1;
    }
    const std::string kind = doc->GetRuntimeClass().GetName();
    const ContentDumper* dumper = FindDumper(kind);
    nlohmann::json content = dumper ? dumper->content(*doc) : nlohmann::json::object();

    if (opt.json) {
        nlohmann::json out{{"kind", kind},
                           {"signature", signature},
                           {"fileVersion", doc->GetFileVersion()},
                           {"currentVersion", doc->GetCurrentVersion()},
                           {"content", content}};
        std::cout << out.dump(2) << "\n";
    } else {
        std::cout << "file: " << opt.file << "\n"
                  << "kind: " << kind << "\n"
                  << "signature: " << signature << "\n"
                  << "fileVersion: " << doc->GetFileVersion() << "\n"
                  << "currentVersion: " << doc->GetCurrentVersion() << "\n";
        if (!dumper) std::cout << "(no content dumper for " << kind << ")\n";
        PrintContent(content, std::cout);
    }
    return 0;
}

std::function<int()> SetupDump(CLI::App& app) {
    auto opt = std::make_shared<DumpOptions>();
    CLI::App* cmd = app.add_subcommand("dump", "Show the whole content of a data file");
    cmd->add_option("FILE", opt->file, "Data file")->required();
    cmd->add_flag("--json", opt->json, "Write JSON: kind, signature, versions and content");
    cmd->add_option("--kind", opt->kind, "Document class for a file without a usable signature");
    return [opt] { return RunDump(*opt); };
}

const CommandRegistration kRegistration{{"dump", SetupDump}};

}  // namespace
}  // namespace qdat::tool
