#include "install/SafeWrite.h"

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

std::optional<std::filesystem::path> SafeRelativePath(const std::string& name) {
    std::string rest = name;
    if (rest.size() >= 2 && rest[1] == ':') rest.erase(0, 2); // a drive letter
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

FolderHandle::~FolderHandle() {
    if (fd_ >= 0) ::close(fd_);
}

FolderHandle& FolderHandle::operator=(FolderHandle&& other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
}

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// Why the folder name inside parent could not be opened (err from openat).
std::string OpenFailure(int parent, const std::string& name, const std::string& shown, int err) {
    struct stat st {};
    if (::fstatat(parent, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
        return shown + ": is a symbolic link, not followed";
    if (err == ENOTDIR) return shown + ": is not a folder";
    return shown + ": " + std::strerror(err);
}

// Opens (with create, making it when missing) the folder name inside parent
// without following a symbolic link.
FolderHandle OpenChild(int parent, const std::string& name, const std::filesystem::path& shown,
                       bool create, const BeforeMakeFolder& beforeMake, std::string& why,
                       bool* missing) {
    int fd = ::openat(parent, name.c_str(), kFolderFlags);
    if (fd < 0 && errno == ENOENT && create) {
        if (beforeMake && !beforeMake(shown, why)) return FolderHandle();
        if (::mkdirat(parent, name.c_str(), 0777) != 0 && errno != EEXIST) {
            why = shown.string() + ": " + std::strerror(errno);
            return FolderHandle();
        }
        fd = ::openat(parent, name.c_str(), kFolderFlags);
    }
    if (fd < 0) {
        if (missing) *missing = errno == ENOENT;
        why = OpenFailure(parent, name, shown.string(), errno);
    }
    return FolderHandle(fd);
}

} // namespace

FolderHandle OpenFolderBelow(const std::filesystem::path& dir,
                             const std::filesystem::path& relative, bool create, std::string& why,
                             const BeforeMakeFolder& beforeMake, bool* missing) {
    if (missing) *missing = false;
    if (create) {
        std::error_code ec;
        std::filesystem::create_directories(dir, ec);
    }
    FolderHandle folder(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.IsOpen()) {
        if (missing) *missing = errno == ENOENT;
        why = dir.string() + ": " + std::strerror(errno);
        return folder;
    }
    std::filesystem::path shown = dir;
    for (const std::filesystem::path& part : relative) {
        if (part.empty() || part == ".") continue;
        shown /= part;
        folder = OpenChild(folder.Get(), part.string(), shown, create, beforeMake, why, missing);
        if (!folder.IsOpen()) break;
    }
    return folder;
}

std::optional<struct stat> StatIn(const FolderHandle& folder, const std::string& name) {
    struct stat st {};
    if (::fstatat(folder.Get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return std::nullopt;
    return st;
}

int CreateFileIn(const FolderHandle& folder, const std::string& temp, const std::string& shown,
                 std::string& why) {
    const int fd = ::openat(folder.Get(), temp.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) why = shown + ": " + std::strerror(errno);
    return fd;
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

bool FinishFile(const FolderHandle& folder, const std::string& temp, int fd, mode_t mode,
                const std::string& shown, std::string& why) {
    const bool moded = ::fchmod(fd, mode) == 0;
    const int err = errno;
    if (::close(fd) != 0 || !moded) {
        why = shown + ": " + std::strerror(moded ? errno : err);
        ::unlinkat(folder.Get(), temp.c_str(), 0);
        return false;
    }
    return true;
}

bool RenameIntoPlace(const FolderHandle& folder, const std::string& temp, const std::string& name,
                     const std::string& shown, std::string& why, bool* replaced) {
    const std::optional<struct stat> before = StatIn(folder, name);
    if (before && S_ISDIR(before->st_mode)) {
        why = shown + ": is a folder";
        ::unlinkat(folder.Get(), temp.c_str(), 0);
        return false;
    }
    if (::renameat(folder.Get(), temp.c_str(), folder.Get(), name.c_str()) != 0) {
        why = shown + ": " + std::strerror(errno);
        ::unlinkat(folder.Get(), temp.c_str(), 0);
        return false;
    }
    if (replaced) *replaced = before.has_value();
    return true;
}

std::string PrivateName(std::string_view what) {
    uint64_t random = 0;
    if (::getrandom(&random, sizeof random, 0) != sizeof random) {
        static uint64_t counter = 0;
        random = (static_cast<uint64_t>(::time(nullptr)) << 20) ^ ++counter;
    }
    static const char kHex[] = "0123456789abcdef";
    std::string name = "." + std::string(what) + "-" + std::to_string(::getpid()) + "-";
    for (int shift = 60; shift >= 0; shift -= 4)
        name += kHex[(random >> shift) & 15];
    return name;
}

mode_t FileModeFor(std::string_view contents) {
    const bool program = contents.starts_with("\x7f"
                                              "ELF") ||
                         contents.starts_with("#!");
    return (program ? 0755 : 0644) & ~CurrentUmask();
}

bool WriteBelow(const std::filesystem::path& dir, const std::filesystem::path& relative,
                std::string_view contents, mode_t mode, std::string& why, bool* replaced) {
    const FolderHandle folder = OpenFolderBelow(dir, relative.parent_path(), true, why);
    if (!folder.IsOpen()) return false;
    const std::string shown = (dir / relative).string();
    const std::string temp = PrivateName("part");
    const int fd = CreateFileIn(folder, temp, shown, why);
    if (fd < 0) return false;
    if (!WriteAll(fd, contents)) {
        why = shown + ": " + std::strerror(errno);
        ::close(fd);
        ::unlinkat(folder.Get(), temp.c_str(), 0);
        return false;
    }
    return FinishFile(folder, temp, fd, mode, shown, why) &&
           RenameIntoPlace(folder, temp, relative.filename().string(), shown, why, replaced);
}

bool WriteEntryBelow(const std::filesystem::path& dir, const std::filesystem::path& relative,
                     std::string_view contents, std::string& why, bool* replaced) {
    return WriteBelow(dir, relative, contents, FileModeFor(contents), why, replaced);
}
