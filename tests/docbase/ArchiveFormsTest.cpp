// The archive's typed values in every physical form: round trips with extreme
// values, the exact bytes of the binary forms (computed by hand from the
// little-endian, tag and rolling-key rules), string length prefixes, wide
// strings, and the errors of short or hostile input.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <string>

#include <qdat/docbase/DataArchive.h>
#include <qdat/host/HostFile.h>
#include "ArchiveTestKit.h"

namespace qdat::test {
namespace {

// ---------------------------------------------------------------------------
// Round trips in all forms

void WriteSample(DataArchive& ar) {
    ar << 'x' << static_cast<unsigned char>(0xE9) << EndRecord;
    ar << INT_MIN << INT_MAX << 0 << -1 << EndRecord;
    ar << UINT_MAX << 0x80000000u << EndRecord;
    ar << static_cast<short>(SHRT_MIN) << static_cast<short>(SHRT_MAX) << static_cast<unsigned short>(0)
       << static_cast<unsigned short>(65535) << EndRecord;
    ar << static_cast<long>(INT32_MIN) << static_cast<long>(INT32_MAX)
       << static_cast<unsigned long>(UINT32_MAX) << EndRecord;
    ar << 3.25f << -1024.5f << FLT_MAX << EndRecord;
    // 19 decimals give at least 17 significant digits for these, so the text
    // form restores them exactly too.
    ar << Precision(19) << 1.0 / 3.0 << -12345.678901234567 << 1e15 + 0.5 << DBL_MAX << 0.1 << EndRecord;
    ar << std::string() << "plain"
       << "two words"
       << "comma,inside"
       << "tab\tinside" << EndRecord;
    ar << std::string(254, 'a') << std::string(255, 'b') << EndRecord;
    ar << std::string(65533, 'c') << std::string(65534, 'd') << std::string(70000, 'e') << EndRecord;
    ar << 7 << EndRecord;
}

void ReadSample(DataArchive& ar) {
    char c = 0;
    unsigned char b = 0;
    ar >> c >> b >> EndRecord;
    EXPECT_EQ(c, 'x');
    EXPECT_EQ(b, 0xE9);

    int i1 = 0, i2 = 0, i3 = 5, i4 = 0;
    ar >> i1 >> i2 >> i3 >> i4 >> EndRecord;
    EXPECT_EQ(i1, INT_MIN);
    EXPECT_EQ(i2, INT_MAX);
    EXPECT_EQ(i3, 0);
    EXPECT_EQ(i4, -1);

    unsigned u1 = 0, u2 = 0;
    ar >> u1 >> u2 >> EndRecord;
    EXPECT_EQ(u1, UINT_MAX);
    EXPECT_EQ(u2, 0x80000000u);

    short s1 = 0, s2 = 0;
    unsigned short w1 = 1, w2 = 0;
    ar >> s1 >> s2 >> w1 >> w2 >> EndRecord;
    EXPECT_EQ(s1, SHRT_MIN);
    EXPECT_EQ(s2, SHRT_MAX);
    EXPECT_EQ(w1, 0);
    EXPECT_EQ(w2, 65535);

    long l1 = 0, l2 = 0;
    unsigned long d1 = 0;
    ar >> l1 >> l2 >> d1 >> EndRecord;
    EXPECT_EQ(l1, INT32_MIN);
    EXPECT_EQ(l2, INT32_MAX);
    EXPECT_EQ(d1, UINT32_MAX);

    float f1 = 0, f2 = 0, f3 = 0;
    ar >> f1 >> f2 >> f3 >> EndRecord;
    EXPECT_EQ(f1, 3.25f);
    EXPECT_EQ(f2, -1024.5f);
    EXPECT_EQ(f3, FLT_MAX);

    double x1 = 0, x2 = 0, x3 = 0, x4 = 0, x5 = 0;
    ar >> x1 >> x2 >> x3 >> x4 >> x5 >> EndRecord;
    EXPECT_EQ(x1, 1.0 / 3.0);
    EXPECT_EQ(x2, -12345.678901234567);
    EXPECT_EQ(x3, 1e15 + 0.5);
    EXPECT_EQ(x4, DBL_MAX);
    EXPECT_EQ(x5, 0.1);

    std::string t1 = "stale", t2, t3, t4, t5;
    ar >> t1 >> t2 >> t3 >> t4 >> t5 >> EndRecord;
    EXPECT_EQ(t1, "");
    EXPECT_EQ(t2, "plain");
    EXPECT_EQ(t3, "two words");
    EXPECT_EQ(t4, "comma,inside");
    EXPECT_EQ(t5, "tab\tinside");

    std::string m1, m2;
    ar >> m1 >> m2 >> EndRecord;
    EXPECT_EQ(m1, std::string(254, 'a'));
    EXPECT_EQ(m2, std::string(255, 'b'));

    std::string g1, g2, g3;
    ar >> g1 >> g2 >> g3 >> EndRecord;
    EXPECT_EQ(g1, std::string(65533, 'c'));
    EXPECT_EQ(g2, std::string(65534, 'd'));
    EXPECT_EQ(g3, std::string(70000, 'e'));

    int last = 0;
    ar >> last;
    EXPECT_EQ(last, 7);
    ar >> EndRecord;
    EXPECT_TRUE(ar.AtEnd());
}

class ArchiveRoundTrip : public ::testing::TestWithParam<Form> {};

TEST_P(ArchiveRoundTrip, EveryTypedValueComesBack) {
    const std::string bytes = StoreBare(GetParam(), WriteSample);
    ASSERT_FALSE(bytes.empty());
    LoadBare(bytes, GetParam(), ReadSample);
}

// A buffer of the minimum size makes values straddle buffer fills on both sides
// and long strings go straight to and from the file.
TEST_P(ArchiveRoundTrip, SmallBufferGivesTheSameBytesAndValues) {
    const std::string normal = StoreBare(GetParam(), WriteSample);
    const std::string small = StoreBare(GetParam(), WriteSample, 16);  // raised to 128
    EXPECT_EQ(small, normal);
    LoadBare(normal, GetParam(), ReadSample, "load.dat", 128);

    // One odd byte first, so the 4-byte values are not aligned to the buffer.
    const std::string odd = StoreBare(GetParam(), [](DataArchive& ar) {
        ar << 'q';
        for (int i = 0; i < 100; ++i) ar << i * 1000003;
        ar << std::string(1000, 'z') << 2.5 << EndRecord;
    });
    LoadBare(
        odd, GetParam(),
        [](DataArchive& ar) {
            char c = 0;
            ar >> c;
            EXPECT_EQ(c, 'q');
            for (int i = 0; i < 100; ++i) {
                int v = 0;
                ar >> v;
                ASSERT_EQ(v, i * 1000003) << "value " << i;
            }
            std::string s;
            double d = 0;
            ar >> s >> d;
            EXPECT_EQ(s, std::string(1000, 'z'));
            EXPECT_EQ(d, 2.5);
            ar >> EndRecord;
            EXPECT_TRUE(ar.AtEnd());
        },
        "load.dat", 128);
}

INSTANTIATE_TEST_SUITE_P(AllForms, ArchiveRoundTrip,
                         ::testing::Values(Form::Text, Form::Binary, Form::Tagged, Form::Scrambled,
                                           Form::TaggedScrambled),
                         [](const auto& info) { return std::string(FormName(info.param)); });

TEST(ArchiveBinaryValues, SpecialDoublesKeepTheirBits) {
    const double values[] = {DBL_MIN, -DBL_MIN, 4.9406564584124654e-324,
                             -0.0,    DBL_MAX,  std::numeric_limits<double>::quiet_NaN()};
    for (Form form : {Form::Binary, Form::Tagged, Form::Scrambled, Form::TaggedScrambled}) {
        const std::string bytes = StoreBare(form, [&](DataArchive& ar) {
            for (double v : values) ar << v;
        });
        LoadBare(bytes, form, [&](DataArchive& ar) {
            for (double v : values) {
                double r = 1;
                ar >> r;
                EXPECT_EQ(std::memcmp(&r, &v, sizeof v), 0) << FormName(form) << " " << v;
            }
            EXPECT_TRUE(ar.AtEnd());
        });
    }
}

// ---------------------------------------------------------------------------
// Exact bytes

TEST(ArchiveBinaryBytes, PlainValuesAreLittleEndianWithoutTags) {
    const std::string bytes = StoreBare(Form::Binary, [](DataArchive& ar) {
        ar << 0x01020304 << static_cast<short>(-2) << static_cast<unsigned short>(0xBEEF) << 'A'
           << static_cast<unsigned char>(0xFF) << 1.0 << 1.5f << 7u << 5L << 6UL << "hi";
        ar.WriteStationValue(2.0);
    });
    EXPECT_EQ(ToHex(bytes), ToHex(Hex({0x04, 0x03, 0x02, 0x01, 0xFE, 0xFF, 0xEF, 0xBE, 0x41, 0xFF,  //
                                       0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF0, 0x3F,              //
                                       0x00, 0x00, 0xC0, 0x3F, 0x07, 0x00, 0x00, 0x00,              //
                                       0x05, 0x00, 0x00, 0x00, 0x06, 0x00, 0x00, 0x00,              //
                                       0x02, 'h',  'i',                                             //
                                       0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x40})));
}

TEST(ArchiveBinaryBytes, TaggedFormPutsTheTypeTagBeforeEveryValue) {
    const std::string bytes = StoreBare(Form::Tagged, [](DataArchive& ar) {
        ar << 'A' << static_cast<unsigned char>(0xFF) << 0x01020304 << 7u << static_cast<short>(-2)
           << static_cast<unsigned short>(0xBEEF) << 5L << 6UL << 1.5f << 1.0 << "hi";
        ar.WriteStationValue(2.0);
    });
    EXPECT_EQ(ToHex(bytes), ToHex(Hex({0x00, 0x41, 0x01, 0xFF, 0x02, 0x04, 0x03, 0x02, 0x01,  //
                                       0x03, 0x07, 0x00, 0x00, 0x00, 0x04, 0xFE, 0xFF,        //
                                       0x05, 0xEF, 0xBE, 0x06, 0x05, 0x00, 0x00, 0x00,        //
                                       0x07, 0x06, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0xC0, 0x3F,
                                       0x09, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF0, 0x3F,  //
                                       0x0A, 0x02, 'h',  'i',                                 //
                                       0x0B, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x40})));
    // And the loader checks each tag.
    LoadBare(bytes, Form::Tagged, [](DataArchive& ar) {
        char c;
        unsigned char b;
        int i;
        unsigned u;
        short s;
        unsigned short w;
        long l;
        unsigned long d;
        float f;
        double x;
        std::string t;
        ar >> c >> b >> i >> u >> s >> w >> l >> d >> f >> x >> t;
        EXPECT_EQ(i, 0x01020304);
        EXPECT_EQ(w, 0xBEEF);
        EXPECT_EQ(t, "hi");
        EXPECT_EQ(ar.ReadStationValue(), 2.0);
        EXPECT_TRUE(ar.AtEnd());
    });
}

// Key 0x3C9A5E71. Int 0: stored = key = 71 5E 9A 3C; key becomes
// (0x3C9A5E71 >> 1) + (0x3C9A5E71 >> 1) = 0x3C9A5E70. The next int 0 is
// 70 5E 9A 3C and leaves the key at 0x3C9A5E70; a short is a 2-byte tail XORed
// with the low byte 0x70.
TEST(ArchiveScrambling, WordsAndTailsFollowTheRollingKey) {
    const std::string bytes =
        StoreBare(Form::Scrambled, [](DataArchive& ar) { ar << 0 << 0 << static_cast<short>(0); });
    EXPECT_EQ(ToHex(bytes), ToHex(Hex({0x71, 0x5E, 0x9A, 0x3C, 0x70, 0x5E, 0x9A, 0x3C, 0x70, 0x70})));

    // 'A' (0x41) as a one-byte tail: 0x41 ^ 0x71.
    EXPECT_EQ(ToHex(StoreBare(Form::Scrambled, [](DataArchive& ar) { ar << 'A'; })), "30");

    // Double 1.0 = words 0x00000000, 0x3FF00000:
    //   0 ^ 0x3C9A5E71 = 0x3C9A5E71, key 0x3C9A5E70;
    //   0x3FF00000 ^ 0x3C9A5E70 = 0x036A5E70, key 0x01B52F38 + 0x1E4D2F38 = 0x20025E70;
    // then int 7: 7 ^ 0x20025E70 = 0x20025E77.
    const std::string dbl = StoreBare(Form::Scrambled, [](DataArchive& ar) { ar << 1.0 << 7; });
    EXPECT_EQ(ToHex(dbl),
              ToHex(Hex({0x71, 0x5E, 0x9A, 0x3C, 0x70, 0x5E, 0x6A, 0x03, 0x77, 0x5E, 0x02, 0x20})));
}

// Tag bytes are tails of their own (key unchanged); the header and signature of
// a file are never part of the run (see the envelope tests).
TEST(ArchiveScrambling, TaggedAndScrambledBytes) {
    const std::string bytes = StoreBare(Form::TaggedScrambled, [](DataArchive& ar) { ar << 1234 << -2.5; });
    // tag 2 ^ 0x71 = 73; 1234 = 0x4D2 ^ 0x3C9A5E71 = 0x3C9A5AA3, key 0x3C9A5C89;
    // tag 9 ^ 0x89 = 80; -2.5 = words 0, 0xC0040000: 0x3C9A5C89 (key 0x3C9A5C88),
    // 0xC0040000 ^ 0x3C9A5C88 = 0xFC9E5C88.
    EXPECT_EQ(
        ToHex(bytes),
        ToHex(Hex({0x73, 0xA3, 0x5A, 0x9A, 0x3C, 0x80, 0x89, 0x5C, 0x9A, 0x3C, 0x88, 0x5C, 0x9E, 0xFC})));
    LoadBare(bytes, Form::TaggedScrambled, [](DataArchive& ar) {
        int i = 0;
        double d = 0;
        ar >> i >> d;
        EXPECT_EQ(i, 1234);
        EXPECT_EQ(d, -2.5);
    });
}

TEST(ArchiveScrambling, StringPrefixAndBodyAreSeparateRuns) {
    // Prefix 7 ^ 0x71 = 76; body "abcd" = 0x64636261 ^ 0x3C9A5E71 = 0x58F93C10,
    // key 0x2C7C9E08 + 0x1E4D2F38 = 0x4AC9CD40; "efg" ^ 0x40 = 25 26 27.
    const std::string bytes = StoreBare(Form::Scrambled, [](DataArchive& ar) { ar << "abcdefg"; });
    EXPECT_EQ(ToHex(bytes), ToHex(Hex({0x76, 0x10, 0x3C, 0xF9, 0x58, 0x25, 0x26, 0x27})));

    // Length 255: FF ^ 71, then the 16-bit 0x00FF as a 2-byte tail.
    const std::string s255 = StoreBare(Form::Scrambled, [](DataArchive& ar) { ar << std::string(255, 'x'); });
    EXPECT_EQ(ToHex(s255.substr(0, 3)), "8E 8E 71");
    // Length 65534: FF, FFFF as tails, then the 32-bit 0x0000FFFE as a word:
    // 0x0000FFFE ^ 0x3C9A5E71 = 0x3C9AA18F.
    const std::string s65534 =
        StoreBare(Form::Scrambled, [](DataArchive& ar) { ar << std::string(65534, 'x'); });
    EXPECT_EQ(ToHex(s65534.substr(0, 7)), "8E 8E 8E 8F A1 9A 3C");
}

// Two doubles are four words, the same run of the key as four ints holding the
// same bits; tags break the run differently.
TEST(ArchiveScrambling, SameWordsGiveSameBytesWhateverTheirType) {
    const auto asDoubles = [](DataArchive& ar) { ar << 1.0 << -2.5; };
    const auto asInts = [](DataArchive& ar) { ar << 0 << 0x3FF00000 << 0 << static_cast<int>(0xC0040000u); };
    EXPECT_EQ(StoreBare(Form::Scrambled, asDoubles), StoreBare(Form::Scrambled, asInts));
    EXPECT_NE(StoreBare(Form::TaggedScrambled, asDoubles), StoreBare(Form::TaggedScrambled, asInts));
    EXPECT_NE(StoreBare(Form::Scrambled, asDoubles), StoreBare(Form::Binary, asDoubles));
}

// ---------------------------------------------------------------------------
// String length prefixes

TEST(ArchiveStrings, LengthPrefixesAtTheirLimits) {
    const auto prefixOf = [](std::size_t length, Form form = Form::Binary) {
        const std::string bytes = StoreBare(form, [&](DataArchive& ar) { ar << std::string(length, 's'); });
        const std::size_t prefix = bytes.size() - length;
        EXPECT_EQ(bytes.substr(prefix), std::string(length, 's')) << length;
        return ToHex(bytes.substr(0, prefix));
    };
    EXPECT_EQ(prefixOf(0), "00");
    EXPECT_EQ(prefixOf(1), "01");
    EXPECT_EQ(prefixOf(254), "FE");
    EXPECT_EQ(prefixOf(255), "FF FF 00");
    EXPECT_EQ(prefixOf(0xFFFD), "FF FD FF");
    EXPECT_EQ(prefixOf(0xFFFE), "FF FF FF FE FF 00 00");
    EXPECT_EQ(prefixOf(0xFFFF), "FF FF FF FF FF 00 00");
    EXPECT_EQ(prefixOf(70000), "FF FF FF 70 11 01 00");
    EXPECT_EQ(prefixOf(254, Form::Tagged), "0A FE");
    EXPECT_EQ(prefixOf(255, Form::Tagged), "0A FF FF 00");
}

TEST(ArchiveStrings, WideStringsAreRead) {
    // 0xFF, 0xFFFE marks a wide string; a second prefix counts UTF-16 units.
    std::string plain = Hex({0xFF, 0xFE, 0xFF, 0x03, 'a', 0, 'b', 0, 'c', 0, 0x05, 0, 0, 0});
    LoadBare(plain, Form::Binary, [](DataArchive& ar) {
        std::string s;
        int after = 0;
        ar >> s >> after;
        EXPECT_EQ(s, "abc");
        EXPECT_EQ(after, 5);
        EXPECT_TRUE(ar.AtEnd());
    });

    LoadBare(Hex({0x0A, 0xFF, 0xFE, 0xFF, 0x02, 'h', 0, 'i', 0}), Form::Tagged, [](DataArchive& ar) {
        std::string s;
        ar >> s;
        EXPECT_EQ(s, "hi");
    });

    // The second prefix follows the same rules: 0xFF then 300 as 16 bits.
    std::string longWide = Hex({0xFF, 0xFE, 0xFF, 0xFF, 0x2C, 0x01});
    for (int i = 0; i < 300; ++i) longWide += Hex({'w', 0});
    LoadBare(longWide, Form::Binary, [](DataArchive& ar) {
        std::string s;
        ar >> s;
        EXPECT_EQ(s, std::string(300, 'w'));
    });

    // An empty wide string.
    LoadBare(Hex({0xFF, 0xFE, 0xFF, 0x00, 0x01}), Form::Binary, [](DataArchive& ar) {
        std::string s = "x";
        unsigned char b = 0;
        ar >> s >> b;
        EXPECT_EQ(s, "");
        EXPECT_EQ(b, 1);
    });
}

// ---------------------------------------------------------------------------
// Errors

QArchiveException::Cause CauseOfLoading(const std::string& bytes, Form form,
                                        const std::function<void(DataArchive&)>& body) {
    try {
        LoadBare(bytes, form, body);
    } catch (const QArchiveException& e) {
        return e.m_cause;
    }
    ADD_FAILURE() << "no archive error";
    return QArchiveException::WriteFailed;
}

TEST(ArchiveErrors, WrongTypeTagIsBadFormat) {
    for (Form form : {Form::Tagged, Form::TaggedScrambled}) {
        const std::string bytes = StoreBare(form, [](DataArchive& ar) { ar << 2.5 << "s"; });
        EXPECT_EQ(CauseOfLoading(bytes, form,
                                 [](DataArchive& ar) {
                                     int i;
                                     ar >> i;
                                 }),
                  QArchiveException::BadFormat)
            << FormName(form);
        // A string where a double is expected, after a good double.
        EXPECT_EQ(CauseOfLoading(bytes, form,
                                 [](DataArchive& ar) {
                                     double d;
                                     ar >> d >> d;
                                 }),
                  QArchiveException::BadFormat);
        // A signed and an unsigned type differ by tag too.
        const std::string u = StoreBare(form, [](DataArchive& ar) { ar << 5u; });
        EXPECT_EQ(CauseOfLoading(u, form,
                                 [](DataArchive& ar) {
                                     int i;
                                     ar >> i;
                                 }),
                  QArchiveException::BadFormat);
    }
}

TEST(ArchiveErrors, NumberCutShortIsEndOfFileNotStaleBytes) {
    const auto readInt = [](DataArchive& ar) {
        int i;
        ar >> i;
    };
    EXPECT_EQ(CauseOfLoading("", Form::Binary, readInt), QArchiveException::EndOfFile);
    EXPECT_EQ(CauseOfLoading(Hex({1, 2, 3}), Form::Binary, readInt), QArchiveException::EndOfFile);
    EXPECT_EQ(CauseOfLoading(Hex({2, 1, 2, 3}), Form::Tagged, readInt), QArchiveException::EndOfFile);
    EXPECT_EQ(CauseOfLoading(Hex({2}), Form::Tagged, readInt), QArchiveException::EndOfFile);
    EXPECT_EQ(CauseOfLoading(Hex({1, 2, 3}), Form::Scrambled, readInt), QArchiveException::EndOfFile);
    EXPECT_EQ(CauseOfLoading(Hex({1, 2, 3, 4, 5, 6, 7}), Form::Binary,
                             [](DataArchive& ar) {
                                 double d;
                                 ar >> d;
                             }),
              QArchiveException::EndOfFile);
    EXPECT_EQ(CauseOfLoading(Hex({1}), Form::Binary,
                             [](DataArchive& ar) {
                                 short s;
                                 ar >> s;
                             }),
              QArchiveException::EndOfFile);
    // The bytes of the previous value are still in the buffer: they must not be
    // taken for the next one.
    EXPECT_EQ(CauseOfLoading(Hex({1, 0, 0, 0, 2, 0}), Form::Binary,
                             [](DataArchive& ar) {
                                 int a = 0, b = 0;
                                 ar >> a;
                                 EXPECT_EQ(a, 1);
                                 ar >> b;
                             }),
              QArchiveException::EndOfFile);
}

TEST(ArchiveErrors, StringBodyShorterThanItsPrefix) {
    const auto readString = [](DataArchive& ar) {
        std::string s;
        ar >> s;
    };
    EXPECT_EQ(CauseOfLoading(Hex({5, 'a', 'b'}), Form::Binary, readString), QArchiveException::EndOfFile);
    EXPECT_EQ(CauseOfLoading(Hex({0xFF, 0x10}), Form::Binary, readString), QArchiveException::EndOfFile);
    EXPECT_EQ(CauseOfLoading(Hex({0xFF, 0xFF, 0xFF, 0x01}), Form::Binary, readString),
              QArchiveException::EndOfFile);
    EXPECT_EQ(CauseOfLoading(Hex({0xFF, 0xFE, 0xFF, 0x02, 'a', 0, 'b'}), Form::Binary, readString),
              QArchiveException::EndOfFile);
}

// A length far beyond the file must fail before the archive tries to hold it:
// run in a child process whose address space is capped well below the claimed
// length, so an allocation shows as bad_alloc instead of an archive error.
#if defined(__SANITIZE_ADDRESS__)
#define QDAT_NO_ADDRESS_LIMIT 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QDAT_NO_ADDRESS_LIMIT 1
#endif
#endif

void ReadHostileLengthUnderCappedMemory(const std::string& bytes) {
#ifndef QDAT_NO_ADDRESS_LIMIT
    rlimit cap{};
    cap.rlim_cur = cap.rlim_max = rlim_t{768} << 20;
    setrlimit(RLIMIT_AS, &cap);
#endif
    try {
        LoadBare(bytes, Form::Binary, [](DataArchive& ar) {
            std::string s;
            ar >> s;
        });
    } catch (const QArchiveException&) {
        std::_Exit(0);
    } catch (...) {
        std::_Exit(2);
    }
    std::_Exit(1);
}

TEST(ArchiveErrorsDeathTest, HugeStringLengthFailsBeforeAllocating) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string huge32 = Hex({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 'a', 'b', 'c'});
    EXPECT_EXIT(ReadHostileLengthUnderCappedMemory(huge32), ::testing::ExitedWithCode(0), "");
    const std::string max32 = Hex({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 'a'});
    EXPECT_EXIT(ReadHostileLengthUnderCappedMemory(max32), ::testing::ExitedWithCode(0), "");
    const std::string wide = Hex({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 'a', 0});
    EXPECT_EXIT(ReadHostileLengthUnderCappedMemory(wide), ::testing::ExitedWithCode(0), "");
}

TEST(ArchiveErrors, RemainingBytesCountsBufferAndFile) {
    LoadBare(Hex({1, 0, 0, 0, 2, 0, 0, 0, 3}), Form::Binary, [](DataArchive& ar) {
        EXPECT_EQ(ar.RemainingBytes(), 9);
        int i;
        ar >> i;
        EXPECT_EQ(ar.RemainingBytes(), 5);
        ar >> i;
        unsigned char b;
        ar >> b;
        EXPECT_EQ(ar.RemainingBytes(), 0);
    });
}

// ---------------------------------------------------------------------------
// End, position, comment mode

TEST(ArchiveBinaryState, AtEndExactlyAfterTheLastValue) {
    for (Form form : {Form::Binary, Form::Tagged, Form::Scrambled, Form::TaggedScrambled}) {
        const std::string bytes = StoreBare(form, [](DataArchive& ar) { ar << 1 << "x"; });
        LoadBare(bytes, form, [&](DataArchive& ar) {
            EXPECT_FALSE(ar.AtEnd());
            int i;
            std::string s;
            ar >> i;
            EXPECT_FALSE(ar.AtEnd());
            ar >> s;
            EXPECT_TRUE(ar.AtEnd()) << FormName(form);
            EXPECT_TRUE(ar.AtEnd()) << "asking twice";
        });
        LoadBare(bytes + "Z", form, [&](DataArchive& ar) {
            int i;
            std::string s;
            ar >> i >> s;
            EXPECT_FALSE(ar.AtEnd()) << FormName(form);
        });
    }
    LoadBare("", Form::Binary, [](DataArchive& ar) { EXPECT_TRUE(ar.AtEnd()); });
}

TEST(ArchiveBinaryState, PositionIsTheByteOffset) {
    LoadBare(Hex({1, 0, 0, 0, 2, 0, 9, 9}), Form::Binary, [](DataArchive& ar) {
        EXPECT_EQ(ar.GetPosition(), 0);
        int i;
        short s;
        ar >> i;
        EXPECT_EQ(ar.GetPosition(), 4);
        ar >> s;
        EXPECT_EQ(ar.GetPosition(), 6);
    });
    MemoryFile out(std::string(), "out.dat");
    DataArchive ar(&out, DataArchive::Store | DataArchive::NoFlushOnDelete);
    ar.SetTextForm(false);
    ar.SetTaggedForm(true);
    EXPECT_EQ(ar.GetPosition(), 0);
    ar << 1;
    EXPECT_EQ(ar.GetPosition(), 5);
    ar << "abc";
    EXPECT_EQ(ar.GetPosition(), 10);
    ar.Close();
    EXPECT_EQ(out.Bytes().size(), 10u);
}

TEST(ArchiveBinaryState, ErrorNamesTheByteOffset) {
    try {
        LoadBare(
            Hex({2, 1, 0, 0, 0, 9}), Form::Tagged,
            [](DataArchive& ar) {
                int a, b;
                ar >> a >> b;
            },
            "values.bin");
        FAIL() << "no error";
    } catch (const QArchiveException& e) {
        EXPECT_EQ(e.m_cause, QArchiveException::BadFormat);
        EXPECT_EQ(e.m_fileName, "values.bin");
        EXPECT_EQ(e.m_position, 6);  // just after the bad tag
        const std::string message = e.what();
        EXPECT_NE(message.find("values.bin"), std::string::npos) << message;
        EXPECT_NE(message.find("byte offset 6"), std::string::npos) << message;
    }
}

TEST(ArchiveBinaryState, CommentModeReadsAndWritesNothing) {
    const std::string bytes = StoreBare(Form::Scrambled, [](DataArchive& ar) {
        ar.SetCommentMode(true);
        ar << 5 << "note" << 2.0;
        ar.SetCommentMode(false);
        ar << 0;
    });
    // The key did not move either: the int 0 is the key itself.
    EXPECT_EQ(ToHex(bytes), "71 5E 9A 3C");
    LoadBare(Hex({7, 0, 0, 0}), Form::Binary, [](DataArchive& ar) {
        ar.SetCommentMode(true);
        int skipped = 0;
        std::string text;
        ar >> skipped >> text;
        char raw[4];
        EXPECT_EQ(ar.ReadBytes(raw, 4), 0u);
        ar.SetCommentMode(false);
        int v = 0;
        ar >> v;
        EXPECT_EQ(v, 7);
    });
}

// A document writes its comment lines between BeginComment and EndComment and
// never reads them back. In a binary form the values inside must therefore be
// dropped as well, or the loader finds them where its data should be.
TEST(ArchiveBinaryState, CommentValuesAreNotStoredInBinaryForms) {
    for (Form form : {Form::Binary, Form::Tagged, Form::Scrambled}) {
        const std::string bytes = StoreBare(
            form, [](DataArchive& ar) { ar << 1 << BeginComment << "station" << 2 << EndComment << 3; });
        LoadBare(bytes, form, [&](DataArchive& ar) {
            int a = 0, b = 0;
            ar >> a >> b;
            EXPECT_EQ(a, 1) << FormName(form);
            EXPECT_EQ(b, 3) << FormName(form);
            EXPECT_TRUE(ar.AtEnd()) << FormName(form);
        });
    }
}

TEST(ArchiveBinaryState, ManipulatorsDoNothingInBinaryForms) {
    const std::string bytes = StoreBare(Form::Binary, [](DataArchive& ar) {
        ar << Precision(7) << Width(3) << StationAsNumber << EndRecord << 1;
        EXPECT_EQ(ar.GetPrecision(), 4);
        EXPECT_EQ(ar.GetWidth(), 10);
        EXPECT_FALSE(ar.IsStationAsNumber());
    });
    EXPECT_EQ(ToHex(bytes), "01 00 00 00");
}

TEST(ArchiveBinaryState, BareArchiveDefaultsToTextForm) {
    MemoryFile file(std::string(), "x");
    DataArchive store(&file, DataArchive::Store | DataArchive::NoFlushOnDelete);
    EXPECT_TRUE(store.IsTextForm());
    EXPECT_FALSE(store.IsTaggedForm());
    EXPECT_FALSE(store.IsScrambledForm());
    EXPECT_TRUE(store.IsStoring());
    EXPECT_EQ(store.GetDocumentVersion(), 0u);
    MemoryFile in(std::string("1"), "y");
    DataArchive load(&in, DataArchive::Load);
    EXPECT_TRUE(load.IsTextForm());
    EXPECT_TRUE(load.IsLoading());
}

// ---------------------------------------------------------------------------
// Byte level, buffers and the life of an archive

TEST(ArchiveBuffers, StoringFlushesOnCloseOrDestructionOnly) {
    MemoryFile closed(std::string(), "a");
    {
        DataArchive ar(&closed, DataArchive::Store);
        ar.SetTextForm(false);
        ar << 1;
        EXPECT_EQ(closed.Bytes(), "");  // still in the buffer
    }
    EXPECT_EQ(ToHex(closed.Bytes()), "01 00 00 00");

    MemoryFile kept(std::string(), "b");
    {
        DataArchive ar(&kept, DataArchive::Store | DataArchive::NoFlushOnDelete);
        ar.SetTextForm(false);
        ar << 1;
    }
    EXPECT_EQ(kept.Bytes(), "");

    MemoryFile aborted(std::string(), "c");
    {
        DataArchive ar(&aborted, DataArchive::Store);
        ar.SetTextForm(false);
        ar << 1;
        ar.Abort();
        EXPECT_EQ(ar.GetFile(), nullptr);
    }
    EXPECT_EQ(aborted.Bytes(), "");
}

TEST(ArchiveBuffers, LoadingCloseLeavesTheFileAtTheLogicalPosition) {
    MemoryFile file(Hex({1, 0, 0, 0, 2, 0, 0, 0, 3, 0}), "f");
    DataArchive ar(&file, DataArchive::Load);
    ar.SetTextForm(false);
    EXPECT_TRUE(ar.IsBufferEmpty());
    int v = 0;
    ar >> v;
    EXPECT_FALSE(ar.IsBufferEmpty());
    ar.Close();
    EXPECT_EQ(file.GetPosition(), 4);
    EXPECT_EQ(ar.GetFile(), nullptr);
}

TEST(ArchiveBuffers, CallerBufferIsUsedFrom128Bytes) {
    char buffer[256];
    std::memset(buffer, 0x55, sizeof buffer);
    MemoryFile file(std::string(), "u");
    {
        DataArchive ar(&file, DataArchive::Store | DataArchive::NoFlushOnDelete, 256, buffer);
        ar.SetTextForm(false);
        ar << 0x04030201;
        EXPECT_EQ(ToHex(std::string(buffer, 4)), "01 02 03 04");
        ar.Close();
    }
    EXPECT_EQ(ToHex(file.Bytes()), "01 02 03 04");

    // Below 128 bytes the size is raised and the caller's buffer ignored.
    char small[64];
    std::memset(small, 0x55, sizeof small);
    MemoryFile other(std::string(), "v");
    DataArchive ar(&other, DataArchive::Store | DataArchive::NoFlushOnDelete, 64, small);
    ar.SetTextForm(false);
    ar << 0x04030201;
    EXPECT_EQ(ToHex(std::string(small, 4)), "55 55 55 55");
    ar.Close();
    EXPECT_EQ(ToHex(other.Bytes()), "01 02 03 04");
}

TEST(ArchiveBuffers, ReadReturnsWhatThereIsAndWriteSpansBuffers) {
    std::string data;
    for (int i = 0; i < 300; ++i) data += static_cast<char>(i);
    MemoryFile file(data, "r");
    DataArchive ar(&file, DataArchive::Load | DataArchive::NoFlushOnDelete, 128);
    char out[400];
    EXPECT_EQ(ar.Read(out, 5), 5u);
    EXPECT_EQ(ar.Read(out + 5, 290), 290u);  // through the buffer and straight from the file
    EXPECT_EQ(ar.Read(out + 295, 100), 5u);  // short only at the end, without an error
    EXPECT_EQ(std::string(out, 300), data);
    EXPECT_EQ(ar.Read(out, 1), 0u);

    MemoryFile sink(std::string(), "w");
    DataArchive w(&sink, DataArchive::Store | DataArchive::NoFlushOnDelete, 128);
    w.Write(data.data(), 7);
    w.Write(data.data() + 7, 293);
    w.Close();
    EXPECT_EQ(sink.Bytes(), data);
}

TEST(ArchiveBuffers, ReadLine) {
    const std::string longLine(500, 'L');
    MemoryFile file("a\r\n" + longLine + "\nmid\rdle\n\nlast", "l");
    DataArchive ar(&file, DataArchive::Load | DataArchive::NoFlushOnDelete, 128);
    std::string line;
    ASSERT_TRUE(ar.ReadLine(line));
    EXPECT_EQ(line, "a");
    ASSERT_TRUE(ar.ReadLine(line));
    EXPECT_EQ(line, longLine);
    ASSERT_TRUE(ar.ReadLine(line));
    EXPECT_EQ(line, "mid\rdle");
    ASSERT_TRUE(ar.ReadLine(line));
    EXPECT_EQ(line, "");
    ASSERT_TRUE(ar.ReadLine(line));
    EXPECT_EQ(line, "last");
    EXPECT_FALSE(ar.ReadLine(line));
}

TEST(ArchiveBuffers, FormFlagsGoToTheDocumentButCommentModeStaysHere) {
    SignatureDoc doc;
    doc.SetFormatFlags(FormatFlag::TextForm);
    MemoryFile file(std::string(), "d");
    DataArchive ar(&file, DataArchive::Store | DataArchive::NoFlushOnDelete, 4096, nullptr, &doc);
    ar.SetRailwayVariant(true);
    ar.SetLegacyLayout(true);
    ar.SetCommentMode(true);
    EXPECT_TRUE(doc.IsRailwayVariant());
    EXPECT_TRUE(doc.IsLegacyLayout());
    EXPECT_TRUE(ar.IsCommentMode());
    EXPECT_EQ(doc.GetFormatFlags() & FormatFlag::CommentMode, 0u);
    // The document's flags are the ones the archive reads.
    doc.SetNzsVariant(true);
    EXPECT_TRUE(ar.IsNzsVariant());
    doc.SetTextForm(false);
    EXPECT_FALSE(ar.IsTextForm());
    ar.Abort();
}

}  // namespace
}  // namespace qdat::test
