// The layouts of an IFC alignment as IFC states them: the segments of the
// horizontal, vertical and cant layouts with their design parameters, in
// IFC's coordinates and signs (exchange/IfcExport.h says which), each
// layout closed by the zero-length segment IFC asks for at its end.
#pragma once

#include <string>
#include <vector>

#include <qdat/host/Export.h>
#include <qdat/plan/PlanAlignment.h>
#include <qdat/profile/QZdmFile.h>
#include <qdat/section/QSupFile.h>

namespace qdat {

struct QDAT_API IfcHorizontalSegment {
    std::string type;        // "LINE", "CIRCULARARC", "CLOTHOID"
    double x = 0.0;          // start: easting
    double y = 0.0;          // start: northing
    double direction = 0.0;  // start direction, radians from +x counter-clockwise, [0, 2 pi)
    // Signed curvatures (1/m, + turning left); the radii are their inverses,
    // 0 for a curvature of 0.
    double startCurvature = 0.0;
    double endCurvature = 0.0;
    double length = 0.0;
    // The end, for the transition to the next segment.
    double endX = 0.0;
    double endY = 0.0;
    double endDirection = 0.0;
    int element = -1;  // the plan element it was made from; -1 for the closing segment
};

struct QDAT_API IfcVerticalSegment {
    std::string type;       // "CONSTANTGRADIENT", "PARABOLICARC"
    double distance = 0.0;  // start, along the horizontal from its start
    double length = 0.0;    // horizontal length
    double height = 0.0;    // at the start
    double startGradient = 0.0;
    double endGradient = 0.0;
};

struct QDAT_API IfcCantSegment {
    std::string type;  // "CONSTANTCANT", "LINEARTRANSITION"
    double distance = 0.0;
    double length = 0.0;
    double startLeft = 0.0;  // heights of the rails above the centre line (metres)
    double endLeft = 0.0;
    double startRight = 0.0;
    double endRight = 0.0;
};

// The horizontal layout: one segment per element of non-zero length, then a
// zero-length LINE at the end. Throws ExchangeError naming `name` for an
// alignment without elements, an element that is not finite or of no known
// type, and one that does not start at the station where the ones before
// it end (IFC measures distance along by the segments' lengths alone).
QDAT_API std::vector<IfcHorizontalSegment> IfcHorizontalLayout(const PlanAlignment& alignment,
                                                               const std::string& name);

// The vertical layout of a profile along a horizontal layout starting at
// the continuous station `start` and ending at `end`: tangents as
// CONSTANTGRADIENT, vertical curves as PARABOLICARC. A step is written as a
// zero-length CONSTANTGRADIENT segment at its station carrying the height
// after it (IFC's horizontal lengths may be zero, and a step has no other
// way to be stated in the layout); a tangent or curve it falls in is split
// there. Throws ExchangeError naming `name` for fewer than two points,
// points out of order, a profile beyond the alignment, and overlapping
// vertical curves.
QDAT_API std::vector<IfcVerticalSegment> IfcVerticalLayout(const QZdmFile& profile, double start, double end,
                                                           const std::string& name);

// The cant of a railway superelevation table: between two rows a
// LINEARTRANSITION, or CONSTANTCANT where they are equal. Throws
// ExchangeError naming `name` for a road table, an empty one, a row without
// a value on either side, rows out of order or beyond the alignment, and a
// rail head distance that is not a positive number.
QDAT_API std::vector<IfcCantSegment> IfcCantLayout(const QSupFile& table, double railHeadDistance,
                                                   double start, double end, const std::string& name);

}  // namespace qdat
