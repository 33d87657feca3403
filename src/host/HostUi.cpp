#include <qdat/host/HostUi.h>

#include <iostream>
#include <utility>

#include <qdat/host/Context.h>

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
    UserInterface* ui = Context::Current().ui;
    return ui ? *ui : DefaultUi();
}

UserInterface* SetCurrentUi(UserInterface* ui) {
    return std::exchange(Context::Current().ui, ui);
}

void ShowError(const std::string& text) {
    CurrentUi().ShowMessage(text, MessageKind::Error, MessageButtons::Ok);
}

bool AskYesNo(const std::string& text) {
    return CurrentUi().ShowMessage(text, MessageKind::Question, MessageButtons::YesNo) == MessageAnswer::Yes;
}

}  // namespace qdat
