// The progress bar: value, percentage text, bar size on resize, and the text
// painted twice, the second time clipped to the bar in inverse colours.
#include "ui/qkProgressA.h"

#include <QPainter>
#include <QResizeEvent>

#include <cmath>

namespace {

// The percentage of v (0 to 1) with two decimals: v x 10000 rounded to the
// nearest integer, halves to even, read as hundredths ("0.50%", "12.35%").
QString PercentText(float v) {
    const auto p = static_cast<long>(std::nearbyint(static_cast<double>(v) * 10000.0));
    return QStringLiteral("%1.%2%").arg(p / 100).arg(p % 100, 2, 10, QLatin1Char('0'));
}

} // namespace

qkProgressA::qkProgressA(QWidget* parent) : QWidget(parent) {
    setBackgroundRole(QPalette::Window);
    setAutoFillBackground(true);
    resize(320, 16);
}

void qkProgressA::ValueSet(float NewValue) {
    float v = NewValue;
    if (!(v >= 0))
        v = 0;
    else if (v > 1)
        v = 1;
    value_ = v;
    barWidth_ = static_cast<float>(storedWidth_) * v + 1;
    text_ = PercentText(v);
    setAccessibleDescription(text_);
    update();
}

// Sizes follow the control only when the whole-pixel size changes.
void qkProgressA::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int w = event->size().width();
    const int h = event->size().height();
    if (w != storedWidth_) {
        barWidth_ = value_ * static_cast<float>(w) + 1;
        storedWidth_ = w;
    }
    if (h != storedHeight_) {
        barHeight_ = h;
        storedHeight_ = h;
    }
}

void qkProgressA::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect labels(0, 0, storedWidth_, storedHeight_);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(labels, Qt::AlignCenter, text_);
    const QRectF bar(-1, 0, barWidth_, barHeight_);
    painter.fillRect(bar, palette().color(QPalette::Highlight));
    painter.setClipRect(bar);
    painter.setPen(palette().color(QPalette::HighlightedText));
    painter.drawText(labels, Qt::AlignCenter, text_);
}
