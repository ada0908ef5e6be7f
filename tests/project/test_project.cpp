// The project's shared helpers: line splitting, file lookup, the debugger
// log, picture loading and dropping files.
#include "project/Project.h"

#include <gtest/gtest.h>

#include <array>

#include "TestHost.h"

namespace {

struct SplitCase {
    const char* text;
    std::vector<std::string> expected; // all seven slots afterwards
};

TEST(SplitLines, FillsSlotsAndKeepsTheRest) {
    const std::vector<SplitCase> cases = {
        {"a\r\nb\r\nc\r\nd\r\ne\r\nf\r\ng\r\nh\r\ni", {"a", "b", "c", "d", "e", "f", "g"}},
        {"a\r\nb\r\nc", {"a", "b", "c", "old3", "old4", "old5", "old6"}},
        {"", {"", "old1", "old2", "old3", "old4", "old5", "old6"}},
        {"a\r\n", {"a", "", "old2", "old3", "old4", "old5", "old6"}},
        {"one\rtwo\nthree", {"one\rtwo\nthree", "old1", "old2", "old3", "old4", "old5", "old6"}},
    };
    for (const auto& c : cases) {
        std::array<std::string, 7> slots;
        for (int i = 0; i < 7; ++i)
            slots[i] = "old" + std::to_string(i);
        SplitLines(slots, c.text, "\r\n");
        EXPECT_EQ(std::vector<std::string>(slots.begin(), slots.end()), c.expected) << c.text;
    }
}

TEST(SplitLines, MultiCharacterSeparatorIsRemovedWhole) {
    std::array<std::string, 3> slots;
    SplitLines(slots, "x<>y<><>z", "<>");
    EXPECT_EQ(slots[0], "x");
    EXPECT_EQ(slots[1], "y");
    EXPECT_EQ(slots[2], "");

    // The text is split as if one separator followed it, so a separator that
    // overlaps the text's end is found there: "xa" + "aa" splits at the first "aa".
    slots = {"old0", "old1", "old2"};
    SplitLines(slots, "xa", "aa");
    EXPECT_EQ(slots, (std::array<std::string, 3>{"x", "old1", "old2"}));
    slots = {"old0", "old1", "old2"};
    SplitLines(slots, "x<", "<>");
    EXPECT_EQ(slots, (std::array<std::string, 3>{"x<", "old1", "old2"}));
}

TEST(FindFile, ComparesNamesExactly) {
    gProject = SetupProject{};
    ASSERT_TRUE(AddFile("myapp.exe", "x", false));
    ASSERT_TRUE(AddFile("readme.txt", "y", false));
    EXPECT_EQ(FindFile("myapp.exe"), 0);
    EXPECT_EQ(FindFile("readme.txt"), 1);
    EXPECT_EQ(FindFile("MyApp.exe"), -1);
    EXPECT_EQ(FindFile("myapp"), -1);
}

TEST(Files, TableRefusesThe513thFileAndRemoveMovesLaterEntriesDown) {
    gProject = SetupProject{};
    for (int i = 0; i < kMaxFiles; ++i)
        ASSERT_TRUE(AddFile("f" + std::to_string(i), "", false));
    EXPECT_FALSE(AddFile("one-too-many", "data", false));
    EXPECT_EQ(gProject.FileCount, kMaxFiles);
    RemoveFile(0);
    EXPECT_EQ(gProject.FileCount, kMaxFiles - 1);
    EXPECT_EQ(gProject.Name(0), "f1");
    EXPECT_EQ(gProject.Name(kMaxFiles - 2), "f511");
    EXPECT_TRUE(gProject.Name(kMaxFiles - 1).empty());
}

TEST(DebugPrint, KeepsTheLast256Lines) {
    DebugClear();
    for (int i = 1; i <= 300; ++i)
        DebugPrint("line " + std::to_string(i));
    EXPECT_EQ(gRun.DebugLineCount, 256);
    EXPECT_EQ(gRun.DebugText.rfind("line 45\r\nline 46\r\n", 0), 0u);
    EXPECT_EQ(gRun.DebugText.substr(gRun.DebugText.size() - 10), "\r\nline 300");
    size_t breaks = 0;
    for (size_t at = 0; (at = gRun.DebugText.find("\r\n", at)) != std::string::npos; at += 2)
        ++breaks;
    EXPECT_EQ(breaks, 255u);
    DebugClear();
    EXPECT_EQ(gRun.DebugLineCount, 0);
    EXPECT_EQ(gRun.DebugText, "");
    DebugPrint("");
    DebugPrint("");
    EXPECT_EQ(gRun.DebugText, "\r\n");
}

TEST(DebugPrint, RefreshesTheOpenDebuggerOnly) {
    struct Watch : RecordingHost {
        void DebugTextChanged(const std::string& text) override { seen.push_back(text); }
        std::vector<std::string> seen;
    } host;
    DebugClear();
    DebugPrint("hidden");
    gRun.DebugOpen = true;
    DebugPrint("shown");
    DebugClear();
    gRun.DebugOpen = false;
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
    gProject = SetupProject{};
    ASSERT_TRUE(AddFile("tool.bin", "packed", true));

    DropResult r =
        DropFiles({dir / "folder", dir / "License.TXT", dir / "missing", dir / "tool.bin"});
    EXPECT_EQ(r.Added, 1);
    EXPECT_EQ(r.Replaced, 1);
    EXPECT_TRUE(r.AddedTxt);
    EXPECT_EQ(r.Skipped, (std::vector<std::string>{dir / "folder", dir / "missing"}));
    ASSERT_EQ(gProject.FileCount, 2);
    EXPECT_EQ(gProject.File(0).Data, "v1");
    EXPECT_FALSE(gProject.File(0).Packed);
    EXPECT_EQ(gProject.File(1).Name, "license.txt");
    EXPECT_EQ(gProject.File(1).Data, "terms");

    WriteFile(dir / "tool.bin", "v2");
    r = DropFiles({dir / "tool.bin"});
    EXPECT_EQ(gProject.FileCount, 2);
    EXPECT_EQ(gProject.Data(0), "v2");
    EXPECT_FALSE(r.AddedTxt);

    while (gProject.FileCount < kMaxFiles)
        AddFile("n" + std::to_string(gProject.FileCount), "", false);
    WriteFile(dir / "late.txt", "late");
    r = DropFiles({dir / "late.txt", dir / "tool.bin"});
    EXPECT_EQ(r.Refused, (std::vector<std::string>{dir / "late.txt"}));
    EXPECT_EQ(r.Replaced, 1);
    EXPECT_EQ(FindFile("late.txt"), -1);
}

} // namespace
