// The ".exe" rule and absolute paths, on the file system directly.
#include "app/StartupPaths.h"

#include <sys/stat.h>

#include <filesystem>

#include "common/AsciiCase.h"

namespace {

bool IsFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

} // namespace

std::string WithExeExtension(const std::string& path) {
    if (path.size() >= 4 && LowerAscii(path.substr(path.size() - 4)) == ".exe") return path;
    return path + ".exe";
}

std::string SetupToOpen(const std::string& chosen) {
    const std::string withExe = WithExeExtension(chosen);
    if (withExe != chosen && IsFile(chosen) && !IsFile(withExe)) return chosen;
    return withExe;
}

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
