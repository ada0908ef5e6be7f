// The subcommands of kavelo and how their command lines are read. Each source
// file registers its commands with a static CommandRegistrar; main.cpp
// dispatches and prints the help. Every command answers -h/--help, takes its
// options before or after its operands, stops reading options at "--", and
// reads "-" as an operand.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/OptionReader.h"

// Exit statuses of every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1; // the command could not do its work
inline constexpr int kExitUsage = 2;   // the command line asks for something the tool refuses

class Invocation;

struct Command {
    int Order;            // place in the help text
    const char* Name;     // "add"
    const char* Operands; // "SETUP FILE..."
    int MinOperands;
    int MaxOperands; // -1: no limit
    std::vector<OptionSpec> Options;
    const char* Summary; // one line for the help
    int (*Run)(const Invocation& call);
};

struct CommandRegistrar {
    explicit CommandRegistrar(Command command);
};

// Every command, in help order.
const std::vector<Command>& AllCommands();
const Command* FindCommand(std::string_view name);

// A command line read against its command.
class Invocation {
  public:
    Invocation(const Command& command, ReadArguments read)
        : command_(command), read_(std::move(read)) {}

    const Command& Cmd() const { return command_; }
    const std::vector<std::string>& Operands() const { return read_.Operands; }
    const std::string& Operand(size_t k) const { return read_.Operands[k]; }
    bool Has(std::string_view option) const { return read_.Has(option); }
    // The value given last for option; empty when it was not given.
    std::string Value(std::string_view option) const { return read_.Value(option); }
    // Every value given for option, in order.
    std::vector<std::string> Values(std::string_view option) const { return read_.Values(option); }

    // Prints "kavelo: NAME: problem" and the usage line to standard error;
    // returns kExitUsage.
    int UsageError(const std::string& problem) const;

  private:
    const Command& command_;
    ReadArguments read_;
};

// Reads args (the words after the command's name) and runs the command, or
// prints its help (status 0) or a usage error (status 2).
int RunCommand(const Command& command, const std::vector<std::string>& args);

// The command's help: usage line, summary and options.
std::string CommandHelp(const Command& command);
// "usage: kavelo NAME OPERANDS [OPTIONS]"
std::string UsageLine(const Command& command);
