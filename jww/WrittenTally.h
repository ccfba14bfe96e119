// What a write of a document must put into the file, counted without
// writing it: the output check compares it with what the file holds when
// read back.
#pragma once

#include <cstdint>

#include "jww/JwDocument.h"

namespace talvine {

// Entries by kind (index EntKind, kEntLine to kEntBlock): at the top level,
// and in the definitions the write keeps (the referenced ones), with a hash
// of their places (coordinates, radii, angles, sizes as stored; every kind
// in drawing order). A file read back has the tally it was written with.
struct TWrittenTally {
    int64_t top[8] = {};
    int64_t blocks[8] = {};
    uint64_t places[8] = {};
    int32_t definitions = 0;
    bool operator==(const TWrittenTally&) const = default;
};
TWrittenTally WrittenTallyOf(const TJwDocument& doc);

}  // namespace talvine
