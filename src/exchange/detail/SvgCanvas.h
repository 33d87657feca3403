// A small SVG drawing surface for the drawings: a world window drawn at a
// scale across and a scale up (the two differ where the vertical is
// exaggerated), with a title, notes, a frame with numbered axes, a legend,
// and shapes placed by world coordinates. Shapes are written in page units
// (CSS pixels, 96 to the inch) with three decimals; the transform is stated
// on the root element as data-transform="ox sx oy sy" (page x = ox + sx *
// world x, page y = oy - sy * world y) so that a reader can map a drawn point
// back to the world.
//
// Labels are placed, not just written: each one is tried at the places the
// caller offers, in order, and goes to the first where its box (estimated
// from the font size and the number of characters, a little larger than
// any sans-serif font draws it) stays inside its area and clear of every
// label and every line registered as an obstacle before it. A label that
// fits nowhere is left out rather than drawn over another.
#pragma once

#include <algorithm>
#include <cmath>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include <qdat/exchange/Polylines.h>

namespace qdat::drawing {

using WorldPoint = PolylinePoint;

// A rectangle on the page, turned about its first corner: its corners in
// page units, in order round it.
struct PageQuad {
    PolylinePoint corner[4];
};

// Whether two quads overlap, or a quad and a segment meet (separating axes).
bool Overlap(const PageQuad& a, const PageQuad& b);
bool Crosses(const PageQuad& q, PolylinePoint a, PolylinePoint b);

// A place to try for a label: moved by (dx, dy) page units from its point,
// turned by `degrees` clockwise about that place, anchored at its start,
// middle or end.
struct LabelPlace {
    double dx = 0.0;
    double dy = 0.0;
    double degrees = 0.0;
    const char* anchor = "start";
};

// The page a drawing is laid out on: its margins round the window, in page
// units; a sheet of paper states its size in millimetres as well.
struct PageLayout {
    double marginLeft = 110.0;
    double marginRight = 40.0;
    double marginTop = 90.0;
    double marginBottom = 60.0;
    double paperWidthMm = 0.0;  // 0: no sheet, the page is as large as the drawing
    double paperHeightMm = 0.0;
};

constexpr double kPagePerMm = 96.0 / 25.4;

// The size of a sheet named "A4", "A3" or "A1", landscape, in millimetres;
// false for no paper (an empty name).
bool PaperSize(const std::string& paper, double& widthMm, double& heightMm);

class SvgCanvas {
public:
    // The window [left, right] x [bottom, top] at scaleX page units per world
    // unit across and scaleY up.
    SvgCanvas(const std::string& title, double left, double right, double bottom, double top, double scaleX,
              double scaleY, const PageLayout& layout = PageLayout());

    double PageX(double x) const { return m_originX + m_scaleX * x; }
    double PageY(double y) const { return m_originY - m_scaleY * y; }
    PolylinePoint Page(WorldPoint w) const { return {PageX(w.x), PageY(w.y)}; }
    // The window on the page.
    double FrameLeft() const { return m_layout.marginLeft; }
    double FrameTop() const { return m_layout.marginTop; }
    double FrameRight() const { return m_layout.marginLeft + m_width; }
    double FrameBottom() const { return m_layout.marginTop + m_height; }
    double PageWidth() const { return m_pageWidth; }
    double PageHeight() const { return m_pageHeight; }

    // A line through each run of points; runs are not joined. Lines are
    // obstacles to the labels placed after them unless told otherwise.
    pugi::xml_node Path(const std::vector<std::vector<WorldPoint>>& runs, const char* cls,
                        bool obstacle = true);
    pugi::xml_node Circle(WorldPoint at, double radius, const char* cls);
    pugi::xml_node Line(WorldPoint a, WorldPoint b, const char* cls, bool obstacle = true);
    // A line from at + (dx1, dy1) to at + (dx2, dy2), offsets in page units.
    pugi::xml_node Mark(WorldPoint at, double dx1, double dy1, double dx2, double dy2, const char* cls,
                        bool obstacle = true);
    // Text at a point moved by (dx, dy) page units, turned by `degrees`
    // (clockwise on the page) about that place; placed where nothing else
    // is, and kept in the window, or left out (a null node).
    pugi::xml_node Text(WorldPoint at, double dx, double dy, const std::string& text, const char* cls,
                        double degrees = 0.0, const char* anchor = "start");
    // The same, at the first of the places that is free.
    pugi::xml_node Label(WorldPoint at, const std::vector<LabelPlace>& places, const std::string& text,
                         const char* cls);
    // Text on the page outside the window (margins, bands), in page units,
    // placed as Label places it but kept on the page instead of the window.
    pugi::xml_node PageLabel(double x, double y, const std::vector<LabelPlace>& places,
                             const std::string& text, const char* cls);
    // A line of text under the title.
    void Note(const std::string& text);
    // The frame round the window, grid lines and numbers every xStep and
    // yStep world units, and the axis names; numbers on all four sides when
    // `allSides`.
    void Axes(const std::string& xName, const std::string& yName, double xStep, double yStep,
              bool allSides = false);
    // A legend entry: a sample of the class's line (or a dot for a point
    // class) and its text, in a row under the window at page y `y`.
    struct LegendEntry {
        const char* cls;
        bool point;
        std::string text;
    };
    void Legend(const std::vector<LegendEntry>& entries, double y);
    // A north arrow and a scale bar of `metres` at the canvas's scale, with
    // their lower left corner at page (x, y).
    void NorthArrow(double x, double y);
    void ScaleBar(double x, double y, double metres);

    // A group of its own under the root for page-unit drawing (bands).
    pugi::xml_node PageGroup(const char* id);
    pugi::xml_node PageLine(pugi::xml_node parent, double x1, double y1, double x2, double y2,
                            const char* cls);

    const pugi::xml_document& Document() const { return m_doc; }
    pugi::xml_node Root() const { return m_root; }

private:
    pugi::xml_node Group(const char* id);
    pugi::xml_node PlaceText(pugi::xml_node parent, double x, double y, const std::vector<LabelPlace>& places,
                             const std::string& text, const char* cls, bool inWindow);
    void AddObstacle(PolylinePoint a, PolylinePoint b);

    pugi::xml_document m_doc;
    pugi::xml_node m_root;
    pugi::xml_node m_plot;
    PageLayout m_layout;
    double m_left, m_right, m_bottom, m_top;
    double m_scaleX, m_scaleY;
    double m_originX = 0.0, m_originY = 0.0;
    double m_width = 0.0, m_height = 0.0;  // of the window on the page
    double m_pageWidth = 0.0, m_pageHeight = 0.0;
    int m_notes = 0;
    std::vector<PageQuad> m_labels;
    // Obstacles as segments in page units, with a coarse grid of cells so
    // that a label meets only those near it.
    struct Segment {
        PolylinePoint a, b;
    };
    std::vector<Segment> m_segments;
    std::vector<std::vector<int>> m_cells;
    int m_cellColumns = 0, m_cellRows = 0;
};

// Where a drawing `span` metres across goes: on a named paper (PaperSize),
// the sheet less the layout's margins, else `width` by `height`; at the
// sheet's 1:N (`scale`), else on paper the drawing-set scale that fits the
// sheet across, else the scale that fills `width`. `need` is the page width
// the span takes at 1:N (0 without one).
struct SheetArea {
    bool paper = false;
    double width = 0.0, height = 0.0;
    double scaleX = 0.0;  // page units a metre across
    double need = 0.0;
};
SheetArea AreaOnSheet(const std::string& paper, double scale, PageLayout& layout, double width, double height,
                      double span);

// The extent of a drawing in metres, grown point by point.
struct Extent {
    double left = HUGE_VAL, right = -HUGE_VAL, bottom = HUGE_VAL, top = -HUGE_VAL;
    void Add(WorldPoint p) {
        left = std::min(left, p.x);
        right = std::max(right, p.x);
        bottom = std::min(bottom, p.y);
        top = std::max(top, p.y);
    }
    // The vertical exaggeration (see Exaggeration, at most `most`) that draws
    // the extent at most areaHeight high at scaleX page units a metre; on
    // paper the extent then grows about its middle to fill the sheet's
    // areaWidth across and areaHeight down.
    double FitSheet(double scaleX, double areaWidth, double areaHeight, double most, bool paper);
};

// The font size of a text class, in page units.
double FontSize(const char* cls);
// The box of a text as Label places it.
PageQuad TextBox(double x, double y, const std::string& text, double fontSize, double degrees,
                 const char* anchor);

// The page units a metre of the next scale of a drawing set (1:N, N 1, 2,
// 2.5 or 5 times a power of ten) at or below `pagePerMetre`.
double DrawingSetScale(double pagePerMetre);
// A step of 1, 2 or 5 times a power of ten that cuts `range` into about
// `count` parts.
double NiceStep(double range, int count);
// The vertical exaggeration (1, 2, 5, 10, 20 ...) that draws `rise` at most
// `height` page units high at `scale` units per metre, never above `most`.
double Exaggeration(double rise, double scale, double height, double most);
// A number in plain digits, to the millimetre, trailing zeros dropped.
std::string PlainNumber(double value);
// The last part of a path, the file's name.
std::string BaseName(const std::string& path);
// A number with `places` decimals, never "-0".
std::string Decimals(double value, int places);
// The shortest text that reads back as the value.
std::string ShortNumber(double value);

}  // namespace qdat::drawing
