// A document's content as its kind describes it: the same columns serve the
// JSON of `qdat dump --json`, its tables and the count of `qdat info`.
#include <cmath>
#include <ostream>

#include "Tool.h"

namespace qdat::tool {

namespace {

Json CellJson(const ColumnDescription& column, const void* row) {
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

std::string CellText(const ColumnDescription& column, const void* row) {
    if (column.kind == ColumnDescription::Kind::Text) {
        const std::string text = column.getText(row);
        return text.empty() ? "\"\"" : text;
    }
    const double value = column.get(row);
    if (column.IsNoValue(value) || !std::isfinite(value)) return "-";
    return ShortNumber(value);
}

std::string HeaderText(const ColumnDescription& column) {
    std::string text = column.key;
    if (*column.unit) text += std::string(" (") + column.unit + ")";
    return text;
}

}  // namespace

Json ContentJson(QDocument& doc) {
    Json out = Json::object();
    const DocumentKind* kind = doc.GetKind();
    if (!kind) return out;
    for (const ContentBlock& block : kind->GetContent()) {
        if (!block.IsList()) {
            const void* row = block.row(doc, 0);
            for (const ColumnDescription& column : block.columns) out[column.key] = CellJson(column, row);
            continue;
        }
        Json rows = Json::array();
        const int count = block.count(doc);
        for (int i = 0; i < count; ++i) {
            const void* row = block.row(doc, i);
            Json record = Json::object();
            for (const ColumnDescription& column : block.columns) record[column.key] = CellJson(column, row);
            rows.push_back(std::move(record));
        }
        out[block.key] = std::move(rows);
    }
    return out;
}

std::size_t ContentCount(QDocument& doc) {
    std::size_t count = 0;
    if (const DocumentKind* kind = doc.GetKind()) {
        for (const ContentBlock& block : kind->GetContent())
            if (block.IsList()) count += static_cast<std::size_t>(block.count(doc));
    }
    return count;
}

void PrintContent(QDocument& doc, std::ostream& out) {
    const DocumentKind* kind = doc.GetKind();
    if (!kind) return;
    for (const ContentBlock& block : kind->GetContent()) {
        if (!block.IsList()) {
            const void* row = block.row(doc, 0);
            for (const ColumnDescription& column : block.columns)
                out << HeaderText(column) << ": " << CellText(column, row) << "\n";
            continue;
        }
        const int count = block.count(doc);
        out << block.key << ": " << count << "\n";
        if (count == 0) continue;
        out << " ";
        for (const ColumnDescription& column : block.columns) out << " " << HeaderText(column);
        out << "\n";
        for (int i = 0; i < count; ++i) {
            const void* row = block.row(doc, i);
            out << " ";
            for (const ColumnDescription& column : block.columns) out << " " << CellText(column, row);
            out << "\n";
        }
    }
}

}  // namespace qdat::tool
