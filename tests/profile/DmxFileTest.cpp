// The profile ground-line file: signatures, the text layout as written and
// read, the writing rules, the cursor and station search, and the table-editor
// descriptors.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include <qdat/docbase/DocDataType.h>
#include <qdat/host/Context.h>
#include <qdat/host/NamedInterfaces.h>
#include <qdat/profile/DmxFile.h>
#include "profile/DmxTestHelpers.h"

namespace qdat {
namespace {

using test::ReadFromBytes;
using test::WriteToBytes;

class DmxFileTest : public test::StationDocTest {};

std::vector<std::pair<double, double>> Points(DmxFile& doc) {
    std::vector<std::pair<double, double>> out;
    for (const GroundPoint& p : doc.GetPointArray()) out.emplace_back(p.m_station.GetValue(), p.m_elevation);
    return out;
}

using PointList = std::vector<std::pair<double, double>>;
constexpr double kNone = GroundPoint::NoElevation;

TEST_F(DmxFileTest, SignaturesGiveVersionsAndLayouts) {
    struct Case {
        const char* signature;
        bool accepted;
        std::uint32_t version;
        bool legacy;
    } cases[] = {
        {"RADUDAR5.83_DMX_SHUJU", true, 583, false},
        {"RADUDAR5.8_DMX_SHUJU", true, 580, false},
        {"QARO5.0_DMX", true, 500, true},
        {"RADUDAR5.8_DMX_SHUJU_PPC", true, 580, true},
        {"  radudar5.83_dmx_shuju ", true, 583, false},
        {"RADUDAR5.83_BGGDBG_SHUJU", false, 0, false},
        {"", false, 0, false},
    };
    for (const Case& c : cases) {
        DmxFile doc;
        doc.SetLegacyLayout(true);
        EXPECT_EQ(doc.ParseSignature(c.signature), c.accepted) << c.signature;
        EXPECT_EQ(doc.GetFileVersion(), c.version) << c.signature;
        EXPECT_EQ(doc.IsLegacyLayout(), c.legacy) << c.signature;
    }

    // The 5.0 files are plain binary; "_PPC" keeps the form the header gave.
    DmxFile old;
    old.SetFormatFlags(0x1 | 0x2 | 0x4);
    old.ParseSignature("QARO5.0_DMX");
    EXPECT_EQ(old.GetFormatFlags() & 0xF, 0x8u);
    DmxFile ppc;
    ppc.SetFormatFlags(0x2);
    ppc.ParseSignature("RADUDAR5.8_DMX_SHUJU_PPC");
    EXPECT_EQ(ppc.GetFormatFlags() & 0xF, 0x2u | 0x8u);

    DmxFile doc;
    EXPECT_EQ(doc.GetCurrentVersion(), 583u);
    EXPECT_EQ(doc.GetSignature(), "RADUDAR5.83_DMX_SHUJU");
    doc.SetLegacyLayout(true);
    EXPECT_EQ(doc.GetSignature(), "");
    EXPECT_STREQ(doc.GetRuntimeClass().GetName(), "DmxFile");
    EXPECT_EQ(QDocument::TypeStringField(doc.GetTypeString(), 4), ".dmx");
    EXPECT_NE(RuntimeClass::CreateObject("DmxFile"), nullptr);
}

TEST_F(DmxFileTest, ReadsRecordsOfEveryShape) {
    DmxFile doc;
    ASSERT_TRUE(ReadFromBytes(doc,
                              "RADUDAR5.83_DMX_SHUJU\n"
                              "100 12.5\n"
                              "// a comment line\n"
                              "150.25\n"
                              "200,null\n"
                              "250\t\"NULL\"\n"
                              "\n"
                              "  300  ,  14.125  \r\n"
                              "350 -9999\n"));
    EXPECT_EQ(
        Points(doc),
        (PointList{{100, 12.5}, {150.25, kNone}, {200, kNone}, {250, kNone}, {300, 14.125}, {350, kNone}}));
    EXPECT_EQ(doc.GetFileVersion(), 583u);
    EXPECT_EQ(doc.GetFormatFlags(), 0x10000001u);
}

// Most records are taken where they lie in the read buffer; lines that are
// not plain (a zero byte, which ends a line, a quote, comments) and lines
// across the end of the buffer are read the usual way, with the same points
// and line numbers.
TEST_F(DmxFileTest, RecordsReadInPlaceGiveWhatTheUsualReadingGives) {
    DmxFile doc;
    const std::string odd = std::string("RADUDAR5.83_DMX_SHUJU\n100 12.5\n") + "400 15 extra tokens\n" +
                            std::string("500 16\0", 7) + "550 16.5\n" + "600\t17\t\n" + ", 700 ,, 18 ,\r\n" +
                            "; comment\n" + "800 \"NULL\"\n" + "900 1e+2\n";
    ASSERT_TRUE(ReadFromBytes(doc, odd));
    EXPECT_EQ(
        Points(doc),
        (PointList{
            {100, 12.5}, {400, 15}, {500, 16}, {550, 16.5}, {600, 17}, {700, 18}, {800, kNone}, {900, 100}}));

    // Far more lines than the buffer holds, and a bad one near the end named
    // by its line.
    std::string many = "RADUDAR5.83_DMX_SHUJU\n";
    for (int i = 1; i <= 30000; ++i) many += std::to_string(i) + ".5 " + std::to_string(i % 97) + ".25\n";
    ASSERT_TRUE(ReadFromBytes(doc, many));
    ASSERT_EQ(doc.GetPointCount(), 30000);
    for (int i : {0, 4095, 17777, 29999})
        EXPECT_EQ(Points(doc)[static_cast<std::size_t>(i)], std::make_pair(i + 1.5, (i + 1) % 97 + 0.25))
            << i;
    many += "30001.5 x\n";
    EXPECT_FALSE(ReadFromBytes(doc, many, "long.dmx"));
    ASSERT_FALSE(ui.messages.empty());
    EXPECT_NE(ui.messages.back().text.find("line 30002"), std::string::npos) << ui.messages.back().text;
}

// The reader notes the order as it goes; the note holds only while no row
// is handed out for writing and the tolerance stays.
TEST_F(DmxFileTest, OrderSeenWhileReadingHoldsUntilARowChanges) {
    DmxFile doc;
    // 199.9995 after 200 is within the tolerance of 0.001, not within 1e-6.
    ASSERT_TRUE(ReadFromBytes(doc, "RADUDAR5.83_DMX_SHUJU\n100 1\n200 2\n199.9995 3\n300 4\n"));
    EXPECT_FALSE(doc.NeedsRepair());
    double& tolerance = Context::Current().stationTolerance;
    const double saved = tolerance;
    tolerance = 1e-6;
    EXPECT_TRUE(doc.NeedsRepair());
    tolerance = saved;
    EXPECT_FALSE(doc.NeedsRepair());
    doc.Rows().GetAt(3)->m_station = QStation(150.0);
    EXPECT_TRUE(doc.NeedsRepair());

    ASSERT_TRUE(ReadFromBytes(doc, "RADUDAR5.83_DMX_SHUJU\n100 1\n50 2\n"));
    EXPECT_TRUE(doc.NeedsRepair());
    StationCursor<GroundPoint> copy = doc.Rows();
    EXPECT_TRUE(copy.NeedsRepair());
    doc.Repair();
    EXPECT_FALSE(doc.NeedsRepair());
}

TEST_F(DmxFileTest, EmptyBodyGivesNoPoints) {
    DmxFile doc;
    doc.InsertPoint(5.0, 1.0);
    ASSERT_TRUE(ReadFromBytes(doc, "RADUDAR5.83_DMX_SHUJU\n"));
    EXPECT_EQ(doc.GetPointCount(), 0);
    ASSERT_TRUE(ReadFromBytes(doc, "RADUDAR5.83_DMX_SHUJU\n// only a comment\n\n"));
    EXPECT_EQ(doc.GetPointCount(), 0);
}

// Reading takes room for the rows from the bytes the first rows took. Whether
// that guess is right, too short (shorter lines later) or far too long (a
// long comment at the end), every row arrives in order and the array keeps little
// room it does not use.
TEST_F(DmxFileTest, ReadingRoomFollowsTheFile) {
    const auto check = [](const std::string& body, int expected) {
        SCOPED_TRACE(expected);
        DmxFile doc;
        ASSERT_TRUE(ReadFromBytes(doc, "RADUDAR5.8_DMX_SHUJU\n" + body));
        ASSERT_EQ(doc.GetPointArray().GetSize(), expected);
        EXPECT_LE(doc.GetPointArray().GetCapacity(), expected + expected / 4 + 64);
        for (int i = 0; i < expected; ++i) {
            ASSERT_EQ(doc.GetPointAt(i)->m_station.GetValue(), i * 10.0) << i;
            ASSERT_EQ(doc.GetPointAt(i)->m_elevation, i % 7) << i;
        }
        EXPECT_EQ(doc.GetFileVersion(), 580u);
    };
    const auto line = [](int i, int width) {
        std::string station = std::to_string(i * 10);
        return std::string(static_cast<std::size_t>(std::max(0, width - static_cast<int>(station.size()))),
                           ' ') +
               station + " " + std::to_string(i % 7) + "\n";
    };
    std::string even, shrinking, comment;
    for (int i = 0; i < 1500; ++i) even += line(i, 8);
    for (int i = 0; i < 3000; ++i) shrinking += line(i, i < 300 ? 40 : 0);
    for (int i = 0; i < 300; ++i) comment += line(i, 0);
    comment += ";" + std::string(1 << 20, 'x') + "\n";
    check(even, 1500);
    check(shrinking, 3000);
    check(comment, 300);
    check(line(0, 0), 1);
    check("", 0);
}

// Writing: hand-computed records. Stations are right-aligned in 10 columns
// with three decimals (station text without chain breaks), elevations with six.
TEST_F(DmxFileTest, WritesThePointRules) {
    DmxFile doc;
    auto& points = doc.GetPointArray();
    points.Add(GroundPoint(0.0, 0.0));     // dropped: station 0, elevation exactly 0
    points.Add(GroundPoint(0.0004, 0.0));  // dropped too: station 0 within the tolerance
    points.Add(GroundPoint(100.0, 12.3));
    points.Add(GroundPoint(150.0, kNone));  // a run of three without elevation: one record
    points.Add(GroundPoint(160.0, kNone));
    points.Add(GroundPoint(170.0, kNone));
    points.Add(GroundPoint(180.0, 0.0));  // elevation 0 away from station 0 stays
    points.Add(GroundPoint(190.0, kNone));
    points.Add(GroundPoint(0.0, 1e-9));  // dropped: written, it would read back as exactly 0
    points.Add(GroundPoint(0.0, 1e-6));  // not 0 at six decimals
    points.Add(GroundPoint(12345.5, -3.25));
    const std::string text = WriteToBytes(doc);
    EXPECT_EQ(text,
              "RADUDAR5.83_DMX_SHUJU\n"
              "   100.000  12.300000\n"
              "   150.000\n"
              "   180.000   0.000000\n"
              "   190.000\n"
              "     0.000   0.000001\n"
              " 12345.500  -3.250000\n");
    // What was written reads back and is written the same again.
    DmxFile back;
    ASSERT_TRUE(test::ReadFromBytes(back, text));
    EXPECT_EQ(WriteToBytes(back), text);

    // The binary forms keep every value: there only exactly 0 is a zero point.
    DmxFile binary;
    binary.GetPointArray().Add(GroundPoint(0.0, 1e-9));
    ASSERT_TRUE(test::ReadFromBytes(back, WriteToBytes(binary, 0x0)));
    EXPECT_EQ(back.GetPointCount(), 1);
}

TEST_F(DmxFileTest, TextRoundTripKeepsWhatWasWritten) {
    DmxFile doc;
    doc.InsertPoint(10.0, 1.0);
    doc.InsertPoint(20.0, kNone);
    doc.InsertPoint(30.0, kNone);
    doc.InsertPoint(40.5, 123.456789);
    doc.InsertPoint(0.0, 0.0);
    const std::string bytes = WriteToBytes(doc);
    DmxFile back;
    ASSERT_TRUE(ReadFromBytes(back, bytes));
    EXPECT_EQ(Points(back), (PointList{{10, 1}, {20, kNone}, {40.5, 123.456789}}));
    EXPECT_EQ(WriteToBytes(back), bytes);
}

TEST_F(DmxFileTest, StationsTravelAsStationTextThroughTheChainTable) {
    GetCurrentChainTable().AddBreak(1000.0, 1100.0);
    DmxFile doc;
    doc.InsertPoint(1050.0, 5.0);  // continuous 1050 is stake 1150 on chain B
    const std::string bytes = WriteToBytes(doc);
    EXPECT_NE(bytes.find("B1150"), std::string::npos) << bytes;
    DmxFile back;
    ASSERT_TRUE(ReadFromBytes(back, bytes));
    ASSERT_EQ(back.GetPointCount(), 1);
    EXPECT_NEAR(back.GetPointAt(0)->m_station.GetValue(), 1050.0, 1e-9);
}

TEST_F(DmxFileTest, BadTokenNamesFileAndLineAndLeavesDocumentEmpty) {
    DmxFile doc;
    doc.InsertPoint(1.0, 1.0);
    EXPECT_FALSE(ReadFromBytes(doc, "RADUDAR5.83_DMX_SHUJU\n100 12.5\n200 abc\n300 1\n", "bad-token.dmx"));
    EXPECT_EQ(doc.GetPointCount(), 0);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].text.find("bad-token.dmx"), std::string::npos) << ui.messages[0].text;
    EXPECT_NE(ui.messages[0].text.find("line 3"), std::string::npos) << ui.messages[0].text;

    // A bad station is just as fatal.
    EXPECT_FALSE(ReadFromBytes(doc, "RADUDAR5.83_DMX_SHUJU\nK1+x 12.5\n"));
    EXPECT_EQ(doc.GetPointCount(), 0);
}

// NaN and the infinities are no elevations: refused on reading, named as the
// file holds them with their line or byte offset, and never written.
TEST_F(DmxFileTest, NonFiniteElevationsAreRefusedBothWays) {
    for (const char* value : {"nan", "inf", "-1e999"}) {
        DmxFile doc;
        ui.messages.clear();
        EXPECT_FALSE(ReadFromBytes(doc, std::string("RADUDAR5.83_DMX_SHUJU\n100 12.5\n200 ") + value + "\n",
                                   "odd.dmx"));
        EXPECT_EQ(doc.GetPointCount(), 0);
        ASSERT_EQ(ui.messages.size(), 1u);
        const std::string& message = ui.messages[0].text;
        EXPECT_NE(message.find("odd.dmx"), std::string::npos) << message;
        EXPECT_NE(message.find("line 3"), std::string::npos) << message;
        EXPECT_NE(message.find(std::string("\"") + value + "\""), std::string::npos) << message;
    }
    DmxFile doc;
    EXPECT_FALSE(ReadFromBytes(
        doc, std::string("QB  RADUDAR5.83_DMX_SHUJU\n") + test::Le64(100.0) + test::Le64(std::nan(""))));
    EXPECT_EQ(doc.GetPointCount(), 0);

    for (double bad : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
        DmxFile unwritable;
        unwritable.InsertPoint(100.0, 1.0);
        unwritable.InsertPoint(200.0, bad);
        for (std::uint32_t form : {0x1u, 0x0u})
            EXPECT_THROW(WriteToBytes(unwritable, form), QArchiveException);
    }
}

TEST_F(DmxFileTest, UnknownSignatureIsReadAsContent) {
    DmxFile doc;
    ASSERT_TRUE(ReadFromBytes(doc, "100 1\n200 2\n"));
    EXPECT_EQ(doc.GetFileVersion(), 0u);
    EXPECT_EQ(doc.GetPointCount(), 2);
    EXPECT_FALSE(ReadFromBytes(doc, "SOMETHING_ELSE\n100 1\n"));
}

TEST_F(DmxFileTest, CursorWalksThePoints) {
    DmxFile doc;
    EXPECT_EQ(doc.GetCursor(), -1);
    EXPECT_TRUE(doc.IsBeforeFirst());
    EXPECT_FALSE(doc.MoveFirst());
    EXPECT_TRUE(doc.IsAfterLast());
    EXPECT_FALSE(doc.MoveLast());
    EXPECT_EQ(doc.GetCurrentPoint(), nullptr);
    EXPECT_EQ(doc.SeekStation(10.0), nullptr);

    for (double s : {10.0, 20.0, 30.0}) doc.InsertPoint(s, s / 10);
    EXPECT_TRUE(doc.MoveFirst());
    EXPECT_EQ(doc.GetCurrentPoint()->m_elevation, 1.0);
    EXPECT_TRUE(doc.MoveNext());
    EXPECT_TRUE(doc.MoveNext());
    EXPECT_FALSE(doc.MoveNext());
    EXPECT_TRUE(doc.IsAfterLast());
    EXPECT_FALSE(doc.IsCursorValid());
    EXPECT_TRUE(doc.MoveLast());
    EXPECT_EQ(doc.GetCursor(), 2);
    EXPECT_TRUE(doc.MovePrev());
    EXPECT_TRUE(doc.MovePrev());
    EXPECT_FALSE(doc.MovePrev());
    EXPECT_TRUE(doc.IsBeforeFirst());

    doc.SetCursor(1);
    doc.SetCurrentPoint(GroundPoint(20.0, 7.0));
    EXPECT_EQ(doc.GetPointAt(1)->m_elevation, 7.0);
    EXPECT_EQ(doc.GetPointAt(3), nullptr);
    EXPECT_EQ(doc.GetPointAt(-1), nullptr);

    // The cursor survives clearing and reading.
    doc.DeleteContents();
    EXPECT_EQ(doc.GetPointCount(), 0);
    EXPECT_EQ(doc.GetCursor(), 1);
}

TEST_F(DmxFileTest, SeekStationFindsTheFirstPointNotBelow) {
    DmxFile doc;
    for (double s : {100.0, 200.0, 300.0, 400.0}) doc.InsertPoint(s, 1.0);

    doc.SetCursor(-1);
    ASSERT_NE(doc.SeekStation(250.0), nullptr);
    EXPECT_EQ(doc.GetCursor(), 2);
    // Backwards from a cursor beyond the station.
    ASSERT_NE(doc.SeekStation(150.0), nullptr);
    EXPECT_EQ(doc.GetCursor(), 1);
    ASSERT_NE(doc.SeekStation(50.0), nullptr);
    EXPECT_EQ(doc.GetCursor(), 0);
    // Within the tolerance below a point counts as at it.
    doc.SetCursor(3);
    EXPECT_EQ(doc.SeekStation(200.0009)->m_station.GetValue(), 200.0);
    EXPECT_EQ(doc.SeekStation(199.9991)->m_station.GetValue(), 200.0);
    EXPECT_EQ(doc.SeekStation(200.001)->m_station.GetValue(), 300.0);

    // Beyond the last station: null, cursor past the end.
    EXPECT_EQ(doc.SeekStation(400.5), nullptr);
    EXPECT_TRUE(doc.IsAfterLast());
    EXPECT_EQ(doc.GetCursor(), 4);
    // From past the end the search starts over.
    EXPECT_EQ(doc.SeekStation(300.0)->m_station.GetValue(), 300.0);
}

TEST_F(DmxFileTest, FindStationUsesTheTolerance) {
    DmxFile doc;
    for (double s : {100.0, 200.0, 300.0}) doc.InsertPoint(s, 1.0);
    doc.SetCursor(2);
    EXPECT_TRUE(doc.FindStation(100.0005));
    EXPECT_EQ(doc.GetCursor(), 0);
    EXPECT_FALSE(doc.FindStation(150.0));
    EXPECT_EQ(doc.GetCursor(), 1);  // on the first point above
    EXPECT_TRUE(doc.FindStation(299.9995));
    EXPECT_EQ(doc.GetCursor(), 2);
    EXPECT_FALSE(doc.FindStation(300.001));
    EXPECT_TRUE(doc.IsAfterLast());
    EXPECT_FALSE(doc.FindStation(99.999));
    EXPECT_EQ(doc.GetCursor(), 0);
}

TEST_F(DmxFileTest, InsertPointReplacesInsertsOrAppends) {
    DmxFile doc;
    doc.InsertPoint(200.0, 2.0);
    doc.InsertPoint(100.0, 1.0);     // before the first
    doc.InsertPoint(300.0, 3.0);     // appended
    doc.InsertPoint(150.0, 1.5);     // between
    doc.InsertPoint(200.0005, 9.0);  // within the tolerance: replaces
    EXPECT_EQ(Points(doc), (PointList{{100, 1}, {150, 1.5}, {200.0005, 9}, {300, 3}}));
    doc.InsertPoint(GroundPoint(300.001, 4.0));  // one tolerance away: a new point
    EXPECT_EQ(doc.GetPointCount(), 5);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_TRUE(doc.GetPointAt(1)->IsBelow(200.0));
    EXPECT_FALSE(doc.GetPointAt(2)->IsBelow(200.0));
    EXPECT_TRUE(doc.GetPointAt(3)->IsAbove(200.0));
}

TEST_F(DmxFileTest, RepairSortsAndKeepsPointsWithinTheToleranceInOrder) {
    DmxFile doc;
    auto& points = doc.GetPointArray();
    for (double s : {300.0, 100.0004, 100.0001, 50.0, 200.0}) points.Add(GroundPoint(s, s));
    EXPECT_TRUE(doc.NeedsRepair());
    EXPECT_TRUE(doc.Repair());
    EXPECT_FALSE(doc.NeedsRepair());
    EXPECT_EQ(Points(doc),
              (PointList{{50, 50}, {100.0004, 100.0004}, {100.0001, 100.0001}, {200, 200}, {300, 300}}));

    DmxFile none;
    EXPECT_FALSE(none.NeedsRepair());
    none.InsertPoint(1.0, 1.0);
    EXPECT_FALSE(none.NeedsRepair());
}

TEST_F(DmxFileTest, RepairOfALongReversedLineIsNotQuadratic) {
    DmxFile doc;
    auto& points = doc.GetPointArray();
    const int n = 200000;
    points.SetSize(n);
    for (int i = 0; i < n; ++i) points[i] = GroundPoint((n - i) * 0.5, n - i);
    ASSERT_TRUE(doc.NeedsRepair());
    doc.Repair();
    EXPECT_FALSE(doc.NeedsRepair());
    EXPECT_EQ(doc.GetPointAt(0)->m_station.GetValue(), 0.5);
    EXPECT_EQ(doc.GetPointAt(n - 1)->m_elevation, n);
}

TEST_F(DmxFileTest, ThreeDescriptorsServeTheTableEditor) {
    InterfaceCollector collector(kDocDataTypeInterface);
    std::vector<const DocDataType*> mine;
    for (const auto& item : collector.Items())
        if (auto* d = dynamic_cast<const DocDataType*>(item.get());
            d && &d->GetDocumentClass() == &DmxFile::classRecord)
            mine.push_back(d);
    ASSERT_EQ(mine.size(), 3u);
    std::vector<std::vector<int>> numbers;
    for (const DocDataType* d : mine)
        numbers.push_back(
            {d->GetNameMessage(), d->GetGroup(), d->GetFirstDisplayNumber(), d->GetSecondDisplayNumber()});
    std::sort(numbers.begin(), numbers.end());
    EXPECT_EQ(numbers, (std::vector<std::vector<int>>{
                           {103, 3003, 9012, 9012}, {116, 3003, 4, 9012}, {117, 3003, 14, 9012}}));

    const DocDataType& type = *mine[0];
    EXPECT_TRUE(type.IsEditable());
    ASSERT_NE(type.GetColumn(1), nullptr);
    EXPECT_EQ(type.GetColumn(2), nullptr);
    EXPECT_STREQ(type.GetColumn(0)->key, "station");

    DmxFile doc;
    doc.InsertPoint(10.0, 1.0);
    doc.InsertPoint(20.0, 2.0);
    EXPECT_EQ(type.GetRowCount(doc), 2);
    EXPECT_TRUE(type.InsertRowAt(doc, 1));
    EXPECT_EQ(Points(doc), (PointList{{10, 1}, {0, 0}, {20, 2}}));
    void* row = type.GetRowAt(doc, 1);
    ASSERT_EQ(row, doc.GetPointAt(1));
    type.GetColumn(0)->set(row, 15.0);
    type.GetColumn(1)->set(row, 1.5);
    EXPECT_EQ(type.GetColumn(1)->get(row), 1.5);
    // A row beyond the count is refused: the editor cannot grow the array
    // by a wild index (one near INT_MAX once overflowed).
    EXPECT_FALSE(type.InsertRowAt(doc, 5));
    EXPECT_FALSE(type.InsertRowAt(doc, INT_MAX));
    EXPECT_TRUE(type.InsertRowAt(doc, 3));  // at the end
    EXPECT_EQ(doc.GetPointCount(), 4);
    EXPECT_TRUE(type.DeleteRowAt(doc, 0));
    EXPECT_FALSE(type.DeleteRowAt(doc, 9));
    EXPECT_EQ(doc.GetPointAt(0)->m_station.GetValue(), 15.0);
    EXPECT_EQ(type.GetRowAt(doc, 99), nullptr);

    // Another kind of document has no rows here.
    class Other : public QDocument {
    } other;
    EXPECT_EQ(type.GetRowCount(other), 0);
    EXPECT_FALSE(type.InsertRowAt(other, 0));
}

// The ground between points by hand: straight from (10, 100) to (20, 110)
// is 104.5 at 14.5; a point without elevation leaves no ground beside it.
TEST_F(DmxFileTest, GroundElevationBetweenPoints) {
    GrowArray<GroundPoint> points;
    for (const auto& [s, z] : PointList{{10, 100}, {20, 110}, {30, kNone}, {40, 90}, {50, 95}})
        points.Add(GroundPoint(QStation(s), z));
    EXPECT_DOUBLE_EQ(GroundElevationAt(points, 14.5), 104.5);
    EXPECT_DOUBLE_EQ(GroundElevationAt(points, 10.0), 100.0);
    EXPECT_DOUBLE_EQ(GroundElevationAt(points, 20.0004), 110.0);  // within the station tolerance
    EXPECT_DOUBLE_EQ(GroundElevationAt(points, 47.5), 93.75);
    EXPECT_DOUBLE_EQ(GroundElevationAt(points, 50.0), 95.0);
    for (double s : {9.9, 25.0, 30.0, 35.0, 50.1, std::nan(""), HUGE_VAL})
        EXPECT_TRUE(std::isnan(GroundElevationAt(points, s))) << s;
    EXPECT_TRUE(std::isnan(GroundElevationAt(GrowArray<GroundPoint>(), 0.0)));
}

}  // namespace
}  // namespace qdat
