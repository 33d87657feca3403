// qdat station, run as a user runs it.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "support/TestSupport.h"

namespace qdat::test {
namespace {

TEST(StationToolTest, FormatPrintsTheThreeTexts) {
    std::string out;
    ASSERT_EQ(RunTool("station format 12345.6789 100 -45.5 --prefix K --precision 3", &out), 0);
    EXPECT_EQ(out,
              "12345.6789\t12345.679\tK12+345.679\tK12+345.679\n"
              "100\t100.000\tK0+100\tK0+100\n"
              "-45.5\t-45.500\tK-0+045.500\tK-0+045.500\n");
}

TEST(StationToolTest, FormatAsJsonThroughBreaks) {
    std::string out;
    ASSERT_EQ(RunTool("station format 1020 1000 --break 1000:1050 --precision 0 --json", &out), 0);
    const nlohmann::json json = nlohmann::json::parse(out);
    ASSERT_EQ(json.size(), 2u);
    EXPECT_EQ(json[0]["station"], 1020.0);
    EXPECT_EQ(json[0]["text"], "B1070");
    EXPECT_EQ(json[0]["kmText"], "1+070");
    EXPECT_EQ(json[0]["plusText"], "1+070");
    EXPECT_EQ(json[1]["text"], "A1000");
}

TEST(StationToolTest, ParseReportsErrorsAndFails) {
    std::string out;
    EXPECT_EQ(RunTool("station parse A1020 B1020 --break 1050:1000", &out), 0);
    EXPECT_EQ(out, "A1020\t1020\nB1020\t1070\n");

    EXPECT_NE(RunTool("station parse 1020 B1020 --break 1050:1000 --json", &out), 0);
    const nlohmann::json json = nlohmann::json::parse(out);
    ASSERT_EQ(json.size(), 2u);
    EXPECT_EQ(json[0]["text"], "1020");
    EXPECT_EQ(json[0]["error"]["code"], 19);
    EXPECT_NE(json[0]["error"]["message"].get<std::string>().find("A, B"), std::string::npos);
    EXPECT_EQ(json[1]["station"], 1070.0);

    EXPECT_NE(RunTool("station parse 1020 --break 1000:1050", &out), 0);
    EXPECT_NE(out.find("error 12"), std::string::npos) << out;
    EXPECT_EQ(RunTool("station parse 1070 --text=-A20 --break 1000:1050", &out), 0);
    EXPECT_EQ(out, "1070\t1020\n-A20\t-20\n");
    EXPECT_NE(RunTool("station parse", &out), 0);
}

// Every text the tool prints for a station reads back as that station:
// 1234.5 under the break 1000:1050 is B1284.5, kilometre text K1+284.5.
TEST(StationToolTest, EveryPrintedFormReadsBack) {
    for (const std::string options :
         {"", " --prefix K", " --break 1000:1050", " --prefix DK --break 1000:1050"}) {
        std::string out;
        ASSERT_EQ(RunTool("station format 1234.5 400 -45.5" + options + " --json", &out), 0) << options;
        for (const auto& row : nlohmann::json::parse(out)) {
            for (const char* form : {"text", "kmText", "plusText"}) {
                const std::string text = row[form];
                std::string parsed;
                ASSERT_EQ(RunTool("station parse --json" + options + " --text " + text, &parsed), 0)
                    << options << " " << text;
                EXPECT_EQ(nlohmann::json::parse(parsed)[0]["station"], row["station"])
                    << options << " " << text;
            }
        }
    }
    // Typed by hand: without the prefix, with "K" where no table gives one,
    // with a chain letter, in lower case.
    std::string out;
    ASSERT_EQ(RunTool("station parse 0+400 k1+065.5 KB1+100 B1+100 --break 1000:1050", &out), 0);
    EXPECT_EQ(out, "0+400\t400\nk1+065.5\t1015.5\nKB1+100\t1050\nB1+100\t1050\n");
    // Metres of a kilometre form stay below 1000; a kilometre form in the
    // skipped range is refused as the stake text is.
    EXPECT_EQ(RunTool("station parse 1+2000", &out), 1);
    EXPECT_EQ(RunTool("station parse 1+020 --break 1000:1050", &out), 1);
    EXPECT_NE(out.find("skipped"), std::string::npos) << out;
}

TEST(StationToolTest, FillStopsAtEveryBreak) {
    std::string out;
    ASSERT_EQ(RunTool("station fill 850 2100 100 --break 1000:1050 --break 2000:1980 --json", &out), 0);
    const nlohmann::json json = nlohmann::json::parse(out);
    // 850, 900, break 0, chain B every 100 of stake up to break 1, chain C, 2100.
    const double expected[] = {850,  900,  1000, 1050, 1150, 1250, 1350, 1450,
                               1550, 1650, 1750, 1850, 1950, 1970, 2070, 2100};
    ASSERT_EQ(json.size(), std::size(expected)) << out;
    for (std::size_t i = 0; i < json.size(); ++i) {
        EXPECT_NEAR(json[i]["station"].get<double>(), expected[i], 1e-6) << i;
        EXPECT_EQ(json[i]["atBreak"].get<bool>(), i == 2 || i == 12) << i;
    }
    EXPECT_EQ(json[13]["text"], "C2000.000");
}

TEST(StationToolTest, FillFromABreakListsItOnce) {
    std::string out;
    ASSERT_EQ(RunTool("station fill 1000 1050 20 --break 1000:1100 --json", &out), 0);
    const nlohmann::json json = nlohmann::json::parse(out);
    const double expected[] = {1000, 1020, 1040, 1050};
    ASSERT_EQ(json.size(), std::size(expected)) << out;
    for (std::size_t i = 0; i < json.size(); ++i)
        EXPECT_NEAR(json[i]["station"].get<double>(), expected[i], 1e-6) << i;
    EXPECT_EQ(json[1]["text"], "B1120.000");
}

TEST(StationToolTest, BadArgumentsFailCleanly) {
    std::string out, err;
    EXPECT_NE(RunTool("station fill 0 100 0", &out, &err), 0);
    EXPECT_NE(err.find("STEP"), std::string::npos) << err;
    EXPECT_NE(RunTool("station fill 0 1e12 0.001", &out, &err), 0);  // too many stations
    EXPECT_NE(RunTool("station format abc", &out, &err), 0);
    EXPECT_NE(RunTool("station format 1 --break 1000", &out, &err), 0);
    EXPECT_NE(err.find("BEFORE:AFTER"), std::string::npos) << err;
    std::string breaks;
    for (int i = 1; i <= 26; ++i)
        breaks += " --break " + std::to_string(i * 1000) + ":" + std::to_string(i * 1000 + 5);
    EXPECT_NE(RunTool("station format 1" + breaks, &out, &err), 0);
    EXPECT_NE(err.find("25"), std::string::npos) << err;
}

}  // namespace
}  // namespace qdat::test
