// AlignmentProjection: the station and offset of a point, that is the nearest
// point of an alignment's centre line, found through an index of the
// elements' bounding boxes and solved exactly on each candidate element; and
// the point at a station and offset, its inverse.
//
// Offsets are measured square to the centre line, positive to the right of
// the direction of travel.
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include <qdat/host/Export.h>
#include <qdat/plan/PlanElement.h>
#include <qdat/station/QStation.h>

namespace qdat {

// Where a point lies relative to an alignment.
struct QDAT_API PointLocation {
    QStation Station;     // station of the nearest point of the centre line
    double Offset = 0.0;  // signed distance from it, + right of travel
    int Element = -1;     // index of the element it lies on
    double X = 0.0;       // the nearest point of the centre line
    double Y = 0.0;
    double Azimuth = 0.0;  // direction of travel there, in [0, 2 pi)
    // A point before the start or past the end of the alignment: Station is
    // that end, Offset the distance square to the end tangent, and Beyond how
    // far along the tangent the point lies past the end (0 otherwise).
    bool BeyondStart = false;
    bool BeyondEnd = false;
    double Beyond = 0.0;
};

class QDAT_API AlignmentProjection {
public:
    // Indexes elements[0 .. count-1] (evaluated): elements that cannot be
    // evaluated as curves (damaged sizes) are left out, and then no point is
    // located at all. The elements are copied into the
    // index: a projection stays valid only as long as they are unchanged.
    AlignmentProjection(const PlanElement* elements, int count);
    ~AlignmentProjection();
    AlignmentProjection(const AlignmentProjection&) = delete;
    AlignmentProjection& operator=(const AlignmentProjection&) = delete;

    // The nearest point of the centre line to (x, y). Among points at the
    // same distance (to 1e-8 m) the one of the lowest station wins, and of
    // one station the lowest element index. Returns false when no element
    // could be indexed, and when an element had to be left out: the nearest
    // point might lie on it, so location.Element names it instead. Threads
    // may locate on one projection at once.
    bool Locate(double x, double y, PointLocation& location) const;

    // The point at `station` on the element, shifted `offset` square to the
    // centre line (+ right). The station is taken on the element's own
    // geometry without snapping to its ends, so that this is the exact
    // inverse of Locate; past its ends the element goes on as the circle or
    // straight of its end radius. point.Azimuth is the centre line's.
    // Returns false for an element that cannot be evaluated.
    static bool PointAtOffset(const PlanElement& element, const QStation& station, double offset,
                              StationPoint& point);

private:
    struct Box {
        double minX, minY, maxX, maxY;
        double DistanceSquared(double x, double y) const;
    };
    // Children of a node of the box hierarchy: the boxes of a node are read
    // together, so that four cost little more than two, and the hierarchy is
    // half as deep as a binary one.
    static constexpr int kFan = 4;
    // An inner node of the box hierarchy over the indexed elements in their
    // order along the alignment, with the boxes of its children: a child
    // >= 0 is another inner node, a child < 0 the leaf of slot ~child.
    // The boxes are floats relative to the origin, rounded outwards: half
    // the memory of doubles, for a search that mostly waits on memory.
    struct Branch {
        float minX[kFan];
        float minY[kFan];
        float maxX[kFan];
        float maxY[kFan];
        int child[kFan];
        int count;
    };
    struct Candidate;
    struct Interval;
    // An indexed element: its curve, its index, its stations and its start.
    struct Slot;
    struct Chord;

    // Builds the hierarchy over slots [from, to) and returns its node, with
    // its box in `box`.
    int BuildNode(int from, int to, Box& box);
    void SolveElement(int slot, double x, double y, Candidate& best) const;
    void SolveSpiral(int slot, double px, double py, Candidate& best) const;
    void Consider(int slot, double s, double px, double py, Candidate& best) const;
    // The same with the curve's sample at s already at hand.
    template <class Sample>
    void Consider(int slot, double s, const Sample& at, double px, double py, Candidate& best) const;

    // Ground near the centre line in square cells, each with the few
    // elements that can hold the nearest point of any point in it: a locate
    // in a cell solves those without walking the hierarchy. Built once the
    // hierarchy has served as many locates as building it is worth.
    struct Grid;
    struct GridCell;
    void BuildGrid() const;
    const Grid* GridForNextLocate() const;
    // The elements listed for the cell of (x, y); false when the point lies
    // in no cell of the grid.
    bool LocateInCell(const Grid& grid, double x, double y, Candidate& best) const;
    // The walk of the box hierarchy, nearest box first.
    void LocateInHierarchy(double x, double y, Candidate& best) const;

    std::vector<Slot> m_slots;
    std::vector<Chord> m_chords;
    std::vector<Branch> m_branches;
    Box m_rootBox{};
    double m_originX = 0.0;  // the start of the first indexed element
    double m_originY = 0.0;
    int m_root = 0;
    int m_count = 0;     // elements of the alignment, indexed or not
    int m_leftOut = -1;  // the first element left out of the index
    // The grid, once built (never changed after); whether it has been taken
    // in hand (built, being built or refused); and the locates served before.
    mutable std::atomic<const Grid*> m_grid{nullptr};
    mutable std::atomic<bool> m_gridTaken{false};
    mutable std::atomic<long long> m_locatesBeforeGrid{0};
};

}  // namespace qdat
