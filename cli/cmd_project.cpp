// kavelo new / info / add / remove / set / script / extract: editing a setup.
// Every change opens the setup with OpenSetup and writes it with SaveSetup, so
// the tool edits exactly what the editor would.
#include <cstdio>
#include <filesystem>
#include <map>

#include "Commands.h"
#include "common/AsciiCase.h"
#include "install/SafeWrite.h"
#include "package/BinaryFile.h"
#include "package/PackageReader.h"
#include "project/FileIntake.h"
#include "project/Session.h"

namespace {

SetupProject& gProject = Session().Project;

bool Open(const std::string& path) {
    return Session().OpenSetup(path);
}

bool SaveSetup() {
    return Session().SaveSetup();
}

int Usage(const char* name, const char* usage) {
    std::fprintf(stderr, "usage: kavelo %s %s\n", name, usage);
    return 2;
}

int RunNew(const std::vector<std::string>& args) {
    if (args.empty() || args.size() > 2 || (args.size() == 2 && args[1] != "--empty"))
        return Usage("new", "SETUP [--empty]");
    std::string path = args[0];
    // As the startup dialog does: a setup is an .exe.
    if (path.size() < 4 || LowerAscii(path.substr(path.size() - 4)) != ".exe") path += ".exe";
    gProject.ProjectPath = path;
    Session().NewProject(args.size() == 1);
    if (!SaveSetup()) return 1;
    std::printf("created %s\n", path.c_str());
    return 0;
}

const char* const kLineKeys[kSetupLineCount] = {"caption",        "start-text",       "license",
                                                "install-folder", "startmenu-folder", "finish-text",
                                                "launch-text"};

int RunInfo(const std::vector<std::string>& args) {
    if (args.size() != 1) return Usage("info", "SETUP");
    if (!Open(args[0])) return 1;
    for (int i = 0; i < kSetupLineCount; ++i)
        std::printf("%-17s %s\n", kLineKeys[i], gProject.SetupLines[i].c_str());
    std::printf("%-17s %zu bytes\n", "picture", gProject.Picture.size());
    std::printf("%-17s %zu bytes\n", "script", gProject.ScriptText.size());
    std::printf("%-17s %zu bytes\n", "strings", gProject.StringsText.size());
    std::printf("\n%d file(s)\n", gProject.FileCount());
    if (gProject.FileCount() > 0)
        std::printf("%-32s %12s %12s %7s\n", "name", "stored", "unpacked", "ratio");
    for (const ProjectFile& f : gProject.Files) {
        const EntryRecord& entry = f.Record();
        const double ratio = entry.Size ? 100.0 * entry.StoredSize / entry.Size : 100.0;
        std::printf("%-32s %12u %12u %6.1f%%\n", f.Name.c_str(), entry.StoredSize, entry.Size,
                    ratio);
    }
    return 0;
}

int RunAdd(const std::vector<std::string>& args) {
    if (args.size() < 2) return Usage("add", "SETUP FILE...");
    if (!Open(args[0])) return 1;
    const DropResult r = DropFiles(gProject, {args.begin() + 1, args.end()});
    int status = 0;
    for (const std::string& p : r.Skipped) {
        std::fprintf(stderr, "kavelo: %s: cannot be read, skipped\n", p.c_str());
        status = 1;
    }
    for (const std::string& p : r.Refused) {
        std::fprintf(stderr, "kavelo: %s: the setup already holds %d files, not added\n", p.c_str(),
                     kMaxFiles);
        status = 1;
    }
    if (r.Added + r.Replaced == 0) return status ? status : 1;
    if (!SaveSetup()) return 1;
    std::printf("%d added, %d replaced\n", r.Added, r.Replaced);
    return status;
}

int RunRemove(const std::vector<std::string>& args) {
    if (args.size() < 2) return Usage("remove", "SETUP NAME...");
    if (!Open(args[0])) return 1;
    for (size_t i = 1; i < args.size(); ++i) {
        const int32_t k = gProject.FindFile(LowerAscii(args[i]));
        if (k < 0) return Fail(args[0] + ": no file named \"" + args[i] + "\"; nothing removed");
        gProject.RemoveFile(k);
    }
    if (!SaveSetup()) return 1;
    std::printf("%zu removed\n", args.size() - 1);
    return 0;
}

int RunSet(const std::vector<std::string>& args) {
    if (args.size() != 3) return Usage("set", "SETUP KEY VALUE");
    int index = -1;
    for (int i = 0; i < kSetupLineCount; ++i)
        if (args[1] == kLineKeys[i]) index = i;
    if (index < 0) {
        std::string keys;
        for (const char* k : kLineKeys)
            keys += std::string(keys.empty() ? "" : ", ") + k;
        return Fail("unknown key \"" + args[1] + "\" (keys: " + keys + ")");
    }
    std::string value = args[2];
    for (char c : value)
        if (c == '\r' || c == '\n') return Fail("use \"|\" for a line break in a setup line");
    if (!Open(args[0])) return 1;
    if (index == LineLicense && !value.empty()) {
        // As the editor's list: only a ".txt" file of the setup can be the licence.
        value = LowerAscii(value);
        if (value.size() < 4 || value.compare(value.size() - 4, 4, ".txt") != 0 ||
            gProject.FindFile(value) < 0)
            return Fail(args[0] + ": the licence must be a .txt file of the setup");
    }
    gProject.SetupLines[index] = value;
    return SaveSetup() ? 0 : 1;
}

int RunScript(const std::vector<std::string>& args) {
    if (args.empty()) return Usage("script", "SETUP [--set FILE] [--strings FILE]");
    std::string scriptFile, stringsFile;
    for (size_t i = 1; i < args.size(); ++i) {
        if (i + 1 < args.size() && args[i] == "--set")
            scriptFile = args[++i];
        else if (i + 1 < args.size() && args[i] == "--strings")
            stringsFile = args[++i];
        else
            return Usage("script", "SETUP [--set FILE] [--strings FILE]");
    }
    std::string script, strings;
    if (!scriptFile.empty() && !ReadInputFile(scriptFile, script)) return 1;
    if (!stringsFile.empty() && !ReadInputFile(stringsFile, strings)) return 1;
    if (!Open(args[0])) return 1;
    if (scriptFile.empty() && stringsFile.empty()) {
        std::fwrite(gProject.ScriptText.data(), 1, gProject.ScriptText.size(), stdout);
        std::printf("\n[strings]\n");
        std::fwrite(gProject.StringsText.data(), 1, gProject.StringsText.size(), stdout);
        return 0;
    }
    if (!scriptFile.empty()) gProject.ScriptText = script;
    if (!stringsFile.empty()) gProject.StringsText = strings;
    return SaveSetup() ? 0 : 1;
}

int RunExtract(const std::vector<std::string>& args) {
    if (args.size() != 2) return Usage("extract", "SETUP DIR");
    std::error_code regular;
    if (!std::filesystem::is_regular_file(args[0], regular))
        return Fail(args[0] + ": not a setup file");
    BinaryFile file = BinaryFile::OpenRead(args[0]);
    const auto entries = ReadPackageDirectory(file);
    if (!entries) return Fail(args[0] + ": no package found");
    std::error_code ec;
    std::filesystem::create_directories(args[1], ec);
    if (ec) return Fail(args[1] + ": " + ec.message());
    int status = 0;
    for (const DirectoryEntry& e : *entries) {
        const auto relative = SafeRelativePath(e.Name);
        std::string why;
        if (!relative) {
            std::fprintf(stderr, "kavelo: %s: \"%s\" leaves the target folder, skipped\n",
                         args[0].c_str(), e.Name.c_str());
            status = 1;
        } else if (!WriteEntryBelow(args[1], *relative, ReadEntryContents(file, e), why)) {
            std::fprintf(stderr, "kavelo: %s\n", why.c_str());
            status = 1;
        } else {
            std::printf("%s\n", relative->string().c_str());
        }
    }
    return status;
}

const CommandRegistrar kNew({30, "new", "SETUP [--empty]",
                             "create a setup from the template (--empty: without the sample file)",
                             &RunNew});
const CommandRegistrar kInfo({31, "info", "SETUP", "show the setup lines, texts and files",
                              &RunInfo});
const CommandRegistrar kAdd({32, "add", "SETUP FILE...", "add or replace files, then save",
                             &RunAdd});
const CommandRegistrar kRemove({33, "remove", "SETUP NAME...", "remove files, then save",
                                &RunRemove});
const CommandRegistrar kSet({34, "set", "SETUP KEY VALUE",
                             "set a setup line (caption, start-text, license, install-folder, "
                             "startmenu-folder, finish-text, launch-text; \"|\" breaks lines)",
                             &RunSet});
const CommandRegistrar kScript({35, "script", "SETUP [--set FILE] [--strings FILE]",
                                "print or replace the script and the numbered texts", &RunScript});
const CommandRegistrar kExtract({36, "extract", "SETUP DIR",
                                 "unpack every file of the setup below DIR", &RunExtract});

} // namespace
