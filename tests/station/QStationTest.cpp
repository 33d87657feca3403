// The station value: tolerant comparisons, precision, text and streaming.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include <qdat/docbase/DataArchive.h>
#include <qdat/host/HostFile.h>
#include <qdat/host/ObjectArchive.h>
#include "StationFixture.h"
#include "support/TestSupport.h"

namespace qdat::test {
namespace {

using QStationTest = StationTest;

std::string DoubleBytes(double value) {
    std::string bytes(8, '\0');
    std::memcpy(bytes.data(), &value, 8);  // the build machine is little-endian
    return bytes;
}

TEST_F(QStationTest, ComparisonsUseTheToleranceAsTabled) {
    const QStation a(100.0);
    const QStation near(100.0009);
    EXPECT_TRUE(a == near);
    EXPECT_FALSE(a != near);
    EXPECT_FALSE(a < near);
    EXPECT_FALSE(near > a);
    EXPECT_TRUE(a <= near);
    EXPECT_TRUE(near >= a);

    // 0.001 is the tolerance itself: not equal, and ordered.
    const QStation zero(0.0);
    const QStation milli(0.001);
    EXPECT_FALSE(zero == milli);
    EXPECT_TRUE(zero != milli);
    EXPECT_TRUE(zero < milli);
    EXPECT_TRUE(milli > zero);
    EXPECT_FALSE(milli < zero);
    EXPECT_FALSE(zero >= milli);

    // The two less-than forms differ at exactly the tolerance.
    EXPECT_TRUE(zero < QStation(0.001));
    EXPECT_FALSE(zero < 0.001);
    EXPECT_TRUE(zero < 0.0011);
    EXPECT_TRUE(zero <= 0.0009);
    EXPECT_FALSE(milli <= 0.0);
    EXPECT_TRUE(milli > 0.0);
    EXPECT_TRUE(milli >= 0.0);
    EXPECT_FALSE(milli == 0.0);
    EXPECT_TRUE(milli != 0.0);
}

TEST_F(QStationTest, DoubleOnTheLeftComparesExactlyButEqualsWithinAMicrometre) {
    const QStation s(10.0);
    EXPECT_TRUE(s == 10.0000005);
    EXPECT_TRUE(10.0000005 == s);
    EXPECT_FALSE(10.000002 == s);
    EXPECT_TRUE(10.000002 != s);
    EXPECT_TRUE(10.0000005 > s);  // exact, although equal by tolerance
    EXPECT_FALSE(s < 10.0000005);
    EXPECT_TRUE(9.9999 < s);
    EXPECT_TRUE(10.0 <= s);
    EXPECT_TRUE(10.0 >= s);
    EXPECT_FALSE(10.0 > s);
}

TEST_F(QStationTest, ArithmeticIsPlainFloatingPoint) {
    QStation s(10.0);
    EXPECT_DOUBLE_EQ((s + 2.5).GetValue(), 12.5);
    EXPECT_DOUBLE_EQ((s - QStation(4.0)).GetValue(), 6.0);
    EXPECT_DOUBLE_EQ((s * 3.0).GetValue(), 30.0);
    EXPECT_DOUBLE_EQ((s / QStation(4.0)).GetValue(), 2.5);
    EXPECT_DOUBLE_EQ((100.0 - s).GetValue(), 90.0);
    EXPECT_DOUBLE_EQ((1.0 / QStation(4.0)).GetValue(), 0.25);
    s += 5.0;
    s *= QStation(2.0);
    s -= 1.0;
    s /= 29.0;
    EXPECT_DOUBLE_EQ(s.GetValue(), 1.0);
    EXPECT_TRUE(std::isinf((s / 0.0).GetValue()));
    s = 7.25;
    EXPECT_DOUBLE_EQ(s.GetValue(), 7.25);
}

TEST_F(QStationTest, PrecisionSetsTheTolerance) {
    EXPECT_EQ(GetStationPrecision(), 3);
    EXPECT_EQ(GetStationTolerance(), 0.001);

    EXPECT_TRUE(SetStationPrecision("-2"));
    EXPECT_EQ(GetStationPrecision(), 0);
    EXPECT_EQ(GetStationTolerance(), 1.0);
    EXPECT_TRUE(QStation(10.0) == QStation(10.9));

    EXPECT_TRUE(SetStationPrecision(" 4"));
    EXPECT_EQ(GetStationPrecision(), 4);
    EXPECT_EQ(GetStationTolerance(), 0.0001);
    EXPECT_EQ(GetStationPrecisionText(), "4");

    EXPECT_FALSE(SetStationPrecision("three"));
    EXPECT_FALSE(SetStationPrecision(""));
    EXPECT_EQ(GetStationPrecision(), 4);

    // Out of range: clamped to what station text can show, never wrapped.
    EXPECT_TRUE(SetStationPrecision("99999999999999"));
    EXPECT_EQ(GetStationPrecision(), 15);
    EXPECT_TRUE(SetStationPrecision("-99999999999999"));
    EXPECT_EQ(GetStationPrecision(), 0);
}

TEST_F(QStationTest, TextWithAnEmptyTable) {
    EXPECT_EQ(QStation(123.5).GetText(), "123.500");
    EXPECT_EQ(QStation(-123.5).GetText(), "-123.500");
    EXPECT_EQ(QStation(12345.6789).GetKmText(), "12+345.679");
    EXPECT_EQ(QStation(12345.6789).GetPlusText(), "12+345.679");
    EXPECT_EQ(QStation(12345.6789).GetMetresText(), "+345.679");
    EXPECT_EQ(QStation(100.0).GetRawKmText(), "0+100");
    // A station that rounds to zero has no minus sign ("-0.000" would read
    // back as a station written "0.000").
    EXPECT_EQ(QStation(-0.0004).GetText(), "0.000");
    EXPECT_EQ(QStation(-0.0).GetText(), "0.000");
    EXPECT_EQ(QStation(-0.0006).GetText(), "-0.001");
}

TEST_F(QStationTest, TextFollowsTheCurrentChainTable) {
    GetCurrentChainTable().AddBreak(1000.0, 1050.0);
    GetCurrentChainTable().SetPrefix("K");
    const QStation s(1020.0);  // 20 m past the break: stake 1070
    EXPECT_EQ(s.GetText(), "B1070.000");
    EXPECT_EQ(s.GetKmText(), "K1+070");
    EXPECT_EQ(s.GetPlusText(), "K1+070");
    EXPECT_EQ(s.GetRawKmText(), "K1+020");
    EXPECT_EQ(s.GetMetresText(), "+070");
    EXPECT_TRUE(HasChainBreaks());
    EXPECT_DOUBLE_EQ(ToStakeStation(1020.0), 1070.0);
    ClearChainBreaks();
    EXPECT_FALSE(HasChainBreaks());
    EXPECT_DOUBLE_EQ(ToStakeStation(1020.0), 1020.0);
}

TEST_F(QStationTest, ParseTextShowsTheErrorAndKeepsTheValue) {
    RecordingUi ui;
    ScopedUi scope(ui);
    QStation s(5.0);
    EXPECT_TRUE(s.ParseText("12.25"));
    EXPECT_DOUBLE_EQ(s.GetValue(), 12.25);
    EXPECT_TRUE(ui.messages.empty());

    EXPECT_FALSE(s.ParseText("12x"));
    EXPECT_DOUBLE_EQ(s.GetValue(), 12.25);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].text.find("\"12x\""), std::string::npos) << ui.messages[0].text;
    EXPECT_EQ(GetLastStationTextError(), nullptr);  // reported and discarded
}

TEST_F(QStationTest, AssignmentFromTextThrowsTheChainTableError) {
    QStation s;
    s = std::string("250.5");
    EXPECT_DOUBLE_EQ(s.GetValue(), 250.5);
    try {
        s = std::string("K1+000");
        FAIL() << "no exception";
    } catch (const QDLException& e) {
        EXPECT_EQ(e.m_nMessageId, 11);
    }
    EXPECT_DOUBLE_EQ(s.GetValue(), 250.5);
}

TEST_F(QStationTest, NextRoundStationReportsTheBreak) {
    GetCurrentChainTable().AddBreak(1000.0, 1050.0);
    int step = 20;
    QStation next = QStation(975.0).NextRoundStation(step);
    EXPECT_DOUBLE_EQ(next.GetValue(), 980.0);
    EXPECT_EQ(step, 20);
    next = QStation(985.0).NextRoundStation(step);
    EXPECT_DOUBLE_EQ(next.GetValue(), 1000.0);
    EXPECT_EQ(step, 0);
    double realStep = 20.0;
    next = QStation(1000.5).NextRoundStation(realStep);  // stake 1050.5
    EXPECT_DOUBLE_EQ(next.GetValue(), 1010.0);           // stake 1060
    EXPECT_EQ(realStep, 20.0);
}

TEST_F(QStationTest, ClassRecordCreatesStations) {
    const RuntimeClass* cls = RuntimeClass::FromName("QStation");
    ASSERT_NE(cls, nullptr);
    auto station = CreateObjectAs<QStation>("QStation");
    ASSERT_NE(station, nullptr);
    EXPECT_EQ(station->GetValue(), 0.0);
    EXPECT_STREQ(station->GetRuntimeClass().GetName(), "QStation");
    EXPECT_TRUE(station->IsKindOf(QObject::classRecord));
}

TEST_F(QStationTest, WholeObjectFormIsTheEightBytesOfTheValue) {
    MemoryFile out;
    {
        ObjectArchive ar(out, ObjectArchive::Store);
        QStation s(1000.0);
        s.Serialize(ar);
    }
    // 1000 = 1.953125 * 2^9: exponent 0x408, fraction 0xF4 followed by zeros.
    EXPECT_EQ(out.Bytes(), std::string("\x00\x00\x00\x00\x00\x40\x8F\x40", 8));

    MemoryFile in(out.Bytes());
    ObjectArchive ar(in, ObjectArchive::Load);
    QStation back;
    back.Serialize(ar);
    EXPECT_EQ(back.GetValue(), 1000.0);

    MemoryFile shortFile(std::string("\x00\x00\x00", 3));
    ObjectArchive shortAr(shortFile, ObjectArchive::Load);
    try {
        back.Serialize(shortAr);
        FAIL() << "no exception";
    } catch (const ObjectArchiveException& e) {
        EXPECT_EQ(e.m_cause, ObjectArchiveException::EndOfFile);
    }
}

// Writes stations with the archive in the given form, returns the bytes.
std::string StoreStations(std::uint32_t form, const std::vector<double>& values, bool asNumber = false) {
    MemoryFile file;
    {
        DataArchive ar(&file, DataArchive::Store);
        ar.SetTextForm((form & FormatFlag::TextForm) != 0);
        ar.SetTaggedForm((form & FormatFlag::TaggedForm) != 0);
        ar.SetScrambledForm((form & FormatFlag::ScrambledForm) != 0);
        if (asNumber) ar << StationAsNumber << Precision(3);
        for (double v : values) ar << QStation(v);
        ar << EndRecord;
        ar.Close();
    }
    return file.Bytes();
}

std::vector<double> LoadStations(std::uint32_t form, const std::string& bytes, std::size_t count,
                                 bool asNumber = false) {
    MemoryFile file(bytes);
    DataArchive ar(&file, DataArchive::Load);
    ar.SetTextForm((form & FormatFlag::TextForm) != 0);
    ar.SetTaggedForm((form & FormatFlag::TaggedForm) != 0);
    ar.SetScrambledForm((form & FormatFlag::ScrambledForm) != 0);
    if (ar.IsTextForm()) ar >> EndRecord;  // a bare archive has not read its first record
    if (asNumber) ar >> StationAsNumber;
    std::vector<double> values;
    for (std::size_t i = 0; i < count; ++i) {
        QStation s;
        ar >> s;
        values.push_back(s.GetValue());
    }
    return values;
}

TEST_F(QStationTest, TextFormWritesStationTextThroughTheChainTable) {
    GetCurrentChainTable().AddBreak(1000.0, 1050.0);
    const std::vector<double> values{-12.5, 0.0, 999.9996, 1020.0, 5000.125};
    const std::string text = StoreStations(FormatFlag::TextForm, values);
    EXPECT_NE(text.find("-A12.500"), std::string::npos) << text;
    EXPECT_NE(text.find("A1000.000"), std::string::npos) << text;
    EXPECT_NE(text.find("B1070.000"), std::string::npos) << text;
    EXPECT_NE(text.find("B5050.125"), std::string::npos) << text;
    const std::vector<double> back = LoadStations(FormatFlag::TextForm, text, values.size());
    for (std::size_t i = 0; i < values.size(); ++i) EXPECT_TRUE(QStation(back[i]) == values[i]) << i;
}

TEST_F(QStationTest, TextFormWritesNumbersWithTheSwitch) {
    GetCurrentChainTable().AddBreak(1000.0, 1050.0);
    const std::vector<double> values{1020.0, 3.25};
    const std::string text = StoreStations(FormatFlag::TextForm, values, true);
    EXPECT_NE(text.find("1020.000"), std::string::npos) << text;
    EXPECT_EQ(text.find("B"), std::string::npos) << text;
    EXPECT_EQ(LoadStations(FormatFlag::TextForm, text, 2, true), values);
}

TEST_F(QStationTest, BinaryFormsCarryTagElevenAndTheDouble) {
    const std::vector<double> values{1000.0, -7.5};
    EXPECT_EQ(StoreStations(0, values), DoubleBytes(1000.0) + DoubleBytes(-7.5));
    EXPECT_EQ(StoreStations(FormatFlag::TaggedForm, values),
              "\x0b" + DoubleBytes(1000.0) + "\x0b" + DoubleBytes(-7.5));
    for (std::uint32_t form : {0u, FormatFlag::TaggedForm, FormatFlag::ScrambledForm,
                               FormatFlag::TaggedForm | FormatFlag::ScrambledForm}) {
        const std::string bytes = StoreStations(form, values);
        EXPECT_EQ(LoadStations(form, bytes, 2), values) << form;
    }
    // A tagged reader that finds a double's tag where a station belongs.
    const std::string wrongTag = "\x09" + DoubleBytes(1.0);
    EXPECT_THROW(LoadStations(FormatFlag::TaggedForm, wrongTag, 1), QArchiveException);
}

TEST_F(QStationTest, BadStationsInFilesFailWithBadFormat) {
    RecordingUi ui;
    ScopedUi scope(ui);
    try {
        LoadStations(FormatFlag::TextForm, "12.5 1x2\n", 2);
        FAIL() << "no exception";
    } catch (const QArchiveException& e) {
        EXPECT_EQ(e.m_cause, QArchiveException::BadFormat);
        EXPECT_NE(std::string(e.what()).find("1x2"), std::string::npos) << e.what();
    }
    ASSERT_EQ(ui.messages.size(), 1u);  // the user saw why
    EXPECT_EQ(GetLastStationTextError(), nullptr);

    try {
        LoadStations(FormatFlag::TextForm, "abc\n", 1, true);
        FAIL() << "no exception";
    } catch (const QArchiveException& e) {
        EXPECT_EQ(e.m_cause, QArchiveException::BadFormat);
    }
    // A NaN or an infinity is no station, whatever the form.
    try {
        LoadStations(0, DoubleBytes(std::numeric_limits<double>::quiet_NaN()), 1);
        FAIL() << "no exception";
    } catch (const QArchiveException& e) {
        EXPECT_EQ(e.m_cause, QArchiveException::BadFormat);
    }
    EXPECT_THROW(LoadStations(FormatFlag::TextForm, "inf\n", 1, true), QArchiveException);
}

}  // namespace
}  // namespace qdat::test
