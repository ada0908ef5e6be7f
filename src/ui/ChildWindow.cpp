// Child window frames: fixed-size or resizable client areas.
#include "ui/ChildWindow.h"

#include <QLayout>
#include <QMdiSubWindow>

namespace {

// A client area whose preferred size is its designed one: the window that
// holds it opens at that size.
class ClientArea : public QWidget {
  public:
    explicit ClientArea(QSize size) : size_(size) {}
    QSize sizeHint() const override { return size_; }
    QSize minimumSizeHint() const override { return {0, 0}; }

  private:
    QSize size_;
};

} // namespace

QWidget* MakeClientArea(QMdiSubWindow* window, int width, int height, bool fixed) {
    auto* client = new ClientArea(QSize(width, height));
    client->setObjectName(QStringLiteral("client"));
    window->setWidget(client);
    if (fixed) {
        window->setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                               Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
        client->setFixedSize(width, height);
        // The frame follows the client's fixed size, whatever the style's borders.
        window->layout()->setSizeConstraint(QLayout::SetFixedSize);
    } else {
        client->resize(width, height);
    }
    return client;
}

QString CaptionRef(int id) {
    return QStringLiteral("$%1").arg(id);
}
