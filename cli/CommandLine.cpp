#include "CommandLine.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace {

std::vector<Command>& Registry() {
    static std::vector<Command> commands;
    return commands;
}

// The command's options and -h/--help, read with the one option reader; a
// usage problem for a count of operands the command does not take.
ReadArguments Parse(const Command& command, const std::vector<std::string>& args) {
    std::vector<OptionSpec> known = command.Options;
    known.push_back({"-h", nullptr, ""});
    known.push_back({"--help", nullptr, ""});
    ReadArguments read = ReadOptions(args, known);
    const auto count = static_cast<int>(read.Operands.size());
    if (read.Problem.empty() && count < command.MinOperands)
        read.Problem = "missing operand (" + std::string(command.Operands) + ")";
    else if (read.Problem.empty() && command.MaxOperands >= 0 && count > command.MaxOperands)
        read.Problem = "unexpected operand \"" +
                       read.Operands[static_cast<size_t>(command.MaxOperands)] + "\"";
    return read;
}

} // namespace

CommandRegistrar::CommandRegistrar(Command command) {
    auto& r = Registry();
    const auto at = std::upper_bound(r.begin(), r.end(), command.Order,
                                     [](int order, const Command& c) { return order < c.Order; });
    r.insert(at, std::move(command));
}

const std::vector<Command>& AllCommands() {
    return Registry();
}

const Command* FindCommand(std::string_view name) {
    for (const Command& c : Registry())
        if (name == c.Name) return &c;
    return nullptr;
}

int Invocation::UsageError(const std::string& problem) const {
    std::fprintf(stderr, "kavelo: %s: %s\n%s\n(kavelo %s --help tells more)\n", command_.Name,
                 problem.c_str(), UsageLine(command_).c_str(), command_.Name);
    return kExitUsage;
}

std::string UsageLine(const Command& command) {
    std::string line = std::string("usage: kavelo ") + command.Name;
    if (*command.Operands) line += std::string(" ") + command.Operands;
    for (const OptionSpec& o : command.Options)
        line += std::string(" [") + o.Name + (o.Value ? std::string(" ") + o.Value : "") + "]";
    return line;
}

std::string CommandHelp(const Command& command) {
    std::string text = UsageLine(command) + "\n" + command.Summary + "\n\noptions:\n";
    std::vector<std::pair<std::string, std::string>> rows;
    for (const OptionSpec& o : command.Options)
        rows.emplace_back(std::string(o.Name) + (o.Value ? std::string(" ") + o.Value : ""),
                          o.Help);
    rows.emplace_back("-h, --help", "show this help");
    for (const auto& [head, help] : rows) {
        char line[512];
        std::snprintf(line, sizeof line, "  %-22s %s\n", head.c_str(), help.c_str());
        text += line;
    }
    return text;
}

int RunCommand(const Command& command, const std::vector<std::string>& args) {
    ReadArguments read = Parse(command, args);
    if (read.Has("-h") || read.Has("--help")) {
        const std::string help = CommandHelp(command);
        std::fwrite(help.data(), 1, help.size(), stdout);
        return kExitOk;
    }
    const std::string problem = read.Problem;
    const Invocation call(command, std::move(read));
    if (!problem.empty()) return call.UsageError(problem);
    return command.Run(call);
}
