// qdat.Profile and qdat.GroundLine: elevations along the alignment.
#pragma once

#include <memory>

#include <pybind11/pybind11.h>

#include <qdat/profile/DmxFile.h>
#include <qdat/profile/QZdmFile.h>
#include "Documents.h"

namespace qdat::python {

// A document of the kind T opened for its geometry: its rows put in station
// order for the calls (in memory only, with a warning) when the file has
// them out of order.
template <class T>
struct Opened {
    std::shared_ptr<Document> document;
    T& Get() { return static_cast<T&>(*document->doc); }
};

using Profile = Opened<QZdmFile>;
using GroundLine = Opened<DmxFile>;

void BindProfiles(py::module_& m);

}  // namespace qdat::python
