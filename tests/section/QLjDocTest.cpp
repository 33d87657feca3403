// The subgrade design file: the layout as read and written, records found
// and replaced within 0.02 m, the cursor, the derived elevations and sums,
// and the repair step.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <qdat/section/QLjDoc.h>
#include "profile/DmxTestHelpers.h"

namespace qdat {
namespace {

using test::ReadFromBytes;
using test::WriteToBytes;

class QLjDocTest : public test::StationDocTest {};

SubgradeRecord Record(double station, double base = 0.0) {
    SubgradeRecord r;
    r.m_station = station;
    r.Values[1] = base;
    return r;
}

std::vector<double> Stations(QLjDoc& doc) {
    std::vector<double> out;
    for (int i = 0; i < doc.GetRecordCount(); ++i) out.push_back(doc.GetRecordAt(i)->m_station.GetValue());
    return out;
}

TEST_F(QLjDocTest, ReadsAndWritesTheRecords) {
    QLjDoc doc;
    ASSERT_TRUE(ReadFromBytes(
        doc,
        "RADUDAR5.8_LJ_SHUJU\n"
        "100 7 50 0.75 3.5 3.5 0.5 0.5 3.5 3.5 0.75 -0.1 -0.05 -0.02 0 -0.3 0 -0.02 -0.05 -0.125\n",
        "road.lj"));
    EXPECT_EQ(doc.GetFileVersion(), 580u);
    ASSERT_EQ(doc.GetRecordCount(), 1);
    const SubgradeRecord& r = *doc.GetRecordAt(0);
    EXPECT_EQ(r.Values[0], 7.0);
    EXPECT_EQ(r.Values[18], -0.125);
    EXPECT_EQ(QLjDoc::GetFirstPointElevation(r), 49.9);
    EXPECT_EQ(QLjDoc::GetMiddlePointElevation(r), 49.7);
    EXPECT_EQ(QLjDoc::GetLastPointElevation(r), 49.875);
    EXPECT_EQ(QLjDoc::GetWidthSumA(r), 8.25);
    EXPECT_EQ(QLjDoc::GetWidthSumB(r), 8.25);
    SubgradeRecord absolute = r;
    EXPECT_EQ(QLjDoc::MakeHeightsAbsolute(absolute).Values[14], 49.7);
    EXPECT_EQ(absolute.Values[10], 49.9);
    EXPECT_EQ(absolute.Values[1], 50.0);

    // Six decimals for the values, the station as station text.
    EXPECT_EQ(
        WriteToBytes(doc, FormatFlag::TextForm),
        "RADUDAR5.83_LJ_SHUJU\n   100.000   7.000000  50.000000   0.750000   3.500000   3.500000   0.500000"
        "   0.500000   3.500000   3.500000   0.750000  -0.100000  -0.050000  -0.020000   0.000000  -0.300000"
        "   0.000000  -0.020000  -0.050000  -0.125000\n");

    // A value missing, or one that is no number, fails the read and leaves nothing.
    for (const char* bad :
         {"100 1 2 3\n", "100 0 50 0.75 3.5 3.5 0.5 0.5 3.5 3.5 0.75 inf 0 0 0 0 0 0 0 0\n"}) {
        EXPECT_FALSE(ReadFromBytes(doc, std::string("RADUDAR5.83_LJ_SHUJU\n") + bad)) << bad;
        EXPECT_EQ(doc.GetRecordCount(), 0);
    }
}

TEST_F(QLjDocTest, RecordsWithin2CentimetresAreOne) {
    QLjDoc doc;
    doc.AddRecord(Record(100.0, 50.0));
    doc.AddRecord(Record(140.0));
    doc.AddRecord(Record(100.015, 51.0));
    EXPECT_EQ(Stations(doc), (std::vector<double>{100.015, 140.0}));
    EXPECT_EQ(doc.GetRecordAt(0)->Values[1], 51.0);
    doc.AddRecord(Record(100.04));  // 0.025 from the record at 100.015
    EXPECT_EQ(Stations(doc), (std::vector<double>{100.015, 140.0, 100.04}));

    // From a cursor the search walks back as well as forward.
    doc.SetCursor(1);
    EXPECT_TRUE(doc.FindRecord(Record(99.996)));
    EXPECT_EQ(doc.GetCursor(), 0);
    doc.SetCursor(1);
    EXPECT_FALSE(doc.FindRecord(Record(120.0)));
    EXPECT_EQ(doc.GetCursor(), 1) << "a search that fails leaves the cursor";
}

TEST_F(QLjDocTest, CursorWalksAndStartsAgain) {
    QLjDoc doc;
    EXPECT_EQ(doc.GetNextRecord(), nullptr);
    for (double s : {10.0, 20.0, 30.0}) doc.AddRecord(Record(s));
    doc.SetCursor(-1);
    std::vector<double> seen;
    for (int i = 0; i < 4; ++i) seen.push_back(doc.GetNextRecord()->m_station.GetValue());
    EXPECT_EQ(seen, (std::vector<double>{10, 20, 30, 10}));
    EXPECT_EQ(doc.GetCursorRecord()->m_station.GetValue(), 20.0);
}

TEST_F(QLjDocTest, RepairSortsAndSaysWhetherAnythingMoved) {
    QLjDoc doc;
    std::string body = "RADUDAR5.83_LJ_SHUJU\n";
    for (const char* station : {"30", "10", "20", "10.0005"}) {
        body += station;
        for (int i = 0; i < SubgradeRecord::kValueCount; ++i) body += " 0";
        body += "\n";
    }
    ASSERT_TRUE(ReadFromBytes(doc, body));
    ASSERT_EQ(doc.GetRecordCount(), 4);
    EXPECT_TRUE(doc.NeedsRepair());
    EXPECT_TRUE(doc.Repair());
    // Records closer than the station tolerance keep their order.
    EXPECT_EQ(Stations(doc), (std::vector<double>{10, 10.0005, 20, 30}));
    EXPECT_FALSE(doc.NeedsRepair());
    EXPECT_FALSE(doc.Repair());
}

}  // namespace
}  // namespace qdat
