// The earthwork table: the record layout of every version read from lines
// written here, legacy files told by their number of values, the current
// layout as written, the station search and interpolation, and the repair.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <qdat/earthwork/TfDoc.h>
#include "profile/DmxTestHelpers.h"

namespace qdat {
namespace {

using test::ReadFromBytes;
using test::WriteToBytes;

constexpr int kExtra = -1;

// The value a test file gives kind k: k + 0.5, the whole number 28 for kind
// 28, 7.25 for the extra value of the oldest layouts.
std::string ValueText(int kind) {
    if (kind == kExtra) return "7.25";
    if (kind == 28) return "28";
    return std::to_string(kind) + ".5";
}

std::vector<int> Kinds(int first, int last) {
    std::vector<int> kinds;
    for (int k = first; k <= last; ++k) kinds.push_back(k);
    return kinds;
}
std::vector<int> Join(std::initializer_list<std::vector<int>> parts) {
    std::vector<int> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

std::string Line(const std::string& station, const std::vector<int>& kinds, const std::string& tail = "") {
    std::string line = station;
    for (int k : kinds) line += " " + ValueText(k);
    return line + tail + "\n";
}

// Every kind of the row is what the file gave it, or 0 when the layout has none.
void ExpectKinds(const EarthworkRow& row, const std::vector<int>& carried) {
    const std::set<int> has(carried.begin(), carried.end());
    for (unsigned k = 1; k < EarthworkRow::kKindCount; ++k) {
        const double expected = !has.count(static_cast<int>(k)) ? 0.0 : k == 28 ? 28.0 : k + 0.5;
        EXPECT_EQ(row.GetQuantity(k), expected) << "kind " << k;
    }
}

class TfDocTest : public test::StationDocTest {};

TEST_F(TfDocTest, ReadsTheLayoutOfEveryVersion) {
    const std::vector<int> k1to34 = Kinds(1, 34);
    struct Case {
        const char* name;
        std::string signature;  // empty for a legacy file
        std::vector<int> items;
        std::uint32_t version;
    } cases[] = {
        {"0", "", {1, 2, kExtra, 3, 8, 9, 12, 13}, 0},
        {"100", "", Join({{1, 2, kExtra}, Kinds(3, 13), Kinds(22, 27)}), 100},
        {"200", "", k1to34, 400},  // 35 values, the layout of 200 and 400 alike
        {"300", "", Join({Kinds(1, 13), Kinds(22, 27), {28}, Kinds(29, 34)}), 300},
        {"580", "RADUDAR5.8_TF_SHUJU\n", k1to34, 580},
        {"583", "RADUDAR5.83_TF_SHUJU\n", k1to34, 583},
        {"584", "RADUDAR5.84_TF_SHUJU\n", Join({k1to34, {59, 60}, Kinds(35, 58)}), 584},
        {"586", "RADUDAR5.86_TF_SHUJU\n", Join({k1to34, {59, 60}, Kinds(35, 58), {61}}), 586},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string tail = c.version == 586 ? " \"in rock\"" : "";
        TfDoc doc;
        ASSERT_TRUE(ReadFromBytes(doc, c.signature + Line("100", c.items, tail) + Line("140", c.items, tail),
                                  "t.tf"));
        EXPECT_EQ(doc.GetFileVersion(), c.version);
        ASSERT_EQ(doc.GetRowCount(), 2);
        std::vector<int> kinds;
        for (int k : c.items)
            if (k != kExtra) kinds.push_back(k);
        ExpectKinds(*doc.GetRowAt(1), kinds);
        EXPECT_EQ(doc.GetRowAt(1)->m_station.GetValue(), 140.0);
        EXPECT_EQ(doc.GetRowAt(0)->ExtraValue, c.items[2] == kExtra ? 7.25 : 0.0);
        EXPECT_EQ(doc.GetRowAt(0)->Remark, c.version == 586 ? "in rock" : "");
    }

    // Any other number of values on the first line of a legacy file fails
    // the read, naming the file and the line.
    for (const char* bad : {"100 1 2 3 4 5 6 7 8 9 10\n", "100 1 2\n"}) {
        TfDoc doc;
        ui.messages.clear();
        EXPECT_FALSE(ReadFromBytes(doc, bad, "old.tf"));
        EXPECT_EQ(doc.GetRowCount(), 0);
        ASSERT_FALSE(ui.messages.empty());
        EXPECT_NE(ui.messages.back().text.find("old.tf"), std::string::npos) << ui.messages.back().text;
        EXPECT_NE(ui.messages.back().text.find("line 1"), std::string::npos) << ui.messages.back().text;
    }
}

// Saved, a 5.84 row becomes a 5.86 record: the quantities in the current
// order, kind 61 as 0, the empty remark, kind 28 as a whole number.
TEST_F(TfDocTest, WritesTheCurrentLayout) {
    TfDoc doc;
    ASSERT_TRUE(ReadFromBytes(
        doc, "RADUDAR5.84_TF_SHUJU\n" + Line("100", Join({Kinds(1, 34), {59, 60}, Kinds(35, 58)}))));
    const std::string text = WriteToBytes(doc, FormatFlag::TextForm);
    std::istringstream lines(text);
    std::string signature, comment, record;
    std::getline(lines, signature);
    std::getline(lines, comment);
    std::getline(lines, record);
    EXPECT_EQ(signature, "RADUDAR5.86_TF_SHUJU");
    EXPECT_EQ(comment.substr(0, 2), "//");
    EXPECT_EQ(record.substr(0, 26), "        100.000      1.500");
    std::vector<std::string> tokens;
    std::istringstream split(record);
    for (std::string t; split >> t;) tokens.push_back(t);
    ASSERT_EQ(tokens.size(), 63u);
    EXPECT_EQ(tokens[27], "27.500");
    EXPECT_EQ(tokens[28], "28");
    EXPECT_EQ(tokens[35], "59.500");
    EXPECT_EQ(tokens[36], "60.500");
    EXPECT_EQ(tokens[37], "35.500");
    EXPECT_EQ(tokens[60], "58.500");
    EXPECT_EQ(tokens[61], "0.000");
    EXPECT_EQ(tokens[62], "\"\"");

    TfDoc back;
    ASSERT_TRUE(ReadFromBytes(back, text));
    ExpectKinds(*back.GetRowAt(0), Join({Kinds(1, 34), {59, 60}, Kinds(35, 58)}));
    EXPECT_EQ(back.GetQuantityType(28), 2);
    EXPECT_EQ(back.GetQuantityType(0), 1);
    EXPECT_EQ(back.GetQuantityType(8), 0);
    EXPECT_EQ(TfDoc::GetQuantityName(8), "Quantity 8");
    EXPECT_EQ(TfDoc::GetQuantityName(0), "Station");
    EXPECT_EQ(TfDoc::GetQuantityName(62), "");
}

EarthworkRow Row(double station, double q8, double q9) {
    EarthworkRow row;
    row.m_station = station;
    row.Quantities[8] = q8;
    row.Quantities[9] = q9;
    row.IntegerQuantity = static_cast<std::int32_t>(station);
    return row;
}

TEST_F(TfDocTest, SearchAndInterpolation) {
    TfDoc doc;
    double v8 = 0.0, v9 = 0.0;
    EXPECT_FALSE(doc.InterpolateAt(10.0, v8, v9));
    for (const EarthworkRow& row : {Row(0, -10, 4), Row(40, 30, -8), Row(80, 6, 6)})
        doc.Rows().GetRows().Add(row);

    // At a row: its values, made absolute.
    ASSERT_TRUE(doc.InterpolateAt(40.0005, v8, v9));
    EXPECT_EQ(v8, 30.0);
    EXPECT_EQ(v9, 8.0);
    EXPECT_EQ(doc.GetQuantity(28), 40.0) << "the cursor stays on the row found";
    // Between rows, from a cursor after them and before them: |q| at 0 is
    // (10, 4), at 40 (30, 8); a quarter of the way gives (15, 5).
    ASSERT_TRUE(doc.InterpolateAt(10.0, v8, v9));
    EXPECT_EQ(v8, 15.0);
    EXPECT_EQ(v9, 5.0);
    ASSERT_TRUE(doc.InterpolateAt(70.0, v8, v9));
    EXPECT_EQ(v8, 30.0 + 0.75 * (6.0 - 30.0));
    EXPECT_EQ(v9, 8.0 + 0.75 * (6.0 - 8.0));
    EXPECT_FALSE(doc.InterpolateAt(80.5, v8, v9));
    EXPECT_TRUE(doc.IsAtEnd());
    EXPECT_FALSE(doc.InterpolateAt(-0.5, v8, v9));
    EXPECT_EQ(doc.GetQuantity(8), 0.0) << "no cursor, no row";

    EarthworkRow found;
    EXPECT_FALSE(doc.FindRow(20.0, found));
    ASSERT_TRUE(doc.FindRow(0.0, found));
    EXPECT_EQ(found.Quantities[8], -10.0);

    // Walking the rows with ReadNext.
    doc.ResetCursor();
    std::vector<double> stations;
    bool more = true;
    while (more) {
        more = doc.ReadNext(found);
        stations.push_back(found.m_station.GetValue());
    }
    EXPECT_EQ(stations, (std::vector<double>{0, 40, 80}));
}

// Rows 0.0005 apart are at one station: the repair keeps the later of them.
TEST_F(TfDocTest, RepairSortsAndDropsTheFirstOfEqualRows) {
    TfDoc doc;
    doc.Rows().GetRows().Add(Row(10, 1, 0));
    EXPECT_FALSE(doc.Repair());
    for (const EarthworkRow& row : {Row(30, 2, 0), Row(20, 3, 0), Row(30.0005, 4, 0), Row(20.0005, 5, 0)})
        doc.Rows().GetRows().Add(row);
    EXPECT_TRUE(doc.NeedsRepair());
    EXPECT_TRUE(doc.Repair());
    std::vector<std::pair<double, double>> rows;
    for (int i = 0; i < doc.GetRowCount(); ++i)
        rows.emplace_back(doc.GetRowAt(i)->m_station.GetValue(), doc.GetRowAt(i)->Quantities[8]);
    EXPECT_EQ(rows, (std::vector<std::pair<double, double>>{{10, 1}, {20.0005, 5}, {30.0005, 4}}));
    EXPECT_FALSE(doc.NeedsRepair());
}

}  // namespace
}  // namespace qdat
