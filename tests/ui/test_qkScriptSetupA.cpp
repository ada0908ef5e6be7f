// The component panel widget: controls placed, captioned and ticked from the
// model, following the model after every click and choice, reused from one
// load to the next, and a surface that scrolls when entries lie below.
#include "ui/qkScriptSetupA.h"

#include "common/TextLines.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>

#include <array>
#include <functional>
#include <memory>

namespace {

struct Panel {
    explicit Panel(const std::string& script, const std::string& strings) {
        widget->resize(321, 265);
        widget->show();
        Load(script, strings);
    }
    void Load(const std::string& script, const std::string& strings) {
        texts.fill({});
        SplitLines(texts, strings, "\r\n");
        widget->LoadScript(script, texts, 1024);
    }
    std::array<std::string, 1024> texts;
    std::unique_ptr<qkScriptSetupA> widget = std::make_unique<qkScriptSetupA>();
};

// Checks 1, 2, options 3, 4 and list 5: every step is a user action, and
// afterwards every control shows what the model holds.
TEST(qkScriptSetupA, ControlsFollowTheModelAfterClicksAndChoices) {
    const std::string script = "[Create]\r\ncheck 2\r\ncheck\r\noption 2\r\noption\r\n"
                               "combo 3,2\r\n"
                               "[Event_2_1]\r\nclear 2,4\r\n"
                               "[Event_5_3]\r\nfill\r\n"
                               "[Event_1_0]\r\nadd 1\r\n";
    Panel p(script, "a\r\nb\r\nc\r\nd\r\ne\r\nf\r\ng\r\n");
    qkScriptSetupA& w = *p.widget;
    ASSERT_TRUE(w.eCombo(1));
    EXPECT_TRUE(qobject_cast<QRadioButton*>(w.eOption(1)));
    const auto click = [](QAbstractButton* button) {
        return [button] { QTest::mouseClick(button, Qt::LeftButton); };
    };
    const auto pick = [&] { // Down on a closed list chooses the next item
        w.eCombo(1)->setFocus();
        QTest::keyClick(w.eCombo(1), Qt::Key_Down);
    };
    struct Step {
        const char* what;
        std::function<void()> act;
        std::array<bool, 4> ticked; // checks 1, 2, options 1, 2 (elements 1 to 4)
        int item;                   // of the list, element 5
    };
    const Step steps[] = {
        {"loaded", [] {}, {true, false, true, false}, 2},
        {"tick 2: clear 2,4", click(w.eCheck(2)), {false, true, false, true}, 2},
        {"tick option 3", click(w.eOption(1)), {false, true, true, true}, 2},
        {"click ticked option 3", click(w.eOption(1)), {false, true, true, true}, 2},
        {"tick 1", click(w.eCheck(1)), {true, true, true, true}, 2},
        {"untick 1: add 1", click(w.eCheck(1)), {true, true, true, true}, 2},
        {"untick 2", click(w.eCheck(2)), {true, false, true, true}, 2},
        {"item 3: fill", pick, {true, true, true, true}, 3},
    };
    const QAbstractButton* buttons[] = {w.eCheck(1), w.eCheck(2), w.eOption(1), w.eOption(2)};
    for (const Step& s : steps) {
        s.act();
        std::string expected(64, '\0'); // the model's values
        for (size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(buttons[i]->isChecked(), s.ticked[i]) << s.what << ", element " << i + 1;
            expected[i] = s.ticked[i] ? 1 : 0;
        }
        expected[4] = static_cast<char>(s.item);
        EXPECT_EQ(w.eCombo(1)->currentIndex(), s.item - 1) << s.what;
        EXPECT_EQ(w.GetScriptValues(), expected) << s.what;
    }
}

TEST(qkScriptSetupA, ReloadKeepsControlsInIndexOrderAndDestroysTheSurplus) {
    Panel p("[Create]\r\ncheck\r\ncheck\r\ncheck\r\n", "one\r\ntwo\r\nthree\r\nfour\r\n");
    QAbstractButton* first = p.widget->eCheck(1);
    QAbstractButton* second = p.widget->eCheck(2);
    p.Load("[Create]\r\nlabel 1\r\ncheck\r\ncombo 2\r\ncheck\r\n",
           "one\r\ntwo\r\nthree\r\nfour\r\n");
    EXPECT_EQ(p.widget->eCheck(1), first);
    EXPECT_EQ(p.widget->eCheck(2), second);
    EXPECT_EQ(p.widget->eCheck(3), nullptr);
    EXPECT_EQ(p.widget->Surface()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).size(), 4);
    EXPECT_EQ(first->text(), QStringLiteral("two (1)        -    "));
    EXPECT_EQ(first->pos(), QPoint(8, 24));
    EXPECT_EQ(p.widget->eCombo(1)->count(), 2);
    EXPECT_EQ(p.widget->eCombo(1)->itemText(1), QStringLiteral("four (2)    "));
    EXPECT_EQ(second->pos(), QPoint(8, 64)); // after the list, one and a half lines on
    EXPECT_TRUE(p.widget->eLabel(1)->font().bold());
    p.Load("", "");
    EXPECT_TRUE(p.widget->Surface()->findChildren<QWidget*>().isEmpty());
}

// Tab follows the lines of the script, whatever the order the controls were
// made in by earlier loads.
TEST(qkScriptSetupA, TabFollowsTheLinesOfTheScript) {
    Panel p("[Create]\r\ncheck\r\ncheck\r\n", "a\r\nb\r\n");
    p.Load("[Create]\r\ncheck\r\ncombo 1\r\noption\r\ncheck\r\n", "a\r\nb\r\nc\r\nd\r\n");
    qkScriptSetupA& w = *p.widget;
    const QWidget* expected[] = {w.eCheck(1), w.eCombo(1), w.eOption(1), w.eCheck(2)};
    for (size_t i = 0; i + 1 < std::size(expected); ++i) {
        const QWidget* next = expected[i]->nextInFocusChain();
        while (next->focusPolicy() == Qt::NoFocus)
            next = next->nextInFocusChain();
        EXPECT_EQ(next, expected[i + 1]) << i;
    }
    EXPECT_EQ(w.LastTabStop(), w.eCheck(2));
}

TEST(qkScriptSetupA, EntriesBelowTheAreaScrollAndListsFitTheVisibleWidth) {
    Panel p("[Create]\r\ncombo 2\r\n    combo 1\r\nlpos 100\r\ncheck\r\n", "a\r\nb\r\nc\r\nd\r\n");
    qkScriptSetupA& w = *p.widget;
    QApplication::processEvents();
    EXPECT_EQ(w.eCheck(1)->y(), 800);
    EXPECT_GE(w.Surface()->height(), 800 + w.eCheck(1)->height() + 8);
    EXPECT_GT(w.verticalScrollBar()->maximum(), 0);
    const int inner = w.viewport()->width();
    EXPECT_LT(inner, 321 - 2); // the scroll bar takes its share
    EXPECT_EQ(w.eCombo(1)->width(), inner - 8 - 8);
    EXPECT_EQ(w.eCombo(2)->width(), inner - 8 - 40);
    w.resize(200, 265);
    QApplication::processEvents();
    EXPECT_EQ(w.eCombo(1)->width(), w.viewport()->width() - 16);
}

// Texts that are not UTF-8 read as Windows-1252; an "&" is shown, not made an
// access key.
TEST(qkScriptSetupA, CaptionsReadLiterally) {
    Panel p("[Create]\r\nlabel\r\ncheck\r\ncombo 1\r\n",
            "Caf\xE9 & Bar\r\nR&D \xE9t\xE9\r\n\xC3\xA9l\xC3\xA8ve\r\n");
    EXPECT_EQ(p.widget->eLabel(1)->text(), QStringLiteral(u"Café & Bar"));
    EXPECT_EQ(p.widget->eCheck(1)->text(), QStringLiteral(u"R&&D été (1)        -    "));
    EXPECT_EQ(p.widget->eCheck(1)->accessibleName(), QStringLiteral(u"R&D été (1)        -    "));
    EXPECT_EQ(p.widget->eCombo(1)->itemText(0), QStringLiteral(u"élève (2)    "));
}

} // namespace
