#include "script/InstallSimulator.h"

#include <algorithm>

#include "project/Project.h"
#include "script/ScriptLines.h"
#include "script/ComponentPanel.h"
#include "script/GuardEvaluator.h"

using namespace script_lines;

namespace {

const std::string kCrLf = "\r\n";
// Stands for the installation folder the end user will choose.
const std::string kInstallFolder = "C:\\Programmes\\MyDirectory";

// Base folder numbers of the second field.
constexpr int kFolderSystem = 2;
constexpr int kFolderWindows = 3;
constexpr int kFolderAsWritten = 99;

// State of one run, started afresh by every SimulateInstall.
std::array<std::string, kStringsListSize> StringsList;
std::array<std::string, kMaxCommandLines> CommandList;
int CommandCount = 0;

bool StartsWith(const std::string& s, const std::string& prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}

// Replaces each "val(N)" by the value of element N. A reference without ")"
// after it, with "{" inside, or with N outside 1 ... 64 stays as it is (the
// guard is then false); the search goes on after it, so the loop ends.
void ReplaceElementReferences(std::string& guard, const std::string& selection) {
    const std::string open = "val(";
    size_t from = 0;
    for (;;) {
        const size_t at = guard.find(open, from);
        if (at == std::string::npos) return;
        const size_t close = guard.find(')', at + open.size());
        if (close == std::string::npos) return;
        const std::string inner = guard.substr(at + open.size(), close - at - open.size());
        const int32_t n = RoundHalfEven(NumberValue(inner));
        if (inner.find('{') != std::string::npos || n < 1 || n > kMaxElements) {
            from = at + 1;
            continue;
        }
        const auto value = static_cast<unsigned char>(selection[static_cast<size_t>(n - 1)]);
        guard.replace(at, close - at + 1, std::to_string(value));
        from = at;
    }
}

} // namespace

std::string SystemFolder(SystemFolderKind which) {
    return which == SystemFolderKind::Windows ? "C:\\WINDOWS\\" : "C:\\WINDOWS\\SYSTEM32\\";
}

std::vector<std::string> SplitFields(const std::string& text, int count) {
    std::vector<std::string> fields;
    if (count <= 0) return fields;
    fields.reserve(static_cast<size_t>(count));
    const std::string work = text + std::string(static_cast<size_t>(count), ',');
    size_t from = 0;
    for (int i = 0; i < count; ++i) {
        const size_t comma = work.find(',', from);
        fields.push_back(work.substr(from, comma - from));
        from = comma + 1;
    }
    return fields;
}

std::string JoinPath(const std::string& folder, const std::string& sub) {
    if (!sub.empty() && sub[0] == '\\') return folder.substr(0, 2) + sub;
    std::string result;
    std::string rest = sub;
    if (!folder.empty()) {
        std::string base = folder;
        if (base.back() == '\\') base.pop_back();
        while (StartsWith(rest, "..\\")) {
            const size_t cut = base.rfind('\\');
            if (cut == std::string::npos) {
                base.clear();
                break;
            }
            base.erase(cut);
            rest.erase(0, 3);
        }
        if (!base.empty()) result = base + "\\" + rest;
    }
    return result.empty() ? rest : result;
}

InstallCommand ParseInstallCommand(const std::string& line) {
    static const struct {
        const char* keyword;
        InstallKind kind;
    } kKeywords[] = {{"del ", InstallDel},
                     {"copy ", InstallCopy},
                     {"check ", InstallCheck},
                     {"link ", InstallLink}};
    InstallCommand command;
    const std::string lowered = LowerAscii(line);
    size_t start = 0;
    for (const auto& k : kKeywords) {
        if (StartsWith(lowered, k.keyword)) {
            command.Kind = k.kind;
            start = std::string(k.keyword).size();
            break;
        }
    }
    if (command.Kind == InstallNone) return command;
    while (start < line.size() && line[start] == ' ')
        ++start;
    const std::vector<std::string> f = SplitFields(line.substr(start), kInstallFieldCount);

    command.FileName = f[0];
    const int32_t base = RoundHalfEven(NumberValue(f[1]));
    std::string folder;
    if (base == kFolderSystem)
        folder = SystemFolder(SystemFolderKind::System);
    else if (base == kFolderWindows)
        folder = SystemFolder(SystemFolderKind::Windows);
    else if (base == kFolderAsWritten)
        folder = f[2];
    else
        folder = kInstallFolder;
    if (base != kFolderAsWritten && !f[2].empty()) folder = JoinPath(folder, f[2]);
    if (folder.empty() || folder.back() != '\\') folder += '\\';
    std::string fileName = f[3];
    if (fileName.empty()) {
        const size_t slash = f[0].find('\\');
        fileName = slash == std::string::npos ? f[0] : f[0].substr(slash + 1);
    }
    command.TargetPath = folder + fileName;
    command.ShortcutText = f[4];
    command.Number = NumberValue(f[5]);
    command.Version = f[6];
    command.Options = f[7];
    return command;
}

std::string ExtractSection(const std::string& text, const std::string& name) {
    const std::string header = std::string("[").append(LowerAscii(name)).append("]");
    const std::string work = text + kCrLf;
    std::string section;
    bool inside = false;
    for (const std::string_view raw : SplitCrLfLines(work)) {
        const std::string_view line = CutComment(raw);
        if (!inside) {
            inside = RemoveBlanks(LowerAscii(line)) == header;
            continue;
        }
        const std::string packed = RemoveBlanks(line);
        if (packed.empty()) continue;
        if (packed[0] == '[') break;
        section.append(line).append(kCrLf);
    }
    return section;
}

void PrintShortcuts(const std::string& text, const std::string& target,
                    const std::string& options) {
    const std::string lowered = LowerAscii(text);
    const size_t blank = lowered.find(' ');
    if (blank == std::string::npos) return;
    const std::string flags = lowered.substr(0, blank);
    const int32_t n = RoundHalfEven(NumberValue(lowered.substr(blank + 1)));
    if (n < 1 || n > kMaxShortcutString) return;
    const std::string& name = StringsList[static_cast<size_t>(n - 1)];
    const std::string rest = "; Target=" + target + "; Params=" + options;
    if (flags.find('s') != std::string::npos) DebugPrint("    CreateShortcut name=" + name + rest);
    if (flags.find('d') != std::string::npos)
        DebugPrint("    CreateDesktopIcon name=" + name + rest);
    if (flags.find('q') != std::string::npos)
        DebugPrint("    (CreateQuickLaunchIcon) name=" + name + rest);
}

void PrintCommandActions() {
    for (int i = 0; i < CommandCount; ++i) {
        const InstallCommand c = ParseInstallCommand(CommandList[static_cast<size_t>(i)]);
        if (c.Kind == InstallDel) {
            // "Del ,99,,,S 4" removes shortcuts only: its target is just "\".
            if (c.TargetPath != "\\") DebugPrint("    (DeleteFile): " + c.TargetPath);
            if (!c.ShortcutText.empty()) DebugPrint("    DeleteShortCuts: " + c.ShortcutText);
        }
        if (c.Kind == InstallCopy) DebugPrint("    Copy: " + c.FileName + " -> " + c.TargetPath);
        if ((c.Kind == InstallCopy || c.Kind == InstallLink) && !c.ShortcutText.empty())
            PrintShortcuts(c.ShortcutText, c.TargetPath, c.Options);
    }
}

void SimulateInstall(const std::string& selectionText) {
    for (std::string& s : StringsList)
        s.clear();
    SplitLines(StringsList, gProject.StringsText, kCrLf);
    const std::string section = ExtractSection(gProject.ScriptText, "install") + kCrLf;
    CommandCount = 0;
    bool skip = false;
    bool overflowReported = false;
    // Elements the selection does not reach hold 0.
    std::string selection = selectionText;
    selection.resize(kSelectionLength, '\0');

    for (const std::string_view raw : SplitCrLfLines(section)) {
        const std::string line(TrimBlanks(CutComment(raw)));
        if (!line.empty() && line[0] == '{') {
            std::string guard = line.substr(1);
            if (!guard.empty() && guard.back() == '}') guard.pop_back();
            guard = LowerAscii(guard);
            ReplaceElementReferences(guard, selection);
            skip = !EvaluateCondition(guard);
            continue;
        }
        if (line.empty() || skip) continue;
        const InstallCommand c = ParseInstallCommand(line);
        if (c.Kind == InstallNone) continue;

        if (c.Kind == InstallCopy && FindFile(LowerAscii(c.FileName)) < 0) {
            DebugPrint("### Warning: Reference to missing file: " + c.FileName);
            DebugPrint("###      " + line);
        }
        if (!c.ShortcutText.empty() && c.Kind != InstallCheck) {
            std::string number = LowerAscii(c.ShortcutText);
            std::erase_if(number,
                          [](char ch) { return ch == 'a' || ch == 'd' || ch == 'q' || ch == 's'; });
            const double n = NumberValue(std::string(TrimBlanks(number)));
            if (n >= 1 && n <= kMaxShortcutString) {
                if (StringsList[static_cast<size_t>(RoundHalfEven(n) - 1)].empty())
                    DebugPrint("### Warning: No Shortcut string: " + line);
            } else {
                DebugPrint("### Warning: No shortcut string: " + line);
            }
        }
        if (c.Kind == InstallCheck) {
            DebugPrint("    AbortInstallation if < " + c.Version + "): " + c.TargetPath);
            DebugPrint("        " + line);
        } else if (c.Kind == InstallCopy && !c.Version.empty()) {
            DebugPrint("    SkipFile if < " + c.Version + ": " + c.TargetPath);
            DebugPrint("        " + line);
        }
        if (c.Kind == InstallCheck) continue;
        if (CommandCount < kMaxCommandLines) {
            CommandList[static_cast<size_t>(CommandCount++)] = line;
        } else if (!overflowReported) {
            DebugPrint("### Warning: More than 1025 commands; this one and all later ones are "
                       "left out: " +
                       line);
            overflowReported = true;
        }
    }
    if (CommandCount == 0)
        DebugPrint("### Warning: Nothing to do");
    else
        PrintCommandActions();
}
