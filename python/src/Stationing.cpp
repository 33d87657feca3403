#include "Stationing.h"

#include <cmath>

#include <pybind11/stl.h>

#include <qdat/docbase/QArchiveException.h>
#include <qdat/station/QStation.h>
#include <qdat/station/StationText.h>
#include "Call.h"

namespace qdat::python {

namespace {

std::string Number(double value) {
    return py::repr(py::float_(value)).cast<std::string>();
}

ChainTable FromBreaks(const py::iterable& breaks) {
    ChainTable table;
    for (const py::handle item : breaks) {
        const py::sequence pair = py::reinterpret_borrow<py::sequence>(item);
        if (!py::isinstance<py::sequence>(item) || py::isinstance<py::str>(item) || py::len(pair) != 2)
            throw py::type_error("a chain break is a pair (before, after) of stake stations");
        double before = 0.0, after = 0.0;
        try {
            before = pair[0].cast<double>();
            after = pair[1].cast<double>();
        } catch (const py::cast_error&) {
            throw py::type_error("a chain break is a pair (before, after) of numbers");
        }
        if (!std::isfinite(before) || !std::isfinite(after))
            throw py::value_error("a chain break needs finite stations, not (" + Number(before) + ", " +
                                  Number(after) + ")");
        try {
            table.AddBreak(before, after);
        } catch (const QDLException& e) {
            throw py::value_error("chain break (" + Number(before) + ", " + Number(after) +
                                  "): " + e.GetErrorMessage());
        }
    }
    table.SortBreaks();
    // Between two breaks runs a chain of its own: it must end after it starts.
    for (int i = 1; i < table.GetBreakCount(); ++i) {
        const ChainBreak& a = table.GetBreak(i - 1);
        const ChainBreak& b = table.GetBreak(i);
        if (!(b.Before > a.After))
            throw py::value_error("the chain breaks (" + Number(a.Before) + ", " + Number(a.After) +
                                  ") and (" + Number(b.Before) + ", " + Number(b.After) + ") overlap");
    }
    return table;
}

}  // namespace

ChainTable ChainTableOf(const py::handle& table) {
    if (py::isinstance<ChainTable>(table)) return table.cast<const ChainTable&>();
    if (py::isinstance<py::iterable>(table) && !py::isinstance<py::str>(table))
        return FromBreaks(py::reinterpret_borrow<py::iterable>(table));
    throw py::type_error("chain_table: a qdat.ChainTable or a list of (before, after) pairs expected");
}

py::object MakeChainTable(const ChainTable& table) {
    return py::cast(table);
}

void BindStationing(py::module_& m) {
    py::class_<ChainTable>(m, "ChainTable", R"(Chain breaks: where the stake stations of an alignment jump.

ChainTable([(before, after), ...]) makes a table from breaks given by their
two stake stations in metres (the station BEFORE continues as AFTER); each
chain after a break is lettered (A, B, ...). Usable as chain_table= of every
call that reads files. Raises ValueError for breaks that overlap or that the
table cannot hold (more than 25).)")
        .def(py::init([](const py::iterable& breaks) { return FromBreaks(breaks); }),
             py::arg("breaks") = py::list())
        .def_property_readonly(
            "breaks",
            [](const ChainTable& t) {
                py::list out;
                for (int i = 0; i < t.GetBreakCount(); ++i)
                    out.append(py::make_tuple(t.GetBreak(i).Before, t.GetBreak(i).After));
                return out;
            },
            "The breaks as (before, after) pairs of stake stations, metres.")
        .def_property_readonly("prefix", &ChainTable::GetPrefix, "The prefix of kilometre text (\"K\").")
        .def(
            "text",
            [](const ChainTable& t, double station, bool km) {
                if (!std::isfinite(station)) throw py::value_error("station: a finite number expected");
                Call call(Settings{t, 3});
                const QStation s(station);
                return km ? s.GetKmText() : s.GetText();
            },
            py::arg("station"), py::kw_only(), py::arg("km") = false,
            R"(The text of a continuous station (metres): lettered as files hold it
("B1070.500"), or with km=True the kilometre form ("K1+070.500").)")
        .def(
            "parse",
            [](const ChainTable& t, const std::string& text) {
                Call call(Settings{t, 3});
                try {
                    return ParseStationText(text);
                } catch (const QDLException& e) {
                    throw py::value_error("\"" + text + "\": " + e.GetErrorMessage());
                }
            },
            py::arg("text"),
            R"(The continuous station (metres) of station text: a number, lettered text
("B1070.5") or the kilometre form ("0+400", "K1+070.500", "KB1+070").
Raises ValueError for text that is none of them or lies outside its chain.)")
        .def("__len__", &ChainTable::GetBreakCount)
        .def("__repr__", [](const ChainTable& t) {
            std::string text = "qdat.ChainTable([";
            for (int i = 0; i < t.GetBreakCount(); ++i)
                text += (i ? ", (" : "(") + Number(t.GetBreak(i).Before) + ", " +
                        Number(t.GetBreak(i).After) + ")";
            return text + "])";
        });
}

}  // namespace qdat::python
