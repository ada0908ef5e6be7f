#include "package/EntryCompress.h"

#include <algorithm>

#include "huffman/Huffman.h"
#include "zstd/ZstdCompress.h"

namespace {

// zstd takes the contents in pieces of this size, so that the bar moves and
// the event loop gets a turn between them.
constexpr size_t kZstdPiece = 1 << 20;

std::string CompressZstdReporting(std::string_view contents, ProgressSink* progress, int32_t base,
                                  int32_t scale, int32_t span) {
    if (!progress) scale = 0;
    if (scale == 0 && contents.size() <= kZstdPiece) return CompressZstd(contents);
    ZstdFrameWriter writer;
    writer.Begin(contents.size());
    std::string frame;
    for (size_t at = 0; at < contents.size(); at += kZstdPiece) {
        const size_t n = std::min(kZstdPiece, contents.size() - at);
        writer.Add(contents.substr(at, n), frame);
        if (scale != 0) {
            const double part = static_cast<double>(at + n) / static_cast<double>(contents.size());
            progress->ValueSet(static_cast<float>((base + part * span) / scale));
        }
        if (progress) progress->Yield();
    }
    writer.Finish(frame);
    return frame;
}

} // namespace

std::string CompressStream(std::string_view contents, EntryCodec codec, ProgressSink* progress,
                           int32_t base, int32_t scale, int32_t span) {
    if (codec == EntryCodec::Zstd)
        return CompressZstdReporting(contents, progress, base, scale, span);
    return CompressHuffman(contents, progress, base, scale, span);
}
