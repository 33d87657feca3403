// The tables of the project report: one row for each row of the file it
// shows, numbers as the files hold them.
#include <cmath>
#include <numbers>

#include <qdat/earthwork/TfDoc.h>
#include <qdat/exchange/Drawings.h>
#include <qdat/exchange/detail/ReportPage.h>
#include <qdat/plan/PlanAlignment.h>
#include <qdat/plan/QJdDoc.h>
#include <qdat/profile/QZdmFile.h>
#include <qdat/section/CtrDoc.h>
#include <qdat/section/QSupFile.h>
#include <qdat/section/QWIDFile.h>

namespace qdat::report {
namespace {

using Rows = std::vector<std::vector<Cell>>;

Cell Num(double value, int places) {
    return Cell::Number(value, places);
}

// A cross-fall or width the file leaves empty shows as an empty cell.
Cell SupCell(double value) {
    return value == SupRow::NoValue ? Cell::Text("") : Num(value, 3);
}

std::string Degrees(double radians) {
    return Cell::Number(radians * 180.0 / std::numbers::pi, 4).text;
}

void PlanTables(Page& page, const TableSources& s) {
    if (!s.alignment) return;
    const PlanPolylines sampled = SamplePlan(*s.alignment, 0.0);
    const std::vector<std::string> kinds = MainPointKinds(*s.alignment, s.railwayNames);
    Rows rows;
    for (std::size_t i = 0; i < sampled.mainPoints.size(); ++i)
        rows.push_back({Cell::Text(kinds[i]), Cell::Text(sampled.mainStations[i].GetKmText()),
                        Num(sampled.mainStations[i].GetValue(), 3), Num(sampled.mainPoints[i].x, 4),
                        Num(sampled.mainPoints[i].y, 4)});
    page.Table("main-points", "Main points", {"Kind", "Station", "Continuous", "X (northing)", "Y (easting)"},
               rows);

    rows.clear();
    for (const AlignmentCurve& c : AlignmentCurves(*s.alignment, s.points)) {
        const auto opt = [](double v) { return v > 0.0 ? Num(v, 3) : Cell::Text("-"); };
        rows.push_back({Cell::Text(c.name), c.hasIp ? Num(c.ipX, 4) : Cell::Text("-"),
                        c.hasIp ? Num(c.ipY, 4) : Cell::Text("-"), opt(c.radius), opt(c.spiralParam1),
                        opt(c.spiralLength1), opt(c.spiralParam2), opt(c.spiralLength2),
                        c.hasIp ? Num(c.tangent1, 3) : Cell::Text("-"),
                        c.hasIp ? Num(c.tangent2, 3) : Cell::Text("-"), Cell{Degrees(c.deflection), true},
                        Num(c.length, 3), Cell::Text(c.start.GetKmText()), Cell::Text(c.end.GetKmText())});
    }
    page.Table("curves", "Curves",
               {"Curve", "IP X", "IP Y", "Radius", "A1", "Ls1", "A2", "Ls2", "T1", "T2",
                "Deflection (\xC2\xB0, + right)", "Length", "Start", "End"},
               rows);
}

void ProfileTable(Page& page, const QZdmFile& zdm) {
    Rows rows;
    const GrowArray<GradePoint>& points = zdm.GetGradePointArray();
    for (int i = 0; i < points.GetSize(); ++i) {
        const GradePoint& p = points[i];
        const bool curve = p.HasCurve();
        rows.push_back({Cell::Text(p.Station.GetKmText()), Num(p.Station.GetValue(), 3), Num(p.Elevation, 3),
                        curve ? Num(p.Radius, 3) : Cell::Text(""),
                        curve ? Num(p.TangentLength, 3) : Cell::Text(""),
                        curve ? Num(p.ExternalDistance, 3) : Cell::Text(""),
                        i > 0 ? Num(p.GradeIn * 100.0, 3) : Cell::Text(""),
                        i + 1 < points.GetSize() ? Num(p.GradeOut * 100.0, 3) : Cell::Text(""),
                        p.HasStep(GetStationTolerance())
                            ? Cell::Text(p.StepStation.GetKmText() + " " + Num(p.StepHeight, 3).text + " m")
                            : Cell::Text("")});
    }
    page.Table("vertical-curves", "Grade points and vertical curves",
               {"Station", "Continuous", "Elevation", "R", "T", "E", "Grade in (%)", "Grade out (%)", "Step"},
               rows);
}

void SupTable(Page& page, const QSupFile& sup) {
    Rows rows;
    for (int i = 0; i < sup.GetRowCount(); ++i) {
        const SupRow& r = *sup.GetRow(i);
        rows.push_back({Cell::Text(r.Station.GetKmText()), Num(r.Station.GetValue(), 3), SupCell(r.LeftInner),
                        SupCell(r.LeftMiddle), SupCell(r.LeftOuter), SupCell(r.RightInner),
                        SupCell(r.RightMiddle), SupCell(r.RightOuter)});
    }
    page.Table("superelevation", "Superelevation (cross-falls, %)",
               {"Station", "Continuous", "Left inner", "Left middle", "Left outer", "Right inner",
                "Right middle", "Right outer"},
               rows);
}

void WidTable(Page& page, QWIDFile& wid) {
    Rows rows;
    for (int side : {1, 0}) {
        const GrowArray<WidSegment>& segments = wid.GetSegments(side);
        for (int i = 0; i < segments.GetSize(); ++i) {
            const WidSegment& g = segments[i];
            const auto widths = [](const WidPoint& p) {
                return Num(p.Width1, 3).text + " / " + Num(p.Width2, 3).text + " / " + Num(p.Width3, 3).text +
                       " / " + Num(p.Width4, 3).text + " / " + Num(p.Width5, 3).text;
            };
            rows.push_back({Cell::Text(side == 1 ? "left" : "right"), Cell::Text(g.Begin.Station.GetKmText()),
                            Cell::Text(g.End.Station.GetKmText()), Cell::Text(widths(g.Begin)),
                            Cell::Text(widths(g.End)), Cell::Text(g.Begin.Label + " - " + g.End.Label)});
        }
    }
    page.Table("widening", "Widening (widths of the parts, innermost first, m)",
               {"Side", "From", "To", "Widths at the start", "Widths at the end", "Labels"}, rows);
}

void ControlTables(Page& page, const CtrDoc& ctr) {
    Rows rows;
    for (int i = 0; i < ctr.GetRowCount(CtrTable::QHSJ); ++i) {
        const StructureRow& r = *ctr.GetRow<StructureRow>(CtrTable::QHSJ, i);
        rows.push_back({Cell::Text(r.Text1), Cell::Text(r.Text2), Cell::Text(r.StartStation.GetKmText()),
                        Cell::Text(r.EndStation.GetKmText()), Cell::Text(r.CentreStation.GetKmText()),
                        Num(r.Value1, 3), Num(r.Value2, 3),
                        Cell::Text(r.Side < 0   ? "left"
                                   : r.Side > 0 ? "right"
                                                : "both")});
    }
    page.Table("structures", "Bridges and culverts over a range",
               {"Kind", "Description", "Start", "End", "Centre", "Value 1", "Value 2", "Side"}, rows);
    rows.clear();
    for (int i = 0; i < ctr.GetRowCount(CtrTable::HDSJ); ++i) {
        const CulvertRow& r = *ctr.GetRow<CulvertRow>(CtrTable::HDSJ, i);
        rows.push_back({Cell::Text(r.Station.GetKmText()), Num(r.Angle, 3), Cell::Text(r.Text1),
                        Cell::Text(r.Text2), Num(r.Value, 3)});
    }
    page.Table("culverts", "Culverts at a station",
               {"Station", "Crossing angle (\xC2\xB0)", "Kind", "Size", "Value"}, rows);
    rows.clear();
    for (int i = 0; i < ctr.GetRowCount(CtrTable::SUIDAO); ++i) {
        const TunnelRow& r = *ctr.GetRow<TunnelRow>(CtrTable::SUIDAO, i);
        rows.push_back({Cell::Text(r.Name), Cell::Text(r.StartStation.GetKmText()),
                        Cell::Text(r.EndStation.GetKmText()),
                        Num(r.EndStation.GetValue() - r.StartStation.GetValue(), 3)});
    }
    page.Table("tunnels", "Tunnels", {"Name", "Start", "End", "Length"}, rows);
}

void EarthworkTable(Page& page, TfDoc& tf) {
    // The kinds any row holds a value of, in kind order; the station kind
    // is the row's station.
    std::vector<unsigned> kinds;
    for (unsigned k = 1; k < EarthworkRow::kKindCount; ++k)
        for (int i = 0; i < tf.GetRowCount(); ++i)
            if (tf.GetRowAt(i)->GetQuantity(k) != 0.0) {
                kinds.push_back(k);
                break;
            }
    std::vector<std::string> headings{"Station"};
    for (unsigned k : kinds) {
        const std::string name = TfDoc::GetQuantityName(k);
        headings.push_back(std::to_string(k) + (name.empty() ? "" : " " + name));
    }
    Rows rows;
    std::vector<double> totals(kinds.size(), 0.0);
    for (int i = 0; i < tf.GetRowCount(); ++i) {
        const EarthworkRow& r = *tf.GetRowAt(i);
        std::vector<Cell> row{Cell::Text(r.m_station.GetKmText())};
        for (std::size_t k = 0; k < kinds.size(); ++k) {
            const double v = r.GetQuantity(kinds[k]);
            totals[k] += v;
            row.push_back(kinds[k] == EarthworkRow::kIntegerKind ? Num(v, 0) : Num(v, 3));
        }
        rows.push_back(row);
    }
    std::vector<Cell> total{Cell::Text("Total")};
    for (std::size_t k = 0; k < kinds.size(); ++k) total.push_back(Num(totals[k], 3));
    rows.push_back(total);
    page.Table("earthwork", "Earthwork quantities by kind, with the totals of each kind over the rows",
               headings, rows);
}

}  // namespace

void WriteTables(Page& page, const TableSources& s) {
    page.Heading("tables", "Tables");
    if (s.alignment)
        PlanTables(page, s);
    else
        page.Note("No alignment: no main points or curves.");
    if (s.profile)
        ProfileTable(page, *s.profile);
    else
        page.Note("No vertical profile: no vertical curves.");
    if (s.sup)
        SupTable(page, *s.sup);
    else
        page.Note("No superelevation table.");
    if (s.wid)
        WidTable(page, *s.wid);
    else
        page.Note("No widening table.");
    if (s.controls)
        ControlTables(page, *s.controls);
    else
        page.Note("No design control data: no structures or tunnels.");
    if (s.earthwork)
        EarthworkTable(page, *s.earthwork);
    else
        page.Note("No earthwork table.");
}

}  // namespace qdat::report
