// The design control file: files of every generation read by their own
// rules and saved in the current layout, the layout as written, the end of a
// table and of the file, the station queries, FJBK interpolation, repair and
// bad input.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <qdat/host/HostFile.h>
#include <qdat/host/HostUi.h>
#include <qdat/section/CtrDoc.h>
#include "support/TestSupport.h"

namespace qdat {
namespace {

class CtrDocTest : public ::testing::Test {
protected:
    test::RecordingUi ui;

private:
    test::StationDefaults m_defaults;
    ScopedUi m_scoped{ui};
};

bool Read(CtrDoc& doc, const std::string& bytes) {
    MemoryFile file(bytes, "road.ctr");
    return doc.ReadFromFile(file);
}

std::string Write(CtrDoc& doc, std::uint32_t form = FormatFlag::TextForm) {
    doc.SetFormatFlags(FormatFlag::NotLoading | form);
    MemoryFile file(std::string(), "out.ctr");
    doc.WriteToFile(file);
    return file.Bytes();
}

// Every generation stores the same road; what a generation's layout lacks
// reads as 0 (and a culvert's angle as 90).
struct Generation {
    std::uint32_t version;
    const char* text;
    std::vector<CtrItem> levels;  // ZTFBP at 100
    CtrItem ditch;                // YBGXS at 200
    double structure[5];          // QHSJ: value2, code1, code2, side, centre
    double culvert[2];            // HDSJ: angle, value
    double lcsd[4];               // ZLCSD at 0
    CtrItem fjbk;                 // YFJBK at 800
};

// The tables that every generation reads alike.
#define COMMON_TABLES                  \
    "ZBZDM.DAT\n0 1 3 2 4 5 6 7 8 9\n" \
    "SHUIZHUNDIAN.DAT\n600 BM2 417.12 NULL\n"

const Generation kGenerations[] = {
    {410,
     "RADUDAR_V4.1_DATA_FILE\nZTFBP.DAT\n100 2 1.5 2.5 1.75 12\nYBGXS.DAT\n200 1 0.6 0.4\n"
     "QHSJ.DAT\n300 360 330 Bridge \"T beam\" NULL 20 3 1 5\nHDSJ.DAT\n640 75 Box 2x2 2\n"
     "ZLCSD.DAT\n0 0.1 0.75\nYFJBK.DAT\n800 1 9999 0.5\n" COMMON_TABLES,
     {{1.5, 2.5, 0, 0}, {1.75, 12, 0, 0}},
     {0.6, 0.4, 0, 0},
     {3, 1, 5, 0, 330},
     {75, 2},
     {0, 0.75, 0.75, 0},
     {9999, 0.5, 0, 0}},
    // The line of a bridge or culvert ended where its values did.
    {420,
     "RADUDAR_V4.2_DATA_FILE\nYFJBK.DAT\n800 1 9999 0.5\nZLCSD.DAT\n0 0.1 0.75\nHDSJ.DAT\n640 75 Box 2x2\n"
     "QHSJ.DAT\n300 360 330 Bridge \"T beam\" NULL 20\nYBGXS.DAT\n200 1 0.6 0.4\n"
     "ZTFBP.DAT\n100 2 1.5 2.5 1.75 12\n" COMMON_TABLES,
     {{1.5, 2.5, 0, 0}, {1.75, 12, 0, 0}},
     {0.6, 0.4, 0, 0},
     {0, 0, 0, 0, 330},
     {75, 0},
     {0, 0.75, 0.75, 0},
     {9999, 0.5, 0, 0}},
    {430,
     "RADUDAR_V4.3_DATA_FILE\nZTFBP.DAT\n100 2 1.5 3.5 2.5 1.75 0 12\nYBGXS.DAT\n200 1 0.6 0.4\n"
     "QHSJ.DAT\n300 360 330 Bridge \"T beam\" NULL 20 3 1\nHDSJ.DAT\n640 75 Box 2x2 2\n"
     "ZLCSD.DAT\n0 0.1 0.75\nYFJBK.DAT\n800 1 9999 0.5\n" COMMON_TABLES,
     {{1.5, 2.5, 3.5, 0}, {1.75, 12, 0, 0}},
     {0.6, 0.4, 0, 0},
     {3, 1, 0, 0, 330},
     {75, 2},
     {0, 0.75, 0.75, 0},
     {9999, 0.5, 0, 0}},
    {500,
     "RADUDAR_V5.0_DATA_FILE\nZTFBP.DAT\n100 2 1.5 3.5 2.5 7 1.75 0 12 1\nYBGXS.DAT\n200 1 0.6 0.4 2\n"
     "QHSJ.DAT\n300 360 330 Bridge \"T beam\" NULL 20 3 1 5\nHDSJ.DAT\n640 75 Box 2x2 2\n"
     "ZLCSD.DAT\n0 0.1 0.75\nYFJBK.DAT\n800 1 9999 0.5\n" COMMON_TABLES,
     {{1.5, 2.5, 3.5, 7}, {1.75, 12, 0, 1}},
     {0.6, 0.4, 0, 2},
     {3, 1, 5, 0, 330},
     {75, 2},
     {0, 0.75, 0.75, 0},
     {9999, 0.5, 0, 0}},
    {550,
     "RADUDAR_V5.5_DATA_FILE\nZTFBP.DAT\n100 2 1.5 3.5 2.5 7 1.75 0 12 1\nYBGXS.DAT\n200 1 0.6 0.4 2\n"
     "QHSJ.DAT\n300 360 330 Bridge \"T beam\" NULL 20 3 1 5\nHDSJ.DAT\n640 75 Box 2x2 2\n"
     "ZLCSD.DAT\n0 0.75 0.8 0.25\nYFJBK.DAT\n800 1 9999 0.5 1 0.25\n" COMMON_TABLES,
     {{1.5, 2.5, 3.5, 7}, {1.75, 12, 0, 1}},
     {0.6, 0.4, 0, 2},
     {3, 1, 5, 0, 330},
     {75, 2},
     {0, 0.75, 0.8, 0.25},
     {9999, 0.5, 0.25, 1}},
    // A centre outside its range goes to the middle.
    {560,
     "RADUDAR_V5.6_DATA_FILE\nZTFBP.DAT\n100 2 1.5 3.5 2.5 7 1.75 0 12 1\nYBGXS.DAT\n200 1 0.6 0.4 2\n"
     "QHSJ.DAT\n300 360 400 Bridge \"T beam\" NULL 20 3\nHDSJ.DAT\n640 75 Box 2x2 2\n"
     "ZLCSD.DAT\n0 0.5 0.75 0.8 0.25\nYFJBK.DAT\n800 1 9999 0.5 1 0.25\n" COMMON_TABLES,
     {{1.5, 2.5, 3.5, 7}, {1.75, 12, 0, 1}},
     {0.6, 0.4, 0, 2},
     {3, 0, 0, 0, 330},
     {75, 2},
     {0.5, 0.75, 0.8, 0.25},
     {9999, 0.5, 0.25, 1}},
    {580,
     "RADUDAR5.8_CTR_SHUJU\nZTFBP.DAT\n100 2 1.5 3.5 2.5 7 1.75 0 12 1\nYBGXS.DAT\n200 1 0.6 0.4 2\n"
     "QHSJ.DAT\n300 360 330 Bridge \"T beam\" NULL 20 3 1 5\nHDSJ.DAT\n640 75 Box 2x2 2\n"
     "ZLCSD.DAT\n0 0.5 0.75 0.8 0.25\nYFJBK.DAT\n800 1 9999 0.5 1 0.25\n" COMMON_TABLES "XXXX.DAT\n",
     {{1.5, 2.5, 3.5, 7}, {1.75, 12, 0, 1}},
     {0.6, 0.4, 0, 2},
     {3, 1, 5, 0, 330},
     {75, 2},
     {0.5, 0.75, 0.8, 0.25},
     {9999, 0.5, 0.25, 1}},
    {581,
     "RADUDAR5.81_CTR_SHUJU\nZTFBP.DAT\n100 2 1.5 3.5 2.5 7 1.75 0 12 1\nYBGXS.DAT\n200 1 0.6 0.4 2\n"
     "QHSJ.DAT\n300 360 330 Bridge \"T beam\" NULL 20 3 1 5 -1\nHDSJ.DAT\n640 75 Box 2x2 2\n"
     "ZLCSD.DAT\n0 0.5 0.75 0.8 0.25\nYFJBK.DAT\n800 1 9999 0.5 1 0.25\n" COMMON_TABLES "XXXX.DAT\n",
     {{1.5, 2.5, 3.5, 7}, {1.75, 12, 0, 1}},
     {0.6, 0.4, 0, 2},
     {3, 1, 5, -1, 330},
     {75, 2},
     {0.5, 0.75, 0.8, 0.25},
     {9999, 0.5, 0.25, 1}},
    {583,
     "RADUDAR5.83_CTR_SHUJU\nZTFBP.DAT\n100 2 1.5 3.5 2.5 7 1.75 0 12 1\nYBGXS.DAT\n200 1 0.6 0.4 2\n"
     "QHSJ.DAT\n300 360 330 Bridge \"T beam\" NULL 20 3 1 5 1\nHDSJ.DAT\n640 75 Box 2x2 2\n"
     "ZLCSD.DAT\n0 0.5 0.75 0.8 0.25\nYFJBK.DAT\n800 1 9999 0.5 1 0.25\n" COMMON_TABLES "XXXX.DAT\n",
     {{1.5, 2.5, 3.5, 7}, {1.75, 12, 0, 1}},
     {0.6, 0.4, 0, 2},
     {3, 1, 5, 1, 330},
     {75, 2},
     {0.5, 0.75, 0.8, 0.25},
     {9999, 0.5, 0.25, 1}},
    // No signature: a culvert's line held a text where the angle is now.
    {0,
     "ZTFBP.DAT\n100 2 1.5 3.5 2.5 7 1.75 0 12 1\nYBGXS.DAT\n200 1 0.6 0.4 2\n"
     "QHSJ.DAT\n300 360 330 Bridge \"T beam\" NULL 20 3 1 5\nHDSJ.DAT\n640 culvert Box 2x2 2\n"
     "ZLCSD.DAT\n0 0.1 0.75\nYFJBK.DAT\n800 1 9999 0.5\n" COMMON_TABLES,
     {{1.5, 2.5, 3.5, 7}, {1.75, 12, 0, 1}},
     {0.6, 0.4, 0, 2},
     {3, 1, 5, 0, 330},
     {90, 0},
     {0, 0.75, 0.75, 0},
     {9999, 0.5, 0, 0}},
};

void ExpectRoad(CtrDoc& doc, const Generation& g) {
    const ItemRow* slope = doc.GetRow<ItemRow>(CtrTable::ZTFBP, 0);
    ASSERT_TRUE(slope);
    EXPECT_EQ(slope->Station.GetValue(), 100.0);
    EXPECT_EQ(slope->Items, g.levels);
    const ItemRow* ditch = doc.GetRow<ItemRow>(CtrTable::YBGXS, 0);
    ASSERT_TRUE(ditch);
    EXPECT_EQ(ditch->Items, std::vector<CtrItem>{g.ditch});
    const StructureRow* s = doc.GetRow<StructureRow>(CtrTable::QHSJ, 0);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->StartStation.GetValue(), 300.0);
    EXPECT_EQ(s->EndStation.GetValue(), 360.0);
    EXPECT_EQ(s->CentreStation.GetValue(), g.structure[4]);
    EXPECT_EQ(s->Text1, "Bridge");
    EXPECT_EQ(s->Text2, "T beam");
    EXPECT_EQ(s->Text3, "");
    EXPECT_EQ(s->Value1, 20.0);
    EXPECT_EQ(s->Value2, g.structure[0]);
    EXPECT_EQ(s->Code1, g.structure[1]);
    EXPECT_EQ(s->Code2, g.structure[2]);
    EXPECT_EQ(s->Side, g.structure[3]);
    const CulvertRow* c = doc.GetRow<CulvertRow>(CtrTable::HDSJ, 0);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->Station.GetValue(), 640.0);
    EXPECT_EQ(c->Angle, g.culvert[0]);
    EXPECT_EQ(c->Text1, "Box");
    EXPECT_EQ(c->Text2, "2x2");
    EXPECT_EQ(c->Value, g.culvert[1]);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(doc.GetValue(CtrTable::ZLCSD, 0, i), g.lcsd[i]) << i;
    const ItemRow* fjbk = doc.GetRow<ItemRow>(CtrTable::YFJBK, 0);
    ASSERT_TRUE(fjbk);
    EXPECT_EQ(fjbk->Station.GetValue(), 800.0);
    EXPECT_EQ(fjbk->Items, std::vector<CtrItem>{g.fjbk});
    for (int i = 0; i < 9; ++i) EXPECT_EQ(doc.GetValue(CtrTable::ZBZDM, 0, i), i + 1.0) << "f" << i + 1;
    const BenchmarkRow* b = doc.GetRow<BenchmarkRow>(CtrTable::SHUIZHUNDIAN, 0);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->Name, "BM2");
    EXPECT_EQ(b->Value, 417.12);
    EXPECT_EQ(b->Remark, "");
    int rows = 0;
    for (int t = 0; t < kCtrTableCount; ++t) rows += doc.GetRowCount(static_cast<CtrTable>(t));
    EXPECT_EQ(rows, 8);
}

TEST_F(CtrDocTest, EveryGenerationReadsAndIsSavedInTheCurrentLayout) {
    for (const Generation& g : kGenerations) {
        SCOPED_TRACE(g.version);
        CtrDoc doc;
        ASSERT_TRUE(Read(doc, g.text));
        EXPECT_EQ(doc.GetFileVersion(), g.version);
        EXPECT_FALSE(doc.WasReadPartly());
        ExpectRoad(doc, g);

        const std::string saved = Write(doc);
        EXPECT_EQ(saved.substr(0, 22), "RADUDAR5.83_CTR_SHUJU\n");
        CtrDoc back;
        ASSERT_TRUE(Read(back, saved));
        EXPECT_EQ(back.GetFileVersion(), 583u);
        ExpectRoad(back, g);
        EXPECT_EQ(Write(back), saved);
    }
}

// Column widths 10, stations as station text, m3 and m4 where the layout
// says, the swapped values, NULL for an empty text, every table named and the
// closing line.
TEST_F(CtrDocTest, CurrentLayoutAsWritten) {
    CtrDoc doc;
    ASSERT_TRUE(Read(doc,
                     "RADUDAR5.83_CTR_SHUJU\n"
                     "ZTFBP.DAT\n100 1 1.5 3.5 2.5 7\n"
                     "QHSJ.DAT\n300 360 330 Bridge \"T beam\" NULL 20.12346 3 1 5 -1\n"
                     "HDSJ.DAT\n640 75 Box 2x2 2\n"
                     "ZFJBK.DAT\n800 1 9999 0.5 1 0.25\n"
                     "ZBZDM.DAT\n0 1 3 2 4 5 6 7 8 9\n"
                     "ZJSG.DAT\n300 520 0.5 1 0.4 0.6\n"
                     "SUIDAO.DAT\n1420 1580 NULL\n"));
    const std::string expected =
        "RADUDAR5.83_CTR_SHUJU\n"
        " ZTFBP.DAT\n"
        "   100.000          1      1.500      3.500      2.500          7\n"
        " YTFBP.DAT\n ZWFBP.DAT\n YWFBP.DAT\n ZBGXS.DAT\n YBGXS.DAT\nZPSGXS.DAT\nYPSGXS.DAT\n  TFFD.DAT\n"
        "  QHSJ.DAT\n"
        "   300.000    360.000    330.000     Bridge     \"T beam\"       NULL    20.1235     3.0000         "
        " 1"
        "          5         -1\n"
        "  HDSJ.DAT\n"
        "   640.000    75.0000        Box        2x2     2.0000\n"
        " ZLCSD.DAT\n YLCSD.DAT\n"
        " ZFJBK.DAT\n"
        "   800.000          1   9999.000      0.500          1      0.250\n"
        " YFJBK.DAT\n"
        " ZBZDM.DAT\n"
        "     0.000      1.000      3.000      2.000      4.000      5.000      6.000      7.000      8.000"
        "      9.000\n"
        " YBZDM.DAT\n  ZCHT.DAT\n  YCHT.DAT\n  DCHT.DAT\n QCHBT.DAT\n  DZGK.DAT\n"
        "  ZJSG.DAT\n"
        "   300.000    520.000      0.500          1      0.400      0.600\n"
        "  YJSG.DAT\n"
        "SUIDAO.DAT\n"
        "  1420.000   1580.000       NULL\n"
        "SHUIZHUNDIAN.DAT\n  ZYDK.DAT\n  YYDK.DAT\n ZFYHP.DAT\n YFYHP.DAT\n"
        "\n"
        "  XXXX.DAT\n";
    EXPECT_EQ(Write(doc), expected);
}

// Tables in any order, one of them twice, TFFD under its old name, a file
// without closing line; a row line holding ".dat" is a name line and ends the
// table, and a line naming no table ends the reading with the rest unread.
// Tables after an early closing line are left unread too: the read is partial.
TEST_F(CtrDocTest, WhereTablesAndTheFileEnd) {
    CtrDoc doc;
    ASSERT_TRUE(Read(doc, "RADUDAR5.83_CTR_SHUJU\nZTFBP.DAT\n100 0\n200 0\nXXXX.DAT\nDCHT.DAT\n0 1\n"));
    EXPECT_EQ(doc.GetRowCount(CtrTable::ZTFBP), 2);
    EXPECT_EQ(doc.GetRowCount(CtrTable::DCHT), 0);
    EXPECT_TRUE(doc.WasReadPartly());
    EXPECT_NE(doc.GetPartialReadNote().find("before the line XXXX.DAT"), std::string::npos);
    ASSERT_TRUE(Read(doc, "RADUDAR5.83_CTR_SHUJU\nZTFBP.DAT\n100 0\nXXXX.DAT\n\n// a comment\n"));
    EXPECT_FALSE(doc.WasReadPartly());

    ASSERT_TRUE(Read(doc,
                     "RADUDAR5.83_CTR_SHUJU\nsuidao.dat\n10 20 A\nttfd.dat\n5 1 2 3 4 5 6\n"
                     "SUIDAO.DAT\n30 40 B\n"));
    ASSERT_EQ(doc.GetRowCount(CtrTable::SUIDAO), 2);
    EXPECT_EQ(doc.GetRow<TunnelRow>(CtrTable::SUIDAO, 1)->Name, "B");
    EXPECT_EQ(doc.GetValue(CtrTable::TFFD, 0, 5), 6.0);
    EXPECT_EQ(doc.GetValue(CtrTable::TFFD, 0, 6), CtrDoc::kNoValue);
    CtrTable table = CtrTable::ZTFBP;
    EXPECT_TRUE(CtrDoc::FindTable("ttfd.dat", table));
    EXPECT_EQ(table, CtrTable::TFFD);
    EXPECT_FALSE(CtrDoc::FindTable("TFFD", table));
    EXPECT_EQ(CtrDoc::GetTableName(CtrTable::YFYHP), "YFYHP.DAT");
    EXPECT_EQ(CtrDoc::GetTableSide(CtrTable::YFYHP), CtrSide::Right);

    ASSERT_TRUE(Read(doc,
                     "RADUDAR5.83_CTR_SHUJU\nSHUIZHUNDIAN.DAT\n600 BM2 417.12 NULL\n700 BM3.Dat 418 NULL\n"
                     "800 BM4 419 NULL\n"));
    EXPECT_EQ(doc.GetRowCount(CtrTable::SHUIZHUNDIAN), 1);
    EXPECT_TRUE(doc.WasReadPartly());
}

// A value the current layout stores comes back from every form; a text
// holding ".DAT" cannot be written as text (it would end its table), but the
// binary forms carry it.
TEST_F(CtrDocTest, TextsTheTextFormCannotHold) {
    CtrDoc doc;
    BenchmarkRow* b = doc.AddRow<BenchmarkRow>(CtrTable::SHUIZHUNDIAN);
    ASSERT_TRUE(b);
    b->Name = "BM.dat";
    EXPECT_THROW(Write(doc), QArchiveException);
    CtrDoc back;
    ASSERT_TRUE(Read(back, Write(doc, FormatFlag::TaggedForm | FormatFlag::ScrambledForm)));
    EXPECT_EQ(back.GetRow<BenchmarkRow>(CtrTable::SHUIZHUNDIAN, 0)->Name, "BM.dat");
    EXPECT_TRUE(doc.RemoveRow(CtrTable::SHUIZHUNDIAN, 0));
    EXPECT_FALSE(doc.RemoveRow(CtrTable::SHUIZHUNDIAN, 0));
    EXPECT_EQ(doc.AddRow<TunnelRow>(CtrTable::SHUIZHUNDIAN), nullptr);
    EXPECT_EQ(doc.GetRow<TunnelRow>(CtrTable::SHUIZHUNDIAN, 0), nullptr);
}

TEST_F(CtrDocTest, BadInputFailsCleanly) {
    const std::string cases[] = {
        "RADUDAR5.83_CTR_SHUJU\nZCHT.DAT\n0 1\n10 nan\n",
        "RADUDAR5.83_CTR_SHUJU\nZCHT.DAT\n0 1\nZTFBP.DAT\n0 -1\n",
        "RADUDAR5.83_CTR_SHUJU\nZCHT.DAT\n0 1\nZTFBP.DAT\n0 3 1 2 3 4\n",
        // Binary: a row count the file cannot hold.
        std::string("QB  RADUDAR5.83_CTR_SHUJU\n\x09ZTFBP.DAT\xff\xff\xff\x7f"),
    };
    for (const std::string& bytes : cases) {
        CtrDoc doc;
        EXPECT_FALSE(Read(doc, bytes)) << bytes;
        EXPECT_EQ(doc.GetRowCount(CtrTable::ZCHT), 0);
        ASSERT_FALSE(ui.messages.empty());
        EXPECT_NE(ui.messages.back().text.find("road.ctr"), std::string::npos) << ui.messages.back().text;
    }
    EXPECT_NE(ui.messages.back().text.find("rows of ZTFBP.DAT"), std::string::npos)
        << ui.messages.back().text;
}

TEST_F(CtrDocTest, OpenUpgradesOldFilesButNotOnesReadInPart) {
    test::TempDir dir;
    const std::string path = dir.Path("v410.ctr");
    test::WriteFileBytes(path, kGenerations[0].text);
    CtrDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_EQ(test::ReadFileBytes(path).substr(0, 22), "RADUDAR5.83_CTR_SHUJU\n");

    const std::string partial = "RADUDAR_V5.6_DATA_FILE\nDCHT.DAT\n0 1\nNOTES.DAT\n10 2\n";
    test::WriteFileBytes(path, partial);
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_EQ(doc.GetRowCount(CtrTable::DCHT), 1);
    EXPECT_EQ(test::ReadFileBytes(path), partial);
}

// Bridge A 100-200 on the left, B 150-300 on the right, C 500-600 on both
// sides; a tunnel 1420-1580.
TEST_F(CtrDocTest, StationQueries) {
    CtrDoc doc;
    ASSERT_TRUE(Read(doc,
                     "RADUDAR5.83_CTR_SHUJU\nQHSJ.DAT\n100 200 150 A NULL NULL 0 0 0 0 -1\n"
                     "150 300 225 B NULL NULL 0 0 0 0 1\n500 600 550 C NULL NULL 0 0 0 0 0\n"
                     "SUIDAO.DAT\n1420 1580 T\n"));
    using enum CtrSide;
    EXPECT_TRUE(doc.IsInStructure(100.002, Left));
    EXPECT_FALSE(doc.IsInStructure(100.0005, Left));
    EXPECT_FALSE(doc.IsInStructure(100.002, Right));
    EXPECT_FALSE(doc.IsInStructure(120, Both));
    EXPECT_TRUE(doc.IsInStructure(160, Both));
    EXPECT_TRUE(doc.IsInStructure(550, Both));
    EXPECT_TRUE(doc.IsInStructure(250, Right));

    const auto name = [](const StructureRow* row) { return row ? row->Text1 : std::string("none"); };
    EXPECT_EQ(name(doc.FindStructureAt(99.9995, Left)), "A");
    EXPECT_EQ(name(doc.FindStructureAt(99.998, Left)), "none");
    EXPECT_EQ(name(doc.FindStructureAt(200.0005, Left)), "A");
    EXPECT_EQ(name(doc.FindStructureAt(160, Right)), "B");
    EXPECT_EQ(name(doc.FindStructureAt(160, Both)), "none");
    EXPECT_EQ(name(doc.FindStructureAt(550, Right)), "C");

    EXPECT_TRUE(doc.IsInTunnel(1420.002));
    EXPECT_FALSE(doc.IsInTunnel(1420.0005));
    ASSERT_TRUE(doc.FindTunnelAt(1580.0005));
    EXPECT_EQ(doc.FindTunnelAt(1580.0005)->Name, "T");
    EXPECT_EQ(doc.FindTunnelAt(1581), nullptr);
}

// Rows at 100 and 200 with two items, at 300 with one. Expected values from
// the curves by hand: at t = 1/4 the parabola 4t³ - 3t⁴ is 0.05078125, its
// mirror 1 - (4u³ - 3u⁴) with u = 3/4 is 0.26171875, the cubic 3t² - 2t³ is
// 0.15625.
TEST_F(CtrDocTest, InterpolateFJBK) {
    CtrDoc doc;
    ASSERT_TRUE(Read(doc,
                     "RADUDAR5.83_CTR_SHUJU\nZFJBK.DAT\n100 2 1 2 1 10 9999 5 2 0\n200 2 3 4 3 20 7 1 4 0\n"
                     "300 1 0 0 0 0\n"));
    using enum CtrSide;
    ItemRow out;
    ASSERT_TRUE(doc.InterpolateFJBK(Left, 150, CtrDoc::LinearTransition, CtrDoc::LinearFirstValue, out));
    EXPECT_EQ(out.Station.GetValue(), 150.0);
    EXPECT_EQ(out.Items, (std::vector<CtrItem>{{2, 3, 15, 3}, {7, 3, 0, 4}}));

    ASSERT_TRUE(doc.InterpolateFJBK(Left, 125, CtrDoc::ParabolaTransition, CtrDoc::CubicFirstValue, out));
    EXPECT_EQ(out.Items, (std::vector<CtrItem>{{1.3125, 2.1015625, 12.5, 3}, {7, 3.953125, 0, 4}}));
    ASSERT_TRUE(doc.InterpolateFJBK(Left, 125, CtrDoc::CubicTransition, CtrDoc::LinearFirstValue, out));
    EXPECT_EQ(out.Items[0], (CtrItem{1.5, 2.3125, 12.5, 3}));

    // Rows of different item counts give the row ahead; a station before the
    // first row (within the tolerance, too) gives the first.
    ASSERT_TRUE(doc.InterpolateFJBK(Left, 250, 0, 0, out));
    EXPECT_EQ(out.Station.GetValue(), 300.0);
    ASSERT_TRUE(doc.InterpolateFJBK(Left, 100.0005, 0, 0, out));
    EXPECT_EQ(out.Station.GetValue(), 100.0);
    EXPECT_EQ(out.Items[0], (CtrItem{1, 2, 10, 1}));

    EXPECT_FALSE(doc.InterpolateFJBK(Left, 301, 0, 0, out));
    EXPECT_FALSE(doc.InterpolateFJBK(Right, 150, 0, 0, out));
    EXPECT_EQ(out.Station.GetValue(), 100.0);
}

// Keys: the station, and the centre for bridges. Rows closer than the
// tolerance keep their order.
TEST_F(CtrDocTest, RepairSortsEveryTableByItsKey) {
    CtrDoc doc;
    ASSERT_TRUE(Read(doc,
                     "RADUDAR5.83_CTR_SHUJU\nZCHT.DAT\n30 1\n10 2\n20 3\n10.0005 4\n"
                     "QHSJ.DAT\n0 1000 500 late NULL NULL 0 0 0 0 0\n100 200 150 early NULL NULL 0 0 0 0 0\n"
                     "DCHT.DAT\n10.0005 1\n10 2\n"));
    EXPECT_TRUE(doc.NeedsRepair());
    EXPECT_TRUE(doc.Repair());
    std::vector<double> values;
    for (int i = 0; i < 4; ++i) values.push_back(doc.GetValue(CtrTable::ZCHT, i, 0));
    EXPECT_EQ(values, (std::vector<double>{2, 4, 3, 1}));
    EXPECT_EQ(doc.GetRow<StructureRow>(CtrTable::QHSJ, 0)->Text1, "early");
    EXPECT_EQ(doc.GetValue(CtrTable::DCHT, 0, 0), 1.0);
    EXPECT_FALSE(doc.NeedsRepair());
    EXPECT_FALSE(doc.Repair());
}

}  // namespace
}  // namespace qdat
