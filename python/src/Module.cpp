// The compiled part of the qdat package.
#include <pybind11/pybind11.h>

#include "Alignments.h"
#include "Call.h"
#include "Documents.h"
#include "Exchange.h"
#include "Profiles.h"
#include "Projects.h"
#include "Stationing.h"

PYBIND11_MODULE(_qdat, m) {
    using namespace qdat::python;
    m.doc() = "The compiled part of the qdat package; see help(qdat).";
    RegisterErrors(m);
    BindStationing(m);
    BindDocuments(m);
    BindAlignments(m);
    BindProfiles(m);
    BindProjects(m);
    BindExchange(m);
}
