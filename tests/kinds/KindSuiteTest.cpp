// The tests every registered document kind gets from its description: the
// description is sound, the signature table is what ParseSignature and
// GetSignature do, every sample file (the demo project's and the fuzz seeds)
// round-trips through every form the kind writes, every sample cut short
// fails cleanly, and every saved fuzz input reads, writes and reads back the
// same. A kind adds tests of its own rules only.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <span>
#include <string>
#include <vector>

#include <qdat/docbase/DocumentKind.h>
#include <qdat/docbase/QDocument.h>
#include <qdat/host/HostFile.h>
#include <qdat/host/Resources.h>
#include <qdat/station/ChainTable.h>
#include <qdat/station/QStation.h>
#include "DocumentRoundTrip.h"
#include "support/TestSupport.h"

namespace qdat {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;

struct Sample {
    std::string name;
    std::string bytes;
};

bool HasExtension(const fs::path& path, const std::vector<std::string>& extensions) {
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return std::find(extensions.begin(), extensions.end(), ext) != extensions.end();
}

std::vector<fs::path> FilesIn(const fs::path& folder) {
    std::vector<fs::path> files;
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return files;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

// The saved fuzz inputs of a kind: seeds in every form and inputs once found.
std::vector<Sample> CorpusOf(const DocumentKind& kind) {
    std::vector<Sample> out;
    for (const fs::path& p : FilesIn(fs::path(QDAT_SOURCE_DIR) / "fuzz" / "corpus" / kind.GetName()))
        out.push_back({p.filename().string(), ReadFileBytes(p.string())});
    return out;
}

// The demo project's files of the kind and the fuzz inputs, as far as the
// kind reads them and writes them as text (a saved input may hold what text
// cannot carry).
std::vector<Sample> SamplesOf(const DocumentKind& kind) {
    std::vector<Sample> candidates = CorpusOf(kind);
    for (const fs::path& p : FilesIn(fs::path(QDAT_SOURCE_DIR) / "examples"))
        if (HasExtension(p, kind.GetExtensions()))
            candidates.push_back({p.filename().string(), ReadFileBytes(p.string())});
    std::vector<Sample> samples;
    for (Sample& s : candidates) {
        GetCurrentChainTable() = ChainTable();
        auto doc = kind.CreateDocument();
        MemoryFile file(s.bytes, s.name);
        std::string text;
        if (doc->ReadFromFile(file) && fuzz::WriteAsText(*doc, text)) samples.push_back(std::move(s));
    }
    return samples;
}

std::string Write(QDocument& doc, std::uint32_t formFlags) {
    doc.SetFormatFlags(FormatFlag::NotLoading | formFlags);
    MemoryFile out(std::string(), "out");
    doc.WriteToFile(out);
    return out.Bytes();
}

// Rows of the content's lists: none after a failed read.
int ListRows(const DocumentKind& kind, QDocument& doc) {
    int rows = 0;
    for (const ContentBlock& block : kind.GetContent())
        if (block.IsList()) rows += block.count(doc);
    return rows;
}

class KindSuite : public ::testing::TestWithParam<const DocumentKind*> {
protected:
    const DocumentKind& Kind() const { return *GetParam(); }

    test::StationDefaults defaults;
    test::RecordingUi ui;
    ScopedUi scoped{ui};
};

TEST_P(KindSuite, DescriptionIsSound) {
    const DocumentKind& kind = Kind();
    const KindDescription& d = kind.Description();
    ASSERT_FALSE(d.typeStrings.empty());
    for (const TypeString& t : d.typeStrings) {
        EXPECT_NE(t.Field(0).find('|'), std::string_view::npos) << t.id << ": \"name|description\" first";
        EXPECT_FALSE(t.Field(3).empty()) << t.id << ": the filter name";
        EXPECT_EQ(t.Extension().substr(0, 1), ".") << t.id;
        EXPECT_TRUE(t.Field(5).empty()) << t.id << ": five fields";
        // Group 0: a type string that stands for no data type of a project
        // (the project file's own).
        if (t.projectGroup != 0) {
            EXPECT_GE(t.projectGroup, 0x8001) << t.id;
            EXPECT_LE(t.projectGroup, 0x8004) << t.id;
        }
    }

    // One plain written signature, for the version the kind writes; every
    // signature read is compared in its normal form.
    int plain = 0;
    for (const SignatureRule& rule : d.signatures) {
        if (rule.IsRead()) {
            EXPECT_EQ(NormalizeSignature(rule.text), rule.text);
        }
        if (rule.IsWritten() && !(rule.set & FormatFlag::VariantBits)) {
            ++plain;
            if (d.currentVersion) {
                EXPECT_EQ(rule.fileVersion, d.currentVersion);
            }
        }
    }
    EXPECT_EQ(plain, 1);

    const auto checkColumns = [](std::span<const ColumnDescription> columns, std::set<std::string>& keys) {
        for (const ColumnDescription& column : columns) {
            EXPECT_TRUE(keys.insert(column.key).second) << column.key;
            if (column.kind == ColumnDescription::Kind::Text)
                EXPECT_TRUE(column.getText && column.setText);
            else
                EXPECT_TRUE(column.get && column.set) << column.key;
        }
    };
    for (const ContentBlock& block : d.content) {
        EXPECT_EQ(block.IsList(), block.key != nullptr);
        ASSERT_NE(block.row, nullptr);
        std::set<std::string> keys;
        checkColumns(block.columns, keys);
        for (const RowList& list : block.rowLists) {
            EXPECT_TRUE(list.key && keys.insert(list.key).second);
            EXPECT_TRUE(list.count && list.item) << list.key;
            std::set<std::string> itemKeys;
            checkColumns(list.columns, itemKeys);
        }
    }

    auto doc = kind.CreateDocument();
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->GetKind(), &kind);
    EXPECT_EQ(&doc->GetRuntimeClass(), &kind);
    EXPECT_EQ(doc->GetCurrentVersion(), d.currentVersion);
    EXPECT_EQ(doc->GetTypeString(), LoadResourceString(kind.GetTypeStringId()));
    EXPECT_EQ(DocumentKind::Find(kind.GetName()), &kind);
}

TEST_P(KindSuite, SignatureTableIsWhatTheDocumentDoes) {
    const DocumentKind& kind = Kind();
    constexpr std::uint32_t kBefore =
        FormatFlag::TaggedForm | FormatFlag::NzsVariant | FormatFlag::NotLoading;
    auto check = [&](const std::string& signature, const SignatureRule& rule) {
        auto doc = kind.CreateDocument();
        doc->SetFormatFlags(kBefore);
        EXPECT_EQ(doc->ParseSignature(signature), rule.IsAccepted()) << signature;
        EXPECT_EQ(doc->GetFileVersion(), rule.fileVersion) << signature;
        EXPECT_EQ(doc->GetFormatFlags(), (kBefore & ~rule.clear) | rule.set) << signature;
    };
    for (const SignatureRule& rule : kind.Description().signatures) {
        if (!rule.IsRead()) continue;
        check(std::string(rule.text), rule);
        std::string loose = "  " + std::string(rule.text) + "\t";
        for (char& c : loose) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        check(loose, rule);
        EXPECT_EQ(DocumentKind::MatchSignature(rule.text).size(), 1u) << rule.text;
    }
    check("RADUDAR9.99_NO_SUCH_SHUJU", kind.Description().unknownSignature);

    for (const SignatureRule& rule : kind.Description().signatures) {
        if (!rule.IsWritten()) continue;
        auto doc = kind.CreateDocument();
        doc->SetFormatFlags(FormatFlag::TextForm | (rule.set & FormatFlag::VariantBits));
        EXPECT_EQ(doc->GetSignature(), rule.text);
    }
}

TEST_P(KindSuite, SamplesRoundTripInEveryForm) {
    const DocumentKind& kind = Kind();
    const std::vector<Sample> samples = SamplesOf(kind);
    ASSERT_FALSE(samples.empty()) << "give the kind a demo file in examples/ or seeds in fuzz/corpus/";
    struct FormCase {
        const char* name;
        std::uint32_t flags;
        const char* header;
    };
    std::vector<FormCase> forms{{"text", FormatFlag::TextForm, nullptr}};
    if (!kind.IsTextOnly()) {
        forms.push_back({"binary", 0, "QB  "});
        forms.push_back({"tagged", FormatFlag::TaggedForm, "QBT "});
        forms.push_back({"scrambled", FormatFlag::ScrambledForm, "QB C"});
        forms.push_back({"tagged+scrambled", FormatFlag::TaggedForm | FormatFlag::ScrambledForm, "QBTC"});
    }
    if (kind.HasLegacyLayout()) forms.push_back({"legacy", FormatFlag::LegacyLayout, nullptr});

    for (const Sample& sample : samples) {
        GetCurrentChainTable() = ChainTable();
        auto doc = kind.CreateDocument();
        MemoryFile in(sample.bytes, sample.name);
        ASSERT_TRUE(doc->ReadFromFile(in)) << sample.name;
        const std::string text = Write(*doc, FormatFlag::TextForm);
        for (const FormCase& form : forms) {
            const std::string bytes = Write(*doc, form.flags);
            if (form.header) {
                EXPECT_EQ(bytes.substr(0, 4), form.header) << sample.name << " " << form.name;
            }
            auto back = kind.CreateDocument();
            MemoryFile file(bytes, sample.name + "." + form.name);
            ASSERT_TRUE(back->ReadFromFile(file)) << sample.name << " " << form.name;
            EXPECT_EQ(Write(*back, FormatFlag::TextForm), text) << sample.name << " " << form.name;
        }
    }
}

TEST_P(KindSuite, SamplesCutShortFailCleanly) {
    const DocumentKind& kind = Kind();
    for (const Sample& sample : SamplesOf(kind)) {
        const std::size_t step = std::max<std::size_t>(1, sample.bytes.size() / 1024);
        for (std::size_t cut = 0; cut < sample.bytes.size(); cut += step) {
            GetCurrentChainTable() = ChainTable();
            auto doc = kind.CreateDocument();
            MemoryFile file(sample.bytes.substr(0, cut), sample.name);
            if (!doc->ReadFromFile(file)) {
                EXPECT_EQ(ListRows(kind, *doc), 0) << sample.name << " cut at " << cut;
            }
        }
    }
}

TEST_P(KindSuite, SavedFuzzInputsReadWriteAndReadBackTheSame) {
    for (const Sample& input : CorpusOf(Kind())) {
        const std::string fault = fuzz::ReadWriteRead(Kind(), input.bytes);
        EXPECT_TRUE(fault.empty()) << input.name << ": " << fault;
    }
    EXPECT_TRUE(fuzz::ReadWriteRead(Kind(), "").empty());
}

INSTANTIATE_TEST_SUITE_P(Registered, KindSuite, ::testing::ValuesIn(DocumentKind::All()),
                         [](const ::testing::TestParamInfo<const DocumentKind*>& info) {
                             return std::string(info.param->GetName());
                         });

// The registry refuses a second kind or class of a name, and a type string
// whose number is taken, before registering anything of it.
TEST(KindRegistry, RefusesDuplicates) {
    const std::size_t before = DocumentKind::All().size();
    constexpr TypeString kTaken[] = {{103, 0x8003, "Copy|copy\nx\nx\nx (*.x)\n.x"}};
    EXPECT_THROW(DocumentKind("DmxFile", &QDocument::classRecord, nullptr, {}), std::logic_error);
    EXPECT_THROW(DocumentKind("FreshKind", &QDocument::classRecord, nullptr, {.typeStrings = kTaken}),
                 std::logic_error);
    constexpr SignatureRule kRead[] = {{"RADUDAR5.83_DMX_SHUJU", 583, 0, 0, SignatureUse::Written}};
    EXPECT_THROW(DocumentKind("FreshKind", &QDocument::classRecord, nullptr, {.signatures = kRead}),
                 std::logic_error);
    EXPECT_THROW(RuntimeClass("QDocument", &QObject::classRecord, nullptr), std::logic_error);
    EXPECT_THROW((ResourceTable{{9, "taken"}}), std::logic_error);
    EXPECT_THROW((ResourceTable{{990001, "a"}, {990001, "b"}}), std::logic_error);
    EXPECT_EQ(DocumentKind::All().size(), before);
    EXPECT_EQ(RuntimeClass::FromName("FreshKind"), nullptr);
    EXPECT_FALSE(HasBuiltinResourceString(990001));
}

}  // namespace
}  // namespace qdat
