// The editor's command line: "kavelomaker [PATH]", "--version", "--help".
// Qt's own options (-platform, -style, ...) are taken out by Qt first.
#pragma once

#include <string>
#include <vector>

struct CommandLine {
    enum class Action { Run, Version, Help, Error };
    Action What = Action::Run;
    std::string Path;  // the setup to open; empty for the startup dialog
    std::string Error; // what is wrong, for Action::Error
};

// arguments without the program's name. "--version" or "--help" (also "-h")
// anywhere before "--" wins; "--" makes the next argument a path even when it
// starts with "-"; more than one path or an unknown option is an error.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The text --help prints.
std::string UsageText();
