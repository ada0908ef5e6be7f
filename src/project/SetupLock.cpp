#include "project/SetupLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <thread>
#include <utility>

#include "common/Errors.h"

namespace {

// The user's runtime folder ($XDG_RUNTIME_DIR), or a folder of the user's
// own in the temporary folder.
std::string LockFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string base = runtime && *runtime ? std::string(runtime)
                                           : std::filesystem::temp_directory_path().string() +
                                                 "/kavelo-" + std::to_string(::getuid());
    if (!runtime || !*runtime) ::mkdir(base.c_str(), 0700);
    base += "/kavelo-locks";
    ::mkdir(base.c_str(), 0700);
    return base;
}

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
    return ::fstat(fd, &a) == 0 && ::stat(path.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

} // namespace

std::string SetupLock::LockPathFor(const std::string& setupPath) {
    return LockFolder() + "/" + Hex(Fnv1a(Canonical(setupPath))) + ".lock";
}

SetupLock SetupLock::Acquire(const std::string& path, const std::string& program,
                             std::chrono::milliseconds wait) {
    SetupLock lock;
    lock.lockPath_ = LockPathFor(path);
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        const int fd = ::open(lock.lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) throw IoError(errno, lock.lockPath_);
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            if (StillAtPath(fd, lock.lockPath_)) {
                const std::string holder = program + ", process " + std::to_string(::getpid());
                if (::ftruncate(fd, 0) == 0 && ::pwrite(fd, holder.data(), holder.size(), 0) < 0) {
                    // The name of the holder is a courtesy; the lock holds without it.
                }
                lock.fd_.Reset(fd);
                return lock;
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
}

void SetupLock::Release() {
    if (!fd_.IsOpen()) return;
    // Removed while held, so no later holder's file is ever removed.
    ::unlink(lockPath_.c_str());
    fd_.Reset();
}

SetupLock::~SetupLock() {
    Release();
}

SetupLock::SetupLock(SetupLock&& other) noexcept
    : fd_(std::move(other.fd_)), lockPath_(std::move(other.lockPath_)) {}

SetupLock& SetupLock::operator=(SetupLock&& other) noexcept {
    if (this != &other) {
        Release();
        fd_ = std::move(other.fd_);
        lockPath_ = std::move(other.lockPath_);
    }
    return *this;
}
