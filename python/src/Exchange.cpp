// The exports to other formats. Each takes the package's objects (the
// package's Python layer opens paths given instead) and writes one file.
#include <filesystem>

#include <pybind11/stl.h>

#include <qdat/exchange/LandXml.h>
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

}  // namespace

void BindExchange(py::module_& m) {
    m.def("_export_landxml", &ExportLandXml, py::arg("plan"), py::arg("profile").none(true),
          py::arg("ground").none(true), py::arg("path"), py::arg("name"));
}

}  // namespace qdat::python
