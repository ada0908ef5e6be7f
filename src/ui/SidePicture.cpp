// The picture area: a two-pixel sunken panel around 128 x 320 pixels of
// window colour with the side picture over it.
#include "ui/SidePicture.h"

#include "ui/RawBitmap.h"

#include <QPainter>

SidePicture::SidePicture(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(2);
    setBackgroundRole(QPalette::Window);
    setAutoFillBackground(true);
    setFocusPolicy(Qt::NoFocus);
}

void SidePicture::ShowPicture(std::string_view bytes) {
    picture_ = RawBitmapToImage(bytes);
    update();
}

void SidePicture::paintEvent(QPaintEvent* event) {
    if (!picture_.isNull()) {
        QPainter painter(this);
        const QRect inside = contentsRect();
        painter.setClipRect(inside);
        // At its own size from the top left, as the setup draws it: a
        // picture larger than the area is cut off, not scaled.
        painter.drawImage(inside.topLeft(), picture_);
    }
    QFrame::paintEvent(event);
}
