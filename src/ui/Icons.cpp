// Icons and bitmaps from the compiled-in SVG drawings in src/ui/icons.
#include "ui/Icons.h"

#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QSvgRenderer>

// Resources of a static library are registered explicitly; outside any
// namespace, as the macro requires.
static void InitIconResources() {
    Q_INIT_RESOURCE(icons);
}

namespace {

void EnsureResources() {
    static const bool done = [] {
        InitIconResources();
        return true;
    }();
    (void)done;
}

} // namespace

QIcon LoadIcon(int32_t id) {
    EnsureResources();
    const QString path = QStringLiteral(":/kavelo/icons/icon%1.svg").arg(id);
    if (!QFile::exists(path)) return {};
    return QIcon(path);
}

QPixmap LoadBitmap(int32_t id, qreal devicePixelRatio) {
    EnsureResources();
    const QString path = QStringLiteral(":/kavelo/icons/bitmap%1.svg").arg(id);
    if (!QFile::exists(path)) return {};
    QSvgRenderer svg(path);
    if (!svg.isValid()) return {};
    if (devicePixelRatio <= 0) devicePixelRatio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    const QSize size = svg.defaultSize();
    QPixmap pixmap(size * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    svg.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return pixmap;
}
