// What kavelo check and simulate --strict find that the simulation passes over.
#include "ScriptCheck.h"

#include <gtest/gtest.h>

#include <array>

#include "common/TextLines.h"
#include "script/ComponentPanel.h"

namespace {

TEST(ScriptCheck, GuardsAndLinesNotUnderstood) {
    const std::string selection("\x01\x02", 2);
    const struct {
        const char* line;
        bool understood;
    } cases[] = {
        {"{1}", true},
        {"{val(1)=1}", true},
        {"{val(1)=2}", true}, // false, but understood
        {"{not (val(1)=1 or val(2)>1) and val(2)<>0}", true},
        {"{val(1)=1", true},   // the closing brace is optional
        {"{(val(1)=1}", true}, // the reducer takes an unmatched bracket
        {"{val(1) =}", false},
        {"{val(65)=1}", false},
        {"{maybe}", false},
        {"{}", false},
        {"Copy a.txt,1", true},
        {"DEL ,1,,x.log", true},
        {"Check ,1,,a.exe,,,1.0", true},
        {"Link a.exe,1,,,S 4", true},
        {"Cpy a.txt,1", false},
        {"copy", false},
        {"  // a comment", true},
    };
    for (const auto& c : cases) {
        const std::string script = std::string("[Install]\r\n") + c.line + "\r\n";
        const auto unclear = UnclearInstallLines(script, selection);
        EXPECT_EQ(unclear.empty(), c.understood) << c.line;
        if (!c.understood && !unclear.empty()) {
            EXPECT_NE(unclear[0].find(c.line), std::string::npos) << unclear[0];
        }
    }
    // Only the install section is read.
    EXPECT_TRUE(UnclearInstallLines("[Create]\r\nCheck 1\r\n[Other]\r\nnonsense\r\n", "").empty());
}

TEST(ScriptCheck, SelectionsOutOfRangeForTheirElements) {
    std::array<std::string, kMaxStrings> strings;
    SplitLines(strings, "a\r\nb\r\nc\r\nd\r\ne\r\n", "\r\n");
    ScriptPanelModel panel;
    panel.LoadScript("[Create]\r\nlabel\r\ncheck\r\noption\r\ncombo 3\r\n", strings, kMaxStrings);
    EXPECT_TRUE(SelectionsOutOfRange(panel, "1=0,1=1,2=1,3=1,3=3").empty());
    EXPECT_EQ(
        SelectionsOutOfRange(panel, "1=2,2=5,3=0,3=4,4=1"),
        (std::vector<std::string>{"--select 1=2: element 1 is a check element and takes 0 or 1",
                                  "--select 2=5: element 2 is a option element and takes 0 or 1",
                                  "--select 3=0: element 3 is a drop-down list of items 1 to 3",
                                  "--select 3=4: element 3 is a drop-down list of items 1 to 3",
                                  "--select 4=1: the panel has no element 4"}));
}

} // namespace
