// A picture area that shows a bitmap held as the bytes of a .bmp file (the
// setup's side picture) at its own size in its top left corner.
#pragma once

#include <QWidget>

#include <string>

// The box reads the bytes where their owner keeps them each time it paints,
// so it never shows a stale copy; the owner calls update() after a change.
// A bitmap the painter refuses leaves the box empty, on the button colour.
class RawPictureBox : public QWidget {
    Q_OBJECT

  public:
    RawPictureBox(const std::string& bytes, QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    const std::string& bytes_;
};
