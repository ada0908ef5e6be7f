// The startup dialog within the program: a new setup through the save
// dialog, opening through the open dialog and from the recent list (with the
// list's moves), the failures that keep the dialog open, and the lock that
// keeps a second program off a setup.
#include "app/frmStartup.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include <unistd.h>

#include <cstdio>
#include <functional>
#include <random>

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

// Another program wrote the setup after the editor opened it: Save asks in
// the question window over the main window (warning icon, Yes and No, No by
// default) and replaces the file only on Yes; No keeps the other program's
// bytes and says that the setup was not written.
TEST_F(StartupTest, SavingOverASetupChangedOnDiskAsksFirst) {
    // The real question window; messages still answered at once.
    struct RealQuestion : AnsweringDialogs {
        bool Question(QWidget* parent, const QString& text) override {
            return Dialogs::Question(parent, text);
        }
    } dialogs;
    const std::string path = dir / "a.exe";
    for (const bool yes : {false, true}) {
        MakeSetups({"a.exe"});
        app = std::make_unique<MakerApp>();
        app->Events().SetDialogs(dialogs);
        Prepare(app->Module());
        app->Start(path);
        ASSERT_NE(app->Maker(), nullptr);
        const std::string theirs = ReadFile(path) + "appended by another program";
        WriteFile(path, theirs);
        struct Seen {
            QString title, text;
            QMessageBox::Icon icon = QMessageBox::NoIcon;
            QWidget* parent = nullptr;
            bool noByDefault = false;
            int buttons = 0;
        } seen;
        // Reads the box when it is shown and answers it once its loop runs.
        struct Answerer : QObject {
            std::function<void(QMessageBox*)> answer;
            bool eventFilter(QObject* watched, QEvent* event) override {
                auto* box = qobject_cast<QMessageBox*>(watched);
                if (box && event->type() == QEvent::Show)
                    QTimer::singleShot(0, box, [this, box] { answer(box); });
                return false;
            }
        } answerer;
        answerer.answer = [&](QMessageBox* box) {
            seen = {box->windowTitle(),
                    box->text(),
                    box->icon(),
                    box->parentWidget(),
                    box->defaultButton() == box->button(QMessageBox::No),
                    static_cast<int>(box->buttons().size())};
            box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
        };
        qApp->installEventFilter(&answerer);
        dialogs.messages.clear();
        EXPECT_EQ(app->Maker()->Save(), yes);
        qApp->removeEventFilter(&answerer);
        EXPECT_EQ(seen.title, QStringLiteral("KaveloMaker"));
        EXPECT_TRUE(seen.text.startsWith(QString::fromStdString(
            path + "\nthe setup was changed by another program since it was opened.\n")))
            << seen.text.toStdString();
        EXPECT_EQ(seen.icon, QMessageBox::Warning);
        EXPECT_EQ(seen.parent, app->Maker());
        EXPECT_TRUE(seen.noByDefault);
        EXPECT_EQ(seen.buttons, 2);
        EXPECT_EQ(ReadFile(path) == theirs, !yes);
        EXPECT_EQ(dialogs.messages.size(), yes ? 0u : 1u);
        if (!yes) {
            EXPECT_EQ(dialogs.messages[0].rfind("Error creating setup file\n" + path, 0), 0u);
        }
        app.reset();
    }
}

// Settings files of random bytes and of damaged lists (the editor once
// aborted on one): the dialog always opens, lists at most 32 non-empty paths,
// and lists a well-formed list exactly, up to its first gap. Each file is
// read from a folder of its own, so that no cached copy of the last is used.
TEST_F(StartupTest, RandomSettingsFilesNeverStopTheDialog) {
    std::mt19937 random(20261207);
    const auto below = [&](size_t n) { return static_cast<size_t>(random() % n); };
    const std::vector<std::string> pieces = {
        "[General]\n", "\n",  "01=", "02=", "32=", "33=", "@ByteArray(", "@Variant(",
        "@Invalid()",  "\\x", "\\0", "\\",  "\"",  ",",   ")",           "=",
        "%U",          "[",   "]",   " ",   ";",   "\r"};
    int listed = 0;
    for (int round = 0; round < 1000; ++round) {
        std::string text;
        std::vector<std::string> expected;
        if (round % 4 == 0) {
            // A well-formed list, a gap in it now and then.
            text = "[General]\n";
            const size_t count = below(40);
            const size_t gap = below(2) ? below(40) + 1 : 99;
            for (size_t i = 1; i <= count; ++i) {
                if (i == gap) continue;
                std::string path = "/setups/";
                for (size_t k = below(30) + 1; k > 0; --k)
                    path += static_cast<char>('a' + below(26));
                char key[8];
                std::snprintf(key, sizeof key, "%02zu=", i);
                text += key + path + ".exe\n";
                if (i < gap && expected.size() < RecentProjects::kMaxEntries)
                    expected.push_back(path + ".exe");
            }
        } else {
            for (size_t n = below(200); n > 0; --n)
                text += below(3) ? pieces[below(pieces.size())]
                                 : std::string(1, static_cast<char>(random()));
        }
        const QString folder = QString::fromStdString(dir / ("settings" + std::to_string(round)));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
        QDir().mkpath(folder + "/Tavrin");
        QFile file(folder + "/Tavrin/KaveloMaker.conf");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.data(), static_cast<qint64>(text.size()));
        file.close();

        frmStartup startup(*app, app->GetHost(), answers);
        const std::vector<std::string>& entries = startup.Recent().Entries();
        ASSERT_LE(entries.size(), RecentProjects::kMaxEntries) << round;
        ASSERT_EQ(startup.eList->count(), static_cast<int>(entries.size())) << round;
        for (const std::string& entry : entries)
            ASSERT_FALSE(entry.empty()) << round;
        if (round % 4 == 0) {
            ASSERT_EQ(entries, expected) << round << "\n" << text;
        }
        listed += !entries.empty();
    }
    // The random files reach the list too, not only the well-formed ones.
    EXPECT_GT(listed, 250);
}

} // namespace
