// Superelevation tables: the three line layouts, the run-collapsing append,
// the bracket search and the column searches.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include <qdat/section/QSupFile.h>
#include "profile/DmxTestHelpers.h"

namespace qdat {
namespace {

using test::ReadFromBytes;
using test::WriteToBytes;

class SupFileTest : public test::StationDocTest {};

SupRow Row(double station, double li, double ri, double lm, double rm, double lo, double ro) {
    SupRow r;
    r.Station = station;
    r.LeftInner = li;
    r.RightInner = ri;
    r.LeftMiddle = lm;
    r.RightMiddle = rm;
    r.LeftOuter = lo;
    r.RightOuter = ro;
    return r;
}

// Cells by column number 1-6.
void ExpectRow(const SupRow& r, double station, std::initializer_list<double> columns) {
    EXPECT_DOUBLE_EQ(r.Station.GetValue(), station);
    int c = 1;
    for (double v : columns) EXPECT_DOUBLE_EQ(*r.Cell(c++), v) << "column " << c - 1 << " at " << station;
}

TEST_F(SupFileTest, ReadsEachLayoutAndWritesAcrossTheSection) {
    QSupFile road;
    // Left outer, middle, inner, station, right inner, middle, outer.
    ASSERT_TRUE(ReadFromBytes(road, "RADUDAR5.83_SUP_SHUJU\n-3 -2.5 -2 100 -1 -1.5 -4\n", "road.sup"));
    EXPECT_EQ(road.GetFileVersion(), 583u);
    ASSERT_EQ(road.GetRowCount(), 1);
    ExpectRow(*road.GetRow(0), 100, {-2, -1, -2.5, -1.5, -3, -4});
    EXPECT_EQ(WriteToBytes(road),
              "RADUDAR5.83_SUP_SHUJU\n     -3.00      -2.50      -2.00    100.000      -1.00      -1.50      "
              "-4.00\n");

    // A railway line holds three items: each side's value stands for its three parts.
    QSupFile railway;
    ASSERT_TRUE(ReadFromBytes(railway, "RADUDAR5.83_SUP_SHUJU_RAILWAY\n1.5 200 -1.25\n", "railway.sup"));
    EXPECT_EQ(railway.GetFileVersion(), 583u);
    ExpectRow(*railway.GetRow(0), 200, {1.5, -1.25, 1.5, -1.25, 1.5, -1.25});
    EXPECT_EQ(WriteToBytes(railway), "RADUDAR5.83_SUP_SHUJU_RAILWAY\n      1.50    200.000      -1.25\n");

    // A table without signature: middle, outer, inner, station, inner, outer,
    // middle; the middle parts then fall as the inner ones.
    QSupFile old;
    ASSERT_TRUE(ReadFromBytes(old, "-2.5 -3 -2 0 -1 -4 -1.5\n", "old.sup"));
    EXPECT_EQ(old.GetFileVersion(), 0u);
    ExpectRow(*old.GetRow(0), 0, {-2, -1, -2, -1, -3, -4});

    QSupFile v580;
    ASSERT_TRUE(ReadFromBytes(v580, "RADUDAR5.8_SUP_SHUJU\n1 2 3 10 4 5 6\n", "v580.sup"));
    EXPECT_EQ(v580.GetFileVersion(), 580u);
    ExpectRow(*v580.GetRow(0), 10, {3, 4, 2, 5, 1, 6});

    // Every form gives the same rows back.
    for (const test::FormCase& form : test::kBinaryForms) {
        QSupFile back;
        ASSERT_TRUE(ReadFromBytes(back, WriteToBytes(road, form.flags))) << form.name;
        ExpectRow(*back.GetRow(0), 100, {-2, -1, -2.5, -1.5, -3, -4});
    }
}

TEST_F(SupFileTest, RefusesWhatCannotBeRead) {
    QSupFile doc;
    EXPECT_FALSE(ReadFromBytes(doc, "RADUDAR5.83_SUP_SHUJU\n-3 -2 -2 0 -2 -2 -3\n-3 nan -2 100 -2 -2 -3\n",
                               "bad.sup"));
    EXPECT_EQ(doc.GetRowCount(), 0);
    ASSERT_FALSE(ui.messages.empty());
    EXPECT_NE(ui.messages.back().text.find("bad.sup"), std::string::npos) << ui.messages.back().text;
    EXPECT_NE(ui.messages.back().text.find("line 3"), std::string::npos) << ui.messages.back().text;
    // A road line cut short.
    EXPECT_FALSE(ReadFromBytes(doc, "RADUDAR5.83_SUP_SHUJU\n-3 -2 -2 0 -2\n"));

    // A value that would not read back is not written.
    doc.AppendRow(Row(0, -2, -2, -2, -2, -2, std::numeric_limits<double>::infinity()));
    EXPECT_THROW(WriteToBytes(doc), std::exception);

    // A failed read of a railway table leaves the flag in the document; the
    // next road table is still read seven items a line.
    QSupFile reused;
    EXPECT_FALSE(ReadFromBytes(reused, "RADUDAR5.83_SUP_SHUJU_RAILWAY\n1 x 2\n"));
    ASSERT_TRUE(ReadFromBytes(reused, "RADUDAR5.83_SUP_SHUJU\n-3 -2.5 -2 100 -1 -1.5 -4\n"));
    ExpectRow(*reused.GetRow(0), 100, {-2, -1, -2.5, -1.5, -3, -4});
    QSupFile reusedOld;
    EXPECT_FALSE(ReadFromBytes(reusedOld, "RADUDAR5.83_SUP_SHUJU_RAILWAY\n1 x 2\n"));
    ASSERT_TRUE(ReadFromBytes(reusedOld, "-2.5 -3 -2 0 -1 -4 -1.5\n"));
    ExpectRow(*reusedOld.GetRow(0), 0, {-2, -1, -2, -1, -3, -4});
}

TEST_F(SupFileTest, AddRowCollapsesRunsOfEqualRows) {
    QSupFile doc;
    for (double s : {100.0, 120.0, 140.0, 160.0}) doc.AddRow(Row(s, 2, 2, 2, 2, 2, 2));
    ASSERT_EQ(doc.GetRowCount(), 2);
    EXPECT_EQ(doc.GetRow(0)->Station.GetValue(), 100.0);
    EXPECT_EQ(doc.GetRow(1)->Station.GetValue(), 160.0);
    doc.AddRow(Row(200, 2, 2, 2, 2, 2, 3));
    EXPECT_EQ(doc.GetRowCount(), 3);

    // A second row 0.0005 from the only one changes nothing, not even the flag.
    QSupFile single;
    single.AddRow(Row(100, 1, 1, 1, 1, 1, 1));
    single.SetModifiedFlag(false);
    single.AddRow(Row(100.0005, 5, 5, 5, 5, 5, 5));
    EXPECT_EQ(single.GetRowCount(), 1);
    EXPECT_EQ(single.GetRow(0)->LeftInner, 1.0);
    EXPECT_FALSE(single.IsModified());
}

TEST_F(SupFileTest, BracketAndColumnSearches) {
    constexpr double X = SupRow::NoValue;
    QSupFile doc;
    doc.AppendRow(Row(0, X, -2, -2, -2, -2, -2));
    doc.AppendRow(Row(100, X, 9, -2, -2, -2, -2));
    doc.AppendRow(Row(200, X, X, X, X, X, -3));
    doc.AppendRow(Row(300, 4, X, -4, X, -4, X));

    EXPECT_TRUE(doc.FindBracket(150));
    EXPECT_EQ(doc.GetCurrentRow(), 1);
    EXPECT_TRUE(doc.FindBracket(20));  // searched back from row 1
    EXPECT_EQ(doc.GetCurrentRow(), 0);
    EXPECT_TRUE(doc.FindBracket(300));  // forward from row 0
    EXPECT_EQ(doc.GetCurrentRow(), 2);
    doc.SetCurrentRow(-1);
    EXPECT_TRUE(doc.FindBracket(-0.0005));  // within the tolerance before the first row
    EXPECT_EQ(doc.GetCurrentRow(), 0);
    EXPECT_FALSE(doc.FindBracket(-5));
    EXPECT_EQ(doc.GetCurrentRow(), -1);
    doc.SetCurrentRow(7);
    EXPECT_FALSE(doc.FindBracket(300.5));
    EXPECT_EQ(doc.GetCurrentRow(), -1);

    // Column 1 holds no value from row 0 to the current row: the current row.
    doc.SetCurrentRow(2);
    EXPECT_EQ(doc.GetPreviousValued(1), doc.GetRow(2));
    EXPECT_EQ(doc.GetPreviousValued(3), doc.GetRow(1));
    EXPECT_EQ(doc.GetPreviousValuedCopy(2).RightInner, 9.0);
    // The next value of column 3 stands only in the last row.
    doc.SetCurrentRow(1);
    EXPECT_EQ(doc.GetNextValued(3), doc.GetRow(3));
    EXPECT_EQ(doc.GetNextValued(4), doc.GetRow(2));  // no value after row 1: the row after it
    EXPECT_EQ(doc.GetNextValuedCopy(6).RightOuter, -3.0);

    // Walking the rows with a right inner value: row 1, then the last row
    // (which has none), then past it; no row is complete.
    EXPECT_FALSE(doc.MoveFirst());
    EXPECT_TRUE(doc.MoveToNextValued(2));
    EXPECT_EQ(doc.GetCurrentRow(), 1);
    EXPECT_TRUE(doc.MoveToNextValued(2));
    EXPECT_EQ(doc.GetCurrentRow(), 3);
    EXPECT_TRUE(doc.IsAtLastRow());
    EXPECT_FALSE(doc.MoveToNextValued(2));
    EXPECT_EQ(doc.GetCurrentRowPointer(), nullptr);
    doc.MoveFirst();
    EXPECT_TRUE(doc.MoveToNextValued(SupRow::kCompleteRow));
    EXPECT_EQ(doc.GetCurrentRow(), 3);
}

}  // namespace
}  // namespace qdat
