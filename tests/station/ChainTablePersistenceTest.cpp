// The chain table's two persistence forms: the whole-object form and the
// document-archive form in every archive form, legacy layout included.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include <qdat/docbase/DataArchive.h>
#include <qdat/docbase/QDocument.h>
#include <qdat/host/HostFile.h>
#include <qdat/host/ObjectArchive.h>
#include "StationFixture.h"

namespace qdat::test {
namespace {

using ChainTablePersistenceTest = StationTest;

std::string Int32Bytes(std::int32_t v) {
    std::string bytes(4, '\0');
    std::memcpy(bytes.data(), &v, 4);  // the build machine is little-endian
    return bytes;
}
// 1050 = 1.025390625 * 2^10 and 1000 = 1.953125 * 2^9, written out by hand.
const std::string k1050("\x00\x00\x00\x00\x00\x68\x90\x40", 8);
const std::string k1000("\x00\x00\x00\x00\x00\x40\x8F\x40", 8);

ChainTable TableOf(int breaks) {
    ChainTable table;
    double before = 850.25;
    for (int i = 0; i < breaks; ++i) {
        const double after = before + ((i % 3) - 1) * 37.5 + 0.75;
        table.AddBreak(before, after);
        before = after + 500.0 + i;
    }
    return table;
}

void ExpectSameBreaks(const ChainTable& a, const ChainTable& b) {
    ASSERT_EQ(a.GetBreakCount(), b.GetBreakCount());
    for (int i = 0; i < a.GetBreakCount(); ++i) {
        EXPECT_EQ(a.GetBreak(i).Before, b.GetBreak(i).Before) << i;
        EXPECT_EQ(a.GetBreak(i).After, b.GetBreak(i).After) << i;
    }
}

// Whole-object form -------------------------------------------------------------

std::string SerializeObject(ChainTable table) {
    MemoryFile file;
    ObjectArchive ar(file, ObjectArchive::Store);
    table.Serialize(ar);
    return file.Bytes();
}

ChainTable DeserializeObject(const std::string& bytes) {
    MemoryFile file(bytes);
    ObjectArchive ar(file, ObjectArchive::Load);
    ChainTable table;
    table.Serialize(ar);
    return table;
}

ObjectArchiveException::Cause ObjectError(const std::string& bytes) {
    try {
        DeserializeObject(bytes);
    } catch (const ObjectArchiveException& e) {
        return e.m_cause;
    }
    ADD_FAILURE() << "no exception";
    return ObjectArchiveException::EndOfFile;
}

TEST_F(ChainTablePersistenceTest, WholeObjectFormBytes) {
    ChainTable table;
    table.AddBreak(1000.0, 1050.0);
    table.SetPrefix("K");  // not part of this form
    EXPECT_EQ(SerializeObject(table), Int32Bytes(4) + Int32Bytes(1) + Int32Bytes(3) + k1050 + k1000);
    EXPECT_EQ(SerializeObject(ChainTable()), Int32Bytes(4) + Int32Bytes(0));

    const ChainTable back = DeserializeObject(Int32Bytes(4) + Int32Bytes(1) + Int32Bytes(3) + k1050 + k1000);
    ASSERT_EQ(back.GetBreakCount(), 1);
    EXPECT_EQ(back.GetBreak(0).Before, 1000.0);
    EXPECT_EQ(back.GetBreak(0).After, 1050.0);
    EXPECT_EQ(back.GetPrefix(), "");
}

TEST_F(ChainTablePersistenceTest, WholeObjectFormRoundTripsTwentyFiveBreaks) {
    const ChainTable table = TableOf(25);
    const std::string bytes = SerializeObject(table);
    EXPECT_EQ(bytes.size(), 8u + 25u * 20u);
    ExpectSameBreaks(DeserializeObject(bytes), table);
}

TEST_F(ChainTablePersistenceTest, WholeObjectFormRefusesWrongSchemasAndShortStreams) {
    EXPECT_EQ(ObjectError(Int32Bytes(5) + Int32Bytes(0)), ObjectArchiveException::BadClass);
    EXPECT_EQ(ObjectError(Int32Bytes(4) + Int32Bytes(1) + Int32Bytes(2) + k1050 + k1000),
              ObjectArchiveException::BadClass);
    EXPECT_EQ(ObjectError(Int32Bytes(4) + Int32Bytes(-1)), ObjectArchiveException::BadClass);
    // A huge count runs into the end of the stream, not into a huge allocation.
    EXPECT_EQ(ObjectError(Int32Bytes(4) + Int32Bytes(0x7FFFFFFF) + Int32Bytes(3)),
              ObjectArchiveException::EndOfFile);

    const std::string whole = SerializeObject(TableOf(3));
    for (std::size_t cut = 0; cut < whole.size(); ++cut)
        EXPECT_EQ(ObjectError(whole.substr(0, cut)), ObjectArchiveException::EndOfFile) << cut;
}

// Document-archive form ------------------------------------------------------------

struct Form {
    const char* name;
    bool text, tagged, scrambled, legacy;
};
const Form kForms[] = {
    {"text", true, false, false, false},
    {"text legacy", true, false, false, true},
    {"binary", false, false, false, false},
    {"binary legacy", false, false, false, true},
    {"tagged", false, true, false, false},
    {"scrambled", false, false, true, false},
    {"tagged scrambled legacy", false, true, true, true},
};

void ApplyForm(DataArchive& ar, const Form& form) {
    ar.SetTextForm(form.text);
    ar.SetTaggedForm(form.tagged);
    ar.SetScrambledForm(form.scrambled);
    ar.SetLegacyLayout(form.legacy);
}

// The table, then an int that must still be read in step after it.
std::string StoreTable(const ChainTable& table, const Form& form) {
    MemoryFile file;
    DataArchive ar(&file, DataArchive::Store);
    ApplyForm(ar, form);
    table.StoreTo(ar);
    ar << 77 << EndRecord;
    ar.Close();
    return file.Bytes();
}

ChainTable LoadTable(const std::string& bytes, const Form& form, QDocument* document = nullptr) {
    MemoryFile file(bytes);
    DataArchive ar(&file, DataArchive::Load, 4096, nullptr, document);
    ApplyForm(ar, form);
    if (form.text && !document) ar >> EndRecord;  // a bare archive has not read its first record
    ChainTable table;
    table.LoadFrom(ar);
    int marker = 0;
    ar >> marker;
    EXPECT_EQ(marker, 77) << form.name;
    return table;
}

QArchiveException::Cause LoadError(const std::string& bytes, const Form& form) {
    try {
        LoadTable(bytes, form);
    } catch (const QArchiveException& e) {
        return e.m_cause;
    }
    ADD_FAILURE() << "no exception for " << form.name;
    return QArchiveException::GenericError;
}

TEST_F(ChainTablePersistenceTest, DocumentFormAsWritten) {
    ChainTable table;
    table.AddBreak(1000.0, 1050.0);
    EXPECT_EQ(StoreTable(table, kForms[0]), "         1  1050.0000  1000.0000\n        77\n");
    EXPECT_EQ(StoreTable(table, kForms[1]),
              "         4          1          3  1050.0000  1000.0000\n        77\n");
    EXPECT_EQ(StoreTable(table, kForms[2]), Int32Bytes(1) + k1050 + k1000 + Int32Bytes(77));
    EXPECT_EQ(StoreTable(table, kForms[3]),
              Int32Bytes(4) + Int32Bytes(1) + Int32Bytes(3) + k1050 + k1000 + Int32Bytes(77));
    EXPECT_EQ(StoreTable(table, kForms[4]),
              "\x02" + Int32Bytes(1) + "\x09" + k1050 + "\x09" + k1000 + "\x02" + Int32Bytes(77));
    // Without breaks the count stays in the record the document is building.
    EXPECT_EQ(StoreTable(ChainTable(), kForms[0]), "         0         77\n");
}

TEST_F(ChainTablePersistenceTest, DocumentFormRoundTripsTwentyFiveBreaksInEveryForm) {
    for (int count : {0, 1, 25}) {
        const ChainTable table = TableOf(count);
        for (const Form& form : kForms) {
            SCOPED_TRACE(std::string(form.name) + " with " + std::to_string(count) + " breaks");
            ExpectSameBreaks(LoadTable(StoreTable(table, form), form), table);
        }
    }
}

TEST_F(ChainTablePersistenceTest, WrongSchemaWordsThrowBadFormat) {
    const Form& binaryLegacy = kForms[3];
    const Form& textLegacy = kForms[1];
    EXPECT_EQ(LoadError(Int32Bytes(5) + Int32Bytes(0) + Int32Bytes(77), binaryLegacy),
              QArchiveException::BadFormat);
    EXPECT_EQ(LoadError(Int32Bytes(4) + Int32Bytes(1) + Int32Bytes(2) + k1050 + k1000 + Int32Bytes(77),
                        binaryLegacy),
              QArchiveException::BadFormat);
    EXPECT_EQ(LoadError("3 1 3 1050 1000\n77\n", textLegacy), QArchiveException::BadFormat);
    EXPECT_EQ(LoadError("4 1 4 1050 1000\n77\n", textLegacy), QArchiveException::BadFormat);
}

TEST_F(ChainTablePersistenceTest, CountsBeyondTheFileAreRefusedBeforeAllocating) {
    EXPECT_EQ(LoadError(Int32Bytes(1000000000) + k1050 + k1000 + Int32Bytes(77), kForms[2]),
              QArchiveException::BadFormat);
    EXPECT_EQ(LoadError(Int32Bytes(-1) + Int32Bytes(77), kForms[2]), QArchiveException::BadFormat);
    EXPECT_EQ(LoadError("2000000000 1050 1000\n77\n", kForms[0]), QArchiveException::BadFormat);
    EXPECT_EQ(LoadError("1 nan 1000\n77\n", kForms[0]), QArchiveException::BadFormat);

    // Every cut of a valid file fails cleanly and never yields a table.
    const Form& binaryLegacy = kForms[3];
    const std::string whole = StoreTable(TableOf(3), binaryLegacy);
    for (std::size_t cut = 0; cut + 4 < whole.size(); ++cut) {
        MemoryFile file(whole.substr(0, cut));
        DataArchive ar(&file, DataArchive::Load);
        ApplyForm(ar, binaryLegacy);
        ChainTable table = TableOf(1);
        EXPECT_THROW(table.LoadFrom(ar), QArchiveException) << cut;
        EXPECT_EQ(table.GetBreakCount(), 1) << cut;  // unchanged by the failed read
    }
}

// A document of a given file version whose files have no signature line.
class VersionedDocument : public QDocument {
public:
    explicit VersionedDocument(std::uint32_t version) { SetFileVersion(version); }
    bool ParseSignature(const std::string&) override { return false; }
};

TEST_F(ChainTablePersistenceTest, SchemaWordsAreReadOnlyUpToVersion500) {
    const Form textLegacy = kForms[1];
    VersionedDocument old(500);
    old.SetLegacyLayout(true);
    const ChainTable oldBack = LoadTable("4 1 3 1050 1000\n77\n", textLegacy, &old);
    ASSERT_EQ(oldBack.GetBreakCount(), 1);
    EXPECT_EQ(oldBack.GetBreak(0).Before, 1000.0);
    EXPECT_EQ(oldBack.GetBreak(0).After, 1050.0);

    VersionedDocument newer(583);
    newer.SetLegacyLayout(true);
    const ChainTable back = LoadTable("2 1050 1000\n2060 2050\n77\n", textLegacy, &newer);
    ASSERT_EQ(back.GetBreakCount(), 2);
    EXPECT_EQ(back.GetBreak(1).Before, 2050.0);
    EXPECT_EQ(back.GetBreak(1).After, 2060.0);
}

}  // namespace
}  // namespace qdat::test
