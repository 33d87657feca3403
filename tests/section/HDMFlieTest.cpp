// The cross-section ground-line file: every generation read from bytes
// written here, the NZS form, reading that stops at damage and keeps the rest
// of the file on disk, the cursor and station search, and the editor's
// descriptors.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include <qdat/docbase/DocDataType.h>
#include <qdat/host/NamedInterfaces.h>
#include <qdat/profile/DmxFile.h>
#include <qdat/section/HDMFlie.h>
#include <qdat/section/SectionDataType.h>
#include "profile/DmxTestHelpers.h"

namespace qdat {
namespace {

using test::Le32;
using test::Le64;
using test::ReadFileBytes;
using test::ReadFromBytes;
using test::ShortString;
using test::WriteFileBytes;
using test::WriteToBytes;

using Points = std::vector<std::pair<double, double>>;
struct Section {
    double station;
    Points left, right;
    bool operator==(const Section&) const = default;
};
using Sections = std::vector<Section>;

Points PointsOf(const std::vector<SectionPoint>& side) {
    Points out;
    for (const SectionPoint& p : side) out.emplace_back(p.Horizontal, p.Vertical);
    return out;
}

Sections SectionsOf(HDMFlie& doc) {
    Sections out;
    for (const CrossSection& s : doc.GetSectionArray())
        out.push_back({s.m_station.GetValue(), PointsOf(s.LeftGround), PointsOf(s.RightGround)});
    return out;
}

// The binary content of sections: station, then each side as a count and
// its pairs of doubles.
std::string BinarySections(const Sections& sections) {
    std::string out;
    for (const Section& s : sections) {
        out += Le64(s.station);
        for (const Points* side : {&s.left, &s.right}) {
            out += Le32(static_cast<std::int32_t>(side->size()));
            for (const auto& [h, v] : *side) out += Le64(h) + Le64(v);
        }
    }
    return out;
}

const Sections kTwo = {{1000.0, {{3.0, -0.25}, {9.5, -1.0}}, {{4.0, 0.5}}},
                       {1070.0, {{2.0, 0.0}}, {{3.0, 0.1}, {8.0, 0.75}}}};

class HDMFlieTest : public test::StationDocTest {};

TEST_F(HDMFlieTest, ReadsEveryGenerationWrittenByHand) {
    // 4.6: plain binary, the signature as a string, the section count, no chain table.
    HDMFlie v46;
    ASSERT_TRUE(ReadFromBytes(v46, ShortString("Qaro4.6_HDM") + Le32(2) + BinarySections(kTwo), "old.hdm"));
    EXPECT_EQ(SectionsOf(v46), kTwo);
    EXPECT_EQ(v46.GetFileVersion(), 400u);
    EXPECT_FALSE(v46.GetFileChainTable());

    // 5.0: chain table with its schema words (4, count, per break 3, After,
    // Before), then the count. Read directly, the table becomes the current one.
    const std::string chain = Le32(4) + Le32(1) + Le32(3) + Le64(1050.0) + Le64(1040.0);
    HDMFlie v50;
    ASSERT_TRUE(
        ReadFromBytes(v50, ShortString("Qaro5.0_HDM") + chain + Le32(2) + BinarySections(kTwo), "old.hdm"));
    EXPECT_EQ(SectionsOf(v50), kTwo);
    EXPECT_EQ(v50.GetFileVersion(), 500u);
    ASSERT_TRUE(v50.GetFileChainTable());
    ASSERT_EQ(v50.GetFileChainTable()->GetBreakCount(), 1);
    EXPECT_EQ(v50.GetFileChainTable()->GetBreak(0), ChainBreak(1040.0, 1050.0));
    EXPECT_EQ(GetCurrentChainTable().GetBreakCount(), 1);
    GetCurrentChainTable() = ChainTable();

    // _PPC: a header and a signature line; the chain table without schema
    // words, and no count.
    HDMFlie ppc;
    ASSERT_TRUE(
        ReadFromBytes(ppc, "QB  RADUDAR5.8_HDM_SHUJU_PPC\n" + Le32(0) + BinarySections(kTwo), "ppc.hdm"));
    EXPECT_EQ(SectionsOf(ppc), kTwo);
    EXPECT_EQ(ppc.GetFileVersion(), 580u);
    EXPECT_FALSE(ppc.WasReadPartly());

    // The current text layout; a side with count 0 has the one point (0, 0).
    HDMFlie text;
    ASSERT_TRUE(ReadFromBytes(text,
                              "RADUDAR5.8_HDM_SHUJU\n"
                              "100\n2 3.5 -0.2 8 -0.65\n0\n\n"
                              "// a comment between sections\n"
                              "140.5\n1 2 0.1\n1 6.5 0.45\n"));
    EXPECT_EQ(SectionsOf(text),
              (Sections{{100, {{3.5, -0.2}, {8, -0.65}}, {{0, 0}}}, {140.5, {{2, 0.1}}, {{6.5, 0.45}}}}));
    EXPECT_EQ(text.GetFileVersion(), 580u);

    // NZS: no counts; the tokens of a line, halved, give the points, and an
    // odd last token is no point.
    HDMFlie nzs;
    ASSERT_TRUE(ReadFromBytes(nzs, "RADUDAR5.83_HDM_SHUJU_NZS\n100\n3.5, -0.2, 4.0, -0.5, 10\n5 0.3\n"));
    EXPECT_EQ(SectionsOf(nzs), (Sections{{100, {{3.5, -0.2}, {4.0, -0.5}}, {{5, 0.3}}}}));
    EXPECT_FALSE(nzs.WasReadPartly());
}

// The NZS form is a property of the file, not of the document: a document
// set up to write it reads a file with counts as such. In the binary forms,
// which have no lines to count, the NZS form keeps its counts.
TEST_F(HDMFlieTest, NzsFormIsTheFilesOwn) {
    HDMFlie doc;
    doc.SetNzsVariant(true);
    ASSERT_TRUE(ReadFromBytes(doc, "RADUDAR5.83_HDM_SHUJU\n100\n2 3.5 -0.2 8 -0.65\n1 5 0.3\n"));
    EXPECT_EQ(SectionsOf(doc), (Sections{{100, {{3.5, -0.2}, {8, -0.65}}, {{5, 0.3}}}}));

    doc.SetFormatFlags(FormatFlag::NotLoading | FormatFlag::TextForm | FormatFlag::NzsVariant);
    const std::string nzs = WriteToBytes(doc, FormatFlag::TextForm);
    EXPECT_EQ(nzs,
              "RADUDAR5.83_HDM_SHUJU_NZS\n   100.000\n    3.5000    -0.2000     8.0000    -0.6500\n"
              "    5.0000     0.3000\n\n");
    doc.SetNzsVariant(true);
    const std::string binary = WriteToBytes(doc, 0);
    HDMFlie back;
    ASSERT_TRUE(ReadFromBytes(back, binary));
    EXPECT_EQ(back.GetFileVersion(), 583u);
    EXPECT_EQ(SectionsOf(back), SectionsOf(doc));
}

TEST_F(HDMFlieTest, WritesTheCurrentAndThe50Layout) {
    HDMFlie doc;
    ASSERT_TRUE(ReadFromBytes(doc, "RADUDAR5.83_HDM_SHUJU\n100\n1 3.5 -0.2\n0\n"));
    doc.InsertSections(1);
    doc.GetSectionAt(1)->m_station = 120.0;
    // An empty side is written as the point it reads back as.
    EXPECT_EQ(WriteToBytes(doc, FormatFlag::TextForm),
              "RADUDAR5.83_HDM_SHUJU\n"
              "   100.000\n         1     3.5000    -0.2000\n         1     0.0000     0.0000\n\n"
              "   120.000\n         1     0.0000     0.0000\n         1     0.0000     0.0000\n\n");

    GetCurrentChainTable().AddBreak(110.0, 115.0);
    const std::string legacy = WriteToBytes(doc, FormatFlag::LegacyLayout);
    const Sections expected{{100, {{3.5, -0.2}}, {{0, 0}}}, {120, {{0, 0}}, {{0, 0}}}};
    EXPECT_EQ(legacy, ShortString("Qaro5.0_HDM") + Le32(4) + Le32(1) + Le32(3) + Le64(115.0) + Le64(110.0) +
                          Le32(2) + BinarySections(expected));
    HDMFlie back;
    ASSERT_TRUE(ReadFromBytes(back, legacy));
    EXPECT_EQ(SectionsOf(back), expected);
}

// Reading stops at damage and keeps the sections read completely before it;
// a count the line cannot hold is damage, not a reason to allocate.
TEST_F(HDMFlieTest, DamageKeepsTheCompleteSections) {
    const std::string good = "100\n1 3 -0.2\n1 3 0.2\n";
    for (const char* damage : {"120\n1 3 -0.3\n2 3 0.3\n",             // fewer points than counted
                               "120\n-1\n1 3 0.3\n",                   // a negative count
                               "120\n2147483647 1 2\n1 1 1\n",         // a count far beyond the line
                               "120\n1 3 nan\n1 3 0.3\n",              // a value that is no number
                               "120\n1 3 -0.3\n1 3 0.3 \n130\n1 x\n",  // a bad token later on
                               "X120\n1 3 -0.3\n1 3 0.3\n"}) {         // station text of no chain
        SCOPED_TRACE(damage);
        HDMFlie doc;
        ASSERT_TRUE(ReadFromBytes(doc, "RADUDAR5.83_HDM_SHUJU\n" + good + damage));
        EXPECT_TRUE(doc.WasReadPartly());
        ASSERT_GE(doc.GetSectionCount(), 1);
        EXPECT_EQ(SectionsOf(doc)[0], (Section{100, {{3, -0.2}}, {{3, 0.2}}}));
    }

    // In binary a count is held to what the rest of the file can hold.
    HDMFlie binary;
    ASSERT_TRUE(ReadFromBytes(binary, "QB  RADUDAR5.83_HDM_SHUJU\n" + BinarySections(kTwo) + Le64(1100.0) +
                                          Le32(0x7FFFFFFF) + Le64(1.0)));
    EXPECT_EQ(SectionsOf(binary), kTwo);
    EXPECT_NE(binary.GetPartialReadNote().find("the first 2 sections"), std::string::npos)
        << binary.GetPartialReadNote();
}

// An old file damaged part-way, opened by the user: it is neither upgraded
// nor otherwise written back, the user is told what was kept, the sections
// read are there, and a save over the file asks first.
TEST_F(HDMFlieTest, DamagedOldFileOpenedStaysUnchangedOnDisk) {
    test::TempDir dir;
    const std::string path = dir.Path("road.hdm");
    const std::string chain = Le32(4) + Le32(0);
    const std::string third = Le64(1140.0) + Le32(3) + Le64(1.0) + Le64(2.0);  // cut after the first point
    const std::string bytes = ShortString("Qaro5.0_HDM") + chain + Le32(3) + BinarySections(kTwo) + third;
    WriteFileBytes(path, bytes);

    HDMFlie doc;
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_EQ(ReadFileBytes(path), bytes);
    EXPECT_EQ(SectionsOf(doc), kTwo);
    EXPECT_TRUE(doc.WasReadPartly());
    ASSERT_FALSE(ui.messages.empty());
    EXPECT_EQ(ui.messages.back().kind, MessageKind::Warning);
    EXPECT_NE(ui.messages.back().text.find("2 of 3 sections"), std::string::npos) << ui.messages.back().text;

    EXPECT_FALSE(doc.OnSaveDocument(path));  // asked; answered no
    EXPECT_EQ(ReadFileBytes(path), bytes);
    ui.answers.push_back(MessageAnswer::Yes);
    EXPECT_TRUE(doc.OnSaveDocument(path));
    HDMFlie saved;
    ASSERT_TRUE(ReadFromBytes(saved, ReadFileBytes(path)));
    EXPECT_EQ(saved.GetFileVersion(), 583u);
    EXPECT_EQ(SectionsOf(saved), kTwo);
}

TEST_F(HDMFlieTest, CursorAndStationSearch) {
    HDMFlie doc;
    EXPECT_FALSE(doc.MoveFirst());
    EXPECT_FALSE(doc.SeekStation(100.0));
    ASSERT_TRUE(ReadFromBytes(
        doc, "RADUDAR5.83_HDM_SHUJU\n100\n1 1 1\n1 1 1\n200\n1 1 1\n1 1 1\n300\n1 1 1\n1 1 1\n"));
    EXPECT_EQ(doc.GetCursor(), -1);
    EXPECT_TRUE(doc.IsOffEnd());
    EXPECT_EQ(doc.GetCurrentSection(), nullptr);

    // Between two sections: false, on the later one coming from before, on
    // the earlier one coming from after.
    EXPECT_FALSE(doc.SeekStation(250.0));
    EXPECT_EQ(doc.GetCursor(), 2);
    EXPECT_FALSE(doc.SeekStation(150.0));
    EXPECT_EQ(doc.GetCursor(), 0);
    EXPECT_TRUE(doc.SeekStation(200.0005));
    EXPECT_EQ(doc.GetCurrentSection()->m_station.GetValue(), 200.0);
    EXPECT_FALSE(doc.SeekStation(50.0));
    EXPECT_EQ(doc.GetCursor(), -1);
    EXPECT_FALSE(doc.SeekStation(400.0));
    EXPECT_EQ(doc.GetCursor(), -1);

    EXPECT_TRUE(doc.MoveFirst());
    EXPECT_FALSE(doc.MovePrevious());
    doc.SetCursor(2);
    EXPECT_FALSE(doc.MoveNext());
    EXPECT_TRUE(doc.IsOffEnd());
}

TEST_F(HDMFlieTest, EditorDescriptorsReachSectionsAndPoints) {
    InterfaceCollector collector(kDocDataTypeInterface);
    std::vector<const SectionDataType*> mine;
    for (const auto& item : collector.Items())
        if (auto* d = dynamic_cast<const DocDataType*>(item.get());
            d && &d->GetDocumentClass() == &HDMFlie::classRecord)
            mine.push_back(dynamic_cast<const SectionDataType*>(d));
    ASSERT_EQ(mine.size(), 2u);
    ASSERT_TRUE(mine[0] && mine[1]);
    std::vector<std::vector<int>> numbers;
    for (const DocDataType* d : mine)
        numbers.push_back(
            {d->GetNameMessage(), d->GetGroup(), d->GetFirstDisplayNumber(), d->GetSecondDisplayNumber()});
    std::sort(numbers.begin(), numbers.end());
    EXPECT_EQ(numbers, (std::vector<std::vector<int>>{{105, 3003, 9015, 9015}, {118, 3004, 134, 9015}}));

    // Rows are sections; the points of side 1 (left) and 2 (right) are
    // reached by section, side and index.
    const SectionDataType& type = *mine[0];
    HDMFlie doc;
    EXPECT_TRUE(type.InsertRowAt(doc, 0));
    EXPECT_FALSE(type.InsertRowAt(doc, 2));
    EXPECT_TRUE(type.InsertPointAt(doc, 0, CrossSection::Left, 0));
    EXPECT_TRUE(type.SetPointAt(doc, 0, CrossSection::Left, 0, {3.5, -0.2}));
    EXPECT_TRUE(type.InsertPointAt(doc, 0, CrossSection::Left, 0));
    EXPECT_FALSE(type.InsertPointAt(doc, 0, CrossSection::Left, 3));
    EXPECT_FALSE(type.InsertPointAt(doc, 0, 3, 0));
    SectionPoint p;
    ASSERT_TRUE(type.GetPointAt(doc, 0, CrossSection::Left, 1, p));
    EXPECT_EQ(p, (SectionPoint{3.5, -0.2}));
    EXPECT_EQ(PointsOf(doc.GetSectionAt(0)->LeftGround), (Points{{0, 0}, {3.5, -0.2}}));
    EXPECT_EQ(type.GetPointCount(doc, 0, CrossSection::Right), 0);
    EXPECT_TRUE(doc.IsModified());
    DmxFile other;
    EXPECT_EQ(type.GetPointCount(other, 0, CrossSection::Left), 0);
}

}  // namespace
}  // namespace qdat
