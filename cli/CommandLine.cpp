#include "CommandLine.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace {

std::vector<Command>& Registry() {
    static std::vector<Command> commands;
    return commands;
}

const OptionSpec* FindOption(const Command& command, std::string_view name) {
    for (const OptionSpec& o : command.Options)
        if (name == o.Name) return &o;
    return nullptr;
}

struct Parsed {
    bool Help = false;
    std::string Problem; // a usage error when not empty
    std::vector<std::string> Operands;
    std::vector<std::pair<std::string, std::string>> Options;
};

// One option word at args[i] ("--name", "--name=value" or "--name value");
// returns the usage problem, empty when there is none.
std::string ReadOption(const Command& command, const std::vector<std::string>& args, size_t& i,
                       Parsed& p) {
    const std::string& arg = args[i];
    const size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    const OptionSpec* option = arg.starts_with("--") ? FindOption(command, name) : nullptr;
    if (!option) return "unknown option " + name;
    if (!option->Value && equals != std::string::npos) return name + " takes no value";
    if (option->Value && equals != std::string::npos)
        p.Options.emplace_back(name, arg.substr(equals + 1));
    else if (option->Value && i + 1 < args.size())
        p.Options.emplace_back(name, args[++i]);
    else if (option->Value)
        return name + " needs a value (" + option->Value + ")";
    else
        p.Options.emplace_back(name, "");
    return {};
}

Parsed Parse(const Command& command, const std::vector<std::string>& args) {
    Parsed p;
    bool optionsEnd = false;
    // Read to the end even after a problem: -h anywhere asks for the help.
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnd || arg == "-" || !arg.starts_with("-")) {
            p.Operands.push_back(arg);
        } else if (arg == "--") {
            optionsEnd = true;
        } else if (arg == "-h" || arg == "--help") {
            p.Help = true;
        } else if (std::string problem = ReadOption(command, args, i, p); p.Problem.empty()) {
            p.Problem = std::move(problem);
        }
    }
    const auto count = static_cast<int>(p.Operands.size());
    if (p.Problem.empty() && count < command.MinOperands)
        p.Problem = "missing operand (" + std::string(command.Operands) + ")";
    else if (p.Problem.empty() && command.MaxOperands >= 0 && count > command.MaxOperands)
        p.Problem =
            "unexpected operand \"" + p.Operands[static_cast<size_t>(command.MaxOperands)] + "\"";
    return p;
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

bool Invocation::Has(std::string_view option) const {
    return std::any_of(options_.begin(), options_.end(),
                       [&](const auto& o) { return o.first == option; });
}

std::string Invocation::Value(std::string_view option) const {
    std::string value;
    for (const auto& o : options_)
        if (o.first == option) value = o.second;
    return value;
}

std::vector<std::string> Invocation::Values(std::string_view option) const {
    std::vector<std::string> values;
    for (const auto& o : options_)
        if (o.first == option) values.push_back(o.second);
    return values;
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
    Parsed p = Parse(command, args);
    if (p.Help) {
        const std::string help = CommandHelp(command);
        std::fwrite(help.data(), 1, help.size(), stdout);
        return kExitOk;
    }
    const Invocation call(command, std::move(p.Operands), std::move(p.Options));
    if (!p.Problem.empty()) return call.UsageError(p.Problem);
    return command.Run(call);
}
