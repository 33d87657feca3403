// qdat.open, qdat.Document and qdat.kinds.
#include "Documents.h"

#include <pybind11/stl.h>

#include <qdat/docbase/FormatFlags.h>
#include <qdat/exchange/Descriptions.h>
#include <qdat/host/HostFile.h>
#include <qdat/host/HostPaths.h>
#include "Projects.h"
#include "Stationing.h"
#include "Values.h"

namespace qdat::python {

std::string PathOf(const py::handle& path) {
    if (!py::isinstance<py::str>(path) && !py::hasattr(path, "__fspath__"))
        throw py::type_error("a path (str or os.PathLike) expected");
    const py::object text = py::module_::import("os").attr("fsdecode")(path);
    return text.cast<std::string>();
}

Settings SettingsOf(const py::object& chainTable, const py::object& project) {
    Settings settings;
    if (!project.is_none()) settings = ProjectSettings(project);
    if (!chainTable.is_none()) settings.chain = ChainTableOf(chainTable);
    return settings;
}

std::shared_ptr<Document> Document::Open(const std::string& path, const std::string& kindName,
                                         const Settings& settings) {
    auto result = std::make_shared<Document>();
    result->path = path;
    Call call(settings);
    Released(call, [&] {
        const DocumentKind* kind = nullptr;
        if (!kindName.empty()) {
            kind = DocumentKind::Find(kindName);
            if (!kind)
                throw LibraryFailure(path + ": this version of the library reads no " + kindName, path);
        } else {
            kind = KindOfFile(path);
            if (!kind)
                throw LibraryFailure(path + ": no document kind knows its signature; name one with kind=",
                                     path);
        }
        result->doc = kind->CreateDocument();
        if (!ReadDocumentFile(*result->doc, path)) call.Fail(path + ": cannot be read", path);
        {
            File file;
            file.Open(path, File::ModeRead);
            const ArchiveEnvelope env = ReadArchiveEnvelope(file);
            const SignatureRule& rule = kind->RuleFor(env.signature);
            result->signature = rule.IsAccepted() ? env.signature : std::string();
            result->form = FileFormName(env, &rule);
        }
        // Later calls write and read stations through the table given, else
        // the one the file carries.
        result->settings = call.Current();
        const ChainTable* carried = FileChainTableOf(*result->doc);
        result->hasFileTable = carried != nullptr;
        if (carried && settings.chain.IsEmpty()) result->settings.chain = *carried;
        if (result->doc->WasReadPartly()) call.Ui().warnings.push_back(result->doc->GetPartialReadNote());
    });
    return result;
}

namespace {

const std::vector<std::pair<std::string, std::uint32_t>>& Forms() {
    static const std::vector<std::pair<std::string, std::uint32_t>> forms{
        {"text", FormatFlag::TextForm},
        {"binary", 0},
        {"tagged", FormatFlag::TaggedForm},
        {"scrambled", FormatFlag::ScrambledForm}};
    return forms;
}

void Save(Document& d, const std::string& target, const std::string& formName) {
    std::uint32_t form = 0;
    bool known = false;
    for (const auto& [name, flag] : Forms())
        if (name == formName) form = flag, known = true;
    if (!known)
        throw py::value_error("form: one of \"text\", \"binary\", \"tagged\", \"scrambled\", not \"" +
                              formName + "\"");
    std::lock_guard lock(d.lock);
    Call call(d.settings);
    Released(call, [&] {
        if (d.doc->WasReadPartly())
            throw LibraryFailure(d.path + " was read only in part; saving it would lose the rest", d.path);
        if (SameFile(d.path, target))
            throw LibraryFailure(target + " is the file the document was read from; save to another", target);
        QDocument& doc = *d.doc;
        const std::uint32_t flags = doc.GetFormatFlags();
        doc.SetFormatFlags((flags & ~(FormatFlag::FormBits | FormatFlag::LegacyLayout)) | form);
        MirrorFile file;
        try {
            file.Open(target, File::ModeCreate | File::ModeReadWrite | File::ShareExclusive);
            if (!doc.WriteToFile(file)) call.Fail(target + " was not written", target);
            file.Close();
        } catch (...) {
            file.Abort();
            doc.SetFormatFlags(flags);
            throw;
        }
        doc.SetFormatFlags(flags);
    });
}

py::dict Arrays(Document& d) {
    std::lock_guard lock(d.lock);
    Call call(d.settings);
    py::dict out;
    const DocumentKind* kind = d.doc->GetKind();
    if (!kind) return out;
    for (const ContentBlock& block : kind->GetContent()) {
        if (!block.IsList()) continue;
        QDocument& doc = *d.doc;
        out[py::str(block.key)] = RowsArray(block, doc);
    }
    return out;
}

}  // namespace

void BindDocuments(py::module_& m) {
    py::class_<Document, std::shared_ptr<Document>>(m, "Document", R"(A data file read by qdat.open.

Attributes: kind (the class name), signature (as the file's kind accepted it,
upper case; empty for none), form of the file ("text", "binary", "tagged",
"scrambled"), file_version and current_version, chain_table (the
qdat.ChainTable an old file carries, or None) and partial (True for a file
read only in part; the library's warning was issued when it was opened).

Stations, lengths and coordinates are metres, angles radians clockwise from
+X (north), grades rise over run.)")
        .def_property_readonly("kind",
                               [](Document& d) { return std::string(d.doc->GetRuntimeClass().GetName()); })
        .def_property_readonly("signature", [](Document& d) { return d.signature; })
        .def_property_readonly("form", [](Document& d) { return d.form; })
        .def_property_readonly("file_version", [](Document& d) { return d.doc->GetFileVersion(); })
        .def_property_readonly("current_version", [](Document& d) { return d.doc->GetCurrentVersion(); })
        .def_property_readonly("chain_table",
                               [](Document& d) -> py::object {
                                   if (const ChainTable* t = FileChainTableOf(*d.doc))
                                       return MakeChainTable(*t);
                                   return py::none();
                               })
        .def_property_readonly("partial", [](Document& d) { return d.doc->WasReadPartly(); })
        .def_property_readonly("path", [](Document& d) { return d.path; })
        .def(
            "to_dict",
            [](Document& d) {
                std::lock_guard lock(d.lock);
                Call call(d.settings);
                return ToPython(DocumentDescription(*d.doc, d.signature));
            },
            R"(The whole document as `qdat dump FILE --json` prints it: kind,
signature, fileVersion, currentVersion, fileChainTable (when the file
carries one), partialRead (when read in part) and content. Missing values
are None.)")
        .def("arrays", &Arrays, R"(Each list of the content as a numpy structured array, by the list's key.

Field names are the column keys `qdat kinds --json` gives; numbers are
float64 (a missing value is NaN), text columns Python str. Fields of the
document's single record (not a list) are in to_dict(); lists held by each
row (a section's ground points) are too.)")
        .def(
            "save",
            [](Document& d, const py::object& path, const std::string& form) { Save(d, PathOf(path), form); },
            py::arg("path"), py::kw_only(), py::arg("form") = "text",
            R"(Writes the document in the current version to path, in form "text",
"binary", "tagged" or "scrambled", through a mirror file: a failed write
leaves an existing file as it was.

Raises qdat.Error when the write fails, when path is the file the document
was read from, or when the document was read only in part; ValueError for
an unknown form.)")
        .def("__repr__", [](Document& d) {
            return "<qdat.Document " + std::string(d.doc->GetRuntimeClass().GetName()) + " '" + d.path + "'>";
        });

    m.def(
        "open",
        [](const py::object& path, const py::object& kind, const py::object& chainTable,
           const py::object& project) {
            std::string kindName;
            if (!kind.is_none()) {
                if (!py::isinstance<py::str>(kind)) throw py::type_error("kind: a class name (str) expected");
                kindName = kind.cast<std::string>();
                if (!DocumentKind::Find(kindName))
                    throw py::value_error("kind: no document kind \"" + kindName +
                                          "\" (qdat.kinds() lists them)");
            }
            return Document::Open(PathOf(path), kindName, SettingsOf(chainTable, project));
        },
        py::arg("path"), py::arg("kind") = py::none(), py::arg("chain_table") = py::none(),
        py::arg("project") = py::none(),
        R"(Reads a data file of any kind the library knows and returns a Document.

kind names the class ("DmxFile") for a file without a usable signature;
chain_table (a qdat.ChainTable) or project (a qdat.Project or a path) gives
the chain table its station text is read through. The file is never written:
an old file stays old.

Raises qdat.Error when the file cannot be read (the error names the file and
line or byte offset), ValueError for an unknown kind. A file read only in
part is returned with partial set and a UserWarning.)");

    m.def(
        "kinds", [] { return ToPython(KindSummaries()); },
        R"(Every document kind the library knows, as `qdat kinds --json` lists them.)");
}

}  // namespace qdat::python
