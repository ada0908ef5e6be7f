#include "zstd/ZstdDecompress.h"

#define ZSTD_STATIC_LINKING_ONLY // ZSTD_getFrameHeader, for the claimed size
#include <zstd.h>

#include <algorithm>

#include "common/Errors.h"
#include "zstd/ZstdParameters.h"

namespace {

constexpr size_t kChunk = 128 * 1024;

[[noreturn]] void FrameDamaged(const std::string& name, const std::string& why) {
    throw DamagedInput("the zstd frame of \"" + name + "\" is damaged: " + why, name);
}

// Reads the frame's header from its first bytes: it must be a frame of our
// kind (not a skippable one) that names its size, and that size must be
// size, before any byte is decoded. False when more bytes are needed.
bool CheckFrameHeader(std::string_view stored, uint64_t size, const std::string& name) {
    ZSTD_frameHeader header{};
    const size_t need = ZSTD_getFrameHeader(&header, stored.data(), stored.size());
    if (ZSTD_isError(need)) FrameDamaged(name, ZSTD_getErrorName(need));
    if (need > 0) return false;
    if (header.frameType != ZSTD_frame) FrameDamaged(name, "it is not a data frame");
    if (header.frameContentSize == ZSTD_CONTENTSIZE_UNKNOWN)
        FrameDamaged(name, "it does not name its size");
    if (header.frameContentSize != size)
        FrameDamaged(name, "it claims " + std::to_string(header.frameContentSize) + " bytes, not " +
                               std::to_string(size));
    if (header.windowSize > (1ULL << kZstdWindowLog))
        FrameDamaged(name,
                     "its window of " + std::to_string(header.windowSize) + " bytes is too large");
    return true;
}

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
    FrameDamaged(name_, why);
}

void ZstdFrameReader::CheckHeader(std::string_view stored) {
    headerChecked_ = CheckFrameHeader(stored, size_, name_);
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

void DecompressZstdInto(std::string_view frame, char* out, uint64_t size, const std::string& name) {
    if (!CheckFrameHeader(frame, size, name)) FrameDamaged(name, "the frame ends early");
    const size_t length = ZSTD_findFrameCompressedSize(frame.data(), frame.size());
    if (ZSTD_isError(length)) FrameDamaged(name, ZSTD_getErrorName(length));
    if (length != frame.size()) FrameDamaged(name, "bytes follow the end of the frame");
    const std::unique_ptr<ZSTD_DCtx, size_t (*)(ZSTD_DCtx*)> dctx(ZSTD_createDCtx(),
                                                                  &ZSTD_freeDCtx);
    if (!dctx) throw std::bad_alloc();
    const size_t made = ZSTD_decompressDCtx(dctx.get(), out, size, frame.data(), frame.size());
    if (ZSTD_isError(made)) FrameDamaged(name, ZSTD_getErrorName(made));
    if (made != size)
        FrameDamaged(name,
                     "it gives " + std::to_string(made) + " bytes, not " + std::to_string(size));
}
