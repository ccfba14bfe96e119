// The block tree: every placement of every block definition, top level and
// nested, with its absolute placement, in breadth-first order.
//
//   insert (gx, gy, sx, sy, theta) inside a parent placed at (x, y, r1..r4):
//     local   l1 = sx cos t   l2 = -sy sin t      (scale first, then rotate)
//             l3 = sx sin t   l4 =  sy cos t
//     origin  (x + r1 gx + r2 gy,  y + r3 gx + r4 gy)
//     linear  [r1 r2; r3 r4] * [l1 l2; l3 l4]
#include <cmath>
#include <memory>
#include <new>
#include <unordered_map>
#include <unordered_set>

#include "jww/JwDocument.h"
#include "jww/Placement.h"
#include "util/Func_2.h"
#include "util/Maths.h"

namespace talvine {

namespace {

void SetPlacement(TEntJwwBlockTree& n, const TPlacement& p) {
    n.x = p.x;
    n.y = p.y;
    n.r1 = p.r1;
    n.r2 = p.r2;
    n.r3 = p.r3;
    n.r4 = p.r4;
}

const std::u16string kSuffixMark = u"@@SFIG";

// Position of the name's suffix (its first "@@SFIG", any case), or npos.
size_t SuffixPos(const std::u16string& name) {
    if (name.size() < kSuffixMark.size()) return std::u16string::npos;
    return UpperStr(name).find(kSuffixMark);
}

std::u16string BaseName(const std::u16string& name) {
    const size_t p = SuffixPos(name);
    return p == std::u16string::npos ? name : name.substr(0, p);
}

}  // namespace

TPlacement PlacementOf(const TEntJwwBlock& b) {
    const double c = math::Cos(b.radKaitenKaku), s = math::Sin(b.radKaitenKaku);
    return TPlacement{b.DPKijunTen_x, b.DPKijunTen_y, b.dBairitsuX * c, -b.dBairitsuY * s, b.dBairitsuX * s,
                      b.dBairitsuY * c};
}

void TJwDocument::MakeBlockTree() {
    bBlockTreeCut = false;
    try {
        BuildBlockTree();
    } catch (const std::bad_alloc&) {
        // Whatever the tree holds stays; the marks may be incomplete, so
        // nothing built on them may be trusted either.
        EntBlockTreeN = static_cast<int32_t>(EntBlockTree.size());
        bBlockTreeCut = true;
        Fail(TJwFailure::kOutOfMemory);
    }
}

void TJwDocument::BuildBlockTree() {
    EntBlockTree.clear();
    EntBlockTreeN = 0;
    for (auto& d : EntBlockDef) {
        d.ref_flag = false;
        d.ref_no = -1;
    }
    const int32_t defCount = std::min<int32_t>(EntBlockDefN, static_cast<int32_t>(EntBlockDef.size()));
    const int32_t insertCount = std::min<int32_t>(EntBlockN, static_cast<int32_t>(EntBlock.size()));
    if (insertCount <= 0) {
        // Nothing is placed, so nothing is written.
        EntBlockNum = 0;
        return;
    }

    std::unordered_map<uint32_t, int32_t> byNumber;  // first definition with each number
    for (int32_t i = 0; i < defCount; ++i) byNumber.try_emplace(EntBlockDef[static_cast<size_t>(i)].nNumber, i);
    auto resolve = [&](uint32_t number) {
        auto it = byNumber.find(number);
        return it == byNumber.end() ? -1 : it->second;
    };
    // Each definition's name is held once and shared by its nodes.
    std::vector<TSharedName> names(static_cast<size_t>(defCount));
    auto nameOf = [&](int32_t defno) {
        TSharedName& n = names[static_cast<size_t>(defno)];
        if (n.empty() && !EntBlockDef[static_cast<size_t>(defno)].strName.empty())
            n = TSharedName(std::make_shared<const std::u16string>(EntBlockDef[static_cast<size_t>(defno)].strName));
        return n;
    };

    // Work: one unit per node and per step up a node's path in the search
    // for a cycle.
    int64_t budget = WorkAllowance();
    auto cut = [&] {
        bBlockTreeCut = true;
        Fail(TJwFailure::kTooComplex);
    };

    // Every insert of the drawing has its node, however many there are: they
    // are part of the file.
    EntBlockTree.reserve(static_cast<size_t>(insertCount));
    for (int32_t j = 0; j < insertCount; ++j) {
        const TEntJwwBlock& b = EntBlock[static_cast<size_t>(j)];
        TEntJwwBlockTree node;
        node.att = b.att;
        node.level = 0;
        node.parent = -1;
        node.no = b.nNumber;
        SetPlacement(node, PlacementOf(b));
        node.defno = resolve(b.nNumber);
        if (node.defno >= 0) node.name = nameOf(node.defno);
        EntBlockTree.push_back(std::move(node));
    }
    budget -= static_cast<int64_t>(EntBlockTree.size());

    // Expansion. A placement of a definition that already lies on its own
    // path (a definition placing itself, directly or through others) is kept
    // but not expanded. The tree stops growing at kMaxBlockTreeNodes or when
    // the work allowance is spent.
    for (size_t k = 0; k < EntBlockTree.size() && !bBlockTreeCut; ++k) {
        const int32_t defno = EntBlockTree[k].defno;
        if (defno < 0) continue;
        const TEntJwwBlockDef& def = EntBlockDef[static_cast<size_t>(defno)];
        const int32_t inner = std::min<int32_t>(def.mBlockN, static_cast<int32_t>(def.mBlock.size()));
        if (inner <= 0) continue;
        bool cycle = false;
        for (int32_t a = EntBlockTree[k].parent; a >= 0; a = EntBlockTree[static_cast<size_t>(a)].parent) {
            --budget;
            if (EntBlockTree[static_cast<size_t>(a)].defno == defno) {
                cycle = true;
                break;
            }
        }
        if (cycle) continue;
        budget -= inner;
        if (budget < 0 || EntBlockTree.size() + static_cast<size_t>(inner) > static_cast<size_t>(kMaxBlockTreeNodes)) {
            cut();
            break;
        }
        const TEntJwwBlockTree parent = EntBlockTree[k];
        const TPlacement placed = PlacementOf(parent);
        for (int32_t l = 0; l < inner; ++l) {
            const TEntJwwBlock& b = def.mBlock[static_cast<size_t>(l)];
            TEntJwwBlockTree node;
            node.att = def.att;
            node.level = parent.level + 1;
            node.parent = static_cast<int32_t>(k);
            node.no = b.nNumber;
            SetPlacement(node, placed.Compose(PlacementOf(b)));
            node.defno = resolve(b.nNumber);
            if (node.defno >= 0) node.name = nameOf(node.defno);
            ReserveMore(EntBlockTree);
            EntBlockTree.push_back(std::move(node));
        }
    }
    EntBlockTreeN = static_cast<int32_t>(EntBlockTree.size());

    // Reference marks: every definition reachable from the drawing's inserts.
    // Computed over the definitions rather than the tree, so that they stay
    // complete when the tree was cut short.
    std::vector<int32_t> pending;
    auto mark = [&](int32_t d) {
        if (d >= 0 && !EntBlockDef[static_cast<size_t>(d)].ref_flag) {
            EntBlockDef[static_cast<size_t>(d)].ref_flag = true;
            pending.push_back(d);
        }
    };
    for (int32_t j = 0; j < insertCount; ++j) mark(resolve(EntBlock[static_cast<size_t>(j)].nNumber));
    while (!pending.empty()) {
        const TEntJwwBlockDef& def = EntBlockDef[static_cast<size_t>(pending.back())];
        pending.pop_back();
        const int32_t inner = std::min<int32_t>(def.mBlockN, static_cast<int32_t>(def.mBlock.size()));
        for (int32_t l = 0; l < inner; ++l) mark(resolve(def.mBlock[static_cast<size_t>(l)].nNumber));
    }
    int32_t next = 0;
    for (int32_t i = 0; i < defCount; ++i) {
        auto& d = EntBlockDef[static_cast<size_t>(i)];
        if (d.ref_flag) d.ref_no = next++;
    }
    EntBlockNum = next;
}

int TJwDocument::GetBlkNo(const std::u16string& ps) const {
    try {
        return FindBlkNo(ps);
    } catch (const std::bad_alloc&) {
        return -1;
    }
}

int TJwDocument::FindBlkNo(const std::u16string& ps) const {
    const std::u16string base = BaseName(ps);
    const int32_t defCount = std::min<int32_t>(EntBlockDefN, static_cast<int32_t>(EntBlockDef.size()));
    for (int32_t i = 0; i < defCount; ++i) {
        if (BaseName(EntBlockDef[static_cast<size_t>(i)].strName) == base) return i;
    }
    return -1;
}

int TJwDocument::GetBlkNumber(int bdn) const {
    if (bdn < 0 || bdn >= EntBlockDefN || bdn >= static_cast<int>(EntBlockDef.size())) return -1;
    return static_cast<int>(EntBlockDef[static_cast<size_t>(bdn)].nNumber);
}

std::u16string TJwDocument::GetBlkName(const std::u16string& ps) const {
    try {
        return FreeBlkName(ps);
    } catch (const std::bad_alloc&) {
        return std::u16string();
    }
}

std::u16string TJwDocument::FreeBlkName(const std::u16string& ps) const {
    if (FindBlkNo(ps) == -1) return ps;
    const size_t p = SuffixPos(ps);
    const std::u16string base = p == std::u16string::npos ? ps : ps.substr(0, p);
    const std::u16string suffix = p == std::u16string::npos ? std::u16string() : ps.substr(p);
    std::unordered_set<std::u16string> used;
    const int32_t defCount = std::min<int32_t>(EntBlockDefN, static_cast<int32_t>(EntBlockDef.size()));
    for (int32_t i = 0; i < defCount; ++i) used.insert(BaseName(EntBlockDef[static_cast<size_t>(i)].strName));
    for (int n = 1;; ++n) {
        std::u16string candidate = base + u"~" + IntToStrDec(n);
        if (!used.count(candidate)) return candidate + suffix;
    }
}

uint32_t TJwDocument::ChangeBlockNo(uint32_t n) const {
    for (int32_t i = 0; i < EntBlockDefN && i < static_cast<int32_t>(EntBlockDef.size()); ++i) {
        const auto& d = EntBlockDef[static_cast<size_t>(i)];
        if (d.nNumber == n) return d.ref_flag ? static_cast<uint32_t>(d.ref_no) : n;
    }
    return 0;
}

}  // namespace talvine
