// The main window's command table: menu bar item i and Windows menu entry
// menTool(i) run command i. Commands 0 to 4 open an editor window or bring
// the open one to the front; command 5 creates and tests the setup.
#pragma once

#include <array>
#include <cstdint>

#include "project/Session.h"

class ProjectEvents;
class QMdiSubWindow;
class QWidget;

// Makes an editor window reading the project through events; the main window
// adds it to its window area.
using EditorWindowFactory = QMdiSubWindow* (*)(ProjectEvents& events, QWidget* parent);

// The factory of an editor window class with the constructor
// Window(ProjectEvents& events, QWidget* parent).
template <class Window> QMdiSubWindow* MakeEditorWindow(ProjectEvents& events, QWidget* parent) {
    return new Window(events, parent);
}

struct MakerCommand {
    int32_t MenuCaption;      // string of menTool(i)
    int32_t BarCaption;       // string of menu bar item i
    int32_t Icon;             // picture of menu bar item i
    bool RunState::*OpenFlag; // the window's open flag; null for command 5
    // Null while the window does not exist yet: the command does nothing.
    EditorWindowFactory Make;
};

inline constexpr int kMakerCommandCount = 6;
inline constexpr int kEditorWindowCount = 5;  // commands 0 to 4
inline constexpr int kCreateSetupCommand = 5; // "Create & test setup"
inline constexpr int kCloseAllEntry = 7;      // menTool(7), after a separator

const std::array<MakerCommand, kMakerCommandCount>& MakerCommands();
