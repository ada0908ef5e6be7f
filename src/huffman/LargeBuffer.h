// Sizes a byte string that is about to be filled. Large buffers ask the
// kernel for huge pages first, which makes the first touch of every page of a
// many-megabyte buffer several times cheaper.
#pragma once

#include <cstdint>
#include <string>

#if defined(__linux__)
#include <sys/mman.h>
#endif

inline void ResizeForFill(std::string& s, size_t size) {
#if defined(__linux__)
    constexpr uintptr_t kHuge = uintptr_t{2} << 20;
    if (size >= 4 * kHuge && s.capacity() < size) {
        s.reserve(size);
        const auto start = reinterpret_cast<uintptr_t>(s.data());
        const uintptr_t from = (start + kHuge - 1) & ~(kHuge - 1);
        const uintptr_t to = (start + size) & ~(kHuge - 1);
        if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
    }
#endif
    s.resize(size);
}
