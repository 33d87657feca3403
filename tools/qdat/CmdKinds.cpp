// qdat kinds [--json] [--names] [--data-types]: every document kind the
// library knows, from its registry: class, type strings with their
// extensions, the version it writes, and its signature table; then the data
// types a project names its files by, from the data-type registry: id, name,
// group, extension and the class that opens them.
#include <cstdio>
#include <iostream>

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

const char* UseName(SignatureUse use) {
    switch (use) {
        case SignatureUse::Accepted:
            return "read";
        case SignatureUse::Written:
            return "read and written";
        case SignatureUse::Refused:
            return "recognised, read as without signature";
        case SignatureUse::WrittenOnly:
            return "written";
    }
    return "";
}

Json FlagNames(std::uint32_t flags) {
    static const std::pair<std::uint32_t, const char*> kNames[] = {
        {FormatFlag::TextForm, "text"},           {FormatFlag::TaggedForm, "tagged"},
        {FormatFlag::ScrambledForm, "scrambled"}, {FormatFlag::LegacyLayout, "legacyLayout"},
        {FormatFlag::NzsVariant, "nzsVariant"},   {FormatFlag::RailwayVariant, "railwayVariant"},
    };
    Json out = Json::array();
    for (const auto& [bit, name] : kNames)
        if (flags & bit) out.push_back(name);
    return out;
}

// A signature as text a terminal shows: bytes below the space as \xNN.
std::string Printable(std::string_view text) {
    std::string out;
    for (unsigned char c : text) {
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            static const char* digits = "0123456789ABCDEF";
            out += "\\x";
            out += digits[c >> 4];
            out += digits[c & 0xF];
        }
    }
    return out;
}

Json RuleJson(const SignatureRule& rule) {
    return {{"signature", Printable(rule.text)},
            {"fileVersion", rule.fileVersion},
            {"use", UseName(rule.use)},
            {"sets", FlagNames(rule.set)},
            {"clears", FlagNames(rule.clear)}};
}

Json KindJson(const DocumentKind& kind) {
    const KindDescription& d = kind.Description();
    Json types = Json::array();
    for (const TypeString& t : d.typeStrings)
        types.push_back({{"id", t.id},
                         {"name", std::string(t.Field(0).substr(0, t.Field(0).find('|')))},
                         {"extension", std::string(t.Extension())},
                         {"group", t.projectGroup}});
    Json signatures = Json::array();
    for (const SignatureRule& rule : d.signatures) signatures.push_back(RuleJson(rule));
    Json content = Json::array();
    for (const ContentBlock& block : d.content) {
        Json columns = Json::array();
        for (const ColumnDescription& c : block.columns) columns.push_back(c.key);
        Json entry{{"list", block.key ? block.key : ""}, {"columns", columns}};
        for (const RowList& list : block.rowLists) {
            Json listColumns = Json::array();
            for (const ColumnDescription& c : list.columns) listColumns.push_back(c.key);
            entry["rowLists"].push_back({{"list", list.key}, {"columns", listColumns}});
        }
        content.push_back(std::move(entry));
    }
    return {{"kind", kind.GetName()},
            {"fileName", kind.GetFileName()},
            {"typeStrings", types},
            {"extensions", kind.GetExtensions()},
            {"currentVersion", d.currentVersion},
            {"textOnly", d.textOnly},
            {"legacyLayout", kind.HasLegacyLayout()},
            {"signatures", signatures},
            {"otherSignatures", RuleJson(d.unknownSignature)},
            {"content", content}};
}

Json DataTypeJson(const DataType& type) {
    return {{"id", type.GetId()},
            {"name", type.GetName()},
            {"group", type.GetGroup()},
            {"groupName", type.GetGroupName()},
            {"extension", type.GetExtension()},
            {"class", type.GetClassName()},
            {"available", type.GetDocumentClass() != nullptr}};
}

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
            const Json j = DataTypeJson(*type);
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
        for (const DocumentKind* kind : kinds) out.push_back(KindJson(*kind));
        std::cout << out.dump(2) << "\n";
        return kExitOk;
    }
    for (const DocumentKind* kind : kinds) {
        const Json j = KindJson(*kind);
        std::cout << kind->GetName() << "  (" << kind->GetFileName() << ", ";
        for (const auto& ext : j["extensions"]) std::cout << ext.get<std::string>() << " ";
        const SignatureRule* written = kind->WrittenRule(0);
        std::cout << "writes version " << (written ? written->fileVersion : 0)
                  << (kind->GetCurrentVersion() ? "" : ", files never old")
                  << (kind->IsTextOnly() ? ", text only" : "") << ")\n";
        for (const SignatureRule& rule : kind->Description().signatures) {
            std::cout << "  "
                      << (rule.text.empty() ? std::string("(no signature)")
                                            : "\"" + Printable(rule.text) + "\"")
                      << "  version " << rule.fileVersion << ", " << UseName(rule.use);
            const Json sets = FlagNames(rule.set);
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
