// The startup dialog within the program: a new setup through the save
// dialog, opening through the open dialog and from the recent list (with the
// list's moves), the failures that keep the dialog open, and the lock that
// keeps a second program off a setup.
#include "app/frmStartup.h"

#include <gtest/gtest.h>

#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QTest>

#include <unistd.h>

#include "AppFixture.h"
#include "app/MakerApp.h"
#include "app/frmMaker.h"
#include "project/SetupLock.h"

namespace {

class StartupTest : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        app = std::make_unique<MakerApp>();
        Answer(app->Events());
        Prepare(app->Module());
        app->SetLockWait(std::chrono::milliseconds(0));
    }
    void TearDown() override {
        app.reset();
        AppTest::TearDown();
    }
    // Setups on disk under dir, and the recent list holding them in order.
    void MakeSetups(const std::vector<std::string>& names) {
        Module1 maker;
        RecordingHost quiet;
        maker.SetHost(quiet);
        Prepare(maker);
        for (const std::string& name : names) {
            maker.Project.ProjectPath = dir / name;
            maker.NewProject(false);
            ASSERT_TRUE(maker.SaveSetup());
        }
        QSettings settings(QStringLiteral("Tavrin"), QStringLiteral("KaveloMaker"));
        for (size_t i = 0; i < names.size(); ++i)
            settings.setValue(QStringLiteral("%1").arg(i + 1, 2, 10, QLatin1Char('0')),
                              QString::fromStdString(dir / names[i]));
    }
    static std::vector<std::string> StoredList() {
        QSettings settings(QStringLiteral("Tavrin"), QStringLiteral("KaveloMaker"));
        std::vector<std::string> list;
        for (int i = 1; settings.contains(QStringLiteral("%1").arg(i, 2, 10, QLatin1Char('0')));
             ++i)
            list.push_back(settings.value(QStringLiteral("%1").arg(i, 2, 10, QLatin1Char('0')))
                               .toString()
                               .toStdString());
        return list;
    }
    frmStartup& Startup() { return *app->Startup(); }
    bool MainShown() const { return app->Maker() && app->Maker()->isVisible(); }

    std::unique_ptr<MakerApp> app;
};

TEST_F(StartupTest, NewSetupGetsRunSavedAtOnceAndShowsTheMainWindow) {
    app->Start();
    dialogAnswer = QString::fromStdString(dir / "fresh");
    QTest::mouseClick(Startup().eButton[0], Qt::LeftButton);
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_FALSE(dialogs[0].open);
    EXPECT_TRUE(dialogs[0].confirmOverwrite);
    EXPECT_EQ(dialogs[0].title, QStringLiteral("Create new setup..."));
    EXPECT_EQ(Startup().eList->accessibleName(), QStringLiteral("Recent projects"));
    EXPECT_EQ(dialogs[0].nameFilters,
              QStringList{QStringLiteral("Kavelo setup files (*.run *.exe)")});
    EXPECT_EQ(dialogs[0].defaultSuffix, QStringLiteral("run"));
    EXPECT_EQ(app->Module().Project.ProjectPath, dir / "fresh.run");
    EXPECT_TRUE(std::filesystem::exists(dir / "fresh.run"));
    EXPECT_EQ(app->Module().Project.FileCount(), 1); // the sample program
    EXPECT_TRUE(MainShown());
    EXPECT_FALSE(Startup().isVisible());
    EXPECT_EQ(StoredList(), std::vector<std::string>{dir / "fresh.run"});
    EXPECT_TRUE(app->HoldsLock());
}

TEST_F(StartupTest, CancelledDialogsChangeNothing) {
    app->Start();
    dialogAnswer.clear();
    QTest::mouseClick(Startup().eButton[0], Qt::LeftButton);
    QTest::mouseClick(Startup().eButton[1], Qt::LeftButton);
    EXPECT_EQ(dialogs.size(), 2u);
    EXPECT_TRUE(Startup().isVisible());
    EXPECT_FALSE(app->Maker());
    EXPECT_TRUE(messages.empty());
}

TEST_F(StartupTest, ANewSetupThatCannotBeSavedKeepsTheDialog) {
    app->Start();
    dialogAnswer = QString::fromStdString(dir / "no-such-folder/new.exe");
    QTest::mouseClick(Startup().eButton[0], Qt::LeftButton);
    // The save's own message with its reason, then string 31 once more.
    ASSERT_EQ(messages.size(), 2u);
    const std::string path = dir / "no-such-folder/new.exe";
    EXPECT_EQ(messages[0].rfind("Error creating setup file\n" + path + "\n", 0), 0u);
    EXPECT_EQ(messages[1], "Error creating setup file\n" + path);
    EXPECT_TRUE(Startup().isVisible());
    EXPECT_FALSE(app->Maker());
    EXPECT_FALSE(app->HoldsLock());
}

TEST_F(StartupTest, OpeningTheThirdOfFiveMovesItToTheTop) {
    MakeSetups({"a.exe", "b.exe", "c.exe", "d.exe", "e.exe"});
    app->Start();
    ASSERT_EQ(Startup().eList->count(), 5);
    EXPECT_TRUE(Startup().eList->item(0)->isSelected()); // the most recent, ready for Enter
    Startup().eList->setCurrentRow(2);
    QTest::keyClick(Startup().eList, Qt::Key_Return);
    EXPECT_TRUE(MainShown());
    EXPECT_EQ(app->Module().Project.ProjectPath, dir / "c.exe");
    EXPECT_EQ(StoredList(), (std::vector<std::string>{dir / "c.exe", dir / "a.exe", dir / "b.exe",
                                                      dir / "d.exe", dir / "e.exe"}));
}

TEST_F(StartupTest, EnterOrLoadWithNothingSelectedDoesNothing) {
    MakeSetups({"a.exe", "b.exe"});
    app->Start();
    Startup().eList->clearSelection();
    EXPECT_FALSE(Startup().eButton[2]->isEnabled());
    QTest::keyClick(Startup().eList, Qt::Key_Enter);
    Startup().loadSelected();
    EXPECT_FALSE(app->Maker());
    EXPECT_TRUE(Startup().isVisible());
}

TEST_F(StartupTest, AListedSetupThatFailsToOpenStaysListed) {
    MakeSetups({"a.exe", "b.exe"});
    std::filesystem::remove(dir / "b.exe");
    app->Start();
    Startup().eList->setCurrentRow(1);
    QTest::mouseClick(Startup().eButton[2], Qt::LeftButton);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].rfind("Error opening setup file\n" + (dir / "b.exe") + "\n", 0), 0u);
    EXPECT_TRUE(Startup().isVisible());
    EXPECT_EQ(StoredList(), (std::vector<std::string>{dir / "a.exe", dir / "b.exe"}));
    EXPECT_FALSE(app->HoldsLock());
}

TEST_F(StartupTest, OpenDialogAppendsExeButOpensAChosenFileWithoutIt) {
    MakeSetups({"a.exe"});
    std::filesystem::copy_file(dir / "a.exe", dir / "plain");
    app->Start();
    dialogAnswer = QString::fromStdString(dir / "a");
    QTest::mouseClick(Startup().eButton[1], Qt::LeftButton);
    ASSERT_TRUE(MainShown());
    EXPECT_TRUE(dialogs[0].open);
    EXPECT_EQ(dialogs[0].title, QStringLiteral("Load setup..."));
    EXPECT_EQ(app->Module().Project.ProjectPath, dir / "a.exe");

    auto second = std::make_unique<MakerApp>();

    Answer(second->Events());
    Prepare(second->Module());
    second->Start();
    dialogAnswer = QString::fromStdString(dir / "plain");
    QTest::mouseClick(second->Startup()->eButton[1], Qt::LeftButton);
    EXPECT_EQ(second->Module().Project.ProjectPath, dir / "plain");
    EXPECT_TRUE(second->Maker() && second->Maker()->isVisible());
}

// Another program holding the setup: string 32 with the holder on its own
// line. The editor itself holds its setup until it ends.
TEST_F(StartupTest, ASetupHeldByAnotherProgramIsRefused) {
    MakeSetups({"a.exe"});
    SetupLock held = SetupLock::Acquire(dir / "a.exe", "kavelo");
    app->Start();
    QTest::keyClick(Startup().eList, Qt::Key_Return);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Error opening setup file\n" + (dir / "a.exe") +
                               "\nin use by kavelo, process " + std::to_string(getpid()));
    EXPECT_FALSE(app->Maker());
    held.Release();
    QTest::keyClick(Startup().eList, Qt::Key_Return);
    ASSERT_TRUE(MainShown());

    auto second = std::make_unique<MakerApp>();

    Answer(second->Events());
    Prepare(second->Module());
    second->SetLockWait(std::chrono::milliseconds(0));
    second->Start(dir / "a.exe");
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_NE(messages[1].find("\nin use by kavelomaker, process "), std::string::npos);
    EXPECT_TRUE(second->Startup() && second->Startup()->isVisible());
    app.reset();
    EXPECT_NO_THROW(SetupLock::Acquire(dir / "a.exe", "kavelo", std::chrono::milliseconds(0)));
}

TEST_F(StartupTest, ACommandLinePathOpensWithoutTheDialog) {
    MakeSetups({"a.exe"});
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    app->Start("a");
    std::filesystem::current_path(previous);
    EXPECT_TRUE(MainShown());
    EXPECT_EQ(app->Startup(), nullptr);
    EXPECT_EQ(app->Module().Project.ProjectPath,
              (std::filesystem::canonical(dir.Path()) / "a.exe").string());

    auto failing = std::make_unique<MakerApp>();

    Answer(failing->Events());
    Prepare(failing->Module());
    failing->Start(dir / "missing.exe");
    EXPECT_EQ(messages.back().rfind("Error opening setup file\n" + (dir / "missing.exe"), 0), 0u);
    EXPECT_TRUE(failing->Startup() && failing->Startup()->isVisible());
}

} // namespace
