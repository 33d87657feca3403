// Documents opened from Python: any kind the library reads, never written
// back in place; and the settings (chain table, precision) their calls use.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include <pybind11/pybind11.h>

#include <qdat/docbase/QDocument.h>
#include <qdat/station/ChainTable.h>
#include "Call.h"

namespace qdat::python {

namespace py = pybind11;

// The chain_table= and project= arguments of every opening call: the
// settings the file is read under. A project gives its chain table and
// precision; a chain table given as well wins.
Settings SettingsOf(const py::object& chainTable, const py::object& project);

// A document read from a file, with what the calls on it need. Calls on one
// document take its lock: the library's documents keep lookup caches that
// two threads must not change at once.
class Document {
public:
    std::unique_ptr<QDocument> doc;
    std::string path;
    std::string signature;
    std::string form;   // of the file read
    Settings settings;  // the chain table the file is used with
    bool hasFileTable = false;
    std::mutex lock;

    // Reads path as `kind` (a class name; empty: the kind the file's
    // signature or extension names) under the settings. Raises qdat.Error
    // when the file cannot be read; a file read only in part is kept, with
    // the library's warning.
    static std::shared_ptr<Document> Open(const std::string& path, const std::string& kind,
                                          const Settings& settings);
};

// The path argument: str or os.PathLike.
std::string PathOf(const py::handle& path);

// Adds Document, open, kinds to the module.
void BindDocuments(py::module_& m);

}  // namespace qdat::python
