// TfDoc: the earthwork table of a road, one EarthworkRow per cross-section
// station with the section's earthwork quantities, as the host's
// cross-section design produces them. The table is stored, read in every
// version's record layout, answered by quantity kind, interpolated between
// stations and put in station order.
//
// Signatures: "RADUDAR5.86_TF_SHUJU" (586, written), "RADUDAR5.84_TF_SHUJU"
// (584), "RADUDAR5.83_TF_SHUJU" (583) and "RADUDAR5.8_TF_SHUJU" (580). Any
// other first line makes a legacy file without signature (400), whose first
// line's number of values tells its layout.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include <qdat/host/Export.h>
#include <qdat/station/QStation.h>
#include <qdat/station/StationCursorDocument.h>

namespace qdat {

// One row of the table. Quantity kinds run from 0 to 61: kind 0 is the
// station's value, kind 28 a whole number, every other kind a double. The
// library gives the kinds no meaning, except that kinds 8 and 9 are the pair
// interpolated between stations.
struct QDAT_API EarthworkRow {
    static constexpr int kKindCount = 62;
    static constexpr unsigned kStationKind = 0;
    static constexpr unsigned kIntegerKind = 28;

    // Kind k of the row; 0 for a kind that does not exist.
    double GetQuantity(unsigned kind) const;

    QStation m_station;
    // The double quantities, indexed by kind (the slots of kinds 0 and 28 are unused).
    std::array<double, kKindCount> Quantities{};
    std::int32_t IntegerQuantity = 0;  // kind 28
    // A value of version 0 and 100 files: kept when read, never written, not a kind.
    double ExtraValue = 0.0;
    std::string Remark;  // written from version 586 on
};

class QDAT_API TfDoc : public StationCursorDocument<EarthworkRow> {
public:
    // The quantities InterpolateAt gives.
    static constexpr unsigned kFirstInterpolatedKind = 8;
    static constexpr unsigned kSecondInterpolatedKind = 9;

    TfDoc();

    int SerializeContent(DataArchive& ar) override;
    void DeleteContents() override;
    // Sorts the rows by station and removes the first of two rows whose
    // stations are equal (within the station tolerance). False for fewer
    // than two rows. The cursor is left on no row.
    bool Repair() override;

    int GetRowCount() const { return Rows().GetCount(); }
    // The row at index; null out of range.
    EarthworkRow* GetRowAt(int index) { return Rows().GetAt(index); }

    // Kind k of the row at the cursor; 0 without a cursor or for a kind that
    // does not exist.
    double GetQuantity(unsigned kind);
    // The name of a kind: field `kind` (from 0) of the kind names, resource
    // string 21, whose fields are separated by "|"; empty past its last field.
    static std::string GetQuantityName(unsigned kind);
    // 1 for kind 0 (a station), 2 for kind 28 (a whole number), 0 for every
    // other kind (a double).
    static int GetQuantityType(unsigned kind);

    // The row at station (within the station tolerance): true and a copy in
    // row, or false. The search starts at the cursor and leaves it where the
    // walk stopped, so that stations asked in order are found quickly; the
    // rows are expected in station order (Repair).
    bool FindRow(const QStation& station, EarthworkRow& row);
    // Kinds 8 and 9 at station, as absolute values: those of the row at the
    // station, else interpolated linearly between the rows before and after
    // it. False when the station lies before the first row or after the last.
    bool InterpolateAt(const QStation& station, double& value8, double& value9);

    // Row navigation. ReadNext copies the row at the cursor (the first row
    // when there is no cursor) into row and moves on; it returns whether
    // another row follows, and false without copying when there are no rows.
    bool IsAtEnd() const { return !IsCursorValid(); }
    void ResetCursor() { SetCursor(-1); }
    bool ReadNext(EarthworkRow& row);

    static const DocumentKind classRecord;

private:
    struct Bracket {
        int equal = -1;   // the row at the station
        int before = -1;  // else the rows either side of it
        int after = -1;
    };
    bool SearchStation(const QStation& station, Bracket& found);
    void Load(DataArchive& ar);
    void Store(DataArchive& ar);
};

}  // namespace qdat
