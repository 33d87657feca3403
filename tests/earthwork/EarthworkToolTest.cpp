// qdat earthwork, run from the user's side.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "support/TestSupport.h"

namespace qdat {
namespace {

using test::RunTool;
using test::TempDir;
using test::WriteFileBytes;

// A version 0 table (station, kinds 1 and 2, the extra value, kinds 3, 8, 9,
// 12 and 13) without signature, under a name no kind claims.
const char* const kOldTable =
    "0 1 2 0.5 3 -10 4 12 13\n"
    "40 1 2 0.5 3 30 -8 12 13\n";

TEST(EarthworkToolTest, MainPairAndAnyQuantity) {
    TempDir dir;
    const std::string path = dir.Path("table.old");
    WriteFileBytes(path, kOldTable);
    std::string out, err;
    ASSERT_EQ(RunTool("earthwork " + path + " --at 0 10 50 --json", &out, &err), 0) << err;
    const auto json = nlohmann::json::parse(out);
    ASSERT_EQ(json.size(), 3u);
    EXPECT_EQ(json[0]["quantity8"], 10.0);
    EXPECT_EQ(json[0]["quantity9"], 4.0);
    EXPECT_EQ(json[1]["station"], 10.0);
    EXPECT_EQ(json[1]["quantity8"], 15.0);
    EXPECT_EQ(json[1]["quantity9"], 5.0);
    EXPECT_TRUE(json[2]["quantity8"].is_null());

    ASSERT_EQ(RunTool("earthwork " + path + " --at 40 10 --kind 13 --json", &out, &err), 0) << err;
    const auto one = nlohmann::json::parse(out);
    EXPECT_EQ(one[0]["kind"], 13);
    EXPECT_EQ(one[0]["value"], 13.0);
    EXPECT_TRUE(one[1]["value"].is_null());

    ASSERT_EQ(RunTool("earthwork " + path + " --from 0 --to 40 --step 20", &out, &err), 0) << err;
    EXPECT_NE(out.find("20         20.000          6.000"), std::string::npos) << out;

    EXPECT_EQ(RunTool("earthwork " + path + " --at 0 --kind 62", &out, &err), 2);
    EXPECT_NE(err.find("0 to 61"), std::string::npos) << err;
    EXPECT_EQ(RunTool("earthwork " + path + " --at 0 --kind TfDoc", &out, &err), 2);
}

}  // namespace
}  // namespace qdat
