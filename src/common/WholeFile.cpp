#include "common/WholeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "common/Errors.h"
#include "common/FileDescriptor.h"

namespace {

struct stat StatOrThrow(int fd, const std::string& path) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) throw IoError(errno, path);
    return st;
}

// The file at path opened for reading, when it is a regular file of at most
// maxSize bytes; st gets its status.
FileDescriptor OpenChecked(const std::string& path, uint64_t maxSize, struct stat& st) {
    // O_NONBLOCK: opening a named pipe must not wait for a writer.
    int raw;
    do {
        raw = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (raw < 0 && errno == EINTR);
    if (raw < 0) throw IoError(errno, path);
    FileDescriptor fd(raw);
    st = StatOrThrow(fd.Get(), path);
    if (S_ISDIR(st.st_mode)) throw IoError(EISDIR, path);
    if (!S_ISREG(st.st_mode)) throw KaveloError(kNotRegularFile, path);
    const auto size = static_cast<uint64_t>(st.st_size);
    if (size > maxSize)
        throw KaveloError("the file has " + std::to_string(size) + " bytes, more than the " +
                              std::to_string(maxSize) + " allowed",
                          path);
    return fd;
}

} // namespace

FileStamp CheckReadableFile(const std::string& path, uint64_t maxSize, std::string* head) {
    struct stat st {};
    const FileDescriptor fd = OpenChecked(path, maxSize, st);
    if (head) {
        ssize_t n;
        while ((n = ::pread(fd.Get(), head->data(), head->size(), 0)) < 0 && errno == EINTR) {
        }
        head->resize(static_cast<size_t>(std::max<ssize_t>(n, 0)));
    }
    // A file that holds more or less than its size says (as the kernel's
    // files under /proc and /sys do) cannot be read by its size.
    char byte;
    if (::pread(fd.Get(), &byte, 1, st.st_size) > 0 ||
        (st.st_size > 0 && ::pread(fd.Get(), &byte, 1, st.st_size - 1) != 1))
        throw KaveloError("the file changed its size while it was read", path);
    return {static_cast<uint64_t>(st.st_size),
            static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

std::string ReadWholeFile(const std::string& path, uint64_t maxSize) {
    struct stat before {};
    const FileDescriptor fd = OpenChecked(path, maxSize, before);
    const auto size = static_cast<uint64_t>(before.st_size);

    std::string bytes(static_cast<size_t>(size), '\0');
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::pread(fd.Get(), bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            throw IoError(errno, path, "cannot read");
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    char extra;
    const bool grew = ::pread(fd.Get(), &extra, 1, static_cast<off_t>(done)) > 0;
    if (done != bytes.size() || grew || StatOrThrow(fd.Get(), path).st_size != before.st_size)
        throw KaveloError("the file changed its size while it was read", path);
    return bytes;
}

void ReadFileInPieces(const std::string& path, uint64_t size,
                      const std::function<void(const char* data, size_t count)>& out) {
    struct stat before {};
    const FileDescriptor fd = OpenChecked(path, size, before);
    std::string buffer(static_cast<size_t>(std::min<uint64_t>(size, 1u << 20)), '\0');
    uint64_t done = 0;
    while (done < size) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(buffer.size(), size - done));
        const ssize_t n = ::pread(fd.Get(), buffer.data(), want, static_cast<off_t>(done));
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            throw IoError(errno, path, "cannot read");
        }
        if (n == 0) break;
        out(buffer.data(), static_cast<size_t>(n));
        done += static_cast<uint64_t>(n);
    }
    char extra;
    const bool grew = ::pread(fd.Get(), &extra, 1, static_cast<off_t>(done)) > 0;
    if (done != size || grew || StatOrThrow(fd.Get(), path).st_size != before.st_size)
        throw KaveloError("the file changed its size while it was read", path);
}
