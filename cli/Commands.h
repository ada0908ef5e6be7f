// The subcommands of kavelo. Each source file registers its own commands
// with a static CommandRegistrar; main.cpp dispatches and prints the help.
#pragma once

#include <string>
#include <vector>

class Module1;

struct Command {
    int order;            // place in the help text
    const char* name;     // "compress"
    const char* usage;    // "IN OUT"
    const char* summary;  // one line for --help
    // args excludes the program and the command name; returns the exit code.
    int (*run)(const std::vector<std::string>& args);
};

struct CommandRegistrar {
    explicit CommandRegistrar(const Command& command);
};

const std::vector<Command>& AllCommands();

// The one project of the run, with the tool's host.
Module1& Session();

// Prints "kavelo: <what>" to stderr and returns 1, for one-line error exits.
int Fail(const std::string& what);

// Reads or writes a whole file; on failure prints "kavelo: <path>: <reason>"
// and returns false. Only a regular file is read.
bool ReadInputFile(const std::string& path, std::string& bytes);
bool WriteWholeFile(const std::string& path, const std::string& bytes);
