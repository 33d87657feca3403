// qdat.ChainTable: chain breaks, and station text through them.
#pragma once

#include <pybind11/pybind11.h>

#include <qdat/station/ChainTable.h>

namespace qdat::python {

namespace py = pybind11;

// The table of a chain_table= argument: a qdat.ChainTable or a list of
// (before, after) pairs. TypeError or ValueError otherwise.
ChainTable ChainTableOf(const py::handle& table);
// A qdat.ChainTable holding a copy of table.
py::object MakeChainTable(const ChainTable& table);

void BindStationing(py::module_& m);

}  // namespace qdat::python
