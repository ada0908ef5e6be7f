// The test component window and the debugger: the panel from the project's
// texts through the 1,024 string slots that keep stale lines, the picture,
// Install printing the simulator's report for the panel's selection into the
// debugger, which follows the debugger text and outlives nothing but it.
#include "ui/frmTest.h"

#include "WindowFixture.h"
#include "script/InstallSimulator.h"
#include "ui/ChildWindow.h"
#include "ui/RawBitmap.h"
#include "ui/RawPictureBox.h"
#include "ui/TextConvert.h"
#include "ui/frmDebug.h"
#include "ui/qkScriptSetupA.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

namespace {

std::vector<frmDebug*> Debuggers(const QMdiArea& area) {
    std::vector<frmDebug*> found;
    for (QMdiSubWindow* window : area.subWindowList())
        if (auto* debug = qobject_cast<frmDebug*>(window)) found.push_back(debug);
    return found;
}

std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i)
        text += (i ? "\r\n" : "") + lines[i];
    return text;
}

// A 24-bit bitmap of one colour.
std::string SolidBitmap(int width, int height, uint32_t rgb) {
    const auto le = [](uint32_t v, int n) {
        std::string s;
        for (int k = 0; k < n; ++k)
            s += static_cast<char>(v >> (8 * k) & 0xFF);
        return s;
    };
    const int stride = (width * 3 + 3) / 4 * 4;
    std::string row(static_cast<size_t>(stride), '\0');
    for (int x = 0; x < width; ++x)
        row.replace(static_cast<size_t>(3 * x), 3, le(rgb, 3));
    std::string pixels;
    for (int y = 0; y < height; ++y)
        pixels += row;
    return "BM" + le(static_cast<uint32_t>(54 + pixels.size()), 4) + le(0, 4) + le(54, 4) +
           le(40, 4) + le(static_cast<uint32_t>(width), 4) + le(static_cast<uint32_t>(height), 4) +
           le(1, 2) + le(24, 2) + le(0, 24) + pixels;
}

TEST(frmTest, LoadsTheTemplatePanelAndPictureAtAFixedSize) {
    WindowFixture f;
    QPointer<frmTest> test = f.Open<frmTest>();
    EXPECT_TRUE(f.module.Run.TestOpen);
    EXPECT_EQ(test->windowTitle(), QStringLiteral("Test component window"));
    EXPECT_FALSE(test->windowIcon().isNull());
    EXPECT_EQ(test->widget()->size(), QSize(474, 335));
    EXPECT_FALSE(test->windowFlags() &
                 (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    test->resize(test->size() + QSize(100, 100));
    EXPECT_EQ(test->widget()->size(), QSize(474, 335));
    EXPECT_EQ(test->eLabel->text(), QStringLiteral("Choose the components you want to install"));
    const char* captions[] = {"&Update", "&Install", "&Close"};
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(test->eButton[i]->text(), QString::fromLatin1(captions[i]));
    ASSERT_TRUE(test->qkScriptSetupA1->eCheck(1));
    EXPECT_EQ(test->qkScriptSetupA1->eCheck(1)->nextInFocusChain(), test->eButton[0]);

    const QImage picture = RawBitmapToImage(f.module.Project.Picture);
    ASSERT_FALSE(picture.isNull());
    const QImage shown = test->ePic->grab().toImage();
    for (const QPoint at : {QPoint(0, 0), QPoint(60, 150), QPoint(127, 319)})
        EXPECT_EQ(shown.pixel(at), picture.pixel(at)) << at.x();
    EXPECT_EQ(QColor(shown.pixel(130, 322)), test->ePic->palette().color(QPalette::Button));

    f.module.Project.Picture = SolidBitmap(4, 4, 0x00FF00);
    emit f.events.PictureChanged();
    EXPECT_EQ(test->ePic->grab().toImage().pixel(1, 1) & 0xFFFFFF, 0x00FF00u);

    QTest::mouseClick(test->eButton[2], Qt::LeftButton);
    f.FinishClosing();
    EXPECT_TRUE(test.isNull());
    EXPECT_FALSE(f.module.Run.TestOpen);
}

// Only the first 1,024 lines reach the panel; a shorter text leaves the
// slots after its last line as the longer one filled them.
TEST(frmTest, StringSlotsTakeTheFirst1024LinesAndKeepStaleOnes) {
    WindowFixture f;
    std::string strings;
    for (int n = 1; n <= 1030; ++n)
        strings += "t" + std::to_string(n) + "\r\n";
    f.module.Project.StringsText = strings;
    f.module.Project.ScriptText = "[Create]\r\nstrjump 1023\r\nlabel\r\nlabel\r\nlabel\r\n"
                                  "strjump 5\r\nlabel\r\n";
    frmTest* test = f.Open<frmTest>();
    EXPECT_EQ(test->TestStrings()[0], "t1");
    EXPECT_EQ(test->TestStrings()[1023], "t1024");
    const qkScriptSetupA& panel = *test->qkScriptSetupA1;
    EXPECT_EQ(panel.eLabel(1)->text(), QStringLiteral("t1023"));
    EXPECT_EQ(panel.eLabel(2)->text(), QStringLiteral("t1024"));
    EXPECT_EQ(panel.eLabel(3)->text(), QString());
    EXPECT_EQ(panel.eLabel(4)->text(), QStringLiteral("t5"));

    f.module.Project.StringsText = "a\r\nb\r\nc";
    QTest::mouseClick(test->eButton[0], Qt::LeftButton); // Update
    EXPECT_EQ(test->TestStrings()[2], "c");
    EXPECT_EQ(test->TestStrings()[3], "t4");
    EXPECT_EQ(test->TestStrings()[1023], "t1024");
    EXPECT_EQ(panel.eLabel(4)->text(), QStringLiteral("t5"));
}

TEST(frmTest, InstallPrintsTheTemplateReportIntoANewDebugger) {
    WindowFixture f;
    frmTest* test = f.Open<frmTest>();
    EXPECT_FALSE(f.module.Run.DebugOpen);
    QTest::mouseClick(test->eButton[1], Qt::LeftButton);
    const std::vector<frmDebug*> debuggers = Debuggers(f.area);
    ASSERT_EQ(debuggers.size(), 1u);
    EXPECT_TRUE(f.module.Run.DebugOpen);
    EXPECT_EQ(f.area.activeSubWindow(), debuggers[0]);
    const std::string target = "C:\\Programmes\\MyDirectory\\MyApp.exe";
    const std::string name = "name=Start My Application; Target=" + target + "; Params=";
    const std::string expected = Lines({
        "    AbortInstallation if < 1.0): " + target,
        "        Check ,1,,MyApp.exe,,,1.0",
        "    (DeleteFile): C:\\Programmes\\MyDirectory\\MyApp.log",
        "    Copy: MyApp.exe -> " + target,
        "    CreateShortcut " + name,
        "    CreateDesktopIcon " + name,
        "    (CreateQuickLaunchIcon) " + name,
        "",
        "",
    });
    EXPECT_EQ(f.module.Run.DebugText, expected);
    EXPECT_EQ(debuggers[0]->eText->toPlainText(), BytesToText(expected));
    EXPECT_EQ(debuggers[0]->windowTitle(), QStringLiteral("Installation debugger"));
}

// The selection of the panel decides the report; a second Install replaces
// the report in the same debugger and brings it to the front.
TEST(frmTest, InstallFollowsThePanelSelection) {
    WindowFixture f;
    f.module.Project.ScriptText = "[Create]\r\ncheck 2\r\ncheck\r\n[Install]\r\n"
                                  "{val(1)=1}\r\nCopy a.exe,1,,a.exe\r\n"
                                  "{val(2)=1}\r\nCopy MyApp.exe,1,Bin,\r\n";
    frmTest* test = f.Open<frmTest>();
    QTest::mouseClick(test->eButton[1], Qt::LeftButton);
    frmDebug* debug = Debuggers(f.area).at(0);
    EXPECT_EQ(
        f.module.Run.DebugText,
        Lines({"### Warning: Reference to missing file: a.exe", "###      Copy a.exe,1,,a.exe",
               "    Copy: a.exe -> C:\\Programmes\\MyDirectory\\a.exe", "", ""}));

    f.area.setActiveSubWindow(test);
    QTest::mouseClick(test->qkScriptSetupA1->eCheck(1), Qt::LeftButton);
    QTest::mouseClick(test->qkScriptSetupA1->eCheck(2), Qt::LeftButton);
    QTest::mouseClick(test->eButton[1], Qt::LeftButton);
    EXPECT_EQ(Debuggers(f.area), std::vector<frmDebug*>{debug});
    EXPECT_EQ(f.area.activeSubWindow(), debug);
    const std::string report =
        Lines({"    Copy: MyApp.exe -> C:\\Programmes\\MyDirectory\\Bin\\MyApp.exe", "", ""});
    EXPECT_EQ(f.module.Run.DebugText, report);
    const SetupProject& p = f.module.Project;
    const InstallSource source{p.ScriptText, p.StringsText,
                               [&p](const std::string& n) { return p.FindFile(n) >= 0; }};
    std::vector<std::string> simulated =
        SimulateInstall(source, std::string("\0\1", 2) + std::string(62, '\0'));
    simulated.insert(simulated.end(), {"", ""});
    EXPECT_EQ(report, Lines(simulated));
    EXPECT_EQ(debug->eText->toPlainText(), BytesToText(report));
}

// Alt and the marked letter press a button of the window that has the focus
// (the button shows itself pressed for a moment before it acts).
TEST(frmTest, AccessKeysPressTheButtons) {
    WindowFixture f;
    f.area.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f.area));
    QPointer<frmTest> test = f.Open<frmTest>();
    test->eButton[0]->setFocus();
    QTest::keyClick(test->eButton[0], Qt::Key_I, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return f.module.Run.DebugOpen; }));
    f.area.setActiveSubWindow(test);
    test->eButton[0]->setFocus();
    QTest::keyClick(test->eButton[0], Qt::Key_C, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] {
        f.FinishClosing();
        return test.isNull();
    }));
}

TEST(frmTest, AWarningAloneStillEndsWithTwoEmptyLines) {
    WindowFixture f;
    f.module.Project.ScriptText = "[Create]\r\ncheck 2\r\n";
    frmTest* test = f.Open<frmTest>();
    QTest::mouseClick(test->eButton[1], Qt::LeftButton);
    EXPECT_EQ(f.module.Run.DebugText, "### Warning: Nothing to do\r\n\r\n");
}

// The debugger shows the debugger text as it was when it opens, follows every
// print, fills its client area, and leaves the text behind when it closes.
TEST(frmDebug, FollowsTheDebuggerTextWhichOutlivesIt) {
    WindowFixture f;
    f.module.DebugPrint("earlier report");
    QPointer<frmDebug> debug = f.Open<frmDebug>();
    EXPECT_TRUE(f.module.Run.DebugOpen);
    EXPECT_EQ(debug->widget()->size(), QSize(312, 213));
    EXPECT_EQ(debug->eText->geometry(), QRect(0, 0, 312, 213));
    EXPECT_EQ(debug->eText->toPlainText(), QStringLiteral("earlier report"));
    f.module.DebugClear();
    EXPECT_EQ(debug->eText->toPlainText(), QString());
    for (int i = 1; i <= 300; ++i)
        f.module.DebugPrint("line " + std::to_string(i));
    EXPECT_TRUE(debug->eText->toPlainText().startsWith(QStringLiteral("line 45\nline 46\n")));
    EXPECT_TRUE(debug->eText->toPlainText().endsWith(QStringLiteral("\nline 300")));
    debug->Client()->resize(500, 90);
    EXPECT_EQ(debug->eText->geometry(), QRect(0, 0, 500, 90));
    // A report reads from its first line; a reader's place is kept.
    EXPECT_EQ(debug->eText->verticalScrollBar()->value(), 0);
    debug->eText->verticalScrollBar()->setValue(7);
    f.module.DebugPrint("line 301");
    EXPECT_EQ(debug->eText->verticalScrollBar()->value(), 7);

    debug->close();
    f.FinishClosing();
    EXPECT_TRUE(debug.isNull());
    EXPECT_FALSE(f.module.Run.DebugOpen);
    const size_t notices = f.host.debugTexts.size();
    f.module.DebugPrint("line 302");
    EXPECT_EQ(f.host.debugTexts.size(), notices);
    debug = f.Open<frmDebug>();
    EXPECT_TRUE(debug->eText->toPlainText().endsWith(QStringLiteral("\nline 301\nline 302")));
}

} // namespace
