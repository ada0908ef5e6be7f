// Painting the raw bitmap over the picture area's own colour.
#include "ui/RawPictureBox.h"

#include "ui/RawBitmap.h"

#include <QPainter>

RawPictureBox::RawPictureBox(const std::string& bytes, QWidget* parent)
    : QWidget(parent), bytes_(bytes) {}

void RawPictureBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Button));
    int width = -1;
    int height = -1;
    DrawRawBitmap(painter, bytes_, 0, 0, width, height);
}
