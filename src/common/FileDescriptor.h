// The one owner of a file descriptor: closes it when it goes, hands it on
// when moved. Every class that keeps a descriptor open keeps it in one.
#pragma once

#include <string>
#include <string_view>
#include <utility>

class FileDescriptor {
  public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { Reset(); }
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.Release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int Get() const { return fd_; }
    bool IsOpen() const { return fd_ >= 0; }
    // Gives the descriptor up without closing it.
    int Release() { return std::exchange(fd_, -1); }
    // Closes the descriptor held (its error ignored) and holds fd instead.
    void Reset(int fd = -1);
    // Closes the descriptor, for a writer that must know whether the close
    // worked: 0, or -1 with errno set (the descriptor is gone either way).
    int Close();

  private:
    int fd_ = -1;
};

// Writes every byte to fd, again after an interruption. A failure throws
// IoError naming path and, when given, what was being done.
void WriteAll(int fd, std::string_view bytes, const std::string& path,
              const std::string& doing = {});
