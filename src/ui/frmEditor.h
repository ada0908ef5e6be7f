// frmEditor: the script editor, the project's script text and its numbered
// texts side by side, each stored in the project at every keystroke.
#pragma once

#include "ui/EditorWindow.h"

#include <QRect>

#include <array>
#include <string>

class LineNumberColumn;
class ScriptBox;
class QPlainTextEdit;

// A resizable child window of client size 578 x 343 titled with string 600:
// eText[0] the script, eLabel[0] the text numbers 1 to 64, eText[1] the
// numbered texts. Every change of a box is stored in the project at once and
// announced with ScriptChanged, so the test window rebuilds its panel before
// the next key is handled, and the script's problems are marked anew.
// EditorOpen is true while the window is loaded.
class frmEditor : public EditorWindow {
    Q_OBJECT

  public:
    explicit frmEditor(ProjectEvents& events, QWidget* parent = nullptr);
    ~frmEditor() override;

    // Taken once from the designed positions when the editor loads.
    struct LayoutValues {
        int VerticalMargins;   // 2 x top of the script box
        int HorizontalMargins; // 2 x left of the script box
        int LabelWidth;        // the number column
        int RightBlock;        // strings box width + left of the script box
    };
    const LayoutValues& Layout() const { return layout_; }

    // The boxes' text as the project stores it: UTF-8 with CR LF line ends.
    static std::string BoxText(const QPlainTextEdit& box);

    std::array<QPlainTextEdit*, 2> eText{};
    std::array<LineNumberColumn*, 1> eLabel{};
    // eText[0], whose column numbers the script's lines and marks those that
    // kavelo check would report.
    ScriptBox* Script() const { return script_; }
    // What the window last put into the main window's status bar: the
    // problem of the line the cursor is on.
    const QString& Status() const { return status_; }

  protected:
    void resizeControls(QSize client) override;

  private:
    void storeText(int index);
    void updateProblems();
    void updateStatus();

    ScriptBox* script_;
    QString status_;
    LayoutValues layout_{};
    bool loading_ = true;
};
