// The exchange library in-process: the alignment of a plan file of either
// kind, the LandXML written from it, the polylines drawn of it, and the
// refusals, which are the library's exceptions.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <pugixml.hpp>
#include <sstream>

#include <qdat/exchange/AlignmentOf.h>
#include <qdat/exchange/ExchangeError.h>
#include <qdat/exchange/LandXml.h>
#include <qdat/exchange/Polylines.h>
#include <qdat/plan/QPmDoc.h>
#include <qdat/profile/DmxFile.h>
#include "support/TestSupport.h"

namespace qdat {
namespace {

using test::RecordingUi;
using test::StationDefaults;
using test::TempDir;

const std::string kExamples = std::string(QDAT_SOURCE_DIR) + "/examples/";

class ExchangeTest : public ::testing::Test {
protected:
    RecordingUi ui;
    ScopedUi scoped{ui};
    StationDefaults defaults;
    QJdDoc points;
    QPmDoc elements;

    void SetUp() override {
        ASSERT_TRUE(ReadDocumentFile(points, kExamples + "demo-road.jd"));
        ASSERT_TRUE(ReadDocumentFile(elements, kExamples + "demo-road.pm"));
    }
};

std::vector<double> Numbers(const char* text) {
    std::istringstream in(text);
    std::vector<double> values;
    for (double v; in >> v;) values.push_back(v);
    return values;
}

// The demo road entered as intersection points and as elements is one
// alignment; its LandXML, written from the element file, holds the ends of
// the elements the points make, and its polylines run through them.
TEST_F(ExchangeTest, TheDemoRoadIsOneAlignmentInEveryForm) {
    DocumentAlignment fromPoints = AlignmentOf(points, "demo-road.jd");
    DocumentAlignment fromElements = AlignmentOf(elements, "demo-road.pm");
    EXPECT_EQ(fromPoints.Points(), &points);
    EXPECT_EQ(fromElements.Points(), nullptr);
    EXPECT_EQ(&fromElements.Alignment(), &elements.GetAlignment());
    const PlanAlignment& a = fromPoints.Alignment();
    const PlanAlignment& b = fromElements.Alignment();
    ASSERT_EQ(a.GetTotalElementCount(), b.GetTotalElementCount());
    std::vector<const PlanElement*> drawn;  // the elements with a length
    for (int i = 0; i < a.GetTotalElementCount(); ++i) {
        const PlanElement& p = a.GetElement(i);
        const PlanElement& e = b.GetElement(i);
        EXPECT_EQ(p.Type, e.Type) << i;
        EXPECT_NEAR(p.StartStation.GetValue(), e.StartStation.GetValue(), 1e-6) << i;
        EXPECT_NEAR(p.EndX, e.EndX, 1e-6) << i;
        EXPECT_NEAR(p.EndY, e.EndY, 1e-6) << i;
        if (p.Length > 1e-9) drawn.push_back(&p);
    }
    ASSERT_EQ(drawn.size(), 5u);  // straight, spiral, arc, spiral, straight

    TempDir dir;
    const std::string xml = dir.Path("road.xml");
    const ChainTable none;
    LandXmlSource source{.name = "Demo", .alignment = &b, .chain = &none};
    WriteLandXml(source, xml, {kExamples + "demo-road.pm"});
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file(xml.c_str()));
    const pugi::xml_node alignment = doc.child("LandXML").child("Alignments").child("Alignment");
    EXPECT_STREQ(alignment.attribute("name").value(), "Demo");
    EXPECT_NEAR(alignment.attribute("length").as_double(), 1720.0, 1e-6);
    std::size_t i = 0;
    for (pugi::xml_node e : alignment.child("CoordGeom").children()) {
        ASSERT_LT(i, drawn.size());
        const std::vector<double> start = Numbers(e.child_value("Start")),
                                  end = Numbers(e.child_value("End"));
        ASSERT_EQ(start.size(), 2u);
        ASSERT_EQ(end.size(), 2u);
        EXPECT_NEAR(start[0], drawn[i]->StartX, 1e-6) << e.name();
        EXPECT_NEAR(start[1], drawn[i]->StartY, 1e-6) << e.name();
        EXPECT_NEAR(end[0], drawn[i]->EndX, 1e-6) << e.name();
        EXPECT_NEAR(end[1], drawn[i]->EndY, 1e-6) << e.name();
        EXPECT_NEAR(e.attribute("staStart").as_double(), drawn[i]->StartStation.GetValue(), 1e-6) << e.name();
        ++i;
    }
    EXPECT_EQ(i, drawn.size());

    // One unbroken centre line from the first element's start to the last
    // one's end, through the six main points; no step of it longer than the
    // spacing but along a straight.
    const PlanPolylines plan = SamplePlan(b, 2.0);
    ASSERT_EQ(plan.runs.size(), 1u);
    ASSERT_EQ(plan.mainPoints.size(), 6u);
    EXPECT_NEAR(plan.runs[0].front().x, drawn.front()->StartX, 1e-9);
    EXPECT_NEAR(plan.runs[0].back().y, drawn.back()->EndY, 1e-6);
    for (std::size_t k = 0; k < drawn.size(); ++k) {
        EXPECT_NEAR(plan.mainPoints[k + 1].x, drawn[k]->EndX, 1e-6) << k;
        EXPECT_NEAR(plan.mainStations[k + 1].GetValue(), drawn[k]->EndStation.GetValue(), 1e-6) << k;
    }
    std::size_t longSteps = 0;
    for (std::size_t k = 1; k < plan.runs[0].size(); ++k) {
        const PolylinePoint p = plan.runs[0][k - 1], q = plan.runs[0][k];
        if (std::hypot(q.x - p.x, q.y - p.y) > 2.0 + 1e-9) ++longSteps;
    }
    EXPECT_EQ(longSteps, 2u);  // the two straights

    // A spacing of zero or none cuts each curve into the most parts, 5000.
    for (double spacing : {0.0, -1.0, std::nan("")}) {
        const PlanPolylines finest = SamplePlan(b, spacing);
        ASSERT_EQ(finest.runs.size(), 1u) << spacing;
        EXPECT_EQ(finest.runs[0].size(), 3u * 5000 + 2 + 1) << spacing;
    }
}

// What cannot be exported or computed throws ExchangeError naming the file;
// the error the library would show is in it instead, and no output is
// written or changed.
TEST_F(ExchangeTest, RefusalsAreExchangeErrorsAndWriteNothing) {
    DmxFile ground;
    ASSERT_TRUE(ReadDocumentFile(ground, kExamples + "demo-road.dmx"));
    try {
        AlignmentOf(ground, "demo-road.dmx");
        ADD_FAILURE() << "a ground line has no alignment";
    } catch (const ExchangeError& e) {
        EXPECT_STREQ(
            e.what(),
            "demo-road.dmx is a profile ground-line file, not a plan element or intersection-point file");
    }
    // Unnamed, a document read without its path is "the document".
    try {
        AlignmentOf(ground);
        ADD_FAILURE() << "a ground line has no alignment";
    } catch (const ExchangeError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("the document is a profile ground-line file", 0), 0u)
            << e.what();
    }

    // Three points on a line, the last back between the first two: a half
    // turn no curve makes.
    QJdDoc halfTurn;
    JdList& list = halfTurn.GetList();
    for (double x : {0.0, 100.0, 50.0}) {
        JdPoint p;
        p.X = x;
        list.Points.Add(p);
    }
    list.Points[1].Radius = 100;
    list.Points[1].SpiralLength1 = list.Points[1].SpiralLength2 = 10;
    ui.messages.clear();
    try {
        AlignmentOf(halfTurn, "half.jd");
        ADD_FAILURE() << "a half turn has no curve";
    } catch (const ExchangeError& e) {
        const std::string message = e.what();
        EXPECT_EQ(message.rfind("half.jd: point 1 (" + PointName(list.Points[1], 1) + "): ", 0), 0u)
            << message;
        EXPECT_GT(message.size(), 25u) << message;
    }
    for (const RecordingUi::Message& m : ui.messages) EXPECT_NE(m.kind, MessageKind::Error) << m.text;

    // A chain break past the road's end, and an output that is an input.
    TempDir dir;
    const std::string xml = dir.Path("road.xml");
    test::WriteFileBytes(xml, "old");
    ChainTable beyond;
    beyond.AddBreak(5000.0, 5010.0);
    LandXmlSource source{.name = "Demo", .alignment = &elements.GetAlignment(), .chain = &beyond};
    ASSERT_TRUE(elements.GetAlignment().ComputeElements());
    EXPECT_THROW(WriteLandXml(source, xml, {}), ExchangeError);
    pugi::xml_document kept;
    kept.append_child("kept");
    EXPECT_THROW(BuildLandXml(source, kept), ExchangeError);
    EXPECT_STREQ(kept.document_element().name(), "kept");
    EXPECT_FALSE(kept.document_element().next_sibling());
    LandXmlSource nothing{.name = "Demo"};
    EXPECT_THROW(WriteLandXml(nothing, xml, {}), ExchangeError);
    const ChainTable none;
    source.chain = &none;
    try {
        WriteLandXml(source, xml, {dir.Path("./road.xml")});
        ADD_FAILURE() << "written over an input";
    } catch (const ExchangeError& e) {
        EXPECT_EQ(std::string(e.what()), xml + " is an input file; choose another output");
    }
    EXPECT_EQ(test::ReadFileBytes(xml), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Root()), {}), 1);
}

}  // namespace
}  // namespace qdat
