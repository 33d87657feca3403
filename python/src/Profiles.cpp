#include "Profiles.h"

#include <cmath>
#include <limits>

#include <pybind11/numpy.h>

#include <qdat/profile/GroundPoints.h>
#include "Values.h"

namespace qdat::python {

namespace {

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

template <class T>
Opened<T> OpenAs(const py::object& path, const py::object& chainTable, const py::object& project,
                 const char* what) {
    auto document = Document::Open(PathOf(path), {}, SettingsOf(chainTable, project));
    if (!dynamic_cast<T*>(document->doc.get()))
        throw LibraryFailure(document->path + " is no " + what + " but a " +
                                 std::string(document->doc->GetKind()->GetFileName()),
                             document->path);
    Call call(document->settings);
    if (document->doc->NeedsRepair()) {
        document->doc->Repair();
        call.Ui().warnings.push_back(document->path +
                                     ": the points are not in station order; sorted in memory");
        call.Warn();
    }
    return {std::move(document)};
}

// Evaluates value(station) at each station, the GIL released; a value
// `none` (or one not finite) is NaN.
template <class T, class F>
py::array Evaluate(Opened<T>& opened, const py::handle& stationsArg, double none, F&& value) {
    const Doubles stations = AsDoubles(stationsArg, "stations");
    py::array_t<double> out(std::vector<py::ssize_t>(stations.shape(), stations.shape() + stations.ndim()));
    double* to = out.mutable_data();
    const double* in = stations.data();
    const py::ssize_t n = stations.size();
    std::lock_guard lock(opened.document->lock);
    Call call(opened.document->settings);
    Released(call, [&] {
        for (py::ssize_t i = 0; i < n; ++i) {
            const double v = std::isfinite(in[i]) ? value(in[i]) : kNone;
            to[i] = v == none || !std::isfinite(v) ? kNone : v;
        }
    });
    return out;
}

template <class T>
py::array Points(Opened<T>& opened, const char* key) {
    std::lock_guard lock(opened.document->lock);
    Call call(opened.document->settings);
    QDocument& doc = *opened.document->doc;
    for (const ContentBlock& block : doc.GetKind()->GetContent())
        if (block.key && std::string_view(block.key) == key) return RowsArray(block, doc);
    return py::array();
}

}  // namespace

void BindProfiles(py::module_& m) {
    py::class_<Profile>(m, "Profile", R"(A vertical profile: grade points with their vertical curves.

Profile(path, chain_table=None, project=None) reads a vertical profile file;
stations and elevations are metres, grades rise over run. Points out of
station order are sorted in memory (with a warning), never in the file.
Raises qdat.Error when the file cannot be read or is another kind.)")
        .def(py::init([](const py::object& path, const py::object& chainTable, const py::object& project) {
                 return OpenAs<QZdmFile>(path, chainTable, project, "vertical profile");
             }),
             py::arg("path"), py::arg("chain_table") = py::none(), py::arg("project") = py::none())
        .def(
            "elevation",
            [](Profile& p, const py::handle& stations) {
                return Evaluate(p, stations, QZdmFile::kNoValue,
                                [&p](double s) { return p.Get().GetDesignElevation(QStation(s)); });
            },
            py::arg("stations"),
            R"(Design elevations (metres) at the stations (metres): a float array of their
shape. Before the first grade point the profile runs on flat at its
elevation, after the last likewise; NaN for an empty profile.)")
        .def(
            "grade",
            [](Profile& p, const py::handle& stations) {
                return Evaluate(p, stations, QZdmFile::kNoValue,
                                [&p](double s) { return p.Get().GetDesignGrade(QStation(s)); });
            },
            py::arg("stations"),
            R"(Design grades (rise over run) at the stations (metres); NaN outside the
profile.)")
        .def_property_readonly(
            "grade_points", [](Profile& p) { return Points(p, "points"); },
            "The grade points as a structured array (the keys of `qdat kinds --json`).");

    py::class_<GroundLine>(m, "GroundLine", R"(A profile ground line: (station, elevation) points, metres.

GroundLine(path, chain_table=None, project=None) reads a ground line file
(an old one with the chain table it carries). Raises qdat.Error when the
file cannot be read or is another kind.)")
        .def(py::init([](const py::object& path, const py::object& chainTable, const py::object& project) {
                 return OpenAs<DmxFile>(path, chainTable, project, "profile ground line");
             }),
             py::arg("path"), py::arg("chain_table") = py::none(), py::arg("project") = py::none())
        .def(
            "elevation",
            [](GroundLine& g, const py::handle& stations) {
                const GrowArray<GroundPoint>& points = g.Get().GetPointArray();
                return Evaluate(g, stations, GroundPoint::NoElevation,
                                [&points](double s) { return GroundElevationAt(points, s); });
            },
            py::arg("stations"),
            R"(Ground elevations (metres) at the stations (metres), straight between the
points: NaN where there is no ground (before the first point, after the
last, beside a point without elevation).)")
        .def_property_readonly(
            "points", [](GroundLine& g) { return Points(g, "points"); },
            "The points as a structured array with fields station and elevation (NaN: none).");
}

}  // namespace qdat::python
