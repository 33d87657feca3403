// Alignments, profiles and sections as polylines, for whatever draws them
// (the tool's SVG plots, a host's view, a later CAD export). The sampling
// lives here rather than in the plan and profile layers: how finely a curve
// is cut and how a step shows are choices of a drawing, not facts of the
// alignment or the profile.
#pragma once

#include <vector>

#include <qdat/host/Export.h>
#include <qdat/plan/PlanAlignment.h>
#include <qdat/profile/DmxFile.h>
#include <qdat/profile/QZdmFile.h>
#include <qdat/section/CrossSection.h>
#include <qdat/station/QStation.h>

namespace qdat {

struct QDAT_API PolylinePoint {
    double x = 0.0;
    double y = 0.0;
};
using Polyline = std::vector<PolylinePoint>;

// The centre line in plan, in this package's coordinates (x the northing X,
// y the easting Y): one run per stretch of touching elements, arcs and
// spirals cut at most `spacing` apart (8 to 5000 parts an element; a
// spacing not above zero takes the 5000), and the
// main points (the ends of the elements, the first end of touching elements
// once) with their stations. Elements of no length are left out.
struct QDAT_API PlanPolylines {
    std::vector<Polyline> runs;
    std::vector<QStation> mainStations;
    Polyline mainPoints;
};
QDAT_API PlanPolylines SamplePlan(const PlanAlignment& alignment, double spacing);

// The design line of a profile as (station, elevation): every `spacing`
// metres (widened so that no more than `mostSamples` are taken), the grade
// points and the ends of the vertical curves exactly; a step breaks the
// line, `stepGap` either side of it. Empty for fewer than two grade points.
QDAT_API std::vector<Polyline> SampleDesignLine(const QZdmFile& zdm, double spacing, int mostSamples,
                                                double stepGap);

// The tangents through the grade points, a step as two points at its
// station.
QDAT_API Polyline TangentPolygon(const QZdmFile& zdm);

// The ground line as (station, elevation), one run between gaps (points
// without an elevation).
QDAT_API std::vector<Polyline> GroundLineRuns(const DmxFile& dmx);

// The ground of a cross-section as (offset, elevation) from left to right,
// the left side's offsets negated.
QDAT_API Polyline SectionGround(const CrossSection& section);

}  // namespace qdat
