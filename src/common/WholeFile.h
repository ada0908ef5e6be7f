// Reading a file whole, the one way every layer does it: only a regular file
// is read (a pipe or a device would wait for input), its size is checked
// before anything is allocated, and a file that changes size while it is read
// is refused rather than kept cut off.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>

inline constexpr uint64_t kNoSizeLimit = std::numeric_limits<uint64_t>::max();

// The reason ReadWholeFile gives for a pipe, a device or a socket.
inline constexpr const char* kNotRegularFile = "not a regular file";

// The bytes of the file at path. Throws IoError (missing, unreadable, a
// folder) or KaveloError (not a regular file, larger than maxSize, changed
// while it was read), each naming the path.
std::string ReadWholeFile(const std::string& path, uint64_t maxSize = kNoSizeLimit);

// A file's size and modification time, to tell later whether it changed.
struct FileStamp {
    uint64_t Size = 0;
    int64_t ModifiedNs = 0;
    bool operator==(const FileStamp&) const = default;
};

// What ReadWholeFile checks, with the same errors, without reading the
// file: for a file to be read later. head, when given, gets the file's first
// bytes, up to its size on entry.
FileStamp CheckReadableFile(const std::string& path, uint64_t maxSize = kNoSizeLimit,
                            std::string* head = nullptr);

// The bytes of the file at path handed to out in pieces of at most 1 MB, in
// bounded memory: the file must still have size bytes, and keep them while
// it is read. The errors of ReadWholeFile; an error thrown by out ends it.
void ReadFileInPieces(const std::string& path, uint64_t size,
                      const std::function<void(const char* data, size_t count)>& out);
