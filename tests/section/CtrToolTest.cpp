// qdat control and qdat dump on design control files, from the user's side.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "support/TestSupport.h"

namespace qdat {
namespace {

using test::RunTool;

// A bridge on the left 100-200, a tunnel 1420-1580, two benchmarks and two
// left FJBK rows.
const char kControls[] =
    "RADUDAR5.83_CTR_SHUJU\n"
    "QHSJ.DAT\n100 200 150 Bridge \"3x20 m\" NULL 20 3 1 0 -1\n"
    "SUIDAO.DAT\n1420 1580 \"Ridge tunnel\"\n"
    "SHUIZHUNDIAN.DAT\n0 BM1 412.35 NULL\n600 BM2 417.12 \"on rock\"\n"
    "ZFJBK.DAT\n0 1 1 2 1 10\n400 1 3 4 2 20\n"
    "XXXX.DAT\n";

TEST(CtrTool, ControlAtStations) {
    test::TempDir dir;
    const std::string path = dir.Path("road.ctr");
    test::WriteFileBytes(path, kControls);
    std::string out, err;
    ASSERT_EQ(RunTool("control " + path + " --at 150", &out, &err), 0) << err;
    EXPECT_EQ(out,
              "station 150\n"
              "  tunnel:          none\n"
              "  left structure:  \"Bridge\" \"3x20 m\", 100 to 200, centre 150\n"
              "  right structure: none\n"
              "  benchmarks:      \"BM1\" at 0 (-150), 412.35; \"BM2\" at 600 (+450), 417.12\n"
              "  left FJBK:       1.75 2.75 13.75 2\n"
              "  right FJBK:      none\n");

    ASSERT_EQ(RunTool("control " + path + " --at 150 1420 --json", &out, &err), 0) << err;
    const nlohmann::json rows = nlohmann::json::parse(out);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0]["leftStructure"]["side"], -1);
    EXPECT_TRUE(rows[0]["rightStructure"].is_null());
    EXPECT_EQ(rows[0]["benchmarks"][1]["remark"], "on rock");
    EXPECT_EQ(rows[0]["benchmarks"][1]["offset"], 450.0);
    EXPECT_EQ(rows[0]["leftFJBK"]["items"][0]["third"], 13.75);
    // At the portal: the tunnel holds the station, but it is not inside.
    EXPECT_EQ(rows[1]["inTunnel"], false);
    EXPECT_EQ(rows[1]["tunnel"]["name"], "Ridge tunnel");
    EXPECT_EQ(rows[1]["benchmarks"].size(), 1u);
    EXPECT_TRUE(rows[1]["leftFJBK"].is_null());

    EXPECT_EQ(RunTool("control " + path + " --at 150 --transition steep", &out, &err), 2);
}

// One array per table, named by its file name; rows hold their lists.
TEST(CtrTool, DumpNamesTablesByFileName) {
    test::TempDir dir;
    const std::string path = dir.Path("road.ctr");
    test::WriteFileBytes(path, kControls);
    std::string out, err;
    ASSERT_EQ(RunTool("dump " + path + " --json", &out, &err), 0) << err;
    const nlohmann::json content = nlohmann::json::parse(out)["content"];
    EXPECT_EQ(content.size(), 30u);
    EXPECT_EQ(content["SUIDAO.DAT"][0]["name"], "Ridge tunnel");
    EXPECT_EQ(content["SHUIZHUNDIAN.DAT"][0]["remark"], "");
    EXPECT_EQ(content["ZFJBK.DAT"][1]["items"][0]["code"], 2);
    EXPECT_EQ(content["YTFBP.DAT"].size(), 0u);
}

}  // namespace
}  // namespace qdat
