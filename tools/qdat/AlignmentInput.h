// The alignment of the commands that take a plan element file or an
// intersection-point file: the elements as read, or the element list the
// computed curves of the points make (as `qdat jd --elements` saves it),
// always computed from the alignment's start.
#pragma once

#include <memory>
#include <string>

#include "Tool.h"
#include "plan/PlanAlignment.h"
#include "plan/QJdDoc.h"
#include "station/ChainTable.h"

namespace qdat::tool {

class AlignmentInput {
public:
    // Reads the file and computes the alignment; a failure naming the file
    // when it is neither kind or its curves or elements cannot be computed.
    AlignmentInput(const std::string& path, const FileOptions& options);

    PlanAlignment& Alignment() { return *m_alignment; }
    const PlanAlignment& Alignment() const { return *m_alignment; }
    // The document read (its elements computed, or its curves).
    QDocument& Document() { return *m_document; }
    // The intersection points the alignment was made from; null for an
    // element file.
    const QJdDoc* Points() const { return m_points; }
    // The chain table the file is used with (the options' or its own), kept
    // apart from the current one, which the next file read replaces.
    const ChainTable& Chain() const { return m_chain; }

private:
    std::unique_ptr<QDocument> m_document;
    // The alignment made from intersection points, where the file holds them.
    std::unique_ptr<PlanAlignment> m_fromPoints;
    PlanAlignment* m_alignment = nullptr;
    const QJdDoc* m_points = nullptr;
    ChainTable m_chain;
};

}  // namespace qdat::tool
