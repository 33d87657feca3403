// qdat convert FILE -o OUT [--form text|binary|tagged|scrambled|legacy]:
// reads a data file and writes it in the chosen form (text by default) through
// a mirror file, so a failed write leaves OUT as it was. The input is never
// overwritten.
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <system_error>

#include "Tool.h"
#include "docbase/DataArchive.h"
#include "host/HostFile.h"

namespace qdat::tool {
namespace {

struct ConvertOptions {
    std::string file;
    std::string out;
    std::string form = "text";
    std::string kind;
};

bool SameFile(const std::string& a, const std::string& b) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::exists(b, ec) && fs::equivalent(a, b, ec)) return true;
    return fs::weakly_canonical(a, ec) == fs::weakly_canonical(b, ec);
}

// A class has a legacy layout of its own when setting LegacyLayout changes the
// signature it writes (the ground line writes none and puts its 5.0 signature
// into the content).
bool HasLegacyLayout(QDocument& doc) {
    const std::uint32_t flags = doc.GetFormatFlags();
    doc.SetLegacyLayout(false);
    const std::string current = doc.GetSignature();
    doc.SetLegacyLayout(true);
    const std::string legacy = doc.GetSignature();
    doc.SetFormatFlags(flags);
    return current != legacy;
}

int RunConvert(const ConvertOptions& opt) {
    if (SameFile(opt.file, opt.out)) {
        std::cerr << "qdat convert: " << opt.out << " is the input file; choose another output\n";
        return 1;
    }
    InstallToolUi(false);
    std::unique_ptr<QDocument> doc;
    try {
        doc = LoadDocument(opt.file, opt.kind);
    } catch (const std::exception& e) {
        std::cerr << "qdat convert: " << e.what() << "\n";
        return 1;
    }

    if (opt.form == "legacy") {
        if (!HasLegacyLayout(*doc)) {
            std::cerr << "qdat convert: " << doc->GetRuntimeClass().GetName() << " files have no legacy layout\n";
            return 1;
        }
        if (!doc->SaveLegacyCopy(opt.out)) {
            std::cerr << "qdat convert: " << opt.out << " was not written\n";
            return 1;
        }
        return 0;
    }

    static const std::map<std::string, std::uint32_t> kForms{
        {"text", FormatFlag::TextForm},
        {"binary", 0},
        {"tagged", FormatFlag::TaggedForm},
        {"scrambled", FormatFlag::ScrambledForm},
    };
    constexpr std::uint32_t kFormBits =
        FormatFlag::TextForm | FormatFlag::TaggedForm | FormatFlag::ScrambledForm | FormatFlag::LegacyLayout;
    doc->SetFormatFlags((doc->GetFormatFlags() & ~kFormBits) | kForms.at(opt.form));

    MirrorFile file;
    try {
        file.Open(opt.out, File::ModeCreate | File::ModeReadWrite | File::ShareExclusive);
        doc->WriteToFile(file);
        file.Close();
    } catch (const std::exception& e) {
        file.Abort();
        std::cerr << "qdat convert: " << e.what() << "\n";
        return 1;
    }
    return 0;
}

std::function<int()> SetupConvert(CLI::App& app) {
    auto opt = std::make_shared<ConvertOptions>();
    CLI::App* cmd = app.add_subcommand("convert", "Write a data file in another form");
    cmd->add_option("FILE", opt->file, "Data file to read")->required();
    cmd->add_option("-o,--output", opt->out, "File to write (never the input)")->required();
    cmd->add_option("--form", opt->form, "Form to write")
        ->check(CLI::IsMember({"text", "binary", "tagged", "scrambled", "legacy"}));
    cmd->add_option("--kind", opt->kind, "Document class for a file without a usable signature");
    return [opt] { return RunConvert(*opt); };
}

const CommandRegistration kRegistration{{"convert", SetupConvert}};

}  // namespace
}  // namespace qdat::tool
