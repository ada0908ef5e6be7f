// frmMaker: the main window. A frame for the editor windows with the menus
// Project, Windows and Info and the menu bar qkMenuA1 docked at its left;
// it runs the commands that act on the whole project.
#pragma once

#include <QMainWindow>
#include <QPointer>

#include <array>
#include <functional>

#include "app/MakerCommands.h"

class FORM_Info;
class ProjectEvents;
class QAction;
class QLabel;
class QMdiArea;
class QMenu;
class qkMenuA;

// Every way of leaving the window saves the project first; a failed save
// keeps it open. While a save packs (on a worker thread) its menus and menu
// bar are disabled and the editor windows take typing; while a started
// setup runs it is hidden; no command or close is taken meanwhile.
class frmMaker : public QMainWindow {
    Q_OBJECT

  public:
    using WindowFactory = std::function<QMdiSubWindow*(ProjectEvents&, QWidget*)>;

    explicit frmMaker(ProjectEvents& events, QWidget* parent = nullptr);
    ~frmMaker() override;

    // Command i of the command table (menu bar item i, menTool(i)).
    void RunCommand(int i);
    // Closes each open editor window of commands 0 to 4, in that order.
    void CloseAll();
    // SaveSetup; its messages are its own.
    bool Save();
    // Saves, starts the setup with its own path as argument, hides this
    // window until the setup has ended and shows it again.
    void CreateAndTestSetup();
    // Shows the About window, or brings the open one to the front.
    void ShowAbout();
    // Shows the script language's description, or brings it to the front.
    void ShowScriptLanguage();

    // Replaces the factory of editor window i (0 to 4) from the command table.
    void SetWindowFactory(int i, WindowFactory factory);
    // The editor window of command i while it is loaded, as the window area
    // knows it.
    QMdiSubWindow* EditorWindow(int i) const;
    FORM_Info* About() const;
    // A save, an open or a started setup runs, or the project is busy.
    bool Busy() const;

    // The controls, under their names.
    qkMenuA* qkMenuA1;
    QMdiArea* mdiArea;
    QMenu* menP;
    QMenu* menT;
    QMenu* menI;
    std::array<QAction*, 7> menPrj;
    std::array<QAction*, 8> menTool;
    QAction* menInfo;
    QAction* menScriptLanguage; // Info > Script language

  protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void buildMenus();
    void buildMenuBar();
    void toolMenuClicked(int i);
    void openEditorWindow(int i);
    void runStartedSetup(int64_t processId);
    void unloadClosedWindows();
    void updateAreaBackground();
    void updateCommands(bool busy);

    ProjectEvents& events_;
    std::array<WindowFactory, kEditorWindowCount> factories_;
    QPointer<FORM_Info> about_;
    QPointer<QWidget> scriptLanguage_;
    QLabel* pathLabel_;
    int busy_ = 0;
};
