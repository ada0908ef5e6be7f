// An open file handle with reads and writes at 64-bit offsets: what the
// package reader and writer are handed by their callers, who open and close it.
// File errors are IoError naming the path; a read that cannot return every
// byte asked for throws DamagedInput.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/FileDescriptor.h"
#include "package/ByteSource.h"

class BinaryFile : public ByteSource {
  public:
    BinaryFile() = default;
    ~BinaryFile() override;
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

    // The same file opened again for reading only, under the same path: a
    // file being written can be kept open after it is renamed into place,
    // and a program is not started while a handle writes to it.
    BinaryFile ReopenForReading() const;

    bool IsOpen() const { return fd_.IsOpen(); }
    int Fd() const { return fd_.Get(); }
    bool IsWritable() const { return writable_; }
    const std::string& Path() const { return path_; }
    const std::string& Name() const override { return path_; }

    int64_t Length() const override;
    // Exactly count bytes at offset; throws DamagedInput when the file ends
    // first (a negative offset too).
    using ByteSource::ReadAt;
    void ReadAt(int64_t offset, char* buffer, size_t count) const override;
    // Writes bytes at offset, growing the file when needed.
    void WriteAt(int64_t offset, const std::string& bytes);
    void WriteAt(int64_t offset, const char* data, size_t count);
    // Cuts or grows (with zero bytes) the file to length.
    void Resize(int64_t length);
    // Pushes written data to the disk (fsync).
    void Flush();
    // Starts writing [offset, offset + length) to the disk without waiting
    // for it, so that a Flush at the end has less left to wait for. Only a
    // hint: it never fails.
    void StartWriteback(int64_t offset, int64_t length) const;
    // Closes the handle; safe to call twice. Errors on close are thrown.
    void Close();

    // True when both handles are open on the same file on disk (the same
    // object, or two opens of one path).
    bool SameFileAs(const BinaryFile& other) const;
    // When the file's contents or status last changed (its ctime, which no
    // writer can set back), in nanoseconds; throws IoError.
    int64_t ChangeTime() const;

  private:
    BinaryFile(int fd, std::string path, bool writable);
    [[noreturn]] void ThrowError() const;
    void RequireOpen() const;

    FileDescriptor fd_;
    bool writable_ = false;
    std::string path_;
};
