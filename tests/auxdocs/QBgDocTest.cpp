// The ditch-bottom elevation file: signatures, its writing rule (no zero
// point dropped, four decimals), every form, damage, and the interpolation.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include <qdat/auxdocs/QBgDoc.h>
#include "profile/DmxTestHelpers.h"

namespace qdat {
namespace {

using test::Le64;
using test::ReadFromBytes;
using test::WriteToBytes;

using PointList = std::vector<std::pair<double, double>>;
constexpr double kNone = GroundPoint::NoElevation;

class QBgDocTest : public test::StationDocTest {};

PointList Points(QBgDoc& doc) {
    PointList out;
    for (const GroundPoint& p : doc.GetPointArray()) out.emplace_back(p.m_station.GetValue(), p.m_elevation);
    return out;
}

TEST_F(QBgDocTest, Signatures) {
    QBgDoc doc;
    EXPECT_EQ(doc.GetCurrentVersion(), 583u);
    EXPECT_TRUE(doc.ParseSignature("RADUDAR5.83_BGGDBG_SHUJU"));
    EXPECT_EQ(doc.GetFileVersion(), 583u);
    doc.SetLegacyLayout(true);
    EXPECT_TRUE(doc.ParseSignature("RADUDAR5.8_BGGDBG_SHUJU"));
    EXPECT_EQ(doc.GetFileVersion(), 580u);
    EXPECT_FALSE(doc.IsLegacyLayout());
    EXPECT_FALSE(doc.ParseSignature("RADUDAR5.83_DMX_SHUJU"));
    EXPECT_EQ(doc.GetFileVersion(), 0u);
    doc.SetLegacyLayout(true);
    EXPECT_EQ(doc.GetSignature(), "RADUDAR5.83_BGGDBG_SHUJU");
    EXPECT_STREQ(doc.GetRuntimeClass().GetName(), "QBgDoc");
    EXPECT_EQ(QDocument::TypeStringField(doc.GetTypeString(), 4), ".bgg");
}

TEST_F(QBgDocTest, WritesZeroPointsAndFourDecimals) {
    QBgDoc doc;
    auto& points = doc.GetPointArray();
    points.Add(GroundPoint(0.0, 0.0));
    points.Add(GroundPoint(10.0, 1.23456));
    points.Add(GroundPoint(20.0, kNone));
    points.Add(GroundPoint(30.0, kNone));
    points.Add(GroundPoint(40.0, -2.5));
    const std::string text = WriteToBytes(doc);
    EXPECT_EQ(text,
              "RADUDAR5.83_BGGDBG_SHUJU\n"
              "     0.000     0.0000\n"
              "    10.000     1.2346\n"
              "    20.000\n"
              "    40.000    -2.5000\n");
    QBgDoc back;
    ASSERT_TRUE(ReadFromBytes(back, text, "ditch.bgg"));
    EXPECT_EQ(Points(back), (PointList{{0, 0}, {10, 1.2346}, {20, kNone}, {40, -2.5}}));
}

TEST_F(QBgDocTest, ReadsShortAndNullRecords) {
    QBgDoc doc;
    ASSERT_TRUE(ReadFromBytes(doc, "RADUDAR5.8_BGGDBG_SHUJU\n5\n6 Null\n7 8\n"));
    EXPECT_EQ(Points(doc), (PointList{{5, kNone}, {6, kNone}, {7, 8}}));
    EXPECT_FALSE(ReadFromBytes(doc, "RADUDAR5.8_BGGDBG_SHUJU\n5 1\n6 ?\n", "bad.bgg"));
    EXPECT_EQ(doc.GetPointCount(), 0);
    ASSERT_FALSE(ui.messages.empty());
    EXPECT_NE(ui.messages.back().text.find("bad.bgg"), std::string::npos);
}

TEST_F(QBgDocTest, NonFiniteElevationsAreRefusedBothWays) {
    QBgDoc doc;
    EXPECT_FALSE(ReadFromBytes(doc, "RADUDAR5.83_BGGDBG_SHUJU\n5 1\n6 nan\n", "odd.bgg"));
    EXPECT_EQ(doc.GetPointCount(), 0);
    ASSERT_FALSE(ui.messages.empty());
    EXPECT_NE(ui.messages.back().text.find("\"nan\""), std::string::npos) << ui.messages.back().text;
    EXPECT_NE(ui.messages.back().text.find("line 3"), std::string::npos) << ui.messages.back().text;
    EXPECT_FALSE(ReadFromBytes(doc, "RADUDAR5.83_BGGDBG_SHUJU\n5 1e400\n"));

    doc.InsertPoint(5.0, 1.0);
    doc.InsertPoint(6.0, HUGE_VAL);
    for (std::uint32_t form : {0x1u, 0x0u}) EXPECT_THROW(WriteToBytes(doc, form), QArchiveException);
}

TEST_F(QBgDocTest, EveryFormRoundTrips) {
    QBgDoc doc;
    doc.InsertPoint(0.0, 0.0);
    doc.InsertPoint(10.0, -1.0 / 3.0);
    doc.InsertPoint(20.0, kNone);
    doc.InsertPoint(30.0, kNone);
    doc.InsertPoint(40.0, 4.0);
    const PointList written{{0, 0}, {10, -1.0 / 3.0}, {20, kNone}, {40, 4}};
    const std::string plain = WriteToBytes(doc, 0x0);
    EXPECT_EQ(plain, std::string("QB  RADUDAR5.83_BGGDBG_SHUJU\n") + Le64(0) + Le64(0) + Le64(10) +
                         Le64(-1.0 / 3.0) + Le64(20) + Le64(kNone) + Le64(40) + Le64(4));
    for (const auto& form : test::kBinaryForms) {
        const std::string bytes = WriteToBytes(doc, form.flags);
        QBgDoc back;
        ASSERT_TRUE(ReadFromBytes(back, bytes)) << form.name;
        EXPECT_EQ(Points(back), written) << form.name;
        for (std::size_t n = 0; n < bytes.size(); ++n) {
            QBgDoc cut;
            if (!ReadFromBytes(cut, bytes.substr(0, n))) {
                EXPECT_EQ(cut.GetPointCount(), 0);
            }
        }
    }
}

TEST_F(QBgDocTest, OutOfOrderFileIsRepairedOnYes) {
    test::TempDir dir;
    const std::string path = dir.Path("order.bgg");
    test::WriteFileBytes(path, "RADUDAR5.83_BGGDBG_SHUJU\n20 2\n10 1\n");
    ui.answers.push_back(MessageAnswer::Yes);
    QBgDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_EQ(test::ReadFileBytes(path),
              "RADUDAR5.83_BGGDBG_SHUJU\n    10.000     1.0000\n    20.000     2.0000\n");
}

TEST_F(QBgDocTest, ElevationAtStationInterpolates) {
    QBgDoc doc;
    double z = 42.0;
    EXPECT_FALSE(doc.ElevationAtStation(100.0, z));
    doc.InsertPoint(100.0, 10.0);
    EXPECT_FALSE(doc.ElevationAtStation(100.0, z));  // one point is not enough
    doc.InsertPoint(200.0, 12.0);

    EXPECT_TRUE(doc.ElevationAtStation(150.0, z));
    EXPECT_DOUBLE_EQ(z, 11.0);
    EXPECT_TRUE(doc.ElevationAtStation(100.0, z));
    EXPECT_DOUBLE_EQ(z, 10.0);
    EXPECT_TRUE(doc.ElevationAtStation(200.0, z));
    EXPECT_DOUBLE_EQ(z, 12.0);
    EXPECT_TRUE(doc.ElevationAtStation(125.0, z));
    EXPECT_DOUBLE_EQ(z, 10.5);
    // Within the tolerance of the ends.
    EXPECT_TRUE(doc.ElevationAtStation(200.0009, z));
    EXPECT_DOUBLE_EQ(z, 12.0);
    EXPECT_TRUE(doc.ElevationAtStation(99.9995, z));

    z = 42.0;
    EXPECT_FALSE(doc.ElevationAtStation(250.0, z));
    EXPECT_FALSE(doc.ElevationAtStation(50.0, z));
    EXPECT_FALSE(doc.ElevationAtStation(200.001, z));
    EXPECT_FALSE(doc.ElevationAtStation(99.999, z));
    EXPECT_EQ(z, 42.0);  // untouched when there is no answer
}

TEST_F(QBgDocTest, PointWithoutElevationBlocksItsNeighbourhood) {
    QBgDoc doc;
    doc.InsertPoint(100.0, 10.0);
    doc.InsertPoint(200.0, kNone);
    doc.InsertPoint(300.0, 14.0);
    double z = 0.0;
    EXPECT_FALSE(doc.ElevationAtStation(150.0, z));  // right neighbour has none
    EXPECT_FALSE(doc.ElevationAtStation(250.0, z));  // left neighbour has none
    EXPECT_FALSE(doc.ElevationAtStation(200.0, z));
    EXPECT_TRUE(doc.ElevationAtStation(300.0, z));  // at a point, only that point counts
    EXPECT_EQ(z, 14.0);
}

}  // namespace
}  // namespace qdat
