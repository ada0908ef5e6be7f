// The graphical wizard through its entry point (the arguments the runtime
// gives it): the pages a setup shows, the licence, components installed as
// --dry-run says, Cancel during the copy, a failing installation, Escape and
// Enter, and the "for all users" run through a stand-in for pkexec. Scripts
// copy into the installation folder only, so that nothing reaches the
// machine's own folders when the tests run as root.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <set>

#include "InstallSandbox.h"
#include "ui/qkScriptSetupA.h"
#include "wizard/AllUsersInstall.h"
#include "wizard/SetupWizard.h"

namespace {

const std::string kKavelo = KAVELO_PATH;

// A sandbox whose home the wizard in this process uses.
class WizardTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string home = box / "home";
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    }

    // A setup with the given pieces; its script copies into the folder only.
    std::string Make(bool licence, bool components, const std::string& big = "") {
        std::vector<std::pair<std::string, std::string>> files = {
            {"app.sh", "#!/bin/sh\n"}, {"manual.txt", "manual"}, {"licence.txt", "Be nice.\r\n"}};
        std::vector<std::string> script = {"[Install]", "Copy app.sh,1,,app.sh"};
        if (components)
            script = {"[Create]",
                      "Label 1",
                      "  Check 3",
                      "  Check 0",
                      "[Install]",
                      "{1}",
                      "Copy app.sh,1,,app.sh",
                      "{val(2)=1}",
                      "Copy manual.txt,1,,manual.txt"};
        if (!big.empty()) {
            files.push_back({"big.bin", big});
            script.push_back("Copy big.bin,1,,big.bin");
        }
        std::vector<std::pair<std::string, std::string>> lines = {{"caption", "Wizard setup"}};
        if (licence) lines.push_back({"license", "licence.txt"});
        return box.MakeSetup(kKavelo, "w" + std::to_string(++made), files, CrLf(script),
                             CrLf({"Pick:", "Main program", "Manual"}), lines);
    }

    std::unique_ptr<SetupWizard> Open(const std::string& setup) {
        WizardArguments args;
        args.Setup = setup;
        auto wizard = std::make_unique<SetupWizard>(args);
        wizard->SetQuestionAnswer([this](const QString& q) {
            questions.push_back(q);
            return answer;
        });
        wizard->show();
        return wizard;
    }

    // Next until the folder page, where the folder becomes folder.
    void ToFolder(SetupWizard& w, const std::string& folder) {
        while (w.CurrentPage() != WizardPage::Folder) {
            if (w.CurrentPage() == WizardPage::Licence) w.eAccept->setChecked(true);
            QTest::mouseClick(w.eButton[1], Qt::LeftButton);
        }
        w.eFolder->setText(QString::fromStdString(folder));
    }

    Sandbox box;
    int made = 0;
    bool answer = true;
    std::vector<QString> questions;
};

TEST_F(WizardTest, PagesFollowTheLicenceAndTheComponents) {
    using P = WizardPage;
    const struct {
        bool licence, components;
        std::vector<WizardPage> pages;
    } cases[] = {
        {false, false, {P::Welcome, P::Folder, P::Installing, P::Finish}},
        {true, false, {P::Welcome, P::Licence, P::Folder, P::Installing, P::Finish}},
        {false, true, {P::Welcome, P::Components, P::Folder, P::Installing, P::Finish}},
        {true, true, {P::Welcome, P::Licence, P::Components, P::Folder, P::Installing, P::Finish}},
    };
    for (const auto& c : cases) {
        auto w = Open(Make(c.licence, c.components));
        EXPECT_EQ(w->Pages(), c.pages) << c.licence << c.components;
        EXPECT_EQ(w->windowTitle(), QStringLiteral("Wizard setup"));
        EXPECT_EQ(w->size(), QSize(474, 335));
        EXPECT_FALSE(w->windowIcon().isNull());
        EXPECT_EQ(w->eButton[1]->pos(), QPoint(232, 304));
    }
}

// As the setup starts it: the welcome page alone until it has been painted
// or left, then every page, in the same order.
TEST_F(WizardTest, TheWelcomePageComesFirstAndTheOthersRightAfter) {
    WizardArguments args;
    args.Setup = Make(true, true);
    SetupWizard painted(args, nullptr, WizardBuild::WelcomeFirst);
    EXPECT_EQ(painted.Pages(), std::vector<WizardPage>{WizardPage::Welcome});
    EXPECT_EQ(painted.eFolder, nullptr);
    painted.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&painted));
    QTRY_VERIFY(painted.PagesComplete());
    EXPECT_EQ(painted.Pages().size(), 6u);

    SetupWizard left(args, nullptr, WizardBuild::WelcomeFirst);
    left.eButton[1]->click();
    EXPECT_EQ(left.CurrentPage(), WizardPage::Licence);
    EXPECT_EQ(left.Pages(), painted.Pages());
}

TEST_F(WizardTest, TheLicenceMustBeAcceptedAndEnterGoesOn) {
    auto w = Open(Make(true, false));
    EXPECT_FALSE(w->eButton[0]->isEnabled());
    QTest::keyClick(w.get(), Qt::Key_Return);
    ASSERT_EQ(w->CurrentPage(), WizardPage::Licence);
    EXPECT_EQ(w->eLicense->toPlainText(), QStringLiteral("Be nice.\n"));
    EXPECT_FALSE(w->eButton[1]->isEnabled());
    QTest::keyClick(w.get(), Qt::Key_Return);
    EXPECT_EQ(w->CurrentPage(), WizardPage::Licence);
    w->eAccept->setChecked(true);
    QTest::keyClick(w.get(), Qt::Key_Return);
    EXPECT_EQ(w->CurrentPage(), WizardPage::Folder);
    QTest::mouseClick(w->eButton[0], Qt::LeftButton);
    EXPECT_EQ(w->CurrentPage(), WizardPage::Licence);
}

// What the wizard installs for ticked components is what --dry-run of the
// same selection lists.
TEST_F(WizardTest, TickedComponentsInstallWhatADryRunLists) {
    const std::string setup = Make(false, true);
    auto w = Open(setup);
    QTest::mouseClick(w->eButton[1], Qt::LeftButton);
    ASSERT_EQ(w->CurrentPage(), WizardPage::Components);
    QAbstractButton* manual = w->qkScriptSetupA1->eCheck(2);
    ASSERT_TRUE(manual);
    QTest::mouseClick(manual, Qt::LeftButton);
    ToFolder(*w, box / "inst");
    EXPECT_TRUE(w->eFolderProblem->text().isEmpty()) << w->eFolderProblem->text().toStdString();
    EXPECT_TRUE(w->eSpace->text().contains(QStringLiteral("Space needed")));
    QTest::mouseClick(w->eButton[1], Qt::LeftButton);
    ASSERT_EQ(w->CurrentPage(), WizardPage::Finish);
    EXPECT_EQ(w->ExitStatus(), 0);

    const RunResult dry =
        RunCommand({setup, "--dry-run", "--dir", box / "inst", "--select", "2=1"});
    ASSERT_EQ(dry.status, 0) << dry.out;
    std::set<std::string> listed, installed;
    for (size_t at = 0; (at = dry.out.find(" -> ", at)) != std::string::npos; at += 4)
        listed.insert(dry.out.substr(at + 4, dry.out.find('\n', at) - at - 4));
    for (const auto& e : std::filesystem::directory_iterator(box / "inst"))
        if (e.path().filename().string()[0] != '.' && e.path().filename() != "uninstall")
            installed.insert(e.path().string());
    EXPECT_EQ(installed, listed) << dry.out;
    EXPECT_EQ(ReadFile(box / "inst/manual.txt"), "manual");
}

TEST_F(WizardTest, CancelDuringTheCopyLeavesNothing) {
    const TreeSnapshot before = box.Tree();
    auto w = Open(Make(false, false, std::string(24u << 20, 'x')));
    ToFolder(*w, box / "inst");
    // Cancel is pressed once the copy is under way, and confirmed.
    QTimer::singleShot(0, w.get(), [&] { QTest::mouseClick(w->eButton[2], Qt::LeftButton); });
    QTest::mouseClick(w->eButton[1], Qt::LeftButton);
    ASSERT_EQ(w->CurrentPage(), WizardPage::Finish);
    EXPECT_EQ(w->ExitStatus(), 4);
    EXPECT_EQ(questions.size(), 1u);
    EXPECT_TRUE(w->eFinish->text().contains(QStringLiteral("Nothing was changed")));
    EXPECT_EQ(SnapshotDifference(before, box.Tree()), "");
}

TEST_F(WizardTest, AFailedInstallationSaysWhatAndWhichFile) {
    const TreeSnapshot before = box.Tree();
    auto w = Open(Make(false, false, std::string(3u << 20, 'y')));
    ToFolder(*w, box / "inst");
    // Files may grow to 1 MB only: the big copy fails in the middle.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit limit = old;
    limit.rlim_cur = 1u << 20;
    setrlimit(RLIMIT_FSIZE, &limit);
    QTest::mouseClick(w->eButton[1], Qt::LeftButton);
    setrlimit(RLIMIT_FSIZE, &old);
    ASSERT_EQ(w->CurrentPage(), WizardPage::Finish);
    EXPECT_EQ(w->ExitStatus(), 1);
    const QString text = w->eFinish->text();
    EXPECT_TRUE(text.contains(QStringLiteral("big.bin"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Nothing was changed"))) << text.toStdString();
    EXPECT_FALSE(w->eLaunch->isVisible());
    EXPECT_EQ(SnapshotDifference(before, box.Tree()), "");
}

// A folder this process cannot write: read-only by its mode, or, for root,
// which may write anywhere else, a read-only file system mounted in a mount
// namespace of this test process's own. False when none can be made.
bool MakeUnwritableFolder(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    if (::geteuid() != 0) return ::chmod(folder.c_str(), 0555) == 0;
    return ::unshare(CLONE_NEWNS) == 0 &&
           ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
           ::mount("kavelo-test", folder.c_str(), "tmpfs", MS_RDONLY, "size=64k") == 0;
}

TEST_F(WizardTest, AFolderThatCannotBeWrittenIsSaidBeforeInstalling) {
    auto w = Open(Make(false, false));
    if (!MakeUnwritableFolder(box / "locked"))
        GTEST_SKIP() << "as root, only a read-only mount in a private namespace is unwritable";
    ToFolder(*w, box / "locked/inst");
    EXPECT_TRUE(w->eFolderProblem->text().contains(QStringLiteral("cannot write")))
        << w->eFolderProblem->text().toStdString();
    EXPECT_FALSE(w->eButton[1]->isEnabled());
    if (::geteuid() == 0)
        ::umount((box / "locked").c_str());
    else
        ::chmod((box / "locked").c_str(), 0755);
}

TEST_F(WizardTest, EscapeAsksBeforeQuitting) {
    auto w = Open(Make(false, false));
    answer = false;
    QTest::keyClick(w.get(), Qt::Key_Escape);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(questions.size(), 1u);
    answer = true;
    QTest::keyClick(w.get(), Qt::Key_Escape);
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(w->result(), 4);
    EXPECT_EQ(w->ExitStatus(), 4);
}

TEST_F(WizardTest, EveryControlHasAnAccessibleName) {
    auto w = Open(Make(true, true));
    for (QWidget* child : w->findChildren<QWidget*>()) {
        const bool control = qobject_cast<QAbstractButton*>(child) ||
                             qobject_cast<QLineEdit*>(child) ||
                             child == static_cast<QWidget*>(w->eLicense);
        if (control && child->parentWidget() != w->qkScriptSetupA1->Surface()) {
            EXPECT_FALSE(child->accessibleName().isEmpty()) << child->objectName().toStdString();
        }
    }
}

// "For all users": the setup runs unattended through pkexec with the
// wizard's folder and selection; a stand-in runs the command as it is.
TEST_F(WizardTest, ForAllUsersRunsTheSetupThroughTheElevator) {
    const std::string setup = Make(false, true);
    std::filesystem::create_directories(box / "bin");
    const std::string standIn = box / "bin/pkexec";
    WriteFile(standIn, "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args\"\nexec \"$@\"\n");
    ::chmod(standIn.c_str(), 0755);
    std::string selection(64, '\0');
    selection[0] = 1;
    selection[1] = 1;
    std::vector<double> parts;
    const AllUsersOutcome outcome =
        AllUsersInstall(QString::fromStdString(standIn), QString::fromStdString(setup))
            .Run(QString::fromStdString(box / "inst"), selection, 2,
                 [&](double part, const QString&) { parts.push_back(part); });
    EXPECT_EQ(outcome.Status, 0) << outcome.Text.toStdString();
    EXPECT_EQ(ReadFile(box / "inst/manual.txt"), "manual");
    ASSERT_FALSE(parts.empty());
    EXPECT_DOUBLE_EQ(parts.back(), 1.0);
    const std::string args = ReadFile(standIn + ".args");
    EXPECT_EQ(args.rfind(setup + "\n--unattended\n--dir\n" + (box / "inst") + "\n", 0), 0u) << args;
    EXPECT_TRUE(Contains(args, "--select\n1=1,2=1,3=0,")) << args;
    // Refused by the elevator: nothing changed, said so.
    WriteFile(standIn, "#!/bin/sh\nexit 126\n");
    const AllUsersOutcome refused =
        AllUsersInstall(QString::fromStdString(standIn), QString::fromStdString(setup))
            .Run(QString::fromStdString(box / "other"), selection, 2,
                 [](double, const QString&) {});
    EXPECT_EQ(refused.Status, 4);
    EXPECT_TRUE(refused.Text.contains(QStringLiteral("not authorised")));
    EXPECT_FALSE(std::filesystem::exists(box / "other"));
}

// Without pkexec, "for all users" is greyed out with the reason; as root
// there is no choice to make, so neither the choice nor the reason shows.
TEST_F(WizardTest, WithoutPkexecAllUsersIsGreyedWithAReason) {
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QByteArray::fromStdString(box / "empty"));
    auto w = Open(Make(false, false));
    qputenv("PATH", path);
    ToFolder(*w, box / "inst");
    if (::geteuid() == 0) {
        EXPECT_FALSE(w->eForMe->isVisible());
        EXPECT_FALSE(w->eForAll->isVisible());
        EXPECT_FALSE(w->eForAllReason->isVisible());
        return;
    }
    EXPECT_TRUE(w->eForMe->isChecked());
    EXPECT_FALSE(w->eForAll->isEnabled());
    EXPECT_TRUE(w->eForAllReason->text().contains(QStringLiteral("pkexec")));
}

} // namespace
