// Where the package reader takes its bytes from: an open file or bytes in
// memory. Reads never run past the end: a read that cannot be served whole
// throws DamagedInput naming the source, so a hostile count is refused before
// anything is allocated for it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class ByteSource {
  public:
    virtual ~ByteSource() = default;
    virtual int64_t Length() const = 0;
    // Exactly count bytes at offset into buffer.
    virtual void ReadAt(int64_t offset, char* buffer, size_t count) const = 0;
    // The path of the file, or a name for bytes in memory (may be empty).
    virtual const std::string& Name() const = 0;

    // Exactly count bytes at offset; checked against Length() first.
    std::string ReadAt(int64_t offset, size_t count) const;
    // Throws DamagedInput unless [offset, offset + count) lies inside the source.
    void RequireRange(int64_t offset, uint64_t count) const;
};

// Bytes in memory that outlive the source.
class MemorySource : public ByteSource {
  public:
    explicit MemorySource(std::string_view bytes, std::string name = {})
        : bytes_(bytes), name_(std::move(name)) {}
    int64_t Length() const override { return static_cast<int64_t>(bytes_.size()); }
    void ReadAt(int64_t offset, char* buffer, size_t count) const override;
    using ByteSource::ReadAt;
    const std::string& Name() const override { return name_; }

  private:
    std::string_view bytes_;
    std::string name_;
};
