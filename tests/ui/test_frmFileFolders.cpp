// The file manager's "Add folder...": a folder chosen in the dialog becomes
// one tree, shown on one line with its file count and size; adding it again
// replaces the tree in its place; a folder holding what a tree cannot carry
// is refused whole, each offending path named with its reason; packed and
// damaged trees show what they hold once the window has read them.
#include "ui/frmFile.h"

#include "WindowFixture.h"

#include "package/PackageWriter.h"
#include "package/TreeArchive.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include <sys/stat.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;

class AddFolder : public ::testing::Test {
  protected:
    AddFolder() {
        fs::create_directories(dir / "MyApp/bin");
        fs::create_directories(dir / "MyApp/share/empty");
        WriteFile(dir / "MyApp/bin/run.sh", "#!/bin/sh\necho hi\n");
        fs::permissions(dir / "MyApp/bin/run.sh", fs::perms::owner_exec, fs::perm_options::add);
        WriteFile(dir / "MyApp/README", "read me");
        fs::create_symlink("bin/run.sh", dir / "MyApp/run");
        editor.module.Project.Files.push_back({"myapp.exe", std::string("exe")});
        window = editor.Open<frmFile>();
    }
    QString Line(int k) const { return window->eList->item(k)->text(); }

    TempDir dir;
    WindowFixture editor{false};
    frmFile* window = nullptr;
};

TEST_F(AddFolder, AddsOneTreeAndAddingAgainReplacesIt) {
    editor.dialogs.fileAnswer = QString::fromStdString(dir / "MyApp");
    window->eButton[4]->click();
    ASSERT_EQ(editor.dialogs.fileRequests.size(), 1u);
    const FileDialogRequest& asked = editor.dialogs.fileRequests[0];
    EXPECT_TRUE(asked.open && asked.folder && !asked.several);
    EXPECT_EQ(asked.title, QStringLiteral("Add folder..."));

    SetupProject& project = editor.module.Project;
    ASSERT_EQ(project.FileCount(), 2);
    EXPECT_EQ(project.Files[1].Name, "myapp.tree");
    const Tree tree = DecodeTree(project.Files[1].Raw());
    EXPECT_EQ(tree.RootName, "MyApp");
    EXPECT_EQ(tree.FileCount(), 3u); // run.sh, README and the link
    EXPECT_EQ(window->eList->count(), 2);
    EXPECT_EQ(Line(1), QStringLiteral("myapp.tree  (tree: 6 entries, 35 bytes)"));
    EXPECT_FALSE(window->lStatus->isVisible());

    WriteFile(dir / "MyApp/share/more.txt", "12345");
    window->menM[4]->trigger();
    ASSERT_EQ(project.FileCount(), 2);
    EXPECT_EQ(DecodeTree(project.Files[1].Raw()).FileCount(), 4u);
    EXPECT_EQ(Line(1), QStringLiteral("myapp.tree  (tree: 7 entries, 40 bytes)"));

    // A cancelled dialog adds nothing.
    editor.dialogs.fileAnswer.clear();
    window->eButton[4]->click();
    EXPECT_EQ(project.FileCount(), 2);
}

TEST_F(AddFolder, AFolderATreeCannotCarryIsRefusedWhole) {
    fs::create_symlink("/etc/hostname", dir / "MyApp/bin/absolute");
    ASSERT_EQ(mkfifo((dir / "MyApp/pipe").c_str(), 0600), 0);
    window->AddFolders({dir / "MyApp"});
    EXPECT_EQ(editor.module.Project.FileCount(), 1);
    EXPECT_EQ(window->eList->count(), 1);
    ASSERT_TRUE(window->lStatus->isVisible());
    const QString text = window->lStatus->text();
    const QString link =
        QStringLiteral("MyApp/bin/absolute (") +
        QString::fromStdString(LinkTargetProblem("bin/absolute", "/etc/hostname")) +
        QStringLiteral(")");
    EXPECT_TRUE(text.startsWith(QStringLiteral("Folder not added: "))) << text.toStdString();
    EXPECT_TRUE(text.contains(link)) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("MyApp/pipe (a FIFO (named pipe))")))
        << text.toStdString();
}

// A packed tree's header is read off the window thread; a tree
// that does not read says why; renaming keeps a tree a tree.
TEST_F(AddFolder, PackedAndDamagedTreesShowWhatTheyHold) {
    window->AddFolders({dir / "MyApp"});
    SetupProject& project = editor.module.Project;
    project.Files[1].Data = MakeEntry(project.Files[1].Raw(), true, 100);
    project.Files.push_back({"broken.tree", std::string("this is not a tree at all")});
    WindowFixture::Close(window);
    window = editor.Open<frmFile>();
    QCoreApplication::processEvents(); // the trees are read once the window shows
    EXPECT_EQ(Line(1), QStringLiteral("myapp.tree  (tree: 6 entries, 35 bytes)"));
    EXPECT_EQ(Line(2), QStringLiteral("broken.tree  (damaged tree: not a tree)"));

    for (const char* answer : {"app.dat", "app.tree"}) {
        editor.dialogs.inputAnswer = QString::fromLatin1(answer);
        window->eList->clearSelection();
        window->eList->item(1)->setSelected(true);
        window->eButton[1]->click();
    }
    EXPECT_EQ(project.Files[1].Name, "app.tree");
    EXPECT_EQ(Line(1), QStringLiteral("app.tree  (tree: 6 entries, 35 bytes)"));
}

} // namespace
