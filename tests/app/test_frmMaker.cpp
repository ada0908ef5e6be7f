// The main window: menus and menu bar from the string table, the command
// table with its windows made once and brought to the front, Close all in
// order, saving (progress shown, window disabled), closing that saves or is
// cancelled, and "Create & test setup" with the window hidden meanwhile.
#include "app/frmMaker.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <memory>

#include "AppFixture.h"
#include "EditorStandIn.h"
#include "common/Progress.h"
#include "project/OpenSetup.h"
#include "ui/FORM_Info.h"
#include "ui/ProjectEvents.h"
#include "ui/qkMenuA.h"
#include "ui/ScriptLanguageWindow.h"
#include "ui/frmEditor.h"

namespace {

class MakerTest : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        Answer(events);
        module.SetHost(host);
        Prepare(module);
        module.Project.ProjectPath = dir / "demo.exe";
        module.NewProject(true);
        maker = std::make_unique<frmMaker>(events);
        host.SetOwner(maker.get());
        maker->show();
    }
    void TearDown() override {
        maker.reset();
        AppTest::TearDown();
    }

    // Editor window i as a stand-in editing setup line `line`.
    void UseStandIn(int i, const char* name, int line) {
        maker->SetWindowFactory(i, [this, i, name, line](ProjectEvents& e, QWidget*) {
            ++made[i];
            return new EditorStandIn(e, MakerCommands()[static_cast<size_t>(i)].OpenFlag, line,
                                     name, log);
        });
    }
    EditorStandIn* StandIn(int i) { return static_cast<EditorStandIn*>(maker->EditorWindow(i)); }
    SetupProject Reopened() {
        SetupProject project;
        RecordingHost quiet;
        project.ProjectPath = dir / "demo.exe";
        EXPECT_TRUE(OpenSetup(project, quiet));
        return project;
    }

    Module1 module;
    ProjectEvents events{module};
    MakerHost host{events};
    std::unique_ptr<frmMaker> maker;
    std::vector<std::string> log;
    int made[5] = {};
};

TEST_F(MakerTest, MenusAndMenuBarFromTheStringTable) {
    EXPECT_EQ(maker->windowTitle(), QStringLiteral("KaveloMaker"));
    EXPECT_EQ(maker->menP->title(), QStringLiteral("&Project"));
    // New, Open and Save as are there but disabled; separators at 2 and 5.
    const bool enabled[] = {false, false, true, true, false, true, true};
    for (size_t i = 0; i < 7; ++i)
        EXPECT_EQ(maker->menPrj[i]->isEnabled(), enabled[i]) << i;
    EXPECT_TRUE(maker->menPrj[2]->isSeparator() && maker->menPrj[5]->isSeparator());
    EXPECT_EQ(maker->menPrj[6]->text(), QStringLiteral("&Quit"));
    // "&" followed by a blank is shown as itself: "General & Interface", G marked.
    EXPECT_EQ(maker->menTool[0]->text(), QStringLiteral("&General && Interface"));
    EXPECT_TRUE(maker->menTool[6]->isSeparator());
    EXPECT_EQ(maker->menTool[7]->text(), QStringLiteral("&Close all"));
    EXPECT_EQ(maker->menInfo->text(), QStringLiteral("&About"));
    EXPECT_EQ(maker->qkMenuA1->ItemCount(), 6);
    EXPECT_EQ(maker->qkMenuA1->TextHeight(), 26);
    EXPECT_EQ(maker->qkMenuA1->eLabel(5)->text(), QStringLiteral("Create setup.exe"));
    EXPECT_EQ(maker->qkMenuA1->accessibleName(), QStringLiteral("Windows"));
}

// Each of the five commands opens its own window once, whether from the
// Windows menu or again from the command table.
TEST_F(MakerTest, EveryWindowCommandOpensItsWindowOnce) {
    const char* classes[] = {"frmGen", "frmScreen", "frmFile", "frmEditor", "frmTest"};
    for (int i = 0; i < 5; ++i) {
        maker->menTool[static_cast<size_t>(i)]->trigger();
        maker->RunCommand(i);
        ASSERT_NE(maker->mdiArea->activeSubWindow(), nullptr) << i;
        EXPECT_STREQ(maker->mdiArea->activeSubWindow()->metaObject()->className(), classes[i]);
    }
    EXPECT_EQ(maker->mdiArea->subWindowList().size(), 5);
    EXPECT_TRUE(messages.empty());
}

TEST_F(MakerTest, AnOpenWindowIsBroughtToTheFrontNotMadeAgain) {
    UseStandIn(0, "gen", LineCaption);
    UseStandIn(1, "screen", LineStartText);
    maker->menTool[0]->trigger();
    ASSERT_NE(StandIn(0), nullptr);
    StandIn(0)->edit->setText(QStringLiteral("typed, not stored yet"));
    // Menu bar item 1: a mouse release on its label.
    QTest::mouseRelease(maker->qkMenuA1->eLabel(1), Qt::LeftButton);
    EXPECT_EQ(maker->mdiArea->activeSubWindow(), StandIn(1));
    maker->RunCommand(0);
    EXPECT_EQ(maker->mdiArea->activeSubWindow(), StandIn(0));
    EXPECT_EQ(made[0], 1);
    EXPECT_EQ(made[1], 1);
    EXPECT_EQ(StandIn(0)->edit->text(), QStringLiteral("typed, not stored yet"));
    EXPECT_EQ(maker->mdiArea->subWindowList().size(), 2);
}

TEST_F(MakerTest, CloseAllClosesTheFiveInOrderAndLeavesTheDebugger) {
    maker->CloseAll(); // nothing open: nothing happens
    const char* names[] = {"gen", "screen", "file", "editor", "test"};
    for (int i = 4; i >= 0; --i) {
        UseStandIn(i, names[i], i);
        maker->RunCommand(i);
        StandIn(i)->edit->setText(QStringLiteral("value %1").arg(i));
    }
    auto* debugger = maker->mdiArea->addSubWindow(new QLabel(QStringLiteral("debugger")));
    debugger->show();
    log.clear();
    maker->menTool[7]->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(log, (std::vector<std::string>{"unload gen", "unload screen", "unload file",
                                             "unload editor", "unload test"}));
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(module.Project.SetupLines[static_cast<size_t>(i)], "value " + std::to_string(i));
        EXPECT_EQ(maker->EditorWindow(i), nullptr);
    }
    EXPECT_FALSE(module.Run.GenOpen || module.Run.ScreenOpen || module.Run.FileListOpen ||
                 module.Run.EditorOpen || module.Run.TestOpen);
    EXPECT_EQ(maker->mdiArea->subWindowList(), QList<QMdiSubWindow*>{debugger});
}

// The save runs on a worker thread. Meanwhile the menus and the menu bar
// take no command while the window stays enabled, and what is typed into the
// project is kept for the next save: this one writes the project as it was
// when it began, and gives the files back packed.
TEST_F(MakerTest, WhileASaveRunsTypingGoesOnAndIsKept) {
    module.Project.AddFile({"readme.txt", std::string(300000, 'r')});
    UseStandIn(0, "gen", LineCaption);
    const std::string before = module.Project.ScriptText;
    struct {
        bool busy = false, window = false, menus = true, bar = true;
    } seen;
    // Queued when the save begins: taken by the event loop while it runs.
    QObject::connect(&events, &ProjectEvents::BusyChanged, maker.get(), [&](bool busy) {
        if (!busy) return;
        QMetaObject::invokeMethod(
            maker.get(),
            [&] {
                seen = {maker->Busy(), maker->isEnabled(), maker->menuBar()->isEnabled(),
                        maker->qkMenuA1->isEnabled()};
                module.Project.ScriptText += "\r\n; typed while saving";
                maker->RunCommand(0); // refused
            },
            Qt::QueuedConnection);
    });
    maker->menPrj[3]->trigger();
    EXPECT_TRUE(seen.busy);
    EXPECT_TRUE(seen.window);
    EXPECT_FALSE(seen.menus);
    EXPECT_FALSE(seen.bar);
    EXPECT_EQ(made[0], 0);
    EXPECT_FALSE(maker->Busy());
    EXPECT_TRUE(maker->menuBar()->isEnabled() && maker->qkMenuA1->isEnabled());
    EXPECT_FALSE(module.Run.ProgressOpen);
    EXPECT_EQ(module.Project.ScriptText, before + "\r\n; typed while saving");
    ASSERT_EQ(module.Project.Files.size(), 2u);
    EXPECT_TRUE(module.Project.Files[1].Packed());
    const SetupProject saved = Reopened();
    EXPECT_EQ(saved.ScriptText, before);
    EXPECT_EQ(saved.Files.size(), 2u);
}

TEST_F(MakerTest, ClosingUnloadsTheWindowsThenSavesAndClosesAbout) {
    UseStandIn(0, "gen", LineCaption);
    maker->RunCommand(0);
    StandIn(0)->edit->setText(QStringLiteral("Caption from the window"));
    maker->menInfo->trigger();
    QPointer<FORM_Info> about = maker->About();
    ASSERT_TRUE(about);
    EXPECT_TRUE(module.Run.InfoOpen);

    maker->menPrj[6]->trigger(); // Quit
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(maker->isVisible());
    EXPECT_TRUE(about.isNull());
    EXPECT_FALSE(module.Run.InfoOpen);
    EXPECT_EQ(Reopened().SetupLines[LineCaption], "Caption from the window");
    EXPECT_TRUE(messages.empty());
}

// Info > Script language opens one read-only window with the language's
// description, which closes with the main window; the script editor's
// problems reach the main window's status bar.
TEST_F(MakerTest, ScriptLanguageWindowAndTheEditorsStatus) {
    maker->menScriptLanguage->trigger();
    auto windows = maker->findChildren<ScriptLanguageWindow*>();
    ASSERT_EQ(windows.size(), 1);
    QPointer<ScriptLanguageWindow> help = windows[0];
    EXPECT_TRUE(help->isVisible());
    EXPECT_TRUE(help->eText->isReadOnly());
    EXPECT_FALSE(help->eText->toPlainText().trimmed().isEmpty());
    maker->menScriptLanguage->trigger();
    EXPECT_EQ(maker->findChildren<ScriptLanguageWindow*>().size(), 1);

    module.Project.ScriptText = "[Install]\r\nCopi tally,1,,tally\r\n";
    maker->RunCommand(3);
    auto* editor = static_cast<frmEditor*>(maker->EditorWindow(3));
    ASSERT_TRUE(editor);
    editor->eText[0]->moveCursor(QTextCursor::End);
    QTest::keyClick(editor->eText[0], Qt::Key_Up);
    EXPECT_EQ(maker->statusBar()->currentMessage(),
              QStringLiteral("line not understood: Copi tally,1,,tally"));
    QTest::keyClick(editor->eText[0], Qt::Key_Up);
    EXPECT_EQ(maker->statusBar()->currentMessage(), QString());

    maker->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(help.isNull());
}

TEST_F(MakerTest, AFailedSaveCancelsTheClose) {
    RemoveRuntime(module);
    maker->menInfo->trigger();
    EXPECT_FALSE(maker->close());
    EXPECT_TRUE(maker->isVisible());
    EXPECT_TRUE(module.Run.InfoOpen); // About stays with the window
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].rfind("Error opening '" + (dir / "kavelomaker.dat") + "\"", 0), 0u)
        << messages[0];
    EXPECT_FALSE(std::filesystem::exists(dir / "demo.exe"));
}

TEST_F(MakerTest, ASetupThatCannotStartIsNamedInAMessage) {
    UseRuntime("this runtime is no program\n");
    bool hidden = false;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] { hidden = hidden || !maker->isVisible(); });
    probe.start(1);
    maker->menTool[kCreateSetupCommand]->trigger();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0],
              "Error starting setup file\n" + (dir / "demo.exe") + "\n" + std::strerror(ENOEXEC));
    EXPECT_FALSE(hidden);
    EXPECT_TRUE(maker->isVisible());
}

TEST_F(MakerTest, CreateAndTestDoesNothingMoreWhenTheSaveFails) {
    RemoveRuntime(module);
    maker->RunCommand(kCreateSetupCommand);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("kavelomaker.dat"), std::string::npos);
    EXPECT_TRUE(maker->isVisible());
}

} // namespace
