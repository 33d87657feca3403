// The ground-line file in its binary forms and its legacy layouts, hand-written
// files of each, damaged files, and the open pipeline's upgrade and repair.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <qdat/profile/DmxFile.h>
#include "profile/DmxTestHelpers.h"

namespace qdat {
namespace {

using test::Le32;
using test::Le64;
using test::ReadFileBytes;
using test::ReadFromBytes;
using test::ShortString;
using test::Tagged;
using test::TempDir;
using test::WriteFileBytes;
using test::WriteToBytes;

using PointList = std::vector<std::pair<double, double>>;
constexpr double kNone = GroundPoint::NoElevation;

class DmxFormsTest : public test::StationDocTest {};

PointList Points(DmxFile& doc) {
    PointList out;
    for (const GroundPoint& p : doc.GetPointArray()) out.emplace_back(p.m_station.GetValue(), p.m_elevation);
    return out;
}

// A line with every shape of point: zero point (dropped), runs without elevation.
void FillSample(DmxFile& doc) {
    auto& points = doc.GetPointArray();
    points.Add(GroundPoint(0.0, 0.0));
    points.Add(GroundPoint(12.5, 101.25));
    points.Add(GroundPoint(20.0, kNone));
    points.Add(GroundPoint(30.0, kNone));
    points.Add(GroundPoint(40.0, 0.1));
    points.Add(GroundPoint(1234567.125, -7.0 / 3.0));  // not exact in text: exact in binary
}
const PointList kSampleAsWritten{{12.5, 101.25}, {20.0, kNone}, {40.0, 0.1}, {1234567.125, -7.0 / 3.0}};

TEST_F(DmxFormsTest, PlainBinaryIsStationAndElevationPairs) {
    DmxFile doc;
    FillSample(doc);
    const std::string expected = std::string("QB  RADUDAR5.83_DMX_SHUJU\n") + Le64(12.5) + Le64(101.25) +
                                 Le64(20.0) + Le64(kNone) + Le64(40.0) + Le64(0.1) + Le64(1234567.125) +
                                 Le64(-7.0 / 3.0);
    EXPECT_EQ(WriteToBytes(doc, 0x0), expected);

    DmxFile back;
    ASSERT_TRUE(ReadFromBytes(back, expected));
    EXPECT_EQ(Points(back), kSampleAsWritten);
    EXPECT_EQ(back.GetFileVersion(), 583u);
}

TEST_F(DmxFormsTest, TaggedBinaryCarriesStationAndDoubleTags) {
    DmxFile doc;
    doc.InsertPoint(100.0, 12.3);
    doc.InsertPoint(150.0, kNone);
    const std::string expected = std::string("QBT RADUDAR5.83_DMX_SHUJU\n") + Tagged(11, Le64(100.0)) +
                                 Tagged(9, Le64(12.3)) + Tagged(11, Le64(150.0)) + Tagged(9, Le64(kNone));
    EXPECT_EQ(WriteToBytes(doc, 0x2), expected);
    DmxFile back;
    ASSERT_TRUE(ReadFromBytes(back, expected));
    EXPECT_EQ(Points(back), (PointList{{100, 12.3}, {150, kNone}}));

    // A station where an elevation belongs is a wrong tag.
    std::string wrong = expected;
    wrong[wrong.size() - 9] = 11;
    EXPECT_FALSE(ReadFromBytes(back, wrong, "wrong-tag.dmx"));
    EXPECT_EQ(back.GetPointCount(), 0);
}

TEST_F(DmxFormsTest, EveryBinaryFormRoundTripsExactly) {
    for (const auto& form : test::kBinaryForms) {
        DmxFile doc;
        FillSample(doc);
        const std::string bytes = WriteToBytes(doc, form.flags);
        EXPECT_EQ(bytes.substr(0, 2), "QB") << form.name;
        DmxFile back;
        ASSERT_TRUE(ReadFromBytes(back, bytes)) << form.name;
        EXPECT_EQ(Points(back), kSampleAsWritten) << form.name;
        EXPECT_EQ(WriteToBytes(back, form.flags), bytes) << form.name;
    }
}

TEST_F(DmxFormsTest, TruncatedBinaryFileNamesTheOffset) {
    DmxFile doc;
    doc.InsertPoint(100.0, 1.0);
    doc.InsertPoint(200.0, 2.0);
    const std::string bytes = WriteToBytes(doc, 0x0);
    // Cut after the last station: the elevation is missing.
    DmxFile back;
    back.InsertPoint(5.0, 5.0);
    EXPECT_FALSE(ReadFromBytes(back, bytes.substr(0, bytes.size() - 8), "cut.dmx"));
    EXPECT_EQ(back.GetPointCount(), 0);
    ASSERT_FALSE(ui.messages.empty());
    EXPECT_NE(ui.messages.back().text.find("cut.dmx"), std::string::npos) << ui.messages.back().text;
    EXPECT_NE(ui.messages.back().text.find("byte offset"), std::string::npos) << ui.messages.back().text;
    // Cut inside a double.
    EXPECT_FALSE(ReadFromBytes(back, bytes.substr(0, bytes.size() - 3), "cut.dmx"));
    EXPECT_EQ(back.GetPointCount(), 0);
}

// The 5.0 layout, written by hand: the signature string inside the content,
// the chain table with its schema words, the point count, the points.
std::string Legacy50(std::int32_t tableSchema, const std::string& points, std::int32_t count) {
    return ShortString("Qaro5.0_DMX") + Le32(tableSchema) + Le32(1) + Le32(3) + Le64(1100.0) + Le64(1000.0) +
           Le32(count) + points;
}

TEST_F(DmxFormsTest, HandWrittenLegacyFileIsRead) {
    const std::string bytes = Legacy50(4, Le64(100.0) + Le64(12.5) + Le64(1050.0) + Le64(kNone), 2);
    DmxFile doc;
    ASSERT_TRUE(ReadFromBytes(doc, bytes, "old.dmx"));
    EXPECT_EQ(doc.GetFileVersion(), 500u);
    EXPECT_EQ(Points(doc), (PointList{{100, 12.5}, {1050, kNone}}));
    // A direct read takes the file's chain table as the current one.
    ASSERT_EQ(GetCurrentChainTable().GetBreakCount(), 1);
    EXPECT_EQ(GetCurrentChainTable().GetBreak(0).Before, 1000.0);
    EXPECT_EQ(GetCurrentChainTable().GetBreak(0).After, 1100.0);
}

// The signature of a 5.0 file, a length-prefixed string, is outside any
// scrambling: a failed read of a scrambled file before it must not garble it.
TEST_F(DmxFormsTest, LegacyFileReadsAfterAFailedScrambledOne) {
    DmxFile writer;
    writer.InsertPoint(100.0, 1.0);
    const std::string scrambled = WriteToBytes(writer, 0x4);
    DmxFile doc;
    EXPECT_FALSE(ReadFromBytes(doc, scrambled.substr(0, scrambled.size() - 3), "cut.dmx"));
    ASSERT_TRUE(ReadFromBytes(doc, Legacy50(4, Le64(100.0) + Le64(12.5), 1), "old.dmx"));
    EXPECT_EQ(doc.GetFileVersion(), 500u);
    EXPECT_EQ(Points(doc), (PointList{{100, 12.5}}));
}

TEST_F(DmxFormsTest, LegacyCopyIsWrittenAsTheOldProgramDid) {
    GetCurrentChainTable().AddBreak(1000.0, 1100.0);
    DmxFile doc;
    doc.InsertPoint(0.0, 0.0);  // counted, but not written
    doc.InsertPoint(100.0, 12.5);
    doc.InsertPoint(1050.0, kNone);
    TempDir dir;
    ASSERT_TRUE(doc.SaveLegacyCopy(dir.Path("copy.dmx")));
    EXPECT_EQ(ReadFileBytes(dir.Path("copy.dmx")),
              Legacy50(4, Le64(100.0) + Le64(12.5) + Le64(1050.0) + Le64(kNone), 3));
    // The document itself keeps its form and path.
    EXPECT_EQ(doc.GetFormatFlags() & 0xF, 0x1u);
    EXPECT_EQ(doc.GetPathName(), "");

    GetCurrentChainTable() = ChainTable();
    DmxFile back;
    ASSERT_TRUE(ReadFromBytes(back, ReadFileBytes(dir.Path("copy.dmx"))));
    EXPECT_EQ(Points(back), (PointList{{100, 12.5}, {1050, kNone}}));
    EXPECT_EQ(GetCurrentChainTable().GetBreakCount(), 1);
}

// A user's open keeps the current (the project's) chain table. The file is
// written back with station text for the table it is used with: the current
// one when that has breaks, else the one the file carries (break 1000:1100,
// so the continuous station 1500 is the stake station 1600 on chain B).
TEST_F(DmxFormsTest, UserOpenOfLegacyFileKeepsTheProjectChainTable) {
    TempDir dir;
    const std::string path = dir.Path("old.dmx");
    WriteFileBytes(path, Legacy50(4, Le64(1500.0) + Le64(12.5), 1));
    DmxFile doc;
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_EQ(GetCurrentChainTable().GetBreakCount(), 0);
    EXPECT_EQ(Points(doc), (PointList{{1500, 12.5}}));
    // Older than 5.83: written back at once, in text form, with the table
    // its station text is written under stated after the signature.
    EXPECT_EQ(ReadFileBytes(path),
              "RADUDAR5.83_DMX_SHUJU\n// Chain breaks: 1000=1100\n B1600.000  12.500000\n");

    WriteFileBytes(path, Legacy50(4, Le64(1500.0) + Le64(12.5), 1));
    GetCurrentChainTable().AddBreak(2000.0, 2100.0);
    DmxFile underProject;
    ASSERT_TRUE(underProject.OnOpenDocument(path));
    EXPECT_EQ(GetCurrentChainTable().GetBreakCount(), 1);
    EXPECT_EQ(ReadFileBytes(path),
              "RADUDAR5.83_DMX_SHUJU\n// Chain breaks: 2000=2100\n A1500.000  12.500000\n");
    // Read with no table in force, it gives the same station.
    GetCurrentChainTable() = ChainTable();
    DmxFile alone;
    ASSERT_TRUE(ReadDocumentFile(alone, path));
    EXPECT_EQ(Points(alone), (PointList{{1500, 12.5}}));
}

TEST_F(DmxFormsTest, PpcFileHasTableWithoutSchemaWordsAndNoCount) {
    const std::string bytes = std::string("QB  RADUDAR5.8_DMX_SHUJU_PPC\n") + Le32(1) + Le64(1100.0) +
                              Le64(1000.0) + Le64(100.0) + Le64(12.5) + Le64(200.0) + Le64(13.5);
    DmxFile doc;
    ASSERT_TRUE(ReadFromBytes(doc, bytes));
    EXPECT_EQ(doc.GetFileVersion(), 580u);
    EXPECT_EQ(Points(doc), (PointList{{100, 12.5}, {200, 13.5}}));
    EXPECT_EQ(GetCurrentChainTable().GetBreakCount(), 1);
}

TEST_F(DmxFormsTest, LegacyFileWithWrongSchemaWordFailsCleanly) {
    TempDir dir;
    const std::string path = dir.Path("schema.dmx");
    const std::string bytes = Legacy50(5, Le64(100.0) + Le64(12.5), 1);
    WriteFileBytes(path, bytes);
    DmxFile doc;
    doc.InsertPoint(1.0, 1.0);
    EXPECT_FALSE(doc.OnOpenDocument(path));
    EXPECT_EQ(doc.GetPointCount(), 0);
    EXPECT_EQ(ReadFileBytes(path), bytes);
    ASSERT_FALSE(ui.messages.empty());
    EXPECT_NE(ui.messages.back().text.find("schema.dmx"), std::string::npos) << ui.messages.back().text;
    EXPECT_NE(ui.messages.back().text.find("byte offset 16"), std::string::npos) << ui.messages.back().text;
    EXPECT_EQ(GetCurrentChainTable().GetBreakCount(), 0);
}

TEST_F(DmxFormsTest, BadTokenLeavesTheFileUntouched) {
    TempDir dir;
    const std::string path = dir.Path("bad.dmx");
    const std::string bytes = "RADUDAR5.8_DMX_SHUJU\n100 1\n200 x2\n";
    WriteFileBytes(path, bytes);
    DmxFile doc;
    EXPECT_FALSE(doc.OnOpenDocument(path));
    EXPECT_EQ(doc.GetPointCount(), 0);
    EXPECT_EQ(ReadFileBytes(path), bytes);
}

TEST_F(DmxFormsTest, OldVersionIsRewrittenOnOpen) {
    TempDir dir;
    const std::string path = dir.Path("v580.dmx");
    WriteFileBytes(path, "RADUDAR5.8_DMX_SHUJU\n100 1\n150 NULL\n");
    DmxFile doc;
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_EQ(ReadFileBytes(path), "RADUDAR5.83_DMX_SHUJU\n   100.000   1.000000\n   150.000\n");
    EXPECT_FALSE(doc.IsModified());
}

TEST_F(DmxFormsTest, OutOfOrderFileIsOfferedForRepair) {
    TempDir dir;
    const std::string path = dir.Path("order.dmx");
    const std::string unsorted = "RADUDAR5.83_DMX_SHUJU\n300 3\n100 1\n200 2\n";
    WriteFileBytes(path, unsorted);

    {  // No: the file stays as it is.
        DmxFile doc;
        ASSERT_TRUE(doc.OnOpenDocument(path));
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].buttons, MessageButtons::YesNo);
        EXPECT_NE(ui.messages[0].text.find("order.dmx"), std::string::npos);
        EXPECT_TRUE(doc.NeedsRepair());
        EXPECT_EQ(ReadFileBytes(path), unsorted);
    }
    {  // Yes: sorted and saved at once.
        ui.answers.push_back(MessageAnswer::Yes);
        DmxFile doc;
        ASSERT_TRUE(doc.OnOpenDocument(path));
        EXPECT_FALSE(doc.NeedsRepair());
        EXPECT_EQ(
            ReadFileBytes(path),
            "RADUDAR5.83_DMX_SHUJU\n   100.000   1.000000\n   200.000   2.000000\n   300.000   3.000000\n");
    }
}

// Cut every file form at every length: the read ends cleanly or fails with a
// message, and never crashes.
TEST_F(DmxFormsTest, TruncationLoopNeverCrashes) {
    DmxFile doc;
    FillSample(doc);
    std::vector<std::string> files;
    for (std::uint32_t flags : {0x1u, 0x0u, 0x2u, 0x4u, 0x6u}) files.push_back(WriteToBytes(doc, flags));
    files.push_back(Legacy50(4, Le64(100.0) + Le64(12.5) + Le64(1050.0) + Le64(kNone), 2));
    for (const std::string& file : files) {
        for (std::size_t n = 0; n <= file.size(); ++n) {
            DmxFile back;
            const bool ok = ReadFromBytes(back, file.substr(0, n));
            if (!ok) {
                EXPECT_EQ(back.GetPointCount(), 0);
            }
            EXPECT_LE(back.GetPointCount(), 4);
        }
        ui.messages.clear();
        GetCurrentChainTable() = ChainTable();
    }
}

}  // namespace
}  // namespace qdat
