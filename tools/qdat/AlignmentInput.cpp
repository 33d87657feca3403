#include "AlignmentInput.h"

#include "JdCurves.h"
#include "plan/QPmDoc.h"

namespace qdat::tool {

AlignmentInput::AlignmentInput(const std::string& path, const FileOptions& options)
    : m_document(LoadDocument(path, options)) {
    m_chain = GetCurrentChainTable();
    if (auto* pm = dynamic_cast<QPmDoc*>(m_document.get())) {
        m_elements = &pm->GetAlignment();
    } else if (auto* jd = dynamic_cast<QJdDoc*>(m_document.get())) {
        ComputeCurvesOrFail(*jd, path);
        m_fromPoints = std::make_unique<PlanAlignment>(jd->GetList().BuildElementList());
        m_points = jd;
    } else {
        Fail(path + " is a " + m_document->GetRuntimeClass().GetName() +
             " file, not a plan element or intersection-point file");
    }
    PlanAlignment& alignment = Alignment();
    if (!alignment.ComputeElements()) {
        Fail(path + ": the elements cannot be computed (start mode " + std::to_string(alignment.StartMode) +
             ", " + std::to_string(alignment.ElementCount) + " main elements, end type " +
             std::to_string(alignment.EndType) + ")");
    }
}

}  // namespace qdat::tool
