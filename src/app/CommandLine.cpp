// Parsing the editor's few arguments.
#include "app/CommandLine.h"

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine line;
    std::vector<std::string> paths;
    std::string unknown;
    bool optionsEnd = false;
    for (const std::string& argument : arguments) {
        if (!optionsEnd && argument == "--") {
            optionsEnd = true;
        } else if (!optionsEnd && argument == "--version") {
            if (line.What == CommandLine::Action::Run) line.What = CommandLine::Action::Version;
        } else if (!optionsEnd && (argument == "--help" || argument == "-h")) {
            line.What = CommandLine::Action::Help;
        } else if (!optionsEnd && argument.size() > 1 && argument[0] == '-') {
            if (unknown.empty()) unknown = argument;
        } else {
            paths.push_back(argument);
        }
    }
    if (line.What != CommandLine::Action::Run) return line;
    if (!unknown.empty()) {
        line.What = CommandLine::Action::Error;
        line.Error = "unknown option " + unknown;
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
