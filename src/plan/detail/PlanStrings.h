// Numbers of the plan module's resource strings. The built-in English texts
// are registered in PlanStrings.cpp.
#pragma once

namespace qdat::plan_strings {

// Document-type strings ("name|description", then the document-template
// fields separated by line feeds, ending with the extension).
inline constexpr int kPlanElementFileType = 101;
inline constexpr int kIntersectionFileType = 102;
// The name written for an unnamed alignment (and an unnamed intersection point).
inline constexpr int kUnnamed = 1179;

// Names of intersection points and their auxiliary points.
inline constexpr int kNumberPlaceholder = 88;  // the stationing module's "%d"
inline constexpr int kUnnamedPoint = 215;      // %s prefix, %d index
inline constexpr int kUnnamedAux = 218;        // %s prefix, %d point index, %d aux index
inline constexpr int kAuxOfNumbered = 219;     // %s prefix, %s point name, %d aux index
inline constexpr int kAuxOfNamed = 220;        // %s point name, %d aux index
inline constexpr int kNumberedAux = 1158;      // %s point name, %s aux name

// The first record of a new JDW and JDX list.
inline constexpr int kNewJdwRecord = 216;
inline constexpr int kNewJdxRecord = 250;

// Messages of the curve computation; each takes the point index (%d).
inline constexpr int kOverlapWarning = 212;           // element list: curves overlap
inline constexpr int kVirtualPointUnresolved = 1189;  // %d, then the error code %d
inline constexpr int kInvalidCurveInput = 1190;
inline constexpr int kSpiralsExceedDeflection = 1191;
inline constexpr int kTangentsDoNotMeet = 1192;
inline constexpr int kOverlapMode0 = 1193;
inline constexpr int kHalfTurn = 1194;
inline constexpr int kTangentCut = 1195;  // warning
inline constexpr int kMode2TangentsDoNotMeet = 1197;
inline constexpr int kMode2ShortestSpiral = 1198;
inline constexpr int kMode2LongestSpiral = 1199;
inline constexpr int kMode2NoConvergence = 1206;
inline constexpr int kOverlap = 1207;
inline constexpr int kNoConvergence = 1208;  // also: spirals exceed the deflection in modes 4 to 7
inline constexpr int kSpiralTangentsDoNotMeet = 1209;
inline constexpr int kOverlapMode4 = 1210;
inline constexpr int kOverlapMode6 = 1211;
inline constexpr int kTooFewPoints = 1212;     // no index
inline constexpr int kUnknownCalcMode = 1213;  // %d index, %d mode
inline constexpr int kNoSimpleCurve = 1214;
inline constexpr int kCurveNotBuilt = 1215;

}  // namespace qdat::plan_strings
