// The 100 MB bench project: 200 files, half text-like and half binary-like,
// made the same way for every bench that saves or installs it.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

inline constexpr int kBenchFiles = 200;
inline constexpr size_t kBenchTotal = 100u << 20;

inline std::string BenchTextLike(size_t n, std::mt19937& rng) {
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

inline std::string BenchBinaryLike(size_t n, std::mt19937& rng) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) {
        // Mostly small values and zero runs, as in machine code and tables.
        const uint32_t r = rng();
        s[i] = static_cast<char>((r & 3) == 0 ? 0 : (r >> 8) % ((r & 4) ? 256 : 24));
    }
    return s;
}

// File i's name, "file<i>.dat".
inline std::string BenchFileName(int i) {
    return "file" + std::to_string(i) + ".dat";
}

// The contents of the 200 files, the same on every call.
inline std::vector<std::string> BenchFiles() {
    std::mt19937 rng(7);
    std::vector<std::string> files;
    for (int i = 0; i < kBenchFiles; ++i)
        files.push_back(i % 2 ? BenchBinaryLike(kBenchTotal / kBenchFiles, rng)
                              : BenchTextLike(kBenchTotal / kBenchFiles, rng));
    return files;
}

// The same contents, made once for the whole run.
inline const std::vector<std::string>& BenchContents() {
    static const std::vector<std::string> files = BenchFiles();
    return files;
}
