// Content dumpers of the documents by station: ground line, ditch bottom and
// station list.
#include <nlohmann/json.hpp>

#include "Tool.h"
#include "auxdocs/QBgDoc.h"
#include "profile/DmxFile.h"
#include "station/QStaDoc.h"

namespace qdat::tool {
namespace {

nlohmann::json PointsJson(const GrowArray<GroundPoint>& points) {
    nlohmann::json out = nlohmann::json::array();
    for (const GroundPoint& p : points)
        out.push_back({{"station", p.m_station.GetValue()}, {"elevation", p.m_elevation}});
    return out;
}

template <class Doc>
const DumperRegistration PointDumper(const char* className) {
    return DumperRegistration{{
        className,
        [](QDocument& doc) {
            return nlohmann::json{{"points", PointsJson(dynamic_cast<Doc&>(doc).GetPointArray())}};
        },
        [](QDocument& doc) { return static_cast<std::size_t>(dynamic_cast<Doc&>(doc).GetPointCount()); },
    }};
}

const DumperRegistration kGroundLine = PointDumper<DmxFile>("DmxFile");
const DumperRegistration kDitchBottom = PointDumper<QBgDoc>("QBgDoc");

const DumperRegistration kStationList{{
    "QStaDoc",
    [](QDocument& doc) {
        auto& sta = dynamic_cast<QStaDoc&>(doc);
        nlohmann::json entries = nlohmann::json::array();
        for (const StationEntry& e : sta.Rows().GetRows())
            entries.push_back({{"station", e.m_station.GetValue()}, {"number", e.m_nNumber}});
        return nlohmann::json{{"entries", entries}};
    },
    [](QDocument& doc) { return static_cast<std::size_t>(dynamic_cast<QStaDoc&>(doc).GetEntryCount()); },
}};

}  // namespace
}  // namespace qdat::tool
