// kavelo new / info / set / script: making a setup, and its lines and texts.
// Every change opens the setup with OpenSetup and writes it with SaveSetup
// under the setup's lock, so the tool edits exactly what the editor would.
#include <cstdio>
#include <filesystem>
#include <optional>

#include "CliIo.h"
#include "CommandLine.h"
#include "setup/SetupReport.h"
#include "common/AsciiCase.h"
#include "project/Session.h"
#include "project/SetupFileName.h"
#include "script/InstallScript.h"
#include "script/InstallSimulator.h"
#include "script/ScriptLines.h"

namespace {

SetupProject& Project() {
    return Session().Project;
}

bool EndsWith(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() &&
           s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool Exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

// Without the sample program, the template's lines that copy it become
// comments, so that the new setup passes its own check.
void CommentOutMissingCopies(SetupProject& project) {
    using namespace script_lines;
    std::string script;
    for (const std::string_view line : SplitCrLfLines(project.ScriptText)) {
        const InstallCommand c =
            ParseInstallCommand(std::string(TrimBlanks(CutComment(line))), SimulatedFolders());
        if (c.Kind == InstallCopy && project.FindFile(LowerAscii(c.FileName)) < 0) script += "// ";
        script += std::string(line) + "\r\n";
    }
    project.ScriptText = script;
}

int RunNew(const Invocation& call) {
    std::string path = call.Operand(0);
    if (path == "-")
        return call.UsageError("a setup is written into a file, not to standard output");
    // As the startup dialog does: a name without ".run" or ".exe" gets ".run".
    path = WithSetupExtension(path);
    SetupChange change;
    if (!change.Lock(path)) return kExitFailure;
    // The setup is the project's only storage: an existing one is replaced
    // only when asked to.
    const bool existed = Exists(path);
    if (existed && !call.Has("--force"))
        return call.UsageError(path + " already exists; --force replaces it");
    const std::optional<EntryCodec> codec = CodecNamed(call.Value("--compression"));
    if (call.Has("--compression") && !codec)
        return call.UsageError("--compression takes zstd or huffman");
    Project().ProjectPath = path;
    Session().NewProject(!call.Has("--empty"));
    if (call.Has("--empty")) CommentOutMissingCopies(Project());
    Project().ChangeCodec(codec.value_or(EntryCodec::Huffman));
    if (!change.Save()) return kExitFailure;
    std::printf("%s %s\n", existed ? "replaced" : "created", path.c_str());
    return kExitOk;
}

int RunInfo(const Invocation& call) {
    if (!OpenSetupForReading(call.Operand(0))) return kExitFailure;
    const SetupProject& p = Project();
    SetupSummary s;
    std::copy(p.SetupLines.begin(), p.SetupLines.end(), s.Lines.begin());
    s.PictureSize = p.Picture.size();
    s.ScriptSize = p.ScriptText.size();
    s.StringsSize = p.StringsText.size();
    s.FileCount = p.FileCount();
    s.RuntimeSize = OpenedRuntimeSize();
    s.Codec = p.Codec;
    const std::string out = call.Has("--json") ? InfoJson(s) : InfoText(s);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return kExitOk;
}

// The setup line a text file holds: its line breaks become "|", the one at
// its end is dropped.
std::string LineFromText(std::string text) {
    if (EndsWith(text, "\r\n")) text.resize(text.size() - 2);
    std::string line;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r') {
            line += text[i];
        } else {
            line += '|';
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        }
    }
    return line;
}

int SetupLineIndex(const std::string& key) {
    for (size_t i = 0; i < kSetupLineKeys.size(); ++i)
        if (key == kSetupLineKeys[i]) return static_cast<int>(i);
    return -1;
}

// kavelo set SETUP compression zstd|huffman: files packed with the other
// codec are packed again by the save.
int SetCompression(const Invocation& call) {
    const auto& ops = call.Operands();
    const std::optional<EntryCodec> codec =
        ops.size() == 3 && !call.Has("--file") ? CodecNamed(ops[2]) : std::nullopt;
    if (!codec) return call.UsageError("compression is zstd or huffman");
    if (ops[0] == "-") return call.UsageError("a setup to change cannot be standard input");
    SetupChange change;
    if (!change.Open(ops[0])) return kExitFailure;
    Project().ChangeCodec(*codec);
    return change.Save() ? kExitOk : kExitFailure;
}

int RunSet(const Invocation& call) {
    const bool fromFile = call.Has("--file");
    const auto& ops = call.Operands();
    if (ops.size() >= 2 && ops[1] == "compression") return SetCompression(call);
    if (ops.size() != (fromFile ? 2u : 3u))
        return call.UsageError(fromFile ? "give KEY and --file FILE, not a VALUE too"
                                        : "missing VALUE (or --file FILE)");
    const int index = SetupLineIndex(ops[1]);
    if (index < 0) {
        std::string keys;
        for (const char* k : kSetupLineKeys)
            keys += std::string(keys.empty() ? "" : ", ") + k;
        keys += ", compression";
        return call.UsageError("unknown key \"" + ops[1] + "\" (keys: " + keys + ")");
    }
    if (ops[0] == "-") return call.UsageError("a setup to change cannot be standard input");
    std::string value;
    if (fromFile) {
        std::string bytes;
        if (!ReadInputFile(call.Value("--file"), bytes)) return kExitFailure;
        value = LineFromText(ProjectText(bytes));
    } else {
        value = ops[2];
        if (value.find_first_of("\r\n") != std::string::npos)
            return call.UsageError("use \"|\" for a line break in a setup line");
    }
    SetupChange change;
    if (!change.Open(ops[0])) return kExitFailure;
    if (index == LineLicense && !value.empty()) {
        // As the editor's list: only a ".txt" file of the setup can be the licence.
        value = LowerAscii(value);
        if (!EndsWith(value, ".txt") || Project().FindFile(value) < 0)
            return Fail(Project().ProjectPath + ": the licence must be a .txt file of the setup");
    }
    Project().SetupLines[static_cast<size_t>(index)] = value;
    return change.Save() ? kExitOk : kExitFailure;
}

int RunScript(const Invocation& call) {
    const std::string& setup = call.Operand(0);
    const bool change = call.Has("--set") || call.Has("--strings");
    if (change && setup == "-")
        return call.UsageError("a setup to change cannot be standard input");
    if (call.Value("--set") == "-" && call.Value("--strings") == "-")
        return call.UsageError("--set and --strings cannot both read standard input");
    if (call.Value("--get-script") == "-" && call.Value("--get-strings") == "-")
        return call.UsageError("--get-script and --get-strings cannot both write standard output");
    std::string script, strings;
    if (call.Has("--set") && !ReadInputFile(call.Value("--set"), script)) return kExitFailure;
    if (call.Has("--strings") && !ReadInputFile(call.Value("--strings"), strings))
        return kExitFailure;

    SetupChange lock;
    if (change ? !lock.Open(setup) : !OpenSetupForReading(setup)) return kExitFailure;
    SetupProject& p = Project();
    // What --get-script and --get-strings write, --set and --strings read.
    if (call.Has("--get-script") && !WriteOutputFile(call.Value("--get-script"), p.ScriptText))
        return kExitFailure;
    if (call.Has("--get-strings") && !WriteOutputFile(call.Value("--get-strings"), p.StringsText))
        return kExitFailure;
    if (!change) {
        if (call.Has("--get-script") || call.Has("--get-strings")) return kExitOk;
        std::fwrite(p.ScriptText.data(), 1, p.ScriptText.size(), stdout);
        std::printf("\n[strings]\n");
        std::fwrite(p.StringsText.data(), 1, p.StringsText.size(), stdout);
        return kExitOk;
    }
    if (call.Has("--set")) p.ScriptText = ProjectText(script);
    if (call.Has("--strings")) p.StringsText = ProjectText(strings);
    return lock.Save() ? kExitOk : kExitFailure;
}

const CommandRegistrar
    kNew({30,
          "new",
          "SETUP",
          1,
          1,
          {{"--empty", nullptr, "without the template's sample program"},
           {"--force", nullptr, "replace SETUP when it exists"},
           {"--compression", "CODEC", "compress with zstd (smaller) or huffman (the default)"}},
          "create a setup from the template (\".run\" is appended unless it ends in .run or .exe)",
          &RunNew});
const CommandRegistrar kInfo({31,
                              "info",
                              "SETUP",
                              1,
                              1,
                              {{"--json", nullptr, "one JSON object"}},
                              "show the setup lines, the sizes of the texts, the file count and "
                              "the compression",
                              &RunInfo});
const CommandRegistrar
    kSet({34,
          "set",
          "SETUP KEY [VALUE]",
          2,
          3,
          {{"--file", "FILE", "take the value from a text file, its line breaks as \"|\""}},
          "set a setup line (caption, start-text, license, install-folder, startmenu-folder, "
          "finish-text, launch-text; \"|\" breaks lines) or the compression (zstd, huffman)",
          &RunSet});
const CommandRegistrar
    kScript({35,
             "script",
             "SETUP",
             1,
             1,
             {{"--set", "FILE", "replace the script with a text file"},
              {"--strings", "FILE", "replace the numbered texts with a text file"},
              {"--get-script", "FILE", "write the script into FILE, as --set reads it"},
              {"--get-strings", "FILE", "write the numbered texts into FILE"}},
             "print, save or replace the script and the numbered texts",
             &RunScript});

} // namespace
