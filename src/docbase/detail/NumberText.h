// Numbers as the text form of the archive writes and reads them: fixed-point
// text with a number of decimal places ("%.*f"), and scans that follow the
// rules of scanf's "%lf", "%f" and "%ld" (leading white space, an optional
// sign, trailing text after the number accepted).
//
// Hosts do not get this header; the functions stay exported for the qdat
// tool, which prints its tables with the archive's rounding.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include <qdat/docbase/FormatFlags.h>
#include <qdat/host/Export.h>

namespace qdat {

// Room for any double in fixed-point text with up to kMaxDecimalPlaces places:
// a sign, the 309 integer digits of the largest double, the point, the places.
inline constexpr std::size_t kFixedTextCapacity = 1 + 309 + 1 + kMaxDecimalPlaces;

// value with places decimal places, as "%.*f" writes it, except that a value
// whose shortest decimal text ends in a 5 just past the last place is rounded
// half away from zero (-3.125 gives "-3.13" and 3.505 "3.51" at two places,
// where "%.*f" gives "-3.12" and "3.50"). places is held to
// 0..kMaxDecimalPlaces first, so neither a value nor a number of places can
// make the text longer than kFixedTextCapacity.
QDAT_API std::string FormatFixed(double value, int places);
// The same text into out, which holds kFixedTextCapacity bytes; returns its
// length. With rounded, also tells whether the value has more decimals than
// the text holds (its shortest decimal text does not fit the places).
QDAT_API std::size_t FormatFixedTo(char* out, double value, int places, bool* rounded = nullptr);

// "%lf": leading blanks, then a number; trailing text allowed. With used, also
// tells how many bytes of token the number took.
QDAT_API bool ScanDouble(std::string_view token, double& value, std::size_t* used = nullptr);
// "%f": as ScanDouble, but rounded once, straight to float.
QDAT_API bool ScanFloat(std::string_view token, float& value);
// "%d"/"%ld": a whole number; one too large for long long is held at its limit.
QDAT_API bool ScanLong(std::string_view token, long long& value);

}  // namespace qdat
