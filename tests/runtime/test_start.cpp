// How a setup starts with no installing option: the start matrix checked by
// exit status and by what the stand-in programs it starts were given, with
// no terminal (standard input and output are no terminals here).
#include <gtest/gtest.h>

#include "InstallSandbox.h"

namespace {

const std::string kKavelo = KAVELO_PATH;

// A stand-in program that writes its arguments, one a line, to NAME.args
// beside it and exits with status.
void StandIn(const Sandbox& box, const std::string& name, int status) {
    const std::string path = box / ("bin/" + name);
    WriteFile(path,
              "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$0.args\"\nexit " +
                  std::to_string(status) + "\n");
    ::chmod(path.c_str(), 0755);
}

// Qt 6 made unloadable: empty files where its libraries are looked for first.
void MakeBrokenQt(const Sandbox& box) {
    std::filesystem::create_directories(box / "badqt");
    for (const char* name : {"libQt6Core.so.6", "libQt6Gui.so.6", "libQt6Widgets.so.6"})
        WriteFile(box / ("badqt/" + std::string(name)), "");
}

TEST(StartMatrix, EachPlaceStartsItsWayOrSaysWhy) {
    const struct {
        std::string name;
        std::vector<std::string> env;       // besides PATH=BOX/bin
        std::vector<std::string> standIns;  // in BOX/bin
        std::vector<std::string> arguments; // after the setup
        int status;
        std::string says;       // on standard output or error
        std::string calledWith; // STANDIN:ARGUMENTS (empty: any that name --unattended)
    } cases[] = {
        {"nothing to ask in", {}, {"notify-send"}, {}, 6, "--unattended", "notify-send:"},
        {"own path alone is no option", {}, {}, {"SELF"}, 6, "--unattended", ""},
        {"a display without a terminal opens an emulator",
         {"DISPLAY=:77"},
         {"x-terminal-emulator"},
         {},
         0,
         "",
         "x-terminal-emulator:-e\nSELF\n--text\n--hold\n"},
        {"presets go along",
         {"DISPLAY=:77"},
         {"x-terminal-emulator"},
         {"--dir", "/x y"},
         0,
         "",
         "x-terminal-emulator:-e\nSELF\n--text\n--hold\n--dir\n/x y\n"},
        {"$TERMINAL when there is no x-terminal-emulator",
         {"WAYLAND_DISPLAY=wayland-9", "TERMINAL=myterm"},
         {"myterm", "xterm"},
         {},
         0,
         "",
         "myterm:-e\nSELF\n--text\n--hold\n"},
        {"a display with no emulator says so",
         {"DISPLAY=:77"},
         {"notify-send"},
         {},
         6,
         "no terminal emulator",
         "notify-send:"},
        {"Qt that cannot be loaded: the message",
         {"DISPLAY=:77", "QT_QPA_PLATFORM=offscreen", "LD_LIBRARY_PATH=BOX/badqt"},
         {},
         {},
         6,
         "the graphical wizard could not start",
         ""},
        {"--gui with Qt that cannot be loaded says why",
         {"DISPLAY=:77", "QT_QPA_PLATFORM=offscreen", "LD_LIBRARY_PATH=BOX/badqt"},
         {},
         {"--gui"},
         6,
         "libQt6",
         ""},
        {"--gui without a display", {}, {}, {"--gui"}, 6, "--gui needs a display", ""},
        {"--text without a terminal", {}, {}, {"--text"}, 6, "--text needs a terminal", ""},
        {"--gui and --text", {}, {}, {"--gui", "--text"}, 2, "exclude each other", ""},
        {"--text with --unattended", {}, {}, {"--text", "--unattended"}, 2, "--gui and --text", ""},
        {"--welcome shows the old greeting",
         {},
         {},
         {"--welcome"},
         0,
         "My Application setup\n\nThis will install My Application\n",
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Sandbox box;
        std::filesystem::create_directories(box / "bin");
        const std::string setup = box / "src/demo.run";
        ASSERT_EQ(RunCommand({kKavelo, "new", setup}).status, 0);
        for (const std::string& name : c.standIns)
            StandIn(box, name, 0);
        MakeBrokenQt(box);
        box.HandOver();
        box.SetEnv("PATH=" + box / "bin");
        for (std::string e : c.env) {
            if (const size_t at = e.find("BOX"); at != std::string::npos)
                e.replace(at, 3, box / "");
            box.SetEnv(e);
        }
        std::vector<std::string> command = {setup};
        for (const std::string& a : c.arguments)
            command.push_back(a == "SELF" ? setup : a);
        const TreeSnapshot before = box.Tree();
        const RunResult r = RunCommand(box.Words(command));
        EXPECT_EQ(r.status, c.status) << r.out;
        EXPECT_TRUE(Contains(r.out, c.says)) << r.out;
        if (!c.calledWith.empty()) {
            const size_t colon = c.calledWith.find(':');
            std::string expected = c.calledWith.substr(colon + 1);
            for (size_t at; (at = expected.find("SELF")) != std::string::npos;)
                expected.replace(at, 4, setup);
            const std::string args =
                ReadFile(box / ("bin/" + c.calledWith.substr(0, colon) + ".args"));
            EXPECT_TRUE(expected.empty() ? Contains(args, "--unattended") : args == expected)
                << args;
        }
        // Nothing was installed: only the stand-ins' records are new.
        TreeSnapshot after = box.Tree();
        std::erase_if(after, [](const auto& e) { return e.first.ends_with(".args"); });
        EXPECT_EQ(SnapshotDifference(before, after), "");
    }
}

} // namespace
