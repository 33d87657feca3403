#include "JdCurves.h"

#include "Tool.h"

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

}  // namespace qdat::tool
