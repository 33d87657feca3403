// The envelope of a data file: the 4-byte binary header, the signature line
// (also the length-prefixed one of old text files), how a loading archive with
// a document decides the form, error positions counted from the file's start,
// and the truncation loop over every form.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include <qdat/docbase/ArchiveEnvelope.h>
#include <qdat/docbase/DataArchive.h>
#include <qdat/host/HostFile.h>
#include "ArchiveTestKit.h"
#include "support/TestSupport.h"

namespace qdat::test {
namespace {

const std::string kSig = SignatureDoc::kSignature;  // 22 characters

template <class Body>
void LoadWithDoc(SignatureDoc& doc, const std::string& bytes, Body&& body, int bufferSize = 4096) {
    MemoryFile file(bytes, "doc.dat");
    DataArchive ar(&file, DataArchive::Load | DataArchive::NoFlushOnDelete, bufferSize, nullptr, &doc);
    body(ar);
}

// ---------------------------------------------------------------------------
// Storing

TEST(ArchiveEnvelopeStore, HeaderAndSignatureOfEachForm) {
    const auto store = [](std::uint32_t flags, auto body) {
        SignatureDoc doc;
        doc.SetFormatFlags(flags);
        return StoreWithDoc(doc, body);
    };
    const auto five = [](DataArchive& ar) { ar << 5 << EndRecord; };
    EXPECT_EQ(store(FormatFlag::TextForm, five), kSig + "\n         5\n");
    EXPECT_EQ(store(0, five), "QB  " + kSig + "\n" + Hex({5, 0, 0, 0}));
    EXPECT_EQ(store(FormatFlag::TaggedForm, five), "QBT " + kSig + "\n" + Hex({2, 5, 0, 0, 0}));
    // The header and the signature are not scrambled: the key starts with the
    // content, so an int 0 is the key's own bytes.
    const auto zero = [](DataArchive& ar) { ar << 0; };
    EXPECT_EQ(store(FormatFlag::ScrambledForm, zero), "QB C" + kSig + "\n" + Hex({0x71, 0x5E, 0x9A, 0x3C}));
    EXPECT_EQ(store(FormatFlag::TaggedForm | FormatFlag::ScrambledForm, zero),
              "QBTC" + kSig + "\n" + Hex({0x73, 0x71, 0x5E, 0x9A, 0x3C}));
    // A legacy binary layout has no header; an empty signature is not written.
    SignatureDoc legacy;
    legacy.SetFormatFlags(FormatFlag::LegacyLayout);
    legacy.SetWrittenSignature("");
    EXPECT_EQ(StoreWithDoc(legacy, five), Hex({5, 0, 0, 0}));
    SignatureDoc bare;
    bare.SetFormatFlags(FormatFlag::TextForm);
    bare.SetWrittenSignature("");
    EXPECT_EQ(StoreWithDoc(bare, five), "         5\n");
}

// ---------------------------------------------------------------------------
// Loading: the form comes from the first four bytes

class ArchiveEnvelopeForms : public ::testing::TestWithParam<Form> {};

TEST_P(ArchiveEnvelopeForms, LoadingDetectsTheFormWrittenByTheDocument) {
    SignatureDoc writer;
    writer.SetFormatFlags(FlagsOf(GetParam()));
    const std::string bytes = StoreWithDoc(
        writer, [](DataArchive& ar) { ar << 42 << "two words" << 2.5 << EndRecord << -1 << EndRecord; });

    SignatureDoc reader;  // starts with every form bit set
    reader.SetFormatFlags(FormatFlag::NotLoading | FormatFlag::TextForm | FormatFlag::TaggedForm |
                          FormatFlag::ScrambledForm);
    LoadWithDoc(reader, bytes, [&](DataArchive& ar) {
        EXPECT_EQ(reader.seen, kSig);
        EXPECT_EQ(ar.GetDocumentVersion(), 600u);
        const std::uint32_t formBits =
            FormatFlag::TextForm | FormatFlag::TaggedForm | FormatFlag::ScrambledForm;
        // A binary header sets all three bits; a text file only sets TextForm.
        if (GetParam() == Form::Text) {
            EXPECT_TRUE(reader.IsTextForm());
        } else {
            EXPECT_EQ(reader.GetFormatFlags() & formBits, FlagsOf(GetParam()));
        }
        int a = 0, d = 0;
        std::string b;
        double c = 0;
        ar >> a >> b >> c >> EndRecord >> d >> EndRecord;  // the first record is already read
        EXPECT_EQ(a, 42);
        EXPECT_EQ(b, "two words");
        EXPECT_EQ(c, 2.5);
        EXPECT_EQ(d, -1);
        EXPECT_TRUE(ar.AtEnd());
    });
}

INSTANTIATE_TEST_SUITE_P(AllForms, ArchiveEnvelopeForms,
                         ::testing::Values(Form::Text, Form::Binary, Form::Tagged, Form::Scrambled,
                                           Form::TaggedScrambled),
                         [](const auto& info) { return std::string(FormName(info.param)); });

TEST(ArchiveEnvelopeLoad, MagicWithoutAValidThirdByteIsText) {
    SignatureDoc doc;
    LoadWithDoc(doc, "QBx 5\n7\n", [&](DataArchive& ar) {
        EXPECT_TRUE(doc.IsTextForm());
        EXPECT_EQ(doc.seen, "QBX 5");
        EXPECT_EQ(doc.GetFileVersion(), 0u);
        // Unknown signature: the content starts at offset 0.
        std::string s;
        int a = 0, b = 0;
        ar >> s >> a >> EndRecord >> b;
        EXPECT_EQ(s, "QBx");
        EXPECT_EQ(a, 5);
        EXPECT_EQ(b, 7);
        EXPECT_TRUE(ar.AtEnd());
    });
    // Third byte valid, fourth not: no header, so text from the start, and not
    // tagged either (the tools and the loading archive read the header alike).
    SignatureDoc doc2;
    LoadWithDoc(doc2, "QBTx 1\n", [&](DataArchive& ar) {
        EXPECT_TRUE(doc2.IsTextForm());
        EXPECT_FALSE(doc2.IsTaggedForm());
        std::string s;
        int a = 0;
        ar >> s >> a;
        EXPECT_EQ(s, "QBTx");
        EXPECT_EQ(a, 1);
    });
    SignatureDoc doc3;
    LoadWithDoc(doc3, "QB", [&](DataArchive& ar) {
        EXPECT_TRUE(doc3.IsTextForm());
        EXPECT_EQ(ar.NextToken(), "QB");
    });
    SignatureDoc empty;
    LoadWithDoc(empty, "", [&](DataArchive& ar) {
        EXPECT_TRUE(empty.IsTextForm());
        EXPECT_EQ(empty.seen, "");
        EXPECT_TRUE(ar.AtEnd());
    });
}

TEST(ArchiveEnvelopeLoad, UnknownSignatureInBinaryReadsFromJustAfterTheHeader) {
    SignatureDoc doc;
    // The "signature line" ends at the zero byte: "\x05", which is unknown.
    LoadWithDoc(doc, "QB  " + Hex({5, 0, 0, 0, 6, 0, 0, 0}), [&](DataArchive& ar) {
        EXPECT_FALSE(doc.IsTextForm());
        int a = 0, b = 0;
        ar >> a >> b;
        EXPECT_EQ(a, 5);
        EXPECT_EQ(b, 6);
        EXPECT_TRUE(ar.AtEnd());
    });
}

TEST(ArchiveEnvelopeLoad, SignatureIsTrimmedAndUpperCased) {
    SignatureDoc doc;
    LoadWithDoc(doc, "  radudar6.00_test_shuju \r\n5\r\n", [&](DataArchive& ar) {
        EXPECT_EQ(doc.GetFileVersion(), 600u);
        int a = 0;
        ar >> a;
        EXPECT_EQ(a, 5);
        EXPECT_TRUE(ar.AtEnd());
    });
    SignatureDoc binary;
    LoadWithDoc(binary, "QBT  " + kSig + "\t\r\n" + Hex({2, 9, 0, 0, 0}), [&](DataArchive& ar) {
        EXPECT_EQ(binary.GetFileVersion(), 600u);
        int a = 0;
        ar >> a;
        EXPECT_EQ(a, 9);
    });
}

TEST(ArchiveEnvelopeLoad, ErrorLinesCountFromTheFileStart) {
    SignatureDoc doc;
    try {
        LoadWithDoc(doc, "// made by hand\n\n" + kSig + "\n5\nabc\n", [&](DataArchive& ar) {
            EXPECT_EQ(doc.GetFileVersion(), 600u);
            int a = 0;
            ar >> a >> EndRecord;
            EXPECT_EQ(a, 5);
            ar >> a;
        });
        FAIL() << "no error";
    } catch (const QArchiveException& e) {
        EXPECT_EQ(e.m_cause, QArchiveException::BadFormat);
        EXPECT_EQ(e.m_position, 5);
    }
}

TEST(ArchiveEnvelopeLoad, ErrorMessagesOfARealFile) {
    TempDir dir;
    const std::string binPath = dir.Path("values.bin");
    WriteFileBytes(binPath, "QB  " + kSig + "\n" + Hex({1, 0, 0, 0, 2, 0}));
    {
        File file;
        file.Open(binPath, File::ModeRead);
        SignatureDoc doc;
        DataArchive ar(&file, DataArchive::Load | DataArchive::NoFlushOnDelete, 4096, nullptr, &doc);
        int a = 0;
        ar >> a;
        EXPECT_EQ(ar.GetPosition(), 31);  // 4 + 22 + 1 + 4
        try {
            ar >> a;
            FAIL() << "no error";
        } catch (const QArchiveException& e) {
            EXPECT_EQ(e.m_cause, QArchiveException::EndOfFile);
            EXPECT_EQ(e.m_position, 31);
            EXPECT_EQ(e.m_fileName, binPath);
            const std::string message = e.what();
            EXPECT_NE(message.find(binPath), std::string::npos) << message;
            EXPECT_NE(message.find("byte offset 31"), std::string::npos) << message;
        }
    }
    const std::string textPath = dir.Path("values.txt");
    WriteFileBytes(textPath, kSig + "\n1\nabc\n");
    {
        File file;
        file.Open(textPath, File::ModeRead);
        SignatureDoc doc;
        DataArchive ar(&file, DataArchive::Load | DataArchive::NoFlushOnDelete, 4096, nullptr, &doc);
        int a = 0;
        ar >> a >> EndRecord;
        try {
            ar >> a;
            FAIL() << "no error";
        } catch (const QArchiveException& e) {
            EXPECT_EQ(e.m_cause, QArchiveException::BadFormat);
            EXPECT_EQ(e.m_position, 3);
            const std::string message = e.what();
            EXPECT_NE(message.find(textPath), std::string::npos) << message;
            EXPECT_NE(message.find("line 3"), std::string::npos) << message;
        }
    }
}

// ---------------------------------------------------------------------------
// Length-prefixed signatures of old text files

TEST(ArchiveEnvelopeLoad, LengthPrefixedSignature) {
    // 0x15 = 21 = the length of "RADUDAR5.83_DMX_SHUJU".
    const std::string old = "\x15RADUDAR5.83_DMX_SHUJU\r\n1 2\n";
    SignatureDoc doc;
    LoadWithDoc(doc, old, [&](DataArchive& ar) {
        EXPECT_EQ(doc.seen, "RADUDAR5.83_DMX_SHUJU");
        EXPECT_EQ(doc.GetFileVersion(), 583u);
        EXPECT_TRUE(doc.IsTextForm());
        int a = 0, b = 0;
        ar >> a >> b;
        EXPECT_EQ(a, 1);
        EXPECT_EQ(b, 2);
        EXPECT_TRUE(ar.AtEnd());
    });

    MemoryFile file(old, "old.dmx");
    const ArchiveEnvelope env = ReadArchiveEnvelope(file);
    EXPECT_FALSE(env.hasHeader);
    EXPECT_TRUE(env.lengthPrefixedSignature);
    EXPECT_EQ(env.signature, "RADUDAR5.83_DMX_SHUJU");
    EXPECT_EQ(env.contentOffset, 22);

    // The content may follow the signature on the same line.
    SignatureDoc same;
    LoadWithDoc(same, "\x15RADUDAR5.83_DMX_SHUJU 7 8\n", [&](DataArchive& ar) {
        EXPECT_EQ(same.GetFileVersion(), 583u);
        int a = 0, b = 0;
        ar >> a >> b;
        EXPECT_EQ(a * 10 + b, 78);
    });
}

TEST(ArchiveEnvelopeLoad, WideLengthPrefixedSignature) {
    std::string wide = Hex({0xFF, 0xFE, 0xFF, 0x04, 'a', 0, 'b', 0, 'c', 0, 'd', 0});
    MemoryFile file(wide + "\n5\n", "wide.dat");
    const ArchiveEnvelope env = ReadArchiveEnvelope(file);
    EXPECT_TRUE(env.lengthPrefixedSignature);
    EXPECT_EQ(env.signature, "ABCD");
    EXPECT_EQ(env.contentOffset, 12);

    // A wide signature whose body the file cannot hold.
    SignatureDoc doc;
    try {
        LoadWithDoc(doc, Hex({0xFF, 0xFE, 0xFF, 0x50, 'a', 'b', '\n'}), [](DataArchive&) {});
        FAIL() << "no error";
    } catch (const QArchiveException& e) {
        EXPECT_EQ(e.m_cause, QArchiveException::EndOfFile);
    }
}

// The rest of the signature's line is line 1 of the file, so the record after
// it is line 2.
TEST(ArchiveEnvelopeLoad, ErrorLineAfterALengthPrefixedSignature) {
    SignatureDoc doc;
    try {
        LoadWithDoc(doc, "\x15RADUDAR5.83_DMX_SHUJU\n1\nabc\n", [&](DataArchive& ar) {
            int a = 0;
            ar >> a >> EndRecord >> a;
        });
        FAIL() << "no error";
    } catch (const QArchiveException& e) {
        EXPECT_EQ(e.m_position, 3);
    }
}

TEST(ArchiveEnvelopeLoad, ReadEnvelopeOfEachHeader) {
    struct Case {
        std::string bytes;
        bool header, tagged, scrambled;
        std::string signature;
        std::int64_t offset;
    };
    const Case cases[] = {
        {"QB  SIG\n", true, false, false, "SIG", 8},
        {"QBT sig\nxx", true, true, false, "SIG", 8},
        {"QB C" + kSig + "\n", true, false, true, kSig, 27},
        {"QBTC" + kSig + "\r\n", true, true, true, kSig, 28},
        {"QBx \nrest", false, false, false, "QBX", 5},
        {"// note\n" + kSig + "\n1\n", false, false, false, kSig, 31},
        {"", false, false, false, "", 0},
    };
    for (const Case& c : cases) {
        MemoryFile file(c.bytes, "e.dat");
        const ArchiveEnvelope env = ReadArchiveEnvelope(file);
        EXPECT_EQ(env.hasHeader, c.header) << c.bytes;
        EXPECT_EQ(env.tagged, c.tagged) << c.bytes;
        EXPECT_EQ(env.scrambled, c.scrambled) << c.bytes;
        EXPECT_FALSE(env.lengthPrefixedSignature) << c.bytes;
        EXPECT_EQ(env.signature, c.signature) << c.bytes;
        EXPECT_EQ(env.contentOffset, c.offset) << c.bytes;
    }
}

// ---------------------------------------------------------------------------
// Truncation loop: every prefix of a valid file reads cleanly or fails with an
// archive error, never with anything else.

void WriteMixed(DataArchive& ar) {
    ar << 42 << 2.5 << "two words" << static_cast<short>(-3) << "" << 7u << EndRecord;
    ar << 9 << 1.25f << 'q' << std::string(300, 's') << static_cast<unsigned short>(65535) << EndRecord;
}

void ReadMixed(DataArchive& ar) {
    int a = 0, g = 0;
    double b = 0;
    std::string c, e, j;
    short d = 0;
    unsigned f = 0;
    float h = 0;
    char i = 0;
    unsigned short k = 0;
    ar >> a >> b >> c >> d >> e >> f >> EndRecord >> g >> h >> i >> j >> k >> EndRecord;
    if (!(a == 42 && b == 2.5 && c == "two words" && d == -3 && e.empty() && f == 7u && g == 9 &&
          h == 1.25f && i == 'q' && j == std::string(300, 's') && k == 65535))
        throw QArchiveException(QArchiveException::GenericError, "values differ");
}

class ArchiveTruncation : public ::testing::TestWithParam<Form> {};

TEST_P(ArchiveTruncation, EveryPrefixFailsCleanly) {
    SignatureDoc writer;
    writer.SetFormatFlags(FlagsOf(GetParam()));
    const std::string full = StoreWithDoc(writer, WriteMixed);
    const std::size_t envelope = (GetParam() == Form::Text ? 0 : 4) + kSig.size() + 1;

    for (std::size_t cut = 0; cut <= full.size(); ++cut) {
        const std::string bytes = full.substr(0, cut);
        bool completed = false;
        bool accepted = false;
        try {
            SignatureDoc reader;
            LoadWithDoc(
                reader, bytes,
                [&](DataArchive& ar) {
                    accepted = reader.GetFileVersion() == 600;
                    ReadMixed(ar);
                    completed = ar.AtEnd();
                },
                128);
        } catch (const QArchiveException&) {
            // the expected answer to a cut file
        }
        if (cut == full.size()) {
            EXPECT_TRUE(completed) << "the whole file must read";
        } else if (GetParam() != Form::Text && cut >= envelope) {
            EXPECT_TRUE(accepted) << cut;
            EXPECT_FALSE(completed) << "binary cut at " << cut << " of " << full.size()
                                    << " read as complete";
        }

        // A content loop over the same prefix ends, by AtEnd or by an error.
        try {
            SignatureDoc reader;
            LoadWithDoc(
                reader, bytes,
                [&](DataArchive& ar) {
                    for (int guard = 0; !ar.AtEnd(); ++guard) {
                        ASSERT_LT(guard, 1000) << "no progress at cut " << cut;
                        std::string s;
                        ar >> s >> EndRecord;
                    }
                },
                128);
        } catch (const QArchiveException&) {
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllForms, ArchiveTruncation,
                         ::testing::Values(Form::Text, Form::Binary, Form::Tagged, Form::Scrambled,
                                           Form::TaggedScrambled),
                         [](const auto& info) { return std::string(FormName(info.param)); });

}  // namespace
}  // namespace qdat::test
