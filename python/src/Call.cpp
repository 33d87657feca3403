#include "Call.h"

#include <qdat/docbase/QArchiveException.h>
#include <qdat/host/HostException.h>
#include <qdat/station/QStation.h>

namespace qdat::python {

MessageAnswer CallUi::ShowMessage(const std::string& text, MessageKind kind, MessageButtons buttons) {
    if (buttons == MessageButtons::Ok) {
        (kind == MessageKind::Error     ? errors
         : kind == MessageKind::Warning ? warnings
                                        : notes)
            .push_back(text);
        return MessageAnswer::Ok;
    }
    if (answer == MessageAnswer::No && buttons == MessageButtons::OkCancel) return MessageAnswer::Cancel;
    return answer;
}

Call::Call(const Settings& settings) : m_scope(m_context) {
    m_context.ui = &m_ui;
    SetStationPrecisionValue(settings.precision);
    std::call_once(m_context.chainTableMade,
                   [this] { m_context.chainTable = std::make_shared<ChainTable>(); });
    *m_context.chainTable = settings.chain;
}

Settings Call::Current() const {
    return {*m_context.chainTable, m_context.stationPrecision};
}

void Call::Fail(const std::string& otherwise, const std::string& path) const {
    throw LibraryFailure(m_ui.errors.empty() ? otherwise : m_ui.errors.back(), path);
}

void Call::Warn() {
    std::vector<std::string> warnings;
    warnings.swap(m_ui.warnings);
    for (const std::string& text : warnings)
        if (PyErr_WarnEx(PyExc_UserWarning, text.c_str(), 2) < 0) throw py::error_already_set();
}

namespace {

void Raise(const std::string& message, const std::string& path) {
    py::object error = py::module_::import("qdat._errors").attr("Error");
    py::object instance = error(message, path.empty() ? py::object(py::none()) : py::str(path));
    PyErr_SetObject(error.ptr(), instance.ptr());
}

}  // namespace

void RegisterErrors(py::module_&) {
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) std::rethrow_exception(p);
        } catch (const LibraryFailure& e) {
            Raise(e.what(), e.Path());
        } catch (const FileException& e) {
            Raise(e.GetErrorMessage(), e.GetPath());
        } catch (const QArchiveException& e) {
            Raise(e.GetErrorMessage(), e.m_fileName);
        } catch (const HostException& e) {
            Raise(e.GetErrorMessage(), {});
        }
    });
}

}  // namespace qdat::python
