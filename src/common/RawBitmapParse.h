// Reads the bytes of an uncompressed 4-, 8- or 24-bit .bmp file into 32-bit
// pixels. Qt-free, so the fuzz build checks it as it is. Every size and
// offset is checked against the bytes that exist before anything is read or
// allocated.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

// Why a bitmap is not drawn.
enum class RawBitmapError {
    None,
    TooShort,          // 93 bytes or fewer
    NotBitmap,         // does not start with "BM"
    UnsupportedHeader, // information header shorter than 40 bytes or past the end
    UnsupportedDepth,  // bit count other than 4, 8 or 24
    Compressed,        // compression field other than none
    BadSize,           // width not positive, height zero, or over the size limits
    NoColourTable,     // the colour table runs past the end
    ShortPixelData,    // fewer pixel bytes than width x height need
};

// Largest picture drawn: each side and the pixel count.
inline constexpr int32_t kRawBitmapMaxSide = 16384;
inline constexpr int64_t kRawBitmapMaxPixels = int64_t{1} << 26;

struct RawBitmapPixels {
    RawBitmapError Error = RawBitmapError::None;
    int32_t Width = 0;
    int32_t Height = 0;
    // Rows from the top, each Width pixels of 0xFFRRGGBB; empty on error.
    std::vector<uint32_t> Pixels;
};

// The file header (14 bytes) and the information header (its first 40
// bytes: width and height signed, bit count, compression) are read; the
// colour table follows the information header and holds 16 entries for 4 bits
// and 256 for 8 bits whatever the header's colours-used field says; the rows
// follow the table, bottom-up for a positive height and top-down for a
// negative one, each padded to 4 bytes. The file header's data offset is not
// used.
RawBitmapPixels RawBitmapParse(std::string_view bytes);

// A short English name of error, for messages and test output.
const char* RawBitmapErrorName(RawBitmapError error);
