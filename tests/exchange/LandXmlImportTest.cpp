// The LandXML import in-process: files written here by hand for each
// construct, their expected values computed in the test (clothoids integrated
// numerically, parabolas from the textbook), the examples exported and read
// back, the refusals, and damaged files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <pugixml.hpp>
#include <sstream>

#include <qdat/exchange/AlignmentOf.h>
#include <qdat/exchange/ExchangeError.h>
#include <qdat/exchange/LandXml.h>
#include <qdat/exchange/LandXmlImport.h>
#include <qdat/host/Context.h>
#include <qdat/plan/JdList.h>
#include <qdat/plan/QPmDoc.h>
#include <qdat/project/PrjFile.h>
#include <qdat/project/SettingKeyRegistry.h>
#include "support/TestSupport.h"

namespace qdat {
namespace {

using test::RecordingUi;
using test::StationDefaults;
using test::TempDir;

const std::string kExamples = std::string(QDAT_SOURCE_DIR) + "/examples/";
constexpr double kPi = std::numbers::pi;

std::string N(double v) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

// A position and direction along an alignment (azimuth clockwise from X).
struct Pose {
    double x, y, az;
};

// Walks a length along a curvature that changes linearly from k0 to k1
// (turning right for turn +1), by Simpson's rule on the heading.
Pose Walk(Pose p, double length, double k0, double k1, int turn) {
    const auto heading = [&](double s) {
        return p.az + turn * (k0 * s + (k1 - k0) * s * s / (2.0 * length));
    };
    const int n = 4000;
    const double h = length / n;
    double sx = 0.0, sy = 0.0;
    for (int i = 0; i <= n; ++i) {
        const double w = (i == 0 || i == n) ? 1.0 : (i % 2 ? 4.0 : 2.0);
        sx += w * std::cos(heading(i * h));
        sy += w * std::sin(heading(i * h));
    }
    return {p.x + sx * h / 3.0, p.y + sy * h / 3.0, heading(length)};
}

std::string Pt(const char* tag, double x, double y) {
    return std::string("<") + tag + ">" + N(x) + " " + N(y) + "</" + tag + ">";
}

// Where the tangents at two poses meet.
std::pair<double, double> TangentsMeet(Pose a, Pose b) {
    const double c1 = std::cos(a.az), s1 = std::sin(a.az), c2 = std::cos(b.az), s2 = std::sin(b.az);
    const double t = ((b.x - a.x) * s2 - (b.y - a.y) * c2) / (c1 * s2 - s1 * c2);
    return {a.x + t * c1, a.y + t * s1};
}

double AzimuthDiff(double a, double b) {
    return std::remainder(a - b, 2.0 * kPi);
}

class LandXmlImportTest : public ::testing::Test {
protected:
    RecordingUi ui;
    ScopedUi scoped{ui};
    StationDefaults defaults;
};

// A line, a clothoid from the straight, an arc given only by its points, a
// clothoid between two radii, an arc with a signed radius, a clothoid to the
// straight without rot (its PI says it), a line; two station equations, one
// without staBack, before and after CoordGeom; a prefixed namespace and a
// byte-order mark.
TEST_F(LandXmlImportTest, HandWrittenElementsMatchTheIntegratedClothoids) {
    // Points to the last bit, and rounded to millimetres as many programs write them.
    for (const bool rounded : {false, true}) {
        const auto Pt = [rounded](const char* tag, double x, double y) {
            if (!rounded) return qdat::Pt(tag, x, y);
            char text[80];
            std::snprintf(text, sizeof text, "<%s>%.3f %.3f</%s>", tag, x, y, tag);
            return std::string(text);
        };
        const double tol = rounded ? 1e-3 : 1e-6, angleTol = rounded ? 3e-5 : 1e-9;
        const Pose p0{1000.0, 2000.0, 0.3};
        const Pose p1 = Walk(p0, 100, 0, 0, 1);
        const Pose p2 = Walk(p1, 60, 0, 1 / 300.0, 1);
        const Pose p3 = Walk(p2, 50, 1 / 300.0, 1 / 300.0, 1);
        const Pose p4 = Walk(p3, 40, 1 / 300.0, 1 / 200.0, 1);
        const Pose p5 = Walk(p4, 30, 1 / 200.0, 1 / 200.0, 1);
        const Pose p6 = Walk(p5, 50, 1 / 200.0, 0, 1);
        const Pose p7 = Walk(p6, 80, 0, 0, 1);
        const double cx = p2.x + 300 * std::cos(p2.az + kPi / 2), cy = p2.y + 300 * std::sin(p2.az + kPi / 2);
        const auto [pix, piy] = TangentsMeet(p5, p6);
        const std::string xml =
            "\xEF\xBB\xBF<?xml version=\"1.0\"?>\n"
            "<lx:LandXML xmlns:lx=\"http://www.landxml.org/schema/LandXML-1.1\" version=\"1.1\">\n"
            "<lx:Units><lx:Metric linearUnit=\"meter\" angularUnit=\"decimal degrees\" "
            "directionUnit=\"decimal degrees\"/></lx:Units>\n"
            "<lx:Alignments><lx:Alignment name=\"Hand\" staStart=\"500\" length=\"410\">\n"
            "<lx:StaEquation staInternal=\"700\" staAhead=\"740\"/>\n<lx:CoordGeom>\n"
            "<lx:Line staStart=\"500\" length=\"100\" dir=\"17.2\">" +
            Pt("lx:Start", p0.x, p0.y) + Pt("lx:End", p1.x, p1.y) +
            "</lx:Line>\n<lx:Spiral length=\"60\" radiusStart=\"INF\" radiusEnd=\"300\" rot=\"cw\" "
            "spiType=\"clothoid\">" +
            Pt("lx:Start", p1.x, p1.y) + Pt("lx:End", p2.x, p2.y) + "</lx:Spiral>\n<lx:Curve rot=\"cw\">" +
            Pt("lx:Start", p2.x, p2.y) + Pt("lx:Center", cx, cy) + Pt("lx:End", p3.x, p3.y) +
            "</lx:Curve>\n<lx:Spiral length=\"40\" radiusStart=\"300\" radiusEnd=\"200\" rot=\"cw\" "
            "spiType=\"clothoid\">" +
            Pt("lx:Start", p3.x, p3.y) + Pt("lx:End", p4.x, p4.y) +
            "</lx:Spiral>\n<lx:Curve rot=\"cw\" radius=\"-200\" length=\"30\">" + Pt("lx:Start", p4.x, p4.y) +
            Pt("lx:End", p5.x, p5.y) +
            "</lx:Curve>\n<lx:Spiral length=\"50\" radiusStart=\"200\" radiusEnd=\"INF\">" +
            Pt("lx:Start", p5.x, p5.y) + Pt("lx:PI", pix, piy) + Pt("lx:End", p6.x, p6.y) +
            "</lx:Spiral>\n<lx:Line length=\"80\">" + Pt("lx:Start", p6.x, p6.y) + Pt("lx:End", p7.x, p7.y) +
            "</lx:Line>\n</lx:CoordGeom>\n<lx:StaEquation staBack=\"600\" staAhead=\"650\" "
            "staInternal=\"600\"/>\n"
            "</lx:Alignment></lx:Alignments></lx:LandXML>\n";

        const ImportedAlignment a = ReadLandXmlAlignment(xml, "hand.xml", "");
        SCOPED_TRACE(rounded ? "rounded" : "exact");
        EXPECT_EQ(a.name, "Hand");
        EXPECT_TRUE(a.notes.empty()) << a.notes.front();
        ASSERT_EQ(a.plan.ElementCount, 7);
        const Pose ends[] = {p1, p2, p3, p4, p5, p6, p7};
        const double lengths[] = {100, 60, 50, 40, 30, 50, 80};
        const int types[] = {PlanElement::Straight,       PlanElement::SpiralIn, PlanElement::Arc,
                             PlanElement::SpiralTightens, PlanElement::Arc,      PlanElement::SpiralOut,
                             PlanElement::Straight};
        double station = 500;
        for (int i = 0; i < 7; ++i) {
            const PlanElement& e = a.plan.GetElement(i);
            EXPECT_EQ(e.Type, types[i]) << i;
            EXPECT_NEAR(e.StartStation.GetValue(), station, tol) << i;
            EXPECT_NEAR(e.Length, lengths[i], tol) << i;
            EXPECT_NEAR(e.EndX, ends[i].x, tol) << i;
            EXPECT_NEAR(e.EndY, ends[i].y, tol) << i;
            EXPECT_NEAR(AzimuthDiff(e.EndAzimuth, ends[i].az), 0.0, angleTol) << i;
            if (e.Type != PlanElement::Straight) {
                EXPECT_EQ(e.Turn, 1) << i;
            }
            station += lengths[i];
        }
        EXPECT_NEAR(a.plan.GetElement(2).StartRadius, 300.0, tol);  // from the points alone
        // staBack 600 at 600; then 700 is stake 750 (the first equation's 50 on).
        ASSERT_EQ(a.chain.GetBreakCount(), 2);
        EXPECT_EQ(a.chain.GetBreak(0), ChainBreak(600, 650));
        EXPECT_EQ(a.chain.GetBreak(1), ChainBreak(750, 740));
        EXPECT_NEAR(a.chain.BreakStartStation(1).GetValue(), 700.0, 1e-9);

        // Its intersection points cannot hold the spiral between two radii.
        try {
            IntersectionPointsOf(a);
            FAIL() << "a spiral between two radii has no intersection-point form";
        } catch (const ExchangeError& e) {
            EXPECT_NE(std::string(e.what()).find("station 710.000"), std::string::npos) << e.what();
        }
    }
}

// Lengths in US survey feet and feet become metres, angles in dd.mm.ss
// radians; a ParaCurve's radius is its length over the change of grade; two
// point lists of a ground line have a gap between them.
TEST_F(LandXmlImportTest, FeetAreConvertedAndTheUserIsTold) {
    for (const auto& [unit, metres] :
         {std::pair{"USSurveyFoot", 1200.0 / 3937.0}, std::pair{"foot", 0.3048}}) {
        // A curve of 1000 ft turning left through 5 degrees 42'30" after a line.
        const double delta = (5 + 42 / 60.0 + 30 / 3600.0) * kPi / 180;
        const Pose p1{300, 400, std::atan2(400.0, 300.0)};
        const Pose p2 = Walk(p1, 1000 * delta, 1 / 1000.0, 1 / 1000.0, -1);
        const std::string xml =
            std::string(
                "<LandXML xmlns=\"http://www.landxml.org/schema/LandXML-1.2\"><Units><Imperial "
                "linearUnit=\"") +
            unit +
            "\" angularUnit=\"decimal dd.mm.ss\" directionUnit=\"decimal dd.mm.ss\"/></Units>"
            "<Alignments><Alignment name=\"F\" staStart=\"1000\"><CoordGeom>"
            "<Line staStart=\"1000\"><Start>0 0</Start><End>300 400</End></Line>"
            "<Curve rot=\"ccw\" radius=\"1000\" delta=\"5.4230\">" +
            Pt("Start", p1.x, p1.y) + Pt("End", p2.x, p2.y) +
            "</Curve></CoordGeom><Profile><ProfAlign name=\"P\"><PVI>1000 100</PVI>"
            "<ParaCurve length=\"400\">1300 106</ParaCurve><PVI>1600 100</PVI></ProfAlign>"
            "<ProfSurf name=\"G\"><PntList2D>1000 99 1100 101</PntList2D><PntList2D>1300 104 1600 "
            "98</PntList2D></ProfSurf></Profile></Alignment></Alignments></LandXML>";
        const ImportedAlignment a = ReadLandXmlAlignment(xml, "feet.xml", "F");
        ASSERT_EQ(a.plan.ElementCount, 2) << unit;
        EXPECT_NEAR(a.plan.GetStartStation().GetValue(), 1000 * metres, 1e-9);
        EXPECT_NEAR(a.plan.GetElement(0).Length, 500 * metres, 1e-9);
        EXPECT_NEAR(a.plan.GetElement(1).Length, 1000 * delta * metres, 1e-9);
        EXPECT_NEAR(a.plan.GetElement(1).EndX, p2.x * metres, 1e-6);
        EXPECT_NEAR(a.plan.GetElement(1).EndY, p2.y * metres, 1e-6);
        EXPECT_EQ(a.plan.GetElement(1).Turn, -1);
        ASSERT_EQ(a.profile.GetSize(), 3);
        EXPECT_NEAR(a.profile[1].Elevation, 106 * metres, 1e-9);
        EXPECT_NEAR(a.profile[1].Radius, 400 * metres / 0.04, 1e-6);
        ASSERT_EQ(a.ground.GetSize(), 5);
        EXPECT_FALSE(a.ground[2].HasElevation());
        EXPECT_NEAR(a.ground[2].m_station.GetValue(), 1200 * metres, 1e-9);
        EXPECT_NEAR(a.ground[4].m_elevation, 98 * metres, 1e-9);
        ASSERT_FALSE(a.notes.empty());
        EXPECT_NE(a.notes[0].find(std::string("lengths in ") + unit), std::string::npos) << a.notes[0];

        // Written, the stations keep their metres: the files take the
        // decimals they need, and the project says how many.
        TempDir dir;
        test::WriteFileBytes(dir.Path("f.xml"), xml);
        ImportLandXml(
            dir.Path("f.xml"),
            {.profile = dir.Path("f.zdm"), .ground = dir.Path("f.dmx"), .project = dir.Path("f.prj")});
        PrjFile project;
        ASSERT_TRUE(project.ReadProject(dir.Path("f.prj")));
        // 1300 ft are 396.24 m but 396.240792... US survey metres.
        EXPECT_EQ(project.GetSetting(SettingKeyRegistry::kStationPrecision), metres == 0.3048 ? "3" : "6");
        QZdmFile zdm;
        DmxFile dmx;
        ASSERT_TRUE(ReadDocumentFile(zdm, dir.Path("f.zdm")));
        ASSERT_TRUE(ReadDocumentFile(dmx, dir.Path("f.dmx")));
        EXPECT_NEAR(zdm.GetGradePointArray()[1].Station.GetValue(), 1300 * metres, 1e-6);
        EXPECT_NEAR(zdm.GetGradePointArray()[1].Elevation, 106 * metres, 1e-6);
        EXPECT_NEAR(dmx.GetPointArray()[4].m_station.GetValue(), 1600 * metres, 1e-6);
        EXPECT_NEAR(dmx.GetPointArray()[4].m_elevation, 98 * metres, 1e-6);
    }
}

// A profile in two ProfAlign parts with a step between them on a tangent, a
// ParaCurve and a CircCurve whose length is its arc; the elevations against
// the textbook parabola (E = T^2 / 2R at the point of intersection).
TEST_F(LandXmlImportTest, ProfilePartsJoinAtAStepAndCurvesKeepTheirRadius) {
    const double arc = 4000 * 2 * std::atan(0.02);
    const std::string xml =
        "<LandXML><Alignments><Alignment name=\"A\"><CoordGeom><Line staStart=\"0\"><Start>0 0</Start>"
        "<End>1000 0</End></Line></CoordGeom><Profile name=\"A\">"
        "<ProfAlign name=\"A1\"><PVI>0 100</PVI><ParaCurve length=\"200\">300 106</ParaCurve><PVI>500 "
        "102</PVI></ProfAlign>"
        "<ProfAlign name=\"A2\"><PVI>500 103</PVI><CircCurve radius=\"4000\" length=\"" +
        N(arc) +
        "\">700 99</CircCurve><PVI>1000 105</PVI></ProfAlign>"
        "<ProfAlign name=\"Other\"><PVI>0 50</PVI><PVI>1000 60</PVI></ProfAlign>"
        "</Profile></Alignment></Alignments></LandXML>";
    const ImportedAlignment a = ReadLandXmlAlignment(xml, "p.xml", "");
    ASSERT_EQ(a.profile.GetSize(), 4);
    EXPECT_EQ(a.profileName, "A1");
    EXPECT_NEAR(a.profile[1].Radius, 5000, 1e-9);
    EXPECT_NEAR(a.profile[1].StepStation.GetValue(), 500, 1e-12);
    EXPECT_NEAR(a.profile[1].StepHeight, 1.0, 1e-12);
    EXPECT_NEAR(a.profile[2].Radius, 4000, 1e-9);
    QZdmFile zdm;
    zdm.GetGradePointArray() = a.profile;
    zdm.Recalculate();
    EXPECT_NEAR(zdm.GetDesignElevation(300), 106 - 100.0 * 100 / (2 * 5000), 1e-9);
    EXPECT_NEAR(zdm.GetDesignElevation(450), 106 - 0.02 * 150, 1e-9);
    EXPECT_NEAR(zdm.GetDesignElevation(600), 103 - 0.02 * 100, 1e-9);
    EXPECT_NEAR(zdm.GetDesignElevation(700), 99 + 80.0 * 80 / (2 * 4000), 1e-9);
    // Curves that overlap are kept as the file has them, and told.
    const ImportedAlignment overlap = ReadLandXmlAlignment(
        "<LandXML><Alignments><Alignment name=\"O\"><CoordGeom><Line><Start>0 0</Start><End>400 "
        "0</End></Line>"
        "</CoordGeom><Profile><ProfAlign><PVI>0 0</PVI><ParaCurve length=\"200\">100 2</ParaCurve><ParaCurve "
        "length=\"200\">200 0</ParaCurve><PVI>300 "
        "2</PVI></ProfAlign></Profile></Alignment></Alignments></LandXML>",
        "o.xml", "");
    ASSERT_EQ(overlap.notes.size(), 1u);
    EXPECT_NE(overlap.notes[0].find("curves at stations 100.000 and 200.000 overlap"), std::string::npos);
    EXPECT_NEAR(overlap.profile[1].Radius, 200 / 0.04, 1e-9);
    // The circle and the parabola part by x^4 / 8R^3 at most (8e-5 m): told.
    ASSERT_EQ(a.notes.size(), 1u);
    EXPECT_NE(a.notes[0].find("circular vertical curve at station 700.000"), std::string::npos) << a.notes[0];

    const ImportedAlignment other = ReadLandXmlAlignment(xml, "p.xml", "A", "Other");
    ASSERT_EQ(other.profile.GetSize(), 2);
    EXPECT_EQ(other.profile[1].Elevation, 60);
    EXPECT_THROW(ReadLandXmlAlignment(xml, "p.xml", "A", "Missing"), ExchangeError);
}

// Every construct the package cannot hold is refused by name, with its line.
TEST_F(LandXmlImportTest, RefusalsNameTheElementAndItsLine) {
    const std::string line = "<Line staStart=\"0\"><Start>0 0</Start><End>100 0</End></Line>";
    const auto file = [](const std::string& geometry, const std::string& rest = "") {
        return "<?xml version=\"1.0\"?>\n<LandXML>\n<Alignments>\n<Alignment name=\"R\">\n<CoordGeom>\n" +
               geometry + "\n</CoordGeom>\n" + rest + "\n</Alignment>\n</Alignments>\n</LandXML>\n";
    };
    const struct {
        std::string xml;
        const char* said;
    } cases[] = {
        {file(line + "<Spiral length=\"50\" radiusStart=\"INF\" radiusEnd=\"300\" rot=\"cw\" "
                     "spiType=\"cubicParabola\"><Start>100 0</Start><End>150 1</End></Spiral>"),
         "line 6 (Spiral): the cubicParabola spiral at station 100.000 cannot be represented"},
        {file(line + "<IrregularLine><Start>100 0</Start><End>150 1</End></IrregularLine>"),
         "line 6 (IrregularLine): <IrregularLine> at station 100.000 cannot be represented"},
        {file(line,
              "<Profile><ProfAlign><PVI>0 1</PVI><UnsymParaCurve lengthIn=\"10\" lengthOut=\"20\">50 "
              "2</UnsymParaCurve><PVI>100 1</PVI></ProfAlign></Profile>"),
         "(UnsymParaCurve): the unsymmetric vertical curve at station 50.000"},
        {file(line, "<StaEquation staInternal=\"50\" staAhead=\"40\" staIncrement=\"decreasing\"/>"),
         "line 8 (StaEquation): stations that decrease"},
        {file(line, "<StaEquation staInternal=\"50\" staBack=\"52\" staAhead=\"60\"/>"),
         "staBack 52.000 is not the station the alignment has at staInternal 50.000 (50.000)"},
        {file("<Curve rot=\"cw\" radius=\"9999\" length=\"10\"><Start>0 0</Start><End>10 0</End></Curve>"),
         "a radius of 9999 m means a straight"},
        {file("<Line><Start>0 0</Start><End>x 0</End></Line>"), "line 6 (End): \"x\" is not a number"},
        {"<?xml version=\"1.0\"?>\n<Project/>\n", "is not a LandXML file (its root element is <Project>)"},
        {file(line).substr(0, 90), "line 6: not well-formed XML"},
    };
    for (const auto& c : cases) {
        try {
            ReadLandXmlAlignment(c.xml, "r.xml", "");
            ADD_FAILURE() << "accepted: " << c.xml;
        } catch (const ExchangeError& e) {
            EXPECT_NE(std::string(e.what()).find(c.said), std::string::npos) << e.what();
        }
    }
    EXPECT_THROW(ReadLandXmlAlignment(file(line), "r.xml", "Other"), ExchangeError);
}

// A corner between two lines stays a corner, and is told; rounded points
// that meet within a millimetre are no gap, a larger one is told and kept.
TEST_F(LandXmlImportTest, CornersAndGapsAreToldNotSmoothed) {
    const std::string xml =
        "<LandXML><Alignments><Alignment name=\"C\" staStart=\"-20\"><CoordGeom>"
        "<Line><Start>0 0</Start><End>100 0</End></Line>"
        "<Line length=\"0\"><Start>100 0</Start><End>100 0</End></Line>"
        "<Line><Start>100.0004 0</Start><End>200 100</End></Line>"
        "<Line><Start>200.01 100</Start><End>300 200</End></Line>"
        "</CoordGeom></Alignment></Alignments></LandXML>";
    const ImportedAlignment a = ReadLandXmlAlignment(xml, "c.xml", "C");
    ASSERT_EQ(a.plan.ElementCount, 3);  // the element of no length is left out
    EXPECT_NEAR(a.plan.GetElement(0).StartStation.GetValue(), -20, 1e-12);
    EXPECT_NEAR(a.plan.GetElement(1).StartAzimuth, std::atan2(100, 99.9996), 1e-12);
    EXPECT_NEAR(a.plan.GetElement(2).StartX, 200.01, 1e-12);
    ASSERT_EQ(a.notes.size(), 2u);
    EXPECT_NE(a.notes[0].find("a corner of 45.0001 degrees at station 80.000"), std::string::npos)
        << a.notes[0];
    EXPECT_NE(a.notes[1].find("a gap of 10.0 mm"), std::string::npos) << a.notes[1];

    // The corner is a point without a curve; the gap cannot be held.
    EXPECT_THROW(IntersectionPointsOf(a), ExchangeError);
    ImportedAlignment corner = a;
    corner.plan.ElementCount = 2;
    const JdList points = IntersectionPointsOf(corner);
    ASSERT_EQ(points.Points.GetSize(), 3);
    EXPECT_EQ(points.Points[1].Radius, 0.0);
    EXPECT_NEAR(points.Points[1].X, 100.0004, 1e-9);
}

// An alignment given only by its intersection points (AlignPIs, the point
// inline or inside PI, the curve and spirals inside) is the alignment the
// demo road's elements are.
TEST_F(LandXmlImportTest, AlignPisGiveTheIntersectionPoints) {
    QJdDoc jd;
    QPmDoc pm;
    ASSERT_TRUE(ReadDocumentFile(jd, kExamples + "demo-road.jd"));
    ASSERT_TRUE(ReadDocumentFile(pm, kExamples + "demo-road.pm"));
    const PlanAlignment& want = AlignmentOf(pm, "demo-road.pm").Alignment();
    const GrowArray<JdPoint>& p = jd.GetList().Points;
    ASSERT_EQ(p.GetSize(), 3);
    const std::string xml = "<LandXML><Alignments><Alignment name=\"P\"><AlignPIs><AlignPI>" + N(p[0].X) +
                            " " + N(p[0].Y) + "</AlignPI><AlignPI>" + Pt("PI", p[1].X, p[1].Y) +
                            "<InSpiral><Spiral length=\"" + N(p[1].SpiralLength1) +
                            "\"/></InSpiral><Curve1><Curve radius=\"" + N(p[1].Radius) +
                            "\"/></Curve1><OutSpiral><Spiral length=\"" + N(p[1].SpiralLength2) +
                            "\"/></OutSpiral></AlignPI><AlignPI>" + Pt("PI", p[2].X, p[2].Y) +
                            "</AlignPI></AlignPIs></Alignment></Alignments></LandXML>";
    const ImportedAlignment a = ReadLandXmlAlignment(xml, "pis.xml", "");
    ASSERT_TRUE(a.pointsOnly);
    EXPECT_EQ(IntersectionPointsOf(a).Points.GetSize(), 3);
    ASSERT_EQ(a.plan.ElementCount, 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(a.plan.GetElement(i).Type, want.GetElement(i).Type) << i;
        EXPECT_NEAR(a.plan.GetElement(i).EndX, want.GetElement(i).EndX, 1e-6) << i;
        EXPECT_NEAR(a.plan.GetElement(i).EndY, want.GetElement(i).EndY, 1e-6) << i;
        EXPECT_NEAR(a.plan.GetElement(i).EndStation.GetValue(), want.GetElement(i).EndStation.GetValue(),
                    1e-6);
    }

    // Beside the elements, the file's points (rounded to millimetres) are
    // the intersection points where they make the same alignment; one moved
    // by a metre does not, which is told.
    for (const double moved : {0.0, 1.0}) {
        pugi::xml_document built;
        BuildLandXml({.name = "E", .alignment = &want}, built);
        pugi::xml_node pis =
            built.child("LandXML").child("Alignments").child("Alignment").append_child("AlignPIs");
        for (int i = 0; i < 3; ++i) {
            char text[64];
            std::snprintf(text, sizeof text, "%.3f %.3f", p[i].X + (i == 1 ? moved : 0.0), p[i].Y);
            pis.append_child("AlignPI").append_child("PI").text().set(text);
        }
        std::ostringstream out;
        built.save(out);
        const ImportedAlignment e = ReadLandXmlAlignment(out.str(), "e.xml", "");
        std::vector<std::string> notes;
        const JdList points = IntersectionPointsOf(e, &notes);
        ASSERT_EQ(points.Points.GetSize(), 3);
        EXPECT_EQ(notes.size(), moved == 0.0 ? 0u : 1u);
        EXPECT_NEAR(points.Points[1].X, p[1].X, moved == 0.0 ? 0.0005 : 1e-8);
        if (moved == 0.0) {
            EXPECT_EQ(points.Points[1].X, std::round(p[1].X * 1000) / 1000);
        }
        EXPECT_NEAR(points.Points[1].Radius, p[1].Radius, 1e-9);
    }
}

// The examples exported with their profile, ground line and two chain
// breaks, read back: the same elements, profile, ground line, chain table
// and intersection points.
TEST_F(LandXmlImportTest, ExportedExamplesReadBackTheSame) {
    QZdmFile zdm;
    DmxFile dmx;
    ASSERT_TRUE(ReadDocumentFile(zdm, kExamples + "demo-road.zdm"));
    ASSERT_TRUE(ReadDocumentFile(dmx, kExamples + "demo-road.dmx"));
    ChainTable chain;
    chain.AddBreak(600, 650);
    chain.AddBreak(900, 880);
    for (const char* example : {"demo-road.pm", "demo-road.jd", "demo-corners.jd"}) {
        std::unique_ptr<QDocument> doc;
        if (std::string(example).ends_with(".pm"))
            doc = std::make_unique<QPmDoc>();
        else
            doc = std::make_unique<QJdDoc>();
        ASSERT_TRUE(ReadDocumentFile(*doc, kExamples + example));
        DocumentAlignment source = AlignmentOf(*doc, example);
        const PlanAlignment& b = source.Alignment();
        const bool demo = std::string(example).starts_with("demo-road");
        LandXmlSource x{.name = "Road", .alignment = &b, .chain = demo ? &chain : nullptr};
        if (demo) {
            x.profile = &zdm;
            x.profileName = "road.zdm";
            x.ground = &dmx;
            x.groundName = "road.dmx";
        }
        pugi::xml_document built;
        BuildLandXml(x, built);
        std::ostringstream text;
        built.save(text);
        const ImportedAlignment a = ReadLandXmlAlignment(text.str(), example, "Road");
        EXPECT_TRUE(a.notes.empty()) << example << ": " << a.notes.front();
        int k = 0;
        for (int i = 0; i < b.GetTotalElementCount(); ++i) {
            const PlanElement& e = b.GetElement(i);
            if (e.Length <= 1e-9) continue;
            ASSERT_LT(k, a.plan.ElementCount) << example;
            const PlanElement& g = a.plan.GetElement(k++);
            EXPECT_EQ(g.Type, e.Type) << example << " " << i;
            if (e.Type != PlanElement::Straight) {
                EXPECT_EQ(g.Turn == 1, e.Turn == 1) << example << " " << i;
            }
            EXPECT_NEAR(g.StartStation.GetValue(), e.StartStation.GetValue(), 1e-9) << example << " " << i;
            EXPECT_NEAR(g.Length, e.Length, 1e-9) << example << " " << i;
            EXPECT_NEAR(g.StartX, e.StartX, 1e-9) << example << " " << i;
            EXPECT_NEAR(g.EndY, e.EndY, 1e-9) << example << " " << i;
            EXPECT_NEAR(AzimuthDiff(g.StartAzimuth, e.StartAzimuth), 0, 1e-12) << example << " " << i;
            EXPECT_NEAR(AzimuthDiff(g.EndAzimuth, e.EndAzimuth), 0, 1e-12) << example << " " << i;
            EXPECT_EQ(g.StartRadius, e.StartRadius) << example << " " << i;
            EXPECT_EQ(g.EndRadius, e.EndRadius) << example << " " << i;
        }
        EXPECT_EQ(k, a.plan.ElementCount) << example;

        // The intersection points compute back to the same alignment; those
        // of an intersection-point file are its own.
        const JdList points = IntersectionPointsOf(a);
        if (const QJdDoc* own = source.Points()) {
            const GrowArray<JdPoint>& want = own->GetList().Points;
            ASSERT_EQ(points.Points.GetSize(), want.GetSize()) << example;
            for (int i = 0; i < want.GetSize(); ++i) {
                EXPECT_NEAR(points.Points[i].X, want[i].X, 1e-8) << example << " " << i;
                EXPECT_NEAR(points.Points[i].Y, want[i].Y, 1e-8) << example << " " << i;
                if (i == 0 || i + 1 == want.GetSize()) continue;
                EXPECT_NEAR(points.Points[i].Radius, want[i].Radius, 1e-9) << example << " " << i;
                EXPECT_NEAR(points.Points[i].SpiralLength1, want[i].SpiralLength1, 1e-9)
                    << example << " " << i;
            }
        }
        if (!demo) continue;
        EXPECT_EQ(a.chain, chain);
        ASSERT_EQ(a.profile.GetSize(), zdm.GetPointCount());
        for (int i = 0; i < zdm.GetPointCount(); ++i) {
            const GradePoint& p = zdm.GetGradePointArray()[i];
            EXPECT_NEAR(a.profile[i].Station.GetValue(), p.Station.GetValue(), 1e-9) << i;
            EXPECT_NEAR(a.profile[i].Elevation, p.Elevation, 1e-9) << i;
            EXPECT_NEAR(a.profile[i].Radius, p.Radius, 1e-9 * p.Radius) << i;
            EXPECT_NEAR(a.profile[i].StepStation.GetValue(), p.StepStation.GetValue(), 1e-9) << i;
            EXPECT_NEAR(a.profile[i].StepHeight, p.StepHeight, 1e-9) << i;
        }
        ASSERT_EQ(a.ground.GetSize(), dmx.GetPointCount());
        for (int i = 0; i < dmx.GetPointCount(); ++i) {
            EXPECT_EQ(a.ground[i].m_station.GetValue(), dmx.GetPointArray()[i].m_station.GetValue()) << i;
            EXPECT_EQ(a.ground[i].m_elevation, dmx.GetPointArray()[i].m_elevation) << i;
        }
    }
}

// The files written read back as the documents imported; an import that
// fails anywhere writes nothing and leaves old files as they were.
TEST_F(LandXmlImportTest, ImportWritesEverythingOrNothing) {
    QPmDoc pm;
    QZdmFile zdm;
    ASSERT_TRUE(ReadDocumentFile(pm, kExamples + "demo-road.pm"));
    ASSERT_TRUE(ReadDocumentFile(zdm, kExamples + "demo-road.zdm"));
    AlignmentOf(pm, "demo-road.pm");
    ChainTable chain;
    chain.AddBreak(600, 650);
    TempDir dir;
    const std::string xml = dir.Path("road.xml");
    WriteLandXml({.name = "Demo", .alignment = &pm.GetAlignment(), .chain = &chain, .profile = &zdm}, xml,
                 {});

    const std::string plan = dir.Path("out.pm"), prj = dir.Path("out.prj"), profile = dir.Path("out.zdm");
    test::WriteFileBytes(plan, "old");
    const LandXmlImportResult r =
        ImportLandXml(xml, {.plan = plan, .jd = dir.Path("out.jd"), .profile = profile, .project = prj});
    ASSERT_EQ(r.written.size(), 4u);
    EXPECT_EQ(r.written.back(), prj);
    PrjFile project;
    ASSERT_TRUE(project.ReadProject(prj));
    EXPECT_EQ(project.GetChainTable(), chain);
    EXPECT_EQ(project.GetEntryPath(101), plan);
    EXPECT_TRUE(project.IsEntryFileUnchanged(104));
    QPmDoc readPlan;
    ASSERT_TRUE(ReadDocumentFile(readPlan, plan));
    EXPECT_NEAR(readPlan.GetAlignment().GetElement(4).EndY, pm.GetAlignment().GetElement(4).EndY, 1e-8);
    {
        Context context;
        ContextScope scope(context);
        GetCurrentChainTable() = chain;
        QZdmFile readProfile;
        ASSERT_TRUE(ReadDocumentFile(readProfile, profile));
        ASSERT_EQ(readProfile.GetPointCount(), zdm.GetPointCount());
        EXPECT_EQ(readProfile.GetGradePointArray()[3].Station.GetValue(), 1260.0);
    }

    // No ground line: nothing is written, the old files stay.
    const std::string before = test::ReadFileBytes(plan);
    EXPECT_THROW(ImportLandXml(xml, {.plan = plan, .ground = dir.Path("g.dmx")}), ExchangeError);
    EXPECT_EQ(test::ReadFileBytes(plan), before);
    EXPECT_FALSE(std::filesystem::exists(dir.Path("g.dmx")));
    // A folder that is not there stops the import before the first file is replaced.
    EXPECT_THROW(ImportLandXml(xml, {.plan = plan, .profile = dir.Path("none/p.zdm")}), ExchangeError);
    EXPECT_EQ(test::ReadFileBytes(plan), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Root()), {}), 5);  // no mirror file left
    EXPECT_THROW(ImportLandXml(xml, {.plan = xml}), ExchangeError);                    // the input itself
}

// --all writes every alignment, each under a name of its own; intersection
// points only where they fit, and the project then names none.
TEST_F(LandXmlImportTest, AllWritesEveryAlignment) {
    const Pose end = Walk({100, 0, 0}, 40, 1 / 300.0, 1 / 200.0, 1);
    TempDir dir;
    const std::string xml = dir.Path("two.xml");
    test::WriteFileBytes(
        xml,
        "<LandXML><Alignments><Alignment name=\"A/1\"><CoordGeom><Line><Start>0 0</Start><End>100 "
        "0</End></Line></CoordGeom><Profile><ProfAlign name=\"p\"><PVI>0 1</PVI><PVI>100 "
        "2</PVI></ProfAlign></Profile></Alignment><Alignment name=\"A/1\"><CoordGeom><Spiral length=\"40\" "
        "radiusStart=\"300\" radiusEnd=\"200\" rot=\"cw\"><Start>100 0</Start>" +
            Pt("End", end.x, end.y) + "</Spiral></CoordGeom></Alignment></Alignments></LandXML>");
    const LandXmlImportResult r = ImportLandXml(xml, {.allDirectory = dir.Root().string()});
    const std::vector<std::string> written = {dir.Path("A_1.pm"),  dir.Path("A_1.jd"),
                                              dir.Path("A_1.zdm"), dir.Path("A_1-2.pm"),
                                              dir.Path("A_1.prj"), dir.Path("A_1-2.prj")};
    EXPECT_EQ(r.written, written);
    ASSERT_EQ(r.notes.size(), 1u);
    EXPECT_NE(r.notes[0].find("no " + dir.Path("A_1-2.jd") + " is written"), std::string::npos) << r.notes[0];
    PrjFile project;
    ASSERT_TRUE(project.ReadProject(dir.Path("A_1-2.prj")));
    EXPECT_EQ(project.GetStoredEntryPath(101), "A_1-2.pm");
    EXPECT_EQ(project.GetStoredEntryPath(102), "");
}

// A file cut anywhere is refused cleanly or read as far as it is whole.
TEST_F(LandXmlImportTest, TruncatedFilesFailCleanly) {
    QPmDoc pm;
    DmxFile dmx;
    ASSERT_TRUE(ReadDocumentFile(pm, kExamples + "demo-road.pm"));
    ASSERT_TRUE(ReadDocumentFile(dmx, kExamples + "demo-road.dmx"));
    AlignmentOf(pm, "demo-road.pm");
    pugi::xml_document built;
    BuildLandXml({.name = "T", .alignment = &pm.GetAlignment(), .ground = &dmx}, built);
    std::ostringstream out;
    built.save(out);
    const std::string text = out.str();
    for (std::size_t cut = 0; cut < text.size(); cut += 7) {
        try {
            ReadLandXmlAlignment(std::string_view(text).substr(0, cut), "cut.xml", "");
            ListLandXmlText(std::string_view(text).substr(0, cut), "cut.xml");
        } catch (const ExchangeError&) {
        }
    }
}

}  // namespace
}  // namespace qdat
