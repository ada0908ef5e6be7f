// The raw bitmap painter: the Qt-free parse turned into a QImage and drawn.
#include "ui/RawBitmap.h"

#include "common/RawBitmapParse.h"

#include <QPainter>

#include <algorithm>
#include <cstring>

QImage RawBitmapToImage(std::string_view bytes) {
    const RawBitmapPixels parsed = RawBitmapParse(bytes);
    if (parsed.Error != RawBitmapError::None) return {};
    QImage image(parsed.Width, parsed.Height, QImage::Format_RGB32);
    if (image.isNull()) return {};
    const size_t rowBytes = static_cast<size_t>(parsed.Width) * sizeof(uint32_t);
    for (int y = 0; y < parsed.Height; ++y)
        std::memcpy(image.scanLine(y), parsed.Pixels.data() + static_cast<size_t>(y) * parsed.Width,
                    rowBytes);
    return image;
}

bool DrawRawBitmap(QPainter& target, std::string_view bytes, int x, int y, int& width,
                   int& height) {
    const QImage image = RawBitmapToImage(bytes);
    if (image.isNull()) return false;
    const int drawWidth = width < 0 ? image.width() : std::min(width, image.width());
    const int drawHeight = height < 0 ? image.height() : std::min(height, image.height());
    // Qt reads an empty source rectangle as "the whole image".
    if (drawWidth > 0 && drawHeight > 0)
        target.drawImage(QPoint(x, y), image, QRect(0, 0, drawWidth, drawHeight));
    width = image.width();
    height = image.height();
    return true;
}
