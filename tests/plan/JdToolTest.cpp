// qdat jd, qdat plan on intersection-point files, and the JDW and JDX lists
// in the file commands, from the user's side.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "support/TestSupport.h"

namespace qdat::test {
namespace {

const std::string kExamples = std::string(QDAT_SOURCE_DIR) + "/examples/";

class JdTool : public ::testing::Test {
protected:
    TempDir dir;
    std::string out, err;
};

TEST_F(JdTool, PointsAsJsonAndAsATable) {
    ASSERT_EQ(RunTool("jd " + kExamples + "demo-road.jd --json", &out, &err), 0) << err;
    const nlohmann::ordered_json j = nlohmann::ordered_json::parse(out);
    std::vector<std::string> keys;
    for (const auto& [key, value] : j.items()) keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"kind", "signature", "fileVersion", "startStation", "points"}));
    EXPECT_EQ(j["kind"], "QJdDoc");
    EXPECT_EQ(j["signature"], "RADUDAR5.83_PM_SHUJU_JD");
    EXPECT_EQ(j["fileVersion"], 583);
    ASSERT_EQ(j["points"].size(), 3u);
    keys.clear();
    for (const auto& [key, value] : j["points"][1].items()) keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"name",
                                              "calcMode",
                                              "curveType",
                                              "x",
                                              "y",
                                              "radius",
                                              "spiralStartRadius",
                                              "spiralEndRadius",
                                              "spiralLength1",
                                              "spiralLength2",
                                              "spiralParam1",
                                              "spiralParam2",
                                              "tangent1",
                                              "tangent2",
                                              "externalDistance",
                                              "curveLength",
                                              "arcLength",
                                              "straightLength",
                                              "legLength",
                                              "azimuth",
                                              "deflection",
                                              "stationJD",
                                              "stationTS",
                                              "stationSC",
                                              "stationMid",
                                              "stationCS",
                                              "stationST",
                                              "auxPoints"}));
    const auto& p = j["points"][1];
    EXPECT_EQ(p["name"], "JD1");
    EXPECT_NEAR(p["deflection"].get<double>(), 0.775, 1e-9);  // radians
    EXPECT_NEAR(p["stationST"].get<double>(), 1140.0, 1e-6);

    ASSERT_EQ(RunTool("jd " + kExamples + "demo-corners.jd --compute --json", &out, &err), 0) << err;
    const nlohmann::ordered_json corners = nlohmann::ordered_json::parse(out);
    const auto& aux = corners["points"][4]["auxPoints"];
    ASSERT_EQ(aux.size(), 2u);
    keys.clear();
    for (const auto& [key, value] : aux[0].items()) keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"name", "x", "y", "deflection", "azimuth", "distance"}));

    ASSERT_EQ(RunTool("jd " + kExamples + "demo-road.jd", &out, &err), 0) << err;
    EXPECT_NE(out.find("deflection 44.404229 deg"), std::string::npos) << out;  // degrees
    EXPECT_NE(out.find("stations JD 786.803  TS 400.000  SC 520.000"), std::string::npos) << out;
}

TEST_F(JdTool, ElementsAndPlanAnswerAsTheElementFile) {
    const std::string pm = dir.Path("road.pm");
    ASSERT_EQ(RunTool("jd " + kExamples + "demo-road.jd --elements " + pm, &out, &err), 0) << err;
    EXPECT_TRUE(out.empty());
    const std::string at = " --at 0 430 860 1075 1720 --json";
    std::string fromElements, fromPoints, fromDemo;
    ASSERT_EQ(RunTool("plan " + pm + at, &fromElements, &err), 0) << err;
    ASSERT_EQ(RunTool("plan " + kExamples + "demo-road.jd" + at, &fromPoints, &err), 0) << err;
    ASSERT_EQ(RunTool("plan " + kExamples + "demo-road.pm" + at, &fromDemo, &err), 0) << err;
    // The same places, up to the decimals the files keep.
    for (const std::string& other : {fromElements, fromDemo}) {
        const auto a = nlohmann::json::parse(fromPoints);
        const auto b = nlohmann::json::parse(other);
        ASSERT_EQ(a.size(), 5u);
        ASSERT_EQ(b.size(), 5u);
        for (std::size_t i = 0; i < a.size(); ++i) {
            EXPECT_NEAR(a[i]["x"].get<double>(), b[i]["x"].get<double>(), 1e-6) << i;
            EXPECT_NEAR(a[i]["y"].get<double>(), b[i]["y"].get<double>(), 1e-6) << i;
            EXPECT_NEAR(a[i]["azimuth"].get<double>(), b[i]["azimuth"].get<double>(), 1e-9) << i;
            EXPECT_NEAR(a[i]["radius"].get<double>(), b[i]["radius"].get<double>(), 1e-5) << i;
        }
    }
}

TEST_F(JdTool, AFailingPointIsNamedAndNothingIsWritten) {
    // The demo road with its corner's spirals longer than the corner turns.
    std::string text = ReadFileBytes(kExamples + "demo-road.jd");
    const std::string spirals = " 120.00000000 9999.00000000";
    text.replace(text.find(spirals), spirals.size(), " 1300.00000000 9999.00000000");
    const std::string bad = dir.Path("bad.jd");
    WriteFileBytes(bad, text);
    const std::string saved = dir.Path("saved.jd");
    const std::string elements = dir.Path("saved.pm");
    EXPECT_EQ(RunTool("jd " + bad + " --compute -o " + saved, &out, &err), 1);
    EXPECT_NE(err.find("bad.jd: point 1 (JD1): Intersection point 1: the spirals turn more"),
              std::string::npos)
        << err;
    EXPECT_EQ(err.find("error:"), std::string::npos) << err;  // told once
    EXPECT_EQ(RunTool("jd " + bad + " --elements " + elements, &out, &err), 1);
    EXPECT_EQ(RunTool("plan " + bad + " --at 10", &out, &err), 1);
    EXPECT_NE(err.find("point 1 (JD1)"), std::string::npos) << err;
    EXPECT_FALSE(std::filesystem::exists(saved));
    EXPECT_FALSE(std::filesystem::exists(elements));
    // Without --compute the points are shown as stored.
    EXPECT_EQ(RunTool("jd " + bad, &out, &err), 0) << err;

    // The companion lists are known by their extensions.
    const std::string jdw = dir.Path("w.jdw");
    WriteFileBytes(jdw, "1.5\nNULL 1 2 3 4 5 6\n");
    ASSERT_EQ(RunTool("info " + jdw, &out, &err), 0) << err;
    EXPECT_NE(out.find("JDWDoc, by its extension"), std::string::npos) << out;
    EXPECT_NE(out.find("signature: (none)"), std::string::npos) << out;  // the first line is a record
    EXPECT_NE(out.find("count:     1"), std::string::npos) << out;
    EXPECT_NE(RunTool("jd " + jdw, &out, &err), 0);
    EXPECT_NE(err.find("not an intersection-point file"), std::string::npos) << err;
}

}  // namespace
}  // namespace qdat::test
