// Caption resolution on a real window (buttons, labels, group boxes, menus,
// actions, title, icon), our access-key convention in Qt's form, and the
// compiled-in icons.
#include "ui/Captions.h"
#include "ui/Icons.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QImage>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

namespace {

TEST(Captions, OurAccessKeyConventionInQtForm) {
    struct Case {
        const char* caption;
        const char* mnemonic;
        const char* plain;
    };
    const Case cases[] = {
        {"&General & Interface", "&General && Interface", "General & Interface"},
        {"Save &as...", "Save &as...", "Save as..."},
        {"Fish && Chips", "Fish && Chips", "Fish & Chips"},
        {"Ends with &", "Ends with &&", "Ends with &"},
        {"(none)", "(none)", "(none)"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CaptionToMnemonic(QString::fromUtf8(c.caption)), QString::fromUtf8(c.mnemonic));
        EXPECT_EQ(CaptionToPlain(QString::fromUtf8(c.caption)), QString::fromUtf8(c.plain));
    }
}

TEST(Captions, ReferenceIsTheLeadingNumberAfterTheDollar) {
    EXPECT_EQ(CaptionReference(QStringLiteral("$410")), 410);
    EXPECT_EQ(CaptionReference(QStringLiteral("$abc")), 0);
    EXPECT_EQ(CaptionReference(QStringLiteral("$")), 0);
    EXPECT_EQ(CaptionReference(QStringLiteral("$12ab")), 12);
    EXPECT_EQ(CaptionReference(QStringLiteral("$99999999999")), std::nullopt);
    EXPECT_EQ(CaptionReference(QStringLiteral("Open")), std::nullopt);
    EXPECT_EQ(CaptionReference(QStringLiteral(" $410")), std::nullopt);
}

struct Form {
    QWidget window;
    QPushButton* launch = new QPushButton(QStringLiteral("$410"), &window);
    QLabel* open = new QLabel(QStringLiteral("Open"), &window);
    QCheckBox* letters = new QCheckBox(QStringLiteral("$abc"), &window);
    QPushButton* general = new QPushButton(QStringLiteral("$231"), &window);
    QLabel* plainLabel = new QLabel(QStringLiteral("$231"), &window);
    QLabel* buddyLabel = new QLabel(QStringLiteral("$233"), &window);
    QLineEdit* buddy = new QLineEdit(QStringLiteral("$410"), &window);
    QGroupBox* frame = new QGroupBox(QStringLiteral("$320"), &window);
    QPushButton* inFrame = new QPushButton(QStringLiteral("$321"), frame);
    QPushButton* huge = new QPushButton(QStringLiteral("$99999999999"), &window);
    QMenuBar* bar = new QMenuBar(&window);
    QMenu* project = bar->addMenu(QStringLiteral("$210"));
    QAction* save = project->addAction(QStringLiteral("$213"));
    QAction* elsewhere = new QAction(QStringLiteral("$215"), nullptr);

    Form() {
        buddyLabel->setBuddy(buddy);
        project->addAction(elsewhere);
        window.setWindowTitle(QStringLiteral("$150"));
        ResolveCaptions(&window, 110);
    }
    ~Form() { delete elsewhere; }
};

TEST(Captions, ResolveCaptionsReplacesDollarCaptionsOnly) {
    Form f;
    EXPECT_EQ(f.launch->text(), QStringLiteral("(Launch 'My Application' now...)"));
    EXPECT_EQ(f.open->text(), QStringLiteral("Open"));
    EXPECT_EQ(f.letters->text(), QStringLiteral("#0"));
    EXPECT_EQ(f.frame->title(), QStringLiteral("Window icon"));
    EXPECT_EQ(f.inFrame->text(), QStringLiteral("Clear"));
    EXPECT_EQ(f.huge->text(), QStringLiteral("$99999999999"));
    EXPECT_EQ(f.buddy->text(), QStringLiteral("$410")); // a line edit has no caption
    EXPECT_EQ(f.window.windowTitle(), QStringLiteral("KaveloMaker - Startup"));
    EXPECT_FALSE(f.window.windowIcon().isNull());
}

TEST(Captions, MnemonicShownWhereTheWidgetInterpretsIt) {
    Form f;
    EXPECT_EQ(f.general->text(), QStringLiteral("&General && Interface"));
    EXPECT_EQ(QKeySequence::mnemonic(f.general->text()), QKeySequence(Qt::ALT | Qt::Key_G));
    EXPECT_EQ(f.general->accessibleName(), QStringLiteral("General & Interface"));
    EXPECT_EQ(f.plainLabel->text(), QStringLiteral("General & Interface"));
    EXPECT_EQ(f.buddyLabel->text(), QStringLiteral("&File manager"));
    EXPECT_EQ(f.buddyLabel->accessibleName(), QStringLiteral("File manager"));
    EXPECT_EQ(f.project->title(), QStringLiteral("&Project"));
    EXPECT_EQ(f.save->text(), QStringLiteral("&Save"));
    EXPECT_EQ(f.elsewhere->text(), QStringLiteral("&Quit"));
}

TEST(Captions, EveryCaptionedControlGetsAnAccessibleName) {
    Form f;
    EXPECT_EQ(f.open->accessibleName(), QStringLiteral("Open"));
    EXPECT_EQ(f.letters->accessibleName(), QStringLiteral("#0"));
    EXPECT_EQ(f.frame->accessibleName(), QStringLiteral("Window icon"));
    EXPECT_EQ(f.project->accessibleName(), QStringLiteral("Project"));
}

TEST(Captions, IconMinusOneOrUnknownLeavesTheWindowIcon) {
    QWidget window;
    const QIcon before = LoadIcon(10);
    window.setWindowIcon(before);
    ResolveCaptions(&window, -1);
    EXPECT_EQ(window.windowIcon().cacheKey(), before.cacheKey());
    ResolveCaptions(&window, 999);
    EXPECT_EQ(window.windowIcon().cacheKey(), before.cacheKey());
}

// Share of pixels that are not fully transparent.
double Coverage(const QImage& image) {
    int painted = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            painted += qAlpha(image.pixel(x, y)) != 0;
    return static_cast<double>(painted) / (image.width() * image.height());
}

TEST(Icons, EveryIconDrawsAtEverySizeAndRatio) {
    for (const int id : {10, 100, 110, 111, 112, 113, 114, 120, 200, 201, 202, 203, 204, 205}) {
        const QIcon icon = LoadIcon(id);
        ASSERT_FALSE(icon.isNull()) << id;
        for (const int size : {16, 32, 64}) {
            for (const qreal ratio : {1.0, 2.0}) {
                const QPixmap pixmap = icon.pixmap(QSize(size, size), ratio);
                EXPECT_EQ(pixmap.size(), QSize(size, size) * ratio) << id << " " << size;
                EXPECT_GT(Coverage(pixmap.toImage()), 0.25) << id << " " << size;
            }
        }
    }
    EXPECT_TRUE(LoadIcon(999).isNull());
    EXPECT_TRUE(LoadIcon(-1).isNull());
}

TEST(Icons, RuleBitmapIs334By5AtAnyRatio) {
    for (const qreal ratio : {1.0, 2.0}) {
        const QPixmap rule = LoadBitmap(100, ratio);
        ASSERT_FALSE(rule.isNull());
        EXPECT_EQ(rule.deviceIndependentSize(), QSizeF(334, 5));
        EXPECT_EQ(rule.size(), QSize(334, 5) * ratio);
    }
    EXPECT_TRUE(LoadBitmap(101).isNull());
}

} // namespace
