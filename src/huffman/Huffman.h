// The Huffman codec: a static Huffman code over byte values with its code
// table in the stream's header. Streams are byte-exact: equal inputs always
// give equal streams, and the template files are stored in this form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "common/Errors.h"
#include "common/Progress.h"

// Compresses input. progress may be null when progressScale is 0; the value
// shown is (progressBase + the part of progressSpan done) / progressScale.
std::string CompressHuffman(std::string_view input, ProgressSink* progress = nullptr,
                            int32_t progressBase = 0, int32_t progressScale = 0,
                            int32_t progressSpan = 0);

// Decompresses a stream. Throws HuffmanError on a dead end in the code tree
// and DamagedInput for a stream that is truncated or whose tables are too
// large.
std::string DecompressHuffman(std::string_view input, ProgressSink* progress = nullptr,
                              int32_t progressBase = 0, int32_t progressScale = 0,
                              int32_t progressSpan = 0);

// Tells which leading bytes of a result are final while it is being made: the
// result's first byte and how many bytes from there will not change.
using FinishedBytes = std::function<void(const char* data, size_t count)>;

// CompressHuffman and DecompressHuffman into out, without progress, calling
// finished about every megabyte, so that a caller can write the result out
// while the rest is still being made. out belongs to the caller, so on an
// error it outlives whatever still reads from it.
void CompressHuffmanStreaming(std::string_view input, std::string& out,
                              const FinishedBytes& finished);
void DecompressHuffmanStreaming(std::string_view input, std::string& out,
                                const FinishedBytes& finished);

// A stream made from its input in pieces, for input too large to hold whole,
// byte for byte the stream CompressHuffman makes of the pieces joined: Count
// every piece, Plan, then Encode the same pieces in the same order, and
// Finish. It never yields or reports, so it may run on any thread.
class HuffmanPieceEncoder {
  public:
    HuffmanPieceEncoder();
    ~HuffmanPieceEncoder();
    HuffmanPieceEncoder(const HuffmanPieceEncoder&) = delete;
    HuffmanPieceEncoder& operator=(const HuffmanPieceEncoder&) = delete;

    void Count(std::string_view piece);
    // The whole stream's length, 0 for fewer than two bytes (no stream);
    // header gets the stream's first bytes: the table and the length.
    uint64_t Plan(std::string& header);
    // Appends the bytes of the stream that piece completes.
    void Encode(std::string_view piece, std::string& out);
    // Appends the last partial byte; false when the pieces encoded were not
    // the ones counted (the input changed between the two passes), and the
    // stream is then not to be used.
    bool Finish(std::string& out);

  private:
    struct State;
    std::unique_ptr<State> s_;
};

// Reads count bytes of a stream from its byte offset into data.
using StreamBytes = std::function<void(uint64_t offset, char* data, size_t count)>;
// Takes the next piece of a result.
using DecodedPiece = std::function<void(const char* data, size_t count)>;

// DecompressHuffman of a stream of size bytes that read fetches a window at a
// time, handing the result to out in order in pieces of at most 1 MB: the
// same bytes and errors in a few megabytes of memory, whatever the stream's
// size. The pieces handed out before an error are not taken back. With a
// limit, only the result's first limit bytes are decoded and handed out
// (damage further on is not seen).
void DecompressHuffmanInPieces(uint64_t size, const StreamBytes& read, const DecodedPiece& out,
                               uint64_t limit = UINT64_MAX);
