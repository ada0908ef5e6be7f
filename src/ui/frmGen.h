// frmGen: the general information window. Edits the setup window's caption,
// the side picture, the licence to show, the two subfolders and the text of
// the check box that offers to launch the installed program.
#pragma once

#include "ui/EditorWindow.h"

#include <array>

class IconPicture;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class SidePicture;

// A fixed-size child window of 474 x 335 pixels whose left part imitates the
// setup's window. It reads the project when it loads and writes the text
// fields and the licence back when it unloads; the picture changes in the
// project at once, and the launch text on every keystroke. GenOpen is true
// while it exists. Closing it unloads (deletes) it.
class frmGen : public EditorWindow {
    Q_OBJECT

  public:
    explicit frmGen(ProjectEvents& events, QWidget* parent = nullptr);
    ~frmGen() override;

    // Fills eCombo anew: "(none)" and every file whose name ends in ".txt",
    // in file-list order. The licence selected before stays selected while
    // its file is still listed; on the first fill that is LineLicense.
    void UpdateLicenses();

    // The controls under their names.
    SidePicture* ePic;
    std::array<QLabel*, 5> eLabel;
    std::array<QLineEdit*, 4> eText;
    std::array<QGroupBox*, 2> eFrame;
    IconPicture* eImage;
    std::array<QPushButton*, 5> eButton;
    QComboBox* eCombo;
    // The project's codec, in the free space left of Close.
    QLabel* lLabel;
    QComboBox* eCompression;

  protected:
    void storeFields() override;

  private:
    void buildControls(QWidget* client);
    void orderTabs();
    void load();
    void clearPicture();
    void openPicture();
    void storeLaunchText();
    void updatePicture();
};
