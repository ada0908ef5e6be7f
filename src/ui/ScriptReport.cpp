#include "ui/ScriptReport.h"

#include "common/TextLines.h"
#include "install/ReportFolders.h"
#include "project/Project.h"
#include "script/ComponentPanel.h"

#include <array>

namespace {

ReportPaths PathsFor(const SetupProject& project, ReportPathKind kind) {
    if (kind == ReportPathKind::Windows) return ExamplePaths();
    return LinuxReportPaths(project.SetupLines[LineInstallFolder],
                            kind == ReportPathKind::Root ? InstallAs::Root : InstallAs::User);
}

} // namespace

ProjectReport SimulateProject(const SetupProject& project, const std::string& selection,
                              ReportPathKind kind) {
    const InstallSource source{
        project.ScriptText, project.StringsText,
        [&project](const std::string& name) { return project.FindFile(name) >= 0; }};
    ProjectReport report;
    report.Lines = SimulateInstallLines(source, selection, PathsFor(project, kind));
    report.Problems = ScriptProblems(report.Lines, project.ScriptText, selection);
    return report;
}

std::string StartSelection(const SetupProject& project) {
    std::vector<std::string> strings(kMaxStrings);
    SplitLines(strings, project.StringsText, "\r\n");
    ScriptPanelModel panel;
    panel.LoadScript(project.ScriptText, strings, kMaxStrings);
    return panel.GetScriptValues();
}

std::vector<std::string> ProblemLines(const std::vector<ScriptProblem>& problems) {
    std::vector<std::string> lines;
    for (const ScriptProblem& p : problems) {
        // The simulator's quote of the line under a warning says nothing the
        // line number does not.
        if (p.Line < 0 || p.Text.starts_with("###      ")) continue;
        const std::string text = p.Text.starts_with("### ") ? p.Text.substr(4) : p.Text;
        lines.push_back("### Line " + std::to_string(p.Line + 1) + ": " + text);
    }
    return lines;
}
