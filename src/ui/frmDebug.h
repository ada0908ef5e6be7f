// frmDebug: the installation debugger, which shows the simulator's report
// (the debugger text) and follows it while it is printed.
#pragma once

#include "ui/EditorWindow.h"

class QPlainTextEdit;

// A resizable child window of client size 312 x 213 titled with string 800;
// its one read-only box fills the client area. It shows the debugger text
// when it loads and again at every DebugTextChanged. DebugOpen is true while
// the window is loaded.
class frmDebug : public EditorWindow {
    Q_OBJECT

  public:
    explicit frmDebug(ProjectEvents& events, QWidget* parent = nullptr);
    ~frmDebug() override;

    QPlainTextEdit* eText;

  protected:
    void resizeControls(QSize client) override;

  private:
    void updateText();
};
