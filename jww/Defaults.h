// What a new drawing and a new figure share: their text types and layer
// groups.
#pragma once

#include <cstdint>
#include <vector>

#include "jww/jwwtype.h"

namespace talvine {

// Text types 1..10 (width = height, spacing, colour).
std::vector<TEntJwwMojiType> DefaultTextTypes();
// 16 layer groups; group 0 gets state group0State.
std::vector<TEntJwwLayerGroup> DefaultLayerGroups(int32_t group0State);

}  // namespace talvine
