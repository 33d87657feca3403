// qdat dump, convert, upgrade and bg, run from the user's side on the
// documents by station.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "support/TestSupport.h"

namespace qdat {
namespace {

using test::ReadFileBytes;
using test::RunTool;
using test::TempDir;
using test::WriteFileBytes;

const char* const kGroundLine =
    "RADUDAR5.83_DMX_SHUJU\n"
    "100 12.3\n"
    "150\n"
    "200 NULL\n"
    "250.5 14.5\n";

TEST(DmxToolTest, DumpShowsKindVersionsAndPoints) {
    TempDir dir;
    const std::string path = dir.Path("road.dmx");
    WriteFileBytes(path, kGroundLine);
    std::string out, err;
    ASSERT_EQ(RunTool("dump --json " + path, &out, &err), 0) << err;
    const auto json = nlohmann::json::parse(out);
    EXPECT_EQ(json["kind"], "DmxFile");
    EXPECT_EQ(json["signature"], "RADUDAR5.83_DMX_SHUJU");
    EXPECT_EQ(json["fileVersion"], 583);
    EXPECT_EQ(json["currentVersion"], 583);
    const auto& points = json["content"]["points"];
    ASSERT_EQ(points.size(), 4u);
    EXPECT_EQ(points[0]["station"], 100.0);
    EXPECT_EQ(points[0]["elevation"], 12.3);
    EXPECT_TRUE(points[1]["elevation"].is_null()) << "a point without elevation";
    EXPECT_EQ(points[3]["station"], 250.5);

    ASSERT_EQ(RunTool("dump " + path, &out, &err), 0) << err;
    EXPECT_NE(out.find("250.5 14.5"), std::string::npos) << out;
    EXPECT_NE(out.find("150 -\n"), std::string::npos) << out;
    EXPECT_NE(out.find("elevation (m)"), std::string::npos) << out;
}

TEST(DmxToolTest, ReadingAnOldFileNeverRewritesIt) {
    TempDir dir;
    const std::string path = dir.Path("old.sta");
    const std::string bytes = "RADUDAR5.83_STA_SHUJU\n10\n20\n";
    WriteFileBytes(path, bytes);
    std::string out, err;
    ASSERT_EQ(RunTool("dump --json " + path, &out, &err), 0) << err;
    const auto json = nlohmann::json::parse(out);
    EXPECT_EQ(json["kind"], "QStaDoc");
    EXPECT_EQ(json["fileVersion"], 583);
    EXPECT_EQ(json["content"]["entries"][1]["number"], 2);
    EXPECT_EQ(ReadFileBytes(path), bytes);
}

TEST(DmxToolTest, ConvertRoundTripsThroughEveryForm) {
    TempDir dir;
    const std::string text = dir.Path("road.dmx");
    WriteFileBytes(text, kGroundLine);
    std::string reference, err;
    ASSERT_EQ(RunTool("dump --json " + text, &reference, &err), 0) << err;
    const auto expected = nlohmann::json::parse(reference)["content"];

    for (const char* form : {"binary", "tagged", "scrambled", "legacy", "text"}) {
        const std::string out = dir.Path(std::string("road-") + form + ".dmx");
        ASSERT_EQ(RunTool(std::string("convert ") + text + " -o " + out + " --form " + form, nullptr, &err),
                  0)
            << form << ": " << err;
        std::string dumped;
        ASSERT_EQ(RunTool("dump --json " + out, &dumped, &err), 0) << form << ": " << err;
        // Two points without elevation in a row are one point once written.
        auto content = nlohmann::json::parse(dumped)["content"];
        EXPECT_EQ(content["points"].size(), 3u) << form;
        EXPECT_EQ(content["points"][2], expected["points"][3]) << form;
    }
    EXPECT_EQ(ReadFileBytes(dir.Path("road-binary.dmx")).substr(0, 4), "QB  ");
    EXPECT_EQ(ReadFileBytes(dir.Path("road-tagged.dmx")).substr(0, 4), "QBT ");
    EXPECT_EQ(ReadFileBytes(dir.Path("road-scrambled.dmx")).substr(0, 4), "QB C");
    EXPECT_EQ(ReadFileBytes(dir.Path("road-legacy.dmx")).substr(0, 12), "\x0bQaro5.0_DMX");
}

TEST(DmxToolTest, ConvertRefusesToOverwriteItsInput) {
    TempDir dir;
    const std::string path = dir.Path("road.dmx");
    WriteFileBytes(path, kGroundLine);
    std::string err;
    EXPECT_NE(RunTool("convert " + path + " -o " + path + " --form binary", nullptr, &err), 0);
    EXPECT_NE(RunTool("convert " + path + " -o " + dir.Path(".") + "/road.dmx", nullptr, &err), 0);
    EXPECT_EQ(ReadFileBytes(path), kGroundLine);

    // A kind without a legacy layout has no legacy copy.
    const std::string sta = dir.Path("list.sta");
    WriteFileBytes(sta, "RADUDAR5.84_STA_SHUJU\n10 1\n");
    EXPECT_NE(RunTool("convert " + sta + " -o " + dir.Path("x.sta") + " --form legacy", nullptr, &err), 0);
    EXPECT_NE(err.find("legacy"), std::string::npos) << err;
}

TEST(DmxToolTest, BadFileGivesAnErrorNamingIt) {
    TempDir dir;
    const std::string path = dir.Path("broken.dmx");
    WriteFileBytes(path, "RADUDAR5.83_DMX_SHUJU\n100 1\n200 oops\n");
    std::string out, err;
    EXPECT_NE(RunTool("dump " + path, &out, &err), 0);
    EXPECT_NE(err.find("broken.dmx"), std::string::npos) << err;
    EXPECT_NE(RunTool("convert " + path + " -o " + dir.Path("out.dmx"), &out, &err), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.Path("out.dmx")));
}

TEST(DmxToolTest, UpgradeRewritesOldFilesAndSortsOnlyWithYes) {
    TempDir dir;
    const std::string old = dir.Path("old.dmx"), unsorted = dir.Path("unsorted.bgg");
    WriteFileBytes(old, "RADUDAR5.8_DMX_SHUJU\n100 1\n");
    const std::string unsortedBytes = "RADUDAR5.83_BGGDBG_SHUJU\n20 2\n10 1\n";
    WriteFileBytes(unsorted, unsortedBytes);
    std::string out, err;
    EXPECT_EQ(RunTool("upgrade " + old + " " + unsorted, &out, &err), 0) << err;
    EXPECT_EQ(ReadFileBytes(old), "RADUDAR5.83_DMX_SHUJU\n   100.000   1.000000\n");
    EXPECT_EQ(ReadFileBytes(unsorted), unsortedBytes);  // no terminal: answered no
    EXPECT_NE(out.find("upgraded from version 580 to 583"), std::string::npos) << out;

    EXPECT_EQ(RunTool("upgrade --yes " + unsorted, &out, &err), 0) << err;
    EXPECT_EQ(ReadFileBytes(unsorted),
              "RADUDAR5.83_BGGDBG_SHUJU\n    10.000     1.0000\n    20.000     2.0000\n");
}

TEST(DmxToolTest, BgInterpolatesAtStations) {
    TempDir dir;
    const std::string path = dir.Path("ditch.bgg");
    WriteFileBytes(path, "RADUDAR5.83_BGGDBG_SHUJU\n100 10\n200 12\n");
    std::string out, err;
    ASSERT_EQ(RunTool("bg " + path + " --at 150 100 250", &out, &err), 0) << err;
    EXPECT_EQ(out, "150\t11\n100\t10\n250\tnone\n");

    const std::string ground = dir.Path("road.dmx");
    WriteFileBytes(ground, kGroundLine);
    EXPECT_NE(RunTool("bg " + ground + " --at 150", &out, &err), 0);
}

}  // namespace
}  // namespace qdat
