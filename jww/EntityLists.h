// The entity lists of one level of a document: its top level or the members
// of one block definition, with the order list that says in what order
// they are drawn; and the one way to append to them.
#pragma once

#include <climits>
#include <cstdint>
#include <type_traits>
#include <utility>

#include "jww/jwwtype.h"
#include "util/LargeArray.h"

namespace talvine {

// References to one entity list: the document's top level or the members of
// one block definition. The section reader and writer work on either;
// TEntityView is the read-only form (the writer, the tally, pictures).
template <bool kReadOnly>
struct TEntityListsOf {
    template <class T>
    using Array = std::conditional_t<kReadOnly, const TArray<T>&, TArray<T>&>;
    using Count = std::conditional_t<kReadOnly, const int32_t&, int32_t&>;
    Array<TEntJwwNo> No;
    Array<TEntJwwLine> Line;
    Count LineN;
    Array<TEntJwwEnko> Enko;
    Count EnkoN;
    Array<TEntJwwTen> Ten;
    Count TenN;
    Array<TEntJwwMoji> Moji;
    Count MojiN;
    Array<TEntJwwSunpo> Sunpo;
    Count SunpoN;
    Array<TEntJwwSolid> Solid;
    Count SolidN;
    Array<TEntJwwBlock> Block;
    Count BlockN;
};
using TEntityLists = TEntityListsOf<false>;
using TEntityView = TEntityListsOf<true>;
TEntityLists ListsOf(TEntJwwBlockDef& def);
TEntityView ListsOf(const TEntJwwBlockDef& def);
// Cuts each of the seven entity lists (not the order list) to its count;
// with release, spare room is given back (see TrimTo).
void TrimLists(const TEntityLists& L, bool release);

// Appends rec to its list in L and names it at the end of L's order list,
// of which `order` entries are used. Room is made `step` entries at a time:
// when the entry is one past a whole step, or its list is too short for it,
// the list becomes entry + step - 1 long (step 1: one longer, as
// push_back grows it; lists never shrink here). Running out of memory
// (std::bad_alloc from a list) leaves every count and every entry below
// it as they were. False, without change, when a count is negative or at
// its limit.
template <class T>
bool AppendEntity(const TEntityLists& L, int32_t& order, T&& rec, int32_t step);

namespace entity_lists_detail {

template <class T>
struct Slot {
    TArray<T>& arr;
    int32_t& n;
    int32_t kind;
};
inline Slot<TEntJwwLine> SlotOf(const TEntityLists& L, const TEntJwwLine&) { return {L.Line, L.LineN, kEntLine}; }
inline Slot<TEntJwwEnko> SlotOf(const TEntityLists& L, const TEntJwwEnko&) { return {L.Enko, L.EnkoN, kEntEnko}; }
inline Slot<TEntJwwTen> SlotOf(const TEntityLists& L, const TEntJwwTen&) { return {L.Ten, L.TenN, kEntTen}; }
inline Slot<TEntJwwMoji> SlotOf(const TEntityLists& L, const TEntJwwMoji&) { return {L.Moji, L.MojiN, kEntMoji}; }
inline Slot<TEntJwwSunpo> SlotOf(const TEntityLists& L, const TEntJwwSunpo&) {
    return {L.Sunpo, L.SunpoN, kEntSunpo};
}
inline Slot<TEntJwwSolid> SlotOf(const TEntityLists& L, const TEntJwwSolid&) {
    return {L.Solid, L.SolidN, kEntSolid};
}
inline Slot<TEntJwwBlock> SlotOf(const TEntityLists& L, const TEntJwwBlock&) {
    return {L.Block, L.BlockN, kEntBlock};
}

// Makes room for entry c (1-based) of arr.
template <class T>
void Grow(TArray<T>& arr, int32_t c, int32_t step) {
    if (c % step != 1 && arr.size() >= static_cast<size_t>(c)) return;
    const size_t len = static_cast<size_t>(c) + static_cast<size_t>(step) - 1;
    if (arr.size() < len) arr.resize(len);
}

}  // namespace entity_lists_detail

// Inlined: the dimension explode appends hundreds of thousands of records.
template <class T>
[[gnu::always_inline]] inline bool AppendEntity(const TEntityLists& L, int32_t& order, T&& rec, int32_t step) {
    using namespace entity_lists_detail;
    auto s = SlotOf(L, rec);
    if (s.n < 0 || order < 0 || s.n == INT32_MAX || order == INT32_MAX) return false;
    const int32_t c = s.n + 1;
    const int32_t o = order + 1;
    if (step == 1 && s.arr.size() == static_cast<size_t>(c - 1) && L.No.size() == static_cast<size_t>(o - 1)) {
        // Lists cut to their counts grow by one. Should the order list fail
        // to, the record stays beyond its list's count, where nothing reads it.
        s.arr.push_back(std::forward<T>(rec));
        L.No.push_back(TEntJwwNo{s.kind, c - 1});
    } else {
        Grow(s.arr, c, step);
        Grow(L.No, o, step);
        s.arr[static_cast<size_t>(c - 1)] = std::forward<T>(rec);
        L.No[static_cast<size_t>(o - 1)] = TEntJwwNo{s.kind, c - 1};
    }
    s.n = c;
    order = o;
    return true;
}

}  // namespace talvine
