// frmDebug: the installation debugger, which shows the simulator's report
// (the debugger text) and follows it while it is printed.
#pragma once

#include <QMdiSubWindow>

class ClientArea;
class ProjectEvents;
class QPlainTextEdit;

// A resizable child window of client size 312 x 213 titled with string 800;
// its one read-only box fills the client area. It shows the debugger text
// when it loads and again at every DebugTextChanged. DebugOpen is true while
// the window exists.
class frmDebug : public QMdiSubWindow {
    Q_OBJECT

  public:
    explicit frmDebug(ProjectEvents& events, QWidget* parent = nullptr);
    ~frmDebug() override;

    QPlainTextEdit* eText;
    ClientArea* Client() const { return client_; }

  private:
    void updateText();

    ProjectEvents& events_;
    ClientArea* client_;
};
