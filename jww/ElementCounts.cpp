// Entity counts of a loaded drawing or figure, by layer, pen colour or type,
// for the top level and for the contents of placed blocks. Each array is
// counted up to its count; members of a definition count once for every
// block tree node that places it.
#include <algorithm>

#include "jww/JwDocument.h"

namespace talvine {

namespace {

// Count slots: the kinds (temporary points apart) and the dimension parts.
enum Kind { kLines, kArcs, kPoints, kTempPoints, kTexts, kDimensions, kSolids, kInserts, kKinds };
enum Part { kDimText, kDimLine, kHo1, kHo2, kTe1, kTe2, kKt1, kKt2, kParts };

struct Tally {
    int32_t n[kKinds] = {};
    int32_t ns[kParts] = {};
};

template <class T>
size_t Used(const std::vector<T>& v, int32_t n) {
    return n <= 0 ? 0 : std::min(v.size(), static_cast<size_t>(n));
}

// Type keys of GetElementTNum.
int PointKey(const TEntJwwTen& p) {
    const int32_t code = static_cast<int32_t>(p.nCode);
    return code < 0 ? code + 20 : code;
}
int TextKey(const TEntJwwMoji& m) { return static_cast<int32_t>(m.nMojiShu) % 100; }
int StyleKey(const TEntJwwAttr& a) { return a.nPenStyle; }

// One entity list. match(attribute, type key) decides whether an item counts.
struct ListRef {
    const std::vector<TEntJwwLine>& line;
    int32_t lineN;
    const std::vector<TEntJwwEnko>& enko;
    int32_t enkoN;
    const std::vector<TEntJwwTen>& ten;
    int32_t tenN;
    const std::vector<TEntJwwMoji>& moji;
    int32_t mojiN;
    const std::vector<TEntJwwSunpo>& sunpo;
    int32_t sunpoN;
    const std::vector<TEntJwwSolid>& solid;
    int32_t solidN;
    const std::vector<TEntJwwBlock>* block;  // null: inserts are not counted
    int32_t blockN;
};

template <class Match>
void CountList(const ListRef& L, const Match& match, Tally& t) {
    for (size_t i = 0, n = Used(L.line, L.lineN); i < n; ++i)
        if (match(L.line[i].att, StyleKey(L.line[i].att))) ++t.n[kLines];
    for (size_t i = 0, n = Used(L.enko, L.enkoN); i < n; ++i)
        if (match(L.enko[i].att, StyleKey(L.enko[i].att))) ++t.n[kArcs];
    for (size_t i = 0, n = Used(L.ten, L.tenN); i < n; ++i) {
        const TEntJwwTen& p = L.ten[i];
        if (match(p.att, PointKey(p))) ++t.n[p.bKariten == 1 ? kTempPoints : kPoints];
    }
    for (size_t i = 0, n = Used(L.moji, L.mojiN); i < n; ++i)
        if (match(L.moji[i].att, TextKey(L.moji[i]))) ++t.n[kTexts];
    for (size_t i = 0, n = Used(L.sunpo, L.sunpoN); i < n; ++i) {
        const TEntJwwSunpo& d = L.sunpo[i];
        if (match(d.att, StyleKey(d.att))) ++t.n[kDimensions];
        if (match(d.Moji.att, TextKey(d.Moji))) ++t.ns[kDimText];
        if (match(d.Sen.att, StyleKey(d.Sen.att))) ++t.ns[kDimLine];
        if (d.bSxfMode == 0) continue;
        if (match(d.Ho1.att, StyleKey(d.Ho1.att))) ++t.ns[kHo1];
        if (match(d.Ho2.att, StyleKey(d.Ho2.att))) ++t.ns[kHo2];
        if (match(d.Te1.att, PointKey(d.Te1))) ++t.ns[kTe1];
        if (match(d.Te2.att, PointKey(d.Te2))) ++t.ns[kTe2];
        if (match(d.Kt1.att, PointKey(d.Kt1))) ++t.ns[kKt1];
        if (match(d.Kt2.att, PointKey(d.Kt2))) ++t.ns[kKt2];
    }
    for (size_t i = 0, n = Used(L.solid, L.solidN); i < n; ++i)
        if (match(L.solid[i].att, StyleKey(L.solid[i].att))) ++t.n[kSolids];
    if (L.block != nullptr) {
        for (size_t i = 0, n = Used(*L.block, L.blockN); i < n; ++i)
            if (match((*L.block)[i].att, StyleKey((*L.block)[i].att))) ++t.n[kInserts];
    }
}

TJwDocument::TElementCounts Result(const Tally& top, const Tally& blocks) {
    TJwDocument::TElementCounts c;
    c.n1 = top.n[kLines];
    c.n2 = top.n[kArcs];
    c.n3 = top.n[kPoints];
    c.n4 = top.n[kTempPoints];
    c.n5 = top.n[kTexts];
    c.n6 = top.n[kDimensions];
    c.n7 = top.n[kSolids];
    c.n8 = top.n[kInserts];
    c.n1a = blocks.n[kLines];
    c.n2a = blocks.n[kArcs];
    c.n3a = blocks.n[kPoints];
    c.n4a = blocks.n[kTempPoints];
    c.n5a = blocks.n[kTexts];
    c.n6a = blocks.n[kDimensions];
    c.n7a = blocks.n[kSolids];
    int32_t* ns[kParts] = {&c.ns1, &c.ns2, &c.ns3, &c.ns4, &c.ns5, &c.ns6, &c.ns7, &c.ns8};
    int32_t* nsa[kParts] = {&c.ns1a, &c.ns2a, &c.ns3a, &c.ns4a, &c.ns5a, &c.ns6a, &c.ns7a, &c.ns8a};
    for (int p = 0; p < kParts; ++p) {
        *ns[p] = top.ns[p];
        *nsa[p] = blocks.ns[p];
    }
    return c;
}

// Counts the top level with topMatch, then the members of the definition of
// every node with nodeMatch(node) (a function giving the node's matcher).
template <class TopMatch, class NodeMatch>
TJwDocument::TElementCounts CountAll(const TJwDocument& d, const TopMatch& topMatch, const NodeMatch& nodeMatch) {
    Tally top, blocks;
    CountList(ListRef{d.EntLine, d.EntLineN, d.EntEnko, d.EntEnkoN, d.EntTen, d.EntTenN, d.EntMoji, d.EntMojiN,
                      d.EntSunpo, d.EntSunpoN, d.EntSolid, d.EntSolidN, &d.EntBlock, d.EntBlockN},
              topMatch, top);
    const size_t defs = Used(d.EntBlockDef, d.EntBlockDefN);
    for (size_t k = 0, nodes = Used(d.EntBlockTree, d.EntBlockTreeN); k < nodes; ++k) {
        const TEntJwwBlockTree& node = d.EntBlockTree[k];
        if (node.defno < 0 || static_cast<size_t>(node.defno) >= defs) continue;
        const TEntJwwBlockDef& def = d.EntBlockDef[static_cast<size_t>(node.defno)];
        CountList(ListRef{def.mLine, def.mLineN, def.mEnko, def.mEnkoN, def.mTen, def.mTenN, def.mMoji, def.mMojiN,
                          def.mSunpo, def.mSunpoN, def.mSolid, def.mSolidN, nullptr, 0},
                  nodeMatch(node), blocks);
    }
    return Result(top, blocks);
}

}  // namespace

TJwDocument::TElementCounts TJwDocument::GetElementNum(int lay1, int lay2) const {
    auto onLayers = [lay1, lay2](int group, int layer) {
        return (lay1 == -1 || group == lay1) && (lay2 == -1 || layer == lay2);
    };
    auto own = [&](const TEntJwwAttr& a, int) { return onLayers(a.nGLayer, a.nLayer); };
    return CountAll(*this, own, [&](const TEntJwwBlockTree& node) {
        const bool keepOwn = (node.att.nPenStyle & 0x40) != 0;
        const bool nodeMatches = onLayers(node.att.nGLayer, node.att.nLayer);
        return [=](const TEntJwwAttr& a, int) { return keepOwn ? onLayers(a.nGLayer, a.nLayer) : nodeMatches; };
    });
}

TJwDocument::TElementCounts TJwDocument::GetElementCNum(int co1) const {
    auto match = [co1](const TEntJwwAttr& a, int) { return a.nPenColor == co1; };
    return CountAll(*this, match, [&](const TEntJwwBlockTree&) { return match; });
}

TJwDocument::TElementCounts TJwDocument::GetElementTNum(int ty1) const {
    auto match = [ty1](const TEntJwwAttr&, int key) { return key == ty1; };
    return CountAll(*this, match, [&](const TEntJwwBlockTree&) { return match; });
}

}  // namespace talvine
