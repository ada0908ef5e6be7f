// The editor windows' base: client area, frame, icon, open flag and unloading.
#include "ui/EditorWindow.h"

#include "ui/ChildWindow.h"
#include "ui/Icons.h"
#include "ui/ProjectEvents.h"

#include <QCloseEvent>
#include <QLayout>
#include <QMdiArea>
#include <QMenu>

namespace {

constexpr Qt::WindowFlags kFixedFrame = Qt::SubWindow | Qt::CustomizeWindowHint |
                                        Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                        Qt::WindowCloseButtonHint;

// The window menu's entries that change a window's size or state, by their
// text without the access key.
bool ChangesSize(const QAction* action) {
    const QString text = action->text().remove(u'&');
    return text == QStringLiteral("Size") || text == QStringLiteral("Restore") ||
           text == QStringLiteral("Minimize") || text == QStringLiteral("Maximize");
}

} // namespace

EditorWindow::OpenFlagScope::OpenFlagScope(ProjectEvents& events, bool RunState::*flag)
    : events_(&events), flag_(flag) {
    events.Module().Run.*flag_ = true;
}

EditorWindow::OpenFlagScope::~OpenFlagScope() {
    Release();
}

void EditorWindow::OpenFlagScope::Release() {
    if (events_) events_->Module().Run.*flag_ = false;
    events_ = nullptr;
}

EditorWindow::EditorWindow(ProjectEvents& events, bool RunState::*openFlag, QSize client,
                           Frame frame, int32_t iconId, QWidget* parent)
    : QMdiSubWindow(parent, frame == Frame::Fixed ? kFixedFrame : Qt::WindowFlags()),
      events_(&events), openFlag_(openFlag), open_(events, openFlag),
      client_(new ClientArea(client, [this](QSize size) { resizeControls(size); })), frame_(frame) {
    setAttribute(Qt::WA_DeleteOnClose);
    client_->setObjectName(QStringLiteral("client"));
    setWidget(client_);
    if (frame == Frame::Fixed) {
        client_->setFixedSize(client);
        // The frame follows the client's fixed size, whatever the style's borders.
        layout()->setSizeConstraint(QLayout::SetFixedSize);
        keepFixedMenu();
    }
    if (iconId != -1) {
        const QIcon icon = LoadIcon(iconId);
        if (!icon.isNull()) setWindowIcon(icon);
    }
}

EditorWindow::~EditorWindow() = default;

EditorWindow* EditorWindow::FindOpen(const QMdiArea* area, bool RunState::*flag) {
    if (!area) return nullptr;
    for (QMdiSubWindow* window : area->subWindowList()) {
        auto* editor = qobject_cast<EditorWindow*>(window);
        if (editor && editor->openFlag_ == flag && !editor->unloaded_) return editor;
    }
    return nullptr;
}

ProjectEvents* EditorWindow::events() const {
    return events_;
}

Module1* EditorWindow::module() const {
    return events_ ? &events_->Module() : nullptr;
}

void EditorWindow::resizeControls(QSize) {}

void EditorWindow::Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    if (events_) storeFields();
    open_.Release();
}

void EditorWindow::closeEvent(QCloseEvent* event) {
    Unload();
    QMdiSubWindow::closeEvent(event);
}

// A fixed window is never maximised, not even when the window that was
// active before it is: it keeps its frame and title bar.
void EditorWindow::changeEvent(QEvent* event) {
    QMdiSubWindow::changeEvent(event);
    if (frame_ == Frame::Fixed && event->type() == QEvent::WindowStateChange &&
        (windowState() & (Qt::WindowMaximized | Qt::WindowMinimized)))
        setWindowState(windowState() & ~(Qt::WindowMaximized | Qt::WindowMinimized));
}

// A fixed window's menu offers no entry that would size it. The entries stay
// the menu's own (the frame updates them), only no longer shown in it.
void EditorWindow::keepFixedMenu() {
    QMenu* menu = systemMenu();
    if (!menu) return;
    for (QAction* action : menu->actions())
        if (ChangesSize(action)) menu->removeAction(action);
}
