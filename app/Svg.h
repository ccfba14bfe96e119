// Pictures as SVG: one or more sheets side by side, in paper millimetres.
#pragma once

#include <string>
#include <vector>

#include "app/Primitives.h"

namespace talvine {

// One picture: the primitives on a white sheet of the paper size centred
// on the origin. The view is the sheet united with the extents of the
// primitives; without a sheet (a figure), the extents with a margin.
struct TPicture {
    std::vector<TPrimitive> primitives;
    double paperWidth = 0, paperHeight = 0;
    std::u16string caption;  // drawn above the sheet; "" for none
};

// The SVG of pictures side by side, each in the same view (the views of all
// united), added primitives in a light colour. UTF-8. The viewBox is in
// paper millimetres, y down: a single picture without a caption has the
// viewBox (x, -y of its upper left corner, width, height) of its view, and
// a width and height in millimetres of the same size, so that it prints at
// the paper's size; a picture longer than kMaxSvgMillimetres is given a
// size shrunk to that length.
std::string SvgOf(const std::vector<TPicture>& pictures);
// The longest side an SVG is given (A0's): a larger sheet would make a
// raster too large for viewers to open.
inline constexpr double kMaxSvgMillimetres = 1189;

}  // namespace talvine
