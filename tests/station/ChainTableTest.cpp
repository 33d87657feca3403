// The chain-break table: stake stations, station text, errors and stepping.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <qdat/docbase/detail/NumberText.h>
#include <qdat/host/Resources.h>
#include "StationFixture.h"
#include "support/TestSupport.h"

namespace qdat::test {
namespace {

using ChainTableTest = StationTest;

// Runs f and returns the code of the QDLException it throws (0: none).
template <class F>
int ErrorCode(F&& f, std::string* message = nullptr) {
    try {
        f();
    } catch (const QDLException& e) {
        if (message) *message = e.GetErrorMessage();
        return e.m_nMessageId;
    }
    return 0;
}

ChainTable SkippedTable() {
    ChainTable table;
    table.AddBreak(1000.0, 1050.0);
    return table;
}

ChainTable OverlapTable() {
    ChainTable table;
    table.AddBreak(1050.0, 1000.0);
    return table;
}

TEST_F(ChainTableTest, KilometreFormRoundsAndDropsWholeDecimals) {
    ChainTable table;
    table.SetPrefix("K");
    EXPECT_EQ(table.FormatKilometre(12345.6789), "K12+345.679");
    EXPECT_EQ(table.FormatKilometre(100.0), "K0+100");
    EXPECT_EQ(table.FormatKilometre(-45.5), "K-0+045.500");
    EXPECT_EQ(table.FormatKilometre(0.0), "K0+000");
    EXPECT_EQ(table.FormatKilometre(999.9996), "K1+000");  // rounds into the next kilometre
    EXPECT_EQ(table.FormatKilometre(2000.0004), "K2+000");
    EXPECT_EQ(table.FormatKilometre(7.05), "K0+007.050");
    EXPECT_EQ(table.FormatStake(12345.6789), "K12+345.679");  // empty table: no conversion
    EXPECT_EQ(table.FormatStakePlus(-45.5), "K-0+045.500");

    SetStationPrecisionValue(0);
    EXPECT_EQ(table.FormatKilometre(12345.6789), "K12+346");
    EXPECT_EQ(table.FormatKilometre(5.0), "K0+005");
    EXPECT_EQ(table.FormatKilometre(999.6), "K1+000");
    EXPECT_EQ(table.FormatKilometre(-45.5), "K-0+046");

    SetStationPrecisionValue(1);
    EXPECT_EQ(table.FormatKilometre(100.04), "K0+100");
    EXPECT_EQ(table.FormatKilometre(1.26), "K0+001.3");

    SetStationPrecisionValue(6);
    EXPECT_EQ(table.FormatKilometre(1234.5678914), "K1+234.567891");
    EXPECT_EQ(table.FormatKilometre(31.0000004), "K0+031");

    table.SetPrefix("");
    EXPECT_EQ(table.FormatKilometre(5.0), "0+005");
}

TEST_F(ChainTableTest, KilometreFormOfNonsenseValuesDoesNotOverflow) {
    ChainTable table;
    EXPECT_EQ(table.FormatKilometre(1e300).substr(0, 4), "1000");
    EXPECT_FALSE(table.FormatKilometre(std::numeric_limits<double>::quiet_NaN()).empty());
    SetStationPrecisionValue(15);
    EXPECT_EQ(table.FormatKilometre(1.5), "0+001.500000000000000");
}

TEST_F(ChainTableTest, StationAtBeforeStaysBehindTheBreak) {
    ChainTable table = SkippedTable();
    EXPECT_EQ(table.FormatStake(1000.0), "1+000");
    EXPECT_EQ(table.FormatStake(1000.0001), "1+050");
    EXPECT_EQ(table.FormatStakeLettered(1000.0), "A1000.000");
    EXPECT_EQ(table.FormatStakeLettered(1000.0001), "B1050.000");

    double stake = 0.0;
    EXPECT_EQ(table.ChainIndexOf(1000.0, stake), 0);
    EXPECT_EQ(stake, 1000.0);
    EXPECT_EQ(table.ChainIndexOf(1000.000009, stake), 0);  // within 0.00001
    EXPECT_EQ(table.ChainIndexOf(1000.00002, stake), 1);
    EXPECT_NEAR(stake, 1050.00002, 1e-9);
    EXPECT_EQ(table.ChainIndexOfStation(QStation(-5.0)), 0);
    EXPECT_EQ(ChainTable().ChainIndexOf(12.0, stake), -1);
    EXPECT_EQ(stake, 12.0);
}

// A file holds stations rounded to the precision. Next to a break the
// rounded text may name the break from the other side, so the text a file
// gets is the one that reads back as a station written the same again.
TEST_F(ChainTableTest, FileTextAtABreakIsWrittenAlikeAfterReadingBack) {
    ChainTable table = SkippedTable();
    EXPECT_EQ(table.FormatStakeLettered(1000.0003), "B1050.000");  // reads back as 1000.000
    EXPECT_EQ(table.FormatStakeForFile(1000.0003), "A1000.000");
    EXPECT_EQ(table.FormatStakeForFile(1000.0006), "B1050.001");
    // A break off the grid of the precision: its Before cannot be written on
    // the chain behind ("B418.601" lies beyond it), so it is written ahead.
    ChainTable offGrid;
    offGrid.AddBreak(418.6008, 1050.0);
    EXPECT_EQ(offGrid.FormatStakeForFile(418.6008), "B1050.000");
    EXPECT_EQ(offGrid.FormatStakeForFile(418.6004), "A418.600");
    ChainTable roundingDown;
    roundingDown.AddBreak(418.6004, 1050.0);
    EXPECT_EQ(roundingDown.FormatStakeForFile(418.6004), "A418.600");
    EXPECT_EQ(roundingDown.FormatStakeForFile(418.6006), "A418.600");  // not "B1050.000"
    ChainTable bothOffGrid;                                            // as a damaged file had them
    bothOffGrid.AddBreak(4.4387087456597024e-38, 4751697.036193848);
    EXPECT_EQ(bothOffGrid.FormatStakeForFile(6.9e-259), "A0.000");
    for (const ChainTable* t : {&table, &offGrid, &roundingDown, &bothOffGrid}) {
        const double at = t->GetBreak(0).Before;
        for (int i = -2000; i <= 2000; ++i) {
            const double station = at + i * 1e-6;
            std::string text;
            double back = 0.0;
            ASSERT_TRUE(t->FileText(station, text, back)) << station;
            EXPECT_NEAR(back, station, 0.001 + 1e-12) << text;
            EXPECT_EQ(t->FormatStakeForFile(back), text) << station;
        }
    }
}

TEST_F(ChainTableTest, LetteredForm) {
    ChainTable table;
    EXPECT_EQ(table.FormatStakeLettered(123.5), "123.500");
    EXPECT_EQ(table.FormatStakeLettered(-0.25), "-0.250");
    table.AddBreak(1000.0, 1050.0);
    table.AddBreak(2000.0, 1980.0);
    table.SetPrefix("K");  // not used by the lettered form
    EXPECT_EQ(table.FormatStakeLettered(-45.5), "-A45.500");
    EXPECT_EQ(table.FormatStakeLettered(1020.0), "B1070.000");
    EXPECT_EQ(table.FormatStakeLettered(1950.0), "B2000.000");
    EXPECT_EQ(table.FormatStakeLettered(1960.0), "C1990.000");
    SetStationPrecisionValue(0);
    EXPECT_EQ(table.FormatStakeLettered(1960.4), "C1990");
}

TEST_F(ChainTableTest, SkippedRangeAndOverlapWhenParsing) {
    ChainTable skipped = SkippedTable();
    std::string message;
    EXPECT_EQ(ErrorCode([&] { skipped.ParseStakeOrThrow("1020"); }, &message), 12);
    EXPECT_NE(message.find("\"1020\""), std::string::npos) << message;
    EXPECT_NE(message.find("1000.000000 = 1050.000000"), std::string::npos) << message;
    EXPECT_DOUBLE_EQ(skipped.ParseStakeOrThrow("1000"), 1000.0);
    EXPECT_DOUBLE_EQ(skipped.ParseStakeOrThrow("1050"), 1000.0);
    EXPECT_DOUBLE_EQ(skipped.ParseStakeOrThrow("1070"), 1020.0);
    EXPECT_DOUBLE_EQ(skipped.ParseStakeOrThrow("b1070"), 1020.0);
    EXPECT_EQ(ErrorCode([&] { skipped.ParseStakeOrThrow("B1020"); }), 12);
    EXPECT_EQ(ErrorCode([&] { skipped.ParseStakeOrThrow("A1020"); }), 12);

    ChainTable overlap = OverlapTable();
    EXPECT_EQ(ErrorCode([&] { overlap.ParseStakeOrThrow("1020"); }, &message), 19);
    EXPECT_NE(message.find("A, B"), std::string::npos) << message;
    EXPECT_DOUBLE_EQ(overlap.ParseStakeOrThrow("A1020"), 1020.0);
    EXPECT_DOUBLE_EQ(overlap.ParseStakeOrThrow("B1020"), 1070.0);
    EXPECT_DOUBLE_EQ(overlap.ParseStakeOrThrow("990"), 990.0);
    EXPECT_DOUBLE_EQ(overlap.ParseStakeOrThrow("1060"), 1110.0);
    EXPECT_EQ(ErrorCode([&] { overlap.ParseStakeOrThrow("B990"); }), 12);
    EXPECT_EQ(ErrorCode([&] { overlap.ParseStakeOrThrow("A1060"); }), 12);
}

TEST_F(ChainTableTest, ParseErrorsNameTheText) {
    ChainTable empty;
    std::string message;
    EXPECT_EQ(ErrorCode([&] { empty.ParseStakeOrThrow("K1+000"); }, &message), 11);
    EXPECT_NE(message.find("\"K1+000\""), std::string::npos) << message;
    EXPECT_EQ(ErrorCode([&] { empty.ParseStakeOrThrow("12.5.1"); }), 11);
    EXPECT_EQ(ErrorCode([&] { empty.ParseStakeOrThrow(""); }), 11);
    EXPECT_DOUBLE_EQ(empty.ParseStakeOrThrow(" -12.5 "), -12.5);

    ChainTable table = SkippedTable();
    EXPECT_EQ(ErrorCode([&] { table.ParseStakeOrThrow("A"); }), 10);
    EXPECT_EQ(ErrorCode([&] { table.ParseStakeOrThrow("A1x"); }, &message), 10);
    EXPECT_NE(message.find("chain letter may be followed only by a number"), std::string::npos) << message;
    // A text without a letter is told what such a text may hold.
    EXPECT_EQ(ErrorCode([&] { table.ParseStakeOrThrow("1+200"); }, &message), 10);
    EXPECT_EQ(message.find("chain letter may be followed"), std::string::npos) << message;
    EXPECT_NE(message.find("without a chain letter"), std::string::npos) << message;
    EXPECT_EQ(ErrorCode([&] { table.ParseStakeOrThrow("-"); }), 10);
    EXPECT_EQ(ErrorCode([&] { table.ParseStakeOrThrow("C10"); }, &message), 11);
    EXPECT_NE(message.find("\"C10\""), std::string::npos) << message;
    EXPECT_DOUBLE_EQ(table.ParseStakeOrThrow("-20"), -20.0);
    EXPECT_DOUBLE_EQ(table.ParseStakeOrThrow("-A20"), -20.0);
}

// The characters a station text may hold and the number format come from the
// language texts; a language loaded or dropped between two parses applies to
// the very next one. Letters are compared upper-cased either way.
TEST_F(ChainTableTest, LanguageTextsApplyToTheNextParse) {
    TempDir dir;
    ChainTable empty;
    ChainTable table = SkippedTable();
    EXPECT_DOUBLE_EQ(empty.ParseStakeOrThrow("-12.5"), -12.5);
    EXPECT_EQ(ErrorCode([&] { empty.ParseStakeOrThrow("1e2"); }), 11);
    EXPECT_DOUBLE_EQ(table.ParseStakeOrThrow("b1070"), 1020.0);

    // No minus without breaks, an exponent letter allowed in either case, and
    // a scan format of our own, which then reads the upper-cased text.
    const std::string path = dir.Path("QDatFile60.xx.lang");
    WriteFileBytes(path, "811\t0123456789.E\n812\t0123456789.\n817\t %lf\n");
    ASSERT_EQ(LoadLanguageFile(path), 3);
    EXPECT_EQ(ErrorCode([&] { empty.ParseStakeOrThrow("-12.5"); }), 11);
    EXPECT_DOUBLE_EQ(empty.ParseStakeOrThrow("1e2"), 100.0);
    EXPECT_DOUBLE_EQ(empty.ParseStakeOrThrow("2E1"), 20.0);
    EXPECT_EQ(ErrorCode([&] { empty.ParseStakeOrThrow("1e2x"); }), 11);
    EXPECT_DOUBLE_EQ(table.ParseStakeOrThrow("b1070"), 1020.0);

    ClearLanguageTexts();
    EXPECT_DOUBLE_EQ(empty.ParseStakeOrThrow("-12.5"), -12.5);
    EXPECT_EQ(ErrorCode([&] { empty.ParseStakeOrThrow("1e2"); }), 11);
}

// Without breaks, the built-in texts let a number be scanned in one pass over
// the text; a scan format of a language (the same "%lg" in other words) goes
// the long way. Both accept and refuse the same texts with the same values.
TEST_F(ChainTableTest, OnePassScanAgreesWithTheFormatScan) {
    const std::vector<std::string> texts = {"0",
                                            "12.5",
                                            "-12.5",
                                            " 7 ",
                                            "\t8\r",
                                            "5.",
                                            ".5",
                                            "-.5",
                                            "-0",
                                            "000123.4500",
                                            "1e2",
                                            "1E2",
                                            "+5",
                                            "--5",
                                            "5-",
                                            "-",
                                            ".",
                                            "",
                                            "inf",
                                            "-inf",
                                            "nan",
                                            "infinity",
                                            "0x10",
                                            "1.2.3",
                                            "1+200",
                                            "12a",
                                            "a12",
                                            "1 2",
                                            "123456789012345678901234567890",
                                            "1" + std::string(400, '0'),
                                            "0." + std::string(400, '0') + "1"};
    ChainTable empty;
    std::vector<std::pair<bool, double>> onePass;
    for (const std::string& text : texts) {
        double value = -1.0;
        onePass.emplace_back(empty.ParseStake(text, value), value);
    }
    TempDir dir;
    const std::string path = dir.Path("QDatFile60.xx.lang");
    WriteFileBytes(path, "817\t%lg\n");
    ASSERT_EQ(LoadLanguageFile(path), 1);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        double value = -1.0;
        const bool ok = empty.ParseStake(texts[i], value);
        EXPECT_EQ(ok, onePass[i].first) << "\"" << texts[i] << "\"";
        if (ok) {
            EXPECT_EQ(value, onePass[i].second) << "\"" << texts[i] << "\"";
        }
    }
    ClearLanguageTexts();
    double value = 0.0;
    EXPECT_FALSE(empty.ParseStake("1e2", value));
    EXPECT_TRUE(empty.ParseStake("-.5", value));
    EXPECT_EQ(value, -0.5);
}

TEST_F(ChainTableTest, NegativeStakeStationsKeepTheirSign) {
    ChainTable table = SkippedTable();
    // A negative stake station lies before the first break: it is its own
    // continuous station, however far it is from zero.
    EXPECT_DOUBLE_EQ(table.ParseStakeOrThrow("-1100"), -1100.0);
    ChainTable early;
    early.AddBreak(30.0, 60.0);
    EXPECT_EQ(early.FormatStakeLettered(-45.5), "-A45.500");
    EXPECT_DOUBLE_EQ(early.ParseStakeOrThrow("-A45.500"), -45.5);
    // A chain whose stake stations run below zero.
    ChainTable dipping;
    dipping.AddBreak(200.0, -50.0);
    EXPECT_EQ(dipping.FormatStakeLettered(220.0), "-B30.000");
    EXPECT_DOUBLE_EQ(dipping.ParseStakeOrThrow("-B30"), 220.0);
}

TEST_F(ChainTableTest, NonThrowingParseKeepsTheLastError) {
    ChainTable table = OverlapTable();
    double station = 7.0;
    EXPECT_FALSE(table.ParseStake("1020", station));
    EXPECT_EQ(station, 7.0);
    ASSERT_NE(GetLastStationTextError(), nullptr);
    EXPECT_EQ(GetLastStationTextError()->m_nMessageId, 19);
    EXPECT_FALSE(table.ParseStake("Z1", station));
    EXPECT_EQ(GetLastStationTextError()->m_nMessageId, 11);  // replaced
    EXPECT_TRUE(table.ParseStake("B1020", station));
    EXPECT_EQ(station, 1070.0);

    RecordingUi ui;
    ScopedUi scope(ui);
    GetCurrentChainTable() = table;
    EXPECT_FALSE(ChainTable::ParseStakeAndReport("1020", station));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].text.find("\"1020\""), std::string::npos);
    EXPECT_EQ(GetLastStationTextError(), nullptr);
    EXPECT_TRUE(ChainTable::ParseStakeAndReport("a990", station));
    EXPECT_EQ(station, 990.0);
}

TEST_F(ChainTableTest, TwentySixthBreakIsRefusedButInsertedOnesAreNot) {
    ChainTable table;
    for (int i = 0; i < 25; ++i)
        table.AddBreak(std::to_string(1000 * (i + 1)) + "=" + std::to_string(1000 * (i + 1) + 10));
    EXPECT_EQ(table.GetBreakCount(), 25);
    EXPECT_DOUBLE_EQ(table.GetBreak(24).Before, 25000.0);
    EXPECT_DOUBLE_EQ(table.GetBreakLength(24), 10.0);
    std::string message;
    EXPECT_EQ(ErrorCode([&] { table.AddBreak("30000 = 30010"); }, &message), 13);
    EXPECT_NE(message.find("30000 = 30010"), std::string::npos) << message;
    EXPECT_EQ(ErrorCode([&] { table.AddBreak(30000.0, 30010.0); }), 13);
    EXPECT_EQ(table.GetBreakCount(), 25);
    table.InsertBreak(0, "500 = 505");
    EXPECT_EQ(table.GetBreakCount(), 26);
    EXPECT_DOUBLE_EQ(table.GetBreak(0).Before, 500.0);
    EXPECT_EQ(table.GetBreak(0).text, "500 = 505");
    EXPECT_DOUBLE_EQ(table.GetBreak(1).Before, 1000.0);
}

// Inserted breaks can make more chains than letters: after "Z" the chains
// are lettered "AA", "AB" ... "AZ", "BA" ..., and every such text reads back
// as the station it was made from.
TEST_F(ChainTableTest, ChainsBeyondZHaveLettersThatReadBack) {
    ChainTable table;
    for (int i = 0; i < 60; ++i)
        table.InsertBreak(i, std::to_string(1000 * (i + 1)) + "=" + std::to_string(1000 * (i + 1) + 10));
    ASSERT_EQ(table.GetBreakCount(), 60);
    for (int chain = 0; chain <= 60; ++chain) {
        // Half-way into the chain, in its own stake stationing.
        const double stake = chain == 0 ? 500.0 : 1000.0 * chain + 10 + 490.0;
        const double station = table.ContinuousOf(chain, stake);
        const std::string text = table.FormatStakeLettered(station);
        double back = 0.0;
        ASSERT_TRUE(table.ParseStake(text, back))
            << text << ": " << GetLastStationTextError()->GetErrorMessage();
        EXPECT_EQ(back, station) << text;
        EXPECT_EQ(table.ChainIndexOf(back, back), chain) << text;
    }
    const std::pair<int, const char*> letters[] = {{0, "A"},   {25, "Z"},  {26, "AA"},
                                                   {27, "AB"}, {51, "AZ"}, {52, "BA"}};
    for (const auto& [chain, letter] : letters) {
        const double stake = chain == 0 ? 500.0 : 1000.0 * chain + 10 + 490.0;
        EXPECT_EQ(table.FormatStakeLettered(table.ContinuousOf(chain, stake)),
                  letter + FormatFixed(stake, GetStationPrecision()));
    }
    // Letters are letters: no chain "[" or "a" after "Z", and none beyond the last.
    EXPECT_EQ(ErrorCode([&] { table.ParseStakeOrThrow("[27000"); }), 10);
    EXPECT_EQ(ErrorCode([&] { table.ParseStakeOrThrow("BJ61500"); }), 11);  // chain 61
    EXPECT_EQ(table.ParseStakeOrThrow("bi60500"), table.ContinuousOf(60, 60500));
    EXPECT_EQ(ErrorCode([&] { table.ParseStakeOrThrow("ZZZZZZZZZZZZZZZZZZZZ1"); }), 11);
}

TEST_F(ChainTableTest, BreakEditingAndIndexErrors) {
    ChainTable table;
    table.AddBreak("1000 = 1050");
    table.AddBreak("2000=1980");
    table.InsertBreak(4, "5000 = 5001");  // past the end: grows with empty breaks
    ASSERT_EQ(table.GetBreakCount(), 5);
    EXPECT_EQ(table.GetBreak(2), ChainBreak());
    EXPECT_DOUBLE_EQ(table.GetBreak(4).After, 5001.0);
    table.RemoveBreak(2);
    table.RemoveBreak(2);
    ASSERT_EQ(table.GetBreakCount(), 3);
    EXPECT_DOUBLE_EQ(table.GetBreak(2).Before, 5000.0);
    table.RemoveBreak(2);

    EXPECT_DOUBLE_EQ(table.BreakStartStation(0).GetValue(), 1000.0);
    EXPECT_DOUBLE_EQ(table.BreakStartStation(1).GetValue(), 1950.0);
    EXPECT_DOUBLE_EQ(table.GetBreakLength(1), -20.0);
    EXPECT_EQ(table.BreakBeforeText(1), "2+000");
    EXPECT_EQ(table.BreakAfterText(0), "1+050");
    EXPECT_EQ(table.GetBreak(0).GetText(), "1000.000000 = 1050.000000");

    std::string message;
    EXPECT_EQ(ErrorCode([&] { table.BreakStartStation(2); }, &message), 10);
    EXPECT_NE(message.find("2"), std::string::npos);
    EXPECT_EQ(ErrorCode([&] { table.BreakStartStation(-1); }), 10);
    EXPECT_EQ(ErrorCode([&] { table.RemoveBreak(5); }), 10);
    EXPECT_EQ(ErrorCode([&] { table.GetBreakLength(2); }), 10);
    EXPECT_EQ(ErrorCode([&] { table.InsertBreak(-1, "1 = 2"); }), 10);
    EXPECT_EQ(ErrorCode([&] { table.AddBreak("1000"); }, &message), 10);
    EXPECT_NE(message.find("\"1000\""), std::string::npos);
    EXPECT_EQ(ErrorCode([&] { table.AddBreak("nan = 5"); }), 10);
    EXPECT_EQ(table.GetBreakCount(), 2);

    ChainTable copy;
    copy = table;
    copy.SetPrefix("K");
    EXPECT_EQ(copy.GetBreakCount(), 2);
    EXPECT_EQ(copy.GetPrefix(), "K");
    copy.RemoveAllBreaks();
    EXPECT_EQ(copy.GetBreakCount(), 0);
    EXPECT_EQ(table.GetBreakCount(), 2);
}

TEST_F(ChainTableTest, SortBreaksOrdersByPosition) {
    ChainTable table;
    table.AddBreak(3000.0, 3010.0);
    table.AddBreak(1000.0, 1050.0);
    table.AddBreak(2000.0, 1980.0);
    table.AddBreak(500.0, 400.0);
    table.SortBreaks();
    ASSERT_EQ(table.GetBreakCount(), 4);
    EXPECT_EQ(table.GetBreak(0).Before, 500.0);
    EXPECT_EQ(table.GetBreak(1).Before, 1000.0);
    EXPECT_EQ(table.GetBreak(2).Before, 2000.0);
    EXPECT_EQ(table.GetBreak(3).Before, 3000.0);

    // Neither lies after the other (each Before is not beyond the other's
    // After): the order stays.
    ChainTable touching;
    touching.AddBreak(1000.0, 990.0);
    touching.AddBreak(990.0, 1000.0);
    touching.SortBreaks();
    EXPECT_EQ(touching.GetBreak(0).Before, 1000.0);
    EXPECT_EQ(touching.GetBreak(1).Before, 990.0);
}

TEST_F(ChainTableTest, WholeIntervalStationsStopAtEveryBreak) {
    ChainTable table;
    table.AddBreak(1000.0, 1050.0);
    table.AddBreak(2000.0, 1980.0);
    // Expected continuous stations, worked out from the stakes by hand.
    struct Step {
        double from;
        double expected;
        bool atBreak;
    };
    const Step steps[] = {
        {850.0, 900.0, false},       // stake 900
        {900.0, 1000.0, true},       // break 0
        {1000.0001, 1050.0, false},  // stake 1100 on chain B
        {1850.0, 1950.0, true},      // break 1 at stake 2000
        {1950.0001, 1970.0, false},  // stake 2000 on chain C
        {-130.0, -100.0, false},
    };
    for (const Step& s : steps) {
        double interval = 100.0;
        EXPECT_NEAR(table.NextIntervalStation(s.from, interval), s.expected, 1e-9) << s.from;
        EXPECT_EQ(interval == 0.0, s.atBreak) << s.from;
    }
    int whole = 100;
    EXPECT_DOUBLE_EQ(table.NextIntervalStation(999.9999999, whole), 1000.0);  // on a whole stake
    EXPECT_EQ(whole, 0);
    double zero = 0.0;
    EXPECT_EQ(table.NextIntervalStation(10.0, zero), std::numeric_limits<double>::max());
    double negative = -20.0;
    EXPECT_EQ(table.NextIntervalStation(10.0, negative), std::numeric_limits<double>::max());
    double empty = 20.0;
    EXPECT_DOUBLE_EQ(ChainTable().NextIntervalStation(1000.0, empty), 1020.0);
    EXPECT_EQ(empty, 20.0);
}

// Tables with skipped and overlapping ranges, random but reproducible.
std::vector<ChainTable> PropertyTables() {
    std::vector<ChainTable> tables;
    ChainTable fixed;
    fixed.AddBreak(1000.0, 1050.0);
    fixed.AddBreak(2000.0, 1980.0);
    fixed.AddBreak(3000.25, 3100.75);
    fixed.AddBreak(4000.0, 4000.5);
    tables.push_back(fixed);
    ChainTable dipping;
    dipping.AddBreak(200.0, -50.0);
    dipping.AddBreak(700.0, 705.0);
    tables.push_back(dipping);
    std::mt19937 rng(20240611);
    std::uniform_int_distribution<int> first(10000, 80000), length(-15000, 15000), gap(20000, 80000);
    for (int t = 0; t < 6; ++t) {
        ChainTable table;
        double before = first(rng) / 100.0;
        for (int i = 0; i < 1 + t * 4; ++i) {
            const double after = before + length(rng) / 100.0;
            table.AddBreak(before, after);
            before = after + gap(rng) / 100.0;
        }
        tables.push_back(table);
    }
    return tables;
}

TEST_F(ChainTableTest, LetteredTextReadsBackToTheSameStation) {
    std::mt19937 rng(7);
    int checked = 0;
    for (const ChainTable& table : PropertyTables()) {
        std::vector<double> stations;
        double end = 1000.0;
        for (int i = 0; i < table.GetBreakCount(); ++i) {
            const double start = table.BreakStartStation(i).GetValue();
            end = start + 1000.0;
            for (double offset :
                 {-0.6, -0.5, -0.0004, -0.000001, 0.0, 0.000005, 0.00001, 0.00002, 0.0004, 0.5, 0.6})
                stations.push_back(start + offset);
        }
        std::uniform_real_distribution<double> anywhere(-2000.0, end);
        for (int i = 0; i < 400; ++i) stations.push_back(anywhere(rng));

        for (int p = 0; p <= 6; ++p) {
            SetStationPrecisionValue(p);
            for (double station : stations) {
                const std::string text = table.FormatStakeLettered(station);
                double back = 0.0;
                ASSERT_TRUE(table.ParseStake(text, back))
                    << text << " of " << station << " at precision " << p << ": "
                    << GetLastStationTextError()->GetErrorMessage();
                ASSERT_LT(std::fabs(back - station), GetStationTolerance())
                    << text << " of " << station << " at precision " << p;
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 10000);
}

}  // namespace
}  // namespace qdat::test
