// The plan geometry and the station equations of a LandXML alignment.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <numbers>
#include <optional>

#include <qdat/exchange/AlignmentOf.h>
#include <qdat/exchange/ExchangeError.h>
#include <qdat/exchange/detail/LandXmlRead.h>
#include <qdat/plan/QJdDoc.h>

namespace qdat::landxml {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kTwoPi = 2.0 * std::numbers::pi;
// Elements shorter than this carry no geometry and are left out.
constexpr double kShortestElement = 1e-9;
// Below this chord the direction of an element's own points says nothing;
// it then goes on in the direction of the element before.
constexpr double kShortestChord = 0.5;
// Directions of consecutive elements closer than this are one direction: the
// coordinates' last bits (a ten-millionth of a metre over a metre) say no
// more.
constexpr double kSameDirection = 1e-7;

struct Point {
    double x = 0.0;
    double y = 0.0;
};

double Distance(Point a, Point b) {
    return std::hypot(b.x - a.x, b.y - a.y);
}

// Azimuth clockwise from +X (north) in [0, 2 pi).
double AzimuthOf(Point from, Point to) {
    double a = std::atan2(to.y - from.y, to.x - from.x);
    if (a < 0.0) a += kTwoPi;
    return a;
}

// An angle brought into (-pi, pi].
double Turned(double a) {
    a = std::fmod(a, kTwoPi);
    if (a > kPi) a -= kTwoPi;
    if (a <= -kPi) a += kTwoPi;
    return a;
}

double Degrees(double radians) {
    return radians * 180.0 / kPi;
}

std::string Millimetres(double metres) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f mm", metres * 1000.0);
    return text;
}

std::string StationText(double station) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", station);
    return text;
}

// Points are given inline or by reference to a CgPoint (pntRef).
class PointReader {
public:
    explicit PointReader(const Source& source) : m_source(source) {}

    bool Has(pugi::xml_node element, std::string_view local) const { return Child(element, local); }

    Point Read(pugi::xml_node element, std::string_view local) const {
        const pugi::xml_node node = Child(element, local);
        if (!node) m_source.Fail(element, "no " + std::string(local) + " point");
        return ReadNode(node);
    }

    // A point element's own "northing easting", or the CgPoint it names.
    Point ReadNode(pugi::xml_node node) const {
        const std::string ref = node.attribute("pntRef").value();
        if (!ref.empty() &&
            std::string_view(node.child_value()).find_first_not_of(" \t\r\n") == std::string_view::npos)
            node = Referenced(node, ref);
        const std::vector<double> v = m_source.Numbers(node, m_source.GetUnits().metresPerUnit, 2);
        return {v[0], v[1]};
    }

private:
    pugi::xml_node Referenced(pugi::xml_node at, const std::string& ref) const {
        if (!m_indexed) {
            m_indexed = true;
            for (pugi::xml_node group : Children(m_source.Root(), "CgPoints"))
                for (pugi::xml_node p : Children(group, "CgPoint"))
                    if (const char* name = p.attribute("name").value(); *name) m_points.emplace(name, p);
        }
        const auto found = m_points.find(ref);
        if (found == m_points.end()) m_source.Fail(at, "pntRef \"" + ref + "\" names no CgPoint");
        return found->second;
    }

    const Source& m_source;
    mutable bool m_indexed = false;
    mutable std::map<std::string, pugi::xml_node, std::less<>> m_points;
};

// +1 turning right ("cw"), -1 left ("ccw"), 0 when the file does not say.
int Rotation(const Source& source, pugi::xml_node node) {
    const std::string_view rot = node.attribute("rot").value();
    if (rot == "cw") return 1;
    if (rot == "ccw") return -1;
    if (!rot.empty()) source.Fail(node, "rot=\"" + std::string(rot) + "\" is neither cw nor ccw");
    return 0;
}

// A radius attribute: infinite where the file says INF (or leaves it out,
// or writes 0, as some programs do for a straight end); never negative.
double RadiusAttribute(const Source& source, pugi::xml_node node, const char* attribute, int& signFound) {
    std::string text = node.attribute(attribute).value();
    std::erase_if(text, [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
    std::string lower = text;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return std::tolower(static_cast<unsigned char>(c)); });
    if (lower.empty() || lower == "inf" || lower == "infinity" || lower == "+inf") return InfiniteRadius;
    const double r = source.Length(node, attribute, 0.0);
    if (r == 0.0) return InfiniteRadius;
    if (r < 0.0) signFound = -1;
    const double magnitude = std::fabs(r);
    // 9999 is how the package writes an infinite radius: a finite one of that
    // size would read back as a straight.
    if (magnitude == InfiniteRadius)
        source.Fail(node,
                    std::string(attribute) + " " + NumberText(magnitude) +
                        " m cannot be held: a radius of 9999 m means a straight in this package's files");
    return magnitude;
}

// Whether two lengths differ only in the last digits of the doubles (and of
// the text that carried them).
bool SameButRounding(double a, double b) {
    return std::fabs(a - b) <= 1e-9 * std::max(1.0, std::fabs(b));
}

// Whether a point lies right of the line from `from` along azimuth.
bool RightOf(Point from, double azimuth, Point p) {
    return (p.y - from.y) * std::cos(azimuth) - (p.x - from.x) * std::sin(azimuth) > 0.0;
}

struct Built {
    PlanElement element;
    Point fileEnd;
};

class PlanReader {
public:
    PlanReader(const Source& source, ImportedAlignment& into)
        : m_source(source), m_points(source), m_into(into) {}

    void Read(pugi::xml_node alignment) {
        const pugi::xml_node geom = Child(alignment, "CoordGeom");
        const pugi::xml_node pis = Child(alignment, "AlignPIs");
        // Beside elements only the points' positions count: the curves are
        // the elements'.
        if (pis) ReadPoints(alignment, pis, static_cast<bool>(geom));
        if (!geom) {
            if (!pis)
                m_source.Fail(alignment,
                              "the alignment has neither CoordGeom nor AlignPIs: nothing to import");
            MakeElements(pis);
            return;
        }
        double station = m_source.Length(alignment, "staStart", 0.0);
        bool first = true;
        for (pugi::xml_node node : geom.children()) {
            if (node.type() != pugi::node_element) continue;
            const std::string_view local = LocalName(node);
            if (local == "Feature") continue;
            const bool stationGiven = m_source.HasAttribute(node, "staStart");
            double at = m_source.Length(node, "staStart", station);
            // A station that differs from where the element before ends only
            // in the last digits is that station (a writer adds up rounded
            // lengths where the element computes its own).
            if (!first && SameButRounding(at, station)) at = station;
            Built built;
            if (local == "Line")
                built = Line(node, at);
            else if (local == "Curve")
                built = Curve(node, at);
            else if (local == "Spiral")
                built = Spiral(node, at);
            else
                m_source.Fail(node, "<" + std::string(local) + "> at station " + StationText(at) +
                                        " cannot be represented: plan elements are lines, curves and "
                                        "clothoid spirals");
            PlanElement& e = built.element;
            if (e.Length < kShortestElement && -e.LengthItem < kShortestElement) continue;  // no geometry
            if (!first) {
                // A direction that differs from the one the element before
                // ends with by no more than the doubles of the coordinates
                // can say is that direction: the elements are tangent.
                if (std::fabs(Turned(e.StartAzimuth - m_previous->EndAzimuth)) <= kSameDirection)
                    e.StartAzimuth = m_previous->EndAzimuth;
                Joint(node, e, stationGiven);
            }
            if (!e.Evaluate())
                m_source.Fail(node, "the element at station " + StationText(at) +
                                        " cannot be computed (radius, length and turn do not fit together)");
            const double off = std::hypot(e.EndX - built.fileEnd.x, e.EndY - built.fileEnd.y);
            if (off > kGapTolerance)
                Note(node, "the " + std::string(local) + " at station " + StationText(at) + " ends " +
                               Millimetres(off) +
                               " from its End point; its start, length and radii are kept");
            m_into.plan.AppendElement(e);
            m_previous = m_into.plan.GetElement(m_into.plan.ElementCount - 1);
            station = e.EndStation.GetValue();
            first = false;
        }
        if (m_into.plan.ElementCount == 0) m_source.Fail(geom, "the alignment has no element with a length");
        PlanAlignment& plan = m_into.plan;
        const PlanElement& start = plan.GetElement(0);
        plan.Name = m_into.name;
        plan.Chained = 0;
        plan.StartMode = 1;
        plan.StartStation = start.StartStation;
        plan.StartX = start.StartX;
        plan.StartY = start.StartY;
        plan.StartAzimuth = start.StartAzimuth;
        if (!plan.ComputeElements()) m_source.Fail(geom, "the elements cannot be computed");
    }

private:
    // An alignment given by its intersection points alone: each AlignPI a
    // point (PI) with the radius of its curve (Curve1) and the lengths of its
    // spirals (InSpiral, OutSpiral); the elements are their curves.
    void ReadPoints(pugi::xml_node alignment, pugi::xml_node pis, bool positionsOnly) {
        JdList list;
        list.StartStation = m_source.Length(alignment, "staStart", 0.0);
        const auto spiral = [&](pugi::xml_node pi, const char* side, double radius) {
            const pugi::xml_node s = Child(Child(pi, side), "Spiral");
            if (!s) return 0.0;
            const std::string type = s.attribute("spiType").value();
            if (!type.empty() && type != "clothoid")
                m_source.Fail(
                    s, "the " + type + " spiral cannot be represented: this package's spirals are clothoids");
            if (m_source.HasAttribute(s, "length")) return m_source.Length(s, "length", 0.0);
            const double a = m_source.Length(s, "constant", 0.0);
            if (a <= 0.0 || radius <= 0.0) m_source.Fail(s, "the spiral has neither a length nor a constant");
            return a * a / radius;
        };
        for (pugi::xml_node pi : Children(pis, "AlignPI")) {
            const pugi::xml_node own = Child(pi, "PI");
            const Point at = m_points.ReadNode(own ? own : pi);
            JdPoint p;
            p.CalcMode = 0;
            p.X = at.x;
            p.Y = at.y;
            p.Name = "JD" + std::to_string(list.Points.GetSize());
            if (positionsOnly) {
                list.Points.Add(p);
                continue;
            }
            if (const pugi::xml_node curve = Child(Child(pi, "Curve1"), "Curve")) {
                int sign = 1;
                p.Radius = RadiusAttribute(m_source, curve, "radius", sign);
                if (p.Radius == InfiniteRadius) m_source.Fail(curve, "the curve has no radius");
            }
            p.SpiralLength1 = spiral(pi, "InSpiral", p.Radius);
            p.SpiralLength2 = spiral(pi, "OutSpiral", p.Radius);
            list.Points.Add(p);
        }
        if (list.Points.GetSize() < 2)
            m_source.Fail(pis, "an alignment needs two intersection points at least");
        m_into.alignPoints = list;
    }

    // The elements of an alignment given by its intersection points alone.
    void MakeElements(pugi::xml_node pis) {
        QJdDoc doc;
        doc.GetList() = *m_into.alignPoints;
        ComputeCurves(doc, m_source.Where(pis));
        m_into.plan = doc.GetList().BuildElementList();
        m_into.plan.Name = m_into.name;
        if (m_into.plan.ElementCount < 1 || !m_into.plan.ComputeElements())
            m_source.Fail(pis, "the curves of the intersection points make no alignment");
        m_into.pointsOnly = true;
    }

    void Note(pugi::xml_node node, const std::string& text) {
        m_into.notes.push_back(m_source.Where(node) + ": " + text);
    }

    static PlanElement StartingAt(double station, Point start) {
        PlanElement e;
        e.StartStation = station;
        e.StartX = start.x;
        e.StartY = start.y;
        return e;
    }

    // The start azimuth of an element from the direction of its chord and
    // the angle between its start tangent and the chord; the one the element
    // before ends with where the chord is too short to say.
    void Orient(PlanElement& e, Point start, Point end) const {
        const double chord = Distance(start, end);
        if (chord < kShortestChord && m_previous) {
            e.StartAzimuth = m_previous->EndAzimuth;
            return;
        }
        PlanElement shape = e;
        shape.StartAzimuth = 0.0;
        shape.StartX = shape.StartY = 0.0;
        if (!shape.Evaluate()) return;  // the caller's Evaluate reports it
        const double turn = e.Turn == 1 ? 1.0 : -1.0;
        double azimuth = AzimuthOf(start, end) - turn * shape.ChordAngle1;
        azimuth = std::fmod(azimuth + kTwoPi, kTwoPi);
        e.StartAzimuth = azimuth;
    }

    Built Line(pugi::xml_node node, double station) {
        const Point s = m_points.Read(node, "Start"), t = m_points.Read(node, "End");
        const double between = Distance(s, t);
        double length = m_source.Length(node, "length", between);
        if (std::fabs(length - between) > kGapTolerance) {
            Note(node, "the Line at station " + StationText(station) + " has length " + NumberText(length) +
                           " but its points lie " + NumberText(between) + " apart; the points are kept");
            length = between;
        }
        PlanElement e = StartingAt(station, s);
        e.Type = PlanElement::Straight;
        e.LengthItem = -length;
        e.StartAzimuth = between > 0.0 ? AzimuthOf(s, t) : (m_previous ? m_previous->EndAzimuth : 0.0);
        if (between < kShortestChord && m_previous) e.StartAzimuth = m_previous->EndAzimuth;
        return {e, t};
    }

    Built Curve(pugi::xml_node node, double station) {
        const Point s = m_points.Read(node, "Start"), t = m_points.Read(node, "End");
        const bool hasCentre = m_points.Has(node, "Center");
        const Point c = hasCentre ? m_points.Read(node, "Center") : Point{};
        int sign = 1;
        double radius = 0.0;
        if (m_source.HasAttribute(node, "radius")) {
            radius = RadiusAttribute(m_source, node, "radius", sign);
            if (radius == InfiniteRadius) m_source.Fail(node, "a curve of infinite radius");
        } else if (hasCentre) {
            radius = 0.5 * (Distance(s, c) + Distance(t, c));
        } else {
            m_source.Fail(node, "the curve has neither a radius nor a Center point");
        }
        if (!(radius > 0.0)) m_source.Fail(node, "the curve has no radius");
        int turn = Rotation(m_source, node);
        if (turn == 0 && sign < 0) turn = -1;
        const double chord = Distance(s, t);
        if (turn == 0) {
            if (!hasCentre) m_source.Fail(node, "the curve says neither its rot nor its Center");
            // The centre lies on the side the curve turns to while it turns
            // less than half a circle, on the other side beyond.
            const bool beyondHalf = m_source.Length(node, "length", 0.0) > kPi * radius;
            turn = RightOf(s, AzimuthOf(s, t), c) != beyondHalf ? 1 : -1;
        }
        // The angle it turns through: from its length, else its delta, else
        // its points.
        double length = 0.0;
        if (m_source.HasAttribute(node, "length")) {
            length = m_source.Length(node, "length", 0.0);
        } else if (m_source.HasAttribute(node, "delta")) {
            length = radius * std::fabs(m_source.Angle(node, "delta", 0.0));
        } else if (hasCentre) {
            const double a1 = AzimuthOf(c, s), a2 = AzimuthOf(c, t);
            double delta = std::fmod((turn == 1 ? a2 - a1 : a1 - a2) + 2.0 * kTwoPi, kTwoPi);
            if (chord < kGapTolerance) delta = 0.0;
            length = radius * delta;
        } else {
            length = 2.0 * radius * std::asin(std::min(1.0, chord / (2.0 * radius)));
        }
        if (length < 0.0) m_source.Fail(node, "the curve has a negative length");
        PlanElement e = StartingAt(station, s);
        e.Type = PlanElement::Arc;
        e.Turn = turn;
        e.StartRadius = e.EndRadius = radius;
        e.LengthItem = -length;
        if (chord >= kShortestChord || !m_previous) {
            Orient(e, s, t);
            if (chord < kShortestChord && hasCentre) {
                // A whole circle, or next to one: the chord says nothing, the centre does.
                e.StartAzimuth = std::fmod(AzimuthOf(c, s) + (turn == 1 ? 0.5 : 1.5) * kPi, kTwoPi);
            }
        } else {
            e.StartAzimuth = m_previous->EndAzimuth;
        }
        return {e, t};
    }

    Built Spiral(pugi::xml_node node, double station) {
        const std::string type = node.attribute("spiType").value();
        if (!type.empty() && type != "clothoid")
            m_source.Fail(node, "the " + type + " spiral at station " + StationText(station) +
                                    " cannot be represented: this package's spirals are clothoids");
        const Point s = m_points.Read(node, "Start"), t = m_points.Read(node, "End");
        int sign = 1;
        const double r1 = RadiusAttribute(m_source, node, "radiusStart", sign);
        const double r2 = RadiusAttribute(m_source, node, "radiusEnd", sign);
        if (r1 == r2)
            m_source.Fail(
                node, "the spiral at station " + StationText(station) +
                          (r1 == InfiniteRadius ? " has no finite radius" : " has equal radii at both ends"));
        int turn = Rotation(m_source, node);
        if (turn == 0 && sign < 0) turn = -1;
        if (turn == 0) {
            if (!m_points.Has(node, "PI")) m_source.Fail(node, "the spiral says neither its rot nor its PI");
            const Point pi = m_points.Read(node, "PI");
            turn = RightOf(pi, AzimuthOf(s, pi), t) ? 1 : -1;
        }
        double length = m_source.Length(node, "length", 0.0);
        if (!m_source.HasAttribute(node, "length")) {
            const double a = m_source.Length(node, "constant", 0.0);
            if (a <= 0.0) m_source.Fail(node, "the spiral has neither a length nor a constant");
            const double rc = r1 == InfiniteRadius   ? r2
                              : r2 == InfiniteRadius ? r1
                                                     : r1 * r2 / std::fabs(r1 - r2);
            length = a * a / rc;
        }
        PlanElement e = StartingAt(station, s);
        // The parameter sizes the spiral where it gives the length to the
        // last digits: it holds the digits the length was rounded to.
        if (m_source.HasAttribute(node, "constant") && m_source.HasAttribute(node, "length")) {
            const double a = m_source.Length(node, "constant", 0.0);
            const double rc = r1 == InfiniteRadius   ? r2
                              : r2 == InfiniteRadius ? r1
                                                     : r1 * r2 / std::fabs(r1 - r2);
            if (a > 0.0 && SameButRounding(a * a / rc, length)) e.SpiralParam = a;
        }
        e.Turn = turn;
        e.StartRadius = r1;
        e.EndRadius = r2;
        e.LengthItem = -length;
        std::int32_t elementType = PlanElement::Empty;
        PlanElement::TypeFromRadii(r1, r2, elementType);
        e.Type = elementType;
        Orient(e, s, t);
        return {e, t};
    }

    // Where this element starts against where the one before ends: a gap, a
    // kink (a corner between two lines), a jump of the stations. Each is
    // told and left where the file has it.
    void Joint(pugi::xml_node node, const PlanElement& e, bool stationGiven) {
        const PlanElement& p = *m_previous;
        const double at = e.StartStation.GetValue();
        const double gap = std::hypot(e.StartX - p.EndX, e.StartY - p.EndY);
        if (gap > kGapTolerance)
            Note(node, "a gap of " + Millimetres(gap) + " before the element at station " + StationText(at) +
                           "; each element keeps its own points");
        const double kink = Turned(e.StartAzimuth - p.EndAzimuth);
        if (std::fabs(kink) > kKinkTolerance) {
            const bool corner = p.Type == PlanElement::Straight && e.Type == PlanElement::Straight;
            char angle[48];
            std::snprintf(angle, sizeof angle, "%.4f degrees", Degrees(std::fabs(kink)));
            Note(node, std::string(corner ? "a corner of " : "a kink of ") + angle + " at station " +
                           StationText(at) +
                           (corner ? ", kept as a corner (no curve between the lines)"
                                   : "; each element keeps its own direction"));
        }
        const double jump = at - p.EndStation.GetValue();
        if (stationGiven && std::fabs(jump) > kGapTolerance)
            Note(node, "the stations jump by " + NumberText(jump) + " at station " + StationText(at) +
                           " (the element before ends at " + StationText(p.EndStation.GetValue()) + ")");
    }

    const Source& m_source;
    PointReader m_points;
    ImportedAlignment& m_into;
    std::optional<PlanElement> m_previous;
};

}  // namespace

std::vector<pugi::xml_node> AlignmentNodes(const Source& source) {
    std::vector<pugi::xml_node> found;
    for (pugi::xml_node group : Children(source.Root(), "Alignments"))
        for (pugi::xml_node a : Children(group, "Alignment")) found.push_back(a);
    return found;
}

std::string AlignmentName(pugi::xml_node alignment, std::size_t index) {
    const std::string name = alignment.attribute("name").value();
    return name.empty() ? "alignment " + std::to_string(index + 1) : name;
}

LandXmlAlignmentInfo DescribeAlignment(const Source& source, pugi::xml_node alignment, std::size_t index) {
    LandXmlAlignmentInfo info;
    info.name = AlignmentName(alignment, index);
    info.staStart = source.Length(alignment, "staStart", 0.0);
    double sum = 0.0;
    bool firstStation = !source.HasAttribute(alignment, "staStart");
    for (pugi::xml_node node : Child(alignment, "CoordGeom").children()) {
        const std::string_view local = LocalName(node);
        if (local == "Line")
            ++info.lines;
        else if (local == "Curve")
            ++info.curves;
        else if (local == "Spiral")
            ++info.spirals;
        else
            continue;
        if (firstStation) {
            info.staStart = source.Length(node, "staStart", info.staStart);
            firstStation = false;
        }
        sum += source.Length(node, "length", 0.0);
    }
    info.length = source.Length(alignment, "length", sum);
    info.equations = static_cast<int>(Children(alignment, "StaEquation").size());
    const double metres = source.GetUnits().metresPerUnit;
    for (pugi::xml_node profile : Children(alignment, "Profile")) {
        for (pugi::xml_node part : profile.children()) {
            const std::string_view local = LocalName(part);
            if (local != "ProfAlign" && local != "ProfSurf") continue;
            LandXmlProfileInfo p;
            p.name = part.attribute("name").value();
            p.ground = local == "ProfSurf";
            std::vector<double> stations;
            for (pugi::xml_node v : part.children()) {
                if (p.ground) {
                    if (LocalName(v) != "PntList2D") continue;
                    const std::vector<double> n = source.Numbers(v, metres, 0);
                    for (std::size_t k = 0; k + 1 < n.size(); k += 2) stations.push_back(n[k]);
                } else {
                    const std::string_view kind = LocalName(v);
                    if (kind != "PVI" && kind != "ParaCurve" && kind != "CircCurve" &&
                        kind != "UnsymParaCurve")
                        continue;
                    stations.push_back(source.Numbers(v, metres, 2)[0]);
                }
            }
            p.points = static_cast<int>(stations.size());
            if (!stations.empty()) {
                p.startStation = stations.front();
                p.endStation = stations.back();
            }
            info.profiles.push_back(std::move(p));
        }
    }
    return info;
}

void ReadPlan(const Source& source, pugi::xml_node alignment, ImportedAlignment& into) {
    PlanReader(source, into).Read(alignment);
}

void ReadEquations(const Source& source, pugi::xml_node alignment, ImportedAlignment& into) {
    struct Equation {
        pugi::xml_node node;
        double internal;
    };
    std::vector<Equation> equations;
    for (pugi::xml_node node : Children(alignment, "StaEquation")) {
        if (std::string_view(node.attribute("staIncrement").value()) == "decreasing")
            source.Fail(node, "stations that decrease along the alignment cannot be represented");
        if (!source.HasAttribute(node, "staInternal"))
            source.Fail(node, "the station equation has no staInternal");
        if (!source.HasAttribute(node, "staAhead")) source.Fail(node, "the station equation has no staAhead");
        equations.push_back({node, source.Length(node, "staInternal", 0.0)});
    }
    std::stable_sort(equations.begin(), equations.end(),
                     [](const Equation& a, const Equation& b) { return a.internal < b.internal; });
    const double start = into.plan.GetStartStation().GetValue();
    const double end = into.plan.GetEndStation().GetValue();
    ChainTable& table = into.chain;
    for (const Equation& eq : equations) {
        if (eq.internal < start - kGapTolerance || eq.internal > end + kGapTolerance) {
            into.notes.push_back(source.Where(eq.node) + ": the station equation at internal station " +
                                 StationText(eq.internal) + " lies off the alignment (" + StationText(start) +
                                 " to " + StationText(end) + ") and is left out");
            continue;
        }
        // The stake station the alignment has there under the equations before.
        const double back = table.StakeOf(eq.internal);
        double before = back;
        if (source.HasAttribute(eq.node, "staBack")) {
            before = source.Length(eq.node, "staBack", 0.0);
            if (std::fabs(before - back) > kGapTolerance)
                source.Fail(eq.node, "staBack " + StationText(before) +
                                         " is not the station the alignment has at " + "staInternal " +
                                         StationText(eq.internal) + " (" + StationText(back) + ")");
        }
        const double ahead = source.Length(eq.node, "staAhead", 0.0);
        if (table.GetBreakCount() >= ChainTable::kMaxBreaks)
            source.Fail(eq.node, "more than " + std::to_string(ChainTable::kMaxBreaks) +
                                     " station equations cannot be represented");
        // A project file keeps six decimals of a break; the files are written
        // under the table it will read back.
        table.AddBreak(std::round(before * 1e6) / 1e6, std::round(ahead * 1e6) / 1e6);
    }
}

}  // namespace qdat::landxml
