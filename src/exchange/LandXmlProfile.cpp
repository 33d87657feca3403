// The vertical profile and the ground line of a LandXML alignment.
//
// The package's vertical curves are symmetric parabolas given by their radius
// (the length over the change of grade); a ParaCurve is one exactly, and a
// CircCurve becomes the parabola of its radius, whose elevations differ from
// the circle's by the amount told. A step of the profile is where one
// ProfAlign ends and the next one starts at the same station.
#include <algorithm>
#include <cmath>
#include <limits>

#include <qdat/exchange/ExchangeError.h>
#include <qdat/exchange/detail/LandXmlRead.h>

namespace qdat::landxml {

namespace {

// Two grades that differ by less than this are one grade.
constexpr double kSameGrade = 1e-9;
// A CircCurve's length may be rounded by the program that wrote it.
constexpr double kLengthRounding = 0.01;

std::string StationText(double station) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", station);
    return text;
}

struct Vertex {
    enum Kind { Pvi, Para, Circ } kind = Pvi;
    double station = 0.0;
    double elevation = 0.0;
    double length = 0.0;  // the curve's, as written
    double radius = 0.0;  // a CircCurve's
    double step = 0.0;    // height of a step on the tangent after this point
    double stepStation = 0.0;
    pugi::xml_node node;
};

std::vector<Vertex> ReadVertices(const Source& source, pugi::xml_node profAlign) {
    const double metres = source.GetUnits().metresPerUnit;
    std::vector<Vertex> vertices;
    for (pugi::xml_node node : profAlign.children()) {
        if (node.type() != pugi::node_element) continue;
        const std::string_view local = LocalName(node);
        Vertex v;
        v.node = node;
        if (local == "PVI") {
            v.kind = Vertex::Pvi;
        } else if (local == "ParaCurve") {
            v.kind = Vertex::Para;
            v.length = source.Length(node, "length", 0.0);
        } else if (local == "CircCurve") {
            v.kind = Vertex::Circ;
            v.length = source.Length(node, "length", 0.0);
            v.radius = std::fabs(source.Length(node, "radius", 0.0));
        } else if (local == "UnsymParaCurve") {
            const std::vector<double> at = source.Numbers(node, metres, 2);
            source.Fail(node, "the unsymmetric vertical curve at station " + StationText(at[0]) +
                                  " cannot be represented: this package's vertical curves are symmetric");
        } else {
            continue;  // features, descriptions
        }
        const std::vector<double> at = source.Numbers(node, metres, 2);
        v.station = at[0];
        v.elevation = at[1];
        if (v.length < 0.0) source.Fail(node, "a negative curve length");
        if (!vertices.empty()) {
            const Vertex& last = vertices.back();
            if (v.station < last.station)
                source.Fail(node, "station " + StationText(v.station) + " comes after station " +
                                      StationText(last.station));
            if (v.station == last.station) {
                if (v.elevation == last.elevation && v.kind == Vertex::Pvi) continue;  // written twice
                source.Fail(node, "two elevations at station " + StationText(v.station) +
                                      " in one profile; a step ends one ProfAlign and starts the next");
            }
        }
        vertices.push_back(v);
    }
    return vertices;
}

double Grade(const Vertex& a, const Vertex& b) {
    return (b.elevation - a.elevation - a.step) / (b.station - a.station);
}

// Joins the next part of a stepped profile: its first point stands at the
// station where the profile so far ends; the step becomes one of the point
// before, on whose tangent it lies.
void Continue(const Source& source, std::vector<Vertex>& profile, std::vector<Vertex> next) {
    const Vertex end = profile.back();
    const Vertex start = next.front();
    if (end.kind != Vertex::Pvi || start.kind != Vertex::Pvi)
        source.Fail(start.node, "a step inside a vertical curve cannot be represented");
    const double height = start.elevation - end.elevation;
    if (height == 0.0) {
        profile.pop_back();  // the same point, written at the end of each part
    } else {
        if (profile.size() < 2 || next.size() < 2)
            source.Fail(start.node, "a step at an end of the profile cannot be represented");
        Vertex& before = profile[profile.size() - 2];
        const Vertex& after = next[1];
        const double in = (end.elevation - before.elevation) / (end.station - before.station);
        const double out = (after.elevation - start.elevation) / (after.station - start.station);
        if (std::fabs(in - out) > kSameGrade * std::max(1.0, std::fabs(in)))
            source.Fail(start.node, "the step at station " + StationText(start.station) +
                                        " changes the grade as well; a step here lies on a straight grade");
        before.step = height;
        before.stepStation = start.station;
        profile.pop_back();
        next.erase(next.begin());
    }
    profile.insert(profile.end(), next.begin(), next.end());
}

// The largest difference of elevation between the circle of radius r
// tangent to both grades and the parabola of the same radius, sampled. Both
// in the frame of the point of intersection: x along the stations, z up.
double CircleDeparture(double r, double gradeIn, double gradeOut) {
    const double t1 = std::atan(gradeIn), t2 = std::atan(gradeOut);
    const double half = 0.5 * r * std::fabs(gradeOut - gradeIn);  // the parabola's
    const double tc = r * std::tan(0.5 * std::fabs(t2 - t1));     // the circle's, along each grade
    const double x1 = -tc * std::cos(t1), z1 = -tc * std::sin(t1);
    const double x2 = tc * std::cos(t2);
    const double s = gradeOut > gradeIn ? 1.0 : -1.0;  // a sag curve has its centre above
    const double cx = x1 - s * r * std::sin(t1), cz = z1 + s * r * std::cos(t1);
    const auto parabola = [&](double x) {
        if (x <= -half) return gradeIn * x;
        if (x >= half) return gradeOut * x;
        return gradeIn * x + (x + half) * (x + half) * (gradeOut - gradeIn) / (4.0 * half);
    };
    const auto circle = [&](double x) {
        if (x <= x1) return gradeIn * x;
        if (x >= x2) return gradeOut * x;
        return cz - s * std::sqrt(std::max(0.0, r * r - (x - cx) * (x - cx)));
    };
    const double from = std::min(-half, x1), to = std::max(half, x2);
    double worst = 0.0;
    for (int k = 0; k <= 256; ++k) {
        const double x = from + (to - from) * k / 256.0;
        worst = std::max(worst, std::fabs(circle(x) - parabola(x)));
    }
    return worst;
}

std::string ProfileName(pugi::xml_node node) {
    return node.attribute("name").value();
}

}  // namespace

void ReadProfiles(const Source& source, pugi::xml_node alignment, const std::string& profileName,
                  ImportedAlignment& into) {
    // The design profile: the named ProfAlign or the first, and the parts of
    // the same Profile that continue it.
    pugi::xml_node chosen;
    pugi::xml_node ground;
    std::vector<std::string> names;
    for (pugi::xml_node profile : Children(alignment, "Profile")) {
        for (pugi::xml_node part : profile.children()) {
            const std::string_view local = LocalName(part);
            if (local == "ProfSurf" && !ground) ground = part;
            if (local != "ProfAlign") continue;
            names.push_back(ProfileName(part));
            if (!chosen && (profileName.empty() || ProfileName(part) == profileName)) chosen = part;
        }
    }
    if (!profileName.empty() && !chosen) {
        std::string known;
        for (const std::string& n : names) known += (known.empty() ? "" : ", ") + ("\"" + n + "\"");
        throw ExchangeError(source.Name() + ": alignment \"" + into.name + "\" has no profile named \"" +
                            profileName + "\"" +
                            (known.empty() ? " (it has none)" : " (it has " + known + ")"));
    }
    if (chosen) {
        std::vector<Vertex> profile = ReadVertices(source, chosen);
        into.profileName = ProfileName(chosen);
        for (pugi::xml_node next = chosen.next_sibling(); next && !profile.empty();
             next = next.next_sibling()) {
            if (LocalName(next) != "ProfAlign") continue;
            std::vector<Vertex> part = ReadVertices(source, next);
            if (part.empty() || std::fabs(part.front().station - profile.back().station) > kGapTolerance)
                break;
            Continue(source, profile, std::move(part));
        }
        if (profile.size() < 2) source.Fail(chosen, "a profile needs two points at least");
        const int n = static_cast<int>(profile.size());
        into.profile.SetSize(n);
        for (int i = 0; i < n; ++i) {
            const Vertex& v = profile[static_cast<std::size_t>(i)];
            GradePoint& p = into.profile[i];
            p.Station = v.station;
            p.Elevation = v.elevation;
            if (v.step != 0.0) {
                p.StepStation = v.stepStation;
                p.StepHeight = v.step;
            }
            if (v.kind == Vertex::Pvi) continue;
            if (i == 0 || i == n - 1) {
                if (v.length > 0.0)
                    into.notes.push_back(source.Where(v.node) +
                                         ": the vertical curve at the end of the profile (station " +
                                         StationText(v.station) + ") is left out: an end has no curve");
                continue;
            }
            const double in = Grade(profile[static_cast<std::size_t>(i - 1)], v);
            const double out = Grade(v, profile[static_cast<std::size_t>(i + 1)]);
            const double change = std::fabs(in - out);
            if (change < kSameGrade) continue;  // a curve between equal grades is no curve
            if (v.kind == Vertex::Para) {
                p.Radius = v.length / change;
                continue;
            }
            // A CircCurve: its radius, checked against its length read as the
            // arc, as the span of stations, or as the parabola's.
            double r = v.radius;
            if (r <= 0.0) {
                if (v.length <= 0.0)
                    source.Fail(v.node, "the circular curve has neither a radius nor a length");
                r = v.length / change;
            } else if (v.length > 0.0) {
                const double arc = r * std::fabs(std::atan(in) - std::atan(out));
                const double span = r * std::fabs(std::sin(std::atan(in)) - std::sin(std::atan(out)));
                const double para = r * change;
                const double tol = kLengthRounding + 1e-6 * v.length;
                if (std::fabs(v.length - arc) > tol && std::fabs(v.length - span) > tol &&
                    std::fabs(v.length - para) > tol)
                    source.Fail(v.node, "the circular curve at station " + StationText(v.station) +
                                            " has length " + NumberText(v.length) +
                                            ", which is neither its arc (" + NumberText(arc) +
                                            ") nor its span (" + NumberText(span) + ") for radius " +
                                            NumberText(r) + " and the grades on either side");
            }
            p.Radius = r;
            const double departure = CircleDeparture(r, in, out);
            if (departure > 1e-6) {
                char mm[32];
                std::snprintf(mm, sizeof mm, "%.3f mm", departure * 1000.0);
                into.notes.push_back(source.Where(v.node) + ": the circular vertical curve at station " +
                                     StationText(v.station) + " becomes the parabola of radius " +
                                     NumberText(r) + "; their elevations differ by up to " + mm);
            }
        }
        QZdmFile check;
        check.GetGradePointArray() = into.profile;
        if (check.Recalculate() == QZdmFile::RecalcCurvesOverlap) {
            const GrowArray<GradePoint>& pts = check.GetGradePointArray();
            for (int i = 1; i < pts.GetSize(); ++i)
                if (pts[i].CurveStart.GetValue() < pts[i - 1].CurveEnd.GetValue() - kGapTolerance)
                    into.notes.push_back(source.Where(profile[static_cast<std::size_t>(i)].node) +
                                         ": the vertical curves at stations " +
                                         StationText(pts[i - 1].Station.GetValue()) + " and " +
                                         StationText(pts[i].Station.GetValue()) + " overlap, as in the file");
        }
        into.profile = check.GetGradePointArray();
    }
    if (ground) {
        into.groundName = ProfileName(ground);
        const double metres = source.GetUnits().metresPerUnit;
        double last = -std::numeric_limits<double>::infinity();
        bool firstList = true;
        for (pugi::xml_node list : Children(ground, "PntList2D")) {
            const std::vector<double> n = source.Numbers(list, metres, 0);
            if (n.size() % 2 != 0)
                source.Fail(list, "station and elevation pairs expected, an odd count found");
            if (n.empty()) continue;
            // A list after the first starts after a gap: a point without an
            // elevation between them.
            if (!firstList) {
                if (!(n[0] > last))
                    source.Fail(list,
                                "station " + StationText(n[0]) + " comes after station " + StationText(last));
                into.ground.Add(GroundPoint(0.5 * (last + n[0]), GroundPoint::NoElevation));
            }
            firstList = false;
            for (std::size_t k = 0; k < n.size(); k += 2) {
                if (!into.ground.IsEmpty() && !(n[k] > last))
                    source.Fail(list,
                                "station " + StationText(n[k]) + " comes after station " + StationText(last));
                if (n[k + 1] == GroundPoint::NoElevation)
                    source.Fail(list, "elevation -9999 at station " + StationText(n[k]) +
                                          " would read as a point without elevation");
                into.ground.Add(GroundPoint(n[k], n[k + 1]));
                last = n[k];
            }
        }
    }
}

}  // namespace qdat::landxml
