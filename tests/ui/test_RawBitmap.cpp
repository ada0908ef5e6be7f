// The raw bitmap painter: 4-, 8- and 24-bit files drawn with the right
// pixels (bottom-up and top-down, padded rows), everything else refused
// before anything is allocated, and the size arguments in and out.
#include "ui/RawBitmap.h"
#include "common/RawBitmapParse.h"

#include "package/PackageReader.h"
#include "res/BuiltInFiles.h"

#include <gtest/gtest.h>

#include <QPainter>

#include <climits>
#include <string>
#include <vector>

namespace {

void PutLe(std::string& out, uint32_t value, int bytes) {
    for (int k = 0; k < bytes; ++k)
        out += static_cast<char>(value >> (8 * k) & 0xFF);
}

struct Bmp {
    int32_t width;
    int32_t height; // negative: rows stored top-down
    uint16_t bits;
    // Top-down rows of palette indices (4, 8 bits) or 0xRRGGBB values (24 bits).
    std::vector<std::vector<uint32_t>> rows;
    std::vector<uint32_t> palette = {}; // 0xRRGGBB, padded to the full table
    uint32_t infoSize = 40;
    uint32_t compression = 0;
};

// A .bmp file as a painting program writes it.
std::string Encode(const Bmp& b) {
    const size_t entries = b.bits == 4 ? 16 : b.bits == 8 ? 256 : b.bits == 1 ? 2 : 0;
    std::string info;
    PutLe(info, b.infoSize, 4);
    PutLe(info, static_cast<uint32_t>(b.width), 4);
    PutLe(info, static_cast<uint32_t>(b.height), 4);
    PutLe(info, 1, 2);
    PutLe(info, b.bits, 2);
    PutLe(info, b.compression, 4);
    info.resize(b.infoSize, '\0');
    for (size_t i = 0; i < entries; ++i)
        PutLe(info, i < b.palette.size() ? b.palette[i] : 0, 4);
    std::string pixels;
    const size_t stride = (static_cast<size_t>(b.width) * b.bits + 31) / 32 * 4;
    for (size_t r = 0; r < b.rows.size(); ++r) {
        const auto& row = b.rows[b.height > 0 ? b.rows.size() - 1 - r : r];
        std::string line(stride, '\0');
        for (size_t x = 0; x < row.size(); ++x) {
            if (b.bits == 24) {
                for (int k = 0; k < 3; ++k)
                    line[3 * x + k] = static_cast<char>(row[x] >> (8 * k));
            } else if (b.bits == 8) {
                line[x] = static_cast<char>(row[x]);
            } else if (b.bits == 4) {
                line[x / 2] = static_cast<char>(line[x / 2] | row[x] << (x % 2 ? 0 : 4));
            } else {
                line[x / (32 / b.bits)] = static_cast<char>(row[x]); // enough for refusal tests
            }
        }
        pixels += line;
    }
    std::string file = "BM";
    PutLe(file, static_cast<uint32_t>(14 + info.size() + pixels.size()), 4);
    PutLe(file, 0, 4);
    PutLe(file, static_cast<uint32_t>(14 + info.size()), 4);
    std::string all = file + info + pixels;
    if (all.size() < 94) all.resize(94, '\0'); // the painter wants more than 93 bytes
    return all;
}

const std::vector<std::vector<uint32_t>> kRgbRows = {
    {0xFF0000, 0x00FF00, 0x0000FF},
    {0x123456, 0xFFFFFF, 0x000000},
};

std::vector<QRgb> Pixels(const QImage& image) {
    std::vector<QRgb> out;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            out.push_back(image.pixel(x, y) & 0xFFFFFF);
    return out;
}

std::vector<QRgb> Flatten(const std::vector<std::vector<uint32_t>>& rows,
                          const std::vector<uint32_t>& palette = {}) {
    std::vector<QRgb> out;
    for (const auto& row : rows)
        for (const uint32_t v : row)
            out.push_back(palette.empty() ? v : palette[v]);
    return out;
}

TEST(RawBitmap, DrawsEachSupportedDepthWithTheRightPixels) {
    const std::vector<uint32_t> palette = {0x000000, 0xFF8000, 0x00A0FF, 0xFFFFFF, 0x808080};
    const std::vector<std::vector<uint32_t>> indexRows = {
        {1, 2, 3, 4, 0}, {4, 3, 2, 1, 0}, {0, 0, 1, 1, 2}};
    const Bmp cases[] = {
        {3, 2, 24, kRgbRows},
        {3, -2, 24, kRgbRows},
        {5, 3, 8, indexRows, palette},
        {5, -3, 8, indexRows, palette},
        {5, 3, 4, indexRows, palette},
        {5, 3, 24, {{1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}, {11, 12, 13, 14, 15}}},
        {3, 2, 24, kRgbRows, {}, 124}, // a larger information header: table and rows follow it
    };
    for (const Bmp& b : cases) {
        const QImage image = RawBitmapToImage(Encode(b));
        ASSERT_FALSE(image.isNull()) << b.bits << " bits, " << b.width << " x " << b.height;
        EXPECT_EQ(image.size(), QSize(b.width, std::abs(b.height)));
        EXPECT_EQ(Pixels(image), Flatten(b.rows, b.bits == 24 ? std::vector<uint32_t>{} : palette))
            << b.bits << " bits, " << b.width << " x " << b.height;
    }
}

TEST(RawBitmap, RefusesWhatItCannotDrawFaithfully) {
    struct Case {
        std::string bytes;
        RawBitmapError error;
    };
    std::string noSignature = Encode({3, 2, 24, kRgbRows});
    noSignature[0] = 'X';
    // A header claiming 60,000 x 60,000 pixels in a 2 KB file.
    std::string huge = Encode({3, 2, 8, {{1, 2, 3}, {4, 5, 6}}});
    for (const size_t at : {18u, 22u})
        huge.replace(at, 4, "\x60\xEA\x00\x00", 4);
    huge.resize(2048, '\x55');
    std::string oneByteShort =
        Encode({5, 3, 8, {{1, 2, 3, 4, 5}, {1, 2, 3, 4, 5}, {1, 2, 3, 4, 5}}});
    oneByteShort.pop_back();
    const Case cases[] = {
        {std::string(93, 'B'), RawBitmapError::TooShort},
        {noSignature, RawBitmapError::NotBitmap},
        {Encode({3, 2, 24, kRgbRows, {}, 12}), RawBitmapError::UnsupportedHeader},
        {Encode({3, 2, 1, {{1, 0, 1}, {0, 1, 0}}}), RawBitmapError::UnsupportedDepth},
        {Encode({3, 2, 32, {{1, 2, 3}, {4, 5, 6}}}), RawBitmapError::UnsupportedDepth},
        {Encode({3, 2, 16, {{1, 2, 3}, {4, 5, 6}}}), RawBitmapError::UnsupportedDepth},
        {Encode({3, 2, 8, {{1, 2, 3}, {4, 5, 6}}, {}, 40, 1}), RawBitmapError::Compressed},
        {Encode({0, 2, 24, {}}), RawBitmapError::BadSize},
        {Encode({-3, 2, 24, {}}), RawBitmapError::BadSize},
        {Encode({3, 0, 24, {}}), RawBitmapError::BadSize},
        {Encode({3, INT_MIN, 24, {}}), RawBitmapError::BadSize},
        {huge, RawBitmapError::BadSize},
        {Encode({8000, 8000, 8, {}}), RawBitmapError::ShortPixelData},
        {Encode({5, 4, 8, {{1, 2, 3, 4, 5}, {1, 2, 3, 4, 5}, {1, 2, 3, 4, 5}}}),
         RawBitmapError::ShortPixelData}, // one row missing
        {oneByteShort, RawBitmapError::ShortPixelData},
    };
    QImage canvas(4, 4, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    for (const Case& c : cases) {
        const RawBitmapPixels parsed = RawBitmapParse(c.bytes);
        EXPECT_EQ(parsed.Error, c.error) << RawBitmapErrorName(parsed.Error);
        EXPECT_TRUE(parsed.Pixels.empty());
        int width = -1;
        int height = -1;
        EXPECT_FALSE(DrawRawBitmap(painter, c.bytes, 0, 0, width, height));
        EXPECT_EQ(std::pair(width, height), std::pair(-1, -1)); // left as they were
    }
    painter.end();
    EXPECT_EQ(canvas.pixel(0, 0), QColor(Qt::white).rgb());
}

TEST(RawBitmap, DrawsAtTheTopLeftAndReportsItsOwnSize) {
    const std::string bytes = Encode({3, 2, 24, kRgbRows});
    struct Case {
        int width, height; // passed in
        int drawnWidth, drawnHeight;
    };
    const Case cases[] = {
        {-1, -1, 3, 2}, {1, 1, 1, 1}, {50, 50, 3, 2}, {2, -1, 2, 2}, {0, 0, 0, 0}};
    for (const Case& c : cases) {
        QImage canvas(8, 8, QImage::Format_RGB32);
        canvas.fill(Qt::white);
        QPainter painter(&canvas);
        int width = c.width;
        int height = c.height;
        ASSERT_TRUE(DrawRawBitmap(painter, bytes, 2, 3, width, height));
        painter.end();
        EXPECT_EQ(width, 3);
        EXPECT_EQ(height, 2);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                const bool inside =
                    x >= 2 && x < 2 + c.drawnWidth && y >= 3 && y < 3 + c.drawnHeight;
                const QRgb expected =
                    inside ? kRgbRows[static_cast<size_t>(y - 3)][static_cast<size_t>(x - 2)]
                           : 0xFFFFFF;
                EXPECT_EQ(canvas.pixel(x, y) & 0xFFFFFF, expected)
                    << c.width << " " << x << "," << y;
            }
    }
}

TEST(RawBitmap, TemplatePictureIsDrawnAt128By320) {
    const std::string picture = ExtractEntry(DecodeEntryRecord(LoadResFile("PICTURE.BMP")));
    const QImage image = RawBitmapToImage(picture);
    EXPECT_EQ(image.size(), QSize(128, 320));
}

} // namespace
