// Sizes a byte string that is about to be filled. Large buffers ask the
// kernel for huge pages first, which makes the first touch of every page of a
// many-megabyte buffer several times cheaper.
#pragma once

#include <cstdint>
#include <string>

#if defined(__linux__)
#include <sys/mman.h>
#endif

inline void AdviseHugePages(char* data, size_t size) {
#if defined(__linux__)
    constexpr uintptr_t kHuge = uintptr_t{2} << 20;
    if (size >= 4 * kHuge) {
        const auto start = reinterpret_cast<uintptr_t>(data);
        const uintptr_t from = (start + kHuge - 1) & ~(kHuge - 1);
        const uintptr_t to = (start + size) & ~(kHuge - 1);
        if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
    }
#else
    (void)data;
    (void)size;
#endif
}

inline void ResizeForFill(std::string& s, size_t size) {
    if (s.capacity() < size) {
        s.reserve(size);
        AdviseHugePages(s.data(), size);
    }
    s.resize(size);
}

// Makes s size bytes long and has fill write them (fill(data, size) returns
// how many to keep), without first zeroing them where the library allows.
template <class Fill> void FillFresh(std::string& s, size_t size, Fill&& fill) {
#if defined(__cpp_lib_string_resize_and_overwrite)
    s.clear();
    s.resize_and_overwrite(size, [&](char* data, size_t n) {
        AdviseHugePages(data, n);
        return fill(data, n);
    });
#else
    ResizeForFill(s, size);
    s.resize(fill(s.data(), size));
#endif
}

// Appends up to extra bytes to s that fill writes (fill(data, extra)
// returns how many to keep), without first zeroing them where the library
// allows.
template <class Fill> void AppendFresh(std::string& s, size_t extra, Fill&& fill) {
    const size_t at = s.size();
#if defined(__cpp_lib_string_resize_and_overwrite)
    s.resize_and_overwrite(at + extra,
                           [&](char* data, size_t) { return at + fill(data + at, extra); });
#else
    s.resize(at + extra);
    s.resize(at + fill(s.data() + at, extra));
#endif
}
