// Content dumpers of the vertical profile and the profile controls.
#include <nlohmann/json.hpp>

#include "Tool.h"
#include "profile/QZKZDoc.h"
#include "profile/QZdmFile.h"

namespace qdat::tool {
namespace {

const DumperRegistration kVerticalProfile{{
    "QZdmFile",
    [](QDocument& doc) {
        auto& zdm = dynamic_cast<QZdmFile&>(doc);
        nlohmann::json points = nlohmann::json::array();
        for (const GradePoint& p : zdm.GetGradePointArray()) {
            points.push_back({{"station", p.Station.GetValue()},
                              {"elevation", p.Elevation},
                              {"radius", p.Radius},
                              {"stepStation", p.StepStation.GetValue()},
                              {"stepHeight", p.StepHeight},
                              {"tangentLength", p.TangentLength},
                              {"externalDistance", p.ExternalDistance},
                              {"gradeIn", p.GradeIn},
                              {"gradeOut", p.GradeOut},
                              {"curveStart", p.CurveStart.GetValue()},
                              {"curveEnd", p.CurveEnd.GetValue()}});
        }
        return nlohmann::json{{"points", points}};
    },
    [](QDocument& doc) { return static_cast<std::size_t>(dynamic_cast<QZdmFile&>(doc).GetPointCount()); },
}};

nlohmann::json ControlPointsJson(const GrowArray<ControlPoint>& points) {
    nlohmann::json out = nlohmann::json::array();
    for (const ControlPoint& p : points)
        out.push_back({{"station", p.Station.GetValue()}, {"value1", p.Value1}, {"value2", p.Value2}});
    return out;
}

const DumperRegistration kProfileControls{{
    "QZKZDoc",
    [](QDocument& doc) {
        const ProfileControls& c = *dynamic_cast<QZKZDoc&>(doc).GetControls();
        nlohmann::json structures = nlohmann::json::array();
        for (const ControlRange& r : c.StructureControls) {
            structures.push_back({{"fromStation", r.FromStation.GetValue()},
                                  {"value1", r.Value1},
                                  {"toStation", r.ToStation.GetValue()},
                                  {"value2", r.Value2}});
        }
        nlohmann::json fills = nlohmann::json::array();
        for (const FillRange& r : c.MinFillControls) {
            fills.push_back(
                {{"fromStation", r.FromStation.GetValue()}, {"toStation", r.ToStation.GetValue()}, {"value", r.Value}});
        }
        nlohmann::json out = nlohmann::json::object();
        out["startStation"] = c.StartStation.GetValue();
        out["startValue1"] = c.StartValue1;
        out["startValue2"] = c.StartValue2;
        out["endStation"] = c.EndStation.GetValue();
        out["endValue1"] = c.EndValue1;
        out["endValue2"] = c.EndValue2;
        out["gradePointControls"] = ControlPointsJson(c.GradePointControls);
        out["elevationControls"] = ControlPointsJson(c.ElevationControls);
        out["structureControls"] = structures;
        out["minFillControls"] = fills;
        return out;
    },
    [](QDocument& doc) {
        auto& zkz = dynamic_cast<QZKZDoc&>(doc);
        return static_cast<std::size_t>(zkz.GetGradePointControlCount() + zkz.GetElevationControlCount() +
                                        zkz.GetStructureControlCount() + zkz.GetMinFillControlCount());
    },
}};

}  // namespace
}  // namespace qdat::tool
