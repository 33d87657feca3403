// User-interface callbacks of the platform layer. The host application supplies
// the real dialogs; the library and the tools ship non-interactive defaults.
#pragma once

#include <qdat/host/Export.h>
#include <optional>
#include <string>
#include <vector>

namespace qdat {

enum class MessageKind { Information, Warning, Error, Question };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageAnswer { Ok, Cancel, Yes, No };

struct QDAT_API FileFilter {
    std::string name;     // shown to the user, e.g. "Ground line files"
    std::string pattern;  // e.g. "*.dmx"
};

// What a file chooser is asked to show.
struct QDAT_API FileDialogRequest {
    std::vector<FileFilter> filters;
    int selectedFilter = 0;
    std::string defaultExtension;  // without the leading dot
    std::string initialName;
    bool hideReadOnly = true;
    bool promptOverwrite = true;
};

class QDAT_API UserInterface {
public:
    virtual ~UserInterface() = default;

    // A message box; returns the button the user chose.
    virtual MessageAnswer ShowMessage(const std::string& text, MessageKind kind, MessageButtons buttons) = 0;
    // File choosers; no value when the user cancels.
    virtual std::optional<std::string> ChooseOpenFile(const FileDialogRequest& request) = 0;
    virtual std::optional<std::string> ChooseSaveFile(const FileDialogRequest& request) = 0;
    // The application's recent-file list.
    virtual void AddRecentFile(const std::string& path) = 0;
};

// The safe default: messages go to standard error, every question is answered
// No (Cancel where No is not offered), every chooser is cancelled.
class QDAT_API ConsoleUi : public UserInterface {
public:
    MessageAnswer ShowMessage(const std::string& text, MessageKind kind, MessageButtons buttons) override;
    std::optional<std::string> ChooseOpenFile(const FileDialogRequest& request) override;
    std::optional<std::string> ChooseSaveFile(const FileDialogRequest& request) override;
    void AddRecentFile(const std::string& path) override;
};

// Passes everything to another interface: a base for one that watches or
// changes a part of what the user is shown or asked.
class QDAT_API ForwardingUi : public UserInterface {
public:
    explicit ForwardingUi(UserInterface& inner) : m_inner(inner) {}
    MessageAnswer ShowMessage(const std::string& text, MessageKind kind, MessageButtons buttons) override {
        return m_inner.ShowMessage(text, kind, buttons);
    }
    std::optional<std::string> ChooseOpenFile(const FileDialogRequest& request) override {
        return m_inner.ChooseOpenFile(request);
    }
    std::optional<std::string> ChooseSaveFile(const FileDialogRequest& request) override {
        return m_inner.ChooseSaveFile(request);
    }
    void AddRecentFile(const std::string& path) override { m_inner.AddRecentFile(path); }

private:
    UserInterface& m_inner;
};

// The user interface of the current context (host/Context.h). Never null:
// without an installed one the ConsoleUi above answers.
QDAT_API UserInterface& CurrentUi();
// Installs ui (not owned); null restores the default. Returns the previous one.
QDAT_API UserInterface* SetCurrentUi(UserInterface* ui);

// Installs a user interface for the lifetime of the object.
class QDAT_API ScopedUi {
public:
    explicit ScopedUi(UserInterface& ui) : m_previous(SetCurrentUi(&ui)) {}
    ~ScopedUi() { SetCurrentUi(m_previous); }
    ScopedUi(const ScopedUi&) = delete;
    ScopedUi& operator=(const ScopedUi&) = delete;

private:
    UserInterface* m_previous;
};

// Short forms for the library's own messages.
QDAT_API void ShowError(const std::string& text);
QDAT_API bool AskYesNo(const std::string& text);

}  // namespace qdat
