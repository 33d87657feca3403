// The project file's own rules: a project written by hand keeps everything
// on a load and save, paths from Windows resolve here, settings and segments,
// listeners with their capability bits, the maps' order, the fingerprints.
#include <gtest/gtest.h>

#include <cmath>
#include <ctime>

#include <qdat/host/HostUi.h>
#include <qdat/project/PrjFile.h>
#include "support/TestSupport.h"

namespace qdat {
namespace {

using test::ReadFileBytes;
using test::RecordingUi;
using test::TempDir;
using test::WriteFileBytes;

class PrjFileTest : public ::testing::Test {
protected:
    test::StationDefaults defaults;
    RecordingUi ui;
    ScopedUi scoped{ui};
    TempDir dir;

    std::string Folder() const { return dir.Root().string() + "/"; }
};

// Sections named as we like (only their numbers count), keys by number and
// by name, Windows paths, a drive path, unknown lines and a fifth break.
constexpr const char* kHandWritten =
    "RADUDAR6.00_PRJ_SHUJU\r\n"
    "[Dateien]1\r\n"
    "101 = plan\\road.pm\r\n"
    "Ground line = ground\\natural.dmx\r\n"
    "104whatever follows the number = C:\\projects\\road\\design.zdm\r\n"
    "Survey notes = notes\\survey.txt\r\n"
    "115Not a type = other.dat\r\n"
    "[Einstellungen]2\r\n"
    "201 = Ring road\r\n"
    "Station precision = 4\r\n"
    "999Mystery = kept as it is\r\n"
    "Segment start = A0.000\r\n"
    "[Kette]3\r\n"
    "401 = 1000 = 1050\r\n"
    "402 = 2000 = 2100\r\n"
    "403 = 3000 = 3020\r\n"
    "404 = 4000 = 4010\r\n"
    "405 = 5000 = 5005\r\n"
    "[Abschnitt 2]5\r\n"
    "303 = 7.5\r\n"
    "a line without a value\r\n"
    "[Zahlen]101\r\n"
    "1 = 2\r\n"
    "[Texte]103\r\n"
    "70000 = kept text\r\n";

// The same project as written back, up to its maps.
constexpr const char* kWrittenBack =
    "RADUDAR6.00_PRJ_SHUJU\n"
    "[Files]1\n"
    "101Plan elements = plan\\road.pm\n"
    "103Ground line = ground\\natural.dmx\n"
    "104Vertical profile = C:\\projects\\road\\design.zdm\n"
    "Survey notes = notes\\survey.txt\n"
    "115Not a type = other.dat\n"
    "[Settings]2\n"
    "201Project name = Ring road\n"
    "204Station precision = 4\n"
    "999Mystery = kept as it is\n"
    "[Chain table]3\n"
    "401Chain break 1 = 1000.000000 = 1050.000000\n"
    "402Chain break 2 = 2000.000000 = 2100.000000\n"
    "403Chain break 3 = 3000.000000 = 3020.000000\n"
    "404Chain break 4 = 4000.000000 = 4010.000000\n"
    "405Chain break 5 = 5000.000000 = 5005.000000\n"
    "[Segment 0]4\n"
    "301Segment start = A0.000\n"
    "[Segment 1]5\n"
    "303Segment setting 303 = 7.5\n"
    "a line without a value\n"
    "[Integers]101\n";

TEST_F(PrjFileTest, AProjectWrittenByHandKeepsEverythingOnASave) {
    const std::string path = dir.Path("ring.prj");
    WriteFileBytes(path, kHandWritten);
    std::filesystem::create_directories(dir.Root() / "plan");
    WriteFileBytes(dir.Path("plan/road.pm"), "RADUDAR5.83_PM_SHUJU_PM\n");

    PrjFile project;
    ASSERT_TRUE(project.ReadProject(path));
    EXPECT_EQ(project.GetFileVersion(), 600u);
    EXPECT_EQ(project.GetStoredEntryPath(101), "plan\\road.pm");
    EXPECT_EQ(project.GetEntryPath(101), Folder() + "plan/road.pm");
    EXPECT_EQ(project.GetEntryPath(103), Folder() + "ground/natural.dmx");
    // A drive path stays as stored and counts as missing; the open went on.
    EXPECT_EQ(project.GetEntryPath(104), "C:\\projects\\road\\design.zdm");
    EXPECT_EQ(project.GetExistingFiles(), std::vector<std::string>{Folder() + "plan/road.pm"});
    EXPECT_EQ(project.GetSetting(201), "Ring road");
    EXPECT_EQ(project.GetSetting(204), "4");
    EXPECT_EQ(project.GetSegmentSetting(0, 301), "A0.000");
    EXPECT_EQ(project.GetSegmentSetting(1, 303), "7.5");
    EXPECT_EQ(project.GetChainTable().GetBreakCount(), 5);
    EXPECT_EQ(project.GetChainTable().GetBreak(4).After, 5005.0);
    std::int32_t i = 0;
    std::string text;
    EXPECT_TRUE(project.GetInt(1, i) && i == 2);
    EXPECT_TRUE(project.GetText(70000, text) && text == "kept text");

    ASSERT_TRUE(project.SaveProject());
    const std::string written = ReadFileBytes(path);
    EXPECT_EQ(written.substr(0, written.find("[Integers]101\n") + 14), kWrittenBack);
    EXPECT_NE(written.find("\n1 = 2\n"), std::string::npos);
    EXPECT_NE(written.find("[Texts]103\n70000 = kept text\n"), std::string::npos);
    // Four fingerprint values for each registered type, with or without a file.
    const auto count = [&written](const std::string& from, const std::string& to) {
        const std::string part = written.substr(written.find(from), written.find(to) - written.find(from));
        return std::count(part.begin(), part.end(), '\n') - 1;
    };
    const long types = static_cast<long>(DataTypeRegistry::Get().All().size());
    EXPECT_EQ(count("[Integers]101", "[Reals]102"), 2 * types + 1);
    EXPECT_EQ(count("[Reals]102", "[Texts]103"), 2 * types);

    // Read and written again, the file stays as it is.
    PrjFile again;
    ASSERT_TRUE(again.ReadProject(path));
    ASSERT_TRUE(again.SaveProjectAs(dir.Path("again.prj")));
    EXPECT_EQ(ReadFileBytes(dir.Path("again.prj")), written);
}

TEST_F(PrjFileTest, ASectionOfALaterVersionStopsTheReadAndKeepsWhatCameBefore) {
    const std::string path = dir.Path("later.prj");
    const std::string bytes =
        "RADUDAR6.00_PRJ_SHUJU\n[Files]1\n101 = a.pm\n[Settings]2\n201 = Kept\n[Later]57\n201 = Not read\n";
    WriteFileBytes(path, bytes);
    PrjFile project;
    ASSERT_TRUE(project.ReadProject(path));
    EXPECT_TRUE(project.WasReadPartly());
    EXPECT_EQ(project.GetSetting(201), "Kept");
    EXPECT_EQ(project.GetStoredEntryPath(101), "a.pm");
    // A save over it asks first; answered no, the file stays.
    EXPECT_FALSE(project.SaveProject());
    EXPECT_EQ(ReadFileBytes(path), bytes);
}

TEST_F(PrjFileTest, SignaturesAndBadLines) {
    const std::string path = dir.Path("p.prj");
    WriteFileBytes(path, "QARO_CAD_PRJ_VERSION_55\n201 = Old\n");
    PrjFile old;
    ASSERT_TRUE(old.ReadProject(path));
    EXPECT_EQ(old.GetFileVersion(), 500u);
    EXPECT_EQ(old.GetSetting(201), "Old");

    WriteFileBytes(path, "RADUDAR5.84_PRJ_SHUJU\n201 = Other\n");
    PrjFile unknown;
    EXPECT_FALSE(unknown.ReadProject(path));

    // A 26th chain break fails as the chain table says, naming file and line.
    std::string many = "RADUDAR6.00_PRJ_SHUJU\n[Chain table]3\n";
    for (int i = 0; i < 26; ++i)
        many +=
            "401 = " + std::to_string(1000 * (i + 1)) + " = " + std::to_string(1000 * (i + 1) + 10) + "\n";
    WriteFileBytes(path, many);
    ui.messages.clear();
    PrjFile full;
    EXPECT_FALSE(full.ReadProject(path));
    ASSERT_FALSE(ui.messages.empty());
    EXPECT_NE(ui.messages.back().text.find("p.prj"), std::string::npos) << ui.messages.back().text;
    EXPECT_NE(ui.messages.back().text.find("line 28"), std::string::npos) << ui.messages.back().text;
}

TEST_F(PrjFileTest, PathsAreStoredRelativeToTheProjectFolder) {
    PrjFile project;
    ASSERT_TRUE(project.SaveProjectAs(dir.Path("road.prj")));
    ASSERT_TRUE(project.SetEntryPath(101, Folder() + "plan/a.pm"));
    EXPECT_EQ(project.GetStoredEntryPath(101), "plan\\a.pm");
    ASSERT_TRUE(project.SetEntryPath(103, Folder() + "../shared/ground.dmx"));
    EXPECT_EQ(project.GetStoredEntryPath(103), "..\\shared\\ground.dmx");
    EXPECT_EQ(project.GetEntryPath(103), dir.Root().parent_path().string() + "/shared/ground.dmx");
    ASSERT_TRUE(project.SetEntryPath(104, "profile/./b.zdm"));  // relative: stored as given
    EXPECT_EQ(project.GetStoredEntryPath(104), "profile/./b.zdm");
    EXPECT_EQ(project.GetEntryPath(104), Folder() + "profile/b.zdm");
    ASSERT_TRUE(project.SetEntryPath(109, "D:\\road\\list.sta"));
    EXPECT_EQ(project.GetStoredEntryPath(109), "D:\\road\\list.sta");
    EXPECT_FALSE(project.SetEntryPath(115, "x.dat")) << "type 115 is not registered";
    EXPECT_FALSE(project.SetEntryPath(101, "a [1].pm")) << "a \"[\" would start a section";

    // The document of a drive path stays empty; the user is told why.
    ui.messages.clear();
    QDocument* doc = project.GetEntryDocument(109);
    ASSERT_NE(doc, nullptr);
    EXPECT_FALSE(doc->HasFilePath());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].text.find("D:\\road\\list.sta"), std::string::npos);
    EXPECT_EQ(project.GetEntryDocument(109), doc) << "made once and kept";
    EXPECT_EQ(project.GetEntryDocument(115), nullptr);
    EXPECT_EQ(project.GetEntryDocument(114), nullptr) << "no class of the type is in this version";
}

TEST_F(PrjFileTest, SettingsAndSegments) {
    PrjFile project;
    ASSERT_TRUE(project.SaveProjectAs(dir.Path("road1.prj")));
    // A project without a name is called after its file.
    EXPECT_EQ(project.GetSetting(201), "road1");
    EXPECT_EQ(project.GetGlobalValues().front().value, "road1");
    EXPECT_EQ(project.GetSetting(212), "");
    EXPECT_EQ(project.GetSetting(213), "");
    EXPECT_FALSE(project.SetSetting(201, "a\nb"));
    EXPECT_FALSE(project.SetSetting(777, "x"));

    ASSERT_TRUE(project.SetSegmentRange(0, QStation(0.0), QStation(100.0)));
    ASSERT_TRUE(project.SetSegmentRange(1, QStation(100.0), QStation(200.0)));
    ASSERT_TRUE(project.SetSegmentSetting(0, 303, "first"));
    ASSERT_TRUE(project.SetSegmentSetting(1, 303, "second"));
    EXPECT_EQ(project.GetSetting(212), "0.000");
    EXPECT_EQ(project.GetSetting(213), "200.000");
    EXPECT_EQ(project.GetSettingAtStation(QStation(100.0005), 303), "first");
    EXPECT_EQ(project.GetSettingAtStation(QStation(100.002), 303), "second");
    EXPECT_EQ(project.GetSettingAtStation(QStation(250.0), 303), "") << "beyond the last segment";
    QStation end;
    ASSERT_TRUE(project.GetEndStation(end));
    EXPECT_EQ(end.GetValue(), 200.0);
    EXPECT_FALSE(project.SetSegmentRange(9, QStation(0.0), QStation(1.0))) << "nine segments at most";

    project.ClearSegments();
    EXPECT_EQ(project.GetSegmentCount(), 1);
    ASSERT_TRUE(project.SetSetting(303, "only"));  // a segment key of segment 0
    EXPECT_EQ(project.GetSettingAtStation(QStation(1e6), 303), "only") << "segment 0 without a range";

    // The project's settings become the process's.
    ASSERT_TRUE(project.SetSetting(204, "5"));
    ASSERT_TRUE(project.SetSetting(203, "K"));
    project.GetChainTable().AddBreak(1000.0, 1050.0);
    project.ApplyProjectSettings();
    EXPECT_EQ(GetStationPrecision(), 5);
    EXPECT_EQ(GetCurrentChainTable().GetBreakCount(), 1);
    EXPECT_EQ(GetCurrentChainTable().GetPrefix(), "K");
}

class Listener : public DocumentListener {
public:
    explicit Listener(std::uint32_t version) : m_version(version) {}
    std::uint32_t GetInterfaceVersion() override { return m_version; }
    void OnEntryPathChanged(int typeId) override { calls.push_back("path " + std::to_string(typeId)); }
    bool CanChangeSetting(int segment, int key, const std::string& value) override {
        calls.push_back("can " + std::to_string(segment) + " " + std::to_string(key) + " " + value);
        return value != "refused";
    }
    void SettingChanged(int segment, int key, const std::string& old) override {
        calls.push_back("changed " + std::to_string(segment) + " " + std::to_string(key) + " " + old);
    }
    std::vector<std::string> calls;

private:
    std::uint32_t m_version;
};

TEST_F(PrjFileTest, ListenersAreCalledForWhatTheyAnnounce) {
    PrjFile project;
    Listener settings(600 | DocumentListener::kAnnouncesSettings),
        paths(600 | DocumentListener::kAnnouncesEntryPath), plain(600);
    project.AddListener(&settings);
    project.AddListener(&paths);
    project.AddListener(&plain);
    ASSERT_TRUE(project.SetSetting(202, "a"));
    EXPECT_FALSE(project.SetSetting(202, "refused"));
    EXPECT_EQ(project.GetSetting(202), "a");
    ASSERT_TRUE(project.SetSegmentSetting(0, 303, "b"));
    ASSERT_TRUE(project.SetEntryPath(101, "a.pm"));
    EXPECT_EQ(settings.calls,
              (std::vector<std::string>{"can -1 202 a", "changed -1 202 ", "can -1 202 refused",
                                        "can 0 303 b", "changed 0 303 "}));
    EXPECT_EQ(paths.calls, std::vector<std::string>{"path 101"});
    EXPECT_TRUE(plain.calls.empty());
}

TEST_F(PrjFileTest, MapsAreWrittenInHashOrderAndReadBackInIt) {
    PrjFile project;
    // Keys 5 and 277 fall into bucket 0, key 16 into bucket 1; the newest of a bucket first.
    ASSERT_TRUE(project.SetInt(5, 1));
    ASSERT_TRUE(project.SetInt(277, 2));
    ASSERT_TRUE(project.SetInt(16, 3));
    ASSERT_TRUE(project.SetReal(5, 0.5));
    EXPECT_FALSE(project.SetReal(6, std::nan("")));
    // A small key is written after its text, not before it as of old.
    ASSERT_TRUE(project.SetText(7, "text ending in 9"));
    ASSERT_TRUE(project.SaveProjectAs(dir.Path("maps.prj")));
    const std::string written = ReadFileBytes(dir.Path("maps.prj"));
    // Among the fingerprints the save put there too.
    const auto at = [&written](const std::string& line) { return written.find("\n" + line + "\n"); };
    ASSERT_NE(at("5 = 1"), std::string::npos) << written;
    EXPECT_LT(at("[Integers]101"), at("277 = 2"));
    EXPECT_LT(at("277 = 2"), at("5 = 1"));
    EXPECT_LT(at("5 = 1"), at("16 = 3"));
    EXPECT_LT(at("16 = 3"), at("[Reals]102"));
    EXPECT_LT(at("[Reals]102"), at("5 = 0.500000"));
    EXPECT_NE(written.find("[Texts]103\n7 = text ending in 9\n"), std::string::npos) << written;

    PrjFile again;
    ASSERT_TRUE(again.ReadProject(dir.Path("maps.prj")));
    std::string text;
    EXPECT_TRUE(again.GetText(7, text) && text == "text ending in 9");
    ASSERT_TRUE(again.SaveProjectAs(dir.Path("maps2.prj")));
    EXPECT_EQ(ReadFileBytes(dir.Path("maps2.prj")), written);
}

// A project of hundreds of thousands of map lines, all in one bucket, is
// read in a time that grows with the file, and written back in its order.
TEST_F(PrjFileTest, ManyMapLinesAreReadInLinearTime) {
    constexpr std::uint32_t kLines = 200000;
    const std::string header = "RADUDAR6.00_PRJ_SHUJU\n[Integers]101\n";
    std::string text = header;
    for (std::uint32_t k = kLines; k >= 1; --k)  // (272 k >> 4) mod 17 = 0
        text += std::to_string(272 * k) + " = " + std::to_string(k) + "\n";
    WriteFileBytes(dir.Path("many.prj"), text);
    PrjFile project;
    // Processor time, not the clock's: other work on the machine does not count.
    const std::clock_t start = std::clock();
    ASSERT_TRUE(project.ReadProject(dir.Path("many.prj")));
    const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    EXPECT_LT(seconds, 5.0) << "walking a bucket per line takes minutes";
    std::int32_t value = 0;
    EXPECT_TRUE(project.GetInt(272 * 12345, value) && value == 12345);
    EXPECT_FALSE(project.GetInt(272 * 12345 + 1, value));
    ASSERT_TRUE(project.SaveProjectAs(dir.Path("again.prj")));
    const std::string written = ReadFileBytes(dir.Path("again.prj"));
    const std::size_t first = written.find("\n" + std::to_string(272 * kLines) + " = ");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(written.compare(first + 1, text.size() - header.size(), text, header.size()), 0)
        << "the lines in the order read";
}

// The fingerprint is the MD5 digest of the whole file: a change anywhere in
// it shows, also one before the last kilobyte.
TEST_F(PrjFileTest, AChangeAnywhereInADataFileShows) {
    std::string content(3000, 'x');
    for (std::size_t i = 0; i < content.size(); i += 50) content[i] = '\n';
    WriteFileBytes(dir.Path("ground.dmx"), content);
    PrjFile project;
    ASSERT_TRUE(project.SaveProjectAs(dir.Path("road.prj")));
    ASSERT_TRUE(project.SetEntryPath(103, dir.Path("ground.dmx")));
    ASSERT_TRUE(project.SaveProject());
    EXPECT_TRUE(project.IsEntryFileUnchanged(103));

    // The words in the maps are the digest md5sum computes.
    std::string out;
    ASSERT_EQ(test::RunCommand("md5sum '" + dir.Path("ground.dmx") + "'", &out), 0);
    Fingerprint digest{};
    for (int b = 0; b < 16; ++b)
        digest[b] = static_cast<std::uint8_t>(std::stoi(out.substr(2 * b, 2), nullptr, 16));
    const auto word = [&digest](int w) {
        return static_cast<std::uint32_t>(digest[4 * w] | digest[4 * w + 1] << 8 | digest[4 * w + 2] << 16 |
                                          static_cast<std::uint32_t>(digest[4 * w + 3]) << 24);
    };
    std::int32_t w0 = 0, w1 = 0;
    double w2 = 0, w3 = 0;
    ASSERT_TRUE(project.GetInt(103 * 65536 + 65535, w0) && project.GetInt(0x7FFF0000 + 103, w1));
    ASSERT_TRUE(project.GetReal(103 * 65536 + 65535, w2) && project.GetReal(0x7FFF0000 + 103, w3));
    EXPECT_EQ(static_cast<std::uint32_t>(w0), word(0));
    EXPECT_EQ(static_cast<std::uint32_t>(w1), word(1));
    EXPECT_EQ(w2, word(2));
    EXPECT_EQ(w3, word(3));

    // A project read later knows the fingerprint and sees a change at byte 0.
    PrjFile later;
    ASSERT_TRUE(later.ReadProject(dir.Path("road.prj")));
    EXPECT_TRUE(later.IsEntryFileUnchanged(103));
    content[0] = 'y';
    WriteFileBytes(dir.Path("ground.dmx"), content);
    EXPECT_FALSE(later.IsEntryFileUnchanged(103));
    EXPECT_FALSE(later.IsEntryFileUnchanged(101)) << "no file";
}

class Choices : public ChoiceProvider {
public:
    bool GetChoiceText(int index, std::string& text) const override {
        if (index != 101) return false;
        text = "Urban";
        return true;
    }
    bool FindChoice(const std::string& text, int& index) const override {
        index = 101;
        return text == "Urban";
    }
};

TEST_F(PrjFileTest, AKeyWithChoicesStoresTheIndexWithTheText) {
    Choices choices;
    ASSERT_TRUE(SettingKeyRegistry::Get().SetChoiceProvider(202, &choices));
    ASSERT_TRUE(SettingKeyRegistry::Get().SetChoiceProvider(207, &choices));
    WriteFileBytes(dir.Path("c.prj"), "RADUDAR6.00_PRJ_SHUJU\n202 = 101|Whatever\n207 = 101|Plain\n");
    PrjFile project;
    const bool read = project.ReadProject(dir.Path("c.prj"));
    std::string a, b, written;
    if (read) {
        a = project.GetSetting(202);
        b = project.GetSetting(207);
        project.SaveProject();
        written = ReadFileBytes(dir.Path("c.prj"));
    }
    SettingKeyRegistry::Get().SetChoiceProvider(202, nullptr);
    SettingKeyRegistry::Get().SetChoiceProvider(207, nullptr);
    ASSERT_TRUE(read);
    EXPECT_EQ(a, "Urban");
    EXPECT_EQ(b, "101|Plain") << "key 207 is plain text always";
    EXPECT_NE(written.find("202Global setting 202 = 101|Urban\n"), std::string::npos) << written;
    EXPECT_NE(written.find("207Global setting 207 = 101|Plain\n"), std::string::npos) << written;
}

TEST(DataTypeRegistry, HoldsTheTypesOfTheKindsAndTheComingOnes) {
    auto& types = DataTypeRegistry::Get();
    ASSERT_EQ(types.All().size(), 24u);
    EXPECT_EQ(types.Find(115), nullptr);
    const DataType* dmx = types.Find(116);
    ASSERT_NE(dmx, nullptr);
    EXPECT_EQ(dmx->GetClassName(), "DmxFile");
    EXPECT_EQ(dmx->GetExtension(), "dmx");
    EXPECT_EQ(dmx->GetGroup(), 0x8003);
    EXPECT_EQ(types.FindByName(dmx->GetName()), dmx);
    const DataType* jd = types.Find(102);
    ASSERT_NE(jd, nullptr);
    EXPECT_EQ(jd->GetClassName(), "QJdDoc");
    EXPECT_EQ(types.FindByName("Intersection points"), jd);
    EXPECT_THROW(types.Register({116, 0x8003, "OtherClass", "Other|x\nx\nx\nx\n.x"}), std::logic_error);
    EXPECT_THROW(types.Register({200, 0x0003, "OtherClass", "Other|x\nx\nx\nx\n.x"}), std::logic_error);
    EXPECT_NO_THROW(types.Register({116, 0x8003, "DmxFile", nullptr}));
    EXPECT_EQ(types.All().size(), 24u);
}

}  // namespace
}  // namespace qdat
