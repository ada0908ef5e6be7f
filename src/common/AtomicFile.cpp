#include "common/AtomicFile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>

#include "common/Errors.h"
#include "common/ProcessInfo.h"

namespace {

std::string FolderOf(const std::string& path) {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

// Every temporary name of a write of target starts so; the process number
// follows, so a later writer can tell whose file it is.
std::string TemporaryPrefix(const std::string& target) {
    return target + ".saving-" + std::to_string(::getpid()) + "-";
}

// The process number in a temporary name's rest "PID-XXXXXX"; 0 when the
// rest is not of that form.
pid_t TemporaryOwner(std::string_view rest) {
    const size_t dash = rest.find('-');
    if (dash == 0 || dash > 9 || rest.find_first_not_of("0123456789") != dash) return 0;
    return static_cast<pid_t>(std::stol(std::string(rest.substr(0, dash))));
}

} // namespace

AtomicFile::AtomicFile(std::string target, bool allowUnnamed) : target_(std::move(target)) {
    if (!allowUnnamed || !OpenUnnamed()) OpenNamed();
}

AtomicFile::~AtomicFile() {
    if (!named_.empty()) ::unlink(named_.c_str());
}

// False when the file system (or the kernel) has no unnamed files; other
// errors are the write's.
bool AtomicFile::OpenUnnamed() {
    const int fd = ::open(FolderOf(target_).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL || errno == ENOSYS)
            return false;
        throw IoError(errno, target_);
    }
    fd_.Reset(fd);
    unnamed_ = true;
    return true;
}

void AtomicFile::OpenNamed() {
    std::string pattern = TemporaryPrefix(target_) + "XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) throw IoError(errno, target_);
    fd_.Reset(fd);
    named_ = pattern;
}

std::string AtomicFile::OpenPath() const {
    return unnamed_ ? "/proc/self/fd/" + std::to_string(fd_.Get()) : named_;
}

void AtomicFile::Write(std::string_view bytes) {
    WriteAll(fd_.Get(), bytes, target_, "cannot write");
}

// Links the unnamed file into the folder under a temporary name, just before
// the rename.
void AtomicFile::NameUnnamed() {
    std::random_device random;
    const std::string from = OpenPath();
    for (int attempt = 0; named_.empty(); ++attempt) {
        const std::string name = TemporaryPrefix(target_) + std::to_string(random() % 1000000);
        if (::linkat(AT_FDCWD, from.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
            named_ = name;
        else if (errno != EEXIST || attempt > 100)
            throw IoError(errno, target_);
    }
}

void AtomicFile::Commit(mode_t mode, const std::function<void(const std::string&)>& beforeRename) {
    if (::fchmod(fd_.Get(), mode) != 0) throw IoError(errno, target_);
    // A file system that cannot sync this kind of file (EINVAL) has nothing to push.
    if (::fsync(fd_.Get()) != 0 && errno != EINVAL) throw IoError(errno, target_, "cannot write");
    if (unnamed_) NameUnnamed();
    if (fd_.Close() != 0) throw IoError(errno, target_, "cannot write");
    if (beforeRename) beforeRename(named_);
    if (std::rename(named_.c_str(), target_.c_str()) != 0) throw IoError(errno, target_);
    named_.clear();
}

void WriteFileAtomically(const std::string& path, std::string_view bytes, mode_t mode) {
    AtomicFile file(path);
    file.Write(bytes);
    file.Commit(mode);
}

mode_t NewFileMode() {
    return 0666 & ~CurrentUmask();
}

void RemoveStaleTemporaries(const std::string& target) {
    namespace fs = std::filesystem;
    const std::string start = fs::path(target).filename().string() + ".saving-";
    std::error_code ec;
    for (fs::directory_iterator it(FolderOf(target), ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (!name.starts_with(start)) continue;
        const pid_t owner = TemporaryOwner(std::string_view(name).substr(start.size()));
        if (owner <= 0 || ::kill(owner, 0) == 0 || errno != ESRCH) continue;
        struct stat st {};
        if (::lstat(it->path().c_str(), &st) == 0 && S_ISREG(st.st_mode))
            ::unlink(it->path().c_str());
    }
}
