// The qdat tool's shared pieces: the command table every command registers in,
// the per-kind content dumpers, and helpers for opening documents.
#pragma once

#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "docbase/QDocument.h"

namespace qdat::tool {

// A command: `setup` adds its subcommand and options to the app and returns a
// runner that is called when that subcommand was given. The runner returns the
// exit status.
struct Command {
    std::string name;
    std::function<std::function<int()>(CLI::App& app)> setup;
};

class CommandRegistration {
public:
    explicit CommandRegistration(Command command);
};
const std::vector<Command>& Commands();

// Dumps a document's content as JSON (keys in lowerCamelCase) and counts it.
struct ContentDumper {
    std::string className;  // run-time class name of the document
    std::function<nlohmann::json(QDocument&)> content;
    std::function<std::size_t(QDocument&)> count;
};
class DumperRegistration {
public:
    explicit DumperRegistration(ContentDumper dumper);
};
const ContentDumper* FindDumper(const std::string& className);

// Every registered document class that accepts a signature, with the version.
struct KindMatch {
    std::string className;
    std::uint32_t fileVersion = 0;
    std::uint32_t currentVersion = 0;
};
std::vector<KindMatch> MatchSignature(const std::string& signature);

// Creates the document for a file: the kind named by kindOverride, else the
// first class that accepts the file's signature. Throws std::runtime_error with
// a message naming the file when none fits.
std::unique_ptr<QDocument> CreateDocumentFor(const std::string& path, const std::string& kindOverride);

// Reads a file into a fresh document without the open pipeline (never rewrites
// the file). Throws std::runtime_error with the error message on failure.
std::unique_ptr<QDocument> LoadDocument(const std::string& path, const std::string& kindOverride);

// LoadDocument for a command that works on one kind: prints "qdat <command>: "
// and the reason on stderr and returns null when the file cannot be read or
// holds another kind (described to the user as `what`).
template <class T>
std::unique_ptr<T> LoadDocumentOfKind(const std::string& command, const std::string& path,
                                      const std::string& kindOverride, const char* what) {
    std::unique_ptr<QDocument> doc;
    try {
        doc = LoadDocument(path, kindOverride);
    } catch (const std::exception& e) {
        std::cerr << "qdat " << command << ": " << e.what() << "\n";
        return nullptr;
    }
    if (!dynamic_cast<T*>(doc.get())) {
        std::cerr << "qdat " << command << ": " << path << " is a " << doc->GetRuntimeClass().GetName()
                  << " file, not " << what << "\n";
        return nullptr;
    }
    return std::unique_ptr<T>(static_cast<T*>(doc.release()));
}

// The tool's user interface: messages on stderr; questions answered by
// `yes` when set, else asked on a terminal, else answered No.
void InstallToolUi(bool answerYes);

// Formats a double for tables: shortest text that reads back exactly.
std::string ShortNumber(double value);

}  // namespace qdat::tool
