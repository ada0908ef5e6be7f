// The .bmp reader: header checks in the order the bytes are met, then the
// rows turned into top-down 32-bit pixels.
#include "common/RawBitmapParse.h"

#include <cstdlib>

namespace {

constexpr size_t kFileHeader = 14;
constexpr size_t kInfoHeader = 40;

uint32_t ReadLe(std::string_view bytes, size_t at, int width) {
    uint32_t value = 0;
    for (int k = width - 1; k >= 0; --k)
        value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<size_t>(k)]);
    return value;
}

struct Layout {
    int32_t width = 0;
    int32_t height = 0; // as stored: negative for top-down rows
    int bits = 0;
    size_t table = 0;   // where the colour table starts
    size_t entries = 0; // colour entries (0 for 24 bits)
    size_t pixels = 0;  // where the rows start
    size_t stride = 0;  // bytes per stored row
};

RawBitmapError ReadLayout(std::string_view bytes, Layout& out) {
    if (bytes.size() <= 93) return RawBitmapError::TooShort;
    if (bytes[0] != 'B' || bytes[1] != 'M') return RawBitmapError::NotBitmap;
    const uint32_t infoSize = ReadLe(bytes, kFileHeader, 4);
    if (infoSize < kInfoHeader || infoSize > bytes.size() - kFileHeader)
        return RawBitmapError::UnsupportedHeader;
    out.width = static_cast<int32_t>(ReadLe(bytes, kFileHeader + 4, 4));
    out.height = static_cast<int32_t>(ReadLe(bytes, kFileHeader + 8, 4));
    out.bits = static_cast<int>(ReadLe(bytes, kFileHeader + 14, 2));
    if (out.bits != 4 && out.bits != 8 && out.bits != 24) return RawBitmapError::UnsupportedDepth;
    if (ReadLe(bytes, kFileHeader + 16, 4) != 0) return RawBitmapError::Compressed;
    const int64_t rows = std::llabs(static_cast<int64_t>(out.height));
    if (out.width <= 0 || rows == 0 || out.width > kRawBitmapMaxSide || rows > kRawBitmapMaxSide ||
        out.width * rows > kRawBitmapMaxPixels)
        return RawBitmapError::BadSize;
    out.table = kFileHeader + infoSize;
    out.entries = out.bits == 4 ? 16 : out.bits == 8 ? 256 : 0;
    if (bytes.size() - out.table < out.entries * 4) return RawBitmapError::NoColourTable;
    out.pixels = out.table + out.entries * 4;
    out.stride = (static_cast<size_t>(out.width) * static_cast<size_t>(out.bits) + 31) / 32 * 4;
    if ((bytes.size() - out.pixels) / out.stride < static_cast<size_t>(rows))
        return RawBitmapError::ShortPixelData;
    return RawBitmapError::None;
}

uint32_t Rgb(unsigned char r, unsigned char g, unsigned char b) {
    return 0xFF000000u | uint32_t{r} << 16 | uint32_t{g} << 8 | b;
}

// Colour table entries are blue, green, red and an unused byte.
std::vector<uint32_t> ReadColourTable(std::string_view bytes, const Layout& layout) {
    std::vector<uint32_t> colours(layout.entries);
    for (size_t i = 0; i < layout.entries; ++i) {
        const auto* e = reinterpret_cast<const unsigned char*>(bytes.data() + layout.table + 4 * i);
        colours[i] = Rgb(e[2], e[1], e[0]);
    }
    return colours;
}

void ReadRow(const unsigned char* row, const Layout& layout, const std::vector<uint32_t>& colours,
             uint32_t* out) {
    for (int32_t x = 0; x < layout.width; ++x) {
        const size_t ux = static_cast<size_t>(x);
        if (layout.bits == 24) {
            const unsigned char* p = row + 3 * ux;
            out[ux] = Rgb(p[2], p[1], p[0]);
        } else if (layout.bits == 8) {
            out[ux] = colours[row[ux]];
        } else {
            const unsigned char pair = row[ux / 2];
            out[ux] = colours[(ux % 2 == 0) ? pair >> 4 : pair & 0x0F];
        }
    }
}

} // namespace

RawBitmapPixels RawBitmapParse(std::string_view bytes) {
    RawBitmapPixels result;
    Layout layout;
    result.Error = ReadLayout(bytes, layout);
    if (result.Error != RawBitmapError::None) return result;
    const bool bottomUp = layout.height > 0;
    const auto rows = static_cast<size_t>(bottomUp ? layout.height : -int64_t{layout.height});
    const auto width = static_cast<size_t>(layout.width);
    const std::vector<uint32_t> colours = ReadColourTable(bytes, layout);
    result.Width = layout.width;
    result.Height = static_cast<int32_t>(rows);
    result.Pixels.resize(width * rows);
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data() + layout.pixels);
    for (size_t r = 0; r < rows; ++r) {
        const size_t y = bottomUp ? rows - 1 - r : r;
        ReadRow(data + r * layout.stride, layout, colours, result.Pixels.data() + y * width);
    }
    return result;
}

const char* RawBitmapErrorName(RawBitmapError error) {
    switch (error) {
    case RawBitmapError::None:
        return "none";
    case RawBitmapError::TooShort:
        return "93 bytes or fewer";
    case RawBitmapError::NotBitmap:
        return "no BM signature";
    case RawBitmapError::UnsupportedHeader:
        return "unsupported information header";
    case RawBitmapError::UnsupportedDepth:
        return "bit count other than 4, 8 or 24";
    case RawBitmapError::Compressed:
        return "compressed pixel data";
    case RawBitmapError::BadSize:
        return "width or height out of range";
    case RawBitmapError::NoColourTable:
        return "colour table past the end";
    case RawBitmapError::ShortPixelData:
        return "pixel data shorter than the size needs";
    }
    return "unknown";
}
