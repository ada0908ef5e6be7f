// The file manager: the resize arithmetic, rename rules, removing several
// entries, drops from a desktop file manager (replacing, folders, the
// 512-file limit with its status line), the window while the project is
// busy, the popup menu and the licence list of the general information
// window following ".txt" files. Folders added as trees: test_frmFileFolders.
#include "ui/frmFile.h"

#include "WindowFixture.h"

#include "ui/ChildWindow.h"
#include "ui/qkProgressA.h"
#include "ui/frmGen.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include <filesystem>

namespace {

std::vector<std::string> ProjectNames(const SetupProject& project) {
    std::vector<std::string> names;
    for (const ProjectFile& file : project.Files)
        names.push_back(file.Name);
    return names;
}

std::vector<std::string> ListNames(const QListWidget* list) {
    std::vector<std::string> names;
    for (int k = 0; k < list->count(); ++k)
        names.push_back(list->item(k)->text().toStdString());
    return names;
}

QStringList ComboEntries(const QComboBox* combo) {
    QStringList entries;
    for (int i = 0; i < combo->count(); ++i)
        entries << combo->itemText(i);
    return entries;
}

class FileManager : public ::testing::Test {
  protected:
    frmFile* OpenWith(std::initializer_list<const char*> names) {
        for (const char* name : names)
            editor.module.Project.Files.push_back({name, std::string("content of ") + name});
        return editor.Open<frmFile>();
    }
    void Select(frmFile* window, std::initializer_list<int> rows) {
        window->eList->clearSelection();
        for (const int row : rows)
            window->eList->item(row)->setSelected(true);
    }
    // Drops the paths as a desktop file manager does: enter, then drop.
    static void Drop(frmFile* window, const std::vector<std::string>& paths) {
        QMimeData data;
        QList<QUrl> urls;
        for (const std::string& path : paths)
            urls << QUrl::fromLocalFile(QString::fromStdString(path));
        data.setUrls(urls);
        QWidget* target = window->eList->viewport();
        const QPointF at(20, 20);
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &drop);
        ASSERT_TRUE(drop.isAccepted());
        QCoreApplication::processEvents(); // the files are read once the drop is done
    }
    // The answer the rename box gives; the requests it was asked are kept.
    void Answer(const QString& text) { editor.dialogs.inputAnswer = text; }
    void ExpectListMatchesProject(const frmFile* window) {
        EXPECT_EQ(ListNames(window->eList), ProjectNames(editor.module.Project));
    }

    TempDir dir;
    WindowFixture editor{false};
    std::vector<InputBoxRequest>& asked = editor.dialogs.inputRequests;
};

TEST_F(FileManager, OpensWithTheProjectFiles) {
    auto* window = OpenWith({"myapp.exe", "license.txt"});
    EXPECT_TRUE(editor.module.Run.FileListOpen);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("File explorer"));
    EXPECT_EQ(window->widget()->size(), QSize(416, 327));
    ExpectListMatchesProject(window);
    EXPECT_EQ(window->eList->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(window->eList->font(), ListingFont()); // as asked for, whatever fonts exist
    EXPECT_TRUE(window->eButton[0]->isEnabled());
    const QStringList captions = {"&Add files...", "&Rename", "&Remove", "&Close",
                                  "Add &folder..."};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(window->eButton[i]->text(), captions[i]);
        EXPECT_EQ(window->menM[i]->text(), captions[i]);
    }
    EXPECT_TRUE(window->menM[0]->isEnabled());
    EXPECT_FALSE(window->lStatus->isVisible());
    window->eButton[3]->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(editor.module.Run.FileListOpen);
    EXPECT_TRUE(editor.area.subWindowList().isEmpty());
}

// The list keeps an 8-pixel margin, the five buttons share its width with
// fractional lefts and sit 8 pixels above the bottom (not clamped); widths
// and heights below zero become zero. Lefts and widths are in row order:
// Add files, Add folder, Rename, Remove, Close.
TEST_F(FileManager, ResizeArithmetic) {
    struct Case {
        QSize client;
        QRect list;
        int buttonTop;
        std::array<int, 5> lefts, widths;
    };
    const Case cases[] = {
        {{416, 327}, {8, 8, 400, 278}, 294, {8, 88, 168, 248, 328}, {80, 80, 80, 80, 80}},
        {{303, 100}, {8, 8, 287, 51}, 67, {8, 65, 123, 180, 238}, {57, 58, 57, 58, 57}},
        {{500, 40}, {8, 8, 484, 0}, 7, {8, 105, 202, 298, 395}, {97, 97, 96, 97, 97}},
        {{12, 20}, {8, 8, 0, 0}, -13, {8, 8, 8, 8, 8}, {0, 0, 0, 0, 0}},
    };
    auto* window = OpenWith({"a.txt"});
    for (const Case& c : cases) {
        window->widget()->resize(c.client);
        EXPECT_EQ(window->eList->geometry(), c.list) << c.client.width();
        for (size_t slot = 0; slot < 5; ++slot) {
            const QRect button = window->eButton[kFileButtonRow[slot]]->geometry();
            EXPECT_EQ(button, QRect(c.lefts[slot], c.buttonTop, c.widths[slot], 25))
                << c.client.width() << " slot " << slot;
        }
    }
    const FileManagerLayout fractional = LayOutFileManager({303, 100}, false);
    EXPECT_DOUBLE_EQ(fractional.Buttons[1].left(), 65.4);
    EXPECT_DOUBLE_EQ(fractional.Buttons[4].width(), 57.4);
}

// Only one selected entry is renamed, to the answer in lower case, when
// every character is allowed; a name another entry has is accepted.
TEST_F(FileManager, RenameRules) {
    struct Case {
        std::vector<int> selected;
        QString answer;
        std::vector<std::string> names; // afterwards
    };
    const std::vector<std::string> before = {"myapp.exe", "notes.txt", "readme.txt"};
    const Case cases[] = {
        {{}, "x.txt", before},
        {{0, 1}, "x.txt", before},
        {{1}, "Read Me.TXT", before},
        {{1}, "Setup_2.TXT", {"myapp.exe", "setup_2.txt", "readme.txt"}},
        {{0}, "readme.txt", {"readme.txt", "notes.txt", "readme.txt"}},
        {{0}, "", before}, // cancelled
        {{0}, "..", before},
        {{0}, "na\u00efve.exe", before},
        {{0}, "my-app.exe", before},
        {{2}, "=~!@#$%^&*()_+,.'9", {"myapp.exe", "notes.txt", "=~!@#$%^&*()_+,.'9"}},
    };
    for (const Case& c : cases) {
        editor.module.Project.Files.clear();
        qDeleteAll(editor.area.subWindowList());
        auto* window = OpenWith({"myapp.exe", "notes.txt", "readme.txt"});
        asked.clear();
        Answer(c.answer);
        for (const int row : c.selected)
            window->eList->item(row)->setSelected(true);
        window->eButton[1]->click();
        EXPECT_EQ(ProjectNames(editor.module.Project), c.names) << c.answer.toStdString();
        ExpectListMatchesProject(window);
        ASSERT_EQ(asked.size(), c.selected.size() == 1 ? 1u : 0u);
        if (!asked.empty()) {
            EXPECT_EQ(asked[0].title, QStringLiteral("Rename file..."));
            EXPECT_EQ(asked[0].prompt, QStringLiteral("Enter new filename"));
            EXPECT_EQ(asked[0].defaultText, QString::fromStdString(before[c.selected[0]]));
        }
    }
}

// Removing entries 1 and 3 of five keeps 0, 2 and 4 in order, with their
// contents; the button, the Delete key and the menu item do the same.
TEST_F(FileManager, RemoveKeepsTheOthersInOrder) {
    for (const int how : {0, 1, 2}) {
        editor.module.Project.Files.clear();
        qDeleteAll(editor.area.subWindowList());
        auto* window = OpenWith({"f0.dat", "f1.dat", "f2.dat", "f3.dat", "f4.dat"});
        Select(window, {1, 3});
        if (how == 0) window->eButton[2]->click();
        if (how == 1) {
            window->eList->setFocus();
            QTest::keyClick(window->eList, Qt::Key_Delete);
        }
        if (how == 2) window->menM[2]->trigger();
        const std::vector<std::string> kept = {"f0.dat", "f2.dat", "f4.dat"};
        ASSERT_EQ(ProjectNames(editor.module.Project), kept) << how;
        ExpectListMatchesProject(window);
        for (const ProjectFile& file : editor.module.Project.Files)
            EXPECT_EQ(file.Raw(), "content of " + file.Name);
    }
}

// A ".txt" file removed, dropped or renamed changes the licence list of the
// open general information window.
TEST_F(FileManager, LicenceListFollowsTxtFiles) {
    auto* window = OpenWith({"myapp.exe", "license.txt", "readme.txt"});
    auto* general = editor.Open<frmGen>();
    const auto offered = [&] { return ComboEntries(general->eCombo); };
    EXPECT_EQ(offered(), (QStringList{"(none)", "license.txt", "readme.txt"}));
    Select(window, {1});
    window->eButton[2]->click();
    EXPECT_EQ(offered(), (QStringList{"(none)", "readme.txt"}));
    WriteFile(dir / "License.TXT", "terms");
    Drop(window, {dir / "License.TXT"});
    EXPECT_EQ(offered(), (QStringList{"(none)", "readme.txt", "license.txt"}));
    Select(window, {1});
    Answer(QStringLiteral("about.txt"));
    window->eButton[1]->click();
    EXPECT_EQ(offered(), (QStringList{"(none)", "about.txt", "license.txt"}));
}

TEST_F(FileManager, DropAddsFilesAndReplacesByName) {
    auto* window = OpenWith({"myapp.exe"});
    WriteFile(dir / "Setup.INI", "first");
    WriteFile(dir / "b.dat", "bee");
    std::filesystem::create_directory(dir / "folder");
    Drop(window, {dir / "Setup.INI"});
    WriteFile(dir / "Setup.INI", "second");
    Drop(window, {dir / "folder", dir / "Setup.INI", dir / "b.dat", dir / "vanished.dat"});
    const SetupProject& project = editor.module.Project;
    ASSERT_EQ(ProjectNames(project), (std::vector<std::string>{"myapp.exe", "setup.ini", "b.dat"}));
    ExpectListMatchesProject(window);
    EXPECT_FALSE(project.Files[1].Packed());
    EXPECT_EQ(project.Files[1].Raw(), "second");
    EXPECT_EQ(project.Files[2].Raw(), "bee");
    EXPECT_FALSE(window->lStatus->isVisible());
}

// Drops past 512 files are refused from the 513th on, and a line above the
// buttons names the refused files until a drop adds everything it carries.
TEST_F(FileManager, The513thFileIsRefused) {
    for (int k = 0; k < 510; ++k)
        editor.module.Project.Files.push_back({"file" + std::to_string(k) + ".dat", std::string()});
    auto* window = editor.Open<frmFile>();
    std::vector<std::string> paths;
    for (const char* name : {"a.dat", "b.dat", "c.dat", "d.dat"}) {
        WriteFile(dir / name, name);
        paths.push_back(dir / name);
    }
    Drop(window, paths);
    EXPECT_EQ(editor.module.Project.FileCount(), 512);
    EXPECT_EQ(window->eList->count(), 512);
    EXPECT_EQ(editor.module.Project.Files[511].Name, "b.dat");
    ASSERT_TRUE(window->lStatus->isVisible());
    EXPECT_EQ(window->lStatus->toolTip(),
              QStringLiteral("Not added, a setup holds at most 512 files: c.dat, d.dat"));
    // The list gives up the status line's height and the gap above it.
    EXPECT_EQ(window->eList->height(), 278 - window->lStatus->height() - 4);
    EXPECT_GE(window->lStatus->height(), window->lStatus->heightForWidth(400));
    EXPECT_EQ(window->lStatus->geometry().bottom() + 1 + 8, window->eButton[0]->y());
    WriteFile(dir / "a.dat", "new a");
    Drop(window, {dir / "a.dat"});
    EXPECT_FALSE(window->lStatus->isVisible());
    EXPECT_EQ(window->eList->height(), 278);
    EXPECT_EQ(editor.module.Project.Files[510].Raw(), "new a");
}

// A file a package cannot hold (4 GiB and over, refused before it is read)
// and two files of one drop that would get one name are refused the same
// way, each with its reason; nothing of them is added.
TEST_F(FileManager, OversizedAndSameNamedFilesAreRefusedWithTheirReason) {
    auto* window = OpenWith({"myapp.exe"});
    std::filesystem::create_directories(dir / "a");
    std::filesystem::create_directories(dir / "b");
    WriteFile(dir / "a/Notes.txt", "one");
    WriteFile(dir / "b/notes.TXT", "two");
    WriteFile(dir / "huge.bin", "");
    std::filesystem::resize_file(dir / "huge.bin", uint64_t{1} << 32); // sparse
    Drop(window, {dir / "huge.bin", dir / "a/Notes.txt", dir / "b/notes.TXT"});
    EXPECT_EQ(ProjectNames(editor.module.Project), (std::vector<std::string>{"myapp.exe"}));
    ASSERT_TRUE(window->lStatus->isVisible());
    EXPECT_EQ(window->lStatus->toolTip(),
              QStringLiteral("Not added: huge.bin (the file has 4294967296 bytes, more than the "
                             "4294967295 allowed), Notes.txt (\"") +
                  QString::fromStdString(dir / "b/notes.TXT") +
                  QStringLiteral("\" would get the same name \"notes.txt\"), notes.TXT (\"") +
                  QString::fromStdString(dir / "a/Notes.txt") +
                  QStringLiteral("\" would get the same name \"notes.txt\")"));
}

// "Add files..." and its menu item take the files chosen in the dialog
// through the drop's intake: two are added, the third refused as a drop
// refuses it, with the same status line, which wraps rather than cutting the
// text off and goes once the list changes again.
TEST_F(FileManager, AddFilesTakesTheDialogsFilesAsADropDoes) {
    WriteFile(dir / "One.txt", "one");
    WriteFile(dir / "two.dat", "two");
    WriteFile(dir / "huge.bin", "");
    std::filesystem::resize_file(dir / "huge.bin", uint64_t{1} << 32); // sparse
    const std::vector<std::string> paths = {dir / "One.txt", dir / "two.dat", dir / "huge.bin"};

    editor.module.Project.Files.clear();
    auto* dropped = OpenWith({"myapp.exe"});
    Drop(dropped, paths);
    const std::vector<std::string> names = ProjectNames(editor.module.Project);
    const QString status = dropped->lStatus->text();
    ASSERT_EQ(names, (std::vector<std::string>{"myapp.exe", "one.txt", "two.dat"}));
    ASSERT_TRUE(status.startsWith(QStringLiteral("Not added: huge.bin (")));
    WindowFixture::Close(dropped);

    QStringList chosen;
    for (const std::string& path : paths)
        chosen << QString::fromStdString(path);
    editor.dialogs.fileAnswer = chosen.join(u'\n');
    const std::vector<FileDialogRequest>& requests = editor.dialogs.fileRequests;
    for (const bool viaMenu : {false, true}) {
        SCOPED_TRACE(viaMenu ? "menu item" : "button");
        editor.module.Project.Files.clear();
        auto* window = OpenWith({"myapp.exe"});
        if (viaMenu)
            window->menM[0]->trigger();
        else
            QTest::mouseClick(window->eButton[0], Qt::LeftButton);
        EXPECT_EQ(ProjectNames(editor.module.Project), names);
        ExpectListMatchesProject(window);
        ASSERT_TRUE(window->lStatus->isVisible());
        EXPECT_EQ(window->lStatus->text(), status); // whole, not cut off
        EXPECT_TRUE(window->lStatus->wordWrap());
        EXPECT_LE(window->lStatus->geometry().right(), window->eList->geometry().right());
        window->eList->item(2)->setSelected(true);
        QTest::mouseClick(window->eButton[2], Qt::LeftButton);
        EXPECT_FALSE(window->lStatus->isVisible());
        WindowFixture::Close(window);
    }
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_TRUE(requests[0].open && requests[0].several);
}

// While the project is busy (a save, or this window reading) the list, the
// buttons and the menu take nothing; the window's own reading shows its bar
// in the status line's place.
TEST_F(FileManager, NothingIsTakenWhileTheProjectIsBusy) {
    auto* window = OpenWith({"myapp.exe"});
    const auto controlsEnabled = [window] {
        bool any = window->eList->isEnabled();
        for (int i = 0; i < 5; ++i)
            any = any || window->eButton[i]->isEnabled() || window->menM[i]->isEnabled();
        return any;
    };
    WriteFile(dir / "a.dat", "a");
    {
        ProjectEvents::Work busy(editor.events);
        EXPECT_FALSE(controlsEnabled());
        window->DropPaths({dir / "a.dat"});
        EXPECT_EQ(editor.module.Project.FileCount(), 1);
    }
    EXPECT_TRUE(controlsEnabled());

    bool seenEnabled = true;
    bool seenBar = false;
    QObject::connect(&editor.events, &ProjectEvents::BusyChanged, window, [&](bool busy) {
        if (!busy) return;
        seenEnabled = controlsEnabled();
        seenBar = window->eProgress->isVisible() && !window->lStatus->isVisible();
    });
    window->DropPaths({dir / "a.dat"});
    EXPECT_FALSE(seenEnabled);
    EXPECT_TRUE(seenBar);
    EXPECT_FALSE(window->eProgress->isVisible());
    EXPECT_EQ(window->eProgress->Text(), QStringLiteral("100.00%"));
    EXPECT_EQ(ProjectNames(editor.module.Project),
              (std::vector<std::string>{"myapp.exe", "a.dat"}));
    EXPECT_TRUE(controlsEnabled());
}

TEST_F(FileManager, PopupMenuOnRightClickAndTheMenuKey) {
    auto* window = OpenWith({"myapp.exe", "license.txt"});
    for (const auto reason : {QContextMenuEvent::Mouse, QContextMenuEvent::Keyboard}) {
        const QPoint at(30, 10);
        QContextMenuEvent event(reason, at, window->eList->viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(window->eList->viewport(), &event);
        EXPECT_TRUE(window->mM->isVisible()) << reason;
        window->mM->hide();
    }
    // Double-click and Enter change nothing.
    QTest::mouseDClick(window->eList->viewport(), Qt::LeftButton, {}, QPoint(30, 10));
    QTest::keyClick(window->eList, Qt::Key_Return);
    ExpectListMatchesProject(window);
    EXPECT_EQ(editor.area.subWindowList().size(), 1);
}

} // namespace
