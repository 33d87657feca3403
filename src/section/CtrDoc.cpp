// The design control file. Every table is described once, as data, in
// detail/CtrTables.h: its file name, its side and the family of rows it
// holds; one reader and one writer of the row engine (detail/RowEngine.h)
// walk the steps for all thirty tables. The document's questions about a
// station are in CtrDocQueries.cpp.
#include <qdat/section/CtrDoc.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <span>
#include <utility>

#include <qdat/docbase/DataArchive.h>
#include <qdat/section/detail/CtrTables.h>

namespace qdat {

namespace {

using namespace ctr_tables;

constexpr std::uint32_t kCurrentVersion = 583;
// The line the writer closes the file with; a line holding no table name ends
// the reading, and this one ends it as planned.
constexpr const char* kClosingName = "XXXX.DAT";

// The document's data block: the thirty tables.
class CtrData : public DocumentData {
public:
    CtrData() {
        for (std::size_t t = 0; t < tables.size(); ++t) tables[t] = kTables[t].family->rows.makeTable();
    }
    std::array<std::unique_ptr<RowTableBase>, kCtrTableCount> tables;
};

RowTableBase& TableOf(QDocument& doc, std::size_t table) {
    return *static_cast<CtrData&>(doc.Data()).tables[table];
}

// ---------------------------------------------------------------------------
// Reading and writing.

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Whether text contains the upper-case needle, case ignored.
bool ContainsNoCase(std::string_view text, std::string_view needle) {
    if (needle.size() > text.size()) return false;
    for (std::size_t i = 0; i + needle.size() <= text.size(); ++i) {
        std::size_t k = 0;
        while (k < needle.size() && Upper(text[i + k]) == needle[k]) ++k;
        if (k == needle.size()) return true;
    }
    return false;
}

// A line that holds ".DAT" is a table's name line, whatever else it holds.
// Row lines are mostly numbers, full of points but without a D: looking for
// the D first settles most of them at once.
bool IsNameLine(std::string_view line) {
    const char* const end = line.data() + line.size();
    for (const char d : {'D', 'd'}) {
        for (const char* p = line.data(); p < end; ++p) {
            p = static_cast<const char*>(std::memchr(p, d, static_cast<std::size_t>(end - p)));
            if (!p) break;
            if (p > line.data() && p[-1] == '.' && end - p >= 3 && (p[1] | 0x20) == 'a' &&
                (p[2] | 0x20) == 't')
                return true;
        }
    }
    return false;
}

// The table a name line names: the first whose name it contains.
const TableDescription* TableNamedIn(std::string_view line) {
    for (const TableDescription& t : kTables) {
        if (ContainsNoCase(line, t.name) || (t.alias && ContainsNoCase(line, t.alias))) return &t;
    }
    return nullptr;
}

// A row line holding ".DAT" would read back as a table's name.
void RefuseNameLineText(DataArchive& ar, const std::string& text, const char* table) {
    if (ar.IsTextForm() && IsNameLine(text))
        ar.ThrowError(QArchiveException::WriteFailed, std::string("the text \"") + text + "\" of " + table +
                                                          " holds \".DAT\" and would end the table");
}

// ---------------------------------------------------------------------------
// The kind.

constexpr TypeString kTypeStrings[] = {
    {108, 0x8002,
     "Design controls|Design control file\nDesign controls\nDesignControls\nDesign control files "
     "(*.ctr)\n.ctr"},
};

using FormatFlag::LegacyLayout;
constexpr SignatureRule kSignatures[] = {
    {"RADUDAR5.83_CTR_SHUJU", 583, 0, LegacyLayout, SignatureUse::Written},
    {"RADUDAR5.81_CTR_SHUJU", 581, 0, LegacyLayout},
    {"RADUDAR5.8_CTR_SHUJU", 580, 0, LegacyLayout},
    {"RADUDAR_V5.6_DATA_FILE", 560, 0, LegacyLayout},
    {"RADUDAR_V5.5_DATA_FILE", 550, 0, LegacyLayout},
    {"RADUDAR_V5.0_DATA_FILE", 500, 0, LegacyLayout},
    {"RADUDAR_V4.3_DATA_FILE", 430, 0, LegacyLayout},
    {"RADUDAR_V4.2_DATA_FILE", 420, 0, LegacyLayout},
    {"RADUDAR_V4.1_DATA_FILE", 410, 0, LegacyLayout},
};

// Every table is a list of the content, named by its file name.
template <std::size_t T>
constexpr ContentBlock TableBlock() {
    const RowFamily& family = kTables[T].family->rows;
    ContentBlock block{kTables[T].name, family.columns};
    block.count = [](QDocument& doc) { return TableOf(doc, T).Count(); };
    block.row = [](QDocument& doc, int index) { return TableOf(doc, T).At(index); };
    block.insertAt = [](QDocument& doc, int index) { return TableOf(doc, T).Insert(index) != nullptr; };
    block.removeAt = [](QDocument& doc, int index) { return TableOf(doc, T).Remove(index); };
    block.rowLists = family.lists;
    return block;
}

template <std::size_t... T>
constexpr std::array<ContentBlock, kCtrTableCount> TableBlocks(std::index_sequence<T...>) {
    return {TableBlock<T>()...};
}

constexpr std::array<ContentBlock, kCtrTableCount> kContent =
    TableBlocks(std::make_index_sequence<kCtrTableCount>());

}  // namespace

const DocumentKind CtrDoc::classRecord{"CtrDoc",
                                       &QDocument::classRecord,
                                       [] { return std::make_unique<CtrDoc>(); },
                                       {.typeStrings = kTypeStrings,
                                        .currentVersion = kCurrentVersion,
                                        .signatures = kSignatures,
                                        .content = kContent,
                                        .fileName = "design control file"}};

CtrDoc::CtrDoc() : QDocument(classRecord, std::make_unique<CtrData>()) {}

CtrDoc::~CtrDoc() = default;

void CtrDoc::DeleteContents() {
    for (auto& table : DataAs<CtrData>().tables) table->Clear();
    QDocument::DeleteContents();
}

std::string_view CtrDoc::GetTableName(CtrTable table) {
    return IsTable(table) ? Describe(table).name : std::string_view();
}

CtrSide CtrDoc::GetTableSide(CtrTable table) {
    return IsTable(table) ? Describe(table).side : CtrSide::Both;
}

CtrRowShape CtrDoc::GetRowShape(CtrTable table) {
    return IsTable(table) ? Describe(table).family->shape : CtrRowShape::Items;
}

bool CtrDoc::FindTable(std::string_view name, CtrTable& table) {
    for (std::size_t t = 0; t < std::size(kTables); ++t) {
        const TableDescription& d = kTables[t];
        const auto same = [name](std::string_view other) {
            return name.size() == other.size() && ContainsNoCase(name, other);
        };
        if (same(d.name) || (d.alias && same(d.alias))) {
            table = static_cast<CtrTable>(t);
            return true;
        }
    }
    return false;
}

int CtrDoc::GetRowCount(CtrTable table) const {
    return IsTable(table) ? DataAs<CtrData>().tables[static_cast<std::size_t>(table)]->Count() : 0;
}

void* CtrDoc::RowAddress(CtrTable table, int index, CtrRowShape shape) {
    if (!IsTable(table) || Describe(table).family->shape != shape) return nullptr;
    return DataAs<CtrData>().tables[static_cast<std::size_t>(table)]->At(index);
}

void* CtrDoc::InsertRowAddress(CtrTable table, int index, CtrRowShape shape) {
    if (!IsTable(table) || Describe(table).family->shape != shape) return nullptr;
    void* row = DataAs<CtrData>().tables[static_cast<std::size_t>(table)]->Insert(index);
    if (row) SetModifiedFlag(true);
    return row;
}

bool CtrDoc::RemoveRow(CtrTable table, int index) {
    if (!IsTable(table) || !DataAs<CtrData>().tables[static_cast<std::size_t>(table)]->Remove(index))
        return false;
    SetModifiedFlag(true);
    return true;
}

double CtrDoc::GetValue(CtrTable table, int index, int which) const {
    if (!IsTable(table) || which < 0 || which >= Describe(table).family->valueCount) return kNoValue;
    const ValueRow* row = GetRow<ValueRow>(table, index);
    return row ? row->Values[which] : kNoValue;
}

bool CtrDoc::GetTwoValues(CtrTable table, int index, double& first, double& second) const {
    if (!IsTable(table) || Describe(table).family->valueCount != 2) return false;
    const ValueRow* row = GetRow<ValueRow>(table, index);
    if (!row) return false;
    first = row->Values[0];
    second = row->Values[1];
    return true;
}

// ---------------------------------------------------------------------------
// Order

bool CtrDoc::NeedsRepair() {
    for (std::size_t t = 0; t < std::size(kTables); ++t)
        if (!IsOrdered(*DataAs<CtrData>().tables[t], kTables[t].family->rows)) return true;
    return false;
}

bool CtrDoc::Repair() {
    bool moved = false;
    for (std::size_t t = 0; t < std::size(kTables); ++t) {
        RowTableBase& table = *DataAs<CtrData>().tables[t];
        const RowFamily& family = kTables[t].family->rows;
        // The exchanges move a row exactly when some row lies beyond the next.
        if (IsOrdered(table, family)) continue;
        table.Sort(family.columns[static_cast<std::size_t>(family.keyColumn)].get);
        moved = true;
    }
    return moved;
}

// ---------------------------------------------------------------------------
// Content

int CtrDoc::SerializeContent(DataArchive& ar) {
    if (ar.IsStoring())
        Store(ar);
    else
        Load(ar);
    return 1;
}

// Every table is written, empty or not, as its name line and its rows. The
// binary forms have no lines to tell a name from a row, so there the name is
// followed by the number of rows.
void CtrDoc::Store(DataArchive& ar) {
    const bool text = ar.IsTextForm();
    ar << StationAsText;
    for (std::size_t t = 0; t < std::size(kTables); ++t) {
        const TableDescription& table = kTables[t];
        const RowFamily& family = table.family->rows;
        const std::span<const Step> layout = family.LayoutOf(kCurrentVersion);
        RowTableBase& rows = *DataAs<CtrData>().tables[t];
        ar << table.name << EndRecord;
        if (!text) ar << rows.Count();
        for (int i = 0; i < rows.Count(); ++i) {
            WriteRow(ar, family.columns, layout, &family, rows.At(i), {table.name, RefuseNameLineText});
            ar << EndRecord;
        }
    }
    ar << EndRecord << kClosingName << EndRecord;
}

// Tables come in any order, any may be missing, and one named twice gets the
// rows of both. A row line ends at its last value; one that holds ".DAT" is
// the next name line. A line naming no table ends the reading; unless it is
// the writer's closing line, what follows it is left unread.
void CtrDoc::Load(DataArchive& ar) {
    const bool text = ar.IsTextForm();
    const std::uint32_t version = GetFileVersion();
    ar >> StationAsText;
    auto& tables = DataAs<CtrData>().tables;
    while (!ar.AtEnd()) {
        std::string name;
        if (text)
            name = ar.GetRecord();
        else
            ar >> name;
        const TableDescription* table = TableNamedIn(name);
        if (!table) {
            if (!ContainsNoCase(name, kClosingName)) {
                NoteReadStoppedEarly(ar, "the tables before it");
                return;
            }
            // The closing line ends the tables; anything after it would be
            // lost by writing the file back.
            ar >> EndRecord;
            if (!ar.AtEnd())
                NoteReadStoppedEarly(ar, std::string("the tables before the line ") + kClosingName);
            return;
        }
        const RowFamily& family = table->family->rows;
        const std::span<const Step> layout = family.LayoutOf(version);
        RowTableBase& rows = *tables[static_cast<std::size_t>(table - kTables)];
        if (text) {
            ar >> EndRecord;
            while (!ar.AtEnd() && !IsNameLine(ar.GetRecord())) {
                void* row = rows.Insert(rows.Count());
                ReadRow(ar, family.columns, layout, &family, row);
                if (family.afterRead) family.afterRead(row);
                ar >> EndRecord;
            }
            continue;
        }
        int count = 0;
        ar >> count;
        // Every row starts with a station of eight bytes.
        if (count < 0 || (ar.RemainingBytes() >= 0 && count > ar.RemainingBytes() / 8))
            ar.ThrowError(QArchiveException::BadFormat, std::to_string(count) + " rows of " + table->name +
                                                            " cannot be in the rest of the file");
        for (int i = 0; i < count; ++i) {
            void* row = rows.Insert(rows.Count());
            ReadRow(ar, family.columns, layout, &family, row);
            if (family.afterRead) family.afterRead(row);
        }
    }
}

}  // namespace qdat