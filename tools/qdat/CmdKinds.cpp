// qdat kinds [--json] [--names] [--data-types]: every document kind the
// library knows, from its registry: class, type strings with their
// extensions, the version it writes, and its signature table; then the data
// types a project names its files by, from the data-type registry: id, name,
// group, extension and the class that opens them.
#include <cstdio>
#include <iostream>

#include <qdat/exchange/Descriptions.h>
#include <qdat/project/DataTypeRegistry.h>
#include "Inputs.h"
#include "Output.h"

namespace qdat::tool {
namespace {

struct KindsOptions {
    OutputOptions output;
    bool names = false;
    bool dataTypes = false;
};

void PrintDataTypes() {
    std::cout << "Data types of a project (id, name, group, extension, class):\n";
    for (const DataType* type : DataTypeRegistry::Get().All()) {
        char group[8];
        std::snprintf(group, sizeof group, "0x%04X", static_cast<unsigned>(type->GetGroup()));
        std::cout << "  " << type->GetId() << "  " << type->GetName() << "  " << group << " "
                  << type->GetGroupName() << "  ." << type->GetExtension() << "  " << type->GetClassName()
                  << (type->GetDocumentClass() ? "" : " (not in this version)") << "\n";
    }
}

int RunKinds(const KindsOptions& opt) {
    if (opt.dataTypes) {
        if (opt.output.Table()) {
            PrintDataTypes();
            return kExitOk;
        }
        // The data types are rows: JSON and CSV give the same keys.
        std::vector<Column> columns;
        std::vector<Row> rows;
        for (const DataType* type : DataTypeRegistry::Get().All()) {
            const Json j = ToJson(DataTypeSummary(*type));
            Row row;
            for (const auto& [key, value] : j.items()) {
                if (rows.empty()) columns.push_back({key});
                row.push_back({value, {}, value.is_string() ? value.get<std::string>() : value.dump()});
            }
            rows.push_back(std::move(row));
        }
        PrintRows(opt.output, columns, rows);
        return kExitOk;
    }
    if (opt.output.csv) UsageError("--csv goes with --data-types: the kinds are no rows");
    const auto kinds = DocumentKind::All();
    if (opt.names) {
        for (const DocumentKind* kind : kinds) std::cout << kind->GetName() << "\n";
        return kExitOk;
    }
    if (opt.output.json) {
        Json out = Json::array();
        for (const DocumentKind* kind : kinds) out.push_back(ToJson(KindSummary(*kind)));
        std::cout << out.dump(2) << "\n";
        return kExitOk;
    }
    for (const DocumentKind* kind : kinds) {
        const Json j = ToJson(KindSummary(*kind));
        std::cout << kind->GetName() << "  (" << kind->GetFileName() << ", ";
        for (const auto& ext : j["extensions"]) std::cout << ext.get<std::string>() << " ";
        const SignatureRule* written = kind->WrittenRule(0);
        std::cout << "writes version " << (written ? written->fileVersion : 0)
                  << (kind->GetCurrentVersion() ? "" : ", files never old")
                  << (kind->IsTextOnly() ? ", text only" : "") << ")\n";
        for (const SignatureRule& rule : kind->Description().signatures) {
            std::cout << "  "
                      << (rule.text.empty() ? std::string("(no signature)")
                                            : "\"" + PrintableSignature(rule.text) + "\"")
                      << "  version " << rule.fileVersion << ", " << SignatureUseName(rule.use);
            const Json sets = ToJson(FormatFlagNames(rule.set));
            if (!sets.empty()) std::cout << ", sets " << sets.dump();
            std::cout << "\n";
        }
    }
    std::cout << "\n";
    PrintDataTypes();
    return kExitOk;
}

std::function<int()> SetupKinds(CLI::App& app) {
    auto opt = std::make_shared<KindsOptions>();
    CLI::App* cmd =
        app.add_subcommand("kinds", "List the document kinds, their extensions, versions and signatures");
    opt->output.AddTo(cmd, "The data types as comma-separated values (with --data-types)", "Write JSON");
    CLI::Option* json = cmd->get_option("--json");
    CLI::Option* names = cmd->add_flag("--names", opt->names, "Only the class names, one a line")
                             ->excludes(json)
                             ->excludes(cmd->get_option("--csv"));
    cmd->add_flag("--data-types", opt->dataTypes,
                  "The data types of a project instead: id, name, group, extension, class")
        ->excludes(names);
    return [opt] { return RunKinds(*opt); };
}

const CommandRegistration kRegistration{{"kinds", SetupKinds}};

}  // namespace
}  // namespace qdat::tool
