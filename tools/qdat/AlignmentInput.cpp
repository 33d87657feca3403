#include "AlignmentInput.h"

#include "JdCurves.h"

namespace qdat::tool {

AlignmentInput::AlignmentInput(const std::string& path, const FileOptions& options)
    : m_document(LoadDocument(path, options)), m_fromPoints(std::make_unique<PlanAlignment>()) {
    m_chain = GetCurrentChainTable();
    m_alignment = &ComputedAlignmentOf(*m_document, path, *m_fromPoints);
    m_points = dynamic_cast<const QJdDoc*>(m_document.get());
}

}  // namespace qdat::tool
