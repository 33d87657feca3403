// The exports to other formats.
#pragma once

#include <pybind11/pybind11.h>

namespace qdat::python {

namespace py = pybind11;

// Adds the exports as private functions; the package's Python layer gives
// them their signatures and opens paths given instead of objects.
void BindExchange(py::module_& m);

}  // namespace qdat::python
