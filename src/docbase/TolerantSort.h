// Sorting by a tolerant order: `before(a, b)` holds when a lies before b by
// at least a tolerance, so two elements closer than it are neither before nor
// after each other and must keep their order. The order a repeated exchange of
// neighbours (a bubble sort with a shrinking bound) gives is the one the
// documents' repair steps promise; but a bubble sort alone is quadratic (a
// long file with one row at the wrong end would take hours), so a stable merge
// sort with the same comparison runs first and the bubble sort only finishes
// what the tolerance leaves.
#pragma once

#include <algorithm>
#include <iterator>
#include <utility>
#include <vector>

#include "docbase/GrowArray.h"

namespace qdat {

// Some element lies before its predecessor.
template <class T, class Before>
bool HasElementBeforePredecessor(const GrowArray<T>& rows, Before before) {
    for (int i = 1; i < rows.GetSize(); ++i)
        if (before(rows[i], rows[i - 1])) return true;
    return false;
}

// Sorts rows; returns whether anything moved. Rows in which no element lies
// before its predecessor are left as they are, as the bubble sort would.
template <class T, class Before>
bool TolerantSort(GrowArray<T>& rows, Before before) {
    if (!HasElementBeforePredecessor(rows, before)) return false;
    const int n = rows.GetSize();
    // Bottom-up stable merge: an element of the right run goes first only
    // when it lies before the left one.
    // Rows move rather than copy: a row may own lists of its own.
    std::vector<T> buffer(std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
    std::vector<T> other(buffer.size());
    for (int width = 1; width < n; width *= 2) {
        for (int lo = 0; lo < n; lo += 2 * width) {
            const int mid = std::min(lo + width, n), hi = std::min(lo + 2 * width, n);
            int a = lo, b = mid, k = lo;
            while (a < mid && b < hi)
                other[k++] = std::move(before(buffer[b], buffer[a]) ? buffer[b++] : buffer[a++]);
            while (a < mid) other[k++] = std::move(buffer[a++]);
            while (b < hi) other[k++] = std::move(buffer[b++]);
        }
        buffer.swap(other);
    }
    for (int last = n - 1; last > 0;) {
        int lastSwap = 0;
        for (int i = 1; i <= last; ++i) {
            if (before(buffer[i], buffer[i - 1])) {
                std::swap(buffer[i], buffer[i - 1]);
                lastSwap = i;
            }
        }
        last = lastSwap;
    }
    std::move(buffer.begin(), buffer.end(), rows.begin());
    return true;
}

}  // namespace qdat
