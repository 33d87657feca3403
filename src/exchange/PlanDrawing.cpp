// The alignment in plan: the easting across and the northing up, true to
// shape, a coordinate grid numbered on every side, the centre line with its
// main points named by kind, station ticks, the intersection points with
// their tangents, a curve table, a north arrow, a scale bar and a legend.
#include <qdat/exchange/Drawings.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include <qdat/docbase/NumberFormat.h>
#include <qdat/exchange/AlignmentOf.h>
#include <qdat/exchange/ExchangeError.h>
#include <qdat/exchange/detail/SvgCanvas.h>

namespace qdat {
namespace {

using drawing::LabelPlace;
using drawing::SvgCanvas;
using drawing::WorldPoint;

// The window on a page without paper, in page units.
constexpr double kPlanWidth = 1000.0, kPlanHeight = 700.0;
// The centre line is drawn through points at most this far apart, in metres.
constexpr double kPlanSpacing = 2.0;
// The largest page drawn without paper at a scale asked for, in page units
// (about five metres).
constexpr double kMostPage = 20000.0;
constexpr double kRowHeight = 15.0;  // of the curve table

using Box = drawing::Extent;

WorldPoint PlanPoint(double x, double y) {
    return {y, x};  // easting across, northing up
}

double Degrees(double radians) {
    return radians * 180.0 / std::numbers::pi;
}

// Text turned to run along the page direction (nx, ny), kept readable from
// the bottom or the right of the sheet: turned in [-90, 90) degrees.
LabelPlace Across(double nx, double ny, double distance) {
    double degrees = Degrees(std::atan2(ny, nx));
    const char* anchor = "start";
    if (degrees >= 90.0 || degrees < -90.0) {
        degrees += degrees > 0 ? -180.0 : 180.0;
        anchor = "end";
    }
    // The baseline runs a third of the font's height off the normal, so that
    // the text sits centred on it.
    const double sx = -ny, sy = nx;  // along the text's line, downwards on the page
    const double shift = (anchor[0] == 's' ? 1.0 : -1.0) * 3.5;
    return {nx * distance + sx * shift, ny * distance + sy * shift, degrees, anchor};
}

bool IsArcLike(const PlanElement& e) {
    return e.Type != PlanElement::Straight && e.Type != PlanElement::Empty;
}

double Turn(double from, double to) {
    double d = std::fmod(to - from, 2.0 * std::numbers::pi);
    if (d > std::numbers::pi) d -= 2.0 * std::numbers::pi;
    if (d <= -std::numbers::pi) d += 2.0 * std::numbers::pi;
    return d;
}

std::string Fixed(double value, int places) {
    return FormatFixed(value, places);
}

std::string Dms(double radians) {
    const double total = std::round(std::fabs(Degrees(radians)) * 3600.0);
    const long long degrees = static_cast<long long>(total / 3600.0);
    const long long minutes = static_cast<long long>((total - degrees * 3600.0) / 60.0);
    const long long seconds = static_cast<long long>(total - degrees * 3600.0 - minutes * 60.0);
    return std::string(radians < 0 ? "L " : "R ") + std::to_string(degrees) + "\xC2\xB0" +
           (minutes < 10 ? "0" : "") + std::to_string(minutes) + "'" + (seconds < 10 ? "0" : "") +
           std::to_string(seconds) + "\"";
}

}  // namespace

std::vector<std::string> MainPointKinds(const PlanAlignment& alignment, bool railwayNames) {
    const PlanPolylines sampled = SamplePlan(alignment, 0.0);
    std::vector<std::string> kinds;
    const int count = std::min(alignment.GetTotalElementCount(), alignment.GetElements().GetSize());
    // The elements before and after each main point, by station.
    for (std::size_t m = 0; m < sampled.mainStations.size(); ++m) {
        const double s = sampled.mainStations[m].GetValue();
        const PlanElement *before = nullptr, *after = nullptr;
        for (int i = 0; i < count; ++i) {
            const PlanElement& e = alignment.GetElement(i);
            if (!(e.Length > 1e-9)) continue;
            if (std::fabs(e.EndStation.GetValue() - s) <= 1e-6) before = &e;
            if (!after && std::fabs(e.StartStation.GetValue() - s) <= 1e-6) after = &e;
        }
        const auto type = [](const PlanElement* e) { return e ? e->Type : PlanElement::Empty; };
        const int b = type(before), a = type(after);
        const bool bStraight = b == PlanElement::Straight, aStraight = a == PlanElement::Straight;
        const bool bSpiral = PlanElement::IsSpiralType(b), aSpiral = PlanElement::IsSpiralType(a);
        std::string road, rail;
        if (!before) {
            road = "BP";
            rail = "QD";
        } else if (!after) {
            road = "EP";
            rail = "ZD";
        } else if (bStraight && aSpiral) {
            road = "TS";
            rail = "ZH";
        } else if (bSpiral && a == PlanElement::Arc) {
            road = "SC";
            rail = "HY";
        } else if (b == PlanElement::Arc && aSpiral) {
            road = "CS";
            rail = "YH";
        } else if (bSpiral && aStraight) {
            road = "ST";
            rail = "HZ";
        } else if (bStraight && a == PlanElement::Arc) {
            road = "PC";
            rail = "ZY";
        } else if (b == PlanElement::Arc && aStraight) {
            road = "PT";
            rail = "YZ";
        } else if (b == PlanElement::Arc && a == PlanElement::Arc) {
            road = "PCC";
            rail = "YY";
        } else if (bSpiral && aSpiral) {
            road = "ST/TS";
            rail = "HZ/ZH";
        } else {
            road = rail = "";
        }
        kinds.push_back(railwayNames ? rail : road);
    }
    return kinds;
}

std::vector<AlignmentCurve> AlignmentCurves(const PlanAlignment& alignment, const QJdDoc* points) {
    std::vector<AlignmentCurve> curves;
    const int count = std::min(alignment.GetTotalElementCount(), alignment.GetElements().GetSize());
    for (int i = 0; i < count;) {
        const PlanElement& first = alignment.GetElement(i);
        if (!IsArcLike(first) || !(first.Length > 1e-9)) {
            ++i;
            continue;
        }
        int j = i;
        while (j + 1 < count && IsArcLike(alignment.GetElement(j + 1))) ++j;
        const PlanElement& last = alignment.GetElement(j);
        AlignmentCurve c;
        c.start = first.StartStation;
        c.end = last.EndStation;
        c.deflection = Turn(first.StartAzimuth, last.EndAzimuth);
        c.radius = HUGE_VAL;
        for (int k = i; k <= j; ++k) {
            const PlanElement& e = alignment.GetElement(k);
            c.length += e.Length;
            for (double r : {e.StartRadius, e.EndRadius})
                if (r > 0.0 && r < InfiniteRadius) c.radius = std::min(c.radius, r);
        }
        if (!std::isfinite(c.radius)) c.radius = 0.0;
        if (PlanElement::IsSpiralType(first.Type)) {
            c.spiralLength1 = first.Length;
            c.spiralParam1 = first.SpiralParam > 0.0 ? first.SpiralParam : std::sqrt(c.radius * first.Length);
        }
        if (j > i && PlanElement::IsSpiralType(last.Type)) {
            c.spiralLength2 = last.Length;
            c.spiralParam2 = last.SpiralParam > 0.0 ? last.SpiralParam : std::sqrt(c.radius * last.Length);
        }
        // The intersection of the tangents at the curve's ends:
        // start + t (cos a1, sin a1) = end - u (cos a2, sin a2).
        const double c1 = std::cos(first.StartAzimuth), s1 = std::sin(first.StartAzimuth);
        const double c2 = std::cos(last.EndAzimuth), s2 = std::sin(last.EndAzimuth);
        const double cross = c1 * s2 - s1 * c2;
        if (std::fabs(cross) > 1e-9) {
            const double dx = last.EndX - first.StartX, dy = last.EndY - first.StartY;
            const double t = (dx * s2 - dy * c2) / cross, u = (c1 * dy - s1 * dx) / cross;
            c.hasIp = std::isfinite(t) && std::isfinite(u);
            c.ipX = first.StartX + t * c1;
            c.ipY = first.StartY + t * s1;
            c.tangent1 = t;
            c.tangent2 = u;
        }
        curves.push_back(c);
        i = j + 1;
    }
    // Named after the points with a curve, where they match one for one.
    std::vector<std::string> names;
    if (points) {
        const auto& list = points->GetList().Points;
        for (int k = 1; k + 1 < list.GetSize(); ++k)
            if (list[k].Radius > 0.0)
                names.push_back(list[k].Name.empty() ? "JD" + std::to_string(k) : list[k].Name);
    }
    for (std::size_t k = 0; k < curves.size(); ++k)
        curves[k].name = names.size() == curves.size() ? names[k] : "IP" + std::to_string(k + 1);
    return curves;
}

void DrawPlan(const PlanDrawingInput& input, const DrawingSheet& sheet, pugi::xml_document& out) {
    const PlanAlignment& alignment = *input.alignment;
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
    if (runs.empty()) throw ExchangeError(input.name + ": the alignment has no element to draw");
    const std::vector<AlignmentCurve> curves = AlignmentCurves(alignment, input.points);
    std::vector<WorldPoint> ips;
    if (input.points)
        for (const JdPoint& p : input.points->GetList().Points) ips.push_back(PlanPoint(p.X, p.Y));
    else {
        // The tangent polygon of an element file: its ends and the
        // intersection points of its curves.
        ips.push_back(PlanPoint(sampled.mainPoints.front().x, sampled.mainPoints.front().y));
        for (const AlignmentCurve& c : curves)
            if (c.hasIp) ips.push_back(PlanPoint(c.ipX, c.ipY));
        ips.push_back(PlanPoint(sampled.mainPoints.back().x, sampled.mainPoints.back().y));
    }
    for (WorldPoint p : ips) box.Add(p);
    // Room round the drawing for the labels.
    const double pad = std::max(std::max(box.right - box.left, box.top - box.bottom) * 0.08, 20.0);
    box.left -= pad;
    box.right += pad;
    box.bottom -= pad;
    box.top += pad;

    drawing::PageLayout layout;
    layout.marginRight = 90.0;
    layout.marginBottom = 175.0 + kRowHeight * (static_cast<double>(curves.size()) + 1.0);
    double areaWidth = kPlanWidth, areaHeight = kPlanHeight;
    const bool paper = drawing::PaperSize(sheet.paper, layout.paperWidthMm, layout.paperHeightMm);
    if (paper) {
        areaWidth = layout.paperWidthMm * drawing::kPagePerMm - layout.marginLeft - layout.marginRight;
        areaHeight = layout.paperHeightMm * drawing::kPagePerMm - layout.marginTop - layout.marginBottom;
        if (areaWidth < 100.0 || areaHeight < 100.0)
            throw ExchangeError(input.name + ": the curve table leaves no room for the plan on an " +
                                sheet.paper + " sheet; choose a larger one");
    }
    const double dx = box.right - box.left, dy = box.top - box.bottom;
    double scale = std::min(areaWidth / dx, areaHeight / dy);
    // On a sheet the plan takes the next scale of a drawing set at which it
    // fits.
    if (paper && !(sheet.scale > 0.0)) scale = drawing::DrawingSetScale(scale);
    if (sheet.scale > 0.0) {
        scale = 1000.0 / sheet.scale * drawing::kPagePerMm;
        const double needX = dx * scale, needY = dy * scale;
        if (paper && (needX > areaWidth || needY > areaHeight))
            throw ExchangeError(input.name + ": at 1:" + drawing::PlainNumber(sheet.scale) +
                                " the plan needs " + Fixed(needX / drawing::kPagePerMm, 0) + " x " +
                                Fixed(needY / drawing::kPagePerMm, 0) + " mm, an " + sheet.paper +
                                " sheet holds " + Fixed(areaWidth / drawing::kPagePerMm, 0) + " x " +
                                Fixed(areaHeight / drawing::kPagePerMm, 0) + " mm for it");
        if (!paper && (needX > kMostPage || needY > kMostPage))
            throw ExchangeError(input.name + ": at 1:" + drawing::PlainNumber(sheet.scale) +
                                " the plan would be " + Fixed(needX / drawing::kPagePerMm / 1000.0, 1) +
                                " x " + Fixed(needY / drawing::kPagePerMm / 1000.0, 1) +
                                " m on paper; choose a smaller scale");
    }
    if (paper) {
        // The window fills the sheet, the drawing in its middle.
        const double cx = (box.left + box.right) / 2.0, cy = (box.bottom + box.top) / 2.0;
        box.left = cx - areaWidth / scale / 2.0;
        box.right = cx + areaWidth / scale / 2.0;
        box.bottom = cy - areaHeight / scale / 2.0;
        box.top = cy + areaHeight / scale / 2.0;
    }

    SvgCanvas canvas("Plan of " + input.name, box.left, box.right, box.bottom, box.top, scale, scale, layout);
    const QStation start = alignment.GetStartStation(), end = alignment.GetEndStation();
    const double ratio = 1000.0 / (scale / drawing::kPagePerMm);
    canvas.Note("Alignment " + (alignment.Name.empty() ? input.name : alignment.Name) + " from " +
                start.GetKmText() + " to " + end.GetKmText() + ", " +
                Fixed(end.GetValue() - start.GetValue(), 3) + " m long; scale 1:" + Fixed(ratio, 0) +
                (paper ? " on " + sheet.paper : " at 96 dpi"));
    canvas.Note(
        "X is the northing, Y the easting; main points named by kind with their stations, ticks every 100 m");
    const double step = drawing::NiceStep(std::max(box.right - box.left, box.top - box.bottom), 12);
    canvas.Axes("Easting Y (m)", "Northing X (m)", step, step, true);

    // The tangent polygon and its points first: the lines are obstacles to
    // every label after them.
    canvas.Path({ips}, "tangent");
    canvas.Path(runs, "centre-line").append_attribute("id") = "centre-line";
    for (std::size_t i = 0; i < ips.size(); ++i) canvas.Circle(ips[i], 3.5, "ip");
    for (std::size_t i = 0; i < sampled.mainPoints.size(); ++i)
        canvas.Circle(PlanPoint(sampled.mainPoints[i].x, sampled.mainPoints[i].y), 4.0, "main-point")
            .append_attribute("data-station") =
            drawing::ShortNumber(sampled.mainStations[i].GetValue()).c_str();

    // Ticks at whole 100 m stake stations, across the line.
    struct Tick {
        WorldPoint at;
        double nx, ny;
        std::string text;
    };
    std::vector<Tick> ticks;
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
            drawing::ShortNumber(at.GetValue()).c_str();
        ticks.push_back({w, nx, ny, at.GetKmText()});
    }

    // Labels, the most telling first: main points, intersection points,
    // then the ticks. Each goes across the line on either side, further out
    // if it must.
    const std::vector<std::string> kinds = MainPointKinds(alignment, input.railwayNames);
    int leftOut = 0;
    for (std::size_t i = 0; i < sampled.mainPoints.size(); ++i) {
        StationPoint p;
        p.Station = sampled.mainStations[i];
        alignment.PointAtStation(p);
        const double nx = -std::cos(p.Azimuth), ny = -std::sin(p.Azimuth);
        std::vector<LabelPlace> places;
        for (double d : {9.0, 22.0, 38.0, 56.0})
            for (double side : {1.0, -1.0}) places.push_back(Across(side * nx, side * ny, d));
        const std::string text =
            (kinds[i].empty() ? "" : kinds[i] + " ") + sampled.mainStations[i].GetKmText();
        if (!canvas.Label(PlanPoint(sampled.mainPoints[i].x, sampled.mainPoints[i].y), places, text, "label"))
            ++leftOut;
    }
    const std::vector<LabelPlace> around{{7, -7, 0, "start"}, {-7, -7, 0, "end"},    {7, 15, 0, "start"},
                                         {-7, 15, 0, "end"},  {0, -12, 0, "middle"}, {0, 22, 0, "middle"}};
    if (input.points) {
        const auto& list = input.points->GetList().Points;
        for (int i = 0; i < list.GetSize(); ++i)
            if (!canvas.Label(ips[i], around, PointName(list[i], i), "point-name")) ++leftOut;
    } else {
        for (const AlignmentCurve& c : curves)
            if (c.hasIp && !canvas.Label(PlanPoint(c.ipX, c.ipY), around, c.name, "point-name")) ++leftOut;
    }
    for (const Tick& t : ticks) {
        std::vector<LabelPlace> places;
        for (double d : {9.0, 24.0})
            for (double side : {1.0, -1.0}) places.push_back(Across(side * t.nx, side * t.ny, d));
        if (!canvas.Label(t.at, places, t.text, "label")) ++leftOut;
    }
    canvas.Root().append_attribute("data-labels-left-out") = leftOut;

    // Under the window: the legend, the north arrow and the scale bar, then
    // the curve table.
    const double below = canvas.FrameBottom();
    canvas.Legend({{"centre-line", false, "Centre line"},
                   {"tangent", false, "Tangents through the intersection points"},
                   {"main-point", true, "Main point (BP, TS, SC, CS, ST, PC, PT, EP)"},
                   {"ip", true, "Intersection point"},
                   {"tick", false, "Station tick every 100 m"}},
                  below + 62.0);
    const double barMetres = drawing::NiceStep((box.right - box.left) / 5.0, 1);
    canvas.ScaleBar(canvas.FrameRight() - barMetres * scale - 50.0, below + 130.0, barMetres);
    canvas.NorthArrow(canvas.FrameRight() - 20.0, below + 134.0);

    pugi::xml_node table = canvas.PageGroup("curve-table");
    const char* headings[] = {"Curve", "Radius", "A1", "Ls1",        "A2",
                              "Ls2",   "T1",     "T2", "Deflection", "Length"};
    const double columns[] = {0, 80, 150, 215, 280, 345, 410, 480, 550, 660};
    double y = below + 168.0;
    const double x0 = canvas.FrameLeft();
    for (int k = 0; k < 10; ++k) canvas.PageLabel(x0 + columns[k], y, {{}}, headings[k], "table");
    canvas.PageLine(table, x0, y + 4.0, x0 + 720.0, y + 4.0, "band");
    for (const AlignmentCurve& c : curves) {
        y += kRowHeight;
        const auto opt = [](double v, int places) { return v > 0.0 ? Fixed(v, places) : std::string("-"); };
        const std::string cells[] = {c.name,
                                     opt(c.radius, 3),
                                     opt(c.spiralParam1, 3),
                                     opt(c.spiralLength1, 3),
                                     opt(c.spiralParam2, 3),
                                     opt(c.spiralLength2, 3),
                                     c.hasIp ? Fixed(c.tangent1, 3) : "-",
                                     c.hasIp ? Fixed(c.tangent2, 3) : "-",
                                     Dms(c.deflection),
                                     Fixed(c.length, 3)};
        for (int k = 0; k < 10; ++k) canvas.PageLabel(x0 + columns[k], y, {{}}, cells[k], "table");
    }
    out.reset(canvas.Document());
}

}  // namespace qdat
