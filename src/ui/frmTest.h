// frmTest: the test component window, an imitation of the setup's component
// page with the side picture and the component panel built from the current
// script, and the Install button that runs the installation debugger.
#pragma once

#include "script/ComponentPanel.h"

#include <QMdiSubWindow>

#include <array>
#include <string>

class ClientArea;
class ProjectEvents;
class QLabel;
class QPushButton;
class SidePicture;
class frmDebug;
class qkScriptSetupA;

// A fixed child window of client size 474 x 335 titled with string 700. It
// rebuilds its panel at every ScriptChanged and redraws the picture at every
// PictureChanged. TestOpen is true while the window exists.
class frmTest : public QMdiSubWindow {
    Q_OBJECT

  public:
    explicit frmTest(ProjectEvents& events, QWidget* parent = nullptr);
    ~frmTest() override;

    // Rebuilds the panel from the project's script and numbered texts.
    void Update();

    // The numbered texts as the panel gets them: slot n - 1 holds text n.
    // A split fills the slots from the first; slots after its last line keep
    // what an earlier, longer text left there.
    const std::array<std::string, kMaxStrings>& TestStrings() const { return testStrings_; }

    SidePicture* ePic;
    QLabel* eLabel;
    qkScriptSetupA* qkScriptSetupA1;
    std::array<QPushButton*, 3> eButton{};
    ClientArea* Client() const { return client_; }

  private:
    void install();
    frmDebug* showDebugger();

    ProjectEvents& events_;
    ClientArea* client_;
    std::array<std::string, kMaxStrings> testStrings_;
};
