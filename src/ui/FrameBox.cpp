#include "ui/FrameBox.h"

#include <QPainter>
#include <QStyleOptionFrame>

FrameBox::FrameBox(const QString& title, QWidget* parent) : QGroupBox(title, parent) {}

int FrameBox::BorderTop() const {
    return fontMetrics().height() / 2;
}

void FrameBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOptionFrame frame;
    frame.initFrom(this);
    frame.rect = rect().adjusted(0, BorderTop(), 0, 0);
    frame.lineWidth = 1;
    frame.midLineWidth = 0;
    style()->drawPrimitive(QStyle::PE_FrameGroupBox, &frame, &painter, this);
    // The title on the window's colour, interrupting the top edge.
    const QString text = title();
    const int left = 8;
    const int width = fontMetrics().horizontalAdvance(QString(text).remove(u'&')) + 4;
    const QRect behind(left, 0, width, fontMetrics().height());
    painter.fillRect(behind, palette().color(QPalette::Window));
    style()->drawItemText(&painter, behind.adjusted(2, 0, 0, 0),
                          Qt::AlignLeft | Qt::AlignTop | Qt::TextShowMnemonic, palette(),
                          isEnabled(), text, QPalette::WindowText);
}
