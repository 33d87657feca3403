// What the plan tests share: elements given by their radii and length, and a
// small alignment written as a plan element file for the tool's tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include <qdat/plan/PlanElement.h>
#include "support/TestSupport.h"

namespace qdat::test {

// An element from its radii (9999 for infinite) and its length along it.
inline PlanElement Element(double startRadius, double endRadius, double length, std::int32_t turn = 1) {
    PlanElement e;
    e.Turn = turn;
    e.StartRadius = startRadius;
    e.EndRadius = endRadius;
    e.LengthItem = -length;
    return e;
}

// North from (0, 0) for 100 m, a quarter circle of radius 100 to the right
// (centre (100, 100)), then east for 100 m. The derived fields are left at
// zero: the tool computes them before it answers.
inline constexpr char kHookPlan[] =
    "RADUDAR5.83_PM_SHUJU_PM\n"
    "3 Hook \"\" 0\n"
    "1 0 0 0 0 0\n"
    "1 0 -100 0 9999 9999 1\n0 0 0 0 0 0 0 0\n0 0 0 0\n"
    "1 0 -157.07963267948966 0 100 100 3\n0 0 0 0 0 0 0 0\n0 0 0 0\n"
    "1 0 -100 0 9999 9999 1\n0 0 0 0 0 0 0 0\n0 0 0 0\n"
    "0 0 0 0 0 1\n";

// A tool test with the hook alignment in `path`, in a folder of its own.
class HookPlanTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.Path("hook.pm");
        WriteFileBytes(path, kHookPlan);
    }
    TempDir dir;
    std::string path;
    std::string out, err;
};

}  // namespace qdat::test
