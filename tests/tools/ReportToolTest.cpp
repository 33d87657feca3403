// qdat report from the user's side: one page that carries everything it
// shows, written whole or not at all, and the sheet options of qdat plot.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/TestSupport.h"

namespace qdat::test {
namespace {

const std::string kDemo = std::string(QDAT_SOURCE_DIR) + "/examples/demo-road.";

TEST(ReportTool, OnePageThatAsksForNothing) {
    TempDir dir;
    const std::string out = dir.Path("report.html");
    std::string stdoutText, err;
    ASSERT_EQ(RunTool("report " + kDemo + "prj -o " + out, &stdoutText, &err), 0) << err;
    EXPECT_EQ(err, "") << "every file of the demo is read";
    const std::string html = ReadFileBytes(out);
    EXPECT_EQ(html.rfind("<!DOCTYPE html>", 0), 0u);
    // Two drawings and a section for each of the 44 sections, inline.
    int drawings = 0;
    for (std::size_t at = html.find("<svg "); at != std::string::npos; at = html.find("<svg ", at + 1))
        ++drawings;
    EXPECT_EQ(drawings, 2 + 44);
    // Nothing is fetched: no external script, style, image or font.
    for (const char* outside : {"<script src", "<link", "url(", "<img", "@import", "https:"})
        EXPECT_EQ(html.find(outside), std::string::npos) << outside;

    std::string piped;
    ASSERT_EQ(RunTool("report " + kDemo + "prj -o -", &piped, &err), 0) << err;
    EXPECT_EQ(piped, html) << "the same page on standard output";

    EXPECT_EQ(RunTool("report " + dir.Path("none.prj") + " -o " + out, &stdoutText, &err), 1);
    EXPECT_NE(err.find("qdat report: " + dir.Path("none.prj") + ": no such project file"), std::string::npos)
        << err;
    EXPECT_EQ(ReadFileBytes(out), html) << "a failed report leaves the old page as it was";
}

TEST(ReportTool, PlotSheetOptions) {
    TempDir dir;
    const std::string svg = dir.Path("plan.svg");
    std::string out, err;
    ASSERT_EQ(RunTool("plot plan " + kDemo + "pm --paper A3 --scale 1:5000 -o " + svg, &out, &err), 0) << err;
    EXPECT_NE(ReadFileBytes(svg).find("width=\"420.000mm\""), std::string::npos);
    EXPECT_EQ(
        RunTool("plot plan " + kDemo + "pm --paper A4 --scale 1:500 -o " + dir.Path("b.svg"), &out, &err), 1);
    EXPECT_NE(err.find("at 1:500 the plan needs"), std::string::npos) << err;
    EXPECT_FALSE(std::filesystem::exists(dir.Path("b.svg")));
    EXPECT_EQ(RunTool("plot profile " + kDemo + "zdm --scale 1:abc -o " + dir.Path("b.svg"), &out, &err), 1);
    EXPECT_NE(err.find("scale 1:abc: give it as 1:N"), std::string::npos) << err;
    EXPECT_NE(RunTool("plot profile " + kDemo + "zdm --paper A5 -o " + dir.Path("b.svg"), &out, &err), 0);
}

}  // namespace
}  // namespace qdat::test
