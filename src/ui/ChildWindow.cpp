// Child window frames: fixed-size or resizable client areas, and the listing font.
#include "ui/ChildWindow.h"

#include <QFontDatabase>
#include <QLayout>
#include <QMdiSubWindow>
#include <QResizeEvent>

ClientArea::ClientArea(QSize designed, ResizeHook onResize, QWidget* parent)
    : QWidget(parent), designed_(designed), onResize_(std::move(onResize)) {
    resize(designed);
}

void ClientArea::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (onResize_) onResize_(event->size());
}

QWidget* MakeClientArea(QMdiSubWindow* window, int width, int height, bool fixed) {
    auto* client = new ClientArea(QSize(width, height), {});
    client->setObjectName(QStringLiteral("client"));
    window->setWidget(client);
    if (fixed) {
        window->setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                               Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
        client->setFixedSize(width, height);
        // The frame follows the client's fixed size, whatever the style's borders.
        window->layout()->setSizeConstraint(QLayout::SetFixedSize);
    }
    return client;
}

QString CaptionRef(int id) {
    return QStringLiteral("$%1").arg(id);
}

QFont ListingFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(8.25);
    return font;
}
