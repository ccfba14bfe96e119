// Block explode and whole-drawing transforms.
//
// Exploding copies every member of the definition of every node of the
// block tree, carries it through the node's placement (PlaceEntity.h) and
// appends it to the top level; then the inserts, the definitions and the
// tree are gone.
#include <algorithm>
#include <cstdint>
#include <new>
#include <stdexcept>
#include <type_traits>
#include <vector>

#include "jww/JwDocument.h"
#include "jww/PlaceEntity.h"
#include "jww/Placement.h"

namespace talvine {

namespace {

constexpr int32_t kGrowStep = 1000;
constexpr uint8_t kOwnLayers = 0x40;  // pen style of a node: members keep their layers

void TakeLayers(TEntJwwAttr& a, bool lf, int l1, int l2) {
    if (lf) return;
    a.nGLayer = static_cast<uint16_t>(l1);
    a.nLayer = static_cast<uint16_t>(l2);
}

template <class T>
void Trim(TArray<T>& v, int32_t n) {
    v.resize(static_cast<size_t>(std::max(n, 0)));
    v.shrink_to_fit();
}

// ---- Whole-drawing transforms ---------------------------------------------------

// Calls pos(x, y) for every position of the top level that MoveEntALL and
// ScaleEntALL change.
template <class Pos>
void ForEachTopPosition(TJwDocument& d, Pos&& pos) {
    for (size_t i = 0, n = Used(d.EntLine, d.EntLineN); i < n; ++i) {
        pos(d.EntLine[i].start_x, d.EntLine[i].start_y);
        pos(d.EntLine[i].end_x, d.EntLine[i].end_y);
    }
    for (size_t i = 0, n = Used(d.EntEnko, d.EntEnkoN); i < n; ++i) pos(d.EntEnko[i].start_x, d.EntEnko[i].start_y);
    for (size_t i = 0, n = Used(d.EntTen, d.EntTenN); i < n; ++i) pos(d.EntTen[i].start_x, d.EntTen[i].start_y);
    for (size_t i = 0, n = Used(d.EntMoji, d.EntMojiN); i < n; ++i) {
        pos(d.EntMoji[i].start_x, d.EntMoji[i].start_y);
        pos(d.EntMoji[i].end_x, d.EntMoji[i].end_y);
    }
    for (size_t i = 0, n = Used(d.EntSunpo, d.EntSunpoN); i < n; ++i) {
        TEntJwwSunpo& s = d.EntSunpo[i];
        pos(s.Sen.start_x, s.Sen.start_y);
        pos(s.Sen.end_x, s.Sen.end_y);
        pos(s.Moji.start_x, s.Moji.start_y);
        pos(s.Moji.end_x, s.Moji.end_y);
        if (s.bSxfMode == 0) continue;
        for (TEntJwwLine* l : {&s.Ho1, &s.Ho2}) {
            pos(l->start_x, l->start_y);
            pos(l->end_x, l->end_y);
        }
        for (TEntJwwTen* t : {&s.Te1, &s.Te2, &s.Kt1, &s.Kt2}) pos(t->start_x, t->start_y);
    }
    for (size_t i = 0, n = Used(d.EntSolid, d.EntSolidN); i < n; ++i) {
        TEntJwwSolid& s = d.EntSolid[i];
        pos(s.start_x, s.start_y);
        if (s.att.nPenStyle > 100) continue;  // the other fields describe the arc
        pos(s.end_x, s.end_y);
        pos(s.DPoint2_x, s.DPoint2_y);
        pos(s.DPoint3_x, s.DPoint3_y);
    }
    for (size_t i = 0, n = Used(d.EntBlock, d.EntBlockN); i < n; ++i)
        pos(d.EntBlock[i].DPKijunTen_x, d.EntBlock[i].DPKijunTen_y);
}

// A copy of e on the node's layers (unless lf keeps its own), carried
// through T and appended to the top level; false when memory ran out. A
// dimension's value is measured at groupScale, the scale of the layer group
// its line lies on once copied.
template <class E>
bool PlaceAndAppend(TJwDocument& d, const TPlacement& T, const E& e, bool lf, int l1, int l2,
                    double groupScale = 0) {
    try {
        E n = e;
        if constexpr (std::is_same_v<E, TEntJwwSunpo>) {
            for (TEntJwwAttr* a : {&n.att, &n.Sen.att, &n.Moji.att, &n.Ho1.att, &n.Ho2.att, &n.Te1.att, &n.Te2.att,
                                   &n.Kt1.att, &n.Kt2.att})
                TakeLayers(*a, lf, l1, l2);
            Place(T, n, groupScale);
        } else {
            TakeLayers(n.att, lf, l1, l2);
            Place(T, n);
        }
        return AppendEntity(d.TopLists(), d.HeaderN1(), std::move(n), kGrowStep);
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
}

}  // namespace

// ---- Per-kind steps -----------------------------------------------------------------

bool TJwDocument::BlockExplodeLine(double bx, double by, double b1, double b2, double b3, double b4,
                                   const TEntJwwLine& e, bool lf, int l1, int l2) {
    return PlaceAndAppend(*this, TPlacement{bx, by, b1, b2, b3, b4}, e, lf, l1, l2);
}

bool TJwDocument::BlockExplodeEnko(double bx, double by, double b1, double b2, double b3, double b4,
                                   const TEntJwwEnko& e, bool lf, int l1, int l2) {
    return PlaceAndAppend(*this, TPlacement{bx, by, b1, b2, b3, b4}, e, lf, l1, l2);
}

bool TJwDocument::BlockExplodeTen(double bx, double by, double b1, double b2, double b3, double b4,
                                  const TEntJwwTen& e, bool lf, int l1, int l2) {
    return PlaceAndAppend(*this, TPlacement{bx, by, b1, b2, b3, b4}, e, lf, l1, l2);
}

bool TJwDocument::BlockExplodeMoji(double bx, double by, double b1, double b2, double b3, double b4,
                                   const TEntJwwMoji& e, bool lf, int l1, int l2) {
    return PlaceAndAppend(*this, TPlacement{bx, by, b1, b2, b3, b4}, e, lf, l1, l2);
}

bool TJwDocument::BlockExplodeSunpo(double bx, double by, double b1, double b2, double b3, double b4,
                                    const TEntJwwSunpo& e, bool lf, int l1, int l2) {
    const int group = lf ? e.Sen.att.nGLayer : static_cast<uint16_t>(l1);
    return PlaceAndAppend(*this, TPlacement{bx, by, b1, b2, b3, b4}, e, lf, l1, l2, LayerGroupScale(group));
}

bool TJwDocument::BlockExplodeSolid(double bx, double by, double b1, double b2, double b3, double b4,
                                    const TEntJwwSolid& e, bool lf, int l1, int l2) {
    return PlaceAndAppend(*this, TPlacement{bx, by, b1, b2, b3, b4}, e, lf, l1, l2);
}

// ---- Block explode ----------------------------------------------------------------------

namespace {

// Memory the copies of a definition's members take, in work units of four
// bytes: what exploding one placement of it costs.
int64_t ExplodeCost(const TEntJwwBlockDef& def) {
    auto n = [](int32_t v) { return std::max<int64_t>(v, 0); };
    int64_t cost = 1 + n(def.N) * static_cast<int64_t>(sizeof(TEntJwwNo) / 4);
    cost += n(def.mLineN) * static_cast<int64_t>(sizeof(TEntJwwLine) / 4);
    cost += n(def.mEnkoN) * static_cast<int64_t>(sizeof(TEntJwwEnko) / 4);
    cost += n(def.mTenN) * static_cast<int64_t>(sizeof(TEntJwwTen) / 4);
    cost += n(def.mSolidN) * static_cast<int64_t>(sizeof(TEntJwwSolid) / 4);
    auto text = [](const TEntJwwMoji& m) {
        return static_cast<int64_t>(sizeof(TEntJwwMoji) / 4 + (m.str.size() + m.strFontName.size()) / 2);
    };
    for (size_t i = 0, c = Used(def.mMoji, def.mMojiN); i < c; ++i) cost += text(def.mMoji[i]);
    for (size_t i = 0, c = Used(def.mSunpo, def.mSunpoN); i < c; ++i)
        cost += static_cast<int64_t>(sizeof(TEntJwwSunpo) / 4) + text(def.mSunpo[i].Moji);
    return cost;
}

}  // namespace

bool TJwDocument::BlockExplode() {
    if (EntBlockTreeN == 0) return true;
    if (bBlockTreeCut) {
        Fail(TJwFailure::kTooComplex);
        return false;
    }
    int32_t& n1 = HeaderN1();
    // A negative count is an empty list.
    for (int32_t* count : {&n1, &EntLineN, &EntEnkoN, &EntTenN, &EntMojiN, &EntSunpoN, &EntSolidN})
        *count = std::max(*count, 0);
    {
        // What the copies would take, found before anything changes: a few
        // definitions placed through one another many times can ask for
        // more than any drawing holds.
        const size_t defs = Used(EntBlockDef, EntBlockDefN);
        std::vector<int64_t> cost;
        try {
            cost.assign(defs, -1);
        } catch (const std::bad_alloc&) {
            Fail(TJwFailure::kOutOfMemory);
            return false;
        }
        int64_t budget = WorkAllowance();
        int64_t entries = std::max<int64_t>(n1, 0);
        for (size_t t = 0, nodes = Used(EntBlockTree, EntBlockTreeN); t < nodes && budget >= 0; ++t) {
            const int32_t defno = EntBlockTree[t].defno;
            if (defno < 0 || static_cast<size_t>(defno) >= defs) continue;
            int64_t& c = cost[static_cast<size_t>(defno)];
            if (c < 0) c = ExplodeCost(EntBlockDef[static_cast<size_t>(defno)]);
            budget -= c;
            entries += std::max<int32_t>(EntBlockDef[static_cast<size_t>(defno)].N, 0);
        }
        // The order list and every count must stay within their 32-bit range.
        if (budget < 0 || entries > INT32_MAX - kGrowStep) {
            Fail(TJwFailure::kTooComplex);
            return false;
        }
    }
    try {
        EntLine.resize(static_cast<size_t>(std::max(EntLineN, 0) + kGrowStep));
        EntEnko.resize(static_cast<size_t>(std::max(EntEnkoN, 0) + kGrowStep));
        EntTen.resize(static_cast<size_t>(std::max(EntTenN, 0) + kGrowStep));
        EntMoji.resize(static_cast<size_t>(std::max(EntMojiN, 0) + kGrowStep));
        EntSunpo.resize(static_cast<size_t>(std::max(EntSunpoN, 0) + kGrowStep));
        EntSolid.resize(static_cast<size_t>(std::max(EntSolidN, 0) + kGrowStep));
        EntNo.resize(static_cast<size_t>(std::max(n1, 0) + kGrowStep));
    } catch (const std::bad_alloc&) {
        Fail(TJwFailure::kOutOfMemory);
        return false;
    }

    const size_t defCount = Used(EntBlockDef, EntBlockDefN);
    for (size_t t = 0, nodes = Used(EntBlockTree, EntBlockTreeN); t < nodes; ++t) {
        const TEntJwwBlockTree& node = EntBlockTree[t];
        if (node.defno < 0 || static_cast<size_t>(node.defno) >= defCount) continue;
        const TEntJwwBlockDef& def = EntBlockDef[static_cast<size_t>(node.defno)];
        const double x = node.x, y = node.y, r1 = node.r1, r2 = node.r2, r3 = node.r3, r4 = node.r4;
        const bool lf = (node.att.nPenStyle & kOwnLayers) != 0;
        const int l1 = node.att.nGLayer, l2 = node.att.nLayer;
        for (size_t k = 0, entries = Used(def.mNo, def.N); k < entries; ++k) {
            const TEntJwwNo entry = def.mNo[k];
            if (entry.EntNo < 0) continue;
            const size_t i = static_cast<size_t>(entry.EntNo);
            bool ok = true;
            switch (entry.EntType) {
                case kEntLine:
                    if (i < Used(def.mLine, def.mLineN))
                        ok = BlockExplodeLine(x, y, r1, r2, r3, r4, def.mLine[i], lf, l1, l2);
                    break;
                case kEntEnko:
                    if (i < Used(def.mEnko, def.mEnkoN))
                        ok = BlockExplodeEnko(x, y, r1, r2, r3, r4, def.mEnko[i], lf, l1, l2);
                    break;
                case kEntTen:
                    if (i < Used(def.mTen, def.mTenN)) ok = BlockExplodeTen(x, y, r1, r2, r3, r4, def.mTen[i], lf, l1, l2);
                    break;
                case kEntMoji:
                    if (i < Used(def.mMoji, def.mMojiN))
                        ok = BlockExplodeMoji(x, y, r1, r2, r3, r4, def.mMoji[i], lf, l1, l2);
                    break;
                case kEntSunpo:
                    if (i < Used(def.mSunpo, def.mSunpoN))
                        ok = BlockExplodeSunpo(x, y, r1, r2, r3, r4, def.mSunpo[i], lf, l1, l2);
                    break;
                case kEntSolid:
                    if (i < Used(def.mSolid, def.mSolidN))
                        ok = BlockExplodeSolid(x, y, r1, r2, r3, r4, def.mSolid[i], lf, l1, l2);
                    break;
                default:  // nested inserts are nodes of their own
                    break;
            }
            if (!ok) {
                Fail(TJwFailure::kOutOfMemory);
                return false;
            }
        }
    }

    Trim(EntLine, EntLineN);
    Trim(EntEnko, EntEnkoN);
    Trim(EntTen, EntTenN);
    Trim(EntMoji, EntMojiN);
    Trim(EntSunpo, EntSunpoN);
    Trim(EntSolid, EntSolidN);
    Trim(EntNo, n1);

    EntBlockTree.clear();
    EntBlockTreeN = 0;
    EntBlockNum = 0;
    EntBlockDef.clear();
    EntBlockDefN = 0;
    HeaderN2() = 0;
    EntBlock.clear();
    EntBlockN = 0;
    for (TEntJwwNo& e : EntNo) {
        if (e.EntType == kEntBlock) e = TEntJwwNo{};
    }
    return true;
}

// ---- Whole-drawing transforms -------------------------------------------------------------

void TJwDocument::MoveEntALL(double dx, double dy) {
    ForEachTopPosition(*this, [&](double& x, double& y) {
        x += dx;
        y += dy;
    });
}

void TJwDocument::ScaleEntALL(double cx, double cy, double sc) {
    ForEachTopPosition(*this, [&](double& x, double& y) {
        x = cx + sc * (x - cx);
        y = cy + sc * (y - cy);
    });
    for (size_t i = 0, n = Used(EntEnko, EntEnkoN); i < n; ++i) EntEnko[i].dHankei *= sc;
    for (size_t i = 0, n = Used(EntTen, EntTenN); i < n; ++i) EntTen[i].dBairitsu *= sc;
    for (size_t i = 0, n = Used(EntSunpo, EntSunpoN); i < n; ++i) {
        TEntJwwSunpo& s = EntSunpo[i];
        if (s.bSxfMode == 0) continue;
        for (TEntJwwTen* t : {&s.Te1, &s.Te2, &s.Kt1, &s.Kt2}) t->dBairitsu *= sc;
    }
    for (size_t i = 0, n = Used(EntSolid, EntSolidN); i < n; ++i) {
        TEntJwwSolid& s = EntSolid[i];
        if (s.att.nPenStyle <= 100) continue;
        s.end_x *= sc;  // radius
        if (s.att.nPenStyle == 105 || s.att.nPenStyle == 106) s.DPoint3_y *= sc;  // inner radius of a ring
    }
    for (size_t i = 0, n = Used(EntBlock, EntBlockN); i < n; ++i) {
        EntBlock[i].dBairitsuX *= sc;
        EntBlock[i].dBairitsuY *= sc;
    }
}

// ---- Layer-group scales ---------------------------------------------

double TJwDocument::LayerGroupScale(int group) const {
    return group >= 0 && static_cast<size_t>(group) < EntLgrp.size() ? EntLgrp[static_cast<size_t>(group)].adScale
                                                                      : 0;
}

}  // namespace talvine
