// Rows kept in station order with a cursor: the machinery shared by the
// documents whose content is one list of rows by station (profile ground line,
// ditch-bottom elevations, station list). A row type only needs a public
// QStation member m_station; everything else about it is the document's.
//
// Station comparisons are the tolerant ones of QStation: a < s when a is at
// least one tolerance below s, a == s when closer than the tolerance.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <iterator>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <qdat/docbase/DataArchive.h>
#include <qdat/docbase/GrowArray.h>
#include <qdat/host/Export.h>
#include <qdat/station/QStation.h>

namespace qdat {

// Whether key a lies before key b: at least the tolerance below it (the
// tolerant "<" of stations). A key is never before itself, also where the
// tolerance is lost in the rounding of large keys; without that rule a sort
// would exchange two equal keys for ever.
inline bool IsBeforeByTolerance(double a, double b, double tolerance) {
    return a < b && a <= b - tolerance;
}

// The order in which the repair steps of the documents put rows whose keys
// (stations in metres) are given in their present order: a bubble sort with a
// shrinking bound that exchanges neighbours when the later one lies before the
// earlier one by at least the tolerance, so that rows closer than the
// tolerance keep their order. The indexes of the rows in their new order, or
// nothing when no row lies before its predecessor.
QDAT_API std::vector<int> TolerantOrder(const std::vector<double>& keys, double tolerance);

// Rows by the station key(row) gives (a QStation or metres), compared with
// the station tolerance: some row below its predecessor, and the sort of the
// repair steps (TolerantOrder). The sort returns whether anything moved; rows
// move rather than copy, as a row may own lists of its own.
template <class Row, class Key>
bool HasRowBelowPredecessor(const GrowArray<Row>& rows, Key key) {
    const double tolerance = GetStationTolerance();
    for (int i = 1; i < rows.GetSize(); ++i)
        if (IsBeforeByTolerance(QStation(key(rows[i])).GetValue(), QStation(key(rows[i - 1])).GetValue(),
                                tolerance))
            return true;
    return false;
}
template <class Row, class Key>
bool SortRowsByStation(GrowArray<Row>& rows, Key key) {
    const GrowArray<Row>& view = rows;
    std::vector<double> keys(static_cast<std::size_t>(view.GetSize()));
    for (int i = 0; i < view.GetSize(); ++i)
        keys[static_cast<std::size_t>(i)] = QStation(key(view[i])).GetValue();
    const std::vector<int> order = TolerantOrder(keys, GetStationTolerance());
    if (order.empty()) return false;
    std::vector<Row> sorted;
    sorted.reserve(order.size());
    for (const int from : order) sorted.push_back(std::move(rows[from]));
    rows.Adopt(std::move(sorted));
    return true;
}

template <class Row>
class StationCursor {
public:
    StationCursor() = default;
    // A copy or a move starts without what was known of the order: the
    // array's account of changes starts anew with it.
    StationCursor(const StationCursor& other) : m_nCursor(other.m_nCursor), m_rows(other.m_rows) {}
    StationCursor(StationCursor&& other) noexcept
        : m_nCursor(other.m_nCursor), m_rows(std::move(other.m_rows)) {
        other.m_order = {};
    }
    StationCursor& operator=(const StationCursor& other) {
        m_nCursor = other.m_nCursor;
        m_rows = other.m_rows;
        m_order = {};
        return *this;
    }
    StationCursor& operator=(StationCursor&& other) noexcept {
        m_nCursor = other.m_nCursor;
        m_rows = std::move(other.m_rows);
        m_order = {};
        other.m_order = {};
        return *this;
    }

    int GetCount() const { return m_rows.GetSize(); }
    GrowArray<Row>& GetRows() { return m_rows; }
    const GrowArray<Row>& GetRows() const { return m_rows; }
    // The row at index, or null when index is out of range.
    Row* GetAt(int index) { return IsIndexValid(index) ? &m_rows[index] : nullptr; }
    const Row* GetAt(int index) const { return IsIndexValid(index) ? &m_rows[index] : nullptr; }
    bool IsIndexValid(int index) const { return index >= 0 && index < GetCount(); }

    int GetCursor() const { return m_nCursor; }
    void SetCursor(int index) { m_nCursor = index; }
    Row* GetCurrent() { return GetAt(m_nCursor); }

    bool MoveFirst() {
        m_nCursor = 0;
        return m_nCursor < GetCount();
    }
    bool MoveNext() {
        ++m_nCursor;
        return m_nCursor < GetCount();
    }
    bool MovePrev() {
        --m_nCursor;
        return m_nCursor >= 0;
    }
    bool MoveLast() {
        m_nCursor = GetCount() - 1;
        return m_nCursor >= 0;
    }
    bool IsBeforeFirst() const { return m_nCursor < 0; }
    bool IsAfterLast() const { return m_nCursor >= GetCount(); }
    bool IsCursorValid() const { return !IsBeforeFirst() && !IsAfterLast(); }

    // The first row at or beyond station; the cursor is left on it. Null, with
    // the cursor past the end, when every row lies below station.
    Row* SeekStation(const QStation& station) {
        if (!StartWalk()) return nullptr;
        if (m_rows[m_nCursor].m_station > station) {
            while (m_nCursor > 0) {
                if (m_rows[m_nCursor - 1].m_station < station) break;
                if (!MovePrev()) {
                    MoveFirst();
                    break;
                }
            }
        }
        return WalkForward(station);
    }

    // Whether a row lies at station (within the tolerance); the cursor is left
    // on the first row not below station (past the end when there is none).
    bool FindStation(const QStation& station) {
        if (!StartWalk()) return false;
        if (m_rows[m_nCursor].m_station > station) {
            while (m_nCursor >= 0) {
                if (m_rows[m_nCursor].m_station < station) break;
                MovePrev();
            }
            if (m_nCursor < 0) m_nCursor = 0;
        }
        const Row* row = WalkForward(station);
        return row != nullptr && row->m_station == station;
    }

    // Replaces the row at the same station, or inserts before the first row
    // above it, or appends. Rows kept this way stay sorted by station with no
    // two closer than the tolerance. Returns the index of the row.
    int InsertOrReplace(const Row& row) {
        if (FindStation(row.m_station)) {
            m_rows[m_nCursor] = row;
            return m_nCursor;
        }
        if (IsCursorValid() && m_rows[m_nCursor].m_station > row.m_station) {
            m_rows.InsertAt(m_nCursor, row);
            return m_nCursor;
        }
        return m_rows.Add(row);
    }

    // Inserts a default row at index, from 0 to the row count; false for any
    // other index.
    bool InsertDefaultAt(int index) {
        if (index < 0 || index > GetCount()) return false;
        m_rows.InsertAt(index, Row());
        return true;
    }
    bool RemoveAt(int index) {
        if (!IsIndexValid(index)) return false;
        m_rows.RemoveAt(index);
        return true;
    }

    // Some row lies below its predecessor. A reader that saw the order as it
    // read the rows says what it saw (NoteOrder); that answer holds while no
    // row is handed out for writing and the tolerance is the same.
    bool NeedsRepair() const {
        if (m_order.known && m_order.tolerance == GetStationTolerance() &&
            m_rows.ChangedSince(m_order.stamp) == GrowArray<Row>::kUnchanged)
            return !m_order.inOrder;
        return HasRowBelowPredecessor(m_rows, StationOf);
    }
    // Whether every row is not below its predecessor under the current
    // tolerance, as the rows now are (IsBeforeByTolerance).
    void NoteOrder(bool inOrder) {
        m_order = {true, inOrder, GetStationTolerance(), m_rows.GetChangeStamp()};
    }

    // Sorts the rows by station as a bubble sort with a shrinking bound does;
    // rows closer than the tolerance keep their order (TolerantOrder).
    bool Repair() {
        SortRowsByStation(m_rows, StationOf);
        return true;
    }

    // Destroys every row and frees the array; the cursor keeps its value.
    void Clear() { m_rows.RemoveAll(); }

    int m_nCursor = -1;
    GrowArray<Row> m_rows;

private:
    struct KnownOrder {
        bool known = false;
        bool inOrder = false;
        double tolerance = 0.0;
        typename GrowArray<Row>::ChangeStamp stamp{};
    };
    KnownOrder m_order;

public:
private:
    bool StartWalk() {
        if (!IsCursorValid()) MoveFirst();
        return !IsAfterLast();
    }
    Row* WalkForward(const QStation& station) {
        for (; m_nCursor < GetCount(); ++m_nCursor)
            if (!(m_rows[m_nCursor].m_station < station)) return &m_rows[m_nCursor];
        return nullptr;
    }

    static double StationOf(const Row& row) { return row.m_station.GetValue(); }
};

// Collects the rows of a file being read and hands them to the array in one
// piece, so the array is not copied again and again as it grows.
//
// After the first kSampleRows rows, the bytes they took tell how many rows the
// rest of the file holds; room for that many (and a little more) is taken at
// once, and the rows go straight into it, so a file costs the rows about once
// while it is read and the array adopts them without a copy. Rows beyond the
// estimate, or every row when the size of the input is unknown, go into blocks
// that grow with the rows read; the array is then allocated once at its final
// size, and the file costs the rows twice over at most.
template <class Row>
class RowCollector {
public:
    static constexpr int kSampleRows = 256;
    static constexpr int kMinBlockRows = 64;
    static constexpr int kMaxBlockRows = 8192;

    explicit RowCollector(const DataArchive& ar) : m_archive(ar), m_startRemaining(ar.RemainingBytes()) {}

    // A new row, default-constructed, at the end.
    Row& Add() {
        if (m_count == kSampleRows && !m_estimated) ReserveForRest();
        if (m_blocks.empty() && m_rows.size() < m_rows.capacity()) {
            ++m_count;
            return m_rows.emplace_back();
        }
        if (m_blocks.empty() || m_used == m_blocks.back().size) {
            const int size = std::clamp(m_count, kMinBlockRows, kMaxBlockRows);
            m_blocks.push_back({std::make_unique<Row[]>(static_cast<std::size_t>(size)), size});
            m_used = 0;
        }
        ++m_count;
        return m_blocks.back().rows[m_used++];
    }
    int GetCount() const { return m_count; }

    // Replaces the rows of array by the rows collected (exactly that many).
    void MoveTo(GrowArray<Row>& array) {
        if (m_blocks.empty()) {
            // Room estimated well beyond the rows read (a file whose first rows
            // are short) is given back rather than kept with the document.
            if (m_rows.capacity() - m_rows.size() > m_rows.size() / 4 + kMinBlockRows) m_rows.shrink_to_fit();
            array.Adopt(std::move(m_rows));
        } else {
            array.RemoveAll();
            array.SetSize(m_count);
            Row* out = std::move(m_rows.begin(), m_rows.end(), array.GetData());
            int left = m_count - static_cast<int>(m_rows.size());
            for (Block& block : m_blocks) {
                const int n = std::min(block.size, left);
                out = std::move(block.rows.get(), block.rows.get() + n, out);
                left -= n;
                block.rows.reset();
            }
        }
        m_rows = std::vector<Row>();
        m_blocks.clear();
        m_count = m_used = 0;
        m_estimated = false;
    }

private:
    struct Block {
        std::unique_ptr<Row[]> rows;
        int size;
    };

    // Takes room for the rows the rest of the input is likely to hold, judged
    // by the bytes the sample took, and moves the sample into it.
    void ReserveForRest() {
        m_estimated = true;
        const std::int64_t remaining = m_archive.RemainingBytes();
        const std::int64_t used = m_startRemaining - remaining;
        if (m_startRemaining < 0 || remaining < 0 || used <= 0) return;
        std::int64_t rest = remaining / (used / m_count + (used % m_count ? 1 : 0));
        // Short first rows before a long tail (a big comment, say) would ask
        // for far more than the rest can hold: the room never takes more than
        // twice the bytes left; rows beyond it go into blocks.
        rest = std::min<std::int64_t>(rest, 2 * remaining / static_cast<std::int64_t>(sizeof(Row)));
        const std::int64_t wanted = m_count + rest + rest / 16 + kMinBlockRows;
        if (wanted > std::numeric_limits<int>::max()) return;
        m_rows.reserve(static_cast<std::size_t>(wanted));
        int left = m_count;
        for (Block& block : m_blocks) {
            const int n = std::min(block.size, left);
            for (int i = 0; i < n; ++i) m_rows.push_back(std::move(block.rows[i]));
            left -= n;
        }
        m_blocks.clear();
        m_used = 0;
    }

    const DataArchive& m_archive;
    const std::int64_t m_startRemaining;
    std::vector<Row> m_rows;  // the rows while they fit the room estimated
    std::vector<Block> m_blocks;
    int m_used = 0;
    int m_count = 0;
    bool m_estimated = false;
};

}  // namespace qdat
