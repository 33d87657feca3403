#include <qdat/exchange/Polylines.h>

#include <algorithm>
#include <cmath>

namespace qdat {
namespace {

// Adds a point to the runs of a line. The first point of an element goes on
// with the last run only where it is that run's end (an element shifted
// sideways starts a run of its own).
void Extend(std::vector<Polyline>& runs, PolylinePoint p, bool startsElement) {
    if (!startsElement) {
        runs.back().push_back(p);
        return;
    }
    if (runs.empty() || std::hypot(runs.back().back().x - p.x, runs.back().back().y - p.y) > 1e-6)
        runs.push_back({p});
}

}  // namespace

PlanPolylines SamplePlan(const PlanAlignment& alignment, double spacing) {
    PlanPolylines plan;
    const int count = std::min(alignment.GetTotalElementCount(), alignment.GetElements().GetSize());
    for (int i = 0; i < count; ++i) {
        const PlanElement& e = alignment.GetElement(i);
        if (!(e.Length > 1e-9)) continue;
        // Bounded before it becomes a count: a spacing of zero or none cuts
        // a curve into the most parts, never into an endless or undefined
        // number.
        const double wanted = std::ceil(e.Length / spacing);
        const int parts = e.Type == PlanElement::Straight ? 1
                          : !(wanted > 8.0)               ? (spacing > 0.0 ? 8 : 5000)
                          : wanted < 5000.0               ? static_cast<int>(wanted)
                                                          : 5000;
        for (int k = 0; k <= parts; ++k) {
            StationPoint p;
            p.Station = e.StartStation.GetValue() + e.Length * k / parts;
            e.PointAtStation(p);
            Extend(plan.runs, {p.X, p.Y}, k == 0);
        }
        if (plan.mainStations.empty() ||
            std::fabs(plan.mainStations.back().GetValue() - e.StartStation.GetValue()) > 1e-6) {
            plan.mainStations.push_back(e.StartStation);
            plan.mainPoints.push_back({e.StartX, e.StartY});
        }
        plan.mainStations.push_back(e.EndStation);
        plan.mainPoints.push_back({e.EndX, e.EndY});
    }
    return plan;
}

std::vector<Polyline> SampleDesignLine(const QZdmFile& zdm, double spacing, int mostSamples, double stepGap) {
    const GrowArray<GradePoint>& points = zdm.GetGradePointArray();
    std::vector<Polyline> runs;
    if (points.GetSize() < 2) return runs;
    const double tol = GetStationTolerance();
    const double first = points[0].Station.GetValue(), last = points[points.GetSize() - 1].Station.GetValue();
    spacing = std::max(spacing, (last - first) / mostSamples);
    std::vector<double> stations, steps;
    for (int k = 0; k <= mostSamples && first + k * spacing < last; ++k)
        stations.push_back(first + k * spacing);
    for (const GradePoint& p : points) {
        for (double s : {p.Station.GetValue(), p.CurveStart.GetValue(), p.CurveEnd.GetValue()})
            if (s >= first && s <= last) stations.push_back(s);
    }
    for (int i = 0; i + 1 < points.GetSize(); ++i)
        if (points[i].HasStep(tol)) steps.push_back(points[i].StepStation.GetValue());
    std::sort(steps.begin(), steps.end());
    for (double s : steps)
        for (double side : {s - stepGap, s + stepGap})
            if (side > first && side < last) stations.push_back(side);
    std::sort(stations.begin(), stations.end());
    // Stations closer than the tolerance are one; those within a step's gap
    // are dropped.
    double previous = -HUGE_VAL;
    std::size_t nextStep = 0;
    bool join = false;
    for (double s : stations) {
        if (s - previous < tol) continue;
        while (nextStep < steps.size() && s > steps[nextStep] + stepGap / 2) {
            ++nextStep;
            join = false;
        }
        if (nextStep < steps.size() && std::fabs(s - steps[nextStep]) < stepGap / 2) continue;
        const double z = zdm.GetDesignElevation(s);
        if (z == QZdmFile::kNoValue) continue;
        if (join)
            runs.back().push_back({s, z});
        else
            runs.push_back({{s, z}});
        join = true;
        previous = s;
    }
    return runs;
}

Polyline TangentPolygon(const QZdmFile& zdm) {
    const GrowArray<GradePoint>& points = zdm.GetGradePointArray();
    const double tol = GetStationTolerance();
    Polyline polygon;
    for (int i = 0; i < points.GetSize(); ++i) {
        const GradePoint& p = points[i];
        polygon.push_back({p.Station.GetValue(), p.Elevation});
        if (i + 1 < points.GetSize() && p.HasStep(tol)) {
            const double s = p.StepStation.GetValue();
            const double z = p.Elevation + p.GradeOut * (s - p.Station.GetValue());
            polygon.push_back({s, z});
            polygon.push_back({s, z + p.StepHeight});
        }
    }
    return polygon;
}

std::vector<Polyline> GroundLineRuns(const DmxFile& dmx) {
    std::vector<Polyline> runs;
    bool join = false;
    for (const GroundPoint& p : dmx.Rows().GetRows()) {
        if (!p.HasElevation()) {
            join = false;
            continue;
        }
        const PolylinePoint w{p.m_station.GetValue(), p.m_elevation};
        if (join)
            runs.back().push_back(w);
        else
            runs.push_back({w});
        join = true;
    }
    return runs;
}

Polyline SectionGround(const CrossSection& section) {
    Polyline line;
    for (auto it = section.LeftGround.rbegin(); it != section.LeftGround.rend(); ++it)
        line.push_back({-it->Horizontal, it->Vertical});
    for (const SectionPoint& p : section.RightGround) line.push_back({p.Horizontal, p.Vertical});
    return line;
}

}  // namespace qdat
