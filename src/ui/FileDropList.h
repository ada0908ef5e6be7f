// The file manager's list box: it takes files dropped from a desktop file
// manager and hands their local paths on once the drop has completed.
#pragma once

#include <QListWidget>

#include <functional>
#include <string>
#include <vector>

class FileDropList : public QListWidget {
  public:
    using DropHandler = std::function<void(const std::vector<std::string>&)>;

    // onDrop is called from the event loop after the drop, so that the
    // dropping program is not kept waiting while the files are read.
    FileDropList(QWidget* parent, DropHandler onDrop);

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    DropHandler onDrop_;
};
