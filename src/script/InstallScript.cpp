#include "script/InstallScript.h"

#include "common/AsciiCase.h"
#include "common/TreeName.h"
#include "script/ComponentPanel.h"
#include "script/GuardEvaluator.h"
#include "script/ScriptLines.h"

using namespace script_lines;

namespace {

const std::string kCrLf = "\r\n";

std::string BaseFolder(int base, const std::string& written, const BaseFolders& folders) {
    switch (base) {
    case kFolderSystem:
        return folders.System;
    case kFolderWindows:
        return folders.Windows;
    case kFolderAsWritten:
        return written;
    default:
        return folders.Install;
    }
}

} // namespace

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

std::string JoinPath(const std::string& folder, const std::string& sub, bool drives) {
    if (!sub.empty() && sub[0] == '\\') return drives ? folder.substr(0, 2) + sub : sub;
    std::string result;
    std::string rest = sub;
    if (!folder.empty()) {
        std::string base = folder;
        if (base.back() == '\\') base.pop_back();
        while (rest.starts_with("..\\")) {
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

namespace {

// The file name on the target. A tree's files go below the folder, or below
// the fourth field as a folder of it; a file inside a tree lies there at its
// path inside the tree.
std::string TargetName(const std::string& file, const std::string& target) {
    if (const auto tree = ReadTreeReference(file)) {
        std::string name = target;
        if (!name.empty() && !tree->Inside.empty()) name += '\\';
        for (const char c : tree->Inside)
            name += c == '/' ? '\\' : c;
        return name;
    }
    if (!target.empty()) return target;
    const size_t slash = file.find('\\');
    return slash == std::string::npos ? file : file.substr(slash + 1);
}

} // namespace

InstallCommand ParseInstallCommand(const std::string& line, const BaseFolders& folders) {
    static const struct {
        std::string_view keyword;
        InstallKind kind;
    } kKeywords[] = {{"del ", InstallDel},
                     {"copy ", InstallCopy},
                     {"check ", InstallCheck},
                     {"link ", InstallLink}};
    InstallCommand command;
    const std::string lowered = LowerAscii(line);
    size_t start = 0;
    for (const auto& k : kKeywords) {
        if (lowered.starts_with(k.keyword)) {
            command.Kind = k.kind;
            start = k.keyword.size();
            break;
        }
    }
    if (command.Kind == InstallNone) return command;
    while (start < line.size() && line[start] == ' ')
        ++start;
    const std::vector<std::string> f = SplitFields(line.substr(start), kInstallFieldCount);

    command.FileName = f[0];
    command.Base = RoundHalfEven(NumberValue(f[1]));
    command.SubFolder = f[2];
    std::string folder = BaseFolder(command.Base, f[2], folders);
    if (command.Base != kFolderAsWritten && !f[2].empty())
        folder = JoinPath(folder, f[2], folders.Drives);
    if (folder.empty() || folder.back() != '\\') folder += '\\';
    command.TargetPath = folder + TargetName(f[0], f[3]);
    command.ShortcutText = f[4];
    command.Number = NumberValue(f[5]);
    command.Icon = IconField(f[5]);
    command.Version = f[6];
    command.Options = f[7];
    return command;
}

std::pair<std::string, std::string> SplitShortcutCategories(const std::string& text) {
    const std::string_view trimmed = TrimBlanks(text);
    const size_t blank = trimmed.rfind(' ');
    if (blank == std::string_view::npos) return {text, ""};
    const std::string_view last = trimmed.substr(blank + 1);
    if (last.find(';') == std::string_view::npos) return {text, ""};
    std::string rest(trimmed.substr(0, blank));
    while (!rest.empty() && rest.back() == ' ')
        rest.pop_back();
    return {rest, std::string(last)};
}

std::optional<ShortcutRequest> ReadShortcutText(const std::string& text) {
    const auto [rest, categories] = SplitShortcutCategories(text);
    const std::string lowered = LowerAscii(rest);
    const size_t blank = lowered.find(' ');
    if (blank == std::string::npos) return std::nullopt;
    const int32_t n = RoundHalfEven(NumberValue(lowered.substr(blank + 1)));
    if (n < 1 || n > kMaxShortcutString) return std::nullopt;
    return ShortcutRequest{lowered.substr(0, blank), n, categories};
}

std::string IconField(const std::string& field) {
    const std::string_view name = TrimBlanks(field);
    if (name.find_first_not_of("0123456789.+-eE ") == std::string_view::npos) return "";
    return std::string(name);
}

std::vector<SectionLine> ExtractSectionLines(std::string_view text, std::string_view name) {
    const std::string header = std::string("[").append(LowerAscii(name)).append("]");
    const std::string work = std::string(text) + kCrLf;
    std::vector<SectionLine> section;
    bool inside = false;
    int number = -1;
    for (const std::string_view raw : SplitCrLfLines(work)) {
        ++number;
        const std::string_view line = CutComment(raw);
        if (!inside) {
            inside = RemoveBlanks(LowerAscii(line)) == header;
            continue;
        }
        const std::string packed = RemoveBlanks(line);
        if (packed.empty()) continue;
        if (packed[0] == '[') break;
        section.push_back({number, std::string(line)});
    }
    return section;
}

std::string ExtractSection(std::string_view text, std::string_view name) {
    std::string section;
    for (const SectionLine& line : ExtractSectionLines(text, name))
        section.append(line.Text).append(kCrLf);
    return section;
}

void ReplaceElementReferences(std::string& guard, std::string_view selection) {
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
            // The search goes on after it, so the loop ends.
            from = at + 1;
            continue;
        }
        const size_t index = static_cast<size_t>(n - 1);
        const auto value =
            index < selection.size() ? static_cast<unsigned char>(selection[index]) : 0;
        guard.replace(at, close - at + 1, std::to_string(value));
        from = at;
    }
}

std::vector<SelectedCommand> SelectInstallCommands(std::string_view script,
                                                   const std::string& selection,
                                                   const BaseFolders& folders) {
    std::vector<SelectedCommand> selected;
    bool skip = false;
    for (const SectionLine& kept : ExtractSectionLines(script, "install")) {
        std::string line(TrimBlanks(kept.Text));
        if (!line.empty() && line[0] == '{') {
            std::string guard = line.substr(1);
            if (!guard.empty() && guard.back() == '}') guard.pop_back();
            guard = LowerAscii(guard);
            ReplaceElementReferences(guard, selection);
            skip = !EvaluateCondition(guard);
            continue;
        }
        if (line.empty() || skip) continue;
        InstallCommand command = ParseInstallCommand(line, folders);
        if (command.Kind == InstallNone) continue;
        selected.push_back({std::move(line), std::move(command), kept.Number});
    }
    return selected;
}
