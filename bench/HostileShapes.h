// Small documents whose block structure is large: a chain of definitions,
// each placing the next one several times, so that the number of
// placements grows exponentially with the length of the chain while the
// file stays small. The benchmarks and the tests build them to show that
// reading, measuring and converting such documents stay bounded.
#pragma once

#include <cstdint>

#include "jww/JwDocument.h"

namespace talvine::bench {

struct THostileShape {
    int32_t definitions = 19;      // length of the chain; the last one is the leaf
    int32_t fanOut = 2;            // placements of the next definition in each
    int32_t leafNameLength = 1;    // characters of the leaf's name
    int32_t leafLines = 1;         // lines of the leaf
    bool turnEveryPlacement = false;  // every placement its own rotation
};

// The shape of the issue reports: 19 two-fold levels (262,144 placements of
// the leaf) with a leaf named by 20,000 characters, or holding 1,200 lines.
THostileShape LongNameShape();
THostileShape ManyLinesShape();

// Builds the shape with the entity builder into d, which should be empty and
// carry its defaults (DataDefaultSet): the chain of definitions, and one
// insert of the first at the top level. The top level also holds one line.
// False when the builder refused something.
bool MakeHostileShape(TJwDocument& d, const THostileShape& shape);

// Placements of the leaf, and nodes of the block tree, that the shape gives.
int64_t LeafPlacements(const THostileShape& shape);
int64_t TreeNodes(const THostileShape& shape);

}  // namespace talvine::bench
