// The raw bitmap reader on fuzzed bytes. A refused input must come back
// with no pixels; an accepted one must have exactly width x height opaque
// pixels within the size limits, and the same pixels written back as a
// 24-bit bitmap must read back unchanged. Anything else aborts.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/RawBitmapParse.h"

namespace {

void PutLe(std::string& out, uint32_t value, int bytes) {
    for (int k = 0; k < bytes; ++k)
        out += static_cast<char>(value >> (8 * k) & 0xFF);
}

// A bottom-up 24-bit file of the pixels, written independently of the reader.
std::string Encode24(const RawBitmapPixels& image) {
    const size_t stride = (static_cast<size_t>(image.Width) * 3 + 3) / 4 * 4;
    std::string out = "BM";
    PutLe(out, static_cast<uint32_t>(54 + stride * static_cast<size_t>(image.Height)), 4);
    PutLe(out, 0, 4);
    PutLe(out, 54, 4);
    for (const uint32_t v :
         {40u, static_cast<uint32_t>(image.Width), static_cast<uint32_t>(image.Height)})
        PutLe(out, v, 4);
    PutLe(out, 1, 2);
    PutLe(out, 24, 2);
    out.append(24, '\0');
    for (int32_t y = image.Height - 1; y >= 0; --y) {
        std::string row(stride, '\0');
        for (int32_t x = 0; x < image.Width; ++x) {
            const uint32_t p = image.Pixels[static_cast<size_t>(y) * image.Width + x];
            for (int k = 0; k < 3; ++k)
                row[3 * x + k] = static_cast<char>(p >> (8 * k));
        }
        out += row;
    }
    if (out.size() < 94) out.resize(94, '\0');
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const RawBitmapPixels image = RawBitmapParse(bytes);
    if (image.Error != RawBitmapError::None) {
        if (!image.Pixels.empty()) std::abort();
        return 0;
    }
    if (image.Width <= 0 || image.Height <= 0 || image.Width > kRawBitmapMaxSide ||
        image.Height > kRawBitmapMaxSide)
        std::abort();
    if (image.Pixels.size() != static_cast<size_t>(image.Width) * image.Height) std::abort();
    for (const uint32_t p : image.Pixels)
        if (p >> 24 != 0xFF) std::abort();
    // The pixel data exists in the input, so this is at most a few times its size.
    const RawBitmapPixels again = RawBitmapParse(Encode24(image));
    if (again.Error != RawBitmapError::None || again.Width != image.Width ||
        again.Height != image.Height || again.Pixels != image.Pixels)
        std::abort();
    return 0;
}
