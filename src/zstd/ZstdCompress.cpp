#include "zstd/ZstdCompress.h"

#define ZSTD_STATIC_LINKING_ONLY // ZSTD_getCParams, for the level's tables
#include <zstd.h>

#include "common/Errors.h"
#include "zstd/ZstdParameters.h"

struct ZstdFrameWriter::Context {
    ZSTD_CCtx* cctx = ZSTD_createCCtx();
    ~Context() { ZSTD_freeCCtx(cctx); }
};

namespace {

// Only a caller's mistake or a lack of memory can make the compressor fail.
size_t Checked(size_t result) {
    if (ZSTD_isError(result))
        throw InvalidRequest(std::string("zstd cannot compress: ") + ZSTD_getErrorName(result));
    return result;
}

// size: the input's length, which sizes the level's tables.
void SetParameters(ZSTD_CCtx* cctx, unsigned long long size, bool boundTables = true) {
    if (!cctx) throw std::bad_alloc();
    Checked(ZSTD_CCtx_setParameter(cctx, ZSTD_c_compressionLevel, kZstdLevel));
    Checked(ZSTD_CCtx_setParameter(cctx, ZSTD_c_windowLog, kZstdWindowLog));
    // Only tables larger than the caps are changed, so a small input is
    // compressed exactly as the level alone would.
    const ZSTD_compressionParameters level = ZSTD_getCParams(kZstdLevel, size, 0);
    if (boundTables && level.chainLog > static_cast<unsigned>(kZstdChainLogMax))
        Checked(ZSTD_CCtx_setParameter(cctx, ZSTD_c_chainLog, kZstdChainLogMax));
    if (boundTables && level.hashLog > static_cast<unsigned>(kZstdHashLogMax))
        Checked(ZSTD_CCtx_setParameter(cctx, ZSTD_c_hashLog, kZstdHashLogMax));
    Checked(ZSTD_CCtx_setParameter(cctx, ZSTD_c_checksumFlag, 1));
    Checked(ZSTD_CCtx_setParameter(cctx, ZSTD_c_contentSizeFlag, 1));
}

} // namespace

std::string CompressZstd(std::string_view input) {
    ZstdFrameWriter::Context context;
    SetParameters(context.cctx, input.size());
    std::string out(ZSTD_compressBound(input.size()), '\0');
    out.resize(
        Checked(ZSTD_compress2(context.cctx, out.data(), out.size(), input.data(), input.size())));
    return out;
}

ZstdFrameWriter::ZstdFrameWriter() : context_(std::make_unique<Context>()) {}
ZstdFrameWriter::~ZstdFrameWriter() = default;

void ZstdFrameWriter::Begin(unsigned long long size, bool boundTables) {
    Checked(ZSTD_CCtx_reset(context_->cctx, ZSTD_reset_session_and_parameters));
    SetParameters(context_->cctx, size, boundTables);
    Checked(ZSTD_CCtx_setPledgedSrcSize(context_->cctx, size));
}

namespace {

// Runs the compressor over in with mode until it has taken all of in (and,
// when ending, written the frame's end), appending its output to out.
void Drive(ZSTD_CCtx* cctx, std::string_view piece, ZSTD_EndDirective mode, std::string& out) {
    ZSTD_inBuffer in{piece.data(), piece.size(), 0};
    const size_t chunk = ZSTD_CStreamOutSize();
    for (;;) {
        const size_t at = out.size();
        out.resize(at + chunk);
        ZSTD_outBuffer o{out.data() + at, chunk, 0};
        const size_t left = Checked(ZSTD_compressStream2(cctx, &o, &in, mode));
        out.resize(at + o.pos);
        const bool done = mode == ZSTD_e_end ? left == 0 : in.pos == in.size;
        if (done) return;
    }
}

} // namespace

void ZstdFrameWriter::Add(std::string_view piece, std::string& out) {
    Drive(context_->cctx, piece, ZSTD_e_continue, out);
}

void ZstdFrameWriter::Finish(std::string& out) {
    Drive(context_->cctx, {}, ZSTD_e_end, out);
}
