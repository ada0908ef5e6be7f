#include "PanelReport.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "common/TextLines.h"
#include "script/ComponentPanel.h"
#include "script/PanelArguments.h"
#include "TemplateScript.h"

namespace {

class Report : public ::testing::Test {
  protected:
    void LoadTemplate() { Load(script_test::kTemplateScript, script_test::kTemplateStrings); }
    void Load(const std::string& script, const std::string& strings) {
        SplitLines(list, strings, "\r\n");
        panel.LoadScript(script, list, kMaxStrings);
    }
    std::array<std::string, kMaxStrings> list;
    ScriptPanelModel panel;
};

std::string ZeroValues(int count) {
    std::string out;
    for (int i = 0; i < count; ++i)
        out += ", 0";
    return out;
}

TEST_F(Report, TemplateAsText) {
    LoadTemplate();
    EXPECT_EQ(PanelText(panel),
              "label   -  8,8        bold        Components to install:\n"
              "check   1  24,24      [x]         My Application (1)    add 1    -    \n");
}

// JSON gives the captions as the numbered texts have them, without the
// element ID and event commands the text form shows.
TEST_F(Report, TemplateAsJson) {
    LoadTemplate();
    EXPECT_EQ(PanelJson(panel),
              "{\"elements\": [{\"kind\": \"label\", \"index\": 1, \"id\": null, \"left\": 8, "
              "\"top\": 8, \"bold\": true, \"caption\": \"Components to install:\"}, "
              "{\"kind\": \"check\", \"index\": 1, \"id\": 1, \"left\": 24, \"top\": 24, "
              "\"bold\": false, \"caption\": \"My Application\", "
              "\"checked\": true, \"value\": 1}], \"values\": [1" +
                  ZeroValues(63) + "]}\n");
}

TEST_F(Report, ListsOptionsAndTopToBottom) {
    Load("[create]\r\nlpos 5\r\ncombo 2,2\r\nlpos 1\r\n option 3\r\n[event_1_2]\r\nadd 2\r\n",
         "a\"b\r\n\xe9\r\nopt\r\n");
    EXPECT_EQ(PanelText(panel), "option  2  16,8       [x] bold    opt (2)        -    \n"
                                "combo   1  8,40       item 2/2    \xe9 (1)    add 2\n");
    EXPECT_EQ(PanelJson(panel),
              "{\"elements\": [{\"kind\": \"combo\", \"index\": 1, \"id\": 1, \"left\": 8, "
              "\"top\": 40, \"items\": [\"a\\\"b\", \"\xC3\xA9\"], "
              "\"selected\": 2, \"value\": 2}, "
              "{\"kind\": \"option\", \"index\": 1, \"id\": 2, \"left\": 16, \"top\": 8, "
              "\"bold\": true, \"caption\": \"opt\", \"checked\": true, "
              "\"value\": 1}], \"values\": [2, 1" +
                  ZeroValues(62) + "]}\n");
}

// JSON is UTF-8: valid UTF-8 is kept, other bytes are read as Windows-1252;
// controls (C0, DEL, C1) are escaped.
TEST(JsonString, EscapesAndWritesUtf8) {
    struct Case {
        std::string bytes, json;
    };
    const Case cases[] = {
        {"plain", "\"plain\""},
        {"\"\\/\n\r\t\b\f\x01\x1f\x7f", "\"\\\"\\\\/\\n\\r\\t\\b\\f\\u0001\\u001f\\u007f\""},
        {std::string(1, '\0'), "\"\\u0000\""},
        {"caf\xC3\xA9.txt", "\"caf\xC3\xA9.txt\""},
        {"caf\xE9.txt", "\"caf\xC3\xA9.txt\""},
        {"\x80\xff", "\"\xE2\x82\xAC\xC3\xBF\""},
        {"a\xC2\x85"
         "b\xC2\xA0",
         "\"a\\u0085b\xC2\xA0\""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(JsonString(c.bytes), c.json) << c.bytes;
}

TEST_F(Report, ClickArguments) {
    Load("[create]\r\ncheck\r\ncombo 3\r\noption\r\n[event_2_3]\r\nadd 1\r\n", "");
    std::string error;
    EXPECT_TRUE(ApplyClickArgument(panel, "2=3", error));
    EXPECT_EQ(panel.GetScriptValues().substr(0, 3), std::string("\x01\x03\x00", 3));
    EXPECT_TRUE(ApplyClickArgument(panel, "1", error));
    EXPECT_TRUE(ApplyClickArgument(panel, "3", error));
    EXPECT_EQ(panel.GetScriptValues().substr(0, 3), std::string("\x00\x03\x01", 3));

    for (const char* bad :
         {"", "0", "4", "65", "x", "1=1", "3=0", "2", "2=0", "2=4", "2=x", "-1"}) {
        error.clear();
        EXPECT_FALSE(ApplyClickArgument(panel, bad, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    EXPECT_EQ(panel.GetScriptValues().substr(0, 3), std::string("\x00\x03\x01", 3));
}

TEST(SelectArgument, OverridesSingleValues) {
    std::string selection(64, '\0');
    std::string error;
    EXPECT_TRUE(ApplySelectArgument(selection, "1=1,3=16,64=255", error));
    EXPECT_EQ(selection.size(), 64u);
    EXPECT_EQ(selection[0], '\x01');
    EXPECT_EQ(selection[1], '\0');
    EXPECT_EQ(selection[2], '\x10');
    EXPECT_EQ(static_cast<unsigned char>(selection[63]), 255);
    for (const char* bad : {"", "1", "1=", "=1", "0=1", "65=1", "1=256", "1=1,", "1=-1", "a=1"}) {
        EXPECT_FALSE(ApplySelectArgument(selection, bad, error)) << bad;
    }
}

} // namespace
