// The progress bar: value, percentage text, bar size on resize, and the text
// painted twice, the second time clipped to the bar in inverse colours.
#include "ui/qkProgressA.h"

#include <QPainter>
#include <QResizeEvent>

#include <cmath>

namespace {

// v (0 to 1) x 10000 rounded to the nearest integer, halves to even.
long Hundredths(float v) {
    return static_cast<long>(std::nearbyint(static_cast<double>(v) * 10000.0));
}

// The percentage of p hundredths with two decimals ("0.50%", "12.35%").
QString PercentText(long p) {
    return QStringLiteral("%1.%2%").arg(p / 100).arg(p % 100, 2, 10, QLatin1Char('0'));
}

// Which half pixel the bar's right edge falls in: the filled pixels change
// only when the edge crosses a pixel's edge or centre, so only when this does.
long HalfPixels(float barWidth) {
    return static_cast<long>(std::floor(static_cast<double>(barWidth) * 2.0));
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
    // The codec reports about every 1024 bytes: the text is made and the bar
    // repainted only when what they show changes.
    const float barWidth = static_cast<float>(storedWidth_) * v + 1;
    const bool barMoved = HalfPixels(barWidth) != HalfPixels(barWidth_);
    barWidth_ = barWidth;
    const long p = Hundredths(v);
    if (p != shownHundredths_) {
        shownHundredths_ = p;
        text_ = PercentText(p);
        setAccessibleDescription(text_);
    } else if (!barMoved) {
        return;
    }
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
