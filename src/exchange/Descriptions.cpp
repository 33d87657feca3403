// The descriptions of documents, kinds and projects as data.
#include <qdat/exchange/Descriptions.h>

#include <cmath>
#include <span>

#include <qdat/docbase/ArchiveEnvelope.h>
#include <qdat/docbase/FormatFlags.h>
#include <qdat/host/HostFile.h>
#include <qdat/project/FileFingerprint.h>
#include <qdat/project/ProjectPaths.h>
#include <qdat/project/SettingKeyRegistry.h>

namespace qdat {

// ---------------------------------------------------------------------------
// Files

const DocumentKind* KindOfFile(const std::string& path) {
    File file;
    file.Open(path, File::ModeRead);
    const ArchiveEnvelope env = ReadArchiveEnvelope(file);
    const auto bySignature = DocumentKind::MatchSignature(env.signature);
    if (!bySignature.empty()) return bySignature.front().kind;
    const auto byExtension = DocumentKind::MatchExtension(path);
    return byExtension.empty() ? nullptr : byExtension.front();
}

std::string AcceptedSignature(const std::string& path, const QDocument& doc) {
    File file;
    file.Open(path, File::ModeRead);
    const std::string signature = ReadArchiveEnvelope(file).signature;
    const DocumentKind* kind = doc.GetKind();
    return kind && kind->RuleFor(signature).IsAccepted() ? signature : std::string();
}

const char* FileFormName(const ArchiveEnvelope& env, const SignatureRule* rule) {
    if (!env.hasHeader) return rule && (rule->clear & FormatFlag::TextForm) ? "binary" : "text";
    if (env.scrambled) return "scrambled";
    if (env.tagged) return "tagged";
    return "binary";
}

const ChainTable* FileChainTableOf(const QDocument& doc) {
    const auto* carrier = dynamic_cast<const ChainTableCarrier*>(&doc);
    return carrier && carrier->GetFileChainTable() ? &*carrier->GetFileChainTable() : nullptr;
}

// ---------------------------------------------------------------------------
// Documents

namespace {

DataValue Cell(const ColumnDescription& column, const void* row) {
    if (column.kind == ColumnDescription::Kind::Text) return column.getText(row);
    const double value = column.get(row);
    if (column.IsNoValue(value) || !std::isfinite(value)) return nullptr;
    switch (column.kind) {
        case ColumnDescription::Kind::Integer:
            return static_cast<std::int64_t>(value);
        case ColumnDescription::Kind::Unsigned:
            return static_cast<std::uint64_t>(value);
        default:
            return value;
    }
}

DataValue RecordOf(std::span<const ColumnDescription> columns, std::span<const RowList> lists,
                   const void* row) {
    DataValue record = DataValue::Object();
    for (const ColumnDescription& column : columns) record[column.key] = Cell(column, row);
    for (const RowList& list : lists) {
        DataValue items = DataValue::Array();
        const int count = list.count(row);
        for (int i = 0; i < count; ++i) items.Push(RecordOf(list.columns, {}, list.item(row, i)));
        record[list.key] = std::move(items);
    }
    return record;
}

}  // namespace

DataValue RowDescription(std::span<const ColumnDescription> columns, const void* row) {
    return RecordOf(columns, {}, row);
}

DataValue ChainTableDescription(const ChainTable& table) {
    DataValue breaks = DataValue::Array();
    for (int i = 0; i < table.GetBreakCount(); ++i)
        breaks.Push(
            DataValue::Fields{{"before", table.GetBreak(i).Before}, {"after", table.GetBreak(i).After}});
    return DataValue::Fields{{"prefix", table.GetPrefix()}, {"breaks", std::move(breaks)}};
}

DataValue ContentDescription(QDocument& doc) {
    DataValue out = DataValue::Object();
    const DocumentKind* kind = doc.GetKind();
    if (!kind) return out;
    for (const ContentBlock& block : kind->GetContent()) {
        if (!block.IsList()) {
            const void* row = block.row(doc, 0);
            for (const ColumnDescription& column : block.columns) out[column.key] = Cell(column, row);
            continue;
        }
        DataValue rows = DataValue::Array();
        const int count = block.count(doc);
        for (int i = 0; i < count; ++i) rows.Push(RecordOf(block.columns, block.rowLists, block.row(doc, i)));
        out[block.key] = std::move(rows);
    }
    return out;
}

std::size_t ContentRowCount(QDocument& doc) {
    std::size_t count = 0;
    if (const DocumentKind* kind = doc.GetKind()) {
        for (const ContentBlock& block : kind->GetContent())
            if (block.IsList()) count += static_cast<std::size_t>(block.count(doc));
    }
    return count;
}

DataValue DocumentDescription(QDocument& doc, const std::string& signature) {
    DataValue out = DataValue::Fields{{"kind", doc.GetRuntimeClass().GetName()},
                                      {"signature", signature},
                                      {"fileVersion", doc.GetFileVersion()},
                                      {"currentVersion", doc.GetCurrentVersion()}};
    if (const ChainTable* fileTable = FileChainTableOf(doc))
        out["fileChainTable"] = ChainTableDescription(*fileTable);
    if (doc.WasReadPartly()) out["partialRead"] = doc.GetPartialReadNote();
    out["content"] = ContentDescription(doc);
    return out;
}

// ---------------------------------------------------------------------------
// Kinds and data types

const char* SignatureUseName(SignatureUse use) {
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

DataValue FormatFlagNames(std::uint32_t flags) {
    static const std::pair<std::uint32_t, const char*> kNames[] = {
        {FormatFlag::TextForm, "text"},           {FormatFlag::TaggedForm, "tagged"},
        {FormatFlag::ScrambledForm, "scrambled"}, {FormatFlag::LegacyLayout, "legacyLayout"},
        {FormatFlag::NzsVariant, "nzsVariant"},   {FormatFlag::RailwayVariant, "railwayVariant"},
    };
    DataValue out = DataValue::Array();
    for (const auto& [bit, name] : kNames)
        if (flags & bit) out.Push(name);
    return out;
}

std::string PrintableSignature(std::string_view text) {
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

namespace {

DataValue RuleSummary(const SignatureRule& rule) {
    return DataValue::Fields{{"signature", PrintableSignature(rule.text)},
                             {"fileVersion", rule.fileVersion},
                             {"use", SignatureUseName(rule.use)},
                             {"sets", FormatFlagNames(rule.set)},
                             {"clears", FormatFlagNames(rule.clear)}};
}

DataValue ColumnKeys(std::span<const ColumnDescription> columns) {
    DataValue keys = DataValue::Array();
    for (const ColumnDescription& c : columns) keys.Push(c.key);
    return keys;
}

}  // namespace

DataValue KindSummary(const DocumentKind& kind) {
    const KindDescription& d = kind.Description();
    DataValue types = DataValue::Array();
    for (const TypeString& t : d.typeStrings)
        types.Push(DataValue::Fields{{"id", t.id},
                                     {"name", std::string(t.Field(0).substr(0, t.Field(0).find('|')))},
                                     {"extension", std::string(t.Extension())},
                                     {"group", t.projectGroup}});
    DataValue signatures = DataValue::Array();
    for (const SignatureRule& rule : d.signatures) signatures.Push(RuleSummary(rule));
    DataValue content = DataValue::Array();
    for (const ContentBlock& block : d.content) {
        DataValue entry =
            DataValue::Fields{{"list", block.key ? block.key : ""}, {"columns", ColumnKeys(block.columns)}};
        for (const RowList& list : block.rowLists)
            entry["rowLists"].Push(
                DataValue::Fields{{"list", list.key}, {"columns", ColumnKeys(list.columns)}});
        content.Push(std::move(entry));
    }
    DataValue extensions = DataValue::Array();
    for (const std::string& extension : kind.GetExtensions()) extensions.Push(extension);
    return DataValue::Fields{{"kind", kind.GetName()},
                             {"fileName", std::string(kind.GetFileName())},
                             {"typeStrings", std::move(types)},
                             {"extensions", std::move(extensions)},
                             {"currentVersion", d.currentVersion},
                             {"textOnly", d.textOnly},
                             {"legacyLayout", kind.HasLegacyLayout()},
                             {"signatures", std::move(signatures)},
                             {"otherSignatures", RuleSummary(d.unknownSignature)},
                             {"content", std::move(content)}};
}

DataValue KindSummaries() {
    DataValue out = DataValue::Array();
    for (const DocumentKind* kind : DocumentKind::All()) out.Push(KindSummary(*kind));
    return out;
}

DataValue DataTypeSummary(const DataType& type) {
    return DataValue::Fields{{"id", type.GetId()},
                             {"name", type.GetName()},
                             {"group", type.GetGroup()},
                             {"groupName", type.GetGroupName()},
                             {"extension", type.GetExtension()},
                             {"class", type.GetClassName()},
                             {"available", type.GetDocumentClass() != nullptr}};
}

// ---------------------------------------------------------------------------
// Projects

namespace {

// Whether the entry's file still has the fingerprint the project recorded;
// none when the file is not there or no fingerprint was recorded.
DataValue FingerprintMatch(PrjFile& project, const ProjectFileEntry& entry, bool exists) {
    if (!exists) return nullptr;
    const bool recorded = entry.fingerprint != Fingerprint{};
    Fingerprint now{};
    if (!recorded &&
        !(ComputeFileFingerprint(project.GetEntryPath(entry.typeId), now) && now == Fingerprint{}))
        return nullptr;
    return project.IsEntryFileUnchanged(entry.typeId);
}

DataValue SettingsOf(const std::vector<SettingValue>& values) {
    DataValue out = DataValue::Array();
    for (const SettingValue& v : values) {
        if (v.value.empty()) continue;
        const SettingKey* key = SettingKeyRegistry::Get().Find(v.keyId);
        out.Push(
            DataValue::Fields{{"key", v.keyId}, {"name", key ? key->GetName() : ""}, {"value", v.value}});
    }
    return out;
}

DataValue LinesOf(const std::vector<ProjectLine>& lines) {
    DataValue out = DataValue::Array();
    for (const ProjectLine& line : lines) out.Push(line.hasValue ? line.key + " = " + line.value : line.key);
    return out;
}

DataValue NotesOf(const std::vector<ProjectFileNote>& notes) {
    DataValue out = DataValue::Array();
    for (const auto& [path, why] : notes) out.Push(DataValue::Fields{{"path", path}, {"reason", why}});
    return out;
}

DataValue PathsOf(const std::vector<std::string>& paths) {
    DataValue out = DataValue::Array();
    for (const std::string& path : paths) out.Push(path);
    return out;
}

}  // namespace

DataValue ProjectDescription(PrjFile& project, const std::string& signature) {
    DataValue entries = DataValue::Array();
    for (const ProjectFileEntry& entry : project.GetEntries()) {
        if (entry.storedPath.empty()) continue;
        const std::string resolved = project.GetEntryPath(entry.typeId);
        const bool exists = ResolvedFileExists(resolved);
        entries.Push(DataValue::Fields{{"typeId", entry.typeId},
                                       {"name", entry.type->GetName()},
                                       {"group", entry.type->GetGroupName()},
                                       {"class", entry.type->GetClassName()},
                                       {"storedPath", entry.storedPath},
                                       {"resolvedPath", resolved},
                                       {"exists", exists},
                                       {"fingerprintMatches", FingerprintMatch(project, entry, exists)}});
    }
    // The global values, then the keys the project derives or keeps elsewhere.
    DataValue settings = SettingsOf(project.GetGlobalValues());
    for (std::uint32_t id : {SettingKeyRegistry::kChainPrefix, SettingKeyRegistry::kStartStation,
                             SettingKeyRegistry::kEndStation}) {
        const std::string value = project.GetSetting(id);
        if (!value.empty())
            settings.Push(DataValue::Fields{
                {"key", id}, {"name", SettingKeyRegistry::Get().Find(id)->GetName()}, {"value", value}});
    }
    DataValue segments = DataValue::Array();
    for (int s = 0; s < project.GetSegmentCount(); ++s) {
        QStation start, end;
        const bool ranged = project.GetSegmentRange(s, start, end);
        segments.Push(DataValue::Fields{{"index", s},
                                        {"start", ranged ? DataValue(start.GetValue()) : DataValue()},
                                        {"end", ranged ? DataValue(end.GetValue()) : DataValue()},
                                        {"settings", SettingsOf(project.GetSegment(s)->values)}});
    }
    return DataValue::Fields{{"file", project.GetProjectPath()},
                             {"signature", signature},
                             {"version", project.GetFileVersion()},
                             {"currentVersion", project.GetCurrentVersion()},
                             {"entries", std::move(entries)},
                             {"otherFileLines", LinesOf(project.GetUnknownFileLines())},
                             {"settings", std::move(settings)},
                             {"otherSettingLines", LinesOf(project.GetUnknownGlobalLines())},
                             {"segments", std::move(segments)},
                             {"chainTable", ChainTableDescription(project.GetChainTable())}};
}

DataValue UpgradeReportDescription(const ProjectUpgradeReport& report) {
    return DataValue::Fields{{"backup", report.backup.empty() ? DataValue() : DataValue(report.backup)},
                             {"upgraded", PathsOf(report.upgraded)},
                             {"current", PathsOf(report.current)},
                             {"missing", PathsOf(report.missing)},
                             {"leftAlone", NotesOf(report.leftAlone)},
                             {"backupLeftOut", NotesOf(report.backupLeftOut)},
                             {"failure", report.failure.empty() ? DataValue() : DataValue(report.failure)}};
}

}  // namespace qdat
