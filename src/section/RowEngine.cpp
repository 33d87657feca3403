#include <qdat/section/detail/RowEngine.h>

#include <qdat/docbase/detail/FiniteValues.h>
#include <qdat/station/ChainTable.h>

namespace qdat::row_engine {

namespace {

void ReadField(DataArchive& ar, const ColumnDescription& column, bool asLong, void* row) {
    switch (column.kind) {
        case ColumnDescription::Kind::Station: {
            QStation station;
            ar >> station;
            column.set(row, station.GetValue());
            break;
        }
        case ColumnDescription::Kind::Text: {
            std::string text;
            ar >> text;
            if (text == "NULL") text.clear();
            column.setText(row, text);
            break;
        }
        case ColumnDescription::Kind::Integer:
        case ColumnDescription::Kind::Unsigned:
            if (asLong) {
                long value = 0;
                ar >> value;
                column.set(row, static_cast<double>(value));
            } else {
                int value = 0;
                ar >> value;
                column.set(row, value);
            }
            break;
        case ColumnDescription::Kind::Double:
            column.set(row, ReadFinite(ar, column.key));
            break;
    }
}

void WriteField(DataArchive& ar, const ColumnDescription& column, bool asLong, const void* row,
                const RowTarget& table) {
    switch (column.kind) {
        case ColumnDescription::Kind::Station: {
            const double station = column.get(row);
            CheckFinite(ar, station, "station");
            ar << QStation(station);
            break;
        }
        case ColumnDescription::Kind::Text: {
            const std::string text = column.getText(row);
            if (table.checkText) table.checkText(ar, text, table.name);
            ar << (text.empty() ? std::string("NULL") : text);
            break;
        }
        case ColumnDescription::Kind::Integer:
        case ColumnDescription::Kind::Unsigned: {
            const auto value = static_cast<std::int32_t>(column.get(row));
            if (asLong)
                ar << static_cast<long>(value);
            else
                ar << static_cast<int>(value);
            break;
        }
        case ColumnDescription::Kind::Double:
            WriteFinite(ar, column.get(row), column.key);
            break;
    }
}

}  // namespace

// Reads a row (or an item) by its steps; a row's list is the family's.
void ReadRow(DataArchive& ar, std::span<const ColumnDescription> columns, std::span<const Step> steps,
             const RowFamily* family, void* row) {
    const bool text = ar.IsTextForm();
    for (const Step& step : steps) {
        switch (step.op) {
            case Op::Field:
            case Op::LongField:
                // Old files ended a row where its values ran out; the binary
                // forms have no lines and carry every value.
                if (step.optional && text && ar.CountTokens() == 0) break;
                ReadField(ar, columns[static_cast<std::size_t>(step.field)], step.op == Op::LongField, row);
                break;
            case Op::Items: {
                int count = 0;
                ar >> count;
                if (count < 0)
                    ar.ThrowError(QArchiveException::BadFormat,
                                  "a count of items expected, found " + std::to_string(count));
                // Every item takes at least one token or value, so a count
                // the file cannot hold ends the read there, not in memory.
                for (int i = 0; i < count; ++i)
                    ReadRow(ar, family->lists[0].columns, step.items, nullptr, family->append(row));
                break;
            }
            case Op::SkipText: {
                std::string dropped;
                ar >> dropped;
                break;
            }
            case Op::SkipValue:
                ReadFinite(ar, "value");
                break;
            case Op::Copy: {
                const ColumnDescription& to = columns[static_cast<std::size_t>(step.field)];
                to.set(row, columns[static_cast<std::size_t>(step.argument)].get(row));
                break;
            }
            case Op::Places:
                break;
        }
    }
}

void WriteRow(DataArchive& ar, std::span<const ColumnDescription> columns, std::span<const Step> steps,
              const RowFamily* family, const void* row, const RowTarget& table) {
    for (const Step& step : steps) {
        switch (step.op) {
            case Op::Field:
            case Op::LongField:
                WriteField(ar, columns[static_cast<std::size_t>(step.field)], step.op == Op::LongField, row,
                           table);
                break;
            case Op::Items: {
                const RowList& list = family->lists[0];
                const int count = list.count(row);
                ar << count;
                for (int i = 0; i < count; ++i)
                    WriteRow(ar, list.columns, step.items, nullptr, list.item(row, i), table);
                break;
            }
            case Op::Places:
                ar << Precision(step.argument);
                break;
            case Op::SkipText:
            case Op::SkipValue:
            case Op::Copy:
                break;
        }
    }
}

// Whether no row's key station lies beyond the next row's by the station
// tolerance (the order of QStation: a < b when a <= b - tolerance).
bool IsOrdered(RowTableBase& table, const RowFamily& family) {
    const auto key = family.columns[static_cast<std::size_t>(family.keyColumn)].get;
    const double tolerance = GetStationTolerance();
    const int count = table.Count();
    double previous = count > 0 ? key(table.At(0)) : 0.0;
    for (int i = 1; i < count; ++i) {
        const double next = key(table.At(i));
        if (next <= previous - tolerance) return false;
        previous = next;
    }
    return true;
}

}  // namespace qdat::row_engine
