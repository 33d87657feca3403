// qdat plot plan ALIGNMENT -o OUT.svg
// qdat plot profile ZDM [--ground DMX] -o OUT.svg
// qdat plot section HDM --at STATION -o OUT.svg
// Draws an alignment in plan (the centre line, its main points labelled with
// their stations, ticks every 100 m, and the intersection points when the
// alignment is an intersection-point file), a vertical profile (the design
// line with its vertical curves and grades, the ground line, the vertical
// scale exaggerated as the plot states) or the ground of a cross-section, as
// SVG. The plan is drawn with the easting across and the northing up.
#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include <qdat/docbase/NumberFormat.h>
#include <qdat/exchange/AlignmentOf.h>
#include <qdat/exchange/Polylines.h>
#include <qdat/exchange/XmlOutput.h>
#include "AlignmentInput.h"
#include "Inputs.h"
#include "Output.h"
#include "SvgCanvas.h"

namespace qdat::tool {
namespace {

struct PlotOptions {
    std::string file;
    std::string ground;
    std::string at;
    std::string out;
    FileOptions fileOptions;
};

// Window sizes on the page, in page units.
constexpr double kPlanWidth = 1000.0, kPlanHeight = 700.0;
constexpr double kProfileWidth = 1000.0, kProfileHeight = 420.0;
constexpr double kSectionWidth = 900.0, kSectionHeight = 360.0;
// The centre line is drawn through points at most this far apart.
constexpr double kPlanSpacing = 2.0;
constexpr double kProfileSpacing = 5.0;
// The design line is sampled no finer than this many points across the
// window: the drawing, not the length of the profile, bounds the work.
constexpr int kProfileSamples = 4000;
// Extents no profile has: a station or an elevation typed wrong. Such a
// profile is refused rather than drawn as a line lost in a vast window.
constexpr double kMostProfileLength = 1e7;  // m of stations, 10 000 km
constexpr double kMostProfileRise = 1e5;    // m of elevations
constexpr double kMostProfileValue = 1e9;   // m, any station or elevation
// A step in the profile is drawn as a gap this wide either side of it.
constexpr double kStepGap = 0.01;

std::string Metres(double value, int places) {
    return FormatFixed(value, places) + " m";
}

struct Box {
    double left = HUGE_VAL, right = -HUGE_VAL, bottom = HUGE_VAL, top = -HUGE_VAL;
    void Add(WorldPoint p) {
        left = std::min(left, p.x);
        right = std::max(right, p.x);
        bottom = std::min(bottom, p.y);
        top = std::max(top, p.y);
    }
    // Widened by a share of its size on every side, and to at least `least`.
    void Pad(double share, double least) {
        const double dx = std::max((right - left) * share, least),
                     dy = std::max((top - bottom) * share, least);
        left -= dx;
        right += dx;
        bottom -= dy;
        top += dy;
    }
};

// Text placed beside a point across the line's direction: turned to run
// along the normal (nx, ny) on the page, and kept readable (never upside
// down).
void LabelAcross(SvgCanvas& canvas, WorldPoint at, double nx, double ny, double distance,
                 const std::string& text, const char* cls) {
    double degrees = std::atan2(ny, nx) * 180.0 / std::numbers::pi;
    const char* anchor = "start";
    if (degrees > 90.0 || degrees < -90.0) {
        degrees += degrees > 0 ? -180.0 : 180.0;
        anchor = "end";
    }
    canvas.Text(at, nx * distance, ny * distance + 3.0, text, cls, degrees, anchor);
}

// ---------------------------------------------------------------------------
// Plan

WorldPoint PlanPoint(double x, double y) {
    return {y, x};  // easting across, northing up
}

int PlotPlan(const PlotOptions& opt) {
    FileContext context(opt.fileOptions);
    AlignmentInput input(opt.file, context);
    const PlanAlignment& alignment = input.Alignment();
    const PlanPolylines sampled = SamplePlan(alignment, kPlanSpacing);
    std::vector<std::vector<WorldPoint>> runs;
    Box box;
    for (const Polyline& run : sampled.runs) {
        runs.emplace_back();
        for (PolylinePoint p : run) {
            runs.back().push_back(PlanPoint(p.x, p.y));
            box.Add(runs.back().back());
        }
    }
    const std::vector<QStation>& mainStations = sampled.mainStations;
    std::vector<WorldPoint> mainPoints;
    for (PolylinePoint p : sampled.mainPoints) mainPoints.push_back(PlanPoint(p.x, p.y));
    if (runs.empty()) Fail(opt.file + ": the alignment has no element to draw");

    const QJdDoc* jd = input.Points();
    std::vector<WorldPoint> ips;
    if (jd)
        for (const JdPoint& p : jd->GetList().Points) {
            ips.push_back(PlanPoint(p.X, p.Y));
            box.Add(ips.back());
        }
    box.Pad(0.06, 20.0);
    const double scale = std::min(kPlanWidth / (box.right - box.left), kPlanHeight / (box.top - box.bottom));

    SvgCanvas canvas("Plan of " + FileName(opt.file), box.left, box.right, box.bottom, box.top, scale, scale);
    const QStation start = alignment.GetStartStation(), end = alignment.GetEndStation();
    canvas.Note("Alignment " + (alignment.Name.empty() ? FileName(opt.file) : alignment.Name) + " from " +
                start.GetKmText() + " to " + end.GetKmText() + ", " +
                Metres(end.GetValue() - start.GetValue(), 3) +
                " long; scale 1:" + FormatFixed(1000.0 / (scale * 0.2646), 0) + " on screen (96 dpi)");
    canvas.Note(
        "X is the northing, Y the easting; main points labelled with their stations, ticks every 100 m");
    const double step = NiceStep(std::max(box.right - box.left, box.top - box.bottom), 8);
    canvas.Axes("Easting Y (m)", "Northing X (m)", step, step);

    if (!ips.empty()) {
        canvas.Path({ips}, "tangent");
        for (int i = 0; i < jd->GetList().Points.GetSize(); ++i) {
            canvas.Circle(ips[i], 3.5, "ip").append_attribute("data-name") =
                PointName(jd->GetList().Points[i], i).c_str();
            canvas.Text(ips[i], 6.0, -6.0, PointName(jd->GetList().Points[i], i), "label");
        }
    }
    canvas.Path(runs, "centre-line").append_attribute("id") = "centre-line";

    // Ticks at whole 100 m stake stations, across the line.
    QStation at = start;
    for (int guard = 0; guard < 100000; ++guard) {
        double interval = 100.0;
        const QStation next = at.NextRoundStation(interval);
        if (!(next.GetValue() > at.GetValue()) || next.GetValue() > end.GetValue() + 1e-9) break;
        at = next;
        if (interval == 0.0) {
            // A chain break, not a round station: go on in the stationing
            // after it.
            at += 0.0001;
            continue;
        }
        StationPoint p;
        p.Station = at;
        alignment.PointAtStation(p);
        // Across the line on the page: the azimuth a runs (sin a, -cos a)
        // there, its right-hand normal is (cos a, sin a).
        const double nx = std::cos(p.Azimuth), ny = std::sin(p.Azimuth);
        const WorldPoint w = PlanPoint(p.X, p.Y);
        canvas.Mark(w, -6.0 * nx, -6.0 * ny, 6.0 * nx, 6.0 * ny, "tick").append_attribute("data-station") =
            ShortNumber(at.GetValue()).c_str();
        LabelAcross(canvas, w, nx, ny, 9.0, at.GetKmText(), "label");
    }
    for (std::size_t i = 0; i < mainPoints.size(); ++i) {
        canvas.Circle(mainPoints[i], 4.0, "main-point").append_attribute("data-station") =
            ShortNumber(mainStations[i].GetValue()).c_str();
        StationPoint p;
        p.Station = mainStations[i];
        alignment.PointAtStation(p);
        LabelAcross(canvas, mainPoints[i], -std::cos(p.Azimuth), -std::sin(p.Azimuth), 9.0,
                    mainStations[i].GetKmText(), "label");
    }
    SaveXml(canvas.Document(), opt.out, {opt.file, opt.fileOptions.project});
    return kExitOk;
}

// ---------------------------------------------------------------------------
// Profile

// Refuses a profile whose stations or elevations no road has, naming the
// file and the extent.
// A station or an elevation in plain digits, to the millimetre.
std::string PlainNumber(double value) {
    if (!(std::fabs(value) < 1e15)) return ShortNumber(value);
    std::string text = FormatFixed(value, 3);
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.') text.pop_back();
    return text;
}

void CheckProfileExtent(const Box& box, const std::string& file, const std::string& what) {
    const auto range = [](double a, double b) { return PlainNumber(a) + " to " + PlainNumber(b); };
    for (double v : {box.left, box.right, box.bottom, box.top})
        if (!(std::fabs(v) <= kMostProfileValue))
            Fail(file + ": the " + what + " runs from station " + range(box.left, box.right) +
                 " at elevations " + range(box.bottom, box.top) + "; a station or an elevation beyond " +
                 FormatFixed(kMostProfileValue, 0) + " m is not drawn (typed wrong?)");
    if (!(box.right - box.left <= kMostProfileLength))
        Fail(file + ": the " + what + " runs from station " + range(box.left, box.right) + ", " +
             PlainNumber(box.right - box.left) + " m; a " + what + " longer than " +
             FormatFixed(kMostProfileLength, 0) + " m is not drawn (a station typed wrong?)");
    if (!(box.top - box.bottom <= kMostProfileRise))
        Fail(file + ": the " + what + "'s elevations run from " + range(box.bottom, box.top) +
             "; elevations further apart than " + FormatFixed(kMostProfileRise, 0) +
             " m are not drawn (an elevation typed wrong?)");
}

int PlotProfile(const PlotOptions& opt) {
    // The ground line and the profile are drawn together, under one context.
    FileContext context(opt.fileOptions);
    std::unique_ptr<DmxFile> dmx;
    if (!opt.ground.empty()) dmx = LoadGroundLine(opt.ground, context);
    std::unique_ptr<QZdmFile> zdm = LoadProfile(opt.file, context, "plot");
    const GrowArray<GradePoint>& points = zdm->GetGradePointArray();
    if (points.GetSize() < 2) Fail(opt.file + ": the profile has fewer than two grade points");

    const std::vector<WorldPoint> polygon = TangentPolygon(*zdm);
    Box box;
    for (WorldPoint p : polygon) box.Add(p);
    CheckProfileExtent(box, opt.file, "profile");
    const std::vector<std::vector<WorldPoint>> design =
        SampleDesignLine(*zdm, kProfileSpacing, kProfileSamples, kStepGap);
    for (const auto& run : design)
        for (WorldPoint p : run) box.Add(p);
    std::vector<std::vector<WorldPoint>> ground;
    if (dmx) {
        Box groundBox;
        ground = GroundLineRuns(*dmx);
        for (const auto& run : ground)
            for (WorldPoint p : run) groundBox.Add(p);
        if (!ground.empty()) {
            CheckProfileExtent(groundBox, opt.ground, "ground line");
            box.Add({groundBox.left, groundBox.bottom});
            box.Add({groundBox.right, groundBox.top});
        }
    }
    // The design line keeps to its tangents but for rounding; the drawing as
    // a whole is checked once more.
    CheckProfileExtent(box, opt.file, "profile");
    const double length = box.right - box.left;
    box.left -= length * 0.02;
    box.right += length * 0.02;
    const double rise = std::max(box.top - box.bottom, 1.0);
    box.bottom -= rise * 0.15;
    box.top += rise * 0.15;
    const double scaleX = kProfileWidth / (box.right - box.left);
    const double exaggeration = Exaggeration(box.top - box.bottom, scaleX, kProfileHeight, 1000.0);
    const double scaleY = scaleX * exaggeration;

    SvgCanvas canvas("Profile of " + FileName(opt.file), box.left, box.right, box.bottom, box.top, scaleX,
                     scaleY);
    canvas.Note("Vertical scale exaggerated " + FormatFixed(exaggeration, 0) + " times (" +
                FormatFixed(exaggeration, 0) + ":1): elevations are drawn " + FormatFixed(exaggeration, 0) +
                " times the scale of the stations");
    canvas.Note("Design line with its vertical curves (R radius, T tangent) and grades" +
                std::string(dmx ? "; ground line from " + FileName(opt.ground) : ""));
    canvas.Axes("Station (m)", "Elevation (m)", NiceStep(box.right - box.left, 10),
                NiceStep(box.top - box.bottom, 8));

    canvas.Path({polygon}, "tangent");
    if (!ground.empty()) canvas.Path(ground, "ground-line").append_attribute("id") = "ground-line";
    canvas.Path(design, "design-line").append_attribute("id") = "design-line";
    const double tol = GetStationTolerance();
    for (int i = 0; i < points.GetSize(); ++i) {
        const GradePoint& p = points[i];
        const WorldPoint at{p.Station.GetValue(), p.Elevation};
        canvas.Circle(at, 3.0, "pvi").append_attribute("data-station") = ShortNumber(at.x).c_str();
        if (p.TangentLength > 0.0) {
            // Crest curves are labelled above, sag curves below.
            canvas.Text(at, 0.0, p.IsSag() ? 18.0 : -10.0,
                        "R " + FormatFixed(p.Radius, 0) + "  T " + FormatFixed(p.TangentLength, 2), "label",
                        0.0, "middle");
        }
        if (i + 1 >= points.GetSize()) continue;
        // The grade, along the tangent half-way between the two points.
        const GradePoint& q = points[i + 1];
        const double mid = (p.Station.GetValue() + q.Station.GetValue()) / 2.0;
        double z = p.Elevation + p.GradeOut * (mid - p.Station.GetValue());
        if (p.HasStep(tol) && mid >= p.StepStation.GetValue()) z += p.StepHeight;
        const double degrees = -std::atan(p.GradeOut * scaleY / scaleX) * 180.0 / std::numbers::pi;
        canvas.Text({mid, z}, 0.0, -8.0,
                    (p.GradeOut >= 0 ? "+" : "") + FormatFixed(p.GradeOut * 100.0, 3) + " %  L " +
                        FormatFixed(q.Station.GetValue() - p.Station.GetValue(), 2),
                    "grade", degrees, "middle");
    }
    SaveXml(canvas.Document(), opt.out, {opt.file, opt.ground, opt.fileOptions.project});
    return kExitOk;
}

// ---------------------------------------------------------------------------
// Cross-section

int PlotSection(const PlotOptions& opt) {
    FileContext context(opt.fileOptions);
    std::unique_ptr<HDMFlie> hdm = LoadSections(opt.file, context, "plot");
    const QStation station = ParseStation(opt.at, "station");
    const CrossSection& section = SectionAtOrFail(*hdm, opt.file, station);
    // Left of the centre line is drawn to the left: the file's distances
    // there count outwards, so they are negated.
    const std::vector<WorldPoint> line = SectionGround(section);
    if (line.empty())
        Fail(opt.file + ": the section at " + section.m_station.GetKmText() + " holds no points");
    Box box;
    for (WorldPoint p : line) box.Add(p);
    box.Add({0.0, box.bottom});
    box.Pad(0.08, 1.0);
    const double scaleX = kSectionWidth / (box.right - box.left);
    const double exaggeration = Exaggeration(box.top - box.bottom, scaleX, kSectionHeight, 10.0);
    const double scaleY = scaleX * exaggeration;

    SvgCanvas canvas("Cross-section at " + section.m_station.GetKmText() + " of " + FileName(opt.file),
                     box.left, box.right, box.bottom, box.top, scaleX, scaleY);
    canvas.Note(
        "Ground points as the file gives them: distance from the centre line (left drawn to the left) "
        "and elevation");
    canvas.Note("Vertical scale exaggerated " + FormatFixed(exaggeration, 0) + " times (" +
                FormatFixed(exaggeration, 0) + ":1)");
    canvas.Axes("Offset from the centre line (m), left negative", "Elevation (m)",
                NiceStep(box.right - box.left, 10), NiceStep(box.top - box.bottom, 6));
    canvas.Line({0.0, box.bottom}, {0.0, box.top}, "tangent");
    canvas.Path({line}, "ground-line").append_attribute("id") = "ground-line";
    for (WorldPoint p : line) canvas.Circle(p, 2.0, "pvi");
    SaveXml(canvas.Document(), opt.out, {opt.file, opt.fileOptions.project});
    return kExitOk;
}

std::function<int()> SetupPlot(CLI::App& app) {
    auto opt = std::make_shared<PlotOptions>();
    CLI::App* cmd = app.add_subcommand("plot", "Draw an alignment, a profile or a cross-section as SVG");
    cmd->require_subcommand(1);
    CLI::App* plan = cmd->add_subcommand("plan", "The alignment in plan");
    plan->add_option("ALIGNMENT", opt->file, "Plan element file or intersection-point file")->required();
    CLI::App* profile = cmd->add_subcommand("profile", "The vertical profile and the ground line");
    profile->add_option("ZDM", opt->file, "Vertical profile file")->required();
    profile->add_option("--ground", opt->ground, "Profile ground line file")->type_name("DMX");
    CLI::App* section = cmd->add_subcommand("section", "The ground of a cross-section");
    section->add_option("HDM", opt->file, "Cross-section ground-line file")->required();
    section->add_option("--at", opt->at, "Station of the section")->required();
    for (CLI::App* sub : {plan, profile, section}) {
        sub->add_option("-o,--output", opt->out, "SVG file to write (never an input; - for standard output)")
            ->required();
        opt->fileOptions.AddChainTo(sub);
    }
    return [opt, plan, profile] {
        if (plan->parsed()) return PlotPlan(*opt);
        if (profile->parsed()) return PlotProfile(*opt);
        return PlotSection(*opt);
    };
}

const CommandRegistration kRegistration{{"plot", SetupPlot}};

}  // namespace
}  // namespace qdat::tool
