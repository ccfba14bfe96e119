// TArray: std::vector for the arrays of a drawing, which may hold millions of
// records. Arrays of 2 MB and more take their memory from
// platform::AllocateLarge (large pages where the system offers them);
// smaller ones, and every array of a sanitizer build (whose checks need
// the ordinary heap), from operator new.
#pragma once

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

}  // namespace talvine
