// A whole editing session driven as a person would: a new project, every
// editor window opened from the menu bar, texts typed, two files dropped (one
// a .txt chosen as the licence), one renamed, one removed, a component ticked
// in the test window, Install pressed and the debugger's text compared with
// kavelo simulate; then Quit, and the setup opens with everything typed,
// dropped and chosen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>

#include <cstdio>

#include "AppFixture.h"
#include "ProcessRun.h"
#include "app/MakerApp.h"
#include "app/frmMaker.h"
#include "app/frmStartup.h"
#include "package/PackageReader.h"
#include "project/OpenSetup.h"
#include "ui/InputBox.h"
#include "ui/frmDebug.h"
#include "ui/frmEditor.h"
#include "ui/frmFile.h"
#include "ui/frmGen.h"
#include "ui/frmScreen.h"
#include "ui/frmTest.h"
#include "ui/qkMenuA.h"
#include "ui/qkScriptSetupA.h"

namespace {

template <class Window> Window* Find(const frmMaker& maker) {
    for (QMdiSubWindow* w : maker.mdiArea->subWindowList())
        if (auto* found = qobject_cast<Window*>(w)) return found;
    return nullptr;
}

// Types text at the end of a box, key by key; a letter the keyboard has no
// key for arrives as its text, as from an input method.
void Type(QWidget* box, const QString& text) {
    box->setFocus();
    QTest::keyClick(box, Qt::Key_End, Qt::ControlModifier);
    for (const QChar c : text) {
        if (c == u'\n') {
            QTest::keyClick(box, Qt::Key_Return);
            continue;
        }
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(box, &press);
        QApplication::sendEvent(box, &release);
    }
}

// kavelo simulate's output for a setup and selection, LF line ends.
std::string Simulate(const std::string& setup, const std::string& select) {
    ProcessOptions options;
    options.MergeErrors = true;
    return RunProcess({KAVELO_PATH, "simulate", setup, "--select", select}, options).out;
}

using EditorSession = AppTest;

TEST_F(EditorSession, EveryWindowTypedDroppedChosenAndSaved) {
    const std::string path = dir / "session.exe";
    MakerApp app;
    Answer(app.Events());
    Prepare(app.Module());
    app.Start();
    dialogAnswer = QString::fromStdString(path);
    QTest::keyClick(app.Startup()->focusWidget(), Qt::Key_Space);
    frmMaker* maker = app.Maker();
    ASSERT_TRUE(maker && maker->isVisible());
    for (int i = 0; i < 5; ++i)
        QTest::mouseRelease(maker->qkMenuA1->eLabel(i), Qt::LeftButton);
    frmGen* gen = Find<frmGen>(*maker);
    frmScreen* screen = Find<frmScreen>(*maker);
    frmFile* files = Find<frmFile>(*maker);
    frmEditor* editor = Find<frmEditor>(*maker);
    frmTest* test = Find<frmTest>(*maker);
    ASSERT_TRUE(gen && screen && files && editor && test);

    // Texts, accents among them, in three windows.
    gen->eText[0]->selectAll();
    Type(gen->eText[0], QStringLiteral("Caf\u00e9 Tools setup"));
    Type(gen->eText[3], QStringLiteral(" \u2013 tout de suite"));
    Type(screen->eText[0], QStringLiteral("\nBienvenue \u00e0 bord"));
    // A second component typed into the script's [Create] section, after
    // the template's "Check 2" line.
    QPlainTextEdit* script = editor->eText[0];
    QTextCursor at = script->textCursor();
    at.setPosition(script->document()->findBlockByNumber(46).position());
    at.movePosition(QTextCursor::EndOfBlock);
    script->setTextCursor(at);
    script->setFocus();
    QTest::keyClick(script, Qt::Key_Return);
    QTest::keyClicks(script, "  Check 2");

    // Two files dropped, the .txt chosen as the licence, one renamed, one removed.
    WriteFile(dir / "Licence.TXT", "Terms \xC3\xA9t\xC3\xA9\r\n");
    WriteFile(dir / "tool.bin", "tool");
    files->DropPaths({dir / "Licence.TXT", dir / "tool.bin"});
    ASSERT_EQ(files->eList->count(), 3); // myapp.exe and the two
    answers.inputAnswer = QStringLiteral("helper.bin");
    files->eList->setCurrentRow(2);
    files->eButton[1]->click();
    files->eList->setCurrentRow(0);
    files->eButton[2]->click(); // Remove
    gen->eCombo->setCurrentIndex(gen->eCombo->findText(QStringLiteral("licence.txt")));
    ASSERT_GT(gen->eCombo->currentIndex(), 0);

    // The test window's panel follows the script; tick the second component
    // and press Install.
    test->eButton[0]->click();
    QAbstractButton* second = test->qkScriptSetupA1->eCheck(2);
    ASSERT_NE(second, nullptr);
    second->click();
    const std::string selection = test->qkScriptSetupA1->GetScriptValues();
    test->eButton[1]->click();
    frmDebug* debug = Find<frmDebug>(*maker);
    ASSERT_NE(debug, nullptr);
    const QString debugText = debug->eText->toPlainText();

    // Quit saves; everything comes back.
    QTest::keyClick(maker, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_TRUE(messages.empty());
    SetupProject reopened;
    RecordingHost quiet;
    reopened.ProjectPath = path;
    ASSERT_TRUE(OpenSetup(reopened, quiet));
    EXPECT_EQ(reopened.SetupLines[LineCaption], "Caf\xC3\xA9 Tools setup");
    EXPECT_EQ(reopened.SetupLines[LineLaunchText],
              "Launch My Application now \xE2\x80\x93 tout de suite");
    EXPECT_EQ(reopened.SetupLines[LineStartText],
              "This will install My Application||    ...|Bienvenue \xC3\xA0 bord");
    EXPECT_EQ(reopened.SetupLines[LineLicense], "licence.txt");
    ASSERT_EQ(reopened.FileCount(), 2);
    EXPECT_EQ(reopened.Files[0].Name, "licence.txt");
    EXPECT_EQ(reopened.Files[1].Name, "helper.bin");
    EXPECT_EQ(ExtractEntry(reopened.Files[0].Record()), "Terms \xC3\xA9t\xC3\xA9\r\n");
    EXPECT_NE(reopened.ScriptText.find("checked\r\n  Check 2\r\n"), std::string::npos);

    // The debugger showed the problems by line, then what kavelo simulate
    // prints for the same selection.
    std::string select;
    for (size_t i = 0; i < selection.size(); ++i)
        select += (i ? "," : "") + std::to_string(i + 1) + "=" +
                  std::to_string(static_cast<unsigned char>(selection[i]));
    std::string report = debugText.toStdString();
    const std::string problems = "### Line 127: Warning: Reference to missing file: MyApp.exe\n\n";
    ASSERT_EQ(report.substr(0, problems.size()), problems);
    EXPECT_EQ(report.substr(problems.size()) + "\n", Simulate(path, select));
}

} // namespace
