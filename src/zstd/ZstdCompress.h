// The zstd compressor for entries: one frame per file, carrying its content
// size and a checksum of the content, made at the level and window of
// ZstdParameters.h. Also fed in pieces, for files too large to hold whole.
#pragma once

#include <memory>
#include <string>
#include <string_view>

// input as one zstd frame.
std::string CompressZstd(std::string_view input);

// A frame made from pieces: Begin with the whole size, then Add the pieces
// in order; each call appends the frame's bytes made so far to out, Finish
// the rest. The pieces must add up to the size given to Begin.
class ZstdFrameWriter {
  public:
    ZstdFrameWriter();
    ~ZstdFrameWriter();
    ZstdFrameWriter(const ZstdFrameWriter&) = delete;
    ZstdFrameWriter& operator=(const ZstdFrameWriter&) = delete;

    // boundTables caps the compressor's search tables (see
    // ZstdParameters.h), for when two compressors run at once.
    void Begin(unsigned long long size, bool boundTables = true);
    void Add(std::string_view piece, std::string& out);
    void Finish(std::string& out);

    struct Context; // the compressor's state, also used whole by CompressZstd

  private:
    std::unique_ptr<Context> context_;
};
