#include "package/BinaryFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "common/Errors.h"

static_assert(sizeof(off_t) == 8, "package offsets need a 64-bit off_t");

namespace {
int OpenOrThrow(const std::string& path, int flags) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) throw IoError(errno, path);
    return fd;
}
} // namespace

BinaryFile::BinaryFile(int fd, std::string path, bool writable)
    : fd_(fd), writable_(writable), path_(std::move(path)) {}

BinaryFile::~BinaryFile() = default;

BinaryFile::BinaryFile(BinaryFile&& other) noexcept
    : fd_(std::move(other.fd_)), writable_(std::exchange(other.writable_, false)),
      path_(std::move(other.path_)) {}

BinaryFile& BinaryFile::operator=(BinaryFile&& other) noexcept {
    if (this != &other) {
        fd_ = std::move(other.fd_);
        writable_ = std::exchange(other.writable_, false);
        path_ = std::move(other.path_);
    }
    return *this;
}

BinaryFile BinaryFile::OpenRead(const std::string& path) {
    const int fd = OpenOrThrow(path, O_RDONLY);
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        throw IoError(EISDIR, path);
    }
    return BinaryFile(fd, path, false);
}

BinaryFile BinaryFile::ReopenForReading() const {
    RequireOpen();
    // The descriptor's own link opens the file it names, even an unnamed one.
    const std::string link = "/proc/self/fd/" + std::to_string(fd_.Get());
    const int fd = ::open(link.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) ThrowError();
    return BinaryFile(fd, path_, false);
}

BinaryFile BinaryFile::OpenReadWrite(const std::string& path) {
    return BinaryFile(OpenOrThrow(path, O_RDWR | O_CREAT), path, true);
}

BinaryFile BinaryFile::CreateEmpty(const std::string& path) {
    return BinaryFile(OpenOrThrow(path, O_RDWR | O_CREAT | O_TRUNC), path, true);
}

// The system's text alone is the reason ("No space left on device"): it says
// enough, and it is what a save shows under its message.
void BinaryFile::ThrowError() const {
    throw IoError(errno, path_);
}

void BinaryFile::RequireOpen() const {
    if (!fd_.IsOpen()) throw IoError(EBADF, path_, "file not open");
}

int64_t BinaryFile::Length() const {
    RequireOpen();
    struct stat st {};
    if (::fstat(fd_.Get(), &st) != 0) ThrowError();
    return static_cast<int64_t>(st.st_size);
}

void BinaryFile::ReadAt(int64_t offset, char* buffer, size_t count) const {
    RequireOpen();
    if (offset < 0)
        throw DamagedInput("a read at the negative offset " + std::to_string(offset), path_);
    size_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(fd_.Get(), buffer + done, count - done,
                                  static_cast<off_t>(offset + static_cast<int64_t>(done)));
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowError();
        }
        if (n == 0)
            throw DamagedInput("a read of " + std::to_string(count) + " bytes at " +
                                   std::to_string(offset) + " runs past the end of the file",
                               path_);
        done += static_cast<size_t>(n);
    }
}

void BinaryFile::WriteAt(int64_t offset, const std::string& bytes) {
    WriteAt(offset, bytes.data(), bytes.size());
}

void BinaryFile::WriteAt(int64_t offset, const char* data, size_t count) {
    RequireOpen();
    if (offset < 0)
        throw InvalidRequest("a write at the negative offset " + std::to_string(offset), path_);
    size_t done = 0;
    while (done < count) {
        const ssize_t n = ::pwrite(fd_.Get(), data + done, count - done,
                                   static_cast<off_t>(offset + static_cast<int64_t>(done)));
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowError();
        }
        done += static_cast<size_t>(n);
    }
}

void BinaryFile::Resize(int64_t length) {
    RequireOpen();
    if (length < 0) throw InvalidRequest("a negative file length", path_);
    if (::ftruncate(fd_.Get(), static_cast<off_t>(length)) != 0) ThrowError();
}

void BinaryFile::Flush() {
    RequireOpen();
    if (::fsync(fd_.Get()) != 0 && errno != EINVAL) ThrowError();
}

void BinaryFile::StartWriteback(int64_t offset, int64_t length) const {
#if defined(__linux__)
    if (fd_.IsOpen() && length > 0)
        (void)::sync_file_range(fd_.Get(), offset, length, SYNC_FILE_RANGE_WRITE);
#else
    (void)offset;
    (void)length;
#endif
}

void BinaryFile::Close() {
    if (!fd_.IsOpen()) return;
    writable_ = false;
    if (fd_.Close() != 0 && errno != EINTR) ThrowError();
}

int64_t BinaryFile::ChangeTime() const {
    RequireOpen();
    struct stat st {};
    if (::fstat(fd_.Get(), &st) != 0) ThrowError();
    return static_cast<int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
}

bool BinaryFile::SameFileAs(const BinaryFile& other) const {
    if (this == &other) return true;
    if (!fd_.IsOpen() || !other.fd_.IsOpen()) return false;
    struct stat a {
    }, b{};
    if (::fstat(fd_.Get(), &a) != 0 || ::fstat(other.fd_.Get(), &b) != 0) return false;
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}
