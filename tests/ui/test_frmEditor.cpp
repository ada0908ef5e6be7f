// The script editor: its resize arithmetic, every keystroke stored in the
// project (CR LF line ends, accents as UTF-8) and rebuilding the test panel at
// once, the project's bytes left alone until an edit, and the number column
// level with the strings box's lines.
#include "ui/frmEditor.h"

#include "WindowFixture.h"
#include "ui/ChildWindow.h"
#include "ui/LineNumberColumn.h"
#include "ui/ScriptBox.h"
#include "ui/TextConvert.h"
#include "ui/frmTest.h"
#include "ui/qkScriptSetupA.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>

namespace {

// Strings box and number column keep their widths at the right edge, the
// script box takes the rest: 16 pixels of margins, 25 for the column, 185
// for the right block.
TEST(frmEditor, ResizeKeepsTheRightBlockAtTheRightEdge) {
    WindowFixture f;
    frmEditor* editor = f.Open<frmEditor>();
    struct Case {
        QSize client;
        QRect script, label, strings;
    };
    const Case cases[] = {
        {{578, 343}, {8, 8, 352, 327}, {368, 8, 25, 327}, {393, 8, 177, 327}},
        {{227, 100}, {8, 8, 1, 84}, {17, 8, 25, 84}, {42, 8, 177, 84}},
        {{226, 100}, {8, 8, 0, 84}, {16, 8, 25, 84}, {41, 8, 177, 84}},
        {{185, 16}, {8, 8, 0, 0}, {-25, 8, 25, 0}, {0, 8, 177, 0}},
        {{180, 10}, {8, 8, 0, 0}, {-30, 8, 25, 0}, {-5, 8, 177, 0}},
    };
    for (const Case& c : cases) {
        editor->Client()->resize(c.client);
        EXPECT_EQ(editor->eText[0]->geometry(), c.script) << c.client.width();
        EXPECT_EQ(editor->eLabel[0]->geometry(), c.label) << c.client.width();
        EXPECT_EQ(editor->eText[1]->geometry(), c.strings) << c.client.width();
    }
}

// Typed as a person types it, key by key, with the test window open: the
// project holds CR LF and UTF-8, and the panel is rebuilt before the next key.
TEST(frmEditor, TypedScriptIsStoredAndBuildsThePanelAtEachKey) {
    WindowFixture f;
    f.module.Project.ScriptText.clear();
    f.module.Project.StringsText.clear();
    frmTest* test = f.Open<frmTest>();
    frmEditor* editor = f.Open<frmEditor>();
    QSignalSpy changes(&f.events, &ProjectEvents::ScriptChanged);

    TypeText(editor->eText[0], QStringLiteral("[Create]\nlabel 1\n  check"));
    EXPECT_EQ(f.module.Project.ScriptText, "[Create]\r\nlabel 1\r\n  check");
    EXPECT_EQ(changes.count(), 8 + 1 + 7 + 1 + 7);
    ASSERT_TRUE(test->qkScriptSetupA1->eCheck(1));

    const QString typed = QStringLiteral(u"Élan vital\nMötley ü\u00A0ber");
    QString sofar;
    for (const QChar c : typed) {
        TypeText(editor->eText[1], QString(c));
        sofar += c;
        const QString firstLine = sofar.section(u'\n', 0, 0);
        EXPECT_EQ(test->qkScriptSetupA1->eLabel(1)->text(), firstLine) << sofar.toStdString();
    }
    EXPECT_EQ(f.module.Project.StringsText, "\xC3\x89lan vital\r\nM\xC3\xB6tley \xC3\xBC\xC2\xA0"
                                            "ber");
    EXPECT_EQ(test->qkScriptSetupA1->eCheck(1)->text(),
              QStringLiteral(u"Mötley ü\u00A0ber (1)        -    "));
    EXPECT_EQ(BytesToText(f.module.Project.StringsText), typed);
}

// Opening and closing the editor leaves the project's bytes as they were,
// also texts the boxes would write back differently: Windows-1252, LF alone.
TEST(frmEditor, LoadingLeavesTheProjectBytesUntilAnEdit) {
    WindowFixture f;
    const std::string script = "[Create]\nlabel\n";
    const std::string strings = "Caf\xE9\r\n";
    f.module.Project.ScriptText = script;
    f.module.Project.StringsText = strings;
    QSignalSpy changes(&f.events, &ProjectEvents::ScriptChanged);
    QPointer<frmEditor> editor = f.Open<frmEditor>();
    EXPECT_TRUE(f.module.Run.EditorOpen);
    EXPECT_EQ(editor->widget()->size(), QSize(578, 343));
    EXPECT_EQ(editor->eText[1]->toPlainText(), QStringLiteral(u"Café\n"));
    const QString numbers = editor->eLabel[0]->text();
    EXPECT_TRUE(numbers.startsWith(QStringLiteral(" 1 \r 2 \r")) &&
                numbers.contains(QStringLiteral("\r 9 \r10 \r")) &&
                numbers.endsWith(QStringLiteral("\r64 \r")) && numbers.size() == 64 * 4);
    editor->close();
    f.FinishClosing();
    EXPECT_TRUE(editor.isNull());
    EXPECT_FALSE(f.module.Run.EditorOpen);
    EXPECT_EQ(f.module.Project.ScriptText, script);
    EXPECT_EQ(f.module.Project.StringsText, strings);
    EXPECT_EQ(changes.count(), 0);

    editor = f.Open<frmEditor>();
    editor->eText[1]->moveCursor(QTextCursor::End);
    TypeText(editor->eText[1], QStringLiteral("x"));
    EXPECT_EQ(f.module.Project.StringsText, "Caf\xC3\xA9\r\nx");
    EXPECT_EQ(f.module.Project.ScriptText, script);
}

// The column is level with the strings box's lines at any font size, and
// stays as it is when the box scrolls.
TEST(frmEditor, NumberColumnIsLevelWithTheStringsLines) {
    WindowFixture f;
    std::string strings;
    for (int n = 1; n <= 80; ++n)
        strings += "text " + std::to_string(n) + "\r\n";
    f.module.Project.StringsText = strings;
    frmEditor* editor = f.Open<frmEditor>();
    QPlainTextEdit* box = editor->eText[1];
    const LineNumberColumn* column = editor->eLabel[0];
    for (const qreal points : {8.25, 11.0, 15.5}) {
        QFont font = ListingFont();
        font.setPointSizeF(points);
        box->setFont(font);
        QApplication::processEvents();
        for (const int n : {1, 2, 10, 20}) {
            const QTextCursor line(box->document()->findBlockByNumber(n - 1));
            const QRect at = box->cursorRect(line);
            const int boxTop = box->viewport()->mapTo(editor, at.topLeft()).y();
            const qreal columnTop = column->mapTo(editor, QPoint(0, 0)).y() + column->LineTop(n);
            EXPECT_NEAR(columnTop, boxTop, 0.5) << points << " pt, line " << n;
            EXPECT_NEAR(column->LineHeight(), at.height(), 0.5) << points;
        }
    }
    const qreal before = column->LineTop(5);
    box->verticalScrollBar()->setValue(10);
    EXPECT_EQ(column->LineTop(5), before);
    EXPECT_EQ(column->text(), LineNumberColumn::LineNumberText());
}

// Typing a command that is none and a guard that cannot be read marks their
// lines at once, as kavelo check reports them; the cursor's line tells its
// problem in the status bar, and mending the line clears mark and status.
TEST(frmEditor, MarksTheLinesCheckReportsAsTheyAreTyped) {
    WindowFixture f;
    f.module.Project.ScriptText = "[Install]\r\nCopy myapp.exe,1,,\r\n";
    frmEditor* editor = f.Open<frmEditor>();
    ScriptBox* box = editor->Script();
    EXPECT_TRUE(box->Problems().empty());
    box->moveCursor(QTextCursor::End);
    TypeText(box, "Copi tally,1,,tally\n{val(7)=1 and}");
    EXPECT_EQ(box->ProblemAt(2), QStringLiteral("line not understood: Copi tally,1,,tally"));
    EXPECT_EQ(box->ProblemAt(3), QStringLiteral("guard not understood: {val(7)=1 and}"));
    EXPECT_EQ(box->Problems().size(), 2u);
    EXPECT_EQ(editor->Status(), box->ProblemAt(3));
    QTest::keyClick(box, Qt::Key_Up);
    EXPECT_EQ(editor->Status(), box->ProblemAt(2));
    // "Copi" becomes "Copy": a command now, before any guard, of a file the
    // project lacks.
    QTest::keyClick(box, Qt::Key_Home);
    for (int k = 0; k < 3; ++k)
        QTest::keyClick(box, Qt::Key_Right);
    QTest::keyClick(box, Qt::Key_Delete);
    TypeText(box, "y");
    EXPECT_TRUE(box->ProblemAt(2).startsWith(
        QStringLiteral("### Warning: Reference to missing file: tally\n")));
    EXPECT_EQ(editor->Status(), box->ProblemAt(2));
    // The guard mended: no mark on its line, nothing in the status bar.
    QTest::keyClick(box, Qt::Key_Down);
    QTest::keyClick(box, Qt::Key_End);
    QTest::keyClick(box, Qt::Key_Left);
    TypeText(box, " 1=1");
    EXPECT_TRUE(box->ProblemAt(3).isEmpty());
    EXPECT_EQ(editor->Status(), QString());
    // The mark's tool tip is found by the height of its line in the column.
    QTextCursor line2(box->document()->findBlockByNumber(2));
    EXPECT_EQ(box->LineAt(box->cursorRect(line2).center().y()), 2);
}

} // namespace
