// Sorting rows by station the way the repair step of a document does: a
// bubble sort with a shrinking bound that exchanges neighbours when the later
// one lies below the earlier one by the station tolerance. Rows closer than
// the tolerance keep their order.
//
// The tolerant "below" is not an ordering in general: with a tolerance of
// 0.001, 100.0007 is level with 100.0000 and with 100.0014, which are not
// level with each other, and where such chains occur the result depends on
// which neighbours the bubble sort happens to compare. The rows are therefore
// sorted fast only where the result provably is the bubble sort's, and by the
// bubble sort itself otherwise.
#pragma once

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "station/QStation.h"

namespace qdat {

// Whether station a lies below station b: at least the tolerance below it
// (the tolerant "<" of QStation). A station is never below itself, also where
// the tolerance is lost in the rounding of large stations; without that rule
// a repair would exchange two equal stations for ever.
inline bool StationBelow(double a, double b, double tolerance) {
    return a < b && a <= b - tolerance;
}

// Whether "below" orders these stations strictly and weakly: all are finite,
// and every group of stations linked by gaps smaller than the tolerance spans
// less than the tolerance, so that "level with" (neither below the other) is
// transitive. Then every stable sort by "below" gives the one order that keeps
// level stations as they were, which is the order the bubble sort reaches.
//
// In sorted order: a level with d and a <= b <= c <= d make b level with c,
// as a <= b, c <= d and d - tolerance rounds no higher than c - tolerance do;
// so a group whose first and last stations are level is level throughout, and
// stations of different groups are below one another in sorted order.
inline bool IsWeakOrderOfStations(std::vector<double> stations, double tolerance) {
    for (double s : stations)
        if (!std::isfinite(s)) return false;
    std::sort(stations.begin(), stations.end());
    std::size_t first = 0;  // the first station of the current group
    for (std::size_t i = 1; i < stations.size(); ++i) {
        if (StationBelow(stations[i - 1], stations[i], tolerance))
            first = i;
        else if (StationBelow(stations[first], stations[i], tolerance))
            return false;
    }
    return true;
}

// Sorts rows[0..count) by the stations that stationOf gives (a double in
// metres), exactly as the bubble sort described above would. A stable merge
// sort does it where the stations allow (see IsWeakOrderOfStations), so that
// a long file in reverse order costs n log n; stations in chains closer than
// the tolerance are left to the bubble sort, whose order only it defines.
template <class Row, class StationOf>
void SortRowsByStation(Row* rows, int count, StationOf stationOf) {
    if (count < 2) return;
    const double tolerance = GetStationTolerance();
    const auto below = [&](const Row& a, const Row& b) {
        return StationBelow(stationOf(a), stationOf(b), tolerance);
    };
    std::vector<double> stations(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) stations[static_cast<std::size_t>(i)] = stationOf(rows[i]);
    if (IsWeakOrderOfStations(std::move(stations), tolerance)) {
        std::stable_sort(rows, rows + count, below);
        return;
    }
    int last = count - 1;
    while (last > 0) {
        int lastSwap = 0;
        for (int i = 1; i <= last; ++i) {
            if (below(rows[i], rows[i - 1])) {
                std::swap(rows[i], rows[i - 1]);
                lastSwap = i;
            }
        }
        last = lastSwap;
    }
}

}  // namespace qdat
