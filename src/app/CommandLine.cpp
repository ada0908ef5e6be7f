// Reading the editor's few arguments with the one option reader.
#include "app/CommandLine.h"

#include "common/OptionReader.h"

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    static constexpr OptionSpec kKnown[] = {
        {"--version", nullptr, ""}, {"--help", nullptr, ""}, {"-h", nullptr, ""}};
    const ReadArguments read = ReadOptions(arguments, kKnown);
    const std::vector<std::string>& paths = read.Operands;
    CommandLine line;
    // Help before the version, and either before a problem.
    if (read.Has("--help") || read.Has("-h")) {
        line.What = CommandLine::Action::Help;
    } else if (read.Has("--version")) {
        line.What = CommandLine::Action::Version;
    } else if (!read.Problem.empty()) {
        line.What = CommandLine::Action::Error;
        line.Error = read.Problem;
    } else if (paths.size() > 1) {
        line.What = CommandLine::Action::Error;
        line.Error = "only one setup can be opened at a time";
    } else if (!paths.empty()) {
        line.Path = paths.front();
    }
    return line;
}

std::string UsageText() {
    return "usage: kavelomaker [PATH]\n"
           "  (no argument)  show the startup dialog\n"
           "  PATH           open the setup executable PATH for editing\n"
           "  --version      print the program's version and exit\n"
           "  --help         print this help and exit\n"
           "Qt's own options (-platform NAME, -style NAME, ...) are accepted as well.\n";
}
