// The curve computation of intersection-point files, as the commands that
// read them run it.
#pragma once

#include <string>

#include "plan/QJdDoc.h"

namespace qdat::tool {

// Runs the curve computation of the file's points. A failure ends the
// command (exit 1) with the file, the index and name of the point that
// failed, and the library's message; warnings are printed as they come.
void ComputeCurvesOrFail(QJdDoc& doc, const std::string& path);

// The name a point is shown with: its own, or one made from its index.
std::string PointName(const JdPoint& point, int index);

}  // namespace qdat::tool
