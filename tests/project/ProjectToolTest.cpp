// qdat project, qdat backup, the data types in qdat kinds, and --project
// giving the chain table and the station precision, from the user's side.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "support/TestSupport.h"

namespace qdat {
namespace {

using nlohmann::json;
using test::ReadFileBytes;
using test::RunTool;
using test::TempDir;
using test::WriteFileBytes;

constexpr const char* kProject =
    "RADUDAR6.00_PRJ_SHUJU\n[Files]1\n103 = data\\ground.dmx\n104 = C:\\road\\profile.zdm\n[Settings]2\n"
    "201 = Tool road\n204 = 4\n[Chain table]3\n401 = 1000 = 1050\n[Segment 0]4\n301 = A0.0000\n302 = "
    "B1500.0000\n";

// The project above in a fresh folder, with its ground line.
std::string MakeProject(const TempDir& dir) {
    std::filesystem::create_directory(dir.Root() / "data");
    WriteFileBytes(dir.Path("road.prj"), kProject);
    WriteFileBytes(dir.Path("data/ground.dmx"), "RADUDAR5.83_DMX_SHUJU\nA0 1\n");
    return dir.Path("road.prj");
}

TEST(ProjectTool, ShowsWhatTheProjectHolds) {
    TempDir dir;
    const std::string prj = MakeProject(dir);
    std::string out, err;
    ASSERT_EQ(RunTool("project " + prj + " --json", &out, &err), 0) << err;
    const json j = json::parse(out);
    EXPECT_EQ(j["signature"], "RADUDAR6.00_PRJ_SHUJU");
    EXPECT_EQ(j["version"], 600);
    ASSERT_EQ(j["entries"].size(), 2u);
    EXPECT_EQ(j["entries"][0]["typeId"], 103);
    EXPECT_EQ(j["entries"][0]["storedPath"], "data\\ground.dmx");
    EXPECT_EQ(j["entries"][0]["resolvedPath"], dir.Path("data/ground.dmx"));
    EXPECT_EQ(j["entries"][0]["exists"], true);
    EXPECT_TRUE(j["entries"][0]["fingerprintMatches"].is_null()) << "none recorded yet";
    EXPECT_EQ(j["entries"][1]["resolvedPath"], "C:\\road\\profile.zdm");
    EXPECT_EQ(j["entries"][1]["exists"], false);
    EXPECT_EQ(j["settings"][0], json({{"key", 201}, {"name", "Project name"}, {"value", "Tool road"}}));
    EXPECT_EQ(j["segments"][0]["start"], 0.0);
    EXPECT_EQ(j["segments"][0]["end"], 1450.0);
    EXPECT_EQ(j["chainTable"]["breaks"][0]["after"], 1050.0);
    EXPECT_EQ(ReadFileBytes(prj), kProject) << "only read";

    // Changes are saved; fingerprints then recorded.
    ASSERT_EQ(RunTool("project " + prj + " set 'Project name' 'New name'", &out, &err), 0) << err;
    ASSERT_EQ(RunTool("project " + prj + " get 201", &out, &err), 0) << err;
    EXPECT_EQ(out, "New name\n");
    ASSERT_EQ(RunTool("project " + prj + " set 303 7.5 --segment 2", &out, &err), 0) << err;
    ASSERT_EQ(RunTool("project " + prj + " get 303 --segment 2", &out, &err), 0) << err;
    EXPECT_EQ(out, "7.5\n");
    ASSERT_EQ(
        RunTool("project " + prj + " path 'Vertical profile' " + dir.Path("data/profile.zdm"), &out, &err), 0)
        << err;
    EXPECT_EQ(out, "104 Vertical profile = data\\profile.zdm\n");
    ASSERT_EQ(RunTool("project " + prj + " --json", &out, &err), 0) << err;
    EXPECT_EQ(json::parse(out)["entries"][0]["fingerprintMatches"], true);
    EXPECT_EQ(RunTool("project " + prj + " get 999", &out, &err), 2);
    EXPECT_EQ(RunTool("project " + prj + " set 201 x --segment 9", &out, &err), 2);
    EXPECT_EQ(RunTool("project " + prj + " upgrade", &out, &err), 2) << "asks for --yes";

    // An old project is upgraded before it is changed.
    WriteFileBytes(prj, std::string("RADUDAR5.83_PRJ_SHUJU") + (kProject + 21));
    EXPECT_EQ(RunTool("project " + prj + " set 201 x", &out, &err), 1);
    EXPECT_NE(err.find("upgrade --yes"), std::string::npos) << err;
}

TEST(ProjectTool, BackupPrintsTheCabinetAndWhatItHolds) {
    TempDir dir;
    const std::string prj = MakeProject(dir);
    std::string out, err;
    ASSERT_EQ(RunTool("backup " + prj + " -o " + dir.Path("saved.zip"), &out, &err), 0) << err;
    EXPECT_EQ(out, dir.Path("saved.cab") + "\n  road.prj\t" + std::to_string(std::string(kProject).size()) +
                       "\t" + prj + "\n  ground.dmx\t27\t" + dir.Path("data/ground.dmx") + "\n");
    EXPECT_EQ(RunTool("backup " + prj + " -o " + dir.Path("nowhere/saved.cab"), &out, &err), 1);
    EXPECT_NE(err.find("qdat backup:"), std::string::npos) << err;
    EXPECT_FALSE(std::filesystem::exists(dir.Path("nowhere")));
}

TEST(ProjectTool, KindsListTheDataTypes) {
    std::string out, err;
    ASSERT_EQ(RunTool("kinds --data-types --json", &out, &err), 0) << err;
    const json types = json::parse(out);
    ASSERT_EQ(types.size(), 24u);
    EXPECT_EQ(types[0], json({{"id", 101},
                              {"name", "Plan elements"},
                              {"group", 0x8001},
                              {"groupName", "Alignment"},
                              {"extension", "pm"},
                              {"class", "QPmDoc"},
                              {"available", true}}));
    ASSERT_EQ(RunTool("kinds", &out, &err), 0) << err;
    EXPECT_NE(out.find("  125  Track spacing  0x8002 Design data  .xjj  QXJJDoc"), std::string::npos) << out;
}

TEST(ProjectTool, TheProjectGivesChainTableAndStationPrecision) {
    TempDir dir;
    const std::string prj = MakeProject(dir);
    std::string out, err;
    ASSERT_EQ(RunTool("station format 1100 --project " + prj, &out, &err), 0) << err;
    EXPECT_EQ(out.substr(0, out.find('\t', 5)), "1100\tB1150.0000") << out;
    ASSERT_EQ(RunTool("station format 1100 --precision 2 --project " + prj, &out, &err), 0) << err;
    EXPECT_EQ(out.substr(0, out.find('\t', 5)), "1100\tB1150.00") << out;
}

// A user's project names a ditch-bottom file and a key outside its folder,
// and its name is free text: the upgrade and the backup keep to the folder
// unless asked, say what they left, and exit 1 for it.
TEST(ProjectTool, UpgradeAndBackupKeepToTheProjectFolder) {
    TempDir dir, elsewhere;
    const std::string away = "..\\" + elsewhere.Root().filename().string();
    const std::string victim = elsewhere.Path("victim.bgg"), secret = elsewhere.Path("secret.key");
    const std::string old = "RADUDAR5.8_BGGDBG_SHUJU\n0 1\n";
    WriteFileBytes(victim, old);
    WriteFileBytes(secret, "key\n");
    const std::string prj = dir.Path("road.prj");
    WriteFileBytes(prj, "RADUDAR6.00_PRJ_SHUJU\n[Files]1\n112 = " + away + "\\victim.bgg\nExtra = " + away +
                            "\\secret.key\n[Settings]2\n201 = ../Road A/B\n");
    std::string out, err;
    EXPECT_EQ(RunTool("project " + prj + " upgrade --yes", &out, &err), 1) << err;
    EXPECT_NE(out.find("left as it was: " + victim + ": it lies outside the project folder"),
              std::string::npos)
        << out;
    EXPECT_EQ(ReadFileBytes(victim), old);

    EXPECT_EQ(RunTool("backup " + prj, &out, &err), 1) << err;
    EXPECT_EQ(out.substr(0, dir.Path("_Road A_B(").size()), dir.Path("_Road A_B(")) << out;
    EXPECT_NE(out.find("\t" + victim + "\n"), std::string::npos) << "a data type's file, wherever it is";
    EXPECT_NE(out.find("left out: " + secret + ": "), std::string::npos) << out;
    ASSERT_EQ(RunTool("backup " + prj + " --include-outside -o " + dir.Path("all.cab"), &out, &err), 0)
        << err;
    EXPECT_NE(out.find("\t" + secret + "\n"), std::string::npos) << out;

    ASSERT_EQ(RunTool("project " + prj + " upgrade --yes --include-outside", &out, &err), 0) << err;
    EXPECT_NE(out.find("upgraded: " + victim), std::string::npos) << out;

    // A project read only in part upgrades nothing.
    WriteFileBytes(victim, old);
    WriteFileBytes(prj, "RADUDAR5.83_PRJ_SHUJU\n[Later]50\n[Files]1\n112 = " + away + "\\victim.bgg\n");
    EXPECT_EQ(RunTool("project " + prj + " upgrade --yes --include-outside", &out, &err), 1);
    EXPECT_NE(out.find("nothing was upgraded: the project file was read only in part"), std::string::npos)
        << out;
    EXPECT_EQ(ReadFileBytes(victim), old);
}

}  // namespace
}  // namespace qdat
