// Configure-time check: a program that decodes a frame links with the static
// libzstd and the stand-ins for its legacy decoders, without the linker
// pulling the archive's own legacy objects (which would define them twice).
#include <zstd.h>

int main() {
    ZSTD_DCtx* context = ZSTD_createDCtx();
    char out[16];
    ZSTD_outBuffer o{out, sizeof out, 0};
    ZSTD_inBuffer in{"", 0, 0};
    const size_t result = ZSTD_decompressStream(context, &o, &in);
    ZSTD_freeDCtx(context);
    return ZSTD_isError(result) ? 1 : 0;
}
