// frmTest: the test component window, an imitation of the setup's component
// page with the side picture and the component panel built from the current
// script, and the Install button that runs the installation debugger.
#pragma once

#include "script/ComponentPanel.h"
#include "ui/ScriptReport.h"

#include "ui/EditorWindow.h"

#include <array>
#include <string>

class QComboBox;
class QLabel;
class QPushButton;
class SidePicture;
class frmDebug;
class qkScriptSetupA;

// A fixed child window of client size 474 x 335 titled with string 700. It
// rebuilds its panel at every ScriptChanged and redraws the picture at every
// PictureChanged. Install lists the script's problems above the report. TestOpen is true while the
// window is loaded.
class frmTest : public EditorWindow {
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

    // Whose paths Install shows: per user, as root, or the example folders.
    ReportPathKind Paths() const;
    void SetPaths(ReportPathKind kind);

    SidePicture* ePic;
    QLabel* eLabel;
    qkScriptSetupA* qkScriptSetupA1;
    std::array<QPushButton*, 3> eButton{};
    QComboBox* eCombo; // the choice of paths, between Install and Close

  private:
    void install();
    frmDebug* showDebugger();

    std::array<std::string, kMaxStrings> testStrings_;
};
