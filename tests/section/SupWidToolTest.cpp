// qdat sup and qdat wid from the user's side.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "support/TestSupport.h"

namespace qdat {
namespace {

using test::RunTool;
using test::TempDir;

const char kRoad[] =
    "RADUDAR5.83_SUP_SHUJU\n"
    "-3 -2 -2 0 -2 -2 -3\n"
    "-3 -2 -2 100 -2 -2 -3\n"
    "4 4 4 160 -4 -4 -4\n";

TEST(SupTool, CrossFallsAtStations) {
    TempDir dir;
    const std::string road = dir.Path("road.sup");
    test::WriteFileBytes(road, kRoad);
    std::string out, err;
    ASSERT_EQ(RunTool("sup " + road + " --at 130 170", &out, &err), 0) << err;
    EXPECT_EQ(out,
              "     station   leftInner  leftMiddle   leftOuter  rightInner rightMiddle  rightOuter\n"
              "         130       1.000       1.000       0.500      -3.000      -3.000      -3.500\n"
              "         170                                                                        \n");

    ASSERT_EQ(RunTool("sup " + road + " --at 145 170 --json --evaluator LinearSupEvaluator", &out, &err), 0)
        << err;
    const nlohmann::ordered_json rows = nlohmann::ordered_json::parse(out);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].dump(),
              R"({"station":145.0,"leftInner":2.5,"leftMiddle":2.5,"leftOuter":2.25,"rightInner":-3.5,)"
              R"("rightMiddle":-3.5,"rightOuter":-3.75})");
    EXPECT_TRUE(rows[1]["rightOuter"].is_null());

    // A railway table: one value a side in the table, all six keys in JSON.
    const std::string railway = dir.Path("railway.sup");
    test::WriteFileBytes(railway, "RADUDAR5.83_SUP_SHUJU_RAILWAY\n0 0 0\n1.5 300 -1.5\n");
    ASSERT_EQ(RunTool("sup " + railway + " --at 100", &out, &err), 0) << err;
    EXPECT_EQ(out, "     station       left      right\n         100      0.500     -0.500\n");
    ASSERT_EQ(RunTool("sup " + railway + " --at 100 --json", &out, &err), 0) << err;
    const nlohmann::json r = nlohmann::json::parse(out)[0];
    EXPECT_EQ(r.size(), 7u);
    EXPECT_EQ(r["leftOuter"], 0.5);
    EXPECT_EQ(r["rightInner"], -0.5);

    EXPECT_EQ(RunTool("sup " + road + " --at 130 --evaluator NoSuchEvaluator", &out, &err), 2);
    EXPECT_NE(err.find("LinearSupEvaluator"), std::string::npos) << err;
    EXPECT_EQ(RunTool("sup " + road, &out, &err), 2);
}

TEST(SupTool, TransitionToolSavesTheTable) {
    TempDir dir;
    const std::string road = dir.Path("road.sup");
    test::WriteFileBytes(road, kRoad);
    const std::string out = dir.Path("out.sup");
    std::string text, err;
    ASSERT_EQ(RunTool("sup " + road + " --transition 1 -o " + out, &text, &err), 0) << err;
    EXPECT_NE(text.find("3 rows inserted"), std::string::npos) << text;
    // The left shoulder turns to the lane's -2 from 90; the right lane keeps
    // -2 to 140, the right shoulder -3 to 150.
    EXPECT_EQ(test::ReadFileBytes(out),
              "RADUDAR5.83_SUP_SHUJU\n"
              "     -3.00      -2.00      -2.00      0.000      -2.00      -2.00      -3.00\n"
              "     -3.00    9999.00    9999.00     90.000    9999.00    9999.00    9999.00\n"
              "     -2.00      -2.00      -2.00    100.000      -2.00      -2.00      -3.00\n"
              "   9999.00    9999.00    9999.00    140.000      -2.00      -2.00    9999.00\n"
              "   9999.00    9999.00    9999.00    150.000    9999.00    9999.00      -3.00\n"
              "      4.00       4.00       4.00    160.000      -4.00      -4.00      -4.00\n");
    EXPECT_EQ(test::ReadFileBytes(road), kRoad);

    EXPECT_EQ(RunTool("sup " + road + " --transition 2 -o " + out, &text, &err), 2);
    EXPECT_EQ(RunTool("sup " + road + " --transition 0 -o " + road, &text, &err), 1);
    EXPECT_EQ(RunTool("sup " + road + " --transition 0", &text, &err), 2);
}

TEST(WidTool, WidthsOfBothSides) {
    TempDir dir;
    const std::string path = dir.Path("road.wid");
    test::WriteFileBytes(path,
                         "RADUDAR5.83_WID_SHUJU\n"
                         "ZZZZZZZ\n0 3.5 0 0 0.75 0 0\n200 3.5 0 0 0.75 0 0\n\n"
                         "YYYYYYY\n100 3.5 0 0 0.75 0 TS\n150 4.5 0 0 0.75 0 SC\n");
    std::string out, err;
    ASSERT_EQ(RunTool("wid " + path + " --at 125 180 --shape quartic --json", &out, &err), 0) << err;
    EXPECT_EQ(nlohmann::ordered_json::parse(out).dump(),
              R"([{"station":125.0,"left":[3.5,0.0,0.0,0.75,0.0],"right":[3.8125,0.0,0.0,0.75,0.0]},)"
              R"({"station":180.0,"left":[3.5,0.0,0.0,0.75,0.0],"right":null}])");
    ASSERT_EQ(RunTool("wid " + path + " --at 125", &out, &err), 0) << err;
    EXPECT_NE(out.find("4.000"), std::string::npos) << out;  // linear by default
    EXPECT_EQ(RunTool("wid " + path + " --at 125 --shape spline", &out, &err), 2);

    // info, dump and convert know both kinds.
    ASSERT_EQ(RunTool("info --json " + path, &out, &err), 0) << err;
    EXPECT_EQ(nlohmann::json::parse(out)["kinds"][0]["kind"], "QWIDFile");
    ASSERT_EQ(RunTool("dump --json " + path, &out, &err), 0) << err;
    EXPECT_EQ(nlohmann::json::parse(out)["content"]["rightSegments"][0]["endLabel"], "SC");
    const std::string sup = dir.Path("road.sup");
    test::WriteFileBytes(sup, kRoad);
    ASSERT_EQ(RunTool("convert " + sup + " -o " + dir.Path("binary.sup") + " --form binary", &out, &err), 0)
        << err;
    ASSERT_EQ(RunTool("dump --json " + dir.Path("binary.sup"), &out, &err), 0) << err;
    EXPECT_EQ(nlohmann::json::parse(out)["content"]["rows"][2]["rightOuter"], -4.0);
}

// Values with more decimals than the table's two places: the upgrade keeps
// the file's layout, rounds a half away from zero and says how many it rounded.
TEST(SupTool, UpgradeRoundsHalvesAwayFromZeroAndSaysHowMany) {
    TempDir dir;
    const std::string sup = dir.Path("old.sup"), wid = dir.Path("old.wid");
    test::WriteFileBytes(sup, "RADUDAR5.8_SUP_SHUJU\n-3.125 -2.5 -2 0 -2 -2.505 -3\n");
    test::WriteFileBytes(wid, "RADUDAR5.8_WID_SHUJU\nYYYYYYY\n0 3.505 0 0 0.75 0 0\n50 3.5 0 0 0.75 0 0\n");
    std::string out, err;
    ASSERT_EQ(RunTool("upgrade " + sup, &out, &err), 0) << err;
    EXPECT_EQ(test::ReadFileBytes(sup),
              "RADUDAR5.83_SUP_SHUJU\n     -3.13      -2.50      -2.00      0.000      -2.00      -2.51      "
              "-3.00\n");
    EXPECT_NE(err.find("rounded to the last place, a half away from zero (2 in all)"), std::string::npos)
        << err;
    ASSERT_EQ(RunTool("upgrade " + wid, &out, &err), 0) << err;
    EXPECT_NE(test::ReadFileBytes(wid).find("     0.000       3.51       0.00"), std::string::npos)
        << test::ReadFileBytes(wid);
    EXPECT_NE(err.find("(1 in all)"), std::string::npos) << err;
}

}  // namespace
}  // namespace qdat
