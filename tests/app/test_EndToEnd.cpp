// The editor driven as a person would: a new setup through the save dialog,
// the main window, Save (Ctrl+S), "Create & test setup" from the menu bar
// against a stand-in setup that records its arguments and runs 1.5 s, Quit
// (Ctrl+Q), and the written setup opening as the project that was shown.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QLabel>
#include <QStatusBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "AppFixture.h"
#include "app/MakerApp.h"
#include "app/frmMaker.h"
#include "app/frmStartup.h"
#include "project/OpenSetup.h"
#include "ui/qkMenuA.h"

namespace {

bool SameFiles(const SetupProject& a, const SetupProject& b) {
    if (a.Files.size() != b.Files.size()) return false;
    for (size_t i = 0; i < a.Files.size(); ++i)
        if (a.Files[i].Name != b.Files[i].Name || !a.Files[i].Packed() || !b.Files[i].Packed() ||
            !(a.Files[i].Record() == b.Files[i].Record()))
            return false;
    return true;
}

void Activate(QWidget* window) {
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
}

using EndToEnd = AppTest;

TEST_F(EndToEnd, NewSaveCreateAndTestQuitThenOpenAsShown) {
    const std::string path = dir / "e2e.run"; // a name without an extension gets ".run"
    UseRecordingRuntime(dir / "arguments", "1.5");
    MakerApp app;
    Answer(app.Events());
    Prepare(app.Module());
    app.Start();
    frmStartup* startup = app.Startup();
    ASSERT_TRUE(startup && startup->isVisible());
    Activate(startup);

    dialogAnswer = QString::fromStdString(dir / "e2e");
    QTest::keyClick(startup->focusWidget(), Qt::Key_Space); // "Create a new setup..." has the focus
    frmMaker* maker = app.Maker();
    ASSERT_TRUE(maker && maker->isVisible());
    EXPECT_FALSE(startup->isVisible());
    EXPECT_EQ(maker->statusBar()->findChild<QLabel*>()->text(), QString::fromStdString(path));
    Activate(maker);

    // An editor window stores a caption; Ctrl+S writes it.
    SetupProject& shown = app.Module().Project;
    shown.SetupLines[LineCaption] = "Saved with Ctrl+S";
    QTest::keyClick(maker, Qt::Key_S, Qt::ControlModifier);
    {
        SetupProject saved;
        RecordingHost quiet;
        saved.ProjectPath = path;
        ASSERT_TRUE(OpenSetup(saved, quiet));
        EXPECT_EQ(saved.SetupLines[LineCaption], "Saved with Ctrl+S");
    }

    std::vector<bool> visible;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] { visible.push_back(maker->isVisible()); });
    probe.start(200);
    QTest::mouseRelease(maker->qkMenuA1->eLabel(kCreateSetupCommand), Qt::LeftButton);
    probe.stop();
    EXPECT_EQ(ReadFile(dir / "arguments"), path + "\n" + path + "\n");
    ASSERT_GE(visible.size(), 7u);
    EXPECT_EQ(std::count(visible.begin(), visible.end(), true), 0);
    EXPECT_TRUE(maker->isVisible());
    EXPECT_TRUE(QGuiApplication::quitOnLastWindowClosed());

    // Quit saves what the project holds now.
    shown.SetupLines[LineLaunchText] = "Saved by Quit";
    Activate(maker);
    QTest::keyClick(maker, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(maker->isVisible());
    EXPECT_TRUE(messages.empty());

    SetupProject reopened;
    RecordingHost quiet;
    reopened.ProjectPath = path;
    ASSERT_TRUE(OpenSetup(reopened, quiet));
    EXPECT_EQ(reopened.SetupLines, shown.SetupLines);
    EXPECT_EQ(reopened.ScriptText, shown.ScriptText);
    EXPECT_EQ(reopened.StringsText, shown.StringsText);
    EXPECT_EQ(reopened.Picture, shown.Picture);
    EXPECT_TRUE(SameFiles(reopened, shown));
}

} // namespace
