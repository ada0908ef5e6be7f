#include "install/SafeWrite.h"

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/Errors.h"

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

int FolderHandle::Close() {
    if (fd_ < 0) return 0;
    const int result = ::close(fd_);
    fd_ = -1;
    return result == 0 ? 0 : errno;
}

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// Why the folder name inside parent could not be opened (err from openat).
[[noreturn]] void OpenFailure(int parent, const std::string& name, const std::string& shown,
                              int err) {
    struct stat st {};
    if (::fstatat(parent, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
        throw Refused("is a symbolic link, not followed", shown);
    if (err == ENOTDIR) throw Refused("is not a folder", shown);
    throw IoError(err, shown);
}

// Opens (with Create, making it when missing) the folder name inside parent
// without following a symbolic link; closed when it is missing and may be.
FolderHandle OpenChild(int parent, const std::string& name, const std::filesystem::path& shown,
                       FolderWalk walk, const BeforeMakeFolder& beforeMake) {
    int fd = ::openat(parent, name.c_str(), kFolderFlags);
    if (fd < 0 && errno == ENOENT && walk == FolderWalk::Create) {
        if (beforeMake) beforeMake(shown);
        if (::mkdirat(parent, name.c_str(), 0777) != 0 && errno != EEXIST)
            throw IoError(errno, shown.string());
        fd = ::openat(parent, name.c_str(), kFolderFlags);
    }
    if (fd < 0 && errno == ENOENT && walk == FolderWalk::IfPresent) return FolderHandle();
    if (fd < 0) OpenFailure(parent, name, shown.string(), errno);
    return FolderHandle(fd);
}

} // namespace

FolderHandle OpenFolderBelow(const std::filesystem::path& dir,
                             const std::filesystem::path& relative, FolderWalk walk,
                             const BeforeMakeFolder& beforeMake) {
    if (walk == FolderWalk::Create) {
        std::error_code ec;
        std::filesystem::create_directories(dir, ec);
    }
    FolderHandle folder(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.IsOpen()) {
        if (errno == ENOENT && walk == FolderWalk::IfPresent) return folder;
        throw IoError(errno, dir.string());
    }
    std::filesystem::path shown = dir;
    for (const std::filesystem::path& part : relative) {
        if (part.empty() || part == ".") continue;
        shown /= part;
        folder = OpenChild(folder.Get(), part.string(), shown, walk, beforeMake);
        if (!folder.IsOpen()) break;
    }
    return folder;
}

std::optional<struct stat> StatIn(const FolderHandle& folder, const std::string& name) {
    struct stat st {};
    if (::fstatat(folder.Get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return std::nullopt;
    return st;
}

FileHandle CreateFileIn(const FolderHandle& folder, const std::string& temp,
                        const std::string& shown) {
    FileHandle file(::openat(folder.Get(), temp.c_str(),
                             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!file.IsOpen()) throw IoError(errno, shown);
    return file;
}

void WriteAll(int fd, std::string_view contents, const std::string& shown) {
    while (!contents.empty()) {
        const ssize_t n = ::write(fd, contents.data(), contents.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            throw IoError(errno, shown);
        }
        contents.remove_prefix(static_cast<size_t>(n));
    }
}

void FinishFile(const FolderHandle& folder, const std::string& temp, FileHandle& file, mode_t mode,
                const std::string& shown) {
    const int moded = ::fchmod(file.Get(), mode) == 0 ? 0 : errno;
    const int closed = file.Close();
    if (moded != 0 || closed != 0) {
        ::unlinkat(folder.Get(), temp.c_str(), 0);
        throw IoError(moded != 0 ? moded : closed, shown);
    }
}

bool RenameIntoPlace(const FolderHandle& folder, const std::string& temp, const std::string& name,
                     const std::string& shown) {
    const std::optional<struct stat> before = StatIn(folder, name);
    if (before && S_ISDIR(before->st_mode)) {
        ::unlinkat(folder.Get(), temp.c_str(), 0);
        throw Refused("is a folder", shown);
    }
    if (::renameat(folder.Get(), temp.c_str(), folder.Get(), name.c_str()) != 0) {
        const int err = errno;
        ::unlinkat(folder.Get(), temp.c_str(), 0);
        throw IoError(err, shown);
    }
    return before.has_value();
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
                std::string_view contents, mode_t mode) {
    const FolderHandle folder = OpenFolderBelow(dir, relative.parent_path(), FolderWalk::Create);
    const std::string shown = (dir / relative).string();
    const std::string temp = PrivateName("part");
    FileHandle file = CreateFileIn(folder, temp, shown);
    try {
        WriteAll(file.Get(), contents, shown);
    } catch (const IoError&) {
        // No temporary file stays behind; the error goes on to the caller.
        ::unlinkat(folder.Get(), temp.c_str(), 0);
        throw;
    }
    FinishFile(folder, temp, file, mode, shown);
    return RenameIntoPlace(folder, temp, relative.filename().string(), shown);
}

bool WriteEntryBelow(const std::filesystem::path& dir, const std::filesystem::path& relative,
                     std::string_view contents) {
    return WriteBelow(dir, relative, contents, FileModeFor(contents));
}
