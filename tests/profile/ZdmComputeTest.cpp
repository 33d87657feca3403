// Vertical profile computation: Recalculate, design elevations and grades,
// steps, both ends, and the independence of every lookup from the cache.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <chrono>
#include <cmath>
#include <random>
#include <utility>
#include <vector>

#include <qdat/profile/QZdmFile.h>
#include "support/TestSupport.h"

namespace qdat {
namespace {

constexpr double kNo = -9999.0;

struct PointSpec {
    double station;
    double elevation;
    double radius = 0.0;
    double stepStation = 0.0;
    double stepHeight = 0.0;
};

std::int32_t Build(QZdmFile& doc, const std::vector<PointSpec>& specs) {
    auto& points = doc.GetGradePointArray();
    points.RemoveAll();
    points.SetSize(static_cast<int>(specs.size()));
    for (int i = 0; i < points.GetSize(); ++i) {
        const PointSpec& s = specs[static_cast<std::size_t>(i)];
        points[i].Station = s.station;
        points[i].Elevation = s.elevation;
        points[i].Radius = s.radius;
        points[i].StepStation = s.stepStation;
        points[i].StepHeight = s.stepHeight;
    }
    return doc.Recalculate();
}

const GradePoint& Point(QZdmFile& doc, int i) {
    return doc.GetGradePointArray()[i];
}

// Grades +0.02 in and -0.01 out at 1000.
std::vector<PointSpec> CrestProfile(double radius) {
    return {{0, 100}, {1000, 120, radius}, {2000, 110}};
}

TEST(ZdmRecalculate, RadiusGivesTangentAndExternal) {
    QZdmFile doc;
    EXPECT_EQ(Build(doc, CrestProfile(2000)), 0);
    const GradePoint& p = Point(doc, 1);
    EXPECT_DOUBLE_EQ(p.GradeIn, 0.02);
    EXPECT_DOUBLE_EQ(p.GradeOut, -0.01);
    EXPECT_DOUBLE_EQ(p.GradeChange, 0.03);
    EXPECT_NEAR(p.TangentLength, 30.0, 1e-12);
    EXPECT_NEAR(p.ExternalDistance, 0.225, 1e-12);
    EXPECT_NEAR(p.CurveStart.GetValue(), 970.0, 1e-12);
    EXPECT_NEAR(p.CurveEnd.GetValue(), 1030.0, 1e-12);
    // Crest: the curve passes below the grade change point.
    EXPECT_NEAR(doc.GetDesignElevation(1000.0), 120.0 - 0.225, 1e-12);
    // First point: GradeIn 0 and no curve; last point: GradeOut and change 0.
    EXPECT_EQ(Point(doc, 0).GradeIn, 0.0);
    EXPECT_EQ(Point(doc, 2).GradeOut, 0.0);
    EXPECT_EQ(Point(doc, 2).GradeChange, 0.0);
}

TEST(ZdmRecalculate, TangentOrExternalTurnsIntoRadius) {
    QZdmFile doc;
    Build(doc, CrestProfile(0));
    GradePoint& p = doc.GetGradePointArray()[1];
    p.CurveInput = GradePoint::ExternalInput;
    p.ExternalDistance = 0.225;
    EXPECT_EQ(doc.Recalculate(), 0);
    EXPECT_NEAR(p.Radius, 2000.0, 1e-9);
    EXPECT_NEAR(p.TangentLength, 30.0, 1e-12);

    p.CurveInput = GradePoint::TangentInput;
    p.Radius = 0;
    p.ExternalDistance = 0;
    p.TangentLength = 30.0;
    EXPECT_EQ(doc.Recalculate(), 0);
    EXPECT_NEAR(p.Radius, 2000.0, 1e-9);
    EXPECT_NEAR(p.ExternalDistance, 0.225, 1e-12);
}

TEST(ZdmRecalculate, EndsNeverCarryCurves) {
    QZdmFile doc;
    EXPECT_EQ(Build(doc, {{0, 100, 500}, {100, 101, 800}}), 1);
    EXPECT_EQ(Point(doc, 0).Radius, 0.0);
    EXPECT_EQ(Point(doc, 1).Radius, 0.0);
    EXPECT_EQ(Point(doc, 0).CurveEnd.GetValue(), 0.0);

    // An entered tangent length at an end is cleared the same way.
    Build(doc, CrestProfile(0));
    doc.GetGradePointArray()[0].CurveInput = GradePoint::TangentInput;
    doc.GetGradePointArray()[0].TangentLength = 20;
    EXPECT_EQ(doc.Recalculate(), 1);
    EXPECT_EQ(Point(doc, 0).TangentLength, 0.0);
    EXPECT_EQ(Point(doc, 0).Radius, 0.0);
    EXPECT_EQ(doc.GetDesignElevation(0.0), 100.0);
}

TEST(ZdmRecalculate, OverlapAndUnknownInputCodes) {
    // +0.02 into 1000, -0.01 to 1100, +0.01 after: curves at 1000 and 1100.
    auto overlap = [](double secondTangent) {
        QZdmFile doc;
        Build(doc, {{0, 0}, {1000, 20}, {1100, 19}, {2100, 29}});
        auto& pts = doc.GetGradePointArray();
        pts[1].CurveInput = pts[2].CurveInput = GradePoint::TangentInput;
        pts[1].TangentLength = 50.0;
        pts[2].TangentLength = secondTangent;
        return doc.Recalculate();
    };
    EXPECT_EQ(overlap(50.0), 0);
    EXPECT_EQ(overlap(50.0015), 0);
    EXPECT_EQ(overlap(50.003), 3);

    QZdmFile doc;
    Build(doc, CrestProfile(2000));
    doc.GetGradePointArray()[1].CurveInput = 7;
    EXPECT_EQ(doc.Recalculate(), 2);
    EXPECT_EQ(Point(doc, 1).Radius, 2000.0);  // left for the host to correct
    EXPECT_TRUE(std::isfinite(doc.GetDesignElevation(990.0)));
}

// A point whose curve input is unknown, or whose curve quantity is negative,
// has no curve anywhere: neither the stale external distance at the point nor
// a curve whose end lies before its start.
TEST(ZdmRecalculate, UnknownInputAndNegativeCurvesBuildNoCurve) {
    // Grades +0.02 in and -0.01 out at 1000 (elevation 120): on the tangents
    // 119.8 at 990 and 119.9 at 1010; the mean grade 0.005 at the point.
    auto expectNoCurve = [](QZdmFile& doc) {
        const GradePoint& p = Point(doc, 1);
        EXPECT_EQ(p.CurveStart.GetValue(), 1000.0);
        EXPECT_EQ(p.CurveEnd.GetValue(), 1000.0);
        EXPECT_EQ(doc.GetDesignElevation(1000.0), 120.0);
        EXPECT_NEAR(doc.GetDesignElevation(990.0), 119.8, 1e-12);
        EXPECT_NEAR(doc.GetDesignElevation(1010.0), 119.9, 1e-12);
        EXPECT_NEAR(doc.GetDesignGrade(1000.0), 0.005, 1e-15);
        EXPECT_NEAR(doc.GetDesignGrade(990.0), 0.02, 1e-15);
    };
    QZdmFile doc;
    Build(doc, CrestProfile(2000));
    doc.GetGradePointArray()[1].CurveInput = 7;
    EXPECT_EQ(doc.Recalculate(), QZdmFile::RecalcUnknownCurveInput);
    EXPECT_EQ(Point(doc, 1).ExternalDistance, 0.225);  // stale, left for the host
    expectNoCurve(doc);

    EXPECT_EQ(Build(doc, CrestProfile(-2000)), QZdmFile::RecalcNegativeCurve);
    EXPECT_EQ(Point(doc, 1).Radius, -2000.0);  // the entry stays for the host to correct
    expectNoCurve(doc);
    for (int input : {GradePoint::TangentInput, GradePoint::ExternalInput}) {
        Build(doc, CrestProfile(0));
        GradePoint& p = doc.GetGradePointArray()[1];
        p.CurveInput = input;
        p.TangentLength = -30.0;
        p.ExternalDistance = -0.225;
        EXPECT_EQ(doc.Recalculate(), QZdmFile::RecalcNegativeCurve) << input;
        EXPECT_EQ(Point(doc, 1).Radius, 0.0);
        expectNoCurve(doc);
    }
    // A radius whose curve overflows (T = 0.015 R, E = T^2 / 2R beyond any
    // double) builds no curve either, and stays as entered: the file keeps it.
    Build(doc, CrestProfile(1e307));
    EXPECT_EQ(Point(doc, 1).Radius, 1e307);
    EXPECT_EQ(Point(doc, 1).TangentLength, 0.0);
    expectNoCurve(doc);
}

TEST(ZdmRecalculate, NoCurveWhereGradesDoNotChange) {
    // Three points on one straight grade: an entered tangent length or
    // external distance cannot make a curve there.
    for (int input : {GradePoint::TangentInput, GradePoint::ExternalInput}) {
        QZdmFile doc;
        Build(doc, {{0, 100}, {100, 101}, {200, 102}});
        GradePoint& p = doc.GetGradePointArray()[1];
        p.CurveInput = input;
        p.TangentLength = 25;
        p.ExternalDistance = 0.1;
        doc.Recalculate();
        EXPECT_EQ(p.Radius, 0.0);
        EXPECT_EQ(p.TangentLength, 0.0);
        EXPECT_EQ(p.ExternalDistance, 0.0);
        EXPECT_EQ(p.CurveStart.GetValue(), 100.0);
        EXPECT_NEAR(doc.GetDesignElevation(150.0), 101.5, 1e-12);
        EXPECT_NEAR(doc.GetDesignGrade(100.0), 0.01, 1e-15);
    }
}

TEST(ZdmRecalculate, PointsAtOneStationGiveNoInfiniteGrade) {
    QZdmFile doc;
    Build(doc, {{0, 100}, {100, 101}, {100, 103}, {200, 104}});
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(std::isfinite(Point(doc, i).GradeIn));
        EXPECT_TRUE(std::isfinite(Point(doc, i).GradeOut));
    }
    for (double s = -10; s < 210; s += 0.5) {
        EXPECT_TRUE(std::isfinite(doc.GetDesignElevation(s))) << s;
        EXPECT_TRUE(std::isfinite(doc.GetDesignGrade(s))) << s;
    }
}

TEST(ZdmLookup, GradeAtInnerPointWithoutCurveIsTheMean) {
    QZdmFile doc;
    Build(doc, CrestProfile(0));
    EXPECT_NEAR(doc.GetDesignGrade(1000.0), 0.005, 1e-15);
    // With a curve the grade at the point is the same mean.
    Build(doc, CrestProfile(2000));
    EXPECT_NEAR(doc.GetDesignGrade(1000.0), 0.005, 1e-15);
}

TEST(ZdmLookup, StepSegment) {
    QZdmFile doc;
    Build(doc, {{1000, 100, 0, 1050, 0.5}, {1100, 101.5}});
    EXPECT_NEAR(Point(doc, 0).GradeOut, 0.01, 1e-15);
    EXPECT_NEAR(doc.GetDesignElevation(1040.0), 100.4, 1e-12);
    EXPECT_NEAR(doc.GetDesignElevation(1060.0), 101.1, 1e-12);
    EXPECT_NEAR(doc.GetDesignElevation(1050.0), 100.5, 1e-12);  // at the step: still below it
    EXPECT_NEAR(doc.GetDesignGrade(1060.0), 0.01, 1e-15);

    EXPECT_EQ(doc.GetNextStepStation(1000.0).GetValue(), 1050.0);
    EXPECT_EQ(doc.GetNextStepStation(0.0).GetValue(), 1050.0);
    EXPECT_EQ(doc.GetNextStepStation(1050.0).GetValue(), DBL_MAX);
    EXPECT_EQ(doc.GetNextStepStation(1200.0).GetValue(), DBL_MAX);

    // A step station without a height is no step.
    doc.GetGradePointArray()[0].StepHeight = 0;
    doc.Recalculate();
    EXPECT_EQ(doc.GetNextStepStation(1000.0).GetValue(), DBL_MAX);
}

TEST(ZdmLookup, NoStepsGiveLargestStation) {
    QZdmFile doc;
    EXPECT_EQ(doc.GetNextStepStation(5.0).GetValue(), DBL_MAX);
    Build(doc, CrestProfile(2000));
    EXPECT_EQ(doc.GetNextStepStation(500.0).GetValue(), DBL_MAX);
    // Points without a step keep station 0 there, which is no step even
    // when asked from a negative station.
    EXPECT_EQ(doc.GetNextStepStation(-50.0).GetValue(), DBL_MAX);
}

TEST(ZdmLookup, BothEnds) {
    QZdmFile doc;
    Build(doc, CrestProfile(2000));
    EXPECT_NEAR(doc.GetDesignGrade(2000.0005), -0.01, 1e-15);
    EXPECT_EQ(doc.GetDesignGrade(2000.0025), kNo);
    EXPECT_EQ(doc.GetDesignElevation(2000.0025), 110.0);
    EXPECT_EQ(doc.GetDesignElevation(5000.0), 110.0);
    EXPECT_EQ(doc.GetDesignGrade(-0.0025), kNo);
    EXPECT_NEAR(doc.GetDesignGrade(-0.0005), 0.02, 1e-15);

    // Before the first point: the first point's elevation, whatever the cache.
    QZdmFile fresh;
    Build(fresh, CrestProfile(2000));
    EXPECT_EQ(fresh.GetDesignElevation(-10.0), 100.0);
    EXPECT_EQ(fresh.FindSegment(-10.0), 0);
    EXPECT_EQ(doc.FindSegment(0.0), 0);
    ASSERT_EQ(doc.GetLastSegment(), 0);
    EXPECT_EQ(doc.FindSegment(-10.0), 0);
    EXPECT_EQ(doc.GetDesignElevation(-10.0), 100.0);
    EXPECT_EQ(doc.FindSegment(2500.0), -1);
    // A walk past the end keeps n, which the next call starts afresh from.
    EXPECT_EQ(doc.GetLastSegment(), 3);
    EXPECT_EQ(doc.FindSegment(1500.0), 2);
    EXPECT_EQ(doc.GetLastSegment(), 2);

    EXPECT_TRUE(doc.IsStationInRange(0.0));
    EXPECT_TRUE(doc.IsStationInRange(2000.0009));
    EXPECT_FALSE(doc.IsStationInRange(2000.001));
    EXPECT_FALSE(doc.IsStationInRange(-0.001));
    EXPECT_EQ(doc.GetStartStation().GetValue(), 0.0);
    EXPECT_EQ(doc.GetEndStation().GetValue(), 2000.0);

    QZdmFile empty;
    EXPECT_EQ(empty.GetDesignElevation(1.0), kNo);
    EXPECT_EQ(empty.GetDesignGrade(1.0), kNo);
    EXPECT_EQ(empty.FindSegment(1.0), -1);
    EXPECT_FALSE(empty.IsStationInRange(0.0));
}

// The textbook vertical curve, written from its own definition: a parabola of
// length L = R |g2 - g1| centred on the grade change point, starting at
// x0 = S - L/2 on the incoming tangent:
//   z(x) = z0 + g1 (x - x0) + (g2 - g1) (x - x0)^2 / (2 L),  z'(x) = g1 + (g2 - g1) (x - x0) / L.
// A step of height h at station c shifts everything past c up by h; the grade
// line of its segment is drawn through the elevations less the steps before.
struct Textbook {
    std::vector<PointSpec> pts;
    std::vector<double> lowered;  // elevations less the steps before the point
    std::vector<double> grade;    // grade of segment i

    explicit Textbook(std::vector<PointSpec> p) : pts(std::move(p)) {
        double steps = 0;
        for (std::size_t i = 0; i < pts.size(); ++i) {
            lowered.push_back(pts[i].elevation - steps);
            if (pts[i].stepHeight != 0 && pts[i].stepStation != 0) steps += pts[i].stepHeight;
        }
        for (std::size_t i = 0; i + 1 < pts.size(); ++i)
            grade.push_back((lowered[i + 1] - lowered[i]) / (pts[i + 1].station - pts[i].station));
    }

    double StepsBefore(double x) const {
        double h = 0;
        for (const PointSpec& p : pts)
            if (p.stepHeight != 0 && p.stepStation != 0 && x > p.stepStation) h += p.stepHeight;
        return h;
    }

    // Elevation (first) and grade (second) at x inside the profile.
    std::pair<double, double> At(double x) const {
        for (std::size_t j = 1; j + 1 < pts.size(); ++j) {
            const double g1 = grade[j - 1], g2 = grade[j];
            const double len = pts[j].radius * std::fabs(g2 - g1);
            if (len > 0 && std::fabs(x - pts[j].station) < len / 2) {
                const double x0 = pts[j].station - len / 2;
                const double z0 = lowered[j] - g1 * len / 2;
                const double u = x - x0;
                return {z0 + g1 * u + (g2 - g1) * u * u / (2 * len) + StepsBefore(x),
                        g1 + (g2 - g1) * u / len};
            }
        }
        for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
            if (x >= pts[i].station && x <= pts[i + 1].station)
                return {lowered[i] + grade[i] * (x - pts[i].station) + StepsBefore(x), grade[i]};
        }
        ADD_FAILURE() << "station outside the profile: " << x;
        return {0, 0};
    }

    // Stations where the design changes its formula.
    std::vector<double> Breaks() const {
        std::vector<double> b;
        for (std::size_t j = 0; j < pts.size(); ++j) {
            b.push_back(pts[j].station);
            if (pts[j].stepStation != 0) b.push_back(pts[j].stepStation);
            if (j >= 1 && j + 1 < pts.size()) {
                const double half = pts[j].radius * std::fabs(grade[j] - grade[j - 1]) / 2;
                b.push_back(pts[j].station - half);
                b.push_back(pts[j].station + half);
            }
        }
        return b;
    }
};

TEST(ZdmLookup, MatchesTextbookParabola) {
    // Crest at 300, sag at 700, crest at 1000, a plain kink at 1300; a step
    // inside the start half of the first curve, one inside the end half of
    // the sag curve and one on a tangent.
    const std::vector<PointSpec> spec = {
        {0, 100, 0, 280, -0.2},        {300, 106, 3000}, {700, 100, 2500, 720, 0.3},
        {1000, 106, 4000, 1200, 0.15}, {1300, 103.15},   {1500, 103.15},
    };
    QZdmFile doc;
    ASSERT_EQ(Build(doc, spec), 0);
    const Textbook book(spec);
    const std::vector<double> breaks = book.Breaks();

    int checked = 0;
    for (double x = -19.93; x < 1520; x += 0.37) {
        const double z = doc.GetDesignElevation(x);
        const double g = doc.GetDesignGrade(x);
        if (x < 0) {
            EXPECT_EQ(z, 100.0) << x;
            EXPECT_EQ(g, x <= -0.002 ? kNo : 0.0) << x;
            continue;
        }
        if (x > 1500) {
            EXPECT_EQ(z, 103.15) << x;
            continue;
        }
        // A station within the tolerance of a point is answered at the point.
        const bool nearBreak =
            std::any_of(breaks.begin(), breaks.end(), [x](double b) { return std::fabs(x - b) < 0.002; });
        if (nearBreak) continue;
        const auto [tz, tg] = book.At(x);
        EXPECT_NEAR(z, tz, 1e-9) << "elevation at " << x;
        EXPECT_NEAR(g, tg, 1e-12) << "grade at " << x;
        ++checked;
    }
    EXPECT_GT(checked, 4000);

    // At the grade change points: the middle of the curve, E off the point.
    const double g01 = (106 - 100 + 0.2) / 300.0, g12 = (100 - 106) / 400.0;
    const double e1 = 3000 * (g01 - g12) * (g01 - g12) / 8;
    EXPECT_NEAR(doc.GetDesignElevation(300.0), 106 - e1, 1e-9);  // crest: below
    const double g23 = (106 - 100 - 0.3) / 300.0;
    const double e2 = 2500 * (g23 - g12) * (g23 - g12) / 8;
    EXPECT_NEAR(doc.GetDesignElevation(700.0), 100 + e2, 1e-9);  // sag: above
    EXPECT_NEAR(doc.GetDesignGrade(700.0), (g12 + g23) / 2, 1e-12);
    EXPECT_NEAR(doc.GetDesignElevation(1300.0), 103.15, 1e-12);  // kink without curve
    EXPECT_NEAR(doc.GetDesignGrade(1300.0), ((103.15 - 106 - 0.15) / 300.0 + 0) / 2, 1e-12);
    EXPECT_EQ(doc.GetDesignElevation(0.0), 100.0);
    EXPECT_NEAR(doc.GetDesignGrade(0.0), g01, 1e-15);
    EXPECT_EQ(doc.GetDesignElevation(1500.0), 103.15);
    EXPECT_EQ(doc.GetDesignGrade(1500.0), 0.0);
}

// A long profile with curves and steps, and queries that include the points
// themselves, stations within the tolerance of them and both ends.
struct LongProfile {
    QZdmFile doc;
    std::vector<double> queries;

    explicit LongProfile(bool shuffled) {
        std::mt19937 rng(12345);
        std::uniform_real_distribution<double> gap(20.0, 200.0), rise(-3.0, 3.0), radius(500.0, 8000.0);
        std::vector<PointSpec> spec;
        double s = 100, z = 50;
        for (int i = 0; i < 300; ++i) {
            PointSpec p{s, z};
            if (i > 0 && i % 4 == 0) p.radius = radius(rng);
            const double next = gap(rng);
            if (i % 11 == 5) {
                p.stepStation = s + next / 2;
                p.stepHeight = 0.25;
            }
            spec.push_back(p);
            s += next;
            z += rise(rng);
        }
        if (shuffled) {
            // Out of order and never repaired: the lookups must still agree.
            std::shuffle(spec.begin() + 100, spec.begin() + 140, rng);
        }
        Build(doc, spec);
        std::uniform_real_distribution<double> anywhere(0.0, s + 100.0);
        for (int i = 0; i < 3000; ++i) queries.push_back(anywhere(rng));
        for (const PointSpec& p : spec) {
            queries.push_back(p.station);
            queries.push_back(p.station - 0.0007);
            queries.push_back(p.station + 0.0004);
            queries.push_back(p.station - 0.0013);
        }
        queries.push_back(-5.0);
        queries.push_back(99.9985);
        queries.push_back(99.9995);
    }
};

struct Answers {
    int segment;
    double elevation, grade, nextStep;
    bool operator==(const Answers&) const = default;
};

Answers Ask(QZdmFile& doc, double s) {
    return {doc.FindSegment(s), doc.GetDesignElevation(s), doc.GetDesignGrade(s),
            doc.GetNextStepStation(s).GetValue()};
}

void ExpectCacheIndependent(bool shuffled) {
    LongProfile lp(shuffled);
    QZdmFile& doc = lp.doc;
    const auto& pts = doc.GetGradePointArray();
    const int n = doc.GetPointCount();
    const double tol = GetStationTolerance();

    // First answers: each query after a jump to the far end, so that the
    // cache never helps.
    std::vector<Answers> first;
    for (double s : lp.queries) {
        doc.FindSegment(1e9);
        first.push_back(Ask(doc, s));
        // FindSegment's definition, walked from the start.
        int k = 0;
        while (k < n && !(s < pts[k].Station.GetValue() + tol)) ++k;
        EXPECT_EQ(first.back().segment, k == n ? -1 : k) << s;
    }

    std::vector<std::size_t> order(lp.queries.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    // Station order, then random order, then each query twice in a row.
    std::sort(order.begin(), order.end(), [&](auto a, auto b) { return lp.queries[a] < lp.queries[b]; });
    for (std::size_t i : order) EXPECT_EQ(Ask(doc, lp.queries[i]), first[i]) << lp.queries[i];
    std::shuffle(order.begin(), order.end(), std::mt19937(7));
    for (std::size_t i : order) {
        EXPECT_EQ(Ask(doc, lp.queries[i]), first[i]) << lp.queries[i];
        EXPECT_EQ(Ask(doc, lp.queries[i]), first[i]) << lp.queries[i];
    }
    // Reverse station order.
    std::sort(order.begin(), order.end(), [&](auto a, auto b) { return lp.queries[a] > lp.queries[b]; });
    for (std::size_t i : order) EXPECT_EQ(Ask(doc, lp.queries[i]), first[i]) << lp.queries[i];
    for (const Answers& a : first) {
        EXPECT_TRUE(std::isfinite(a.elevation));
        EXPECT_TRUE(std::isfinite(a.grade));
    }
}

TEST(ZdmLookup, CacheNeverChangesAnAnswer) {
    ExpectCacheIndependent(false);
}

TEST(ZdmLookup, CacheNeverChangesAnAnswerOutOfOrder) {
    ExpectCacheIndependent(true);
}

// Points handed out for writing between lookups, one at a time or several:
// the lookups follow every edit, and an access that changes nothing costs
// them nothing.
TEST(ZdmLookup, AccessBetweenLookupsKeepsAnswersAndSpeed) {
    LongProfile lp(false);
    QZdmFile& doc = lp.doc;
    const int n = doc.GetPointCount();
    const double tol = GetStationTolerance();
    const auto walk = [&](double s) {
        const auto& pts = std::as_const(doc).GetGradePointArray();
        for (int k = 0; k < n; ++k)
            if (s < pts[k].Station.GetValue() + tol) return k;
        return -1;
    };
    std::mt19937 random(99);
    for (int round = 0; round < 3000; ++round) {
        const int i = static_cast<int>(random() % static_cast<unsigned>(n));
        auto& pts = doc.GetGradePointArray();
        // Moves a point out of order and back, or leaves it where it is.
        const double moves[] = {0.0, 5000.0, -5000.0};
        pts[i].Station = pts[i].Station.GetValue() + moves[random() % 3];
        if (random() % 4 == 0) pts[(i + 7) % n].Station = pts[(i + 7) % n].Station.GetValue();
        for (int q = 0; q < 3; ++q) {
            const double s = lp.queries[random() % lp.queries.size()];
            ASSERT_EQ(doc.FindSegment(s), walk(s)) << "round " << round << " station " << s;
        }
    }

    // 200,000 points; each lookup after a non-const access to the array and
    // a point read through it, against the same lookups without them.
    std::vector<PointSpec> many;
    for (int i = 0; i < 200000; ++i) many.push_back({i * 10.0, i * 0.1});
    Build(doc, many);
    const auto time = [&](bool access) {
        const auto start = std::chrono::steady_clock::now();
        double sum = 0.0;
        for (int i = 0; i < 2000; ++i) {
            if (access) sum += doc.GetGradePointArray()[i].Elevation;
            sum += doc.GetDesignElevation(i * 997.0);
        }
        EXPECT_TRUE(std::isfinite(sum));
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    const double bare = time(false);
    EXPECT_LT(time(true), 10.0 * bare + 0.005);
}

TEST(ZdmRepair, SortsStablyAndRecalculates) {
    QZdmFile doc;
    Build(doc, {{300, 3}, {100, 1}, {200, 2}, {100.0004, 9}, {0, 0}});
    EXPECT_TRUE(doc.NeedsRepair());
    EXPECT_TRUE(doc.Repair());
    EXPECT_FALSE(doc.NeedsRepair());
    const auto& pts = doc.GetGradePointArray();
    const std::vector<double> elevations = {0, 1, 9, 2, 3};  // equal stations keep their order
    for (int i = 0; i < 5; ++i) EXPECT_EQ(pts[i].Elevation, elevations[i]) << i;
    EXPECT_NEAR(pts[0].GradeOut, 0.01, 1e-15);
    EXPECT_NEAR(doc.GetDesignElevation(250.0), 2.5, 1e-12);

    // A long reversed profile sorts quickly.
    std::vector<PointSpec> many;
    for (int i = 200000; i > 0; --i) many.push_back({i * 1.0, i * 0.5});
    Build(doc, many);
    EXPECT_TRUE(doc.NeedsRepair());
    doc.Repair();
    EXPECT_FALSE(doc.NeedsRepair());
    EXPECT_EQ(doc.GetGradePointArray()[0].Station.GetValue(), 1.0);
    EXPECT_NEAR(doc.GetDesignElevation(1234.5), 617.25, 1e-9);
}

TEST(ZdmRepair, GivesTheBubbleSortOrderAlsoInChainsWithinTheTolerance) {
    for (unsigned round = 0; round < 400; ++round) {
        const std::vector<double> stations = test::ClusteredStations(round);
        QZdmFile doc;
        auto& pts = doc.GetGradePointArray();
        pts.SetSize(static_cast<int>(stations.size()));
        for (int i = 0; i < pts.GetSize(); ++i) {
            pts[i].Station = stations[static_cast<std::size_t>(i)];
            pts[i].Elevation = i;
        }
        doc.Repair();
        const std::vector<int> expected = test::BubbleSortOrder(stations);
        for (std::size_t i = 0; i < expected.size(); ++i)
            ASSERT_EQ(Point(doc, static_cast<int>(i)).Elevation, expected[i])
                << "round " << round << " point " << i;
    }
}

TEST(ZdmLookup, ClearingResetsTheCache) {
    QZdmFile doc;
    Build(doc, CrestProfile(2000));
    doc.FindSegment(1500.0);
    EXPECT_EQ(doc.GetLastSegment(), 2);
    doc.DeleteContents();
    EXPECT_EQ(doc.GetLastSegment(), -1);
    EXPECT_EQ(doc.GetPointCount(), 0);
}

}  // namespace
}  // namespace qdat
