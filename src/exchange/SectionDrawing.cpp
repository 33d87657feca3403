// A cross-section: the ground as the file gives it, with the offsets and
// elevations of its points in a band under the window, and where the
// project holds it the design template with its design elevation and the
// areas of cut and fill between the two.
#include <qdat/exchange/Drawings.h>

#include <algorithm>
#include <cmath>

#include <qdat/docbase/NumberFormat.h>
#include <qdat/exchange/ExchangeError.h>
#include <qdat/exchange/detail/SvgCanvas.h>

namespace qdat {
namespace {

using drawing::SvgCanvas;
using drawing::WorldPoint;

constexpr double kSectionWidth = 900.0, kSectionHeight = 360.0;
constexpr double kBandTop = 50.0, kBandRow = 56.0;
constexpr double kBandColumn = 14.0;

using Box = drawing::Extent;

std::string Fixed(double value, int places) {
    return drawing::Decimals(value, places);
}

// The elevation of a line at an offset, on its first piece that spans it.
std::optional<double> At(const Polyline& line, double x) {
    for (std::size_t i = 0; i + 1 < line.size(); ++i) {
        const PolylinePoint a = line[i], b = line[i + 1];
        const double lo = std::min(a.x, b.x), hi = std::max(a.x, b.x);
        if (x < lo || x > hi) continue;
        if (hi - lo <= 0.0) return std::max(a.y, b.y);
        return a.y + (b.y - a.y) * (x - a.x) / (b.x - a.x);
    }
    return std::nullopt;
}

// A piece between the lines where one lies wholly above the other: its ends,
// and the ground and the design elevation at each.
struct Piece {
    double a, b;
    double groundA, groundB, designA, designB;
    double Area() const { return (b - a) * ((designA - groundA) + (designB - groundB)) / 2.0; }
};

// The pieces over the offsets both lines cover, split where they cross.
std::vector<Piece> Pieces(const Polyline& ground, const Polyline& design) {
    std::vector<Piece> pieces;
    if (ground.size() < 2 || design.size() < 2) return pieces;
    const auto range = [](const Polyline& line, double& lo, double& hi) {
        lo = HUGE_VAL;
        hi = -HUGE_VAL;
        for (const PolylinePoint& p : line) {
            lo = std::min(lo, p.x);
            hi = std::max(hi, p.x);
        }
    };
    double gLo, gHi, dLo, dHi;
    range(ground, gLo, gHi);
    range(design, dLo, dHi);
    const double lo = std::max(gLo, dLo), hi = std::min(gHi, dHi);
    if (!(hi > lo)) return pieces;
    std::vector<double> xs{lo, hi};
    for (const Polyline* line : {&ground, &design})
        for (const PolylinePoint& p : *line)
            if (p.x > lo && p.x < hi) xs.push_back(p.x);
    std::sort(xs.begin(), xs.end());
    xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
    for (std::size_t i = 0; i + 1 < xs.size(); ++i) {
        const double a = xs[i], b = xs[i + 1];
        // Both lines are straight inside the piece: each is taken at two
        // points inside it and carried to its ends, so that a vertical face
        // at a break counts on the side the piece lies on.
        const auto ends = [&](const Polyline& line, double& atA, double& atB) {
            const double v1 = At(line, a + (b - a) / 3.0).value_or(0.0);
            const double v2 = At(line, a + 2.0 * (b - a) / 3.0).value_or(0.0);
            atA = 2.0 * v1 - v2;
            atB = 2.0 * v2 - v1;
        };
        Piece p{a, b, 0, 0, 0, 0};
        ends(ground, p.groundA, p.groundB);
        ends(design, p.designA, p.designB);
        const double da = p.designA - p.groundA, db = p.designB - p.groundB;
        if (da * db < 0.0) {
            // Split at the crossing, where the difference is zero.
            const double t = da / (da - db);
            const double x = a + (b - a) * t, z = p.groundA + (p.groundB - p.groundA) * t;
            pieces.push_back({a, x, p.groundA, z, p.designA, z});
            pieces.push_back({x, b, z, p.groundB, z, p.designB});
        } else {
            pieces.push_back(p);
        }
    }
    return pieces;
}

}  // namespace

CutFillAreas CutAndFill(const Polyline& ground, const Polyline& design) {
    CutFillAreas areas;
    for (const Piece& p : Pieces(ground, design)) {
        const double area = p.Area();
        if (area > 0.0)
            areas.fill += area;
        else
            areas.cut -= area;
    }
    return areas;
}

void DrawSection(const SectionDrawingInput& input, const DrawingSheet& sheet, pugi::xml_document& out) {
    const CrossSection& section = *input.section;
    // Left of the centre line is drawn to the left: the file's distances
    // there count outwards, so they are negated.
    const Polyline line = SectionGround(section);
    if (line.empty())
        throw ExchangeError(input.name + ": the section at " + section.m_station.GetKmText() +
                            " holds no points");
    for (const PolylinePoint& p : line)
        if (!(std::fabs(p.x) < 1e6) || !(std::fabs(p.y) < 1e6))
            throw ExchangeError(input.name + ": the section at " + section.m_station.GetKmText() +
                                " has a point at offset " + drawing::PlainNumber(p.x) + ", elevation " +
                                drawing::PlainNumber(p.y) + "; a section that wide or high is not drawn");
    const SectionDesign* design = input.design;
    Box box;
    for (WorldPoint p : line) box.Add(p);
    if (design)
        for (WorldPoint p : design->points) box.Add(p);
    box.Add({0.0, box.bottom});
    const double dx = std::max((box.right - box.left) * 0.08, 1.0),
                 dy = std::max((box.top - box.bottom) * 0.3, 1.0);
    box.left -= dx;
    box.right += dx;
    box.bottom -= dy;
    box.top += dy;

    drawing::PageLayout layout;
    const std::size_t notes = design ? std::min<std::size_t>(design->notes.size(), 4) : 0;
    layout.marginBottom = kBandTop + 2.0 * kBandRow + 50.0 + 16.0 * static_cast<double>(notes);
    double areaWidth = kSectionWidth, areaHeight = kSectionHeight;
    const drawing::SheetArea area =
        drawing::AreaOnSheet(sheet.paper, sheet.scale, layout, areaWidth, areaHeight, box.right - box.left);
    const bool paper = area.paper;
    const double scaleX = area.scaleX;
    areaWidth = area.width;
    areaHeight = area.height;
    if (sheet.scale > 0.0) {
        const double need = area.need;
        if (need > (paper ? areaWidth : 20000.0))
            throw ExchangeError(input.name + ": at 1:" + drawing::PlainNumber(sheet.scale) +
                                " the section needs " + Fixed(need / drawing::kPagePerMm, 0) +
                                " mm across, more than the sheet holds");
    }
    const double exaggeration = box.FitSheet(scaleX, areaWidth, areaHeight, 10.0, paper);
    const double scaleY = scaleX * exaggeration;

    SvgCanvas canvas("Cross-section at " + section.m_station.GetKmText() + " of " + input.name, box.left,
                     box.right, box.bottom, box.top, scaleX, scaleY, layout);
    canvas.Root().append_attribute("data-station") =
        drawing::ShortNumber(section.m_station.GetValue()).c_str();
    canvas.Note(
        "Ground points as the file gives them: distance from the centre line (left drawn to the left) "
        "and elevation");
    const std::string times = Fixed(exaggeration, 0);
    std::string second = "Vertical scale exaggerated " + times + " times (" + times + ":1)";
    CutFillAreas areas;
    if (design) {
        areas = CutAndFill(line, design->points);
        second += "; design elevation " + Fixed(design->elevation, 3) + " m, cut " + Fixed(areas.cut, 2) +
                  " m\xC2\xB2, fill " + Fixed(areas.fill, 2) + " m\xC2\xB2";
        canvas.Root().append_attribute("data-cut") = Fixed(areas.cut, 3).c_str();
        canvas.Root().append_attribute("data-fill") = Fixed(areas.fill, 3).c_str();
    }
    canvas.Note(second);
    canvas.Axes("Offset from the centre line (m), left negative", "Elevation (m)",
                drawing::NiceStep(box.right - box.left, 10), drawing::NiceStep(box.top - box.bottom, 6));

    // Cut and fill shaded between the lines, under everything else.
    if (design)
        for (const Piece& p : Pieces(line, design->points)) {
            if (std::fabs(p.Area()) < 1e-9) continue;
            const std::vector<WorldPoint> outline{
                {p.a, p.groundA}, {p.b, p.groundB}, {p.b, p.designB}, {p.a, p.designA}, {p.a, p.groundA}};
            canvas.Path({outline}, p.Area() > 0.0 ? "fill" : "cut", false);
        }
    canvas.Line({0.0, box.bottom}, {0.0, box.top}, "tangent");
    canvas.Path({line}, "ground-line").append_attribute("id") = "ground-line";
    for (WorldPoint p : line) canvas.Circle(p, 2.0, "pvi");
    if (design) {
        canvas.Path({design->points}, "template").append_attribute("id") = "template";
        canvas.Label({0.0, design->elevation},
                     {{6, -10, 0, "start"}, {-6, -10, 0, "end"}, {6, 18, 0, "start"}},
                     "Design " + Fixed(design->elevation, 3), "label");
    }

    // The band: each ground point's offset and elevation.
    pugi::xml_node band = canvas.PageGroup("data-band");
    const double top = canvas.FrameBottom() + kBandTop;
    for (int r = 0; r <= 2; ++r)
        canvas.PageLine(band, canvas.FrameLeft() - 104.0, top + r * kBandRow, canvas.FrameRight(),
                        top + r * kBandRow, "band");
    canvas.PageLabel(canvas.FrameLeft() - 102.0, top + kBandRow / 2.0 + 4.0, {{}}, "Offset (m)", "band-text");
    canvas.PageLabel(canvas.FrameLeft() - 102.0, top + 1.5 * kBandRow + 4.0, {{}}, "Ground (m)", "band-text");
    double lastX = -HUGE_VAL;
    for (WorldPoint p : line) {
        const double x = canvas.PageX(p.x);
        if (x - lastX < kBandColumn) continue;
        if (!canvas.PageLabel(x + 3.5, top + kBandRow - 4.0, {{0, 0, -90, "start"}}, Fixed(p.x, 2),
                              "band-text"))
            continue;
        canvas.PageLabel(x + 3.5, top + 2.0 * kBandRow - 4.0, {{0, 0, -90, "start"}}, Fixed(p.y, 3),
                         "band-text");
        canvas.PageLine(band, x, top, x, top + 5.0, "band");
        lastX = x;
    }
    std::vector<SvgCanvas::LegendEntry> legend{{"ground-line", false, "Ground"},
                                               {"pvi", true, "Ground point"}};
    if (design) {
        legend.push_back({"template", false, "Design template"});
        legend.push_back({"cut", true, "Cut"});
        legend.push_back({"fill", true, "Fill"});
    }
    legend.push_back({"tangent", false, "Centre line"});
    canvas.Legend(legend, top + 2.0 * kBandRow + 30.0);
    for (std::size_t i = 0; i < notes; ++i)
        canvas.PageLabel(canvas.FrameLeft(), top + 2.0 * kBandRow + 50.0 + 16.0 * static_cast<double>(i),
                         {{}}, design->notes[i], "label");
    out.reset(canvas.Document());
}

}  // namespace qdat
