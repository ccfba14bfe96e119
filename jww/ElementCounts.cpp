// Entity counts of a loaded drawing or figure, by layer, pen colour or type,
// for the top level and for the contents of placed blocks. Each array is
// counted up to its count; members of a definition count once for every
// block tree node that places it.
#include <algorithm>
#include <climits>
#include <new>
#include <vector>

#include "jww/JwDocument.h"

namespace talvine {

namespace {

// Count slots: the kinds (temporary points apart) and the dimension parts.
enum Kind { kLines, kArcs, kPoints, kTempPoints, kTexts, kDimensions, kSolids, kInserts, kKinds };
enum Part { kDimText, kDimLine, kHo1, kHo2, kTe1, kTe2, kKt1, kKt2, kParts };

// Counts are kept wide: a definition placed a million times multiplies its
// contents by a million.
struct Tally {
    int64_t n[kKinds] = {};
    int64_t ns[kParts] = {};
    void Add(const Tally& t, int64_t times = 1) {
        for (int i = 0; i < kKinds; ++i) n[i] += t.n[i] * times;
        for (int i = 0; i < kParts; ++i) ns[i] += t.ns[i] * times;
    }
};

// A count as reported: beyond the range of the result it stays at its top.
int32_t Reported(int64_t v) { return static_cast<int32_t>(std::min<int64_t>(v, INT32_MAX)); }

// Type keys of GetElementTNum.
int PointKey(const TEntJwwTen& p) {
    const int32_t code = static_cast<int32_t>(p.nCode);
    return code < 0 ? code + 20 : code;
}
int TextKey(const TEntJwwMoji& m) { return static_cast<int32_t>(m.nMojiShu) % 100; }
int StyleKey(const TEntJwwAttr& a) { return a.nPenStyle; }

// One entity list. match(attribute, type key) decides whether an item counts.
struct ListRef {
    const TArray<TEntJwwLine>& line;
    int32_t lineN;
    const TArray<TEntJwwEnko>& enko;
    int32_t enkoN;
    const TArray<TEntJwwTen>& ten;
    int32_t tenN;
    const TArray<TEntJwwMoji>& moji;
    int32_t mojiN;
    const TArray<TEntJwwSunpo>& sunpo;
    int32_t sunpoN;
    const TArray<TEntJwwSolid>& solid;
    int32_t solidN;
    const TArray<TEntJwwBlock>* block;  // null: inserts are not counted
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
    int32_t* n[kKinds] = {&c.n1, &c.n2, &c.n3, &c.n4, &c.n5, &c.n6, &c.n7, &c.n8};
    int32_t* na[kKinds - 1] = {&c.n1a, &c.n2a, &c.n3a, &c.n4a, &c.n5a, &c.n6a, &c.n7a};
    for (int k = 0; k < kKinds; ++k) *n[k] = Reported(top.n[k]);
    for (int k = 0; k < kKinds - 1; ++k) *na[k] = Reported(blocks.n[k]);
    int32_t* ns[kParts] = {&c.ns1, &c.ns2, &c.ns3, &c.ns4, &c.ns5, &c.ns6, &c.ns7, &c.ns8};
    int32_t* nsa[kParts] = {&c.ns1a, &c.ns2a, &c.ns3a, &c.ns4a, &c.ns5a, &c.ns6a, &c.ns7a, &c.ns8a};
    for (int p = 0; p < kParts; ++p) {
        *ns[p] = Reported(top.ns[p]);
        *nsa[p] = Reported(blocks.ns[p]);
    }
    return c;
}

// How the members of a node's definition count.
enum class NodeRule {
    kNone,     // none of them
    kByMatch,  // each by the member matcher
    kAll,      // every one of them
};

// Counts the top level with topMatch, then the members of the definition of
// every node by nodeRule(node), members judged by memberMatch. Each
// definition is tallied once (for each rule it is needed with) and its
// tally added per node, so the cost is that of the entities plus the nodes,
// not their product. Cannot fail: should memory run out for the tallies,
// the members are counted node by node instead.
template <class TopMatch, class MemberMatch, class Rule>
TJwDocument::TElementCounts CountAll(const TJwDocument& d, const TopMatch& topMatch, const MemberMatch& memberMatch,
                                     const Rule& nodeRule) {
    Tally top, blocks;
    CountList(ListRef{d.EntLine, d.EntLineN, d.EntEnko, d.EntEnkoN, d.EntTen, d.EntTenN, d.EntMoji, d.EntMojiN,
                      d.EntSunpo, d.EntSunpoN, d.EntSolid, d.EntSolidN, &d.EntBlock, d.EntBlockN},
              topMatch, top);
    const size_t defs = Used(d.EntBlockDef, d.EntBlockDefN);
    auto members = [&](size_t defno, NodeRule rule, Tally& t) {
        const TEntJwwBlockDef& def = d.EntBlockDef[defno];
        const ListRef L{def.mLine, def.mLineN, def.mEnko, def.mEnkoN, def.mTen, def.mTenN, def.mMoji, def.mMojiN,
                        def.mSunpo, def.mSunpoN, def.mSolid, def.mSolidN, nullptr, 0};
        if (rule == NodeRule::kAll)
            CountList(L, [](const TEntJwwAttr&, int) { return true; }, t);
        else
            CountList(L, memberMatch, t);
    };
    // Per definition: how many nodes place it under each rule.
    std::vector<int64_t> byMatch, all;
    try {
        byMatch.assign(defs, 0);
        all.assign(defs, 0);
    } catch (const std::bad_alloc&) {
        byMatch.clear();
        all.clear();
    }
    const bool perDefinition = byMatch.size() == defs && all.size() == defs;
    for (size_t k = 0, nodes = Used(d.EntBlockTree, d.EntBlockTreeN); k < nodes; ++k) {
        const TEntJwwBlockTree& node = d.EntBlockTree[k];
        if (node.defno < 0 || static_cast<size_t>(node.defno) >= defs) continue;
        const NodeRule rule = nodeRule(node);
        if (rule == NodeRule::kNone) continue;
        const size_t defno = static_cast<size_t>(node.defno);
        if (!perDefinition)
            members(defno, rule, blocks);
        else
            ++(rule == NodeRule::kAll ? all : byMatch)[defno];
    }
    for (size_t i = 0; perDefinition && i < defs; ++i) {
        for (NodeRule rule : {NodeRule::kByMatch, NodeRule::kAll}) {
            const int64_t times = (rule == NodeRule::kAll ? all : byMatch)[i];
            if (times == 0) continue;
            Tally once;
            members(i, rule, once);
            blocks.Add(once, times);
        }
    }
    return Result(top, blocks);
}

}  // namespace

TJwDocument::TElementCounts TJwDocument::GetElementNum(int lay1, int lay2) const {
    auto onLayers = [lay1, lay2](int group, int layer) {
        return (lay1 == -1 || group == lay1) && (lay2 == -1 || layer == lay2);
    };
    auto own = [&](const TEntJwwAttr& a, int) { return onLayers(a.nGLayer, a.nLayer); };
    return CountAll(*this, own, own, [&](const TEntJwwBlockTree& node) {
        if ((node.att.nPenStyle & 0x40) != 0) return NodeRule::kByMatch;  // members keep their own layers
        return onLayers(node.att.nGLayer, node.att.nLayer) ? NodeRule::kAll : NodeRule::kNone;
    });
}

TJwDocument::TElementCounts TJwDocument::GetElementCNum(int co1) const {
    auto match = [co1](const TEntJwwAttr& a, int) { return a.nPenColor == co1; };
    return CountAll(*this, match, match, [](const TEntJwwBlockTree&) { return NodeRule::kByMatch; });
}

TJwDocument::TElementCounts TJwDocument::GetElementTNum(int ty1) const {
    auto match = [ty1](const TEntJwwAttr&, int key) { return key == ty1; };
    return CountAll(*this, match, match, [](const TEntJwwBlockTree&) { return NodeRule::kByMatch; });
}

}  // namespace talvine
