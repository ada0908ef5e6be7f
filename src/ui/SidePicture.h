// The picture area (ePic) of the windows that imitate the setup's window: the
// side picture drawn at its own size at the top left of a sunken panel of
// 132 x 324 pixels, on the window colour.
#pragma once

#include <QFrame>
#include <QImage>

#include <string_view>

// Holds the drawn picture only; the bytes stay in the project. A picture the
// painter refuses shows the bare panel.
class SidePicture : public QFrame {
    Q_OBJECT

  public:
    explicit SidePicture(QWidget* parent = nullptr);

    // Draws bytes (a whole .bmp file) as the area's persistent picture.
    void ShowPicture(std::string_view bytes);
    // The picture as drawn: null when the bytes were refused.
    const QImage& Picture() const { return picture_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QImage picture_;
};
