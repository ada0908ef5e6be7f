// The About window: version line, notice lines, pictures, the Close button
// that unloads it, and the version text rules.
#include "ui/FORM_Info.h"
#include "res/ProgramVersion.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>

namespace {

TEST(ProgramVersion, VersionLineFromStrings101And102) {
    struct Case {
        ProgramVersion version;
        const char* line;
    };
    const Case cases[] = {
        {{1, 0, 2}, "KaveloMaker 1.00 [beta 2]"},
        {{1, 0, 0}, "KaveloMaker 1.00"},
        {{2, 5, 0}, "KaveloMaker 2.05"},
        {{1, 12, 14}, "KaveloMaker 1.12 [beta 14]"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(VersionLine(c.version), c.line);
    EXPECT_EQ(VersionLine(), "KaveloMaker 1.00 [beta 2]");
}

TEST(FORM_Info, ShowsVersionNoticesAndPictures) {
    FORM_Info window;
    EXPECT_EQ(window.windowTitle(), QStringLiteral("About..."));
    EXPECT_EQ(window.lLabel[0]->text(), QStringLiteral("KaveloMaker 1.00 [beta 2]"));
    EXPECT_TRUE(window.lLabel[0]->font().bold());
    EXPECT_EQ(window.lLabel[1]->text(),
              QStringLiteral("Copyright (c) the KaveloMaker authors. All rights reserved."));
    EXPECT_EQ(window.lLabel[2]->text(),
              QStringLiteral("Further information and credits are in readme.txt."));
    EXPECT_EQ(window.lLabel[3]->text(),
              QStringLiteral("KaveloMaker is free to use and to pass "
                             "on.\nThe licence terms are in license.txt."));
    EXPECT_EQ(window.eButton->text(), QStringLiteral("&Close"));
    EXPECT_EQ(window.eButton->accessibleName(), QStringLiteral("Close"));
    EXPECT_FALSE(window.ePic[0]->pixmap().isNull());
    EXPECT_EQ(window.ePic[1]->pixmap().deviceIndependentSize(), QSizeF(334, 5));
    EXPECT_FALSE(window.isModal());
}

TEST(FORM_Info, CloseButtonUnloadsTheWindow) {
    std::vector<bool> reports;
    QPointer<FORM_Info> window =
        new FORM_Info(nullptr, [&](bool open) { reports.push_back(open); });
    window->show();
    EXPECT_EQ(reports, std::vector<bool>{true});
    QTest::mouseClick(window->eButton, Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
    EXPECT_EQ(reports, (std::vector<bool>{true, false}));
}

} // namespace
