// The general information window: loading the template, the licence list
// and its round trip, the picture buttons, the launch text reaching the
// startup and finish window on every keystroke, and typed text surviving a
// save and an opening byte for byte.
#include "ui/frmGen.h"

#include "WindowFixture.h"

#include "package/PackageWriter.h"
#include "project/SaveSetup.h"
#include "ui/FileDialogs.h"
#include "ui/SidePicture.h"
#include "ui/frmScreen.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

QStringList ComboEntries(const QComboBox* combo) {
    QStringList entries;
    for (int i = 0; i < combo->count(); ++i)
        entries << combo->itemText(i);
    return entries;
}

TEST(frmGen, OpensOnTheTemplate) {
    WindowFixture editor{false};
    auto* window = editor.Open<frmGen>();
    EXPECT_TRUE(editor.module.Run.GenOpen);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("General setup information"));
    EXPECT_EQ(window->widget()->size(), QSize(474, 335));
    EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "fixed size";
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(window->eText[0]->text(), QStringLiteral("My Application setup"));
    EXPECT_EQ(window->eText[1]->text(), QStringLiteral("My Company\\My Application"));
    EXPECT_EQ(window->eText[2]->text(), QStringLiteral("My Company\\My Application"));
    EXPECT_EQ(window->eText[3]->text(), QStringLiteral("Launch My Application now"));
    EXPECT_EQ(ComboEntries(window->eCombo), QStringList{QStringLiteral("(none)")});
    EXPECT_EQ(window->eCombo->currentIndex(), 0);
    EXPECT_EQ(window->ePic->Picture().size(), QSize(128, 320));
    EXPECT_EQ(window->eButton[0]->text(), QStringLiteral("&Close"));
    EXPECT_EQ(window->eLabel[1]->text(), QStringLiteral("<- Picture"));
    EXPECT_FALSE(window->eFrame[0]->isEnabled());
    EXPECT_FALSE(window->windowIcon().isNull());
    for (QWidget* control : window->widget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        EXPECT_FALSE(control->accessibleName().isEmpty()) << control->metaObject()->className();
}

TEST(frmGen, TabOrderFollowsTheDesign) {
    WindowFixture editor{false};
    auto* window = editor.Open<frmGen>();
    editor.area.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&editor.area));
    window->eText[0]->setFocus();
    const QWidget* expected[] = {window->eButton[3], window->eButton[4], window->eText[1],
                                 window->eText[2],   window->eText[3],   window->eButton[0],
                                 window->eCombo,     window->eCompression,
                                 window->eText[0]};
    for (const QWidget* next : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), next);
    }
}

// The licence list offers the ".txt" files (exactly that, lower case) after
// "(none)"; closing stores the chosen entry, "(none)" as the empty string.
TEST(frmGen, LicenceChoiceRoundTrip) {
    struct Case {
        const char* stored; // LineLicense when the window opens
        int selectedAtLoad;
        int choose; // -1: leave the selection
        const char* storedAfter;
    };
    const Case cases[] = {
        {"", 0, 1, "license.txt"},
        {"license.txt", 1, 0, ""},
        {"license.txt", 1, 2, "readme.txt"},
        {"readme.txt", 2, -1, "readme.txt"},
        {"gone.txt", 0, -1, ""}, // no longer in the list
        {"NOTES.TXT", 0, -1, ""},
    };
    for (const Case& c : cases) {
        WindowFixture editor{false};
        SetupProject& project = editor.module.Project;
        for (const char* name : {"license.txt", "myapp.exe", "NOTES.TXT", "readme.txt"})
            project.Files.push_back({name, std::string("x")});
        project.SetupLines[LineLicense] = c.stored;
        auto* window = editor.Open<frmGen>();
        EXPECT_EQ(ComboEntries(window->eCombo),
                  (QStringList{"(none)", "license.txt", "readme.txt"}));
        EXPECT_EQ(window->eCombo->currentIndex(), c.selectedAtLoad) << c.stored;
        if (c.choose >= 0) window->eCombo->setCurrentIndex(c.choose);
        WindowFixture::Close(window);
        EXPECT_EQ(project.SetupLines[LineLicense], c.storedAfter) << c.stored;
        EXPECT_FALSE(editor.module.Run.GenOpen);
    }
}

// A refresh of the list (a file dropped or removed elsewhere) keeps the
// entry the user chose, which is stored only when the window closes.
TEST(frmGen, LicenceRefreshKeepsTheChoice) {
    WindowFixture editor{false};
    SetupProject& project = editor.module.Project;
    project.Files.push_back({"license.txt", std::string("x")});
    auto* window = editor.Open<frmGen>();
    window->eCombo->setCurrentIndex(1);
    project.Files.insert(project.Files.begin(), {"about.txt", std::string("y")});
    emit editor.events.LicenceListChanged();
    EXPECT_EQ(ComboEntries(window->eCombo), (QStringList{"(none)", "about.txt", "license.txt"}));
    EXPECT_EQ(window->eCombo->currentText(), QStringLiteral("license.txt"));
    project.Files.pop_back();
    emit editor.events.LicenceListChanged();
    EXPECT_EQ(window->eCombo->currentIndex(), 0);
}

// The codec list shows the project's codec; closing stores the choice, and a
// file packed with the other codec is left for the next save to pack again.
TEST(frmGen, CompressionChoiceRoundTrip) {
    WindowFixture editor{false};
    SetupProject& project = editor.module.Project;
    const std::string text(3000, 'k');
    project.Files.push_back({"notes.txt", CompressEntry(text, EntryCodec::Huffman)});
    auto* window = editor.Open<frmGen>();
    EXPECT_EQ(ComboEntries(window->eCompression), (QStringList{"Huffman", "zstd (smaller)"}));
    EXPECT_EQ(window->eCompression->currentIndex(), 0);
    window->eCompression->setCurrentIndex(1);
    WindowFixture::Close(window);
    EXPECT_EQ(project.Codec, EntryCodec::Zstd);
    // The file is repacked by the next save, on its worker, not here.
    ASSERT_TRUE(project.Files[0].Packed());
    EXPECT_FALSE(project.Files[0].Record().Zstd());

    window = editor.Open<frmGen>();
    EXPECT_EQ(window->eCompression->currentIndex(), 1);
}

class PictureButtons : public ::testing::Test {
  protected:
    void SetUp() override {
        WriteFile(dir / "right.bmp", SolidBitmap(128, 320, 0x20A040));
        WriteFile(dir / "small.bmp", SolidBitmap(100, 100, 0xFF0000));
    }
    // The next picture dialog answers with path (empty: cancelled).
    void Answer(const std::string& path) {
        editor.dialogs.fileAnswer = QString::fromStdString(path);
    }

    TempDir dir;
    WindowFixture editor{false};
    std::vector<FileDialogRequest>& requests = editor.dialogs.fileRequests;
};

TEST_F(PictureButtons, OpenTakesA128By320BitmapAndShowsItInTheOpenWindows) {
    const std::string templatePicture = editor.module.Project.Picture;
    auto* screen = editor.Open<frmScreen>();
    auto* window = editor.Open<frmGen>();
    for (const std::string& ignored : {std::string(), dir / "small.bmp", dir / "missing.bmp"}) {
        Answer(ignored);
        window->eButton[4]->click();
        EXPECT_EQ(editor.module.Project.Picture, templatePicture) << ignored;
        EXPECT_TRUE(editor.module.Project.PicturePacked.has_value()) << ignored;
    }
    ASSERT_FALSE(requests.empty());
    EXPECT_TRUE(requests[0].open);
    EXPECT_EQ(requests[0].title, QStringLiteral("Choose picture"));
    EXPECT_EQ(requests[0].nameFilters, QStringList{"128x320 pixel picture (*.bmp)"});

    Answer(dir / "right.bmp");
    window->eButton[4]->click();
    EXPECT_EQ(editor.module.Project.Picture, SolidBitmap(128, 320, 0x20A040));
    EXPECT_FALSE(editor.module.Project.PicturePacked.has_value());
    for (const SidePicture* pic : {window->ePic, screen->ePic})
        EXPECT_EQ(pic->Picture().pixel(5, 300), qRgb(0x20, 0xA0, 0x40));
}

TEST_F(PictureButtons, ClearBringsBackTheTemplatePictureAndItsRecord) {
    const SetupProject original = editor.module.Project;
    auto* screen = editor.Open<frmScreen>();
    auto* window = editor.Open<frmGen>();
    Answer(dir / "right.bmp");
    window->eButton[4]->click();
    ASSERT_NE(editor.module.Project.Picture, original.Picture);
    window->eButton[3]->click();
    EXPECT_EQ(editor.module.Project.Picture, original.Picture);
    ASSERT_TRUE(editor.module.Project.PicturePacked.has_value());
    EXPECT_EQ(EncodeEntryRecord(*editor.module.Project.PicturePacked),
              EncodeEntryRecord(*original.PicturePacked));
    EXPECT_EQ(screen->ePic->Picture(), window->ePic->Picture());
    EXPECT_EQ(window->ePic->Picture().size(), QSize(128, 320));
}

// Every keystroke in the launch text box is stored at once and shown on the
// startup and finish window's check box; an empty text shows string 410.
TEST(frmGen, LaunchTextFollowsEveryKeystroke) {
    WindowFixture editor{false};
    auto* screen = editor.Open<frmScreen>();
    auto* window = editor.Open<frmGen>();
    window->eText[3]->selectAll();
    QTest::keyClick(window->eText[3], Qt::Key_Delete);
    EXPECT_EQ(editor.module.Project.SetupLines[LineLaunchText], "");
    EXPECT_EQ(screen->eCheck->text(), QStringLiteral("(Launch 'My Application' now...)"));
    QTest::keyClicks(window->eText[3], QStringLiteral("Start i"));
    EXPECT_EQ(editor.module.Project.SetupLines[LineLaunchText], "Start i");
    EXPECT_EQ(screen->eCheck->text(), QStringLiteral("Start i"));
    QTest::keyClick(window->eText[3], Qt::Key_T);
    EXPECT_EQ(screen->eCheck->text(), QStringLiteral("Start it"));
    // The caption is not stored before the window closes.
    QTest::keyClicks(window->eText[0], QStringLiteral("!"));
    EXPECT_EQ(editor.module.Project.SetupLines[LineCaption], "My Application setup");
}

class TypedText : public ::testing::Test {
  protected:
    void SetUp() override {
        editor.module.Saving.ProgramPath = dir / "kavelomaker";
        editor.module.Saving.BuiltInRuntime = std::string("#!runtime\n");
        editor.module.Project.ProjectPath = dir / "setup.exe";
    }
    // The setup lines as a second program run reads them from the setup.
    std::array<std::string, kSetupLineCount> SavedAndOpened() {
        EXPECT_TRUE(editor.module.SaveSetup());
        Module1 other(editor.host);
        EXPECT_TRUE(other.OpenSetup(dir / "setup.exe"));
        return other.Project.SetupLines;
    }

    TempDir dir;
    WindowFixture editor{false};
};

TEST_F(TypedText, AccentsSurviveSaveAndOpenByteForByte) {
    auto* window = editor.Open<frmGen>();
    const QString typed = QStringLiteral("Caf\u00e9 \u00dcbersicht \u2013 \u00e5\u00f1");
    for (QLineEdit* box : window->eText) {
        box->clear();
        TypeText(box, typed);
    }
    WindowFixture::Close(window);
    const std::string utf8 = typed.toStdString();
    const auto lines = SavedAndOpened();
    for (const int line : {LineCaption, LineInstallFolder, LineStartMenuFolder, LineLaunchText})
        EXPECT_EQ(lines[static_cast<size_t>(line)], utf8) << line;
}

// Looking at a setup written in Windows-1252 or with a very long line does
// not rewrite its texts, and a line break pasted into a one-line box is
// stored as "|".
TEST_F(TypedText, UneditedLinesKeepTheirBytes) {
    auto& lines = editor.module.Project.SetupLines;
    lines[LineCaption] = "Caf\xE9 setup";
    lines[LineInstallFolder] = "Firma\\Programm \x80";
    lines[LineLaunchText] = std::string(40000, 'L');
    auto* window = editor.Open<frmGen>();
    EXPECT_EQ(window->eText[0]->text(), QStringLiteral("Caf\u00e9 setup"));
    window->eText[2]->clear();
    window->eText[2]->insert(QStringLiteral("one\r\ntwo\nthree"));
    WindowFixture::Close(window);
    EXPECT_EQ(lines[LineCaption], "Caf\xE9 setup");
    EXPECT_EQ(lines[LineInstallFolder], "Firma\\Programm \x80");
    EXPECT_EQ(lines[LineStartMenuFolder], "one|two|three");
    EXPECT_EQ(lines[LineLaunchText], std::string(40000, 'L'));
    EXPECT_EQ(SavedAndOpened(), lines);
}

} // namespace
