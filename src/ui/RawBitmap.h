// Drawing a picture held as the bytes of a .bmp file (the setup's side
// picture) without a file: only uncompressed 4-, 8- and 24-bit bitmaps, at
// their own size, at the top left of the target.
#pragma once

#include <QImage>

#include <string_view>

class QPainter;

// The bitmap as an image; a null image when RawBitmapParse refuses it.
QImage RawBitmapToImage(std::string_view bytes);

// Draws the bitmap with its top left corner at (x, y) and returns true, or
// draws nothing and returns false when the bytes are refused. width and
// height of -1 (any negative value) draw the whole bitmap; other values draw
// at most that much of its top-left part (0 draws nothing). On success both hold the
// bitmap's own width and height, whatever was passed; on failure they are
// left as they were.
bool DrawRawBitmap(QPainter& target, std::string_view bytes, int x, int y, int& width, int& height);
