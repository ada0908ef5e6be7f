// The one base of the editor's child windows: the client area their controls
// sit on, the open flag of the project's run-time state kept true for the
// window's life, the guarded way to the project, and one resize path.
#pragma once

#include <QMdiSubWindow>
#include <QPointer>

#include <cstdint>

#include "project/Session.h"

class ClientArea;
class ProjectEvents;
class QMdiArea;

class EditorWindow : public QMdiSubWindow {
    Q_OBJECT

  public:
    enum class Frame {
        Fixed,     // keeps its client size: no resizing, minimising or maximising
        Resizable, // starts at its client size
    };

    // A window of client size client whose open flag (a RunState member) is
    // true from now until it unloads (closes) or is destroyed; iconId is its
    // window icon, -1 for none.
    EditorWindow(ProjectEvents& events, bool RunState::*openFlag, QSize client, Frame frame,
                 int32_t iconId, QWidget* parent = nullptr);
    ~EditorWindow() override;

    ClientArea* Client() const { return client_; }
    bool RunState::*OpenFlag() const { return openFlag_; }

    // The window of area whose open flag is flag and which has not unloaded;
    // null when there is none.
    static EditorWindow* FindOpen(const QMdiArea* area, bool RunState::*flag);

  protected:
    // The project and the windows' events while they exist; null once the
    // main window's state is gone (a window destroyed after it unloads into
    // nothing).
    Module1* module() const;
    ProjectEvents* events() const;

    // Places the controls for a client area of that size; called at every
    // resize of the client area once the window is built.
    virtual void resizeControls(QSize client);
    // Writes the window's fields back into the project. Called once: when the
    // window closes, or when a subclass's destructor calls Unload.
    virtual void storeFields() {}
    void Unload();

    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void keepFixedMenu();

    // Sets the open flag while it lives.
    class OpenFlagScope {
      public:
        OpenFlagScope(ProjectEvents& events, bool RunState::*flag);
        ~OpenFlagScope();
        OpenFlagScope(const OpenFlagScope&) = delete;
        OpenFlagScope& operator=(const OpenFlagScope&) = delete;
        // Clears the flag now (the window unloads) instead of at the end.
        void Release();

      private:
        QPointer<ProjectEvents> events_;
        bool RunState::*flag_;
    };

    QPointer<ProjectEvents> events_;
    bool RunState::*openFlag_;
    OpenFlagScope open_;
    ClientArea* client_;
    Frame frame_;
    bool unloaded_ = false;
};
