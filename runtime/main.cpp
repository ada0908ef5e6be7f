// The setup runtime: the program at the front of every setup executable. It
// finds the package appended to its own file and installs, shows or unpacks
// the setup. With no option it installs through the start matrix (a wizard);
// installing options go to the install modes; each other option is one mode
// in the table below, with exit status 0 on success, 1 on a failure (no
// package, a damaged one, a file not written), 2 for a command line it does
// not understand.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "InstallMode.h"
#include "install/DisplayText.h"
#include "RuntimeVersion.h"
#include "SetupRun.h"
#include "StartMatrix.h"
#include "WizardModule.h"
#include "common/OptionReader.h"
#include "common/ProcessInfo.h"
#include "common/Split.h"
#include "setup/SetupExtract.h"
#include "setup/SetupReport.h"
#include "package/BinaryFile.h"
#include "package/PackageReader.h"
#include "package/SetupEntries.h"

namespace {

using Entries = std::vector<DirectoryEntry>;

// What the runtime was asked to do, with the setup it is part of.
struct Call {
    std::string Self;                 // the setup's own path
    std::string Shown;                // how it was started, for messages
    const BinaryFile* File = nullptr; // open on Self
    int64_t P = -1;                   // the package's offset, -1 when there is none
    const Entries* Package = nullptr; // its directory, for modes that need it
    std::string Operand;              // the mode's operand (a folder), when it takes one
    std::vector<std::string> Flags;
    WizardRequest Wizard; // --gui, --text, --hold

    bool Has(const std::string& flag) const {
        return std::find(Flags.begin(), Flags.end(), flag) != Flags.end();
    }
};

// One thing the runtime can do: the option that asks for it, its operand and
// the flags it accepts (blank-separated), whether it needs the package, and
// a line of help.
struct Mode {
    const char* Option;
    const char* Operand; // null when the mode takes none
    const char* Flags;
    bool NeedsPackage;
    const char* Help;
    int (*Run)(const Call&);
};

int ShowHelp(const Call& call);
int ShowVersion(const Call& call);
int ShowWelcome(const Call& call);

// No option: the wizard the start matrix picks, for a setup that carries a package.
int Install(const Call& call) {
    return StartWizard(call.Self, InstallOptions{}, call.Wizard);
}

int ShowInfo(const Call& call) {
    const std::string text = InfoText(SummarizePackage(*call.File, call.P, *call.Package));
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}

int ShowList(const Call& call) {
    const std::string text = ListText(*call.Package, call.P);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}

int Extract(const Call& call) {
    ExtractOptions options;
    options.All = call.Has("--all");
    options.Prefix = call.Shown + ": ";
    options.PackageAt = call.P;
    return ExtractSetup(*call.File, *call.Package, call.Operand, options) ? 1 : 0;
}

const Mode kModes[] = {
    {"--welcome", nullptr, "", true, "show the setup's caption and startup text", &ShowWelcome},
    {"--info", nullptr, "", true, "show the setup's lines and the sizes of its texts", &ShowInfo},
    {"--list", nullptr, "", true, "list the entries the setup carries", &ShowList},
    {"--extract", "DIR", "--all", true,
     "unpack the setup's files below DIR (--all: its own setup files too, below DIR/setup)",
     &Extract},
    {"--version", nullptr, "", false, "show the version and the size of this runtime",
     &ShowVersion},
    {"--help", nullptr, "", false, "show this help", &ShowHelp},
};

const Mode kInstall{"", nullptr, "", true, "", &Install};

void PrintUsage(FILE* out, const std::string& shown) {
    std::fprintf(out,
                 "usage: %s [OPTION]\n  (no option)            install the setup with its wizard "
                 "(see below)\n",
                 shown.c_str());
    for (const Mode& m : kModes) {
        std::string head = std::string(m.Option) + (m.Operand ? std::string(" ") + m.Operand : "");
        if (*m.Flags) head += std::string(" [") + m.Flags + "]";
        std::fprintf(out, "  %-22s %s\n", head.c_str(), m.Help);
    }
}

int ShowHelp(const Call& call) {
    PrintUsage(stdout, call.Shown);
    PrintInstallHelp(stdout);
    return 0;
}

int ShowVersion(const Call& call) {
    // The runtime is what comes before the package: the whole file when there
    // is none.
    const int64_t size = call.P >= 0 ? call.P : call.File->Length();
    std::printf("%s\nsetup runtime: %lld bytes\n", KAVELO_VERSION_LINE,
                static_cast<long long>(size));
    if (const size_t wizard = CarriedWizardSize())
        std::printf("graphical wizard: %zu bytes of it (packed)\n", wizard);
    return 0;
}

// text with control characters escaped, its line breaks kept.
std::string PrintableLines(const std::string& text) {
    std::string out;
    for (size_t from = 0;;) {
        const size_t at = text.find('\n', from);
        out += PrintableText(std::string_view(text).substr(from, at - from));
        if (at == std::string::npos) return out;
        out += '\n';
        from = at + 1;
    }
}

int ShowWelcome(const Call& call) {
    const DirectoryEntry* e = FindEntry(*call.Package, kSetupLinesName);
    const std::string lines = e ? ReadEntryContents(*call.File, *e) : std::string();
    std::printf("%s\n\n%s\n", PrintableLines(SetupLineText(lines, 0)).c_str(),
                PrintableLines(SetupLineText(lines, 1)).c_str());
    return 0;
}

// "Create & test setup" starts the setup with its own path as the argument,
// unquoted: a path with blanks arrives as several words.
bool IsOwnPath(const std::vector<char*>& args, const std::string& self) {
    std::string joined;
    for (size_t i = 1; i < args.size(); ++i)
        joined += (i > 1 ? " " : "") + std::string(args[i]);
    std::error_code ec;
    return joined.rfind("-", 0) != 0 && std::filesystem::equivalent(joined, self, ec);
}

// Takes --gui, --text and --hold out of the arguments into request.
std::vector<char*> TakeWizardOptions(int argc, char** argv, WizardRequest& request,
                                     bool& twoChoices) {
    std::vector<char*> rest = {argv[0]};
    twoChoices = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const WizardChoice choice = arg == "--gui"    ? WizardChoice::Graphical
                                    : arg == "--text" ? WizardChoice::Text
                                                      : WizardChoice::Either;
        if (choice != WizardChoice::Either) {
            twoChoices |= request.Choice != WizardChoice::Either && request.Choice != choice;
            request.Choice = choice;
        } else if (arg == "--hold") {
            request.Hold = true;
        } else {
            rest.push_back(argv[i]);
        }
    }
    return rest;
}

const Mode* FindMode(const std::string& option) {
    for (const Mode& m : kModes)
        if (option == m.Option || (option == "-h" && std::string(m.Option) == "--help")) return &m;
    return nullptr;
}

bool AcceptsFlag(const Mode& mode, const std::string& flag) {
    const std::string flags = std::string(" ") + mode.Flags + " ";
    return flags.find(" " + flag + " ") != std::string::npos;
}

// Every option word the runtime knows: each mode's option, "-h", and the
// flags of the modes.
std::vector<std::string> KnownOptions() {
    std::vector<std::string> names = {"-h"};
    for (const Mode& m : kModes) {
        names.emplace_back(m.Option);
        for (const std::string_view flag : SplitAt(m.Flags, " "))
            if (!flag.empty()) names.emplace_back(flag);
    }
    return names;
}

// The one mode the arguments ask for, with its operand and flags, in any
// order ("--" ends the options); null for any other command line.
const Mode* ParseArguments(int argc, char** argv, Call& call) {
    const std::vector<std::string> names = KnownOptions();
    std::vector<OptionSpec> known;
    for (const std::string& name : names)
        known.push_back({name.c_str(), nullptr, ""});
    const ReadArguments read =
        ReadOptions(std::vector<std::string>(argv + std::min(argc, 1), argv + argc), known);
    if (!read.Problem.empty()) return nullptr;
    const Mode* mode = nullptr;
    for (const auto& [option, value] : read.Options) {
        if (const Mode* m = FindMode(option)) {
            if (mode) return nullptr;
            mode = m;
        } else {
            call.Flags.push_back(option);
        }
    }
    const std::vector<std::string>& operands = read.Operands;
    if (!mode || operands.size() != (mode->Operand ? 1u : 0u)) return nullptr;
    for (const std::string& flag : call.Flags)
        if (!AcceptsFlag(*mode, flag)) return nullptr;
    if (mode->Operand) call.Operand = operands[0];
    return mode;
}

} // namespace

int main(int argc, char** argv) {
    Call call;
    call.Self = OwnPath();
    call.Shown = argc > 0 && argv[0] ? argv[0] : "setup";
    if (IsUninstallProgram(argv[0], call.Self)) return RunUninstall(argc, argv, call.Self);
    WizardRequest& request = call.Wizard;
    bool twoChoices = false;
    std::vector<char*> args = TakeWizardOptions(argc, argv, request, twoChoices);
    const int count = static_cast<int>(args.size());
    if (twoChoices || (request.Hold && request.Choice != WizardChoice::Text)) {
        std::fprintf(stderr, "%s: --gui and --text exclude each other; --hold goes with --text\n",
                     call.Shown.c_str());
        return 2;
    }
    // Installing has modes of its own; no option (or the setup's own path
    // alone) installs with a wizard.
    if (HasInstallOption(count, args.data()))
        return RunInstallMode(count, args.data(), call.Self, request);
    const Mode* mode = &kInstall;
    if (count > 1 && !IsOwnPath(args, call.Self))
        mode = request.Choice == WizardChoice::Either ? ParseArguments(count, args.data(), call)
                                                      : nullptr;
    if (!mode) {
        PrintUsage(stderr, call.Shown);
        return 2;
    }
    try {
        const BinaryFile file = BinaryFile::OpenRead(call.Self);
        call.File = &file;
        call.P = FindPackage(file);
        std::optional<Entries> entries;
        if (mode->NeedsPackage) {
            if (call.P < 0) {
                std::fprintf(stderr, "%s: this setup carries no package\n",
                             PrintableText(call.Self).c_str());
                return 1;
            }
            entries = ReadDirectory(file, call.P);
            call.Package = &*entries;
        }
        return mode->Run(call);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: damaged setup: %s\n", PrintableText(call.Self).c_str(),
                     PrintableText(e.what()).c_str());
        return 1;
    }
}
