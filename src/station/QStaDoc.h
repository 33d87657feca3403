// QStaDoc: a station list, stations along the alignment each with a running
// number, kept in station order. It can be filled with round stations at a
// fixed interval, every chain break on the way becoming an entry too.
//
// Signatures: "RADUDAR5.84_STA_SHUJU" (584, written), "RADUDAR5.83_STA_SHUJU"
// (583) and "RADUDAR5.8_STA_SHUJU" (580). Files before 5.84 hold stations
// only; their entries are numbered 1, 2, 3... in file order when read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <qdat/host/Export.h>
#include <qdat/station/QStation.h>
#include <qdat/station/StationCursorDocument.h>

namespace qdat {

struct QDAT_API StationEntry {
    StationEntry() = default;
    StationEntry(const QStation& station, std::uint32_t number) : m_station(station), m_nNumber(number) {}

    QStation m_station;
    std::uint32_t m_nNumber = 0;
};

// A station that a fill adds: a whole-interval stake station, a chain break
// on the way, or the target.
struct QDAT_API FillStation {
    QStation station;
    bool atBreak = false;
};

class QDAT_API QStaDoc : public StationCursorDocument<StationEntry> {
public:
    QStaDoc();

    int SerializeContent(DataArchive& ar) override;

    int GetEntryCount() const { return Rows().GetCount(); }
    // The entry at index; null out of range.
    StationEntry* GetEntryAt(int index) { return Rows().GetAt(index); }
    void SetEntryAt(int index, const StationEntry& entry) { SetRowAt(index, entry); }
    StationEntry* GetLastEntry() { return Rows().GetAt(GetEntryCount() - 1); }
    StationEntry* GetCurrentEntry() { return Rows().GetCurrent(); }
    void SetCurrentEntry(const StationEntry& entry) { SetRowAt(GetCursor(), entry); }
    // Replaces the entry at the same station (within the tolerance), or
    // inserts it in station order.
    void InsertEntry(const StationEntry& entry) { InsertRow(entry); }
    void AddEntry(const QStation& station, std::uint32_t number) { InsertRow(StationEntry(station, number)); }

    // Adds round stations every step metres of stake stationing after the last
    // entry, then target itself, numbering on from the last entry. Every chain
    // break between them becomes an entry, and the round stations after a
    // break follow the new stationing. Nothing is added to an empty list, for
    // a step that is not positive, or for a target not beyond the last entry.
    void FillStations(const QStation& target, int step);

    // The stations a fill adds after a list that ends at last: every
    // whole-interval stake station of step metres after last and before
    // target, each chain break between them, then target. A station at last
    // itself (a last entry that lies on a break) is not added again. Returns
    // false, with out holding the first limit stations, when there are more.
    static bool StationsToFill(const QStation& last, const QStation& target, double step,
                               std::vector<FillStation>& out,
                               std::size_t limit = std::numeric_limits<std::size_t>::max());

    static const DocumentKind classRecord;
};

}  // namespace qdat
