// The debugger tells where an installation really puts the files: for the
// template, per user and as root, the paths Install prints are the paths the
// runtime's plan (what --dry-run prints) names for the same selection.
#include "WindowFixture.h"

#include "PackageBuilder.h"
#include "install/InstallPlan.h"
#include "install/LinuxFolders.h"
#include "ui/frmTest.h"
#include "ui/qkScriptSetupA.h"

#include <gtest/gtest.h>

#include <QPushButton>

#include <regex>
#include <set>

namespace {

// The absolute paths in lines: from a "/" after a blank, "=" or the line's
// start, up to "; ", ": " or the end. Launchers (".desktop" files) are the
// plan's own: the debugger names only their targets.
std::set<std::string> PathsIn(const std::vector<std::string>& lines) {
    static const std::regex path("(?:^|[ =])(/[^;]*?)(?=; |: |;$|$)");
    std::set<std::string> paths;
    for (const std::string& line : lines)
        for (auto it = std::sregex_iterator(line.begin(), line.end(), path);
             it != std::sregex_iterator(); ++it)
            if (!(*it)[1].str().ends_with(".desktop")) paths.insert((*it)[1].str());
    return paths;
}

std::vector<std::string> SplitReport(const std::string& text) {
    std::vector<std::string> lines;
    size_t from = 0;
    for (size_t at; (at = text.find("\r\n", from)) != std::string::npos; from = at + 2)
        lines.push_back(text.substr(from, at - from));
    return lines;
}

// The project as a setup file, its one user file stored raw.
std::string SetupOf(const SetupProject& project) {
    std::string lines;
    for (size_t i = 0; i < project.SetupLines.size(); ++i)
        lines += (i ? "\r\n" : "") + project.SetupLines[i];
    std::vector<RawEntry> entries = {{"setup\\picture.bmp", "BM"},
                                     {"setup\\script.txt", project.ScriptText},
                                     {"setup\\setup.txt", lines},
                                     {"setup\\strings.txt", project.StringsText}};
    for (const ProjectFile& file : project.Files)
        entries.push_back({file.Name, "sample bytes"});
    return BuildSetup("RUNTIME", entries);
}

TEST(ReportPaths, DebuggerPathsAreTheInstallationPlansPaths) {
    for (const bool root : {false, true}) {
        SCOPED_TRACE(root ? "as root" : "per user");
        WindowFixture f;
        frmTest* test = f.Open<frmTest>();
        test->SetPaths(root ? ReportPathKind::Root : ReportPathKind::User);
        QTest::mouseClick(test->eButton[1], Qt::LeftButton);
        const std::set<std::string> shown = PathsIn(SplitReport(f.module.Run.DebugText));

        TempDir dir;
        WriteFile(dir / "setup.exe", SetupOf(f.module.Project));
        const std::optional<SetupPackage> setup = OpenSetupPackage(dir / "setup.exe");
        ASSERT_TRUE(setup);
        InstallEnvironment env = CurrentEnvironment();
        env.Root = root;
        const std::string folder =
            DefaultInstallFolder(f.module.Project.SetupLines[LineInstallFolder], env);
        PlanRequest request;
        request.Setup = &*setup;
        request.Selection = test->qkScriptSetupA1->GetScriptValues();
        request.Folders = MapFolders(folder, env);
        request.Root = root;
        // A plan looks at the folders it would write to; as root those are
        // the machine's own, which a test may not be allowed into, so they
        // are planned below a folder of the test's, and that prefix is taken
        // off again.
        const std::string prefix = root ? std::string(dir / "root") : std::string();
        for (std::string* f :
             {&request.Folders.Install, &request.Folders.Lib, &request.Folders.Share,
              &request.Folders.Menu, &request.Folders.AllUsersMenu, &request.Folders.Desktop,
              &request.Folders.Commands})
            if (!f->empty()) *f = prefix + *f;
        const InstallPlan plan = PlanInstallation(request);
        std::vector<std::string> planned;
        for (const PlanStep& step : plan.Steps) {
            std::string text = step.Text;
            for (size_t at; !prefix.empty() && (at = text.find(prefix)) != std::string::npos;)
                text.erase(at, prefix.size());
            planned.push_back(text);
        }

        EXPECT_EQ(shown, PathsIn(planned));
        // The copy's target, below the folder the mapping chose.
        EXPECT_TRUE(shown.count(folder + "/MyApp.exe")) << folder;
    }
}

} // namespace
