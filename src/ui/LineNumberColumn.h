// The script editor's column of text numbers beside the numbered texts: 1 to
// 64, one per line of the strings box, in the same font and at the same
// heights as that box's lines when it shows its first line.
#pragma once

#include <QString>
#include <QWidget>

class QPlainTextEdit;

// The column does not scroll with the box it numbers: it always shows 1 to 64.
// Its numbers are painted right-aligned, each at the top of the box's line of
// that number, so they stay level with the lines at any font and scale.
class LineNumberColumn : public QWidget {
    Q_OBJECT

  public:
    LineNumberColumn(const QPlainTextEdit& numbered, QWidget* parent = nullptr);

    // " 1 " ... " 9 ", "10 " ... "64 ", each followed by a carriage return.
    static QString LineNumberText();
    const QString& text() const { return text_; }

    // Top of line n (from 1) of the numbered box, unscrolled, in this
    // column's coordinates, and the height of one line.
    qreal LineTop(int n) const;
    qreal LineHeight() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    const QPlainTextEdit& numbered_;
    QString text_;
};
