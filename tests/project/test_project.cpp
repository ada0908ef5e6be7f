// The project's files, the debugger log, picture loading and dropping files.
#include "project/Project.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include "PackageBuilder.h"
#include "TestHost.h"
#include "package/ByteSource.h"
#include "project/FileIntake.h"
#include "project/OpenSetup.h"
#include "project/Session.h"

namespace {

TEST(FindFile, ComparesNamesExactly) {
    SetupProject project;
    ASSERT_TRUE(project.AddFile({"myapp.exe", "x"}));
    ASSERT_TRUE(project.AddFile({"readme.txt", "y"}));
    EXPECT_EQ(project.FindFile("myapp.exe"), 0);
    EXPECT_EQ(project.FindFile("readme.txt"), 1);
    EXPECT_EQ(project.FindFile("MyApp.exe"), -1);
    EXPECT_EQ(project.FindFile("myapp"), -1);
}

TEST(Files, TableRefusesThe513thFileAndRemoveMovesLaterEntriesDown) {
    SetupProject project;
    for (int i = 0; i < kMaxFiles; ++i)
        ASSERT_TRUE(project.AddFile({"f" + std::to_string(i), ""}));
    EXPECT_FALSE(project.AddFile({"one-too-many", "data"}));
    EXPECT_EQ(project.FileCount(), kMaxFiles);
    project.RemoveFile(0);
    EXPECT_EQ(project.FileCount(), kMaxFiles - 1);
    EXPECT_EQ(project.Files[0].Name, "f1");
    EXPECT_EQ(project.Files[kMaxFiles - 2].Name, "f511");
    project.RemoveFile(kMaxFiles); // past the end: nothing happens
    EXPECT_EQ(project.FileCount(), kMaxFiles - 1);
}

TEST(DebugPrint, KeepsTheLast256Lines) {
    Module1 m;
    for (int i = 1; i <= 300; ++i)
        m.DebugPrint("line " + std::to_string(i));
    EXPECT_EQ(m.Run.DebugLineCount, 256);
    EXPECT_EQ(m.Run.DebugText.rfind("line 45\r\nline 46\r\n", 0), 0u);
    EXPECT_EQ(m.Run.DebugText.substr(m.Run.DebugText.size() - 10), "\r\nline 300");
    size_t breaks = 0;
    for (size_t at = 0; (at = m.Run.DebugText.find("\r\n", at)) != std::string::npos; at += 2)
        ++breaks;
    EXPECT_EQ(breaks, 255u);
    m.DebugClear();
    EXPECT_EQ(m.Run.DebugLineCount, 0);
    EXPECT_EQ(m.Run.DebugText, "");
    m.PrintReport({"", ""});
    EXPECT_EQ(m.Run.DebugText, "\r\n");
}

TEST(DebugPrint, RefreshesTheOpenDebuggerOnly) {
    struct Watch : RecordingHost {
        void DebugTextChanged(const std::string& text) override { seen.push_back(text); }
        std::vector<std::string> seen;
    } host;
    Module1 m(host);
    m.DebugPrint("hidden");
    m.Run.DebugOpen = true;
    m.DebugPrint("shown");
    m.DebugClear();
    m.Run.DebugOpen = false;
    EXPECT_EQ(host.seen, (std::vector<std::string>{"hidden\r\nshown", ""}));
}

std::string Bitmap(int32_t width, int32_t height, size_t size) {
    std::string b(size, '\0');
    b[0] = 'B';
    b[1] = 'M';
    for (int i = 0; i < 4; ++i) {
        b[18 + i] = static_cast<char>((static_cast<uint32_t>(width) >> (8 * i)) & 0xFF);
        b[22 + i] = static_cast<char>((static_cast<uint32_t>(height) >> (8 * i)) & 0xFF);
    }
    return b;
}

TEST(LoadPictureFile, ChecksExtensionSizeAndDimensions) {
    TempDir dir;
    WriteFile(dir / "ok.bmp", Bitmap(128, 320, 200));
    WriteFile(dir / "OK.BMP", Bitmap(128, 320, 200));
    WriteFile(dir / "wide.bmp", Bitmap(320, 128, 200));
    WriteFile(dir / "topdown.bmp", Bitmap(128, -320, 200));
    WriteFile(dir / "pic.png", Bitmap(128, 320, 200));
    WriteFile(dir / "small.bmp", std::string(93, 'x'));
    WriteFile(dir / "just.bmp", std::string(94, 'x'));
    WriteFile(dir / "pic.tmp", Bitmap(128, 320, 200));
    WriteFile(dir / "pic.jpg", Bitmap(128, 320, 200));

    struct Case {
        std::string name;
        bool allowTmp, checkSize, accepted;
    };
    const std::vector<Case> cases = {
        {"ok.bmp", false, true, true},    {"OK.BMP", false, true, true},
        {"wide.bmp", false, true, false}, {"topdown.bmp", false, true, false},
        {"pic.png", false, false, false}, {"small.bmp", false, false, false},
        {"just.bmp", false, false, true}, {"just.bmp", false, true, false},
        {"pic.tmp", false, true, false},  {"pic.tmp", true, true, true},
        {"pic.jpg", false, true, true},   {"missing.bmp", false, false, false},
    };
    for (const auto& c : cases) {
        const std::string got = LoadPictureFile(dir / c.name, c.allowTmp, c.checkSize);
        EXPECT_EQ(!got.empty(), c.accepted) << c.name;
        if (c.accepted) {
            EXPECT_EQ(got, ReadFile(dir / c.name));
        }
    }
    EXPECT_TRUE(LoadPictureFile(dir.Path().string() + "/x.bmp", false, false).empty());
}

TEST(DropFiles, AddsReplacesSkipsAndRefuses) {
    TempDir dir;
    std::filesystem::create_directory(dir / "folder");
    WriteFile(dir / "License.TXT", "terms");
    WriteFile(dir / "tool.bin", "v1");
    SetupProject project;
    ASSERT_TRUE(project.AddFile({"tool.bin", EntryRecord{}}));

    DropResult r = DropFiles(
        project, {dir / "folder", dir / "License.TXT", dir / "missing", dir / "tool.bin"});
    EXPECT_EQ(r.Added, 1);
    EXPECT_EQ(r.Replaced, 1);
    EXPECT_TRUE(r.AddedTxt);
    EXPECT_EQ(r.Skipped, (std::vector<std::string>{dir / "folder", dir / "missing"}));
    ASSERT_EQ(project.FileCount(), 2);
    EXPECT_FALSE(project.Files[0].Packed());
    EXPECT_EQ(project.Files[0].Raw(), "v1");
    EXPECT_EQ(project.Files[1].Name, "license.txt");
    EXPECT_EQ(project.Files[1].Raw(), "terms");

    WriteFile(dir / "tool.bin", "v2");
    r = DropFiles(project, {dir / "tool.bin"});
    EXPECT_EQ(project.FileCount(), 2);
    EXPECT_EQ(project.Files[0].Raw(), "v2");
    EXPECT_FALSE(r.AddedTxt);

    while (project.FileCount() < kMaxFiles)
        project.AddFile({"n" + std::to_string(project.FileCount()), ""});
    WriteFile(dir / "late.txt", "late");
    r = DropFiles(project, {dir / "late.txt", dir / "tool.bin"});
    EXPECT_EQ(r.Refused, (std::vector<std::string>{dir / "late.txt"}));
    EXPECT_EQ(r.Replaced, 1);
    EXPECT_EQ(project.FindFile("late.txt"), -1);
}

// Hostile and careless files: each is refused with its name and why, and
// nothing of the drop is taken when two of its files would share a name.
TEST(DropFiles, RefusesWithReasons) {
    TempDir dir;
    std::filesystem::create_directories(dir / "a");
    std::filesystem::create_directories(dir / "b");
    WriteFile(dir / "a/README", "a");
    WriteFile(dir / "b/readme", "b");
    WriteFile(dir / "x\\..", "climbs");
    WriteFile(dir / "c:foo.txt", "drive");
    WriteFile(dir / "dir\\Note.txt", "note");
    // A sparse file past the package's 32-bit sizes is refused before it is read.
    WriteFile(dir / "huge.bin", "");
    ASSERT_EQ(truncate((dir / "huge.bin").c_str(), 1LL << 32), 0);
    const struct {
        std::vector<std::string> files;
        const char* reason; // in the reason given for the first file
    } cases[] = {
        {{dir / "a/README", dir / "b/readme"}, "would get the same name \"readme\""},
        {{dir / "x\\.."}, "a setup cannot hold a file named \"..\""},
        {{dir / "c:foo.txt"}, "a setup cannot hold a file named \"c:foo.txt\""},
        {{dir / "huge.bin"}, "4294967296 bytes, more than the 4294967295 allowed"},
        // Its size says 0 and its bytes say otherwise: a file that changes.
        {{"/proc/self/status"}, "changed its size while it was read"},
        {{dir.Path().string() + "/"}, "names no file"},
    };
    for (const auto& c : cases) {
        SetupProject project;
        const DropResult r = DropFiles(project, c.files);
        EXPECT_EQ(project.FileCount(), 0) << c.reason;
        EXPECT_EQ(r.Skipped, c.files) << c.reason;
        ASSERT_EQ(r.Problems.size(), c.files.size()) << c.reason;
        EXPECT_EQ(r.Problems[0].Path, c.files[0]);
        EXPECT_NE(r.Problems[0].Reason.find(c.reason), std::string::npos) << r.Problems[0].Reason;
    }

    // A backslash in a Linux file's name cuts it as in a package, and says so.
    SetupProject project;
    const DropResult r = DropFiles(project, {dir / "dir\\Note.txt"});
    EXPECT_EQ(r.Added, 1);
    ASSERT_EQ(r.Shortened.size(), 1u);
    EXPECT_EQ(r.Shortened[0].Name, "note.txt");
    EXPECT_EQ(project.Files[0].Name, "note.txt");
}

// Adding refuses exactly the names that opening refuses: a setup saved after
// an add always opens again.
TEST(DropFiles, RefusesWhatOpeningRefuses) {
    TempDir dir;
    for (const std::string file : {"x\\..", "c:foo.txt", "a:b", "..", "...", "a\\.", "ok.txt",
                                   "x\\b.txt", "nul\\\\", "\\lead"}) {
        WriteFile(dir / file, "bytes");
        SetupProject project;
        const bool added = DropFiles(project, {dir / file}).Added == 1;
        RecordingHost host;
        SetupProject opened;
        const std::string setup = BuildSetup("RT", {{IntakeName(dir / file), "bytes"}});
        EXPECT_EQ(OpenSetup(opened, host, MemorySource(setup)), added) << file;
    }
}

} // namespace

#include <unistd.h>

#include "common/Errors.h"
#include "project/SetupLock.h"

namespace {

TEST(SetupLock, OneHolderAtATimeAndNothingLeftBehind) {
    TempDir dir;
    setenv("XDG_RUNTIME_DIR", dir.Path().c_str(), 1);
    const std::string setup = dir / "t.exe";
    {
        SetupLock first = SetupLock::Acquire(setup, "kavelo");
        ASSERT_TRUE(first.Held());
        // Another spelling of the same path names the same lock.
        try {
            SetupLock::Acquire(dir / "./t.exe", "editor", std::chrono::milliseconds(100));
            ADD_FAILURE() << "a second writer got the lock";
        } catch (const KaveloError& e) {
            EXPECT_EQ(e.Path(), dir / "./t.exe");
            EXPECT_EQ(e.Reason(), "in use by kavelo, process " + std::to_string(getpid()));
        }
        SetupLock other = SetupLock::Acquire(dir / "other.exe", "kavelo");
        EXPECT_TRUE(other.Held());
    }
    EXPECT_TRUE(SetupLock::Acquire(setup, "editor", std::chrono::milliseconds(0)).Held());
    EXPECT_TRUE(std::filesystem::is_empty(dir / "kavelo-locks"));
    unsetenv("XDG_RUNTIME_DIR");
}

} // namespace
