// What the editor's child windows share: the client area that a window's
// controls are placed on at fixed pixel positions, and the listing font the
// script windows use.
#pragma once

#include <QFont>
#include <QSize>
#include <QWidget>

#include <functional>

// The client area of a child window. Its size hint is the designed client
// size, so the window is that size when the MDI area first shows it; each
// resize is handed to the window, which places its controls itself.
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

// The system's fixed-width font at 8.25 points, for script listings.
QFont ListingFont();
