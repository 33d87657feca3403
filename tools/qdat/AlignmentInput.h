// The alignment of the commands that take a plan element file or an
// intersection-point file: the file read with the command's file options,
// and its alignment as exchange/AlignmentOf.h computes it, under the
// context the command reads and shows the file in.
#pragma once

#include <memory>
#include <string>

#include <qdat/exchange/AlignmentOf.h>
#include <qdat/plan/PlanAlignment.h>
#include <qdat/plan/QJdDoc.h>
#include <qdat/station/ChainTable.h>
#include "Inputs.h"

namespace qdat::tool {

class AlignmentInput {
public:
    // Reads the file and computes the alignment; a failure naming the file
    // when it is neither kind or its curves or elements cannot be computed.
    AlignmentInput(const std::string& path, FileContext& context);

    PlanAlignment& Alignment() { return m_alignment->Alignment(); }
    const PlanAlignment& Alignment() const { return m_alignment->Alignment(); }
    // The document read (its elements computed, or its curves).
    QDocument& Document() { return *m_document; }
    // The intersection points the alignment was made from; null for an
    // element file.
    const QJdDoc* Points() const { return m_alignment->Points(); }
    // The chain table the file is used with (the options' or its own), kept
    // apart from the context's, which the next file read with it replaces.
    const ChainTable& Chain() const { return m_chain; }

private:
    std::unique_ptr<QDocument> m_document;
    std::unique_ptr<DocumentAlignment> m_alignment;
    ChainTable m_chain;
};

}  // namespace qdat::tool
