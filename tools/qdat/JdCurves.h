// The curve computation of intersection-point files, as the commands that
// read them run it, and the alignment of a plan file of either kind.
#pragma once

#include <string>

#include "docbase/QDocument.h"
#include "plan/PlanAlignment.h"
#include "plan/QJdDoc.h"

namespace qdat::tool {

// Runs the curve computation of the file's points. A failure ends the
// command (exit 1) with the file, the index and name of the point that
// failed, and the library's message; warnings are printed as they come.
void ComputeCurvesOrFail(QJdDoc& doc, const std::string& path);

// The alignment of a plan element file, or the element list the curves of an
// intersection-point file make (computed first, kept in `fromPoints`), with
// its elements computed from its start. Fails (exit 1) naming the file for
// any other kind of file and for elements that cannot be computed.
PlanAlignment& ComputedAlignmentOf(QDocument& doc, const std::string& path, PlanAlignment& fromPoints);

// The name a point is shown with: its own, or one made from its index.
std::string PointName(const JdPoint& point, int index);

}  // namespace qdat::tool
