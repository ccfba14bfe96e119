#include "util/NumberText.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <system_error>

// Both libraries are used as headers only: the WebAssembly and the Windows
// build have no system copy to link against.
#define FMT_HEADER_ONLY
#include <fast_float/fast_float.h>
#include <fmt/format.h>

namespace talvine {

std::string FixedText(double v, int decimals) { return fmt::format("{:.{}f}", v, decimals); }

std::string ShortestText(double v) {
    if (!std::isfinite(v)) return std::isnan(v) ? "nan" : (v < 0 ? "-inf" : "inf");
    // {fmt}'s default form has the shortest digits that read back as v, in
    // fixed or scientific notation by rules of its own: take the digits and
    // the power of ten of the first, and write both forms.
    const std::string text = fmt::format("{}", v);
    const bool negative = text[0] == '-';
    const size_t ePos = text.find_first_of("eE");
    std::string digits;
    int point = -1;  // digits before the decimal point
    for (size_t i = negative ? 1 : 0; i < std::min(ePos, text.size()); ++i) {
        if (text[i] == '.')
            point = static_cast<int>(digits.size());
        else
            digits += text[i];
    }
    if (point < 0) point = static_cast<int>(digits.size());
    int exponent = (ePos == std::string::npos ? 0 : std::atoi(text.c_str() + ePos + 1)) + point - 1;
    const size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos) return negative ? "-0" : "0";
    exponent -= static_cast<int>(first);
    digits.erase(0, first);
    digits.erase(digits.find_last_not_of('0') + 1);
    const int n = static_cast<int>(digits.size());

    std::string sci = negative ? "-" : "";
    sci += digits[0];
    if (n > 1) sci += '.' + digits.substr(1);
    sci += exponent < 0 ? "e-" : "e+";
    const int magnitude = std::abs(exponent);
    if (magnitude < 10) sci += '0';
    sci += std::to_string(magnitude);

    // Fixed: the digits with the point moved, zeros where needed.
    std::string fixed = negative ? "-" : "";
    if (exponent < 0) {
        fixed += "0.";
        fixed.append(static_cast<size_t>(-exponent - 1), '0');
        fixed += digits;
    } else if (exponent + 1 >= n) {
        // A whole number: all its digits exactly, not the shortest ones
        // padded with zeros (as printf's "%.0f").
        fixed = FixedText(v, 0);
    } else {
        fixed += digits.substr(0, static_cast<size_t>(exponent + 1));
        fixed += '.';
        fixed += digits.substr(static_cast<size_t>(exponent + 1));
    }
    return fixed.size() <= sci.size() ? fixed : sci;
}

std::string GeneralText(double v, int precision) { return fmt::format("{:.{}g}", v, precision); }


bool ParseDecimal(std::string_view text, double& value) {
    if (text.empty()) return false;
    // fast_float takes no sign but '-', and names ("inf", "nan") a decimal
    // number does not have.
    for (char c : text)
        if (!((c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-')) return false;
    double v = 0;
    const auto r = fast_float::from_chars(text.data(), text.data() + text.size(), v);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size()) return false;
    if (!std::isfinite(v)) return false;  // beyond the range of a double
    if (v == 0) {
        // Too small for a double: as far beyond its range as too large.
        for (char c : text) {
            if (c == 'e' || c == 'E') break;
            if (c >= '1' && c <= '9') return false;
        }
    }
    value = v;
    return true;
}

}  // namespace talvine
