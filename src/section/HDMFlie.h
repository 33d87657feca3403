// HDMFlie: the cross-section ground lines of one alignment, one CrossSection
// per surveyed station, in station order, walked with a cursor.
//
// Signatures: "RADUDAR5.83_HDM_SHUJU" (583, written), "RADUDAR5.83_HDM_SHUJU_NZS"
// (583, the form whose sides carry no point count; written for the NZS
// variant), "RADUDAR5.8_HDM_SHUJU" (580), "RADUDAR5.8_HDM_SHUJU_PPC" (580,
// legacy layout: chain table, no section count), "QARO5.0_HDM" (500, legacy
// binary layout without header: chain table and section count) and
// "QARO4.6_HDM" (400, legacy binary layout: section count only).
//
// A file damaged part-way keeps the sections read completely before the
// damage; the document is then marked as read in part, so that the rest of
// the file on disk is never lost to an automatic save.
#pragma once

#include <optional>

#include <qdat/docbase/QDocument.h>
#include <qdat/host/Export.h>
#include <qdat/section/CrossSection.h>
#include <qdat/station/ChainTable.h>
#include <qdat/station/StationCursorDocument.h>

namespace qdat {

class QDAT_API HDMFlie : public QDocument, public ChainTableCarrier {
public:
    // The 5.0 layout's signature as written inside the content.
    static constexpr const char* kLegacyContentSignature = "Qaro5.0_HDM";

    HDMFlie();

    int SerializeContent(DataArchive& ar) override;
    // Writes with the chain table the file carries when no other is current.
    bool WriteToFile(File& file) override;
    void DeleteContents() override;
    // Some section lies before (by the station tolerance) the one before it.
    bool NeedsRepair() override;
    // Sorts the sections by station; sections closer than the tolerance keep
    // their order. Returns true.
    bool Repair() override;

    // The chain table a file in a legacy layout carries; none for other files.
    const std::optional<ChainTable>& GetFileChainTable() const override;

    // Sections ----------------------------------------------------------
    int GetSectionCount() const { return Sections().GetCount(); }
    GrowArray<CrossSection>& GetSectionArray() { return Sections().GetRows(); }
    // The section at index; null out of range.
    CrossSection* GetSectionAt(int index) { return Sections().GetAt(index); }
    // Inserts count empty sections (station 0, no points) at index, from 0 to
    // the section count; false for any other index or a count below 1.
    bool InsertSections(int index, int count = 1);
    bool DeleteSection(int index);

    // The cursor (CurrentSection): -1 when on no section.
    int GetCursor() const { return Sections().GetCursor(); }
    void SetCursor(int index) { Sections().SetCursor(index); }
    // With at least one section: the cursor on the first, true; else false.
    bool MoveFirst();
    // The cursor one on; true while it is on a section.
    bool MoveNext();
    // With the cursor after the first section: one back, true; else false.
    bool MovePrevious();
    bool IsOffEnd() const { return !Sections().IsCursorValid(); }
    // The section at the cursor; null when the cursor is off the sections.
    CrossSection* GetCurrentSection() { return Sections().GetCurrent(); }
    // Moves the cursor, from where it is, to the section at station (within
    // the station tolerance): true when there is one. Otherwise false, with
    // the cursor on the first section past the station when the walk went
    // forward, on the last before it when it went back, and -1 when it ran
    // off either end.
    bool SeekStation(const QStation& station);

    StationCursor<CrossSection>& Sections();
    const StationCursor<CrossSection>& Sections() const;

    static const DocumentKind classRecord;

private:
    void Load(DataArchive& ar);
    void Store(DataArchive& ar);
};

}  // namespace qdat
