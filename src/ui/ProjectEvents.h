// What one editor window changes that another open window shows: the window
// that makes the change emits, the windows that show it connect while they are
// open. The windows share the one Module1 (project and run-time state) through
// this object, which the main window creates and hands to each window,
// and ask the user through the Dialogs it holds.
#pragma once

#include <QObject>

#include "ui/Dialogs.h"

class Module1;

class ProjectEvents : public QObject {
    Q_OBJECT
  public:
    explicit ProjectEvents(Module1& module, QObject* parent = nullptr)
        : QObject(parent), module_(module) {}
    Module1& Module() const { return module_; }

    // The dialogs the windows and the program's host show: Qt's own unless
    // a test has handed others, which must outlive this object's use.
    Dialogs& GetDialogs() const { return *dialogs_; }
    void SetDialogs(Dialogs& dialogs) { dialogs_ = &dialogs; }

    // While work on the project's files runs on a worker thread (a save, an
    // open, reading added files) the project is busy: the windows disable
    // what would change the files or start other work, and BusyChanged tells
    // them when that begins and ends.
    bool Busy() const { return busy_ > 0; }
    class Work {
      public:
        explicit Work(ProjectEvents& events) : events_(events) {
            if (events_.busy_++ == 0) emit events_.BusyChanged(true);
        }
        ~Work() {
            if (--events_.busy_ == 0) emit events_.BusyChanged(false);
        }
        Work(const Work&) = delete;
        Work& operator=(const Work&) = delete;

      private:
        ProjectEvents& events_;
    };

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
    // The project became busy (true) or free again (false).
    void BusyChanged(bool busy);

  private:
    static Dialogs& QtDialogs() {
        static Dialogs dialogs; // no state: the same dialogs for every window
        return dialogs;
    }

    Module1& module_;
    Dialogs* dialogs_ = &QtDialogs();
    int busy_ = 0;
};
