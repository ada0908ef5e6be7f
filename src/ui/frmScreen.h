// frmScreen: the startup and finish text window. Edits the texts of the
// setup's first and last page in an imitation of the setup's window: the side
// picture, the text, and on the finish page the launch check box.
#pragma once

#include "ui/EditorWindow.h"

#include <array>

class QCheckBox;
class QPlainTextEdit;
class QPushButton;
class SidePicture;

// A fixed-size child window of 474 x 335 pixels. The texts show each "|" of
// their setup line as a line break and are written back, line breaks as "|",
// when the window unloads. The picture and the check box caption follow the
// general information window while this one is open. ScreenOpen is true while
// it exists; closing it unloads (deletes) it.
class frmScreen : public EditorWindow {
    Q_OBJECT

  public:
    explicit frmScreen(ProjectEvents& events, QWidget* parent = nullptr);
    ~frmScreen() override;

    // The controls under their names: eText(0) the startup text, eText(1)
    // the finish text.
    SidePicture* ePic;
    std::array<QPlainTextEdit*, 2> eText;
    QCheckBox* eCheck;
    std::array<QPushButton*, 3> eButton;

  protected:
    void storeFields() override;
    void changeEvent(QEvent* event) override;

  private:
    void buildControls(QWidget* client);
    void load();
    // Shows page 0 (startup) or 1 (finish).
    void showPage(int page);
    void updatePicture();
    void updateLaunchCaption();
    void updateTextColours();
};
