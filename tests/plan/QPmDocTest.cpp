// The plan element file: signatures, every file form, the legacy layout with
// its schema numbers, hand-written files, and bad or truncated input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include <qdat/docbase/DataArchive.h>
#include <qdat/host/HostFile.h>
#include <qdat/host/Resources.h>
#include <qdat/plan/PlanRect.h>
#include <qdat/plan/QPmDoc.h>
#include <qdat/station/ChainTable.h>
#include "plan/PlanTestHelpers.h"
#include "support/TestSupport.h"

namespace qdat::test {
namespace {

enum class Form { Text, Binary, Tagged, Scrambled, Legacy };

class QPmDocTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_savedTable = GetCurrentChainTable();
        GetCurrentChainTable() = ChainTable();
    }
    void TearDown() override { GetCurrentChainTable() = m_savedTable; }

    RecordingUi ui;
    ScopedUi scoped{ui};

private:
    ChainTable m_savedTable;
};

// Straight, spiral, arc, spiral, straight, with two end elements (EndType 1)
// and every header field set.
void FillAlignment(PlanAlignment& a) {
    a.Name = "Main line";
    a.Note = "design 3";
    a.HeaderValue = 2.5;
    a.StartMode = 1;
    a.StartStation = 1000.25;
    a.StartAzimuth = 0.75;
    a.BackPointY = 12.5;
    a.StartX = 3000.5;
    a.StartY = 5000.25;
    a.AppendElement(Element(InfiniteRadius, InfiniteRadius, 100));
    a.AppendElement(Element(InfiniteRadius, 400, 90));
    a.AppendElement(Element(400, 400, 130));
    a.AppendElement(Element(400, InfiniteRadius, 90));
    a.AppendElement(Element(InfiniteRadius, InfiniteRadius, 100));
    a.ElementAt(2).Offset = 0.5;
    a.EndType = 1;
    a.EndValue1 = 1.25;
    a.EndValue2 = 0.0;
    a.EndValue3 = -3.5;
    a.EndValue4 = 7.0;
    a.ElementsRef().SetSize(a.ElementCount + 4);
    a.ElementAt(5) = Element(InfiniteRadius, 600, 40, -1);
    a.ElementAt(6) = Element(600, 600, 30, -1);
    ASSERT_EQ(a.ComputeElements(), 1);
}

std::string Write(QPmDoc& doc, Form form) {
    MemoryFile out(std::string(), "plan.pm");
    if (form == Form::Legacy) {
        EXPECT_TRUE(doc.WriteLegacyToFile(out));
        return out.Bytes();
    }
    doc.SetLegacyLayout(false);
    doc.SetTextForm(form == Form::Text);
    doc.SetTaggedForm(form == Form::Tagged);
    doc.SetScrambledForm(form == Form::Scrambled);
    EXPECT_TRUE(doc.WriteToFile(out));
    return out.Bytes();
}

bool Read(QPmDoc& doc, const std::string& bytes, const std::string& name = "plan.pm") {
    MemoryFile in(bytes, name);
    return doc.ReadFromFile(in);
}

// The stored fields agree; text form rounds to the decimals written.
void ExpectSameElement(const PlanElement& a, const PlanElement& b, bool text) {
    // Half a unit of the last decimal written, and a little for the binary
    // representation of the values.
    const double p6 = text ? 5.01e-7 : 0.0;
    const double p8 = text ? 5.01e-9 : 0.0;
    const double p12 = text ? 5.1e-13 : 0.0;
    EXPECT_EQ(a.Type, b.Type);
    EXPECT_EQ(a.Turn, b.Turn);
    EXPECT_NEAR(a.Offset, b.Offset, p6);
    for (auto field : {&PlanElement::LengthItem, &PlanElement::SpiralParam, &PlanElement::StartRadius,
                       &PlanElement::EndRadius, &PlanElement::StartX, &PlanElement::StartY,
                       &PlanElement::TangentPointX, &PlanElement::TangentPointY, &PlanElement::EndX,
                       &PlanElement::EndY, &PlanElement::CentreX, &PlanElement::CentreY})
        EXPECT_NEAR(a.*field, b.*field, p8);
    EXPECT_NEAR(a.StartStation.GetValue(), b.StartStation.GetValue(), p8);
    EXPECT_NEAR(a.EndStation.GetValue(), b.EndStation.GetValue(), p8);
    EXPECT_NEAR(a.StartAzimuth, b.StartAzimuth, p12);
    EXPECT_NEAR(a.EndAzimuth, b.EndAzimuth, p12);
}

void ExpectSameAlignment(const PlanAlignment& a, const PlanAlignment& b, bool text) {
    EXPECT_EQ(a.ElementCount, b.ElementCount);
    EXPECT_EQ(a.Name, b.Name);
    EXPECT_EQ(a.Note, b.Note);
    EXPECT_EQ(a.HeaderValue, b.HeaderValue);
    EXPECT_EQ(a.StartMode, b.StartMode);
    EXPECT_EQ(a.StartStation.GetValue(), b.StartStation.GetValue());
    EXPECT_EQ(a.StartAzimuth, b.StartAzimuth);
    EXPECT_EQ(a.BackPointY, b.BackPointY);
    EXPECT_EQ(a.StartX, b.StartX);
    EXPECT_EQ(a.StartY, b.StartY);
    EXPECT_EQ(a.EndType, b.EndType);
    EXPECT_EQ(a.EndValue1, b.EndValue1);
    EXPECT_EQ(a.EndValue2, b.EndValue2);
    EXPECT_EQ(a.EndValue3, b.EndValue3);
    EXPECT_EQ(a.EndValue4, b.EndValue4);
    EXPECT_EQ(a.Chained, b.Chained);
    ASSERT_EQ(a.GetTotalElementCount(), b.GetTotalElementCount());
    for (int i = 0; i < a.GetTotalElementCount(); ++i) {
        SCOPED_TRACE("element " + std::to_string(i));
        ExpectSameElement(a.GetElement(i), b.GetElement(i), text);
    }
}

// Little-endian pieces of a hand-written binary file.
std::string I32(std::int32_t v) {
    std::string b(4, '\0');
    std::memcpy(b.data(), &v, 4);
    return b;
}
std::string F64(double v) {
    std::string b(8, '\0');
    std::memcpy(b.data(), &v, 8);
    return b;
}
std::string Str(const std::string& s) {
    return std::string(1, static_cast<char>(s.size())) + s;
}

// A binary element record (main layout); with schema, the legacy one.
std::string ElementBytes(const PlanElement& e, bool schema) {
    std::string b = schema ? I32(2) : std::string();
    b += I32(e.Turn) + F64(e.Offset) + F64(e.LengthItem) + F64(e.SpiralParam) + F64(e.StartRadius) +
         F64(e.EndRadius) + I32(e.Type);
    b += F64(e.StartX) + F64(e.StartY) + F64(e.TangentPointX) + F64(e.TangentPointY) + F64(e.EndX) +
         F64(e.EndY) + F64(e.CentreX) + F64(e.CentreY);
    b += F64(e.StartStation.GetValue()) + F64(e.EndStation.GetValue()) + F64(e.StartAzimuth) +
         F64(e.EndAzimuth);
    return b;
}

TEST_F(QPmDocTest, SignaturesAndVersions) {
    QPmDoc doc;
    EXPECT_EQ(doc.GetCurrentVersion(), 583u);
    EXPECT_TRUE(doc.ParseSignature("RADUDAR5.83_PM_SHUJU_PM"));
    EXPECT_EQ(doc.GetFileVersion(), 583u);
    EXPECT_FALSE(doc.IsLegacyLayout());
    EXPECT_TRUE(doc.ParseSignature("RADUDAR5.8_PM_SHUJU_PM_PPC"));
    EXPECT_EQ(doc.GetFileVersion(), 580u);
    EXPECT_TRUE(doc.IsLegacyLayout());
    EXPECT_EQ(doc.GetSignature(), "");
    EXPECT_TRUE(doc.ParseSignature("RADUDAR5.8_PM_SHUJU_PM"));
    EXPECT_EQ(doc.GetFileVersion(), 580u);
    EXPECT_FALSE(doc.IsLegacyLayout());
    EXPECT_EQ(doc.GetSignature(), "RADUDAR5.83_PM_SHUJU_PM");

    doc.SetFormatFlags(FormatFlag::TextForm | FormatFlag::TaggedForm | FormatFlag::ScrambledForm);
    EXPECT_FALSE(doc.ParseSignature(std::string(1, '\x04')));
    EXPECT_EQ(doc.GetFileVersion(), 0u);
    EXPECT_EQ(doc.GetFormatFlags(), FormatFlag::LegacyLayout);

    EXPECT_FALSE(doc.ParseSignature("RADUDAR5.83_PM_SHUJU_JD"));
    EXPECT_EQ(doc.GetFileVersion(), 0u);
    EXPECT_FALSE(doc.IsLegacyLayout());
    EXPECT_FALSE(doc.ParseSignature(std::string("\x04\x01", 2)));

    EXPECT_EQ(QDocument::TypeStringField(doc.GetTypeString(), 4), ".pm");
    EXPECT_TRUE(RuntimeClass::FromName("QPmDoc") != nullptr);
}

TEST_F(QPmDocTest, EveryFormRoundTrips) {
    QPmDoc doc;
    FillAlignment(doc.GetAlignment());
    for (Form form : {Form::Text, Form::Binary, Form::Tagged, Form::Scrambled, Form::Legacy}) {
        SCOPED_TRACE(static_cast<int>(form));
        const std::string bytes = Write(doc, form);
        ui.messages.clear();  // the text form tells of the values it rounded to its places
        QPmDoc back;
        ASSERT_TRUE(Read(back, bytes));
        EXPECT_TRUE(ui.messages.empty());
        ExpectSameAlignment(doc.GetAlignment(), back.GetAlignment(), form == Form::Text);
        EXPECT_EQ(back.GetFileVersion(), form == Form::Legacy ? 0u : 583u);
        EXPECT_EQ(back.GetFormatFlags(), FormatFlag::NotLoading | FormatFlag::TextForm);
        // Loading sizes the array for the main elements and four more.
        EXPECT_EQ(back.GetAlignment().GetElements().GetSize(), 9);
        EXPECT_TRUE(back.GetAlignment().GetElement(7) == PlanElement());
        EXPECT_TRUE(back.GetAlignment().GetElement(8) == PlanElement());
    }
}

TEST_F(QPmDocTest, TextLayoutAsWritten) {
    QPmDoc doc;
    PlanAlignment& a = doc.GetAlignment();
    a.Name = "Ramp A";
    a.Note = "";
    a.StartMode = 1;
    a.StartStation = 100.0;
    a.StartAzimuth = 0.5;
    a.StartX = 10.0;
    a.StartY = 20.0;
    PlanElement straight = Element(InfiniteRadius, InfiniteRadius, 50);
    straight.LengthItem = 50;
    a.AppendElement(straight);
    ASSERT_EQ(a.ComputeElements(), 1);

    const auto line = [](std::initializer_list<std::string> tokens) {
        std::string out;
        for (const std::string& t : tokens) {
            if (!out.empty()) out += ' ';
            // A quoted token is padded for its unquoted width; "" is the
            // empty string's own token, padded as it stands.
            const bool quoted = t.size() > 2 && t.front() == '"';
            const std::size_t width = quoted ? t.size() - 2 : t.size();
            if (width < 10) out += std::string(10 - width, ' ');
            out += t;
        }
        return out + "\n";
    };
    const std::string expected =
        "RADUDAR5.83_PM_SHUJU_PM\n" + line({"1", "\"Ramp A\"", "\"\"", "0.000000"}) +
        line({"1", "100.0000", "0.500000000000", "0.000000000000", "10.00000000", "20.00000000"}) +
        line({"1", "0.000000", "50.00000000", "0.00000000", "9999.00000000", "9999.00000000", "1"}) +
        line({"10.00000000", "20.00000000", "31.93956405", "31.98563847", "53.87912809", "43.97127693",
              "0.00000000", "0.00000000"}) +
        line({"100.00000000", "150.00000000", "0.500000000000", "0.500000000000"}) + "\n" +
        line({"0", "0.00000000", "0.000000000000", "0.00000000", "0.00000000", "1"});
    EXPECT_EQ(Write(doc, Form::Text), expected);
}

TEST_F(QPmDocTest, LegacyLayoutByteForByte) {
    // The current chain table goes first; one break, Before 1500, After 1520.
    GetCurrentChainTable().AddBreak(1500.0, 1520.0);
    QPmDoc doc;
    PlanAlignment& a = doc.GetAlignment();
    a.Name = "L";
    a.Note = "";
    a.StartMode = 1;
    a.StartStation = 0.0;
    a.StartAzimuth = 1.0;
    a.AppendElement(Element(InfiniteRadius, 250, 60));
    a.EndType = 5;
    a.ElementsRef().SetSize(5);
    a.ElementAt(1) = Element(250, 250, 20);
    ASSERT_EQ(a.ComputeElements(), 1);

    std::string expected = I32(4) + I32(1) + I32(3) + F64(1520.0) + F64(1500.0);  // chain table
    expected += I32(1) + I32(1) + Str("L") + Str("") + F64(0.0);                  // alignment header
    expected += I32(1) + F64(0.0) + F64(1.0) + F64(0.0) + F64(0.0) + F64(0.0);
    expected += ElementBytes(a.GetElement(0), true);
    expected += I32(5) + F64(0.0) + F64(0.0) + F64(0.0) + F64(0.0) + I32(1);
    expected += ElementBytes(a.GetElement(1), true);
    const std::string written = Write(doc, Form::Legacy);
    EXPECT_EQ(written, expected);

    // Read back: no signature, so the first byte (the table's schema number)
    // is the whole first line; the chain table is read and dropped.
    GetCurrentChainTable() = ChainTable();
    QPmDoc back;
    ASSERT_TRUE(Read(back, written));
    EXPECT_EQ(back.GetFileVersion(), 0u);
    EXPECT_EQ(GetCurrentChainTable().GetBreakCount(), 0);
    ExpectSameAlignment(a, back.GetAlignment(), false);
    EXPECT_EQ(back.GetAlignment().GetElements().GetSize(), 5);

    // A wrong schema number of the alignment or of an element is refused.
    for (std::size_t offset : {std::size_t{28}, std::size_t{28 + 4 + 4 + 2 + 1 + 8 + 44}}) {
        std::string bad = written;
        bad.replace(offset, 4, I32(7));
        QPmDoc broken;
        ui.messages.clear();
        EXPECT_FALSE(Read(broken, bad, "broken.pm"));
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_NE(ui.messages[0].text.find("broken.pm"), std::string::npos) << ui.messages[0].text;
        EXPECT_NE(ui.messages[0].text.find(std::to_string(offset + 4)), std::string::npos)
            << ui.messages[0].text;
        EXPECT_EQ(broken.GetAlignment().ElementCount, 0);
        EXPECT_EQ(broken.GetAlignment().GetElements().GetSize(), 0);
    }
}

TEST_F(QPmDocTest, HandWrittenPpcFilesHaveNoSchemaNumbers) {
    // Text: the chain table's count shares the record with the header.
    const std::string text =
        "RADUDAR5.8_PM_SHUJU_PM_PPC\n"
        "0 1 East \"\" 0\n"
        "1 20 0.25 0 100 200\n"
        "1 0 -80 0 9999 9999 1\n"
        "100 200 0 0 0 0 0 0\n"
        "20 0 0.25 0\n"
        "\n"
        "0 0 0 0 0 1\n";
    QPmDoc doc;
    ASSERT_TRUE(Read(doc, text));
    EXPECT_EQ(doc.GetFileVersion(), 580u);
    PlanAlignment& a = doc.GetAlignment();
    EXPECT_EQ(a.Name, "East");
    EXPECT_EQ(a.ElementCount, 1);
    EXPECT_EQ(a.StartStation.GetValue(), 20.0);
    ASSERT_EQ(a.ComputeElements(), 1);
    EXPECT_NEAR(a.GetElement(0).EndX, 100 + 80 * std::cos(0.25), 1e-12);
    EXPECT_NEAR(a.GetEndStation().GetValue(), 100.0, 1e-12);

    // Binary with header: the same content in values.
    PlanElement e = Element(300, 300, 45);
    e.StartStation = 7.0;
    std::string binary = std::string("QB  ") + "RADUDAR5.8_PM_SHUJU_PM_PPC\n" + I32(0);
    binary += I32(1) + Str("West") + Str("n") + F64(1.5);
    binary += I32(1) + F64(7.0) + F64(2.0) + F64(0.0) + F64(-5.0) + F64(6.0);
    binary += ElementBytes(e, false);
    binary += I32(2) + F64(0.0) + F64(0.5) + F64(0.0) + F64(0.0) + I32(0);
    for (int i = 0; i < 3; ++i) binary += ElementBytes(Element(InfiniteRadius, InfiniteRadius, 10), false);
    QPmDoc bin;
    ASSERT_TRUE(Read(bin, binary));
    EXPECT_EQ(bin.GetFileVersion(), 580u);
    EXPECT_EQ(bin.GetAlignment().Name, "West");
    EXPECT_EQ(bin.GetAlignment().Note, "n");
    EXPECT_EQ(bin.GetAlignment().HeaderValue, 1.5);
    EXPECT_EQ(bin.GetAlignment().Chained, 0);
    EXPECT_EQ(bin.GetAlignment().GetTotalElementCount(),
              4);  // EndType 2 with EndValue2 0.5: three end elements
    EXPECT_EQ(bin.GetAlignment().GetElement(0).StartRadius, 300.0);
    EXPECT_EQ(bin.GetAlignment().GetElement(3).LengthItem, -10.0);
}

TEST_F(QPmDocTest, EndTypeTwoCarriesTwoOrThreeEndElements) {
    for (double value2 : {0.0, 0.5}) {
        QPmDoc doc;
        PlanAlignment& a = doc.GetAlignment();
        a.StartMode = 1;
        a.AppendElement(Element(InfiniteRadius, InfiniteRadius, 10));
        a.EndType = 2;
        a.EndValue2 = value2;
        a.ElementsRef().SetSize(5);
        for (int i = 1; i < 4; ++i) a.ElementAt(i) = Element(InfiniteRadius, InfiniteRadius, 10.0 * i);
        ASSERT_EQ(a.ComputeElements(), 1);
        const int ends = value2 == 0.0 ? 2 : 3;
        EXPECT_EQ(a.GetTotalElementCount(), 1 + ends);
        QPmDoc back;
        ASSERT_TRUE(Read(back, Write(doc, Form::Binary)));
        EXPECT_EQ(back.GetAlignment().GetTotalElementCount(), 1 + ends);
        EXPECT_EQ(back.GetAlignment().GetElement(ends).LengthItem, 10.0 * ends);
        // The element after the end elements was not stored.
        EXPECT_TRUE(back.GetAlignment().GetElement(1 + ends) == PlanElement());
        EXPECT_NEAR(back.GetAlignment().GetEndStation().GetValue(), ends == 2 ? 40.0 : 70.0, 1e-9);
    }
}

TEST_F(QPmDocTest, EmptyNameIsStoredAsTheUnnamedText) {
    const std::string unnamed = LoadResourceString(1179);
    ASSERT_FALSE(unnamed.empty());
    QPmDoc doc;
    EXPECT_EQ(doc.GetAlignment().Name, unnamed);  // the default name
    doc.GetAlignment().Name.clear();
    for (Form form : {Form::Text, Form::Binary}) {
        QPmDoc back;
        ASSERT_TRUE(Read(back, Write(doc, form)));
        EXPECT_EQ(back.GetAlignment().Name, unnamed);
    }
}

TEST_F(QPmDocTest, FiveMainElementsLoadIntoNineEntries) {
    QPmDoc doc;
    FillAlignment(doc.GetAlignment());
    ASSERT_EQ(doc.GetAlignment().ElementCount, 5);
    QPmDoc back;
    ASSERT_TRUE(Read(back, Write(doc, Form::Text)));
    const PlanAlignment& a = back.GetAlignment();
    ASSERT_EQ(a.GetElements().GetSize(), 9);
    EXPECT_EQ(a.GetElement(5).Turn, -1);  // the end elements follow the main ones
    EXPECT_EQ(a.GetElement(6).StartRadius, 600.0);
    EXPECT_TRUE(a.GetElement(7) == PlanElement());
    back.DeleteContents();
    EXPECT_EQ(back.GetAlignment().ElementCount, 0);
    EXPECT_EQ(back.GetAlignment().GetElements().GetSize(), 0);
}

TEST_F(QPmDocTest, BadContentIsRefusedWithFileAndPosition) {
    QPmDoc doc;
    FillAlignment(doc.GetAlignment());
    const std::string text = Write(doc, Form::Text);

    // The end description follows the empty line after the main elements.
    const std::size_t endLine = text.find("\n\n");
    ASSERT_NE(endLine, std::string::npos);
    std::string badEnd = text;
    ASSERT_EQ(badEnd.substr(endLine + 2, 10), "         1");
    badEnd.replace(endLine + 2, 10, "         9");
    std::string badToken = text;
    badToken.replace(badToken.find("9999.00000000"), 13, "x999.00000000");
    for (const std::string& bad : {badEnd, badToken}) {
        QPmDoc broken;
        ui.messages.clear();
        EXPECT_FALSE(Read(broken, bad, "bad.pm"));
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_NE(ui.messages[0].text.find("bad.pm"), std::string::npos) << ui.messages[0].text;
        EXPECT_EQ(broken.GetAlignment().ElementCount, 0);
        EXPECT_EQ(broken.GetAlignment().GetElements().GetSize(), 0);
    }

    // A count the rest of the file cannot hold is refused before anything
    // is allocated for it.
    std::string huge = Write(doc, Form::Binary);
    const std::size_t countAt = 4 + std::strlen("RADUDAR5.83_PM_SHUJU_PM\n");
    huge.replace(countAt, 4, I32(200000000));
    QPmDoc broken;
    EXPECT_FALSE(Read(broken, huge));
    std::string negative = huge;
    negative.replace(countAt, 4, I32(-3));
    EXPECT_FALSE(Read(broken, negative));

    // An invalid EndType is not written either: the save fails instead.
    doc.GetAlignment().EndType = 12;
    MemoryFile out(std::string(), "out.pm");
    EXPECT_THROW(doc.WriteToFile(out), QArchiveException);
}

// NaN and the infinities are corrupt data: refused on reading, naming the
// value as the file holds it and its line or byte offset, and never written.
TEST_F(QPmDocTest, NonFiniteNumbersAreRefusedBothWays) {
    QPmDoc doc;
    FillAlignment(doc.GetAlignment());
    const std::string text = Write(doc, Form::Text);
    // The end radius of the spiral, on line 7 (the signature, 2 header lines
    // and the 3 lines of the straight before it).
    const std::size_t at = text.find("400.00000000");
    ASSERT_EQ(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at), '\n'), 6);
    for (const char* value : {"nan", "1e999", "-inf"}) {
        std::string bad = text;
        bad.replace(at, 12, value);
        QPmDoc broken;
        ui.messages.clear();
        EXPECT_FALSE(Read(broken, bad, "bad.pm")) << value;
        ASSERT_EQ(ui.messages.size(), 1u);
        const std::string& message = ui.messages[0].text;
        EXPECT_NE(message.find("bad.pm"), std::string::npos) << message;
        EXPECT_NE(message.find("line 7"), std::string::npos) << message;
        EXPECT_NE(message.find(std::string("\"") + value + "\""), std::string::npos) << message;
        EXPECT_EQ(broken.GetAlignment().ElementCount, 0);
    }
    // In binary, a NaN radius (the first 400.0 of the file) at its byte offset.
    std::string binary = Write(doc, Form::Binary);
    const std::size_t radiusAt = binary.find(F64(400.0));
    ASSERT_NE(radiusAt, std::string::npos);
    binary.replace(radiusAt, 8, F64(std::nan("")));
    QPmDoc broken;
    ui.messages.clear();
    EXPECT_FALSE(Read(broken, binary, "bad.bin"));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].text.find("NaN"), std::string::npos) << ui.messages[0].text;
    EXPECT_NE(ui.messages[0].text.find("byte offset"), std::string::npos) << ui.messages[0].text;

    // Not written: a NaN or infinite value anywhere, a station among them.
    for (int which = 0; which < 3; ++which) {
        QPmDoc unwritable;
        FillAlignment(unwritable.GetAlignment());
        PlanAlignment& a = unwritable.GetAlignment();
        if (which == 0) a.ElementAt(3).Offset = std::nan("");
        if (which == 1) a.EndValue3 = HUGE_VAL;
        if (which == 2) a.ElementAt(6).EndStation = -HUGE_VAL;
        for (Form form : {Form::Text, Form::Binary}) {
            MemoryFile out(std::string(), "out.pm");
            unwritable.SetTextForm(form == Form::Text);
            EXPECT_THROW(unwritable.WriteToFile(out), QArchiveException) << which;
        }
    }
}

TEST_F(QPmDocTest, TruncatedFilesFailCleanly) {
    QPmDoc doc;
    FillAlignment(doc.GetAlignment());
    for (Form form : {Form::Text, Form::Binary, Form::Tagged, Form::Scrambled, Form::Legacy}) {
        const std::string bytes = Write(doc, form);
        for (std::size_t cut = 0; cut < bytes.size(); cut += (form == Form::Text ? 3 : 5)) {
            QPmDoc back;
            if (!Read(back, bytes.substr(0, cut))) {
                EXPECT_EQ(back.GetAlignment().ElementCount, 0);
                EXPECT_EQ(back.GetAlignment().GetElements().GetSize(), 0);
            }
        }
    }
}

TEST_F(QPmDocTest, OpeningALegacyFileRewritesItInTheCurrentForm) {
    TempDir dir;
    QPmDoc doc;
    FillAlignment(doc.GetAlignment());
    const std::string path = dir.Path("old.pm");
    WriteFileBytes(path, Write(doc, Form::Legacy));
    QDocument::ArmOldVersionNotice(true);
    QPmDoc opened;
    ASSERT_TRUE(opened.OnOpenDocument(path));
    const std::string rewritten = ReadFileBytes(path);
    EXPECT_EQ(rewritten.rfind("RADUDAR5.83_PM_SHUJU_PM\n", 0), 0u);
    QPmDoc again;
    ASSERT_TRUE(Read(again, rewritten));
    ExpectSameAlignment(doc.GetAlignment(), again.GetAlignment(), true);
}

TEST(PlanRectTest, NormalizeContainsOutCode) {
    PlanRect r(10, 20, 0, 5);
    EXPECT_FALSE(r.Contains(5, 10));
    r.Normalize();
    EXPECT_EQ(r, PlanRect(0, 5, 10, 20));
    EXPECT_TRUE(r.Contains(0, 5));
    EXPECT_TRUE(r.Contains(10, 20));
    EXPECT_FALSE(r.Contains(10.001, 20));
    EXPECT_EQ(r.OutCode(5, 10), 0);
    EXPECT_EQ(r.OutCode(-1, 10), PlanRect::BelowMinX);
    EXPECT_EQ(r.OutCode(11, 21), PlanRect::AboveMaxX | PlanRect::AboveMaxY);
    EXPECT_EQ(r.OutCode(5, 4), PlanRect::BelowMinY);
    double w = 0, h = 0;
    r.Size(w, h);
    EXPECT_EQ(w, 10.0);
    EXPECT_EQ(h, 15.0);
    EXPECT_FALSE(r.IsEmpty());
    EXPECT_TRUE(PlanRect(1, 1, 1, 9).IsEmpty());
    EXPECT_TRUE(PlanRect(1, 1, 5, 1).IsEmpty());
}

}  // namespace
}  // namespace qdat::test
