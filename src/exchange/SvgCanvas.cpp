#include <qdat/exchange/detail/SvgCanvas.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <numbers>

#include <qdat/docbase/NumberFormat.h>
#include <qdat/exchange/Drawings.h>
#include <qdat/exchange/ExchangeError.h>

namespace qdat::drawing {
namespace {

constexpr double kCell = 40.0;  // page units a side of an obstacle cell

// Each class's look. Lines differ in their dashes as well as their colour, so
// that a drawing printed in grey still tells them apart.
constexpr const char* kStyle =
    "text { font-family: sans-serif; font-size: 11px; fill: #222; }\n"
    ".title { font-size: 16px; font-weight: bold; }\n"
    ".note { font-size: 12px; fill: #444; }\n"
    ".frame { fill: none; stroke: #333; stroke-width: 1; }\n"
    ".grid { stroke: #ddd; stroke-width: 0.5; }\n"
    ".axis-name { font-size: 12px; }\n"
    ".centre-line, .design-line { fill: none; stroke: #c0392b; stroke-width: 2; }\n"
    ".ground-line { fill: none; stroke: #7f5f2a; stroke-width: 1.5; stroke-dasharray: 9 3 2 3; }\n"
    ".tangent { fill: none; stroke: #2c3e50; stroke-width: 0.8; stroke-dasharray: 6 4; }\n"
    ".template { fill: none; stroke: #1a5276; stroke-width: 2; stroke-dasharray: 12 3; }\n"
    ".cut { fill: #e6b0aa; fill-opacity: 0.5; stroke: none; }\n"
    ".fill { fill: #a9cce3; fill-opacity: 0.5; stroke: none; }\n"
    ".step { stroke: #000; stroke-width: 1.5; }\n"
    ".chain-break { stroke: #7d3c98; stroke-width: 1; stroke-dasharray: 2 3; }\n"
    ".main-point { fill: #fff; stroke: #c0392b; stroke-width: 1.5; }\n"
    ".ip, .pvi { fill: #2c3e50; }\n"
    ".tick { stroke: #222; stroke-width: 1.2; }\n"
    ".leader { stroke: #888; stroke-width: 0.6; }\n"
    ".band { stroke: #333; stroke-width: 0.6; fill: none; }\n"
    ".arrow { fill: #222; stroke: #222; stroke-width: 1; }\n"
    ".bar-dark { fill: #222; stroke: #222; stroke-width: 0.8; }\n"
    ".bar-light { fill: #fff; stroke: #222; stroke-width: 0.8; }\n"
    ".label, .band-text, .grade, .table { font-size: 10px; }\n"
    ".grade { fill: #1a5276; }\n"
    ".point-name { font-size: 10px; font-weight: bold; }\n";

std::string Number3(double value) {
    return FormatFixed(value, 3);
}

void Set(pugi::xml_node node, const char* name, double value) {
    node.append_attribute(name).set_value(Number3(value).c_str());
}

// Axis numbers: as many decimals as the step needs.
std::string AxisNumber(double value, double step) {
    const int places = step >= 1.0 ? 0 : static_cast<int>(std::ceil(-std::log10(step)));
    // A grid line at zero may come out of the arithmetic as -0.
    return FormatFixed(std::fabs(value) < step * 1e-9 ? 0.0 : value, places);
}

// The width of a character in em, at least what sans-serif fonts give it.
double CharWidth(unsigned char c) {
    if (c >= 0x80) return 1.0;
    if (std::strchr(".,:;il|!' ()[]", c)) return 0.42;
    if (std::strchr("mwMW", c)) return 1.02;
    if (std::strchr("+=%#<>~", c)) return 0.9;
    if (c >= 'A' && c <= 'Z') return 0.8;
    return 0.66;
}

double Project(const PageQuad& q, PolylinePoint axis, double& high) {
    double low = HUGE_VAL;
    high = -HUGE_VAL;
    for (const PolylinePoint& p : q.corner) {
        const double v = p.x * axis.x + p.y * axis.y;
        low = std::min(low, v);
        high = std::max(high, v);
    }
    return low;
}

bool Separated(const PageQuad& a, const PageQuad& b, PolylinePoint axis) {
    double aHigh, bHigh;
    const double aLow = Project(a, axis, aHigh), bLow = Project(b, axis, bHigh);
    return aHigh <= bLow || bHigh <= aLow;
}

PolylinePoint Normal(PolylinePoint a, PolylinePoint b) {
    return {a.y - b.y, b.x - a.x};
}

}  // namespace

bool Overlap(const PageQuad& a, const PageQuad& b) {
    for (const PageQuad* q : {&a, &b})
        for (int i = 0; i < 2; ++i)
            if (Separated(a, b, Normal(q->corner[i], q->corner[i + 1]))) return false;
    return true;
}

bool Crosses(const PageQuad& q, PolylinePoint a, PolylinePoint b) {
    const PageQuad segment{{a, b, b, a}};
    for (int i = 0; i < 2; ++i)
        if (Separated(q, segment, Normal(q.corner[i], q.corner[i + 1]))) return false;
    const PolylinePoint n = Normal(a, b);
    if (n.x == 0.0 && n.y == 0.0) return true;  // a point inside both axes' ranges
    return !Separated(q, segment, n);
}

double FontSize(const char* cls) {
    const std::string c = cls;
    if (c == "title") return 16.0;
    if (c == "note" || c == "axis-name") return 12.0;
    if (c == "label" || c == "grade" || c == "band-text" || c == "point-name" || c == "table") return 10.0;
    return 11.0;
}

PageQuad TextBox(double x, double y, const std::string& text, double fontSize, double degrees,
                 const char* anchor) {
    double width = 0.0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if ((c & 0xC0) == 0x80) continue;  // the rest of a character already counted
        width += CharWidth(c) * fontSize;
    }
    width += 2.0;
    double x0 = x - 1.0;
    if (std::strcmp(anchor, "middle") == 0) x0 = x - width / 2.0;
    if (std::strcmp(anchor, "end") == 0) x0 = x - width + 1.0;
    const double top = y - 0.98 * fontSize, bottom = y + 0.28 * fontSize;
    const double r = degrees * std::numbers::pi / 180.0, c = std::cos(r), s = std::sin(r);
    PageQuad q;
    const PolylinePoint corners[4] = {{x0, top}, {x0 + width, top}, {x0 + width, bottom}, {x0, bottom}};
    for (int i = 0; i < 4; ++i) {
        const double dx = corners[i].x - x, dy = corners[i].y - y;
        q.corner[i] = {x + dx * c - dy * s, y + dx * s + dy * c};
    }
    return q;
}

std::string ShortNumber(double value) {
    if (!std::isfinite(value)) return "";
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Decimals(double value, int places) {
    std::string text = FormatFixed(value, places);
    if (text.find_first_not_of("-0.") == std::string::npos && text[0] == '-') text.erase(0, 1);
    return text;
}

std::string PlainNumber(double value) {
    if (!(std::fabs(value) < 1e15)) return ShortNumber(value);
    std::string text = FormatFixed(value, 3);
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.') text.pop_back();
    return text == "-0" ? "0" : text;
}

bool PaperSize(const std::string& paper, double& widthMm, double& heightMm) {
    if (paper == "A4") {
        widthMm = 297.0;
        heightMm = 210.0;
    } else if (paper == "A3") {
        widthMm = 420.0;
        heightMm = 297.0;
    } else if (paper == "A1") {
        widthMm = 841.0;
        heightMm = 594.0;
    } else {
        widthMm = heightMm = 0.0;
        return false;
    }
    return true;
}

double DrawingSetScale(double pagePerMetre) {
    const double ratio = 1000.0 * kPagePerMm / pagePerMetre;
    if (!std::isfinite(ratio) || !(ratio > 0.0)) return pagePerMetre;
    const double power = std::pow(10.0, std::floor(std::log10(ratio)));
    double round = 10.0 * power;
    for (double m : {5.0, 2.5, 2.0, 1.0})
        if (m * power >= ratio * (1.0 - 1e-12)) round = m * power;
    return 1000.0 * kPagePerMm / round;
}

double NiceStep(double range, int count) {
    if (!(range > 0.0) || count < 1) return 1.0;
    const double raw = range / count;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0})
        if (m * power >= raw) return m * power;
    return 10.0 * power;
}

double Exaggeration(double rise, double scale, double height, double most) {
    double best = 1.0;
    for (double power = 1.0; power <= most; power *= 10.0)
        for (double m : {1.0, 2.0, 5.0})
            if (m * power <= most && rise * scale * m * power <= height) best = m * power;
    return best;
}

SheetArea AreaOnSheet(const std::string& paper, double scale, PageLayout& layout, double width, double height,
                      double span) {
    SheetArea area;
    area.width = width;
    area.height = height;
    area.paper = PaperSize(paper, layout.paperWidthMm, layout.paperHeightMm);
    if (area.paper) {
        area.width = layout.paperWidthMm * kPagePerMm - layout.marginLeft - layout.marginRight;
        area.height = layout.paperHeightMm * kPagePerMm - layout.marginTop - layout.marginBottom;
    }
    area.scaleX = area.width / span;
    if (area.paper && !(scale > 0.0)) area.scaleX = DrawingSetScale(area.scaleX);
    if (scale > 0.0) {
        area.scaleX = 1000.0 / scale * kPagePerMm;
        area.need = span * area.scaleX;
    }
    return area;
}

double Extent::FitSheet(double scaleX, double areaWidth, double areaHeight, double most, bool paper) {
    if (paper) {
        // The window fills the sheet across, the drawing in its middle.
        const double cx = (left + right) / 2.0;
        left = cx - areaWidth / scaleX / 2.0;
        right = cx + areaWidth / scaleX / 2.0;
    }
    const double exaggeration = Exaggeration(top - bottom, scaleX, areaHeight, most);
    if (paper) {
        // And down the sheet.
        const double scaleY = scaleX * exaggeration;
        const double cy = (bottom + top) / 2.0;
        bottom = cy - areaHeight / scaleY / 2.0;
        top = cy + areaHeight / scaleY / 2.0;
    }
    return exaggeration;
}

SvgCanvas::SvgCanvas(const std::string& title, double left, double right, double bottom, double top,
                     double scaleX, double scaleY, const PageLayout& layout)
    : m_layout(layout),
      m_left(left),
      m_right(right),
      m_bottom(bottom),
      m_top(top),
      m_scaleX(scaleX),
      m_scaleY(scaleY) {
    m_width = (right - left) * scaleX;
    m_height = (top - bottom) * scaleY;
    m_originX = layout.marginLeft - scaleX * left;
    m_originY = layout.marginTop + scaleY * top;
    m_pageWidth = layout.marginLeft + m_width + layout.marginRight;
    m_pageHeight = layout.marginTop + m_height + layout.marginBottom;
    if (layout.paperWidthMm > 0.0) {
        m_pageWidth = std::max(m_pageWidth, layout.paperWidthMm * kPagePerMm);
        m_pageHeight = std::max(m_pageHeight, layout.paperHeightMm * kPagePerMm);
    }

    pugi::xml_node decl = m_doc.append_child(pugi::node_declaration);
    decl.append_attribute("version") = "1.0";
    decl.append_attribute("encoding") = "UTF-8";
    m_root = m_doc.append_child("svg");
    m_root.append_attribute("xmlns") = "http://www.w3.org/2000/svg";
    m_root.append_attribute("version") = "1.1";
    if (layout.paperWidthMm > 0.0) {
        // On a sheet the page states its size on paper: one page unit is a
        // CSS pixel, 96 to the inch.
        m_root.append_attribute("width") = (Number3(m_pageWidth / kPagePerMm) + "mm").c_str();
        m_root.append_attribute("height") = (Number3(m_pageHeight / kPagePerMm) + "mm").c_str();
    } else {
        Set(m_root, "width", m_pageWidth);
        Set(m_root, "height", m_pageHeight);
    }
    m_root.append_attribute("viewBox") =
        ("0 0 " + Number3(m_pageWidth) + " " + Number3(m_pageHeight)).c_str();
    m_root.append_attribute("data-transform") = (ShortNumber(m_originX) + " " + ShortNumber(m_scaleX) + " " +
                                                 ShortNumber(m_originY) + " " + ShortNumber(m_scaleY))
                                                    .c_str();
    m_root.append_attribute("data-frame") = (Number3(FrameLeft()) + " " + Number3(FrameTop()) + " " +
                                             Number3(FrameRight()) + " " + Number3(FrameBottom()))
                                                .c_str();
    m_root.append_child("title").text().set(title.c_str());
    m_root.append_child("style").text().set(kStyle);
    pugi::xml_node background = m_root.append_child("rect");
    background.append_attribute("width") = "100%";
    background.append_attribute("height") = "100%";
    background.append_attribute("fill") = "white";
    PageLabel(layout.marginLeft, 28.0, {{}}, title, "title");
    m_plot = Group("plot");

    m_cellColumns = static_cast<int>(std::ceil(m_pageWidth / kCell)) + 1;
    m_cellRows = static_cast<int>(std::ceil(m_pageHeight / kCell)) + 1;
    // A page too large for cells (a drawing far beyond any sheet) keeps its
    // obstacles in one cell.
    if (static_cast<double>(m_cellColumns) * m_cellRows > 3e5) m_cellColumns = m_cellRows = 1;
    m_cells.resize(static_cast<std::size_t>(m_cellColumns) * m_cellRows);
}

pugi::xml_node SvgCanvas::Group(const char* id) {
    pugi::xml_node g = m_root.append_child("g");
    g.append_attribute("id") = id;
    return g;
}

pugi::xml_node SvgCanvas::PageGroup(const char* id) {
    return Group(id);
}

void SvgCanvas::AddObstacle(PolylinePoint a, PolylinePoint b) {
    const int index = static_cast<int>(m_segments.size());
    m_segments.push_back({a, b});
    const auto cell = [&](double v, int count) {
        return std::clamp(static_cast<int>(std::floor(v / kCell)), 0, count - 1);
    };
    if (m_cellColumns == 1) {
        m_cells[0].push_back(index);
        return;
    }
    const int c0 = cell(std::min(a.x, b.x), m_cellColumns), c1 = cell(std::max(a.x, b.x), m_cellColumns);
    const int r0 = cell(std::min(a.y, b.y), m_cellRows), r1 = cell(std::max(a.y, b.y), m_cellRows);
    for (int r = r0; r <= r1; ++r)
        for (int c = c0; c <= c1; ++c)
            m_cells[static_cast<std::size_t>(r) * m_cellColumns + c].push_back(index);
}

pugi::xml_node SvgCanvas::PageLine(pugi::xml_node parent, double x1, double y1, double x2, double y2,
                                   const char* cls) {
    pugi::xml_node line = parent.append_child("line");
    line.append_attribute("class") = cls;
    Set(line, "x1", x1);
    Set(line, "y1", y1);
    Set(line, "x2", x2);
    Set(line, "y2", y2);
    return line;
}

pugi::xml_node SvgCanvas::Path(const std::vector<std::vector<WorldPoint>>& runs, const char* cls,
                               bool obstacle) {
    std::string d;
    for (const std::vector<WorldPoint>& run : runs) {
        for (std::size_t i = 0; i < run.size(); ++i) {
            if (!d.empty()) d += ' ';
            d += (i == 0 ? "M " : "L ") + Number3(PageX(run[i].x)) + " " + Number3(PageY(run[i].y));
            if (obstacle && i > 0) AddObstacle(Page(run[i - 1]), Page(run[i]));
        }
    }
    pugi::xml_node path = m_plot.append_child("path");
    path.append_attribute("class") = cls;
    path.append_attribute("d") = d.c_str();
    return path;
}

pugi::xml_node SvgCanvas::Circle(WorldPoint at, double radius, const char* cls) {
    pugi::xml_node circle = m_plot.append_child("circle");
    circle.append_attribute("class") = cls;
    Set(circle, "cx", PageX(at.x));
    Set(circle, "cy", PageY(at.y));
    Set(circle, "r", radius);
    // A point is kept clear of labels as a small square round it.
    const PolylinePoint c = Page(at);
    AddObstacle({c.x - radius, c.y}, {c.x + radius, c.y});
    AddObstacle({c.x, c.y - radius}, {c.x, c.y + radius});
    return circle;
}

pugi::xml_node SvgCanvas::Line(WorldPoint a, WorldPoint b, const char* cls, bool obstacle) {
    return Mark(a, 0.0, 0.0, PageX(b.x) - PageX(a.x), PageY(b.y) - PageY(a.y), cls, obstacle);
}

pugi::xml_node SvgCanvas::Mark(WorldPoint at, double dx1, double dy1, double dx2, double dy2, const char* cls,
                               bool obstacle) {
    const double x = PageX(at.x), y = PageY(at.y);
    if (obstacle) AddObstacle({x + dx1, y + dy1}, {x + dx2, y + dy2});
    return PageLine(m_plot, x + dx1, y + dy1, x + dx2, y + dy2, cls);
}

pugi::xml_node SvgCanvas::PlaceText(pugi::xml_node parent, double x, double y,
                                    const std::vector<LabelPlace>& places, const std::string& text,
                                    const char* cls, bool inWindow) {
    const double size = FontSize(cls);
    const double left = inWindow ? FrameLeft() : 0.0, right = inWindow ? FrameRight() : m_pageWidth;
    const double top = inWindow ? FrameTop() : 0.0, bottom = inWindow ? FrameBottom() : m_pageHeight;
    std::vector<char> seen(m_segments.size(), 0);
    for (const LabelPlace& place : places) {
        const double px = x + place.dx, py = y + place.dy;
        if (!std::isfinite(px) || !std::isfinite(py)) continue;
        const PageQuad box = TextBox(px, py, text, size, place.degrees, place.anchor);
        double lowX = HUGE_VAL, highX = -HUGE_VAL, lowY = HUGE_VAL, highY = -HUGE_VAL;
        for (const PolylinePoint& c : box.corner) {
            lowX = std::min(lowX, c.x);
            highX = std::max(highX, c.x);
            lowY = std::min(lowY, c.y);
            highY = std::max(highY, c.y);
        }
        if (lowX < left + 1.0 || highX > right - 1.0 || lowY < top + 1.0 || highY > bottom - 1.0) continue;
        bool free = std::none_of(m_labels.begin(), m_labels.end(),
                                 [&](const PageQuad& other) { return Overlap(box, other); });
        if (free && !m_segments.empty()) {
            std::fill(seen.begin(), seen.end(), 0);
            const auto cell = [&](double v, int count) {
                return std::clamp(static_cast<int>(std::floor(v / kCell)), 0, count - 1);
            };
            const int c0 = cell(lowX, m_cellColumns), c1 = cell(highX, m_cellColumns);
            const int r0 = cell(lowY, m_cellRows), r1 = cell(highY, m_cellRows);
            for (int r = r0; free && r <= r1; ++r)
                for (int c = c0; free && c <= c1; ++c)
                    for (int i : m_cells[static_cast<std::size_t>(r) * m_cellColumns + c]) {
                        if (seen[i]) continue;
                        seen[i] = 1;
                        if (Crosses(box, m_segments[i].a, m_segments[i].b)) {
                            free = false;
                            break;
                        }
                    }
        }
        if (!free) continue;
        m_labels.push_back(box);
        pugi::xml_node node = parent.append_child("text");
        node.append_attribute("class") = cls;
        Set(node, "x", px);
        Set(node, "y", py);
        if (std::strcmp(place.anchor, "start") != 0) node.append_attribute("text-anchor") = place.anchor;
        if (place.degrees != 0.0)
            node.append_attribute("transform") =
                ("rotate(" + Number3(place.degrees) + " " + Number3(px) + " " + Number3(py) + ")").c_str();
        node.text().set(text.c_str());
        return node;
    }
    return {};
}

pugi::xml_node SvgCanvas::Text(WorldPoint at, double dx, double dy, const std::string& text, const char* cls,
                               double degrees, const char* anchor) {
    return Label(at, {{dx, dy, degrees, anchor}}, text, cls);
}

pugi::xml_node SvgCanvas::Label(WorldPoint at, const std::vector<LabelPlace>& places, const std::string& text,
                                const char* cls) {
    return PlaceText(m_plot, PageX(at.x), PageY(at.y), places, text, cls, true);
}

pugi::xml_node SvgCanvas::PageLabel(double x, double y, const std::vector<LabelPlace>& places,
                                    const std::string& text, const char* cls) {
    pugi::xml_node parent = m_plot ? m_root.insert_child_before("g", m_plot) : m_root.append_child("g");
    pugi::xml_node node = PlaceText(parent, x, y, places, text, cls, false);
    if (!node) m_root.remove_child(parent);
    return node;
}

void SvgCanvas::Note(const std::string& text) {
    PageLabel(m_layout.marginLeft, 48.0 + 16.0 * m_notes++, {{}}, text, "note");
}

void SvgCanvas::Axes(const std::string& xName, const std::string& yName, double xStep, double yStep,
                     bool allSides) {
    pugi::xml_node axes = m_root.insert_child_before("g", m_plot);
    axes.append_attribute("id") = "axes";
    auto line = [&](double x1, double y1, double x2, double y2) { PageLine(axes, x1, y1, x2, y2, "grid"); };
    auto text = [&](double x, double y, const std::string& t, const char* anchor, const char* cls,
                    double degrees) {
        PlaceText(axes, x, y, {{0.0, 0.0, degrees, anchor}}, t, cls, false);
    };
    const double top = FrameTop(), bottom = FrameBottom();
    const double left = FrameLeft(), right = FrameRight();
    // Grid lines stop short of the window's edges; no more than a few
    // hundred of either kind are drawn.
    if (xStep > 0.0 && (m_right - m_left) / xStep < 500.0) {
        // Counted in whole steps: far from zero a step added to a number
        // may leave it as it was.
        const double first = std::ceil(m_left / xStep);
        for (int k = 0; k < 500 && (first + k) * xStep <= m_right + 1e-9 * xStep; ++k) {
            const double x = (first + k) * xStep;
            line(PageX(x), top, PageX(x), bottom);
            text(PageX(x), bottom + 16.0, AxisNumber(x, xStep), "middle", "label", 0.0);
            if (allSides) text(PageX(x), top - 6.0, AxisNumber(x, xStep), "middle", "label", 0.0);
        }
    }
    if (yStep > 0.0 && (m_top - m_bottom) / yStep < 500.0) {
        const double first = std::ceil(m_bottom / yStep);
        for (int k = 0; k < 500 && (first + k) * yStep <= m_top + 1e-9 * yStep; ++k) {
            const double y = (first + k) * yStep;
            line(left, PageY(y), right, PageY(y));
            text(left - 6.0, PageY(y) + 4.0, AxisNumber(y, yStep), "end", "label", 0.0);
            if (allSides) text(right + 6.0, PageY(y) + 4.0, AxisNumber(y, yStep), "start", "label", 0.0);
        }
    }
    pugi::xml_node frame = axes.append_child("rect");
    frame.append_attribute("class") = "frame";
    Set(frame, "x", left);
    Set(frame, "y", top);
    Set(frame, "width", m_width);
    Set(frame, "height", m_height);
    text((left + right) / 2.0, bottom + 36.0, xName, "middle", "axis-name", 0.0);
    text(left - 80.0, (top + bottom) / 2.0, yName, "middle", "axis-name", -90.0);
}

void SvgCanvas::Legend(const std::vector<LegendEntry>& entries, double y) {
    pugi::xml_node legend = m_root.insert_child_before("g", m_plot);
    legend.append_attribute("id") = "legend";
    double x = FrameLeft();
    for (const LegendEntry& e : entries) {
        // A row that would run past the window goes on under it.
        const PageQuad box = TextBox(x + 36.0, y, e.text, FontSize("label"), 0.0, "start");
        if (x > FrameLeft() && box.corner[1].x > FrameRight()) {
            x = FrameLeft();
            y += 18.0;
        }
        if (e.point) {
            pugi::xml_node c = legend.append_child("circle");
            // Another class beside the drawn one's, so that the samples are
            // never taken for the drawing's own shapes.
            c.append_attribute("class") = (std::string(e.cls) + " legend").c_str();
            Set(c, "cx", x + 15.0);
            Set(c, "cy", y - 4.0);
            Set(c, "r", 3.5);
        } else {
            pugi::xml_node path = legend.append_child("path");
            path.append_attribute("class") = (std::string(e.cls) + " legend").c_str();
            path.append_attribute("d") = ("M " + Number3(x) + " " + Number3(y - 4.0) + " L " +
                                          Number3(x + 30.0) + " " + Number3(y - 4.0))
                                             .c_str();
        }
        const pugi::xml_node t = PlaceText(legend, x + 36.0, y, {{}}, e.text, "label", false);
        if (t) x = m_labels.back().corner[1].x + 16.0;
    }
}

void SvgCanvas::NorthArrow(double x, double y) {
    pugi::xml_node g = m_root.insert_child_before("g", m_plot);
    g.append_attribute("id") = "north-arrow";
    pugi::xml_node arrow = g.append_child("path");
    arrow.append_attribute("class") = "arrow";
    arrow.append_attribute("d") =
        ("M " + Number3(x + 10.0) + " " + Number3(y - 40.0) + " L " + Number3(x + 17.0) + " " +
         Number3(y - 16.0) + " L " + Number3(x + 10.0) + " " + Number3(y - 21.0) + " L " + Number3(x + 3.0) +
         " " + Number3(y - 16.0) + " Z")
            .c_str();
    PlaceText(g, x + 10.0, y - 2.0, {{0.0, 0.0, 0.0, "middle"}}, "N", "axis-name", false);
}

void SvgCanvas::ScaleBar(double x, double y, double metres) {
    pugi::xml_node g = m_root.insert_child_before("g", m_plot);
    g.append_attribute("id") = "scale-bar";
    const double length = metres * m_scaleX;
    g.append_attribute("data-metres") = ShortNumber(metres).c_str();
    g.append_attribute("data-length") = Number3(length).c_str();
    for (int i = 0; i < 4; ++i) {
        pugi::xml_node r = g.append_child("rect");
        r.append_attribute("class") = i % 2 ? "bar-light" : "bar-dark";
        Set(r, "x", x + length * i / 4.0);
        Set(r, "y", y - 18.0);
        Set(r, "width", length / 4.0);
        Set(r, "height", 5.0);
    }
    PlaceText(g, x, y - 24.0, {{0.0, 0.0, 0.0, "middle"}}, "0", "label", false);
    PlaceText(g, x + length, y - 24.0, {{0.0, 0.0, 0.0, "middle"}}, PlainNumber(metres) + " m", "label",
              false);
}

}  // namespace qdat::drawing

namespace qdat {

DrawingSheet ParseDrawingSheet(const std::string& paper, const std::string& scale) {
    DrawingSheet sheet;
    double w, h;
    if (!paper.empty() && !drawing::PaperSize(paper, w, h))
        throw ExchangeError("paper " + paper + ": A4, A3 or A1 is drawn");
    sheet.paper = paper;
    if (scale.empty()) return sheet;
    std::string number = scale;
    if (number.rfind("1:", 0) == 0) number = number.substr(2);
    double n = 0.0;
    const auto r = std::from_chars(number.data(), number.data() + number.size(), n);
    if (r.ec != std::errc() || r.ptr != number.data() + number.size() || !(n >= 1.0) || !(n <= 1e7))
        throw ExchangeError("scale " + scale + ": give it as 1:N, N from 1 to 10000000");
    sheet.scale = n;
    return sheet;
}

}  // namespace qdat
