// The vertical profile: the design line with its vertical curves and
// grades, the tangents through the grade points, the ground line, steps, the
// grade points with their stations and elevations, and under the window a
// data band (station, ground, design, cut or fill) as road drawing sets carry
// it.
#include <qdat/exchange/Drawings.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include <qdat/docbase/NumberFormat.h>
#include <qdat/exchange/ExchangeError.h>
#include <qdat/exchange/detail/SvgCanvas.h>
#include <qdat/station/ChainTable.h>

namespace qdat {
namespace {

using drawing::LabelPlace;
using drawing::PlainNumber;
using drawing::SvgCanvas;
using drawing::WorldPoint;

constexpr double kProfileWidth = 1000.0, kProfileHeight = 420.0;
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
// The data band: its rows' heights, in page units, and the band's stations
// when none are given.
constexpr double kBandTop = 50.0;
constexpr double kBandRows[] = {84.0, 56.0, 56.0, 56.0};
constexpr double kBandSpacing = 20.0;
// Band columns closer than this on the page would overlap; the later one is
// left out.
constexpr double kBandColumn = 14.0;
constexpr std::size_t kMostBandStations = 100000;

using Box = drawing::Extent;

std::string Fixed(double value, int places) {
    return FormatFixed(value, places);
}

// Refuses a profile whose stations or elevations no road has, naming the
// file and the extent.
void CheckProfileExtent(const Box& box, const std::string& file, const std::string& what) {
    const auto range = [](double a, double b) { return PlainNumber(a) + " to " + PlainNumber(b); };
    for (double v : {box.left, box.right, box.bottom, box.top})
        if (!(std::fabs(v) <= kMostProfileValue))
            throw ExchangeError(file + ": the " + what + " runs from station " + range(box.left, box.right) +
                                " at elevations " + range(box.bottom, box.top) +
                                "; a station or an elevation beyond " + Fixed(kMostProfileValue, 0) +
                                " m is not drawn (typed wrong?)");
    if (!(box.right - box.left <= kMostProfileLength))
        throw ExchangeError(file + ": the " + what + " runs from station " + range(box.left, box.right) +
                            ", " + PlainNumber(box.right - box.left) + " m; a " + what + " longer than " +
                            Fixed(kMostProfileLength, 0) + " m is not drawn (a station typed wrong?)");
    if (!(box.top - box.bottom <= kMostProfileRise))
        throw ExchangeError(file + ": the " + what + "'s elevations run from " + range(box.bottom, box.top) +
                            "; elevations further apart than " + Fixed(kMostProfileRise, 0) +
                            " m are not drawn (an elevation typed wrong?)");
}

std::string Signed(double value, int places) {
    return (value > 0.0 ? "+" : "") + Fixed(value, places);
}

}  // namespace

std::optional<double> GroundElevationAt(const std::vector<Polyline>& runs, double station) {
    for (const Polyline& run : runs) {
        if (run.empty() || station < run.front().x || station > run.back().x) continue;
        for (std::size_t i = 0; i + 1 < run.size(); ++i) {
            const PolylinePoint a = run[i], b = run[i + 1];
            if (station < a.x || station > b.x) continue;
            if (b.x - a.x <= 0.0) return a.y;
            return a.y + (b.y - a.y) * (station - a.x) / (b.x - a.x);
        }
        if (run.size() == 1 && station == run.front().x) return run.front().y;
    }
    return std::nullopt;
}

void DrawProfile(const ProfileDrawingInput& input, const DrawingSheet& sheet, pugi::xml_document& out) {
    const QZdmFile& zdm = *input.profile;
    const GrowArray<GradePoint>& points = zdm.GetGradePointArray();
    if (points.GetSize() < 2)
        throw ExchangeError(input.name + ": the profile has fewer than two grade points");

    const std::vector<WorldPoint> polygon = TangentPolygon(zdm);
    Box box;
    for (WorldPoint p : polygon) box.Add(p);
    CheckProfileExtent(box, input.name, "profile");
    const std::vector<std::vector<WorldPoint>> design =
        SampleDesignLine(zdm, kProfileSpacing, kProfileSamples, kStepGap);
    for (const auto& run : design)
        for (WorldPoint p : run) box.Add(p);
    std::vector<std::vector<WorldPoint>> ground;
    if (input.ground) {
        Box groundBox;
        ground = GroundLineRuns(*input.ground);
        for (const auto& run : ground)
            for (WorldPoint p : run) groundBox.Add(p);
        if (!ground.empty()) {
            CheckProfileExtent(groundBox, input.groundName, "ground line");
            box.Add({groundBox.left, groundBox.bottom});
            box.Add({groundBox.right, groundBox.top});
        }
    }
    // The design line keeps to its tangents but for rounding; the drawing as
    // a whole is checked once more.
    CheckProfileExtent(box, input.name, "profile");
    const double length = box.right - box.left;
    box.left -= length * 0.02;
    box.right += length * 0.02;
    const double rise = std::max(box.top - box.bottom, 1.0);
    // Room above and below for the labels of the grade points and curves.
    box.bottom -= rise * 0.6;
    box.top += rise * 0.6;

    drawing::PageLayout layout;
    double bandHeight = 0.0;
    for (double h : kBandRows) bandHeight += h;
    layout.marginBottom = kBandTop + bandHeight + 50.0;
    double areaWidth = kProfileWidth, areaHeight = kProfileHeight;
    const drawing::SheetArea area =
        drawing::AreaOnSheet(sheet.paper, sheet.scale, layout, areaWidth, areaHeight, box.right - box.left);
    const bool paper = area.paper;
    const double scaleX = area.scaleX;
    areaWidth = area.width;
    areaHeight = area.height;
    if (sheet.scale > 0.0) {
        const double need = area.need;
        if (need > (paper ? areaWidth : 20000.0))
            throw ExchangeError(input.name + ": at 1:" + PlainNumber(sheet.scale) + " the profile needs " +
                                Fixed(need / drawing::kPagePerMm, 0) + " mm across, " +
                                (paper ? "an " + sheet.paper + " sheet holds " +
                                             Fixed(areaWidth / drawing::kPagePerMm, 0) + " mm"
                                       : std::string("more than any sheet")));
    }
    const double exaggeration = box.FitSheet(scaleX, areaWidth, areaHeight, 1000.0, paper);
    const double scaleY = scaleX * exaggeration;

    SvgCanvas canvas("Profile of " + drawing::BaseName(input.name), box.left, box.right, box.bottom, box.top,
                     scaleX, scaleY, layout);
    const std::string times = Fixed(exaggeration, 0);
    canvas.Note("Vertical scale exaggerated " + times + " times (" + times + ":1): elevations are drawn " +
                times + " times the scale of the stations" +
                (sheet.scale > 0.0 ? "; horizontal scale 1:" + PlainNumber(sheet.scale) : std::string()));
    canvas.Note(
        "Design line with its vertical curves (R radius, T tangent, E external distance) and grades" +
        std::string(!ground.empty() ? "; ground line from " + drawing::BaseName(input.groundName) : ""));
    canvas.Axes("Station (m)", "Elevation (m)", drawing::NiceStep(box.right - box.left, 10),
                drawing::NiceStep(box.top - box.bottom, 8));

    canvas.Path({polygon}, "tangent");
    if (!ground.empty()) canvas.Path(ground, "ground-line").append_attribute("id") = "ground-line";
    canvas.Path(design, "design-line").append_attribute("id") = "design-line";
    const double tol = GetStationTolerance();
    for (int i = 0; i < points.GetSize(); ++i)
        canvas.Circle({points[i].Station.GetValue(), points[i].Elevation}, 3.0, "pvi")
            .append_attribute("data-station") = drawing::ShortNumber(points[i].Station.GetValue()).c_str();
    // Steps: a heavy line from the elevation before to the one after.
    for (int i = 0; i + 1 < points.GetSize(); ++i) {
        const GradePoint& p = points[i];
        if (!p.HasStep(tol)) continue;
        const double s = p.StepStation.GetValue();
        const double z = p.Elevation + p.GradeOut * (s - p.Station.GetValue());
        canvas.Line({s, z}, {s, z + p.StepHeight}, "step").append_attribute("data-station") =
            drawing::ShortNumber(s).c_str();
    }

    // Chain breaks: a dotted line through the window at the continuous
    // station of each, labelled with both stake stations.
    const ChainTable& chain = GetCurrentChainTable();
    std::vector<std::pair<double, std::string>> breaks;
    for (int i = 0; i < chain.GetBreakCount(); ++i) {
        const QStation at = chain.BreakStartStation(i);
        const double s = at.GetValue();
        if (!(s > box.left && s < box.right)) continue;
        canvas.Line({s, box.bottom}, {s, box.top}, "chain-break").append_attribute("data-station") =
            drawing::ShortNumber(s).c_str();
        breaks.emplace_back(s, "Chain break " + chain.BreakBeforeText(i) + " = " + chain.BreakAfterText(i));
    }

    int leftOut = 0;
    const auto place = [&](WorldPoint at, const std::vector<LabelPlace>& places, const std::string& text,
                           const char* cls) {
        if (!canvas.Label(at, places, text, cls)) ++leftOut;
    };
    for (int i = 0; i + 1 < points.GetSize(); ++i) {
        const GradePoint& p = points[i];
        if (!p.HasStep(tol)) continue;
        const double s = p.StepStation.GetValue();
        const double z = p.Elevation + p.GradeOut * (s - p.Station.GetValue()) + std::max(p.StepHeight, 0.0);
        place({s, z},
              {{3.5, -8, -90, "start"},
               {-6, -8, -90, "start"},
               {13, -8, -90, "start"},
               {-8, 18, 0, "end"},
               {8, 18, 0, "start"},
               {-8, -12, 0, "end"},
               {8, -12, 0, "start"},
               {-8, 34, 0, "end"},
               {8, 34, 0, "start"}},
              "Step " + Signed(p.StepHeight, 3) + " m at " + p.StepStation.GetKmText(), "label");
    }
    for (const auto& [s, text] : breaks)
        place({s, box.top},
              {{4, 14, 0, "start"}, {-4, 14, 0, "end"}, {4, 28, 0, "start"}, {-4, 28, 0, "end"}}, text,
              "label");
    // The grade points: station and elevation upright above (or below) the
    // point; the curve's R, T and E beside it, above a crest, below a sag.
    for (int i = 0; i < points.GetSize(); ++i) {
        const GradePoint& p = points[i];
        const WorldPoint at{p.Station.GetValue(), p.Elevation};
        std::vector<LabelPlace> places;
        for (double dy : {8.0, 30.0, 52.0})
            for (double dx : {3.5, -6.0, 13.0}) {
                places.push_back({dx, -dy, -90, "start"});
                places.push_back({dx, dy + 2.0, -90, "end"});
            }
        place(at, places, p.Station.GetKmText() + "  " + Fixed(p.Elevation, 3), "label");
        if (p.HasCurve()) {
            const std::string text = "R " + Fixed(p.Radius, 0) + "  T " + Fixed(p.TangentLength, 2) + "  E " +
                                     Fixed(p.ExternalDistance, 3);
            const double sign = p.IsSag() ? 1.0 : -1.0;
            std::vector<LabelPlace> places;
            for (double d : {14.0, 28.0, 44.0, 62.0})
                for (double dx : {8.0, -8.0})
                    places.push_back({dx, sign * d + (sign > 0 ? 8.0 : 0.0), 0.0, dx > 0 ? "start" : "end"});
            place(at, places, text, "label");
        }
    }
    // The grades along their tangents, at the middle or a third of the way,
    // above the line or below it.
    for (int i = 0; i + 1 < points.GetSize(); ++i) {
        const GradePoint& p = points[i];
        const GradePoint& q = points[i + 1];
        const double degrees = -std::atan(p.GradeOut * scaleY / scaleX) * 180.0 / std::numbers::pi;
        const std::string text = (p.GradeOut >= 0 ? "+" : "") + Fixed(p.GradeOut * 100.0, 3) + " %  L " +
                                 Fixed(q.Station.GetValue() - p.Station.GetValue(), 2);
        bool placed = false;
        for (double share : {0.5, 0.35, 0.65, 0.2, 0.8}) {
            const double s = p.Station.GetValue() + share * (q.Station.GetValue() - p.Station.GetValue());
            double z = p.Elevation + p.GradeOut * (s - p.Station.GetValue());
            if (p.HasStep(tol) && s >= p.StepStation.GetValue()) z += p.StepHeight;
            // Off the line square to it on the page.
            const double r = degrees * std::numbers::pi / 180.0;
            const double ux = std::sin(r), uy = -std::cos(r);  // up from the text's baseline
            std::vector<LabelPlace> places;
            for (double d : {8.0, 22.0, -16.0, -30.0}) places.push_back({ux * d, uy * d, degrees, "middle"});
            if (canvas.Label({s, z}, places, text, "grade")) {
                placed = true;
                break;
            }
        }
        if (!placed) ++leftOut;
    }
    canvas.Root().append_attribute("data-labels-left-out") = leftOut;

    // The data band.
    std::vector<double> stations;
    if (!input.bandStations.empty()) {
        for (const QStation& s : input.bandStations)
            if (stations.size() < kMostBandStations) stations.push_back(s.GetValue());
    } else {
        const double first = points[0].Station.GetValue(),
                     last = points[points.GetSize() - 1].Station.GetValue();
        for (double k = std::ceil(first / kBandSpacing); k * kBandSpacing <= last + 1e-9; k += 1.0) {
            if (stations.size() >= kMostBandStations) break;
            stations.push_back(k * kBandSpacing);
        }
    }
    pugi::xml_node band = canvas.PageGroup("data-band");
    const double top = canvas.FrameBottom() + kBandTop;
    double rowTop[5] = {top};
    for (int r = 0; r < 4; ++r) rowTop[r + 1] = rowTop[r] + kBandRows[r];
    const char* titles[] = {"Station", "Ground (m)", "Design (m)", "Cut + / fill - (m)"};
    for (int r = 0; r <= 4; ++r)
        canvas.PageLine(band, canvas.FrameLeft() - 104.0, rowTop[r], canvas.FrameRight(), rowTop[r], "band");
    for (int r = 0; r < 4; ++r)
        canvas.PageLabel(canvas.FrameLeft() - 102.0, (rowTop[r] + rowTop[r + 1]) / 2.0 + 4.0, {{}}, titles[r],
                         "band-text");
    double lastX = -HUGE_VAL;
    for (double s : stations) {
        const double x = canvas.PageX(s);
        if (x < canvas.FrameLeft() + 6.0 || x > canvas.FrameRight() - 6.0 || x - lastX < kBandColumn)
            continue;
        const double z = zdm.GetDesignElevation(s);
        const std::optional<double> designZ =
            z == QZdmFile::kNoValue ? std::nullopt : std::optional<double>(z);
        const std::optional<double> groundZ = GroundElevationAt(ground, s);
        const std::string texts[] = {QStation(s).GetKmText(), groundZ ? Fixed(*groundZ, 3) : "",
                                     designZ ? Fixed(*designZ, 3) : "",
                                     groundZ && designZ ? Signed(*groundZ - *designZ, 3) : ""};
        // A column is written whole or not at all.
        pugi::xml_node first =
            canvas.PageLabel(x + 3.5, rowTop[1] - 4.0, {{0, 0, -90, "start"}}, texts[0], "band-text");
        if (!first) continue;
        first.append_attribute("data-station") = drawing::ShortNumber(s).c_str();
        for (int r = 1; r < 4; ++r)
            if (!texts[r].empty())
                canvas.PageLabel(x + 3.5, rowTop[r + 1] - 4.0, {{0, 0, -90, "start"}}, texts[r], "band-text")
                    .append_attribute("data-station") = drawing::ShortNumber(s).c_str();
        canvas.PageLine(band, x, rowTop[0], x, rowTop[0] + 5.0, "band");
        lastX = x;
    }
    std::vector<SvgCanvas::LegendEntry> legend{{"design-line", false, "Design line"},
                                               {"ground-line", false, "Ground line"},
                                               {"tangent", false, "Tangents through the grade points"},
                                               {"pvi", true, "Grade point (station, elevation)"},
                                               {"step", false, "Step"}};
    if (!breaks.empty()) legend.push_back({"chain-break", false, "Chain break"});
    canvas.Legend(legend, rowTop[4] + 30.0);
    out.reset(canvas.Document());
}

}  // namespace qdat
