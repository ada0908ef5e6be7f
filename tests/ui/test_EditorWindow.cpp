// What every editor window gets from its base: the open flag for exactly as
// long as it is loaded, the window area finding it by that flag, its own
// icon, and a fixed frame that cannot be sized or maximised.
#include "WindowFixture.h"

#include "ui/ChildWindow.h"
#include "ui/EditorWindow.h"
#include "ui/frmDebug.h"
#include "ui/frmEditor.h"
#include "ui/frmFile.h"
#include "ui/frmGen.h"
#include "ui/frmScreen.h"
#include "ui/frmTest.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QMenu>

#include <functional>

namespace {

struct WindowCase {
    const char* name;
    std::function<EditorWindow*(WindowFixture&)> open;
    bool RunState::*flag;
    bool fixed;
};

const WindowCase kWindows[] = {
    {"frmGen", [](WindowFixture& f) { return f.Open<frmGen>(); }, &RunState::GenOpen, true},
    {"frmScreen", [](WindowFixture& f) { return f.Open<frmScreen>(); }, &RunState::ScreenOpen,
     true},
    {"frmFile", [](WindowFixture& f) { return f.Open<frmFile>(); }, &RunState::FileListOpen, false},
    {"frmEditor", [](WindowFixture& f) { return f.Open<frmEditor>(); }, &RunState::EditorOpen,
     false},
    {"frmTest", [](WindowFixture& f) { return f.Open<frmTest>(); }, &RunState::TestOpen, true},
    {"frmDebug", [](WindowFixture& f) { return f.Open<frmDebug>(); }, &RunState::DebugOpen, false},
};

QStringList MenuTexts(QMenu* menu) {
    QStringList texts;
    for (const QAction* action : menu->actions())
        if (!action->isSeparator()) texts << action->text().remove(u'&');
    return texts;
}

TEST(EditorWindow, OpenFlagFollowsTheWindowAndTheAreaFindsIt) {
    for (const WindowCase& c : kWindows) {
        SCOPED_TRACE(c.name);
        WindowFixture f;
        EditorWindow* window = c.open(f);
        EXPECT_TRUE(f.module.Run.*c.flag);
        EXPECT_EQ(EditorWindow::FindOpen(&f.area, c.flag), window);
        EXPECT_FALSE(window->windowIcon().isNull()); // our own, not the toolkit's
        window->close();
        // Unloaded at once, before the deferred delete.
        EXPECT_FALSE(f.module.Run.*c.flag);
        EXPECT_EQ(EditorWindow::FindOpen(&f.area, c.flag), nullptr);
        WindowFixture::FinishClosing();
        EXPECT_FALSE(f.module.Run.*c.flag);
    }
}

TEST(EditorWindow, FixedWindowsOfferNoSizingAndStayUnmaximised) {
    for (const WindowCase& c : kWindows) {
        SCOPED_TRACE(c.name);
        WindowFixture f;
        EditorWindow* window = c.open(f);
        const QStringList menu = MenuTexts(window->systemMenu());
        EXPECT_TRUE(menu.contains(QStringLiteral("Close")));
        EXPECT_EQ(menu.contains(QStringLiteral("Size")), !c.fixed);
        const QSize before = window->size();
        window->showMaximized();
        QApplication::processEvents();
        EXPECT_EQ(window->isMaximized(), !c.fixed);
        if (c.fixed) {
            EXPECT_EQ(window->size(), before);
        }
    }
}

// The script editor maximised, then a fixed window opened: it keeps its frame
// and size instead of taking the maximised state over.
TEST(EditorWindow, FixedWindowOpenedOverAMaximisedOneKeepsItsFrame) {
    WindowFixture f;
    f.Open<frmEditor>()->showMaximized();
    QApplication::processEvents();
    frmTest* test = f.Open<frmTest>();
    f.area.setActiveSubWindow(test);
    QApplication::processEvents();
    EXPECT_FALSE(test->isMaximized());
    EXPECT_GT(test->height(), test->Client()->height()); // a title bar above the client
}

// A window whose main window's state went first unloads into nothing.
TEST(EditorWindow, OutlivingTheProjectEventsUnloadsIntoNothing) {
    QMdiArea area;
    RecordingHost host;
    Module1 module{host};
    module.NewProject(false);
    auto events = std::make_unique<ProjectEvents>(module);
    auto* window = new frmGen(*events);
    area.addSubWindow(window);
    EXPECT_TRUE(module.Run.GenOpen);
    const std::string caption = module.Project.SetupLines[LineCaption];
    window->eText[0]->setText(QStringLiteral("typed after the main window went"));
    events.reset();
    delete window;
    EXPECT_EQ(module.Project.SetupLines[LineCaption], caption);
}

} // namespace
