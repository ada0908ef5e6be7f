// The progress bar's text and bar width for given values, its resize rules,
// the inverse-coloured text, and the progress window around it.
#include "ui/frmProgress.h"
#include "ui/qkProgressA.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>

#include <cmath>
#include <limits>
#include <memory>

namespace {

TEST(qkProgressA, ValueTableAtWidth313) {
    struct Case {
        float value;
        const char* text;
        float bar;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Case cases[] = {
        {0, "0.00%", 1},
        {0.005f, "0.50%", 2.565f},
        {0.03125f, "3.12%", 10.78125f}, // 312.5 rounds to the even 312
        {0.0725f, "7.25%", 23.6925f},
        {0.123456f, "12.35%", 39.6417f},
        {0.5f, "50.00%", 157.5f},
        {1, "100.00%", 314},
        {1.7f, "100.00%", 314},
        {-3, "0.00%", 1},
        {nan, "0.00%", 1},
        {0.0099999f, "1.00%", 4.13f}, // rounds up to a whole percent: no extra "0"
    };
    qkProgressA bar;
    bar.resize(313, 17);
    bar.show();
    for (const Case& c : cases) {
        bar.ValueSet(c.value);
        EXPECT_EQ(bar.Text(), QString::fromLatin1(c.text)) << c.value;
        EXPECT_NEAR(bar.BarWidth(), c.bar, 0.01) << c.value;
    }
}

TEST(qkProgressA, StartsAtZeroPercentWithNothingFilled) {
    qkProgressA bar;
    EXPECT_EQ(bar.Text(), QStringLiteral("0%"));
    EXPECT_EQ(bar.BarWidth(), 1);
    EXPECT_EQ(bar.size(), QSize(320, 16));
}

TEST(qkProgressA, ResizeSetsLabelsAndBar) {
    qkProgressA bar;
    bar.show();
    bar.ValueSet(0.25f);
    bar.resize(200, 20);
    EXPECT_EQ(bar.LabelSize(), QSize(200, 20));
    EXPECT_EQ(bar.BarWidth(), 51);
    EXPECT_EQ(bar.BarHeight(), 20);
    // Only the height changes: the bar keeps its width.
    bar.ValueSet(0.5f);
    bar.resize(200, 30);
    EXPECT_EQ(bar.LabelSize(), QSize(200, 30));
    EXPECT_EQ(bar.BarWidth(), 101);
    EXPECT_EQ(bar.BarHeight(), 30);
}

// Pure colours for every role, so painted pixels tell which role drew them.
QPalette PureColours() {
    QPalette p;
    p.setColor(QPalette::Window, Qt::white);
    p.setColor(QPalette::WindowText, Qt::red);
    p.setColor(QPalette::Highlight, Qt::blue);
    p.setColor(QPalette::HighlightedText, Qt::green);
    return p;
}

struct Counts {
    int red = 0, green = 0, blue = 0;
};

Counts CountColours(const QImage& image, int from, int to) {
    Counts n;
    for (int y = 0; y < image.height(); ++y)
        for (int x = from; x < to; ++x) {
            const QColor c = image.pixelColor(x, y);
            n.red += c.red() > 200 && c.green() < 60 && c.blue() < 60;
            n.green += c.green() > 200 && c.red() < 60 && c.blue() < 60;
            n.blue += c.blue() > 200 && c.red() < 60 && c.green() < 60;
        }
    return n;
}

TEST(qkProgressA, TextOverTheBarIsDrawnInInverseColours) {
    qkProgressA bar;
    bar.setPalette(PureColours());
    bar.resize(200, 20);
    bar.show();
    bar.ValueSet(0.5f); // "50.00%" straddles the bar's edge at x = 100
    const QImage image = bar.grab().toImage();
    const Counts filled = CountColours(image, 0, 98);
    const Counts empty = CountColours(image, 102, 200);
    EXPECT_GT(filled.blue, 0);
    EXPECT_GT(filled.green, 0);
    EXPECT_EQ(filled.red, 0);
    EXPECT_GT(empty.red, 0);
    EXPECT_EQ(empty.green, 0);
    EXPECT_EQ(empty.blue, 0);
}

// The codec reports about every 1024 bytes; a report that changes neither
// the text nor the filled pixels paints nothing, yet the value is kept.
TEST(qkProgressA, RepaintsOnlyWhenTextOrFilledPixelsChange) {
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint) ++paints;
            return false;
        }
    } counter;
    qkProgressA bar;
    bar.resize(313, 17);
    bar.show();
    bar.installEventFilter(&counter);
    const auto paintsAfter = [&](float value) {
        const int before = counter.paints;
        bar.ValueSet(value);
        QCoreApplication::processEvents();
        return counter.paints - before;
    };
    EXPECT_EQ(paintsAfter(0.10063f), 1);  // 10.06%, bar edge at 32.497
    EXPECT_EQ(paintsAfter(0.100631f), 0); // same text, same half pixel
    EXPECT_FLOAT_EQ(bar.Value(), 0.100631f);
    EXPECT_NEAR(bar.BarWidth(), 32.4975f, 1e-3);
    EXPECT_EQ(paintsAfter(0.100645f), 1); // same text, the edge crosses 32.5
    EXPECT_EQ(bar.Text(), QStringLiteral("10.06%"));
    EXPECT_EQ(paintsAfter(0.10066f), 1); // 10.07%
    EXPECT_EQ(bar.Text(), QStringLiteral("10.07%"));
}

TEST(frmProgress, FixedWindowWithLabelAndBarInPlace) {
    int opened = 0;
    int closed = 0;
    auto window =
        std::make_unique<frmProgress>(nullptr, [&](bool open) { ++(open ? opened : closed); });
    EXPECT_EQ(opened, 1);
    EXPECT_TRUE(window->isWindow());
    EXPECT_EQ(window->size(), QSize(326, 47));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Packing file(s)..."));
    EXPECT_EQ(window->Label()->geometry(), QRect(8, 8, 313, 17));
    EXPECT_EQ(window->Bar()->geometry(), QRect(8, 24, 313, 17));
    EXPECT_TRUE(window->Label()->text().isEmpty());
    ProgressSink& sink = *window->Bar(); // what the save hands to the compressor
    sink.ValueSet(0.37f);
    EXPECT_EQ(window->Bar()->Text(), QStringLiteral("37.00%"));
    window.reset();
    EXPECT_EQ(closed, 1);
}

TEST(frmProgress, StaysEnabledWhileItsOwnerIsDisabled) {
    QWidget mainWindow;
    mainWindow.show();
    frmProgress window(&mainWindow);
    window.show();
    mainWindow.setEnabled(false); // the save disables the main window while it packs
    EXPECT_TRUE(window.isEnabled());
    EXPECT_TRUE(window.Bar()->isEnabled());
}

TEST(frmProgress, LongNamesAreShortenedInTheMiddle) {
    frmProgress window;
    window.show();
    window.SetLabel(QStringLiteral("setup\\picture.bmp"));
    EXPECT_EQ(window.Label()->text(), QStringLiteral("setup\\picture.bmp"));
    EXPECT_TRUE(window.Label()->toolTip().isEmpty());
    const QString longName = QStringLiteral("a very long folder name\\").repeated(10) + "end.txt";
    window.SetLabel(longName);
    EXPECT_EQ(window.LabelText(), longName);
    EXPECT_LE(window.Label()->fontMetrics().horizontalAdvance(window.Label()->text()), 313);
    EXPECT_TRUE(window.Label()->text().endsWith(QStringLiteral("end.txt")));
    EXPECT_EQ(window.Label()->toolTip(), longName);
}

} // namespace
