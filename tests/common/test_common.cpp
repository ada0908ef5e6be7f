// The shared basics: splitting a text into slots, ASCII case, reading a file
// whole and the error types' reasons.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <array>
#include <string>
#include <vector>

#include "TestHost.h"
#include "common/AsciiCase.h"
#include "common/Errors.h"
#include "common/TextLines.h"
#include "common/TreeName.h"
#include "common/WholeFile.h"

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

TEST(AsciiCase, OnlyAsciiLettersChange) {
    EXPECT_EQ(LowerAscii("ABC xyz \xC3\x89T\xC9"), "abc xyz \xC3\x89t\xC9");
    EXPECT_EQ(UpperAscii("abc XYZ \xC3\xA9t\xE9"), "ABC XYZ \xC3\xA9T\xE9");
}

TEST(ReadWholeFile, ReadsRegularFilesAndRefusesTheRestWithTheirPath) {
    TempDir dir;
    WriteFile(dir / "data.bin", std::string("a\0b", 3));
    EXPECT_EQ(ReadWholeFile(dir / "data.bin"), std::string("a\0b", 3));
    EXPECT_EQ(ReadWholeFile(dir / "data.bin", 3), std::string("a\0b", 3));
    mkfifo((dir / "pipe").c_str(), 0600);
    struct Case {
        std::string path;
        uint64_t limit;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {dir / "missing", kNoSizeLimit, "No such file or directory"},
        {dir.Path().string(), kNoSizeLimit, "Is a directory"},
        {dir / "pipe", kNoSizeLimit, "not a regular file"},
        {dir / "data.bin", 2, "the file has 3 bytes, more than the 2 allowed"},
        // The kernel's files say they are empty and then give bytes.
        {"/proc/self/status", kNoSizeLimit, "the file changed its size while it was read"},
    };
    for (const Case& c : cases) {
        try {
            ReadWholeFile(c.path, c.limit);
            ADD_FAILURE() << c.path << " was read";
        } catch (const KaveloError& e) {
            EXPECT_EQ(e.Reason(), c.reason) << c.path;
            EXPECT_EQ(e.Path(), c.path);
            EXPECT_EQ(std::string(e.what()), c.path + ": " + c.reason);
        }
    }
}

} // namespace

TEST(TreeName, ReferencesNameATreeOrAFileInsideIt) {
    const struct {
        const char* field;
        const char* tree; // nullptr: no tree
        const char* inside;
    } cases[] = {
        {"MyApp.tree", "myapp.tree", ""}, {"myapp.TREE/bin/Tally", "myapp.tree", "bin/Tally"},
        {"a.treehouse", nullptr, ""},     {"a.treehouse.tree/x", "a.treehouse.tree", "x"},
        {".tree", nullptr, ""},           {"readme.txt", nullptr, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.field);
        const auto r = ReadTreeReference(c.field);
        ASSERT_EQ(r.has_value(), c.tree != nullptr);
        if (!r) continue;
        EXPECT_EQ(r->Tree, c.tree);
        EXPECT_EQ(r->Inside, c.inside);
    }
}
