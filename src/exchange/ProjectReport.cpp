#include <qdat/exchange/ProjectReport.h>
#include <qdat/exchange/XmlOutput.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <numbers>
#include <optional>
#include <pugixml.hpp>

#include <qdat/docbase/NumberFormat.h>
#include <qdat/earthwork/TfDoc.h>
#include <qdat/exchange/AlignmentOf.h>
#include <qdat/exchange/Drawings.h>
#include <qdat/exchange/ExchangeError.h>
#include <qdat/exchange/detail/ReportPage.h>
#include <qdat/host/Context.h>
#include <qdat/host/HostException.h>
#include <qdat/host/HostFile.h>
#include <qdat/host/HostPaths.h>
#include <qdat/plan/QJdDoc.h>
#include <qdat/plan/QPmDoc.h>
#include <qdat/project/PrjFile.h>
#include <qdat/project/SettingKeyRegistry.h>
#include <qdat/section/CtrDoc.h>
#include <qdat/section/HDMFlie.h>
#include <qdat/section/QLjDoc.h>
#include <qdat/section/QSupFile.h>
#include <qdat/section/QWIDFile.h>
#include <qdat/section/SupEvaluator.h>
#include <qdat/station/QStaDoc.h>

namespace qdat {
namespace {

using report::Cell;
using report::Page;

// The data types of a project the report reads.
constexpr std::uint32_t kPlanElements = 101, kIntersectionPoints = 102, kGroundLine = 103, kProfile = 104,
                        kSections = 105, kWidening = 106, kSuperelevation = 107, kControls = 108,
                        kStationList = 109, kSubgrade = 110, kEarthwork = 111;
// Without a station list the station box is tabulated this often, metres.
constexpr double kTableSpacing = 10.0;
// Rows and sections beyond these are left out with a note: a page of that
// size no browser shows.
constexpr std::size_t kMostStationRows = 200000;
constexpr int kMostSections = 5000;

std::string Fixed(double value, int places) {
    return FormatFixed(value, places);
}

double FullTurnDegrees(double radians) {
    constexpr double kTwoPi = 2.0 * std::numbers::pi;
    double reduced = std::fmod(radians, kTwoPi);
    if (reduced < 0.0) reduced += kTwoPi;
    return reduced * 180.0 / std::numbers::pi;
}

std::string FormName(const QDocument& doc) {
    std::string form = doc.IsTextForm() ? "text" : "binary";
    if (doc.IsTaggedForm()) form += ", tagged";
    if (doc.IsScrambledForm()) form += ", scrambled";
    if (doc.IsLegacyLayout()) form += ", legacy layout";
    if (doc.IsRailwayVariant()) form += ", railway";
    if (doc.IsNzsVariant()) form += ", second variant";
    return form;
}

// The template of the subgrade records either side of a station,
// interpolated linearly; none outside the records.
std::optional<SectionDesign> SubgradeTemplateAt(QLjDoc& lj, double station) {
    const int count = lj.GetRecordCount();
    const SubgradeRecord *before = nullptr, *after = nullptr;
    for (int i = 0; i < count; ++i) {
        const SubgradeRecord* r = lj.GetRecordAt(i);
        if (r->m_station.GetValue() <= station + 1e-9) before = r;
        if (r->m_station.GetValue() >= station - 1e-9) {
            after = r;
            break;
        }
    }
    if (!before || !after) return std::nullopt;
    const double s0 = before->m_station.GetValue(), s1 = after->m_station.GetValue();
    const double t = s1 - s0 > 1e-9 ? (station - s0) / (s1 - s0) : 0.0;
    std::array<double, SubgradeRecord::kValueCount> v{};
    for (int k = 0; k < SubgradeRecord::kValueCount; ++k)
        v[k] = before->Values[k] + t * (after->Values[k] - before->Values[k]);
    // The first group of widths runs from the left edge in to the centre
    // line, the second from the centre line out to the right edge.
    double offsets[9];
    offsets[4] = 0.0;
    for (int k = 3; k >= 0; --k) offsets[k] = offsets[k + 1] - v[2 + k];
    for (int k = 5; k < 9; ++k) offsets[k] = offsets[k - 1] + v[1 + k];
    SectionDesign design;
    const double base = v[SubgradeRecord::kBaseElevation];
    for (int k = 0; k < 9; ++k) {
        if (!std::isfinite(offsets[k]) || !std::isfinite(v[SubgradeRecord::kFirstPoint + k]))
            return std::nullopt;
        design.points.push_back({offsets[k], base + v[SubgradeRecord::kFirstPoint + k]});
    }
    design.elevation = base + v[SubgradeRecord::kMiddlePoint];
    return design;
}

class ReportBuilder {
public:
    ReportBuilder(PrjFile& project, const std::string& path) : m_project(project), m_path(path) {}

    std::string Build();
    std::vector<std::string> notes;

private:
    QDocument* Load(std::uint32_t typeId);
    std::string NameOf(const QDocument& doc) const {
        for (const auto& [id, d] : m_docs)
            if (d.get() == &doc) return m_names.at(id);
        return {};
    }
    template <class T>
    T* LoadAs(std::uint32_t typeId) {
        return dynamic_cast<T*>(Load(typeId));
    }
    void Summary();
    void Drawings();
    void StationTable();
    void Sections();
    void Tables();

    PrjFile& m_project;
    std::string m_path;
    Page m_page;
    std::map<std::uint32_t, std::unique_ptr<QDocument>> m_docs;
    std::map<std::uint32_t, std::string> m_readNotes;
    std::map<std::uint32_t, std::string> m_names;  // the stored path of each file read
    std::unique_ptr<DocumentAlignment> m_alignment;
    std::vector<double> m_stations;
};

QDocument* ReportBuilder::Load(std::uint32_t typeId) {
    auto found = m_docs.find(typeId);
    if (found != m_docs.end()) return found->second.get();
    std::unique_ptr<QDocument>& doc = m_docs[typeId];
    const ProjectFileEntry* entry = m_project.FindEntry(typeId);
    if (!entry || entry->storedPath.empty() || !entry->type) return nullptr;
    const std::string path = m_project.GetEntryPath(typeId);
    const std::string name = entry->type->GetName() + " (" + entry->storedPath + ")";
    if (path.empty() || !FileExists(path)) {
        m_readNotes[typeId] = "missing";
        notes.push_back(name + " is missing; its part of the report is left out");
        return nullptr;
    }
    try {
        doc = entry->type->CreateDocument();
        if (doc && !ReadDocumentFile(*doc, path)) doc.reset();
    } catch (const std::exception& e) {
        doc.reset();
    }
    if (!doc) {
        m_readNotes[typeId] = "unreadable";
        notes.push_back(name + " cannot be read; its part of the report is left out");
        return nullptr;
    }
    m_names[typeId] = entry->storedPath;
    // Rows out of station order are sorted for the report, as the tool does.
    if (doc->NeedsRepair()) doc->Repair();
    return doc.get();
}

void ReportBuilder::Summary() {
    m_page.Heading("summary", "Summary");
    std::string title = m_project.GetSetting(SettingKeyRegistry::kProjectName);
    m_page.Paragraph("Project file " + m_path + (title.empty() ? "" : ", project " + title) + ".");
    std::vector<std::vector<Cell>> rows;
    for (const ProjectFileEntry& entry : m_project.GetEntries()) {
        if (entry.storedPath.empty() || !entry.type) continue;
        const std::string path = m_project.GetEntryPath(entry.typeId);
        const bool there = !path.empty() && FileExists(path);
        QDocument* doc = Load(entry.typeId);
        std::string match = "not recorded";
        if (!there)
            match = "-";
        else if (entry.fingerprint != Fingerprint{})
            match = m_project.IsEntryFileUnchanged(entry.typeId) ? "yes" : "no (changed since)";
        std::string state = there ? (doc ? "read" : "cannot be read") : "missing";
        rows.push_back({Cell::Text(std::to_string(entry.typeId)), Cell::Text(entry.type->GetName()),
                        Cell::Text(entry.storedPath),
                        Cell::Text(doc && doc->GetKind() ? std::string(doc->GetKind()->GetName()) : "-"),
                        Cell::Text(doc ? FormName(*doc) : "-"),
                        Cell::Text(doc ? std::to_string(doc->GetFileVersion()) : "-"), Cell::Text(state),
                        Cell::Text(match)});
    }
    m_page.Table("files", "Files of the project",
                 {"Type", "Data", "File", "Kind", "Form", "Version", "State", "Fingerprint matches"}, rows);

    rows.clear();
    for (const SettingValue& v : m_project.GetGlobalValues()) {
        if (v.value.empty()) continue;
        const SettingKey* key = SettingKeyRegistry::Get().Find(v.keyId);
        rows.push_back({Cell::Text(std::to_string(v.keyId)), Cell::Text(key ? key->GetName() : ""),
                        Cell::Text(v.value)});
    }
    m_page.Table("settings", "Settings", {"Key", "Name", "Value"}, rows);

    rows.clear();
    for (int s = 0; s < m_project.GetSegmentCount(); ++s) {
        QStation start, end;
        const bool ranged = m_project.GetSegmentRange(s, start, end);
        std::string values;
        for (const SettingValue& v : m_project.GetSegment(s)->values) {
            if (v.value.empty() || v.keyId == SettingKeyRegistry::kSegmentStart ||
                v.keyId == SettingKeyRegistry::kSegmentEnd)
                continue;
            const SettingKey* key = SettingKeyRegistry::Get().Find(v.keyId);
            values += (values.empty() ? "" : "; ") + (key ? key->GetName() : std::to_string(v.keyId)) +
                      " = " + v.value;
        }
        rows.push_back({Cell::Text(std::to_string(s)), Cell::Text(ranged ? start.GetKmText() : "-"),
                        Cell::Text(ranged ? end.GetKmText() : "-"), Cell::Text(values)});
    }
    m_page.Table("segments", "Segments", {"Segment", "Start", "End", "Settings"}, rows);

    rows.clear();
    const ChainTable& chain = m_project.GetChainTable();
    for (int i = 0; i < chain.GetBreakCount(); ++i)
        rows.push_back({Cell::Text(std::to_string(i + 1)), Cell::Number(chain.GetBreak(i).Before, 3),
                        Cell::Number(chain.GetBreak(i).After, 3)});
    m_page.Table("chain-table", "Chain table (prefix \"" + chain.GetPrefix() + "\")",
                 {"Break", "Stake station behind", "Stake station ahead"}, rows);
}

void ReportBuilder::Drawings() {
    QDocument* planDoc = Load(kPlanElements);
    if (!planDoc) planDoc = Load(kIntersectionPoints);
    m_page.Heading("plan", "Plan");
    if (planDoc) {
        try {
            m_alignment = std::make_unique<DocumentAlignment>(AlignmentOf(*planDoc, NameOf(*planDoc)));
            pugi::xml_document svg;
            // The points are shown only where the alignment was made from them.
            DrawPlan({&m_alignment->Alignment(), m_alignment->Points(), NameOf(*planDoc),
                      planDoc->IsRailwayVariant()},
                     {}, svg);
            m_page.Drawing("plan-drawing", svg);
        } catch (const HostException& e) {
            m_alignment.reset();
            notes.push_back(std::string("The plan is left out: ") + e.what());
            m_page.Note(notes.back());
        }
    } else {
        m_page.Note("The project names no readable plan element or intersection-point file; no plan.");
    }

    m_page.Heading("profile", "Profile");
    auto* zdm = LoadAs<QZdmFile>(kProfile);
    auto* dmx = LoadAs<DmxFile>(kGroundLine);
    if (zdm) {
        try {
            ProfileDrawingInput input;
            input.profile = zdm;
            input.name = NameOf(*zdm);
            input.ground = dmx;
            input.groundName = dmx ? NameOf(*dmx) : "";
            // The band at the stations of the station list and every 20 m
            // besides, where the list does not reach.
            if (auto* sta = LoadAs<QStaDoc>(kStationList)) {
                std::vector<double> stations;
                for (int i = 0; i < sta->GetEntryCount(); ++i)
                    stations.push_back(sta->GetEntryAt(i)->m_station.GetValue());
                const GrowArray<GradePoint>& points = zdm->GetGradePointArray();
                if (!stations.empty() && points.GetSize() > 1) {
                    const double first = points[0].Station.GetValue();
                    const double last = points[points.GetSize() - 1].Station.GetValue();
                    for (double k = std::ceil(first / 20.0);
                         k * 20.0 <= last && stations.size() < kMostStationRows; ++k)
                        stations.push_back(k * 20.0);
                    std::sort(stations.begin(), stations.end());
                    stations.erase(std::unique(stations.begin(), stations.end(),
                                               [](double a, double b) { return std::fabs(a - b) < 1e-3; }),
                                   stations.end());
                }
                for (double s : stations) input.bandStations.push_back(QStation(s));
            }
            pugi::xml_document svg;
            DrawProfile(input, {}, svg);
            m_page.Drawing("profile-drawing", svg);
        } catch (const HostException& e) {
            notes.push_back(std::string("The profile is left out: ") + e.what());
            m_page.Note(notes.back());
        }
    } else {
        m_page.Note("The project names no readable vertical profile; no profile.");
    }
}

void ReportBuilder::StationTable() {
    auto* sta = LoadAs<QStaDoc>(kStationList);
    auto* zdm = LoadAs<QZdmFile>(kProfile);
    auto* dmx = LoadAs<DmxFile>(kGroundLine);
    auto* sup = LoadAs<QSupFile>(kSuperelevation);
    auto* wid = LoadAs<QWIDFile>(kWidening);
    const PlanAlignment* alignment = m_alignment ? &m_alignment->Alignment() : nullptr;
    // The stations of the station list, and every 10 m along the road
    // besides: the list may cover only part of it.
    if (sta)
        for (int i = 0; i < sta->GetEntryCount() && m_stations.size() < kMostStationRows; ++i)
            m_stations.push_back(sta->GetEntryAt(i)->m_station.GetValue());
    double first = HUGE_VAL, last = -HUGE_VAL;
    if (alignment) {
        first = alignment->GetStartStation().GetValue();
        last = alignment->GetEndStation().GetValue();
    }
    if (zdm && zdm->GetGradePointArray().GetSize() > 1) {
        const GrowArray<GradePoint>& points = zdm->GetGradePointArray();
        first = std::min(first, points[0].Station.GetValue());
        last = std::max(last, points[points.GetSize() - 1].Station.GetValue());
    }
    if (last >= first && (last - first) / kTableSpacing < static_cast<double>(kMostStationRows)) {
        for (double k = std::ceil(first / kTableSpacing); k * kTableSpacing <= last + 1e-9; k += 1.0)
            m_stations.push_back(k * kTableSpacing);
        m_stations.push_back(first);
        m_stations.push_back(last);
    }
    std::sort(m_stations.begin(), m_stations.end());
    // Stations within a millimetre are one row.
    m_stations.erase(std::unique(m_stations.begin(), m_stations.end(),
                                 [](double a, double b) { return std::fabs(a - b) < 1e-3; }),
                     m_stations.end());
    if (m_stations.size() > kMostStationRows) m_stations.resize(kMostStationRows);
    std::unique_ptr<SupEvaluator> evaluator;
    if (sup)
        if (const RuntimeClass* c = SupEvaluator::GetSelectedEvaluatorClass()) {
            evaluator = SupEvaluator::CreateEvaluator(*c);
            if (evaluator) evaluator->Attach(sup);
        }
    const std::vector<Polyline> ground = dmx ? GroundLineRuns(*dmx) : std::vector<Polyline>();
    std::string data =
        "{\"columns\":[\"station\",\"text\",\"x\",\"y\",\"azimuth\",\"radius\",\"design\",\"ground\","
        "\"sup\",\"widLeft\",\"widRight\"],\"rows\":[";
    const auto num = [](std::optional<double> v, int places) {
        return v && std::isfinite(*v) ? report::JsonNumber(*v, places) : std::string("null");
    };
    for (std::size_t i = 0; i < m_stations.size(); ++i) {
        const QStation s(m_stations[i]);
        std::optional<double> x, y, azimuth, radius, design, groundZ;
        if (alignment && s >= alignment->GetStartStation() && s <= alignment->GetEndStation()) {
            StationPoint p;
            p.Station = s;
            if (alignment->PointAtStation(p)) {
                x = p.X;
                y = p.Y;
                azimuth = FullTurnDegrees(p.Azimuth);
                radius = alignment->RadiusAtStation(s);
            }
        }
        if (zdm) {
            const double z = zdm->GetDesignElevation(s);
            if (z != QZdmFile::kNoValue) design = z;
        }
        groundZ = GroundElevationAt(ground, s.GetValue());
        std::string supText = "null";
        if (evaluator && evaluator->Evaluate(s.GetValue())) {
            const SupRow r = evaluator->GetResultRow();
            supText = "[" + num(r.LeftInner, 3) + "," + num(r.LeftMiddle, 3) + "," + num(r.LeftOuter, 3) +
                      "," + num(r.RightInner, 3) + "," + num(r.RightMiddle, 3) + "," + num(r.RightOuter, 3) +
                      "]";
        }
        std::string widths[2] = {"null", "null"};
        if (wid)
            for (int side : {1, 0}) {
                const WidSegment* segment = wid->FindWidSegment(s.GetValue(), side);
                if (!segment) continue;
                WidPoint p;
                p.Station = s;
                QWIDFile::InterpolateWidths(*segment, p, QWIDFile::Linear);
                widths[side == 1 ? 0 : 1] = "[" + num(p.Width1, 3) + "," + num(p.Width2, 3) + "," +
                                            num(p.Width3, 3) + "," + num(p.Width4, 3) + "," +
                                            num(p.Width5, 3) + "]";
            }
        data += std::string(i ? "," : "") + "[" + num(s.GetValue(), 3) + "," +
                report::JsonString(s.GetKmText()) + "," + num(x, 4) + "," + num(y, 4) + "," +
                num(azimuth, 6) + "," + num(radius, 3) + "," + num(design, 3) + "," + num(groundZ, 3) + "," +
                supText + "," + widths[0] + "," + widths[1] + "]";
    }
    data += "]}";
    m_page.Data("stations", data);
}

void ReportBuilder::Sections() {
    m_page.Heading("sections", "Cross-sections");
    auto* hdm = LoadAs<HDMFlie>(kSections);
    if (!hdm || hdm->GetSectionCount() == 0) {
        m_page.Note("The project names no readable cross-section file, or it holds no section.");
        return;
    }
    auto* lj = LoadAs<QLjDoc>(kSubgrade);
    auto* sup = LoadAs<QSupFile>(kSuperelevation);
    auto* wid = LoadAs<QWIDFile>(kWidening);
    std::unique_ptr<SupEvaluator> evaluator;
    if (sup)
        if (const RuntimeClass* c = SupEvaluator::GetSelectedEvaluatorClass()) {
            evaluator = SupEvaluator::CreateEvaluator(*c);
            if (evaluator) evaluator->Attach(sup);
        }
    const int count = std::min(hdm->GetSectionCount(), kMostSections);
    if (count < hdm->GetSectionCount())
        notes.push_back("Only the first " + std::to_string(count) + " of " +
                        std::to_string(hdm->GetSectionCount()) + " cross-sections are drawn");
    m_page.BeginSections();
    for (int i = 0; i < count; ++i) {
        const CrossSection& section = *hdm->GetSectionAt(i);
        const double s = section.m_station.GetValue();
        std::optional<SectionDesign> design;
        if (lj) design = SubgradeTemplateAt(*lj, s);
        if (design) {
            if (evaluator && evaluator->Evaluate(s)) {
                const SupRow r = evaluator->GetResultRow();
                design->notes.push_back("Cross-falls (%): left " + Fixed(r.LeftInner, 2) + " / " +
                                        Fixed(r.LeftMiddle, 2) + " / " + Fixed(r.LeftOuter, 2) + ", right " +
                                        Fixed(r.RightInner, 2) + " / " + Fixed(r.RightMiddle, 2) + " / " +
                                        Fixed(r.RightOuter, 2));
            }
            if (wid) {
                std::string text = "Widths (m):";
                for (int side : {1, 0}) {
                    const WidSegment* segment = wid->FindWidSegment(s, side);
                    if (!segment) continue;
                    WidPoint p;
                    p.Station = section.m_station;
                    QWIDFile::InterpolateWidths(*segment, p, QWIDFile::Linear);
                    text += std::string(side == 1 ? " left " : " right ") + Fixed(p.Width1, 2) + " / " +
                            Fixed(p.Width2, 2) + " / " + Fixed(p.Width3, 2) + " / " + Fixed(p.Width4, 2) +
                            " / " + Fixed(p.Width5, 2);
                }
                design->notes.push_back(text);
            }
        }
        try {
            pugi::xml_document svg;
            DrawSection({&section, NameOf(*hdm), design ? &*design : nullptr}, {}, svg);
            const Polyline line = SectionGround(section);
            double lo = 0.0, hi = 0.0;
            for (const PolylinePoint& p : line) {
                lo = std::min(lo, p.x);
                hi = std::max(hi, p.x);
            }
            m_page.Section(s, section.m_station.GetKmText(), static_cast<int>(line.size()), lo, hi, svg);
        } catch (const HostException& e) {
            m_page.SectionNote(s, section.m_station.GetKmText(), e.what());
        }
    }
    m_page.EndSections();
}

void ReportBuilder::Tables() {
    report::TableSources sources;
    if (m_alignment) {
        sources.alignment = &m_alignment->Alignment();
        sources.points = m_alignment->Points();
        sources.railwayNames = sources.points ? sources.points->IsRailwayVariant() : false;
        if (auto* pm = LoadAs<QPmDoc>(kPlanElements)) sources.railwayNames = pm->IsRailwayVariant();
    }
    sources.profile = LoadAs<QZdmFile>(kProfile);
    sources.sup = LoadAs<QSupFile>(kSuperelevation);
    sources.wid = LoadAs<QWIDFile>(kWidening);
    sources.controls = LoadAs<CtrDoc>(kControls);
    sources.earthwork = LoadAs<TfDoc>(kEarthwork);
    report::WriteTables(m_page, sources);
}

std::string ReportBuilder::Build() {
    m_page.Begin("Report of " + m_path);
    Summary();
    m_page.StationBox();
    Drawings();
    StationTable();
    Sections();
    Tables();
    m_page.Heading("notes", "Notes");
    if (notes.empty()) m_page.Paragraph("Every file the project names was read.");
    for (const std::string& n : notes) m_page.Note(n);
    return m_page.End();
}

}  // namespace

std::string ProjectReportHtml(const std::string& projectPath, ProjectReportResult* result) {
    // The report reads under a context of its own: the project's chain table
    // and precision apply to it and to nothing of the caller's.
    Context context;
    context.ui = Context::Current().ui;
    ContextScope scope(context);
    PrjFile project;
    if (!FileExists(projectPath)) throw ExchangeError(projectPath + ": no such project file");
    if (!project.ReadProject(projectPath))
        throw ExchangeError(projectPath + ": the project file cannot be read");
    project.ApplyProjectSettings();
    ReportBuilder builder(project, projectPath);
    std::string html = builder.Build();
    if (result) result->notes = builder.notes;
    return html;
}

ProjectReportResult WriteProjectReport(const std::string& projectPath, const std::string& outPath) {
    ProjectReportResult result;
    const std::string html = ProjectReportHtml(projectPath, &result);
    std::vector<std::string> inputs{projectPath};
    {
        Context context;
        ContextScope scope(context);
        PrjFile project;
        if (project.ReadProject(projectPath)) {
            for (const std::string& f : project.GetExistingFiles()) inputs.push_back(f);
        }
    }
    SaveText(html, outPath, inputs);
    return result;
}

}  // namespace qdat
