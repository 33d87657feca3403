// qdat locate and qdat plan --offset, from the user's side: a point located
// on the demo road's intersection points with a chain break, the CSV form and
// its bad lines, and offset points.
#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <numbers>
#include <string>
#include <vector>

#include "plan/PlanTestHelpers.h"
#include "support/TestSupport.h"

namespace qdat::test {
namespace {

const std::string kExamples = std::string(QDAT_SOURCE_DIR) + "/examples/";

// The hook alignment in `path`.
class LocateTool : public HookPlanTest {};

TEST_F(LocateTool, PointOnTheDemoRoadsIntersectionPointsWithAChainBreak) {
    // The first leg runs from JD0 towards JD1 (their coordinates in the file)
    // up to station 400; 10 m right of station 200 on it:
    const double x0 = 3425000.0, y0 = 512000.0;
    const double dx = 3425489.08470408 - x0, dy = 512616.32410892 - y0;
    const double leg = std::hypot(dx, dy);
    const double x = x0 + 200 * dx / leg - 10 * dy / leg;
    const double y = y0 + 200 * dy / leg + 10 * dx / leg;
    const std::string xy = std::to_string(x) + " " + std::to_string(y);
    ASSERT_EQ(RunTool("locate " + kExamples + "demo-road.jd " + xy + " --json --break 100:150", &out, &err),
              0)
        << err;
    const nlohmann::ordered_json j = nlohmann::ordered_json::parse(out);
    std::vector<std::string> keys;
    for (const auto& [key, value] : j.items()) keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"x", "y", "station", "offset", "stationText", "element",
                                              "beyondStart", "beyondEnd", "beyondDistance"}));
    EXPECT_NEAR(j["station"].get<double>(), 200, 1e-5);  // the coordinates are given to 1e-6
    EXPECT_NEAR(j["offset"].get<double>(), 10, 1e-5);
    EXPECT_EQ(j["stationText"], "B250.000");  // stake 100 goes on as 150, in chain B
    EXPECT_EQ(j["element"], 0);
    EXPECT_EQ(j["beyondStart"], false);

    // Behind the start: the start, and how far behind.
    ASSERT_EQ(RunTool("locate " + kExamples + "demo-road.jd " + std::to_string(x0 - 30 * dx / leg) + " " +
                          std::to_string(y0 - 30 * dy / leg) + " --json",
                      &out, &err),
              0)
        << err;
    const nlohmann::json behind = nlohmann::json::parse(out);
    EXPECT_EQ(behind["station"].get<double>(), 0.0);
    EXPECT_EQ(behind["beyondStart"], true);
    EXPECT_NEAR(behind["beyondDistance"].get<double>(), 30, 1e-5);
    EXPECT_NEAR(behind["offset"].get<double>(), 0, 1e-5);
}

// The CSV lines of out after its header, split at commas.
std::vector<std::vector<std::string>> CsvRows(const std::string& out) {
    std::vector<std::vector<std::string>> rows;
    std::size_t at = out.find('\n') + 1;
    while (at < out.size()) {
        const std::size_t end = out.find('\n', at);
        std::vector<std::string> fields;
        for (std::size_t from = at;;) {
            const std::size_t comma = out.find(',', from);
            if (comma == std::string::npos || comma > end) {
                fields.push_back(out.substr(from, end - from));
                break;
            }
            fields.push_back(out.substr(from, comma - from));
            from = comma + 1;
        }
        rows.push_back(fields);
        at = end + 1;
    }
    return rows;
}

TEST_F(LocateTool, CsvLinesAndTheirErrors) {
    // A header, a blank line, a point right of the first straight and one
    // left of the last (which runs east from (200, 100), so north is left).
    const std::string in = dir.Path("points.csv");
    WriteFileBytes(in, "x,y\r\n\n50,10\r\n 210 , 180\n");
    ASSERT_EQ(RunTool("locate " + path + " --csv " + in, &out, &err), 0) << err;
    EXPECT_EQ(out.substr(0, out.find('\n')), "x,y,station,offset,stationText");
    std::vector<std::vector<std::string>> rows = CsvRows(out);
    ASSERT_EQ(rows.size(), 2u) << out;
    EXPECT_EQ(rows[0], (std::vector<std::string>{"50", "10", "50", "10", "50.000"}));
    EXPECT_EQ(rows[1][0], "210");
    EXPECT_NEAR(std::stod(rows[1][2]), 100 + 50 * std::numbers::pi + 80, 1e-9);
    EXPECT_NEAR(std::stod(rows[1][3]), -10, 1e-9);
    EXPECT_EQ(rows[1][4], "337.080");
    // Standard input, with a chain break.
    ASSERT_EQ(RunCommand("{ " + std::string(QDAT_TOOL) + " locate " + path + " --csv - --break 200:300 < " +
                             in + "; }",
                         &out, &err),
              0)
        << err;
    rows = CsvRows(out);
    ASSERT_EQ(rows.size(), 2u) << out;
    EXPECT_EQ(rows[1][4], "B437.080");
    // A point past the end is noted.
    WriteFileBytes(in, "50,10\n200,230\n");
    ASSERT_EQ(RunTool("locate " + path + " --csv " + in, &out, &err), 0) << err;
    rows = CsvRows(out);
    ASSERT_EQ(rows.size(), 2u) << out;
    EXPECT_NEAR(std::stod(rows[1][2]), 200 + 50 * std::numbers::pi, 1e-9);
    EXPECT_NEAR(std::stod(rows[1][3]), 0, 1e-9);
    EXPECT_NE(err.find("line 2: beyond the end of the alignment by 30.000 m"), std::string::npos) << err;

    // A bad line names its line, and nothing is printed.
    WriteFileBytes(in, "x,y\n50,10\n\n50;10\n");
    EXPECT_EQ(RunTool("locate " + path + " --csv " + in, &out, &err), 1);
    EXPECT_EQ(out, "");
    EXPECT_NE(err.find("points.csv line 4: expected x,y"), std::string::npos) << err;
    WriteFileBytes(in, "1,2,3\n");
    EXPECT_EQ(RunTool("locate " + path + " --csv " + in, &out, &err), 1);
    EXPECT_NE(err.find("line 1:"), std::string::npos) << err;
    EXPECT_EQ(RunTool("locate " + path + " 1 2 --csv " + in, &out, &err), 2);
    EXPECT_EQ(RunTool("locate " + path + " 1 north", &out, &err), 2);
}

TEST_F(LocateTool, OffsetPointsAreTheInverse) {
    // Inside the quarter circle (centre (100, 100)), 45 degrees round.
    const double r = 80;  // 20 m right of the arc's midpoint, towards the centre
    ASSERT_EQ(RunTool("plan " + path + " --at 50 178.53981633974483 --offset 20 --json", &out, &err), 0)
        << err;
    const nlohmann::json rows = nlohmann::json::parse(out);
    EXPECT_NEAR(rows[0]["x"].get<double>(), 50, 1e-9);
    EXPECT_NEAR(rows[0]["y"].get<double>(), 20, 1e-9);
    EXPECT_NEAR(rows[1]["x"].get<double>(), 100 + r * std::sqrt(0.5), 1e-9);
    EXPECT_NEAR(rows[1]["y"].get<double>(), 100 - r * std::sqrt(0.5), 1e-9);
    ASSERT_EQ(RunTool("locate " + path + " " + std::to_string(rows[1]["x"].get<double>()) + " " +
                          std::to_string(rows[1]["y"].get<double>()),
                      &out, &err),
              0)
        << err;
    EXPECT_NE(out.find("178.540  178.540"), std::string::npos) << out;
    EXPECT_NE(out.find("20.000  right"), std::string::npos) << out;
}

}  // namespace
}  // namespace qdat::test
