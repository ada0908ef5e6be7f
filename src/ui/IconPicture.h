// A picture element that shows one icon centred on its surface, drawn for the
// screen's pixel ratio at every paint so it stays sharp at any scale (the
// menu bar's item pictures).
#pragma once

#include <QIcon>
#include <QWidget>

class IconPicture : public QWidget {
    Q_OBJECT

  public:
    explicit IconPicture(QWidget* parent = nullptr, int iconSize = 32);

    void SetIcon(const QIcon& icon);
    const QIcon& Icon() const { return icon_; }
    QSize sizeHint() const override { return {iconSize_, iconSize_}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QIcon icon_;
    int iconSize_;
};
