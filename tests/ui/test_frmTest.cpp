// The test component window and the debugger: the panel from the project's
// texts through the 1,024 string slots that keep stale lines, the picture,
// Install printing the script's problems and the simulator's report for the
// panel's selection into the debugger, which follows the debugger text.
#include "ui/frmTest.h"

#include "WindowFixture.h"
#include "ui/ChildWindow.h"
#include "ui/RawBitmap.h"
#include "ui/SidePicture.h"
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

TEST(frmTest, LoadsTheTemplatePanelAndPictureAtAFixedSize) {
    WindowFixture f;
    QPointer<frmTest> test = f.Open<frmTest>();
    EXPECT_TRUE(f.module.Run.TestOpen);
    EXPECT_EQ(test->windowTitle(), QStringLiteral("Test component window"));
    EXPECT_EQ(test->eButton[1]->text(), QStringLiteral("&Install"));
    test->resize(test->size() + QSize(100, 100));
    EXPECT_EQ(test->widget()->size(), QSize(474, 335));
    const qkScriptSetupA& panel = *test->qkScriptSetupA1;
    ASSERT_TRUE(panel.eLabel(1) && panel.eCheck(1) && !panel.eCheck(2));
    EXPECT_TRUE(panel.eLabel(1)->font().bold());
    EXPECT_EQ(panel.eCheck(1)->text(), QStringLiteral("My Application (1)    add 1    -    "));
    EXPECT_EQ(panel.eCheck(1)->pos(), QPoint(24, 24));
    EXPECT_EQ(panel.eCheck(1)->nextInFocusChain(), test->eButton[0]);

    // The picture inside the area's two-pixel border, at its own size.
    const QImage picture = RawBitmapToImage(f.module.Project.Picture);
    const QImage shown = test->ePic->grab().toImage();
    EXPECT_EQ(shown.pixel(62, 152), picture.pixel(60, 150));
    const QColor empty = test->ePic->palette().color(QPalette::Window);
    f.module.Project.Picture.resize(93); // refused: the area stays empty
    emit f.events.PictureChanged();
    EXPECT_EQ(QColor(test->ePic->grab().toImage().pixel(62, 152)), empty);

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

// Install opens the debugger or brings it to the front, and its report, for
// the panel's selection, replaces the last one and ends with two empty lines.
TEST(frmTest, InstallPrintsTheReportForThePanelSelection) {
    const std::string selective = "[Create]\r\ncheck 2\r\ncheck\r\n[Install]\r\n"
                                  "{val(1)=1}\r\nCopy a.exe,1,,a.exe\r\n"
                                  "{val(2)=1}\r\nCopy MyApp.exe,1,Bin,\r\n";
    const std::string target = "C:\\Programmes\\MyDirectory\\MyApp.exe";
    const std::string name = "name=Start My Application; Target=" + target + "; Params=";
    struct Case {
        std::string script; // empty: the template's
        std::vector<int> clicks;
        std::vector<std::string> report;
    };
    const Case cases[] = {
        {"",
         {},
         {"    AbortInstallation if < 1.0): " + target, "        Check ,1,,MyApp.exe,,,1.0",
          "    (DeleteFile): C:\\Programmes\\MyDirectory\\MyApp.log",
          "    Copy: MyApp.exe -> " + target, "    CreateShortcut " + name,
          "    CreateDesktopIcon " + name, "    (CreateQuickLaunchIcon) " + name}},
        {selective,
         {},
         {"### Line 6: Warning: Reference to missing file: a.exe", "",
          "### Warning: Reference to missing file: a.exe", "###      Copy a.exe,1,,a.exe",
          "    Copy: a.exe -> C:\\Programmes\\MyDirectory\\a.exe"}},
        {"[Install]\r\n{val(7)=1 and}\r\nCopi tally,1,,tally\r\n",
         {},
         {"### Line 2: guard not understood: {val(7)=1 and}",
          "### Line 3: line not understood: Copi tally,1,,tally", "",
          "### Warning: Nothing to do"}},
        {selective, {1, 2}, {"    Copy: MyApp.exe -> C:\\Programmes\\MyDirectory\\Bin\\MyApp.exe"}},
        {"[Create]\r\ncheck 2\r\n", {}, {"### Warning: Nothing to do"}},
    };
    WindowFixture f;
    frmTest* test = f.Open<frmTest>();
    test->SetPaths(ReportPathKind::Windows);
    for (const Case& c : cases) {
        if (!c.script.empty()) f.module.Project.ScriptText = c.script;
        f.area.setActiveSubWindow(test);
        test->Update();
        for (const int k : c.clicks)
            QTest::mouseClick(test->qkScriptSetupA1->eCheck(k), Qt::LeftButton);
        QTest::mouseClick(test->eButton[1], Qt::LeftButton);
        std::vector<std::string> lines = c.report;
        lines.insert(lines.end(), {"", ""});
        const std::string expected = Lines(lines);
        EXPECT_EQ(f.module.Run.DebugText, expected);
        const std::vector<frmDebug*> debuggers = Debuggers(f.area);
        ASSERT_EQ(debuggers.size(), 1u);
        EXPECT_EQ(f.area.activeSubWindow(), debuggers[0]);
        EXPECT_EQ(debuggers[0]->eText->toPlainText(), BytesToText(expected));
    }
}

// The debugger shows the debugger text as it was when it opens, follows every
// print, fills its client area, and leaves the text behind when it closes.
TEST(frmDebug, FollowsTheDebuggerTextWhichOutlivesIt) {
    WindowFixture f;
    f.module.DebugPrint("earlier report");
    QPointer<frmDebug> debug = f.Open<frmDebug>();
    EXPECT_EQ(debug->widget()->size(), QSize(312, 213));
    EXPECT_EQ(debug->eText->geometry(), QRect(0, 0, 312, 213));
    EXPECT_EQ(debug->eText->toPlainText(), QStringLiteral("earlier report"));
    f.module.DebugClear();
    for (int i = 1; i <= 300; ++i)
        f.module.DebugPrint("line " + std::to_string(i));
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
    f.module.DebugPrint("line 302");
    debug = f.Open<frmDebug>();
    EXPECT_TRUE(debug->eText->toPlainText().endsWith(QStringLiteral("\nline 301\nline 302")));
}

} // namespace
