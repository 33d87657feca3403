// What the package hands to Python and takes from it: the library's
// descriptions as dicts and lists, stations as float arrays, rows of a
// kind's columns as numpy structured arrays.
#pragma once

#include <span>
#include <string>
#include <utility>
#include <vector>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <qdat/docbase/DocumentKind.h>
#include <qdat/docbase/QDocument.h>
#include <qdat/exchange/DataValue.h>

namespace qdat::python {

namespace py = pybind11;
using Doubles = py::array_t<double, py::array::c_style | py::array::forcecast>;

// A description as Python values: dicts in the order of the fields.
py::object ToPython(const DataValue& value);

// Numbers as a float array (a scalar as one of no dimensions); TypeError
// for what is not numbers.
Doubles AsDoubles(const py::handle& values, const char* what);

// A structured array of the shape with these fields ("f8" numbers, "i1"
// small integers, "O" objects): objects 0, numbers unset, for the caller to
// fill.
py::array StructuredArray(const std::vector<std::pair<std::string, std::string>>& fields,
                          const std::vector<py::ssize_t>& shape);
// The address of field `name` of element 0, and the distance from one
// element to the next, for filling an array in place.
struct FieldPointer {
    char* at;
    py::ssize_t stride;
    template <class T>
    T& Of(py::ssize_t i) const {
        return *reinterpret_cast<T*>(at + i * stride);
    }
};
FieldPointer FieldOf(py::array& array, const char* name);

// The rows of a list of a document's content as a structured array:
// numbers as floats (a missing value NaN), text as str.
py::array RowsArray(const ContentBlock& block, QDocument& doc);

}  // namespace qdat::python
