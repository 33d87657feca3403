// qdat.Alignment: the centre line of a plan element or intersection-point
// file, evaluated at many stations at once.
#include <cmath>
#include <limits>
#include <numbers>

#include <pybind11/numpy.h>

#include <qdat/exchange/AlignmentOf.h>
#include <qdat/exchange/Descriptions.h>
#include <qdat/plan/AlignmentProjection.h>
#include "Alignments.h"
#include "Values.h"

namespace qdat::python {

namespace {

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

// The library leaves the azimuths of points on curves as they come (a left
// turn from 1.0 gives 1.0 + 2 pi - phi); handed out, they are one full turn.
double FullTurn(double radians) {
    constexpr double kTwoPi = 2.0 * std::numbers::pi;
    const double reduced = std::fmod(radians, kTwoPi);
    return reduced < 0.0 ? reduced + kTwoPi : reduced;
}

std::vector<py::ssize_t> ShapeOf(const py::array& a) {
    return std::vector<py::ssize_t>(a.shape(), a.shape() + a.ndim());
}

// Two arguments broadcast to one shape, as numpy does.
std::pair<Doubles, Doubles> Broadcast(const py::handle& a, const py::handle& b, const char* whatA,
                                      const char* whatB) {
    Doubles x = AsDoubles(a, whatA), y = AsDoubles(b, whatB);
    const py::tuple both = py::module_::import("numpy").attr("broadcast_arrays")(x, y);
    // The views numpy broadcasts to are made contiguous copies.
    return {Doubles::ensure(both[0]), Doubles::ensure(both[1])};
}

}  // namespace

Alignment::Alignment(std::shared_ptr<Document> document) : m_document(std::move(document)) {
    Call call(m_document->settings);
    m_alignment = std::make_unique<DocumentAlignment>(
        Released(call, [&] { return AlignmentOf(*m_document->doc, m_document->path); }));
}

double Alignment::StartStation() {
    std::lock_guard lock(m_document->lock);
    return m_alignment->Alignment().GetStartStation().GetValue();
}

double Alignment::EndStation() {
    std::lock_guard lock(m_document->lock);
    Call call(m_document->settings);
    return m_alignment->Alignment().GetEndStation().GetValue();
}

py::list Alignment::Elements() {
    std::lock_guard lock(m_document->lock);
    Call call(m_document->settings);
    const PlanAlignment& a = m_alignment->Alignment();
    std::span<const ColumnDescription> columns = ElementColumns();
    py::list out;
    const int count = std::min(a.GetTotalElementCount(), a.GetElements().GetSize());
    for (int i = 0; i < count; ++i) {
        out.append(ToPython(RowDescription(columns, &a.GetElements()[i])));
    }
    return out;
}

std::span<const ColumnDescription> Alignment::ElementColumns() {
    const DocumentKind* kind = DocumentKind::Find("QPmDoc");
    for (const ContentBlock& block : kind->GetContent())
        if (block.key && std::string_view(block.key) == "elements") return block.columns;
    return {};
}

py::array Alignment::PointAt(const py::handle& stationsArg) {
    const Doubles stations = AsDoubles(stationsArg, "stations");
    py::array out =
        StructuredArray({{"station", "f8"}, {"x", "f8"}, {"y", "f8"}, {"azimuth", "f8"}, {"radius", "f8"}},
                        ShapeOf(stations));
    const FieldPointer station = FieldOf(out, "station"), x = FieldOf(out, "x"), y = FieldOf(out, "y"),
                       azimuth = FieldOf(out, "azimuth"), radius = FieldOf(out, "radius");
    const double* in = stations.data();
    const py::ssize_t n = stations.size();
    std::lock_guard lock(m_document->lock);
    Call call(m_document->settings);
    Released(call, [&] {
        const PlanAlignment& a = m_alignment->Alignment();
        const QStation start = a.GetStartStation(), end = a.GetEndStation();
        for (py::ssize_t i = 0; i < n; ++i) {
            StationPoint point;
            point.Station = QStation(in[i]);
            station.Of<double>(i) = in[i];
            // The geometry gives the end point for a station past an end;
            // that point does not lie at the station asked for.
            const bool on = std::isfinite(in[i]) && !(point.Station < start) && !(point.Station > end) &&
                            a.PointAtStation(point) != 0;
            x.Of<double>(i) = on ? point.X : kNone;
            y.Of<double>(i) = on ? point.Y : kNone;
            azimuth.Of<double>(i) = on ? FullTurn(point.Azimuth) : kNone;
            radius.Of<double>(i) = on ? a.RadiusAtStation(point.Station) : kNone;
        }
    });
    return out;
}

py::array Alignment::Locate(const py::handle& xArg, const py::handle& yArg) {
    const auto [xs, ys] = Broadcast(xArg, yArg, "x", "y");
    py::array out = StructuredArray({{"station", "f8"}, {"offset", "f8"}, {"beyond", "i1"}}, ShapeOf(xs));
    const FieldPointer station = FieldOf(out, "station"), offset = FieldOf(out, "offset"),
                       beyond = FieldOf(out, "beyond");
    const double* x = xs.data();
    const double* y = ys.data();
    const py::ssize_t n = xs.size();
    std::lock_guard lock(m_document->lock);
    Call call(m_document->settings);
    Released(call, [&] {
        const PlanAlignment& a = m_alignment->Alignment();
        for (py::ssize_t i = 0; i < n; ++i) {
            PointLocation where;
            if (!std::isfinite(x[i]) || !std::isfinite(y[i])) {
                station.Of<double>(i) = offset.Of<double>(i) = kNone;
                beyond.Of<std::int8_t>(i) = 0;
                continue;
            }
            if (!a.LocatePoint(x[i], y[i], where))
                throw LibraryFailure(m_document->path + ": element " + std::to_string(where.Element + 1) +
                                         " cannot be evaluated, so no point can be located on the alignment",
                                     m_document->path);
            station.Of<double>(i) = where.Station.GetValue();
            offset.Of<double>(i) = where.Offset == 0.0 ? 0.0 : where.Offset;
            beyond.Of<std::int8_t>(i) = where.BeyondStart ? -1 : where.BeyondEnd ? 1 : 0;
        }
    });
    return out;
}

py::array Alignment::OffsetPoint(const py::handle& stationsArg, const py::handle& offsetsArg) {
    const auto [ss, os] = Broadcast(stationsArg, offsetsArg, "stations", "offsets");
    py::array out = StructuredArray({{"x", "f8"}, {"y", "f8"}}, ShapeOf(ss));
    const FieldPointer x = FieldOf(out, "x"), y = FieldOf(out, "y");
    const double* s = ss.data();
    const double* o = os.data();
    const py::ssize_t n = ss.size();
    std::lock_guard lock(m_document->lock);
    Call call(m_document->settings);
    Released(call, [&] {
        const PlanAlignment& a = m_alignment->Alignment();
        const QStation start = a.GetStartStation(), end = a.GetEndStation();
        for (py::ssize_t i = 0; i < n; ++i) {
            StationPoint point;
            point.Station = QStation(s[i]);
            const bool on = std::isfinite(s[i]) && std::isfinite(o[i]) && !(point.Station < start) &&
                            !(point.Station > end) && a.PointAtOffset(point, o[i]) != 0;
            x.Of<double>(i) = on ? point.X : kNone;
            y.Of<double>(i) = on ? point.Y : kNone;
        }
    });
    return out;
}

void BindAlignments(py::module_& m) {
    py::class_<Alignment>(m, "Alignment",
                          R"(The centre line of a plan element file or an intersection-point file.

Alignment(path, chain_table=None, project=None) reads the file (the curves of
an intersection-point file computed as `qdat jd --compute` does, every
element computed from the start). X is the northing and Y the easting, in
metres; azimuths are radians clockwise from +X (north), in [0, 2 pi);
stations are continuous stations in metres; a radius of 9999 is a straight;
offsets are + right of the direction of travel.

The evaluations take a number or an array and return a numpy structured
array of the same shape; their loops run with the GIL released. Raises
qdat.Error when the file cannot be read or is neither kind, or its curves
or elements cannot be computed.)")
        .def(py::init([](const py::object& path, const py::object& chainTable, const py::object& project) {
                 return std::make_unique<Alignment>(
                     Document::Open(PathOf(path), {}, SettingsOf(chainTable, project)));
             }),
             py::arg("path"), py::arg("chain_table") = py::none(), py::arg("project") = py::none())
        .def_property_readonly("start_station", &Alignment::StartStation, "Station of the start, metres.")
        .def_property_readonly("end_station", &Alignment::EndStation, "Station of the end, metres.")
        .def_property_readonly("elements", &Alignment::Elements,
                               "The elements as dicts with the keys of a plan element file's \"elements\" "
                               "(`qdat dump --json`, `qdat kinds --json`): type, turn, lengths and radii in "
                               "metres, coordinates, stations, azimuths in radians.")
        .def("point_at", &Alignment::PointAt, py::arg("stations"),
             R"(Points on the centre line at the stations (metres): fields station, x, y
(metres), azimuth (radians clockwise from north, [0, 2 pi)) and radius
(metres, 9999 on a straight). Stations beyond the ends give NaN.)")
        .def("locate", &Alignment::Locate, py::arg("x"), py::arg("y"),
             R"(The nearest point of the centre line to the points (x, y), metres: fields
station, offset (+ right of travel) and beyond (0 on the alignment, -1
before its start, 1 after its end; there the station is the end's and the
offset square to its tangent). x and y broadcast. Raises qdat.Error when an
element cannot be evaluated.)")
        .def("offset_point", &Alignment::OffsetPoint, py::arg("stations"), py::arg("offsets"),
             R"(The points the offsets (metres, + right of travel) square to the centre
line at the stations: fields x, y (metres); the inverse of locate. NaN beyond
the ends. Stations and offsets broadcast.)");
}

}  // namespace qdat::python
