// The superelevation evaluator: its field rules, the classification of row
// pairs, the library's linear evaluator on a road going from the crown into
// full superelevation and back, and an evaluator class of the host's.
#include <gtest/gtest.h>

#include <vector>

#include <qdat/section/LinearSupEvaluator.h>
#include <qdat/section/QSupFile.h>
#include <qdat/section/SupEvaluator.h>

namespace qdat {
namespace {

constexpr double X = SupRow::NoValue;

// Cells in the order a text line holds them: left outer, middle, inner,
// station, right inner, middle, outer.
struct Line {
    double lo, lm, li, station, ri, rm, ro;
};

SupRow RowOf(const Line& l) {
    SupRow r;
    r.Station = l.station;
    r.LeftOuter = l.lo;
    r.LeftMiddle = l.lm;
    r.LeftInner = l.li;
    r.RightInner = l.ri;
    r.RightMiddle = l.rm;
    r.RightOuter = l.ro;
    return r;
}

void Fill(QSupFile& doc, std::initializer_list<Line> lines) {
    for (const Line& l : lines) doc.AppendRow(RowOf(l));
}

void ExpectTable(const QSupFile& doc, std::initializer_list<Line> lines) {
    ASSERT_EQ(doc.GetRowCount(), static_cast<int>(lines.size()));
    int i = 0;
    for (const Line& l : lines) {
        const SupRow& r = *doc.GetRow(i++);
        const SupRow want = RowOf(l);
        EXPECT_NEAR(r.Station.GetValue(), l.station, 1e-9) << "row " << i - 1;
        for (int c = 1; c <= 6; ++c)
            EXPECT_NEAR(*r.Cell(c), *want.Cell(c), 1e-9) << "row " << i - 1 << " column " << c;
    }
}

// The fields of the body, for the rules that do not need a table.
class Probe : public SupEvaluator {
public:
    using SupEvaluator::Body;
};

class LeaveNoSelection : public ::testing::Test {
protected:
    ~LeaveNoSelection() override { SupEvaluator::SelectEvaluatorClassByName(nullptr); }
};

TEST(SupEvaluator, ResultRulesHoldTheirTolerances) {
    Probe e;
    e.Body().PrevValue = 2;
    e.Body().NextValue = 4;
    e.Body().Mode = 3;
    EXPECT_TRUE(e.SetResultValue(4.0005));
    EXPECT_EQ(e.GetResultValueOf(3), 4.0005);
    EXPECT_FALSE(e.SetResultValue(4.002));
    EXPECT_FALSE(e.SetResultValue(1.998));
    EXPECT_EQ(e.GetResultValue(), 4.0005);

    e.Body().PrevStation = 100;
    e.Body().NextStation = 200;
    e.Body().Mode = SupEvaluator::kFromRowA | SupEvaluator::kOutside;
    EXPECT_TRUE(e.SetResultStation(99.5));
    EXPECT_FALSE(e.SetResultStation(150));
    EXPECT_FALSE(e.SetResultStation(201));
    e.Body().Mode = SupEvaluator::kOutside;
    EXPECT_FALSE(e.SetResultStation(150));
    EXPECT_TRUE(e.SetResultStation(201));
    e.Body().Mode = SupEvaluator::kFromRowA;
    EXPECT_FALSE(e.SetResultStation(100));  // strictly between the rows
    EXPECT_TRUE(e.SetResultStation(150));
    EXPECT_EQ(e.GetResultStation(), 150.0);

    // Copies of a handle share the body.
    SupEvaluator copy = e;
    copy.Attach(nullptr);
    EXPECT_EQ(e.GetRow(), -1);
}

TEST(SupEvaluator, TheBaseClassComputesNothing) {
    QSupFile doc;
    Fill(doc, {{-2, -2, -2, 0, -2, -2, -2}, {4, 4, 4, 100, -4, -4, -4}});
    SupEvaluator base;
    base.Attach(&doc);
    EXPECT_FALSE(base.Evaluate(50));
    EXPECT_FALSE(base.CalculateTransition(0));
    EXPECT_EQ(doc.GetRowCount(), 2);
}

TEST(SupEvaluator, ClassifiesRowPairsByTheirInnerCrossFalls) {
    constexpr std::uint32_t kCaseBits = SupEvaluator::kRightReference | SupEvaluator::kEndsInCrown |
                                        SupEvaluator::kSameSide | SupEvaluator::kReverses |
                                        SupEvaluator::kNoReference;
    const struct {
        double l0, r0, l1, r1;
        std::uint32_t bits;
    } cases[] = {
        {-2, -2, -2, 3, 0x200}, {2, -2, -2, 2, 0x1000}, {-2, 2, -2, -2, 0x600},   {-2, -2, 4, -4, 0},
        {4, -4, -2, -2, 0x400}, {4, -4, 6, -6, 0x800},  {-2, -2, -2, -2, 0x2000}, {2, 2, -2, -2, 0x2000},
    };
    for (const auto& c : cases) {
        QSupFile doc;
        Fill(doc, {{c.l0, c.l0, c.l0, 0, c.r0, c.r0, c.r0}, {c.l1, c.l1, c.l1, 100, c.r1, c.r1, c.r1}});
        SupEvaluator e;
        e.Attach(&doc);
        e.CalculateTransition(0);
        EXPECT_EQ(e.GetMode() & kCaseBits, c.bits) << c.l0 << " " << c.r0 << " " << c.l1 << " " << c.r1;
    }

    // The last row, and a pair with a cell without value, have no transition.
    QSupFile doc;
    Fill(doc, {{-2, -2, -2, 0, -2, -2, -2}, {4, 4, 4, 100, -4, -4, X}, {4, 4, 4, 200, -4, -4, -4}});
    LinearSupEvaluator e;
    e.Attach(&doc);
    EXPECT_FALSE(e.CalculateTransition(0));
    EXPECT_FALSE(e.CalculateTransition(2));
    EXPECT_FALSE(e.CalculateTransition(-1));
    EXPECT_EQ(doc.GetRowCount(), 3);
}

// A road in the crown at -2 % (shoulders -3 %) turns into full superelevation
// (+4 % left, -4 % right) from 100 to 160, holds it to 300 and turns back by
// 360. The left inner value is the reference, turning by 6 % in 60 m.
TEST(LinearSupEvaluator, EvaluatesAndInsertsTheTransitionsOfACurve) {
    QSupFile doc;
    Fill(doc, {{-3, -2, -2, 0, -2, -2, -3},
               {-3, -2, -2, 100, -2, -2, -3},
               {4, 4, 4, 160, -4, -4, -4},
               {4, 4, 4, 300, -4, -4, -4},
               {-3, -2, -2, 360, -2, -2, -3},
               {-3, -2, -2, 500, -2, -2, -3}});
    LinearSupEvaluator e;
    e.Attach(&doc);
    // Straight lines between the rows.
    ASSERT_TRUE(e.Evaluate(130));
    SupRow r = e.GetResultRow();
    EXPECT_DOUBLE_EQ(r.LeftInner, 1.0);    // -2 + 6 x 30/60
    EXPECT_DOUBLE_EQ(r.RightInner, -3.0);  // -2 - 2 x 30/60
    EXPECT_DOUBLE_EQ(r.LeftOuter, 0.5);    // -3 + 7 x 30/60
    ASSERT_TRUE(e.Evaluate(345));
    r = e.GetResultRow();
    EXPECT_DOUBLE_EQ(r.LeftInner, -0.5);    // 4 - 6 x 45/60
    EXPECT_DOUBLE_EQ(r.RightOuter, -3.25);  // -4 + 1 x 45/60
    EXPECT_FALSE(e.Evaluate(-1));
    EXPECT_FALSE(e.Evaluate(500.5));

    // Into the curve. Before 100 the left shoulder turns from -3 to the
    // lane's -2 at the lane's rate (1 % in 10 m): from 90. The right lane
    // keeps -2 until the left one reaches +2 (t = 4/6, at 140) and the right
    // shoulder keeps -3 until the left lane reaches +3 (t = 5/6, at 150).
    doc.SetCurrentRow(1);
    ASSERT_TRUE(doc.RunTransitionTool());
    ExpectTable(doc, {{-3, -2, -2, 0, -2, -2, -3},
                      {-3, X, X, 90, X, X, X},
                      {-2, -2, -2, 100, -2, -2, -3},
                      {X, X, X, 140, -2, -2, X},
                      {X, X, X, 150, X, X, -3},
                      {4, 4, 4, 160, -4, -4, -4},
                      {4, 4, 4, 300, -4, -4, -4},
                      {-3, -2, -2, 360, -2, -2, -3},
                      {-3, -2, -2, 500, -2, -2, -3}});

    // Out of it, the same the other way round: the right shoulder reaches -3
    // at 310, the right lane -2 at 320, the left shoulder leaves the lane's -2
    // after 360 and is back at -3 by 370.
    doc.SetCurrentRow(6);
    ASSERT_TRUE(doc.RunTransitionTool());
    ExpectTable(doc, {{-3, -2, -2, 0, -2, -2, -3},
                      {-3, X, X, 90, X, X, X},
                      {-2, -2, -2, 100, -2, -2, -3},
                      {X, X, X, 140, -2, -2, X},
                      {X, X, X, 150, X, X, -3},
                      {4, 4, 4, 160, -4, -4, -4},
                      {4, 4, 4, 300, -4, -4, -4},
                      {X, X, X, 310, X, X, -3},
                      {X, X, X, 320, -2, -2, X},
                      {-2, -2, -2, 360, -2, -2, -3},
                      {-3, X, X, 370, X, X, X},
                      {-3, -2, -2, 500, -2, -2, -3}});

    // Values inside the new runs: each column between its own valued rows.
    ASSERT_TRUE(e.Evaluate(95));
    EXPECT_DOUBLE_EQ(e.GetResultRow().LeftOuter, -2.5);
    ASSERT_TRUE(e.Evaluate(145));
    r = e.GetResultRow();
    EXPECT_DOUBLE_EQ(r.LeftInner, 2.5);    // 100 to 160: -2 + 6 x 45/60
    EXPECT_DOUBLE_EQ(r.RightInner, -2.5);  // 140 to 160: -2 - 2 x 5/20
    EXPECT_DOUBLE_EQ(r.RightOuter, -3.0);  // 100 to 150: -3 throughout
    EXPECT_DOUBLE_EQ(r.LeftOuter, 2.5);    // with the lane from 100
    ASSERT_TRUE(e.Evaluate(365));
    EXPECT_DOUBLE_EQ(e.GetResultRow().LeftOuter, -2.5);
}

// An evaluator of the host's: every column changes half-way between the rows.
class HalfwayEvaluator : public SupEvaluator {
public:
    bool ComputeStation() override {
        ++calls;
        return SetResultStation((GetPrevStation() + GetNextStation()) / 2);
    }
    static inline int calls = 0;
    static const RuntimeClass classRecord;
    const RuntimeClass& GetRuntimeClass() const override { return classRecord; }
};
const RuntimeClass HalfwayEvaluator::classRecord{"TestHalfwayEvaluator", &SupEvaluator::classRecord,
                                                 [] { return std::make_unique<HalfwayEvaluator>(); }};

class RecordingWindow : public TransitionToolWindow {
public:
    bool RunTransitionTool(QSupFile& doc, SupEvaluator& evaluator, int row) override {
        EXPECT_EQ(evaluator.GetDocument(), &doc);
        seen = evaluator.GetClassRecord().GetName();
        return evaluator.CalculateTransition(row);
    }
    std::string seen;
};

TEST_F(LeaveNoSelection, AHostClassIsSelectedByNameAndUsedByTheTool) {
    SupEvaluator::SelectEvaluatorClassByName(nullptr);
    ASSERT_EQ(SupEvaluator::GetEvaluatorTypeNumber(), 4096);
    EXPECT_STREQ(SupEvaluator::GetEvaluatorClassRecord().GetName(), "Velmor超高计算工具");
    const std::vector<const RuntimeClass*> classes = SupEvaluator::GetEvaluatorClasses();
    ASSERT_EQ(classes.size(), 2u);
    EXPECT_EQ(classes[0], &LinearSupEvaluator::classRecord);
    EXPECT_EQ(classes[1], &HalfwayEvaluator::classRecord);
    // Without a selection the first class by name.
    EXPECT_EQ(SupEvaluator::GetSelectedEvaluatorClass(), &LinearSupEvaluator::classRecord);

    EXPECT_EQ(SupEvaluator::SelectEvaluatorClassByName("TestHalfwayEvaluator"),
              &HalfwayEvaluator::classRecord);
    EXPECT_EQ(SupEvaluator::SelectEvaluatorClassByName("NoSuchEvaluator"), nullptr);
    EXPECT_EQ(SupEvaluator::SelectEvaluatorClassByName("QSupFile"), nullptr);
    EXPECT_EQ(SupEvaluator::SelectEvaluatorClass(&QSupFile::classRecord), nullptr);
    EXPECT_EQ(SupEvaluator::GetSelectedEvaluatorClass(), &HalfwayEvaluator::classRecord);

    QSupFile doc;
    Fill(doc, {{-2, -2, -2, 100, -2, -2, -2}, {4, 4, 4, 160, -4, -4, -4}});
    doc.SetCurrentRow(0);
    HalfwayEvaluator::calls = 0;
    ASSERT_TRUE(doc.RunTransitionTool());
    EXPECT_GT(HalfwayEvaluator::calls, 0);
    // The right side leaves its -2 of row k only at 130; every other event
    // of row k or k+1 is the reference's own value.
    ExpectTable(doc, {{-2, -2, -2, 100, -2, -2, -2}, {X, X, X, 130, -2, -2, -2}, {4, 4, 4, 160, -4, -4, -4}});

    // The host's window runs the tool with the evaluator of the selected class.
    RecordingWindow window;
    SetTransitionToolWindow(&window);
    EXPECT_EQ(SupEvaluator::SelectEvaluatorSubclass("LinearSupEvaluator", "NoSuchEvaluator"),
              &LinearSupEvaluator::classRecord);
    doc.SetCurrentRow(1);
    doc.RunTransitionTool();
    EXPECT_EQ(SetTransitionToolWindow(nullptr), &window);
    EXPECT_EQ(window.seen, "LinearSupEvaluator");
}

}  // namespace
}  // namespace qdat
