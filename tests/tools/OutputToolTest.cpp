// The tool's output, run from the user's side: every command that prints
// rows gives the same rows as a table, as CSV and as JSON; the commands are
// listed in name order; every document -o takes - for standard output.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <vector>

#include "support/TestSupport.h"

namespace qdat {
namespace {

using test::ReadFileBytes;
using test::RunTool;
using test::TempDir;

const std::string kExamples = std::string(QDAT_SOURCE_DIR) + "/examples/";

std::vector<std::string> Split(const std::string& line, char by) {
    std::vector<std::string> fields;
    std::stringstream in(line);
    for (std::string field; std::getline(in, field, by);) fields.push_back(field);
    if (!line.empty() && line.back() == by) fields.emplace_back();
    return fields;
}

struct RowCommand {
    std::string args;
    std::string csvHeader;
    // CSV columns in other units than JSON, or named apart: their JSON key.
    std::map<std::string, std::string> converted;
};

class RowCommands : public ::testing::TestWithParam<RowCommand> {};

// The CSV header is the JSON rows' keys (a JSON list of five is five columns
// key1 to key5), and every value CSV gives in JSON's units is JSON's number
// exactly; both give the same rows, the table one line more for its header
// or none at all.
TEST_P(RowCommands, CsvAndJsonGiveTheSameRows) {
    const RowCommand& c = GetParam();
    std::string csv, json, table, err;
    ASSERT_EQ(RunTool(c.args + " --csv", &csv, &err), 0) << err;
    ASSERT_EQ(RunTool(c.args + " --json", &json, &err), 0) << err;
    ASSERT_EQ(RunTool(c.args, &table, &err), 0) << err;
    EXPECT_EQ(RunTool(c.args + " --csv --json", nullptr, &err), 2);

    const std::vector<std::string> lines = Split(csv, '\n');
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], c.csvHeader);
    const std::vector<std::string> header = Split(lines[0], ',');
    const nlohmann::ordered_json rows = nlohmann::ordered_json::parse(json);
    ASSERT_TRUE(rows.is_array());
    ASSERT_EQ(rows.size() + 1, lines.size() - (lines.back().empty() ? 1 : 0)) << csv;
    ASSERT_FALSE(rows.empty());
    const std::size_t tableLines = static_cast<std::size_t>(std::count(table.begin(), table.end(), '\n'));
    EXPECT_TRUE(tableLines == rows.size() || tableLines == rows.size() + 1) << table;

    for (std::size_t r = 0; r < rows.size(); ++r) {
        std::vector<std::pair<std::string, nlohmann::ordered_json>> flat;
        for (const auto& [key, value] : rows[r].items()) {
            if (key == "error") continue;  // a station text that does not parse
            // A list of five is five columns key1 to key5; a list left out
            // (null) is as many empty ones.
            std::size_t items = value.is_array() ? value.size() : 0;
            if (value.is_null() && std::find(header.begin(), header.end(), key) == header.end())
                while (std::find(header.begin(), header.end(), key + std::to_string(items + 1)) !=
                       header.end())
                    ++items;
            if (items == 0) {
                flat.emplace_back(key, value);
                continue;
            }
            for (std::size_t i = 0; i < items; ++i)
                flat.emplace_back(key + std::to_string(i + 1), value.is_array() ? value[i] : nullptr);
        }
        const std::vector<std::string> fields = Split(lines[r + 1], ',');
        ASSERT_EQ(fields.size(), header.size()) << lines[r + 1];
        std::size_t f = 0;
        for (std::size_t h = 0; h < header.size(); ++h) {
            const auto renamed = c.converted.find(header[h]);
            const std::string key = renamed == c.converted.end() ? header[h] : renamed->second;
            if (header[h] == "error") continue;
            ASSERT_LT(f, flat.size());
            EXPECT_EQ(flat[f].first, key) << "row " << r;
            const nlohmann::ordered_json& value = flat[f++].second;
            if (renamed != c.converted.end()) continue;
            if (value.is_number()) {
                EXPECT_EQ(std::stod(fields[h]), value.get<double>()) << header[h] << " row " << r;
            } else if (value.is_null()) {
                EXPECT_EQ(fields[h], "") << header[h] << " row " << r;
            } else if (value.is_string()) {
                EXPECT_EQ(fields[h], value.get<std::string>()) << header[h] << " row " << r;
            }
        }
        EXPECT_EQ(f, flat.size()) << "row " << r;
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryRowCommand, RowCommands,
    ::testing::Values(
        RowCommand{"bg " + kExamples + "demo-road.bgg --at 100 200 5000", "station,elevation", {}},
        RowCommand{
            "earthwork " + kExamples + "demo-road.tf --at 0 100 5000", "station,quantity8,quantity9", {}},
        RowCommand{
            "earthwork " + kExamples + "demo-road.tf --at 0 100 --quantity 3", "station,kind,name,value", {}},
        RowCommand{"kinds --data-types", "id,name,group,groupName,extension,class,available", {}},
        RowCommand{"plan " + kExamples + "demo-road.pm --at 100 200",
                   "station,x,y,azimuth,radius",
                   {{"azimuth", "azimuth"}}},
        RowCommand{"plan " + kExamples + "demo-road.pm --at 100 B250 --break 150:200",
                   "station,text,x,y,azimuth,radius",
                   {{"azimuth", "azimuth"}}},
        RowCommand{"profile " + kExamples + "demo-road.zdm --at 100 200 5000",
                   "station,elevation,grade_percent",
                   {{"grade_percent", "grade"}}},
        RowCommand{"station format 1020 1000 --break 1000:1050", "station,text,kmText,plusText", {}},
        RowCommand{"station fill 850 1100 100 --break 1000:1050", "station,text,kmText,plusText,atBreak", {}},
        RowCommand{"station parse B1020 A1020 1060 --break 1050:1000", "text,station,error", {}},
        RowCommand{"sup " + kExamples + "demo-road.sup --at 100 200",
                   "station,leftInner,leftMiddle,leftOuter,rightInner,rightMiddle,rightOuter",
                   {}},
        RowCommand{"wid " + kExamples + "demo-road.wid --at 100 5000",
                   "station,left1,left2,left3,left4,left5,right1,right2,right3,right4,right5",
                   {}}));

// Commands whose JSON nests give CSV with a column for every path to a
// value ("tunnel.name", "auxPoints.0.x"), one line per JSON row, each field
// the JSON value (true and false as 1 and 0, null empty).
TEST(QdatTool, NestedJsonCommandsGiveCsvByPath) {
    struct Case {
        std::string args;
        std::string rowsAt;  // where the rows are in the JSON; empty: the JSON is the rows
        bool lines = false;  // one JSON object a line
    };
    const std::vector<Case> cases{
        {"jd " + kExamples + "demo-road.jd --compute", "points"},
        {"control " + kExamples + "demo-road.ctr --at 100 450 900", ""},
        {"info " + kExamples + "demo-road.pm " + kExamples + "demo-road.hdm", "", true},
        {"project " + kExamples + "demo-road.prj", "entries"},
    };
    for (const Case& c : cases) {
        std::string csv, json, err;
        ASSERT_EQ(RunTool(c.args + " --csv", &csv, &err), 0) << c.args << err;
        ASSERT_EQ(RunTool(c.args + " --json", &json, &err), 0) << c.args << err;
        nlohmann::ordered_json rows = nlohmann::ordered_json::array();
        if (c.lines) {
            for (const std::string& line : Split(json, '\n'))
                if (!line.empty()) rows.push_back(nlohmann::ordered_json::parse(line));
        } else {
            rows = nlohmann::ordered_json::parse(json);
            if (!c.rowsAt.empty()) rows = rows[c.rowsAt];
        }
        const std::vector<std::string> lines = Split(csv, '\n');
        ASSERT_EQ(lines.size(), rows.size() + 2) << c.args << "\n" << csv;  // header, rows, final break
        const std::vector<std::string> header = Split(lines[0], ',');
        std::size_t seen = 0;
        for (std::size_t r = 0; r < rows.size(); ++r) {
            const std::vector<std::string> fields = Split(lines[r + 1], ',');
            ASSERT_EQ(fields.size(), header.size()) << c.args << ": " << lines[r + 1];
            for (std::size_t h = 0; h < header.size(); ++h) {
                std::string pointer = "/" + header[h];
                std::replace(pointer.begin(), pointer.end(), '.', '/');
                const nlohmann::json::json_pointer at(pointer);
                if (!rows[r].contains(at)) {
                    EXPECT_EQ(fields[h], "") << c.args << " " << header[h];
                    continue;
                }
                ++seen;
                const auto& value = rows[r][at];
                if (value.is_number()) {
                    EXPECT_EQ(std::stod(fields[h]), value.get<double>()) << c.args << " " << header[h];
                } else if (value.is_boolean()) {
                    EXPECT_EQ(fields[h], value.get<bool>() ? "1" : "0") << c.args << " " << header[h];
                } else if (value.is_null()) {
                    EXPECT_EQ(fields[h], "") << c.args << " " << header[h];
                }
            }
        }
        EXPECT_GT(seen, rows.size()) << c.args;
    }
}

// A cross-section is one JSON object, its sides lists; CSV gives its points
// as rows, left side first, as the table does.
TEST(QdatSection, CsvGivesThePointsOfBothSides) {
    const std::string section = "section " + kExamples + "demo-road.hdm --at 80";
    std::string csv, json, err;
    ASSERT_EQ(RunTool(section + " --csv", &csv, &err), 0) << err;
    ASSERT_EQ(RunTool(section + " --json", &json, &err), 0) << err;
    EXPECT_EQ(RunTool(section + " --csv --json", nullptr, &err), 2);
    const nlohmann::json j = nlohmann::json::parse(json);
    const std::vector<std::string> lines = Split(csv, '\n');
    ASSERT_EQ(lines[0], "side,horizontal,vertical");
    std::size_t line = 1;
    for (const char* side : {"left", "right"}) {
        for (const auto& p : j[std::string(side) + "Ground"]) {
            ASSERT_LT(line, lines.size());
            const std::vector<std::string> fields = Split(lines[line++], ',');
            ASSERT_EQ(fields.size(), 3u);
            EXPECT_EQ(fields[0], side);
            EXPECT_EQ(std::stod(fields[1]), p["horizontal"].get<double>());
            EXPECT_EQ(std::stod(fields[2]), p["vertical"].get<double>());
        }
    }
    EXPECT_GT(line, 1u);
    EXPECT_EQ(line + 1, lines.size());  // and the line break after the last
}

TEST(QdatTool, HelpListsTheCommandsInNameOrder) {
    std::string out;
    ASSERT_EQ(RunTool("--help", &out), 0);
    const std::size_t start = out.find("Subcommands:");
    ASSERT_NE(start, std::string::npos) << out;
    std::vector<std::string> names;
    std::stringstream in(out.substr(start));
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line) && line.starts_with("  ")) names.push_back(Split(line.substr(2), ' ')[0]);
    const std::vector<std::string> expected{"backup",  "bg",     "control", "convert", "dump",   "earthwork",
                                            "export",  "import", "info",    "jd",      "kinds",  "locate",
                                            "plan",    "plot",   "profile", "project", "report", "section",
                                            "station", "sup",    "upgrade", "wid"};
    EXPECT_EQ(names, expected) << out;
}

// --quantity N is quantity N of the row at each station; --kind N, its old
// spelling, gives the same; the table shows a station between rows as none.
TEST(QdatEarthwork, QuantityAndItsOldSpelling) {
    const std::string tf = "earthwork " + kExamples + "demo-road.tf --at 0 10 ";
    std::string quantity, kind, err;
    ASSERT_EQ(RunTool(tf + "--quantity 3 --json", &quantity, &err), 0) << err;
    ASSERT_EQ(RunTool(tf + "--kind 3 --json", &kind, &err), 0) << err;
    EXPECT_EQ(quantity, kind);
    // The first row, at 0, holds 411.8, 412.35 and 0.55 as quantities 1 to 3.
    const nlohmann::json rows = nlohmann::json::parse(quantity);
    EXPECT_EQ(rows[0]["kind"], 3);
    EXPECT_EQ(rows[0]["value"].get<double>(), 0.55);
    EXPECT_TRUE(rows[1]["value"].is_null());
    ASSERT_EQ(RunTool(tf + "--quantity 3", &quantity, &err), 0) << err;
    ASSERT_EQ(RunTool(tf + "--kind 3", &kind, &err), 0) << err;
    EXPECT_EQ(quantity, kind);
    EXPECT_NE(quantity.find("\n          10           none\n"), std::string::npos) << quantity;

    EXPECT_EQ(RunTool(tf + "--quantity 62", nullptr, &err), 2);
    EXPECT_NE(err.find("--quantity 62: quantity kinds run from 0 to 61"), std::string::npos) << err;
    EXPECT_EQ(RunTool(tf + "--quantity 3 --kind 3", nullptr, &err), 2);
    ASSERT_EQ(RunTool("earthwork --help", &quantity, &err), 0);
    EXPECT_NE(quantity.find("The old spelling of --quantity N"), std::string::npos) << quantity;
}

// Each command that writes a document writes to standard output for -o -
// exactly the bytes it writes to a file.
TEST(QdatTool, DocumentOutputsGoToStandardOutputForDash) {
    TempDir dir;
    const std::string file = dir.Path("written");
    for (const std::string& command :
         {"plan " + kExamples + "demo-road.pm --compute -o ",
          "sup " + kExamples + "demo-road.sup --transition 1 -o ", "jd " + kExamples + "demo-road.jd -o ",
          "jd " + kExamples + "demo-road.jd --elements ",
          "convert " + kExamples + "demo-road.zdm --form tagged -o "}) {
        std::string out, err;
        ASSERT_EQ(RunTool(command + file, &out, &err), 0) << command << err;
        ASSERT_EQ(RunTool(command + "-", &out, &err), 0) << command << err;
        EXPECT_EQ(out, ReadFileBytes(file)) << command;
    }
    // Rows at stations would run into the file's bytes.
    std::string out, err;
    EXPECT_EQ(RunTool("plan " + kExamples + "demo-road.pm --compute -o - --at 100", &out, &err), 2) << out;
    EXPECT_EQ(out, "");
}

}  // namespace
}  // namespace qdat
