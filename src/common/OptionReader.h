// The one reader of command lines, for kavelo, the editor and the setup
// runtime: options and operands in any order, "--" ends the options, "-" is
// an operand, and an option that takes a value has it as "--name=value" or
// "--name value".
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct OptionSpec {
    const char* Name;  // "--json"
    const char* Value; // "FILE" for an option that takes a value, null for a flag
    const char* Help;
};

struct ReadArguments {
    // The options given, in order: name and value ("" for a flag).
    std::vector<std::pair<std::string, std::string>> Options;
    std::vector<std::string> Operands;
    // The first word refused ("unknown option --x", "--x takes no value",
    // "--x needs a value (FILE)"); empty when there is none. Reading goes on
    // after it, so that a later "--help" is still seen.
    std::string Problem;

    bool Has(std::string_view name) const;
    // The value given last for name; empty when it was not given.
    std::string Value(std::string_view name) const;
    // Every value given for name, in order.
    std::vector<std::string> Values(std::string_view name) const;
};

// Reads args (the words after the program's or command's name) against the
// options known.
ReadArguments ReadOptions(const std::vector<std::string>& args, std::span<const OptionSpec> known);
