// qdat plan and qdat dump on plan element files, from the user's side.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <numbers>
#include <string>

#include "plan/PlanTestHelpers.h"
#include "support/TestSupport.h"

namespace qdat::test {
namespace {

constexpr double kPi = std::numbers::pi;

const std::string kPlan = kHookPlan;

class PlanTool : public HookPlanTest {};

TEST_F(PlanTool, JsonRowsAtStations) {
    const double middle = 100 + 25 * kPi;  // half-way round the quarter circle
    ASSERT_EQ(RunTool("plan " + path + " --at 50 " + std::to_string(middle) + " 400 --json", &out, &err), 0)
        << err;
    const nlohmann::json rows = nlohmann::json::parse(out);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0]["station"].get<double>(), 50.0);
    EXPECT_NEAR(rows[0]["x"].get<double>(), 50.0, 1e-9);
    EXPECT_NEAR(rows[0]["y"].get<double>(), 0.0, 1e-9);
    EXPECT_EQ(rows[0]["azimuth"].get<double>(), 0.0);
    EXPECT_EQ(rows[0]["radius"].get<double>(), 9999.0);
    EXPECT_NEAR(rows[1]["x"].get<double>(), 100 + 100 * std::sin(kPi / 4), 1e-5);
    EXPECT_NEAR(rows[1]["y"].get<double>(), 100 - 100 * std::cos(kPi / 4), 1e-5);
    EXPECT_NEAR(rows[1]["azimuth"].get<double>(), kPi / 4, 1e-6);
    EXPECT_EQ(rows[1]["radius"].get<double>(), 100.0);
    // Past the end there is no point at the station: it is said so.
    EXPECT_NE(err.find("station 400 lies beyond the end of the alignment"), std::string::npos) << err;
}

// Stations are read in every form the tool prints; stations beyond either
// end are told, and a run with none on the alignment fails. Under a break
// the continuous station has its station text beside it.
TEST_F(PlanTool, StationsAsPrintedAndBeyondTheEnds) {
    ASSERT_EQ(RunTool("plan " + path + " --at K0+050 0+050.000 --json", &out, &err), 0) << err;
    nlohmann::json rows = nlohmann::json::parse(out);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0]["station"].get<double>(), 50.0);
    EXPECT_EQ(rows[1]["station"].get<double>(), 50.0);

    EXPECT_EQ(RunTool("plan " + path + " --at -10 400", &out, &err), 1);
    EXPECT_NE(err.find("station -10 lies beyond the start"), std::string::npos) << err;
    EXPECT_NE(err.find("station 400 lies beyond the end"), std::string::npos) << err;
    EXPECT_EQ(RunTool("plan " + path + " --from 300 --to 500 --step 100 --csv", &out, &err), 0) << err;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 2) << out;

    // 120 along is stake 170 on chain B.
    ASSERT_EQ(RunTool("plan " + path + " --at B170 --break 100:150 --json", &out, &err), 0) << err;
    rows = nlohmann::json::parse(out);
    EXPECT_EQ(rows[0]["station"].get<double>(), 120.0);
    EXPECT_EQ(rows[0]["text"], "B170.000");
    ASSERT_EQ(RunTool("plan " + path + " --at KB0+170 --break 100:150", &out, &err), 0) << err;
    EXPECT_NE(out.find("continuous   station text"), std::string::npos) << out;
    EXPECT_NE(out.find("120.000       B170.000"), std::string::npos) << out;
}

// The azimuth shown is one full turn, whatever the library leaves it as: a
// left quarter circle from the azimuth 1 gives 1 + 2 pi - phi there.
TEST_F(PlanTool, AzimuthsAreShownWithinOneTurn) {
    const std::string left = dir.Path("left.pm");
    WriteFileBytes(left,
                   "RADUDAR5.83_PM_SHUJU_PM\n1 Left \"\" 0\n1 0 1 0 0 0\n"
                   "0 0 -100 0 100 100 3\n0 0 0 0 0 0 0 0\n0 0 0 0\n0 0 0 0 0 1\n");
    ASSERT_EQ(RunTool("plan " + left + " --at 50 --json", &out, &err), 0) << err;
    const nlohmann::json rows = nlohmann::json::parse(out);
    EXPECT_NEAR(rows[0]["azimuth"].get<double>(), 0.5, 1e-12);
    ASSERT_EQ(RunTool("plan " + left + " --at 50 --csv", &out, &err), 0) << err;
    EXPECT_NE(out.find(",28.6478897565"), std::string::npos) << out;
}

TEST_F(PlanTool, TableAndCsvGiveDegrees) {
    ASSERT_EQ(RunTool("plan " + path + " --at 50", &out, &err), 0) << err;
    EXPECT_EQ(out,
              "       station                x                y        azimuth       radius\n"
              "        50.000          50.0000           0.0000       0.000000     9999.000\n");
    // The range ends at its last station also when the step does not fit.
    ASSERT_EQ(RunTool("plan " + path + " --from 10 --to 47.5 --step 20 --csv", &out, &err), 0) << err;
    EXPECT_EQ(out, "station,x,y,azimuth,radius\n10,10,0,0,9999\n30,30,0,0,9999\n47.5,47.5,0,0,9999\n");
    // Past the end there is no point to give, only the header.
    EXPECT_EQ(RunTool("plan " + path + " --at 400 --csv", &out, &err), 1);
    EXPECT_EQ(out, "station,x,y,azimuth,radius\n");
}

TEST_F(PlanTool, ComputeSavesTheDerivedFieldsElsewhere) {
    const std::string computed = dir.Path("computed.pm");
    ASSERT_EQ(RunTool("plan " + path + " --compute -o " + computed, &out, &err), 0) << err;
    EXPECT_EQ(ReadFileBytes(path), kPlan);
    ASSERT_EQ(RunTool("dump " + computed + " --json", &out, &err), 0) << err;
    const nlohmann::json dump = nlohmann::json::parse(out);
    const nlohmann::json& elements = dump["content"]["elements"];
    ASSERT_EQ(elements.size(), 3u);
    EXPECT_EQ(dump["content"]["name"], "Hook");
    EXPECT_EQ(elements[1]["startX"].get<double>(), 100.0);
    EXPECT_NEAR(elements[1]["endX"].get<double>(), 200.0, 1e-8);
    EXPECT_NEAR(elements[1]["endY"].get<double>(), 100.0, 1e-8);
    EXPECT_NEAR(elements[1]["centreY"].get<double>(), 100.0, 1e-8);
    EXPECT_NEAR(elements[2]["endStation"].get<double>(), 357.07963268, 1e-8);
    EXPECT_TRUE(dump["content"]["endElements"].empty());

    // The input is never the output.
    EXPECT_NE(RunTool("plan " + path + " --compute -o " + path, &out, &err), 0);
    EXPECT_NE(err.find("input"), std::string::npos) << err;
    EXPECT_EQ(ReadFileBytes(path), kPlan);
}

// A value that is not a number never gets as far as the output: the file is
// refused naming it, and an element that cannot be computed to a number
// fails the computation, with nothing written.
TEST_F(PlanTool, NonFiniteNumbersFailTheCommand) {
    std::string withNan = kPlan;
    withNan.replace(withNan.find("-157.07963267948966"), 19, "nan");
    const std::string nanPlan = dir.Path("nan.pm");
    WriteFileBytes(nanPlan, withNan);
    EXPECT_NE(RunTool("plan " + nanPlan + " --at 50 --json", &out, &err), 0);
    EXPECT_EQ(out.find("null"), std::string::npos) << out;
    EXPECT_NE(err.find("\"nan\""), std::string::npos) << err;
    EXPECT_NE(err.find("line 7"), std::string::npos) << err;

    // The arc's radius at the edge of the doubles: it would wind up 1e202 times.
    std::string tiny = kPlan;
    tiny.replace(tiny.find(" 100 100 3"), 10, " 1e-200 1e-200 3");
    const std::string tinyPlan = dir.Path("tiny.pm");
    WriteFileBytes(tinyPlan, tiny);
    EXPECT_NE(RunTool("plan " + tinyPlan + " --at 50 --json", &out, &err), 0);
    EXPECT_EQ(out.find("null"), std::string::npos) << out;
    EXPECT_NE(err.find("cannot be computed"), std::string::npos) << err;
    const std::string computed = dir.Path("computed.pm");
    EXPECT_NE(RunTool("plan " + tinyPlan + " --compute -o " + computed, &out, &err), 0);
    EXPECT_FALSE(std::filesystem::exists(computed));
}

// The legacy element file has no signature (its first byte, 0x04, is the
// schema of its chain table): qdat finds its kind without --kind, and info
// tells its binary form and layout.
TEST_F(PlanTool, LegacyFileWithoutSignatureIsFound) {
    const std::string legacy = dir.Path("old.pm");
    ASSERT_EQ(RunTool("convert " + path + " -o " + legacy + " --form legacy", &out, &err), 0) << err;
    ASSERT_EQ(ReadFileBytes(legacy).substr(0, 1), "\x04");
    ASSERT_EQ(RunTool("plan " + legacy + " --at 50 --csv", &out, &err), 0) << err;
    EXPECT_EQ(out, "station,x,y,azimuth,radius\n50,50,0,0,9999\n");
    ASSERT_EQ(RunTool("info --json " + legacy, &out, &err), 0) << err;
    const auto info = nlohmann::json::parse(out);
    EXPECT_EQ(info["form"], "binary");
    EXPECT_TRUE(info["legacyLayout"].get<bool>());
    EXPECT_EQ(info["kinds"][0]["kind"], "QPmDoc");
    EXPECT_EQ(info["count"], 3);
}

TEST_F(PlanTool, RefusesWhatItCannotAnswer) {
    // Start mode 2 loads but cannot be computed.
    std::string mode2 = kPlan;
    mode2.replace(mode2.find("\n1 0 0 0 0 0\n"), 3, "\n2 ");
    const std::string bad = dir.Path("mode2.pm");
    WriteFileBytes(bad, mode2);
    EXPECT_NE(RunTool("plan " + bad + " --at 10", &out, &err), 0);
    EXPECT_NE(err.find("cannot be computed"), std::string::npos) << err;

    EXPECT_NE(RunTool("plan " + path + " --at 10x", &out, &err), 0);
    EXPECT_NE(RunTool("plan " + path + " --from 10 --to 5 --step 1", &out, &err), 0);
    EXPECT_NE(RunTool("plan " + path + " --from 0 --to 5 --step 0", &out, &err), 0);
    EXPECT_NE(RunTool("plan " + path, &out, &err), 0);

    const std::string truncated = dir.Path("cut.pm");
    WriteFileBytes(truncated, std::string(kPlan).substr(0, 60));
    EXPECT_NE(RunTool("plan " + truncated + " --at 10", &out, &err), 0);
    EXPECT_NE(err.find("cut.pm"), std::string::npos) << err;
}

}  // namespace
}  // namespace qdat::test
