// The station list file: signatures, numbering of old lists, every form,
// sorted insertion and filling with round stations across chain breaks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <qdat/docbase/DocDataType.h>
#include <qdat/host/NamedInterfaces.h>
#include <qdat/station/QStaDoc.h>
#include "profile/DmxTestHelpers.h"

namespace qdat {
namespace {

using test::Le32;
using test::Le64;
using test::ReadFromBytes;
using test::WriteToBytes;

using EntryList = std::vector<std::pair<double, std::uint32_t>>;

class StaDocTest : public test::StationDocTest {};

EntryList Entries(QStaDoc& doc) {
    EntryList out;
    for (const StationEntry& e : doc.Rows().GetRows()) out.emplace_back(e.m_station.GetValue(), e.m_nNumber);
    return out;
}

TEST_F(StaDocTest, Signatures) {
    QStaDoc doc;
    EXPECT_EQ(doc.GetCurrentVersion(), 584u);
    const std::pair<const char*, std::uint32_t> accepted[] = {
        {"RADUDAR5.84_STA_SHUJU", 584}, {"RADUDAR5.83_STA_SHUJU", 583}, {"RADUDAR5.8_STA_SHUJU", 580}};
    for (const auto& [sig, version] : accepted) {
        doc.SetLegacyLayout(true);
        EXPECT_TRUE(doc.ParseSignature(sig)) << sig;
        EXPECT_EQ(doc.GetFileVersion(), version);
        EXPECT_FALSE(doc.IsLegacyLayout());
    }
    EXPECT_FALSE(doc.ParseSignature("RADUDAR5.85_STA_SHUJU"));
    EXPECT_EQ(doc.GetFileVersion(), 0u);
    EXPECT_EQ(doc.GetSignature(), "RADUDAR5.84_STA_SHUJU");
    EXPECT_EQ(QDocument::TypeStringField(doc.GetTypeString(), 4), ".sta");
}

TEST_F(StaDocTest, OldListIsNumberedAndRewrittenAs584) {
    test::TempDir dir;
    const std::string path = dir.Path("old.sta");
    test::WriteFileBytes(path, "RADUDAR5.83_STA_SHUJU\n100\n150.5\n200\n");
    QStaDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_EQ(Entries(doc), (EntryList{{100, 1}, {150.5, 2}, {200, 3}}));
    EXPECT_EQ(test::ReadFileBytes(path),
              "RADUDAR5.84_STA_SHUJU\n"
              "   100.000          1\n"
              "   150.500          2\n"
              "   200.000          3\n");
}

TEST_F(StaDocTest, CurrentListKeepsItsNumbers) {
    QStaDoc doc;
    ASSERT_TRUE(ReadFromBytes(doc, "RADUDAR5.84_STA_SHUJU\n10 7\n20 9\n"));
    EXPECT_EQ(Entries(doc), (EntryList{{10, 7}, {20, 9}}));
    // A 5.84 record must carry its number.
    EXPECT_FALSE(ReadFromBytes(doc, "RADUDAR5.84_STA_SHUJU\n10 7\n20\n", "short.sta"));
    EXPECT_EQ(doc.GetEntryCount(), 0);
    ASSERT_TRUE(ReadFromBytes(doc, "RADUDAR5.84_STA_SHUJU\n"));
    EXPECT_EQ(doc.GetEntryCount(), 0);
}

// An entry number is a whole number from 0 to 4294967295, written as such:
// nothing wraps, nothing is cut off.
TEST_F(StaDocTest, NumbersAreWholeNumbersInRange) {
    QStaDoc doc;
    ASSERT_TRUE(ReadFromBytes(doc, "RADUDAR5.84_STA_SHUJU\n10 0\n20 4294967295\n30 3000000000\n"));
    EXPECT_EQ(Entries(doc), (EntryList{{10, 0}, {20, 4294967295u}, {30, 3000000000u}}));
    EXPECT_EQ(WriteToBytes(doc),
              "RADUDAR5.84_STA_SHUJU\n"
              "    10.000          0\n"
              "    20.000 4294967295\n"
              "    30.000 3000000000\n");
    for (const char* number : {"-1", "4294967296", "4294967297", "3.7", "1x", "+5", "0x10", "1e3"}) {
        QStaDoc bad;
        ui.messages.clear();
        EXPECT_FALSE(
            ReadFromBytes(bad, std::string("RADUDAR5.84_STA_SHUJU\n10 1\n20 ") + number + "\n", "n.sta"))
            << number;
        EXPECT_EQ(bad.GetEntryCount(), 0);
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_NE(ui.messages[0].text.find(std::string("\"") + number + "\""), std::string::npos)
            << ui.messages[0].text;
        EXPECT_NE(ui.messages[0].text.find("line 3"), std::string::npos) << ui.messages[0].text;
    }
}

TEST_F(StaDocTest, EveryFormRoundTrips) {
    QStaDoc doc;
    doc.AddEntry(10.25, 1);
    doc.AddEntry(20.0, 4000000000u);
    // Hand-computed tagged bytes: station tag 11, number as DWORD tag 7.
    EXPECT_EQ(WriteToBytes(doc, 0x2), std::string("QBT RADUDAR5.84_STA_SHUJU\n") +
                                          test::Tagged(11, Le64(10.25)) + test::Tagged(7, Le32(1)) +
                                          test::Tagged(11, Le64(20.0)) +
                                          test::Tagged(7, Le32(static_cast<std::int32_t>(4000000000u))));
    for (std::uint32_t flags : {0x1u, 0x0u, 0x2u, 0x4u, 0x6u}) {
        const std::string bytes = WriteToBytes(doc, flags);
        QStaDoc back;
        ASSERT_TRUE(ReadFromBytes(back, bytes)) << flags;
        EXPECT_EQ(Entries(back), (EntryList{{10.25, 1}, {20, 4000000000u}})) << flags;
        for (std::size_t n = 0; n < bytes.size(); ++n) {
            QStaDoc cut;
            if (!ReadFromBytes(cut, bytes.substr(0, n))) {
                EXPECT_EQ(cut.GetEntryCount(), 0);
            }
        }
    }
}

TEST_F(StaDocTest, InsertEntryReplacesTheNumberAtTheSameStation) {
    QStaDoc doc;
    doc.AddEntry(200.0, 2);
    doc.AddEntry(100.0, 1);
    doc.InsertEntry(StationEntry(200.0004, 7));
    EXPECT_EQ(Entries(doc), (EntryList{{100, 1}, {200.0004, 7}}));
    EXPECT_EQ(doc.GetLastEntry()->m_nNumber, 7u);
    EXPECT_TRUE(doc.FindStation(100.0));
    EXPECT_EQ(doc.GetCurrentEntry()->m_nNumber, 1u);
    doc.SetCurrentEntry(StationEntry(100.0, 5));
    EXPECT_EQ(doc.GetEntryAt(0)->m_nNumber, 5u);
    EXPECT_EQ(doc.SeekStation(150.0)->m_nNumber, 7u);
}

TEST_F(StaDocTest, FillStationsAddsRoundStationsAndTheTarget) {
    QStaDoc doc;
    doc.FillStations(100.0, 20);  // empty list: nothing
    EXPECT_EQ(doc.GetEntryCount(), 0);
    doc.AddEntry(0.0, 1);
    doc.AddEntry(40.0, 3);
    doc.FillStations(100.0, 20);
    EXPECT_EQ(Entries(doc), (EntryList{{0, 1}, {40, 3}, {60, 4}, {80, 5}, {100, 6}}));

    doc.FillStations(90.0, 20);   // below the last entry
    doc.FillStations(100.0, 20);  // at it
    doc.FillStations(200.0, 0);   // no step
    doc.FillStations(200.0, -20);
    EXPECT_EQ(doc.GetEntryCount(), 5);

    doc.FillStations(135.0, 20);  // the target need not be round
    EXPECT_EQ(Entries(doc).back(), (std::pair<double, std::uint32_t>{135, 8}));
    EXPECT_EQ(doc.GetEntryAt(5)->m_station.GetValue(), 120.0);
}

TEST_F(StaDocTest, FillStationsAcrossAChainBreak) {
    // Stake 1000 continues as stake 1100: continuous 1000 is the break, and
    // continuous 1000 + x is stake 1100 + x.
    GetCurrentChainTable().AddBreak(1000.0, 1100.0);
    QStaDoc doc;
    doc.AddEntry(980.0, 1);
    doc.FillStations(1150.0, 20);
    EntryList expected{{980, 1}, {1000, 2}};
    std::uint32_t n = 2;
    for (double s = 1020.0; s < 1150.0; s += 20.0) expected.emplace_back(s, ++n);  // stakes 1120, 1140, ...
    expected.emplace_back(1150.0, ++n);
    const EntryList got = Entries(doc);
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_NEAR(got[i].first, expected[i].first, 1e-6) << i;
        EXPECT_EQ(got[i].second, expected[i].second) << i;
    }

    // An overlapping break (stake 1050 continues as 1000): after the break
    // the round stakes 1020, 1040... lie 50 m further on.
    GetCurrentChainTable() = ChainTable();
    GetCurrentChainTable().AddBreak(1050.0, 1000.0);
    QStaDoc overlap;
    overlap.AddEntry(1030.0, 1);
    overlap.FillStations(1100.0, 20);
    const EntryList o = Entries(overlap);
    ASSERT_EQ(o.size(), 6u);
    EXPECT_NEAR(o[1].first, 1040.0, 1e-6);  // stake 1040
    EXPECT_NEAR(o[2].first, 1050.0, 1e-6);  // the break
    EXPECT_NEAR(o[3].first, 1070.0, 1e-6);  // stake 1020 on chain B
    EXPECT_NEAR(o[4].first, 1090.0, 1e-6);  // stake 1040 on chain B
    EXPECT_NEAR(o[5].first, 1100.0, 1e-6);  // the target
    EXPECT_EQ(o[5].second, 6u);
}

// A last entry that sits exactly on a break is not added again, and the
// numbers run on without a gap.
TEST_F(StaDocTest, FillStationsFromAnEntryOnABreak) {
    GetCurrentChainTable().AddBreak(1000.0, 1100.0);
    QStaDoc doc;
    doc.AddEntry(980.0, 6);
    doc.AddEntry(1000.0, 7);
    doc.FillStations(1050.0, 20);
    const EntryList got = Entries(doc);
    const EntryList expected{{980, 6}, {1000, 7}, {1020, 8}, {1040, 9}, {1050, 10}};  // stakes 1120, 1140
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_NEAR(got[i].first, expected[i].first, 1e-6) << i;
        EXPECT_EQ(got[i].second, expected[i].second) << i;
    }
}

TEST_F(StaDocTest, RepairSortsEntriesWithTheirNumbers) {
    QStaDoc doc;
    ASSERT_TRUE(ReadFromBytes(doc, "RADUDAR5.84_STA_SHUJU\n30 3\n10 1\n20 2\n"));
    ASSERT_TRUE(doc.NeedsRepair());
    doc.Repair();
    EXPECT_EQ(Entries(doc), (EntryList{{10, 1}, {20, 2}, {30, 3}}));
}

// Where stations chain up closer than the tolerance, the order of the
// repair is the bubble sort's, which no other sort reproduces in general.
TEST_F(StaDocTest, RepairGivesTheBubbleSortOrderAlsoInChainsWithinTheTolerance) {
    for (unsigned round = 0; round < 400; ++round) {
        const std::vector<double> stations = test::ClusteredStations(round);
        QStaDoc doc;
        for (std::size_t i = 0; i < stations.size(); ++i)
            doc.Rows().GetRows().Add(StationEntry(stations[i], static_cast<std::uint32_t>(i)));
        doc.Repair();
        const std::vector<int> expected = test::BubbleSortOrder(stations);
        for (std::size_t i = 0; i < expected.size(); ++i)
            ASSERT_EQ(doc.GetEntryAt(static_cast<int>(i))->m_nNumber, static_cast<std::uint32_t>(expected[i]))
                << "round " << round << " row " << i;
    }
}

// At 15 decimals the tolerance is lost in the rounding of 1e6: two equal
// stations must still not count as below each other, or the sort never ends.
TEST_F(StaDocTest, RepairEndsWhereTheToleranceIsBelowTheRounding) {
    SetStationPrecisionValue(15);
    QStaDoc doc;
    for (auto [station, number] : EntryList{{1e6, 0}, {1e6, 1}, {5.0, 2}, {1e6, 3}})
        doc.Rows().GetRows().Add(StationEntry(station, number));
    EXPECT_TRUE(doc.NeedsRepair());
    doc.Repair();
    EXPECT_EQ(Entries(doc), (EntryList{{5, 2}, {1e6, 0}, {1e6, 1}, {1e6, 3}}));
    EXPECT_FALSE(doc.NeedsRepair());
}

TEST_F(StaDocTest, DescriptorServesTheTableEditor) {
    InterfaceCollector collector(kDocDataTypeInterface);
    const DocDataType* type = nullptr;
    for (const auto& item : collector.Items())
        if (auto* d = dynamic_cast<const DocDataType*>(item.get());
            d && &d->GetDocumentClass() == &QStaDoc::classRecord)
            type = d;
    ASSERT_NE(type, nullptr);
    EXPECT_EQ(type->GetNameMessage(), 109);
    EXPECT_EQ(type->GetGroup(), 3002);
    EXPECT_EQ(type->GetFirstDisplayNumber(), 9017);
    EXPECT_EQ(type->GetSecondDisplayNumber(), 9017);
    QStaDoc doc;
    doc.AddEntry(10.0, 3);
    EXPECT_TRUE(type->InsertRowAt(doc, 0));
    EXPECT_EQ(Entries(doc), (EntryList{{0, 0}, {10, 3}}));
    EXPECT_EQ(type->GetRowCount(doc), 2);
    EXPECT_EQ(type->GetColumn(1)->get(type->GetRowAt(doc, 1)), 3.0);
    EXPECT_TRUE(type->DeleteRowAt(doc, 1));
    EXPECT_EQ(doc.GetEntryCount(), 1);
}

}  // namespace
}  // namespace qdat
