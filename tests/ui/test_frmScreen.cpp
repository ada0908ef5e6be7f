// The startup and finish text window: "|" shown as line breaks and stored
// back, the two pages with the launch check box, the colours of the setup's
// pages, and texts written only when the window closes.
#include "ui/frmScreen.h"

#include "WindowFixture.h"

#include "ui/SetupLineFields.h"
#include "ui/SidePicture.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

namespace {

TEST(frmScreen, OpensOnTheStartupPage) {
    WindowFixture editor{false};
    auto* window = editor.Open<frmScreen>();
    EXPECT_TRUE(editor.module.Run.ScreenOpen);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Startup & end text"));
    EXPECT_EQ(window->widget()->size(), QSize(474, 335));
    EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "fixed size";
    EXPECT_FALSE(window->windowIcon().isNull());
    // The template's startup text: three lines, the middle one empty.
    EXPECT_EQ(window->eText[0]->toPlainText(),
              QStringLiteral("This will install My Application\n\n    ..."));
    EXPECT_TRUE(window->eText[0]->isVisible());
    EXPECT_FALSE(window->eText[1]->isVisible());
    EXPECT_FALSE(window->eCheck->isVisible());
    EXPECT_EQ(window->eCheck->text(), QStringLiteral("Launch My Application now"));
    EXPECT_EQ(window->ePic->Picture().size(), QSize(128, 320));
    const QPalette colours = window->eText[0]->palette();
    EXPECT_EQ(colours.color(QPalette::Base), window->palette().color(QPalette::Button));
    EXPECT_EQ(colours.color(QPalette::Text), window->palette().color(QPalette::ButtonText));
    for (QWidget* control : window->widget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        EXPECT_FALSE(control->accessibleName().isEmpty()) << control->metaObject()->className();
}

// The pages' button colours follow a palette switched while the window is
// open (a dark theme turned on).
TEST(frmScreen, TextColoursFollowThePalette) {
    WindowFixture editor{false};
    auto* window = editor.Open<frmScreen>();
    const QPalette before = QApplication::palette();
    QPalette dark = before;
    dark.setColor(QPalette::Button, QColor(0x30, 0x32, 0x36));
    dark.setColor(QPalette::ButtonText, QColor(0xE8, 0xEA, 0xED));
    QApplication::setPalette(dark);
    QCoreApplication::processEvents();
    const QPalette shown = window->eText[1]->palette();
    QApplication::setPalette(before);
    EXPECT_EQ(shown.color(QPalette::Base), QColor(0x30, 0x32, 0x36));
    EXPECT_EQ(shown.color(QPalette::Text), QColor(0xE8, 0xEA, 0xED));
}

TEST(frmScreen, PagesSwitchWithTheButtonsAndTheirKeys) {
    WindowFixture editor{false};
    auto* window = editor.Open<frmScreen>();
    editor.area.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&editor.area));
    window->eText[0]->setFocus();
    struct Step {
        int key; // Alt + key, or 0 for a click on button 1
        int page;
    };
    const Step steps[] = {{Qt::Key_F, 1}, {0, 1}, {Qt::Key_S, 0}, {0, 1}};
    for (const Step& step : steps) {
        if (step.key) {
            // An access key clicks its button after the button has shown
            // itself pressed for a moment.
            QTest::keyClick(window->focusWidget(), static_cast<Qt::Key>(step.key), Qt::AltModifier);
            EXPECT_TRUE(QTest::qWaitFor([&] { return window->eText[step.page]->isVisible(); }));
        } else {
            window->eButton[1]->click();
        }
        EXPECT_EQ(window->eText[step.page]->isVisible(), true);
        EXPECT_EQ(window->eText[1 - step.page]->isVisible(), false);
        EXPECT_EQ(window->eCheck->isVisible(), step.page == 1);
    }
}

// "|" in a setup line is a line break in the box and back.
TEST(frmScreen, BarsAndLineBreaksRoundTrip) {
    struct Case {
        const char* stored;
        QString shown;
    };
    const Case cases[] = {
        {"This will install My Application||    ...",
         QStringLiteral("This will install My Application\n\n    ...")},
        {"", QString()},
        {"|", QStringLiteral("\n")},
        {"one line", QStringLiteral("one line")},
        {"Caf\xC3\xA9|fin", QStringLiteral("Caf\u00e9\nfin")},
    };
    for (const Case& c : cases) {
        WindowFixture editor{false};
        auto& lines = editor.module.Project.SetupLines;
        lines[LineStartText] = c.stored;
        lines[LineFinishText] = std::string(c.stored) + "|end";
        auto* window = editor.Open<frmScreen>();
        EXPECT_EQ(window->eText[0]->toPlainText(), c.shown) << c.stored;
        EXPECT_EQ(window->eText[1]->toPlainText(), c.shown + "\nend") << c.stored;
        WindowFixture::Close(window);
        EXPECT_EQ(lines[LineStartText], c.stored);
        EXPECT_EQ(lines[LineFinishText], std::string(c.stored) + "|end");
        EXPECT_FALSE(editor.module.Run.ScreenOpen);
    }
}

// Typed text, "|" included, is stored on close only, line breaks as "|";
// a typed "|" reads as a line break when the window opens again. With no
// launch text the check box shows string 410.
TEST(frmScreen, TypedTextIsStoredOnClose) {
    WindowFixture editor{false};
    auto& lines = editor.module.Project.SetupLines;
    auto* window = editor.Open<frmScreen>();
    window->eText[0]->clear();
    QTest::keyClicks(window->eText[0], QStringLiteral("Hello"));
    QTest::keyClick(window->eText[0], Qt::Key_Return);
    TypeText(window->eText[0], QStringLiteral("w\u00f6rld|x"));
    EXPECT_EQ(lines[LineStartText], "This will install My Application||    ...");
    WindowFixture::Close(window);
    EXPECT_EQ(lines[LineStartText], "Hello|w\xC3\xB6rld|x");
    EXPECT_EQ(lines[LineFinishText], "My Application installed successfully||    ...");
    lines[LineLaunchText].clear();
    window = editor.Open<frmScreen>();
    EXPECT_EQ(window->eText[0]->toPlainText(), QStringLiteral("Hello\nw\u00f6rld\nx"));
    EXPECT_EQ(window->eCheck->text(), QStringLiteral("(Launch 'My Application' now...)"));
}

TEST(SetupLineFields, LineBreaksOfEveryKindBecomeOneBar) {
    std::string line = "old";
    StoreTextInLine(line, QStringLiteral("a\r\nb\nc\rd\u2028e\u2029f"));
    EXPECT_EQ(line, "a|b|c|d|e|f");
    StoreFieldInLine(line, QStringLiteral("a|b|c|d|e|f"));
    EXPECT_EQ(line, "a|b|c|d|e|f");
}

} // namespace
