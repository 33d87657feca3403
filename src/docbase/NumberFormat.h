// Numbers as the files write them: fixed-point text with a number of decimal
// places, rounded the way every text file of the library is.
#pragma once

#include <string>

#include <qdat/host/Export.h>

namespace qdat {

// value with places decimal places, as "%.*f" writes it, except that a value
// whose shortest decimal text ends in a 5 just past the last place is rounded
// half away from zero (-3.125 gives "-3.13" and 3.505 "3.51" at two places,
// where "%.*f" gives "-3.12" and "3.50"). places is held to 0..19.
QDAT_API std::string FormatFixed(double value, int places);

}  // namespace qdat
