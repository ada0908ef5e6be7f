#include "project/SetupLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <thread>
#include <utility>

#include "common/Errors.h"
#include "project/LockFolder.h"

namespace {

// The setup's absolute path with its folder resolved, so that two spellings
// of one setup name one lock; the file itself may not exist yet.
std::string Canonical(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path absolute = fs::absolute(path, ec);
    if (ec) return path;
    const fs::path folder = fs::weakly_canonical(absolute.parent_path(), ec);
    return ec ? absolute.string() : (folder / absolute.filename()).string();
}

std::string Hex(uint64_t v) {
    static const char* digits = "0123456789abcdef";
    std::string out(16, '0');
    for (int i = 15; i >= 0; --i, v >>= 4)
        out[static_cast<size_t>(i)] = digits[v & 15];
    return out;
}

// 64-bit FNV-1a: stable across runs and programs, unlike std::hash.
uint64_t Fnv1a(const std::string& text) {
    uint64_t h = 1469598103934665603ULL;
    for (unsigned char c : text)
        h = (h ^ c) * 1099511628211ULL;
    return h;
}

std::string HolderOf(int fd) {
    char buffer[256];
    const ssize_t n = ::pread(fd, buffer, sizeof buffer - 1, 0);
    if (n <= 0) return "another program";
    std::string text(buffer, static_cast<size_t>(n));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\0'))
        text.pop_back();
    return text.empty() ? "another program" : text;
}

// True when fd is still the file at path: a holder that released the lock
// removes its file, and a lock on a removed file protects nothing.
bool StillAtPath(int fd, const std::string& path) {
    struct stat a {
    }, b{};
    return ::fstat(fd, &a) == 0 && ::lstat(path.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

// The lock file, opened without following a link, and kept only when it is
// a plain file of this user's that no other name points to: it is truncated
// and written, so a file planted in its place must never be.
int OpenLockFile(const std::string& lockPath, const std::string& setupPath) {
    const int fd = ::open(lockPath.c_str(),
                          O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0600);
    if (fd < 0)
        throw KaveloError("cannot open the lock file " + lockPath + ": " + std::strerror(errno),
                          setupPath);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() ||
        st.st_nlink != 1) {
        ::close(fd);
        throw KaveloError("the lock file " + lockPath + " is not one that kavelo made", setupPath);
    }
    return fd;
}

} // namespace

std::string SetupLock::LockPathFor(const std::string& setupPath) {
    return SetupLockFolder() + "/" + Hex(Fnv1a(Canonical(setupPath))) + ".lock";
}

SetupLock SetupLock::Acquire(const std::string& path, const std::string& program,
                             std::chrono::milliseconds wait) {
    SetupLock lock;
    lock.setupPath_ = path;
    lock.lockPath_ = LockPathFor(path);
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        const int fd = OpenLockFile(lock.lockPath_, path);
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            if (StillAtPath(fd, lock.lockPath_)) {
                const std::string holder = program + ", process " + std::to_string(::getpid());
                if (::ftruncate(fd, 0) == 0 && ::pwrite(fd, holder.data(), holder.size(), 0) < 0) {
                    // The name of the holder is a courtesy; the lock holds without it.
                }
                lock.fd_.Reset(fd);
                break;
            }
            ::close(fd);
            continue;
        }
        const int err = errno;
        const std::string holder = HolderOf(fd);
        ::close(fd);
        if (err != EWOULDBLOCK) throw IoError(err, lock.lockPath_);
        if (std::chrono::steady_clock::now() >= deadline)
            throw KaveloError("in use by " + holder, path);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    lock.file_ = SetupFileLock::Take(path, deadline);
    return lock;
}

void SetupLock::CheckUnchanged() const {
    file_.CheckUnchanged(setupPath_);
}

void SetupLock::LockReplacement(const std::string& newPath) {
    replacement_ = SetupFileLock::Take(newPath, std::chrono::steady_clock::now());
}

void SetupLock::ReplacementInPlace() {
    file_ = std::move(replacement_);
}

void SetupLock::Release() {
    file_.Release();
    replacement_.Release();
    if (!fd_.IsOpen()) return;
    // Removed while held, so no later holder's file is ever removed.
    ::unlink(lockPath_.c_str());
    fd_.Reset();
}

SetupLock::~SetupLock() {
    Release();
}

SetupLock::SetupLock(SetupLock&& other) noexcept
    : fd_(std::move(other.fd_)), lockPath_(std::move(other.lockPath_)),
      setupPath_(std::move(other.setupPath_)), file_(std::move(other.file_)),
      replacement_(std::move(other.replacement_)) {}

SetupLock& SetupLock::operator=(SetupLock&& other) noexcept {
    if (this != &other) {
        Release();
        fd_ = std::move(other.fd_);
        lockPath_ = std::move(other.lockPath_);
        setupPath_ = std::move(other.setupPath_);
        file_ = std::move(other.file_);
        replacement_ = std::move(other.replacement_);
    }
    return *this;
}
