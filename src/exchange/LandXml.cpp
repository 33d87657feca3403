#include <qdat/exchange/LandXml.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <ctime>
#include <numbers>
#include <pugixml.hpp>
#include <vector>

#include <qdat/exchange/ExchangeError.h>
#include <qdat/exchange/XmlOutput.h>

namespace qdat {
namespace {

constexpr const char* kNamespace = "http://www.landxml.org/schema/LandXML-1.2";
// Elements shorter than this are left out: they carry no geometry.
constexpr double kMinElementLength = 1e-9;

// Numbers are written in the shortest text that reads back exactly.
std::string Number(double value) {
    if (!std::isfinite(value)) return "";
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

void SetNumber(pugi::xml_node node, const char* name, double value) {
    node.append_attribute(name).set_value(Number(value).c_str());
}

// A point element "northing easting" (X Y).
void AppendPoint(pugi::xml_node parent, const char* name, double x, double y) {
    parent.append_child(name).text().set((Number(x) + " " + Number(y)).c_str());
}

void AppendUnits(pugi::xml_node root) {
    pugi::xml_node metric = root.append_child("Units").append_child("Metric");
    metric.append_attribute("areaUnit") = "squareMeter";
    metric.append_attribute("linearUnit") = "meter";
    metric.append_attribute("volumeUnit") = "cubicMeter";
    metric.append_attribute("temperatureUnit") = "celsius";
    metric.append_attribute("pressureUnit") = "milliBars";
    metric.append_attribute("angularUnit") = "radians";
    metric.append_attribute("directionUnit") = "radians";
}

const char* Rotation(const PlanElement& e) {
    return e.Turn == 1 ? "cw" : "ccw";
}

// The tangent point of an arc exists only while it turns less than half a
// circle.
bool HasTangentPoint(const PlanElement& e) {
    return std::fabs(e.CentralAngle) < std::numbers::pi - 1e-9;
}

// The length as entered, where the element was given one and its computed
// length differs from it only by rounding (a spiral sized by its parameter
// comes out as 120.00000000263876 for an entered 120).
bool SameButRounding(double a, double b) {
    return std::fabs(a - b) <= 1e-9 * std::max(1.0, std::fabs(b));
}

double ElementLength(const PlanElement& e) {
    const double entered = -e.LengthItem;
    return entered > 0.0 && SameButRounding(e.Length, entered) ? entered : e.Length;
}

// An element starting at the station `station`: the alignment's start and
// the entered lengths before it, unless the computed start differs from that
// by more than rounding.
void AppendElement(pugi::xml_node geom, const PlanElement& e, double station) {
    pugi::xml_node node;
    switch (e.Type) {
        case PlanElement::Straight:
            node = geom.append_child("Line");
            SetNumber(node, "staStart", station);
            SetNumber(node, "length", ElementLength(e));
            AppendPoint(node, "Start", e.StartX, e.StartY);
            AppendPoint(node, "End", e.EndX, e.EndY);
            return;
        case PlanElement::Arc:
            node = geom.append_child("Curve");
            node.append_attribute("rot") = Rotation(e);
            node.append_attribute("crvType") = "arc";
            SetNumber(node, "staStart", station);
            SetNumber(node, "length", ElementLength(e));
            SetNumber(node, "radius", e.StartRadius);
            SetNumber(node, "chord", e.Chord);
            SetNumber(node, "delta", std::fabs(e.CentralAngle));
            AppendPoint(node, "Start", e.StartX, e.StartY);
            AppendPoint(node, "Center", e.CentreX, e.CentreY);
            AppendPoint(node, "End", e.EndX, e.EndY);
            if (HasTangentPoint(e)) AppendPoint(node, "PI", e.TangentPointX, e.TangentPointY);
            return;
        default:
            break;
    }
    if (!PlanElement::IsSpiralType(e.Type)) return;
    node = geom.append_child("Spiral");
    SetNumber(node, "length", ElementLength(e));
    node.append_attribute("radiusStart") = LandXmlRadius(e.StartRadius).c_str();
    node.append_attribute("radiusEnd") = LandXmlRadius(e.EndRadius).c_str();
    node.append_attribute("rot") = Rotation(e);
    node.append_attribute("spiType") = "clothoid";
    SetNumber(node, "staStart", station);
    SetNumber(node, "constant", e.SpiralParam);
    SetNumber(node, "chord", e.Chord);
    SetNumber(node, "theta", std::fabs(e.CentralAngle));
    SetNumber(node, "tanLong", std::max(e.Tangent1, e.Tangent2));
    SetNumber(node, "tanShort", std::min(e.Tangent1, e.Tangent2));
    AppendPoint(node, "Start", e.StartX, e.StartY);
    AppendPoint(node, "PI", e.TangentPointX, e.TangentPointY);
    AppendPoint(node, "End", e.EndX, e.EndY);
}

void AppendPvi(pugi::xml_node profAlign, double station, double elevation) {
    profAlign.append_child("PVI").text().set((Number(station) + " " + Number(elevation)).c_str());
}

pugi::xml_node AppendProfAlignNode(pugi::xml_node profile, const std::string& name) {
    pugi::xml_node node = profile.append_child("ProfAlign");
    node.append_attribute("name") = name.c_str();
    return node;
}

// The design profile as points of vertical intersection: the ends, and each
// inner point with its parabola (length 2T). A step on a tangent ends one
// ProfAlign and starts the next at its station: one profile has one
// elevation at a station, and readers divide by the distance between
// neighbouring points. A step inside a vertical curve cannot be written;
// the export is then refused rather than written without it.
void AppendProfAligns(pugi::xml_node profile, const QZdmFile& zdm, const std::string& name) {
    const GrowArray<GradePoint>& points = zdm.GetGradePointArray();
    const int n = points.GetSize();
    const double tol = GetStationTolerance();
    std::vector<int> steps;  // the points whose tangent out holds a step
    for (int i = 0; i + 1 < n; ++i) {
        const GradePoint& p = points[i];
        if (!p.HasStep(tol)) continue;
        const double step = p.StepStation.GetValue();
        if (step < p.CurveEnd.GetValue() + tol || step > points[i + 1].CurveStart.GetValue() - tol)
            throw ExchangeError(name + ": the step at station " + Number(step) +
                                " is not on a tangent; LandXML cannot hold it, so nothing is written");
        steps.push_back(i);
    }
    const auto partName = [&](double from, double to) {
        return steps.empty() ? name : name + ", " + Number(from) + " to " + Number(to);
    };
    const double from = n > 0 ? points[0].Station.GetValue() : 0.0;
    std::size_t nextStep = 0;
    pugi::xml_node node;
    for (int i = 0; i < n; ++i) {
        const GradePoint& p = points[i];
        const double station = p.Station.GetValue();
        if (!node) {
            const double to = nextStep < steps.size() ? points[steps[nextStep]].StepStation.GetValue()
                                                      : points[n - 1].Station.GetValue();
            node = AppendProfAlignNode(profile, partName(from, to));
        }
        if (i > 0 && i + 1 < n && p.TangentLength > 0.0) {
            pugi::xml_node curve = node.append_child("ParaCurve");
            SetNumber(curve, "length", 2.0 * p.TangentLength);
            curve.text().set((Number(station) + " " + Number(p.Elevation)).c_str());
        } else {
            AppendPvi(node, station, p.Elevation);
        }
        if (nextStep >= steps.size() || steps[nextStep] != i) continue;
        ++nextStep;
        const double step = p.StepStation.GetValue();
        const double before = p.Elevation + p.GradeOut * (step - station);
        AppendPvi(node, step, before);
        const double to = nextStep < steps.size() ? points[steps[nextStep]].StepStation.GetValue()
                                                  : points[n - 1].Station.GetValue();
        node = AppendProfAlignNode(profile, partName(step, to));
        AppendPvi(node, step, before + p.StepHeight);
    }
}

// The ground line as "station elevation" pairs; a point without an
// elevation is a gap, which ends one PntList2D and starts the next.
void AppendProfSurf(pugi::xml_node profile, const DmxFile& dmx, const std::string& name) {
    pugi::xml_node node = profile.append_child("ProfSurf");
    node.append_attribute("name") = name.c_str();
    std::string pairs;
    const auto flush = [&] {
        if (!pairs.empty()) node.append_child("PntList2D").text().set(pairs.c_str());
        pairs.clear();
    };
    for (const GroundPoint& p : dmx.Rows().GetRows()) {
        if (!p.HasElevation()) {
            flush();
            continue;
        }
        if (!pairs.empty()) pairs += ' ';
        pairs += Number(p.m_station.GetValue()) + " " + Number(p.m_elevation);
    }
    flush();
}

std::string UtcNow(const char* format) {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, format, &utc);
    return text;
}

}  // namespace

std::string LandXmlRadius(double radius) {
    return std::fabs(radius) >= InfiniteRadius ? "INF" : Number(radius);
}

namespace {

void Build(const LandXmlSource& source, pugi::xml_document& doc) {
    pugi::xml_node decl = doc.append_child(pugi::node_declaration);
    decl.append_attribute("version") = "1.0";
    decl.append_attribute("encoding") = "UTF-8";
    pugi::xml_node root = doc.append_child("LandXML");
    root.append_attribute("xmlns") = kNamespace;
    root.append_attribute("version") = "1.2";
    root.append_attribute("date") = UtcNow("%Y-%m-%d").c_str();
    root.append_attribute("time") = UtcNow("%H:%M:%S").c_str();
    AppendUnits(root);
    pugi::xml_node app = root.append_child("Application");
    app.append_attribute("name") = "qdat";
    app.append_attribute("version") = QDAT_VERSION;

    const PlanAlignment& alignment = *source.alignment;
    const ChainTable noBreaks;
    const ChainTable& chain = source.chain ? *source.chain : noBreaks;
    pugi::xml_node node = root.append_child("Alignments").append_child("Alignment");
    node.append_attribute("name") = source.name.c_str();
    const double start = alignment.GetStartStation().GetValue();
    pugi::xml_attribute lengthAttribute = node.append_attribute("length");
    SetNumber(node, "staStart", chain.StakeOf(start));

    pugi::xml_node geom = node.append_child("CoordGeom");
    const int count = alignment.GetTotalElementCount();
    double station = start;
    for (int i = 0; i < count && i < alignment.GetElements().GetSize(); ++i) {
        const PlanElement& e = alignment.GetElement(i);
        if (!SameButRounding(station, e.StartStation.GetValue())) station = e.StartStation.GetValue();
        if (e.Length > kMinElementLength) AppendElement(geom, e, station);
        station += ElementLength(e);
    }
    const double end = alignment.GetEndStation().GetValue();
    lengthAttribute.set_value(Number((SameButRounding(station, end) ? station : end) - start).c_str());
    const double tol = GetStationTolerance();
    for (int i = 0; i < chain.GetBreakCount(); ++i) {
        const ChainBreak& b = chain.GetBreak(i);
        const double at = chain.BreakStartStation(i).GetValue();
        // A station equation off the alignment would tell a reader of a
        // stationing the alignment does not have.
        if (!(at >= start - tol && at <= end + tol))
            throw ExchangeError("the chain break " + Number(b.Before) + ":" + Number(b.After) + " lies at " +
                                Number(at) + ", off the alignment (" + Number(start) + " to " + Number(end) +
                                "); nothing is written");
        pugi::xml_node eq = node.append_child("StaEquation");
        SetNumber(eq, "staBack", b.Before);
        SetNumber(eq, "staAhead", b.After);
        SetNumber(eq, "staInternal", at);
    }
    if (!source.profile && !source.ground) return;
    pugi::xml_node profile = node.append_child("Profile");
    profile.append_attribute("name") = source.name.c_str();
    if (source.ground) AppendProfSurf(profile, *source.ground, source.groundName);
    if (source.profile) AppendProfAligns(profile, *source.profile, source.profileName);
}

}  // namespace

void BuildLandXml(const LandXmlSource& source, pugi::xml_document& doc) {
    if (!source.alignment) throw ExchangeError(source.name + ": no alignment to write");
    // Built apart, so that a refusal leaves the caller's document as it was.
    pugi::xml_document built;
    Build(source, built);
    doc.reset(built);
}

void WriteLandXml(const LandXmlSource& source, const std::string& path,
                  const std::vector<std::string>& inputs) {
    pugi::xml_document doc;
    BuildLandXml(source, doc);
    SaveXml(doc, path, inputs);
}

}  // namespace qdat
