// libzstd's decoder also reads the frames of its 0.5-0.7 releases, through a
// legacy part of some 90 KB that every setup would carry. Our writer never
// made such frames, and the frame reader refuses them by their magic number
// before libzstd sees them, so these definitions stand in for that part: the
// static archive's legacy objects are then never pulled into a program.
// Each answers as libzstd does for a frame it does not know.
//
// The build links these only where a trial link with the archive succeeds
// (see CMakeLists.txt); a libzstd that names its legacy part differently is
// linked whole, as before.
#include <cstddef>

namespace {

// libzstd's error codes are the negated numbers of its error enum.
constexpr size_t kVersionUnsupported = static_cast<size_t>(-12);
constexpr unsigned long long kContentSizeError = 0ULL - 2;

} // namespace

#define KAVELO_ZSTD_NO_LEGACY(V)                                                              \
    extern "C" void* ZSTD##V##_createDCtx() { return nullptr; }                                \
    extern "C" size_t ZSTD##V##_freeDCtx(void*) { return 0; }                                  \
    extern "C" size_t ZSTD##V##_decompress_usingDict(void*, void*, size_t, const void*, size_t, \
                                                     const void*, size_t) {                    \
        return kVersionUnsupported;                                                            \
    }                                                                                          \
    extern "C" void ZSTD##V##_findFrameSizeInfoLegacy(const void*, size_t, size_t* size,       \
                                                      unsigned long long* bound) {             \
        *size = kVersionUnsupported;                                                           \
        *bound = kContentSizeError;                                                            \
    }                                                                                          \
    extern "C" size_t ZSTD##V##_getFrameParams(void*, const void*, size_t) {                   \
        return kVersionUnsupported;                                                            \
    }                                                                                          \
    extern "C" void* ZBUFF##V##_createDCtx() { return nullptr; }                               \
    extern "C" size_t ZBUFF##V##_freeDCtx(void*) { return 0; }                                 \
    extern "C" size_t ZBUFF##V##_decompressInitDictionary(void*, const void*, size_t) {        \
        return kVersionUnsupported;                                                            \
    }                                                                                          \
    extern "C" size_t ZBUFF##V##_decompressContinue(void*, void*, size_t*, const void*,        \
                                                    size_t*) {                                 \
        return kVersionUnsupported;                                                            \
    }

KAVELO_ZSTD_NO_LEGACY(v05)
KAVELO_ZSTD_NO_LEGACY(v06)
KAVELO_ZSTD_NO_LEGACY(v07)
