// Built-in English texts of the plan module's resource strings.
#include "plan/detail/PlanStrings.h"

#include "host/Resources.h"

namespace qdat {

namespace {

const ResourceTable kPlanStrings{
    {plan_strings::kPlanElementFileType,
     "Plan elements|Plan element file\nPlan elements\nPlanElements\nPlan element files (*.pm)\n.pm"},
    {plan_strings::kUnnamed, "Unnamed"},
};

}  // namespace

}  // namespace qdat
