// qdat upgrade FILE... [--yes]: opens each file through the document pipeline,
// which writes an old file back at once in the current version and offers to
// sort a file that is out of station order (--yes answers that question yes;
// otherwise it is asked on a terminal and answered no without one).
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "Tool.h"
#include "host/HostUi.h"

namespace qdat::tool {
namespace {

struct UpgradeOptions {
    std::vector<std::string> files;
    std::string kind;
    bool yes = false;
};

// Passes everything to the tool's interface and notes whether a question was
// answered yes (the repair question is the only one the pipeline asks).
class AnswerWatch : public UserInterface {
public:
    explicit AnswerWatch(UserInterface& inner) : m_inner(inner) {}
    MessageAnswer ShowMessage(const std::string& text, MessageKind kind, MessageButtons buttons) override {
        const MessageAnswer answer = m_inner.ShowMessage(text, kind, buttons);
        if (buttons == MessageButtons::YesNo && answer == MessageAnswer::Yes) answeredYes = true;
        return answer;
    }
    std::optional<std::string> ChooseOpenFile(const FileDialogRequest& request) override {
        return m_inner.ChooseOpenFile(request);
    }
    std::optional<std::string> ChooseSaveFile(const FileDialogRequest& request) override {
        return m_inner.ChooseSaveFile(request);
    }
    void AddRecentFile(const std::string& path) override { m_inner.AddRecentFile(path); }

    bool answeredYes = false;

private:
    UserInterface& m_inner;
};

int RunUpgrade(const UpgradeOptions& opt) {
    InstallToolUi(opt.yes);
    AnswerWatch watch(CurrentUi());
    ScopedUi scoped(watch);
    int status = 0;
    for (const std::string& path : opt.files) {
        std::unique_ptr<QDocument> doc;
        try {
            doc = CreateDocumentFor(path, opt.kind);
        } catch (const std::exception& e) {
            std::cerr << "qdat upgrade: " << e.what() << "\n";
            status = 1;
            continue;
        }
        watch.answeredYes = false;
        if (!doc->OnOpenDocument(path)) {
            std::cerr << "qdat upgrade: " << path << " was not opened\n";
            status = 1;
            continue;
        }
        const std::uint32_t from = doc->GetFileVersion(), to = doc->GetCurrentVersion();
        std::cout << path << ": ";
        if (from < to)
            std::cout << "upgraded from version " << from << " to " << to;
        else
            std::cout << "version " << from << " is current";
        if (watch.answeredYes)
            std::cout << "; sorted into station order";
        else if (doc->NeedsRepair())
            std::cout << "; out of station order, left unsorted (answer yes or give --yes to sort)";
        if (doc->IsModified()) {
            std::cout << "; NOT SAVED";
            status = 1;
        }
        std::cout << "\n";
    }
    return status;
}

std::function<int()> SetupUpgrade(CLI::App& app) {
    auto opt = std::make_shared<UpgradeOptions>();
    CLI::App* cmd = app.add_subcommand("upgrade", "Open data files and write old ones back in the current version");
    cmd->add_option("FILE", opt->files, "Data files")->required();
    cmd->add_flag("--yes", opt->yes, "Answer yes to sorting a file that is out of station order");
    cmd->add_option("--kind", opt->kind, "Document class for files without a usable signature");
    return [opt] { return RunUpgrade(*opt); };
}

const CommandRegistration kRegistration{{"upgrade", SetupUpgrade}};

}  // namespace
}  // namespace qdat::tool
