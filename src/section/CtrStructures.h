// What the design control data say at a station: whether it lies in a
// tunnel and in which, the bridge or culvert on each side, the benchmarks
// nearest behind and ahead, and the FJBK rows of both sides interpolated
// there. The rows point into the document, which must outlive the answer.
#pragma once

#include <optional>

#include <qdat/host/Export.h>
#include <qdat/section/CtrDoc.h>
#include <qdat/station/QStation.h>

namespace qdat {

struct QDAT_API CtrStationAnswer {
    QStation station;
    bool inTunnel = false;               // more than the tolerance inside both ends
    const TunnelRow* tunnel = nullptr;   // the tunnel holding the station, ends included
    const StructureRow* left = nullptr;  // the bridge or culvert on each side
    const StructureRow* right = nullptr;
    const BenchmarkRow* behind = nullptr;  // the last benchmark at or behind the station
    const BenchmarkRow* ahead = nullptr;   // the first ahead of it
    std::optional<ItemRow> leftFjbk;       // the FJBK rows interpolated at the station
    std::optional<ItemRow> rightFjbk;
};

// The answer at one station, the FJBK rows interpolated with the transition
// (CtrDoc::Transition) and first-value mode (CtrDoc's first-value modes)
// given. Station comparisons are tolerant; of equal benchmarks the first
// counts.
QDAT_API CtrStationAnswer AskControlAt(const CtrDoc& doc, const QStation& station, int transition,
                                       int firstValueMode);

}  // namespace qdat
