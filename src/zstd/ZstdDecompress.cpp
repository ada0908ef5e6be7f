#include "zstd/ZstdDecompress.h"

#define ZSTD_STATIC_LINKING_ONLY // ZSTD_getFrameHeader, for the claimed size
#include <zstd.h>

#include <algorithm>

#include "common/Errors.h"
#include "zstd/ZstdParameters.h"

namespace {

constexpr size_t kChunk = 128 * 1024;

} // namespace

struct ZstdFrameReader::Context {
    ZSTD_DCtx* dctx = ZSTD_createDCtx();
    std::string buffer = std::string(kChunk, '\0');
    ~Context() { ZSTD_freeDCtx(dctx); }
};

ZstdFrameReader::ZstdFrameReader(uint64_t size, std::string name)
    : context_(std::make_unique<Context>()), size_(size), name_(std::move(name)) {
    if (!context_->dctx) throw std::bad_alloc();
    ZSTD_DCtx_setParameter(context_->dctx, ZSTD_d_windowLogMax, kZstdWindowLog);
}

ZstdFrameReader::~ZstdFrameReader() = default;

void ZstdFrameReader::Damaged(const std::string& why) const {
    throw DamagedInput("the zstd frame of \"" + name_ + "\" is damaged: " + why, name_);
}

// Reads the frame's header once enough bytes have come: it must be a frame of
// our kind (not a skippable one) that names its size, and that size must be
// the record's, before any byte is decoded.
void ZstdFrameReader::CheckHeader(std::string_view stored) {
    ZSTD_frameHeader header{};
    const size_t need = ZSTD_getFrameHeader(&header, stored.data(), stored.size());
    if (ZSTD_isError(need)) Damaged(ZSTD_getErrorName(need));
    if (need > 0) return; // more bytes are needed
    headerChecked_ = true;
    if (header.frameType != ZSTD_frame) Damaged("it is not a data frame");
    if (header.frameContentSize == ZSTD_CONTENTSIZE_UNKNOWN) Damaged("it does not name its size");
    if (header.frameContentSize != size_)
        Damaged("it claims " + std::to_string(header.frameContentSize) + " bytes, not " +
                std::to_string(size_));
    if (header.windowSize > (1ULL << kZstdWindowLog))
        Damaged("its window of " + std::to_string(header.windowSize) + " bytes is too large");
}

void ZstdFrameReader::Add(std::string_view stored, const Output& out) {
    if (stored.empty()) return;
    if (ended_) Damaged("bytes follow the end of the frame");
    if (!headerChecked_) {
        header_.append(stored);
        CheckHeader(header_);
        if (!headerChecked_) return;
        stored = header_;
    }
    ZSTD_inBuffer in{stored.data(), stored.size(), 0};
    std::string& buffer = context_->buffer;
    for (;;) {
        ZSTD_outBuffer o{buffer.data(), buffer.size(), 0};
        const size_t result = ZSTD_decompressStream(context_->dctx, &o, &in);
        if (ZSTD_isError(result)) Damaged(ZSTD_getErrorName(result));
        made_ += o.pos;
        if (made_ > size_) Damaged("it gives more than " + std::to_string(size_) + " bytes");
        if (o.pos > 0) out(buffer.data(), o.pos);
        if (result == 0) {
            ended_ = true;
            if (in.pos < in.size) Damaged("bytes follow the end of the frame");
            break;
        }
        if (in.pos == in.size && o.pos < o.size) break;
    }
    header_.clear();
    header_.shrink_to_fit();
}

void ZstdFrameReader::Finish() {
    if (!ended_) Damaged("the frame ends early");
    if (made_ != size_)
        Damaged("it gives " + std::to_string(made_) + " bytes, not " + std::to_string(size_));
}

std::string DecompressZstd(std::string_view frame, uint64_t size, const std::string& name) {
    ZstdFrameReader reader(size, name);
    std::string contents;
    // Grown as bytes are made, never from the sizes the record and the frame claim.
    reader.Add(frame, [&](const char* data, size_t count) { contents.append(data, count); });
    reader.Finish();
    return contents;
}
