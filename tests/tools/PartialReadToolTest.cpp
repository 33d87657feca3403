// Files holding more than their counts or their closing line let the reader
// take: the rest is content all the same. Such a file is read only in part,
// and no command writes it back, converts it or shows it as whole.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/TestSupport.h"

namespace qdat {
namespace {

using test::ReadFileBytes;
using test::RunTool;
using test::TempDir;
using test::WriteFileBytes;

// One intersection point of a 5.8 file: its three lines, no auxiliary points,
// and its three curve elements.
std::string JdPoint(const std::string& name, int x) {
    std::string p = "0 " + name + " 0 " + std::to_string(x) + " 0\n0 0 9999 0 0 0 0 0 0 9999 0 0\n" +
                    "0 0 0 0 0 0 0 0 0 0\n0\n";
    for (int i = 0; i < 3; ++i) p += "1 0 0 0 9999 9999 1\n0 0 0 0 0 0 0 0\n0 0 0 0\n";
    return p;
}

struct OldFile {
    const char* name;
    std::string bytes;
};

// Old versions, which an upgrade would write back at once.
std::vector<OldFile> FilesWithMoreThanTheyCount() {
    return {
        {"count.jd",
         "RADUDAR5.8_PM_SHUJU_JD\n2 0\n" + JdPoint("P1", 0) + JdPoint("P2", 100) + JdPoint("P3", 200)},
        {"count.zdm", "RADUDAR5.8_ZDM_SHUJU\n2\n1000 100 0 0 0\n1050 101 0 0 0\n1100 100 0 0 0\n"},
        {"closed.ctr", "RADUDAR5.81_CTR_SHUJU\nDCHT.DAT\n0 1\nXXXX.DAT\nZCHT.DAT\n10 2\n"},
        {"trailing.pm",
         "RADUDAR5.8_PM_SHUJU_PM\n1 Left \"\" 0\n1 0 1 0 0 0\n0 0 -100 0 100 100 3\n0 0 0 0 0 0 0 0\n"
         "0 0 0 0\n0 0 0 0 0 1\n1 0 -50 0 9999 9999 1\n"},
    };
}

TEST(PartialReadTool, ContentBeyondCountsOrTheClosingLineIsNeverDroppedSilently) {
    TempDir dir;
    for (const OldFile& f : FilesWithMoreThanTheyCount()) {
        SCOPED_TRACE(f.name);
        const std::string path = dir.Path(f.name), copy = dir.Path(std::string("copy-") + f.name);
        WriteFileBytes(path, f.bytes);
        std::string out, err;

        EXPECT_EQ(RunTool("upgrade " + path, &out, &err), 1);
        EXPECT_NE(out.find("read only in part, NOT SAVED"), std::string::npos) << out << err;
        EXPECT_EQ(out.find("upgraded"), std::string::npos) << out;
        EXPECT_EQ(ReadFileBytes(path), f.bytes);

        EXPECT_EQ(RunTool("dump " + path, &out, &err), 1);
        EXPECT_NE(err.find("read only in part"), std::string::npos) << err;

        EXPECT_EQ(RunTool("convert " + path + " -o " + copy, &out, &err), 1);
        EXPECT_NE(err.find("nothing was written (--partial"), std::string::npos) << err;
        EXPECT_FALSE(std::filesystem::exists(copy));

        // Asked for, the part is written, and the user is told it is a part.
        EXPECT_EQ(RunTool("convert --partial " + path + " -o " + copy, &out, &err), 0) << err;
        EXPECT_NE(err.find("holds only the part"), std::string::npos) << err;
        EXPECT_TRUE(std::filesystem::exists(copy));
        EXPECT_EQ(ReadFileBytes(path), f.bytes);
    }
}

// A command that computes from a file read only in part fails rather than
// answer as if the part were the whole profile.
TEST(PartialReadTool, ComputingFromAPartFails) {
    TempDir dir;
    const std::string path = dir.Path("count.zdm");
    WriteFileBytes(path, FilesWithMoreThanTheyCount()[1].bytes);
    std::string out, err;
    EXPECT_EQ(RunTool("profile " + path + " --at 1075", &out, &err), 1);
    EXPECT_NE(err.find("was read only in part"), std::string::npos) << err;
    EXPECT_EQ(out, "");
}

}  // namespace
}  // namespace qdat
