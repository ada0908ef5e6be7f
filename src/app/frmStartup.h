// frmStartup: the program's first window. It decides which setup is edited:
// a new one, one chosen in a file dialog, or one from the recent list.
#pragma once

#include <QDialog>

#include <array>
#include <string>

#include "ui/RecentProjects.h"

class Host;
class ProjectOpener;
class QLabel;
class Dialogs;
class QListWidget;
class QPushButton;

// Only when a project is in place does it show the main window and close;
// Quit (or closing it) ends the program.
class frmStartup : public QDialog {
    Q_OBJECT

  public:
    frmStartup(ProjectOpener& opener, Host& host, Dialogs& dialogs, QWidget* parent = nullptr);

    // Button handlers, as eButton(0) to eButton(2) run them.
    void newProject();
    void openSetup();
    void loadSelected();

    const RecentProjects& Recent() const { return recent_; }

    // The controls, under their names: eButton(0) new, (1) open, (2) load
    // the selected project, (3) quit; eList the recent list; lLabel its label.
    std::array<QPushButton*, 4> eButton;
    QListWidget* eList;
    QLabel* lLabel;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildControls();
    void buildLayout();
    void fillList();
    void updateButtons();
    void finish();

    ProjectOpener& opener_;
    Host& host_;
    Dialogs& dialogs_;
    RecentProjects recent_;
};
