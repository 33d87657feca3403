#include "SvgCanvas.h"

#include <cmath>

#include <qdat/docbase/NumberFormat.h>
#include "Output.h"

namespace qdat::tool {
namespace {

constexpr double kMarginLeft = 110.0;
constexpr double kMarginRight = 40.0;
constexpr double kMarginTop = 90.0;
constexpr double kMarginBottom = 60.0;

constexpr const char* kStyle =
    "text { font-family: sans-serif; font-size: 11px; fill: #222; }\n"
    ".title { font-size: 16px; font-weight: bold; }\n"
    ".note { font-size: 12px; fill: #444; }\n"
    ".frame { fill: none; stroke: #333; stroke-width: 1; }\n"
    ".grid { stroke: #ddd; stroke-width: 0.5; }\n"
    ".axis-name { font-size: 12px; }\n"
    ".centre-line, .design-line { fill: none; stroke: #c0392b; stroke-width: 2; }\n"
    ".ground-line { fill: none; stroke: #7f5f2a; stroke-width: 1.5; }\n"
    ".tangent { fill: none; stroke: #2c3e50; stroke-width: 0.8; stroke-dasharray: 6 4; }\n"
    ".main-point { fill: #fff; stroke: #c0392b; stroke-width: 1.5; }\n"
    ".ip, .pvi { fill: #2c3e50; }\n"
    ".tick { stroke: #222; stroke-width: 1.2; }\n"
    ".label { font-size: 10px; }\n"
    ".grade { font-size: 10px; fill: #1a5276; }\n";

std::string Page(double value) {
    return FormatFixed(value, 3);
}

void Set(pugi::xml_node node, const char* name, double value) {
    node.append_attribute(name).set_value(Page(value).c_str());
}

// A line and a text in page units, under parent.
pugi::xml_node PageLine(pugi::xml_node parent, double x1, double y1, double x2, double y2, const char* cls) {
    pugi::xml_node line = parent.append_child("line");
    line.append_attribute("class") = cls;
    Set(line, "x1", x1);
    Set(line, "y1", y1);
    Set(line, "x2", x2);
    Set(line, "y2", y2);
    return line;
}

pugi::xml_node PageText(pugi::xml_node parent, double x, double y, const std::string& text, const char* cls,
                        double degrees, const char* anchor) {
    pugi::xml_node node = parent.append_child("text");
    node.append_attribute("class") = cls;
    Set(node, "x", x);
    Set(node, "y", y);
    if (std::string(anchor) != "start") node.append_attribute("text-anchor") = anchor;
    if (degrees != 0.0)
        node.append_attribute("transform") =
            ("rotate(" + Page(degrees) + " " + Page(x) + " " + Page(y) + ")").c_str();
    node.text().set(text.c_str());
    return node;
}

// Axis numbers: as many decimals as the step needs.
std::string AxisNumber(double value, double step) {
    const int places = step >= 1.0 ? 0 : static_cast<int>(std::ceil(-std::log10(step)));
    // A grid line at zero may come out of the arithmetic as -0.
    return FormatFixed(std::fabs(value) < step * 1e-9 ? 0.0 : value, places);
}

}  // namespace

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

SvgCanvas::SvgCanvas(const std::string& title, double left, double right, double bottom, double top,
                     double scaleX, double scaleY)
    : m_left(left), m_right(right), m_bottom(bottom), m_top(top), m_scaleX(scaleX), m_scaleY(scaleY) {
    m_width = (right - left) * scaleX;
    m_height = (top - bottom) * scaleY;
    m_originX = kMarginLeft - scaleX * left;
    m_originY = kMarginTop + scaleY * top;
    const double width = kMarginLeft + m_width + kMarginRight;
    const double height = kMarginTop + m_height + kMarginBottom;

    pugi::xml_node decl = m_doc.append_child(pugi::node_declaration);
    decl.append_attribute("version") = "1.0";
    decl.append_attribute("encoding") = "UTF-8";
    m_root = m_doc.append_child("svg");
    m_root.append_attribute("xmlns") = "http://www.w3.org/2000/svg";
    m_root.append_attribute("version") = "1.1";
    Set(m_root, "width", width);
    Set(m_root, "height", height);
    m_root.append_attribute("viewBox") = ("0 0 " + Page(width) + " " + Page(height)).c_str();
    m_root.append_attribute("data-transform") = (ShortNumber(m_originX) + " " + ShortNumber(m_scaleX) + " " +
                                                 ShortNumber(m_originY) + " " + ShortNumber(m_scaleY))
                                                    .c_str();
    m_root.append_child("title").text().set(title.c_str());
    m_root.append_child("style").text().set(kStyle);
    pugi::xml_node background = m_root.append_child("rect");
    background.append_attribute("width") = "100%";
    background.append_attribute("height") = "100%";
    background.append_attribute("fill") = "white";
    pugi::xml_node heading = m_root.append_child("text");
    heading.append_attribute("class") = "title";
    Set(heading, "x", kMarginLeft);
    Set(heading, "y", 28.0);
    heading.text().set(title.c_str());
    m_plot = Group("plot");
}

pugi::xml_node SvgCanvas::Group(const char* id) {
    pugi::xml_node g = m_root.append_child("g");
    g.append_attribute("id") = id;
    return g;
}

pugi::xml_node SvgCanvas::Path(const std::vector<std::vector<WorldPoint>>& runs, const char* cls) {
    std::string d;
    for (const std::vector<WorldPoint>& run : runs) {
        for (std::size_t i = 0; i < run.size(); ++i) {
            if (!d.empty()) d += ' ';
            d += (i == 0 ? "M " : "L ") + Page(PageX(run[i].x)) + " " + Page(PageY(run[i].y));
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
    return circle;
}

pugi::xml_node SvgCanvas::Line(WorldPoint a, WorldPoint b, const char* cls) {
    return Mark(a, 0.0, 0.0, PageX(b.x) - PageX(a.x), PageY(b.y) - PageY(a.y), cls);
}

pugi::xml_node SvgCanvas::Mark(WorldPoint at, double dx1, double dy1, double dx2, double dy2,
                               const char* cls) {
    return PageLine(m_plot, PageX(at.x) + dx1, PageY(at.y) + dy1, PageX(at.x) + dx2, PageY(at.y) + dy2, cls);
}

pugi::xml_node SvgCanvas::Text(WorldPoint at, double dx, double dy, const std::string& text, const char* cls,
                               double degrees, const char* anchor) {
    return PageText(m_plot, PageX(at.x) + dx, PageY(at.y) + dy, text, cls, degrees, anchor);
}

void SvgCanvas::Note(const std::string& text) {
    pugi::xml_node node = m_root.insert_child_before("text", m_plot);
    node.append_attribute("class") = "note";
    Set(node, "x", kMarginLeft);
    Set(node, "y", 48.0 + 16.0 * m_notes++);
    node.text().set(text.c_str());
}

void SvgCanvas::Axes(const std::string& xName, const std::string& yName, double xStep, double yStep) {
    pugi::xml_node axes = m_root.insert_child_before("g", m_plot);
    axes.append_attribute("id") = "axes";
    auto line = [&](double x1, double y1, double x2, double y2) { PageLine(axes, x1, y1, x2, y2, "grid"); };
    auto text = [&](double x, double y, const std::string& t, const char* anchor, const char* cls,
                    double degrees) { PageText(axes, x, y, t, cls, degrees, anchor); };
    const double top = kMarginTop, bottom = kMarginTop + m_height;
    const double left = kMarginLeft, right = kMarginLeft + m_width;
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
        }
    }
    if (yStep > 0.0 && (m_top - m_bottom) / yStep < 500.0) {
        const double first = std::ceil(m_bottom / yStep);
        for (int k = 0; k < 500 && (first + k) * yStep <= m_top + 1e-9 * yStep; ++k) {
            const double y = (first + k) * yStep;
            line(left, PageY(y), right, PageY(y));
            text(left - 6.0, PageY(y) + 4.0, AxisNumber(y, yStep), "end", "label", 0.0);
        }
    }
    pugi::xml_node frame = axes.append_child("rect");
    frame.append_attribute("class") = "frame";
    Set(frame, "x", left);
    Set(frame, "y", top);
    Set(frame, "width", m_width);
    Set(frame, "height", m_height);
    text((left + right) / 2.0, bottom + 40.0, xName, "middle", "axis-name", 0.0);
    text(left - 80.0, (top + bottom) / 2.0, yName, "middle", "axis-name", -90.0);
}

}  // namespace qdat::tool
