// The editor's arguments and the setup paths it derives: the ".exe" rule,
// opening a setup named without it, and absolute paths.
#include "app/CommandLine.h"
#include "app/StartupPaths.h"
#include "project/SetupFileName.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "TestHost.h"

namespace {

using Action = CommandLine::Action;

TEST(CommandLine, ArgumentsGiveActionAndPath) {
    struct Case {
        std::vector<std::string> arguments;
        Action what;
        std::string path;
    };
    const Case cases[] = {
        {{}, Action::Run, ""},
        {{"demo.exe"}, Action::Run, "demo.exe"},
        {{"--version"}, Action::Version, ""},
        {{"demo.exe", "--help"}, Action::Help, ""},
        {{"-h"}, Action::Help, ""},
        {{"--version", "--help"}, Action::Help, ""},
        {{"--bogus", "--version"}, Action::Version, ""},
        {{"--", "--version"}, Action::Run, "--version"},
        {{"--", "-"}, Action::Run, "-"},
        {{"-"}, Action::Run, "-"}, // a file named "-" is a path
        {{"my setup.exe"}, Action::Run, "my setup.exe"},
        {{"--bogus"}, Action::Error, ""},
        {{"a.exe", "b.exe"}, Action::Error, ""},
        {{"a.exe", "--", "b.exe"}, Action::Error, ""},
    };
    for (const Case& c : cases) {
        const CommandLine line = ParseCommandLine(c.arguments);
        EXPECT_EQ(line.What, c.what) << ::testing::PrintToString(c.arguments);
        EXPECT_EQ(line.Path, c.path) << ::testing::PrintToString(c.arguments);
        EXPECT_EQ(line.Error.empty(), c.what != Action::Error);
    }
}

TEST(SetupFileName, RunIsAppendedUnlessTheNameEndsInRunOrExeInAnyCase) {
    const std::pair<const char*, const char*> cases[] = {
        {"demo", "demo.run"},     {"demo.exe", "demo.exe"},   {"DEMO.EXE", "DEMO.EXE"},
        {"Demo.Run", "Demo.Run"}, {"demo.ex", "demo.ex.run"}, {"a/b.txt", "a/b.txt.run"},
        {".run", ".run"},         {"run", "run.run"},         {"demo.run", "demo.run"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(WithSetupExtension(in), out) << in;
}

TEST(SetupFileName, OpeningTriesRunThenExeThenTheNameItself) {
    TempDir dir;
    WriteFile(dir / "plain", "x");
    WriteFile(dir / "both", "x");
    WriteFile(dir / "both.exe", "x");
    WriteFile(dir / "all.exe", "x");
    WriteFile(dir / "all.run", "x");
    std::filesystem::create_directory(dir / "folder");
    EXPECT_EQ(SetupToOpen(dir / "plain"), dir / "plain");
    EXPECT_EQ(SetupToOpen(dir / "both"), dir / "both.exe");
    EXPECT_EQ(SetupToOpen(dir / "all"), dir / "all.run");
    EXPECT_EQ(SetupToOpen(dir / "missing"), dir / "missing.run");
    EXPECT_EQ(SetupToOpen(dir / "folder"), dir / "folder.run");
    EXPECT_EQ(SetupToOpen(dir / "both.exe"), dir / "both.exe");
    EXPECT_EQ(SetupToOpen(dir / "gone.EXE"), dir / "gone.EXE");
}

} // namespace
