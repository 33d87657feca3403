// Vertical profile files: signatures, the layout in every form, short and bad
// files, repair and Recalculate on open.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <qdat/docbase/QArchiveException.h>
#include <qdat/host/HostFile.h>
#include <qdat/host/HostUi.h>
#include <qdat/profile/QZdmFile.h>
#include "support/TestSupport.h"

namespace qdat {
namespace {

using test::RecordingUi;
using test::TempDir;

std::string Write(QDocument& doc) {
    MemoryFile file(std::string(), "out.zdm");
    doc.WriteToFile(file);
    return file.Bytes();
}

bool Read(QDocument& doc, const std::string& bytes, const std::string& name = "in.zdm") {
    MemoryFile file(bytes, name);
    return doc.ReadFromFile(file);
}

void AddPoint(QZdmFile& doc, double station, double elevation, double radius = 0, double stepStation = 0,
              double stepHeight = 0) {
    GradePoint p;
    p.Station = station;
    p.Elevation = elevation;
    p.Radius = radius;
    p.StepStation = stepStation;
    p.StepHeight = stepHeight;
    doc.GetGradePointArray().Add(p);
}

void ExpectSamePoints(QZdmFile& a, QZdmFile& b) {
    ASSERT_EQ(a.GetPointCount(), b.GetPointCount());
    for (int i = 0; i < a.GetPointCount(); ++i) {
        const GradePoint& p = a.GetGradePointArray()[i];
        const GradePoint& q = b.GetGradePointArray()[i];
        EXPECT_EQ(p.Station.GetValue(), q.Station.GetValue()) << i;
        EXPECT_EQ(p.Elevation, q.Elevation) << i;
        EXPECT_EQ(p.Radius, q.Radius) << i;
        EXPECT_EQ(p.StepStation.GetValue(), q.StepStation.GetValue()) << i;
        EXPECT_EQ(p.StepHeight, q.StepHeight) << i;
        EXPECT_EQ(p.TangentLength, q.TangentLength) << i;
        EXPECT_EQ(p.ExternalDistance, q.ExternalDistance) << i;
        EXPECT_EQ(p.GradeIn, q.GradeIn) << i;
        EXPECT_EQ(p.GradeOut, q.GradeOut) << i;
        EXPECT_EQ(p.CurveStart.GetValue(), q.CurveStart.GetValue()) << i;
        EXPECT_EQ(p.CurveEnd.GetValue(), q.CurveEnd.GetValue()) << i;
        EXPECT_EQ(q.CurveInput, 0) << i;
    }
}

// Little-endian bytes of the values of the plain binary form.
template <class T>
std::string Bytes(T v) {
    std::string s(sizeof v, '\0');
    std::memcpy(s.data(), &v, sizeof v);
    return s;
}

const char kTwoPointText[] =
    "RADUDAR5.83_ZDM_SHUJU\n"
    "         2\n"
    "  1000.000 100.00000000 0.00000000   1050.000 0.50000000\n"
    "  1100.000 101.50000000 0.00000000      0.000 0.00000000\n";

void FillTwoPoints(QZdmFile& doc) {
    AddPoint(doc, 1000, 100, 0, 1050, 0.5);
    AddPoint(doc, 1100, 101.5);
    doc.Recalculate();
}

TEST(ZdmFile, Signatures) {
    QZdmFile doc;
    EXPECT_EQ(doc.GetCurrentVersion(), 583u);
    EXPECT_EQ(doc.GetSignature(), "RADUDAR5.83_ZDM_SHUJU");
    doc.SetLegacyLayout(true);
    EXPECT_TRUE(doc.ParseSignature("RADUDAR5.83_ZDM_SHUJU"));
    EXPECT_EQ(doc.GetFileVersion(), 583u);
    EXPECT_FALSE(doc.IsLegacyLayout());
    EXPECT_TRUE(doc.ParseSignature("RADUDAR5.8_ZDM_SHUJU"));
    EXPECT_EQ(doc.GetFileVersion(), 580u);
    doc.SetLegacyLayout(true);
    EXPECT_FALSE(doc.ParseSignature("RADUDAR5.83_DMX_SHUJU"));
    EXPECT_EQ(doc.GetFileVersion(), 0u);
    EXPECT_FALSE(doc.IsLegacyLayout());
    EXPECT_EQ(QDocument::TypeStringField(doc.GetTypeString(), 4), ".zdm");
    auto made = CreateObjectAs<QDocument>("QZdmFile");
    ASSERT_TRUE(made);
    EXPECT_NE(dynamic_cast<QZdmFile*>(made.get()), nullptr);
}

TEST(ZdmFile, TextLayout) {
    QZdmFile doc;
    FillTwoPoints(doc);
    EXPECT_EQ(Write(doc), kTwoPointText);

    QZdmFile back;
    ASSERT_TRUE(Read(back, kTwoPointText));
    EXPECT_EQ(back.GetFileVersion(), 583u);
    ExpectSamePoints(doc, back);
    EXPECT_NEAR(back.GetDesignElevation(1060.0), 101.1, 1e-12);  // Recalculate ran
}

TEST(ZdmFile, BinaryLayout) {
    QZdmFile doc;
    FillTwoPoints(doc);
    doc.SetTextForm(false);
    std::string expected = "QB  RADUDAR5.83_ZDM_SHUJU\n" + Bytes<std::int32_t>(2);
    for (double v : {1000.0, 100.0, 0.0, 1050.0, 0.5, 1100.0, 101.5, 0.0, 0.0, 0.0}) expected += Bytes(v);
    EXPECT_EQ(Write(doc), expected);

    doc.SetTextForm(false);
    doc.SetTaggedForm(true);
    std::string tagged = "QBT RADUDAR5.83_ZDM_SHUJU\n" + std::string(1, '\x02') + Bytes<std::int32_t>(2);
    const char tags[] = {11, 9, 9, 11, 9};
    const double values[] = {1000.0, 100.0, 0.0, 1050.0, 0.5, 1100.0, 101.5, 0.0, 0.0, 0.0};
    for (int i = 0; i < 10; ++i) tagged += std::string(1, tags[i % 5]) + Bytes(values[i]);
    EXPECT_EQ(Write(doc), tagged);
}

TEST(ZdmFile, EveryFormRoundTrips) {
    QZdmFile doc;
    AddPoint(doc, -120.25, -3.125);
    AddPoint(doc, 480.5, 12.87654321, 1500);
    AddPoint(doc, 900.125, 2.5, 2200.5, 1000, -0.75);
    AddPoint(doc, 1500, 9.0625, 0, 1400, 0.375);
    AddPoint(doc, 2100.375, 4.5);
    doc.Recalculate();

    struct Form {
        const char* name;
        bool text, tagged, scrambled;
        const char* head;
    };
    for (const Form& f :
         {Form{"text", true, false, false, "RADUDAR"}, Form{"binary", false, false, false, "QB  "},
          Form{"tagged", false, true, false, "QBT "}, Form{"scrambled", false, false, true, "QB C"},
          Form{"tagged scrambled", false, true, true, "QBTC"}}) {
        SCOPED_TRACE(f.name);
        doc.SetTextForm(f.text);
        doc.SetTaggedForm(f.tagged);
        doc.SetScrambledForm(f.scrambled);
        const std::string bytes = Write(doc);
        EXPECT_EQ(bytes.substr(0, std::strlen(f.head)), f.head);
        QZdmFile back;
        ASSERT_TRUE(Read(back, bytes));
        ExpectSamePoints(doc, back);
        EXPECT_EQ(back.GetFormatFlags(), 0x10000001u);
    }
}

TEST(ZdmFile, ShortFileKeepsWhatItRead) {
    std::string text = "RADUDAR5.83_ZDM_SHUJU\n10\n";
    for (int i = 0; i < 7; ++i) text += std::to_string(i * 100) + " " + std::to_string(50 + i) + " 0 0 0\n";
    QZdmFile doc;
    ASSERT_TRUE(Read(doc, text));
    EXPECT_EQ(doc.GetPointCount(), 7);
    EXPECT_NEAR(doc.GetDesignElevation(650.0), 56.0, 1e-12);

    // A count far beyond what the file holds allocates nothing for it.
    QZdmFile huge;
    ASSERT_TRUE(Read(huge, "RADUDAR5.83_ZDM_SHUJU\n2147483647\n0 50 0 0 0\n"));
    EXPECT_EQ(huge.GetPointCount(), 1);
    EXPECT_LT(huge.GetGradePointArray().GetCapacity(), 100);

    QZdmFile binary;
    std::string bin = "QB  RADUDAR5.83_ZDM_SHUJU\n" + Bytes<std::int32_t>(0x7fffffff);
    for (double v : {10.0, 1.0, 0.0, 0.0, 0.0}) bin += Bytes(v);
    ASSERT_TRUE(Read(binary, bin));
    EXPECT_EQ(binary.GetPointCount(), 1);
    EXPECT_LT(binary.GetGradePointArray().GetCapacity(), 100);

    // A file without signature is read as content.
    QZdmFile bare;
    ASSERT_TRUE(Read(bare, "2\n0 100 0 0 0\n100 101 0 0 0\n"));
    EXPECT_EQ(bare.GetFileVersion(), 0u);
    EXPECT_EQ(bare.GetPointCount(), 2);

    QZdmFile old;
    ASSERT_TRUE(Read(old, "RADUDAR5.8_ZDM_SHUJU\n1\n0 100 0 0 0\n"));
    EXPECT_EQ(old.GetFileVersion(), 580u);
}

TEST(ZdmFile, BadInputFailsCleanly) {
    RecordingUi ui;
    ScopedUi scoped(ui);
    struct Case {
        const char* what;
        std::string bytes;
        const char* position;
    };
    const std::vector<Case> cases = {
        {"negative count", "RADUDAR5.83_ZDM_SHUJU\n-3\n0 1 0 0 0\n", "line 2"},
        {"bad elevation", "RADUDAR5.83_ZDM_SHUJU\n2\n0 1 0 0 0\n100 abc 0 0 0\n", "line 4"},
        {"missing token", "RADUDAR5.83_ZDM_SHUJU\n2\n0 1 0 0 0\n100 2 0\n", "line 4"},
        {"not a number", "RADUDAR5.83_ZDM_SHUJU\n1\n0 nan 0 0 0\n", "line 3"},
        {"infinite radius", "RADUDAR5.83_ZDM_SHUJU\n1\n0 1 inf 0 0\n", "line 3"},
        {"binary nan",
         "QB  RADUDAR5.83_ZDM_SHUJU\n" + Bytes<std::int32_t>(1) + Bytes(0.0) +
             Bytes(std::numeric_limits<double>::quiet_NaN()) + Bytes(0.0) + Bytes(0.0) + Bytes(0.0),
         "byte offset"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QZdmFile doc;
        AddPoint(doc, 5, 5);
        ui.messages.clear();
        EXPECT_FALSE(Read(doc, c.bytes, "bad.zdm"));
        EXPECT_EQ(doc.GetPointCount(), 0);
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_NE(ui.messages[0].text.find("bad.zdm"), std::string::npos) << ui.messages[0].text;
        EXPECT_NE(ui.messages[0].text.find(c.position), std::string::npos) << ui.messages[0].text;
    }
}

TEST(ZdmFile, TruncatedAtEveryLength) {
    RecordingUi ui;
    ScopedUi scoped(ui);
    QZdmFile doc;
    AddPoint(doc, 0, 100);
    AddPoint(doc, 300, 106, 3000, 280, -0.2);
    AddPoint(doc, 700, 100, 2500);
    AddPoint(doc, 1000, 106);
    doc.Recalculate();
    for (bool text : {true, false}) {
        doc.SetTextForm(text);
        doc.SetTaggedForm(!text);
        const std::string whole = Write(doc);
        for (std::size_t len = 0; len <= whole.size(); ++len) {
            QZdmFile cut;
            if (Read(cut, whole.substr(0, len))) {
                EXPECT_LE(cut.GetPointCount(), 4) << len;
                for (double s = -10; s < 1100; s += 7) EXPECT_TRUE(std::isfinite(cut.GetDesignElevation(s)));
            } else {
                EXPECT_EQ(cut.GetPointCount(), 0) << len;
            }
        }
    }
}

TEST(ZdmFile, NonFiniteValueIsNeverWritten) {
    TempDir dir;
    const std::string path = dir.Path("road.zdm");
    test::WriteFileBytes(path, kTwoPointText);
    RecordingUi ui;
    ScopedUi scoped(ui);
    QZdmFile doc;
    ASSERT_TRUE(doc.OnOpenDocument(path));
    doc.GetGradePointArray()[1].Elevation = std::nan("");
    EXPECT_THROW(Write(doc), QArchiveException);
    EXPECT_FALSE(doc.OnSaveDocument(path));
    EXPECT_EQ(test::ReadFileBytes(path), kTwoPointText);
    // Lookups never hand the not-a-number on.
    doc.Recalculate();
    for (double s = 900; s < 1200; s += 5) {
        EXPECT_TRUE(std::isfinite(doc.GetDesignElevation(s))) << s;
        EXPECT_TRUE(std::isfinite(doc.GetDesignGrade(s))) << s;
    }
}

TEST(ZdmFile, OpenRecalculatesAndRepairs) {
    TempDir dir;
    const std::string path = dir.Path("road.zdm");
    test::WriteFileBytes(path, "RADUDAR5.83_ZDM_SHUJU\n3\n1000 120 2000 0 0\n0 100 0 0 0\n2000 110 0 0 0\n");

    RecordingUi ui;
    ScopedUi scoped(ui);
    {
        // Declined: the points stay as read, the lookups still answer.
        QZdmFile doc;
        ASSERT_TRUE(doc.OnOpenDocument(path));
        EXPECT_TRUE(doc.NeedsRepair());
        EXPECT_EQ(doc.GetGradePointArray()[0].Station.GetValue(), 1000.0);
        EXPECT_TRUE(std::isfinite(doc.GetDesignElevation(500.0)));
    }
    ui.answers.push_back(MessageAnswer::Yes);
    QZdmFile doc;
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_FALSE(doc.NeedsRepair());
    const GradePoint& p = doc.GetGradePointArray()[1];
    EXPECT_EQ(p.Station.GetValue(), 1000.0);
    EXPECT_NEAR(p.TangentLength, 30.0, 1e-12);
    EXPECT_NEAR(doc.GetDesignElevation(1000.0), 119.775, 1e-12);
    // The repaired profile was saved at once, in order.
    QZdmFile again;
    ASSERT_TRUE(again.OnOpenDocument(path));
    EXPECT_FALSE(again.NeedsRepair());
    EXPECT_EQ(again.GetPointCount(), 3);
}

}  // namespace
}  // namespace qdat
