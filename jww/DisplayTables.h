// Process-wide tables of the drawing display that the documents feed. This
// program draws nothing itself; the tables are kept so that the documents'
// set-up operations have a place to put their results.
#pragma once

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

// The layer-attribute table, kLayerAttrCount entries, in its reset state
// until first filled.
std::vector<TLayerAttr>& LayerAttrTable();
// Every entry: state 1, scale 1.0, group label "[G] " and layer label "(L) "
// with G and L as one upper-case hexadecimal digit.
void ResetLayerAttrTable();

}  // namespace talvine
