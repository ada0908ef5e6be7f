#include "project/SetupFileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <thread>
#include <utility>

#include "common/Errors.h"

namespace {

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

SetupFileLock SetupFileLock::Take(const std::string& path,
                                  std::chrono::steady_clock::time_point deadline) {
    SetupFileLock lock;
    for (;;) {
        // Non-blocking, so that a named pipe put in the setup's place does
        // not hold the writer up.
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
        if (fd < 0) return lock;
        struct stat held {};
        if (::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
            ::close(fd);
            return lock;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            // The holder before may have replaced the file meanwhile: the
            // lock on a file no longer at path protects nothing.
            struct stat now {};
            if (::stat(path.c_str(), &now) == 0 && SameFile(held, now)) {
                lock.fd_.Reset(fd);
                lock.Remember();
                return lock;
            }
            ::close(fd);
            continue;
        }
        const int err = errno;
        ::close(fd);
        // A file system without such locks: the lock in the runtime folder
        // is all there is.
        if (err != EWOULDBLOCK) return lock;
        if (std::chrono::steady_clock::now() >= deadline)
            throw KaveloError("in use by another program", path);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

void SetupFileLock::Remember() {
    struct stat st {};
    if (::fstat(fd_.Get(), &st) != 0) return;
    device_ = st.st_dev;
    inode_ = st.st_ino;
    modified_ = st.st_mtim;
}

void SetupFileLock::CheckUnchanged(const std::string& path) const {
    if (!fd_.IsOpen()) return;
    struct stat now {};
    if (::stat(path.c_str(), &now) != 0)
        throw KaveloError("the setup was removed or renamed by another program since it was opened",
                          path);
    if (now.st_dev != device_ || now.st_ino != inode_)
        throw KaveloError("the setup was replaced by another program since it was opened", path);
    if (now.st_mtim.tv_sec != modified_.tv_sec || now.st_mtim.tv_nsec != modified_.tv_nsec)
        throw KaveloError("the setup was changed by another program since it was opened", path);
}

void SetupFileLock::Release() {
    fd_.Reset();
}

SetupFileLock::~SetupFileLock() {
    Release();
}

SetupFileLock::SetupFileLock(SetupFileLock&& other) noexcept
    : fd_(std::move(other.fd_)), device_(other.device_), inode_(other.inode_),
      modified_(other.modified_) {}

SetupFileLock& SetupFileLock::operator=(SetupFileLock&& other) noexcept {
    if (this != &other) {
        Release();
        fd_ = std::move(other.fd_);
        device_ = other.device_;
        inode_ = other.inode_;
        modified_ = other.modified_;
    }
    return *this;
}
