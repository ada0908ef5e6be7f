// frmEditor: the script editor, the project's script text and its numbered
// texts side by side, each stored in the project at every keystroke.
#pragma once

#include <QMdiSubWindow>
#include <QRect>

#include <array>
#include <string>

class ClientArea;
class LineNumberColumn;
class ProjectEvents;
class QPlainTextEdit;

// A resizable child window of client size 578 x 343 titled with string 600:
// eText[0] the script, eLabel[0] the text numbers 1 to 64, eText[1] the
// numbered texts. Every change of a box is stored in the project at once and
// announced with ScriptChanged, so the test window rebuilds its panel before
// the next key is handled. EditorOpen is true while the window exists.
class frmEditor : public QMdiSubWindow {
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
    ClientArea* Client() const { return client_; }

  private:
    void storeText(int index);
    void resizeControls(QSize client);

    ProjectEvents& events_;
    ClientArea* client_;
    LayoutValues layout_{};
    bool loading_ = true;
};
