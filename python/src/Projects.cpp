#include "Projects.h"

#include <filesystem>

#include <pybind11/stl.h>

#include <qdat/exchange/Descriptions.h>
#include <qdat/exchange/ProjectReport.h>
#include <qdat/host/HostFile.h>
#include <qdat/project/DataTypeRegistry.h>
#include <qdat/project/SettingKeyRegistry.h>
#include "Documents.h"
#include "Values.h"

namespace qdat::python {

void Project::Read() {
    auto read = std::make_unique<PrjFile>();
    Call call(Settings{});
    Released(call, [&] {
        if (!read->ReadProject(path)) call.Fail(path + ": cannot be read", path);
        signature = AcceptedSignature(path, *read);
        read->ApplyProjectSettings();
        settings = call.Current();
    });
    file = std::move(read);
}

namespace {

std::unique_ptr<Project> OpenProject(const py::handle& pathArg) {
    auto project = std::make_unique<Project>();
    project->path = MakeAbsolutePath(PathOf(pathArg));
    project->Read();
    return project;
}

const SettingKey& KeyOf(const py::handle& key) {
    auto& keys = SettingKeyRegistry::Get();
    const SettingKey* found = nullptr;
    if (py::isinstance<py::int_>(key) && !py::isinstance<py::bool_>(key)) {
        const long long id = key.cast<long long>();
        if (id >= 0 && id <= 0xFFFFFFFFLL) found = keys.Find(static_cast<std::uint32_t>(id));
    } else if (py::isinstance<py::str>(key)) {
        found = keys.FindByName(key.cast<std::string>());
    } else {
        throw py::type_error("key: a setting's number or name expected");
    }
    if (!found) throw py::value_error("no setting key " + py::str(key).cast<std::string>());
    return *found;
}

const DataType& TypeOf(const py::handle& type) {
    auto& types = DataTypeRegistry::Get();
    const DataType* found = nullptr;
    if (py::isinstance<py::int_>(type) && !py::isinstance<py::bool_>(type)) {
        const long long id = type.cast<long long>();
        if (id >= 0 && id <= 0xFFFF) found = types.Find(static_cast<std::uint32_t>(id));
    } else if (py::isinstance<py::str>(type)) {
        found = types.FindByName(type.cast<std::string>());
    } else {
        throw py::type_error("type_id: a data type's id or name expected");
    }
    if (!found)
        throw py::value_error("no data type " + py::str(type).cast<std::string>() + " (see qdat.kinds())");
    return *found;
}

py::object Upgrade(Project& p, bool backup) {
    if (!backup)
        throw py::value_error(
            "backup=False: a project is always backed up before its files are written again");
    std::lock_guard lock(p.lock);
    DataValue summary;
    Call call(Settings{});
    call.Ui().answer = MessageAnswer::Yes;
    Released(call, [&] {
        PrjFile project;
        // Opening a project enters its folder; the caller's stays current.
        const std::filesystem::path here = std::filesystem::current_path();
        bool opened = false;
        try {
            opened = project.OpenProject(p.path);
        } catch (...) {
            std::filesystem::current_path(here);
            throw;
        }
        std::filesystem::current_path(here);
        if (!opened) call.Fail(p.path + " was not opened", p.path);
        // An old project is backed up and upgraded as it opens, and written
        // back as current; a current one is upgraded on request.
        const bool wasOld = project.GetFileVersion() < project.GetCurrentVersion();
        ProjectUpgradeReport report = project.GetOpenUpgradeReport();
        if (!wasOld) project.UpgradeProjectFiles(&report);
        if (!report.failure.empty()) throw LibraryFailure("nothing was upgraded: " + report.failure, p.path);
        summary = UpgradeReportDescription(report);
        summary["projectVersion"] = project.GetCurrentVersion();
        summary["projectWasVersion"] = project.GetFileVersion();
        summary["projectWritten"] = wasOld && !project.IsModified();
    });
    p.Read();
    return ToPython(summary);
}

}  // namespace

Settings ProjectSettings(const py::handle& project) {
    if (py::isinstance<Project>(project)) return project.cast<Project&>().settings;
    return OpenProject(project)->settings;
}

void BindProjects(py::module_& m) {
    py::class_<Project>(m, "Project",
                        R"(A project file: the data files of an alignment, its settings and chain table.

Project(path) reads the project without changing anything (an old project
stays old until upgrade()). Raises qdat.Error when it cannot be read.
Stations are metres; the project's chain table and station precision apply
to every document opened through it.)")
        .def(py::init(&OpenProject), py::arg("path"))
        .def_property_readonly("path", [](Project& p) { return p.path; })
        .def_property_readonly(
            "entries",
            [](Project& p) {
                std::lock_guard lock(p.lock);
                Call call(p.settings);
                return ToPython(*ProjectDescription(*p.file, p.signature).Find("entries"));
            },
            R"(The data files the project names, as `qdat project FILE --json` lists them:
typeId, name, group, class, storedPath, resolvedPath, exists,
fingerprintMatches.)")
        .def_property_readonly("chain_table", [](Project& p) { return py::cast(p.settings.chain); })
        .def(
            "to_dict",
            [](Project& p) {
                std::lock_guard lock(p.lock);
                Call call(p.settings);
                return ToPython(ProjectDescription(*p.file, p.signature));
            },
            "The whole project as `qdat project FILE --json` prints it.")
        .def(
            "setting",
            [](Project& p, const py::handle& key, const py::object& station) {
                const SettingKey& k = KeyOf(key);
                std::lock_guard lock(p.lock);
                Call call(p.settings);
                if (station.is_none()) return p.file->GetSetting(k.id);
                double s = 0.0;
                try {
                    s = station.cast<double>();
                } catch (const py::cast_error&) {
                    throw py::type_error("station: a number expected");
                }
                if (!std::isfinite(s)) throw py::value_error("station: a finite number expected");
                return p.file->GetSettingAtStation(QStation(s), k.id);
            },
            py::arg("key"), py::arg("station") = py::none(),
            R"(A setting's text by its number or name; with station (metres) the value of
the segment that holds the station, else the global one. Empty when unset.
Raises ValueError for an unknown key.)")
        .def(
            "document",
            [](Project& p, const py::handle& typeId) {
                const DataType& type = TypeOf(typeId);
                std::string path;
                {
                    std::lock_guard lock(p.lock);
                    path = p.file->GetEntryPath(type.GetId());
                }
                if (path.empty())
                    throw LibraryFailure(p.path + " names no " + type.GetName() + " file", p.path);
                return Document::Open(path, type.GetClassName(), p.settings);
            },
            py::arg("type_id"),
            R"(The document of a data type (its id or name), opened read-only with the
project's chain table. Raises qdat.Error when the project names no such
file or it cannot be read.)")
        .def(
            "backup",
            [](Project& p, const py::object& target) {
                const std::string to = target.is_none() ? std::string() : MakeAbsolutePath(PathOf(target));
                std::lock_guard lock(p.lock);
                Call call(p.settings);
                return Released(call, [&] {
                    ProjectBackupResult result;
                    if (!p.file->BackupProject(to, &result) || result.cabinets.empty())
                        call.Fail(result.error.empty() ? p.path + " was not backed up" : result.error,
                                  p.path);
                    return result.cabinets.front();
                });
            },
            py::arg("target") = py::none(),
            R"(Packs the project file and every data file it names that is here into a
cabinet at target (default: beside the project, named by the project and
the time) and returns the cabinet's path. Raises qdat.Error when the backup
fails; no cabinet is left then.)")
        .def("upgrade", &Upgrade, py::kw_only(), py::arg("backup") = true,
             R"(Backs the project up, then writes every data file that is not in the
current version, and an old project file itself, in the current version.
Returns the summary as a dict: backup (the cabinet), upgraded, current,
missing (paths), leftAlone and backupLeftOut (path and reason), and the
project's versions. Nothing is written when the backup fails or the project
was read only in part: qdat.Error is raised then. backup=False is refused
with ValueError.)")
        .def(
            "report",
            [](Project& p, const py::object& target) {
                const std::string to = PathOf(target);
                Call call(p.settings);
                return Released(call, [&] { return WriteProjectReport(p.path, to).notes; });
            },
            py::arg("path"),
            R"(Writes the project's report to path: one self-contained HTML page (no
network, scripts, styles and drawings inline) with a summary of the files
and settings, the plan and the profile with pan and zoom, a station box, a
cross-section viewer and the tables of the data files. Nothing of the
project changes. Returns the notes of the parts left out (a data file
missing or unreadable). Raises qdat.Error when the project cannot be read or
the page cannot be written (never over the project or one of its files;
an old page is then as it was).)")
        .def("__repr__", [](Project& p) { return "<qdat.Project '" + p.path + "'>"; });
}

}  // namespace qdat::python
