// Sorting by a tolerant order, the way the repair steps of the documents do:
// a bubble sort with a shrinking bound that exchanges neighbours when the
// later one lies before the earlier one by at least a tolerance. Elements
// closer than the tolerance keep their order.
//
// Elements are ordered by a key (a station, in metres). The tolerant "before"
// is not an ordering in general: with a tolerance of 0.001, 100.0007 is level
// with 100.0000 and with 100.0014, which are not level with each other, and
// where such chains occur the result depends on which neighbours the bubble
// sort happens to compare. The elements are therefore sorted fast (a stable
// merge, n log n) only where the result provably is the bubble sort's, and by
// the bubble sort itself otherwise.
#pragma once

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include <qdat/docbase/GrowArray.h>

namespace qdat {

// Whether key a lies before key b: at least the tolerance below it (the
// tolerant "<" of stations). A key is never before itself, also where the
// tolerance is lost in the rounding of large keys; without that rule a sort
// would exchange two equal keys for ever.
inline bool IsBeforeByTolerance(double a, double b, double tolerance) {
    return a < b && a <= b - tolerance;
}

// Whether "before" orders these keys strictly and weakly: all are finite, and
// every group of keys linked by gaps smaller than the tolerance spans less
// than the tolerance, so that "level with" (neither before the other) is
// transitive. Then every stable sort by "before" gives the one order that
// keeps level elements as they were, which is the order the bubble sort
// reaches.
//
// In sorted order: a level with d and a <= b <= c <= d make b level with c,
// as a <= b, c <= d and d - tolerance rounds no higher than c - tolerance
// does; so a group whose first and last keys are level is level throughout,
// and keys of different groups lie before one another in sorted order.
inline bool IsWeakOrderByTolerance(std::vector<double> keys, double tolerance) {
    for (double k : keys)
        if (!std::isfinite(k)) return false;
    std::sort(keys.begin(), keys.end());
    std::size_t first = 0;  // the first key of the current group
    for (std::size_t i = 1; i < keys.size(); ++i) {
        if (IsBeforeByTolerance(keys[i - 1], keys[i], tolerance))
            first = i;
        else if (IsBeforeByTolerance(keys[first], keys[i], tolerance))
            return false;
    }
    return true;
}

// Some element lies before its predecessor; key(element) gives a double.
template <class T, class Key>
bool HasElementBeforePredecessor(const GrowArray<T>& rows, Key key, double tolerance) {
    for (int i = 1; i < rows.GetSize(); ++i)
        if (IsBeforeByTolerance(key(rows[i]), key(rows[i - 1]), tolerance)) return true;
    return false;
}

// Sorts rows by key exactly as the bubble sort described above would; returns
// whether anything moved. Elements move rather than copy: a row may own lists
// of its own.
template <class T, class Key>
bool TolerantSort(GrowArray<T>& rows, Key key, double tolerance) {
    if (!HasElementBeforePredecessor(rows, key, tolerance)) return false;
    const auto before = [&](const T& a, const T& b) {
        return IsBeforeByTolerance(key(a), key(b), tolerance);
    };
    const GrowArray<T>& view = rows;
    std::vector<double> keys(static_cast<std::size_t>(view.GetSize()));
    for (int i = 0; i < view.GetSize(); ++i) keys[static_cast<std::size_t>(i)] = key(view[i]);
    if (IsWeakOrderByTolerance(std::move(keys), tolerance)) {
        std::stable_sort(rows.begin(), rows.end(), before);
        return true;
    }
    for (int last = rows.GetSize() - 1; last > 0;) {
        int lastSwap = 0;
        for (int i = 1; i <= last; ++i) {
            if (before(view[i], view[i - 1])) {
                std::swap(rows[i], rows[i - 1]);
                lastSwap = i;
            }
        }
        last = lastSwap;
    }
    return true;
}

}  // namespace qdat
