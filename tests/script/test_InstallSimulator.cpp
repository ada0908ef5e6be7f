#include "script/InstallSimulator.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TemplateScript.h"

namespace {

InstallCommand ParseInstallCommand(const std::string& line) {
    return ::ParseInstallCommand(line, SimulatedFolders());
}

class Simulation : public ::testing::Test {
  protected:
    // The report for script with the project's files and numbered texts.
    std::vector<std::string> Simulate(const std::string& script, const std::string& selection) {
        const InstallSource source{
            script, script_test::kTemplateStrings, [](const std::string& name) {
                return name == "myapp.exe" || name == "a.exe" || name == "foo.dll";
            }};
        return SimulateInstall(source, selection);
    }

    // Runs the [Install] section made of lines with the selection.
    std::vector<std::string> Run(const std::vector<std::string>& lines,
                                 const std::string& selection = std::string(64, '\0')) {
        std::string script = "[Install]\r\n";
        for (const std::string& line : lines)
            script += line + "\r\n";
        return Simulate(script, selection);
    }
};

const std::string kNothing = "### Warning: Nothing to do";
const std::string kFolder = "C:\\Programmes\\MyDirectory\\";

TEST_F(Simulation, NewProjectTemplate) {
    const std::vector<std::string> lines =
        Simulate(script_test::kTemplateScript, std::string(1, '\x01') + std::string(63, '\0'));
    const std::string target = "C:\\Programmes\\MyDirectory\\MyApp.exe";
    const std::string rest = " name=Start My Application; Target=" + target + "; Params=";
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "    AbortInstallation if < 1.0): " + target,
                         "        Check ,1,,MyApp.exe,,,1.0",
                         "    (DeleteFile): C:\\Programmes\\MyDirectory\\MyApp.log",
                         "    Copy: MyApp.exe -> " + target,
                         "    CreateShortcut" + rest,
                         "    CreateDesktopIcon" + rest,
                         "    (CreateQuickLaunchIcon)" + rest,
                     }));
}

TEST_F(Simulation, NothingToDo) {
    EXPECT_EQ(Simulate("[Create]\r\ncheck 2\r\n", std::string(64, '\0')),
              std::vector<std::string>{kNothing});

    EXPECT_EQ(Run({"{1}", "Check a.exe,1", "{0}", "Copy a.exe,1"}),
              (std::vector<std::string>{"    AbortInstallation if < ): " + kFolder + "a.exe",
                                        "        Check a.exe,1", kNothing}));
    EXPECT_EQ(Run({"Copy,1,,a.exe", "copya.exe", "Move a.exe,1", "   "}),
              std::vector<std::string>{kNothing});
}

TEST_F(Simulation, Guards) {
    const std::string selection = std::string("\x01\x00\x03", 3) + std::string(61, '\0');
    struct {
        const char* guard;
        bool runs;
    } cases[] = {
        {"{1}", true},          {"{0}", false},         {"{}", false},
        {"{val(1)=1}", true},   {"{val(2)=1}", false},  {"{VAL(1)=1 AND val(2)=0}", true},
        {"{val(3)=3", true},                        // the closing brace may be left out
        {"{val( 3 )>2}", true}, {"{val(1}", false}, // no ")": stays unreplaced
        {"{val(65)=0}", false},                     // no element 65
        {"{val(0)=0}", false},  {"{val({1)=1}", false}, {"{val(1) or val(2)}", true},
        {"{val(64)=0}", true},
    };
    for (const auto& c : cases) {
        const std::vector<std::string> lines =
            Run({"Del ,1,,x.log", c.guard, "Del ,1,,y.log"}, selection);
        std::vector<std::string> expected = {"    (DeleteFile): " + kFolder + "x.log"};
        if (c.runs) expected.push_back("    (DeleteFile): " + kFolder + "y.log");
        EXPECT_EQ(lines, expected) << c.guard;
    }
    // A guard holds until the next one.
    EXPECT_EQ(Run({"{0}", "Del ,1,,a", "Del ,1,,b", "{1}", "Del ,1,,c"}),
              (std::vector<std::string>{"    (DeleteFile): " + kFolder + "c"}));
    // A short selection leaves the other elements at 0.
    EXPECT_EQ(Run({"{val(40)=0}", "Del ,1,,a"}, "\x01"),
              (std::vector<std::string>{"    (DeleteFile): " + kFolder + "a"}));
}

TEST_F(Simulation, TargetPaths) {
    struct {
        const char* line;
        const char* target;
    } cases[] = {
        {"Copy Foo.dll,2,,Foo.dll", "C:\\WINDOWS\\SYSTEM32\\Foo.dll"},
        {"Copy Foo.dll,3,Fonts,Foo.dll", "C:\\WINDOWS\\Fonts\\Foo.dll"},
        {"Copy a.exe,1,..\\Other,a.exe", "C:\\Programmes\\Other\\a.exe"},
        {"Copy a.exe,1,\\Tools,a.exe", "C:\\Tools\\a.exe"},
        {"Copy a.exe,99,D:\\Apps,a.exe", "D:\\Apps\\a.exe"},
        {"Copy a.exe,99,D:\\Apps\\,a.exe", "D:\\Apps\\a.exe"},
        {"Copy a.exe,99,,", "\\a.exe"},
        {"Copy sub\\b.txt,1,,", "C:\\Programmes\\MyDirectory\\b.txt"},
        {"Copy sub\\deeper\\b.txt,,,", "C:\\Programmes\\MyDirectory\\deeper\\b.txt"},
        {"Copy a.exe,x,Bin\\,b.exe", "C:\\Programmes\\MyDirectory\\Bin\\b.exe"},
        {"Copy a.exe,2.4,,", "C:\\WINDOWS\\SYSTEM32\\a.exe"},
        {"COPY   a.exe,1, Sub ,a.exe", "C:\\Programmes\\MyDirectory\\ Sub \\a.exe"},
        {"Del ,99,,", "\\"},
        // A tree goes below the folder (or the fourth field as a folder of it);
        // a file inside a tree lies at its path inside the tree.
        {"Copy MyApp.tree,1,Tally,", "C:\\Programmes\\MyDirectory\\Tally\\"},
        {"Copy MyApp.tree,1,,App", "C:\\Programmes\\MyDirectory\\App"},
        {"Link myapp.tree/bin/Tally,1,,", "C:\\Programmes\\MyDirectory\\bin\\Tally"},
        {"Link myapp.tree/bin/Tally,1,,App", "C:\\Programmes\\MyDirectory\\App\\bin\\Tally"},
        {"Copy a.treehouse,1,,", "C:\\Programmes\\MyDirectory\\a.treehouse"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseInstallCommand(c.line).TargetPath, c.target) << c.line;
}

TEST_F(Simulation, ParsedFields) {
    const InstallCommand c = ParseInstallCommand("Link  My.exe,1,,, DQ 4 ,7,2.0,-x,extra");
    EXPECT_EQ(c.Kind, InstallLink);
    EXPECT_EQ(c.FileName, "My.exe");
    EXPECT_EQ(c.ShortcutText, " DQ 4 ");
    EXPECT_EQ(c.Number, 7);
    EXPECT_EQ(c.Version, "2.0");
    EXPECT_EQ(c.Options, "-x");
    EXPECT_EQ(ParseInstallCommand("check a").Kind, InstallCheck);
    EXPECT_EQ(ParseInstallCommand("DEL a").Kind, InstallDel);
    EXPECT_EQ(ParseInstallCommand("Delete a").Kind, InstallNone);
    EXPECT_EQ(ParseInstallCommand("del").Kind, InstallNone);
    EXPECT_EQ(SplitFields("a, b,,c", 3), (std::vector<std::string>{"a", " b", ""}));
    EXPECT_EQ(SplitFields("", 2), (std::vector<std::string>{"", ""}));
}

TEST_F(Simulation, JoinPath) {
    struct {
        const char* folder;
        const char* sub;
        const char* joined;
    } cases[] = {
        {"C:\\A\\B", "C", "C:\\A\\B\\C"},
        {"C:\\A\\B\\", "C", "C:\\A\\B\\C"},
        {"C:\\A\\B", "..\\C", "C:\\A\\C"},
        {"C:\\A\\B", "..\\..\\C", "C:\\C"},
        {"C:\\A\\B", "..\\..\\..\\C", "..\\C"}, // no folder left: the rest as it is
        {"C:\\A", "\\C", "C:\\C"},
        {"", "C", "C"},
        {"X", "..\\C", "..\\C"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(JoinPath(c.folder, c.sub), c.joined) << c.folder << " + " << c.sub;
}

TEST_F(Simulation, MissingFilesAndVersions) {
    EXPECT_EQ(Run({"  Copy  Gone.exe,1,,,,,2.1   // not in the list"}),
              (std::vector<std::string>{
                  "### Warning: Reference to missing file: Gone.exe",
                  "###      Copy  Gone.exe,1,,,,,2.1",
                  "    SkipFile if < 2.1: " + kFolder + "Gone.exe",
                  "        Copy  Gone.exe,1,,,,,2.1",
                  "    Copy: Gone.exe -> " + kFolder + "Gone.exe",
              }));
    // The name is looked up in lower case.
    EXPECT_EQ(Run({"Copy MYAPP.EXE,1"}),
              (std::vector<std::string>{"    Copy: MYAPP.EXE -> " + kFolder + "MYAPP.EXE"}));
}

TEST_F(Simulation, Shortcuts) {
    const std::string target = kFolder + "a.exe";
    EXPECT_EQ(Run({"Copy a.exe,1,,,ADQS 0", "Link a.exe,1,,,ADQS 2000"}),
              (std::vector<std::string>{
                  "### Warning: No shortcut string: Copy a.exe,1,,,ADQS 0",
                  "### Warning: No shortcut string: Link a.exe,1,,,ADQS 2000",
                  "    Copy: a.exe -> " + target,
              }));
    EXPECT_EQ(Run({"Link a.exe,1,,,S 3,,,-run"}),
              (std::vector<std::string>{
                  "### Warning: No Shortcut string: Link a.exe,1,,,S 3,,,-run",
                  "    CreateShortcut name=; Target=" + target + "; Params=-run",
              }));
    // Without a blank the flags pass the first test but make no shortcut.
    EXPECT_EQ(Run({"Link a.exe,1,,,DQ4"}), std::vector<std::string>{});
    EXPECT_EQ(Run({"Link a.exe,1,,,qa 2"}),
              (std::vector<std::string>{"    (CreateQuickLaunchIcon) name=My Application; Target=" +
                                        target + "; Params="}));
    // "C" makes a command link, alone or beside launchers.
    EXPECT_EQ(Run({"Link a.exe,1,,,C", "Link a.exe,1,,,SC 2"}),
              (std::vector<std::string>{
                  "    CreateCommand: " + target, "    CreateCommand: " + target,
                  "    CreateShortcut name=My Application; Target=" + target + "; Params="}));
    EXPECT_EQ(Run({"Link a.exe,1,,,C 0"}),
              (std::vector<std::string>{"### Warning: No shortcut string: Link a.exe,1,,,C 0",
                                        "    CreateCommand: " + target}));
    // Check lines never reach the second pass, and take no shortcut test.
    EXPECT_EQ(Run({"Check a.exe,1,,,S 0"}),
              (std::vector<std::string>{"    AbortInstallation if < ): " + target,
                                        "        Check a.exe,1,,,S 0", kNothing}));
    EXPECT_EQ(Run({"Del a.exe,1,,,S 4", "Del ,99,,,DS 4"}),
              (std::vector<std::string>{"    (DeleteFile): " + target, "    DeleteShortCuts: S 4",
                                        "    DeleteShortCuts: DS 4"}));
    // Categories after the number are no part of it; "C" on a Del takes the command back.
    EXPECT_EQ(Run({"Link a.exe,1,,,S 2 Development;Education;", "Del a.exe,1,,,C"}),
              (std::vector<std::string>{"    CreateShortcut name=My Application; Target=" + target +
                                            "; Params=",
                                        "    (DeleteFile): " + target, "    DeleteShortCuts: C",
                                        "    DeleteCommand: " + target}));
}

TEST_F(Simulation, ShortcutCategoriesAndIconField) {
    const struct {
        const char* text;
        const char* rest;
        const char* categories;
    } cases[] = {
        {"S 4", "S 4", ""},
        {"S 4 Development;", "S 4", "Development;"},
        {" SC 4  Game;ArcadeGame  ", "SC 4", "Game;ArcadeGame"},
        {"S 4 Development", "S 4 Development", ""}, // no ";": no categories
        {"Development;", "Development;", ""},       // no blank: the flags
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitShortcutCategories(c.text),
                  (std::pair<std::string, std::string>{c.rest, c.categories}))
            << c.text;
    EXPECT_EQ(ReadShortcutText("Sd 12 X-Mine;")->Categories, "X-Mine;");
    EXPECT_EQ(ReadShortcutText("Sd 12 X-Mine;")->Text, 12);
    EXPECT_EQ(ParseInstallCommand("Link a,1,,,S 1, Logo.PNG ").Icon, "Logo.PNG");
    EXPECT_EQ(ParseInstallCommand("Link a,1,,,S 1,app.tree/share/a b.svg").Icon,
              "app.tree/share/a b.svg");
    for (const char* none : {"", " ", "7", "-1.5e3"})
        EXPECT_EQ(ParseInstallCommand(std::string("Link a,1,,,S 1,") + none).Icon, "") << none;
}

TEST_F(Simulation, KeepsAtMost1025Commands) {
    std::vector<std::string> lines(1024, "Link a.exe,1");
    lines.push_back("Link a.exe,1,,,s 2"); // the 1025th, kept
    lines.push_back("Link a.exe,1,,,s 4"); // dropped
    lines.push_back("Link a.exe,1,,,s 4");
    const std::vector<std::string> out = Run(lines);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].rfind("### Warning: ", 0), 0u);
    EXPECT_NE(out[0].find("1025"), std::string::npos);
    EXPECT_EQ(out[1],
              "    CreateShortcut name=My Application; Target=" + kFolder + "a.exe; Params=");
}

TEST(ExtractSection, FindsTheFirstSection) {
    const std::string script =
        "[install]x\r\nDel a\r\n  [ INSTALL ]  // here\r\n\r\nDel b // b\r\n   \r\n  Copy c\r\n"
        "[next]\r\nDel d\r\n[Install]\r\nDel e";
    EXPECT_EQ(ExtractSection(script, "Install"), "Del b \r\n  Copy c\r\n");
    EXPECT_EQ(ExtractSection(script, "missing"), "");
    EXPECT_EQ(ExtractSection("[a]\r\nx", "a"), "x\r\n");
}

} // namespace
