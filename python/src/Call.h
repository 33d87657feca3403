// The context every call of the Python package runs under: a Context of its
// own (so calls on other threads, with other chain tables, never meet), a
// user interface that keeps the library's errors and warnings for Python
// instead of printing them, and the failure that becomes qdat.Error.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <pybind11/pybind11.h>

#include <qdat/host/Context.h>
#include <qdat/host/HostUi.h>
#include <qdat/station/ChainTable.h>

namespace qdat::python {

namespace py = pybind11;

// A failure of the library, raised in Python as qdat.Error with the path
// it names (the file, line and offset are read from the message there).
class LibraryFailure : public std::runtime_error {
public:
    LibraryFailure(const std::string& message, std::string path)
        : std::runtime_error(message), m_path(std::move(path)) {}
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

// Keeps what the library shows: errors for the failure, warnings for
// Python's warnings; notes (what a backup wrote, that files are current) are
// what the calls return anyway. Questions are answered `answer`.
class CallUi : public UserInterface {
public:
    MessageAnswer answer = MessageAnswer::No;
    std::vector<std::string> errors;
    std::vector<std::string> warnings;
    std::vector<std::string> notes;

    MessageAnswer ShowMessage(const std::string& text, MessageKind kind, MessageButtons buttons) override;
    std::optional<std::string> ChooseOpenFile(const FileDialogRequest&) override { return std::nullopt; }
    std::optional<std::string> ChooseSaveFile(const FileDialogRequest&) override { return std::nullopt; }
    void AddRecentFile(const std::string&) override {}
};

// The settings a document or project keeps for the calls on it: the chain
// table its stations are written and read through, and the station
// precision (decimals).
struct Settings {
    ChainTable chain;
    int precision = 3;
};

class Call {
public:
    explicit Call(const Settings& settings);
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;

    Context& GetContext() { return m_context; }
    CallUi& Ui() { return m_ui; }
    // The settings in force now (after a project applied its own, say).
    Settings Current() const;
    // Throws LibraryFailure with the last error the library showed, else
    // `otherwise`.
    [[noreturn]] void Fail(const std::string& otherwise, const std::string& path = {}) const;
    // Hands the warnings to Python's warnings module (the GIL held). Raises
    // when a warnings filter turns them into errors.
    void Warn();

private:
    Context m_context;
    CallUi m_ui;
    ContextScope m_scope;
};

// Runs work with the GIL released, then hands the warnings on.
template <class F>
auto Released(Call& call, F&& work) {
    if constexpr (std::is_void_v<decltype(work())>) {
        {
            py::gil_scoped_release release;
            work();
        }
        call.Warn();
    } else {
        auto result = [&] {
            py::gil_scoped_release release;
            return work();
        }();
        call.Warn();
        return result;
    }
}

// Installs the translation of the library's exceptions into qdat.Error.
void RegisterErrors(py::module_& m);

}  // namespace qdat::python
