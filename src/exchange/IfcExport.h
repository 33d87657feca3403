// The IFC 4.3 (IFC4X3_ADD2) file of an alignment: its horizontal layout, its
// vertical profile and the cant of a railway track, each as IFC's business
// logic (layouts of segments with their design parameters) and as geometry
// (a composite curve of curve segments, a gradient curve above it), with a
// referent stating the stationing at the start and at every chain break.
//
// Coordinates: IFC's x is the easting and y the northing, so a point "X Y"
// of this package (X is the northing) is written (Y, X), as LandXML writes
// it "northing easting". Directions are angles from +x (east),
// counter-clockwise, in radians: an azimuth a of this package (clockwise
// from north) is pi/2 - a. A radius is positive where the alignment turns
// left, negative where it turns right, 0 for an infinite one. Distances
// along are measured from the alignment's start; the continuous station of
// a point is the start station plus its distance along, and the referents
// give the stake stations. No map conversion is written: the coordinates
// are the project's own.
#pragma once

#include <string>
#include <vector>

#include <qdat/host/Export.h>
#include <qdat/plan/PlanAlignment.h>
#include <qdat/profile/QZdmFile.h>
#include <qdat/section/QSupFile.h>
#include <qdat/station/ChainTable.h>

namespace qdat {

class PrjFile;

// The spatial element the alignment is placed in: a site alone, or a road
// or railway facility on it.
enum class IfcFacility { Site, Road, Railway };

struct QDAT_API IfcSource {
    std::string name;         // the alignment's name
    std::string projectName;  // the project's; the alignment's name when empty
    const PlanAlignment* alignment = nullptr;
    const ChainTable* chain = nullptr;  // the stationing; null: none
    const QZdmFile* profile = nullptr;  // optional
    std::string profileName;            // the profile as messages name it
    // A railway superelevation table, written as the cant of the track;
    // optional. A road table is refused: a road's cross-fall is no cant.
    const QSupFile* superelevation = nullptr;
    std::string superelevationName;
    // The distance between the rails' contact points (metres); the cant of
    // a rail is its height above the centre line, the superelevation (per
    // cent) times half this distance.
    double railHeadDistance = 1.5;
    IfcFacility facility = IfcFacility::Site;
    std::string fileName;  // the file's name as its header states it
};

// The file's text. What IFC cannot say, or what does not fit the alignment
// (an element that does not start where the ones before it end, a profile
// or table beyond the alignment, overlapping vertical curves, a road table
// given as cant, a row without a value on a side), throws ExchangeError
// naming the file and the place: nothing is left out unsaid.
QDAT_API std::string BuildIfc(const IfcSource& source);

// Builds the file and saves it to path as SaveText (exchange/XmlOutput.h)
// does: never over an input, through a mirror file, "-" for standard
// output. ExchangeError when it cannot be built or written, the old file
// then as it was.
QDAT_API void WriteIfc(const IfcSource& source, const std::string& path,
                       const std::vector<std::string>& inputs);

// The facility a project is: a railway when it names a railway
// track-spacing file, else a road.
QDAT_API IfcFacility IfcFacilityOf(const PrjFile& project);

}  // namespace qdat
