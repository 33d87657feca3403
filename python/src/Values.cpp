#include "Values.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace qdat::python {

py::object ToPython(const DataValue& value) {
    return std::visit(
        [](const auto& v) -> py::object {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::nullptr_t>) {
                return py::none();
            } else if constexpr (std::is_same_v<T, bool>) {
                return py::bool_(v);
            } else if constexpr (std::is_same_v<T, std::int64_t> || std::is_same_v<T, std::uint64_t>) {
                return py::int_(v);
            } else if constexpr (std::is_same_v<T, double>) {
                return py::float_(v);
            } else if constexpr (std::is_same_v<T, std::string>) {
                // Text of old files need not be UTF-8: undecodable bytes are kept as escapes.
                PyObject* text =
                    PyUnicode_DecodeUTF8(v.data(), static_cast<Py_ssize_t>(v.size()), "surrogateescape");
                if (!text) throw py::error_already_set();
                return py::reinterpret_steal<py::object>(text);
            } else if constexpr (std::is_same_v<T, DataValue::List>) {
                py::list out;
                for (const DataValue& item : v) out.append(ToPython(item));
                return out;
            } else {
                py::dict out;
                for (const auto& [key, item] : v) out[py::str(key)] = ToPython(item);
                return out;
            }
        },
        value.Get());
}

Doubles AsDoubles(const py::handle& values, const char* what) {
    if (py::isinstance<py::str>(values) || py::isinstance<py::bytes>(values) || values.is_none())
        throw py::type_error(std::string(what) + ": numbers expected, not " +
                             py::str(py::type::of(values).attr("__name__")).cast<std::string>());
    Doubles out = Doubles::ensure(values);
    if (!out) throw py::type_error(std::string(what) + ": numbers expected");
    return out;
}

py::array StructuredArray(const std::vector<std::pair<std::string, std::string>>& fields,
                          const std::vector<py::ssize_t>& shape) {
    py::list spec;
    for (const auto& [name, format] : fields) spec.append(py::make_tuple(name, format));
    const py::dtype dtype = py::dtype::from_args(spec);
    // Object fields must start as objects (numpy.zeros makes them 0); numbers
    // are all written by the caller, so numpy.empty spares clearing them.
    bool objects = false;
    for (const auto& field : fields) objects = objects || field.second == "O";
    py::tuple dims(shape.size());
    for (std::size_t i = 0; i < shape.size(); ++i) dims[i] = py::int_(shape[i]);
    return py::module_::import("numpy").attr(objects ? "zeros" : "empty")(dims, dtype).cast<py::array>();
}

FieldPointer FieldOf(py::array& array, const char* name) {
    const py::dict fields = array.dtype().attr("fields");
    const py::tuple field = fields[name];
    const auto offset = field[1].cast<py::ssize_t>();
    return {static_cast<char*>(array.mutable_data()) + offset, array.dtype().itemsize()};
}

py::array RowsArray(const ContentBlock& block, QDocument& doc) {
    const std::span<const ColumnDescription> columns = block.columns;
    const int count = block.count(doc);
    std::vector<std::pair<std::string, std::string>> fields;
    for (const ColumnDescription& column : columns)
        fields.emplace_back(column.key, column.kind == ColumnDescription::Kind::Text ? "O" : "f8");
    py::array array = StructuredArray(fields, {count});
    std::vector<FieldPointer> at;
    for (const ColumnDescription& column : columns) at.push_back(FieldOf(array, column.key));
    constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
    const auto stored = [](const ColumnDescription& column, double value) {
        return column.IsNoValue(value) || !std::isfinite(value) ? kNone : value;
    };
    // Rows that lie in one array, all of numbers: a column at a time, by
    // address (one call target per loop; the bulk of a large file).
    std::size_t stride = 0;
    const void* rowArray = block.rowArray && count > 0 ? block.rowArray(doc, stride) : nullptr;
    const bool numbersOnly = std::none_of(columns.begin(), columns.end(), [](const ColumnDescription& c) {
        return c.kind == ColumnDescription::Kind::Text;
    });
    if (rowArray && numbersOnly) {
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const ColumnDescription& column = columns[c];
            const char* row = static_cast<const char*>(rowArray);
            for (int i = 0; i < count; ++i, row += stride)
                at[c].Of<double>(i) = stored(column, column.get(row));
        }
        return array;
    }
    for (int i = 0; i < count; ++i) {
        const void* r = block.row(doc, i);
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const ColumnDescription& column = columns[c];
            if (column.kind == ColumnDescription::Kind::Text) {
                PyObject*& slot = at[c].Of<PyObject*>(i);
                py::object text = ToPython(DataValue(r ? column.getText(r) : std::string()));
                Py_XDECREF(slot);
                slot = text.release().ptr();
                continue;
            }
            at[c].Of<double>(i) = r ? stored(column, column.get(r)) : kNone;
        }
    }
    return array;
}

}  // namespace qdat::python
