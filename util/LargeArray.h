// TArray: std::vector for the arrays of a drawing, which may hold millions of
// records. Arrays of 2 MB and more take their memory from
// platform::AllocateLarge (large pages where the system offers them);
// smaller ones, and every array of a sanitizer build (whose checks need
// the ordinary heap), from operator new.
#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <new>
#include <vector>

#include "util/Platform.h"

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
#if defined(__SANITIZE_ADDRESS__)
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
// vector's own growth does, but an array that outgrows 256 kB goes straight
// to 2 MB, so that on its way to large pages it does not first fill
// megabytes of small ones, one page fault each.
template <class T>
void ReserveMore(TArray<T>& a, size_t count = 1) {
    if (a.capacity() - a.size() >= count) return;
    constexpr size_t kJump = (size_t{256} << 10) / sizeof(T);
    constexpr size_t kLarge = (TArrayAllocator<T>::kLargeBytes + sizeof(T) - 1) / sizeof(T);
    size_t want = std::max({a.size() + count, a.capacity() * 2, size_t{16}});
    if (want > kJump && want < kLarge) want = kLarge;
    a.reserve(want);
}

}  // namespace talvine
