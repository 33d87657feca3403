// The platform layer: mirror file, language resources, run-time class records,
// the named-interface registry and the default user interface.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <set>

#include <qdat/host/HostException.h>
#include <qdat/host/HostFile.h>
#include <qdat/host/HostUi.h>
#include <qdat/host/NamedInterfaces.h>
#include <qdat/host/Resources.h>
#include <qdat/host/RuntimeClass.h>
#include "support/TestSupport.h"

namespace qdat {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

std::size_t FilesIn(const TempDir& dir) {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir.Root()), {}));
}

std::set<std::string> NamesIn(const TempDir& dir) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Root()))
        names.insert(entry.path().filename().string());
    return names;
}

TEST(MirrorFile, CloseReplacesTargetKeepingPermissions) {
    TempDir dir;
    const std::string path = dir.Path("t.dat");
    WriteFileBytes(path, "old");
    ::chmod(path.c_str(), 0604);
    MirrorFile f;
    f.Open(path, File::ModeCreate | File::ModeReadWrite);
    f.Write("new bytes", 9);
    EXPECT_EQ(ReadFileBytes(path), "old") << "the target is untouched until the close";
    EXPECT_EQ(FilesIn(dir), 2u);
    f.Close();
    EXPECT_EQ(ReadFileBytes(path), "new bytes");
    EXPECT_EQ(FilesIn(dir), 1u);
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0604u);
}

TEST(MirrorFile, AbortAndDestructionLeaveTheOldFile) {
    TempDir dir;
    const std::string path = dir.Path("t.dat");
    WriteFileBytes(path, "old");
    {
        MirrorFile f;
        f.Open(path, File::ModeCreate | File::ModeReadWrite);
        f.Write("x", 1);
        f.Abort();
    }
    {
        MirrorFile f;
        f.Open(path, File::ModeCreate | File::ModeReadWrite);
        f.Write("y", 1);
    }  // destroyed without a close: the same as an abort
    EXPECT_EQ(ReadFileBytes(path), "old");
    EXPECT_EQ(FilesIn(dir), 1u);
}

TEST(MirrorFile, NewFileAndErrors) {
    TempDir dir;
    MirrorFile f;
    f.Open(dir.Path("n.dat"), File::ModeCreate | File::ModeReadWrite);
    f.Write("abc", 3);
    f.Close();
    EXPECT_EQ(ReadFileBytes(dir.Path("n.dat")), "abc");

    File missing;
    try {
        missing.Open(dir.Path("none/x.dat"), File::ModeRead);
        FAIL();
    } catch (const FileException& e) {
        EXPECT_EQ(e.GetCause(), FileException::FileNotFound);
        EXPECT_NE(std::string(e.what()).find("none/x.dat"), std::string::npos);
    }
    File folder;
    EXPECT_THROW(folder.Open(dir.Root().string(), File::ModeRead), FileException);
}

// A save replaces the file a link names and keeps the link; it refuses a file
// with other hard links and one the user may not write; it keeps the owner,
// the group and the permission bits; it works for the longest file names.
TEST(MirrorFile, LinksProtectionOwnerAndLongNames) {
    TempDir dir;
    const std::string real = dir.Path("real.dat"), link = dir.Path("link.dat");
    WriteFileBytes(real, "old");
    ASSERT_EQ(::symlink("real.dat", link.c_str()), 0);
    {
        MirrorFile f;
        f.Open(link, File::ModeCreate | File::ModeReadWrite);
        f.Write("new", 3);
        f.Close();
    }
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadFileBytes(real), "new");

    const std::string other = dir.Path("other.dat");
    ASSERT_EQ(::link(real.c_str(), other.c_str()), 0);
    MirrorFile linked;
    try {
        linked.Open(real, File::ModeCreate | File::ModeReadWrite);
        FAIL() << "a file with two names was replaced";
    } catch (const FileException& e) {
        EXPECT_NE(std::string(e.what()).find("hard links"), std::string::npos) << e.what();
    }
    ::unlink(other.c_str());

    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(real.c_str(), 4321, 8765), 0);
        MirrorFile f;
        f.Open(real, File::ModeCreate | File::ModeReadWrite);
        f.Close();
        struct stat st;
        ASSERT_EQ(::stat(real.c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, 4321u);
        EXPECT_EQ(st.st_gid, 8765u);
    }

    const std::string longName = dir.Path(std::string(250, 'n') + ".dat");
    WriteFileBytes(longName, "old");
    MirrorFile f;
    f.Open(longName, File::ModeCreate | File::ModeReadWrite);
    f.Write("new", 3);
    f.Close();
    EXPECT_EQ(ReadFileBytes(longName), "new");
}

// A user who may not write a file cannot replace it through a save either,
// though the folder is writable. Run as another user when the tests run as
// root, who may write anything.
TEST(MirrorFile, RefusesAFileTheUserMayNotWrite) {
    TempDir dir;
    ::chmod(dir.Root().c_str(), 0777);
    const std::string path = dir.Path("locked.dat");
    WriteFileBytes(path, "old");
    ::chmod(path.c_str(), 0444);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
        MirrorFile f;
        try {
            f.Open(path, File::ModeCreate | File::ModeReadWrite);
            f.Write("new", 3);
            f.Close();
        } catch (const FileException& e) {
            ::_exit(e.GetCause() == FileException::AccessDenied ? 0 : 2);
        }
        ::_exit(1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: replaced, 2: another error, 3: no other user";
    EXPECT_EQ(ReadFileBytes(path), "old");
    EXPECT_EQ(FilesIn(dir), 1u);
}

// A save writes ".<target>.qdat-part-<process id>". One cut short by a killed
// process leaves that file; the next save of the same target removes it, and
// keeps those of other targets and of processes that still run. Under a
// file-size limit the save fails, and the target and its folder stay as they were.
TEST(MirrorFile, PartFilesOfSavesCutShort) {
    TempDir dir;
    const std::string road = dir.Path("road.dmx"), other = dir.Path("other.dmx");
    WriteFileBytes(road, "old road");
    WriteFileBytes(other, "old other");
    const unsigned flags = File::ModeCreate | File::ModeReadWrite;
    const std::string own = ".road.dmx.qdat-part-" + std::to_string(::getpid());
    {
        MirrorFile first, second;
        first.Open(road, flags);
        second.Open(road, flags);
        EXPECT_EQ(NamesIn(dir), (std::set<std::string>{own, own + "-1", "other.dmx", "road.dmx"}));
    }

    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        MirrorFile a, b;
        a.Open(road, flags);
        a.Write("new road", 8);
        b.Open(other, flags);
        b.Write("new other", 9);
        [[maybe_unused]] const ssize_t told = ::write(ready[1], "!", 1);
        ::pause();
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);
    ::close(ready[1]);
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    const std::string roadPart = ".road.dmx.qdat-part-" + std::to_string(child);
    const std::string otherPart = ".other.dmx.qdat-part-" + std::to_string(child);
    const std::string running = ".road.dmx.qdat-part-1";  // the system's first process
    WriteFileBytes(dir.Path(running), "");
    EXPECT_EQ(NamesIn(dir), (std::set<std::string>{roadPart, otherPart, running, "other.dmx", "road.dmx"}));
    EXPECT_EQ(ReadFileBytes(road), "old road");
    {
        MirrorFile f;
        f.Open(road, flags);
        f.Write("new", 3);
        f.Close();
    }
    EXPECT_EQ(ReadFileBytes(road), "new");
    EXPECT_EQ(NamesIn(dir), (std::set<std::string>{otherPart, running, "other.dmx", "road.dmx"}));

    child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(3);
        MirrorFile f;
        try {
            f.Open(other, flags);
            const std::string bytes(8192, 'x');
            f.Write(bytes.data(), bytes.size());
            f.Close();
        } catch (const FileException& e) {
            f.Abort();
            ::_exit(e.GetOsError() == EFBIG ? 0 : 2);
        }
        ::_exit(1);
    }
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: written past the limit, 2: another error";
    EXPECT_EQ(ReadFileBytes(other), "old other");
    EXPECT_EQ(NamesIn(dir), (std::set<std::string>{running, "other.dmx", "road.dmx"}));
}

TEST(MemoryFile, ReadWriteSeek) {
    MemoryFile m("hello", "m");
    char buf[8] = {};
    EXPECT_EQ(m.Read(buf, 3), 3u);
    EXPECT_EQ(std::string(buf, 3), "hel");
    EXPECT_EQ(m.Read(buf, 8), 2u);
    EXPECT_EQ(m.Read(buf, 8), 0u);
    m.Seek(1, File::SeekFrom::Begin);
    m.Write("EY", 2);
    EXPECT_EQ(m.Bytes(), "hEYlo");
    m.Seek(0, File::SeekFrom::End);
    m.Write("!", 1);
    EXPECT_EQ(m.Bytes(), "hEYlo!");
    EXPECT_THROW(m.Seek(-1, File::SeekFrom::Begin), FileException);
}

// Texts registered by this test program only.
const ResourceTable kTestStrings{
    {990001, "Value %d of %s"},
    {990002, "Break %1 overlaps %2"},
    {990003, "plain"},
};

class LanguageTest : public ::testing::Test {
protected:
    void TearDown() override { ClearLanguageTexts(); }
    TempDir dir;
};

TEST_F(LanguageTest, LanguageFileOverridesOnlyMatchingTexts) {
    const std::string path = dir.Path("QDatFile60.xx.lang");
    WriteFileBytes(path,
                   "# test language\n"
                   "990001\tWert %d von %s\n"
                   "990002\t%2 ueberlappt %1\\n(zweite Zeile)\n"
                   "990003\t%s would crash the formatter\n"
                   "not a line\n");
    EXPECT_EQ(LoadLanguageFile(path), 3);
    EXPECT_EQ(FormatResource(990001, 3, "zehn"), "Wert 3 von zehn");
    EXPECT_EQ(FormatResourceMessage(990002, "A", "B"), "B ueberlappt A\n(zweite Zeile)");
    EXPECT_EQ(LoadResourceString(990003), "plain") << "a text with other conversions is rejected";
    EXPECT_EQ(LoadLanguageFile(dir.Path("missing.lang")), -1);
}

TEST_F(LanguageTest, BuiltInTextsAndSignatures) {
    ClearLanguageTexts();
    EXPECT_EQ(FormatResource(990001, 12, "x"), "Value 12 of x");
    EXPECT_EQ(LoadResourceString(424242), "");
    EXPECT_EQ(ConversionSignature("%d %s"), ConversionSignature("%5d and %-3s"));
    EXPECT_NE(ConversionSignature("%d %s"), ConversionSignature("%s %d"));
    EXPECT_EQ(ConversionSignature("%.3lf"), ConversionSignature("%f"));
    EXPECT_NE(ConversionSignature("%ld+"), ConversionSignature("%d+"));
    EXPECT_EQ(ConversionSignature("%1 and %2"), ConversionSignature("%2 then %1"));
    EXPECT_EQ(ConversionSignature("100%% sure"), ConversionSignature("sure"));
    EXPECT_NE(ConversionSignature("%*d"), ConversionSignature("%d"));
}

class Animal : public QObject {
public:
    static const RuntimeClass classRecord;
    const RuntimeClass& GetRuntimeClass() const override { return classRecord; }
};
class Cat : public Animal {
public:
    static const RuntimeClass classRecord;
    const RuntimeClass& GetRuntimeClass() const override { return classRecord; }
};
const RuntimeClass Animal::classRecord{"TestAnimal", &QObject::classRecord, nullptr};
const RuntimeClass Cat::classRecord{"TestCat", &Animal::classRecord, [] { return std::make_unique<Cat>(); }};

TEST(RuntimeClassTest, CreateByNameAndDerivation) {
    auto obj = RuntimeClass::CreateObject("TestCat");
    ASSERT_TRUE(obj);
    EXPECT_TRUE(obj->IsKindOf(Animal::classRecord));
    EXPECT_TRUE(obj->IsKindOf(QObject::classRecord));
    EXPECT_FALSE(Animal::classRecord.IsDerivedFrom(Cat::classRecord));
    EXPECT_EQ(RuntimeClass::CreateObject("TestAnimal"), nullptr) << "no factory";
    EXPECT_EQ(RuntimeClass::CreateObject("NoSuchClass"), nullptr);
    EXPECT_TRUE(CreateObjectAs<Animal>("TestCat"));
    EXPECT_FALSE(CreateObjectAs<Cat>("QStation"));
    EXPECT_NE(RuntimeClass::FromName("QDocument"), nullptr) << "documents register at load";
    EXPECT_NE(RuntimeClass::FromName("QStation"), nullptr);
}

TEST(NamedInterfaceRegistry, CollectorsReceiveEarlierAndLaterFactories) {
    int made = 0;
    RegisterFactory("TestInterfaceB", [&made] {
        ++made;
        return std::make_unique<Cat>();
    });
    InterfaceCollector collector("TestInterfaceB");
    EXPECT_EQ(collector.Items().size(), 1u);
    const RegistrationNode* node = RegisterFactory("TestInterfaceB", [&made] {
        ++made;
        return std::make_unique<Cat>();
    });
    EXPECT_EQ(collector.Items().size(), 2u) << "a factory registered later reaches the collector";
    EXPECT_EQ(made, 2);
    RegisterFactory("TestInterfaceA", [] { return std::make_unique<Cat>(); });
    EXPECT_EQ(collector.Items().size(), 2u);
    ASSERT_NE(node, nullptr);
    const auto names = RegisteredInterfaceNames();
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    EXPECT_NE(std::find(names.begin(), names.end(), "QDocDataType"), names.end());
}

TEST(DefaultUi, IsNonInteractiveAndSafe) {
    ConsoleUi ui;
    testing::internal::CaptureStderr();
    EXPECT_EQ(ui.ShowMessage("Delete everything?", MessageKind::Question, MessageButtons::YesNo),
              MessageAnswer::No);
    EXPECT_EQ(ui.ShowMessage("Go on?", MessageKind::Question, MessageButtons::OkCancel),
              MessageAnswer::Cancel);
    EXPECT_EQ(ui.ShowMessage("done", MessageKind::Information, MessageButtons::Ok), MessageAnswer::Ok);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Delete everything?"), std::string::npos);
    EXPECT_FALSE(ui.ChooseOpenFile({}).has_value());
    EXPECT_FALSE(ui.ChooseSaveFile({}).has_value());
    EXPECT_FALSE(AskYesNo("really?"));
}

}  // namespace
}  // namespace qdat
