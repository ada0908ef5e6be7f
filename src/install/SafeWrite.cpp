#include "install/SafeWrite.h"

#include <fcntl.h>
#include <sys/stat.h>
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

namespace {

// An open folder descriptor that closes itself.
class Folder {
  public:
    explicit Folder(int fd = -1) : fd_(fd) {}
    ~Folder() {
        if (fd_ >= 0) ::close(fd_);
    }
    Folder(Folder&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    Folder& operator=(Folder&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    int Get() const { return fd_; }

  private:
    int fd_;
};

mode_t CurrentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// Opens (creating when missing) the folder name inside parent without
// following a symbolic link.
Folder OpenChild(int parent, const std::string& name, const std::string& shown, std::string& why) {
    int fd = ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        if (::mkdirat(parent, name.c_str(), 0777) != 0 && errno != EEXIST) {
            why = shown + ": " + std::strerror(errno);
            return Folder();
        }
        fd = ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    }
    if (fd < 0) {
        const int err = errno;
        struct stat st {};
        if (::fstatat(parent, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
            why = shown + ": is a symbolic link, not followed";
        else if (err == ENOTDIR)
            why = shown + ": is not a folder";
        else
            why = shown + ": " + std::strerror(err);
    }
    return Folder(fd);
}

bool WriteAll(int fd, std::string_view contents) {
    while (!contents.empty()) {
        const ssize_t n = ::write(fd, contents.data(), contents.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        contents.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

// Writes contents into a new file in folder and renames it to name.
bool WriteInto(int folder, const std::string& name, std::string_view contents, mode_t mode,
               const std::string& shown, std::string& why, bool* replaced) {
    std::string temp;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temp = "." + name.substr(0, 200) + ".part-" + std::to_string(::getpid()) + "-" +
               std::to_string(attempt);
        fd = ::openat(folder, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                      0600);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        why = shown + ": " + std::strerror(errno);
        return false;
    }
    const bool written = WriteAll(fd, contents) && ::fchmod(fd, mode) == 0;
    const int err = errno;
    if (::close(fd) != 0 || !written) {
        why = shown + ": " + std::strerror(written ? errno : err);
        ::unlinkat(folder, temp.c_str(), 0);
        return false;
    }
    struct stat st {};
    const bool existed = ::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    if (existed && S_ISDIR(st.st_mode)) {
        why = shown + ": is a folder";
        ::unlinkat(folder, temp.c_str(), 0);
        return false;
    }
    if (::renameat(folder, temp.c_str(), folder, name.c_str()) != 0) {
        why = shown + ": " + std::strerror(errno);
        ::unlinkat(folder, temp.c_str(), 0);
        return false;
    }
    if (replaced) *replaced = existed;
    return true;
}

} // namespace

mode_t FileModeFor(std::string_view contents) {
    const bool program = contents.starts_with("\x7f" "ELF") || contents.starts_with("#!");
    return (program ? 0755 : 0644) & ~CurrentUmask();
}

bool WriteBelow(const std::filesystem::path& dir, const std::filesystem::path& relative,
                std::string_view contents, mode_t mode, std::string& why, bool* replaced) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    Folder folder(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.Get() < 0) {
        why = dir.string() + ": " + std::strerror(errno);
        return false;
    }
    std::filesystem::path shown = dir;
    for (const std::filesystem::path& part : relative.parent_path()) {
        shown /= part;
        folder = OpenChild(folder.Get(), part.string(), shown.string(), why);
        if (folder.Get() < 0) return false;
    }
    return WriteInto(folder.Get(), relative.filename().string(), contents, mode,
                     (dir / relative).string(), why, replaced);
}

bool WriteEntryBelow(const std::filesystem::path& dir, const std::filesystem::path& relative,
                     std::string_view contents, std::string& why, bool* replaced) {
    return WriteBelow(dir, relative, contents, FileModeFor(contents), why, replaced);
}
