// qdat upgrade FILE... [--yes]: opens each file through the document pipeline,
// which writes an old file back at once in the current version and offers to
// sort a file that is out of station order (--yes answers that question yes;
// otherwise it is asked on a terminal and answered no without one).
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <qdat/host/HostUi.h>
#include "Inputs.h"
#include "Output.h"

namespace qdat::tool {
namespace {

struct UpgradeOptions {
    std::vector<std::string> files;
    FileOptions fileOptions;
    bool yes = false;
};

// Passes everything to the tool's interface and notes whether a question was
// answered yes (the repair question is the only one the pipeline asks).
class AnswerWatch : public ForwardingUi {
public:
    using ForwardingUi::ForwardingUi;
    MessageAnswer ShowMessage(const std::string& text, MessageKind kind, MessageButtons buttons) override {
        const MessageAnswer answer = ForwardingUi::ShowMessage(text, kind, buttons);
        if (buttons == MessageButtons::YesNo && answer == MessageAnswer::Yes) answeredYes = true;
        return answer;
    }

    bool answeredYes = false;
};

// Opens one file through the pipeline, which writes it back when it is old
// (and sorts it when the question is answered yes). The station text it
// writes follows the chain table the file is used with: the one --project or
// --break gives, else the one the file itself carries. A file read only in
// part is not written.
int UpgradeOne(const std::string& path, const UpgradeOptions& opt, AnswerWatch& watch) {
    const DocumentKind& kind = DetectKind(path, opt.fileOptions.kind);
    // The file is read, written and told of under a context of its own.
    FileContext context(opt.fileOptions);
    std::unique_ptr<QDocument> doc = kind.CreateDocument();
    watch.answeredYes = false;
    // A railway or NZS file is written back in its own variant: the document
    // keeps the one it was read in.
    if (!doc->OnOpenDocument(path)) Fail(path + " was not opened");
    const std::uint32_t from = doc->GetFileVersion(), to = doc->GetCurrentVersion();
    const bool saved = !doc->IsModified();
    std::cout << path << ": ";
    if (from < to && saved)
        std::cout << "upgraded from version " << from << " to " << to;
    else if (from < to)
        std::cout << "left at version " << from << " (current " << to << ")";
    else
        std::cout << "version " << from << " is current";
    if (watch.answeredYes)
        std::cout << "; sorted into station order";
    else if (doc->NeedsRepair())
        std::cout << "; out of station order, left unsorted (answer yes or give --yes to sort)";
    if (doc->WasReadPartly())
        std::cout << "; read only in part, NOT SAVED";
    else if (!saved)
        std::cout << "; NOT SAVED";
    else if (from < to)
        if (const std::string note = ChainTableNotKeptNote(*doc, path); !note.empty())
            std::cout << "; " << note;
    std::cout << "\n";
    return saved ? kExitOk : kExitFailure;
}

int RunUpgrade(const UpgradeOptions& opt) {
    InstallToolUi(opt.yes);
    AnswerWatch watch(CurrentUi());
    ScopedUi scoped(watch);
    int status = kExitOk;
    for (const std::string& path : opt.files) {
        try {
            if (UpgradeOne(path, opt, watch) != kExitOk) status = kExitFailure;
        } catch (const ToolError& e) {
            // One file's fault does not stop the others.
            std::cerr << "qdat upgrade: " << e.what() << "\n";
            status = kExitFailure;
        }
    }
    return status;
}

std::function<int()> SetupUpgrade(CLI::App& app) {
    auto opt = std::make_shared<UpgradeOptions>();
    CLI::App* cmd =
        app.add_subcommand("upgrade", "Open data files and write old ones back in the current version");
    cmd->add_option("FILE", opt->files, "Data files")->required();
    cmd->add_flag("--yes", opt->yes, "Answer yes to sorting a file that is out of station order");
    opt->fileOptions.AddTo(cmd);
    return [opt] { return RunUpgrade(*opt); };
}

const CommandRegistration kRegistration{{"upgrade", SetupUpgrade}};

}  // namespace
}  // namespace qdat::tool
