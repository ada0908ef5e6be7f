// Absolute setup paths.
#include "app/StartupPaths.h"

#include <filesystem>

std::string AbsoluteSetupPath(const std::string& path) {
    if (path.empty()) return path;
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    if (ec) return path;
    // "." parts go; ".." stays, since a link before it decides where it leads.
    std::filesystem::path out;
    for (const std::filesystem::path& part : absolute)
        if (part != ".") out /= part;
    return out.string();
}
