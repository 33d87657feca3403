// qdat.Project: a project file, its data files, settings, backup and upgrade.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include <pybind11/pybind11.h>

#include <qdat/project/PrjFile.h>
#include "Call.h"

namespace qdat::python {

namespace py = pybind11;

struct Project {
    std::unique_ptr<PrjFile> file;
    std::string path;  // absolute
    std::string signature;
    Settings settings;  // the project's chain table and precision
    std::mutex lock;

    // Reads the project without the open pipeline: nothing is upgraded or
    // written. Raises qdat.Error when it cannot be read.
    void Read();
};

// The settings of a project= argument: a qdat.Project or the path of one.
Settings ProjectSettings(const py::handle& project);

void BindProjects(py::module_& m);

}  // namespace qdat::python
