// Paints an icon centred on the element.
#include "ui/IconPicture.h"

#include <QPainter>

#include <algorithm>

IconPicture::IconPicture(QWidget* parent, int iconSize) : QWidget(parent), iconSize_(iconSize) {
    resize(iconSize, iconSize);
}

void IconPicture::SetIcon(const QIcon& icon) {
    icon_ = icon;
    update();
}

void IconPicture::paintEvent(QPaintEvent*) {
    if (icon_.isNull()) return;
    QPainter painter(this);
    const int side = std::min({width(), height(), iconSize_});
    const QRect target((width() - side) / 2, (height() - side) / 2, side, side);
    icon_.paint(&painter, target, Qt::AlignCenter, isEnabled() ? QIcon::Normal : QIcon::Disabled);
}
