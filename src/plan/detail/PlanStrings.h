// Numbers of the plan module's resource strings. The built-in English texts
// are registered in PlanStrings.cpp.
#pragma once

namespace qdat::plan_strings {

// Document-type string of the plan element file ("name|description", then the
// document-template fields separated by line feeds, ending with the extension).
inline constexpr int kPlanElementFileType = 101;
// The name written for an unnamed alignment (and an unnamed intersection point).
inline constexpr int kUnnamed = 1179;

}  // namespace qdat::plan_strings
