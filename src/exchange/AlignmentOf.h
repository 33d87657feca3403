// The alignment of a plan element file or an intersection-point file: the
// elements as read, or the element list the computed curves of the points
// make (as `qdat jd --compute` computes them and `--elements` saves them),
// always computed from the alignment's start.
#pragma once

#include <memory>
#include <string>

#include <qdat/docbase/QDocument.h>
#include <qdat/host/Export.h>
#include <qdat/plan/PlanAlignment.h>
#include <qdat/plan/QJdDoc.h>

namespace qdat {

// Runs the curve computation of the file's points. Throws ExchangeError
// naming `name` (the file as the caller calls it), the index and name of
// the point that failed, and the library's message; the error the
// computation reports is held back for it, warnings are shown as they come.
QDAT_API void ComputeCurves(QJdDoc& doc, const std::string& name);

// The name a point is shown with: its own, or one made from its index.
QDAT_API std::string PointName(const JdPoint& point, int index);

// An alignment and where it came from. For an element file it is the
// document's own; for intersection points, the element list their curves
// make, held here.
class QDAT_API DocumentAlignment {
public:
    DocumentAlignment(PlanAlignment& own) : m_alignment(&own) {}
    DocumentAlignment(std::unique_ptr<PlanAlignment> made, const QJdDoc& points)
        : m_made(std::move(made)), m_alignment(m_made.get()), m_points(&points) {}

    PlanAlignment& Alignment() { return *m_alignment; }
    const PlanAlignment& Alignment() const { return *m_alignment; }
    // The intersection points the alignment was made from; null for an
    // element file.
    const QJdDoc* Points() const { return m_points; }

private:
    std::unique_ptr<PlanAlignment> m_made;
    PlanAlignment* m_alignment = nullptr;
    const QJdDoc* m_points = nullptr;
};

// The alignment of a plan element file, or of an intersection-point file
// (its curves computed first), its elements computed from its start; the
// document must outlive the result. Throws ExchangeError naming `name`
// (the document's path when empty, "the document" without one) for any other kind of document, for
// curves and for elements that cannot be computed.
QDAT_API DocumentAlignment AlignmentOf(QDocument& doc, const std::string& name = {});

}  // namespace qdat
