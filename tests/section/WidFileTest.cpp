// Widening tables: the three transition shapes, the keyword sections and the
// labels, merging constant segments, the section-width record and repair.
#include <gtest/gtest.h>

#include <string>

#include <qdat/section/QWIDFile.h>
#include "profile/DmxTestHelpers.h"

namespace qdat {
namespace {

using test::ReadFromBytes;
using test::WriteToBytes;

class WidFileTest : public test::StationDocTest {};

WidPoint Point(double station, double w1, double w3 = 0.0, const char* label = "") {
    WidPoint p;
    p.Station = station;
    p.Width1 = w1;
    p.Width2 = 2.5;
    p.Width3 = w3;
    p.Width4 = 0.75;
    p.Width5 = 0.5;
    p.Label = label;
    return p;
}

WidSegment Segment(const WidPoint& begin, const WidPoint& end) {
    return {begin, end};
}

double Width1At(const WidSegment& g, double station, int shape) {
    WidPoint p;
    p.Station = station;
    p.Label = "kept";
    QWIDFile::InterpolateWidths(g, p, shape);
    EXPECT_EQ(p.Label, "kept");
    return p.Width1;
}

TEST_F(WidFileTest, InterpolatesAlongTheThreeShapes) {
    const WidSegment widening = Segment(Point(100, 3.5), Point(150, 4.5));
    EXPECT_DOUBLE_EQ(Width1At(widening, 125, QWIDFile::Linear), 4.0);
    // k = 0.5: 3.5 + 1.0 x (4 x 0.125 - 3 x 0.0625)
    EXPECT_DOUBLE_EQ(Width1At(widening, 125, QWIDFile::FourthDegree), 3.8125);
    EXPECT_DOUBLE_EQ(Width1At(widening, 125, QWIDFile::Cubic), 4.0);
    // k = 0.2 from the narrow end: 3.5 + 4 x 0.008 - 3 x 0.0016; 3.5 + 3 x 0.04 - 2 x 0.008
    EXPECT_DOUBLE_EQ(Width1At(widening, 110, QWIDFile::FourthDegree), 3.5272);
    EXPECT_DOUBLE_EQ(Width1At(widening, 110, QWIDFile::Cubic), 3.604);
    // Narrowing: the transition is measured from the narrow end, at 150.
    const WidSegment narrowing = Segment(Point(100, 4.5), Point(150, 3.5));
    EXPECT_DOUBLE_EQ(Width1At(narrowing, 125, QWIDFile::FourthDegree), 3.8125);
    EXPECT_DOUBLE_EQ(Width1At(narrowing, 140, QWIDFile::FourthDegree), 3.5272);
    EXPECT_DOUBLE_EQ(Width1At(narrowing, 110, QWIDFile::Linear), 4.3);
    // A segment of no length stands at its begin; an unknown shape touches nothing.
    EXPECT_DOUBLE_EQ(Width1At(Segment(Point(100, 3), Point(100, 5)), 100, QWIDFile::Linear), 3.0);
    EXPECT_DOUBLE_EQ(Width1At(widening, 125, 3), 0.0);
}

TEST_F(WidFileTest, ReadsTheSidesByKeywordAndWritesThemBack) {
    QWIDFile doc;
    ASSERT_TRUE(ReadFromBytes(doc,
                              "RADUDAR5.83_WID_SHUJU\n"
                              "0 3.5 2.5 0 0.75 0.5 0\n"
                              "50 3.5 2.5 0 0.75 0.5 A\n"
                              "zzzzzzz\n"
                              "0 3 0 0 1 0 \"left end\"\n"
                              "80 3 0 0 1 0\n",
                              "in.wid"));
    ASSERT_EQ(doc.GetRightSegments().GetSize(), 1);  // before any keyword: the right side
    ASSERT_EQ(doc.GetLeftSegments().GetSize(), 1);
    EXPECT_EQ(doc.GetRightSegments()[0].Begin.Label, "");
    EXPECT_EQ(doc.GetRightSegments()[0].End.Label, "A");
    EXPECT_EQ(doc.GetLeftSegments()[0].Begin.Label, "left end");
    EXPECT_EQ(doc.GetLeftSegments()[0].End.Label, "");
    EXPECT_EQ(doc.GetLeftSegments()[0].End.Width4, 1.0);
    EXPECT_EQ(WriteToBytes(doc, FormatFlag::ScrambledForm),  // always text
              "RADUDAR5.83_WID_SHUJU\n"
              "ZZZZZZZ\n"
              "     0.000       3.00       0.00       0.00       1.00       0.00   \"left end\"\n"
              "    80.000       3.00       0.00       0.00       1.00       0.00          0\n"
              "\n"
              "YYYYYYY\n"
              "     0.000       3.50       2.50       0.00       0.75       0.50          0\n"
              "    50.000       3.50       2.50       0.00       0.75       0.50          A\n"
              "\n");

    // A railway point holds its fourth width only. The table is current, and
    // is written back as a railway table.
    QWIDFile railway;
    ASSERT_TRUE(ReadFromBytes(railway, "RADUDAR5.83_WID_SHUJU_RAILWAY\nYYYYYYY\n0 1.2\n100 1.5\n", "rw.wid"));
    EXPECT_EQ(railway.GetFileVersion(), 583u);
    EXPECT_EQ(railway.GetFileVersion(), railway.GetCurrentVersion());
    const WidPoint& end = railway.GetRightSegments()[0].End;
    EXPECT_EQ(end.Width4, 1.5);
    EXPECT_EQ(end.Width1 + end.Width2 + end.Width3 + end.Width5, 0.0);
    EXPECT_EQ(
        WriteToBytes(railway),
        "RADUDAR5.83_WID_SHUJU_RAILWAY\nZZZZZZZ\nYYYYYYY\n     0.000       1.20\n   100.000       1.50\n\n");

    // A segment cut after its first point, and a width that is no number.
    EXPECT_FALSE(ReadFromBytes(doc, "RADUDAR5.83_WID_SHUJU\nZZZZZZZ\n0 3 0 0 1 0 A\n"));
    EXPECT_FALSE(ReadFromBytes(doc, "RADUDAR5.83_WID_SHUJU\n0 3 0 0 1 0 A\n9 inf 0 0 1 0 A\n"));
    EXPECT_EQ(doc.GetLeftSegments().GetSize() + doc.GetRightSegments().GetSize(), 0);
}

TEST_F(WidFileTest, AddSegmentMergesConstantRuns) {
    QWIDFile doc;
    doc.AddSegment(Segment(Point(0, 3.5), Point(50, 3.5)), 1);
    doc.AddSegment(Segment(Point(50, 3.5), Point(80, 3.5)), 1);
    ASSERT_EQ(doc.GetLeftSegments().GetSize(), 1);
    EXPECT_EQ(doc.GetLeftSegments()[0].End.Station.GetValue(), 80.0);
    EXPECT_TRUE(doc.IsModified());
    // Not merged: a transition, a gap, other widths.
    doc.AddSegment(Segment(Point(80, 3.5), Point(120, 4.0)), 1);
    doc.AddSegment(Segment(Point(120.5, 4.0), Point(200, 4.0)), 1);
    doc.AddSegment(Segment(Point(200, 4.1), Point(300, 4.1)), 1);
    EXPECT_EQ(doc.GetLeftSegments().GetSize(), 4);
    EXPECT_TRUE(doc.GetRightSegments().IsEmpty());
    EXPECT_TRUE(QWIDFile::IsEmptySegment(Segment(Point(10, 1), Point(10.0005, 1))));
    EXPECT_DOUBLE_EQ(QWIDFile::GetTotalWidth(Point(0, 3.5, 1)), 8.25);
}

TEST_F(WidFileTest, FillsTheSectionWidthRecord) {
    QWIDFile doc;
    doc.GetLeftSegments().Add(Segment(Point(0, 3.5), Point(100, 4.5)));
    SectionWidths record;
    record.Station = 50;
    record.Right = {9, 9, 9, 9};
    EXPECT_EQ(doc.GetSectionWidths(record, QWIDFile::Linear), 0);  // no right segment
    EXPECT_EQ(record.Left, (std::array<double, 4>{0.5, 0.75, 2.5, 4.0}));
    EXPECT_EQ(record.Right, (std::array<double, 4>{9, 9, 9, 9}));

    doc.GetRightSegments().Add(Segment(Point(0, 3.0), Point(60, 3.0, 0.5)));
    doc.GetRightSegments().Add(Segment(Point(60, 3.0), Point(100, 3.0)));
    record.Station = 80;
    EXPECT_EQ(doc.GetSectionWidths(record, QWIDFile::Cubic), 1);
    EXPECT_EQ(record.Right, (std::array<double, 4>{3.0, 2.5, 0.75, 0.5}));
    EXPECT_DOUBLE_EQ(record.Left[3], 4.396);  // k = 0.8: 3.5 + 3 x 0.64 - 2 x 0.512
    record.Station = 30;                      // searched again from the first segment; a middle width there
    EXPECT_EQ(doc.GetSectionWidths(record, QWIDFile::Linear), -1);
    EXPECT_EQ(doc.FindWidSegment(30, 0), &doc.GetRightSegments()[0]);

    record.Station = 150;
    record.Left = {7, 7, 7, 7};
    EXPECT_EQ(doc.GetSectionWidths(record, QWIDFile::Linear), 0);
    EXPECT_EQ(record.Left, (std::array<double, 4>{7, 7, 7, 7}));
    EXPECT_EQ(doc.FindWidSegment(150, 1), nullptr);
}

TEST_F(WidFileTest, RepairSortsEachSideByTheMiddleOfItsSegments) {
    QWIDFile doc;
    doc.GetRightSegments().Add(Segment(Point(100, 1, 0, "b"), Point(200, 1)));
    doc.GetRightSegments().Add(Segment(Point(0, 1, 0, "a"), Point(100, 1)));
    doc.GetRightSegments().Add(Segment(Point(0, 1, 0, "c"), Point(100.0005, 1)));  // same middle as "a"
    doc.GetLeftSegments().Add(Segment(Point(0, 1), Point(10, 1)));
    EXPECT_TRUE(doc.NeedsRepair());
    EXPECT_TRUE(doc.Repair());
    EXPECT_EQ(doc.GetRightSegments()[0].Begin.Label, "a");
    EXPECT_EQ(doc.GetRightSegments()[1].Begin.Label, "c");
    EXPECT_EQ(doc.GetRightSegments()[2].Begin.Label, "b");
    EXPECT_FALSE(doc.NeedsRepair());
    EXPECT_FALSE(doc.Repair());
}

}  // namespace
}  // namespace qdat
