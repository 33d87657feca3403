// Numbers as the text form of the archive writes and reads them: fixed-point
// text with a number of decimal places ("%.*f"), and scans that follow the
// rules of scanf's "%lf", "%f" and "%ld" (leading white space, an optional
// sign, trailing text after the number accepted).
//
// FormatFixed, the one of them hosts get, is in docbase/NumberFormat.h.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include <qdat/docbase/FormatFlags.h>
#include <qdat/docbase/NumberFormat.h>

namespace qdat {

// Room for any double in fixed-point text with up to kMaxDecimalPlaces places:
// a sign, the 309 integer digits of the largest double, the point, the places.
inline constexpr std::size_t kFixedTextCapacity = 1 + 309 + 1 + kMaxDecimalPlaces;

// FormatFixed's text into out, which holds kFixedTextCapacity bytes; returns its
// length. With rounded, also tells whether the value has more decimals than
// the text holds (its shortest decimal text does not fit the places).
std::size_t FormatFixedTo(char* out, double value, int places, bool* rounded = nullptr);

// "%lf": leading blanks, then a number; trailing text allowed. With used, also
// tells how many bytes of token the number took.
bool ScanDouble(std::string_view token, double& value, std::size_t* used = nullptr);
// "%f": as ScanDouble, but rounded once, straight to float.
bool ScanFloat(std::string_view token, float& value);
// "%d"/"%ld": a whole number; one too large for long long is held at its limit.
bool ScanLong(std::string_view token, long long& value);

}  // namespace qdat
