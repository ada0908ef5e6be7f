// Where the strings box puts its lines, and the numbers painted level with them.
#include "ui/LineNumberColumn.h"

#include <QPainter>
#include <QPlainTextEdit>
#include <QTextLayout>

namespace {

constexpr int kNumberedLines = 64;

} // namespace

LineNumberColumn::LineNumberColumn(const QPlainTextEdit& numbered, QWidget* parent)
    : QWidget(parent), numbered_(numbered), text_(LineNumberText()) {
    setAccessibleName(QStringLiteral("Text numbers"));
    setAccessibleDescription(text_);
}

QString LineNumberColumn::LineNumberText() {
    QString text;
    for (int n = 1; n <= kNumberedLines; ++n) {
        text += n <= 9 ? QStringLiteral(" %1 ").arg(n) : QStringLiteral("%1 ").arg(n);
        text += u'\r';
    }
    return text;
}

// A line of a plain text box is as high as a text line laid out in its font
// with the leading included, the way the box lays out its own lines.
qreal LineNumberColumn::LineHeight() const {
    QTextLayout layout(QStringLiteral("0"), numbered_.font());
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLeadingIncluded(true);
    layout.endLayout();
    return line.height();
}

// Unscrolled, the box's first line starts one document margin below the top
// of its viewport.
qreal LineNumberColumn::LineTop(int n) const {
    const QWidget* viewport = numbered_.viewport();
    const qreal viewportTop =
        viewport->mapTo(window(), QPoint(0, 0)).y() - mapTo(window(), QPoint(0, 0)).y();
    return viewportTop + numbered_.document()->documentMargin() + (n - 1) * LineHeight();
}

void LineNumberColumn::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setFont(numbered_.font());
    painter.setPen(palette().color(QPalette::WindowText));
    const qreal height = LineHeight();
    const qreal first = LineTop(1);
    const QStringList numbers = text_.split(u'\r', Qt::SkipEmptyParts);
    for (int n = 1; n <= static_cast<int>(numbers.size()); ++n) {
        const qreal top = first + (n - 1) * height;
        if (top + height > this->height()) break; // no number cut off at the bottom
        painter.drawText(QRectF(0, top, width(), height), Qt::AlignRight | Qt::AlignTop,
                         numbers[n - 1]);
    }
}
