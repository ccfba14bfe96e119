// TArray: std::vector for the arrays of a drawing, which may hold millions of
// records. Arrays of 2 MB and more take their memory from
// platform::AllocateLarge (large pages where the system offers them);
// smaller ones, and every array of a sanitizer build (whose checks need
// the ordinary heap), from operator new.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

#include "util/Platform.h"

#if defined(__SANITIZE_ADDRESS__)
#define TALVINE_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TALVINE_ADDRESS_SANITIZER 1
#endif
#endif

namespace talvine {

template <class T>
struct TArrayAllocator {
    using value_type = T;
    static constexpr size_t kLargeBytes = size_t{1} << 21;

    TArrayAllocator() = default;
    template <class U>
    TArrayAllocator(const TArrayAllocator<U>&) noexcept {}

    T* allocate(size_t n) {
        if (IsLarge(n)) {
            if (n > SIZE_MAX / sizeof(T)) throw std::bad_array_new_length();
            if (void* p = platform::AllocateLarge(n * sizeof(T))) return static_cast<T*>(p);
            throw std::bad_alloc();
        }
        return std::allocator<T>().allocate(n);
    }
    void deallocate(T* p, size_t n) noexcept {
        if (IsLarge(n))
            platform::FreeLarge(p, n * sizeof(T));
        else
            std::allocator<T>().deallocate(p, n);
    }

    template <class U>
    bool operator==(const TArrayAllocator<U>&) const noexcept {
        return true;
    }

private:
    static bool IsLarge(size_t n) {
#ifdef TALVINE_ADDRESS_SANITIZER
        (void)n;
        return false;
#else
        return n >= kLargeBytes / sizeof(T);
#endif
    }
};

template <class T>
using TArray = std::vector<T, TArrayAllocator<T>>;

// Room for count more elements. The capacity at least doubles, as the
// vector's own growth does, but an array that outgrows 1 MB goes straight
// to large-page size, so that on its way there it does not first fill
// megabytes of small pages, one page fault each. When the caller knows the
// most elements the array can come to (atMost), it goes there at once: the
// pages it never fills cost nothing, and it is not copied again and again
// while it grows. Should that much memory not be had, it grows as usual.
// Elements of an array that count: its count n, but no more than it holds.
template <class Array>
size_t Used(const Array& v, int32_t n) {
    return n <= 0 ? 0 : std::min(v.size(), static_cast<size_t>(n));
}

// Cuts arr to its count n (to nothing when n is negative); with release,
// room to spare of more than a quarter of that is given back.
template <class T>
void TrimTo(TArray<T>& arr, int32_t n, bool release) {
    arr.resize(static_cast<size_t>(std::max(n, 0)));
    if (release && arr.capacity() > arr.size() + arr.size() / 4) arr.shrink_to_fit();
}

template <class T>
void ReserveMore(TArray<T>& a, size_t count = 1, size_t atMost = 0) {
    if (a.capacity() - a.size() >= count) return;
    constexpr size_t kJump = (size_t{1} << 20) / sizeof(T);  // a large page at least half used
    constexpr size_t kLarge = (TArrayAllocator<T>::kLargeBytes + sizeof(T) - 1) / sizeof(T);
    const size_t usual = std::max({a.size() + count, a.capacity() * 2, size_t{16}});
    if (usual <= kJump) {
        a.reserve(usual);
        return;
    }
    const size_t want = std::max({usual, kLarge, atMost});
    try {
        a.reserve(want);
    } catch (const std::bad_alloc&) {
        if (want == usual) throw;
        a.reserve(usual);
    }
}

}  // namespace talvine
