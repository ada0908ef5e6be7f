#include "common/FileDescriptor.h"

#include "common/Errors.h"

#include <cerrno>
#include <unistd.h>

void FileDescriptor::Reset(int fd) {
    if (fd_ >= 0 && fd_ != fd) ::close(fd_);
    fd_ = fd;
}

int FileDescriptor::Close() {
    if (fd_ < 0) return 0;
    return ::close(std::exchange(fd_, -1));
}

void WriteAll(int fd, std::string_view bytes, const std::string& path, const std::string& doing) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            if (doing.empty()) throw IoError(errno, path);
            throw IoError(errno, path, doing);
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
}
