#include "common/OptionReader.h"

#include <algorithm>

namespace {

const OptionSpec* FindOption(std::span<const OptionSpec> known, std::string_view name) {
    for (const OptionSpec& o : known)
        if (name == o.Name) return &o;
    return nullptr;
}

// One option word at args[i]; returns the problem, empty when there is none.
std::string ReadOption(std::span<const OptionSpec> known, const std::vector<std::string>& args,
                       size_t& i, ReadArguments& read) {
    const std::string& arg = args[i];
    const size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    const OptionSpec* option = FindOption(known, name);
    if (!option) return "unknown option " + name;
    if (!option->Value && equals != std::string::npos) return name + " takes no value";
    if (option->Value && equals != std::string::npos)
        read.Options.emplace_back(name, arg.substr(equals + 1));
    else if (option->Value && i + 1 < args.size())
        read.Options.emplace_back(name, args[++i]);
    else if (option->Value)
        return name + " needs a value (" + option->Value + ")";
    else
        read.Options.emplace_back(name, "");
    return {};
}

} // namespace

ReadArguments ReadOptions(const std::vector<std::string>& args, std::span<const OptionSpec> known) {
    ReadArguments read;
    bool optionsEnd = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnd || arg == "-" || !arg.starts_with("-")) {
            read.Operands.push_back(arg);
        } else if (arg == "--") {
            optionsEnd = true;
        } else if (std::string problem = ReadOption(known, args, i, read); read.Problem.empty()) {
            read.Problem = std::move(problem);
        }
    }
    return read;
}

bool ReadArguments::Has(std::string_view name) const {
    return std::any_of(Options.begin(), Options.end(),
                       [&](const auto& o) { return o.first == name; });
}

std::string ReadArguments::Value(std::string_view name) const {
    std::string value;
    for (const auto& o : Options)
        if (o.first == name) value = o.second;
    return value;
}

std::vector<std::string> ReadArguments::Values(std::string_view name) const {
    std::vector<std::string> values;
    for (const auto& o : Options)
        if (o.first == name) values.push_back(o.second);
    return values;
}
