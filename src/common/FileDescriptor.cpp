#include "common/FileDescriptor.h"

#include <unistd.h>

void FileDescriptor::Reset(int fd) {
    if (fd_ >= 0 && fd_ != fd) ::close(fd_);
    fd_ = fd;
}

int FileDescriptor::Close() {
    if (fd_ < 0) return 0;
    return ::close(std::exchange(fd_, -1));
}
