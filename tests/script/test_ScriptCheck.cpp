// What kavelo check and simulate --strict find that the simulation passes over.
#include "script/ScriptCheck.h"

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
            EXPECT_NE(unclear[0].Text.find(c.line), std::string::npos) << unclear[0].Text;
            EXPECT_EQ(unclear[0].Line, 1); // the line after the header
        }
    }
    // Only the install section is read.
    EXPECT_TRUE(UnclearInstallLines("[Create]\r\nCheck 1\r\n[Other]\r\nnonsense\r\n", "").empty());
}

// Each problem names the line of the whole script it is about, as the editor
// marks it; blank lines, comments and other sections count as lines.
TEST(ScriptCheck, ProblemsCarryTheirScriptLines) {
    const std::string script = "[Create]\r\ncheck 0\r\n\r\n[Install] // files\r\n"
                               "Copy gone.txt,1,,\r\n"
                               "   \r\n"
                               "{val(7)=1 and}\r\n"
                               "Copi tally,1,,tally\r\n"
                               "Copy here.txt,1,,,S 9\r\n";
    const InstallSource source{script, "",
                               [](const std::string& name) { return name == "here.txt"; }};
    const std::string selection(1, '\0');
    const auto problems =
        ScriptProblems(SimulateInstallLines(source, selection), script, selection);
    const std::vector<std::pair<int, std::string>> expected{
        {4, "### Warning: Reference to missing file: gone.txt"},
        {4, "###      Copy gone.txt,1,,"},
        {6, "guard not understood: {val(7)=1 and}"},
        {7, "line not understood: Copi tally,1,,tally"},
    };
    std::vector<std::pair<int, std::string>> got;
    for (const ScriptProblem& p : problems)
        got.emplace_back(p.Line, p.Text);
    // The guard that cannot be read is false: the shortcut line after it is
    // skipped and reports nothing.
    EXPECT_EQ(got, expected);
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
