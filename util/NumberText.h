// Decimal text of floating-point numbers, the same on every system: the
// drawing, the figure and --info write numbers through these, so that the
// Linux, the Windows and the WebAssembly build give the very same bytes.
// Writing goes through {fmt}, reading through fast_float; neither looks at
// the locale.
#pragma once

#include <string>
#include <string_view>

namespace talvine {

// The shortest text that reads back as v: fixed or scientific notation,
// whichever is shorter (fixed on a tie), as "1e+15", "0.1", "1.5e-07".
// Not finite: "inf", "-inf", "nan".
std::string ShortestText(double v);
// printf's "%.<precision>g".
std::string GeneralText(double v, int precision);
// printf's "%.<decimals>f".
std::string FixedText(double v, int decimals);
// Reads a whole decimal number ("-12.5", "1e3"; no blanks, no hex, no
// "inf") into value, rounded to the nearest double. False, with value
// left alone, when the text is not such a number or lies beyond the
// range of a double.
bool ParseDecimal(std::string_view text, double& value);

}  // namespace talvine
