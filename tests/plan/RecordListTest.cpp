// The JDW and JDX lists' own rules: no signature, records up to the end of
// the data, "NULL" names, the list operations.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include <qdat/host/Resources.h>
#include <qdat/plan/JDWDoc.h>
#include <qdat/plan/JDXDoc.h>
#include "profile/DmxTestHelpers.h"

namespace qdat::test {
namespace {

class RecordListTest : public StationDocTest {};

JdwRecord Jdw(const std::string& name, double v1, std::int32_t flag = 0) {
    JdwRecord r;
    r.Name = name;
    r.Value1 = v1;
    r.Flag = flag;
    return r;
}

// Text as lines of tokens separated by one blank (the writer pads tokens).
std::string Squeezed(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == ' ' && (out.empty() || out.back() == ' ' || out.back() == '\n')) continue;
        if (c == '\n' && !out.empty() && out.back() == ' ') out.pop_back();
        out += c;
    }
    return out;
}

TEST_F(RecordListTest, FilesWithoutSignatureOrCount) {
    JDWDoc doc;
    ASSERT_EQ(doc.GetCount(), 1);
    EXPECT_EQ(doc.GetAt(0)->Name, LoadResourceString(216));
    EXPECT_EQ(doc.GetSignature(), "");

    // Text: the header line, then a record per line to the end; "NULL" and
    // an empty name both read as no name.
    ASSERT_TRUE(
        ReadFromBytes(doc, "2.5\nNULL 1 2 3 4 5 -1\n\"\" 0 0 0 0 0 0\nNorth 0.5 0 0 0 0 7\n", "a.jdw"));
    EXPECT_EQ(doc.GetHeader().HeaderValue, 2.5);
    ASSERT_EQ(doc.GetCount(), 3);
    EXPECT_EQ(doc.GetAt(0)->Name, "");
    EXPECT_EQ(doc.GetAt(0)->Value5, 5.0);
    EXPECT_EQ(doc.GetAt(0)->Flag, -1);
    EXPECT_EQ(doc.GetAt(1)->Name, "");
    EXPECT_EQ(doc.GetAt(2)->Name, "North");
    EXPECT_EQ(Squeezed(WriteToBytes(doc)),
              "2.5000\nNULL 1.000 2.000 3.000 4.000 5.000 -1\nNULL 0.000 0.000 0.000 0.000 0.000 0\n"
              "North 0.500 0.000 0.000 0.000 0.000 7\n");

    // Binary: no header line, no signature; the header alone is an empty list.
    const std::string binary = WriteToBytes(doc, 0);
    EXPECT_EQ(binary.substr(0, 12), "QB  " + Le64(2.5));
    EXPECT_EQ(binary.substr(12, 5), ShortString("NULL"));
    ASSERT_TRUE(ReadFromBytes(doc, "QB  " + Le64(-1.0), "b.jdw"));
    EXPECT_EQ(doc.GetHeader().HeaderValue, -1.0);
    EXPECT_EQ(doc.GetCount(), 0);

    // A record cut short fails the file; nothing of it stays.
    ASSERT_TRUE(ReadFromBytes(doc, binary, "c.jdw"));
    EXPECT_FALSE(ReadFromBytes(doc, binary.substr(0, binary.size() - 2), "c.jdw"));
    EXPECT_EQ(doc.GetCount(), 0);
    // So does a number that is not finite, read or written.
    EXPECT_FALSE(ReadFromBytes(doc, "QB  " + Le64(std::numeric_limits<double>::infinity()), "d.jdw"));
    doc.Add(Jdw("x", std::numeric_limits<double>::quiet_NaN()));
    MemoryFile out(std::string(), "e.jdw");
    EXPECT_THROW(doc.WriteToFile(out), QArchiveException);
}

TEST_F(RecordListTest, JdxLayout) {
    JDXDoc doc;
    EXPECT_EQ(doc.GetAt(0)->Name, LoadResourceString(250));
    ASSERT_TRUE(ReadFromBytes(doc, "3 1 2 3 0.123456789 -4\nA 1 2 0.123456789 4 5\n", "a.jdx"));
    EXPECT_EQ(doc.GetHeader().HeaderInt1, 3);
    EXPECT_EQ(doc.GetHeader().HeaderInt2, -4);
    ASSERT_EQ(doc.GetCount(), 1);
    EXPECT_EQ(doc.GetAt(0)->Value3, 0.123456789);
    EXPECT_EQ(Squeezed(WriteToBytes(doc)),
              "3 1.0000 2.0000 3.0000 0.12345679 -4\nA 1.0000 2.0000 0.12345679 4.0000 5.0000\n");
}

TEST_F(RecordListTest, ListOperations) {
    JDWDoc doc;
    doc.RemoveAt(0);
    EXPECT_EQ(doc.GetUpperBound(), -1);
    EXPECT_EQ(doc.Add(Jdw("a", 1)), 0);
    EXPECT_EQ(doc.Add(Jdw("b", 2)), 1);
    doc.InsertAt(1, Jdw("c", 3), 2);  // a c c b
    doc.InsertAt(6, Jdw("d", 4));     // past the end: empty records up to it
    ASSERT_EQ(doc.GetCount(), 7);
    EXPECT_EQ(doc.GetAt(2)->Name, "c");
    EXPECT_EQ(doc.GetAt(3)->Name, "b");
    EXPECT_EQ(doc.GetAt(4)->Name, "");
    EXPECT_EQ(doc.GetAt(6)->Name, "d");
    doc.RemoveAt(1, 4);  // a, empty, d
    doc.Append(doc.Records());
    ASSERT_EQ(doc.GetCount(), 6);
    EXPECT_EQ(doc.GetAt(3)->Name, "a");
    EXPECT_EQ(doc.GetAt(5)->Name, "d");
    doc.SetSize(2, 0);
    EXPECT_EQ(doc.GetCount(), 2);
    EXPECT_EQ(doc.GetAt(2), nullptr);
    doc.DeleteContents();
    EXPECT_EQ(doc.GetCount(), 0);
}

}  // namespace
}  // namespace qdat::test
