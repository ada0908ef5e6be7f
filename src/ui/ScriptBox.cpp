// The numbered, marked column of the script box, painted level with the
// visible lines as they scroll.
#include "ui/ScriptBox.h"

#include <QHelpEvent>
#include <QPainter>
#include <QTextBlock>
#include <QToolTip>

#include <algorithm>

ScriptBox::ScriptBox(QWidget* parent) : QPlainTextEdit(parent), column_(new QWidget(this)) {
    column_->setObjectName(QStringLiteral("lineColumn"));
    column_->setAccessibleName(QStringLiteral("Script line numbers"));
    column_->installEventFilter(this);
    connect(this, &QPlainTextEdit::blockCountChanged, this, &ScriptBox::updateMargin);
    connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect& rect, int dy) {
        if (dy)
            column_->scroll(0, dy);
        else
            column_->update(0, rect.y(), column_->width(), rect.height());
    });
    updateMargin();
}

void ScriptBox::SetProblems(std::map<int, QString> problems) {
    problems_ = std::move(problems);
    column_->update();
}

QString ScriptBox::ProblemAt(int line) const {
    const auto found = problems_.find(line);
    return found == problems_.end() ? QString() : found->second;
}

int ScriptBox::ColumnWidth() const {
    const int digits = std::max(2, static_cast<int>(QString::number(blockCount()).size())) + 1;
    return fontMetrics().horizontalAdvance(QLatin1Char('9')) * digits + 8;
}

void ScriptBox::updateMargin() {
    setViewportMargins(ColumnWidth(), 0, 0, 0);
    const QRect area = contentsRect();
    column_->setGeometry(area.left(), area.top(), ColumnWidth(), area.height());
}

void ScriptBox::resizeEvent(QResizeEvent* event) {
    QPlainTextEdit::resizeEvent(event);
    updateMargin();
}

void ScriptBox::changeEvent(QEvent* event) {
    QPlainTextEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange) updateMargin();
}

int ScriptBox::LineAt(int y) const {
    for (QTextBlock block = firstVisibleBlock(); block.isValid(); block = block.next()) {
        const QRectF place = blockBoundingGeometry(block).translated(contentOffset());
        if (place.top() > y) break;
        if (y < place.bottom()) return block.blockNumber();
    }
    return -1;
}

bool ScriptBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == column_ && event->type() == QEvent::Paint) {
        paintColumn(static_cast<QPaintEvent*>(event));
        return true;
    }
    if (watched == column_ && event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QString reason = ProblemAt(LineAt(help->pos().y()));
        if (reason.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), reason, column_);
        return true;
    }
    return QPlainTextEdit::eventFilter(watched, event);
}

// Numbers in the window text colour; a line with a problem has its number
// in the highlight colours, so the mark reads in any theme.
void ScriptBox::paintColumn(QPaintEvent* event) {
    QPainter painter(column_);
    painter.fillRect(event->rect(), palette().color(QPalette::Window));
    painter.setFont(font());
    const int width = column_->width();
    for (QTextBlock block = firstVisibleBlock(); block.isValid(); block = block.next()) {
        const QRectF place = blockBoundingGeometry(block).translated(contentOffset());
        if (place.top() > event->rect().bottom()) break;
        const QRectF row(0, place.top(), width, fontMetrics().height());
        const bool marked = problems_.count(block.blockNumber()) > 0;
        if (marked) painter.fillRect(row, palette().color(QPalette::Highlight));
        painter.setPen(palette().color(marked ? QPalette::HighlightedText : QPalette::WindowText));
        painter.drawText(row.adjusted(0, 0, -4, 0), Qt::AlignRight | Qt::AlignVCenter,
                         (marked ? QStringLiteral("!") : QString()) +
                             QString::number(block.blockNumber() + 1));
    }
}
