// The numbered string table: texts, line-break expansion, the "#" fallback.
#include "res/StringTable.h"

#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <string>

namespace {

struct Expected {
    int32_t id;
    const char* text;
};

// Every text with "|" or "$", every one with "&", and samples of each block.
const Expected kExpected[] = {
    {10, "KaveloMaker"},
    {20, "Kavelo setup files (*.run *.exe)"},
    {21, "Create new setup..."},
    {22, "Load setup..."},
    {30, "KaveloMaker"},
    {31, "Error creating setup file|$"},
    {32, "Error opening setup file|$"},
    {33, "File is no Kavelo setup file"},
    {34, "Error opening '$\""},
    {35, "Error starting setup file|$"},
    {100, "About..."},
    {101, "KaveloMaker $"},
    {102, "KaveloMaker $ [beta %]"},
    {106, "&Close"},
    {150, "KaveloMaker - Startup"},
    {154, "Quit"},
    {155, "&Recent projects"},
    {160, "Packing file(s)..."},
    {200, "KaveloMaker"},
    {210, "&Project"},
    {211, "&New..."},
    {212, "&Open..."},
    {213, "&Save"},
    {214, "Save &as..."},
    {215, "&Quit"},
    {230, "&Windows"},
    {231, "&General & Interface"},
    {232, "&Startup & finishtext"},
    {233, "&File manager"},
    {234, "Edit &scripts"},
    {235, "&Test scripts"},
    {236, "&Create & test setup"},
    {239, "&Close all"},
    {250, "&Info"},
    {251, "&About"},
    {280, "General info & interface"},
    {285, "Create setup.exe"},
    {301, "&Close"},
    {326, "32x32 pixel icon (*.ico)"},
    {330, "<- Picture"},
    {336, "128x320 pixel picture (*.bmp)"},
    {341, "(none)"},
    {360, "Startmenu subfolder for shortcuts"},
    {370, "Launch program after installation text"},
    {400, "Startup & end text"},
    {401, "&Startup"},
    {402, "&Finish"},
    {403, "&Close"},
    {410, "(Launch 'My Application' now...)"},
    {500, "File explorer"},
    {501, "&Add files..."},
    {502, "&Rename"},
    {503, "&Remove"},
    {504, "&Close"},
    {505, "Not added, a setup holds at most 512 files: $"},
    {506, "Not added: $"},
    {511, "Enter new filename"},
    {600, "Component and Installation script editor"},
    {701, "Choose the components you want to install"},
    {702, "&Update"},
    {703, "&Install"},
    {704, "&Close"},
    {800, "Installation debugger"},
};

TEST(ResStrings, TextsAsStoredWithoutExpansion) {
    for (const Expected& e : kExpected)
        EXPECT_EQ(GetResString(e.id, false), e.text) << e.id;
}

TEST(ResStrings, TableCoversEveryNumberBlockOnce) {
    const auto table = ResStringTable();
    ASSERT_EQ(table.size(), 91u);
    std::set<int32_t> ids;
    for (const ResString& s : table) {
        EXPECT_TRUE(ids.insert(s.Id).second) << "number twice: " << s.Id;
        EXPECT_FALSE(s.Text.empty()) << s.Id;
        // line breaks are written as "|" only
        EXPECT_EQ(s.Text.find_first_of("\r\n"), std::string_view::npos) << s.Id;
        EXPECT_EQ(GetResString(s.Id, false), s.Text) << s.Id;
    }
    for (const Expected& e : kExpected)
        EXPECT_EQ(ids.count(e.id), 1u) << e.id;
    for (int32_t id : {103, 104, 105, 151, 152, 153, 281, 282, 283, 284, 300, 310,
                       320, 321, 322, 325, 331, 332, 335, 340, 350, 380, 381, 382, 510, 700})
        EXPECT_EQ(ids.count(id), 1u) << id;
}

TEST(ResStrings, NoticeLinesOfTheAboutWindow) {
    // 103 a copyright line, 104 points to a text file, 105 is a licence line
    // with one line break before the pointer to the licence file.
    EXPECT_NE(GetResString(103, false).find("Copyright"), std::string::npos);
    EXPECT_NE(GetResString(104, false).find(".txt"), std::string::npos);
    const std::string licence = GetResString(105, false);
    const auto bar = licence.find('|');
    ASSERT_NE(bar, std::string::npos);
    EXPECT_EQ(licence.find('|', bar + 1), std::string::npos);
    EXPECT_NE(licence.find(".txt", bar), std::string::npos);
    EXPECT_EQ(GetResString(105, true), ExpandLineBreaks(licence));
    EXPECT_EQ(GetResString(105, true).find('|'), std::string::npos);
}

TEST(ResStrings, ExpansionTurnsBarsIntoLineBreaks) {
    const std::string br(1, kResLineBreak);
    EXPECT_EQ(GetResString(31, true), "Error creating setup file" + br + "$");
    EXPECT_EQ(GetResString(32, true), "Error opening setup file" + br + "$");
    EXPECT_EQ(GetResString(34, true), "Error opening '$\"");
    EXPECT_EQ(GetResString(35, true), "Error starting setup file" + br + "$");
    EXPECT_EQ(GetResString(150, true), "KaveloMaker - Startup");
    EXPECT_EQ(GetResString(231, true), "&General & Interface");
}

TEST(ResStrings, DoubleBarIsALiteralBar) {
    const std::string br(1, kResLineBreak);
    const struct {
        const char* in;
        std::string out;
    } cases[] = {
        {"", ""},
        {"|", br},
        {"||", "|"},
        {"|||", "|" + br},
        {"||||", "||"},
        {"a|b||c", "a" + br + "b|c"},
        {"|a|", br + "a" + br},
        {"no bars", "no bars"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExpandLineBreaks(c.in), c.out) << c.in;
}

TEST(ResStrings, UnknownNumberGivesHashAndNumber) {
    for (bool multiline : {false, true}) {
        EXPECT_EQ(GetResString(999, multiline), "#999");
        EXPECT_EQ(GetResString(0, multiline), "#0");
        EXPECT_EQ(GetResString(11, multiline), "#11");
        EXPECT_EQ(GetResString(-1, multiline), "#-1");
        EXPECT_EQ(GetResString(801, multiline), "#801");
        EXPECT_EQ(GetResString(65536 + 10, multiline), "#65546");
        EXPECT_EQ(GetResString(INT32_MAX, multiline), "#2147483647");
        EXPECT_EQ(GetResString(INT32_MIN, multiline), "#-2147483648");
    }
}

} // namespace
