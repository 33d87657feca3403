// The design control data's questions about a station: tunnels, bridges and
// culverts there, and the FJBK row interpolated at it.
#include <cmath>
#include <utility>

#include <qdat/section/CtrDoc.h>

namespace qdat {

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

}  // namespace qdat
