#include <qdat/section/CtrStructures.h>

namespace qdat {
namespace {

// The benchmarks nearest to the station: the last at or behind it, the first
// ahead of it (tolerant station comparisons; the first of equals).
void FindBenchmarks(const CtrDoc& doc, CtrStationAnswer& a) {
    for (int i = 0; i < doc.GetRowCount(CtrTable::SHUIZHUNDIAN); ++i) {
        const BenchmarkRow* row = doc.GetRow<BenchmarkRow>(CtrTable::SHUIZHUNDIAN, i);
        if (row->Station <= a.station) {
            if (!a.behind || row->Station > a.behind->Station) a.behind = row;
        } else if (!a.ahead || row->Station < a.ahead->Station) {
            a.ahead = row;
        }
    }
}

}  // namespace

CtrStationAnswer AskControlAt(const CtrDoc& doc, const QStation& station, int transition,
                              int firstValueMode) {
    CtrStationAnswer a;
    a.station = station;
    a.inTunnel = doc.IsInTunnel(station);
    a.tunnel = doc.FindTunnelAt(station);
    a.left = doc.FindStructureAt(station, CtrSide::Left);
    a.right = doc.FindStructureAt(station, CtrSide::Right);
    FindBenchmarks(doc, a);
    ItemRow row;
    if (doc.InterpolateFJBK(CtrSide::Left, station, transition, firstValueMode, row)) a.leftFjbk = row;
    if (doc.InterpolateFJBK(CtrSide::Right, station, transition, firstValueMode, row)) a.rightFjbk = row;
    return a;
}

}  // namespace qdat
