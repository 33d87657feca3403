// Numbers as the text form of the archive writes and reads them: fixed-point
// text with a number of decimal places ("%.*f"), and scans that follow the
// rules of scanf's "%lf", "%f" and "%ld" (leading white space, an optional
// sign, trailing text after the number accepted).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qdat {

// value with places decimal places, as "%.*f" writes it.
std::string FormatFixed(double value, int places);

// "%lf": leading blanks, then a number; trailing text allowed. With used, also
// tells how many bytes of token the number took.
bool ScanDouble(std::string_view token, double& value, std::size_t* used = nullptr);
// "%f": as ScanDouble, but rounded once, straight to float.
bool ScanFloat(std::string_view token, float& value);
// "%d"/"%ld": a whole number; one too large for long long is held at its limit.
bool ScanLong(std::string_view token, long long& value);

}  // namespace qdat
