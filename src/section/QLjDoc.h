// QLjDoc: the subgrade design records of one alignment, one SubgradeRecord
// per station in station order: a base elevation, two groups of four part
// widths and the heights of the nine points of the section.
//
// Signatures: "RADUDAR5.83_LJ_SHUJU" (583, written) and "RADUDAR5.8_LJ_SHUJU"
// (580). A record is added where one lies within 0.02 m of its station.
#pragma once

#include <array>

#include <qdat/host/Export.h>
#include <qdat/station/QStation.h>
#include <qdat/station/StationCursorDocument.h>

namespace qdat {

// A subgrade record: the station and 19 values.
//   Values[0]        stored and copied only
//   Values[1]        base elevation of the section, m
//   Values[2..5]     first group of four part widths, m
//   Values[6..9]     second group of four part widths, m
//   Values[10..18]   heights of the nine section points, from the first
//                    (10) over the middle one (14) to the last (18), relative
//                    to Values[1] until MakeHeightsAbsolute adds it, m
struct QDAT_API SubgradeRecord {
    static constexpr int kValueCount = 19;
    static constexpr int kBaseElevation = 1;
    static constexpr int kFirstPoint = 10;
    static constexpr int kMiddlePoint = 14;
    static constexpr int kLastPoint = 18;

    QStation m_station;
    std::array<double, kValueCount> Values{};
};

class QDAT_API QLjDoc : public StationCursorDocument<SubgradeRecord> {
public:
    // Two records are one when their stations lie this close, in metres.
    static constexpr double kSameStation = 0.02;

    QLjDoc();

    int SerializeContent(DataArchive& ar) override;
    // Empties the records and the cursor.
    void DeleteContents() override;
    // Sorts the records by station (records closer than the station tolerance
    // keep their order); returns whether any record moved.
    bool Repair() override;

    int GetRecordCount() const { return Rows().GetCount(); }
    // The record at index; null out of range.
    SubgradeRecord* GetRecordAt(int index) { return Rows().GetAt(index); }
    // The record at the cursor, the cursor moved on (off the records after
    // the last). Without a cursor it starts at the first record; null when
    // there are none.
    SubgradeRecord* GetNextRecord();
    // The record at the cursor; null without a cursor.
    SubgradeRecord* GetCursorRecord() { return Rows().GetCurrent(); }
    // Whether a record lies within kSameStation of the record's station; the
    // cursor is then on it. The search walks from the cursor, so a false
    // result leaves the cursor where it was.
    bool FindRecord(const SubgradeRecord& key);
    // Replaces the record FindRecord finds (its station included) or appends
    // a copy at the end. The records are not sorted again.
    void AddRecord(const SubgradeRecord& record);

    // Elevations of the first, middle and last section point (base elevation
    // plus the point's height) and the sums of the two width groups.
    static double GetFirstPointElevation(const SubgradeRecord& r);
    static double GetMiddlePointElevation(const SubgradeRecord& r);
    static double GetLastPointElevation(const SubgradeRecord& r);
    static double GetWidthSumA(const SubgradeRecord& r);
    static double GetWidthSumB(const SubgradeRecord& r);
    // Adds the base elevation to the nine heights; returns the record.
    static SubgradeRecord& MakeHeightsAbsolute(SubgradeRecord& r);

    static const DocumentKind classRecord;
};

}  // namespace qdat
