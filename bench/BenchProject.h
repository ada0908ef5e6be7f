// The 100 MB bench project: 200 files, half text-like and half binary-like,
// generated from a fixed seed (the same contents bench_setup saves).
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace bench_project {

inline constexpr int kFiles = 200;
inline constexpr size_t kTotal = 100u << 20;

inline std::string TextLike(size_t n, std::mt19937& rng) {
    static const char* const kWords[] = {"the ",     "setup ",  "installs ", "files ",
                                         "into ",    "folder ", "of ",       "a ",
                                         "program ", "and\r\n", "with ",     "shortcuts ",
                                         "for ",     "each ",   "user ",     "component. "};
    std::string s;
    s.reserve(n + 16);
    while (s.size() < n)
        s += kWords[rng() % 16];
    s.resize(n);
    return s;
}

// Mostly small values and zero runs, as in machine code and tables.
inline std::string BinaryLike(size_t n, std::mt19937& rng) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) {
        const uint32_t r = rng();
        s[i] = static_cast<char>((r & 3) == 0 ? 0 : (r >> 8) % ((r & 4) ? 256 : 24));
    }
    return s;
}

// The files' contents, made once.
inline const std::vector<std::string>& Contents() {
    static const std::vector<std::string> files = [] {
        std::mt19937 rng(7);
        std::vector<std::string> out;
        for (int i = 0; i < kFiles; ++i)
            out.push_back(i % 2 ? BinaryLike(kTotal / kFiles, rng)
                                : TextLike(kTotal / kFiles, rng));
        return out;
    }();
    return files;
}

} // namespace bench_project
