// kavelo panel / simulate: trying a setup's scripts.
// Both load the component panel from the setup's script and numbered texts as
// the test window does, apply the clicks given in order, and print the panel
// or what the test window's Install button would print.
#include <array>
#include <cstdio>

#include "Commands.h"
#include "PanelReport.h"
#include "common/TextLines.h"
#include "project/Session.h"
#include "script/ComponentPanel.h"
#include "script/InstallSimulator.h"
#include "script/PanelArguments.h"

namespace {

struct ScriptOptions {
    std::string setup;
    std::vector<std::string> clicks;
    std::vector<std::string> selects;
    bool json = false;
};

int Usage(const char* name, const char* usage) {
    std::fprintf(stderr, "usage: kavelo %s %s\n", name, usage);
    return 2;
}

// False on an unknown option or a missing value.
bool ParseOptions(const std::vector<std::string>& args, bool allowJson, bool allowSelect,
                  ScriptOptions& options) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if ((a == "--click" || (a == "--select" && allowSelect)) && i + 1 < args.size()) {
            (a == "--click" ? options.clicks : options.selects).push_back(args[++i]);
        } else if (a == "--json" && allowJson) {
            options.json = true;
        } else if (!a.empty() && a[0] != '-' && options.setup.empty()) {
            options.setup = a;
        } else {
            return false;
        }
    }
    return !options.setup.empty();
}

// Opens the setup, loads the panel from its texts and applies the clicks.
int LoadPanel(const ScriptOptions& options, ScriptPanelModel& panel) {
    if (!Session().OpenSetup(options.setup)) return 1;
    const SetupProject& project = Session().Project;
    std::vector<std::string> strings(kMaxStrings);
    SplitLines(strings, project.StringsText, "\r\n");
    panel.LoadScript(project.ScriptText, strings, kMaxStrings);
    for (const std::string& click : options.clicks) {
        std::string error;
        if (!ApplyClickArgument(panel, click, error)) return Fail(error);
    }
    return 0;
}

int RunPanel(const std::vector<std::string>& args) {
    ScriptOptions options;
    if (!ParseOptions(args, true, false, options))
        return Usage("panel", "SETUP [--click ID[=ITEM]]... [--json]");
    ScriptPanelModel panel;
    if (const int status = LoadPanel(options, panel)) return status;
    const std::string out = options.json ? PanelJson(panel) : PanelText(panel);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

int RunSimulate(const std::vector<std::string>& args) {
    ScriptOptions options;
    if (!ParseOptions(args, false, true, options))
        return Usage("simulate", "SETUP [--click ID[=ITEM]]... [--select ID=VALUE[,ID=VALUE]...]");
    ScriptPanelModel panel;
    if (const int status = LoadPanel(options, panel)) return status;
    std::string selection = panel.GetScriptValues();
    for (const std::string& select : options.selects) {
        std::string error;
        if (!ApplySelectArgument(selection, select, error)) return Fail(error);
    }
    const SetupProject& project = Session().Project;
    const InstallSource source{project.ScriptText, project.StringsText,
                               [&](const std::string& name) { return project.FindFile(name) >= 0; }};
    // The report's lines and, as the test window leaves them, two empty ones.
    std::string out;
    for (const std::string& line : SimulateInstall(source, selection))
        out.append(line).append("\n");
    out.append("\n\n");
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

CommandRegistrar panelCommand({40, "panel", "SETUP [--click ID[=ITEM]]... [--json]",
                               "show the component panel the setup's script builds", RunPanel});
CommandRegistrar
    simulateCommand({41, "simulate", "SETUP [--click ID[=ITEM]]... [--select ID=VALUE,...]",
                     "print what the install script would do for that selection", RunSimulate});

} // namespace
