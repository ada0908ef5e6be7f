#include "install/SafeWrite.h"

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <algorithm>
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

// Under strict rules, refuses the open folder fd unless it can be trusted.
void CheckTrusted(int fd, const std::string& shown, const FolderRules& rules) {
    if (!rules.Strict) return;
    struct stat st {};
    if (::fstat(fd, &st) != 0) throw IoError(errno, shown);
    const std::string why = UntrustedFolder(st);
    if (!why.empty()) throw Refused(why, shown);
}

// Opens (with Create, making it when missing) the folder name inside parent
// without following a symbolic link; closed when it is missing and may be.
FolderHandle OpenChild(int parent, const std::string& name, const std::filesystem::path& shown,
                       FolderWalk walk, const FolderRules& rules,
                       const BeforeMakeFolder& beforeMake) {
    FolderHandle fd(::openat(parent, name.c_str(), kFolderFlags));
    if (!fd.IsOpen() && errno == ENOENT && walk == FolderWalk::Create) {
        if (beforeMake) beforeMake(shown, FolderEvent::AboutToMake);
        const bool made = ::mkdirat(parent, name.c_str(), rules.FolderMode) == 0;
        if (!made && errno != EEXIST) throw IoError(errno, shown.string());
        // Made by another meanwhile: never counted as this walk's own.
        if (!made && beforeMake) beforeMake(shown, FolderEvent::FoundMade);
        fd = FolderHandle(::openat(parent, name.c_str(), kFolderFlags));
        if (made && fd.IsOpen() && rules.ExactModes && ::fchmod(fd.Get(), rules.FolderMode) != 0)
            throw IoError(errno, shown.string());
    }
    if (!fd.IsOpen() && errno == ENOENT && walk == FolderWalk::IfPresent) return fd;
    if (!fd.IsOpen()) OpenFailure(parent, name, shown.string(), errno);
    CheckTrusted(fd.Get(), shown.string(), rules);
    return fd;
}

} // namespace

std::string UntrustedFolder(const struct stat& st) {
    if (S_ISLNK(st.st_mode)) return "is a symbolic link";
    if (st.st_uid != 0 && st.st_uid != ::geteuid()) return "is owned by another user";
    if ((st.st_mode & 022) != 0 && (st.st_mode & S_ISVTX) == 0)
        return "may be written by other users";
    return "";
}

mode_t InstallFileMode(mode_t base, const FolderRules& rules) {
    return rules.ExactModes ? base : base & ~CurrentUmask();
}

FolderHandle OpenFolderBelowFd(int start, const std::string& startShown,
                               const std::filesystem::path& relative, FolderWalk walk,
                               const FolderRules& rules, const BeforeMakeFolder& beforeMake) {
    // Opened anew, not duplicated: a lock taken on the result is its own.
    FolderHandle folder(::openat(start, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.IsOpen()) throw IoError(errno, startShown);
    std::filesystem::path shown = startShown;
    for (const std::filesystem::path& part : relative) {
        if (part.empty() || part == ".") continue;
        shown /= part;
        folder = OpenChild(folder.Get(), part.string(), shown, walk, rules, beforeMake);
        if (!folder.IsOpen()) break;
    }
    return folder;
}

FolderHandle OpenFolderBelow(const std::filesystem::path& dir,
                             const std::filesystem::path& relative, FolderWalk walk,
                             const BeforeMakeFolder& beforeMake) {
    if (walk == FolderWalk::Create) {
        std::error_code ec;
        std::filesystem::create_directories(dir, ec);
    }
    const FolderHandle folder(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.IsOpen()) {
        if (errno == ENOENT && walk == FolderWalk::IfPresent) return FolderHandle();
        throw IoError(errno, dir.string());
    }
    return OpenFolderBelowFd(folder.Get(), dir.string(), relative, walk,
                             FolderRules{false, false, 0777}, beforeMake);
}

OpenedFolder OpenAbsoluteFolder(const std::string& path, const FolderRules& rules) {
    OpenedFolder out;
    out.Folder = FolderHandle(::open("/", kFolderFlags));
    if (!out.Folder.IsOpen()) throw IoError(errno, "/");
    out.Reached = "/";
    CheckTrusted(out.Folder.Get(), "/", rules);
    size_t from = 1;
    while (from < path.size()) {
        size_t slash = path.find('/', from);
        if (slash == std::string::npos) slash = path.size();
        const std::string part = path.substr(from, slash - from);
        from = slash + 1;
        if (part.empty() || part == ".") continue;
        const std::string shown = (out.Reached == "/" ? "" : out.Reached) + "/" + part;
        int fd = ::openat(out.Folder.Get(), part.c_str(), kFolderFlags);
        if (fd < 0 && errno == ENOENT) return out;
        if (fd < 0 && (errno == ELOOP || errno == ENOTDIR) && !rules.Strict)
            fd = ::openat(out.Folder.Get(), part.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0 && errno == ENOENT) return out; // a link to nothing
        if (fd < 0) OpenFailure(out.Folder.Get(), part, shown, errno);
        out.Folder = FolderHandle(fd);
        out.Reached = shown;
        CheckTrusted(out.Folder.Get(), shown, rules);
    }
    out.Complete = true;
    return out;
}

std::optional<struct stat> StatIn(const FolderHandle& folder, const std::string& name) {
    struct stat st {};
    if (::fstatat(folder.Get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return std::nullopt;
    return st;
}

FileHandle CreateFileIn(const FolderHandle& folder, const std::string& temp,
                        const std::string& shown, mode_t mode) {
    FileHandle file(::openat(folder.Get(), temp.c_str(),
                             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    if (!file.IsOpen()) throw IoError(errno, shown);
    return file;
}

void FinishFile(const FolderHandle& folder, const std::string& temp, FileHandle& file,
                std::optional<mode_t> mode, const std::string& shown) {
    const int moded = !mode || ::fchmod(file.Get(), *mode) == 0 ? 0 : errno;
    const int closed = file.Close() == 0 ? 0 : errno;
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

bool RenameNoReplace(const FolderHandle& folder, const std::string& temp, const std::string& name,
                     const std::string& shown) {
    if (::renameat2(folder.Get(), temp.c_str(), folder.Get(), name.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    const int err = errno;
    // EINVAL: the file system renames only over what is there.
    if (err == EEXIST || err == EINVAL || err == ENOSYS) return false;
    ::unlinkat(folder.Get(), temp.c_str(), 0);
    throw IoError(err, shown);
}

uint64_t PrivateNumber() {
    uint64_t random = 0;
    if (::getrandom(&random, sizeof random, 0) != sizeof random) {
        static uint64_t counter = 0;
        random = (static_cast<uint64_t>(::time(nullptr)) << 20) ^ ++counter;
    }
    return random;
}

std::string PrivateName(std::string_view what, uint64_t digits) {
    static const char kHex[] = "0123456789abcdef";
    std::string name = "." + std::string(what) + "-" + std::to_string(::getpid()) + "-";
    for (int shift = 60; shift >= 0; shift -= 4)
        name += kHex[(digits >> shift) & 15];
    return name;
}

std::string PrivateName(std::string_view what) {
    return PrivateName(what, PrivateNumber());
}

bool IsPrivateName(std::string_view name, std::string_view what) {
    const std::string head = "." + std::string(what) + "-";
    if (!name.starts_with(head)) return false;
    name.remove_prefix(head.size());
    const size_t dash = name.find('-');
    if (dash == 0 || dash == std::string_view::npos || name.size() - dash - 1 != 16) return false;
    const auto all = [](std::string_view s, std::string_view set) {
        return s.find_first_not_of(set) == std::string_view::npos;
    };
    return all(name.substr(0, dash), "0123456789") &&
           all(name.substr(dash + 1), "0123456789abcdef");
}

mode_t ProgramMode(std::string_view contents) {
    const bool program = contents.starts_with("\x7f"
                                              "ELF") ||
                         contents.starts_with("#!");
    return program ? 0755 : 0644;
}

mode_t FileModeFor(std::string_view contents) {
    return ProgramMode(contents) & ~CurrentUmask();
}

namespace {

// Writes what fill hands over to dir / relative under a temporary name, then
// gives it the mode modeFor tells from the first bytes and renames it into
// place. True when a file of that name was there.
bool WriteInPiecesBelow(const std::filesystem::path& dir, const std::filesystem::path& relative,
                        const std::function<void(const PieceSink&)>& fill,
                        const std::function<mode_t(std::string_view head)>& modeFor) {
    const FolderHandle folder = OpenFolderBelow(dir, relative.parent_path(), FolderWalk::Create);
    const std::string shown = (dir / relative).string();
    const std::string temp = PrivateName("part");
    FileHandle file = CreateFileIn(folder, temp, shown);
    std::string head; // enough of the start to tell a program
    try {
        fill([&](const char* data, size_t count) {
            if (head.size() < 4) head.append(data, std::min(count, 4 - head.size()));
            WriteAll(file.Get(), {data, count}, shown);
        });
    } catch (...) {
        // No temporary file stays behind; the error goes on to the caller.
        ::unlinkat(folder.Get(), temp.c_str(), 0);
        throw;
    }
    FinishFile(folder, temp, file, modeFor(head), shown);
    return RenameIntoPlace(folder, temp, relative.filename().string(), shown);
}

} // namespace

bool WriteBelow(const std::filesystem::path& dir, const std::filesystem::path& relative,
                std::string_view contents, mode_t mode) {
    return WriteInPiecesBelow(
        dir, relative, [&](const PieceSink& sink) { sink(contents.data(), contents.size()); },
        [mode](std::string_view) { return mode; });
}

bool WriteEntryBelow(const std::filesystem::path& dir, const std::filesystem::path& relative,
                     std::string_view contents) {
    return WriteBelow(dir, relative, contents, FileModeFor(contents));
}

bool WriteEntryBelowInPieces(const std::filesystem::path& dir,
                             const std::filesystem::path& relative,
                             const std::function<void(const PieceSink& sink)>& fill) {
    return WriteInPiecesBelow(dir, relative, fill, FileModeFor);
}
