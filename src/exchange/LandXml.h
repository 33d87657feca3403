// The LandXML 1.2 document of an alignment: its plan geometry, its station
// equations, and the vertical profile and ground line along it.
//
// Coordinates: this package's X is the northing and Y the easting (azimuths
// run clockwise from +X), so a LandXML point "northing easting" is "X Y", and
// an element that turns right ("cw" seen from above) has Turn +1. Stations in
// the geometry and the profile are continuous stations; the stake stations
// users see follow from staStart and the station equations.
#pragma once

#include <string>
#include <vector>

#include <qdat/host/Export.h>
#include <qdat/plan/PlanAlignment.h>
#include <qdat/profile/DmxFile.h>
#include <qdat/profile/QZdmFile.h>
#include <qdat/station/ChainTable.h>

namespace pugi {
class xml_document;
}

namespace qdat {

struct QDAT_API LandXmlSource {
    std::string name;  // the alignment's name
    const PlanAlignment* alignment = nullptr;
    const ChainTable* chain = nullptr;  // the alignment's station equations; null: none
    const QZdmFile* profile = nullptr;  // optional
    std::string profileName;
    const DmxFile* ground = nullptr;  // optional
    std::string groundName;
};

// Builds the document, in place of what doc held. What LandXML cannot say, or what does not belong to
// the alignment (a step in the profile inside a vertical curve, a chain break
// off the alignment), throws ExchangeError: nothing is left out unsaid. So
// does a source without an alignment. Refused, doc is left as it was.
QDAT_API void BuildLandXml(const LandXmlSource& source, pugi::xml_document& doc);

// Builds the document and saves it to path as SaveXml (exchange/XmlOutput.h)
// does, never over one of the inputs; ExchangeError when it cannot be built
// or written, the old file then as it was.
QDAT_API void WriteLandXml(const LandXmlSource& source, const std::string& path,
                           const std::vector<std::string>& inputs);

// A radius as LandXML writes it: "INF" for an infinite one (9999 here).
QDAT_API std::string LandXmlRadius(double radius);

}  // namespace qdat
