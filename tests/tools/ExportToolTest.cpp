// qdat export landxml, from the user's side: the file is read back with an
// XML parser and held against the library's own answers and, for the
// profile, against the textbook parabola through the exported points.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <pugixml.hpp>
#include <sstream>
#include <string>
#include <vector>

#include <qdat/plan/QPmDoc.h>
#include <qdat/profile/QZdmFile.h>
#include "support/TestSupport.h"
#include "tools/RoadSamples.h"

namespace qdat::test {
namespace {

std::vector<double> Numbers(const char* text) {
    std::istringstream in(text);
    std::vector<double> out;
    for (double v; in >> v;) out.push_back(v);
    return out;
}

double Attr(pugi::xml_node node, const char* name) {
    const pugi::xml_attribute a = node.attribute(name);
    EXPECT_TRUE(a) << node.name() << " has no " << name;
    return std::strtod(a.value(), nullptr);
}

// A radius as LandXML gives it; "INF" is this package's 9999.
double Radius(pugi::xml_node node, const char* name) {
    const std::string text = node.attribute(name).value();
    return text == "INF" ? 9999.0 : std::strtod(text.c_str(), nullptr);
}

class ExportTool : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFileBytes(plan, kEveryElementPlan);
        WriteFileBytes(profile, kProfile);
        WriteFileBytes(ground, kGround);
    }
    // Exports with the arguments and parses the result.
    pugi::xml_node Export(const std::string& args) {
        std::string out, err;
        EXPECT_EQ(RunTool("export landxml --plan " + plan + " " + args + " -o " + xml, &out, &err), 0) << err;
        const pugi::xml_parse_result parsed = doc.load_file(xml.c_str());
        EXPECT_TRUE(parsed) << parsed.description();
        return doc.child("LandXML");
    }
    StationDefaults defaults;
    TempDir dir;
    std::string plan = dir.Path("road.pm"), profile = dir.Path("road.zdm"), ground = dir.Path("road.dmx"),
                xml = dir.Path("road.xml");
    pugi::xml_document doc;
};

TEST_F(ExportTool, GeometryAgreesWithTheAlignment) {
    const pugi::xml_node root = Export("--break 300:320 --break 700:690");
    ASSERT_TRUE(root);
    EXPECT_STREQ(root.attribute("version").value(), "1.2");
    EXPECT_STREQ(root.child("Units").child("Metric").attribute("linearUnit").value(), "meter");
    if (std::system("command -v xmllint >/dev/null 2>&1") == 0) {
        EXPECT_EQ(RunCommand("xmllint --noout " + xml), 0) << "a second parser reads it too";
    }

    QPmDoc pm;
    ASSERT_TRUE(ReadDocumentFile(pm, plan));
    PlanAlignment& alignment = pm.GetAlignment();
    ASSERT_EQ(alignment.ComputeElements(), 1);

    const pugi::xml_node node = root.child("Alignments").child("Alignment");
    EXPECT_STREQ(node.attribute("name").value(), "Every");
    EXPECT_DOUBLE_EQ(Attr(node, "staStart"), 0.0);
    EXPECT_NEAR(Attr(node, "length"), 940.0, 1e-9);

    // One element each, in order; both ends where the alignment puts them,
    // "northing easting" being X Y here.
    int index = 0;
    const char* kinds[] = {"Line", "Spiral", "Curve", "Spiral", "Curve", "Spiral",
                           "Line", "Spiral", "Curve", "Spiral", "Spiral"};
    for (pugi::xml_node e : node.child("CoordGeom").children()) {
        ASSERT_LT(index, 11);
        SCOPED_TRACE(std::to_string(index) + " " + e.name());
        EXPECT_STREQ(e.name(), kinds[index]);
        const PlanElement& el = alignment.GetElement(index);
        const double start = Attr(e, "staStart"), length = Attr(e, "length");
        EXPECT_NEAR(length, el.Length, 1e-9);
        for (const auto& [name, station] : {std::pair{"Start", start}, {"End", start + length}}) {
            StationPoint p;
            p.Station = station;
            ASSERT_EQ(alignment.PointAtStation(p), 1);
            const std::vector<double> ne = Numbers(e.child(name).text().get());
            ASSERT_EQ(ne.size(), 2u);
            EXPECT_NEAR(ne[0], p.X, 1e-6) << name;
            EXPECT_NEAR(ne[1], p.Y, 1e-6) << name;
        }
        if (std::string(e.name()) == "Line") {
            ++index;
            continue;
        }
        EXPECT_STREQ(e.attribute("rot").value(), index < 7 ? "cw" : "ccw");
        if (std::string(e.name()) == "Curve") {
            EXPECT_DOUBLE_EQ(Attr(e, "radius"), el.StartRadius);
            EXPECT_NEAR(Attr(e, "delta"), el.Length / el.StartRadius, 1e-9);
            const std::vector<double> centre = Numbers(e.child("Center").text().get());
            ASSERT_EQ(centre.size(), 2u);
            // The centre lies the radius away from both ends.
            for (const char* end : {"Start", "End"}) {
                const std::vector<double> p = Numbers(e.child(end).text().get());
                EXPECT_NEAR(std::hypot(p[0] - centre[0], p[1] - centre[1]), el.StartRadius, 1e-6) << end;
            }
        } else {
            EXPECT_STREQ(e.attribute("spiType").value(), "clothoid");
            EXPECT_DOUBLE_EQ(Radius(e, "radiusStart"), el.StartRadius);
            EXPECT_DOUBLE_EQ(Radius(e, "radiusEnd"), el.EndRadius);
            // The clothoid parameter: A^2 = L / |1/R2 - 1/R1| (1/INF = 0).
            const double k1 = el.StartRadius == 9999.0 ? 0.0 : 1.0 / el.StartRadius;
            const double k2 = el.EndRadius == 9999.0 ? 0.0 : 1.0 / el.EndRadius;
            EXPECT_NEAR(Attr(e, "constant"), std::sqrt(el.Length / std::fabs(k2 - k1)), 1e-6);
            EXPECT_NEAR(Attr(e, "constant"), el.SpiralParam, 1e-9);
        }
        ++index;
    }
    EXPECT_EQ(index, 11);
    EXPECT_STREQ(
        node.child("CoordGeom").child("Spiral").next_sibling("Spiral").attribute("radiusStart").value(),
        "300")
        << "a spiral between finite radii keeps both";

    // A station equation per break: stake 700 on the second chain is
    // continuous 680, the first break having skipped 20 m.
    std::vector<std::vector<double>> equations;
    for (pugi::xml_node eq : node.children("StaEquation"))
        equations.push_back({Attr(eq, "staBack"), Attr(eq, "staAhead"), Attr(eq, "staInternal")});
    ASSERT_EQ(equations.size(), 2u);
    EXPECT_EQ(equations[0], (std::vector<double>{300, 320, 300}));
    EXPECT_EQ(equations[1], (std::vector<double>{700, 690, 680}));
}

// The design elevation through the points of vertical intersection, as a
// textbook does it: straight grades between the points, and on a curve of
// length L at a point with grades g1 in and g2 out the parabola
// z = zBVC + g1 x + (g2 - g1) x^2 / (2 L).
struct Pvi {
    double station, elevation, length;
};

double TextbookElevation(const std::vector<Pvi>& pvis, double s) {
    auto grade = [&](std::size_t a, std::size_t b) {
        return (pvis[b].elevation - pvis[a].elevation) / (pvis[b].station - pvis[a].station);
    };
    for (std::size_t i = 1; i + 1 < pvis.size(); ++i) {
        const Pvi& p = pvis[i];
        if (p.length > 0 && std::fabs(s - p.station) <= p.length / 2) {
            const double g1 = grade(i - 1, i), g2 = grade(i, i + 1);
            const double x = s - (p.station - p.length / 2);
            return p.elevation - g1 * p.length / 2 + g1 * x + (g2 - g1) * x * x / (2 * p.length);
        }
    }
    for (std::size_t i = 0; i + 1 < pvis.size(); ++i) {
        if (s >= pvis[i].station && s < pvis[i + 1].station)
            return pvis[i].elevation + grade(i, i + 1) * (s - pvis[i].station);
    }
    return NAN;
}

TEST_F(ExportTool, ProfileReproducesTheDesignElevations) {
    const pugi::xml_node root = Export("--profile " + profile + " --ground " + ground);
    const pugi::xml_node prof = root.child("Alignments").child("Alignment").child("Profile");
    ASSERT_TRUE(prof);

    // The step at 650 ends the first ProfAlign and starts the second: no
    // ProfAlign has two points at one station.
    std::vector<std::vector<Pvi>> parts;
    for (pugi::xml_node align : prof.children("ProfAlign")) {
        parts.emplace_back();
        for (pugi::xml_node n : align.children()) {
            const std::vector<double> v = Numbers(n.text().get());
            ASSERT_EQ(v.size(), 2u);
            const bool curve = std::string(n.name()) == "ParaCurve";
            ASSERT_TRUE(curve || std::string(n.name()) == "PVI") << n.name();
            if (!parts.back().empty()) {
                ASSERT_GT(v[0], parts.back().back().station) << "strictly increasing";
            }
            parts.back().push_back({v[0], v[1], curve ? Attr(n, "length") : 0.0});
        }
    }
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_STREQ(prof.child("ProfAlign").attribute("name").value(), "road.zdm, 0 to 650");
    EXPECT_STREQ(prof.child("ProfAlign").next_sibling("ProfAlign").attribute("name").value(),
                 "road.zdm, 650 to 940");
    ASSERT_EQ(parts[0].size(), 4u);
    ASSERT_EQ(parts[1].size(), 3u);
    EXPECT_EQ(parts[0].back().station, 650.0);
    EXPECT_EQ(parts[1].front().station, 650.0);
    // 104 at 520, then (112.5 - 0.4 - 104) / 240 per metre for 130 m.
    EXPECT_NEAR(parts[0].back().elevation, 104.0 + 8.1 / 240 * 130, 1e-9);
    EXPECT_NEAR(parts[1].front().elevation - parts[0].back().elevation, 0.4, 1e-12);
    std::vector<Pvi> pvis = parts[0];
    // Curve lengths: 2T = R |g1 - g2|, from the points themselves.
    EXPECT_NEAR(pvis[1].length, 5000 * (10.0 / 250 + 6.0 / 270), 1e-9);

    QZdmFile zdm;
    ASSERT_TRUE(ReadDocumentFile(zdm, profile));
    for (int k = 0; k < 20; ++k) {
        const double s = 3.0 + 46.7 * k;  // 3 to 890.3, through every curve
        EXPECT_NEAR(TextbookElevation(parts[s < 650 ? 0 : 1], s), zdm.GetDesignElevation(s), 1e-6)
            << "station " << s;
    }

    // The ground line: its points with an elevation, "station elevation",
    // a list each side of the point at 500 that has none.
    std::vector<std::vector<double>> ground;
    for (pugi::xml_node list : prof.child("ProfSurf").children("PntList2D"))
        ground.push_back(Numbers(list.text().get()));
    ASSERT_EQ(ground.size(), 2u);
    ASSERT_EQ(ground[0].size(), 10u);
    ASSERT_EQ(ground[1].size(), 8u);
    EXPECT_EQ(ground[0][8], 400.0);
    EXPECT_EQ(ground[0][9], 104.75);
    EXPECT_EQ(ground[1][0], 600.0);
}

// An alignment of intersection points is named after the project's road, else
// after its file, and its elements have the lengths the file gives them.
TEST_F(ExportTool, IntersectionPointsKeepTheirOwnLengthsAndAName) {
    const std::string examples = std::string(QDAT_SOURCE_DIR) + "/examples/";
    plan = examples + "demo-road.jd";
    pugi::xml_node node = Export("").child("Alignments").child("Alignment");
    EXPECT_STREQ(node.attribute("name").value(), "demo-road");
    // JD1 in the file: spirals of 120 either side of its arc. The straights
    // and the arc follow from the points.
    std::vector<std::string> spirals;
    for (pugi::xml_node e : node.child("CoordGeom").children("Spiral"))
        spirals.push_back(e.attribute("length").value());
    EXPECT_EQ(spirals, (std::vector<std::string>{"120", "120"}));
    EXPECT_NEAR(Attr(node.child("CoordGeom").child("Curve"), "length"), 500.00000001, 1e-7);
    EXPECT_NEAR(Attr(node, "length"), 1720.0, 1e-7);

    node = Export("--project " + examples + "demo-road.prj").child("Alignments").child("Alignment");
    EXPECT_STREQ(node.attribute("name").value(), "Demo road");
}

// What LandXML cannot hold, or what lies off the alignment, is refused:
// nothing is written, the exit says so.
TEST_F(ExportTool, RefusesWhatItCannotWriteWhole) {
    std::string out, err;
    EXPECT_EQ(RunTool("export landxml --plan " + plan + " --break 2000:2010 -o " + xml, &out, &err), 1);
    EXPECT_NE(err.find("2000:2010"), std::string::npos) << err;
    EXPECT_NE(err.find("off the alignment (0 to 940)"), std::string::npos) << err;
    EXPECT_FALSE(std::filesystem::exists(xml));

    // A step at 255, inside the crest curve at 250.
    std::string inCurve = kProfile;
    inCurve.replace(inCurve.find("250.000 110.0 5000 0.000 0"), 26, "250.000 110.0 5000 255.000 0.3");
    WriteFileBytes(profile, inCurve);
    EXPECT_EQ(RunTool("export landxml --plan " + plan + " --profile " + profile + " -o " + xml, &out, &err),
              1);
    EXPECT_NE(err.find("the step at station 255 is not on a tangent"), std::string::npos) << err;
    EXPECT_FALSE(std::filesystem::exists(xml));
}

TEST_F(ExportTool, RefusesWrongInputsAndKeepsThem) {
    std::string out, err;
    EXPECT_EQ(RunTool("export landxml --plan " + ground + " -o " + xml, &out, &err), 1);
    EXPECT_NE(err.find("not a plan element or intersection-point file"), std::string::npos) << err;
    const std::string before = ReadFileBytes(profile);
    EXPECT_EQ(
        RunTool("export landxml --plan " + plan + " --profile " + profile + " -o " + profile, &out, &err), 1);
    EXPECT_EQ(ReadFileBytes(profile), before);
    EXPECT_EQ(RunTool("export landxml -o " + xml, &out, &err), 2) << "--plan is required";
}

// An output is written as a save writes: through a link, keeping its mode;
// a pipe and a file the user may not write are refused and stay as they
// were; a missing folder is named as the system names it; "-" is standard
// output. The same for plots.
TEST_F(ExportTool, OutputsAreWrittenAsASaveWrites) {
    std::string out, err;
    const std::string exportTo = "export landxml --plan " + plan + " -o ";
    const std::string plotTo = "plot plan " + plan + " -o ";
    const std::string inDir = "cd " + dir.Root().string() + " && " + QDAT_TOOL + " ";
    ASSERT_EQ(RunCommand(inDir + exportTo + "-", &out, &err), 0) << err;
    EXPECT_NE(out.find("<LandXML"), std::string::npos);
    ASSERT_EQ(RunCommand(inDir + plotTo + "-", &out, &err), 0) << err;
    EXPECT_NE(out.find("<svg"), std::string::npos);
    ASSERT_EQ(RunCommand(inDir + "convert " + plan + " -o -", &out, &err), 0) << err;
    EXPECT_EQ(out.rfind("RADUDAR", 0), 0u) << out;
    EXPECT_FALSE(std::filesystem::exists(dir.Path("-")));

    WriteFileBytes(xml, "old");
    ASSERT_EQ(::chmod(xml.c_str(), 0600), 0);
    const std::string link = dir.Path("link.xml");
    ASSERT_EQ(::symlink("road.xml", link.c_str()), 0);
    ASSERT_EQ(RunTool(exportTo + link, &out, &err), 0) << err;
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_NE(ReadFileBytes(xml).find("<LandXML"), std::string::npos);
    struct stat st;
    ASSERT_EQ(::stat(xml.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);

    const std::string pipe = dir.Path("pipe.svg");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
    EXPECT_EQ(RunTool(plotTo + pipe, &out, &err), 1);
    EXPECT_NE(err.find(pipe + ": it is not a regular file"), std::string::npos) << err;
    ASSERT_EQ(::lstat(pipe.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    // A read-only file in a folder anyone may write, written by another user
    // when the tests run as root, who may write anything.
    ASSERT_EQ(::chmod(dir.Root().c_str(), 0777), 0);
    const std::string locked = dir.Path("locked.svg");
    WriteFileBytes(locked, "old");
    ASSERT_EQ(::chmod(locked.c_str(), 0444), 0);
    const std::string asOther = ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
    EXPECT_EQ(RunCommand(asOther + QDAT_TOOL + " " + plotTo + locked, &out, &err), 1);
    EXPECT_NE(err.find("Permission denied"), std::string::npos) << err;
    EXPECT_EQ(ReadFileBytes(locked), "old");

    EXPECT_EQ(RunTool(exportTo + dir.Path("none/road.xml"), &out, &err), 1);
    EXPECT_NE(err.find(dir.Path("none/road.xml") + ": No such file or directory"), std::string::npos) << err;
}

}  // namespace
}  // namespace qdat::test
