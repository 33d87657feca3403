// The drawings and the project report in-process: quantities a drawing
// states checked against textbook formulas and hand-computed areas, the sheet
// and scale, and a report of a project with files missing or broken.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numbers>
#include <pugixml.hpp>
#include <sstream>

#include <qdat/exchange/AlignmentOf.h>
#include <qdat/exchange/Drawings.h>
#include <qdat/exchange/ExchangeError.h>
#include <qdat/exchange/ProjectReport.h>
#include <qdat/exchange/detail/SvgCanvas.h>
#include <qdat/plan/QPmDoc.h>
#include "support/TestSupport.h"

namespace qdat {
namespace {

using test::ReadFileBytes;
using test::RecordingUi;
using test::StationDefaults;
using test::TempDir;
using test::WriteFileBytes;

const std::string kExamples = std::string(QDAT_SOURCE_DIR) + "/examples/";

class DrawingsTest : public ::testing::Test {
protected:
    RecordingUi ui;
    ScopedUi scoped{ui};
    StationDefaults defaults;
    QPmDoc elements;

    void SetUp() override { ASSERT_TRUE(ReadDocumentFile(elements, kExamples + "demo-road.pm")); }
    PlanAlignment& Alignment() {
        EXPECT_EQ(elements.GetAlignment().ComputeElements(), 1);
        return elements.GetAlignment();
    }
};

// The demo's one curve: R 800 with spirals of 120 m either side. Its tangent
// length is the textbook one of a symmetric spiral curve, T = (R + p)
// tan(D/2) + q with the shift p = L^2/24R - L^4/2688R^3 and q = L/2 -
// L^3/240R^2; the spiral parameter A = sqrt(R L).
TEST_F(DrawingsTest, TheCurveTableHoldsTheTextbookTangents) {
    const PlanAlignment& a = Alignment();
    const std::vector<AlignmentCurve> curves = AlignmentCurves(a, nullptr);
    ASSERT_EQ(curves.size(), 1u);
    const AlignmentCurve& c = curves[0];
    EXPECT_EQ(c.name, "IP1");
    const double r = 800.0, l = 120.0, d = std::fabs(c.deflection);
    const double p = l * l / (24 * r) - std::pow(l, 4) / (2688 * std::pow(r, 3));
    const double q = l / 2 - std::pow(l, 3) / (240 * r * r);
    const double t = (r + p) * std::tan(d / 2) + q;
    EXPECT_NEAR(c.radius, r, 1e-9);
    EXPECT_NEAR(c.spiralLength1, l, 1e-6);
    EXPECT_NEAR(c.spiralLength2, l, 1e-6);
    EXPECT_NEAR(c.spiralParam1, std::sqrt(r * l), 1e-6);
    ASSERT_TRUE(c.hasIp);
    EXPECT_NEAR(c.tangent1, t, 2e-3);
    EXPECT_NEAR(c.tangent2, t, 2e-3);
    // The curve's length: both spirals and the arc, D R - L + 2 L.
    EXPECT_NEAR(c.length, d * r + l, 1e-6);
    // The intersection point lies T back along the start tangent.
    StationPoint start;
    start.Station = c.start;
    a.PointAtStation(start);
    EXPECT_NEAR(c.ipX, start.X + t * std::cos(start.Azimuth), 2e-3);
    EXPECT_NEAR(c.ipY, start.Y + t * std::sin(start.Azimuth), 2e-3);

    EXPECT_EQ(MainPointKinds(a, false), (std::vector<std::string>{"BP", "TS", "SC", "CS", "ST", "EP"}));
    EXPECT_EQ(MainPointKinds(a, true), (std::vector<std::string>{"QD", "ZH", "HY", "YH", "HZ", "ZD"}));
}

// Labels are kept apart by the shapes' true outlines, not their bounding
// boxes: a square 10 on a side and a diamond (a square turned 45 degrees)
// whose edge runs along x + y = c are apart exactly while c > 20, where the
// square's corner (10, 10) lies; their bounding boxes overlap throughout.
TEST(LabelPlacement, OutlinesNotBoundingBoxes) {
    using drawing::PageQuad;
    const PageQuad square{{{0, 0}, {10, 0}, {10, 10}, {0, 10}}};
    const auto diamond = [](double half) {
        return PageQuad{{{12 - half, 12}, {12, 12 - half}, {12 + half, 12}, {12, 12 + half}}};
    };
    EXPECT_FALSE(drawing::Overlap(square, diamond(2.5)));  // edge x + y = 21.5
    EXPECT_FALSE(drawing::Overlap(square, diamond(3.5)));  // 20.5
    EXPECT_TRUE(drawing::Overlap(square, diamond(4.5)));   // 19.5
    EXPECT_FALSE(drawing::Overlap(square, PageQuad{{{10, 0}, {20, 0}, {20, 10}, {10, 10}}})) << "touching";
    EXPECT_TRUE(drawing::Overlap(square, PageQuad{{{9, 0}, {19, 0}, {19, 10}, {9, 10}}}));
    EXPECT_TRUE(drawing::Crosses(square, {12, 5}, {5, 12}));   // x + y = 17 cuts the square
    EXPECT_FALSE(drawing::Crosses(square, {15, 8}, {8, 15}));  // x + y = 23 passes its corner
    EXPECT_TRUE(drawing::Crosses(square, {5, -5}, {5, 15}));
    EXPECT_FALSE(drawing::Crosses(square, {11, 0}, {11, 10}));
    EXPECT_TRUE(drawing::Crosses(square, {3, 3}, {3, 3})) << "a point inside";

    // Turned text keeps its size: a box turned -90 degrees about its start
    // runs up the page by its length.
    const PageQuad flat = drawing::TextBox(100, 100, "0+500", 10, 0, "start");
    const PageQuad up = drawing::TextBox(100, 100, "0+500", 10, -90, "start");
    const double length = flat.corner[1].x - flat.corner[0].x;
    EXPECT_GT(length, 5 * 0.55 * 10) << "at least what sans-serif digits need";
    EXPECT_NEAR(up.corner[0].y - up.corner[1].y, length, 1e-9);
    EXPECT_NEAR(up.corner[1].x, up.corner[0].x, 1e-9);
}

// Areas between lines, by hand: a design line falling 2 m over 20 m across
// flat ground is 5 m2 of fill and 5 m2 of cut; a vertical face (two ground
// points at one offset) and lines of different extent.
TEST(CutAndFill, AreasBetweenTheLines) {
    const Polyline flat{{-10, 0}, {10, 0}};
    CutFillAreas a = CutAndFill(flat, {{-10, 1}, {10, -1}});
    EXPECT_NEAR(a.fill, 5.0, 1e-12);
    EXPECT_NEAR(a.cut, 5.0, 1e-12);
    // Only the offsets both lines cover count: 4 m of a 1 m deep cut.
    a = CutAndFill(flat, {{-2, -1}, {2, -1}});
    EXPECT_NEAR(a.cut, 4.0, 1e-12);
    EXPECT_EQ(a.fill, 0.0);
    // A ground step at offset 0 from 0 to 2 m under a design at 1 m: fill
    // 1 x 10 left of it, cut 1 x 10 right of it.
    a = CutAndFill({{-10, 0}, {0, 0}, {0, 2}, {10, 2}}, {{-10, 1}, {10, 1}});
    EXPECT_NEAR(a.fill, 10.0, 1e-9);
    EXPECT_NEAR(a.cut, 10.0, 1e-9);
    // Lines that do not overlap, or a line of one point, hold nothing.
    a = CutAndFill(flat, {{20, 1}, {30, 1}});
    EXPECT_EQ(a.cut + a.fill, 0.0);
    a = CutAndFill({{0, 0}}, flat);
    EXPECT_EQ(a.cut + a.fill, 0.0);

    const std::vector<Polyline> runs{{{0, 100}, {10, 101}}, {{20, 105}, {40, 103}}};
    EXPECT_NEAR(*GroundElevationAt(runs, 5), 100.5, 1e-12);
    EXPECT_NEAR(*GroundElevationAt(runs, 30), 104.0, 1e-12);
    EXPECT_FALSE(GroundElevationAt(runs, 15)) << "a gap in the ground line";
    EXPECT_FALSE(GroundElevationAt(runs, 41));
}

// A sheet and a scale: the page is the paper, the scale bar is as long on it
// as its metres at 1:N (96 page units to the inch); a drawing that does not
// fit is refused with the sizes, and bad sheets and scales by name.
TEST_F(DrawingsTest, SheetAndScale) {
    const DrawingSheet sheet = ParseDrawingSheet("A3", "1:5000");
    EXPECT_EQ(sheet.paper, "A3");
    EXPECT_EQ(sheet.scale, 5000.0);
    EXPECT_EQ(ParseDrawingSheet("", "2000").scale, 2000.0);
    for (const auto& [paper, scale] : std::vector<std::pair<std::string, std::string>>{
             {"A5", ""}, {"", "1:0"}, {"", "1:x"}, {"", "1:"}, {"", "1:5e9"}, {"", "-100"}})
        EXPECT_THROW(ParseDrawingSheet(paper, scale), ExchangeError) << paper << " " << scale;

    pugi::xml_document doc;
    DrawPlan({&Alignment(), nullptr, "demo-road.pm", false}, sheet, doc);
    const pugi::xml_node root = doc.child("svg");
    EXPECT_STREQ(root.attribute("width").value(), "420.000mm");
    EXPECT_STREQ(root.attribute("height").value(), "297.000mm");
    std::istringstream t(root.attribute("data-transform").value());
    double ox, sx, oy, sy;
    t >> ox >> sx >> oy >> sy;
    const double perMetre = 1000.0 / 5000.0 * 96.0 / 25.4;
    EXPECT_NEAR(sx, perMetre, 1e-12);
    EXPECT_EQ(sx, sy) << "a plan is true to shape";
    const pugi::xml_node bar = doc.select_node("//g[@id='scale-bar']").node();
    ASSERT_TRUE(bar);
    EXPECT_NEAR(bar.attribute("data-length").as_double(), bar.attribute("data-metres").as_double() * perMetre,
                1e-3);
    EXPECT_TRUE(doc.select_node("//g[@id='north-arrow']"));
    EXPECT_TRUE(doc.select_node("//g[@id='legend']"));

    // Fitted to a sheet, the plan takes a scale of a drawing set: 1.7 km on
    // an A3 sheet fits at 1:5000, not at 1:2500.
    DrawPlan({&Alignment(), nullptr, "demo-road.pm", false}, ParseDrawingSheet("A3", ""), doc);
    std::istringstream fitted(doc.child("svg").attribute("data-transform").value());
    fitted >> ox >> sx;
    EXPECT_NEAR(sx, perMetre, 1e-12);

    try {
        DrawPlan({&Alignment(), nullptr, "demo-road.pm", false}, ParseDrawingSheet("A4", "1:1000"), doc);
        ADD_FAILURE() << "a plan 1.7 km long does not fit an A4 sheet at 1:1000";
    } catch (const ExchangeError& e) {
        EXPECT_NE(std::string(e.what()).find("demo-road.pm: at 1:1000 the plan needs "), std::string::npos)
            << e.what();
    }
}

// The report of a project whose superelevation table is gone and whose
// profile is not a profile: the rest is written, the two parts are named as
// left out; a report is never written over the project.
TEST_F(DrawingsTest, AReportLeavesOutWhatItCannotRead) {
    TempDir dir;
    for (const auto& entry : std::filesystem::directory_iterator(kExamples))
        if (entry.path().filename().string().rfind("demo-road.", 0) == 0)
            std::filesystem::copy_file(entry.path(), dir.Path(entry.path().filename().string()));
    std::filesystem::remove(dir.Path("demo-road.sup"));
    WriteFileBytes(dir.Path("demo-road.zdm"), "RADUDAR5.83_ZDM_SHUJU\n3\nnot a number\n");
    const std::string out = dir.Path("report.html");
    const ProjectReportResult result = WriteProjectReport(dir.Path("demo-road.prj"), out);
    ASSERT_EQ(result.notes.size(), 2u);
    EXPECT_NE(result.notes[0].find("(demo-road.zdm) cannot be read"), std::string::npos) << result.notes[0];
    EXPECT_NE(result.notes[1].find("(demo-road.sup) is missing"), std::string::npos) << result.notes[1];
    const std::string html = ReadFileBytes(out);
    EXPECT_NE(html.find("is missing; its part of the report is left out"), std::string::npos);
    EXPECT_NE(html.find("id=\"plan-drawing\""), std::string::npos);
    EXPECT_EQ(html.find("id=\"profile-drawing\""), std::string::npos);
    EXPECT_EQ(html.find("id=\"superelevation\""), std::string::npos);
    EXPECT_NE(html.find("class=\"section-view\""), std::string::npos);

    // The section at 0+000 with the template of the subgrade record there:
    // part widths 0.75, 1.5, 3.75, 3.75 out to each side, heights from
    // -0.21 at the edges to 0 at the centre line over the base 412.35.
    const std::size_t view = html.find("<div class=\"section-view\" data-station=\"0.000\"");
    ASSERT_NE(view, std::string::npos);
    const std::size_t svgStart = html.find("<svg", view), svgEnd = html.find("</svg>", view);
    pugi::xml_document svg;
    ASSERT_TRUE(svg.load_string(html.substr(svgStart, svgEnd + 6 - svgStart).c_str()));
    std::istringstream t(svg.child("svg").attribute("data-transform").value());
    double ox, sx, oy, sy;
    t >> ox >> sx >> oy >> sy;
    std::istringstream d(
        svg.select_node("//g[@id='plot']/path[@class='template']").node().attribute("d").value());
    const double offsets[] = {-9.75, -9.0, -7.5, -3.75, 0.0, 3.75, 7.5, 9.0, 9.75};
    const double heights[] = {-0.21, -0.18, -0.15, -0.075, 0.0, -0.075, -0.15, -0.18, -0.21};
    for (int k = 0; k < 9; ++k) {
        std::string op;
        double x, y;
        ASSERT_TRUE(d >> op >> x >> y);
        EXPECT_NEAR((x - ox) / sx, offsets[k], 1e-3 / sx);
        EXPECT_NEAR((oy - y) / sy, 412.35 + heights[k], 1e-3 / sy);
    }

    const std::string project = ReadFileBytes(dir.Path("demo-road.prj"));
    EXPECT_THROW(WriteProjectReport(dir.Path("demo-road.prj"), dir.Path("demo-road.pm")), ExchangeError);
    EXPECT_THROW(WriteProjectReport(dir.Path("demo-road.prj"), dir.Path("demo-road.prj")), ExchangeError);
    EXPECT_EQ(ReadFileBytes(dir.Path("demo-road.prj")), project);
    EXPECT_THROW(WriteProjectReport(dir.Path("none.prj"), out), ExchangeError);
    EXPECT_EQ(ReadFileBytes(out), html) << "a failed report leaves the old one as it was";
}

}  // namespace
}  // namespace qdat
