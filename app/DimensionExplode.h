// Dimension explode: every dimension (Sunpo) of a drawing or figure, at top
// level and inside every block definition, becomes the plain entities it is
// made of, and the dimension entries leave the drawing order.
//
//   dimension                 ->  new entity         flag bits added
//   Sen  (dimension line)     ->  line               0x2000
//   Moji (text, unless blank) ->  text               0x4010
//   SXF only:
//   Ho1, Ho2 (longer than 1e-8) -> lines             0x2000
//   Te1, Te2 (end points)     ->  points             0x0040
//   Kt1, Kt2 (reference points, with the option) -> temporary points  0x0040
//
// Every new entity takes the dimension's layer and layer group; everything
// else comes from the sub-record as stored. New entries follow the existing
// ones, dimension by dimension in the order of the dimension array. The
// dimension records stay in their array; their order entries become kind 0,
// which the writers skip.
#pragma once

#include <cstdint>

#include "jws/JwsUnit.h"
#include "jww/JwDocument.h"
#include "jww/JwwUnit.h"

namespace talvine {

inline constexpr uint16_t kFlagFromDimensionLine = 0x2000;
inline constexpr uint16_t kFlagFromDimensionText = 0x4010;
inline constexpr uint16_t kFlagFromDimensionPoint = 0x0040;

// What an explode did: the dimensions dissolved and the entities made.
struct TExplodeCounts {
    int64_t dimensions = 0, lines = 0, texts = 0, points = 0;
    TExplodeCounts& operator+=(const TExplodeCounts& o) {
        dimensions += o.dimensions, lines += o.lines, texts += o.texts, points += o.points;
        return *this;
    }
    bool operator==(const TExplodeCounts&) const = default;
};

// Whether an extension line of an SXF dimension draws anything (a
// degenerate one, of no length, does not).
bool IsDrawn(const TEntJwwLine& extensionLine);

// What exploding dimension d gives, without changing anything.
TExplodeCounts DimensionParts(const TEntJwwSunpo& d, bool referencePoints);

// Explodes the dimensions of one entity list whose order list holds
// orderCount entries; orderCount receives the new count.
TExplodeCounts ExplodeDimensionList(TEntityLists L, int32_t& orderCount, bool referencePoints);

// The whole document: its top level, then every block definition in array
// order, placed or not. The counts are the sum over all of them.
TExplodeCounts ExplodeDimensions(TJwDocument& doc, bool referencePoints);

// The drawing's and the figure's explode; referencePoints turns the SXF
// reference points into temporary points.
TExplodeCounts DataTransJWW(TJwwData& jww, bool referencePoints);
TExplodeCounts DataTransJWS(TJwsData& jws, bool referencePoints);

}  // namespace talvine
