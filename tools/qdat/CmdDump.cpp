// qdat dump FILE [--json]: the whole content of a data file, read without the
// open pipeline (an old file is never rewritten), with the chain table an old
// file carries. A file read only in part is shown as far as it was read, and
// the dump fails: what it shows is not the whole file.
#include <iostream>
#include <memory>
#include <string>

#include <qdat/exchange/Descriptions.h>
#include "Inputs.h"
#include "Output.h"

namespace qdat::tool {
namespace {

struct DumpOptions {
    std::string file;
    FileOptions fileOptions;
    OutputOptions output;
};

int Shown(const DumpOptions& opt, const QDocument& doc) {
    if (!doc.WasReadPartly()) return kExitOk;
    Fail(opt.file + " was read only in part; what is shown is the part that was read");
}

int RunDump(const DumpOptions& opt) {
    FileContext context(opt.fileOptions);
    std::unique_ptr<QDocument> doc = LoadDocument(opt.file, context, PartialRead::Accept);
    const std::string signature = AcceptedSignature(opt.file, *doc);
    const std::string kind = doc->GetRuntimeClass().GetName();
    const ChainTable* fileTable = FileChainTableOf(*doc);
    if (opt.output.json) {
        std::cout << ToJson(DocumentDescription(*doc, signature)).dump(2) << "\n";
        return Shown(opt, *doc);
    }
    std::cout << "file: " << opt.file << "\n"
              << "kind: " << KindFileName(*doc) << " (" << kind << ")\n"
              << "signature: " << signature << "\n"
              << "fileVersion: " << doc->GetFileVersion() << "\n"
              << "currentVersion: " << doc->GetCurrentVersion() << "\n";
    if (fileTable) {
        std::cout << "chain breaks in the file: " << fileTable->GetBreakCount() << "\n";
        for (int i = 0; i < fileTable->GetBreakCount(); ++i)
            std::cout << "  " << ShortNumber(fileTable->GetBreak(i).Before) << " = "
                      << ShortNumber(fileTable->GetBreak(i).After) << "\n";
    }
    PrintContent(*doc, std::cout);
    return Shown(opt, *doc);
}

std::function<int()> SetupDump(CLI::App& app) {
    auto opt = std::make_shared<DumpOptions>();
    CLI::App* cmd = app.add_subcommand("dump", "Show the whole content of a data file");
    cmd->add_option("FILE", opt->file, "Data file")->required();
    opt->output.AddJsonTo(cmd, "Write JSON: kind, signature, versions, the file's chain table and content");
    opt->fileOptions.AddTo(cmd);
    cmd->footer(
        "Stations, lengths and coordinates are in metres, angles in radians, grades as rise over run; the "
        "tables name each column's unit. A missing value (a point without elevation, an unset control) is a "
        "dash in the tables and null in JSON.");
    return [opt] { return RunDump(*opt); };
}

const CommandRegistration kRegistration{{"dump", SetupDump}};

}  // namespace
}  // namespace qdat::tool
