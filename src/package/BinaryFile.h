// An open file handle with reads and writes at 64-bit offsets: what the
// package reader and writer are handed by their callers, who open and close it.
// File errors are std::system_error whose what() names the path; a read that
// cannot return every byte asked for throws std::out_of_range.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class BinaryFile {
  public:
    BinaryFile() = default;
    ~BinaryFile();
    BinaryFile(BinaryFile&& other) noexcept;
    BinaryFile& operator=(BinaryFile&& other) noexcept;
    BinaryFile(const BinaryFile&) = delete;
    BinaryFile& operator=(const BinaryFile&) = delete;

    // Opens an existing file for reading only.
    static BinaryFile OpenRead(const std::string& path);
    // Opens a file for reading and writing, creating it when missing; the
    // contents are kept.
    static BinaryFile OpenReadWrite(const std::string& path);
    // Opens a file for reading and writing and empties it (creating it when missing).
    static BinaryFile CreateEmpty(const std::string& path);

    bool IsOpen() const { return fd_ >= 0; }
    bool IsWritable() const { return writable_; }
    const std::string& Path() const { return path_; }

    int64_t Length() const;
    // Exactly count bytes at offset; throws std::out_of_range when the file
    // ends first (a negative offset too).
    std::string ReadAt(int64_t offset, size_t count) const;
    void ReadAt(int64_t offset, char* buffer, size_t count) const;
    // Writes bytes at offset, growing the file when needed.
    void WriteAt(int64_t offset, const std::string& bytes);
    void WriteAt(int64_t offset, const char* data, size_t count);
    // Cuts or grows (with zero bytes) the file to length.
    void Resize(int64_t length);
    // Pushes written data to the disk (fsync).
    void Flush();
    // Closes the handle; safe to call twice. Errors on close are thrown.
    void Close();

    // True when both handles are open on the same file on disk (the same
    // object, or two opens of one path).
    bool SameFileAs(const BinaryFile& other) const;

  private:
    BinaryFile(int fd, std::string path, bool writable);
    [[noreturn]] void ThrowError(const char* what) const;
    void RequireOpen() const;

    int fd_ = -1;
    bool writable_ = false;
    std::string path_;
};
