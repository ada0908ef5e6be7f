// kavelo panel / simulate / check: trying a setup's scripts.
// Each loads the component panel from the setup's script and numbered texts
// as the test window does and applies the clicks given in order; panel prints
// the panel, simulate what the test window's Install button would print, and
// check (as simulate --strict) fails on what the simulation passes over.
#include <algorithm>
#include <array>
#include <map>
#include <cstdio>
#include <optional>

#include "CliIo.h"
#include "CommandLine.h"
#include "setup/JsonText.h"
#include "PanelReport.h"
#include "common/TextLines.h"
#include "install/ReportFolders.h"
#include "install/TreeIndex.h"
#include "project/ProjectFileBytes.h"
#include "project/ProjectTrees.h"
#include "project/Session.h"
#include "script/ComponentPanel.h"
#include "script/InstallSimulator.h"
#include "script/PanelArguments.h"
#include "script/ScriptCheck.h"

namespace {

const OptionSpec kClickOption{"--click", "ID[=ITEM]",
                              "click element ID (a drop-down list picks ITEM); repeatable"};
const OptionSpec kSelectOption{"--select", "ID=VALUE,...",
                               "then set element values as the simulation reads them"};
const OptionSpec kPathsOption{"--paths", "linux|windows",
                              "linux (the default): the paths this machine's installation uses; "
                              "windows: C:\\Programmes\\MyDirectory and the example system "
                              "folders"};
const OptionSpec kAsOption{"--as", "user|root",
                           "Linux paths of an installation per user (the default) or as root"};

// "ID" or "ID=ITEM", digits only, ID from 1 to 64: whether it fits the panel
// is the setup's matter.
bool IsClickArgument(const std::string& argument) {
    const size_t equals = argument.find('=');
    const std::string id = argument.substr(0, equals);
    const std::string item = equals == std::string::npos ? "1" : argument.substr(equals + 1);
    const auto digits = [](const std::string& s) {
        return !s.empty() && s.size() <= 9 &&
               s.find_first_not_of("0123456789") == std::string::npos;
    };
    return digits(id) && digits(item) && std::stoi(id) >= 1 && std::stoi(id) <= kMaxElements;
}

// Opens the setup, loads the panel from its texts and applies the clicks.
int LoadPanel(const Invocation& call, ScriptPanelModel& panel) {
    for (const std::string& click : call.Values("--click"))
        if (!IsClickArgument(click))
            return call.UsageError("--click " + click + ": give ID or ID=ITEM, ID from 1 to 64");
    for (const std::string& select : call.Values("--select")) {
        std::string selection, error;
        if (!ApplySelectArgument(selection, select, error)) return call.UsageError(error);
    }
    if (!OpenSetupForReading(call.Operand(0))) return kExitFailure;
    const SetupProject& project = Session().Project;
    std::vector<std::string> strings(kMaxStrings);
    SplitLines(strings, project.StringsText, "\r\n");
    panel.LoadScript(project.ScriptText, strings, kMaxStrings);
    for (const std::string& click : call.Values("--click")) {
        std::string error;
        if (!ApplyClickArgument(panel, click, error)) return Fail(error);
    }
    return kExitOk;
}

int RunPanel(const Invocation& call) {
    ScriptPanelModel panel;
    if (const int status = LoadPanel(call, panel)) return status;
    const std::string out = call.Has("--json") ? PanelJson(panel) : PanelText(panel);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return kExitOk;
}

// One simulation: the report's lines and what a strict check refuses.
struct Simulation {
    std::vector<std::string> Lines;
    std::vector<std::string> Problems;
};

// A tree's entries as a reader tells them, with the first bytes of the PNG
// and SVG files the installer's index keeps: what tells an icon.
class TreeIcons : public TreeReader::Events {
  public:
    explicit TreeIcons(Tree& tree) : tree_(tree) {}
    void Begin(const TreeEntry& entry, uint32_t) override {
        tree_.Entries.push_back(entry);
        keep_ = KeptInTreeIndex(entry);
    }
    void Contents(const char* data, size_t count) override {
        std::string& head = tree_.Entries.back().Data;
        if (keep_ && head.size() < kIconHeadSize)
            head.append(data, std::min(count, kIconHeadSize - head.size()));
    }

  private:
    Tree& tree_;
    bool keep_ = false;
};

// The paths --paths and --as ask for, and the mapping they show (none for
// the Windows examples); false with a usage error.
bool ChoosePaths(const Invocation& call, const SetupProject& project, ReportPaths& paths,
                 std::optional<InstallAs>& shown, std::string& error) {
    const std::string kind = call.Has("--paths") ? call.Value("--paths") : "linux";
    const std::string as = call.Has("--as") ? call.Value("--as") : "user";
    if (kind != "linux" && kind != "windows") {
        error = "--paths " + kind + ": give linux or windows";
        return false;
    }
    if (as != "user" && as != "root") {
        error = "--as " + as + ": give user or root";
        return false;
    }
    if (kind == "windows") {
        if (call.Has("--as")) {
            error = "--as chooses among Linux paths; --paths windows shows the examples";
            return false;
        }
        paths = ExamplePaths();
    } else {
        shown = as == "root" ? InstallAs::Root : InstallAs::User;
        paths = LinuxReportPaths(project.SetupLines[LineInstallFolder], *shown);
    }
    return true;
}

int Simulate(const Invocation& call, Simulation& result) {
    ScriptPanelModel panel;
    if (const int status = LoadPanel(call, panel)) return status;
    std::string selection = panel.GetScriptValues();
    for (const std::string& select : call.Values("--select")) {
        std::string error;
        ApplySelectArgument(selection, select, error);
        for (std::string& wrong : SelectionsOutOfRange(panel, select))
            result.Problems.push_back(std::move(wrong));
    }
    const SetupProject& project = Session().Project;
    ReportPaths paths;
    std::optional<InstallAs> shown;
    std::string error;
    if (!ChoosePaths(call, project, paths, shown, error)) return call.UsageError(error);
    const auto hasFile = [&](const std::string& name) { return project.FindFile(name) >= 0; };
    const auto fileNamed = [&](const std::string& name) -> const ProjectFile& {
        return project.Files[static_cast<size_t>(project.FindFile(name))];
    };
    // Each tree a line names is read once as it is decoded: its names, and
    // its icons as the installer's index keeps them.
    std::map<std::string, Tree> trees;
    const SetupContents setup{
        hasFile,
        [&](const std::string& name) -> const Tree& {
            if (const auto at = trees.find(name); at != trees.end()) return at->second;
            Tree tree;
            TreeIcons icons(tree);
            tree.RootName = ReadProjectTree(project.Source, fileNamed(name), icons).RootName;
            return trees[name] = std::move(tree);
        },
        [](const std::string&, const TreeEntry& entry) { return entry.Data; },
        [&](const std::string& name) {
            ProjectFileBytes bytes(project.Source, fileNamed(name));
            return DecodePrefix(bytes.Stored(), kIconHeadSize);
        }};
    const InstallSource source{project.ScriptText, project.StringsText, hasFile};
    const std::vector<ReportLine> report = SimulateInstallLines(source, selection, paths);
    for (const ReportLine& line : report)
        result.Lines.push_back(line.Text);
    for (ScriptProblem& problem : ScriptProblems(report, project.ScriptText, selection))
        result.Problems.push_back(std::move(problem.Text));
    // What the installer refuses, in its words, for either mapping.
    for (std::string& refusal : RefusalsPerMapping(
             project.ScriptText, selection, project.SetupLines[LineInstallFolder], setup, shown))
        result.Problems.push_back(std::move(refusal));
    return kExitOk;
}

// The problems on standard error; kExitFailure when there is one.
int ReportProblems(const Simulation& simulation) {
    for (const std::string& problem : simulation.Problems)
        Note(Session().Project.ProjectPath + ": " + problem);
    return simulation.Problems.empty() ? kExitOk : kExitFailure;
}

std::string JsonArray(const std::vector<std::string>& items) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i)
        out += (i ? ", " : "") + JsonString(items[i]);
    return out + "]";
}

int RunSimulate(const Invocation& call) {
    Simulation simulation;
    if (const int status = Simulate(call, simulation)) return status;
    std::string out;
    if (call.Has("--json")) {
        out = "{\"lines\": " + JsonArray(simulation.Lines) +
              ", \"warnings\": " + JsonArray(WarningLines(simulation.Lines)) +
              ", \"problems\": " + JsonArray(simulation.Problems) + "}\n";
    } else {
        // The report's lines and, as the test window leaves them, two empty ones.
        for (const std::string& line : simulation.Lines)
            out.append(line).append("\n");
        out.append("\n\n");
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return call.Has("--strict") ? ReportProblems(simulation) : kExitOk;
}

int RunCheck(const Invocation& call) {
    Simulation simulation;
    if (const int status = Simulate(call, simulation)) return status;
    return ReportProblems(simulation);
}

const CommandRegistrar kPanel({40,
                               "panel",
                               "SETUP",
                               1,
                               1,
                               {kClickOption, {"--json", nullptr, "one JSON object"}},
                               "show the component panel the setup's script builds",
                               &RunPanel});
const CommandRegistrar
    kSimulate({41,
               "simulate",
               "SETUP",
               1,
               1,
               {kClickOption,
                kSelectOption,
                kPathsOption,
                kAsOption,
                {"--json", nullptr, "the lines, the warnings and the problems as JSON"},
                {"--strict", nullptr,
                 "exit 1 on a warning, a value out of range or a line not "
                 "understood, told on standard error"}},
               "print what the install script would do for that selection",
               &RunSimulate});
const CommandRegistrar kCheck({42,
                               "check",
                               "SETUP",
                               1,
                               1,
                               {kClickOption, kSelectOption, kPathsOption, kAsOption},
                               "simulate --strict without the report: for scripts and CI",
                               &RunCheck});

} // namespace
