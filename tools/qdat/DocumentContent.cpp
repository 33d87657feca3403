// A document's content as its kind describes it: the same columns serve the
// JSON of `qdat dump --json`, its tables and the count of `qdat info`.
#include <cmath>
#include <ostream>
#include <span>

#include <qdat/docbase/QDocument.h>
#include "Output.h"

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

Json RecordJson(std::span<const ColumnDescription> columns, std::span<const RowList> lists, const void* row) {
    Json record = Json::object();
    for (const ColumnDescription& column : columns) record[column.key] = CellJson(column, row);
    for (const RowList& list : lists) {
        Json items = Json::array();
        const int count = list.count(row);
        for (int i = 0; i < count; ++i) items.push_back(RecordJson(list.columns, {}, list.item(row, i)));
        record[list.key] = std::move(items);
    }
    return record;
}

// The lists a row holds, one line each: "key (columns): values, values".
void PrintRowLists(std::span<const RowList> lists, const void* row, std::ostream& out) {
    for (const RowList& list : lists) {
        out << "    " << list.key << " (";
        for (std::size_t c = 0; c < list.columns.size(); ++c)
            out << (c ? " " : "") << HeaderText(list.columns[c]);
        out << "):";
        const int count = list.count(row);
        for (int i = 0; i < count; ++i) {
            const void* item = list.item(row, i);
            out << (i ? "," : "");
            for (const ColumnDescription& column : list.columns) out << " " << CellText(column, item);
        }
        out << "\n";
    }
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
        for (int i = 0; i < count; ++i)
            rows.push_back(RecordJson(block.columns, block.rowLists, block.row(doc, i)));
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
            PrintRowLists(block.rowLists, row, out);
        }
    }
}

}  // namespace qdat::tool
