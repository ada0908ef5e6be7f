// Writing below a folder: names that climb out, links on the way, the mode a
// file gets and files replaced rather than written through.
#include "install/SafeWrite.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <optional>

#include "TestHost.h"
#include "common/Errors.h"

namespace {

TEST(SafeRelativePath, KeepsEntriesInsideTheFolder) {
    struct Case {
        std::string name;
        std::optional<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"setup\\script.txt", "setup/script.txt"},
        {"readme.txt", "readme.txt"},
        {"a\\.\\b", "a/b"},
        {"\\abs\\x", "abs/x"},
        {"/etc/passwd", "etc/passwd"},
        {"C:\\Windows\\x.dll", "Windows/x.dll"},
        {"..\\..\\evil", std::nullopt},
        {"a\\..\\b", std::nullopt},
        {"a/../../b", std::nullopt},
        {"..", std::nullopt},
        {"", std::nullopt},
        {"\\\\", std::nullopt},
        {"a..b\\c..", "a..b/c.."},
    };
    for (const auto& c : cases) {
        const auto got = SafeRelativePath(c.name);
        ASSERT_EQ(got.has_value(), c.expected.has_value()) << c.name;
        if (got) {
            EXPECT_EQ(got->string(), *c.expected) << c.name;
        }
    }
}

TEST(WriteBelow, GivesProgramsTheExecuteBitAndReplacesHardLinksInsteadOfWritingThrough) {
    TempDir dir;
    const mode_t mask = umask(022);
    WriteFile(dir / "outside.txt", "keep me");
    std::filesystem::create_directory(dir / "target");
    std::filesystem::create_hard_link(dir / "outside.txt", dir / "target/linked.txt");
    struct Case {
        std::string name, contents;
        mode_t mode;
    };
    const std::vector<Case> cases = {
        {"prog",
         std::string("\x7f"
                     "ELF\x02\x01",
                     6),
         0755},
        {"run.sh", "#!/bin/sh\necho hi\n", 0755},
        {"sub/dir/readme.txt", "text", 0644},
        {"linked.txt", "new contents", 0644},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WriteEntryBelow(dir / "target", c.name, c.contents), c.name == "linked.txt")
            << c.name;
        EXPECT_EQ(ReadFile(dir / ("target/" + c.name)), c.contents);
        struct stat st {};
        ASSERT_EQ(stat((dir / ("target/" + c.name)).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, c.mode) << c.name;
    }
    EXPECT_EQ(ReadFile(dir / "outside.txt"), "keep me");
    // No temporary file is left behind: prog, run.sh, sub and linked.txt.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "target"),
                            std::filesystem::directory_iterator()),
              4);
    umask(mask);
}

// In pieces: the mode comes from the first bytes even when they arrive one
// by one, and a failure while the pieces arrive leaves nothing behind.
TEST(WriteBelow, InPiecesTakesTheModeFromTheFirstBytesAndLeavesNothingOnFailure) {
    TempDir dir;
    const mode_t mask = umask(022);
    const std::string script = "#!/bin/sh\necho in pieces\n";
    EXPECT_FALSE(WriteEntryBelowInPieces(dir / "target", "bin/run", [&](const PieceSink& sink) {
        for (const char c : script)
            sink(&c, 1);
    }));
    EXPECT_EQ(ReadFile(dir / "target/bin/run"), script);
    struct stat st {};
    ASSERT_EQ(stat((dir / "target/bin/run").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0755u);
    umask(mask);

    EXPECT_THROW(WriteEntryBelowInPieces(dir / "target", "bin/cut",
                                         [](const PieceSink& sink) {
                                             sink("partial", 7);
                                             throw DamagedInput("the stream ends early", "cut");
                                         }),
                 DamagedInput);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "target/bin"),
                            std::filesystem::directory_iterator()),
              1); // run alone: neither cut nor its temporary file
}

TEST(WriteBelow, RefusesLinksAndFilesOnTheWay) {
    TempDir dir;
    std::filesystem::create_directory(dir / "target");
    std::filesystem::create_directory_symlink(dir.Path(), dir / "target/link");
    WriteFile(dir / "target/file", "x");
    const struct {
        std::string name, reason, path;
    } cases[] = {{"link/escaped.txt", "is a symbolic link, not followed", dir / "target/link"},
                 {"file/inner.txt", "is not a folder", dir / "target/file"}};
    for (const auto& c : cases) {
        try {
            WriteEntryBelow(dir / "target", c.name, "y");
            ADD_FAILURE() << c.name << " was written";
        } catch (const Refused& e) {
            EXPECT_EQ(e.Reason(), c.reason);
            EXPECT_EQ(e.Path(), c.path);
        }
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "escaped.txt"));
}

// Renamed only where nothing is: what is there stays, and so does the
// temporary file, for the caller to decide.
TEST(RenameNoReplace, RenamesOnlyWhereNothingIs) {
    TempDir dir;
    WriteFile(dir / "temp", "new");
    WriteFile(dir / "taken", "old");
    const FolderHandle folder(::open(dir.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    ASSERT_TRUE(folder.IsOpen());
    EXPECT_FALSE(RenameNoReplace(folder, "temp", "taken", dir / "taken"));
    EXPECT_EQ(ReadFile(dir / "taken"), "old");
    EXPECT_EQ(ReadFile(dir / "temp"), "new");
    EXPECT_TRUE(RenameNoReplace(folder, "temp", "free", dir / "free"));
    EXPECT_EQ(ReadFile(dir / "free"), "new");
    EXPECT_FALSE(std::filesystem::exists(dir / "temp"));
    EXPECT_THROW(RenameNoReplace(folder, "missing", "other", dir / "other"), IoError);
}

} // namespace
