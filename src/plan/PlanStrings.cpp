// Built-in English texts of the plan module's resource strings.
#include <qdat/plan/detail/PlanStrings.h>

#include <qdat/host/Resources.h>

namespace qdat {

namespace {

using namespace plan_strings;

const ResourceTable kPlanStrings{
    {kUnnamed, "Unnamed"},

    {kUnnamedPoint, "%s%d"},
    {kUnnamedAux, "%s%d-%d"},
    {kAuxOfNumbered, "%s%s-%d"},
    {kAuxOfNamed, "%s-%d"},
    {kNumberedAux, "%s-%s"},

    {kNewJdwRecord, "Record 1"},
    {kNewJdxRecord, "Record 1"},

    {kOverlapWarning,
     "Intersection point %d: its curve overlaps the curve before it; the element list has no straight "
     "between them."},
    {kVirtualPointUnresolved,
     "Intersection point %d: the virtual intersection point cannot be found from its auxiliary points "
     "(error %d)."},
    {kInvalidCurveInput,
     "Intersection point %d: spiral lengths or a radius are given without a positive radius."},
    {kSpiralsExceedDeflection, "Intersection point %d: the spirals turn more than the deflection angle."},
    {kTangentsDoNotMeet, "Intersection point %d: the tangents of the curve do not intersect."},
    {kOverlapMode0, "Intersection point %d: the curve overlaps the curve before it."},
    {kHalfTurn, "Intersection point %d: a deflection angle of 180 degrees has no circular curve."},
    {kTangentCut,
     "Intersection point %d: the tangent is longer than the leg leaves room for; it has been shortened."},
    {kMode2TangentsDoNotMeet, "Intersection point %d: the tangents of the curve do not intersect."},
    {kMode2ShortestSpiral,
     "Intersection point %d: no spiral length fits the tangent; even the shortest spiral gives a longer "
     "tangent."},
    {kMode2LongestSpiral,
     "Intersection point %d: no spiral length fits the tangent; even the longest spiral gives a shorter "
     "tangent."},
    {kMode2NoConvergence, "Intersection point %d: no spiral length fits the tangent."},
    {kOverlap, "Intersection point %d: the curve overlaps the curve before it."},
    {kNoConvergence, "Intersection point %d: no curve of the given kind fits the tangent."},
    {kSpiralTangentsDoNotMeet, "Intersection point %d: the tangents of the curve do not intersect."},
    {kOverlapMode4, "Intersection point %d: the curve with its entry spiral overlaps the curve before it."},
    {kOverlapMode6, "Intersection point %d: the curve with its exit spiral overlaps the curve before it."},
    {kTooFewPoints, "An alignment needs at least two intersection points."},
    {kUnknownCalcMode, "Intersection point %d: calculation mode %d is not one of 0 to 7."},
    {kNoSimpleCurve,
     "Intersection point %d: no circular curve fits this tangent and deflection angle (the radius would "
     "not be a positive finite number)."},
    {kCurveNotBuilt,
     "Intersection point %d: the curve elements cannot be built from its radii and spiral lengths."},
};

}  // namespace

}  // namespace qdat
