// Drawings of a road as SVG, fit for a drawing set: the alignment in plan,
// the vertical profile with its data band, and cross-sections with the
// design template. Each drawing is built into a pugixml document (a caller
// brings pugixml's headers along, as for exchange/XmlOutput.h) and states on
// its root the transform from the world to the page as
// data-transform="ox sx oy sy" (page x = ox + sx * across, page y = oy - sy *
// up) and its window as data-frame="left top right bottom"; every label is
// placed clear of the other labels and of the lines, inside the window.
//
// Stations are shown as station text (chain letters and stake stations under
// the context's chain table); the drawings run in continuous stations.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <qdat/exchange/Polylines.h>
#include <qdat/host/Export.h>
#include <qdat/plan/PlanAlignment.h>
#include <qdat/plan/QJdDoc.h>
#include <qdat/profile/DmxFile.h>
#include <qdat/profile/QZdmFile.h>
#include <qdat/section/CrossSection.h>
#include <qdat/station/QStation.h>

namespace pugi {
class xml_document;
}

namespace qdat {

// The sheet a drawing is laid out on. Without paper the page is as large as
// the drawing needs; without a scale the drawing is fitted to the sheet (or
// to the default size). A drawing that does not fit the sheet at the scale
// asked for is refused with the sizes named.
struct QDAT_API DrawingSheet {
    std::string paper;   // "", "A4", "A3" or "A1", landscape
    double scale = 0.0;  // N of 1:N; 0 fits
};

// The sheet of a --paper and a --scale text ("1:500" or "500"); ExchangeError
// naming what is wrong.
QDAT_API DrawingSheet ParseDrawingSheet(const std::string& paper, const std::string& scale);

// The kind of each main point of an alignment, as a drawing labels it: BP and
// EP at the ends, TS, SC, CS, ST at the ends of spirals, PC and PT where an
// arc meets a straight, PCC between two arcs; with railwayNames the names of
// a railway drawing (ZH, HY, YH, HZ, ZY, YZ, QD, ZD).
QDAT_API std::vector<std::string> MainPointKinds(const PlanAlignment& alignment, bool railwayNames);

// A curve of the alignment: the elements between two straights (or an end),
// with the intersection point of the tangents at its ends.
struct QDAT_API AlignmentCurve {
    std::string name;
    double ipX = 0.0, ipY = 0.0;                     // X northing, Y easting
    bool hasIp = false;                              // tangents not parallel
    double radius = 0.0;                             // the least radius of its arcs (or spirals)
    double spiralParam1 = 0.0, spiralLength1 = 0.0;  // entry spiral; 0 without
    double spiralParam2 = 0.0, spiralLength2 = 0.0;  // exit spiral
    double tangent1 = 0.0, tangent2 = 0.0;           // start -> IP, IP -> end
    double deflection = 0.0;                         // radians, + right
    double length = 0.0;
    QStation start, end;
};
// The curves of an alignment, named after the intersection points when the
// alignment was made from them (one point with a curve per curve), else
// "IP1", "IP2", ...
QDAT_API std::vector<AlignmentCurve> AlignmentCurves(const PlanAlignment& alignment, const QJdDoc* points);

struct QDAT_API PlanDrawingInput {
    const PlanAlignment* alignment = nullptr;
    const QJdDoc* points = nullptr;  // the intersection points it was made from, if so
    std::string name;                // the file, as the title names it
    bool railwayNames = false;
};
QDAT_API void DrawPlan(const PlanDrawingInput& input, const DrawingSheet& sheet, pugi::xml_document& out);

struct QDAT_API ProfileDrawingInput {
    const QZdmFile* profile = nullptr;
    std::string name;
    const DmxFile* ground = nullptr;  // optional
    std::string groundName;
    // The stations of the data band; empty: every 20 m.
    std::vector<QStation> bandStations;
};
QDAT_API void DrawProfile(const ProfileDrawingInput& input, const DrawingSheet& sheet,
                          pugi::xml_document& out);

// The ground elevation along the ground line at a station, linear between its
// points; none off the line or in a gap.
QDAT_API std::optional<double> GroundElevationAt(const std::vector<Polyline>& runs, double station);

// The design of a cross-section: the template's points as (offset,
// elevation) from left to right, the design elevation at the centre line,
// and lines of text on the cross-falls and widths there.
struct QDAT_API SectionDesign {
    Polyline points;
    double elevation = 0.0;
    std::vector<std::string> notes;
};

// Areas between a ground line and a design line, both (offset, elevation)
// from left to right, over the offsets both cover: fill where the design
// lies above the ground, cut where below. Square metres.
struct QDAT_API CutFillAreas {
    double cut = 0.0;
    double fill = 0.0;
};
QDAT_API CutFillAreas CutAndFill(const Polyline& ground, const Polyline& design);

struct QDAT_API SectionDrawingInput {
    const CrossSection* section = nullptr;
    std::string name;
    const SectionDesign* design = nullptr;  // optional
};
QDAT_API void DrawSection(const SectionDrawingInput& input, const DrawingSheet& sheet,
                          pugi::xml_document& out);

}  // namespace qdat
