#include "script/InstallSimulator.h"

#include <algorithm>
#include <array>

#include "common/AsciiCase.h"
#include "common/TextLines.h"
#include "script/GuardEvaluator.h"
#include "script/ScriptLines.h"

using namespace script_lines;

namespace {

// "c" among the flag letters (before the first blank): a command link.
bool HasCommandFlag(const std::string& shortcutText) {
    return LowerAscii(shortcutText.substr(0, shortcutText.find(' '))).find('c') !=
           std::string::npos;
}

// One run of the simulation: the numbered texts, the command lines kept for
// the second pass and the lines printed so far.
class Simulation {
  public:
    Simulation(const InstallSource& source, const ReportPaths& paths)
        : source_(source), paths_(paths) {
        SplitLines(strings_, source.StringsText, "\r\n");
        if (!paths.Problem.empty()) Print("### Warning: " + paths.Problem);
    }

    void CheckCommand(const SelectedCommand& selected);
    void PrintCommandActions();
    std::vector<ReportLine> TakeLines() { return std::move(lines_); }

  private:
    void Print(std::string line) { lines_.push_back({std::move(line), scriptLine_}); }
    void CheckShortcutString(const SelectedCommand& selected);
    void CheckTarget(const SelectedCommand& selected);
    std::string Shown(const std::string& target) const;
    void PrintShortcuts(const std::string& text, const std::string& target,
                        const std::string& options);

    const InstallSource& source_;
    const ReportPaths& paths_;
    int scriptLine_ = -1; // the script line the lines printed now speak of
    std::array<std::string, kStringsListSize> strings_;
    std::vector<const SelectedCommand*> kept_;
    bool overflowReported_ = false;
    std::vector<ReportLine> lines_;
};

// A target the installation could not use is told, and shown as worked out.
void Simulation::CheckTarget(const SelectedCommand& selected) {
    const InstallCommand& c = selected.Command;
    if (!paths_.Show || (c.Kind == InstallLink && c.ShortcutText.empty())) return;
    if (c.Kind == InstallDel && c.TargetPath == "\\") return;
    std::string why;
    if (!paths_.Show(c.TargetPath, why)) Print("### Warning: " + why + ": " + selected.Line);
}

std::string Simulation::Shown(const std::string& target) const {
    if (!paths_.Show) return target;
    std::string why;
    const std::optional<std::string> shown = paths_.Show(target, why);
    return shown ? *shown : target;
}

void Simulation::CheckShortcutString(const SelectedCommand& selected) {
    // Categories at the end ("S 4 Development;") are no part of the number.
    std::string number = LowerAscii(SplitShortcutCategories(selected.Command.ShortcutText).first);
    // "C" alone asks for a command link only, and needs no text.
    if (number.find_first_not_of('c') == std::string::npos) return;
    std::erase_if(number, [](char ch) {
        return ch == 'a' || ch == 'c' || ch == 'd' || ch == 'q' || ch == 's' || ch == 't';
    });
    const double n = NumberValue(std::string(TrimBlanks(number)));
    if (n >= 1 && n <= kMaxShortcutString) {
        if (strings_[static_cast<size_t>(RoundHalfEven(n) - 1)].empty())
            Print("### Warning: No Shortcut string: " + selected.Line);
    } else {
        Print("### Warning: No shortcut string: " + selected.Line);
    }
}

// The first pass over one command line: warnings, checks and versions; the
// line is kept for the second pass unless it is a Check.
void Simulation::CheckCommand(const SelectedCommand& selected) {
    const InstallCommand& c = selected.Command;
    const std::string& line = selected.Line;
    scriptLine_ = selected.ScriptLine;
    CheckTarget(selected);
    if (c.Kind == InstallCopy && (!source_.HasFile || !source_.HasFile(LowerAscii(c.FileName)))) {
        Print("### Warning: Reference to missing file: " + c.FileName);
        Print("###      " + line);
    }
    if (!c.ShortcutText.empty() && c.Kind != InstallCheck) CheckShortcutString(selected);
    if (c.Kind == InstallCheck) {
        Print("    AbortInstallation if < " + c.Version + "): " + Shown(c.TargetPath));
        Print("        " + line);
        return;
    }
    if (c.Kind == InstallCopy && !c.Version.empty()) {
        Print("    SkipFile if < " + c.Version + ": " + Shown(c.TargetPath));
        Print("        " + line);
    }
    if (kept_.size() < static_cast<size_t>(kMaxCommandLines)) {
        kept_.push_back(&selected);
    } else if (!overflowReported_) {
        Print("### Warning: More than 1025 commands; this one and all later ones are left out: " +
              line);
        overflowReported_ = true;
    }
}

void Simulation::PrintShortcuts(const std::string& text, const std::string& target,
                                const std::string& options) {
    if (HasCommandFlag(text)) Print("    CreateCommand: " + target);
    const std::optional<ShortcutRequest> request = ReadShortcutText(text);
    if (!request) return;
    const std::string& name = strings_[static_cast<size_t>(request->Text - 1)];
    const std::string rest = "; Target=" + target + "; Params=" + options;
    if (request->Has('s')) Print("    CreateShortcut name=" + name + rest);
    if (request->Has('d')) Print("    CreateDesktopIcon name=" + name + rest);
    if (request->Has('q')) Print("    (CreateQuickLaunchIcon) name=" + name + rest);
}

// The second pass: what the kept command lines do.
void Simulation::PrintCommandActions() {
    scriptLine_ = -1;
    if (kept_.empty()) {
        Print("### Warning: Nothing to do");
        return;
    }
    for (const SelectedCommand* selected : kept_) {
        const InstallCommand& c = selected->Command;
        scriptLine_ = selected->ScriptLine;
        const std::string target = Shown(c.TargetPath);
        if (c.Kind == InstallDel) {
            // "Del ,99,,,S 4" removes shortcuts only: its target is just "\".
            if (c.TargetPath != "\\") Print("    (DeleteFile): " + target);
            if (!c.ShortcutText.empty()) Print("    DeleteShortCuts: " + c.ShortcutText);
            if (c.TargetPath != "\\" && HasCommandFlag(c.ShortcutText))
                Print("    DeleteCommand: " + target);
        }
        if (c.Kind == InstallCopy) Print("    Copy: " + c.FileName + " -> " + target);
        if ((c.Kind == InstallCopy || c.Kind == InstallLink) && !c.ShortcutText.empty())
            PrintShortcuts(c.ShortcutText, target, c.Options);
    }
}

} // namespace

const BaseFolders& SimulatedFolders() {
    static const BaseFolders folders{"C:\\Programmes\\MyDirectory", "C:\\WINDOWS\\SYSTEM32\\",
                                     "C:\\WINDOWS\\"};
    return folders;
}

const ReportPaths& ExamplePaths() {
    static const ReportPaths paths{SimulatedFolders(), nullptr, ""};
    return paths;
}

std::vector<ReportLine> SimulateInstallLines(const InstallSource& source,
                                             const std::string& selection,
                                             const ReportPaths& paths) {
    const std::vector<SelectedCommand> commands =
        SelectInstallCommands(source.ScriptText, selection, paths.Folders);
    Simulation simulation(source, paths);
    for (const SelectedCommand& selected : commands)
        simulation.CheckCommand(selected);
    simulation.PrintCommandActions();
    return simulation.TakeLines();
}

std::vector<std::string> SimulateInstall(const InstallSource& source, const std::string& selection,
                                         const ReportPaths& paths) {
    std::vector<std::string> texts;
    for (ReportLine& line : SimulateInstallLines(source, selection, paths))
        texts.push_back(std::move(line.Text));
    return texts;
}
