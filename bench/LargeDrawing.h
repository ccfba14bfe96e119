// A large, deterministic drawing for the benchmarks: many lines, texts
// (ASCII and Japanese) and SXF dimensions, some arcs, points and solids, and
// block definitions that place one another a few levels deep. Like a real
// drawing it lies on its sheet (A1, centred on the origin) in paper
// millimetres, its layer groups have the scales real drawings use, and each
// dimension reads its real length.
#pragma once

#include <cstdint>

#include "jww/JwwUnit.h"

namespace talvine::bench {

// How many of each kind the drawing holds. The defaults make a file of about
// 35 MB in version 700.
struct LargeDrawingSize {
    int32_t lines = 200'000;
    int32_t texts = 50'000;
    int32_t dimensions = 50'000;  // all SXF, all six parts filled
    int32_t arcs = 4'000;
    int32_t points = 3'000;
    int32_t solids = 3'000;
    int32_t blockDefs = 1'000;
    int32_t inserts = 5'000;  // top-level placements of block definitions

    // Every count multiplied by f (at least 1 each): smaller inputs for
    // profiling runs.
    LargeDrawingSize Scaled(double f) const;
};

// Builds the drawing in memory, header tables included, with the order list,
// the counts and the block tree ready for FileOut in version 700. The same
// size gives the same drawing every time.
TJwwData MakeLargeDrawing(const LargeDrawingSize& size = {});

// Nodes of the block tree the drawing gets for that size (what MakeBlockTree
// builds), so readers can be checked against it.
int64_t ExpectedBlockTreeNodes(const LargeDrawingSize& size);

}  // namespace talvine::bench
