// Station text as users type it, read through the current chain table: a
// number or lettered text ("B1070.5"), or the kilometre form with or without
// the table's prefix ("K1+070.500", "0+400", "KB1+070").
#pragma once

#include <string>

#include <qdat/host/Export.h>

namespace qdat {

// The continuous station of the text, metres. Throws the chain table's
// QDLException when the text is none of the forms.
QDAT_API double ParseStationText(const std::string& text);

}  // namespace qdat
