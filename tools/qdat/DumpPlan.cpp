// Content dumper of the plan element file: the alignment header, the end
// description and every stored field of the main and end elements.
#include <nlohmann/json.hpp>

#include "Tool.h"
#include "plan/QPmDoc.h"

namespace qdat::tool {
namespace {

nlohmann::json ElementJson(const PlanElement& e) {
    return {
        {"type", e.Type},
        {"turn", e.Turn},
        {"offset", e.Offset},
        {"lengthItem", e.LengthItem},
        {"spiralParam", e.SpiralParam},
        {"startRadius", e.StartRadius},
        {"endRadius", e.EndRadius},
        {"startX", e.StartX},
        {"startY", e.StartY},
        {"tangentPointX", e.TangentPointX},
        {"tangentPointY", e.TangentPointY},
        {"endX", e.EndX},
        {"endY", e.EndY},
        {"centreX", e.CentreX},
        {"centreY", e.CentreY},
        {"startStation", e.StartStation.GetValue()},
        {"endStation", e.EndStation.GetValue()},
        {"startAzimuth", e.StartAzimuth},
        {"endAzimuth", e.EndAzimuth},
    };
}

// The elements the file holds: the main ones, then those of the end type.
int StoredElementCount(const PlanAlignment& a) {
    const int total = a.GetTotalElementCount();
    if (total < 0 || total > a.GetElements().GetSize()) return 0;
    return total;
}

const DumperRegistration kPlanElements{{
    "QPmDoc",
    [](QDocument& doc) {
        const PlanAlignment& a = dynamic_cast<QPmDoc&>(doc).GetAlignment();
        nlohmann::json elements = nlohmann::json::array();
        nlohmann::json endElements = nlohmann::json::array();
        const int total = StoredElementCount(a);
        for (int i = 0; i < total; ++i)
            (i < a.ElementCount ? elements : endElements).push_back(ElementJson(a.GetElement(i)));
        return nlohmann::json{
            {"name", a.Name},
            {"note", a.Note},
            {"headerValue", a.HeaderValue},
            {"elementCount", a.ElementCount},
            {"chained", a.Chained},
            {"startMode", a.StartMode},
            {"startStation", a.StartStation.GetValue()},
            {"startAzimuth", a.StartAzimuth},
            {"backPointY", a.BackPointY},
            {"startX", a.StartX},
            {"startY", a.StartY},
            {"endType", a.EndType},
            {"endValue1", a.EndValue1},
            {"endValue2", a.EndValue2},
            {"endValue3", a.EndValue3},
            {"endValue4", a.EndValue4},
            {"elements", elements},
            {"endElements", endElements},
        };
    },
    [](QDocument& doc) {
        return static_cast<std::size_t>(StoredElementCount(dynamic_cast<QPmDoc&>(doc).GetAlignment()));
    },
}};

}  // namespace
}  // namespace qdat::tool
