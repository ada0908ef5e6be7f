// kavelo: builds, inspects and tries setups without a display.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "CliIo.h"
#include "CommandLine.h"
#include "project/SaveSetup.h"
#include "res/ProgramVersion.h"

namespace {

void PrintHelp(FILE* out) {
    std::fprintf(out, "kavelo - build, inspect and try KaveloMaker setups from the command line\n\n"
                      "usage: kavelo COMMAND [OPTIONS] [OPERANDS]\n\ncommands:\n");
    for (const Command& c : AllCommands()) {
        const std::string head = std::string(c.Name) + " " + c.Operands;
        std::fprintf(out, "  %-30s %s\n", head.c_str(), c.Summary);
    }
    std::fprintf(out,
                 "\n  kavelo COMMAND --help          a command's options\n"
                 "  kavelo --version               the version and the setup runtime in use\n"
                 "  kavelo --help                  this text\n\n"
                 "Options may stand before or after the operands; \"--\" ends the options; \"-\"\n"
                 "reads standard input or writes standard output where a file is read or\n"
                 "written whole. A SETUP that does not exist is tried with \".run\", then\n"
                 "\".exe\" appended.\n"
                 "Exit status: 0 done, 1 failed, 2 a command line the tool refuses.\n");
}

// The version line and the runtime every setup written now would start with.
int PrintVersion() {
    std::string dataFile;
    std::string why;
    const std::string runtime = LoadRuntime(SaveOptions{}, dataFile, why);
    std::printf("%s\n", VersionLine().c_str());
    if (runtime.empty())
        std::printf("setup runtime: none (%s: %s)\n", dataFile.c_str(), why.c_str());
    else if (why.empty())
        std::printf("setup runtime: %zu bytes, %s\n", runtime.size(), dataFile.c_str());
    else
        std::printf("setup runtime: %zu bytes, built in (%s: %s)\n", runtime.size(),
                    dataFile.c_str(), why.c_str());
    return runtime.empty() ? kExitFailure : kExitOk;
}

int Dispatch(const std::vector<std::string>& args) {
    if (args.empty()) {
        PrintHelp(stderr);
        return kExitUsage;
    }
    const std::string& name = args[0];
    if (name == "--help" || name == "-h" || name == "help") {
        if (args.size() > 1) {
            if (const Command* c = FindCommand(args[1])) {
                const std::string help = CommandHelp(*c);
                std::fwrite(help.data(), 1, help.size(), stdout);
                return kExitOk;
            }
            Note("unknown command \"" + args[1] + "\" (see kavelo --help)");
            return kExitUsage;
        }
        PrintHelp(stdout);
        return kExitOk;
    }
    if (name == "--version" && args.size() == 1) return PrintVersion();
    if (const Command* c = FindCommand(name))
        return RunCommand(*c, std::vector<std::string>(args.begin() + 1, args.end()));
    Note("unknown command \"" + name + "\" (see kavelo --help)");
    return kExitUsage;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return Dispatch(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& e) {
        // Running out of memory among them: said, never swallowed.
        return Fail(e.what());
    }
}
