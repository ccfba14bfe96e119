// Process-wide tables of the drawing display that the documents feed. This
// program draws nothing itself; the tables are kept so that the documents'
// set-up operations have a place to put their results.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace talvine {

// Display attributes of one layer; layer index i = group * 16 + layer.
struct TLayerAttr {
    int state = 1;       // 1 editable, 2 shown only, 3 hidden
    double scale = 1.0;  // 1 / scale denominator of the layer's group
    std::u16string groupLabel, layerLabel;
};

constexpr int kLayerAttrCount = 256;

// The scale of a layer group for the display: 1 / its scale denominator, 1
// for a denominator that is not positive.
double GroupScale(double denominator);

// The layer-attribute table, kLayerAttrCount entries, in its reset state
// until first filled.
std::vector<TLayerAttr>& LayerAttrTable();
// Every entry: state 1, scale 1.0, group label "[G] " and layer label "(L) "
// with G and L as one upper-case hexadecimal digit.
void ResetLayerAttrTable();

// One pen of the display: colour, line width and point radius in display
// units.
struct TDisplayPen {
    uint32_t argb = 0xFF000000;  // 0xAARRGGBB
    double width = 0;
    double pointRadius = 0;
    bool operator==(const TDisplayPen&) const = default;
};

// One line type of the display: dash (positive) and gap (negative) lengths,
// empty for a solid line, and a line width (random lines only, else 0).
struct TDisplayLineType {
    std::vector<double> dashes;
    double width = 0;
    bool operator==(const TDisplayLineType&) const = default;
};

// Pens 1..8 take the drawing's pen colours, 101..356 its extended colours.
constexpr int kDisplayPenCount = 357;
// Types 1..8 line types, 9..13 random lines, 14..17 further line types,
// 18..49 extended line types 1..32.
constexpr int kDisplayLineTypeCount = 50;

// Pens, line types and switches of the display, process-wide.
struct TDisplaySetup {
    std::vector<TDisplayPen> pens = std::vector<TDisplayPen>(kDisplayPenCount);
    std::vector<TDisplayLineType> lineTypes = std::vector<TDisplayLineType>(kDisplayLineTypeCount);
    bool printMode = false;       // the display shows print colours and widths
    bool darkBackground = false;  // the display draws on a dark background
    // Width switch for drawings that store no print resolution (versions up
    // to 420, or a resolution of 0 or less): on, widths and pitches take the
    // finer factor 0.085; off, widths take 0.042 and pitches pitchFactor.
    bool fineWidths = false;
    // Pitch factor of line types when the drawing does not decide it.
    double pitchFactor = 0.042;
};

TDisplaySetup& DisplaySetup();
// Every pen and line type empty, screen mode, light background, switch off,
// pitch factor 0.042.
void ResetDisplaySetup();

}  // namespace talvine
