// A picture element that shows one icon centred on its surface, drawn at the
// size of the surface (up to the icon's size) for the screen's pixel ratio,
// so it stays sharp at any scale. Used for the menu bar's item pictures and
// the About window's program icon.
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
