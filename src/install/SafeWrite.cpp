#include "install/SafeWrite.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

std::optional<std::filesystem::path> SafeRelativePath(const std::string& name) {
    std::string rest = name;
    if (rest.size() >= 2 && rest[1] == ':') rest.erase(0, 2);  // a drive letter
    std::filesystem::path out;
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = rest.find_first_of("\\/", start);
        if (end == std::string::npos) end = rest.size();
        const std::string part = rest.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == ".") continue;
        if (part == ".." || part.find('\0') != std::string::npos) return std::nullopt;
        out /= part;
    }
    if (out.empty()) return std::nullopt;
    return out;
}

bool WriteBelow(const std::filesystem::path& dir, const std::filesystem::path& relative,
                const std::string& contents, std::string& why) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path at = dir;
    fs::path parts = relative.parent_path();
    for (const fs::path& part : parts) {
        at /= part;
        const auto st = fs::symlink_status(at, ec);
        if (fs::is_symlink(st)) {
            why = at.string() + ": is a symbolic link, not followed";
            return false;
        }
        if (!fs::exists(st)) {
            fs::create_directory(at, ec);
            if (ec) {
                why = at.string() + ": " + ec.message();
                return false;
            }
        } else if (!fs::is_directory(st)) {
            why = at.string() + ": is not a folder";
            return false;
        }
    }
    const fs::path file = dir / relative;
    const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        why = file.string() + ": " + std::strerror(errno);
        return false;
    }
    size_t written = 0;
    while (written < contents.size()) {
        const ssize_t w = write(fd, contents.data() + written, contents.size() - written);
        if (w < 0) {
            if (errno == EINTR) continue;
            why = file.string() + ": " + std::strerror(errno);
            close(fd);
            return false;
        }
        written += static_cast<size_t>(w);
    }
    if (close(fd) != 0) {
        why = file.string() + ": " + std::strerror(errno);
        return false;
    }
    return true;
}
