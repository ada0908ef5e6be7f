// The script editor's script box: a listing box with a column at its left
// that numbers the script's lines and marks those with a problem, the reason
// shown as the mark's tool tip.
#pragma once

#include <QPlainTextEdit>

#include <map>

class ScriptBox : public QPlainTextEdit {
    Q_OBJECT

  public:
    explicit ScriptBox(QWidget* parent = nullptr);

    // The problems by line (0-based), each told as the line's reason; the
    // marks follow at once.
    void SetProblems(std::map<int, QString> problems);
    // The reason for line (0-based); empty when the line has no problem.
    QString ProblemAt(int line) const;
    const std::map<int, QString>& Problems() const { return problems_; }

    // The column's width: the digits of the last line's number, one more for
    // the mark, and a margin.
    int ColumnWidth() const;
    // The line (0-based) at height y of the column; -1 below the last line.
    int LineAt(int y) const;
    QWidget* Column() const { return column_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void updateMargin();
    void paintColumn(QPaintEvent* event);

    QWidget* column_;
    std::map<int, QString> problems_;
};
