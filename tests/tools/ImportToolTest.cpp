// qdat import landxml from the user's side: the demo road exported with a
// chain break, listed, imported into every file kind, and each imported file
// opened by the commands that use it; a damaged file writes nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/TestSupport.h"

namespace qdat::test {
namespace {

const std::string kExamples = std::string(QDAT_SOURCE_DIR) + "/examples/";

class ImportTool : public ::testing::Test {
protected:
    void SetUp() override {
        std::string err;
        ASSERT_EQ(
            RunTool("export landxml --plan " + kExamples + "demo-road.pm --profile " + kExamples +
                        "demo-road.zdm --ground " + kExamples + "demo-road.dmx --break 600:650 -o " + xml,
                    nullptr, &err),
            0)
            << err;
    }
    StationDefaults defaults;
    TempDir dir;
    std::string xml = dir.Path("road.xml");
};

TEST_F(ImportTool, ListsTheAlignments) {
    std::string out, err;
    ASSERT_EQ(RunTool("import landxml " + xml + " --list --json", &out, &err), 0) << err;
    for (const char* said :
         {"\"name\": \"Demo road\"", "\"staStart\": 0.0", "\"length\": 1720.0", "\"lines\": 2",
          "\"curves\": 1", "\"spirals\": 2", "\"equations\": 1", "\"kind\": \"ground\"",
          "\"kind\": \"design\"", "\"units\": \"metric (meter; radians)\""})
        EXPECT_NE(out.find(said), std::string::npos) << said << "\n" << out;
    ASSERT_EQ(RunTool("import landxml " + xml + " --list", &out, &err), 0) << err;
    EXPECT_NE(out.find("alignment \"Demo road\": staStart 0.000, length 1720.000 m, 2 lines"),
              std::string::npos)
        << out;
}

TEST_F(ImportTool, ImportedFilesOpenInEveryCommand) {
    std::string out, err;
    ASSERT_EQ(RunTool("import landxml " + xml + " --all " + dir.Root().string(), &out, &err), 0) << err;
    const std::string base = "'" + dir.Path("Demo road");
    const std::string pm = base + ".pm'", jd = base + ".jd'", zdm = base + ".zdm'", dmx = base + ".dmx'",
                      prj = base + ".prj'";
    EXPECT_NE(out.find("written: " + dir.Path("Demo road.prj")), std::string::npos) << out;
    // The chain break gives the stake stations: 700 is B750.
    ASSERT_EQ(RunTool("plan " + pm + " --project " + prj + " --at B750 --json", &out, &err), 0) << err;
    EXPECT_NE(out.find("\"station\": 700.0"), std::string::npos) << out;
    ASSERT_EQ(RunTool("plan " + jd + " --at 1000", &out, &err), 0) << err;
    ASSERT_EQ(RunTool("profile " + zdm + " --project " + prj + " --at B1450", &out, &err), 0) << err;
    ASSERT_EQ(RunTool("locate " + pm + " 3425100 512100", &out, &err), 0) << err;
    ASSERT_EQ(RunTool("export landxml --plan " + pm + " --profile " + zdm + " --ground " + dmx +
                          " --project " + prj + " -o " + dir.Path("again.xml"),
                      &out, &err),
              0)
        << err;
    ASSERT_EQ(RunTool("plot plan " + pm + " -o " + dir.Path("plan.svg"), &out, &err), 0) << err;
    ASSERT_EQ(RunTool("plot profile " + zdm + " --ground " + dmx + " --project " + prj + " -o " +
                          dir.Path("profile.svg"),
                      &out, &err),
              0)
        << err;
}

TEST_F(ImportTool, DamagedFilesWriteNothing) {
    WriteFileBytes(dir.Path("bad.xml"), ReadFileBytes(xml).substr(0, 700));
    std::string out, err;
    EXPECT_EQ(RunTool("import landxml " + dir.Path("bad.xml") + " --plan " + dir.Path("p.pm"), &out, &err),
              1);
    EXPECT_NE(err.find("not well-formed XML"), std::string::npos) << err;
    EXPECT_FALSE(std::filesystem::exists(dir.Path("p.pm")));
    EXPECT_EQ(RunTool("import landxml " + xml, &out, &err), 2) << err;
    EXPECT_EQ(RunTool("import landxml " + xml + " --alignment Nope --plan " + dir.Path("p.pm"), &out, &err),
              1);
    EXPECT_NE(err.find("no alignment named \"Nope\""), std::string::npos) << err;
}

}  // namespace
}  // namespace qdat::test
