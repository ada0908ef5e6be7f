// What a launcher line asks for beyond its name: categories, an icon file it
// names (of the setup or inside a tree), and a Del line that takes back a
// command link; and the refusals that "kavelo check" shares with the first
// pass, which must give the installer's own words.
#include <gtest/gtest.h>

#include "InstallMachine.h"
#include "common/BigEndian.h"
#include "install/DesktopEntry.h"
#include "install/DisplayText.h"
#include "install/ReportFolders.h"
#include "install/ScriptRefusals.h"
#include "install/TreeIndex.h"
#include "package/PackageReader.h"
#include "package/StoredTree.h"
#include "package/TreeArchive.h"

namespace {

std::string Png(uint32_t size) {
    return std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) + LongToChars(size) +
           LongToChars(size) + "rest";
}

std::vector<RawEntry> IconEntries() {
    Tree tree;
    tree.RootName = "App";
    tree.Entries = {{TreeKind::Folder, "share", ""},
                    {TreeKind::File, "share/App.svg", "<svg/>"},
                    {TreeKind::Link, "share/Link.svg", "App.svg"},
                    {TreeKind::File, "share/tiny.png", Png(8)}};
    // A tree holding the names an installation keeps for its own files.
    Tree own;
    own.RootName = "Own";
    own.Entries = {{TreeKind::Folder, "lib", ""},
                   {TreeKind::File, "lib/.kavelo-journal", "x"},
                   {TreeKind::File, "uninstall", "y"}};
    std::string wide = Png(100);
    wide[18] = 1; // 356 pixels wide, 100 high
    return {{"logo.png", Png(100)},
            {"wide.png", wide},
            {"app.tree", EncodeTree(tree)},
            {"own.tree", EncodeTree(own)},
            {"notes.txt", "n"}};
}

const PlanStep* StepTo(const InstallPlan& plan, const std::string& path) {
    for (const PlanStep& step : plan.Steps)
        if (step.Path == path) return &step;
    return nullptr;
}

TEST(Launchers, CategoriesAndANamedIconFromTheSetupOrATree) {
    const struct {
        const char* line;
        const char* icon;     // below root/share/icons
        const char* category; // the Categories line
    } cases[] = {
        {"Copy d.sh,1,,d.sh,S 1 Development;IDE,logo.png", "hicolor/96x96/apps/Start-D.png",
         "Categories=Development;IDE;\n"},
        {"Copy d.sh,1,,d.sh,S 1,App.tree/share/App.svg", "hicolor/scalable/apps/Start-D.svg",
         "Categories=Utility;\n"},
        {"Copy d.sh,1,,d.sh,S 1 AudioVideo;Audio;X-Mine;,2", nullptr,
         "Categories=AudioVideo;Audio;X-Mine;\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        Machine m(5, std::string("[Install]\r\n") + c.line + "\r\n", IconEntries());
        const InstallPlan plan = m.Plan();
        const PlanStep* launcher = StepTo(plan, m / "root/share/applications/Acme/Start-D.desktop");
        ASSERT_TRUE(launcher);
        EXPECT_NE(launcher->Contents.find(c.category), std::string::npos) << launcher->Contents;
        const std::string icon = c.icon ? "Icon=Start-D\n" : "Icon=application-x-executable\n";
        EXPECT_NE(launcher->Contents.find(icon), std::string::npos) << launcher->Contents;
        if (c.icon) {
            EXPECT_TRUE(StepTo(plan, m / "root/share/icons/" + c.icon));
        }
    }
}

TEST(Launchers, ADelLineTakesBackOnlyTheCommandLinkToItsTarget) {
    Machine first(5, "[Install]\r\nCopy d.sh,1,,d.sh,C\r\nCopy c.txt,1,,c.txt\r\n");
    StopAt never(1 << 30, false);
    std::optional<InstallLock> lock;
    ASSERT_EQ(RunInstallation(first.Setup(), first.Plan(), never, lock).Outcome,
              InstallOutcome::Installed);
    lock.reset();
    EXPECT_EQ(std::filesystem::read_symlink(first / "root/bin/d.sh"), first / "root/inst/d.sh");
    // c.txt in the command folder is a file of the user's, not a link to the target.
    WriteFile(first / "root/bin/c.txt", "mine");

    Machine second(5, first.WithRoot("[Install]\r\nDel ,99,@ROOT@\\inst,d.sh,C\r\n"
                                     "Del ,99,@ROOT@\\inst,c.txt,C\r\nCopy b.txt,1,,b.txt\r\n"));
    PlanRequest request;
    request.Setup = &second.Setup();
    request.Folders = first.Folders();
    const InstallPlan plan = PlanInstallation(request);
    const PlanStep* command = StepTo(plan, first / "root/bin/d.sh");
    ASSERT_TRUE(command);
    EXPECT_EQ(command->Kind, StepKind::Delete);
    EXPECT_FALSE(StepTo(plan, first / "root/bin/c.txt"));
    ASSERT_EQ(RunInstallation(second.Setup(), plan, never, lock).Outcome,
              InstallOutcome::Installed);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(first / "root/bin/d.sh")));
    EXPECT_EQ(ReadFile(first / "root/bin/c.txt"), "mine");
}

// Each line is refused by the first pass and by the check with the same
// words, the script line first.
TEST(ScriptRefusals, CheckTellsWhatTheFirstPassRefusesInItsWords) {
    const struct {
        const char* line;
        const char* reason;
    } cases[] = {
        {"Copy c.txt,99,\\etc,x.txt", "lies outside the folders this installation may write to"},
        {"Del ,1,..\\outside,victim.txt", "lies outside the folders"},
        {"Del ,1,..\\..\\..,victim.txt", "holds a \"..\" part"},
        {"Copy c.txt,1,,.kavelo-journal", "is a name the installation keeps for its own files"},
        {"Copy c.txt,99,,x.txt", "base folder 99 takes its folder from the third field"},
        {"Copy app.tree/share/App.svg,1,,", "Copy takes a whole tree"},
        {"Copy d.sh,1,,d.sh,S 1 Utilities;", "\"Utilities\" is no registered launcher category"},
        {"Copy d.sh,1,,d.sh,S 1 Video;", "need AudioVideo beside them"},
        {"Copy d.sh,1,,d.sh,S 1,missing.png", "the setup carries no icon file"},
        {"Copy d.sh,1,,d.sh,S 1,notes.txt", "a launcher's icon is a PNG or an SVG file"},
        // What a tree holds, read from the setup as the installer reads it.
        {"Copy own.tree,1,,", "/inst/lib/.kavelo-journal: is a name the installation keeps"},
        {"Copy own.tree,1,,sub", "/inst/sub/lib/.kavelo-journal: is a name"},
        {"Copy own.tree,1,lib,", "/inst/lib/lib/.kavelo-journal: is a name"},
        {"Copy app.tree,1,,.kavelo-app", "/inst/.kavelo-app: is a name the installation keeps"},
        {"Copy app.tree,99,\\etc\\app,", "/etc/app: lies outside the folders"},
        {"Copy d.sh,1,,d.sh,S 1,App.tree/share/gone.svg",
         "App.tree/share/gone.svg: the tree holds no such file"},
        {"Copy d.sh,1,,d.sh,S 1,app.tree/share/Link.svg", "Link.svg: the tree holds no such file"},
        {"Link App.tree/bin/app,1,,,S 1", "App.tree/bin/app: the tree holds no such file"},
        {"Link app.tree/share,1,,,S 1", "app.tree/share: the tree holds no such file"},
        {"Link gone.tree/bin/app,1,,,S 1", "the setup carries no file \"gone.tree/bin/app\""},
        {"Copy gone.tree,1,,", "the setup carries no file \"gone.tree\""},
        {"Copy Gone.txt,1,,", "the setup carries no file \"Gone.txt\""},
        {"Copy d.sh,1,,d.sh,S 1,wide.png", "wide.png: is neither an SVG file nor a square PNG"},
        {"Copy d.sh,1,,d.sh,S 1,app.tree/share/tiny.png", "tiny.png: is neither an SVG file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const std::string script = std::string("[Install]\r\n") + c.line + "\r\n";
        Machine m(5, script, IconEntries());
        std::string installer;
        try {
            m.Plan();
            ADD_FAILURE() << "planned";
        } catch (const KaveloError& e) {
            installer = ShownError(e);
        }
        EXPECT_NE(installer.find(c.reason), std::string::npos) << installer;
        std::map<std::string, Tree> trees;
        const SetupContents setup{
            [&](const std::string& name) { return m.Setup().FindUserFile(name) != nullptr; },
            [&](const std::string& name) -> const Tree& {
                return trees[name] =
                           ReadTreeIndex(m.Setup().File, *m.Setup().FindUserFile(name)).Entries;
            },
            [&](const std::string& name, const TreeEntry& entry) {
                const Tree whole =
                    DecodeTree(ReadEntryContents(m.Setup().File, *m.Setup().FindUserFile(name)));
                for (const TreeEntry& e : whole.Entries)
                    if (e.Name == entry.Name) return e.Data.substr(0, kIconHeadSize);
                return std::string();
            },
            [&](const std::string& name) {
                return ReadEntryContents(m.Setup().File, *m.Setup().FindUserFile(name))
                    .substr(0, kIconHeadSize);
            }};
        const std::vector<ScriptProblem> told =
            RefusedScriptLines(m.Setup().Script, "", m.Folders(), setup);
        ASSERT_EQ(told.size(), 1u);
        EXPECT_EQ(told[0].Text, installer);
        EXPECT_EQ(told[0].Line, 1);
    }
}

TEST(DesktopEntry, LauncherCategoriesAreRegisteredOrOnesOwn) {
    EXPECT_EQ(LauncherCategories(""), "Utility;");
    EXPECT_EQ(LauncherCategories("Game;ArcadeGame"), "Game;ArcadeGame;");
    EXPECT_EQ(LauncherCategories(";;X-Acme-Tools;"), "X-Acme-Tools;");
    for (const char* wrong : {"game;", "X-;", "Screensaver;", "Audio;", "X-a b;"})
        EXPECT_THROW(LauncherCategories(wrong), InvalidRequest) << wrong;
}

// A data home the installer refuses is the report's problem, with the
// folders it would use without it, and never an error out of the report.
TEST(ReportFolders, ARefusedDataHomeIsAProblemNotAnError) {
    TempDir home;
    const std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("HOME", home.Path().c_str(), 1);
    setenv("XDG_DATA_HOME", "/", 1);
    for (const InstallAs as : {InstallAs::User, InstallAs::Root}) {
        const ReportMapping mapping = LinuxReportMapping("Acme\\Tool", as);
        EXPECT_NE(mapping.Problem.find("XDG_DATA_HOME is the root folder"), std::string::npos)
            << mapping.Problem;
        EXPECT_EQ(mapping.Folders.Share, as == InstallAs::Root
                                             ? "/usr/local/share"
                                             : home.Path().string() + "/.local/share");
    }
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(LinuxReportMapping("Acme\\Tool", InstallAs::User).Problem, "");
    setenv("HOME", oldHome.c_str(), 1);
}

} // namespace
