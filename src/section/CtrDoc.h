// CtrDoc: the design control data of a road, the station-indexed tables the
// cross-section design needs besides the ground: fill and cut slope patterns,
// side ditches and drainage ditches, bridges and culverts, tunnels,
// benchmarks, standard cross-sections, land take and further per-station
// values. Before 5.8 every table was a file of its own named after the table
// (ZTFBP.DAT and so on); the design control file keeps all thirty in one text
// file, each still introduced by its file name. A leading Z marks a table of
// the left side, Y one of the right side, D one for both.
//
// What the values of the slope, ditch, TFFD, LCSD, FJBK, BZDM, CHT and QCHBT
// tables mean is the host's cross-section design's business; the document
// keeps them in their order and count.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <qdat/docbase/QDocument.h>
#include <qdat/host/Export.h>
#include <qdat/station/QStation.h>

namespace qdat {

// The thirty tables, in the order they are kept and written.
enum class CtrTable : int {
    ZTFBP,         // fill slope, left: levels of a stepped slope
    YTFBP,         // fill slope, right
    ZWFBP,         // cut slope, left
    YWFBP,         // cut slope, right
    ZBGXS,         // side-ditch form, left
    YBGXS,         // side-ditch form, right
    ZPSGXS,        // drainage-ditch form, left
    YPSGXS,        // drainage-ditch form, right
    TFFD,          // six values by station, both sides
    QHSJ,          // bridges and culverts over a range, the side given by each row
    HDSJ,          // culverts at a station, with a crossing angle
    ZLCSD,         // four values by station, left
    YLCSD,         // four values by station, right
    ZFJBK,         // four-part items by station, left
    YFJBK,         // four-part items by station, right
    ZBZDM,         // standard cross-section, left
    YBZDM,         // standard cross-section, right
    ZCHT,          // one value by station, left
    YCHT,          // one value by station, right
    DCHT,          // one value by station, both sides
    QCHBT,         // two values by station, both sides
    DZGK,          // geological description by station
    ZJSG,          // intercepting ditch over a range, left
    YJSG,          // intercepting ditch over a range, right
    SUIDAO,        // tunnels
    SHUIZHUNDIAN,  // benchmarks
    ZYDK,          // land-take width, left
    YYDK,          // land-take width, right
    ZFYHP,         // two values by station, left
    YFYHP,         // two values by station, right
};
inline constexpr int kCtrTableCount = 30;

// A side of the road: of a table, of a bridge or culvert row, of a question.
enum class CtrSide : std::int32_t { Left = -1, Both = 0, Right = 1 };

// The kinds of rows the tables hold.
enum class CtrRowShape : std::uint8_t {
    Items,              // station and a list of items (slope, ditch and FJBK tables)
    Values,             // station and up to nine values
    Structure,          // a bridge or culvert over a range (QHSJ)
    Culvert,            // a culvert at a station (HDSJ)
    Geology,            // station and a text (DZGK)
    InterceptingDitch,  // a range, a value and value pairs (JSG)
    Tunnel,             // a range and a name (SUIDAO)
    Benchmark,          // station, name, value, remark (SHUIZHUNDIAN)
};

// An item of a slope, ditch or FJBK row: a slope level (first, second,
// third value and a code), a ditch item (its third value is never stored: 0
// after every read) or a four-part item.
struct QDAT_API CtrItem {
    double First = 0.0;
    double Second = 0.0;
    double Third = 0.0;
    std::int32_t Code = 0;

    bool operator==(const CtrItem&) const = default;
};
using SlopeLevel = CtrItem;
using DitchItem = CtrItem;
using FourPartItem = CtrItem;

// A value pair of an intercepting-ditch row.
struct QDAT_API ValuePair {
    double First = 0.0;
    double Second = 0.0;

    bool operator==(const ValuePair&) const = default;
};

struct QDAT_API ItemRow {
    static constexpr CtrRowShape kShape = CtrRowShape::Items;
    QStation Station;
    std::vector<CtrItem> Items;
};

// TFFD holds six values, LCSD four, BZDM nine (f1 to f9), CHT one, QCHBT,
// YDK and FYHP two; the others stay 0.
struct QDAT_API ValueRow {
    static constexpr CtrRowShape kShape = CtrRowShape::Values;
    static constexpr int kMaxValues = 9;
    QStation Station;
    double Values[kMaxValues] = {};
};

struct QDAT_API StructureRow {
    static constexpr CtrRowShape kShape = CtrRowShape::Structure;
    QStation StartStation;
    QStation EndStation;
    QStation CentreStation;
    std::string Text1;
    std::string Text2;
    std::string Text3;
    double Value1 = 0.0;
    double Value2 = 0.0;
    std::int32_t Code1 = 0;
    std::int32_t Code2 = 0;
    std::int32_t Side = 0;  // CtrSide: -1 left only, 0 both sides, 1 right only
};

struct QDAT_API CulvertRow {
    static constexpr CtrRowShape kShape = CtrRowShape::Culvert;
    static constexpr double kDefaultAngle = 90.0;
    QStation Station;
    double Angle = kDefaultAngle;  // crossing angle, degrees
    std::string Text1;
    std::string Text2;
    double Value = 0.0;
};

struct QDAT_API GeologyRow {
    static constexpr CtrRowShape kShape = CtrRowShape::Geology;
    QStation Station;
    std::string Text;
};

struct QDAT_API InterceptingDitchRow {
    static constexpr CtrRowShape kShape = CtrRowShape::InterceptingDitch;
    QStation StartStation;
    QStation EndStation;
    double Value = 0.0;
    std::vector<ValuePair> Pairs;
};

struct QDAT_API TunnelRow {
    static constexpr CtrRowShape kShape = CtrRowShape::Tunnel;
    QStation StartStation;
    QStation EndStation;
    std::string Name;
};

struct QDAT_API BenchmarkRow {
    static constexpr CtrRowShape kShape = CtrRowShape::Benchmark;
    QStation Station;
    std::string Name;
    double Value = 0.0;
    std::string Remark;
};

class QDAT_API CtrDoc : public QDocument {
public:
    // A value accessor's answer outside a table or outside a row's values.
    static constexpr double kNoValue = -9999.0;
    // An FJBK first value that is not set (of either sign): never interpolated.
    static constexpr double kUnsetFirstValue = 9999.0;
    // InterpolateFJBK's transition kinds of the second value and modes of the
    // first value; any other kind or mode is linear.
    enum Transition : int { LinearTransition = 0, ParabolaTransition = 1, CubicTransition = 2 };
    enum FirstValueMode : int { LinearFirstValue = 0, CubicFirstValue = 1 };

    CtrDoc();
    ~CtrDoc() override;

    int SerializeContent(DataArchive& ar) override;
    void DeleteContents() override;
    // Some table holds a row whose key station lies beyond the next row's by
    // the station tolerance (the key is the row's station, a range's start
    // station, a bridge's centre station).
    bool NeedsRepair() override;
    // Sorts every table by key station, as exchanging adjacent rows would:
    // rows closer than the tolerance keep their order, none is removed. True
    // when some row moved.
    bool Repair() override;

    // The table's file name ("ZTFBP.DAT"), its side (QHSJ: Both, the rows say
    // theirs) and the shape of its rows.
    static std::string_view GetTableName(CtrTable table);
    static CtrSide GetTableSide(CtrTable table);
    static CtrRowShape GetRowShape(CtrTable table);
    // The table a file name names (case ignored, "TTFD.DAT" for TFFD); false
    // when none.
    static bool FindTable(std::string_view name, CtrTable& table);

    int GetRowCount(CtrTable table) const;
    // Row index of the table; null outside the table, or when the table holds
    // other rows than Row.
    template <class Row>
    Row* GetRow(CtrTable table, int index) {
        return static_cast<Row*>(RowAddress(table, index, Row::kShape));
    }
    template <class Row>
    const Row* GetRow(CtrTable table, int index) const {
        return static_cast<const Row*>(const_cast<CtrDoc*>(this)->RowAddress(table, index, Row::kShape));
    }
    // Inserts a default row at index (0 to the row count) and marks the
    // document modified; null for another index or another row type.
    template <class Row>
    Row* InsertRow(CtrTable table, int index) {
        return static_cast<Row*>(InsertRowAddress(table, index, Row::kShape));
    }
    template <class Row>
    Row* AddRow(CtrTable table) {
        return InsertRow<Row>(table, GetRowCount(table));
    }
    bool RemoveRow(CtrTable table, int index);
    // Value `which` (from 0) of row index of a table of values (TFFD, LCSD,
    // BZDM, CHT, QCHBT, YDK, FYHP); kNoValue outside the row's values.
    double GetValue(CtrTable table, int index, int which) const;
    // The two values of row index of a two-value table (QCHBT, YDK, FYHP);
    // false, with nothing changed, outside the table.
    bool GetTwoValues(CtrTable table, int index, double& first, double& second) const;

    // Whether a tunnel holds the station by more than the station tolerance
    // inside both ends.
    bool IsInTunnel(const QStation& station) const;
    // Whether a bridge or culvert covers the station on the side (more than
    // the tolerance inside both ends). Both asks for a cover on the left and
    // one on the right, not necessarily by the same row.
    bool IsInStructure(const QStation& station, CtrSide side) const;
    // The first bridge or culvert on the side (Left or Right) whose range
    // holds the station, its ends included within the tolerance; null when
    // none (always for Both).
    const StructureRow* FindStructureAt(const QStation& station, CtrSide side) const;
    // The first tunnel whose range holds the station, ends included.
    const TunnelRow* FindTunnelAt(const QStation& station) const;

    // The FJBK row of the side (Left: ZFJBK, Right: YFJBK) at the station:
    // interpolated between the rows around it, transition giving the curve of
    // the second value and mode that of the first. False, with out unchanged,
    // when no row lies at or beyond the station, for a side other than Left
    // and Right, or when the
    // interpolation gives no finite value.
    bool InterpolateFJBK(CtrSide side, const QStation& station, int transition, int mode, ItemRow& out) const;

    static const DocumentKind classRecord;

private:
    void* RowAddress(CtrTable table, int index, CtrRowShape shape);
    void* InsertRowAddress(CtrTable table, int index, CtrRowShape shape);
    void Load(DataArchive& ar);
    void Store(DataArchive& ar);
};

}  // namespace qdat
