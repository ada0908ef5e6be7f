#include "ui/FileDropList.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

namespace {

// The local files of a drop, as paths the file system takes.
std::vector<std::string> LocalPaths(const QMimeData* data) {
    std::vector<std::string> paths;
    if (!data || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) paths.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
    return paths;
}

void AcceptFiles(QDropEvent* event) {
    if (LocalPaths(event->mimeData()).empty()) return event->ignore();
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

} // namespace

FileDropList::FileDropList(QWidget* parent, DropHandler onDrop)
    : QListWidget(parent), onDrop_(std::move(onDrop)) {
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragEnabled(false);
    setDropIndicatorShown(false);
}

void FileDropList::dragEnterEvent(QDragEnterEvent* event) {
    AcceptFiles(event);
}

void FileDropList::dragMoveEvent(QDragMoveEvent* event) {
    AcceptFiles(event);
}

void FileDropList::dropEvent(QDropEvent* event) {
    const std::vector<std::string> paths = LocalPaths(event->mimeData());
    if (paths.empty()) return event->ignore();
    event->setDropAction(Qt::CopyAction);
    event->accept();
    QTimer::singleShot(0, this, [this, paths] { onDrop_(paths); });
}
