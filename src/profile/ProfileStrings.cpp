// Built-in English texts of the vertical profile and the profile controls.
// A document-type string holds the framework's document-template fields,
// separated by line feeds: field 3 is the file-filter name, field 4 the
// extension with its leading dot.
#include "host/Resources.h"

namespace qdat {
namespace {
const ResourceTable kProfileStrings{
    {104, "Vertical profile\nZdm\nVertical profile\nVertical profile files (*.zdm)\n.zdm"},
    {124, "Profile controls\nZkz\nProfile controls\nProfile control files (*.zkz)\n.zkz"},
};
}  // namespace
}  // namespace qdat
