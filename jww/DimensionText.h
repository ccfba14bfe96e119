// The texts of a dimension's value, as the explode writes them anew for a
// dimension a block placement stretches.
#pragma once

#include <cstdint>
#include <string>

namespace talvine {

// Shortest general decimal form (at most 15 significant digits), without
// depending on the locale; never "-0".
std::u16string GeneralNumber(double v);
// v with the given number of decimals, without depending on the locale.
std::u16string FixedNumber(double v, int decimals);
// Half-width characters to full width: ASCII, the space, and half-width
// katakana (with a following voiced or semi-voiced sound mark joined).
std::u16string ToFullWidth(const std::u16string& s);
// Value text of a dimension with format bits F (the text's pen width) and
// flags S (the text's sFlg); v is the measured length times the scale.
std::u16string DimensionValueText(double v, uint16_t F, uint16_t S);

}  // namespace talvine
