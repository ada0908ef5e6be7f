#include "install/Places.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/Errors.h"

#include "install/LinuxFolders.h"
#include "install/SafeWrite.h"
#include "common/Sha256.h"

int RootTable::Add(const std::string& folder) {
    for (size_t i = 0; i < folders_.size(); ++i)
        if (folders_[i] == folder) return static_cast<int>(i);
    folders_.push_back(folder);
    return static_cast<int>(folders_.size()) - 1;
}

std::string RootTable::Absolute(const Place& place) const {
    const std::string& root = folders_.at(static_cast<size_t>(place.Root));
    if (place.Relative.empty()) return root;
    return (root == "/" ? "" : root) + "/" + place.Relative;
}

std::optional<Place> RootTable::PlaceOf(const std::string& absolute) const {
    int best = -1;
    for (size_t i = 0; i < folders_.size(); ++i) {
        if (IsBelow(absolute, folders_[i]) &&
            (best < 0 || folders_[i].size() > folders_[static_cast<size_t>(best)].size()))
            best = static_cast<int>(i);
    }
    if (best < 0) return std::nullopt;
    const std::string& root = folders_[static_cast<size_t>(best)];
    const size_t skip = root == "/" ? 1 : root.size() + 1;
    return Place{best, absolute.size() > skip ? absolute.substr(skip) : std::string()};
}

void RootTable::Open(const FolderRules& rules) {
    rules_ = rules;
    while (handles_.size() < folders_.size()) {
        OpenedFolder opened = OpenAbsoluteFolder(folders_[handles_.size()], rules);
        handles_.push_back(std::make_shared<const FolderHandle>(
            opened.Complete ? std::move(opened.Folder) : FolderHandle()));
    }
}

FolderHandle RootTable::OpenBelow(int root, const std::string& relative, FolderWalk walk,
                                  const BeforeMakeFolder& beforeMake) const {
    const std::string& folder = folders_.at(static_cast<size_t>(root));
    if (static_cast<size_t>(root) >= handles_.size())
        throw InvalidRequest("the folder was never opened", folder);
    const FolderHandle& handle = *handles_[static_cast<size_t>(root)];
    if (!handle.IsOpen()) {
        if (walk == FolderWalk::IfPresent) return FolderHandle();
        throw IoError(ENOENT, folder);
    }
    return OpenFolderBelowFd(handle.Get(), folder, relative, walk, rules_, beforeMake);
}

namespace {

// The whole of the open file fd, hashed; throws IoError naming shown.
std::string HashOpenFile(int fd, const std::string& shown) {
    Sha256 hash;
    std::string buffer(1 << 20, '\0');
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw IoError(errno, shown);
        if (n == 0) break;
        hash.Update(std::string_view(buffer.data(), static_cast<size_t>(n)));
    }
    return hash.FinishHex();
}

} // namespace

std::optional<std::string> HashFileAt(const RootTable& roots, const Place& where) {
    const std::string shown = roots.Absolute(where);
    const FolderHandle folder =
        roots.OpenBelow(where.Root, ParentOf(where.Relative), FolderWalk::IfPresent);
    if (!folder.IsOpen()) return std::nullopt;
    const std::string leaf = LeafOf(where.Relative);
    if (const auto st = StatIn(folder, leaf); st && S_ISLNK(st->st_mode)) {
        std::string target(static_cast<size_t>(st->st_size) + 1, '\0');
        const ssize_t n = ::readlinkat(folder.Get(), leaf.c_str(), target.data(), target.size());
        if (n < 0 || static_cast<size_t>(n) >= target.size()) return std::nullopt;
        target.resize(static_cast<size_t>(n));
        return LinkHash(target);
    }
    const FileHandle file(
        ::openat(folder.Get(), leaf.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (!file.IsOpen() || ::fstat(file.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return HashOpenFile(file.Get(), shown);
}

std::string LinkHash(std::string_view target) {
    return Sha256Hex("symlink:" + std::string(target));
}

std::optional<std::string> ReadOwnRecordFile(const FolderHandle& folder, const std::string& name,
                                             uint64_t maxSize, const std::string& shown,
                                             const std::string& what) {
    // Opened first and checked on what was opened, so that the file checked
    // is the file read.
    const FileHandle file(
        ::openat(folder.Get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!file.IsOpen() && errno == ENOENT) return std::nullopt;
    struct stat st {};
    const bool opened = file.IsOpen() && ::fstat(file.Get(), &st) == 0;
    if (!opened && errno != ELOOP) throw IoError(errno, shown, "cannot be read");
    if (!opened || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || (st.st_mode & 022) != 0 ||
        static_cast<uint64_t>(st.st_size) > maxSize)
        throw Refused("not " + what + " this user's installation wrote; not acted on", shown);
    std::string text(static_cast<size_t>(st.st_size), '\0');
    const ssize_t got = ::pread(file.Get(), text.data(), text.size(), 0);
    if (got != static_cast<ssize_t>(text.size()))
        throw IoError(got < 0 ? errno : EIO, shown, "cannot be read");
    return text;
}

std::string ParentOf(const std::string& relative) {
    const size_t slash = relative.rfind('/');
    return slash == std::string::npos ? std::string() : relative.substr(0, slash);
}

std::string LeafOf(const std::string& relative) {
    const size_t slash = relative.rfind('/');
    return slash == std::string::npos ? relative : relative.substr(slash + 1);
}

std::string RecordLine(const std::vector<std::string>& fields) {
    static const char kHex[] = "0123456789abcdef";
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) line += '\t';
        for (const char ch : fields[i]) {
            const auto c = static_cast<unsigned char>(ch);
            if (c == '\\') {
                line += "\\\\";
            } else if (c == '\t') {
                line += "\\t";
            } else if (c == '\n') {
                line += "\\n";
            } else if (c < 0x20 || c == 0x7F) {
                line += "\\x";
                line += kHex[c >> 4];
                line += kHex[c & 15];
            } else {
                line += ch;
            }
        }
    }
    return line + "\n";
}

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

std::optional<std::vector<std::string>> ReadRecordLine(const std::string& line) {
    std::vector<std::string> fields(1);
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\t') {
            fields.emplace_back();
            continue;
        }
        if (c != '\\') {
            fields.back() += c;
            continue;
        }
        if (++i >= line.size()) return std::nullopt;
        const char e = line[i];
        if (e == '\\' || e == 't' || e == 'n') {
            fields.back() += e == '\\' ? '\\' : e == 't' ? '\t' : '\n';
        } else if (e == 'x' && i + 2 < line.size() && HexDigit(line[i + 1]) >= 0 &&
                   HexDigit(line[i + 2]) >= 0) {
            fields.back() += static_cast<char>(HexDigit(line[i + 1]) * 16 + HexDigit(line[i + 2]));
            i += 2;
        } else {
            return std::nullopt;
        }
    }
    return fields;
}
