// The row engine: tables of rows described as data, read and written by one
// reader and one writer. A record kind describes a family of rows once: the
// columns of its rows (what the tools show and the table editor edits) and
// the layout of a row in the file for each generation, as steps over those
// columns. The design control file's thirty tables are its first users.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <span>
#include <string>

#include <qdat/docbase/DataArchive.h>
#include <qdat/docbase/DocumentKind.h>
#include <qdat/docbase/GrowArray.h>
#include <qdat/station/QStation.h>
#include <qdat/station/StationCursor.h>

namespace qdat::row_engine {

inline constexpr std::uint32_t kAnyVersion = std::numeric_limits<std::uint32_t>::max();

// ---------------------------------------------------------------------------
// The rows' storage: one array per table, of the table's row type.

class RowTableBase {
public:
    virtual ~RowTableBase() = default;
    virtual int Count() const = 0;
    virtual void* At(int index) = 0;  // null out of range
    virtual void* Insert(int index) = 0;
    virtual bool Remove(int index) = 0;
    virtual void Clear() = 0;
    virtual void Sort(double (*key)(const void* row)) = 0;
};

template <class Row>
class RowTable final : public RowTableBase {
public:
    int Count() const override { return m_rows.GetSize(); }
    void* At(int index) override { return index >= 0 && index < m_rows.GetSize() ? &m_rows[index] : nullptr; }
    void* Insert(int index) override {
        if (index < 0 || index > m_rows.GetSize()) return nullptr;
        if (index == m_rows.GetSize()) {
            // Rows are read one by one onto the end: a growth step of the
            // table's size moves a table of n rows about twice in all, not
            // eight times as the default step would.
            if (index == m_rows.GetCapacity()) m_rows.SetSize(index, std::max(index, 4));
            return &m_rows[m_rows.Add(Row())];
        }
        m_rows.InsertAt(index, Row());
        return &m_rows[index];
    }
    bool Remove(int index) override {
        if (index < 0 || index >= m_rows.GetSize()) return false;
        m_rows.RemoveAt(index);
        return true;
    }
    void Clear() override { m_rows.RemoveAll(); }
    void Sort(double (*key)(const void* row)) override {
        SortRowsByStation(m_rows, [key](const Row& row) { return QStation(key(&row)); });
    }

private:
    GrowArray<Row> m_rows;
};

template <class Row>
std::unique_ptr<RowTableBase> MakeTable() {
    return std::make_unique<RowTable<Row>>();
}

// ---------------------------------------------------------------------------
// Row layouts: steps over the columns of a row (or of an item of its list).

enum class Op : std::uint8_t {
    Field,      // the column, as its kind says (a whole number as an int)
    LongField,  // a whole-number column as a long
    Items,      // the count of the row's list, then its items
    Places,     // written: the decimal places of the values that follow
    SkipText,   // read: a text that is dropped
    SkipValue,  // read: a value that is dropped
    Copy,       // read: the column `field` takes the value of column `argument`
};

struct Step {
    Op op;
    int field = 0;
    int argument = 0;                  // Places: decimals; Copy: the column copied from
    bool optional = false;             // text form: read only while the line holds tokens
    std::span<const Step> items = {};  // Items: the steps of one item
};

constexpr Step F(int column) {
    return {Op::Field, column};
}
constexpr Step Optional(int column) {
    return {Op::Field, column, 0, true};
}
constexpr Step Long(int column) {
    return {Op::LongField, column};
}
constexpr Step Places(int places) {
    return {Op::Places, 0, places};
}
constexpr Step ItemsOf(std::span<const Step> steps) {
    return {Op::Items, 0, 0, false, steps};
}
constexpr Step CopyColumn(int to, int from) {
    return {Op::Copy, to, from};
}
inline constexpr Step kSkipText{Op::SkipText};
inline constexpr Step kSkipValue{Op::SkipValue};

// The layout of the versions from..to (inclusive).
struct Variant {
    std::uint32_t from;
    std::uint32_t to;
    std::span<const Step> steps;
};

struct RowFamily {
    std::span<const ColumnDescription> columns;
    int keyColumn;                      // the station rows are ordered by
    std::span<const Variant> variants;  // the first that holds a version is its layout
    std::unique_ptr<RowTableBase> (*makeTable)() = nullptr;
    // The list the rows hold, if any, as the content shows it, and a new item
    // at its end for reading.
    std::span<const RowList> lists = {};
    void* (*append)(void* row) = nullptr;
    void (*afterRead)(void* row) = nullptr;

    std::span<const Step> LayoutOf(std::uint32_t version) const {
        for (const Variant& v : variants)
            if (version >= v.from && version <= v.to) return v.steps;
        return {};
    }
};

template <auto List>
constexpr RowList ListOf(const char* key, std::span<const ColumnDescription> columns) {
    using Row = typename detail::MemberOf<decltype(List)>::Row;
    RowList list{key, columns};
    list.count = [](const void* row) {
        return static_cast<int>((static_cast<const Row*>(row)->*List).size());
    };
    list.item = [](const void* row, int index) -> const void* {
        const auto& items = static_cast<const Row*>(row)->*List;
        return index >= 0 && static_cast<std::size_t>(index) < items.size()
                   ? &items[static_cast<std::size_t>(index)]
                   : nullptr;
    };
    return list;
}

// Rows hold a few items: room for four at once spares most rows a second
// allocation.
template <auto List>
void* AppendItem(void* row) {
    using Row = typename detail::MemberOf<decltype(List)>::Row;
    auto& items = static_cast<Row*>(row)->*List;
    if (items.size() == items.capacity()) items.reserve(std::max<std::size_t>(4, 2 * items.size()));
    return &items.emplace_back();
}

// The table rows are written to: its name, for messages, and what refuses a
// text its file could not read back as written (null: any text may stand).
struct RowTarget {
    const char* name;
    void (*checkText)(DataArchive& ar, const std::string& text, const char* table) = nullptr;
};

// Reads a row (or an item) by its steps; a row's list is the family's.
void ReadRow(DataArchive& ar, std::span<const ColumnDescription> columns, std::span<const Step> steps,
             const RowFamily* family, void* row);
void WriteRow(DataArchive& ar, std::span<const ColumnDescription> columns, std::span<const Step> steps,
              const RowFamily* family, const void* row, const RowTarget& table);

// Whether no row's key station lies beyond the next row's by the station
// tolerance (the order of QStation: a < b when a <= b - tolerance).
bool IsOrdered(RowTableBase& table, const RowFamily& family);

}  // namespace qdat::row_engine
