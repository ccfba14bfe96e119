#include "bench/HostileShapes.h"

#include <algorithm>
#include <string>

namespace talvine::bench {

THostileShape LongNameShape() {
    THostileShape s;
    s.leafNameLength = 20'000;
    return s;
}

THostileShape ManyLinesShape() {
    THostileShape s;
    s.leafLines = 1'200;
    return s;
}

bool MakeHostileShape(TJwDocument& d, const THostileShape& shape) {
    if (shape.definitions < 1 || shape.fanOut < 1) return false;
    // Common attributes: group 0, layer group 0, layer 0, pen 1, solid line.
    const int cn = 0, lg = 0, ly = 0, co = 1, tp = 1, wd = 0, fl = 0;
    if (!d.AddEntPre()) return false;
    bool ok = d.AddEntLine(cn, lg, ly, co, tp, wd, fl, 0, 0, 10, 10);
    const int32_t first = d.EntBlockDefN;
    for (int32_t i = 0; ok && i < shape.definitions; ++i) {
        const bool leaf = i == shape.definitions - 1;
        const std::u16string name =
            leaf ? std::u16string(static_cast<size_t>(std::max(shape.leafNameLength, 1)), u'L')
                 : u"level" + std::u16string(1, static_cast<char16_t>(u'A' + i % 26)) + std::u16string(i / 26, u'x');
        ok = d.AddBlkDef(cn, lg, ly, co, tp, wd, fl, 1, name);
    }
    // Each definition but the leaf places the next one fanOut times.
    long long turn = 0;
    for (int32_t i = 0; ok && i + 1 < shape.definitions; ++i) {
        const int bdn = first + i;
        const int next = d.GetBlkNumber(bdn + 1);
        for (int32_t k = 0; ok && k < shape.fanOut; ++k) {
            const double angle = shape.turnEveryPlacement ? 0.01 * static_cast<double>(++turn) : 0.0;
            ok = d.AddBlkBlock(bdn, cn, lg, ly, co, tp, wd, fl, next, 100.0 * k, 0, 1, 1, angle);
        }
    }
    const int leaf = first + shape.definitions - 1;
    for (int32_t k = 0; ok && k < std::max(shape.leafLines, 1); ++k) {
        const double x = (k * 37) % 101, y = (k * 53) % 97;
        ok = d.AddBlkLine(leaf, cn, lg, ly, co, tp, wd, fl, x, y, x + 5, y + 3);
    }
    for (int32_t i = 0; ok && i < shape.definitions; ++i) d.AddBlkDefPost(first + i);
    ok = ok && d.AddEntBlock(cn, lg, ly, co, tp, wd, fl, d.GetBlkNumber(first), 0, 0, 1, 1, 0);
    // The block tree of a shape beyond the program's limits is cut; the
    // document is still what was asked for.
    d.AddEntPost();
    return ok;
}

int64_t LeafPlacements(const THostileShape& shape) {
    int64_t n = 1;
    for (int32_t i = 1; i < shape.definitions; ++i) n *= shape.fanOut;
    return n;
}

int64_t TreeNodes(const THostileShape& shape) {
    int64_t n = 0, level = 1;
    for (int32_t i = 0; i < shape.definitions; ++i, level *= shape.fanOut) n += level;
    return n;
}

}  // namespace talvine::bench
