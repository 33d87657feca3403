#include "JdCurves.h"

#include "Tool.h"
#include "plan/QPmDoc.h"

namespace qdat::tool {

std::string PointName(const JdPoint& point, int index) {
    return point.DisplayName("JD", index);
}

void ComputeCurvesOrFail(QJdDoc& doc, const std::string& path) {
    JdList& list = doc.GetList();
    std::string message;
    {
        HeldErrors held;
        if (list.ComputeCurves()) return;
        message = held.Last({});
    }
    std::string where = path;
    const int index = list.GetFailedPoint();
    if (index >= 0 && index < list.Points.GetSize())
        where += ": point " + std::to_string(index) + " (" + PointName(list.Points[index], index) + ")";
    Fail(where + ": " + (message.empty() ? "the curves cannot be computed" : message));
}

PlanAlignment& ComputedAlignmentOf(QDocument& doc, const std::string& path, PlanAlignment& fromPoints) {
    PlanAlignment* chosen = nullptr;
    if (auto* pm = dynamic_cast<QPmDoc*>(&doc)) {
        chosen = &pm->GetAlignment();
    } else if (auto* jd = dynamic_cast<QJdDoc*>(&doc)) {
        ComputeCurvesOrFail(*jd, path);
        fromPoints = jd->GetList().BuildElementList();
        chosen = &fromPoints;
    } else {
        Fail(path + " is " + AKindFileName(doc) + ", not a plan element or intersection-point file");
    }
    PlanAlignment& alignment = *chosen;
    if (!alignment.ComputeElements()) {
        Fail(path + ": the elements cannot be computed (start mode " + std::to_string(alignment.StartMode) +
             ", " + std::to_string(alignment.ElementCount) + " main elements, end type " +
             std::to_string(alignment.EndType) + ")");
    }
    return alignment;
}

}  // namespace qdat::tool
