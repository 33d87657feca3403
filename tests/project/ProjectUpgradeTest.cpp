// Backups of a project and the upgrade of an old one: the backup comes
// first and holds every file as it was; without a backup no data file is
// touched; a file that cannot be opened is left as it was and named; a
// second run changes nothing.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <regex>

#include <qdat/host/HostUi.h>
#include <qdat/project/PrjFile.h>
#include "profile/DmxTestHelpers.h"
#include "support/TestSupport.h"

namespace qdat {
namespace {

using test::Le32;
using test::Le64;
using test::ReadFileBytes;
using test::RecordingUi;
using test::RunCommand;
using test::ShortString;
using test::TempDir;
using test::WriteFileBytes;

namespace fs = std::filesystem;

// A demo file with an older signature in its first line.
std::string OldExample(const std::string& name, const std::string& signature) {
    const std::string bytes = ReadFileBytes(std::string(QDAT_SOURCE_DIR) + "/examples/" + name);
    return signature + bytes.substr(bytes.find('\n'));
}

std::string FirstLine(const std::string& path) {
    const std::string bytes = ReadFileBytes(path);
    return bytes.substr(0, bytes.find('\n'));
}

std::vector<fs::path> Cabinets(const fs::path& folder) {
    std::vector<fs::path> out;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == ".cab") out.push_back(entry.path());
    return out;
}

class ProjectUpgradeTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir.Root() / "plan");
        fs::create_directories(dir.Root() / "data");
        WriteFileBytes(dir.Path("plan/road.pm"), OldExample("demo-road.pm", "RADUDAR5.8_PM_SHUJU_PM"));
        WriteFileBytes(dir.Path("data/ground.dmx"), OldExample("demo-road.dmx", "RADUDAR5.8_DMX_SHUJU"));
        WriteFileBytes(dir.Path("data/profile.zdm"), OldExample("demo-road.zdm", "RADUDAR5.8_ZDM_SHUJU"));
        WriteFileBytes(dir.Path("data/stations.sta"), OldExample("demo-road.sta", "RADUDAR5.83_STA_SHUJU"));
        WriteFileBytes(dir.Path("data/ditch.bgg"), OldExample("demo-road.bgg", "RADUDAR5.8_BGGDBG_SHUJU"));
        WriteFileBytes(dir.Path("data/broken.dmx"), "RADUDAR5.8_DMX_SHUJU\n100 not-a-number\n");
        WriteFileBytes(project, std::string(kProject));
        for (const auto& entry : fs::recursive_directory_iterator(dir.Root()))
            if (entry.is_regular_file()) before[entry.path().string()] = ReadFileBytes(entry.path().string());
        char cwd[4096];
        if (::getcwd(cwd, sizeof cwd)) m_cwd = cwd;  // opening a project moves into its folder
    }
    void TearDown() override {
        if (!m_cwd.empty() && ::chdir(m_cwd.c_str()) != 0) ADD_FAILURE() << "cannot go back to " << m_cwd;
        ::chmod(dir.Root().c_str(), 0755);
        if (!m_forbidden) return;
        if (m_tmpdir)
            ::setenv("TMPDIR", m_tmpdir->c_str(), 1);
        else
            ::unsetenv("TMPDIR");
    }

    // Makes a backup in the project's folder impossible: the folder cannot
    // be written (its data folder still can); for root, who writes
    // anywhere, the temporary folder the writer needs is missing.
    void ForbidBackups() {
        if (!m_forbidden) {
            if (const char* t = std::getenv("TMPDIR")) m_tmpdir = t;
            m_forbidden = true;
        }
        if (::geteuid() == 0)
            ::setenv("TMPDIR", dir.Path("no-such-folder").c_str(), 1);
        else
            ::chmod(dir.Root().c_str(), 0555);
    }

    void ExpectNothingChanged() {
        for (const auto& [path, bytes] : before) EXPECT_TRUE(ReadFileBytes(path) == bytes) << path;
        EXPECT_TRUE(Cabinets(dir.Root()).empty());
    }

    static constexpr const char* kProject =
        "RADUDAR5.83_PRJ_SHUJU\n[Files]1\n101 = plan\\road.pm\n103 = data\\ground.dmx\n104 = "
        "data\\profile.zdm\n"
        "109 = data\\stations.sta\n112 = data\\ditch.bgg\n116 = data\\broken.dmx\n117 = data\\missing.dmx\n"
        "[Settings]2\n201 = Upgrade test\n";

    test::StationDefaults defaults;
    RecordingUi ui;
    ScopedUi scoped{ui};
    TempDir dir;
    const std::string project = dir.Path("road.prj");
    std::map<std::string, std::string> before;

private:
    std::string m_cwd;
    std::optional<std::string> m_tmpdir;
    bool m_forbidden = false;
};

TEST_F(ProjectUpgradeTest, AnOldProjectIsBackedUpThenEveryFileUpgraded) {
    PrjFile p;
    ASSERT_TRUE(p.OpenProject(project));
    const ProjectUpgradeReport& r = p.GetOpenUpgradeReport();
    ASSERT_TRUE(r.failure.empty()) << r.failure;
    ASSERT_EQ(Cabinets(dir.Root()).size(), 1u);
    EXPECT_EQ(fs::path(r.backup).filename().string().substr(0, 13), "Upgrade test(");
    EXPECT_EQ(r.upgraded.size(), 5u);
    ASSERT_EQ(r.leftAlone.size(), 1u);
    EXPECT_EQ(r.leftAlone[0].first, dir.Path("data/broken.dmx"));
    EXPECT_EQ(r.missing, std::vector<std::string>{dir.Path("data/missing.dmx")});

    // The backup holds every file as it was before.
    std::string out, err;
    ASSERT_EQ(RunCommand("cabextract -q -d '" + dir.Path("restored") + "' '" + r.backup + "'", &out, &err), 0)
        << err;
    for (const auto& [path, bytes] : before)
        EXPECT_TRUE(ReadFileBytes(dir.Path("restored/" + fs::path(path).filename().string())) == bytes)
            << path;

    // Every readable file is current; the broken one is as it was and named.
    EXPECT_EQ(FirstLine(dir.Path("plan/road.pm")), "RADUDAR5.83_PM_SHUJU_PM");
    EXPECT_EQ(FirstLine(dir.Path("data/ground.dmx")), "RADUDAR5.83_DMX_SHUJU");
    EXPECT_EQ(FirstLine(dir.Path("data/profile.zdm")), "RADUDAR5.83_ZDM_SHUJU");
    EXPECT_EQ(FirstLine(dir.Path("data/stations.sta")), "RADUDAR5.84_STA_SHUJU");
    EXPECT_EQ(FirstLine(dir.Path("data/ditch.bgg")), "RADUDAR5.83_BGGDBG_SHUJU");
    EXPECT_EQ(ReadFileBytes(dir.Path("data/broken.dmx")), before[dir.Path("data/broken.dmx")]);
    EXPECT_EQ(FirstLine(project), "RADUDAR6.00_PRJ_SHUJU");
    bool named = false;
    for (const auto& m : ui.messages)
        named = named || (m.kind == MessageKind::Warning && m.text.find("broken.dmx") != std::string::npos);
    EXPECT_TRUE(named) << "the summary names the file left as it was";

    // A second run finds nothing to do, and does nothing.
    std::map<std::string, std::string> upgraded;
    for (const auto& [path, bytes] : before) upgraded[path] = ReadFileBytes(path);
    PrjFile again;
    ASSERT_TRUE(again.OpenProject(project));
    ProjectUpgradeReport second;
    EXPECT_FALSE(again.UpgradeProjectFiles(&second)) << "the broken file is still named";
    EXPECT_TRUE(second.backup.empty());
    EXPECT_TRUE(second.upgraded.empty());
    EXPECT_EQ(second.current.size(), 5u);
    for (const auto& [path, bytes] : upgraded) EXPECT_TRUE(ReadFileBytes(path) == bytes) << path;
    EXPECT_EQ(Cabinets(dir.Root()).size(), 1u);
}

// Railway and NZS files are written back in their own variant: a railway
// superelevation table and an NZS cross-section file whose text is rewritten
// stay railway and NZS, and a current railway widening table is left alone.
TEST_F(ProjectUpgradeTest, RailwayAndNzsFilesKeepTheirVariant) {
    const std::string sup = dir.Path("data/rail.sup"), wid = dir.Path("data/rail.wid"),
                      hdm = dir.Path("data/road.hdm");
    WriteFileBytes(sup, "RADUDAR5.83_SUP_SHUJU_RAILWAY\n1.5 200 -1.25\n");
    const std::string currentWid =
        "RADUDAR5.83_WID_SHUJU_RAILWAY\nZZZZZZZ\nYYYYYYY\n     0.000       1.20\n   100.000       1.50\n\n";
    WriteFileBytes(wid, currentWid);
    WriteFileBytes(hdm, "RADUDAR5.83_HDM_SHUJU_NZS\n100\n3.5 -0.2 4.0 -0.5\n5 0.3\n");
    WriteFileBytes(project,
                   "RADUDAR5.83_PRJ_SHUJU\n[Files]1\n105 = data\\road.hdm\n106 = data\\rail.wid\n"
                   "107 = data\\rail.sup\n[Settings]2\n201 = Variants\n");
    PrjFile p;
    ASSERT_TRUE(p.OpenProject(project));
    const ProjectUpgradeReport& r = p.GetOpenUpgradeReport();
    ASSERT_TRUE(r.failure.empty()) << r.failure;
    EXPECT_EQ(r.upgraded.size(), 2u);
    EXPECT_EQ(r.current, std::vector<std::string>{wid});
    EXPECT_EQ(ReadFileBytes(sup), "RADUDAR5.83_SUP_SHUJU_RAILWAY\n      1.50    200.000      -1.25\n");
    EXPECT_EQ(ReadFileBytes(wid), currentWid);
    EXPECT_EQ(ReadFileBytes(hdm),
              "RADUDAR5.83_HDM_SHUJU_NZS\n   100.000\n    3.5000    -0.2000     4.0000    -0.5000\n"
              "    5.0000     0.3000\n\n");
}

TEST_F(ProjectUpgradeTest, WithoutABackupNoDataFileChanges) {
    ForbidBackups();
    PrjFile p;
    ASSERT_TRUE(p.OpenProject(project)) << "the project opens all the same";
    EXPECT_FALSE(p.GetOpenUpgradeReport().failure.empty());
    EXPECT_TRUE(p.GetOpenUpgradeReport().upgraded.empty());
    ExpectNothingChanged();
    bool told = false;
    for (const auto& m : ui.messages)
        told =
            told || (m.kind == MessageKind::Error && m.text.find("were not upgraded") != std::string::npos);
    EXPECT_TRUE(told);

    // The same when the upgrade is asked for on a current project.
    std::string current = before[project];
    current.replace(0, current.find('\n'), "RADUDAR6.00_PRJ_SHUJU");
    if (::geteuid() != 0) ::chmod(dir.Root().c_str(), 0755);
    WriteFileBytes(project, current);
    before[project] = current;
    ForbidBackups();
    PrjFile q;
    ASSERT_TRUE(q.ReadProject(project));
    ProjectUpgradeReport r;
    EXPECT_FALSE(q.UpgradeProjectFiles(&r));
    EXPECT_FALSE(r.failure.empty());
    ExpectNothingChanged();
}

TEST_F(ProjectUpgradeTest, BackupsOfAProject) {
    WriteFileBytes(project,
                   "RADUDAR6.00_PRJ_SHUJU\n[Files]1\n103 = data\\ground.dmx\n116 = plan\\ground.dmx\n"
                   "117 = data\\missing.dmx\n112 = data\\ditch.bgg\n");
    WriteFileBytes(dir.Path("plan/ground.dmx"), "RADUDAR5.83_DMX_SHUJU\n0 1\n");
    ::chmod(dir.Path("data/ditch.bgg").c_str(), 0444);
    PrjFile p;
    ASSERT_TRUE(p.ReadProject(project));

    // Without a target and a project name: the time alone names the cabinet.
    ProjectBackupResult r;
    ASSERT_TRUE(p.BackupProject("", &r)) << r.error;
    ASSERT_EQ(r.cabinets.size(), 1u);
    EXPECT_EQ(fs::path(r.cabinets[0]).parent_path(), dir.Root());
    EXPECT_TRUE(std::regex_match(fs::path(r.cabinets[0]).filename().string(),
                                 std::regex(R"(\(\d{4}-\d\d-\d\d-\d{6}\)\.cab)")))
        << r.cabinets[0];
    // Project first, then the data files by type; the missing one left out,
    // the second of a name with its folder, the read-only one marked so.
    std::vector<std::string> names;
    for (const auto& e : r.entries) names.push_back(e.name);
    EXPECT_EQ(names, (std::vector<std::string>{"road.prj", "ground.dmx", "ditch.bgg", "plan\\ground.dmx"}));
    EXPECT_EQ(r.entries[2].attributes & 0x01, 0x01);
    EXPECT_EQ(r.entries[1].attributes & 0x01, 0x00);

    // Another backup in the same second does not replace the first.
    ProjectBackupResult second;
    ASSERT_TRUE(p.BackupProject("", &second));
    EXPECT_NE(second.cabinets[0], r.cabinets[0]);
    EXPECT_EQ(Cabinets(dir.Root()).size(), 2u);

    // The target's extension is not the cabinet's.
    ASSERT_TRUE(p.BackupProject(dir.Path("plan/saved.zip"), &r));
    EXPECT_EQ(r.cabinets, std::vector<std::string>{dir.Path("plan/saved.cab")});
    EXPECT_FALSE(fs::exists(dir.Path("plan/saved.zip")));

    // A failed backup says so and leaves nothing.
    ui.messages.clear();
    EXPECT_FALSE(p.BackupProject(dir.Path("nowhere/saved.cab"), &r));
    EXPECT_FALSE(r.error.empty());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].kind, MessageKind::Error);
    EXPECT_NE(ui.messages[0].text.find("nowhere/saved.cab"), std::string::npos) << ui.messages[0].text;

    // A project without data files: the project file alone.
    WriteFileBytes(project, "RADUDAR6.00_PRJ_SHUJU\n");
    PrjFile empty;
    ASSERT_TRUE(empty.ReadProject(project));
    ASSERT_TRUE(empty.BackupProject(dir.Path("alone.cab"), &r));
    ASSERT_EQ(r.entries.size(), 1u);
    EXPECT_EQ(r.entries[0].name, "road.prj");
}

// The reason the upgrade gave for leaving a file as it was; "" when it did not.
std::string WhyLeftAlone(const ProjectUpgradeReport& r, const std::string& path) {
    for (const auto& [file, why] : r.leftAlone)
        if (file == path) return why;
    return {};
}

TEST_F(ProjectUpgradeTest, NoDataFileIsUpgradedUnderAProjectReadInPart) {
    // A section of a later version before the settings: the station
    // precision 4 after it is not known, and a station 100.1234 written now
    // would become 100.123.
    std::string text = kProject;
    text.insert(text.find("[Settings]"), "[Later]50\n");
    text += "204 = 4\n";
    WriteFileBytes(dir.Path("data/stations.sta"), "RADUDAR5.83_STA_SHUJU\n100.1234 1\n");
    for (const std::string& path : {project, dir.Path("data/stations.sta")})
        before[path] = path == project ? text : ReadFileBytes(path);
    WriteFileBytes(project, text);

    PrjFile p;
    ASSERT_TRUE(p.OpenProject(project));
    EXPECT_TRUE(p.WasReadPartly());
    EXPECT_NE(p.GetOpenUpgradeReport().failure.find("read only in part"), std::string::npos)
        << p.GetOpenUpgradeReport().failure;
    EXPECT_TRUE(p.GetOpenUpgradeReport().upgraded.empty());
    ExpectNothingChanged();

    // Nor when the upgrade is asked for.
    ProjectUpgradeReport r;
    EXPECT_FALSE(p.UpgradeProjectFiles(&r));
    EXPECT_FALSE(r.failure.empty());
    ExpectNothingChanged();
}

// The upgrade writes only regular files inside the project folder that read
// as their kind and carry no chain table other than the project's; the
// backup packs the files of the data types, and other files the project
// names only from inside the folder. The project's name, free text, names
// the cabinet in the folder.
TEST_F(ProjectUpgradeTest, WhatTheUpgradeWritesAndTheBackupReads) {
    TempDir elsewhere;
    const std::string away = elsewhere.Root().filename().string();
    WriteFileBytes(elsewhere.Path("victim.bgg"), OldExample("demo-road.bgg", "RADUDAR5.8_BGGDBG_SHUJU"));
    WriteFileBytes(elsewhere.Path("far.dmx"), OldExample("demo-road.dmx", "RADUDAR5.8_DMX_SHUJU"));
    WriteFileBytes(elsewhere.Path("linked.dmx"), OldExample("demo-road.dmx", "RADUDAR5.8_DMX_SHUJU"));
    WriteFileBytes(elsewhere.Path("secret.key"), "not the project's\n");
    fs::create_symlink(elsewhere.Path("linked.dmx"), dir.Path("data/link.dmx"));
    ASSERT_EQ(::mkfifo(dir.Path("data/pipe.zdm").c_str(), 0644), 0);
    WriteFileBytes(dir.Path("data/plain.bgg"), "100 12.5\n200 13\n");
    WriteFileBytes(dir.Path("data/notes.txt"), "the project's notes\n");
    // A 5.0 cross-section file with its own break 1040 = 1050; the project has none.
    WriteFileBytes(dir.Path("data/chained.hdm"), ShortString("Qaro5.0_HDM") + Le32(4) + Le32(1) + Le32(3) +
                                                     Le64(1050.0) + Le64(1040.0) + Le32(1) + Le64(1000.0) +
                                                     Le32(1) + Le64(3.0) + Le64(-0.25) + Le32(0));
    const std::string text =
        "RADUDAR5.83_PRJ_SHUJU\n[Files]1\n104 = data\\pipe.zdm\n105 = data\\chained.hdm\n"
        "109 = data\\stations.sta\n112 = ..\\" +
        away +
        "\\victim.bgg\n"
        "113 = data\\plain.bgg\n116 = " +
        elsewhere.Path("far.dmx") + "\n117 = data\\link.dmx\nOther = " + elsewhere.Path("secret.key") +
        "\nExtra = ..\\" + away +
        "\\secret.key\nNotes = data\\notes.txt\n"
        "[Settings]2\n201 = ../outside/Road A/B bypass\n";
    WriteFileBytes(project, text);
    std::map<std::string, std::string> kept;
    for (const char* name : {"victim.bgg", "far.dmx", "linked.dmx"})
        kept[elsewhere.Path(name)] = ReadFileBytes(elsewhere.Path(name));
    for (const char* name : {"data/plain.bgg", "data/chained.hdm"})
        kept[dir.Path(name)] = ReadFileBytes(dir.Path(name));

    PrjFile p;
    ASSERT_TRUE(p.OpenProject(project));
    const ProjectUpgradeReport& r = p.GetOpenUpgradeReport();
    ASSERT_TRUE(r.failure.empty()) << r.failure;
    EXPECT_EQ(fs::path(r.backup).parent_path(), dir.Root());
    EXPECT_EQ(fs::path(r.backup).filename().string().substr(0, 25), "_outside_Road A_B bypass(") << r.backup;
    EXPECT_EQ(r.upgraded, std::vector<std::string>{dir.Path("data/stations.sta")});
    EXPECT_NE(WhyLeftAlone(r, dir.Path("data/pipe.zdm")).find("not a regular file"), std::string::npos);
    EXPECT_NE(WhyLeftAlone(r, dir.Path("data/chained.hdm")).find("chain breaks of its own (1040 = 1050)"),
              std::string::npos)
        << WhyLeftAlone(r, dir.Path("data/chained.hdm"));
    EXPECT_NE(WhyLeftAlone(r, dir.Path("data/plain.bgg")).find("signature"), std::string::npos);
    for (const std::string& outside :
         {elsewhere.Path("victim.bgg"), elsewhere.Path("far.dmx"), dir.Path("data/link.dmx")})
        EXPECT_NE(WhyLeftAlone(r, outside).find("outside the project folder"), std::string::npos) << outside;
    EXPECT_EQ(r.backupLeftOut.size(), 1u) << "the secret named twice is one file";
    for (const auto& [path, bytes] : kept) EXPECT_TRUE(ReadFileBytes(path) == bytes) << path;
    EXPECT_TRUE(fs::is_symlink(dir.Path("data/link.dmx")));

    // The backup: the data types' files wherever they are, the notes from
    // inside the folder; the secret is named and left out, unless asked for.
    ProjectBackupResult b;
    ASSERT_TRUE(p.BackupProject("", &b)) << b.error;
    EXPECT_EQ(fs::path(b.cabinets[0]).parent_path(), dir.Root());
    std::vector<std::string> sources;
    for (const auto& e : b.entries) sources.push_back(e.sourcePath);
    EXPECT_EQ(sources, (std::vector<std::string>{project, dir.Path("data/chained.hdm"),
                                                 dir.Path("data/stations.sta"), elsewhere.Path("victim.bgg"),
                                                 dir.Path("data/plain.bgg"), elsewhere.Path("far.dmx"),
                                                 dir.Path("data/link.dmx"), dir.Path("data/notes.txt")}));
    ASSERT_EQ(b.leftOut.size(), 1u);
    EXPECT_EQ(b.leftOut[0].first, elsewhere.Path("secret.key"));
    EXPECT_EQ(ui.messages.back().kind, MessageKind::Warning);
    EXPECT_NE(ui.messages.back().text.find(elsewhere.Path("secret.key")), std::string::npos);
    p.AllowFilesOutsideFolder(true);
    ASSERT_TRUE(p.BackupProject(dir.Path("all.cab"), &b)) << b.error;
    EXPECT_TRUE(b.leftOut.empty());
    EXPECT_TRUE(std::any_of(b.entries.begin(), b.entries.end(),
                            [&](const auto& e) { return e.sourcePath == elsewhere.Path("secret.key"); }));

    // Asked for, the files outside are written too; the others stay as they were.
    ProjectUpgradeReport all;
    EXPECT_FALSE(p.UpgradeProjectFiles(&all));
    EXPECT_EQ(all.upgraded.size(), 3u);
    EXPECT_EQ(FirstLine(elsewhere.Path("victim.bgg")), "RADUDAR5.83_BGGDBG_SHUJU");
    EXPECT_EQ(all.leftAlone.size(), 3u);
    for (const char* name : {"data/plain.bgg", "data/chained.hdm"})
        EXPECT_TRUE(ReadFileBytes(dir.Path(name)) == kept[dir.Path(name)]) << name;
}

}  // namespace
}  // namespace qdat
