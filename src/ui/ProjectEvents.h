// What one editor window changes that another open window shows: the window
// that makes the change emits, the windows that show it connect while they are
// open. The windows share the one Module1 (project and run-time state) through
// this object, which the main window creates and hands to each window.
#pragma once

#include <QObject>

class Module1;

class ProjectEvents : public QObject {
    Q_OBJECT
  public:
    explicit ProjectEvents(Module1& module, QObject* parent = nullptr)
        : QObject(parent), module_(module) {}
    Module1& Module() const { return module_; }

  signals:
    // The side picture (SetupProject::Picture) changed: frmScreen and frmTest redraw.
    void PictureChanged();
    // A ".txt" file was added or removed: frmGen refreshes its licence list.
    void LicenceListChanged();
    // LineLaunchText changed: frmScreen's check box shows the new text.
    void LaunchTextChanged();
    // ScriptText or StringsText changed: frmTest reloads its component panel.
    void ScriptChanged();
    // RunState::DebugText changed: frmDebug shows it.
    void DebugTextChanged();

  private:
    Module1& module_;
};
