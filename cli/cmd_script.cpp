// kavelo panel / simulate: trying a setup's scripts.
// Both load the component panel from the setup's script and numbered texts as
// the test window does, apply the clicks given in order, and print the panel
// or what the test window's Install button would print.
#include <array>
#include <cstdio>

#include "Commands.h"
#include "project/Project.h"
#include "script/InstallSimulator.h"
#include "script/PanelReport.h"
#include "script/ComponentPanel.h"

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
    gProject.ProjectPath = options.setup;
    if (!OpenSetup()) return 1;
    static std::array<std::string, kMaxStrings> strings;
    SplitLines(strings, gProject.StringsText, "\r\n");
    panel.LoadScript(gProject.ScriptText, strings, kMaxStrings);
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
    DebugClear();
    SimulateInstall(selection);
    DebugPrint("");
    DebugPrint("");
    // DebugText's lines, each ended by a line feed.
    const std::string& text = gRun.DebugText;
    std::string out;
    size_t from = 0;
    for (size_t at; (at = text.find("\r\n", from)) != std::string::npos; from = at + 2)
        out.append(text, from, at - from).append("\n");
    out.append(text, from, std::string::npos).append("\n");
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

CommandRegistrar panelCommand({40, "panel", "SETUP [--click ID[=ITEM]]... [--json]",
                               "show the component panel the setup's script builds", RunPanel});
CommandRegistrar
    simulateCommand({41, "simulate", "SETUP [--click ID[=ITEM]]... [--select ID=VALUE,...]",
                     "print what the install script would do for that selection", RunSimulate});

} // namespace
