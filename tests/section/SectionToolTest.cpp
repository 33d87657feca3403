// qdat section, dump, convert and upgrade on cross-section files, run from
// the user's side.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "support/TestSupport.h"

namespace qdat {
namespace {

using test::ReadFileBytes;
using test::RunTool;
using test::TempDir;
using test::WriteFileBytes;

const char* const kSections =
    "RADUDAR5.83_HDM_SHUJU\n"
    "100\n2 3.5 -0.2 8 -0.65\n1 5 0.3\n\n"
    "140\n0\n2 2 0.1 6.5 0.45\n";

TEST(SectionToolTest, ShowsTheSectionAtAStationOrTheNearestOnes) {
    TempDir dir;
    const std::string path = dir.Path("road.hdm");
    WriteFileBytes(path, kSections);
    std::string out, err;
    ASSERT_EQ(RunTool("section " + path + " --at 140.0004 --json", &out, &err), 0) << err;
    const auto json = nlohmann::json::parse(out);
    EXPECT_EQ(json["station"], 140.0);
    EXPECT_EQ(json["leftGround"], nlohmann::json::parse(R"([{"horizontal": 0.0, "vertical": 0.0}])"));
    EXPECT_EQ(json["rightGround"][1]["horizontal"], 6.5);
    EXPECT_EQ(json["rightGround"][1]["vertical"], 0.45);

    ASSERT_EQ(RunTool("section " + path + " --at 100", &out, &err), 0) << err;
    EXPECT_NE(out.find("left              8        -0.65"), std::string::npos) << out;

    EXPECT_EQ(RunTool("section " + path + " --at 120", &out, &err), 1);
    EXPECT_NE(err.find("no section at 120; the nearest are at 100 and 140"), std::string::npos) << err;
    EXPECT_EQ(RunTool("section " + path + " --at 150", &out, &err), 1);
    EXPECT_NE(err.find("the nearest is at 140, the last section"), std::string::npos) << err;
}

TEST(SectionToolTest, DumpShowsEveryPointOfEverySide) {
    TempDir dir;
    const std::string path = dir.Path("road.hdm");
    WriteFileBytes(path, kSections);
    std::string out, err;
    ASSERT_EQ(RunTool("dump --json " + path, &out, &err), 0) << err;
    const auto sections = nlohmann::json::parse(out)["content"]["sections"];
    ASSERT_EQ(sections.size(), 2u);
    EXPECT_EQ(sections[0]["station"], 100.0);
    EXPECT_EQ(sections[0]["leftGround"], nlohmann::json::parse(R"([{"horizontal": 3.5, "vertical": -0.2},
                                                                   {"horizontal": 8.0, "vertical": -0.65}])"));
    EXPECT_EQ(sections[1]["rightGround"].size(), 2u);
}

// A damaged old file: the tools show what they can read, say so and fail, and
// never write it.
TEST(SectionToolTest, DamagedFileIsReadInPartAndNeverWritten) {
    TempDir dir;
    const std::string path = dir.Path("old.hdm");
    const std::string bytes = "RADUDAR5.8_HDM_SHUJU\n100\n1 3 -0.2\n1 3 0.2\n\n120\n1 3 -0.3\n3 3 0.3\n";
    WriteFileBytes(path, bytes);
    std::string out, err;
    ASSERT_EQ(RunTool("dump --json " + path, &out, &err), 1) << err;
    const auto dump = nlohmann::json::parse(out);
    EXPECT_EQ(dump["content"]["sections"].size(), 1u);
    EXPECT_NE(dump["partialRead"].get<std::string>().find("the first section"), std::string::npos) << out;
    EXPECT_NE(err.find("read only in part"), std::string::npos) << err;
    EXPECT_EQ(RunTool("convert " + path + " -o " + dir.Path("copy.hdm"), &out, &err), 1);
    EXPECT_EQ(RunTool("section " + path + " --at 100", &out, &err), 1);
    EXPECT_EQ(RunTool("upgrade " + path, &out, &err), 1);
    EXPECT_NE(out.find("read only in part, NOT SAVED"), std::string::npos) << out;
    EXPECT_EQ(ReadFileBytes(path), bytes);
}

}  // namespace
}  // namespace qdat
