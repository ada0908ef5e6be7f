// What the editor's child windows share: the client area that a window's
// controls are placed on at fixed positions in device-independent pixels,
// controls placed with "$" captions that ResolveCaptions fills, and the
// listing font the script windows use.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>

#include <functional>

// The client area of a child window. Its size hint is the designed client
// size, so the window is that size when the MDI area first shows it; each
// resize is handed to the window (when it gives a hook), which places its
// controls itself.
class ClientArea : public QWidget {
    Q_OBJECT

  public:
    using ResizeHook = std::function<void(QSize client)>;

    ClientArea(QSize designed, ResizeHook onResize, QWidget* parent = nullptr);

    QSize sizeHint() const override { return designed_; }
    QSize minimumSizeHint() const override { return {0, 0}; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    QSize designed_;
    ResizeHook onResize_;
};

// Places control at position (left, top, width x height) of its parent.
template <typename Control>
Control* Place(Control* control, int left, int top, int width, int height) {
    control->setGeometry(QRect(left, top, width, height));
    return control;
}

// "$" followed by the string number: the caption ResolveCaptions replaces.
QString CaptionRef(int id);

// The system's fixed-width font at 8.25 points, for script listings.
QFont ListingFont();
