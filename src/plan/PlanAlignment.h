// PlanAlignment: a horizontal alignment as a sequence of plan elements, with
// its start description, its end description and the computations that chain
// the elements and answer where the centre line is at a station.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <qdat/docbase/GrowArray.h>
#include <qdat/host/Export.h>
#include <qdat/plan/AlignmentProjection.h>
#include <qdat/plan/PlanElement.h>
#include <qdat/station/QStation.h>

namespace qdat {

class DataArchive;

// The index of the element that the last alignment lookup (PointAtStation,
// RadiusAtStation) on the calling thread used. Each alignment starts its own
// next lookup at the element it used last, so stations asked in order are
// found in constant time.
QDAT_API int GetLastElementIndex();

class QDAT_API PlanAlignment {
public:
    PlanAlignment();

    // Number of end elements that an end description carries: 0 for EndType
    // 0; 2 for 1, 3 and 4; 2 for 2, or 3 when endValue2 is not 0; 1 for 5 and
    // 6; -1 (invalid) for any other EndType.
    static int EndElementCount(std::int32_t endType, double endValue2);

    // ElementCount plus the end elements; -1 for an invalid EndType.
    int GetTotalElementCount() const;
    QStation GetStartStation() const { return StartStation; }
    // EndStation of the last element (main or end); StartStation when there
    // is no element.
    QStation GetEndStation() const;

    // Chains and evaluates all elements: the first starts at the alignment's
    // start (StartMode 0: azimuth from the back point; 1: StartAzimuth), each
    // later one where the previous ends when Chained is 1, and any other at
    // its own start; an element's Offset shifts its start sideways (+ right,
    // - left), an own start only once however often the elements are
    // computed (see PlanElement::ShiftOwnStart). Returns 1, or 0
    // when there is no main element, the EndType is invalid, StartMode is
    // neither 0 nor 1 (nothing is touched then), or an element fails (earlier
    // elements keep their new values).
    int ComputeElements();

    // Position and azimuth at point.Station. A station before the first
    // element's start or past the last element's end is taken as that end.
    // The element is the one the rule "the first element whose EndStation is
    // not below the station" picks; it is found in O(1) when stations are
    // asked in order, and otherwise in O(1) for elements of similar lengths
    // (O(log n) at worst). Returns the element's result,
    // 0 when there is no element.
    int PointAtStation(StationPoint& point) const;
    // Radius of curvature at a station (9999 on a straight); -9999 when there
    // is no element.
    double RadiusAtStation(const QStation& station) const;
    // The index of the element a lookup at station uses (after clamping to the
    // alignment), or -1 when there is none. Sets the last element index.
    int FindElement(const QStation& station) const;

    // The station and offset of the point (x, y): the nearest point of the
    // centre line (AlignmentProjection::Locate), found without visiting every
    // element through an index built on first use after a change. Returns 1,
    // or 0 when there is no element or the point is not finite.
    int LocatePoint(double x, double y, PointLocation& location) const;
    // The point at point.Station shifted offset square to the centre line
    // (+ right): the inverse of LocatePoint. The element is the one
    // PointAtStation uses, but the point is not snapped to an end within
    // 0.0001 of it. Returns 1, or 0 when there is no element.
    int PointAtOffset(StationPoint& point, double offset) const;

    // The elements: ElementCount main elements, then the end elements, then
    // possibly unused default elements. The lookups notice what the array
    // hands out for writing (GrowArray) and check it before they trust their
    // index, so take a fresh reference after each lookup when changing
    // elements in a loop of lookups.
    const GrowArray<PlanElement>& GetElements() const { return m_elements; }
    GrowArray<PlanElement>& ElementsRef() { return m_elements; }
    const PlanElement& GetElement(int index) const { return m_elements.GetAt(index); }
    PlanElement& ElementAt(int index) { return m_elements.ElementAt(index); }
    // Inserts a main element after the last main one and counts it.
    int AppendElement(const PlanElement& element);
    // Destroys all elements, empties the array and sets ElementCount to 0.
    void RemoveAllElements();

    // The stored record (text, binary and legacy layouts). Storing an invalid
    // EndType, or fewer elements than the counts promise, throws GenericError
    // rather than write a file that cannot be read back.
    void Serialize(DataArchive& ar);

    // Header.
    std::int32_t Chained = 1;       // 1: each element starts where the previous ends
    std::int32_t ElementCount = 0;  // number of main elements
    std::string Name;               // [string resource 1179]
    std::string Note;
    double HeaderValue = 0.0;    // stored and copied only
    std::int32_t StartMode = 0;  // 0: back point; 1: azimuth given; 2, 3: not computable
    QStation StartStation;
    double StartAzimuth = 0.0;  // mode 1: azimuth; mode 0: X of the back point
    double BackPointY = 0.0;    // mode 0: Y of the back point
    double StartX = 0.0;
    double StartY = 0.0;
    // End description: stored and copied; EndType fixes the end elements.
    std::int32_t EndType = 0;
    double EndValue1 = 0.0;
    double EndValue2 = 0.0;
    double EndValue3 = 0.0;
    double EndValue4 = 0.0;

private:
    // Running maxima of the elements' end stations: the first element whose
    // end station is not below a station is the first whose running maximum
    // is not below it, and the running maxima are in order even where the
    // end stations are not, so a binary search finds exactly the element a
    // search from the first element finds. Rebuilt on first use after a
    // change of an end station; a copy starts empty.
    struct LookupIndex {
        LookupIndex() = default;
        LookupIndex(const LookupIndex&) {}
        LookupIndex& operator=(const LookupIndex&) {
            valid = false;
            projection.reset();
            return *this;
        }
        std::vector<double> runningMax;
        // Stations cut into equal buckets from the first running maximum to
        // the last, one per element: bucket b starts at base + b * width, and
        // firstAbove[b] is the first element whose running maximum lies
        // above that start. A station's bucket, found by one multiplication,
        // narrows the search to the elements between two such entries,
        // usually one or two. Empty when the running maxima do not span a
        // finite range.
        std::vector<int> firstAbove;
        double base = 0.0;
        double width = 0.0;
        double perWidth = 0.0;
        // The end stations the index was built from, and the state of the
        // array then: an element handed out for writing since is compared
        // with its end station here.
        std::vector<double> ends;
        GrowArray<PlanElement>::ChangeStamp stamp;
        bool valid = false;
        // The index of LocatePoint, built when first asked for after the
        // running maxima were rebuilt (so after every change).
        std::shared_ptr<const AlignmentProjection> projection;
    };

    // Elements a lookup may use: the total count, or 0 when the EndType is
    // invalid or the array holds fewer elements.
    int LookupCount() const;
    void RebuildLookup(int count) const;
    // Whether the index still describes the first count elements.
    bool LookupIsCurrent(int count) const;
    // The element for the station value less the station tolerance, limit.
    int FindIndex(double limit, int count) const;
    // The first element from `from` on whose running maximum lies above
    // limit, which the element `to` is known to have.
    int SearchFrom(int from, int to, double limit) const;
    double BucketStart(int bucket) const;
    void BuildBuckets(int count) const;
    // The element for a station and the station clamped to the alignment;
    // -1 when there is none.
    int Locate(const QStation& station, int count, QStation& clamped) const;

    GrowArray<PlanElement> m_elements;
    // A cache of the lookups: it changes no answer.
    mutable LookupIndex m_lookup;
    // The element the last lookup used, where the next one starts its search.
    mutable int m_lastElement = 0;
};

}  // namespace qdat
