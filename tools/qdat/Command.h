// The commands of the qdat tool: each registers itself by name, and the tool
// lists and runs them in name order; the exit-code rule; the tool's user
// interface.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace qdat::tool {

// Exit codes of every command: 0 done, 1 the work failed, 2 the command line
// is wrong.
enum ExitCode : int { kExitOk = 0, kExitFailure = 1, kExitUsage = 2 };

// Ends a command: main prints "qdat <command>: <message>" on stderr and exits
// with the code.
class ToolError : public std::runtime_error {
public:
    ToolError(int code, const std::string& message) : std::runtime_error(message), m_code(code) {}
    int GetCode() const { return m_code; }

private:
    int m_code;
};
[[noreturn]] void Fail(const std::string& message);        // exit 1
[[noreturn]] void UsageError(const std::string& message);  // exit 2

// A command: `setup` adds its subcommand and options to the app and returns a
// runner that is called when that subcommand was given. The runner returns the
// exit code or throws ToolError.
struct Command {
    std::string name;
    std::function<std::function<int()>(CLI::App& app)> setup;
};

// Registers a command while the tool starts (a namespace-scope constant of its
// source).
class CommandRegistration {
public:
    explicit CommandRegistration(Command command);
};
// The commands registered, in name order, whatever order their sources
// started in.
std::vector<Command> Commands();

// The tool's user interface: messages on stderr; questions answered by `yes`
// when set, else asked on a terminal, else answered No.
void InstallToolUi(bool answerYes);

// While it lives, the errors the library shows are held back instead of
// printed: a failure is then told once, by the command, with the last of them.
class HeldErrors {
public:
    HeldErrors();
    ~HeldErrors();
    HeldErrors(const HeldErrors&) = delete;
    HeldErrors& operator=(const HeldErrors&) = delete;
    // The last error held, else otherwise.
    std::string Last(const std::string& otherwise) const;
    // Forgets the errors held so far.
    static void Clear();

private:
    bool m_wasHolding;
};

}  // namespace qdat::tool
