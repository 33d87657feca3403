// The cabinet writer: block checksums and header fields checked against
// hand-computed bytes, and every cabinet listed and extracted byte for byte by
// three independent readers (cabextract, gcab, bsdtar); sets of several
// cabinets by cabextract.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <random>

#include <qdat/project/CabinetWriter.h>
#include "support/TestSupport.h"

namespace qdat {
namespace {

using test::ReadFileBytes;
using test::RunCommand;
using test::TempDir;
using test::WriteFileBytes;

std::uint32_t Le32(const std::string& b, std::size_t at) {
    return static_cast<unsigned char>(b[at]) | (static_cast<unsigned char>(b[at + 1]) << 8) |
           (static_cast<unsigned char>(b[at + 2]) << 16) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24);
}
std::uint16_t Le16(const std::string& b, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                      (static_cast<unsigned char>(b[at + 1]) << 8));
}

std::string RandomBytes(std::size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(gen() & 0xFF);
    return s;
}

// Lines of survey-like text: what project data files hold.
std::string TextLines(int lines) {
    std::string s;
    for (int i = 0; i < lines; ++i)
        s += std::to_string(i * 20) + ".000  " + std::to_string(400 + i % 97) + ".2500\n";
    return s;
}

std::string Quote(const std::string& path) {
    return "'" + path + "'";
}

TEST(CabinetWriter, BlockChecksumIsTheFormats) {
    // A block gcab wrote for "hello": "CK" and the deflate stream, 9 bytes
    // holding 5, with the checksum 0x4F078287 it stored.
    const unsigned char data[] = {'C', 'K', 0xCB, 0x48, 0xCD, 0xC9, 0xC9, 0x07, 0x00};
    const unsigned char sizes[] = {0x09, 0x00, 0x05, 0x00};
    EXPECT_EQ(CabinetWriter::Checksum(sizes, 4, CabinetWriter::Checksum(data, 9, 0)), 0x4F078287u);
    // The one to three bytes after the last whole word count first byte highest.
    const unsigned char tail[] = {0x10, 0x20, 0x30, 0x40, 0x01, 0x02, 0x03};
    EXPECT_EQ(CabinetWriter::Checksum(tail, 7, 0), 0x40302010u ^ 0x00010203u);
    EXPECT_EQ(CabinetWriter::CabinetName("base", 0), "base.cab");
    EXPECT_EQ(CabinetWriter::CabinetName("base", 1), "base2.CAB");
}

TEST(CabinetWriter, HeaderOfAOneFileCabinet) {
    TempDir dir;
    const std::string path = dir.Path("a.txt");
    WriteFileBytes(path, "hello");
    std::tm when{};
    when.tm_year = 2011 - 1900;
    when.tm_mon = 4;
    when.tm_mday = 1;
    when.tm_hour = 13;
    when.tm_min = 5;
    when.tm_sec = 3;
    when.tm_isdst = -1;
    const timespec times[2] = {{std::mktime(&when), 0}, {std::mktime(&when), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);

    CabinetWriter writer(dir.Root().string(), "one");
    ASSERT_TRUE(writer.AddFile(path));
    ASSERT_TRUE(writer.Finish()) << writer.GetError();
    ASSERT_EQ(writer.GetCabinetPaths().size(), 1u);
    const std::string b = ReadFileBytes(dir.Path("one.cab"));
    ASSERT_GE(b.size(), 36u + 8 + 16 + 6 + 8);
    EXPECT_EQ(b.substr(0, 4), "MSCF");
    EXPECT_EQ(Le32(b, 8), b.size());  // cbCabinet
    EXPECT_EQ(Le32(b, 16), 44u);      // the file entries follow the header and one folder entry
    EXPECT_EQ(b[24], 3);              // version 1.3
    EXPECT_EQ(b[25], 1);
    EXPECT_EQ(Le16(b, 26), 1);  // folders
    EXPECT_EQ(Le16(b, 28), 1);  // files
    EXPECT_EQ(Le16(b, 30), 0);  // no further cabinet
    const std::size_t dataAt = 44 + 16 + 6;
    EXPECT_EQ(Le32(b, 36), dataAt);                     // the folder's first block
    EXPECT_EQ(Le16(b, 40), 1);                          // one block
    EXPECT_EQ(Le16(b, 42), 1);                          // MSZIP
    EXPECT_EQ(Le32(b, 44), 5u);                         // the file's size
    EXPECT_EQ(Le32(b, 48), 0u);                         // its offset in the folder
    EXPECT_EQ(Le16(b, 52), 0);                          // folder 0
    EXPECT_EQ(Le16(b, 54), (31 << 9) | (5 << 5) | 1);   // 2011-05-01
    EXPECT_EQ(Le16(b, 56), (13 << 11) | (5 << 5) | 1);  // 13:05:02, seconds by two
    EXPECT_EQ(Le16(b, 58), 0x21);                       // read-only, archive
    EXPECT_EQ(b.substr(60, 6), std::string("a.txt\0", 6));
    EXPECT_EQ(Le16(b, dataAt + 6), 5);  // the block holds the five bytes
    EXPECT_EQ(b.substr(dataAt + 8, 2), "CK");
    EXPECT_EQ(Le16(b, dataAt + 4) + dataAt + 8, b.size());
    const auto* block = reinterpret_cast<const unsigned char*>(b.data());
    EXPECT_EQ(Le32(b, dataAt),
              CabinetWriter::Checksum(block + dataAt + 4, 4,
                                      CabinetWriter::Checksum(block + dataAt + 8, Le16(b, dataAt + 4), 0)));
}

TEST(CabinetWriter, ThreeReadersExtractEveryFileByteForByte) {
    TempDir dir;
    std::filesystem::create_directories(dir.Root() / "in" / "other");
    struct Input {
        std::string path, bytes;
    };
    const std::vector<Input> inputs = {
        {"in/empty.prj", ""},
        {"in/block.bin", RandomBytes(32768, 1)},
        {"in/block1.bin", RandomBytes(32769, 2)},
        {"in/ground.dmx", TextLines(20000)},
        {"in/readonly.zdm", "RADUDAR5.83_ZDM_SHUJU\n0\n"},
        {"in/same.txt", "the first of two\n"},
        {"in/other/same.txt", "the second of two, from another folder\n"},
        {"in/Straße.pm", "a name that is not ASCII\n"},
    };
    std::string all;
    CabinetWriter writer(dir.Root().string(), "backup");
    for (const Input& in : inputs) {
        WriteFileBytes(dir.Path(in.path), in.bytes);
        if (in.path == "in/readonly.zdm") ::chmod(dir.Path(in.path).c_str(), 0444);
        ASSERT_TRUE(writer.AddFile(dir.Path(in.path))) << writer.GetError();
        all += in.bytes;
    }
    ASSERT_TRUE(writer.Finish()) << writer.GetError();
    const std::string cab = Quote(dir.Path("backup.cab"));
    ASSERT_EQ(writer.GetEntries().size(), inputs.size());

    // Listed by each, the two files of one name both.
    std::string out, err;
    ASSERT_EQ(RunCommand("cabextract -l " + cab, &out, &err), 0) << err;
    ASSERT_EQ(RunCommand("gcab -lv " + cab, &out, &err), 0) << err;
    std::size_t count = 0;
    for (std::size_t at = out.find("same.txt"); at != std::string::npos; at = out.find("same.txt", at + 1))
        ++count;
    EXPECT_EQ(count, 2u) << out;
    EXPECT_NE(out.find("readonly.zdm 24 "), std::string::npos) << out;
    EXPECT_NE(out.find(" 0x21"), std::string::npos) << "read-only: " << out;
    ASSERT_EQ(RunCommand("bsdtar -tvf " + cab, &out, &err), 0) << err;
    const std::string roLine = out.substr(out.rfind('\n', out.find("readonly.zdm")) + 1, 10);
    EXPECT_EQ(roLine.find('w'), std::string::npos) << out;

    // Every file in order, through cabextract's and bsdtar's standard output.
    ASSERT_EQ(RunCommand("cabextract -q -p " + cab, &out, &err), 0) << err;
    EXPECT_TRUE(out == all) << "cabextract gave " << out.size() << " bytes of " << all.size();
    ASSERT_EQ(RunCommand("bsdtar -xOf " + cab, &out, &err), 0) << err;
    EXPECT_TRUE(out == all) << "bsdtar gave " << out.size() << " bytes of " << all.size();

    // Extracted into folders by each.
    for (const std::string reader : {"cabextract", "gcab", "bsdtar"}) {
        const std::string into = dir.Path(std::string("x-") + reader);
        std::filesystem::create_directory(into);
        const std::string command = reader == "cabextract" ? "cabextract -q -d " + Quote(into) + " " + cab
                                    : reader == "gcab"     ? "gcab -x -C " + Quote(into) + " " + cab
                                                           : "bsdtar -xf " + cab + " -C " + Quote(into);
        ASSERT_EQ(RunCommand(command, &out, &err), 0) << reader << ": " << err;
        for (const Input& in : inputs) {
            // The second file of a name went in with its folder in front.
            const std::string name = in.path == "in/other/same.txt"
                                         ? "other/same.txt"
                                         : std::filesystem::path(in.path).filename().string();
            EXPECT_TRUE(ReadFileBytes(into + "/" + name) == in.bytes) << reader << " " << name;
        }
    }
    struct stat st;
    ASSERT_EQ(::stat((dir.Path("x-cabextract") + "/readonly.zdm").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0222, 0u) << "cabextract keeps the read-only attribute";
}

// Names are relative and stay in the folder they are extracted into: a
// backslash (a separator to the format's readers) and a colon (a drive) in a
// Linux file name become "_", and the folder put in front of a second file
// of a name is a real one, never "..".
TEST(CabinetWriter, NamesLeadNowhereOutsideTheFolder) {
    TempDir dir;
    std::filesystem::create_directories(dir.Root() / "in" / "sub");
    const std::vector<std::pair<std::string, std::string>> inputs = {
        {"in/..\\..\\evil.bgg", ".._.._evil.bgg"}, {"in/\\Windows\\evil2.bgg", "_Windows_evil2.bgg"},
        {"in/C:evil3.bgg", "C_evil3.bgg"},         {"in/same.dmx", "same.dmx"},
        {"in/sub/../same.dmx", "in\\same.dmx"},
    };
    CabinetWriter writer(dir.Root().string(), "names");
    for (const auto& [path, name] : inputs) {
        if (path.find("/../") == std::string::npos) WriteFileBytes(dir.Path(path), name);
        ASSERT_TRUE(writer.AddFile(dir.Path(path))) << writer.GetError();
    }
    ASSERT_TRUE(writer.Finish()) << writer.GetError();
    const std::string b = ReadFileBytes(dir.Path("names.cab"));
    ASSERT_EQ(writer.GetEntries().size(), inputs.size());
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        EXPECT_EQ(writer.GetEntries()[i].name, inputs[i].second);
        EXPECT_NE(b.find(inputs[i].second + '\0'), std::string::npos) << inputs[i].second;
    }
    EXPECT_EQ(b.find("..\\"), std::string::npos);
}

TEST(CabinetWriter, AnEmptyFileAloneMakesACabinetEveryReaderTakes) {
    TempDir dir;
    WriteFileBytes(dir.Path("road.prj"), "");
    CabinetWriter writer(dir.Root().string(), "empty");
    ASSERT_TRUE(writer.AddFile(dir.Path("road.prj")));
    ASSERT_TRUE(writer.Finish()) << writer.GetError();
    const std::string cab = Quote(dir.Path("empty.cab"));
    std::string out, err;
    std::filesystem::create_directories(dir.Path("a"));
    std::filesystem::create_directories(dir.Path("b"));
    std::filesystem::create_directories(dir.Path("c"));
    ASSERT_EQ(RunCommand("cabextract -q -d " + Quote(dir.Path("a")) + " " + cab, &out, &err), 0) << err;
    ASSERT_EQ(RunCommand("gcab -x -C " + Quote(dir.Path("b")) + " " + cab, &out, &err), 0) << err;
    ASSERT_EQ(RunCommand("bsdtar -xf " + cab + " -C " + Quote(dir.Path("c")), &out, &err), 0) << err;
    for (const char* folder : {"a", "b", "c"}) {
        EXPECT_TRUE(std::filesystem::exists(dir.Path(folder) + "/road.prj")) << folder;
        EXPECT_EQ(std::filesystem::file_size(dir.Path(folder) + "/road.prj"), 0u) << folder;
    }
}

// With a lowered size limit a set of cabinets is written, each at most the
// limit, and cabextract joins them without a warning.
TEST(CabinetWriter, SetsOfCabinetsKeepTheLimitAndExtract) {
    TempDir dir;
    std::filesystem::create_directory(dir.Root() / "in");
    std::vector<std::pair<std::string, std::string>> inputs = {
        {"ground.dmx", TextLines(30000)},
        {"small.sta", "RADUDAR5.84_STA_SHUJU\n"},
        {"empty.bgg", ""},
        {"noise.bin", RandomBytes(150000, 3)},
        {"tail.zkz", TextLines(50)},
    };
    CabinetOptions options;
    options.maxCabinetSize = 40000;
    CabinetWriter writer(dir.Root().string(), "set", options);
    for (const auto& [name, bytes] : inputs) {
        WriteFileBytes(dir.Path("in/" + name), bytes);
        ASSERT_TRUE(writer.AddFile(dir.Path("in/" + name))) << writer.GetError();
    }
    ASSERT_TRUE(writer.Finish()) << writer.GetError();
    const auto& cabinets = writer.GetCabinetPaths();
    ASSERT_GE(cabinets.size(), 5u);
    EXPECT_EQ(std::filesystem::path(cabinets[1]).filename(), "set2.CAB");
    for (const std::string& cabinet : cabinets)
        EXPECT_LE(std::filesystem::file_size(cabinet), 40000u) << cabinet;

    std::filesystem::create_directory(dir.Root() / "x");
    std::string out, err;
    ASSERT_EQ(RunCommand("cabextract -d " + Quote(dir.Path("x")) + " " + Quote(cabinets.front()), &out, &err),
              0)
        << err;
    EXPECT_EQ(err, "") << "no warning while the cabinets are joined";
    for (const auto& [name, bytes] : inputs)
        EXPECT_TRUE(ReadFileBytes(dir.Path("x/" + name)) == bytes) << name;
}

TEST(CabinetWriter, AFailureLeavesNoCabinet) {
    TempDir dir;
    WriteFileBytes(dir.Path("a.txt"), TextLines(100));
    {
        CabinetWriter writer(dir.Root().string(), "broken");
        ASSERT_TRUE(writer.AddFile(dir.Path("a.txt")));
        EXPECT_FALSE(writer.AddFile(dir.Path("missing.txt")));
        EXPECT_NE(writer.GetError().find("missing.txt"), std::string::npos) << writer.GetError();
        EXPECT_FALSE(writer.AddFile(dir.Path("a.txt"))) << "a failed writer stays failed";
        EXPECT_FALSE(writer.Finish());
    }
    {
        CabinetWriter writer(dir.Path("no-such-folder"), "nowhere");
        ASSERT_TRUE(writer.AddFile(dir.Path("a.txt")));
        EXPECT_FALSE(writer.Finish());
        EXPECT_FALSE(writer.GetError().empty());
    }
    {
        // Never finished: the writer takes its cabinets with it.
        CabinetOptions options;
        options.maxCabinetSize = 2000;
        WriteFileBytes(dir.Path("noise.bin"), RandomBytes(20000, 4));
        CabinetWriter writer(dir.Root().string(), "unfinished", options);
        ASSERT_TRUE(writer.AddFile(dir.Path("noise.bin")));
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Root()), {}), 2)
        << "a.txt and noise.bin only";
}

}  // namespace
}  // namespace qdat
