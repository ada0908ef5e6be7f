// The menu bar: layout over the height and width, keys without wrap, mouse
// releases of any button, ItemClick for the selected item, the yield before
// ItemClick, and label colours from the palette.
#include "ui/qkMenuA.h"

#include "ui/IconPicture.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <vector>

namespace {

// A bar of size w x h with count items named "Item i", TextHeight 26 as the
// main window sets it.
std::unique_ptr<qkMenuA> MakeBar(int count, int w = 101, int h = 500) {
    auto bar = std::make_unique<qkMenuA>();
    bar->resize(w, h);
    bar->ItemCount(count);
    for (int i = 0; i < count; ++i)
        bar->SetItem(i, QStringLiteral("Item %1").arg(i), 200 + i, QStringLiteral("tip %1").arg(i));
    bar->TextHeight(26);
    bar->show();
    return bar;
}

std::vector<int> Clicks(const QSignalSpy& spy) {
    std::vector<int> indices;
    for (const QList<QVariant>& args : spy)
        indices.push_back(args.at(0).toInt());
    return indices;
}

TEST(qkMenuA, SixItemsSpreadOverTheHeight) {
    struct Case {
        int height;
        std::vector<double> tops;
    };
    const Case cases[] = {
        {300, {0, 58, 116, 174, 232, 290}}, // too short: packed one block apart
        {500, {12, 95, 178, 261, 344, 427}},
    };
    for (const Case& c : cases) {
        auto bar = MakeBar(6, 101, c.height);
        for (int i = 0; i < 6; ++i) {
            EXPECT_EQ(bar->PictureRect(i).top(), c.tops[static_cast<size_t>(i)]) << c.height;
            EXPECT_EQ(bar->LabelRect(i).top(), c.tops[static_cast<size_t>(i)] + 32) << c.height;
            EXPECT_EQ(bar->ePic(i)->y(), static_cast<int>(c.tops[static_cast<size_t>(i)]));
        }
    }
}

TEST(qkMenuA, Width101CentresPicturesAndInsetsLabels) {
    auto bar = MakeBar(6, 101, 500);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(bar->PictureRect(i).left(), 34.5);
        EXPECT_EQ(bar->LabelRect(i).left(), 6);
        EXPECT_EQ(bar->LabelRect(i).width(), 89);
        EXPECT_EQ(bar->eLabel(i)->width(), 89);
    }
}

TEST(qkMenuA, TextHeightLaysOutOnlyWhenItChanges) {
    qkMenuA bar;
    bar.resize(101, 500);
    bar.show();
    bar.ItemCount(3);
    // ItemCount places the items from the top with the 16-pixel margin.
    EXPECT_EQ(bar.PictureRect(1).top(), 16 + 64);
    bar.TextHeight(16);
    EXPECT_EQ(bar.PictureRect(1).top(), 16 + 64);
    bar.TextHeight(26); // block 58, gap (500 - 174) / 3 = 108, offset 54
    EXPECT_EQ(bar.PictureRect(0).top(), 54);
    EXPECT_EQ(bar.PictureRect(1).top(), 54 + 166);
}

TEST(qkMenuA, NoItemsHidesElementZeroAndIgnoresKeys) {
    auto bar = MakeBar(0);
    QSignalSpy spy(bar.get(), &qkMenuA::ItemClick);
    EXPECT_EQ(bar->SelectedIndex(), -1);
    EXPECT_FALSE(bar->ePic(0)->isVisible());
    EXPECT_FALSE(bar->eLabel(0)->isVisible());
    QTest::keyClick(bar.get(), Qt::Key_Down);
    QTest::keyClick(bar.get(), Qt::Key_Up);
    EXPECT_EQ(spy.count(), 0);
}

TEST(qkMenuA, ArrowsMoveOneItemWithoutWrapping) {
    auto bar = MakeBar(3);
    QSignalSpy spy(bar.get(), &qkMenuA::ItemClick);
    QTest::keyClick(bar.get(), Qt::Key_Up); // at the first item: nothing
    QTest::keyClick(bar.get(), Qt::Key_Down);
    QTest::keyClick(bar.get(), Qt::Key_Down);
    QTest::keyClick(bar.get(), Qt::Key_Down); // at the last item: nothing
    QTest::keyClick(bar.get(), Qt::Key_Right);
    QTest::keyClick(bar.get(), Qt::Key_Up);
    EXPECT_EQ(Clicks(spy), (std::vector<int>{1, 2, 1}));
    EXPECT_EQ(bar->SelectedIndex(), 1);
}

TEST(qkMenuA, AnyButtonReleasedOnAnItemSelectsIt) {
    auto bar = MakeBar(6);
    QSignalSpy spy(bar.get(), &qkMenuA::ItemClick);
    QTest::mouseRelease(bar->eLabel(2), Qt::RightButton, {}, QPoint(5, 5));
    EXPECT_EQ(bar->SelectedIndex(), 2);
    QTest::mouseRelease(bar->ePic(4), Qt::MiddleButton, {}, QPoint(16, 16));
    QTest::mouseRelease(bar->ePic(4), Qt::LeftButton, {}, QPoint(16, 16)); // selected again
    EXPECT_EQ(Clicks(spy), (std::vector<int>{2, 4, 4}));
}

TEST(qkMenuA, ReleaseAfterDraggingOffTheItemSelectsNothing) {
    auto bar = MakeBar(6);
    QSignalSpy spy(bar.get(), &qkMenuA::ItemClick);
    QTest::mouseRelease(bar->ePic(3), Qt::LeftButton, {}, QPoint(40, 16));
    EXPECT_EQ(spy.count(), 0);
    EXPECT_EQ(bar->SelectedIndex(), 0);
}

TEST(qkMenuA, YieldsOnceBeforeRaisingItemClick) {
    auto bar = MakeBar(3);
    bool pendingRan = false;
    bool ranBeforeClick = false;
    QObject::connect(bar.get(), &qkMenuA::ItemClick, [&](int) { ranBeforeClick = pendingRan; });
    QMetaObject::invokeMethod(
        bar.get(), [&] { pendingRan = true; }, Qt::QueuedConnection);
    QTest::keyClick(bar.get(), Qt::Key_Down);
    EXPECT_TRUE(ranBeforeClick);
}

TEST(qkMenuA, SetItemOutsideTheItemsChangesNothing) {
    auto bar = MakeBar(3);
    bar->SetItem(3, QStringLiteral("Beyond"), 200);
    bar->SetItem(-1, QStringLiteral("Before"), 200);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(bar->eLabel(i)->text(), QStringLiteral("Item %1").arg(i));
    EXPECT_EQ(bar->eLabel(3), nullptr);
    // An unknown picture keeps the previous one; the caption still changes.
    const qint64 before = bar->ePic(1)->Icon().cacheKey();
    bar->SetItem(1, QStringLiteral("General info & interface"), 999);
    EXPECT_EQ(bar->ePic(1)->Icon().cacheKey(), before);
    EXPECT_EQ(bar->eLabel(1)->text(), QStringLiteral("General info & interface"));
    EXPECT_EQ(bar->eLabel(1)->toolTip(), QString());
}

TEST(qkMenuA, SelectedLabelColoursFollowTheFocus) {
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(250, 250, 250));
    palette.setColor(QPalette::WindowText, QColor(10, 10, 10));
    palette.setColor(QPalette::Highlight, QColor(0, 0, 200));
    palette.setColor(QPalette::HighlightedText, QColor(255, 255, 0));
    palette.setColor(QPalette::Button, QColor(200, 200, 200));
    palette.setColor(QPalette::ButtonText, QColor(100, 0, 0));
    QWidget window;
    auto* bar = new qkMenuA(&window);
    auto* other = new QLabel(QStringLiteral("elsewhere"), &window);
    other->setFocusPolicy(Qt::StrongFocus);
    bar->setPalette(palette);
    bar->resize(101, 500);
    bar->ItemCount(3);
    window.show();
    QApplication::setActiveWindow(&window);
    other->setFocus();
    ASSERT_FALSE(bar->HasFocus());
    const auto colours = [&](int i) {
        const QPalette& p = bar->eLabel(i)->palette();
        return std::pair(p.color(QPalette::WindowText), p.color(QPalette::Window));
    };
    EXPECT_EQ(colours(0), std::pair(QColor(100, 0, 0), QColor(200, 200, 200)));
    EXPECT_EQ(colours(1), std::pair(QColor(10, 10, 10), QColor(250, 250, 250)));
    bar->setFocus();
    ASSERT_TRUE(bar->HasFocus());
    EXPECT_EQ(colours(0), std::pair(QColor(255, 255, 0), QColor(0, 0, 200)));
    QTest::keyClick(bar, Qt::Key_Down);
    EXPECT_EQ(colours(0), std::pair(QColor(10, 10, 10), QColor(250, 250, 250)));
    EXPECT_EQ(colours(1), std::pair(QColor(255, 255, 0), QColor(0, 0, 200)));
    other->setFocus();
    EXPECT_FALSE(bar->HasFocus());
    EXPECT_EQ(colours(1), std::pair(QColor(100, 0, 0), QColor(200, 200, 200)));
}

// A theme whose button face is the window's colour still shows the selection
// without focus: the label takes the midlight shade (the mid one when that is
// the window's colour too).
TEST(qkMenuA, SelectionWithoutFocusShowsWhereButtonIsWindow) {
    const QColor window(240, 240, 240);
    for (const bool midlightIsWindow : {false, true}) {
        QPalette palette;
        palette.setColor(QPalette::Window, window);
        palette.setColor(QPalette::Button, window);
        palette.setColor(QPalette::Midlight, midlightIsWindow ? window : QColor(220, 220, 220));
        palette.setColor(QPalette::Mid, QColor(180, 180, 180));
        qkMenuA bar;
        bar.setPalette(palette);
        bar.ItemCount(2);
        const QColor expected = midlightIsWindow ? QColor(180, 180, 180) : QColor(220, 220, 220);
        EXPECT_EQ(bar.eLabel(0)->palette().color(QPalette::Window), expected);
        EXPECT_EQ(bar.eLabel(1)->palette().color(QPalette::Window), window);
    }
}

} // namespace
