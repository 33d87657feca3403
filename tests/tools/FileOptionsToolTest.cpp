// The options every file command shares, from the user's side: the chain
// table of --break and --project, one file's breaks never reaching the next,
// the chain table an old file carries, the exit codes, and `qdat kinds`.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <qdat/profile/DmxFile.h>
#include <qdat/station/ChainTable.h>
#include "support/TestSupport.h"

namespace qdat {
namespace {

using test::RunTool;
using test::TempDir;
using test::WriteFileBytes;

// Chain A runs to 1000, chain B from 1050: "B1100" is 1050 metres along and
// an unlettered 1020 lies in the skipped range.
constexpr const char* kBreak = " --break 1000:1050";

TEST(FileOptionsTool, ChainTableComesFromTheOptionsOrTheFileAndNeverFromTheFileBefore) {
    TempDir dir;
    const std::string plain = dir.Path("plain.dmx"), legacy = dir.Path("legacy.dmx"),
                      later = dir.Path("later.dmx");
    WriteFileBytes(plain, "RADUDAR5.83_DMX_SHUJU\n900 1\n1100 2\n");
    WriteFileBytes(later, "RADUDAR5.83_DMX_SHUJU\n1020 3\n");
    std::string out, err, alone;
    ASSERT_EQ(RunTool("convert " + plain + " -o " + legacy + " --form legacy" + kBreak, &out, &err), 0)
        << err;

    // The old file carries the break and shows it.
    ASSERT_EQ(RunTool("dump --json " + legacy, &out, &err), 0) << err;
    const auto dump = nlohmann::json::parse(out);
    ASSERT_EQ(dump["fileChainTable"]["breaks"].size(), 1u);
    EXPECT_EQ(dump["fileChainTable"]["breaks"][0]["before"], 1000.0);
    EXPECT_EQ(dump["fileChainTable"]["breaks"][0]["after"], 1050.0);

    // Reading it first changes nothing for the next file.
    ASSERT_EQ(RunTool("info " + later, &alone, &err), 0) << err;
    ASSERT_EQ(RunTool("info " + legacy + " " + later, &out, &err), 0) << err;
    EXPECT_EQ(out.substr(out.size() - alone.size()), alone);

    // Under the break the same text is refused: it lies in the skipped range.
    EXPECT_EQ(RunTool("dump " + later + kBreak, &out, &err), 1);
    EXPECT_NE(err.find("later.dmx"), std::string::npos) << err;
    EXPECT_EQ(err.find("error:"), std::string::npos) << "told once, by the command: " << err;
}

TEST(FileOptionsTool, LetteredStationsReadWithBreakOrProject) {
    TempDir dir;
    const std::string lettered = dir.Path("lettered.dmx"), project = dir.Path("road.prj");
    WriteFileBytes(lettered, "RADUDAR5.83_DMX_SHUJU\nA900 1\nB1100 2\n");
    WriteFileBytes(project,
                   "RADUDAR6.00_PRJ_SHUJU\r\n[Files]1\r\n103Ground line = lettered.dmx\r\n[Chain table]3\r\n"
                   "401Chain break 1 = 1000.000000 = 1050.000000\r\n[Integers]101\r\n1 = 2\r\n");
    std::string out, err;
    EXPECT_NE(RunTool("dump --json " + lettered, &out, &err), 0);
    for (const std::string& options : {std::string(kBreak), " --project " + project}) {
        ASSERT_EQ(RunTool("dump --json " + lettered + options, &out, &err), 0) << options << err;
        const auto points = nlohmann::json::parse(out)["content"]["points"];
        EXPECT_EQ(points[1]["station"], 1050.0) << options;

        // Written again as lettered text under the same table, which the
        // copy states in a comment line, so that it reads on its own.
        const std::string copy = dir.Path("copy.dmx");
        ASSERT_EQ(RunTool("convert " + lettered + " -o " + copy + options, &out, &err), 0) << options << err;
        EXPECT_EQ(test::ReadFileBytes(copy),
                  "RADUDAR5.83_DMX_SHUJU\n// Chain breaks: 1000=1050\n  A900.000   1.000000\n B1100.000   "
                  "2.000000\n");
    }
}

// An old ground line with break 1000:1050 and points at 900, 1100 and 1200:
// upgraded or converted to text without a table given, its stations are
// written for its own table, and read back under that table they are the
// same continuous stations.
TEST(FileOptionsTool, UpgradeAndConvertKeepTheStationsOfAnOldFile) {
    TempDir dir;
    const std::string old = dir.Path("old.dmx"), converted = dir.Path("converted.dmx");
    {
        test::StationDefaults defaults;
        GetCurrentChainTable().AddBreak(1000.0, 1050.0);
        DmxFile doc;
        for (double station : {900.0, 1100.0, 1200.0}) doc.InsertPoint(station, station / 100);
        ASSERT_TRUE(doc.SaveLegacyCopy(old));
    }
    std::string out, err;
    ASSERT_EQ(RunTool("convert " + old + " -o " + converted, &out, &err), 0) << err;
    ASSERT_EQ(RunTool("upgrade " + old, &out, &err), 0) << err;
    for (const std::string& path : {old, converted}) {
        ASSERT_EQ(RunTool("dump --json " + path + kBreak, &out, &err), 0) << path << err;
        const auto points = nlohmann::json::parse(out)["content"]["points"];
        ASSERT_EQ(points.size(), 3u) << path;
        EXPECT_EQ(points[0]["station"], 900.0) << path;
        EXPECT_EQ(points[1]["station"], 1100.0) << path;
        EXPECT_EQ(points[2]["station"], 1200.0) << path;
    }
    EXPECT_NE(test::ReadFileBytes(old).find("B1150.000"), std::string::npos) << test::ReadFileBytes(old);
}

// Old ground lines and cross sections that carry the break 1040=1050, with
// stations 1000 and 1080 (stake B1090): after an upgrade they read back to
// the same stations with no options, under their project's table and under
// any other, because the text file states the table its station text is
// written under.
TEST(FileOptionsTool, UpgradedOldFilesReadBackOnTheirOwnAndUnderTheirProject) {
    TempDir dir;
    const std::string plainDmx = dir.Path("plain.dmx"), plainHdm = dir.Path("plain.hdm");
    const std::string dmx = dir.Path("old.dmx"), hdm = dir.Path("old.hdm"), project = dir.Path("road.prj");
    // Unlettered stake text under the break: 1090 lies on chain B, 1080 along.
    WriteFileBytes(plainDmx, "RADUDAR5.83_DMX_SHUJU\n1000 1\n1090 2\n");
    WriteFileBytes(plainHdm, "RADUDAR5.83_HDM_SHUJU\n1000\n1 3.5 -0.2\n1 5 0.3\n\n1090\n1 2 0\n0\n");
    WriteFileBytes(project,
                   "RADUDAR6.00_PRJ_SHUJU\r\n[Files]1\r\n103Ground line = old.dmx\r\n[Chain table]3\r\n"
                   "401Chain break 1 = 1040.000000 = 1050.000000\r\n[Integers]101\r\n1 = 2\r\n");
    std::string out, err;
    for (const auto& [plain, old] : {std::pair{plainDmx, dmx}, std::pair{plainHdm, hdm}}) {
        ASSERT_EQ(RunTool("convert " + plain + " -o " + old + " --form legacy --break 1040:1050", &out, &err),
                  0)
            << err;
        ASSERT_EQ(RunTool("upgrade " + old, &out, &err), 0) << err;
        EXPECT_EQ(out.find("not kept"), std::string::npos) << out;
        const std::string text = test::ReadFileBytes(old);
        EXPECT_EQ(text.find("// Chain breaks: 1040=1050\n"), 22u) << text;
        EXPECT_NE(text.find("B1090.000"), std::string::npos) << text;
        for (const std::string& options :
             {std::string(), " --project " + project, std::string(" --break 2000:2100")}) {
            ASSERT_EQ(RunTool("dump --json " + old + options, &out, &err), 0) << old << options << err;
            const auto content = nlohmann::json::parse(out)["content"];
            const auto rows = content.contains("points") ? content["points"] : content["sections"];
            ASSERT_EQ(rows.size(), 2u) << old << options;
            EXPECT_EQ(rows[0]["station"], 1000.0) << old << options;
            EXPECT_EQ(rows[1]["station"], 1080.0) << old << options;
        }
        // A binary copy holds numbers and no table: the user is told the
        // breaks that give its stake stations.
        ASSERT_EQ(RunTool("convert " + old + " -o " + dir.Path("copy.bin") + " --form binary", &out, &err), 0)
            << err;
        EXPECT_NE(err.find("--break 1040:1050 gives its stake stations"), std::string::npos) << err;
    }
    // Stations typed by the user follow the file's table: B1090 is 1080 along.
    ASSERT_EQ(RunTool("section " + hdm + " --at B1090 --json", &out, &err), 0) << err;
    EXPECT_EQ(nlohmann::json::parse(out)["station"], 1080.0) << out;
}

// Lettered station text without a chain table cannot be read: the command
// fails and says that a table is needed, and how to give it; a stated table
// that cannot be read is an error naming its line.
TEST(FileOptionsTool, LetteredTextWithoutItsTableFailsSayingATableIsNeeded) {
    TempDir dir;
    const std::string dmx = dir.Path("lettered.dmx"), hdm = dir.Path("lettered.hdm"),
                      bad = dir.Path("bad.dmx");
    WriteFileBytes(dmx, "RADUDAR5.83_DMX_SHUJU\nA900 1\nB1100 2\n");
    WriteFileBytes(hdm, "RADUDAR5.83_HDM_SHUJU\nA1000\n1 3.5 -0.2\n0\n\nB1090\n0\n0\n");
    WriteFileBytes(bad, "RADUDAR5.83_DMX_SHUJU\n// Chain breaks: 1040=x\nA900 1\n");
    std::string out, err;
    for (const std::string& path : {dmx, hdm}) {
        for (const std::string& command :
             {std::string("dump "), std::string("info "), "convert -o " + dir.Path("c.txt") + " "}) {
            EXPECT_EQ(RunTool(command + path, &out, &err), 1) << command << path << out;
            EXPECT_NE(err.find(path), std::string::npos) << err;
            EXPECT_NE(err.find("needs the chain table"), std::string::npos) << err;
            EXPECT_NE(err.find("--break BEFORE:AFTER or --project PRJ"), std::string::npos) << err;
        }
    }
    EXPECT_EQ(RunTool("section " + hdm + " --at 900", &out, &err), 1);
    EXPECT_NE(err.find("needs the chain table"), std::string::npos) << err;
    EXPECT_EQ(RunTool("dump " + bad, &out, &err), 1);
    EXPECT_NE(err.find("bad.dmx"), std::string::npos) << err;
    EXPECT_NE(err.find("\"1040=x\" is not BEFORE=AFTER"), std::string::npos) << err;
}

TEST(FileOptionsTool, BadBreaksAreUsageErrors) {
    TempDir dir;
    const std::string path = dir.Path("plain.dmx");
    WriteFileBytes(path, "RADUDAR5.83_DMX_SHUJU\n900 1\n");
    std::string out, err;
    EXPECT_EQ(RunTool("dump " + path + " --break 1000", &out, &err), 2);
    EXPECT_NE(err.find("qdat dump: --break 1000"), std::string::npos) << err;
    // The chain between the two would end at 1020 before it starts at 1050.
    EXPECT_EQ(RunTool("dump " + path + " --break 1000:1050 --break 1020:1100", &out, &err), 2);
    EXPECT_NE(err.find("overlap"), std::string::npos) << err;
    // Given out of order, breaks are put in order along the alignment.
    EXPECT_EQ(RunTool("dump " + path + " --break 2000:2100 --break 1000:1050", &out, &err), 0) << err;
    EXPECT_EQ(RunTool("dump " + path + " --project " + dir.Path("none.prj"), &out, &err), 1);
    EXPECT_EQ(RunTool("dump " + path + " --no-such-option", &out, &err), 2);
}

TEST(FileOptionsTool, KindsListsTheRegistry) {
    std::string out, err;
    ASSERT_EQ(RunTool("kinds --json", &out, &err), 0) << err;
    const auto kinds = nlohmann::json::parse(out);
    std::vector<std::string> names;
    for (const auto& k : kinds) names.push_back(k["kind"]);
    EXPECT_NE(std::find(names.begin(), names.end(), "DmxFile"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "QZKZDoc"), names.end());
    ASSERT_EQ(RunTool("kinds --names", &out, &err), 0) << err;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), static_cast<long>(kinds.size()));
}

}  // namespace
}  // namespace qdat
