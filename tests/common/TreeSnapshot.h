// A folder tree as it lies on disk, to tell whether an undone installation
// left it byte for byte as before: every entry's kind, mode, inode (a file
// put back is the same file, its hard links intact), contents or link target.
// Links are never followed.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>

#include "TestHost.h"

using TreeSnapshot = std::map<std::string, std::string>;

inline void SnapshotInto(const std::filesystem::path& root, const std::filesystem::path& dir,
                         TreeSnapshot& out) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
        const std::filesystem::path p = entry.path();
        struct stat st {};
        if (::lstat(p.c_str(), &st) != 0) continue;
        std::string description = std::to_string(st.st_mode) + " " + std::to_string(st.st_uid);
        if (S_ISREG(st.st_mode)) {
            description += " inode " + std::to_string(st.st_ino) + " " + ReadFile(p.string());
        } else if (S_ISLNK(st.st_mode)) {
            description += " -> " + std::filesystem::read_symlink(p, ec).string();
        }
        out[std::filesystem::relative(p, root).string()] = description;
        if (S_ISDIR(st.st_mode)) SnapshotInto(root, p, out);
    }
}

inline TreeSnapshot Snapshot(const std::filesystem::path& root) {
    TreeSnapshot out;
    SnapshotInto(root, root, out);
    return out;
}

// The entries that differ, one per line, for a failure message.
inline std::string SnapshotDifference(const TreeSnapshot& before, const TreeSnapshot& after) {
    std::string out;
    for (const auto& [path, what] : before) {
        const auto found = after.find(path);
        if (found == after.end())
            out += "gone: " + path + "\n";
        else if (found->second != what)
            out += "changed: " + path + "\n";
    }
    for (const auto& [path, what] : after)
        if (!before.count(path)) out += "new: " + path + "\n";
    return out;
}
