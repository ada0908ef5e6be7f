#include "script/ComponentPanel.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "common/TextLines.h"
#include "TemplateScript.h"

namespace {

using script_test::kTemplateScript;
using script_test::kTemplateStrings;

std::array<std::string, kMaxStrings> Strings(const std::string& text) {
    std::array<std::string, kMaxStrings> list;
    SplitLines(list, text, "\r\n");
    return list;
}

// Texts "t1", "t2", ... "t1024".
std::array<std::string, kMaxStrings> NumberedStrings() {
    std::array<std::string, kMaxStrings> list;
    for (int i = 0; i < kMaxStrings; ++i)
        list[static_cast<size_t>(i)] = "t" + std::to_string(i + 1);
    return list;
}

std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

struct Expected {
    ElementKind kind;
    int index;
    int id;
    int left;
    int top;
    std::string caption;
    bool bold = false;
    bool checked = false;
    std::vector<std::string> items = {};
    int selected = 0;
};

void ExpectPanel(const ScriptPanelModel& panel, const std::vector<Expected>& expected) {
    const std::vector<const PanelControl*> controls = panel.ControlsInLineOrder();
    ASSERT_EQ(controls.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const PanelControl& c = *controls[i];
        const Expected& e = expected[i];
        SCOPED_TRACE("control " + std::to_string(i));
        EXPECT_EQ(c.Kind, e.kind);
        EXPECT_EQ(c.Index, e.index);
        EXPECT_EQ(c.Id, e.id);
        EXPECT_EQ(c.Left, e.left);
        EXPECT_EQ(c.Top, e.top);
        EXPECT_EQ(c.Caption, e.caption);
        EXPECT_EQ(c.Bold, e.bold);
        EXPECT_EQ(c.Checked, e.checked);
        EXPECT_EQ(c.Items, e.items);
        EXPECT_EQ(c.Selected, e.selected);
        EXPECT_EQ(&panel.Control(c.Kind, c.Index), &c);
    }
}

class Panel : public ::testing::Test {
  protected:
    bool Load(const std::vector<std::string>& lines) {
        return panel.LoadScript(Lines(lines), strings, kMaxStrings);
    }
    std::string Values(int count) const { return panel.GetScriptValues().substr(0, count); }

    std::array<std::string, kMaxStrings> strings = NumberedStrings();
    ScriptPanelModel panel;
};

TEST(PanelTemplate, BuildsTheBoldLabelAndTheCheckedElement) {
    const auto strings = Strings(kTemplateStrings);
    ScriptPanelModel panel;
    ASSERT_TRUE(panel.LoadScript(kTemplateScript, strings, kMaxStrings));
    ExpectPanel(panel,
                {
                    {KindLabel, 1, 0, 8, 8, "Components to install:", true},
                    {KindCheck, 1, 1, 24, 24, "My Application (1)    add 1    -    ", false, true},
                });
    EXPECT_EQ(panel.EventCommands(1, 0), "add 1");
    EXPECT_EQ(panel.EventCommands(1, 1), "");
    EXPECT_EQ(panel.GetScriptValues(), std::string(1, '\x01') + std::string(63, '\0'));
    EXPECT_EQ(panel.ElementIndent(1), 24);
    EXPECT_EQ(panel.ControlMap(KindLabel, 1), -1);
    EXPECT_EQ(panel.ControlMap(KindCheck, 1), 0);
}

TEST(PanelTemplate, UntickingTheApplicationTicksItAgain) {
    const auto strings = Strings(kTemplateStrings);
    ScriptPanelModel panel;
    panel.LoadScript(kTemplateScript, strings, kMaxStrings);
    panel.ClickCheck(1);
    EXPECT_TRUE(panel.Control(KindCheck, 1).Checked);
    EXPECT_EQ(panel.ElementValue(1), 1);
    EXPECT_FALSE(panel.SuppressEvents());
}

TEST_F(Panel, EntryFlags) {
    ASSERT_TRUE(Load({"[create]", "check 3", "check", "label 2", "option 1", "option 2", "label"}));
    ExpectPanel(panel, {
                           {KindCheck, 1, 1, 8, 8, "t1 (1)        -    ", true, true},
                           {KindCheck, 2, 2, 8, 24, "t2 (2)        -    ", false, false},
                           {KindLabel, 1, 0, 8, 40, "t3", false},
                           {KindOption, 1, 3, 8, 56, "t4 (3)        -    ", true, false},
                           {KindOption, 2, 4, 8, 72, "t5 (4)        -    ", false, true},
                           {KindLabel, 2, 0, 8, 88, "t6", false},
                       });
    EXPECT_EQ(Values(5), std::string("\x01\x00\x00\x01\x00", 5));
    EXPECT_EQ(panel.ElementCount(), 4);
}

TEST_F(Panel, DropDownLists) {
    Load({"[create]", "combo 3,2", "check", "combo 3,9", "combo 3", "combo 0", "combo 3 2",
          "combo 2,,7"});
    const std::vector<const PanelControl*> c = panel.ControlsInLineOrder();
    ASSERT_EQ(c.size(), 7u);
    EXPECT_EQ(c[0]->Items, (std::vector<std::string>{"t1 (1)    ", "t2 (1)    ", "t3 (1)    "}));
    EXPECT_EQ(c[0]->Selected, 2);
    EXPECT_EQ(c[0]->Caption, "");
    EXPECT_EQ(c[1]->Caption, "t4 (2)        -    "); // the text after the third item
    EXPECT_EQ(c[1]->Top, 8 * 4);                     // a list takes three half lines
    EXPECT_EQ(c[2]->Selected, 1);                    // item 9 of 3 does not exist
    EXPECT_EQ(c[3]->Selected, 1);
    EXPECT_EQ(c[4]->Items, (std::vector<std::string>{"t11 (5)    "}));
    EXPECT_EQ(c[5]->Items.size(), 16u); // "3 2" reads as 32, at most 16 items
    EXPECT_EQ(c[5]->Items.front(), "t12 (6)    ");
    EXPECT_EQ(c[5]->Items.back(), "t27 (6)    ");
    EXPECT_EQ(c[6]->Items, (std::vector<std::string>{"t28 (7)    ", "t29 (7)    "}));
    EXPECT_EQ(Values(7), std::string("\x02\x00\x01\x01\x01\x01\x01", 7));
}

TEST_F(Panel, LayoutCommands) {
    Load({"[create]", "label", "break", "label", "break 1", "label", "lpos 10", "label", "   label",
          "lpos", "label", "break -5", "label"});
    std::vector<int> tops;
    std::vector<int> lefts;
    for (const PanelControl* c : panel.ControlsInLineOrder()) {
        tops.push_back(c->Top);
        lefts.push_back(c->Left);
    }
    EXPECT_EQ(tops, (std::vector<int>{8, 40, 64, 80, 96, 8, 40})); // break -5 reads as 0
    EXPECT_EQ(lefts, (std::vector<int>{8, 8, 8, 8, 32, 8, 8}));
}

TEST_F(Panel, StringNumbers) {
    Load({"[create]", "strjump 5", "label", "strjump 0", "label", "strjump 1024", "label",
          "strjump 1023", "combo 4", "label", "label"});
    const std::vector<const PanelControl*> c = panel.ControlsInLineOrder();
    ASSERT_EQ(c.size(), 6u);
    EXPECT_EQ(c[0]->Caption, "t5");
    EXPECT_EQ(c[1]->Caption, "t6"); // strjump 0 is ignored
    EXPECT_EQ(c[2]->Caption, "t7"); // so is 1024, past the last jump target
    // Texts run out after 1024; the number stops at 1025, which has no text.
    EXPECT_EQ(c[3]->Items,
              (std::vector<std::string>{"t1023 (1)    ", "t1024 (1)    ", " (1)    ", " (1)    "}));
    EXPECT_EQ(c[4]->Caption, "");
    EXPECT_EQ(c[5]->Caption, "");
}

TEST_F(Panel, ShortStringListAndLargeCounts) {
    ScriptPanelModel small;
    const std::array<std::string, 2> two = {"a", "b"};
    small.LoadScript(Lines({"[create]", "label", "label", "label", "strjump 1", "label"}), two,
                     kMaxStrings);
    std::vector<std::string> captions;
    for (const PanelControl* c : small.ControlsInLineOrder())
        captions.push_back(c->Caption);
    EXPECT_EQ(captions, (std::vector<std::string>{"a", "b", "", "a"}));
}

TEST_F(Panel, SectionBoundsAndLineSyntax) {
    EXPECT_FALSE(Load({"check", "label"})); // no [Create] section
    EXPECT_TRUE(panel.ControlsInLineOrder().empty());
    EXPECT_EQ(panel.GetScriptValues(), std::string(64, '\0'));

    Load({"check 2", "  [ Create ]  // here it starts", "CHECK 2", "check2", "Check 1 // bold",
          "  // [not a header]", "option", "  [install]", "check"});
    const std::vector<const PanelControl*> c = panel.ControlsInLineOrder();
    ASSERT_EQ(c.size(), 3u);
    EXPECT_TRUE(c[0]->Checked);
    EXPECT_TRUE(c[1]->Bold);
    EXPECT_EQ(c[1]->Caption, "t2 (2)        -    "); // "check2" took no text
    EXPECT_EQ(c[2]->Kind, KindOption);
}

TEST_F(Panel, ElementIdsSkipLabels) {
    Load({"[create]", "check", "label", "check", "[event_2_1]", "add 1"});
    EXPECT_EQ(panel.FindElement(1)->Index, 1);
    EXPECT_EQ(panel.FindElement(2)->Index, 2);
    EXPECT_EQ(panel.FindElement(3), nullptr);
    EXPECT_EQ(panel.EventCommands(2, 1), "add 1");
}

TEST_F(Panel, EventSectionHeaders) {
    Load({"[create]",
          "check",
          "check",
          "check",
          "combo 3",
          "check",
          "[Event_1_0]",
          "Add 2",
          "",
          "Rem 3 // untick",
          "[ event_1_0 ]",
          "add 5",
          "[Event_1_5]",
          "add 5",
          "[Event_3]",
          "fill",
          "[event_4_3]",
          "clear 4",
          "[event_4_0]",
          "fill",
          "[event_4_16]",
          "fill",
          "[event__1]",
          "fill",
          "[event_9_1]",
          "fill",
          "[event_2_1]",
          "[event_2_1]",
          "add 9",
          "[event_5_01]",
          "a||b",
          "|",
          "[other]",
          "add 1"});
    EXPECT_EQ(panel.EventCommands(1, 0), "add 2|rem 3");
    EXPECT_EQ(panel.EventCommands(1, 1), "");
    EXPECT_EQ(panel.EventCommands(1, 5), ""); // a check has no value 5
    EXPECT_EQ(panel.EventCommands(3, 1), "fill");
    EXPECT_EQ(panel.EventCommands(4, 3), "clear 4");
    EXPECT_EQ(panel.EventCommands(4, 0), ""); // a list has values 1 to its item count
    EXPECT_EQ(panel.EventCommands(2, 1), ""); // filled, though empty, by the first section
    EXPECT_EQ(panel.EventCommands(5, 1), "a|b|");
    EXPECT_EQ(panel.FindElement(1)->Caption, "t1 (1)    add 2|rem 3    -    ");
    EXPECT_EQ(panel.FindElement(4)->Items[2], "t6 (4)    clear 4");
    for (int id = 6; id <= kMaxElements; ++id)
        for (int v = 0; v < kEventSlots; ++v)
            ASSERT_EQ(panel.EventCommands(id, v), "");
}

TEST_F(Panel, EventCommands) {
    const std::vector<std::string> script = {
        "[create]", "check",       "check 2",   "option",      "combo 4,1", "check 2",
        "option 2", "[event_1_1]", "clear 2,3", "[event_2_0]", "add 1, 2",  "[event_2_1]",
        "add 01",   "[event_3_1]", "fill",      "[event_4_3]", "rem 3,5",   "[event_4_2]",
        "clear",    "[event_5_1]", "fill 5"};
    struct Step {
        const char* what;
        ElementKind kind;
        int k;
        int item;
        std::string values;
    };
    const std::vector<Step> steps = {
        // Element 1 ticked: 2 and 3 ticked, all other checks and options
        // unticked (element 1 too), the list kept.
        {"clear 2,3", KindCheck, 1, 0, std::string("\x00\x01\x01\x01\x00\x00", 6)},
        // " 2" is not an ID: only element 1 is ticked.
        {"add 1, 2", KindCheck, 2, 0, std::string("\x01\x00\x01\x01\x00\x00", 6)},
        {"add 01", KindCheck, 2, 0, std::string("\x01\x01\x01\x01\x00\x00", 6)},
        {"ticked option", KindOption, 1, 0, std::string("\x01\x01\x01\x01\x00\x00", 6)},
        {"item 3 of element 4", KindCombo, 1, 3, std::string("\x01\x01\x00\x03\x00\x00", 6)},
        {"option event", KindOption, 1, 0, std::string("\x01\x01\x01\x03\x01\x01", 6)},
        {"clear without a list", KindCombo, 1, 2, std::string("\x00\x00\x00\x02\x00\x00", 6)},
        {"fill 5", KindCheck, 3, 0, std::string("\x01\x01\x01\x02\x00\x01", 6)},
    };
    Load(script);
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        if (s.kind == KindCheck) panel.ClickCheck(s.k);
        if (s.kind == KindOption) panel.ClickOption(s.k);
        if (s.kind == KindCombo) panel.PickItem(s.k, s.item);
        if (std::string(s.what) == "clear 2,3") {
            EXPECT_TRUE(panel.Control(KindOption, 1).Checked);
            EXPECT_FALSE(panel.Control(KindOption, 2).Checked);
        }
        if (std::string(s.what) == "add 1, 2") {
            // Element 2 was unticked by the click and nothing ticked it back.
            EXPECT_FALSE(panel.Control(KindCheck, 2).Checked);
        }
        EXPECT_EQ(Values(6), s.values);
        for (ElementKind kind : {KindCheck, KindOption}) {
            for (int k = 1; k <= panel.KindCount(kind); ++k) {
                const PanelControl& c = panel.Control(kind, k);
                EXPECT_EQ(c.Checked, panel.ElementValue(c.Id) == 1);
            }
        }
    }
}

TEST_F(Panel, ClickingATickedOptionRunsNothing) {
    Load({"[create]", "option 2", "check 2", "[event_1_1]", "rem 2", "[event_1_0]", "rem 2"});
    panel.ClickOption(1);
    EXPECT_TRUE(panel.Control(KindOption, 1).Checked);
    EXPECT_EQ(panel.ElementValue(2), 1);
}

TEST_F(Panel, EventsDoNotTriggerEvents) {
    Load({"[create]", "check", "check", "[event_1_1]", "add 2", "[event_2_1]", "add 1",
          "[event_2_0]", "rem 1"});
    panel.ClickCheck(1);
    EXPECT_EQ(Values(2), "\x01\x01");
    panel.SetSuppressEvents(true);
    panel.ClickCheck(1); // ignored while events are suppressed
    EXPECT_EQ(Values(2), "\x01\x01");
    panel.SetSuppressEvents(false);
    panel.ClickCheck(2); // value 0 of element 2 runs "rem 1"
    EXPECT_EQ(Values(2), std::string("\x00\x00", 2));
}

TEST_F(Panel, TablesStayWithinTheirLimits) {
    std::vector<std::string> script = {"[create]"};
    for (int i = 0; i < 70; ++i)
        script.push_back("label");
    for (int i = 0; i < 70; ++i)
        script.push_back("check 2");
    script.push_back("[event_64_1]");
    script.push_back("rem 1");
    script.push_back("[event_65_1]");
    script.push_back("rem 2");
    Load(script);
    EXPECT_EQ(panel.KindCount(KindLabel), kMaxControlsPerKind);
    EXPECT_EQ(panel.KindCount(KindCheck), kMaxElements);
    EXPECT_EQ(panel.ElementCount(), kMaxElements);
    EXPECT_EQ(panel.Control(KindCheck, 64).Caption, "t128 (64)        -    rem 1");
    panel.ClickCheck(65); // no such control
    panel.ClickCheck(64);
    panel.ClickCheck(64);
    EXPECT_EQ(panel.ElementValue(1), 0);
    EXPECT_EQ(panel.ElementValue(2), 1);
}

TEST_F(Panel, SixteenthItemStoresItsValueOnly) {
    Load({"[create]", "check 2", "combo 16", "[event_2_15]", "rem 1", "[event_2_16]", "rem 1"});
    const PanelControl& list = panel.Control(KindCombo, 1);
    EXPECT_EQ(list.Items[14], "t16 (2)    rem 1");
    EXPECT_EQ(list.Items[15], "t17 (2)    ");
    panel.PickItem(1, 16);
    EXPECT_EQ(panel.ElementValue(2), 16);
    EXPECT_EQ(panel.ElementValue(1), 1);
    panel.PickItem(1, 17); // no such item
    EXPECT_EQ(panel.ElementValue(2), 16);
    panel.PickItem(1, 15);
    EXPECT_EQ(panel.ElementValue(1), 0);
}

TEST_F(Panel, DropDownListsReachTheRightEdge) {
    Load({"[create]", "combo 2", "    combo 2"});
    EXPECT_EQ(panel.ComboWidth(1, 321), 321 - 8 - 8);
    EXPECT_EQ(panel.ComboWidth(2, 321), 321 - 8 - 40);
    EXPECT_EQ(panel.ComboWidth(2, 40), 0);
    EXPECT_EQ(panel.ComboWidth(3, 321), 0);
}

TEST_F(Panel, ReloadStartsAfresh) {
    Load({"[create]", "check", "combo 3", "check", "check"});
    panel.ClickCheck(1);
    panel.PickItem(1, 3);
    Load({"[create]", "check", "combo 3"});
    EXPECT_EQ(Values(4), std::string("\x00\x01\x00\x00", 4));
    EXPECT_EQ(panel.KindCount(KindCheck), 1);
    EXPECT_EQ(panel.ControlsInLineOrder().size(), 2u);
}

TEST(ParseArguments, FieldsAndDefaults) {
    struct {
        const char* text;
        const char* first;
        int second;
        int third;
    } cases[] = {
        {"", "-1", -1, -1},         {"3", "3", -1, -1},  {"3,2", "3", 2, -1},
        {"3,2,7,9", "3", 2, 7},     {",5", "-1", 5, -1}, {"1,-4,x", "1", -1, 0},
        {" 2 , 2.5", " 2 ", 2, -1},
    };
    for (const auto& c : cases) {
        const ParsedArguments a = ParseArguments(c.text);
        EXPECT_EQ(a.First, c.first) << c.text;
        EXPECT_EQ(a.Second, c.second) << c.text;
        EXPECT_EQ(a.Third, c.third) << c.text;
    }
}

} // namespace
