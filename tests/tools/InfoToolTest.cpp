// qdat info and the tool's common behaviour, run from the user's side.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "support/TestSupport.h"

namespace qdat {
namespace {

using test::ReadFileBytes;
using test::RunTool;
using test::TempDir;
using test::WriteFileBytes;

TEST(QdatTool, VersionAndHelp) {
    std::string out;
    EXPECT_EQ(RunTool("--version", &out), 0);
    EXPECT_NE(out.find("qdat "), std::string::npos);
    EXPECT_EQ(RunTool("--help", &out), 0);
    EXPECT_NE(out.find("info"), std::string::npos);
    EXPECT_NE(RunTool("no-such-command", &out), 0);
}

TEST(QdatInfo, FormsAndSignatures) {
    TempDir dir;
    const std::string text = dir.Path("a.txt"), bin = dir.Path("b.bin"), tagged = dir.Path("c.bin"),
                      scrambled = dir.Path("d.bin"), old = dir.Path("e.txt");
    WriteFileBytes(text, "// leading comment\n  radudar9.99_zzz_shuju  \n1 2\n");
    WriteFileBytes(bin, std::string("QB  RADUDAR9.99_ZZZ_SHUJU\n\x01\x00\x00\x00", 30));
    WriteFileBytes(tagged, "QBT RADUDAR9.99_ZZZ_SHUJU\n");
    WriteFileBytes(scrambled, "QB CRADUDAR9.99_ZZZ_SHUJU\n");
    WriteFileBytes(old, std::string("\x0bQaro5.0_ZZZ\x04\x00\x00\x00", 16));
    const std::string before = ReadFileBytes(text);

    std::string out, err;
    ASSERT_EQ(
        RunTool("info --json " + text + " " + bin + " " + tagged + " " + scrambled + " " + old, &out, &err),
        0)
        << err;
    std::vector<nlohmann::json> rows;
    std::size_t start = 0;
    for (std::size_t nl; (nl = out.find('\n', start)) != std::string::npos; start = nl + 1)
        rows.push_back(nlohmann::json::parse(out.substr(start, nl - start)));
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0]["form"], "text");
    EXPECT_EQ(rows[0]["signature"], "RADUDAR9.99_ZZZ_SHUJU");
    EXPECT_TRUE(rows[0]["kinds"].empty());
    EXPECT_EQ(rows[1]["form"], "binary");
    EXPECT_EQ(rows[2]["form"], "tagged");
    EXPECT_EQ(rows[3]["form"], "scrambled");
    EXPECT_EQ(rows[4]["form"], "text");
    EXPECT_EQ(rows[4]["signature"], "QARO5.0_ZZZ");
    EXPECT_TRUE(rows[4]["lengthPrefixedSignature"].get<bool>());
    EXPECT_EQ(ReadFileBytes(text), before) << "info only reads";

    ASSERT_EQ(RunTool("info " + bin, &out), 0);
    EXPECT_NE(out.find("form:      binary"), std::string::npos) << out;
    EXPECT_NE(out.find("kind:      (none)"), std::string::npos) << out;
}

// Messages speak of kinds of file as users know them and quote a signature
// as the file writes it; the class name stays in JSON, and --kind is
// offered only by the commands that take it.
TEST(QdatTool, MessagesNameTheKindAndQuoteTheFile) {
    TempDir dir;
    const std::string xml = dir.Path("road.xml"), hdm = dir.Path("road.hdm");
    WriteFileBytes(xml, "<?xml version=\"1.0\"?>\n<LandXML/>\n");
    WriteFileBytes(hdm, "RADUDAR5.83_HDM_SHUJU\n100.000\n1 0 410.5\n1 0 410.5\n");
    std::string out, err;
    EXPECT_EQ(RunTool("dump " + xml, &out, &err), 1);
    EXPECT_NE(
        err.find("no document kind knows the signature \"<?xml version=\"1.0\"?>\"; name one with --kind"),
        std::string::npos)
        << err;
    EXPECT_EQ(RunTool("export landxml --plan " + xml + " -o " + dir.Path("out.xml"), &out, &err), 1);
    EXPECT_NE(err.find("signature \"<?xml version"), std::string::npos) << err;
    EXPECT_EQ(err.find("--kind"), std::string::npos) << err;

    EXPECT_EQ(RunTool("profile " + hdm + " --at 100", &out, &err), 1);
    EXPECT_NE(err.find(hdm + " is a cross-section ground-line file, not a vertical profile"),
              std::string::npos)
        << err;
    EXPECT_EQ(RunTool("plot plan " + hdm + " -o " + dir.Path("p.svg"), &out, &err), 1);
    EXPECT_NE(err.find(hdm + " is a cross-section ground-line file, not a plan element"), std::string::npos)
        << err;
    EXPECT_EQ(RunTool("dump " + hdm, &out, &err), 0) << err;
    EXPECT_NE(out.find("kind: cross-section ground-line file (HDMFlie)\n"), std::string::npos) << out;
    EXPECT_EQ(RunTool("dump --json " + hdm, &out, &err), 0) << err;
    EXPECT_EQ(nlohmann::json::parse(out)["kind"], "HDMFlie");
}

TEST(QdatInfo, UnreadableFileFailsWithMessage) {
    TempDir dir;
    std::string out, err;
    EXPECT_NE(RunTool("info " + dir.Path("missing.dmx"), &out, &err), 0);
    EXPECT_NE(err.find("missing.dmx"), std::string::npos) << err;
}

}  // namespace
}  // namespace qdat
