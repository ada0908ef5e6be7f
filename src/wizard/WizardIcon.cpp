#include "wizard/WizardIcon.h"

#include <QPainter>
#include <QPixmap>

namespace {

// The icon on a 32-unit grid, scaled to size pixels.
QPixmap DrawIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    const QColor outline(0x2b, 0x3a, 0x4a);
    p.setPen(QPen(outline, 2));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(3, 5, 26, 22), 1, 1);
    p.fillRect(QRectF(4, 6, 24, 5), QColor(0x3a, 0x7b, 0xc8));
    p.drawLine(QPointF(3, 11), QPointF(29, 11));
    p.setBrush(QColor(0xf2, 0xb5, 0x44));
    p.drawRect(QRectF(11, 17, 10, 6));
    p.setBrush(QColor(0xc9, 0x8a, 0x22));
    p.drawRect(QRectF(9, 15, 14, 2));
    return pixmap;
}

} // namespace

QIcon WizardIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128})
        icon.addPixmap(DrawIcon(size));
    return icon;
}
