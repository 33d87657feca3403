#include <qdat/exchange/IfcExport.h>

#include <charconv>
#include <cmath>
#include <ctime>
#include <numbers>

#include <qdat/exchange/ExchangeError.h>
#include <qdat/exchange/IfcLayouts.h>
#include <qdat/exchange/XmlOutput.h>
#include <qdat/exchange/detail/StepFile.h>
#include <qdat/plan/Clothoid.h>
#include <qdat/project/PrjFile.h>

namespace qdat {
namespace {

using step::Real;
using step::Ref;
using step::RefList;

constexpr double kPi = std::numbers::pi;
// The data type id of the railway track-spacing file in a project.
constexpr std::uint32_t kTrackSpacingType = 125;
// Neighbouring segments meet continuously, tangentially and with the same
// curvature within these (metres, radians, 1/m).
constexpr double kJoinGap = 1e-6;
constexpr double kJoinAngle = 1e-9;
constexpr double kJoinCurvature = 1e-12;

std::string Number(double value) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

std::string Length(double value) {
    return "IFCLENGTHMEASURE(" + Real(value) + ")";
}

std::string Enum(const std::string& value) {
    return "." + value + ".";
}

std::string UtcNow() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    return text;
}

double AngleBetween(double a, double b) {
    return std::fabs(std::remainder(a - b, 2.0 * kPi));
}

// How the geometry of a horizontal segment meets the next one.
const char* Transition(const IfcHorizontalSegment& a, const IfcHorizontalSegment& b) {
    if (std::hypot(b.x - a.endX, b.y - a.endY) > kJoinGap) return ".DISCONTINUOUS.";
    if (AngleBetween(a.endDirection, b.direction) > kJoinAngle) return ".CONTINUOUS.";
    if (std::fabs(a.endCurvature - b.startCurvature) > kJoinCurvature) return ".CONTSAMEGRADIENT.";
    return ".CONTSAMEGRADIENTSAMECURVATURE.";
}

const char* Transition(const IfcVerticalSegment& a, const IfcVerticalSegment& b) {
    const double endHeight = a.height + a.length * (a.startGradient + a.endGradient) / 2.0;
    if (std::fabs(a.distance + a.length - b.distance) > kJoinGap ||
        std::fabs(endHeight - b.height) > kJoinGap)
        return ".DISCONTINUOUS.";
    if (std::fabs(a.endGradient - b.startGradient) > kJoinAngle) return ".CONTINUOUS.";
    return ".CONTSAMEGRADIENT.";
}

// The point at arc length s of the clothoid IFC defines with the constant a
// (IfcClothoid: curvature a s / |a|^3, tangent along +x at s = 0), and its
// direction there.
struct ClothoidPoint {
    double x, y, angle;
};
ClothoidPoint ClothoidAt(double a, double s) {
    const clothoid::LocalPoint p = clothoid::QuadraturePoint(std::fabs(a), std::fabs(s));
    const double ss = s < 0.0 ? -1.0 : 1.0;
    const double sa = a < 0.0 ? -1.0 : 1.0;
    return {ss * p.x, ss * sa * p.y, sa * s * s / (2.0 * a * a)};
}

// The length of the parabola z = g1 x + (g2 - g1) x^2 / (2 h) over 0 <= x <= h.
double ParabolaLength(double h, double g1, double g2) {
    if (std::fabs(g2 - g1) < 1e-12) return h * std::sqrt(1.0 + g1 * g1);
    const auto f = [](double u) { return (u * std::sqrt(1.0 + u * u) + std::asinh(u)) / 2.0; };
    return h * (f(g2) - f(g1)) / (g2 - g1);
}

class IfcWriter {
public:
    explicit IfcWriter(const IfcSource& source)
        : m_source(source), m_guids(GuidSeed(source)), m_chain(source.chain ? *source.chain : ChainTable()) {}

    std::string Build();

private:
    static std::string GuidSeed(const IfcSource& source);
    std::string Guid() { return m_guids.Next(); }
    int Add(std::string_view entity, const std::string& arguments) { return m_data.Add(entity, arguments); }

    int Point(double x, double y) { return Add("IFCCARTESIANPOINT", "(" + Real(x) + "," + Real(y) + ")"); }
    int Point(double x, double y, double z) {
        return Add("IFCCARTESIANPOINT", "(" + Real(x) + "," + Real(y) + "," + Real(z) + ")");
    }
    int Direction(double dx, double dy) { return Add("IFCDIRECTION", "(" + Real(dx) + "," + Real(dy) + ")"); }
    int Placement2D(double x, double y, double angle) {
        return Add("IFCAXIS2PLACEMENT2D",
                   Ref(Point(x, y)) + "," + Ref(Direction(std::cos(angle), std::sin(angle))));
    }
    int LocalPlacement(int relativeTo) {
        return Add("IFCLOCALPLACEMENT", (relativeTo ? Ref(relativeTo) : "$") + "," + Ref(m_origin3D));
    }
    int Nest(int relating, const std::vector<int>& related, const char* name) {
        return Add("IFCRELNESTS",
                   Guid() + ",$," + step::String(name) + ",$," + Ref(relating) + "," + RefList(related));
    }

    void Context();
    int HorizontalCurveSegment(const IfcHorizontalSegment& s, const char* transition);
    int VerticalCurveSegment(const IfcVerticalSegment& s, const char* transition);
    void Horizontal(int alignment);
    void Vertical(int alignment);
    void Cant(int alignment);
    void Referents(int alignment);
    int Referent(double station, const std::string& name, const std::string& description, double stationValue,
                 const double* incoming);

    const IfcSource& m_source;
    step::DataSection m_data;
    step::GuidSource m_guids;
    ChainTable m_chain;
    double m_start = 0.0;  // continuous stations of the alignment's ends
    double m_end = 0.0;
    std::vector<IfcHorizontalSegment> m_horizontal;
    std::vector<IfcVerticalSegment> m_vertical;
    int m_origin3D = 0;
    int m_origin2D = 0;
    int m_axisX = 0;  // the direction (1, 0)
    int m_line = 0;   // the line along +x every straight segment is cut from
    int m_modelContext = 0;
    int m_axisContext = 0;
    int m_footprintContext = 0;
    int m_project = 0;
    int m_alignmentPlacement = 0;
    int m_compositeCurve = 0;
    int m_gradientCurve = 0;
};

std::string IfcWriter::GuidSeed(const IfcSource& source) {
    std::string seed = source.name + '\n' + source.projectName;
    const PlanAlignment& a = *source.alignment;
    seed += '\n' + Number(a.StartX) + ' ' + Number(a.StartY) + ' ' + Number(a.GetStartStation().GetValue());
    // The elements' sizes too: two alignments that share a name and a start
    // rarely share them.
    const int count = a.GetTotalElementCount();
    for (int i = 0; i < count && i < a.GetElements().GetSize(); ++i) {
        const PlanElement& e = a.GetElement(i);
        seed += ' ' + std::to_string(e.Type) + ':' + Number(e.Length) + ':' + Number(e.StartRadius) + ':' +
                Number(e.EndRadius);
    }
    return seed;
}

void IfcWriter::Context() {
    m_origin3D = Add("IFCAXIS2PLACEMENT3D", Ref(Point(0.0, 0.0, 0.0)) + ",$,$");
    m_origin2D = Point(0.0, 0.0);
    m_axisX = Direction(1.0, 0.0);
    m_line = Add("IFCLINE", Ref(m_origin2D) + "," + Ref(Add("IFCVECTOR", Ref(m_axisX) + ",1.")));
    m_modelContext = Add("IFCGEOMETRICREPRESENTATIONCONTEXT",
                         "$,'Model',3,1.E-05," + Ref(m_origin3D) + "," + Ref(Direction(0.0, 1.0)));
    m_axisContext = Add("IFCGEOMETRICREPRESENTATIONSUBCONTEXT",
                        "'Axis','Model',*,*,*,*," + Ref(m_modelContext) + ",$,.MODEL_VIEW.,$");
    m_footprintContext = Add("IFCGEOMETRICREPRESENTATIONSUBCONTEXT",
                             "'FootPrint','Model',*,*,*,*," + Ref(m_modelContext) + ",$,.PLAN_VIEW.,$");
    const int metre = Add("IFCSIUNIT", "*,.LENGTHUNIT.,$,.METRE.");
    const int radian = Add("IFCSIUNIT", "*,.PLANEANGLEUNIT.,$,.RADIAN.");
    const int units = Add("IFCUNITASSIGNMENT", RefList({metre, radian}));
    const std::string projectName = m_source.projectName.empty() ? m_source.name : m_source.projectName;
    m_project = Add("IFCPROJECT", Guid() + ",$," + step::String(projectName) + ",$,$,$,$," +
                                      RefList({m_modelContext}) + "," + Ref(units));
}

int IfcWriter::HorizontalCurveSegment(const IfcHorizontalSegment& s, const char* transition) {
    const int placement = Placement2D(s.x, s.y, s.direction);
    std::string parent;
    double start = 0.0;
    double length = s.length;
    if (s.type == "LINE") {
        parent = Ref(m_line);
    } else if (s.type == "CIRCULARARC") {
        // The circle through the segment's start with its tangent along +x:
        // its centre to the left for a left turn, run forwards, or to the
        // right for a right turn, run backwards (a circle's parameter runs
        // counter-clockwise).
        const double r = 1.0 / s.startCurvature;
        const int position =
            Add("IFCAXIS2PLACEMENT2D", Ref(Point(0.0, r)) + "," + Ref(Direction(0.0, r > 0.0 ? -1.0 : 1.0)));
        parent = Ref(Add("IFCCIRCLE", Ref(position) + "," + Real(std::fabs(r))));
        if (r < 0.0) length = -length;
    } else {
        // The clothoid whose curvature runs from the start's to the end's
        // over the length, cut at the arc length where it has the start's,
        // placed so that that point lies at the origin with its tangent
        // along +x.
        const double dk = s.endCurvature - s.startCurvature;
        const double a = std::copysign(std::sqrt(s.length / std::fabs(dk)), dk);
        start = s.startCurvature * s.length / dk;
        const ClothoidPoint p = ClothoidAt(a, start);
        const double c = std::cos(-p.angle);
        const double sn = std::sin(-p.angle);
        const int position =
            Add("IFCAXIS2PLACEMENT2D",
                Ref(Point(-(c * p.x - sn * p.y), -(sn * p.x + c * p.y))) + "," + Ref(Direction(c, sn)));
        parent = Ref(Add("IFCCLOTHOID", Ref(position) + "," + Real(a)));
    }
    return Add("IFCCURVESEGMENT", std::string(transition) + "," + Ref(placement) + "," + Length(start) + "," +
                                      Length(length) + "," + parent);
}

int IfcWriter::VerticalCurveSegment(const IfcVerticalSegment& s, const char* transition) {
    const double slope = std::atan(s.startGradient);
    const int placement = Placement2D(s.distance, s.height, slope);
    std::string parent;
    double length = 0.0;
    if (s.type == "CONSTANTGRADIENT") {
        parent = Ref(m_line);
        length = s.length * std::sqrt(1.0 + s.startGradient * s.startGradient);
    } else {
        // z = g1 x + (g2 - g1) x^2 / (2 h) in axes turned back to the
        // horizontal, so that x is the distance along.
        const int position = Add("IFCAXIS2PLACEMENT2D",
                                 Ref(m_origin2D) + "," + Ref(Direction(std::cos(-slope), std::sin(-slope))));
        const double k = s.length > 0.0 ? (s.endGradient - s.startGradient) / (2.0 * s.length) : 0.0;
        parent = Ref(Add("IFCPOLYNOMIALCURVE",
                         Ref(position) + ",(0.,1.),(0.," + Real(s.startGradient) + "," + Real(k) + "),$"));
        length = ParabolaLength(s.length, s.startGradient, s.endGradient);
    }
    return Add("IFCCURVESEGMENT", std::string(transition) + "," + Ref(placement) + "," + Length(0.0) + "," +
                                      Length(length) + "," + parent);
}

void IfcWriter::Horizontal(int alignment) {
    const int layout = Add("IFCALIGNMENTHORIZONTAL", Guid() + ",$,$,$,$,$,$");
    Nest(alignment, {layout}, "Horizontal layout");
    std::vector<int> segments;
    std::vector<int> curves;
    for (std::size_t i = 0; i < m_horizontal.size(); ++i) {
        const IfcHorizontalSegment& s = m_horizontal[i];
        const auto radius = [](double k) { return k == 0.0 ? std::string("0.") : Real(1.0 / k); };
        const int parameters =
            Add("IFCALIGNMENTHORIZONTALSEGMENT",
                "$,$," + Ref(Point(s.x, s.y)) + "," + Real(s.direction) + "," + radius(s.startCurvature) +
                    "," + radius(s.endCurvature) + "," + Real(s.length) + ",$," + Enum(s.type));
        const std::string name = s.element >= 0 ? "Element " + std::to_string(s.element + 1) : "End";
        segments.push_back(
            Add("IFCALIGNMENTSEGMENT", Guid() + ",$," + step::String(name) + ",$,$,$,$," + Ref(parameters)));
        const bool last = i + 1 == m_horizontal.size();
        curves.push_back(
            HorizontalCurveSegment(s, last ? ".DISCONTINUOUS." : Transition(s, m_horizontal[i + 1])));
    }
    Nest(layout, segments, "Horizontal segments");
    m_compositeCurve = Add("IFCCOMPOSITECURVE", RefList(curves) + ",.F.");
}

void IfcWriter::Vertical(int alignment) {
    const int layout = Add("IFCALIGNMENTVERTICAL", Guid() + ",$,$,$,$,$,$");
    Nest(alignment, {layout}, "Vertical layout");
    std::vector<int> segments;
    std::vector<int> curves;
    for (std::size_t i = 0; i < m_vertical.size(); ++i) {
        const IfcVerticalSegment& s = m_vertical[i];
        // The radius of a parabola is its least one, at its vertex: h over
        // the change of gradient, positive where it curves upwards.
        std::string radius = "$";
        if (s.type == "PARABOLICARC")
            radius = Real(s.length / (s.endGradient - s.startGradient), "a vertical radius");
        const int parameters =
            Add("IFCALIGNMENTVERTICALSEGMENT", "$,$," + Real(s.distance) + "," + Real(s.length) + "," +
                                                   Real(s.height) + "," + Real(s.startGradient) + "," +
                                                   Real(s.endGradient) + "," + radius + "," + Enum(s.type));
        segments.push_back(Add("IFCALIGNMENTSEGMENT", Guid() + ",$,$,$,$,$,$," + Ref(parameters)));
        const bool last = i + 1 == m_vertical.size();
        curves.push_back(
            VerticalCurveSegment(s, last ? ".DISCONTINUOUS." : Transition(s, m_vertical[i + 1])));
    }
    Nest(layout, segments, "Vertical segments");
    m_gradientCurve = Add("IFCGRADIENTCURVE", RefList(curves) + ",.F.," + Ref(m_compositeCurve) + ",$");
}

void IfcWriter::Cant(int alignment) {
    const std::vector<IfcCantSegment> cant = IfcCantLayout(
        *m_source.superelevation, m_source.railHeadDistance, m_start, m_end, m_source.superelevationName);
    const int layout = Add("IFCALIGNMENTCANT", Guid() + ",$,$,$,$,$,$," + Real(m_source.railHeadDistance));
    Nest(alignment, {layout}, "Cant layout");
    std::vector<int> segments;
    for (const IfcCantSegment& c : cant) {
        const int parameters =
            Add("IFCALIGNMENTCANTSEGMENT",
                "$,$," + Real(c.distance) + "," + Real(c.length) + "," + Real(c.startLeft) + "," +
                    Real(c.endLeft) + "," + Real(c.startRight) + "," + Real(c.endRight) + "," + Enum(c.type));
        segments.push_back(Add("IFCALIGNMENTSEGMENT", Guid() + ",$,$,$,$,$,$," + Ref(parameters)));
    }
    Nest(layout, segments, "Cant segments");
}

int IfcWriter::Referent(double station, const std::string& name, const std::string& description,
                        double stationValue, const double* incoming) {
    StationPoint point;
    point.Station = station;
    m_source.alignment->PointAtStation(point);
    double z = 0.0;
    if (m_source.profile) {
        const double elevation = m_source.profile->GetDesignElevation(station);
        if (elevation != QZdmFile::kNoValue) z = elevation;
    }
    const int basis = m_gradientCurve ? m_gradientCurve : m_compositeCurve;
    const int along = Add("IFCPOINTBYDISTANCEEXPRESSION", Length(station - m_start) + ",$,$,$," + Ref(basis));
    const int linear = Add("IFCAXIS2PLACEMENTLINEAR", Ref(along) + ",$,$");
    const int cartesian = Add("IFCAXIS2PLACEMENT3D", Ref(Point(point.Y, point.X, z)) + ",$,$");
    const int placement =
        Add("IFCLINEARPLACEMENT", Ref(m_alignmentPlacement) + "," + Ref(linear) + "," + Ref(cartesian));
    const int referent =
        Add("IFCREFERENT", Guid() + ",$," + step::String(name) + "," + step::OptionalString(description) +
                               ",$," + Ref(placement) + ",$,.STATION.");
    std::vector<int> properties;
    if (incoming)
        properties.push_back(
            Add("IFCPROPERTYSINGLEVALUE", "'IncomingStation',$," + Length(*incoming) + ",$"));
    properties.push_back(Add("IFCPROPERTYSINGLEVALUE", "'Station',$," + Length(stationValue) + ",$"));
    const int set = Add("IFCPROPERTYSET", Guid() + ",$,'Pset_Stationing',$," + RefList(properties));
    Add("IFCRELDEFINESBYPROPERTIES", Guid() + ",$,$,$," + RefList({referent}) + "," + Ref(set));
    return referent;
}

void IfcWriter::Referents(int alignment) {
    const double tol = GetStationTolerance();
    std::vector<int> referents;
    referents.push_back(Referent(m_start, m_chain.FormatStakeLettered(m_start), m_chain.FormatStake(m_start),
                                 m_chain.StakeOf(m_start), nullptr));
    for (int i = 0; i < m_chain.GetBreakCount(); ++i) {
        const ChainBreak& b = m_chain.GetBreak(i);
        const double at = m_chain.BreakStartStation(i).GetValue();
        // A station equation off the alignment would state a stationing the
        // alignment does not have.
        if (!(at >= m_start - tol && at <= m_end + tol))
            throw ExchangeError("the chain break " + Number(b.Before) + ":" + Number(b.After) + " lies at " +
                                Number(at) + ", off the alignment (" + Number(m_start) + " to " +
                                Number(m_end) + "); nothing is written");
        // Named by the station ahead, in both forms the package shows;
        // the description states the equation.
        double stake = 0.0;
        const double ahead = at + 2e-5;  // past the break, on the chain ahead of it
        const bool onAhead = m_chain.ChainIndexOf(ahead, stake) == i + 1;
        const std::string name =
            onAhead ? m_chain.FormatStakeLettered(ahead) : m_chain.FormatKilometre(b.After);
        const std::string description = m_chain.FormatKilometre(b.Before) + " = " +
                                        m_chain.FormatKilometre(b.After) + " (" +
                                        m_chain.FormatStakeLettered(at) + " = " + name + ")";
        referents.push_back(Referent(at, name, description, b.After, &b.Before));
    }
    Nest(alignment, referents, "Stationing");
}

std::string IfcWriter::Build() {
    const PlanAlignment& alignment = *m_source.alignment;
    m_horizontal = IfcHorizontalLayout(alignment, m_source.name);
    m_start = alignment.GetStartStation().GetValue();
    m_end = m_start;
    for (const IfcHorizontalSegment& s : m_horizontal) m_end += s.length;
    if (m_source.profile)
        m_vertical = IfcVerticalLayout(*m_source.profile, m_start, m_end, m_source.profileName);

    Context();
    const int sitePlacement = LocalPlacement(0);
    const int site =
        Add("IFCSITE", Guid() + ",$,'Site',$,$," + Ref(sitePlacement) + ",$,$,.ELEMENT.,$,$,$,$,$");
    int structure = site;
    int structurePlacement = sitePlacement;
    if (m_source.facility != IfcFacility::Site) {
        structurePlacement = LocalPlacement(sitePlacement);
        const char* entity = m_source.facility == IfcFacility::Road ? "IFCROAD" : "IFCRAILWAY";
        structure = Add(entity, Guid() + ",$," + step::String(m_source.name) + ",$,$," +
                                    Ref(structurePlacement) + ",$,$,.ELEMENT.,$");
        Add("IFCRELAGGREGATES", Guid() + ",$,$,$," + Ref(site) + "," + RefList({structure}));
    }
    m_alignmentPlacement = LocalPlacement(structurePlacement);
    const int shape = m_data.Reserve();
    const int ifcAlignment = Add("IFCALIGNMENT", Guid() + ",$," + step::String(m_source.name) + ",$,$," +
                                                     Ref(m_alignmentPlacement) + "," + Ref(shape) + ",$");
    Add("IFCRELAGGREGATES", Guid() + ",$,$,$," + Ref(m_project) + "," + RefList({site, ifcAlignment}));
    Add("IFCRELREFERENCEDINSPATIALSTRUCTURE",
        Guid() + ",$,$,$," + RefList({ifcAlignment}) + "," + Ref(structure));

    Horizontal(ifcAlignment);
    std::vector<int> representations;
    if (m_source.profile) {
        Vertical(ifcAlignment);
        representations.push_back(
            Add("IFCSHAPEREPRESENTATION",
                Ref(m_footprintContext) + ",'FootPrint','Curve2D'," + RefList({m_compositeCurve})));
        representations.push_back(Add("IFCSHAPEREPRESENTATION", Ref(m_axisContext) + ",'Axis','Curve3D'," +
                                                                    RefList({m_gradientCurve})));
    } else {
        representations.push_back(Add("IFCSHAPEREPRESENTATION", Ref(m_axisContext) + ",'Axis','Curve2D'," +
                                                                    RefList({m_compositeCurve})));
    }
    m_data.Set(shape, "IFCPRODUCTDEFINITIONSHAPE", "$,$," + RefList(representations));
    if (m_source.superelevation) Cant(ifcAlignment);
    Referents(ifcAlignment);

    const std::vector<std::string> description = {
        "Alignment of " + m_source.name,
        "Coordinates: x is the easting (Y of the design files), y the northing (X), z the elevation; metres "
        "and radians, directions counter-clockwise from +x; no map conversion",
        "Distances along are measured from the alignment's start, continuous station " + Number(m_start) +
            "; the referents' Pset_Stationing gives the stations"};
    return step::FileText(description, m_source.fileName, UtcNow(), std::string("qdat ") + QDAT_VERSION,
                          "IFC4X3_ADD2", m_data);
}

}  // namespace

std::string BuildIfc(const IfcSource& source) {
    if (!source.alignment) throw ExchangeError(source.name + ": no alignment to write");
    IfcWriter writer(source);
    return writer.Build();
}

void WriteIfc(const IfcSource& source, const std::string& path, const std::vector<std::string>& inputs) {
    SaveText(BuildIfc(source), path, inputs);
}

IfcFacility IfcFacilityOf(const PrjFile& project) {
    for (const ProjectFileEntry& entry : project.GetEntries())
        if (entry.typeId == kTrackSpacingType && !entry.storedPath.empty()) return IfcFacility::Railway;
    return IfcFacility::Road;
}

}  // namespace qdat
