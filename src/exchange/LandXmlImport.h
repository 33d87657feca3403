// Reading LandXML 1.0 to 1.2 (and the national variants that extend it) into
// this package's files: the alignments' plan elements, intersection points,
// station equations, vertical profiles and ground lines.
//
// Elements are found by their local names, whatever namespace or prefix a
// program gives them. Coordinates "northing easting" are X Y here; lengths
// in feet or US survey feet become metres; angles follow the file's
// angularUnit. Positions are taken from each element's own points and
// directions from its coordinates, never from its rounded angle attributes:
// where consecutive elements meet only within rounding, or not at all, the
// gap or kink is reported and left where it is, never spread along the
// alignment. What the package cannot represent (spirals other than the
// clothoid, unsymmetric vertical curves, a station equation that runs the
// stations back) is refused by name, with the element's line and station.
//
// Stations in the geometry and the profiles are the file's internal
// (continuous) stations; staStart and the station equations give the
// stake stations, which become the chain table.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <optional>

#include <qdat/host/Export.h>
#include <qdat/plan/JdList.h>
#include <qdat/plan/PlanAlignment.h>
#include <qdat/profile/GroundPoints.h>
#include <qdat/profile/QZdmFile.h>
#include <qdat/station/ChainTable.h>

namespace qdat {

// A vertical profile (ProfAlign) or a ground line (ProfSurf) of an alignment.
struct QDAT_API LandXmlProfileInfo {
    std::string name;
    bool ground = false;  // a ProfSurf
    int points = 0;       // PVIs and curves, or ground points
    double startStation = 0.0;
    double endStation = 0.0;
};

// What the file says of an alignment, without building it (so that an
// alignment with a construct the package cannot hold is still listed).
struct QDAT_API LandXmlAlignmentInfo {
    std::string name;
    double staStart = 0.0;  // metres
    double length = 0.0;    // metres: the file's, else the sum of its elements
    int lines = 0;
    int curves = 0;
    int spirals = 0;
    int equations = 0;
    std::vector<LandXmlProfileInfo> profiles;  // in file order, ProfSurf and ProfAlign
};

struct QDAT_API LandXmlFileInfo {
    std::string version;         // the root's version attribute
    std::string application;     // Application name and version, when given
    std::string units;           // "metric (meter; radians)", "imperial (USSurveyFoot; decimal degrees)"
    double metresPerUnit = 1.0;  // of the file's linear unit
    std::vector<LandXmlAlignmentInfo> alignments;
};

// One alignment as the package holds it.
struct QDAT_API ImportedAlignment {
    std::string name;
    // The elements, computed; each starts at its own point (Chained 0), so
    // that the file's positions are kept where consecutive elements do not
    // quite meet.
    PlanAlignment plan;
    // The intersection points of the file's AlignPIs, as read (not
    // computed); with pointsOnly, the file has no CoordGeom and the elements
    // are their curves.
    std::optional<JdList> alignPoints;
    bool pointsOnly = false;
    ChainTable chain;  // from the station equations
    // The design profile, recalculated; empty when the alignment has none.
    std::string profileName;
    GrowArray<GradePoint> profile;
    // The ground line; empty when the alignment has none.
    std::string groundName;
    GrowArray<GroundPoint> ground;
    // What the reader met and the user should hear of: units converted,
    // gaps and kinks, curves approximated, equations off the alignment.
    std::vector<std::string> notes;
};

// Reads the file's units, application and alignments. Throws ExchangeError
// naming the file (and the line) when it is not LandXML or is damaged.
QDAT_API LandXmlFileInfo ListLandXml(const std::string& path);
QDAT_API LandXmlFileInfo ListLandXmlText(std::string_view text, const std::string& name);

// Reads one alignment: the one named (the only one when `alignment` is
// empty), its design profile the ProfAlign named `profileName` or the first
// one. Throws ExchangeError naming the file, the element, its line and its
// station for what cannot be read or represented.
QDAT_API ImportedAlignment ReadLandXmlAlignment(std::string_view text, const std::string& name,
                                                const std::string& alignment,
                                                const std::string& profileName = {});

// What to write. Empty paths are not written. `allDirectory` writes every
// file of every alignment (of the one named, when `alignment` is given) into
// that folder, each named after its alignment ("<name>.pm", ".jd", ".zdm",
// ".dmx", ".prj"; a name that would not make a file name has its characters
// replaced, a name twice gets "-2"); the profile files only where the
// alignment has one, the intersection points only where they can describe
// its curves (a note tells where not).
struct QDAT_API LandXmlImportOptions {
    std::string alignment;    // empty: the only one
    std::string profileName;  // empty: the first ProfAlign
    std::string plan;
    std::string jd;
    std::string profile;
    std::string ground;
    std::string project;
    std::string allDirectory;
};

struct QDAT_API LandXmlImportResult {
    LandXmlFileInfo file;
    std::vector<std::string> alignments;  // the names of the alignments imported
    std::vector<std::string> written;     // the files written, in order
    std::vector<std::string> notes;       // of every alignment, prefixed by its name
};

// Reads path and writes what the options ask for. Everything is read and
// built first, and every target opened (a mirror file beside it) before the
// first is replaced: any error throws ExchangeError and leaves every target
// as it was. The project files come last, naming the others with their
// fingerprints and holding the chain table and the station precision the
// files need; only when a project file cannot replace its target then are
// the data files already written (the message says which). An output that
// is the input, or named twice, is refused. Station text is written under
// a context of the import's own; the caller's context is not changed.
QDAT_API LandXmlImportResult ImportLandXml(const std::string& path, const LandXmlImportOptions& options);

// The intersection points of an alignment (CalcMode 0: the radius and the
// spiral lengths of every curve; a corner without a curve has radius 0),
// computed, such that computing their curves gives the alignment back: the
// file's own AlignPIs where they do (within a millimetre), with the curves of
// the elements; else, told in `notes`, the points where the tangents of the
// elements' curves meet. Throws ExchangeError naming the element for curves
// they cannot describe (a spiral between two radii, two arcs in a row), or
// the station where the elements part from the points' alignment (a gap, a
// kink).
QDAT_API JdList IntersectionPointsOf(const ImportedAlignment& alignment,
                                     std::vector<std::string>* notes = nullptr);

}  // namespace qdat
