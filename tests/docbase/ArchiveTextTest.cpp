// The text form of the archive: columns, quoting, decimal places, comment
// lines, record reading, the end-of-data test, and key-value records.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <qdat/docbase/DataArchive.h>
#include <qdat/docbase/detail/NumberText.h>
#include <qdat/host/HostFile.h>
#include "ArchiveTestKit.h"

namespace qdat::test {
namespace {

template <class Body>
std::string StoreText(Body&& body) {
    return StoreBare(Form::Text, std::forward<Body>(body));
}

template <class Body>
void LoadText(const std::string& text, Body&& body, const std::string& path = "load.txt") {
    LoadBare(text, Form::Text, std::forward<Body>(body), path);
}

QArchiveException::Cause TextErrorCause(const std::string& text,
                                        const std::function<void(DataArchive&)>& body) {
    try {
        LoadText(text, body);
    } catch (const QArchiveException& e) {
        return e.m_cause;
    }
    ADD_FAILURE() << "no archive error for " << text;
    return QArchiveException::WriteFailed;
}

// ---------------------------------------------------------------------------
// Writing tokens

TEST(ArchiveTextWrite, TokensAreRightAlignedInColumnsOfTen) {
    EXPECT_EQ(StoreText([](DataArchive& ar) { ar << 1 << 2.5 << "A B" << EndRecord; }),
              "         1     2.5000        \"A B\"\n");
    EXPECT_EQ(StoreText([](DataArchive& ar) { ar << 'x' << -7 << static_cast<short>(12) << EndRecord; }),
              "         x         -7         12\n");
    // Longer tokens are not cut.
    EXPECT_EQ(StoreText([](DataArchive& ar) { ar << INT_MIN << "abcdefghijkl" << EndRecord; }),
              "-2147483648 abcdefghijkl\n");
    // An empty record is an empty line.
    EXPECT_EQ(StoreText([](DataArchive& ar) { ar << EndRecord << 5 << EndRecord; }), "\n         5\n");
}

TEST(ArchiveTextWrite, TokensWithSeparatorsAreQuotedAfterPadding) {
    EXPECT_EQ(StoreText([](DataArchive& ar) { ar << "a,b" << EndRecord; }), "       \"a,b\"\n");
    EXPECT_EQ(StoreText([](DataArchive& ar) { ar << "a\tb" << EndRecord; }), "       \"a\tb\"\n");
    // Ten characters: no padding, and the quotes make it twelve wide.
    EXPECT_EQ(StoreText([](DataArchive& ar) { ar << "abcd efghi" << EndRecord; }), "\"abcd efghi\"\n");
    // A quote alone is an ordinary character.
    EXPECT_EQ(StoreText([](DataArchive& ar) { ar << "a\"b" << EndRecord; }), "       a\"b\n");
}

TEST(ArchiveTextWrite, LineBreaksInsideAStringBecomeSpaces) {
    EXPECT_EQ(StoreText([](DataArchive& ar) { ar << "a\nb" << EndRecord; }), "       \"a b\"\n");
    EXPECT_EQ(StoreText([](DataArchive& ar) { ar << "x\r\ny" << EndRecord; }), "      \"x  y\"\n");
    LoadText("       \"a b\"\n", [](DataArchive& ar) {
        std::string s;
        ar >> s;
        EXPECT_EQ(s, "a b");
    });
}

TEST(ArchiveTextWrite, EmptyStringIsAQuotedEmptyToken) {
    const std::string text = StoreText([](DataArchive& ar) { ar << "" << 5 << std::string() << EndRecord; });
    EXPECT_EQ(text, "        \"\"          5         \"\"\n");
    LoadText(text, [](DataArchive& ar) {
        std::string a = "x", b = "y";
        int i = 0;
        ar >> a >> i >> b;
        EXPECT_EQ(a, "");
        EXPECT_EQ(i, 5);
        EXPECT_EQ(b, "");
        EXPECT_TRUE(ar.AtEnd());
    });
}

TEST(ArchiveTextWrite, PrecisionManipulatorSetsTheDecimalPlaces) {
    EXPECT_EQ(StoreText([](DataArchive& ar) { ar << Precision(6) << 1.0 << EndRecord; }), "  1.000000\n");
    EXPECT_EQ(StoreText([](DataArchive& ar) { ar << 1.0 << 0.1f << -2.25 << EndRecord; }),
              "    1.0000     0.1000    -2.2500\n");
    EXPECT_EQ(
        StoreText([](DataArchive& ar) { ar << Precision(0) << 2.6 << Precision(2) << 2.675f << EndRecord; }),
        "         3       2.67\n");  // 2.675f is 2.6749999523...
    EXPECT_EQ(StoreText([](DataArchive& ar) { ar << Precision(19) << 0.5 << EndRecord; }),
              "0.5000000000000000000\n");

    MemoryFile file(std::string(), "p");
    DataArchive ar(&file, DataArchive::Store | DataArchive::NoFlushOnDelete);
    EXPECT_EQ(ar.GetPrecision(), 4);
    EXPECT_EQ(ar.SetPrecision(6), 4);
    EXPECT_EQ(ar.GetPrecision(), 6);
    ar << Precision(12);
    EXPECT_EQ(ar.GetPrecision(), 12);
    // Codes outside the tabled ranges are ignored.
    ar << static_cast<ArchiveManipulator>(20) << static_cast<ArchiveManipulator>(150)
       << static_cast<ArchiveManipulator>(230) << static_cast<ArchiveManipulator>(-1);
    EXPECT_EQ(ar.GetPrecision(), 12);
    EXPECT_EQ(ar.GetWidth(), 10);
    ar.Abort();
}

// printf's own fixed-point text: the reference the archive's must match.
std::string PrintfFixed(double value, int places) {
    std::vector<char> buf(400 + static_cast<std::size_t>(places));
    const int n = std::snprintf(buf.data(), buf.size(), "%.*f", places, value);
    return std::string(buf.data(), static_cast<std::size_t>(n));
}

// Decimal places are held to 0..19 wherever they come in, so that the longest
// fixed-point text (a sign, 309 digits, the point, 19 places) is the most any
// value takes; more places once wrote bytes from beyond a stack buffer.
TEST(ArchiveTextWrite, DecimalPlacesAreHeldToNineteen) {
    const std::string big = PrintfFixed(1e308, 19);
    ASSERT_EQ(big.size(), 309u + 1 + 19);
    const std::string text = StoreText([](DataArchive& ar) {
        EXPECT_EQ(ar.SetPrecision(120), 4);
        EXPECT_EQ(ar.GetPrecision(), 19);
        ar << 1e308 << EndRecord;
        EXPECT_EQ(ar.SetPrecision(INT_MIN), 19);
        EXPECT_EQ(ar.GetPrecision(), 0);
        ar << 2.5 << EndRecord;
    });
    EXPECT_EQ(text, big + "\n" + std::string(9, ' ') + "3\n");

    EXPECT_EQ(FormatFixed(1e308, 120), big);
    EXPECT_EQ(FormatFixed(-DBL_MAX, INT_MAX), PrintfFixed(-DBL_MAX, 19));
    EXPECT_EQ(FormatFixed(-DBL_MAX, INT_MAX).size(), 1u + 309 + 1 + 19);
    EXPECT_EQ(FormatFixed(DBL_MIN, 19), PrintfFixed(DBL_MIN, 19));
    EXPECT_EQ(FormatFixed(0.125, -3), "0");
    EXPECT_EQ(FormatFixed(0.125, 2), "0.13");  // a half away from zero, not to even as printf

    // A manipulator made from a number out of range is held to the range too,
    // instead of turning into another manipulator (100 would end the record).
    EXPECT_EQ(
        StoreText([](DataArchive& ar) { ar << Precision(100) << 1.5 << Width(-100) << 5 << EndRecord; }),
        "1.5000000000000000000 5\n");
    EXPECT_EQ(StoreText([](DataArchive& ar) { ar << Width(500) << 5 << EndRecord; }),
              std::string(28, ' ') + "5\n");
}

// A value is rounded to its field's places as its decimal text reads: a half
// away from zero, also where the double lies a hair below the half (3.505 is
// 3.50499999999999989...), and as printf rounds everywhere else. What a field
// cannot hold is counted.
TEST(ArchiveTextWrite, HalvesRoundAwayFromZeroAndRoundedValuesAreCounted) {
    const struct {
        double value;
        int places;
        const char* text;
    } cases[] = {
        {-3.125, 2, "-3.13"}, {3.505, 2, "3.51"},    {2.675, 2, "2.68"},
        {0.005, 2, "0.01"},   {-0.005, 2, "-0.01"},  {9.995, 2, "10.00"},
        {-99.5, 0, "-100"},   {0.0005, 3, "0.001"},  {3.5049, 2, "3.50"},
        {3.5051, 2, "3.51"},  {-3.1249, 2, "-3.12"}, {1234.5678, 2, "1234.57"},
        {-0.001, 2, "-0.00"}, {1e-300, 2, "0.00"},   {123456789.25, 1, "123456789.3"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatFixed(c.value, c.places), c.text) << c.value;
    // Digits far beyond what a double tells apart stay printf's.
    EXPECT_EQ(FormatFixed(4000000.123456789, 12), PrintfFixed(4000000.123456789, 12));
    EXPECT_EQ(FormatFixed(0.1, 19), PrintfFixed(0.1, 19));

    int rounded = -1;
    const std::string text = StoreText([&](DataArchive& ar) {
        ar << Precision(2) << -3.125 << 3.505 << 3.5 << 0.0 << 12.0 << 0.1f << EndRecord;
        ar << BeginComment << 1.001 << EndComment;
        ar << Precision(3) << 3.505 << 1.0005 << EndRecord;
        rounded = ar.GetRoundedCount();
    });
    EXPECT_EQ(text.substr(0, text.find('\n')),
              "     -3.13       3.51       3.50       0.00      12.00       0.10");
    EXPECT_EQ(rounded, 3);
}

TEST(ArchiveTextWrite, WidthManipulator) {
    EXPECT_EQ(StoreText([](DataArchive& ar) { ar << Width(0) << 7 << 8 << "a b" << EndRecord; }),
              "7 8 \"a b\"\n");
    EXPECT_EQ(StoreText([](DataArchive& ar) { ar << Width(3) << 7 << 12345 << EndRecord; }), "  7 12345\n");
    EXPECT_EQ(StoreText([](DataArchive& ar) { ar << Width(29) << 7 << EndRecord; }),
              std::string(28, ' ') + "7\n");
    MemoryFile file(std::string(), "w");
    DataArchive ar(&file, DataArchive::Store | DataArchive::NoFlushOnDelete);
    EXPECT_EQ(ar.SetWidth(15), 10);
    EXPECT_EQ(ar.SetWidth(10), 15);
    ar.Abort();
}

TEST(ArchiveTextWrite, StationManipulatorsSwitchBothWays) {
    MemoryFile file(std::string(), "s");
    DataArchive ar(&file, DataArchive::Store | DataArchive::NoFlushOnDelete);
    EXPECT_FALSE(ar.IsStationAsNumber());
    ar << StationAsNumber;
    EXPECT_TRUE(ar.IsStationAsNumber());
    ar << StationAsText;
    EXPECT_FALSE(ar.IsStationAsNumber());
    EXPECT_EQ(ar.SetStationAsNumber(1), 0);
    EXPECT_EQ(ar.SetStationAsNumber(0), 1);
    ar.Abort();

    LoadText("1\n", [](DataArchive& ar) {
        ar >> StationAsNumber;
        EXPECT_TRUE(ar.IsStationAsNumber());
        ar >> StationAsText;
        EXPECT_FALSE(ar.IsStationAsNumber());
        // Loading ignores precision and width.
        ar >> Precision(9) >> Width(2);
        EXPECT_EQ(ar.GetPrecision(), 4);
        EXPECT_EQ(ar.GetWidth(), 10);
    });
}

TEST(ArchiveTextWrite, CommentLines) {
    EXPECT_EQ(StoreText([](DataArchive& ar) {
                  ar << 1 << BeginComment << "note" << 2 << "two words" << EndComment << 3 << EndRecord;
              }),
              "         1\n//note 2 two words\n         3\n");
    // An end of record inside a comment continues the comment on the next line.
    const std::string text = StoreText([](DataArchive& ar) {
        ar << BeginComment << "a" << EndRecord << "b" << EndComment << 4 << EndRecord;
    });
    EXPECT_EQ(text, "//a\n//b\n         4\n");
    LoadText("         1\n//note 2 two words\n         3\n" + text, [](DataArchive& ar) {
        int a = 0, b = 0, c = 0;
        ar >> a >> EndRecord >> b >> EndRecord >> c;
        EXPECT_EQ(a, 1);
        EXPECT_EQ(b, 3);
        EXPECT_EQ(c, 4);
        EXPECT_TRUE(ar.AtEnd());
    });
}

TEST(ArchiveTextWrite, WriteFormattedWritesStraightThrough) {
    EXPECT_EQ(StoreText([](DataArchive& ar) {
                  ar << 1;
                  EXPECT_TRUE(ar.WriteFormatted("%d-%s|", 5, "x"));
                  ar << EndRecord;
              }),
              "5-x|         1\n");
}

// A string whose text begins like a comment, written as the first token of a
// record, must still read back; written bare it makes the reader skip the
// whole record.
TEST(ArchiveTextWrite, TokenThatLooksLikeACommentSurvives) {
    for (const char* lead : {";note", "*", "//x", "/"}) {
        const std::string text =
            StoreText([&](DataArchive& ar) { ar << Width(0) << lead << 5 << EndRecord << 6 << EndRecord; });
        LoadText(text, [&](DataArchive& ar) {
            std::string s;
            int a = 0, b = 0;
            ar >> s >> a >> EndRecord >> b;
            EXPECT_EQ(s, lead) << text;
            EXPECT_EQ(a, 5) << text;
            EXPECT_EQ(b, 6) << text;
        });
    }
}

// A token is read up to the next separator, or, when it starts with a quote,
// up to the next quote; a zero byte or a line break ends the record. A string
// that these rules would not give back is refused, and the record being built
// stays as it was.
TEST(ArchiveTextWrite, StringsTheReaderCannotGiveBackAreRefused) {
    const std::string refused[] = {
        "say \"hi\" twice",      // quoted for its blanks, but a quote ends it early
        "a,\"b",                 // quoted for its comma
        "\"open",                // read as a quoted token
        "\"",                    // read as an empty one
        std::string("a\0b", 3),  // the zero byte ends the line
    };
    for (const std::string& text : refused) {
        try {
            StoreText([&](DataArchive& ar) { ar << text; });
            ADD_FAILURE() << "accepted: " << text;
        } catch (const QArchiveException& e) {
            EXPECT_EQ(e.m_cause, QArchiveException::WriteFailed) << text;
            const std::string message = e.what();
            EXPECT_NE(message.find(text.substr(0, text.find('\0'))), std::string::npos) << message;
            EXPECT_NE(message.find("store.dat"), std::string::npos) << message;
        }
    }
    // A first token that would read as a comment is quoted, so it cannot hold a
    // quote either; later in the record the same text is written bare.
    EXPECT_THROW(StoreText([](DataArchive& ar) { ar << ";\"x"; }), QArchiveException);
    EXPECT_EQ(StoreText([](DataArchive& ar) { ar << 1 << ";\"x" << EndRecord; }), "         1        ;\"x\n");
    // Characters go the same way.
    for (char c : {'"', '\0', '\n', '\r'}) {
        EXPECT_THROW(StoreText([&](DataArchive& ar) { ar << c; }), QArchiveException) << int(c);
    }
    EXPECT_EQ(StoreText([](DataArchive& ar) { ar << Width(0) << ' ' << EndRecord; }), "\" \"\n");
    // Nothing of a refused string reaches the record.
    EXPECT_EQ(StoreText([](DataArchive& ar) {
                  ar << 1;
                  EXPECT_THROW(ar << "\"x", QArchiveException);
                  ar << 2 << EndRecord;
              }),
              "         1          2\n");
}

// Random strings over the bytes the reader treats specially: each one the
// writer accepts, first in its record or after another token, reads back as
// written (line breaks as spaces); every string without a quote or a zero
// byte is accepted.
TEST(ArchiveTextWrite, EveryStringTheWriterAcceptsReadsBack) {
    const std::string alphabet = std::string("a\" ,\t;*/\n\r", 10) + std::string(1, '\0') + "x\xC3\xA9";
    std::uint32_t seed = 17;
    const auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 16;
    };
    int accepted = 0, acceptedWithQuote = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const unsigned length = next() % 8;
        for (unsigned k = 0; k < length; ++k) text += alphabet[next() % alphabet.size()];
        std::string expected = text;
        for (char& c : expected)
            if (c == '\n' || c == '\r') c = ' ';
        const bool plain = expected.find_first_of(std::string("\"\0", 2)) == std::string::npos;
        for (const bool first : {true, false}) {
            const int width = static_cast<int>(next() % 12);
            std::string bytes;
            try {
                bytes = StoreText([&](DataArchive& ar) {
                    ar << Width(width);
                    if (!first) ar << 7;
                    ar << text << 9 << EndRecord;
                });
            } catch (const QArchiveException&) {
                EXPECT_FALSE(plain) << "refused: [" << text << "] first=" << first;
                continue;
            }
            ++accepted;
            if (!plain) ++acceptedWithQuote;
            try {
                LoadText(bytes, [&](DataArchive& ar) {
                    int before = 7, after = 0;
                    std::string back;
                    if (!first) ar >> before;
                    ar >> back >> after;
                    EXPECT_EQ(back, expected) << "[" << bytes << "]";
                    EXPECT_EQ(before * 10 + after, 79) << "[" << bytes << "]";
                    EXPECT_TRUE(ar.AtEnd()) << "[" << bytes << "]";
                });
            } catch (const QArchiveException& e) {
                ADD_FAILURE() << "[" << bytes << "] " << e.what();
            }
        }
    }
    EXPECT_GT(accepted, 3000);
    EXPECT_GT(acceptedWithQuote, 50);  // a quote inside a bare token is fine
}

// ---------------------------------------------------------------------------
// Reading tokens and records

TEST(ArchiveTextRead, ConsecutiveSeparatorsGiveNoEmptyTokens) {
    LoadText("1.5,,2.5\n", [](DataArchive& ar) {
        EXPECT_EQ(ar.CountTokens(), 2);
        double a = 0, b = 0;
        ar >> a >> b;
        EXPECT_EQ(a, 1.5);
        EXPECT_EQ(b, 2.5);
        EXPECT_EQ(ar.CountTokens(), 0);
        EXPECT_TRUE(ar.AtEnd());
    });
    LoadText("  7\t8 ,9 , \t", [](DataArchive& ar) {
        int a = 0, b = 0, c = 0;
        ar >> a >> b >> c;
        EXPECT_EQ(a + b * 10 + c * 100, 987);
        EXPECT_TRUE(ar.AtEnd());
    });
}

TEST(ArchiveTextRead, QuotedTokens) {
    LoadText("\"a,b\" 5 \"x y\"\t\"\"  \"open end", [](DataArchive& ar) {
        std::string a, c, d, e;
        int b = 0;
        ar >> a >> b >> c >> d >> e;
        EXPECT_EQ(a, "a,b");
        EXPECT_EQ(b, 5);
        EXPECT_EQ(c, "x y");
        EXPECT_EQ(d, "");
        EXPECT_EQ(e, "open end");
    });
    LoadText("ab\"c d", [](DataArchive& ar) {
        std::string a, b;
        ar >> a >> b;
        EXPECT_EQ(a, "ab\"c");
        EXPECT_EQ(b, "d");
    });
}

TEST(ArchiveTextRead, CommentRecordsAreSkipped) {
    const std::string text =
        "// comment\n"
        "; semicolon\n"
        "* star\n"
        "/\n"
        "   ;indented semicolon\n"
        " , \t//after separators\n"
        "\n"
        "/x 5\n"
        "*\n"
        "  ,;x\n"
        "6\n";
    LoadText(text, [](DataArchive& ar) {
        EXPECT_EQ(ar.GetLine(), 8);
        EXPECT_EQ(ar.GetPosition(), 8);
        std::string s;
        int a = 0, b = 0;
        ar >> s >> a;
        EXPECT_EQ(s, "/x");  // a slash followed by anything else is data
        EXPECT_EQ(a, 5);
        ar >> EndRecord;
        EXPECT_EQ(ar.GetLine(), 11);
        ar >> b;
        EXPECT_EQ(b, 6);
        EXPECT_TRUE(ar.AtEnd());
    });
}

TEST(ArchiveTextRead, LineEnds) {
    LoadText("1 2\r\n3\r\n", [](DataArchive& ar) {
        std::string a, b, c;
        ar >> a >> b >> EndRecord >> c;
        EXPECT_EQ(a + b + c, "123");
        EXPECT_TRUE(ar.AtEnd());
    });
    // A zero byte ends a line too.
    LoadText(std::string("1\0"
                         "2\n",
                         4),
             [](DataArchive& ar) {
                 int a = 0, b = 0;
                 ar >> a >> EndRecord >> b;
                 EXPECT_EQ(a, 1);
                 EXPECT_EQ(b, 2);
             });
}

TEST(ArchiveTextRead, NumbersScanLikeScanf) {
    LoadText("12abc 3.9 .5 1e3 +2.5 -0.25 +7 -0 x", [](DataArchive& ar) {
        int a = 0, b = 0, g = 0, h = 1;
        double c = 0, d = 0, e = 0;
        float f = 0;
        char x = 0;
        ar >> a >> b >> c >> d >> e >> f >> g >> h >> x;
        EXPECT_EQ(a, 12);  // trailing characters are accepted
        EXPECT_EQ(b, 3);   // "%d" stops at the point
        EXPECT_EQ(c, 0.5);
        EXPECT_EQ(d, 1000.0);
        EXPECT_EQ(e, 2.5);
        EXPECT_EQ(f, -0.25f);
        EXPECT_EQ(g, 7);
        EXPECT_EQ(h, 0);
        EXPECT_EQ(x, 'x');
    });
    LoadText("0.1 -12345.6789", [](DataArchive& ar) {
        float f = 0;
        double d = 0;
        ar >> f >> d;
        EXPECT_EQ(f, 0.1f);
        EXPECT_EQ(d, -12345.6789);
    });
    LoadText("hello", [](DataArchive& ar) {
        char c = 0;
        ar >> c;
        EXPECT_EQ(c, 'h');
    });
    const auto readInt = [](DataArchive& ar) {
        int i;
        ar >> i;
    };
    const auto readDouble = [](DataArchive& ar) {
        double d;
        ar >> d;
    };
    EXPECT_EQ(TextErrorCause("abc", readInt), QArchiveException::BadFormat);
    EXPECT_EQ(TextErrorCause("-", readInt), QArchiveException::BadFormat);
    EXPECT_EQ(TextErrorCause("", readInt), QArchiveException::BadFormat);
    EXPECT_EQ(TextErrorCause("1",
                             [](DataArchive& ar) {
                                 int i;
                                 ar >> i >> i;  // the record has one token only
                             }),
              QArchiveException::BadFormat);
    EXPECT_EQ(TextErrorCause("x1.5", readDouble), QArchiveException::BadFormat);
    EXPECT_EQ(TextErrorCause("\"\"", readDouble), QArchiveException::BadFormat);
    EXPECT_EQ(TextErrorCause("1",
                             [](DataArchive& ar) {
                                 int i;
                                 char c;
                                 ar >> i >> c;
                             }),
              QArchiveException::BadFormat);
    // A missing string is an empty string.
    LoadText("1", [](DataArchive& ar) {
        int i = 0;
        std::string s = "x";
        ar >> i >> s;
        EXPECT_EQ(s, "");
    });
}

// Records of every mix of token lengths, separators, quotes and bytes below
// and above the separators split exactly as a plain byte-by-byte reading
// would split them; long tokens are passed over eight bytes at a time.
TEST(ArchiveTextRead, TokensSplitAsByteByByte) {
    const auto reference = [](const std::string& record) {
        const auto separator = [](char c) { return c == ' ' || c == ',' || c == '\t'; };
        std::vector<std::string> tokens;
        std::size_t i = 0;
        for (;;) {
            while (i < record.size() && separator(record[i])) ++i;
            if (i >= record.size()) return tokens;
            std::size_t end;
            if (record[i] == '"') {
                end = record.find('"', i + 1);
                if (end == std::string::npos) end = record.size();
                tokens.push_back(record.substr(i + 1, end - i - 1));
                i = end + 1;
            } else {
                end = i;
                while (end < record.size() && !separator(record[end])) ++end;
                tokens.push_back(record.substr(i, end - i));
                i = end + 1;
            }
        }
    };
    const std::string alphabet = std::string("9.-a+!#/\"\xC3\xA9 ,\t") + "0123456789";
    std::uint32_t seed = 2024;
    for (int round = 0; round < 2000; ++round) {
        std::string record = "a";
        const int length = static_cast<int>(seed % 40);
        for (int k = 0; k < length; ++k) {
            seed = seed * 1664525u + 1013904223u;
            // Long runs of digits, so that whole eight-byte words occur.
            const std::size_t pick = (seed >> 16) % (alphabet.size() + 20);
            record += pick < alphabet.size() ? alphabet[pick] : static_cast<char>('0' + pick % 10);
        }
        seed = seed * 1664525u + 1013904223u;
        while (!record.empty() && (record.back() == ' ' || record.back() == ',' || record.back() == '\t'))
            record.pop_back();
        LoadText(record + "\n", [&](DataArchive& ar) {
            std::vector<std::string> tokens;
            while (ar.CountTokens() > 0) tokens.emplace_back(ar.NextTokenView());
            EXPECT_EQ(tokens, reference(record)) << record;
        });
    }
}

// The scan tells how much of the token the number took.
TEST(ArchiveTextRead, ScanDoubleTellsTheBytesUsed) {
    const struct {
        const char* token;
        bool ok;
        double value;
        std::size_t used;
    } cases[] = {
        {"12.5", true, 12.5, 4},  {"12.5NULL", true, 12.5, 4}, {"  -3", true, -3.0, 4},
        {"+.5e1x", true, 5.0, 5}, {"0x10", true, 16.0, 4},     {"1e999", true, HUGE_VAL, 5},
        {"9", true, 9.0, 1},      {"NULL", false, 0.0, 0},     {"-", false, 0.0, 0},
        {"", false, 0.0, 0},
    };
    for (const auto& c : cases) {
        double value = 0.0;
        std::size_t used = 99;
        EXPECT_EQ(ScanDouble(c.token, value, &used), c.ok) << c.token;
        if (!c.ok) continue;
        EXPECT_EQ(value, c.value) << c.token;
        EXPECT_EQ(used, c.used) << c.token;
    }
}

TEST(ArchiveTextRead, TokenQueriesKeepTheReadPosition) {
    LoadText("Name  value\nfirst\nSECTION two\n", [](DataArchive& ar) {
        EXPECT_EQ(ar.CountTokens(), 2);
        EXPECT_TRUE(ar.NextTokenContains("nam"));
        EXPECT_FALSE(ar.NextTokenContains("value"));
        std::string s;
        ar >> s;
        EXPECT_EQ(s, "Name");
        EXPECT_EQ(ar.CountTokens(), 1);
        EXPECT_EQ(ar.NextToken(), "value");
        EXPECT_EQ(ar.NextToken(), "");
        EXPECT_FALSE(ar.NextRecordContains("section"));  // now on "first"
        EXPECT_TRUE(ar.NextRecordContains("section"));
        EXPECT_EQ(ar.GetRecord(), "SECTION two");
    });
}

TEST(ArchiveTextRead, ReadRecordTrimsAndSkipsComments) {
    LoadText("one\n  ,a b,\t\n// c\n\n;x\nlast", [](DataArchive& ar) {
        EXPECT_EQ(ar.GetRecord(), "one");
        EXPECT_EQ(ar.ReadRecord(), "a b");
        EXPECT_EQ(ar.ReadRecord(), "last");
        EXPECT_EQ(ar.GetLine(), 6);
        EXPECT_EQ(ar.ReadRecord(), "");
    });
}

TEST(ArchiveTextRead, ErrorsNameTheFileAndTheLine) {
    try {
        LoadText(
            "1\n\nabc\n",
            [](DataArchive& ar) {
                int i = 0;
                ar >> i >> EndRecord;
                EXPECT_EQ(ar.GetPosition(), 3);
                ar >> i;
            },
            "/data/road.dmx");
        FAIL() << "no error";
    } catch (const QArchiveException& e) {
        EXPECT_EQ(e.m_cause, QArchiveException::BadFormat);
        EXPECT_EQ(e.m_position, 3);
        EXPECT_EQ(e.m_fileName, "/data/road.dmx");
        const std::string message = e.what();
        EXPECT_NE(message.find("/data/road.dmx"), std::string::npos) << message;
        EXPECT_NE(message.find("line 3"), std::string::npos) << message;
    }
}

TEST(ArchiveTextRead, WarningsCarryTheLineNumber) {
    LoadText("1\n2\n", [](DataArchive& ar) {
        EXPECT_FALSE(ar.HasWarnings());
        ar >> EndRecord;
        ar.AddWarning("odd value");
        ar.AddWarning("second");
        EXPECT_TRUE(ar.HasWarnings());
        std::vector<std::string> lines{"before"};
        ar.ShowWarnings(lines);
        ASSERT_EQ(lines.size(), 3u);
        EXPECT_EQ(lines[1], "Line 2, odd value");
        EXPECT_EQ(lines[2], "Line 2, second");
    });
}

// ---------------------------------------------------------------------------
// End of data

TEST(ArchiveTextAtEnd, FileEndingRightAfterTheLastValue) {
    for (const char* text :
         {"1 2", "1 2\n", "1 2\r\n", "1 2\n\n   \n", "1 2\n// end\n; more\n\r\n , \n", "1 2\n\t\n"}) {
        LoadText(text, [&](DataArchive& ar) {
            int a = 0, b = 0;
            ar >> a;
            EXPECT_FALSE(ar.AtEnd()) << text;  // a token is left
            ar >> b;
            EXPECT_EQ(b, 2);
            EXPECT_TRUE(ar.AtEnd()) << "[" << text << "]";
        });
    }
    LoadText("", [](DataArchive& ar) { EXPECT_TRUE(ar.AtEnd()); });
    LoadText("\n\n// nothing\n", [](DataArchive& ar) { EXPECT_TRUE(ar.AtEnd()); });
}

TEST(ArchiveTextAtEnd, DataStillToComeIsNotTheEnd) {
    for (const char* text : {"1\n2\n", "1\n  // c\n  2\n", "1\n/x\n", "1\n\n,,2"}) {
        LoadText(text, [&](DataArchive& ar) {
            int a = 0;
            ar >> a;
            EXPECT_FALSE(ar.AtEnd()) << text;
            // Asking did not consume the data.
            ar >> EndRecord;
            EXPECT_NE(ar.GetRecord(), "") << text;
        });
    }
    // The usual content loop.
    LoadText("1\n2\n\n3\n// end\n", [](DataArchive& ar) {
        int sum = 0, rows = 0;
        while (!ar.AtEnd()) {
            int v = 0;
            ar >> v >> EndRecord;
            sum += v;
            ++rows;
        }
        EXPECT_EQ(rows, 3);
        EXPECT_EQ(sum, 6);
    });
}

// Every line that the record reader skips as a comment must count as nothing
// left for the end test too, or a content loop reads a record that is not
// there and fails on a well-formed file.
TEST(ArchiveTextAtEnd, TrailingStarAndSlashCommentsAreTheEnd) {
    for (const char* text : {"1\n* remark\n", "1\n/\n", "1\n  *\n"}) {
        LoadText(text, [&](DataArchive& ar) {
            int a = 0;
            ar >> a;
            EXPECT_TRUE(ar.AtEnd()) << text;
        });
    }
}

// ---------------------------------------------------------------------------
// Key-value records

TEST(ArchiveKeyValue, WritersFormatOneRecordEach) {
    EXPECT_EQ(StoreText([](DataArchive& ar) {
                  ar.WriteKeyText(-1, "abc");
                  ar.WriteKeyText(65536, "abc");
                  ar.WriteKeyText(5, "abc");
                  ar.WriteKeyText(0, "x");
              }),
              "abc\n65536 = abc\nabc5\nx0\n");
    EXPECT_EQ(StoreText([](DataArchive& ar) {
                  ar.WriteIndexedKeyInt(3, "Name", 7);
                  ar.WriteKeyInt(4, -2);
                  ar.WriteKeyDouble(1, 2.5);
                  ar.WriteIndexedKeyDouble(2, "Off", -0.25);
                  ar.WriteNamedText(-1, "Name", "some text");
                  ar.WriteNamedText(2, "Name", "x");
              }),
              "3Name = 7\n4 = -2\n1 = 2.500000\n2Off = -0.250000\nName = some text\n2Name = x\n");
    // "%u" of a negative key other than -1.
    EXPECT_EQ(StoreText([](DataArchive& ar) { ar.WriteNamedText(-2, "N", "v"); }), "4294967294N = v\n");
    // A record being built is replaced, not appended to.
    EXPECT_EQ(StoreText([](DataArchive& ar) {
                  ar.WriteKeyInt(1, 1);
                  ar << 9 << EndRecord;
              }),
              "1 = 1\n         9\n");
}

TEST(ArchiveKeyValue, ParseKeyInt) {
    LoadText("[xjjzl]\n12Width = 3\nWidth = 3x\n=5\n[Sec] = 1\nCount = -7\n", [](DataArchive& ar) {
        std::string name;
        long value = 99;
        EXPECT_EQ(ar.ParseKeyInt(name, value), -1);
        EXPECT_EQ(name, "[xjjzl]");
        EXPECT_EQ(value, 99);

        ar >> EndRecord;
        EXPECT_EQ(ar.ParseKeyInt(name, value), 12);
        EXPECT_EQ(name, "Width");
        EXPECT_EQ(value, 3);

        ar >> EndRecord;
        try {
            ar.ParseKeyInt(name, value);
            ADD_FAILURE() << "3x accepted";
        } catch (const QArchiveException& e) {
            EXPECT_EQ(e.m_cause, QArchiveException::BadFormat);
            EXPECT_EQ(e.m_position, 3);
        }

        ar >> EndRecord;
        EXPECT_EQ(ar.ParseKeyInt(name, value), -1);  // "=" first
        ar >> EndRecord;
        EXPECT_EQ(ar.ParseKeyInt(name, value), -1);  // section header
        ar >> EndRecord;
        EXPECT_EQ(ar.ParseKeyInt(name, value), 0);
        EXPECT_EQ(name, "Count");
        EXPECT_EQ(value, -7);
    });
    for (const char* bad : {"Count =", "Count = -", "Count = 1.5", "Count = 1 2"}) {
        EXPECT_EQ(TextErrorCause(bad,
                                 [](DataArchive& ar) {
                                     std::string n;
                                     long v;
                                     ar.ParseKeyInt(n, v);
                                 }),
                  QArchiveException::BadFormat)
            << bad;
    }
}

TEST(ArchiveKeyValue, ParseKeyDouble) {
    LoadText("2Offset = -1.25\nOffset = 12\nOffset = 1.5e3\n", [](DataArchive& ar) {
        std::string name;
        double value = 0;
        EXPECT_EQ(ar.ParseKeyDouble(name, value), 2);
        EXPECT_EQ(name, "Offset");
        EXPECT_EQ(value, -1.25);
        ar >> EndRecord;
        EXPECT_EQ(ar.ParseKeyDouble(name, value), 0);
        EXPECT_EQ(value, 12.0);
        ar >> EndRecord;
        EXPECT_THROW(ar.ParseKeyDouble(name, value), QArchiveException);
    });
}

TEST(ArchiveKeyValue, ParseKeyText) {
    LoadText("3Title =  Hello World  \nplain words  \nName = a = b\nKey=\n", [](DataArchive& ar) {
        std::string name, text = "stale";
        EXPECT_EQ(ar.ParseKeyText(name, text), 3);
        EXPECT_EQ(name, "Title");
        EXPECT_EQ(text, "Hello World");
        ar >> EndRecord;
        EXPECT_EQ(ar.ParseKeyText(name, text), 0);
        EXPECT_EQ(name, "plain words");
        EXPECT_EQ(text, "");
        ar >> EndRecord;
        EXPECT_EQ(ar.ParseKeyText(name, text), 0);
        EXPECT_EQ(name, "Name");
        EXPECT_EQ(text, "a = b");
        ar >> EndRecord;
        EXPECT_EQ(ar.ParseKeyText(name, text), 0);
        EXPECT_EQ(name, "Key");
        EXPECT_EQ(text, "");
    });
}

TEST(ArchiveKeyValue, WrittenRecordsParseBack) {
    const std::string text = StoreText([](DataArchive& ar) {
        ar.WriteIndexedKeyInt(3, "Name", 7);
        ar.WriteIndexedKeyDouble(4, "Len", 12.125);
        ar.WriteNamedText(5, "Title", "A road");
    });
    LoadText(text, [](DataArchive& ar) {
        std::string name, t;
        long i = 0;
        double d = 0;
        EXPECT_EQ(ar.ParseKeyInt(name, i), 3);
        EXPECT_EQ(name + std::to_string(i), "Name7");
        ar >> EndRecord;
        EXPECT_EQ(ar.ParseKeyDouble(name, d), 4);
        EXPECT_EQ(d, 12.125);
        ar >> EndRecord;
        EXPECT_EQ(ar.ParseKeyText(name, t), 5);
        EXPECT_EQ(name + "|" + t, "Title|A road");
    });
}

}  // namespace
}  // namespace qdat::test
