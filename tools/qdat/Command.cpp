// The command table, the exit-code errors and the tool's user interface.
#include "Command.h"

#include <unistd.h>

#include <algorithm>
#include <iostream>

#include <qdat/host/HostUi.h>

namespace qdat::tool {

namespace {

std::vector<Command>& CommandTable() {
    static std::vector<Command> table;
    return table;
}

// Messages go to stderr. While a file is being read, errors are held back
// instead: the read's failure is then told once, by the command, with the
// last (the most complete) of them.
class ToolUi : public ConsoleUi {
public:
    bool answerYes = false;
    bool holdErrors = false;
    std::string lastError;

    MessageAnswer ShowMessage(const std::string& text, MessageKind kind, MessageButtons buttons) override {
        if (buttons == MessageButtons::Ok) {
            if (kind == MessageKind::Error) {
                lastError = text;
                if (holdErrors) return MessageAnswer::Ok;
            }
            std::cerr << (kind == MessageKind::Error     ? "error: "
                          : kind == MessageKind::Warning ? "warning: "
                                                         : "")
                      << text << '\n';
            return MessageAnswer::Ok;
        }
        if (answerYes) {
            std::cerr << text << " [yes]\n";
            return MessageAnswer::Yes;
        }
        if (::isatty(STDIN_FILENO) && ::isatty(STDERR_FILENO)) {
            std::cerr << text << " [y/N] " << std::flush;
            std::string line;
            std::getline(std::cin, line);
            return (!line.empty() && (line[0] == 'y' || line[0] == 'Y')) ? MessageAnswer::Yes
                                                                         : MessageAnswer::No;
        }
        std::cerr << text << " [no]\n";
        return buttons == MessageButtons::OkCancel ? MessageAnswer::Cancel : MessageAnswer::No;
    }
};

ToolUi& TheToolUi() {
    static ToolUi ui;
    return ui;
}

}  // namespace

void Fail(const std::string& message) {
    throw ToolError(kExitFailure, message);
}
void UsageError(const std::string& message) {
    throw ToolError(kExitUsage, message);
}

CommandRegistration::CommandRegistration(Command command) {
    CommandTable().push_back(std::move(command));
}

std::vector<Command> Commands() {
    std::vector<Command> commands = CommandTable();
    std::stable_sort(commands.begin(), commands.end(),
                     [](const Command& a, const Command& b) { return a.name < b.name; });
    return commands;
}

void InstallToolUi(bool answerYes) {
    TheToolUi().answerYes = answerYes;
    SetCurrentUi(&TheToolUi());
}

HeldErrors::HeldErrors() : m_wasHolding(TheToolUi().holdErrors) {
    TheToolUi().holdErrors = true;
    TheToolUi().lastError.clear();
}

HeldErrors::~HeldErrors() {
    TheToolUi().holdErrors = m_wasHolding;
}

std::string HeldErrors::Last(const std::string& otherwise) const {
    return TheToolUi().lastError.empty() ? otherwise : TheToolUi().lastError;
}

void HeldErrors::Clear() {
    TheToolUi().lastError.clear();
}

}  // namespace qdat::tool
