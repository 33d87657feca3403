// A document's content as its kind describes it, as text: the same columns
// give the library's description that `qdat dump --json` prints.
#include <cmath>
#include <ostream>
#include <span>

#include <qdat/docbase/QDocument.h>
#include "Output.h"

namespace qdat::tool {

namespace {

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
