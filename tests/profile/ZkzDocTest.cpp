// Profile control files: keyword sections in any order, the fixed written
// order, unset values, foreign first lines and bad input.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include <qdat/host/HostFile.h>
#include <qdat/host/HostUi.h>
#include <qdat/profile/QZKZDoc.h>
#include "support/TestSupport.h"

namespace qdat {
namespace {

using test::RecordingUi;

std::string Write(QDocument& doc) {
    MemoryFile file(std::string(), "out.zkz");
    doc.WriteToFile(file);
    return file.Bytes();
}

bool Read(QDocument& doc, const std::string& bytes, const std::string& name = "in.zkz") {
    MemoryFile file(bytes, name);
    return doc.ReadFromFile(file);
}

void Fill(QZKZDoc& doc) {
    ProfileControls& c = *doc.GetControls();
    c.StartStation = 100;
    c.StartValue1 = 52.5;
    c.EndStation = 2400.25;
    c.EndValue1 = 61.125;
    c.EndValue2 = -0.5;
    c.GradePointControls.Add({500, 120.5, 2});
    c.ElevationControls.Add({800, 55.75, 0});
    c.ElevationControls.Add({900, 56, 1});
    c.StructureControls.Add({1200, 1260.5, 57.25, 57.5});
    c.MinFillControls.Add({1500, 1700, 1.2});
}

const char kFullText[] =
    "RADUDAR5.84_ZDM_CTRL\n"
    "   OD_CTRL\n"
    "   100.000    52.5000  9999.0000\n"
    "  2400.250    61.1250    -0.5000\n"
    "  BPD_CTRL\n"
    "   500.000   120.5000     2.0000\n"
    " SJGC_CTRL\n"
    "   800.000    55.7500     0.0000\n"
    "   900.000    56.0000     1.0000\n"
    "  GZW_CTRL\n"
    "  1200.000    57.2500   1260.500    57.5000\n"
    "MINTG_CTRL\n"
    "  1500.000   1700.000     1.2000\n";

void ExpectFull(QZKZDoc& doc) {
    const ProfileControls& c = *doc.GetControls();
    EXPECT_EQ(c.StartStation.GetValue(), 100.0);
    EXPECT_EQ(c.StartValue1, 52.5);
    EXPECT_EQ(c.StartValue2, 9999.0);
    EXPECT_EQ(c.EndStation.GetValue(), 2400.25);
    EXPECT_EQ(c.EndValue1, 61.125);
    EXPECT_EQ(c.EndValue2, -0.5);
    ASSERT_EQ(doc.GetGradePointControlCount(), 1);
    EXPECT_EQ(doc.GetGradePointControl(0)->Station.GetValue(), 500.0);
    EXPECT_EQ(doc.GetGradePointControl(0)->Value1, 120.5);
    EXPECT_EQ(doc.GetGradePointControl(0)->Value2, 2.0);
    ASSERT_EQ(doc.GetElevationControlCount(), 2);
    EXPECT_EQ(doc.GetElevationControl(1)->Station.GetValue(), 900.0);
    EXPECT_EQ(doc.GetElevationControl(1)->Value1, 56.0);
    ASSERT_EQ(doc.GetStructureControlCount(), 1);
    const ControlRange* r = doc.GetStructureControl(0);
    EXPECT_EQ(r->FromStation.GetValue(), 1200.0);
    EXPECT_EQ(r->ToStation.GetValue(), 1260.5);
    EXPECT_EQ(r->Value1, 57.25);
    EXPECT_EQ(r->Value2, 57.5);
    ASSERT_EQ(doc.GetMinFillControlCount(), 1);
    EXPECT_EQ(doc.GetMinFillControl(0)->ToStation.GetValue(), 1700.0);
    EXPECT_EQ(doc.GetMinFillControl(0)->Value, 1.2);
}

TEST(ZkzDoc, SignatureAndDefaults) {
    QZKZDoc doc;
    EXPECT_EQ(doc.GetCurrentVersion(), 0u);
    EXPECT_EQ(doc.GetSignature(), "RADUDAR5.84_ZDM_CTRL");
    doc.SetLegacyLayout(true);
    doc.SetTextForm(false);
    EXPECT_FALSE(doc.ParseSignature("RADUDAR5.83_ZDM_SHUJU"));
    EXPECT_EQ(doc.GetFileVersion(), 584u);
    EXPECT_TRUE(doc.IsTextForm());
    EXPECT_FALSE(doc.IsLegacyLayout());
    EXPECT_TRUE(doc.ParseSignature("RADUDAR5.84_ZDM_CTRL"));
    EXPECT_FALSE(doc.NeedsRepair());
    EXPECT_FALSE(doc.Repair());
    EXPECT_EQ(QDocument::TypeStringField(doc.GetTypeString(), 4), ".zkz");

    EndControls* ends = doc.GetEndControls();
    EXPECT_EQ(&ends->StartStation, &doc.GetControls()->StartStation);
    EXPECT_EQ(ends->StartValue1, 9999.0);
    EXPECT_EQ(ends->EndValue2, 9999.0);
    EXPECT_EQ(doc.GetGradePointControl(0), nullptr);
    EXPECT_EQ(doc.GetMinFillControl(-1), nullptr);
    EXPECT_NE(dynamic_cast<QZKZDoc*>(CreateObjectAs<QDocument>("QZKZDoc").get()), nullptr);
}

TEST(ZkzDoc, LayoutAndEveryFormRoundTrips) {
    QZKZDoc doc;
    Fill(doc);
    EXPECT_EQ(Write(doc), kFullText);

    // The sections can only be found as text tokens: whatever form is asked
    // for, the file is written as text and reads back whole.
    for (int form = 0; form < 4; ++form) {
        SCOPED_TRACE(form);
        doc.SetTextForm(form == 0);
        doc.SetTaggedForm(form == 1 || form == 3);
        doc.SetScrambledForm(form >= 2);
        const std::string bytes = Write(doc);
        EXPECT_EQ(bytes, kFullText);
        QZKZDoc back;
        ASSERT_TRUE(Read(back, bytes));
        EXPECT_EQ(back.GetFileVersion(), 584u);
        ExpectFull(back);
    }
    MemoryFile legacy(std::string(), "legacy.zkz");
    ASSERT_TRUE(doc.WriteLegacyToFile(legacy));
    EXPECT_EQ(legacy.Bytes(), kFullText);
}

TEST(ZkzDoc, OnlyEndControls) {
    QZKZDoc doc;
    const std::string text = Write(doc);
    EXPECT_EQ(text,
              "RADUDAR5.84_ZDM_CTRL\n   OD_CTRL\n     0.000  9999.0000  9999.0000\n     0.000  9999.0000  "
              "9999.0000\n");
    Fill(doc);
    ASSERT_TRUE(Read(doc, text));
    EXPECT_EQ(doc.GetControls()->StartValue1, 9999.0);
    EXPECT_EQ(doc.GetControls()->EndStation.GetValue(), 0.0);
    EXPECT_EQ(doc.GetGradePointControlCount(), 0);
    EXPECT_EQ(doc.GetElevationControlCount(), 0);
    EXPECT_EQ(doc.GetStructureControlCount(), 0);
    EXPECT_EQ(doc.GetMinFillControlCount(), 0);
}

TEST(ZkzDoc, SectionsInAnyOrderAndRepeated) {
    const std::string text =
        "RADUDAR5.84_ZDM_CTRL\n"
        "mintg_ctrl\n1500 1700 1.2\n"
        "BPD_CTRL\n500 120.5 2\n"
        "// a comment between sections\n"
        "SJGC_CTRL\n800 55.75 0\n"
        "GZW_CTRL\n1200 57.25 1260.5 57.5\n"
        "SJGC_CTRL\n900,56,1\n"
        "OD_CTRL\n100 52.5 9999\n2400.25 61.125 -0.5\n";
    QZKZDoc doc;
    ASSERT_TRUE(Read(doc, text));
    ExpectFull(doc);
    EXPECT_EQ(Write(doc), kFullText);

    // An empty section writes no keyword line.
    doc.GetControls()->ElevationControls.RemoveAll();
    const std::string written = Write(doc);
    EXPECT_EQ(written.find("SJGC_CTRL"), std::string::npos);
    EXPECT_NE(written.find("GZW_CTRL"), std::string::npos);
}

TEST(ZkzDoc, ForeignFirstLineAndStrayLines) {
    QZKZDoc doc;
    Fill(doc);
    ASSERT_TRUE(Read(doc, "RADUDAR5.83_ZDM_SHUJU\nOD_CTRL\n100 1 2\n200 3 4\nBPD_CTRL\n500 1 2\n"));
    EXPECT_EQ(doc.GetFileVersion(), 584u);
    EXPECT_EQ(doc.GetControls()->StartValue1, 9999.0);
    EXPECT_EQ(doc.GetControls()->StartStation.GetValue(), 0.0);
    EXPECT_EQ(doc.GetGradePointControlCount(), 0);

    // A line that is no keyword where one is expected ends the reading.
    ASSERT_TRUE(
        Read(doc, "RADUDAR5.84_ZDM_CTRL\nOD_CTRL\n100 1 2\n200 3 4\nSTRAY LINE\nBPD_CTRL\n500 1 2\n"));
    EXPECT_EQ(doc.GetControls()->EndValue2, 4.0);
    EXPECT_EQ(doc.GetGradePointControlCount(), 0);

    // An empty file holds no controls.
    ASSERT_TRUE(Read(doc, "RADUDAR5.84_ZDM_CTRL\n"));
    EXPECT_EQ(doc.GetControls()->StartValue2, 9999.0);
}

TEST(ZkzDoc, BadInputFailsCleanly) {
    RecordingUi ui;
    ScopedUi scoped(ui);
    const std::string bad[] = {
        "RADUDAR5.84_ZDM_CTRL\nBPD_CTRL\n500 1 2\n600 x 2\n",
        "RADUDAR5.84_ZDM_CTRL\nOD_CTRL\n100 1 2\n",
        "RADUDAR5.84_ZDM_CTRL\nMINTG_CTRL\n1500 1700 nan\n",
        "RADUDAR5.84_ZDM_CTRL\nGZW_CTRL\n1200 57.25 1260.5\n",
    };
    for (const std::string& text : bad) {
        SCOPED_TRACE(text);
        QZKZDoc doc;
        Fill(doc);
        ui.messages.clear();
        EXPECT_FALSE(Read(doc, text, "bad.zkz"));
        EXPECT_EQ(
            doc.GetGradePointControlCount() + doc.GetMinFillControlCount() + doc.GetStructureControlCount(),
            0);
        EXPECT_EQ(doc.GetControls()->StartValue1, 9999.0);
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_NE(ui.messages[0].text.find("bad.zkz"), std::string::npos) << ui.messages[0].text;
        EXPECT_NE(ui.messages[0].text.find("line"), std::string::npos) << ui.messages[0].text;
    }

    // Cut at every length: a clean end or a clean error.
    QZKZDoc full;
    Fill(full);
    const std::string whole = Write(full);
    for (std::size_t len = 0; len <= whole.size(); ++len) {
        QZKZDoc cut;
        if (Read(cut, whole.substr(0, len))) {
            EXPECT_LE(cut.GetElevationControlCount(), 2);
            EXPECT_TRUE(std::isfinite(cut.GetControls()->EndValue1));
        }
    }
}

}  // namespace
}  // namespace qdat
