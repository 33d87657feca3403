// Built-in English texts of the plan module's resource strings.
#include "plan/detail/PlanStrings.h"

#include "host/Resources.h"

namespace qdat {

namespace {

const ResourceTable kPlanStrings{
    {plan_strings::kUnnamed, "Unnamed"},
};

}  // namespace

}  // namespace qdat
