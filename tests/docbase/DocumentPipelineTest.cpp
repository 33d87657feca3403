// The open, read, save, write and legacy-copy pipelines of QDocument, driven
// through a small document kind defined here.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include <qdat/docbase/QDocument.h>
#include <qdat/host/HostFile.h>
#include "support/TestSupport.h"

namespace qdat {
namespace {

using test::ReadFileBytes;
using test::RecordingUi;
using test::TempDir;
using test::WriteFileBytes;

// A number that marks damage in the test files: reading stops before it.
constexpr int kDamage = -9999;

// A list of whole numbers, one a record, kept in ascending order.
class NumberListDoc : public QDocument {
public:
    NumberListDoc() { SetCurrentVersion(583); }

    std::string GetSignature() override {
        return IsRailwayVariant() ? "RADUDAR5.83_TST_SHUJU_RAILWAY" : "RADUDAR5.83_TST_SHUJU";
    }
    bool ParseSignature(const std::string& sig) override {
        if (sig == "RADUDAR5.83_TST_SHUJU")
            SetFileVersion(583);
        else if (sig == "RADUDAR5.80_TST_SHUJU")
            SetFileVersion(580);
        else
            return QDocument::ParseSignature(sig);
        return true;
    }
    std::string GetTypeString() override { return "\nTest\nTest list\nTest lists (*.tst)\n.tst\n"; }
    int SerializeContent(DataArchive& ar) override {
        if (ar.IsStoring()) {
            if (failWrite) ar.ThrowError(QArchiveException::GenericError, "refused by the test");
            for (int v : values) ar << v << EndRecord;
            return 1;
        }
        while (!ar.AtEnd()) {
            int v = 0;
            ar >> v;
            if (v == kDamage) {  // keep what came before
                NoteReadStoppedEarly(ar, std::to_string(values.size()) + " numbers");
                break;
            }
            ar >> EndRecord;
            values.push_back(v);
        }
        return failRead ? 0 : 1;
    }
    void DeleteContents() override { values.clear(); }
    bool NeedsRepair() override { return !std::is_sorted(values.begin(), values.end()); }
    bool Repair() override {
        std::sort(values.begin(), values.end());
        return true;
    }

    std::vector<int> values;
    bool failWrite = false;
    bool failRead = false;  // the content says it was not read
};

class Listener : public DocumentListener {
public:
    explicit Listener(std::uint32_t version) : version(version) {}
    std::uint32_t GetInterfaceVersion() override { return version; }
    bool OnBeforeOpen(const std::string& path) override {
        events.push_back("before-open " + path);
        return allowOpen;
    }
    void OnAfterOpen(const std::string&) override { events.push_back("after-open"); }
    bool OnBeforeSave(const std::string&) override {
        events.push_back("before-save");
        return allowSave;
    }
    void OnAfterSave(const std::string&) override { events.push_back("after-save"); }
    bool OnClose(const std::string&) override {
        events.push_back("close");
        return true;
    }
    std::uint32_t version;
    bool allowOpen = true, allowSave = true;
    std::vector<std::string> events;
};

class PipelineTest : public ::testing::Test {
protected:
    void SetUp() override { QDocument::ArmOldVersionNotice(true); }
    void TearDown() override {
        QDocument::ArmOldVersionNotice(true);
        QDocument::SetRailwayMode(false);
    }
    RecordingUi ui;
    ScopedUi scoped{ui};
    TempDir dir;
};

TEST_F(PipelineTest, CurrentVersionOpensUnmodifiedAndIsNotRewritten) {
    const std::string path = dir.Path("a.tst");
    const std::string bytes = "RADUDAR5.83_TST_SHUJU\n  1\n2,\n// note\n3\n";
    WriteFileBytes(path, bytes);
    NumberListDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_EQ(doc.values, (std::vector<int>{1, 2, 3}));
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(ReadFileBytes(path), bytes);
    EXPECT_EQ(doc.GetTitle(), "a.tst");
    EXPECT_EQ(doc.GetPathName(), path);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(doc.IsOpenComplete(), 1);
}

TEST_F(PipelineTest, OlderVersionIsRewrittenAtOnceAndNoticeShownOnce) {
    const std::string a = dir.Path("a.tst"), b = dir.Path("b.tst");
    WriteFileBytes(a, "RADUDAR5.80_TST_SHUJU\n1\n2\n");
    WriteFileBytes(b, "RADUDAR5.80_TST_SHUJU\n5\n");
    NumberListDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(a));
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(ReadFileBytes(a), "RADUDAR5.83_TST_SHUJU\n         1\n         2\n");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].text.find("a.tst"), std::string::npos);

    NumberListDoc second;
    ASSERT_TRUE(second.OnOpenDocument(b));
    EXPECT_EQ(ui.messages.size(), 1u) << "the notice appears once per armed project";
    EXPECT_EQ(ReadFileBytes(b), "RADUDAR5.83_TST_SHUJU\n         5\n");
}

TEST_F(PipelineTest, DirectReadNeverShowsTheNotice) {
    const std::string path = dir.Path("a.tst");
    WriteFileBytes(path, "RADUDAR5.80_TST_SHUJU\n1\n");
    NumberListDoc doc;
    File file;
    file.Open(path, File::ModeRead);
    ASSERT_TRUE(doc.ReadFromFile(file));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(doc.GetFileVersion(), 580u);
}

TEST_F(PipelineTest, FlagsAfterReadAreTextAndNotLoadingWhateverTheForm) {
    // Write a scrambled tagged file, then read it back.
    NumberListDoc writer;
    writer.values = {7, 8};
    writer.SetTextForm(false);
    writer.SetTaggedForm(true);
    writer.SetScrambledForm(true);
    MemoryFile out(std::string(), "mem.tst");
    ASSERT_TRUE(writer.WriteToFile(out));
    EXPECT_EQ(out.Bytes().substr(0, 4), "QBTC");

    NumberListDoc reader;
    MemoryFile in(out.Bytes(), "mem.tst");
    ASSERT_TRUE(reader.ReadFromFile(in));
    EXPECT_EQ(reader.values, (std::vector<int>{7, 8}));
    EXPECT_EQ(reader.GetFormatFlags(), 0x10000001u);
}

// A kind whose 5.0 files are plain binary without header, named by a
// length-prefixed signature. Like the kinds with an old binary layout, its
// ParseSignature clears TextForm and leaves the other form bits to the header.
class OldBinaryListDoc : public NumberListDoc {
public:
    bool ParseSignature(const std::string& sig) override {
        if (sig != "QARO5.0_TST") return NumberListDoc::ParseSignature(sig);
        SetFileVersion(500);
        SetTextForm(false);
        return true;
    }
};

// A failed read keeps the form its header gave; the next file, without a
// header, must not be read in that form.
TEST_F(PipelineTest, FailedReadLeavesNoFormForTheNextFile) {
    OldBinaryListDoc doc;
    // Tagged and scrambled, cut inside its first value.
    MemoryFile cut(std::string("QBTCRADUDAR5.83_TST_SHUJU\n\x73\x71", 28), "cut.tst");
    EXPECT_FALSE(doc.ReadFromFile(cut));
    EXPECT_TRUE(doc.values.empty());

    // 0x0B = 11 signature bytes, then the ints 7 and -2 as little-endian words.
    const std::string old = std::string("\x0BQARO5.0_TST") + std::string("\x07\0\0\0\xFE\xFF\xFF\xFF", 8);
    MemoryFile oldFile(old, "old.tst");
    ASSERT_TRUE(doc.ReadFromFile(oldFile));
    EXPECT_EQ(doc.GetFileVersion(), 500u);
    EXPECT_EQ(doc.values, (std::vector<int>{7, -2}));
}

TEST_F(PipelineTest, BadTokenLeavesDocumentEmptyFileUntouchedAndNamesLine) {
    const std::string path = dir.Path("bad.tst");
    const std::string bytes = "RADUDAR5.80_TST_SHUJU\n1\n2\nzwei\n4\n";
    WriteFileBytes(path, bytes);
    NumberListDoc doc;
    doc.values = {99};
    EXPECT_FALSE(doc.OnOpenDocument(path));
    EXPECT_TRUE(doc.values.empty());
    EXPECT_EQ(ReadFileBytes(path), bytes);
    ASSERT_EQ(ui.messages.size(), 2u);  // the old-version notice, then the error
    const std::string& err = ui.messages[1].text;
    EXPECT_NE(err.find(path), std::string::npos) << err;
    EXPECT_NE(err.find("line 4"), std::string::npos) << err;
    EXPECT_NE(err.find("zwei"), std::string::npos) << err;
    EXPECT_TRUE(doc.GetPathName().empty());
}

// A content that says it did not read the file fails the open like a bad
// token, instead of leaving half a document that looks opened.
TEST_F(PipelineTest, ContentThatSaysItFailedFailsTheOpen) {
    const std::string path = dir.Path("said.tst");
    const std::string bytes = "RADUDAR5.83_TST_SHUJU\n1\n";
    WriteFileBytes(path, bytes);
    NumberListDoc doc;
    doc.failRead = true;
    EXPECT_FALSE(doc.OnOpenDocument(path));
    EXPECT_TRUE(doc.values.empty());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].text.find(path), std::string::npos) << ui.messages[0].text;
    EXPECT_EQ(ReadFileBytes(path), bytes);
}

// A file read only in part is not written back by the open, though it is
// old; a save over it asks first; a save elsewhere does not.
TEST_F(PipelineTest, FileReadInPartIsNeverRewrittenUnasked) {
    const std::string path = dir.Path("part.tst");
    const std::string bytes = "RADUDAR5.80_TST_SHUJU\n1\n2\n-9999\n3\n";
    WriteFileBytes(path, bytes);
    NumberListDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_EQ(doc.values, (std::vector<int>{1, 2}));
    EXPECT_TRUE(doc.WasReadPartly());
    EXPECT_EQ(ReadFileBytes(path), bytes);
    EXPECT_TRUE(doc.IsModified());
    ASSERT_FALSE(ui.messages.empty());
    const std::string& note = ui.messages.back().text;
    EXPECT_EQ(ui.messages.back().kind, MessageKind::Warning);
    EXPECT_NE(note.find("2 numbers"), std::string::npos) << note;
    EXPECT_NE(note.find("line 4"), std::string::npos) << note;

    EXPECT_FALSE(doc.OnSaveDocument(path));  // asked, answered No
    EXPECT_EQ(ReadFileBytes(path), bytes);
    const std::string copy = dir.Path("copy.tst");
    ASSERT_TRUE(doc.OnSaveDocument(copy));
    EXPECT_EQ(ReadFileBytes(copy), "RADUDAR5.83_TST_SHUJU\n         1\n         2\n");
    EXPECT_FALSE(doc.WasReadPartly());

    NumberListDoc again;
    ASSERT_TRUE(again.OnOpenDocument(path));
    ui.answers.push_back(MessageAnswer::Yes);
    EXPECT_TRUE(again.OnSaveDocument(path));
    EXPECT_EQ(ReadFileBytes(path), "RADUDAR5.83_TST_SHUJU\n         1\n         2\n");
}

TEST_F(PipelineTest, FailedSaveLeavesOldFileByteIdenticalAndNoTemporaryFile) {
    const std::string path = dir.Path("keep.tst");
    const std::string bytes = "RADUDAR5.83_TST_SHUJU\n1\n";
    WriteFileBytes(path, bytes);
    ::chmod(path.c_str(), 0640);
    NumberListDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(path));
    doc.values.push_back(2);
    doc.failWrite = true;
    doc.SetModifiedFlag(true);
    EXPECT_FALSE(doc.OnSaveDocument(path));
    EXPECT_FALSE(doc.SaveWithPrompt()) << "the failed save must be reported";
    EXPECT_EQ(ReadFileBytes(path), bytes);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Root()), {}), 1);

    doc.failWrite = false;
    EXPECT_TRUE(doc.SaveWithPrompt());
    EXPECT_EQ(ReadFileBytes(path), "RADUDAR5.83_TST_SHUJU\n         1\n         2\n");
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u) << "the replaced file keeps its permission bits";
}

// A list with a note line before its numbers; the note is only written.
class NotedListDoc : public NumberListDoc {
public:
    int SerializeContent(DataArchive& ar) override {
        if (ar.IsStoring()) ar << note << EndRecord;
        return NumberListDoc::SerializeContent(ar);
    }
    std::string note;
};

TEST_F(PipelineTest, TextTheFileCannotHoldFailsTheSaveAndKeepsTheOldFile) {
    const std::string path = dir.Path("note.tst");
    const std::string bytes = "RADUDAR5.83_TST_SHUJU\n1\n";
    WriteFileBytes(path, bytes);
    NotedListDoc doc;
    doc.values = {1};
    doc.note = "say \"hi\" twice";
    EXPECT_FALSE(doc.OnSaveDocument(path));
    EXPECT_EQ(ReadFileBytes(path), bytes);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Root()), {}), 1);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].text.find(path), std::string::npos) << ui.messages[0].text;
    EXPECT_NE(ui.messages[0].text.find(doc.note), std::string::npos) << ui.messages[0].text;
}

TEST_F(PipelineTest, SaveWithPrompt) {
    NumberListDoc doc;
    EXPECT_TRUE(doc.SaveWithPrompt());  // not modified: nothing asked
    EXPECT_TRUE(ui.saveRequests.empty());

    doc.SetModifiedFlag(true);
    doc.SetTitle("A;B#C");
    EXPECT_FALSE(doc.SaveWithPrompt());  // the chooser is cancelled
    ASSERT_EQ(ui.saveRequests.size(), 1u);
    const FileDialogRequest& req = ui.saveRequests[0];
    EXPECT_EQ(req.initialName, "A.tst");
    ASSERT_EQ(req.filters.size(), 2u);
    EXPECT_EQ(req.filters[0].name, "Test lists (*.tst)");
    EXPECT_EQ(req.filters[0].pattern, "*.tst");
    EXPECT_EQ(req.filters[1].pattern, "*.*");
    EXPECT_EQ(req.defaultExtension, "tst");

    const std::string path = dir.Path("chosen.tst");
    ui.chosen.push_back(path);
    doc.values = {4};
    EXPECT_TRUE(doc.SaveWithPrompt());
    EXPECT_EQ(doc.GetPathName(), path);
    EXPECT_EQ(doc.GetTitle(), "chosen.tst");
    EXPECT_FALSE(doc.IsModified());
}

TEST_F(PipelineTest, ListenersVersionRuleVetoesAndOrder) {
    Listener old(579), current(580), capable(580 | 0x30000);
    NumberListDoc doc;
    doc.AddListener(&old);
    doc.AddListener(&current);
    doc.AddListener(&capable);
    EXPECT_EQ(doc.Data().Listeners.GetCount(), 2);

    const std::string path = dir.Path("l.tst");
    WriteFileBytes(path, "RADUDAR5.83_TST_SHUJU\n1\n");
    current.allowOpen = false;
    EXPECT_FALSE(doc.OnOpenDocument(path));
    EXPECT_TRUE(doc.values.empty());
    EXPECT_EQ(current.events, (std::vector<std::string>{"before-open " + path}));
    EXPECT_TRUE(capable.events.empty()) << "the first veto stops the round";

    current.allowOpen = true;
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_EQ(capable.events.back(), "after-open");

    capable.allowSave = false;
    doc.values.push_back(2);
    EXPECT_FALSE(doc.OnSaveDocument(path));
    EXPECT_EQ(ReadFileBytes(path), "RADUDAR5.83_TST_SHUJU\n1\n");

    doc.RemoveListener(&capable);
    doc.RemoveListener(&old);  // never attached: nothing happens
    EXPECT_TRUE(doc.OnSaveDocument(path));
    EXPECT_EQ(current.events.back(), "after-save");
    doc.RemoveListener(&current);
    EXPECT_EQ(doc.Data().Listeners.GetBlockCount(), 0u);
}

TEST_F(PipelineTest, RepairOfferedSavedSortedOnYesLeftAloneOnNo) {
    const std::string path = dir.Path("r.tst");
    const std::string bytes = "RADUDAR5.83_TST_SHUJU\n3\n1\n2\n";
    WriteFileBytes(path, bytes);
    {
        NumberListDoc doc;
        ASSERT_TRUE(doc.OnOpenDocument(path));  // the default answer is No
        EXPECT_EQ(doc.values, (std::vector<int>{3, 1, 2}));
        EXPECT_EQ(ReadFileBytes(path), bytes);
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].buttons, MessageButtons::YesNo);
        EXPECT_NE(ui.messages[0].text.find(path), std::string::npos);
    }
    ui.answers.push_back(MessageAnswer::Yes);
    NumberListDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_EQ(doc.values, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(ReadFileBytes(path), "RADUDAR5.83_TST_SHUJU\n         1\n         2\n         3\n");
}

TEST_F(PipelineTest, UnknownSignatureIsContentAndTheFileIsSavedAgain) {
    const std::string path = dir.Path("u.tst");
    WriteFileBytes(path, "10\n20\n");
    NumberListDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_EQ(doc.values, (std::vector<int>{10, 20}));
    EXPECT_EQ(ReadFileBytes(path), "RADUDAR5.83_TST_SHUJU\n        10\n        20\n");
}

TEST_F(PipelineTest, RailwayModeMarksEveryWrite) {
    QDocument::SetRailwayMode(true);
    NumberListDoc doc;
    MemoryFile out;
    doc.WriteToFile(out);
    EXPECT_EQ(out.Bytes(), "RADUDAR5.83_TST_SHUJU_RAILWAY\n");
}

TEST_F(PipelineTest, LegacyCopyKeepsPathTitleAndFlags) {
    class Owner : public ProjectOwner {
    public:
        void OnEntrySaved(int id, const std::string& path) override { saved.emplace_back(id, path); }
        std::vector<std::pair<int, std::string>> saved;
    } owner;
    NumberListDoc doc;
    doc.Data().OwnerProject = &owner;
    doc.Data().ProjectEntryId = 7;
    doc.values = {1};
    const std::string main = dir.Path("m.tst"), copy = dir.Path("copy.tst");
    ASSERT_TRUE(doc.OnSaveDocument(main));
    ASSERT_EQ(owner.saved.size(), 1u);
    EXPECT_EQ(owner.saved[0], std::make_pair(7, main));
    const std::uint32_t flags = doc.GetFormatFlags();
    ASSERT_TRUE(doc.SaveLegacyCopy(copy));
    EXPECT_EQ(doc.GetPathName(), main);
    EXPECT_EQ(doc.GetTitle(), "m.tst");
    EXPECT_EQ(doc.GetFormatFlags(), flags);
    EXPECT_EQ(owner.saved.size(), 1u) << "a legacy copy does not tell the project";
    // Legacy layout is binary without header: the signature, then a plain int.
    EXPECT_EQ(ReadFileBytes(copy), std::string("RADUDAR5.83_TST_SHUJU\n\x01\x00\x00\x00", 26));

    doc.failWrite = true;
    EXPECT_FALSE(doc.SaveLegacyCopy(copy));
    EXPECT_EQ(doc.GetFormatFlags(), flags) << "flags come back after a failed legacy write too";
}

TEST_F(PipelineTest, OpenWithoutPathAsksAndCancelReturnsFalse) {
    NumberListDoc doc;
    EXPECT_FALSE(doc.OnOpenDocument(""));
    ASSERT_EQ(ui.openRequests.size(), 1u);
    EXPECT_EQ(ui.openRequests[0].defaultExtension, ".tst");

    const std::string path = dir.Path("o.tst");
    WriteFileBytes(path, "RADUDAR5.83_TST_SHUJU\n1\n");
    ui.chosen.push_back(path);
    EXPECT_TRUE(doc.OnOpenDocument(""));
    EXPECT_EQ(doc.values, std::vector<int>{1});
}

TEST_F(PipelineTest, MissingFileIsReportedAndDocumentUnchanged) {
    NumberListDoc doc;
    doc.values = {5};
    EXPECT_FALSE(doc.OnOpenDocument(dir.Path("missing.tst")));
    EXPECT_EQ(doc.values, std::vector<int>{5});
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].text.find("missing.tst"), std::string::npos);
}

TEST_F(PipelineTest, ViewsAddToRecentFilesAndCloseTellsListeners) {
    Listener l(600);
    NumberListDoc doc;
    doc.AddListener(&l);
    doc.AddView();
    const std::string path = dir.Path("v.tst");
    WriteFileBytes(path, "RADUDAR5.83_TST_SHUJU\n1\n");
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_EQ(ui.recentFiles, std::vector<std::string>{path});
    doc.OnCloseDocument();
    EXPECT_EQ(l.events.back(), "close");
    EXPECT_TRUE(doc.GetPathName().empty());
}

TEST(DocumentTypeString, Fields) {
    EXPECT_EQ(QDocument::TypeStringField("a\nb\nc\nd\n.e", 4), ".e");
    EXPECT_EQ(QDocument::TypeStringField("a\nb", 3), "");
    EXPECT_EQ(QDocument::TypeStringField("", 0), "");
}

}  // namespace
}  // namespace qdat
