// qdat profile and qdat dump on vertical profiles and profile controls, from
// the user's side.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "support/TestSupport.h"

namespace qdat {
namespace {

using test::RunTool;
using test::TempDir;

// Grades +0.02 and -0.01 around a crest of radius 2000 at 1000; a step of 0.5
// at 1500 in the last segment.
const char kProfile[] =
    "RADUDAR5.83_ZDM_SHUJU\n"
    "3\n"
    "0 100 0 0 0\n"
    "1000 120 2000 1500 0.5\n"
    "2000 110.5 0 0 0\n";

TEST(ZdmTool, TableAtStations) {
    TempDir dir;
    const std::string path = dir.Path("road.zdm");
    test::WriteFileBytes(path, kProfile);
    std::string out, err;
    ASSERT_EQ(RunTool("profile " + path + " --at 500 1000 1600 2100", &out, &err), 0) << err;
    EXPECT_EQ(out,
              "     station    elevation   grade %\n"
              "         500     110.0000    2.0000\n"
              "        1000     119.7750    0.5000\n"
              "        1600     114.5000   -1.0000\n"
              "        2100     110.5000          \n");
}

TEST(ZdmTool, RangeAsCsvAndJson) {
    TempDir dir;
    const std::string path = dir.Path("road.zdm");
    test::WriteFileBytes(path, kProfile);
    std::string out, err;
    ASSERT_EQ(RunTool("profile " + path + " --from 1990 --to 2010 --step 10 --csv", &out, &err), 0) << err;
    EXPECT_EQ(out, "station,elevation,grade_percent\n1990,110.6,-1\n2000,110.5,-1\n2010,110.5,\n");

    ASSERT_EQ(RunTool("profile " + path + " --from 970 --to 1030 --step 15 --json", &out, &err), 0) << err;
    const nlohmann::json rows = nlohmann::json::parse(out);
    ASSERT_EQ(rows.size(), 5u);
    // On the crest curve: tangent elevation less x^2 / (2 R), x from the curve's start.
    const double stations[] = {970, 985, 1000, 1015, 1030};
    for (std::size_t i = 0; i < 5; ++i) {
        const double s = stations[i];
        const double x = s - 970;
        EXPECT_EQ(rows[i]["station"].get<double>(), s);
        EXPECT_NEAR(rows[i]["elevation"].get<double>(), 100 + 0.02 * s - x * x / 4000, 1e-9);
        EXPECT_NEAR(rows[i]["grade"].get<double>(), 0.02 - x / 2000, 1e-12);
    }

    ASSERT_EQ(RunTool("profile " + path + " --at 3000 --json", &out, &err), 0) << err;
    const nlohmann::json past = nlohmann::json::parse(out);
    EXPECT_EQ(past[0]["elevation"].get<double>(), 110.5);
    EXPECT_TRUE(past[0]["grade"].is_null());
}

TEST(ZdmTool, Refusals) {
    TempDir dir;
    const std::string path = dir.Path("road.zdm");
    test::WriteFileBytes(path, kProfile);
    const std::string controls = dir.Path("road.zkz");
    test::WriteFileBytes(controls, "RADUDAR5.84_ZDM_CTRL\nOD_CTRL\n0 1 2\n10 3 4\n");
    std::string out, err;
    EXPECT_NE(RunTool("profile " + path, &out, &err), 0);
    EXPECT_NE(RunTool("profile " + path + " --from 0 --to 10 --step 0", &out, &err), 0);
    EXPECT_NE(RunTool("profile " + path + " --from 0 --to 10", &out, &err), 0);
    EXPECT_NE(RunTool("profile " + path + " --from 0 --to 100000000 --step 0.0001", &out, &err), 0);
    EXPECT_NE(RunTool("profile " + controls + " --at 5", &out, &err), 0);
    EXPECT_NE(err.find("not a vertical profile"), std::string::npos) << err;
    const std::string bad = dir.Path("bad.zdm");
    test::WriteFileBytes(bad, "RADUDAR5.83_ZDM_SHUJU\n2\n0 100 0 0 0\n1000 x 0 0 0\n");
    EXPECT_NE(RunTool("profile " + bad + " --at 5", &out, &err), 0);
    EXPECT_NE(err.find("bad.zdm"), std::string::npos) << err;
}

TEST(ZdmTool, DumpBothKinds) {
    TempDir dir;
    const std::string path = dir.Path("road.zdm");
    test::WriteFileBytes(path, kProfile);
    std::string out, err;
    ASSERT_EQ(RunTool("dump --json " + path, &out, &err), 0) << err;
    const nlohmann::json dump = nlohmann::json::parse(out);
    const std::string text = dump.dump();
    EXPECT_NE(text.find("\"tangentLength\":30.0"), std::string::npos) << text;
    EXPECT_NE(text.find("\"stepStation\":1500.0"), std::string::npos) << text;

    const std::string controls = dir.Path("road.zkz");
    test::WriteFileBytes(controls, "RADUDAR5.84_ZDM_CTRL\nBPD_CTRL\n500 1 2\nOD_CTRL\n0 1 2\n10 3 4\n");
    ASSERT_EQ(RunTool("dump --json " + controls, &out, &err), 0) << err;
    const std::string ctext = nlohmann::json::parse(out).dump();
    EXPECT_NE(ctext.find("\"gradePointControls\":[{\"station\":500.0,\"value1\":1.0,\"value2\":2.0}]"),
              std::string::npos)
        << ctext;
    EXPECT_NE(ctext.find("\"endValue2\":4.0"), std::string::npos) << ctext;
}

}  // namespace
}  // namespace qdat
