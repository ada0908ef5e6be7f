// frmFile: the file manager window. Lists the project's files by internal
// name; files are added by dropping them from a desktop file manager or
// through "Add files...", folders as trees through "Add folder...", files
// renamed one at a time and removed, each change made in the project at once.
#pragma once

#include "ui/EditorWindow.h"

#include <QRect>

#include <array>
#include <string>
#include <string_view>
#include <vector>

class QLabel;
class QListWidget;
class QMenu;
class QPushButton;
class qkProgressA;
struct Intake;

// The characters a renamed file's name may consist of (the underscore is
// listed twice); no blank, hyphen or upper-case letter.
inline constexpr std::string_view AllowedNameChars =
    "abcdefghijklmnopqrstuvwxyz1234567890_=~!@#$%^&*()_+,.'";

// True when every character of name is one of AllowedNameChars and name is
// not "." or ".." (which name a folder, and which opening a setup refuses).
bool IsValidFileName(std::string_view name);

// The buttons from left to right: eButton(0) "Add files...", eButton(4)
// "Add folder...", then eButton(1) to eButton(3).
inline constexpr std::array<int, 5> kFileButtonRow = {0, 4, 1, 2, 3};

// Where the controls sit for a client area of the given size: the list
// keeps an 8-pixel margin, the five buttons (in kFileButtonRow order) share
// its width equally (their lefts kept fractional) 8 pixels above the bottom
// edge, and the status line, statusHeight high when shown (0 when not),
// takes a band of the list's height just above them.
struct FileManagerLayout {
    QRect List;
    std::array<QRectF, 5> Buttons; // in row order
    QRect Status;
};
FileManagerLayout LayOutFileManager(QSize client, int statusHeight);

// A resizable child window, initially 416 x 327 pixels. List entry k always
// shows file k of the project; a tree shows its file count and size. While
// added files are read (on a worker thread) a progress bar takes the status
// line's place, and while the project is busy the list, the buttons and the
// menu take nothing. Files refused are named in a status line above the
// buttons, wrapped to the list's width, until the list next changes.
class frmFile : public EditorWindow {
    Q_OBJECT

  public:
    explicit frmFile(ProjectEvents& events, QWidget* parent = nullptr);
    ~frmFile() override;

    // Adds the files at paths as a drop does; a name already listed gets the
    // new contents and keeps its place. Returns when they are read.
    void DropPaths(const std::vector<std::string>& paths);
    // Adds each folder as one tree, as "Add folder..." does; a tree of the
    // same name is replaced in its place.
    void AddFolders(const std::vector<std::string>& folders);

    // The controls under their names, with the status line lStatus, the bar
    // eProgress that replaces it while files are read, and the popup menu mM
    // with its items menM(0) to menM(4) (action i as eButton(i)).
    QListWidget* eList;
    std::array<QPushButton*, 5> eButton;
    QLabel* lStatus;
    qkProgressA* eProgress;
    QMenu* mM;
    std::array<QAction*, 5> menM;

  protected:
    void resizeControls(QSize client) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildControls(QWidget* client);
    void buildMenu();
    void load();
    // Action i of the buttons and the menu: 0 add files, 1 rename, 2 remove,
    // 3 close, 4 add folder.
    void runAction(int i);
    void addFiles();
    void addFolder();
    void renameSelected();
    void removeSelected();
    void intake(const std::vector<std::string>& files, const std::vector<std::string>& folders);
    void showIntake(const Intake& read, const std::vector<std::string>& folders);
    void readTrees();
    void updateBusy(bool busy);
    void showStatus(const QString& text);
    void layOut();

    QString statusText_;
    bool reading_ = false; // this window's own work runs
};
