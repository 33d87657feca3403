#include <qdat/docbase/detail/NumberText.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace qdat {

namespace {
// White space as scanf skips it in the C locale.
bool IsScanSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool IsHexPrefix(std::string_view s) {
    return s.size() > 1 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
}

// Where the number of a token starts: after leading white space and one sign,
// as scanf takes them.
std::size_t SkipSpaceAndSign(std::string_view token, bool& negative) {
    std::size_t i = 0;
    while (i < token.size() && IsScanSpace(token[i])) ++i;
    negative = false;
    if (i < token.size() && (token[i] == '+' || token[i] == '-')) {
        negative = token[i] == '-';
        ++i;
    }
    return i;
}

// The shortest decimal that reads back as a finite, non-zero magnitude:
// its significant digits d0 d1 ... and the power of ten of d0, so that digit
// i stands for 10^(exponent - i).
struct ShortestDecimal {
    char digits[24];
    int count = 0;
    int exponent = 0;
};

ShortestDecimal ShortestOf(double magnitude) {
    char text[40];
    const auto r = std::to_chars(text, text + sizeof text, magnitude, std::chars_format::scientific);
    ShortestDecimal d;
    const char* p = text;
    for (; p < r.ptr && *p != 'e'; ++p)
        if (*p != '.') d.digits[d.count++] = *p;
    if (p < r.ptr) std::from_chars(p + (p[1] == '+' ? 2 : 1), r.ptr, d.exponent);
    return d;
}
}  // namespace

std::size_t FormatFixedTo(char* out, double value, int places, bool* rounded) {
    places = std::clamp(places, 0, kMaxDecimalPlaces);
    const auto r = std::to_chars(out, out + kFixedTextCapacity, value, std::chars_format::fixed, places);
    // The capacity holds the longest text there is, so this never fails.
    const std::size_t length = r.ec == std::errc() ? static_cast<std::size_t>(r.ptr - out) : 0;
    if (rounded) *rounded = false;
    if (!std::isfinite(value) || value == 0.0) return length;
    const ShortestDecimal d = ShortestOf(std::fabs(value));
    if (rounded) *rounded = d.count - 1 - d.exponent > places;
    // A value whose decimal text ends in a 5 just past the last place is
    // rounded away from zero: -3.125 to -3.13, and 3.505 to 3.51 although the
    // double nearest 3.505 lies a hair below it. Every other value rounds as
    // its exact binary value does, which its decimal text does as well.
    const int half = d.exponent + places + 1;
    if (half != d.count - 1 || d.digits[half] != '5') return length;
    // The kept digits, counted in units of the last place, plus one unit.
    std::string units(d.digits, static_cast<std::size_t>(half));
    int i = half - 1;
    for (; i >= 0 && units[static_cast<std::size_t>(i)] == '9'; --i) units[static_cast<std::size_t>(i)] = '0';
    if (i >= 0)
        ++units[static_cast<std::size_t>(i)];
    else
        units.insert(units.begin(), '1');
    if (units.size() < static_cast<std::size_t>(places) + 1)
        units.insert(0, static_cast<std::size_t>(places) + 1 - units.size(), '0');
    std::size_t n = 0;
    if (std::signbit(value)) out[n++] = '-';
    const std::size_t whole = units.size() - static_cast<std::size_t>(places);
    for (std::size_t k = 0; k < units.size(); ++k) {
        if (k == whole) out[n++] = '.';
        out[n++] = units[k];
    }
    return n;
}

std::string FormatFixed(double value, int places) {
    char buf[kFixedTextCapacity];
    return std::string(buf, FormatFixedTo(buf, value, places));
}

bool ScanDouble(std::string_view token, double& value, std::size_t* used) {
    // Most tokens start with a digit: nothing to skip, no sign, no hex prefix.
    if (!token.empty() && token[0] >= '1' && token[0] <= '9') {
        double v = 0;
        const auto r = std::from_chars(token.data(), token.data() + token.size(), v);
        if (r.ec == std::errc()) {
            value = v;
            if (used) *used = static_cast<std::size_t>(r.ptr - token.data());
            return true;
        }
    }
    bool negative = false;
    const char* first = token.data() + SkipSpaceAndSign(token, negative);
    const char* last = token.data() + token.size();
    if (first == last) return false;
    if (*first == '+' || *first == '-') return false;
    if (IsHexPrefix(std::string_view(first, static_cast<std::size_t>(last - first)))) {
        const std::string copy(first, last);
        char* end = nullptr;
        const double v = std::strtod(copy.c_str(), &end);
        if (end == copy.c_str()) return false;
        value = negative ? -v : v;
        if (used)
            *used =
                static_cast<std::size_t>(first - token.data()) + static_cast<std::size_t>(end - copy.c_str());
        return true;
    }
    double v = 0;
    const auto r = std::from_chars(first, last, v);
    if (r.ec == std::errc::result_out_of_range) {
        const std::string copy(first, last);
        v = std::strtod(copy.c_str(), nullptr);
    } else if (r.ec != std::errc()) {
        return false;
    }
    value = negative ? -v : v;
    if (used) *used = static_cast<std::size_t>(r.ptr - token.data());
    return true;
}

bool ScanFloat(std::string_view token, float& value) {
    // Straight to float, as "%f" does, so the value is rounded once; what
    // from_chars does not take (other white space, hex, out of range) goes the
    // way of ScanDouble.
    std::string_view t = token;
    while (!t.empty() && (t[0] == ' ' || t[0] == '\t')) t.remove_prefix(1);
    bool negative = false;
    if (!t.empty() && (t[0] == '+' || t[0] == '-')) {
        negative = t[0] == '-';
        t.remove_prefix(1);
    }
    float f = 0;
    const auto r = std::from_chars(t.data(), t.data() + t.size(), f);
    if (r.ec == std::errc() && !IsHexPrefix(t) && !t.empty() && t[0] != '-' && t[0] != '+') {
        value = negative ? -f : f;
        return true;
    }
    double d = 0;
    if (!ScanDouble(token, d)) return false;
    value = static_cast<float>(d);
    return true;
}

bool ScanLong(std::string_view token, long long& value) {
    bool negative = false;
    const std::size_t i = SkipSpaceAndSign(token, negative);
    unsigned long long magnitude = 0;
    const auto r = std::from_chars(token.data() + i, token.data() + token.size(), magnitude);
    if (r.ec == std::errc::invalid_argument) return false;
    if (r.ec == std::errc::result_out_of_range || magnitude > static_cast<unsigned long long>(LLONG_MAX)) {
        value = negative ? LLONG_MIN : LLONG_MAX;
        return true;
    }
    value = negative ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude);
    return true;
}

}  // namespace qdat
