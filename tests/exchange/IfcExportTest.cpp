// The IFC export in-process: the STEP encodings, the layouts against values
// worked out by hand, and the refusals. tests/ifc reads whole files back with
// an independent IFC reader.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <regex>

#include <qdat/exchange/ExchangeError.h>
#include <qdat/exchange/IfcExport.h>
#include <qdat/exchange/IfcLayouts.h>
#include <qdat/exchange/detail/StepFile.h>
#include <qdat/plan/QPmDoc.h>
#include "support/TestSupport.h"
#include "tools/RoadSamples.h"

namespace qdat {
namespace {

using test::TempDir;

constexpr double kPi = std::numbers::pi;

TEST(StepText, RealsStringsAndIds) {
    EXPECT_EQ(step::Real(1.0), "1.");
    EXPECT_EQ(step::Real(-0.0), "0.");
    EXPECT_EQ(step::Real(0.25), "0.25");
    EXPECT_EQ(step::Real(1e-5), "1.E-05");
    EXPECT_EQ(step::Real(-1.5e20), "-1.5E+20");
    EXPECT_THROW(step::Real(std::numeric_limits<double>::quiet_NaN()), ExchangeError);
    EXPECT_EQ(step::String("it's a\\b"), "'it''s a\\\\b'");
    // U+9053 U+8DEF, then U+1F600 as a surrogate pair, then a lone byte.
    EXPECT_EQ(step::String("\xE9\x81\x93\xE8\xB7\xAF road"), "'\\X2\\90538DEF\\X0\\ road'");
    EXPECT_EQ(step::String("\xF0\x9F\x98\x80"), "'\\X2\\D83DDE00\\X0\\'");
    EXPECT_EQ(step::String("a\xB5"), "'a\\X\\B5'");
    std::array<std::uint8_t, 16> bits{};
    EXPECT_EQ(step::CompressedGuid(bits), "0000000000000000000000");
    bits[15] = 1;
    EXPECT_EQ(step::CompressedGuid(bits), "0000000000000000000001");
    bits.fill(0xFF);
    EXPECT_EQ(step::CompressedGuid(bits), "3$$$$$$$$$$$$$$$$$$$$$");
    step::GuidSource a("seed"), b("seed");
    const std::string first = a.Next();
    EXPECT_EQ(first.size(), 24u);
    EXPECT_EQ(first, b.Next());
    EXPECT_NE(first, a.Next());
}

class IfcExportTest : public ::testing::Test {
protected:
    test::RecordingUi ui;
    ScopedUi scoped{ui};
    test::StationDefaults defaults;
    TempDir dir;
    QPmDoc plan;
    QZdmFile profile;

    void SetUp() override {
        test::WriteFileBytes(dir.Path("every.pm"), test::kEveryElementPlan);
        ASSERT_TRUE(ReadDocumentFile(plan, dir.Path("every.pm")));
        ASSERT_TRUE(plan.GetAlignment().ComputeElements());
    }
    void ReadProfile(const std::string& text) {
        test::WriteFileBytes(dir.Path("p.zdm"), text);
        ASSERT_TRUE(ReadDocumentFile(profile, dir.Path("p.zdm")));
        profile.Recalculate();
    }
};

// Directions fall by L / 2R on a spiral from a straight and by L / R on an
// arc turning right; radii turning right are negative, left positive.
TEST_F(IfcExportTest, HorizontalLayoutInIfcTerms) {
    const auto h = IfcHorizontalLayout(plan.GetAlignment(), "every.pm");
    ASSERT_EQ(h.size(), 12u);
    EXPECT_EQ(h[0].x, 2000.0);  // easting: Y of the file
    EXPECT_EQ(h[0].y, 5000.0);
    EXPECT_NEAR(h[0].direction, kPi / 2 - 0.3, 1e-12);
    EXPECT_NEAR(h[2].direction, kPi / 2 - 0.3 - 80.0 / 600.0, 1e-9);
    EXPECT_NEAR(h[3].direction, h[2].direction - 0.5, 1e-9);
    EXPECT_EQ(h[1].type, "CLOTHOID");
    EXPECT_DOUBLE_EQ(h[1].endCurvature, -1.0 / 300);
    EXPECT_DOUBLE_EQ(h[3].startCurvature, -1.0 / 300);
    EXPECT_DOUBLE_EQ(h[3].endCurvature, -1.0 / 150);
    EXPECT_DOUBLE_EQ(h[8].startCurvature, 1.0 / 200);  // the arc turning left
    EXPECT_DOUBLE_EQ(h[9].endCurvature, 1.0 / 400);
    double along = 0.0;
    for (const auto& s : h) along += s.length;
    EXPECT_NEAR(along, 940.0, 1e-9);
    EXPECT_EQ(h[11].type, "LINE");
    EXPECT_EQ(h[11].length, 0.0);
    EXPECT_EQ(h[11].x, h[10].endX);

    // The spiral from R 300 to R 150 turning right is cut from the clothoid
    // of A = -sqrt(60 * 300) at the arc length 60, where its radius is 300.
    const std::string text =
        BuildIfc({.name = "Every", .alignment = &plan.GetAlignment(), .fileName = "e.ifc"});
    std::smatch m;
    ASSERT_TRUE(std::regex_search(text, m, std::regex(R"(IFCCLOTHOID\(#\d+,(-134\.16\d*)\);)")));
    EXPECT_NEAR(std::stod(m[1]), -std::sqrt(18000.0), 1e-9);
    EXPECT_NE(text.find("IFCLENGTHMEASURE(60.),IFCLENGTHMEASURE(60.)"), std::string::npos);
    EXPECT_NE(text.find("FILE_SCHEMA(('IFC4X3_ADD2'));"), std::string::npos);
}

// A crest of R 4000 at 200 between grades 0.04 and g, with a step of 0.3 at
// 300 inside its second half: the parabola is cut there, and a zero-length
// segment carries the height after the step.
TEST_F(IfcExportTest, VerticalLayoutStatesAStepInACurve) {
    ReadProfile(
        "RADUDAR5.83_ZDM_SHUJU\n3\n0.000 100.0 0 0.000 0\n200.000 108.0 4000 300.000 0.3\n"
        "420.000 103.6 0 0.000 0\n");
    const double g = (103.6 - 108.0 - 0.3) / 220.0;
    const double t = 4000.0 * (0.04 - g) / 2.0;
    const auto v = IfcVerticalLayout(profile, 0.0, 940.0, "p.zdm");
    ASSERT_EQ(v.size(), 6u);
    EXPECT_EQ(v[0].type, "CONSTANTGRADIENT");
    EXPECT_NEAR(v[0].length, 200.0 - t, 1e-9);
    EXPECT_EQ(v[1].type, "PARABOLICARC");
    EXPECT_NEAR(v[1].height, 100.0 + 0.04 * (200.0 - t), 1e-9);
    EXPECT_NEAR(v[1].endGradient, 0.04 + (g - 0.04) * (300.0 - (200.0 - t)) / (2.0 * t), 1e-12);
    const double x = 200.0 + t - 300.0;  // from the step to the curve's end
    const double before = 108.0 + g * 100.0 - x * x / 8000.0;
    EXPECT_EQ(v[2].length, 0.0);
    EXPECT_NEAR(v[2].distance, 300.0, 1e-9);
    EXPECT_NEAR(v[2].height, before + 0.3, 1e-9);
    EXPECT_NEAR(v[3].height, before + 0.3, 1e-9);
    EXPECT_NEAR(v[3].distance + v[3].length, 200.0 + t, 1e-9);
    EXPECT_EQ(v[5].length, 0.0);
    EXPECT_EQ(v[5].height, 103.6);
}

// What IFC cannot state, or what does not fit the alignment, is refused by
// name, and an old output stays as it was.
TEST_F(IfcExportTest, RefusalsWriteNothing) {
    const std::string out = dir.Path("road.ifc");
    test::WriteFileBytes(out, "old");
    IfcSource source{.name = "every.pm", .alignment = &plan.GetAlignment(), .fileName = "road.ifc"};
    const auto refused = [&](const char* expected) {
        try {
            WriteIfc(source, out, {});
            ADD_FAILURE() << "written: " << expected;
        } catch (const ExchangeError& e) {
            EXPECT_NE(std::string(e.what()).find(expected), std::string::npos) << e.what();
        }
        EXPECT_EQ(test::ReadFileBytes(out), "old");
    };
    EXPECT_THROW(WriteIfc(source, out, {dir.Path("./road.ifc")}), ExchangeError);
    EXPECT_EQ(test::ReadFileBytes(out), "old");
    ReadProfile(
        "RADUDAR5.83_ZDM_SHUJU\n3\n0.000 100.0 0 0.000 0\n100.000 110.0 8000 0 0\n"
        "200.000 100.0 8000 0 0\n");
    source.profile = &profile;
    source.profileName = "p.zdm";
    refused("p.zdm: the vertical curves at stations 0 and 100 overlap");
    ReadProfile("RADUDAR5.83_ZDM_SHUJU\n2\n0.000 100.0 0 0 0\n1000.000 110.0 0 0 0\n");
    refused("p.zdm: the profile runs from 0 to 1000, beyond the alignment (0 to 940)");
    source.profile = nullptr;

    QSupFile road;
    road.AppendRow(SupRow{});
    source.superelevation = &road;
    source.superelevationName = "road.sup";
    refused("road.sup is a road superelevation table");
    QSupFile railway;
    railway.SetRailwayVariant(true);
    SupRow row;
    row.RightMiddle = SupRow::NoValue;
    railway.AppendRow(row);
    source.superelevation = &railway;
    refused("the row at station 0 holds no value on the right");
    source.superelevation = nullptr;

    plan.GetAlignment().ElementAt(4).StartStation = 400.0;  // off the end of the one before
    refused("every.pm: element 5 starts at station 400, but the elements before it end at 390");
}

}  // namespace
}  // namespace qdat
