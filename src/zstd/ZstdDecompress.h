// The zstd decoder for entries. A stored block must be exactly one frame that
// gives exactly the size the entry's record names: a frame that claims more is
// refused before anything is allocated, and a damaged frame, one that ends
// early, a wrong checksum or bytes after the frame are DamagedInput naming the
// entry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

// The contents of frame, which must unpack to exactly size bytes. name is the
// entry's name, given with every error.
std::string DecompressZstd(std::string_view frame, uint64_t size, const std::string& name);

// The same, straight into out, which holds size bytes, in one pass with no
// buffer of its own: for bytes the program carries itself, whose size is no
// untrusted claim. The same checks and errors.
void DecompressZstdInto(std::string_view frame, char* out, uint64_t size, const std::string& name);

// A frame decoded as its stored bytes arrive in pieces: every Add hands the
// bytes made so far to out, in chunks of at most 128 KB; Finish checks that
// the frame ended with exactly size bytes. The memory used is bounded by the
// window (16 MB) whatever the size.
class ZstdFrameReader {
  public:
    using Output = std::function<void(const char* data, size_t count)>;

    ZstdFrameReader(uint64_t size, std::string name);
    ~ZstdFrameReader();
    ZstdFrameReader(const ZstdFrameReader&) = delete;
    ZstdFrameReader& operator=(const ZstdFrameReader&) = delete;

    void Add(std::string_view stored, const Output& out);
    void Finish();

  private:
    [[noreturn]] void Damaged(const std::string& why) const;
    void CheckHeader(std::string_view stored);

    struct Context;
    std::unique_ptr<Context> context_;
    uint64_t size_;
    uint64_t made_ = 0;
    std::string name_;
    std::string header_; // the frame's first bytes until its header is read
    bool headerChecked_ = false;
    bool ended_ = false;
};
