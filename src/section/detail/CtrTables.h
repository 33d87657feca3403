// The thirty tables of the design control data, described once: each its
// file name, its side and the family of rows it holds; each family its
// columns and the layout of its rows in every generation of the file.
#pragma once

#include <cstddef>
#include <span>

#include <qdat/section/CtrDoc.h>
#include <qdat/section/detail/RowEngine.h>
#include <qdat/station/ChainTable.h>

namespace qdat::ctr_tables {

using namespace row_engine;

// A family of rows of the control data: the shape of its rows, as the
// document hands them out, and how the engine reads and writes them.
struct CtrFamily {
    CtrRowShape shape;
    RowFamily rows;
    int valueCount = 0;  // Values rows: the values the family holds
};

// --- Slope, ditch and FJBK tables: a station and a list of items.

inline constexpr ColumnDescription kItemRowColumns[] = {Column<&ItemRow::Station>("station", "m")};

enum ItemColumn { kFirst, kSecond, kThird, kCode };
inline constexpr ColumnDescription kItemColumns[] = {
    Column<&CtrItem::First>("first"),
    Column<&CtrItem::Second>("second"),
    Column<&CtrItem::Third>("third"),
    Column<&CtrItem::Code>("code"),
};
// A ditch item's third value is never stored.
enum DitchColumn { kDitchFirst, kDitchSecond, kDitchCode };
inline constexpr ColumnDescription kDitchItemColumns[] = {
    Column<&CtrItem::First>("first"),
    Column<&CtrItem::Second>("second"),
    Column<&CtrItem::Code>("code"),
};

inline constexpr RowList kLevelLists[] = {ListOf<&ItemRow::Items>("levels", kItemColumns)};
inline constexpr RowList kDitchLists[] = {ListOf<&ItemRow::Items>("items", kDitchItemColumns)};
inline constexpr RowList kFjbkLists[] = {ListOf<&ItemRow::Items>("items", kItemColumns)};

// A slope level is written first, third, second, code.
inline constexpr Step kLevelSteps[] = {Places(3), F(kFirst), F(kThird), F(kSecond), F(kCode)};
inline constexpr Step kLevel430Steps[] = {F(kFirst), F(kThird), F(kSecond)};
inline constexpr Step kLevel410Steps[] = {F(kFirst), F(kSecond)};
inline constexpr Step kSlopeSteps[] = {F(0), ItemsOf(kLevelSteps)};
inline constexpr Step kSlope430Steps[] = {F(0), ItemsOf(kLevel430Steps)};
inline constexpr Step kSlope410Steps[] = {F(0), ItemsOf(kLevel410Steps)};
inline constexpr Variant kSlopeVariants[] = {
    {410, 420, kSlope410Steps}, {430, 430, kSlope430Steps}, {0, kAnyVersion, kSlopeSteps}};

inline constexpr Step kDitchItemSteps[] = {Places(3), F(kDitchFirst), F(kDitchSecond), F(kDitchCode)};
inline constexpr Step kDitchItem410Steps[] = {F(kDitchFirst), F(kDitchSecond)};
inline constexpr Step kDitchSteps[] = {F(0), ItemsOf(kDitchItemSteps)};
inline constexpr Step kDitch410Steps[] = {F(0), ItemsOf(kDitchItem410Steps)};
inline constexpr Variant kDitchVariants[] = {{410, 430, kDitch410Steps}, {0, kAnyVersion, kDitchSteps}};

// An FJBK item is written first, second, code, third.
inline constexpr Step kFjbkItemSteps[] = {Places(3), F(kFirst), F(kSecond), F(kCode), F(kThird)};
inline constexpr Step kFjbkItem500Steps[] = {F(kFirst), F(kSecond)};
inline constexpr Step kFjbkSteps[] = {F(0), ItemsOf(kFjbkItemSteps)};
inline constexpr Step kFjbk500Steps[] = {F(0), ItemsOf(kFjbkItem500Steps)};
inline constexpr Variant kFjbkVariants[] = {{550, kAnyVersion, kFjbkSteps}, {0, 549, kFjbk500Steps}};

inline constexpr CtrFamily kSlopeFamily{.shape = CtrRowShape::Items,
                                        .rows = {.columns = kItemRowColumns,
                                                 .keyColumn = 0,
                                                 .variants = kSlopeVariants,
                                                 .makeTable = MakeTable<ItemRow>,
                                                 .lists = kLevelLists,
                                                 .append = AppendItem<&ItemRow::Items>}};
inline constexpr CtrFamily kDitchFamily{.shape = CtrRowShape::Items,
                                        .rows = {.columns = kItemRowColumns,
                                                 .keyColumn = 0,
                                                 .variants = kDitchVariants,
                                                 .makeTable = MakeTable<ItemRow>,
                                                 .lists = kDitchLists,
                                                 .append = AppendItem<&ItemRow::Items>}};
inline constexpr CtrFamily kFjbkFamily{.shape = CtrRowShape::Items,
                                       .rows = {.columns = kItemRowColumns,
                                                .keyColumn = 0,
                                                .variants = kFjbkVariants,
                                                .makeTable = MakeTable<ItemRow>,
                                                .lists = kFjbkLists,
                                                .append = AppendItem<&ItemRow::Items>}};

// --- Tables of values by station: column 0 the station, then the values.

template <std::size_t I>
constexpr ColumnDescription ValueColumn(const char* key) {
    return ElementColumn<&ValueRow::Values, I>(key);
}

inline constexpr ColumnDescription kTffdColumns[] = {
    Column<&ValueRow::Station>("station", "m"),
    ValueColumn<0>("value1"),
    ValueColumn<1>("value2"),
    ValueColumn<2>("value3"),
    ValueColumn<3>("value4"),
    ValueColumn<4>("value5"),
    ValueColumn<5>("value6"),
};
inline constexpr Step kTffdSteps[] = {Places(3), F(0), F(1), F(2), F(3), F(4), F(5), F(6)};
inline constexpr Variant kTffdVariants[] = {{0, kAnyVersion, kTffdSteps}};

inline constexpr ColumnDescription kLcsdColumns[] = {
    Column<&ValueRow::Station>("station", "m"),
    ValueColumn<0>("value1"),
    ValueColumn<1>("value2"),
    ValueColumn<2>("value3"),
    ValueColumn<3>("value4"),
};
inline constexpr Step kLcsdSteps[] = {F(0), Places(3), F(1), F(2), F(3), F(4)};
// 5.5 had no first value; before it the first of two values was dropped and
// the second stood for the second and the third.
inline constexpr Step kLcsd550Steps[] = {F(0), F(2), F(3), F(4)};
inline constexpr Step kLcsd500Steps[] = {F(0), kSkipValue, F(2), CopyColumn(3, 2)};
inline constexpr Variant kLcsdVariants[] = {
    {560, kAnyVersion, kLcsdSteps}, {550, 559, kLcsd550Steps}, {0, 549, kLcsd500Steps}};

inline constexpr ColumnDescription kBzdmColumns[] = {
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
inline constexpr Step kBzdmSteps[] = {F(0), Places(3), F(1), F(3), F(2), F(4), F(5), F(6), F(7), F(8), F(9)};
inline constexpr Variant kBzdmVariants[] = {{0, kAnyVersion, kBzdmSteps}};

inline constexpr ColumnDescription kOneValueColumns[] = {
    Column<&ValueRow::Station>("station", "m"),
    ValueColumn<0>("value"),
};
inline constexpr Step kOneValueSteps[] = {F(0), Places(3), F(1)};
inline constexpr Variant kOneValueVariants[] = {{0, kAnyVersion, kOneValueSteps}};

inline constexpr ColumnDescription kTwoValueColumns[] = {
    Column<&ValueRow::Station>("station", "m"),
    ValueColumn<0>("value1"),
    ValueColumn<1>("value2"),
};
inline constexpr Step kTwoValueSteps[] = {F(0), Places(3), F(1), F(2)};
inline constexpr Variant kTwoValueVariants[] = {{0, kAnyVersion, kTwoValueSteps}};

inline constexpr CtrFamily kTffdFamily{.shape = CtrRowShape::Values,
                                       .rows = {.columns = kTffdColumns,
                                                .keyColumn = 0,
                                                .variants = kTffdVariants,
                                                .makeTable = MakeTable<ValueRow>},
                                       .valueCount = 6};
inline constexpr CtrFamily kLcsdFamily{.shape = CtrRowShape::Values,
                                       .rows = {.columns = kLcsdColumns,
                                                .keyColumn = 0,
                                                .variants = kLcsdVariants,
                                                .makeTable = MakeTable<ValueRow>},
                                       .valueCount = 4};
inline constexpr CtrFamily kBzdmFamily{.shape = CtrRowShape::Values,
                                       .rows = {.columns = kBzdmColumns,
                                                .keyColumn = 0,
                                                .variants = kBzdmVariants,
                                                .makeTable = MakeTable<ValueRow>},
                                       .valueCount = 9};
inline constexpr CtrFamily kOneValueFamily{.shape = CtrRowShape::Values,
                                           .rows = {.columns = kOneValueColumns,
                                                    .keyColumn = 0,
                                                    .variants = kOneValueVariants,
                                                    .makeTable = MakeTable<ValueRow>},
                                           .valueCount = 1};
inline constexpr CtrFamily kTwoValueFamily{.shape = CtrRowShape::Values,
                                           .rows = {.columns = kTwoValueColumns,
                                                    .keyColumn = 0,
                                                    .variants = kTwoValueVariants,
                                                    .makeTable = MakeTable<ValueRow>},
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
inline constexpr ColumnDescription kStructureColumns[] = {
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
inline constexpr Step kStructureSteps[] = {F(kStart),  F(kEnd),   F(kCentre), F(kText1),
                                           F(kText2),  F(kText3), Places(4),  F(kValue1),
                                           F(kValue2), F(kCode1), F(kCode2),  Long(kSide)};
inline constexpr Step kStructure580Steps[] = {F(kStart),  F(kEnd),   F(kCentre), F(kText1),
                                              F(kText2),  F(kText3), Places(4),  F(kValue1),
                                              F(kValue2), F(kCode1), F(kCode2)};
inline constexpr Step kStructure560Steps[] = {
    F(kStart), F(kEnd),           F(kCentre),        F(kText1),        F(kText2),
    F(kText3), Optional(kValue1), Optional(kValue2), Optional(kCode1), Optional(kCode2)};
inline constexpr Variant kStructureVariants[] = {
    {581, kAnyVersion, kStructureSteps}, {580, 580, kStructure580Steps}, {0, 579, kStructure560Steps}};

// A station as the text form holds it: station text through the current
// chain table, read back.
inline double AsStationText(double station) {
    double back = station;
    if (GetCurrentChainTable().ParseStake(QStation(station).GetText(), back)) return back;
    ClearLastStationTextError();
    return station;
}

// A centre outside its range goes to the middle. The middle is taken as
// station text holds the ends and itself, so that a file written and read
// again finds the centre where it was put (a range whose ends are reversed
// has no inside and always gets its middle).
inline void PutCentreInRange(void* row) {
    StructureRow& r = *static_cast<StructureRow*>(row);
    const double start = r.StartStation.GetValue(), end = r.EndStation.GetValue();
    const double centre = r.CentreStation.GetValue();
    if (centre >= start && centre <= end) return;
    // Halves first: the sum of two huge stations is not finite.
    r.CentreStation = AsStationText(AsStationText(start) / 2.0 + AsStationText(end) / 2.0);
}

inline constexpr CtrFamily kStructureFamily{.shape = CtrRowShape::Structure,
                                            .rows = {.columns = kStructureColumns,
                                                     .keyColumn = kCentre,
                                                     .variants = kStructureVariants,
                                                     .makeTable = MakeTable<StructureRow>,
                                                     .afterRead = PutCentreInRange}};

// --- Culverts at a station (HDSJ).

enum CulvertColumn { kCulvertStation, kAngle, kCulvertText1, kCulvertText2, kCulvertValue };
inline constexpr ColumnDescription kCulvertColumns[] = {
    Column<&CulvertRow::Station>("station", "m"), Column<&CulvertRow::Angle>("angle", "deg"),
    TextColumn<&CulvertRow::Text1>("text1"),      TextColumn<&CulvertRow::Text2>("text2"),
    Column<&CulvertRow::Value>("value"),
};
inline constexpr Step kCulvertSteps[] = {F(kCulvertStation), Places(4),        F(kAngle),
                                         F(kCulvertText1),   F(kCulvertText2), F(kCulvertValue)};
inline constexpr Step kCulvert410Steps[] = {F(kCulvertStation), F(kAngle), F(kCulvertText1), F(kCulvertText2),
                                            Optional(kCulvertValue)};
// Before 4.1 a text stood where the angle is; the angle is the default.
inline constexpr Step kCulvert400Steps[] = {F(kCulvertStation), kSkipText, F(kCulvertText1),
                                            F(kCulvertText2)};
inline constexpr Variant kCulvertVariants[] = {
    {560, kAnyVersion, kCulvertSteps}, {410, 559, kCulvert410Steps}, {0, 409, kCulvert400Steps}};

inline constexpr CtrFamily kCulvertFamily{.shape = CtrRowShape::Culvert,
                                          .rows = {.columns = kCulvertColumns,
                                                   .keyColumn = 0,
                                                   .variants = kCulvertVariants,
                                                   .makeTable = MakeTable<CulvertRow>}};

// --- The remaining tables, read alike in every version.

inline constexpr ColumnDescription kGeologyColumns[] = {
    Column<&GeologyRow::Station>("station", "m"),
    TextColumn<&GeologyRow::Text>("text"),
};
inline constexpr Step kGeologySteps[] = {F(0), F(1)};
inline constexpr Variant kGeologyVariants[] = {{0, kAnyVersion, kGeologySteps}};
inline constexpr CtrFamily kGeologyFamily{.shape = CtrRowShape::Geology,
                                          .rows = {.columns = kGeologyColumns,
                                                   .keyColumn = 0,
                                                   .variants = kGeologyVariants,
                                                   .makeTable = MakeTable<GeologyRow>}};

inline constexpr ColumnDescription kInterceptingDitchColumns[] = {
    Column<&InterceptingDitchRow::StartStation>("startStation", "m"),
    Column<&InterceptingDitchRow::EndStation>("endStation", "m"),
    Column<&InterceptingDitchRow::Value>("value"),
};
inline constexpr ColumnDescription kPairColumns[] = {
    Column<&ValuePair::First>("first"),
    Column<&ValuePair::Second>("second"),
};
inline constexpr RowList kPairLists[] = {ListOf<&InterceptingDitchRow::Pairs>("pairs", kPairColumns)};
inline constexpr Step kPairSteps[] = {Places(3), F(0), F(1)};
inline constexpr Step kInterceptingDitchSteps[] = {F(0), F(1), F(2), ItemsOf(kPairSteps)};
inline constexpr Variant kInterceptingDitchVariants[] = {{0, kAnyVersion, kInterceptingDitchSteps}};
inline constexpr CtrFamily kInterceptingDitchFamily{
    .shape = CtrRowShape::InterceptingDitch,
    .rows = {.columns = kInterceptingDitchColumns,
             .keyColumn = 0,
             .variants = kInterceptingDitchVariants,
             .makeTable = MakeTable<InterceptingDitchRow>,
             .lists = kPairLists,
             .append = AppendItem<&InterceptingDitchRow::Pairs>}};

inline constexpr ColumnDescription kTunnelColumns[] = {
    Column<&TunnelRow::StartStation>("startStation", "m"),
    Column<&TunnelRow::EndStation>("endStation", "m"),
    TextColumn<&TunnelRow::Name>("name"),
};
inline constexpr Step kTunnelSteps[] = {F(0), F(1), F(2)};
inline constexpr Variant kTunnelVariants[] = {{0, kAnyVersion, kTunnelSteps}};
inline constexpr CtrFamily kTunnelFamily{.shape = CtrRowShape::Tunnel,
                                         .rows = {.columns = kTunnelColumns,
                                                  .keyColumn = 0,
                                                  .variants = kTunnelVariants,
                                                  .makeTable = MakeTable<TunnelRow>}};

inline constexpr ColumnDescription kBenchmarkColumns[] = {
    Column<&BenchmarkRow::Station>("station", "m"),
    TextColumn<&BenchmarkRow::Name>("name"),
    Column<&BenchmarkRow::Value>("value"),
    TextColumn<&BenchmarkRow::Remark>("remark"),
};
inline constexpr Step kBenchmarkSteps[] = {F(0), F(1), Places(3), F(2), F(3)};
inline constexpr Variant kBenchmarkVariants[] = {{0, kAnyVersion, kBenchmarkSteps}};
inline constexpr CtrFamily kBenchmarkFamily{.shape = CtrRowShape::Benchmark,
                                            .rows = {.columns = kBenchmarkColumns,
                                                     .keyColumn = 0,
                                                     .variants = kBenchmarkVariants,
                                                     .makeTable = MakeTable<BenchmarkRow>}};

// ---------------------------------------------------------------------------
// The tables.

struct TableDescription {
    const char* name;
    CtrSide side;
    const CtrFamily* family;
    const char* alias = nullptr;  // another name the table is read under
};

using enum CtrSide;
inline constexpr TableDescription kTables[kCtrTableCount] = {
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

inline const TableDescription& Describe(CtrTable table) {
    return kTables[static_cast<std::size_t>(table)];
}

inline bool IsTable(CtrTable table) {
    const int t = static_cast<int>(table);
    return t >= 0 && t < kCtrTableCount;
}

}  // namespace qdat::ctr_tables
