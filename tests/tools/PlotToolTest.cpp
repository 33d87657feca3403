// qdat plot, from the user's side: every plot renders to a PNG with
// rsvg-convert, and what it draws is where the geometry says, mapped back
// through the transform the plot states.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <pugixml.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <qdat/plan/QJdDoc.h>
#include <qdat/plan/QPmDoc.h>
#include <qdat/profile/QZdmFile.h>
#include "support/TestSupport.h"
#include "tools/RoadSamples.h"

namespace qdat::test {
namespace {

struct Pt {
    double x, y;
};

// The page transform the plot states: x = ox + sx X, y = oy - sy Y.
struct Transform {
    double ox = 0, sx = 0, oy = 0, sy = 0;
    Pt ToPage(double across, double up) const { return {ox + sx * across, oy - sy * up}; }
    Pt ToWorld(Pt page) const { return {(page.x - ox) / sx, (oy - page.y) / sy}; }
};

class PlotTool : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFileBytes(plan, kEveryElementPlan);
        WriteFileBytes(profile, kProfile);
        WriteFileBytes(ground, kGround);
    }
    // Plots, renders the SVG to a PNG and parses it.
    pugi::xml_node Plot(const std::string& args) {
        std::string out, err;
        EXPECT_EQ(RunTool("plot " + args + " -o " + svg, &out, &err), 0) << err;
        const std::string png = dir.Path("plot.png");
        EXPECT_EQ(RunCommand("rsvg-convert -o " + png + " " + svg, &out, &err), 0) << err;
        EXPECT_EQ(ReadFileBytes(png).substr(0, 8), "\x89PNG\r\n\x1a\n");
        EXPECT_TRUE(doc.load_file(svg.c_str()));
        const pugi::xml_node root = doc.child("svg");
        std::istringstream t(root.attribute("data-transform").value());
        t >> transform.ox >> transform.sx >> transform.oy >> transform.sy;
        EXPECT_TRUE(t) << "the plot states its transform";
        return root;
    }
    // The vertices of the path of the class, in page units.
    std::vector<Pt> Vertices(const char* cls) {
        const pugi::xml_node path = doc.find_node([&](pugi::xml_node n) {
            return std::string(n.name()) == "path" && std::string(n.attribute("class").value()) == cls;
        });
        EXPECT_TRUE(path) << cls;
        std::vector<Pt> out;
        std::istringstream d(path.attribute("d").value());
        for (std::string op; d >> op;) {
            Pt p;
            d >> p.x >> p.y;
            out.push_back(p);
        }
        return out;
    }
    std::vector<pugi::xml_node> Nodes(const char* name, const char* cls) {
        std::vector<pugi::xml_node> out;
        for (pugi::xpath_node n :
             doc.select_nodes((std::string("//") + name + "[@class='" + cls + "']").c_str()))
            out.push_back(n.node());
        return out;
    }
    std::string AllText() {
        std::string text;
        for (pugi::xpath_node n : doc.select_nodes("//text"))
            text += std::string(n.node().text().get()) + "\n";
        return text;
    }

    StationDefaults defaults;
    TempDir dir;
    std::string plan = dir.Path("road.pm"), profile = dir.Path("road.zdm"), ground = dir.Path("road.dmx"),
                svg = dir.Path("plot.svg");
    pugi::xml_document doc;
    Transform transform;
};

// Half a page unit's rounding of the written coordinates.
constexpr double kPage = 0.0006;

TEST_F(PlotTool, PlanDrawsTheCentreLineWhereItIs) {
    const pugi::xml_node root = Plot("plan " + plan);
    EXPECT_NE(std::string(root.child("title").text().get()).find("road.pm"), std::string::npos);
    EXPECT_NE(AllText().find("Easting Y (m)"), std::string::npos);
    EXPECT_DOUBLE_EQ(transform.sx, transform.sy) << "a plan is drawn true to shape";

    QPmDoc pm;
    ASSERT_TRUE(ReadDocumentFile(pm, plan));
    PlanAlignment& alignment = pm.GetAlignment();
    ASSERT_EQ(alignment.ComputeElements(), 1);
    auto page = [&](double station) {
        StationPoint p;
        p.Station = station;
        alignment.PointAtStation(p);
        return transform.ToPage(p.Y, p.X);  // easting across, northing up
    };

    // Main points: both ends and every element end, at their stations.
    const std::vector<pugi::xml_node> mains = Nodes("circle", "main-point");
    ASSERT_EQ(mains.size(), 12u);
    for (pugi::xml_node c : mains) {
        const Pt want = page(c.attribute("data-station").as_double());
        EXPECT_NEAR(c.attribute("cx").as_double(), want.x, kPage);
        EXPECT_NEAR(c.attribute("cy").as_double(), want.y, kPage);
    }
    // Ticks every 100 m, centred on the line.
    const std::vector<pugi::xml_node> ticks = Nodes("line", "tick");
    ASSERT_EQ(ticks.size(), 9u);
    for (std::size_t i = 0; i < ticks.size(); ++i) {
        const pugi::xml_node t = ticks[i];
        EXPECT_EQ(t.attribute("data-station").as_double(), 100.0 * (i + 1));
        const Pt want = page(100.0 * (i + 1));
        EXPECT_NEAR((t.attribute("x1").as_double() + t.attribute("x2").as_double()) / 2, want.x, kPage);
        EXPECT_NEAR((t.attribute("y1").as_double() + t.attribute("y2").as_double()) / 2, want.y, kPage);
    }
    EXPECT_NE(AllText().find("0+500"), std::string::npos) << "ticks carry station text";

    // Every vertex of the drawn centre line lies on the centre line (within
    // half the spacing of points sampled every 5 cm), and every sampled point
    // lies on the drawn line (within the sagitta of its chords).
    const std::vector<Pt> vertices = Vertices("centre-line");
    ASSERT_GT(vertices.size(), 100u);
    std::vector<Pt> samples, world;
    for (int k = 0; k <= 940 * 20; ++k) {
        StationPoint p;
        p.Station = k / 20.0;
        alignment.PointAtStation(p);
        samples.push_back({p.Y, p.X});
    }
    for (const Pt& v : vertices) world.push_back(transform.ToWorld(v));
    const double rounding = kPage / transform.sx;
    for (const Pt& w : world) {
        double best = HUGE_VAL;
        for (const Pt& s : samples) best = std::min(best, std::hypot(s.x - w.x, s.y - w.y));
        EXPECT_LT(best, 0.025 + rounding);
    }
    for (std::size_t k = 0; k < samples.size(); k += 37) {
        const Pt s = samples[k];
        double best = HUGE_VAL;
        for (std::size_t i = 0; i + 1 < world.size(); ++i) {
            const Pt a = world[i], b = world[i + 1];
            const double dx = b.x - a.x, dy = b.y - a.y, len2 = dx * dx + dy * dy;
            const double t =
                len2 > 0 ? std::clamp(((s.x - a.x) * dx + (s.y - a.y) * dy) / len2, 0.0, 1.0) : 0.0;
            best = std::min(best, std::hypot(a.x + t * dx - s.x, a.y + t * dy - s.y));
        }
        EXPECT_LT(best, 0.01) << "station " << k / 20.0;
    }
}

TEST_F(PlotTool, PlanTicksFollowTheChainBreaks) {
    // Stake 300 goes on as 320: round stations 400 to 900 lie 20 m earlier.
    Plot("plan " + plan + " --break 300:320");
    std::vector<double> stations;
    for (pugi::xml_node t : Nodes("line", "tick"))
        stations.push_back(t.attribute("data-station").as_double());
    EXPECT_EQ(stations, (std::vector<double>{100, 200, 380, 480, 580, 680, 780, 880}));
    EXPECT_NE(AllText().find("0+400"), std::string::npos);
    EXPECT_NE(AllText().find("0+960"), std::string::npos) << "the end point in stake stations";
}

TEST_F(PlotTool, PlanOfIntersectionPointsShowsThem) {
    const std::string jd = std::string(QDAT_SOURCE_DIR) + "/examples/demo-road.jd";
    Plot("plan " + jd);
    QJdDoc points;
    ASSERT_TRUE(ReadDocumentFile(points, jd));
    const std::vector<pugi::xml_node> ips = Nodes("circle", "ip");
    ASSERT_EQ(static_cast<int>(ips.size()), points.GetList().Points.GetSize());
    for (std::size_t i = 0; i < ips.size(); ++i) {
        const JdPoint& p = points.GetList().Points[static_cast<int>(i)];
        const Pt want = transform.ToPage(p.Y, p.X);
        EXPECT_NEAR(ips[i].attribute("cx").as_double(), want.x, kPage);
        EXPECT_NEAR(ips[i].attribute("cy").as_double(), want.y, kPage);
    }
}

TEST_F(PlotTool, ProfileDrawsTheDesignAndGroundLines) {
    Plot("profile " + profile + " --ground " + ground);
    QZdmFile zdm;
    ASSERT_TRUE(ReadDocumentFile(zdm, profile));

    // The exaggeration the plot states is the one it draws with.
    std::smatch m;
    const std::string text = AllText();
    ASSERT_TRUE(std::regex_search(text, m, std::regex("exaggerated ([0-9]+) times"))) << text;
    EXPECT_NEAR(transform.sy / transform.sx, std::stod(m[1]), 1e-9);
    ASSERT_GT(std::stod(m[1]), 1.0);
    EXPECT_NE(text.find("Station (m)"), std::string::npos);
    EXPECT_NE(text.find("+4.000 %"), std::string::npos) << "the first grade, 10 m in 250 m";

    // Every vertex of the design line is on the design profile.
    const std::vector<Pt> design = Vertices("design-line");
    ASSERT_GT(design.size(), 150u);
    for (const Pt& v : design) {
        const Pt w = transform.ToWorld(v);
        EXPECT_NEAR(w.y, zdm.GetDesignElevation(w.x), 2e-3) << "station " << w.x;
    }
    EXPECT_NEAR(transform.ToWorld(design.front()).x, 0.0, 1e-2);
    EXPECT_NEAR(transform.ToWorld(design.back()).x, 940.0, 1e-2);

    // The ground line: its nine points with an elevation, broken at the one
    // without.
    const std::vector<Pt> groundLine = Vertices("ground-line");
    ASSERT_EQ(groundLine.size(), 9u);
    const Pt first = transform.ToWorld(groundLine[5]);
    EXPECT_NEAR(first.x, 600.0, 1e-2);
    EXPECT_NEAR(first.y, 101.0, 1e-3);
    const pugi::xml_node path = doc.select_node("//path[@class='ground-line']").node();
    EXPECT_NE(std::string(path.attribute("d").value()).find(" M "), std::string::npos);
}

// The drawing, not the stations, bounds the work: a profile 900 km long is
// drawn with no more points than one of a kilometre would need at its
// scale; stations or elevations no road has are refused by name, and nothing
// is written.
TEST_F(PlotTool, ProfileSamplingIsBoundedByTheDrawing) {
    WriteFileBytes(profile,
                   "RADUDAR5.83_ZDM_SHUJU\n3\n0.000 100.0 0 0.000 0\n"
                   "450000.000 200.0 0 0.000 0\n900000.000 100.0 0 0.000 0\n");
    Plot("profile " + profile);
    EXPECT_LE(Vertices("design-line").size(), 4100u);
    EXPECT_LT(ReadFileBytes(svg).size(), 300000u);
    std::filesystem::remove(svg);

    const struct {
        const char* rows;
        const char* says;
    } absurd[] = {
        {"0.000 100.0 0 0.000 0\n500.000 105.0 0 0.000 0\n100000000.000 110.0 0 0.000 0\n",
         "runs from station 0 to 100000000, 100000000 m; a profile longer than 10000000 m is not drawn"},
        {"-100000000000000000.000 100.0 0 0.000 0\n0.000 100.0 0 0.000 0\n500.000 105.0 0 0.000 0\n",
         "beyond 1000000000 m is not drawn"},
        {"0.000 100.0 0 0.000 0\n500.000 1000000.0 0 0.000 0\n900.000 105.0 0 0.000 0\n",
         "elevations run from 100 to 1000000"},
    };
    for (const auto& c : absurd) {
        SCOPED_TRACE(c.rows);
        WriteFileBytes(profile, std::string("RADUDAR5.83_ZDM_SHUJU\n3\n") + c.rows);
        std::string out, err;
        EXPECT_EQ(RunTool("plot profile " + profile + " -o " + svg, &out, &err), 1);
        EXPECT_NE(err.find(profile + ": the profile"), std::string::npos) << err;
        EXPECT_NE(err.find(c.says), std::string::npos) << err;
        EXPECT_FALSE(std::filesystem::exists(svg));
    }
    // A ground line far off is refused by its own name.
    WriteFileBytes(profile, kProfile);
    WriteFileBytes(ground, "RADUDAR5.83_DMX_SHUJU\n0.000 99.5\n20000000.000 103.25\n");
    std::string out, err;
    EXPECT_EQ(RunTool("plot profile " + profile + " --ground " + ground + " -o " + svg, &out, &err), 1);
    EXPECT_NE(err.find(ground + ": the ground line runs from station 0 to 20000000"), std::string::npos)
        << err;
}

TEST_F(PlotTool, SectionDrawsTheGroundPoints) {
    const std::string hdm = dir.Path("road.hdm");
    WriteFileBytes(hdm,
                   "RADUDAR5.83_HDM_SHUJU\n"
                   "100.000\n2 0 410.5 6 409.25\n3 0 410.5 4 411 12 413.5\n"
                   "140.000\n1 0 411\n1 0 411\n");
    Plot("section " + hdm + " --at 100");
    const std::vector<Pt> ground = Vertices("ground-line");
    const std::vector<Pt> want{{-6, 409.25}, {0, 410.5}, {0, 410.5}, {4, 411}, {12, 413.5}};
    ASSERT_EQ(ground.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        const Pt w = transform.ToWorld(ground[i]);
        EXPECT_NEAR(w.x, want[i].x, kPage / transform.sx);
        EXPECT_NEAR(w.y, want[i].y, kPage / transform.sy);
    }
    EXPECT_NE(AllText().find("0+100"), std::string::npos) << "the title names the station";

    std::string out, err;
    EXPECT_EQ(RunTool("plot section " + hdm + " --at 120 -o " + svg, &out, &err), 1);
    EXPECT_NE(err.find("nearest are at 100 and 140"), std::string::npos) << err;
}

}  // namespace
}  // namespace qdat::test
