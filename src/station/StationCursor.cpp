// Sorting by a tolerant order, the way the repair steps of the documents do:
// a bubble sort with a shrinking bound that exchanges neighbours when the
// later one lies before the earlier one by at least a tolerance. Elements
// closer than the tolerance keep their order.
//
// The tolerant "before" is not an ordering in general: with a tolerance of
// 0.001, 100.0007 is level with 100.0000 and with 100.0014, which are not
// level with each other, and where such chains occur the result depends on
// which neighbours the bubble sort happens to compare. The elements are
// therefore sorted fast (a stable merge, n log n) only where the result
// provably is the bubble sort's, and by the bubble sort itself otherwise.
#include <qdat/station/StationCursor.h>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace qdat {

namespace {

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
bool IsWeakOrderByTolerance(std::vector<double> keys, double tolerance) {
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

}  // namespace

std::vector<int> TolerantOrder(const std::vector<double>& keys, double tolerance) {
    bool anyBefore = false;
    for (std::size_t i = 1; i < keys.size() && !anyBefore; ++i)
        anyBefore = IsBeforeByTolerance(keys[i], keys[i - 1], tolerance);
    if (!anyBefore) return {};
    std::vector<int> order(keys.size());
    std::iota(order.begin(), order.end(), 0);
    const auto before = [&](int a, int b) {
        return IsBeforeByTolerance(keys[static_cast<std::size_t>(a)], keys[static_cast<std::size_t>(b)],
                                   tolerance);
    };
    if (IsWeakOrderByTolerance(keys, tolerance)) {
        std::stable_sort(order.begin(), order.end(), before);
        return order;
    }
    for (std::size_t last = order.size() - 1; last > 0;) {
        std::size_t lastSwap = 0;
        for (std::size_t i = 1; i <= last; ++i) {
            if (before(order[i], order[i - 1])) {
                std::swap(order[i], order[i - 1]);
                lastSwap = i;
            }
        }
        last = lastSwap;
    }
    return order;
}

}  // namespace qdat
