// Files from the machine's own packages for the benches: Qt's plugins and
// libraries, documentation and icons, taken in turn from each folder in name
// order, so that every corpus mixes programs, text and pictures.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "common/AsciiCase.h"

inline const char* const kRealFolders[] = {"/usr/lib/x86_64-linux-gnu/qt6/plugins",
                                           "/usr/lib/x86_64-linux-gnu", "/usr/share/doc",
                                           "/usr/share/icons"};

// Regular files (no links, none empty, none of maxFileSize bytes or more)
// in turn from each folder, under distinct lower-case names, until maxFiles
// or maxBytes: name -> path.
inline std::map<std::string, std::filesystem::path> RealFiles(size_t maxFiles, uintmax_t maxBytes,
                                                              uintmax_t maxFileSize) {
    namespace fs = std::filesystem;
    std::vector<std::vector<fs::path>> lists;
    for (const char* folder : kRealFolders) {
        std::vector<fs::path> files;
        std::error_code ec;
        for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end;
             it.increment(ec))
            if (it->is_regular_file(ec) && !it->is_symlink(ec) && it->file_size(ec) > 0 &&
                it->file_size(ec) < maxFileSize)
                files.push_back(it->path());
        std::sort(files.begin(), files.end());
        lists.push_back(std::move(files));
    }
    std::map<std::string, fs::path> chosen;
    uintmax_t total = 0;
    for (size_t k = 0; chosen.size() < maxFiles && total < maxBytes; ++k) {
        bool any = false;
        for (const auto& files : lists) {
            if (k >= files.size() || chosen.size() >= maxFiles || total >= maxBytes) continue;
            any = true;
            const std::string name = LowerAscii(files[k].filename().string());
            if (chosen.emplace(name, files[k]).second) total += fs::file_size(files[k]);
        }
        if (!any) break;
    }
    return chosen;
}

// The files of RealFiles one after another, cut to size bytes (fewer when
// the machine has fewer).
inline std::string RealCorpus(size_t size) {
    std::string s;
    for (const auto& [name, path] : RealFiles(SIZE_MAX, size, UINTMAX_MAX)) {
        std::ifstream in(path, std::ios::binary);
        s.append(std::istreambuf_iterator<char>(in), {});
    }
    if (s.size() > size) s.resize(size);
    return s;
}
