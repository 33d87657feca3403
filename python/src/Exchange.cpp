// The exports to other formats. Each takes the package's objects (the
// package's Python layer opens paths given instead) and writes one file.
#include <filesystem>

#include <pybind11/stl.h>

#include <qdat/exchange/IfcExport.h>
#include <qdat/exchange/LandXml.h>
#include <qdat/exchange/LandXmlImport.h>
#include <qdat/project/PrjFile.h>
#include <qdat/project/SettingKeyRegistry.h>
#include <qdat/section/QSupFile.h>
#include "Alignments.h"
#include "Exchange.h"
#include "Profiles.h"

namespace qdat::python {

namespace {

// The locks of the documents an export reads, taken together.
class Locks {
public:
    void Add(Document& d) { m_locks.emplace_back(d.lock, std::defer_lock); }
    void TakeAll() {
        for (auto& l : m_locks) l.lock();
    }

private:
    std::vector<std::unique_lock<std::mutex>> m_locks;
};

void ExportLandXml(Alignment& plan, Profile* profile, GroundLine* ground, const py::object& pathArg,
                   const std::string& name) {
    const std::string path = PathOf(pathArg);
    Document& source = plan.Source();
    Locks locks;
    locks.Add(source);
    if (profile) locks.Add(*profile->document);
    if (ground) locks.Add(*ground->document);
    locks.TakeAll();
    Call call(source.settings);
    Released(call, [&] {
        LandXmlSource xml;
        xml.alignment = &plan.Geometry();
        // An element file names its alignment; intersection points do not.
        xml.name = !name.empty() ? name
                   : plan.FromPoints() || plan.Geometry().Name.empty()
                       ? std::filesystem::path(source.path).stem().string()
                       : plan.Geometry().Name;
        xml.chain = &source.settings.chain;
        std::vector<std::string> inputs{source.path};
        if (profile) {
            xml.profile = &profile->Get();
            xml.profileName = std::filesystem::path(profile->document->path).filename().string();
            inputs.push_back(profile->document->path);
        }
        if (ground) {
            xml.ground = &ground->Get();
            xml.groundName = std::filesystem::path(ground->document->path).filename().string();
            inputs.push_back(ground->document->path);
        }
        WriteLandXml(xml, path, inputs);
    });
}

void ExportIfc(Alignment& plan, Profile* profile, const py::object& supArg, const py::object& pathArg,
               const std::string& name, const py::object& projectArg, double railHeadDistance) {
    const std::string path = PathOf(pathArg);
    const std::string supPath = supArg.is_none() ? std::string() : PathOf(supArg);
    const std::string projectPath = projectArg.is_none() ? std::string() : PathOf(projectArg);
    Document& source = plan.Source();
    std::shared_ptr<Document> sup;
    if (!supPath.empty()) sup = Document::Open(supPath, "QSupFile", source.settings);
    Locks locks;
    locks.Add(source);
    if (profile) locks.Add(*profile->document);
    locks.TakeAll();
    Call call(source.settings);
    Released(call, [&] {
        IfcSource ifc;
        ifc.alignment = &plan.Geometry();
        ifc.chain = &source.settings.chain;
        std::vector<std::string> inputs{source.path};
        if (!projectPath.empty()) {
            PrjFile project;
            if (!project.ReadProject(projectPath)) call.Fail(projectPath + ": cannot be read", projectPath);
            for (const SettingValue& v : project.GetGlobalValues())
                if (v.keyId == SettingKeyRegistry::kProjectName && !v.value.empty())
                    ifc.projectName = v.value;
            ifc.facility = IfcFacilityOf(project);
            inputs.push_back(projectPath);
        }
        // The alignment is the project's road: its name comes before the file's own.
        const std::string own = plan.FromPoints() ? std::string() : plan.Geometry().Name;
        ifc.name = !name.empty()              ? name
                   : !ifc.projectName.empty() ? ifc.projectName
                   : !own.empty()             ? own
                                              : std::filesystem::path(source.path).stem().string();
        if (profile) {
            ifc.profile = &profile->Get();
            ifc.profileName = profile->document->path;
            inputs.push_back(profile->document->path);
        }
        if (sup) {
            ifc.superelevation = dynamic_cast<const QSupFile*>(sup->doc.get());
            ifc.superelevationName = supPath;
            inputs.push_back(supPath);
        }
        ifc.railHeadDistance = railHeadDistance;
        ifc.fileName = path == "-" ? path : std::filesystem::path(path).filename().string();
        WriteIfc(ifc, path, inputs);
    });
}

py::dict ProfileInfo(const LandXmlProfileInfo& p) {
    py::dict d;
    d["name"] = p.name;
    d["kind"] = p.ground ? "ground" : "design";
    d["points"] = p.points;
    d["staStart"] = p.startStation;
    d["staEnd"] = p.endStation;
    return d;
}

// The alignments of a LandXML file, with the keys of `qdat import landxml --list --json`.
py::list ListLandXmlFile(const py::object& pathArg) {
    const std::string path = PathOf(pathArg);
    Call call(Settings{});
    const LandXmlFileInfo info = Released(call, [&] { return ListLandXml(path); });
    py::list out;
    for (const LandXmlAlignmentInfo& a : info.alignments) {
        py::list profiles;
        for (const LandXmlProfileInfo& p : a.profiles) profiles.append(ProfileInfo(p));
        py::dict d;
        d["name"] = a.name;
        d["staStart"] = a.staStart;
        d["length"] = a.length;
        d["lines"] = a.lines;
        d["curves"] = a.curves;
        d["spirals"] = a.spirals;
        d["equations"] = a.equations;
        d["profiles"] = profiles;
        d["units"] = info.units;
        d["application"] = info.application;
        out.append(d);
    }
    return out;
}

py::dict ImportLandXmlFile(const py::object& pathArg, const LandXmlImportOptions& options) {
    const std::string path = PathOf(pathArg);
    Call call(Settings{});
    const LandXmlImportResult result = Released(call, [&] { return ImportLandXml(path, options); });
    py::dict d;
    d["alignments"] = result.alignments;
    d["written"] = result.written;
    d["notes"] = result.notes;
    return d;
}

}  // namespace

void BindExchange(py::module_& m) {
    m.def("_export_landxml", &ExportLandXml, py::arg("plan"), py::arg("profile").none(true),
          py::arg("ground").none(true), py::arg("path"), py::arg("name"));
    m.def("_export_ifc", &ExportIfc, py::arg("plan"), py::arg("profile").none(true),
          py::arg("sup").none(true), py::arg("path"), py::arg("name"), py::arg("project").none(true),
          py::arg("rail_head_distance"));
    m.def("_list_landxml", &ListLandXmlFile, py::arg("path"));
    m.def(
        "_import_landxml",
        [](const py::object& path, const std::string& alignment, const std::string& profileName,
           const std::string& plan, const std::string& jd, const std::string& profile,
           const std::string& ground, const std::string& project, const std::string& all) {
            LandXmlImportOptions o;
            o.alignment = alignment;
            o.profileName = profileName;
            o.plan = plan;
            o.jd = jd;
            o.profile = profile;
            o.ground = ground;
            o.project = project;
            o.allDirectory = all;
            return ImportLandXmlFile(path, o);
        },
        py::arg("path"), py::arg("alignment"), py::arg("profile_name"), py::arg("plan"), py::arg("jd"),
        py::arg("profile"), py::arg("ground"), py::arg("project"), py::arg("all"));
}

}  // namespace qdat::python
