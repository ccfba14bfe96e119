// Pictures of drawings and figures: what the document draws, as a list of
// primitives on the paper, and as SVG.
//
// Coordinates are millimetres on the paper, y up: an entity's coordinates
// times the scale of its layer group (1 / the scale denominator), placed
// blocks through their insertion point, scale and rotation. Texts keep
// their size on the paper. Hidden layers and layer groups are left out,
// and temporary points are drawn only on request, as Jw_cad shows them.
// Colours and line types come from the drawing's pen and line-type tables
// (a figure, which has none, takes the default ones).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jws/JwsUnit.h"
#include "jww/JwwUnit.h"

namespace talvine {

struct TPrimitive {
    enum Kind { kLine, kCurve, kPoint, kText, kSolid };
    Kind kind = kLine;
    // kLine: the two ends; kCurve: the arc or ellipse as a polyline; kPoint:
    // the point; kText: the start and the end of the run; kSolid: the
    // corners.
    std::vector<double> xy;
    uint32_t rgb = 0;             // 0xRRGGBB
    double width = 0;             // of the line on the paper, mm; 0: the thinnest
    std::vector<double> dashes;   // mm on the paper; empty: a solid line
    bool temporary = false;       // a temporary point
    // Texts: the text, its font, height and width of a character, spacing,
    // direction in degrees.
    std::u16string text, font;
    double height = 0, charWidth = 0, spacing = 0, degrees = 0;
    bool added = false;          // made by the conversion (TRenderOptions::before)
    bool fromDimension = false;  // a part of a dimension
};

struct TListCounts;

struct TRenderOptions {
    bool temporaryPoints = false;  // draw temporary points
    // The counts of a document before its conversion: what lies beyond them
    // is marked as added. nullptr: nothing is.
    const TListCounts* before = nullptr;
    // At most this many primitives (a file that places blocks very often
    // would give a picture no viewer can open); false beyond.
    size_t maxPrimitives = 2'000'000;
};

// The primitives of a drawing or a figure, in drawing order (placed blocks
// at their place in the order). False when there would be too many.
bool DrawPrimitives(const TJwwData& doc, const TRenderOptions& options, std::vector<TPrimitive>& out);
bool DrawPrimitives(const TJwsData& doc, const TRenderOptions& options, std::vector<TPrimitive>& out);

// How many entities each list held before a conversion: the top level,
// then every block definition. Entities past these counts are the
// conversion's (TPrimitive::added).
struct TListCounts {
    std::vector<int32_t> lines, texts, points;  // [0] the top level, [1 + d] definition d
};
TListCounts ListCountsOf(const TJwDocument& doc);

// The paper of a drawing in millimetres (A0 ... for its paper code); a
// figure has none (0 x 0).
void PaperSize(const TJwwData& doc, double& width, double& height);

// One picture: the primitives on a white sheet of the paper size centred
// on the origin (when there is one), the view the extents of the
// primitives with a margin.
struct TPicture {
    std::vector<TPrimitive> primitives;
    double paperWidth = 0, paperHeight = 0;
    std::u16string caption;  // drawn above the sheet; "" for none
};

// The SVG of pictures side by side, each in the same view (the extents of
// all), added primitives in a light colour. UTF-8.
std::string SvgOf(const std::vector<TPicture>& pictures);

// The SVG of the drawing or figure at src (by its extension); with compare,
// the file and, beside it, what converting it makes of it, the entities
// the conversion adds marked. False with a message in English when the file
// cannot be read or drawn.
bool RenderFile(const std::string& src, bool compare, const TRenderOptions& options, std::string& svg,
                std::string& error);
// Writes svg to path (replacing a file there); false when it cannot.
bool WriteSvgFile(const std::string& path, const std::string& svg);

}  // namespace talvine
