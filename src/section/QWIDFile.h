// QWIDFile: the widening table (WID) of one alignment. For the left and the
// right side of the road separately it keeps a list of widening segments; a
// segment runs from a begin point to an end point, each point giving a
// station, the widths of the five parts of the side (metres, from the inner
// part out) and a label. Between the two points the widths change along a
// transition of one of three shapes.
//
// Signatures: "RADUDAR5.83_WID_SHUJU" (583, written), "RADUDAR5.8_WID_SHUJU"
// (580) and "RADUDAR5.83_WID_SHUJU_RAILWAY" (railway, a point holding only its
// fourth width). A railway table reads as version 580, below the version the
// class writes, so it counts as old and is written back at once when opened.
// The sides are sections of the text headed by the keyword lines "ZZZZZZZ"
// (left) and "YYYYYYY" (right); segments before any keyword belong to the
// right side. Since the sections can only be found by looking at the text,
// the file is always written as text.
#pragma once

#include <array>
#include <string>

#include <qdat/docbase/GrowArray.h>
#include <qdat/docbase/QDocument.h>
#include <qdat/host/Export.h>
#include <qdat/station/QStation.h>

namespace qdat {

struct QDAT_API WidPoint {
    WidPoint() = default;
    WidPoint(const WidPoint&) = default;
    WidPoint& operator=(const WidPoint&) = default;
    virtual ~WidPoint() = default;

    QStation Station;
    double Width1 = 0.0;  // innermost part
    double Width2 = 0.0;
    double Width3 = 0.0;  // middle part; 0 wherever GetSectionWidths is used
    double Width4 = 0.0;
    double Width5 = 0.0;  // outermost part
    std::string Label;    // free text; written as "0" when empty
};

struct QDAT_API WidSegment {
    WidPoint Begin;
    WidPoint End;

    // Begin.Station <= s <= End.Station, compared exactly.
    bool Contains(double station) const;
};

// The host's record of the widths of a section: its station, then four
// widths a side, the left side outermost first (Width5, Width4, Width2,
// Width1), the right side innermost first (Width1, Width2, Width4, Width5).
struct QDAT_API SectionWidths {
    double Station = 0.0;
    std::array<double, 4> Left{};
    std::array<double, 4> Right{};
};

class QDAT_API QWIDFile : public QDocument {
public:
    // Transition shapes of InterpolateWidths.
    enum Shape : int { Linear = 0, FourthDegree = 1, Cubic = 2 };

    QWIDFile();
    ~QWIDFile() override;

    int SerializeContent(DataArchive& ar) override;
    // Both lists emptied, both cursors -1.
    void DeleteContents() override;
    // Some segment of either side is ordered before its predecessor.
    bool NeedsRepair() override;
    // Sorts each side by the segment order; true when anything moved.
    bool Repair() override;

    // The segments of a side (side non-zero: left).
    GrowArray<WidSegment>& GetSegments(int side);
    const GrowArray<WidSegment>& GetSegments(int side) const;
    GrowArray<WidSegment>& GetLeftSegments() { return GetSegments(1); }
    GrowArray<WidSegment>& GetRightSegments() { return GetSegments(0); }

    // Appends a segment to a side; a constant segment that goes on from a
    // constant last segment of the same widths only carries that one's end
    // to its own. Marks the document modified.
    void AddSegment(const WidSegment& segment, int side);
    // The segment of a side that contains the station, searched from the
    // side's last find; null when none does.
    WidSegment* FindWidSegment(double station, int side);
    // The five widths at point's station (its station and label stay): shape
    // Linear, FourthDegree (4k^3 - 3k^4) or Cubic (3k^2 - 2k^3); the two
    // higher-order shapes start at the narrower end of each width. Another
    // shape leaves the widths as they are.
    static void InterpolateWidths(const WidSegment& segment, WidPoint& point, int shape);
    // Fills the record with both sides' widths at its station: 1; -1 when a
    // side's middle width (Width3) is not 0 there (the record is filled all
    // the same); 0 when the left side has no segment there (the record is
    // unchanged) or the right side has none (the left widths are written).
    int GetSectionWidths(SectionWidths& record, int shape);

    // Tests on points and segments.
    static double GetTotalWidth(const WidPoint& point);
    static bool HaveSameWidths(const WidPoint& a, const WidPoint& b);
    // The same widths, stations equal within the station tolerance.
    static bool IsSamePoint(const WidPoint& a, const WidPoint& b);
    static bool IsConstant(const WidSegment& segment);
    // Both constant, and next begins at the same point where last ends.
    static bool CanMerge(const WidSegment& last, const WidSegment& next);
    // Begin.Station >= End.Station (tolerant).
    static bool IsEmptySegment(const WidSegment& segment);
    // Segments are ordered by their middle stations (tolerant): by the sum of
    // their begin and end stations.
    static QStation OrderStation(const WidSegment& segment);
    static bool IsOrderedBefore(const WidSegment& a, const WidSegment& b);

    static const DocumentKind classRecord;

private:
    void Load(DataArchive& ar);
    void Store(DataArchive& ar);
};

}  // namespace qdat
