// A small SVG drawing surface for the plots: a world window drawn at a scale
// across and a scale up (the two differ where the vertical is exaggerated),
// with a title, notes, a frame with numbered axes, and shapes placed by world
// coordinates. Shapes are written in page units with three decimals; the
// transform is stated on the root element as data-transform="ox sx oy sy"
// (page x = ox + sx * world x, page y = oy - sy * world y) so that a reader
// can map a drawn point back to the world.
#pragma once

#include <pugixml.hpp>
#include <string>
#include <vector>

#include <qdat/exchange/Polylines.h>

namespace qdat::tool {

// A point of the world drawn: x across (easting, station, offset), y up
// (northing, elevation); the polylines of the library are drawn as they are.
using WorldPoint = PolylinePoint;

class SvgCanvas {
public:
    // The window [left, right] x [bottom, top] at scaleX page units per world
    // unit across and scaleY up.
    SvgCanvas(const std::string& title, double left, double right, double bottom, double top, double scaleX,
              double scaleY);

    double PageX(double x) const { return m_originX + m_scaleX * x; }
    double PageY(double y) const { return m_originY - m_scaleY * y; }

    // A line through each run of points; runs are not joined.
    pugi::xml_node Path(const std::vector<std::vector<WorldPoint>>& runs, const char* cls);
    pugi::xml_node Circle(WorldPoint at, double radius, const char* cls);
    pugi::xml_node Line(WorldPoint a, WorldPoint b, const char* cls);
    // A line from at + (dx1, dy1) to at + (dx2, dy2), offsets in page units.
    pugi::xml_node Mark(WorldPoint at, double dx1, double dy1, double dx2, double dy2, const char* cls);
    // Text at a point moved by (dx, dy) page units, turned by `degrees`
    // (clockwise on the page) about that place.
    pugi::xml_node Text(WorldPoint at, double dx, double dy, const std::string& text, const char* cls,
                        double degrees = 0.0, const char* anchor = "start");
    // A line of text under the title.
    void Note(const std::string& text);
    // The frame round the window, grid lines and numbers every xStep and
    // yStep world units, and the axis names.
    void Axes(const std::string& xName, const std::string& yName, double xStep, double yStep);

    const pugi::xml_document& Document() const { return m_doc; }

private:
    pugi::xml_node Group(const char* id);

    pugi::xml_document m_doc;
    pugi::xml_node m_root;
    pugi::xml_node m_plot;
    double m_left, m_right, m_bottom, m_top;
    double m_scaleX, m_scaleY;
    double m_originX = 0.0, m_originY = 0.0;
    double m_width = 0.0, m_height = 0.0;  // of the window on the page
    int m_notes = 0;
};

// A step of 1, 2 or 5 times a power of ten that cuts `range` into about
// `count` parts.
double NiceStep(double range, int count);
// The vertical exaggeration (1, 2, 5, 10, 20 ...) that draws `rise` at most
// `height` page units high at `scale` units per metre, never above `most`.
double Exaggeration(double rise, double scale, double height, double most);

}  // namespace qdat::tool
