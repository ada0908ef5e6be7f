// kavelo: builds, inspects and tries setups without a display.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>

#include "Commands.h"
#include "common/Errors.h"
#include "common/WholeFile.h"
#include "project/Session.h"

namespace {
std::vector<Command>& Registry() {
    static std::vector<Command> commands;
    return commands;
}

void PrintHelp(FILE* out) {
    std::fprintf(out,
                 "kavelo - build, inspect and try KaveloMaker setups from the command line\n\n"
                 "usage: kavelo COMMAND [ARGS...]\n\ncommands:\n");
    for (const Command& c : AllCommands()) {
        std::string head = std::string(c.name) + " " + c.usage;
        std::fprintf(out, "  %-40s %s\n", head.c_str(), c.summary);
    }
    std::fprintf(out, "\n  kavelo --help                            this text\n");
}
}  // namespace

CommandRegistrar::CommandRegistrar(const Command& command) {
    auto& r = Registry();
    r.insert(std::upper_bound(r.begin(), r.end(), command,
                              [](const Command& a, const Command& b) { return a.order < b.order; }),
             command);
}

const std::vector<Command>& AllCommands() { return Registry(); }

Module1& Session() {
    static Module1 session;
    return session;
}

int Fail(const std::string& what) {
    std::fprintf(stderr, "kavelo: %s\n", what.c_str());
    return 1;
}

bool ReadInputFile(const std::string& path, std::string& bytes) {
    try {
        bytes = ReadWholeFile(path);
        return true;
    } catch (const KaveloError& e) {
        Fail(e.what());
        return false;
    }
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out || !out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())) ||
        !out.flush()) {
        Fail(path + ": cannot write: " + std::strerror(errno));
        return false;
    }
    return true;
}

int main(int argc, char** argv) {
    if (argc < 2) {
        PrintHelp(stderr);
        return 2;
    }
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        PrintHelp(stdout);
        return 0;
    }
    for (const Command& c : AllCommands()) {
        if (name != c.name) continue;
        try {
            return c.run(std::vector<std::string>(argv + 2, argv + argc));
        } catch (const std::exception& e) {
            // Running out of memory among them: said, never swallowed.
            return Fail(name + ": " + e.what());
        }
    }
    std::fprintf(stderr, "kavelo: unknown command '%s' (see kavelo --help)\n", name.c_str());
    return 2;
}
