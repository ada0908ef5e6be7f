// Folders read into trees: exact names, program bits, empty folders and
// relative links come in; anything a tree cannot carry refuses the whole
// folder with each path and its reason, and the project is left as it was.
#include "project/TreeIntake.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "TestHost.h"
#include "common/Errors.h"
#include "project/ContentsBuilder.h"

namespace fs = std::filesystem;

namespace {

// A small application folder: mixed-case names, a program, an empty folder,
// a relative link into lib/.
std::string MakeApp(const TempDir& dir) {
    const std::string root = dir / "MyApp";
    fs::create_directories(root + "/bin");
    fs::create_directories(root + "/lib/Plugins");
    fs::create_directories(root + "/share/empty");
    WriteFile(root + "/bin/Run.sh", "#!/bin/sh\necho run\n");
    fs::permissions(root + "/bin/Run.sh", fs::perms::owner_exec, fs::perm_options::add);
    WriteFile(root + "/lib/libQt6Core.so.6.4", "core");
    fs::create_symlink("libQt6Core.so.6.4", root + "/lib/libQt6Core.so.6");
    fs::create_symlink("../lib/Plugins", root + "/bin/plugins");
    return root;
}

const TreeEntry* Find(const Tree& tree, const std::string& name) {
    const auto it = std::find_if(tree.Entries.begin(), tree.Entries.end(),
                                 [&](const TreeEntry& e) { return e.Name == name; });
    return it == tree.Entries.end() ? nullptr : &*it;
}

std::vector<std::string> Reasons(const FolderRead& r, const std::string& root) {
    std::vector<std::string> out;
    for (const DropProblem& p : r.Problems)
        out.push_back(fs::path(p.Path).lexically_relative(root).string() + ": " + p.Reason);
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace

TEST(TreeIntake, ReadsNamesKindsAndLinksExactly) {
    TempDir dir;
    const FolderRead r = ReadFolderTree(MakeApp(dir) + "/");
    ASSERT_TRUE(r.Problems.empty());
    EXPECT_EQ(r.Contents.RootName, "MyApp");
    const struct {
        const char* name;
        TreeKind kind;
        const char* data;
    } expected[] = {
        {"bin", TreeKind::Folder, ""},
        {"bin/Run.sh", TreeKind::Program, "#!/bin/sh\necho run\n"},
        {"bin/plugins", TreeKind::Link, "../lib/Plugins"},
        {"lib/libQt6Core.so.6.4", TreeKind::File, "core"},
        {"lib/libQt6Core.so.6", TreeKind::Link, "libQt6Core.so.6.4"},
        {"lib/Plugins", TreeKind::Folder, ""},
        {"share/empty", TreeKind::Folder, ""},
    };
    for (const auto& x : expected) {
        SCOPED_TRACE(x.name);
        const TreeEntry* e = Find(r.Contents, x.name);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->Kind, x.kind);
        EXPECT_EQ(e->Data, x.data);
    }
    EXPECT_EQ(r.Contents.Entries.size(), 9u); // with the folders lib and share
    EXPECT_EQ(DecodeTree(EncodeTree(r.Contents)).Entries.size(), 9u);
}

TEST(TreeIntake, EveryOffendingPathIsListedWithItsReason) {
    TempDir dir;
    const std::string root = MakeApp(dir);
    fs::create_symlink("/etc/passwd", root + "/abs");
    fs::create_symlink("../../outside", root + "/bin/escape");
    ASSERT_EQ(::mkfifo((root + "/pipe").c_str(), 0600), 0);
    WriteFile(root + "/bad\x01name", "");
    const std::vector<std::string> expected = {
        "abs: a link to the absolute path \"/etc/passwd\"",
        "bad\x01name: the name holds a control character",
        "bin/escape: a link to \"../../outside\", outside the tree",
        "pipe: a FIFO (named pipe)",
    };
    EXPECT_EQ(Reasons(ReadFolderTree(root), root), expected);
}

TEST(TreeIntake, UnreadableFileRefusesTheFolder) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
    TempDir dir;
    const std::string root = MakeApp(dir);
    WriteFile(root + "/secret", "x");
    fs::permissions(root + "/secret", fs::perms::none);
    EXPECT_EQ(Reasons(ReadFolderTree(root), root),
              std::vector<std::string>{"secret: Permission denied"});
}

TEST(TreeIntake, DropAddsOneFileAndReplacesItAgain) {
    TempDir dir;
    const std::string root = MakeApp(dir);
    SetupProject project;
    DropResult r = DropFolders(project, {root});
    EXPECT_EQ(r.Added, 1);
    ASSERT_EQ(project.FileCount(), 1);
    EXPECT_EQ(project.Files[0].Name, "myapp.tree");
    fs::remove(root + "/lib/libQt6Core.so.6.4");
    r = DropFolders(project, {root});
    EXPECT_EQ(r.Replaced, 1);
    ASSERT_EQ(project.FileCount(), 1);
    EXPECT_EQ(Find(DecodeTree(project.Files[0].Raw()), "lib/libQt6Core.so.6.4"), nullptr);
}

// A folder is written into its tree file by file: a large one into a
// scratch file, the same bytes as the tree read whole; a file that changed
// since the scan refuses it, naming the file.
TEST(TreeIntake, ALargeFolderIsWrittenFileByFileIntoAScratchFile) {
    TempDir dir;
    const TemporaryFolderVariable tmp(dir.Path());
    const std::string root = MakeApp(dir);
    std::string big(ContentsBuilder::kHeldInMemory, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i % 253);
    WriteFile(root + "/lib/big.bin", big);
    const FolderRead scan = ScanFolderTree(root);
    ASSERT_TRUE(scan.Problems.empty());
    const auto written = WriteFolderTree(scan);
    ASSERT_TRUE(std::holds_alternative<FileOnDisk>(written));
    EXPECT_EQ(ReadFile(std::get<FileOnDisk>(written).Path),
              EncodeTree(ReadFolderTree(root).Contents));

    // The index is written first: a file whose size or kind is no longer
    // the scan's refuses the folder, and a drop adds nothing.
    const struct {
        const char* what;
        std::function<void()> change;
    } changes[] = {
        {"grew", [&] { WriteFile(root + "/lib/big.bin", big + "more"); }},
        {"became a program",
         [&] {
             fs::permissions(root + "/lib/big.bin", fs::perms::owner_exec, fs::perm_options::add);
         }},
        {"became a folder",
         [&] {
             fs::remove(root + "/lib/big.bin");
             fs::create_directory(root + "/lib/big.bin");
         }},
        {"went", [&] { fs::remove(root + "/lib/big.bin"); }},
    };
    for (const auto& c : changes) {
        SCOPED_TRACE(c.what);
        fs::remove_all(root + "/lib/big.bin");
        WriteFile(root + "/lib/big.bin", big);
        const FolderRead before = ScanFolderTree(root);
        c.change();
        try {
            WriteFolderTree(before);
            ADD_FAILURE() << "written";
        } catch (const KaveloError& e) {
            EXPECT_EQ(e.Path(), root + "/lib/big.bin");
            EXPECT_EQ(e.Reason(), "changed while it was being added");
        }
    }
}

TEST(TreeIntake, RefusedDropChangesNothing) {
    TempDir dir;
    const std::string root = MakeApp(dir);
    fs::create_directories(dir / "other/myapp");
    SetupProject project;
    // Two folders that would get the same name.
    DropResult r = DropFolders(project, {root, dir / "other/myapp"});
    EXPECT_EQ(r.Problems.size(), 1u);
    EXPECT_EQ(project.FileCount(), 0);
    // A full project.
    for (int i = 0; i < kMaxFiles; ++i)
        project.AddFile({"f" + std::to_string(i), ""});
    r = DropFolders(project, {root});
    EXPECT_EQ(r.Refused.size(), 1u);
    EXPECT_EQ(project.FileCount(), kMaxFiles);
}

TEST(TreeIntake, PlainFileNamedLikeATreeIsNotAdded) {
    TempDir dir;
    WriteFile(dir / "fake.tree", "x");
    SetupProject project;
    const DropResult r = DropFiles(project, {dir / "fake.tree"});
    EXPECT_EQ(r.Skipped.size(), 1u);
    EXPECT_EQ(project.FileCount(), 0);
}
