// The design control file. Every table is described once below: its file
// name, its side and the family of rows it holds. A family gives the columns
// of its rows (what the tools show and the table editor edits) and the layout
// of a row in the file for each generation, as steps over those columns; one
// reader and one writer walk the steps for all thirty tables.
#include "section/CtrDoc.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <span>
#include <utility>

#include "docbase/DataArchive.h"
#include "docbase/FiniteValues.h"
#include "station/ChainTable.h"
#include "station/StationCursor.h"

namespace qdat {

namespace {

constexpr std::uint32_t kCurrentVersion = 583;
constexpr std::uint32_t kAnyVersion = std::numeric_limits<std::uint32_t>::max();
// The line the writer closes the file with; a line holding no table name ends
// the reading, and this one ends it as planned.
constexpr const char* kClosingName = "XXXX.DAT";

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
constexpr Step kSkipText{Op::SkipText};
constexpr Step kSkipValue{Op::SkipValue};

// The layout of the versions from..to (inclusive).
struct Variant {
    std::uint32_t from;
    std::uint32_t to;
    std::span<const Step> steps;
};

struct RowFamily {
    CtrRowShape shape;
    std::span<const ColumnDescription> columns;
    int keyColumn;                      // the station rows are ordered by
    std::span<const Variant> variants;  // the first that holds a version is its layout
    std::unique_ptr<RowTableBase> (*makeTable)() = nullptr;
    // The list the rows hold, if any, as the content shows it, and a new item
    // at its end for reading.
    std::span<const RowList> lists = {};
    void* (*append)(void* row) = nullptr;
    void (*afterRead)(void* row) = nullptr;
    int valueCount = 0;  // Values rows: the values the family holds

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

// --- Slope, ditch and FJBK tables: a station and a list of items.

constexpr ColumnDescription kItemRowColumns[] = {Column<&ItemRow::Station>("station", "m")};

enum ItemColumn { kFirst, kSecond, kThird, kCode };
constexpr ColumnDescription kItemColumns[] = {
    Column<&CtrItem::First>("first"),
    Column<&CtrItem::Second>("second"),
    Column<&CtrItem::Third>("third"),
    Column<&CtrItem::Code>("code"),
};
// A ditch item's third value is never stored.
enum DitchColumn { kDitchFirst, kDitchSecond, kDitchCode };
constexpr ColumnDescription kDitchItemColumns[] = {
    Column<&CtrItem::First>("first"),
    Column<&CtrItem::Second>("second"),
    Column<&CtrItem::Code>("code"),
};

constexpr RowList kLevelLists[] = {ListOf<&ItemRow::Items>("levels", kItemColumns)};
constexpr RowList kDitchLists[] = {ListOf<&ItemRow::Items>("items", kDitchItemColumns)};
constexpr RowList kFjbkLists[] = {ListOf<&ItemRow::Items>("items", kItemColumns)};

// A slope level is written first, third, second, code.
constexpr Step kLevelSteps[] = {Places(3), F(kFirst), F(kThird), F(kSecond), F(kCode)};
constexpr Step kLevel430Steps[] = {F(kFirst), F(kThird), F(kSecond)};
constexpr Step kLevel410Steps[] = {F(kFirst), F(kSecond)};
constexpr Step kSlopeSteps[] = {F(0), ItemsOf(kLevelSteps)};
constexpr Step kSlope430Steps[] = {F(0), ItemsOf(kLevel430Steps)};
constexpr Step kSlope410Steps[] = {F(0), ItemsOf(kLevel410Steps)};
constexpr Variant kSlopeVariants[] = {
    {410, 420, kSlope410Steps}, {430, 430, kSlope430Steps}, {0, kAnyVersion, kSlopeSteps}};

constexpr Step kDitchItemSteps[] = {Places(3), F(kDitchFirst), F(kDitchSecond), F(kDitchCode)};
constexpr Step kDitchItem410Steps[] = {F(kDitchFirst), F(kDitchSecond)};
constexpr Step kDitchSteps[] = {F(0), ItemsOf(kDitchItemSteps)};
constexpr Step kDitch410Steps[] = {F(0), ItemsOf(kDitchItem410Steps)};
constexpr Variant kDitchVariants[] = {{410, 430, kDitch410Steps}, {0, kAnyVersion, kDitchSteps}};

// An FJBK item is written first, second, code, third.
constexpr Step kFjbkItemSteps[] = {Places(3), F(kFirst), F(kSecond), F(kCode), F(kThird)};
constexpr Step kFjbkItem500Steps[] = {F(kFirst), F(kSecond)};
constexpr Step kFjbkSteps[] = {F(0), ItemsOf(kFjbkItemSteps)};
constexpr Step kFjbk500Steps[] = {F(0), ItemsOf(kFjbkItem500Steps)};
constexpr Variant kFjbkVariants[] = {{550, kAnyVersion, kFjbkSteps}, {0, 549, kFjbk500Steps}};

constexpr RowFamily kSlopeFamily{.shape = CtrRowShape::Items,
                                 .columns = kItemRowColumns,
                                 .keyColumn = 0,
                                 .variants = kSlopeVariants,
                                 .makeTable = MakeTable<ItemRow>,
                                 .lists = kLevelLists,
                                 .append = AppendItem<&ItemRow::Items>};
constexpr RowFamily kDitchFamily{.shape = CtrRowShape::Items,
                                 .columns = kItemRowColumns,
                                 .keyColumn = 0,
                                 .variants = kDitchVariants,
                                 .makeTable = MakeTable<ItemRow>,
                                 .lists = kDitchLists,
                                 .append = AppendItem<&ItemRow::Items>};
constexpr RowFamily kFjbkFamily{.shape = CtrRowShape::Items,
                                .columns = kItemRowColumns,
                                .keyColumn = 0,
                                .variants = kFjbkVariants,
                                .makeTable = MakeTable<ItemRow>,
                                .lists = kFjbkLists,
                                .append = AppendItem<&ItemRow::Items>};

// --- Tables of values by station: column 0 the station, then the values.

template <std::size_t I>
constexpr ColumnDescription ValueColumn(const char* key) {
    return ElementColumn<&ValueRow::Values, I>(key);
}

constexpr ColumnDescription kTffdColumns[] = {
    Column<&ValueRow::Station>("station", "m"),
    ValueColumn<0>("value1"),
    ValueColumn<1>("value2"),
    ValueColumn<2>("value3"),
    ValueColumn<3>("value4"),
    ValueColumn<4>("value5"),
    ValueColumn<5>("value6"),
};
constexpr Step kTffdSteps[] = {Places(3), F(0), F(1), F(2), F(3), F(4), F(5), F(6)};
constexpr Variant kTffdVariants[] = {{0, kAnyVersion, kTffdSteps}};

constexpr ColumnDescription kLcsdColumns[] = {
    Column<&ValueRow::Station>("station", "m"),
    ValueColumn<0>("value1"),
    ValueColumn<1>("value2"),
    ValueColumn<2>("value3"),
    ValueColumn<3>("value4"),
};
constexpr Step kLcsdSteps[] = {F(0), Places(3), F(1), F(2), F(3), F(4)};
// 5.5 had no first value; before it the first of two values was dropped and
// the second stood for the second and the third.
constexpr Step kLcsd550Steps[] = {F(0), F(2), F(3), F(4)};
constexpr Step kLcsd500Steps[] = {F(0), kSkipValue, F(2), CopyColumn(3, 2)};
constexpr Variant kLcsdVariants[] = {
    {560, kAnyVersion, kLcsdSteps}, {550, 559, kLcsd550Steps}, {0, 549, kLcsd500Steps}};

constexpr ColumnDescription kBzdmColumns[] = {
    Column<&ValueRow::Station>("station", "m"),
    ValueColumn<0>("f1"),
    ValueColumn<1>("f2"),
    ValueColumn<2>("f3"),
    ValueColumn<3>("f4"),
    ValueColumn<4>("f5"),
    ValueColumn<5>("f6"),
    ValueColumn<6>("f7"),
    ValueColumn<7>("f8"),
    ValueColumn<8>("f9"),
};
// f2 and f3 change places in the file.
constexpr Step kBzdmSteps[] = {F(0), Places(3), F(1), F(3), F(2), F(4), F(5), F(6), F(7), F(8), F(9)};
constexpr Variant kBzdmVariants[] = {{0, kAnyVersion, kBzdmSteps}};

constexpr ColumnDescription kOneValueColumns[] = {
    Column<&ValueRow::Station>("station", "m"),
    ValueColumn<0>("value"),
};
constexpr Step kOneValueSteps[] = {F(0), Places(3), F(1)};
constexpr Variant kOneValueVariants[] = {{0, kAnyVersion, kOneValueSteps}};

constexpr ColumnDescription kTwoValueColumns[] = {
    Column<&ValueRow::Station>("station", "m"),
    ValueColumn<0>("value1"),
    ValueColumn<1>("value2"),
};
constexpr Step kTwoValueSteps[] = {F(0), Places(3), F(1), F(2)};
constexpr Variant kTwoValueVariants[] = {{0, kAnyVersion, kTwoValueSteps}};

constexpr RowFamily kTffdFamily{.shape = CtrRowShape::Values,
                                .columns = kTffdColumns,
                                .keyColumn = 0,
                                .variants = kTffdVariants,
                                .makeTable = MakeTable<ValueRow>,
                                .valueCount = 6};
constexpr RowFamily kLcsdFamily{.shape = CtrRowShape::Values,
                                .columns = kLcsdColumns,
                                .keyColumn = 0,
                                .variants = kLcsdVariants,
                                .makeTable = MakeTable<ValueRow>,
                                .valueCount = 4};
constexpr RowFamily kBzdmFamily{.shape = CtrRowShape::Values,
                                .columns = kBzdmColumns,
                                .keyColumn = 0,
                                .variants = kBzdmVariants,
                                .makeTable = MakeTable<ValueRow>,
                                .valueCount = 9};
constexpr RowFamily kOneValueFamily{.shape = CtrRowShape::Values,
                                    .columns = kOneValueColumns,
                                    .keyColumn = 0,
                                    .variants = kOneValueVariants,
                                    .makeTable = MakeTable<ValueRow>,
                                    .valueCount = 1};
constexpr RowFamily kTwoValueFamily{.shape = CtrRowShape::Values,
                                    .columns = kTwoValueColumns,
                                    .keyColumn = 0,
                                    .variants = kTwoValueVariants,
                                    .makeTable = MakeTable<ValueRow>,
                                    .valueCount = 2};

// --- Bridges and culverts over a range (QHSJ).

enum StructureColumn {
    kStart,
    kEnd,
    kCentre,
    kText1,
    kText2,
    kText3,
    kValue1,
    kValue2,
    kCode1,
    kCode2,
    kSide
};
constexpr ColumnDescription kStructureColumns[] = {
    Column<&StructureRow::StartStation>("startStation", "m"),
    Column<&StructureRow::EndStation>("endStation", "m"),
    Column<&StructureRow::CentreStation>("centreStation", "m"),
    TextColumn<&StructureRow::Text1>("text1"),
    TextColumn<&StructureRow::Text2>("text2"),
    TextColumn<&StructureRow::Text3>("text3"),
    Column<&StructureRow::Value1>("value1"),
    Column<&StructureRow::Value2>("value2"),
    Column<&StructureRow::Code1>("code1"),
    Column<&StructureRow::Code2>("code2"),
    Column<&StructureRow::Side>("side"),
};
constexpr Step kStructureSteps[] = {F(kStart), F(kEnd),    F(kCentre), F(kText1), F(kText2), F(kText3),
                                    Places(4), F(kValue1), F(kValue2), F(kCode1), F(kCode2), Long(kSide)};
constexpr Step kStructure580Steps[] = {F(kStart), F(kEnd),    F(kCentre), F(kText1), F(kText2), F(kText3),
                                       Places(4), F(kValue1), F(kValue2), F(kCode1), F(kCode2)};
constexpr Step kStructure560Steps[] = {
    F(kStart), F(kEnd),           F(kCentre),        F(kText1),        F(kText2),
    F(kText3), Optional(kValue1), Optional(kValue2), Optional(kCode1), Optional(kCode2)};
constexpr Variant kStructureVariants[] = {
    {581, kAnyVersion, kStructureSteps}, {580, 580, kStructure580Steps}, {0, 579, kStructure560Steps}};

// A station as the text form holds it: station text through the current
// chain table, read back.
double AsStationText(double station) {
    double back = station;
    if (GetCurrentChainTable().ParseStake(QStation(station).GetText(), back)) return back;
    ClearLastStationTextError();
    return station;
}

// A centre outside its range goes to the middle. The middle is taken as
// station text holds the ends and itself, so that a file written and read
// again finds the centre where it was put (a range whose ends are reversed
// has no inside and always gets its middle).
void PutCentreInRange(void* row) {
    StructureRow& r = *static_cast<StructureRow*>(row);
    const double start = r.StartStation.GetValue(), end = r.EndStation.GetValue();
    const double centre = r.CentreStation.GetValue();
    if (centre >= start && centre <= end) return;
    // Halves first: the sum of two huge stations is not finite.
    r.CentreStation = AsStationText(AsStationText(start) / 2.0 + AsStationText(end) / 2.0);
}

constexpr RowFamily kStructureFamily{.shape = CtrRowShape::Structure,
                                     .columns = kStructureColumns,
                                     .keyColumn = kCentre,
                                     .variants = kStructureVariants,
                                     .makeTable = MakeTable<StructureRow>,
                                     .afterRead = PutCentreInRange};

// --- Culverts at a station (HDSJ).

enum CulvertColumn { kCulvertStation, kAngle, kCulvertText1, kCulvertText2, kCulvertValue };
constexpr ColumnDescription kCulvertColumns[] = {
    Column<&CulvertRow::Station>("station", "m"), Column<&CulvertRow::Angle>("angle", "deg"),
    TextColumn<&CulvertRow::Text1>("text1"),      TextColumn<&CulvertRow::Text2>("text2"),
    Column<&CulvertRow::Value>("value"),
};
constexpr Step kCulvertSteps[] = {F(kCulvertStation), Places(4),        F(kAngle),
                                  F(kCulvertText1),   F(kCulvertText2), F(kCulvertValue)};
constexpr Step kCulvert410Steps[] = {F(kCulvertStation), F(kAngle), F(kCulvertText1), F(kCulvertText2),
                                     Optional(kCulvertValue)};
// Before 4.1 a text stood where the angle is; the angle is the default.
constexpr Step kCulvert400Steps[] = {F(kCulvertStation), kSkipText, F(kCulvertText1), F(kCulvertText2)};
constexpr Variant kCulvertVariants[] = {
    {560, kAnyVersion, kCulvertSteps}, {410, 559, kCulvert410Steps}, {0, 409, kCulvert400Steps}};

constexpr RowFamily kCulvertFamily{.shape = CtrRowShape::Culvert,
                                   .columns = kCulvertColumns,
                                   .keyColumn = 0,
                                   .variants = kCulvertVariants,
                                   .makeTable = MakeTable<CulvertRow>};

// --- The remaining tables, read alike in every version.

constexpr ColumnDescription kGeologyColumns[] = {
    Column<&GeologyRow::Station>("station", "m"),
    TextColumn<&GeologyRow::Text>("text"),
};
constexpr Step kGeologySteps[] = {F(0), F(1)};
constexpr Variant kGeologyVariants[] = {{0, kAnyVersion, kGeologySteps}};
constexpr RowFamily kGeologyFamily{.shape = CtrRowShape::Geology,
                                   .columns = kGeologyColumns,
                                   .keyColumn = 0,
                                   .variants = kGeologyVariants,
                                   .makeTable = MakeTable<GeologyRow>};

constexpr ColumnDescription kInterceptingDitchColumns[] = {
    Column<&InterceptingDitchRow::StartStation>("startStation", "m"),
    Column<&InterceptingDitchRow::EndStation>("endStation", "m"),
    Column<&InterceptingDitchRow::Value>("value"),
};
constexpr ColumnDescription kPairColumns[] = {
    Column<&ValuePair::First>("first"),
    Column<&ValuePair::Second>("second"),
};
constexpr RowList kPairLists[] = {ListOf<&InterceptingDitchRow::Pairs>("pairs", kPairColumns)};
constexpr Step kPairSteps[] = {Places(3), F(0), F(1)};
constexpr Step kInterceptingDitchSteps[] = {F(0), F(1), F(2), ItemsOf(kPairSteps)};
constexpr Variant kInterceptingDitchVariants[] = {{0, kAnyVersion, kInterceptingDitchSteps}};
constexpr RowFamily kInterceptingDitchFamily{.shape = CtrRowShape::InterceptingDitch,
                                             .columns = kInterceptingDitchColumns,
                                             .keyColumn = 0,
                                             .variants = kInterceptingDitchVariants,
                                             .makeTable = MakeTable<InterceptingDitchRow>,
                                             .lists = kPairLists,
                                             .append = AppendItem<&InterceptingDitchRow::Pairs>};

constexpr ColumnDescription kTunnelColumns[] = {
    Column<&TunnelRow::StartStation>("startStation", "m"),
    Column<&TunnelRow::EndStation>("endStation", "m"),
    TextColumn<&TunnelRow::Name>("name"),
};
constexpr Step kTunnelSteps[] = {F(0), F(1), F(2)};
constexpr Variant kTunnelVariants[] = {{0, kAnyVersion, kTunnelSteps}};
constexpr RowFamily kTunnelFamily{.shape = CtrRowShape::Tunnel,
                                  .columns = kTunnelColumns,
                                  .keyColumn = 0,
                                  .variants = kTunnelVariants,
                                  .makeTable = MakeTable<TunnelRow>};

constexpr ColumnDescription kBenchmarkColumns[] = {
    Column<&BenchmarkRow::Station>("station", "m"),
    TextColumn<&BenchmarkRow::Name>("name"),
    Column<&BenchmarkRow::Value>("value"),
    TextColumn<&BenchmarkRow::Remark>("remark"),
};
constexpr Step kBenchmarkSteps[] = {F(0), F(1), Places(3), F(2), F(3)};
constexpr Variant kBenchmarkVariants[] = {{0, kAnyVersion, kBenchmarkSteps}};
constexpr RowFamily kBenchmarkFamily{.shape = CtrRowShape::Benchmark,
                                     .columns = kBenchmarkColumns,
                                     .keyColumn = 0,
                                     .variants = kBenchmarkVariants,
                                     .makeTable = MakeTable<BenchmarkRow>};

// ---------------------------------------------------------------------------
// The tables.

struct TableDescription {
    const char* name;
    CtrSide side;
    const RowFamily* family;
    const char* alias = nullptr;  // another name the table is read under
};

using enum CtrSide;
constexpr TableDescription kTables[kCtrTableCount] = {
    {"ZTFBP.DAT", Left, &kSlopeFamily},
    {"YTFBP.DAT", Right, &kSlopeFamily},
    {"ZWFBP.DAT", Left, &kSlopeFamily},
    {"YWFBP.DAT", Right, &kSlopeFamily},
    {"ZBGXS.DAT", Left, &kDitchFamily},
    {"YBGXS.DAT", Right, &kDitchFamily},
    {"ZPSGXS.DAT", Left, &kDitchFamily},
    {"YPSGXS.DAT", Right, &kDitchFamily},
    {"TFFD.DAT", Both, &kTffdFamily, "TTFD.DAT"},
    {"QHSJ.DAT", Both, &kStructureFamily},
    {"HDSJ.DAT", Both, &kCulvertFamily},
    {"ZLCSD.DAT", Left, &kLcsdFamily},
    {"YLCSD.DAT", Right, &kLcsdFamily},
    {"ZFJBK.DAT", Left, &kFjbkFamily},
    {"YFJBK.DAT", Right, &kFjbkFamily},
    {"ZBZDM.DAT", Left, &kBzdmFamily},
    {"YBZDM.DAT", Right, &kBzdmFamily},
    {"ZCHT.DAT", Left, &kOneValueFamily},
    {"YCHT.DAT", Right, &kOneValueFamily},
    {"DCHT.DAT", Both, &kOneValueFamily},
    {"QCHBT.DAT", Both, &kTwoValueFamily},
    {"DZGK.DAT", Both, &kGeologyFamily},
    {"ZJSG.DAT", Left, &kInterceptingDitchFamily},
    {"YJSG.DAT", Right, &kInterceptingDitchFamily},
    {"SUIDAO.DAT", Both, &kTunnelFamily},
    {"SHUIZHUNDIAN.DAT", Both, &kBenchmarkFamily},
    {"ZYDK.DAT", Left, &kTwoValueFamily},
    {"YYDK.DAT", Right, &kTwoValueFamily},
    {"ZFYHP.DAT", Left, &kTwoValueFamily},
    {"YFYHP.DAT", Right, &kTwoValueFamily},
};

const TableDescription& Describe(CtrTable table) {
    return kTables[static_cast<std::size_t>(table)];
}

bool IsTable(CtrTable table) {
    const int t = static_cast<int>(table);
    return t >= 0 && t < kCtrTableCount;
}

// The document's data block: the thirty tables.
class CtrData : public DocumentData {
public:
    CtrData() {
        for (std::size_t t = 0; t < tables.size(); ++t) tables[t] = kTables[t].family->makeTable();
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

void WriteField(DataArchive& ar, const ColumnDescription& column, bool asLong, const void* row,
                const TableDescription& table) {
    switch (column.kind) {
        case ColumnDescription::Kind::Station: {
            const double station = column.get(row);
            CheckFinite(ar, station, "station");
            ar << QStation(station);
            break;
        }
        case ColumnDescription::Kind::Text: {
            const std::string text = column.getText(row);
            // A row line holding ".DAT" would read back as a table's name.
            if (ar.IsTextForm() && IsNameLine(text))
                ar.ThrowError(QArchiveException::WriteFailed, "the text \"" + text + "\" of " + table.name +
                                                                  " holds \".DAT\" and would end the table");
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

void WriteRow(DataArchive& ar, std::span<const ColumnDescription> columns, std::span<const Step> steps,
              const RowFamily* family, const void* row, const TableDescription& table) {
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
    const RowFamily& family = *kTables[T].family;
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
        if (!IsOrdered(*DataAs<CtrData>().tables[t], *kTables[t].family)) return true;
    return false;
}

bool CtrDoc::Repair() {
    bool moved = false;
    for (std::size_t t = 0; t < std::size(kTables); ++t) {
        RowTableBase& table = *DataAs<CtrData>().tables[t];
        const RowFamily& family = *kTables[t].family;
        // The exchanges move a row exactly when some row lies beyond the next.
        if (IsOrdered(table, family)) continue;
        table.Sort(family.columns[static_cast<std::size_t>(family.keyColumn)].get);
        moved = true;
    }
    return moved;
}

// ---------------------------------------------------------------------------
// Station queries

namespace {

// Inside a range by more than the tolerance at both ends.
bool Covers(const QStation& start, const QStation& end, const QStation& station) {
    const double tol = GetStationTolerance();
    return start.GetValue() + tol <= station.GetValue() && station.GetValue() + tol <= end.GetValue();
}

// Within a range, its ends included within the tolerance.
bool Holds(const QStation& start, const QStation& end, const QStation& station) {
    const double tol = GetStationTolerance();
    return start.GetValue() < station.GetValue() + tol && end.GetValue() > station.GetValue() - tol;
}

bool IsSide(CtrSide side) {
    return side == CtrSide::Left || side == CtrSide::Both || side == CtrSide::Right;
}

// Whether a bridge or culvert of this side stands on the side asked.
bool StandsOn(std::int32_t rowSide, CtrSide asked) {
    switch (rowSide) {
        case 0:
            return true;
        case -1:
            return asked != CtrSide::Right;
        case 1:
            return asked != CtrSide::Left;
        default:
            return false;
    }
}

}  // namespace

bool CtrDoc::IsInTunnel(const QStation& station) const {
    for (int i = 0; i < GetRowCount(CtrTable::SUIDAO); ++i) {
        const TunnelRow& row = *GetRow<TunnelRow>(CtrTable::SUIDAO, i);
        if (Covers(row.StartStation, row.EndStation, station)) return true;
    }
    return false;
}

bool CtrDoc::IsInStructure(const QStation& station, CtrSide side) const {
    if (!IsSide(side)) return false;
    if (side == CtrSide::Both)
        return IsInStructure(station, CtrSide::Left) && IsInStructure(station, CtrSide::Right);
    for (int i = 0; i < GetRowCount(CtrTable::QHSJ); ++i) {
        const StructureRow& row = *GetRow<StructureRow>(CtrTable::QHSJ, i);
        if (StandsOn(row.Side, side) && Covers(row.StartStation, row.EndStation, station)) return true;
    }
    return false;
}

const StructureRow* CtrDoc::FindStructureAt(const QStation& station, CtrSide side) const {
    if (side != CtrSide::Left && side != CtrSide::Right) return nullptr;
    for (int i = 0; i < GetRowCount(CtrTable::QHSJ); ++i) {
        const StructureRow* row = GetRow<StructureRow>(CtrTable::QHSJ, i);
        if ((row->Side == 0 || row->Side == static_cast<std::int32_t>(side)) &&
            Holds(row->StartStation, row->EndStation, station))
            return row;
    }
    return nullptr;
}

const TunnelRow* CtrDoc::FindTunnelAt(const QStation& station) const {
    for (int i = 0; i < GetRowCount(CtrTable::SUIDAO); ++i) {
        const TunnelRow* row = GetRow<TunnelRow>(CtrTable::SUIDAO, i);
        if (Holds(row->StartStation, row->EndStation, station)) return row;
    }
    return nullptr;
}

bool CtrDoc::InterpolateFJBK(CtrSide side, const QStation& station, int transition, int mode,
                             ItemRow& out) const {
    if (side != CtrSide::Left && side != CtrSide::Right) return false;
    const CtrTable table = side == CtrSide::Left ? CtrTable::ZFJBK : CtrTable::YFJBK;
    const int count = GetRowCount(table);
    int i = 0;
    while (i < count && !(GetRow<ItemRow>(table, i)->Station >= station)) ++i;
    if (i == count) return false;
    const ItemRow& next = *GetRow<ItemRow>(table, i);
    if (i == 0 || GetRow<ItemRow>(table, i - 1)->Items.size() != next.Items.size()) {
        out = next;
        return true;
    }
    const ItemRow& previous = *GetRow<ItemRow>(table, i - 1);
    const double span = std::fabs(next.Station.GetValue() - previous.Station.GetValue());
    const double t = next.Station == previous.Station
                         ? 0.0
                         : std::fabs(station.GetValue() - previous.Station.GetValue()) / span;
    const auto smooth = [](double x) { return x * x * (3.0 - 2.0 * x); };        // 3x² - 2x³
    const auto parabola = [](double x) { return x * x * x * (4.0 - 3.0 * x); };  // 4x³ - 3x⁴

    ItemRow result;
    result.Station = station;
    result.Items.resize(next.Items.size());
    for (std::size_t k = 0; k < next.Items.size(); ++k) {
        const CtrItem& p = previous.Items[k];
        const CtrItem& q = next.Items[k];
        CtrItem& r = result.Items[k];
        double f = t;
        if (transition == ParabolaTransition)
            f = p.Second < q.Second ? parabola(t) : 1.0 - parabola(1.0 - t);
        else if (transition == CubicTransition)
            f = smooth(t);
        r.Second = p.Second + (q.Second - p.Second) * f;
        r.Third = p.Third + (q.Third - p.Third) * t;
        if (std::fabs(p.First) != kUnsetFirstValue && std::fabs(q.First) != kUnsetFirstValue)
            r.First = p.First + (q.First - p.First) * (mode == CubicFirstValue ? smooth(t) : t);
        else
            r.First = q.First;
        // The code of the row ahead, which the first value also falls back to.
        r.Code = q.Code;
        if (!std::isfinite(r.First) || !std::isfinite(r.Second) || !std::isfinite(r.Third)) return false;
    }
    out = std::move(result);
    return true;
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
        const RowFamily& family = *table.family;
        const std::span<const Step> layout = family.LayoutOf(kCurrentVersion);
        RowTableBase& rows = *DataAs<CtrData>().tables[t];
        ar << table.name << EndRecord;
        if (!text) ar << rows.Count();
        for (int i = 0; i < rows.Count(); ++i) {
            WriteRow(ar, family.columns, layout, &family, rows.At(i), table);
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
        const RowFamily& family = *table->family;
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
