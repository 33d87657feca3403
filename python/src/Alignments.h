// qdat.Alignment.
#pragma once

#include <memory>
#include <span>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <qdat/docbase/DocumentKind.h>
#include <qdat/exchange/AlignmentOf.h>
#include "Documents.h"

namespace qdat::python {

class Alignment {
public:
    explicit Alignment(std::shared_ptr<Document> document);

    double StartStation();
    double EndStation();
    py::list Elements();
    py::array PointAt(const py::handle& stations);
    py::array Locate(const py::handle& x, const py::handle& y);
    py::array OffsetPoint(const py::handle& stations, const py::handle& offsets);

    Document& Source() { return *m_document; }
    const PlanAlignment& Geometry() const { return m_alignment->Alignment(); }
    // Whether the alignment was made from intersection points.
    bool FromPoints() const { return m_alignment->Points() != nullptr; }

private:
    static std::span<const ColumnDescription> ElementColumns();

    std::shared_ptr<Document> m_document;
    std::unique_ptr<DocumentAlignment> m_alignment;
};

void BindAlignments(py::module_& m);

}  // namespace qdat::python
