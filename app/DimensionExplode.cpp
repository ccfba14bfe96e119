#include "app/DimensionExplode.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "util/Func_2.h"
#include "util/Maths.h"

namespace talvine {

namespace {

// Appends e to L (the room was made beforehand); a list at its limit
// cannot take it, as if memory had run out.
template <class T>
void Append(const TEntityLists& L, int32_t& order, T&& e) {
    if (!AppendEntity(L, order, std::forward<T>(e), 1)) throw std::bad_alloc();
}

void TakeLayer(TEntJwwAttr& a, const TEntJwwAttr& from, uint16_t flags) {
    a.nLayer = from.nLayer;
    a.nGLayer = from.nGLayer;
    a.sFlg = static_cast<uint16_t>(a.sFlg | flags);
}

double Length(const TEntJwwLine& l) { return math::Hypot(l.end_x - l.start_x, l.end_y - l.start_y); }

}  // namespace

bool IsDrawn(const TEntJwwLine& ho) { return Length(ho) > 1e-8; }

TExplodeCounts DimensionParts(const TEntJwwSunpo& d, bool referencePoints) {
    TExplodeCounts c;
    c.dimensions = 1;
    c.lines = 1;
    c.texts = RemoveBlanks(d.Moji.str).empty() ? 0 : 1;
    if (d.bSxfMode != 0) {
        c.lines += (IsDrawn(d.Ho1) ? 1 : 0) + (IsDrawn(d.Ho2) ? 1 : 0);
        c.points = referencePoints ? 4 : 2;
    }
    return c;
}

TExplodeCounts ExplodeDimensionList(TEntityLists L, int32_t& orderCount, bool referencePoints) {
    // Cut every list to its count, so that new entries follow the valid ones.
    int32_t n = std::max(orderCount, 0);
    L.No.resize(static_cast<size_t>(n));
    L.Line.resize(static_cast<size_t>(L.LineN));
    L.Moji.resize(static_cast<size_t>(L.MojiN));
    L.Ten.resize(static_cast<size_t>(L.TenN));

    const int32_t dims = std::min<int32_t>(L.SunpoN, static_cast<int32_t>(L.Sunpo.size()));
    // Room for exactly what the dimensions give, so that the lists grow once
    // (a drawing with many dimensions would otherwise hold old and new
    // copies of each list while it doubles).
    TExplodeCounts made;
    for (int32_t i = 0; i < dims; ++i) made += DimensionParts(L.Sunpo[static_cast<size_t>(i)], referencePoints);
    const auto room = [](int64_t n) { return static_cast<size_t>(n); };
    L.Line.reserve(L.Line.size() + room(made.lines));
    L.Moji.reserve(L.Moji.size() + room(made.texts));
    L.Ten.reserve(L.Ten.size() + room(made.points));
    L.No.reserve(L.No.size() + room(made.lines + made.texts + made.points));

    for (int32_t i = 0; i < dims; ++i) {
        const TEntJwwSunpo& d = L.Sunpo[static_cast<size_t>(i)];
        TEntJwwLine sen = d.Sen;
        TakeLayer(sen.att, d.att, kFlagFromDimensionLine);
        Append(L, n, std::move(sen));

        if (!RemoveBlanks(d.Moji.str).empty()) {
            TEntJwwMoji moji = d.Moji;
            TakeLayer(moji.att, d.att, kFlagFromDimensionText);
            Append(L, n, std::move(moji));
        }
        if (d.bSxfMode == 0) continue;

        for (const TEntJwwLine* ho : {&d.Ho1, &d.Ho2}) {
            if (!IsDrawn(*ho)) continue;  // a degenerate extension line draws nothing
            TEntJwwLine line = *ho;
            TakeLayer(line.att, d.att, kFlagFromDimensionLine);
            Append(L, n, std::move(line));
        }
        for (const TEntJwwTen* te : {&d.Te1, &d.Te2}) {
            TEntJwwTen pt = *te;
            TakeLayer(pt.att, d.att, kFlagFromDimensionPoint);
            Append(L, n, std::move(pt));
        }
        if (referencePoints) {
            for (const TEntJwwTen* kt : {&d.Kt1, &d.Kt2}) {
                TEntJwwTen pt = *kt;
                TakeLayer(pt.att, d.att, kFlagFromDimensionPoint);
                pt.bKariten = 1;
                Append(L, n, std::move(pt));
            }
        }
    }
    for (TEntJwwNo& e : L.No) {
        if (e.EntType == kEntSunpo) e = TEntJwwNo{kEntNone, e.EntNo};
    }
    orderCount = n;
    return made;
}

TExplodeCounts ExplodeDimensions(TJwDocument& doc, bool referencePoints) {
    TExplodeCounts made = ExplodeDimensionList(doc.TopLists(), doc.HeaderN1(), referencePoints);
    const int32_t defs = std::min<int32_t>(doc.EntBlockDefN, static_cast<int32_t>(doc.EntBlockDef.size()));
    for (int32_t i = 0; i < defs; ++i) {
        TEntJwwBlockDef& def = doc.EntBlockDef[static_cast<size_t>(i)];
        made += ExplodeDimensionList(ListsOf(def), def.N, referencePoints);
    }
    return made;
}

TExplodeCounts DataTransJWW(TJwwData& jww, bool referencePoints) { return ExplodeDimensions(jww, referencePoints); }

TExplodeCounts DataTransJWS(TJwsData& jws, bool referencePoints) { return ExplodeDimensions(jws, referencePoints); }

}  // namespace talvine
