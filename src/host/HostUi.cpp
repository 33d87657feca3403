#include "host/HostUi.h"

#include <iostream>

#include "host/ProcessState.h"

namespace qdat {

MessageAnswer ConsoleUi::ShowMessage(const std::string& text, MessageKind kind, MessageButtons buttons) {
    const char* label = kind == MessageKind::Error     ? "error: "
                        : kind == MessageKind::Warning ? "warning: "
                                                       : "";
    std::cerr << label << text << '\n';
    switch (buttons) {
        case MessageButtons::Ok:
            return MessageAnswer::Ok;
        case MessageButtons::OkCancel:
            return MessageAnswer::Cancel;
        default:
            return MessageAnswer::No;
    }
}

std::optional<std::string> ConsoleUi::ChooseOpenFile(const FileDialogRequest&) {
    return std::nullopt;
}
std::optional<std::string> ConsoleUi::ChooseSaveFile(const FileDialogRequest&) {
    return std::nullopt;
}
void ConsoleUi::AddRecentFile(const std::string&) {}

namespace {
ConsoleUi& DefaultUi() {
    static ConsoleUi ui;
    return ui;
}
}  // namespace

UserInterface& CurrentUi() {
    return Process().ui ? *Process().ui : DefaultUi();
}

UserInterface* SetCurrentUi(UserInterface* ui) {
    UserInterface* previous = Process().ui;
    Process().ui = ui;
    return previous;
}

void ShowError(const std::string& text) {
    CurrentUi().ShowMessage(text, MessageKind::Error, MessageButtons::Ok);
}

bool AskYesNo(const std::string& text) {
    return CurrentUi().ShowMessage(text, MessageKind::Question, MessageButtons::YesNo) == MessageAnswer::Yes;
}

}  // namespace qdat
