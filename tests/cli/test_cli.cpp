// The kavelo tool and the setup runtime end to end: building a setup from the
// command line, running it, and unpacking hostile setups safely.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>

#include "CliRun.h"
#include "PackageBuilder.h"
#include "TestHost.h"

namespace {

const std::string kKavelo = KAVELO_PATH;
const std::string kRuntime = RUNTIME_PATH;

TEST(Cli, NewAddListInfoExtract) {
    TempDir dir;
    const std::string setup = dir / "demo";
    ASSERT_EQ(Spawn({kKavelo, "new", setup}).status, 0);
    // A name without an extension gets ".run"; commands find it by its name
    // alone, and under its ".run" name below.
    ASSERT_TRUE(std::filesystem::exists(setup + ".run"));
    struct stat st {};
    ASSERT_EQ(stat((setup + ".run").c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IXUSR);
    ASSERT_EQ(Spawn({kKavelo, "info", setup}).status, 0);
    WriteFile(dir / "Notes.TXT", "some notes\r\n");
    ASSERT_EQ(Spawn({kKavelo, "add", setup + ".run", (dir / "Notes.TXT")}).status, 0);
    ASSERT_EQ(Spawn({kKavelo, "set", setup + ".run", "caption", "Notes setup"}).status, 0);
    ASSERT_EQ(Spawn({kKavelo, "set", setup + ".run", "license", "notes.txt"}).status, 0);
    EXPECT_NE(Spawn({kKavelo, "set", setup + ".run", "license", "missing.txt"}).status, 0);
    EXPECT_NE(Spawn({kKavelo, "set", setup + ".run", "colour", "red"}).status, 0);

    const ShellResult list = Spawn({setup + ".run", "--list"});
    ASSERT_EQ(list.status, 0);
    for (const char* name : {"setup\\picture.bmp", "setup\\script.txt", "setup\\setup.txt",
                             "setup\\strings.txt", "myapp.exe", "notes.txt"})
        EXPECT_NE(list.out.find(name), std::string::npos) << name;

    const ShellResult welcome = Spawn({setup + ".run", "--welcome"});
    EXPECT_EQ(welcome.status, 0);
    EXPECT_EQ(welcome.out.rfind("Notes setup\n\nThis will install My Application\n", 0), 0u);

    const ShellResult info = Spawn({kKavelo, "info", setup + ".run"});
    EXPECT_NE(info.out.find("license           notes.txt"), std::string::npos);
    EXPECT_NE(info.out.find("files             2"), std::string::npos);
    // The runtime's size, told the same by the tool and by the setup itself.
    const std::string runtimeLine =
        "runtime           " + std::to_string(ReadFile(kRuntime).size()) + " bytes\n";
    EXPECT_NE(info.out.find(runtimeLine), std::string::npos) << info.out;
    EXPECT_NE(Spawn({setup + ".run", "--info"}).out.find(runtimeLine), std::string::npos);

    ASSERT_EQ(Spawn({setup + ".run", "--extract", (dir / "out"), "--all"}).status, 0);
    EXPECT_EQ(ReadFile(dir / "out/notes.txt"), "some notes\r\n");
    EXPECT_EQ(ReadFile(dir / "out/setup/strings.txt").size(), 64u);

    ASSERT_EQ(Spawn({kKavelo, "remove", setup + ".run", "NOTES.TXT"}).status, 0);
    EXPECT_EQ(Spawn({setup + ".run", "--list"}).out.find("notes.txt"), std::string::npos);
    EXPECT_NE(Spawn({kKavelo, "remove", setup + ".run", "nothere"}).status, 0);
}

TEST(Cli, CompressionIsChosenKeptShownAndReadByTheSetup) {
    TempDir dir;
    const std::string setup = dir / "z.exe";
    EXPECT_EQ(Spawn({kKavelo, "new", setup, "--compression", "lzma"}).status, 2);
    ASSERT_EQ(Spawn({kKavelo, "new", setup, "--compression", "zstd"}).status, 0);
    std::string notes;
    for (int i = 0; i < 400; ++i)
        notes += "note " + std::to_string(i % 10) + " of a long list\r\n";
    WriteFile(dir / "notes.txt", notes);
    ASSERT_EQ(Spawn({kKavelo, "add", setup, (dir / "notes.txt")}).status, 0);
    EXPECT_NE(Spawn({kKavelo, "info", setup}).out.find("compression       zstd\n"),
              std::string::npos);
    // The form is the last word of the file's line in the listing.
    const std::string list = Spawn({kKavelo, "list", setup}).out;
    const size_t at = list.find("notes.txt");
    ASSERT_NE(at, std::string::npos);
    const std::string line = list.substr(at, list.find('\n', at) - at);
    EXPECT_EQ(line.substr(line.rfind(' ') + 1), "zstd");
    ASSERT_EQ(Spawn({setup, "--extract", (dir / "out")}).status, 0);
    EXPECT_EQ(ReadFile(dir / "out/notes.txt"), notes);

    EXPECT_EQ(Spawn({kKavelo, "set", setup, "compression", "gzip"}).status, 2);
    ASSERT_EQ(Spawn({kKavelo, "set", setup, "compression", "huffman"}).status, 0);
    EXPECT_NE(Spawn({kKavelo, "info", "--json", setup}).out.find("\"compression\": \"huffman\""),
              std::string::npos);
    EXPECT_NE(
        Spawn({kKavelo, "list", "--json", setup}).out.find("\"name\": \"notes.txt\", \"flags\": 1"),
        std::string::npos);
}

// "Create & test setup" starts the setup with its path after it, not quoted:
// a path with blanks reaches the runtime as several arguments, and counts as
// no option: with no display and no terminal, the setup says how to install.
TEST(Runtime, OwnPathWithBlanksAsArgumentIsNoOption) {
    TempDir dir;
    std::filesystem::create_directory(dir / "My Setups");
    const std::string setup = dir / "My Setups/demo app.exe";
    ASSERT_EQ(Spawn({kKavelo, "new", setup}).status, 0);
    // The path after it split at its blanks, as a command line without quotes splits it.
    std::vector<std::string> bare = {
        "env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "PATH=/nonexistent", setup};
    for (std::string& word : Words(setup))
        bare.push_back(std::move(word));
    const ShellResult started = Spawn(bare, true);
    EXPECT_EQ(started.status, 6);
    EXPECT_NE(started.out.find("--unattended"), std::string::npos) << started.out;
    const ShellResult welcome = Spawn({setup, "--welcome"});
    EXPECT_EQ(welcome.status, 0);
    EXPECT_EQ(welcome.out.rfind("My Application setup\n\nThis will install My Application\n", 0),
              0u);
    // Other stray words are still a usage error.
    bare.push_back("extra");
    EXPECT_EQ(Spawn(bare).status, 2);
}

TEST(Cli, ListShowsTheDirectoryOrSaysThereIsNone) {
    TempDir dir;
    WriteFile(dir / "pkg.bin", BuildSetup("HOSTBYTES", {{"setup\\a.txt", "aaaa"}, {"b.bin", ""}}));
    const ShellResult list = Spawn({kKavelo, "list", (dir / "pkg.bin")});
    EXPECT_EQ(list.status, 0);
    EXPECT_NE(list.out.find("setup\\a.txt"), std::string::npos);
    EXPECT_NE(list.out.find("b.bin"), std::string::npos);
    WriteFile(dir / "plain.bin", "just bytes, no package at all");
    const ShellResult none = Spawn({kKavelo, "list", (dir / "plain.bin")}, true);
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.out.find((dir / "plain.bin") + ": no package found"), std::string::npos);
    EXPECT_NE(Spawn({kKavelo, "list", (dir / "missing")}).status, 0);
}

TEST(Cli, ScriptIsReplacedAndPrinted) {
    TempDir dir;
    const std::string setup = dir / "s.exe";
    ASSERT_EQ(Spawn({kKavelo, "new", setup, "--empty"}).status, 0);
    WriteFile(dir / "script.txt", "[Create]\r\nLabel 1\r\n");
    WriteFile(dir / "strings.txt", "Hello\r\n");
    ASSERT_EQ(Spawn({kKavelo, "script", setup, "--set", (dir / "script.txt"), "--strings",
                     (dir / "strings.txt")})
                  .status,
              0);
    const ShellResult shown = Spawn({kKavelo, "script", setup});
    EXPECT_EQ(shown.out, "[Create]\r\nLabel 1\r\n\n[strings]\nHello\r\n");
}

// The Install button on a new project: the seven lines of the template's
// install script, then the two empty lines the test window adds.
TEST(Cli, SimulateOnANewProjectPrintsTheTemplatesInstallation) {
    TempDir dir;
    const std::string setup = dir / "x.exe";
    ASSERT_EQ(Spawn({kKavelo, "new", setup}).status, 0);
    const std::string target = "C:\\Programmes\\MyDirectory\\MyApp.exe";
    const std::string shortcut = "name=Start My Application; Target=" + target + "; Params=\n";
    const ShellResult sim = Spawn({kKavelo, "simulate", "--paths", "windows", setup});
    EXPECT_EQ(sim.status, 0);
    EXPECT_EQ(sim.out, "    AbortInstallation if < 1.0): " + target + "\n" +
                           "        Check ,1,,MyApp.exe,,,1.0\n" +
                           "    (DeleteFile): C:\\Programmes\\MyDirectory\\MyApp.log\n" +
                           "    Copy: MyApp.exe -> " + target + "\n" + "    CreateShortcut " +
                           shortcut + "    CreateDesktopIcon " + shortcut +
                           "    (CreateQuickLaunchIcon) " + shortcut + "\n\n");

    // Unticking the check box runs its event, which ticks it again.
    const ShellResult panel = Spawn({kKavelo, "panel", setup, "--click", "1", "--json"});
    EXPECT_EQ(panel.status, 0);
    EXPECT_NE(panel.out.find("\"kind\": \"check\", \"index\": 1, \"id\": 1"), std::string::npos);
    EXPECT_NE(panel.out.find("\"checked\": true, \"value\": 1}"), std::string::npos);
    EXPECT_NE(Spawn({kKavelo, "panel", setup, "--click", "99"}).status, 0);
}

// --paths windows prints, byte for byte, what simulate printed before it
// learnt Linux paths: recorded for a script that reaches every kind of line.
TEST(Cli, SimulateWithWindowsPathsKeepsTheRecordedReport) {
    TempDir dir;
    const std::string setup = dir / "x.exe";
    const std::string data = CLI_DATA "/simulate/";
    ASSERT_EQ(Spawn({kKavelo, "new", setup}).status, 0);
    ASSERT_EQ(Spawn({kKavelo, "script", setup, "--set", data + "script.txt", "--strings",
                     data + "strings.txt"})
                  .status,
              0);
    const ShellResult sim = Spawn({kKavelo, "simulate", setup, "--paths", "windows"});
    EXPECT_EQ(sim.status, 0);
    EXPECT_EQ(sim.out, ReadFile(data + "windows.txt"));
}

// By default the paths are this machine's, per user; --as root gives the
// root installation's; a target no Linux installation can use is a warning,
// which check reports.
TEST(Cli, SimulateShowsTheInstallationsLinuxPaths) {
    TempDir dir;
    const std::string setup = dir / "x.exe";
    ASSERT_EQ(Spawn({kKavelo, "new", setup}).status, 0);
    const std::vector<std::string> env = {"env", "HOME=" + (dir / "home"),
                                          "XDG_DATA_HOME=", kKavelo};
    const std::string user = dir / "home/.local/opt/My Company/My Application";
    const struct {
        std::string options;
        std::string copy;
    } cases[] = {
        {"", "    Copy: MyApp.exe -> " + user + "/MyApp.exe\n"},
        {"--as user", "    Copy: MyApp.exe -> " + user + "/MyApp.exe\n"},
        {"--as root", "    Copy: MyApp.exe -> /opt/My Company/My Application/MyApp.exe\n"},
        {"--paths linux --as root",
         "    Copy: MyApp.exe -> /opt/My Company/My Application/MyApp.exe\n"},
    };
    for (const auto& c : cases) {
        const ShellResult sim = Spawn(Words(c.options, Words("simulate " + setup, env)));
        EXPECT_EQ(sim.status, 0) << c.options;
        EXPECT_NE(sim.out.find(c.copy), std::string::npos) << c.options << "\n" << sim.out;
        EXPECT_EQ(sim.out.find("C:\\"), std::string::npos) << c.options;
    }
    for (const char* wrong : {"--paths mac", "--as admin", "--paths windows --as root"})
        EXPECT_EQ(Spawn(Words(wrong, {kKavelo, "simulate", setup})).status, 2) << wrong;

    WriteFile(dir / "s.txt", "[Install]\r\nCopy myapp.exe,99,D:\\Apps,a.exe\r\n");
    ASSERT_EQ(Spawn({kKavelo, "script", setup, "--set", (dir / "s.txt")}).status, 0);
    const ShellResult check = Spawn(Words("check " + setup, env), true);
    EXPECT_EQ(check.status, 1);
    EXPECT_NE(check.out.find("### Warning: D:/Apps/a.exe: is not an absolute path: Copy "
                             "myapp.exe,99,D:\\Apps,a.exe"),
              std::string::npos)
        << check.out;
    // The example paths do not hide what the installer refuses.
    EXPECT_EQ(Spawn({kKavelo, "check", "--paths", "windows", setup}).status, 1);
}

// check fails on every line an installation per user or as root refuses, in
// the installer's words; a data home the installer refuses is one of them.
TEST(Cli, CheckTellsWhatEitherMappingRefuses) {
    TempDir dir;
    const std::string setup = dir / "x.exe";
    ASSERT_EQ(Spawn({kKavelo, "new", setup}).status, 0);
    WriteFile(dir / "s.txt", "[Install]\r\nCopy myapp.exe,99,\\usr\\local\\bin,myapp\r\n");
    ASSERT_EQ(Spawn({kKavelo, "script", setup, "--set", (dir / "s.txt")}).status, 0);
    const ShellResult check =
        Spawn({"env", "HOME=" + (dir / "home"), "XDG_DATA_HOME=", kKavelo, "check", setup});
    EXPECT_EQ(check.status, 1);
    // The command folder for root, outside the user's folders.
    EXPECT_EQ(check.err, "kavelo: " + setup +
                             ": per user: Copy myapp.exe,99,\\usr\\local\\bin,myapp: "
                             "/usr/local/bin/myapp: lies outside the folders this "
                             "installation may write to (" +
                             (dir / "home/.local/opt/My Company/My Application") + ", " +
                             (dir / "home/.local/lib") + ", " + (dir / "home/.local/share") + ", " +
                             (dir / "home/.local/bin") + ")\n");
    const ShellResult root = Spawn({"env", "HOME=" + (dir / "home"), "XDG_DATA_HOME=/", kKavelo,
                                    "check", "--as", "root", setup});
    EXPECT_EQ(root.status, 1);
    EXPECT_NE(root.err.find("XDG_DATA_HOME is the root folder"), std::string::npos) << root.err;
    EXPECT_EQ(root.err.find("as root:"), std::string::npos) << root.err;
}

TEST(Cli, CompressAndDecompressFiles) {
    TempDir dir;
    std::string data;
    for (int i = 0; data.size() < (3u << 20); ++i)
        data += "line " + std::to_string(i * int64_t{7919} % 1000) + "\n";
    WriteFile(dir / "in.txt", data);
    ASSERT_EQ(Spawn({kKavelo, "compress", (dir / "in.txt"), (dir / "in.hz")}).status, 0);
    EXPECT_LT(ReadFile(dir / "in.hz").size(), data.size());
    ASSERT_EQ(Spawn({kKavelo, "decompress", (dir / "in.hz"), (dir / "out.txt")}).status, 0);
    EXPECT_EQ(ReadFile(dir / "out.txt"), data);

    // A damaged stream says so, names the file and leaves an existing output alone.
    WriteFile(dir / "cut.hz", ReadFile(dir / "in.hz").substr(0, 5000));
    const ShellResult bad =
        Spawn({kKavelo, "decompress", (dir / "cut.hz"), (dir / "out.txt")}, true);
    EXPECT_NE(bad.status, 0);
    EXPECT_NE(bad.out.find((dir / "cut.hz") + ": damaged stream"), std::string::npos);
    EXPECT_EQ(ReadFile(dir / "out.txt"), data);
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
        files += e.is_regular_file();
    EXPECT_EQ(files, 4);

    WriteFile(dir / "one", "x");
    EXPECT_NE(Spawn({kKavelo, "compress", (dir / "one"), (dir / "one.hz")}).status, 0);
    EXPECT_NE(Spawn({kKavelo, "compress", (dir / "missing"), (dir / "x.hz")}).status, 0);
}

TEST(Cli, ErrorsNameTheFile) {
    TempDir dir;
    WriteFile(dir / "plain.bin", std::string(100, 'x'));
    const ShellResult r = Spawn({kKavelo, "info", (dir / "plain.bin")}, true);
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.out.find("Error opening setup file"), std::string::npos);
    EXPECT_NE(r.out.find(dir / "plain.bin"), std::string::npos);
    EXPECT_NE(Spawn({kKavelo, "nosuchcommand"}).status, 0);
    // A named pipe is refused at once, not waited on (timeout gives 124).
    ASSERT_EQ(mkfifo((dir / "pipe.exe").c_str(), 0600), 0);
    for (const std::string& command :
         {"info " + (dir / "pipe.exe"), "extract " + (dir / "pipe.exe") + " " + (dir / "out")}) {
        const ShellResult pipe = Spawn(Words(command, {"timeout", "10", kKavelo}), true);
        EXPECT_EQ(pipe.status, 1) << command;
        EXPECT_NE(pipe.out.find(dir / "pipe.exe"), std::string::npos) << command;
    }
    EXPECT_EQ(Spawn({kKavelo, "--help"}).status, 0);
}

// A save that runs out of disk space says so under string 31. The full disk
// is a small file system of its own, mounted in a namespace of the test's
// (skipped where the system allows no such namespace).
TEST(Cli, SaveOnAFullDiskGivesTheSystemsReason) {
    TempDir dir;
    std::filesystem::create_directory(dir / "small");
    const std::string setup = dir / "small/t.exe";
    const std::string mount = "mount -t tmpfs -o size=64k tmpfs '" + (dir / "small") + "' && ";
    const ShellResult probe = Spawn({"unshare", "-rm", "sh", "-c", mount + "echo mounted"});
    if (probe.out.find("mounted") == std::string::npos)
        GTEST_SKIP() << "no mount namespace for a small file system here";
    // The mount lives only in the namespace, so the shell there runs kavelo.
    const ShellResult r = Spawn(
        {"unshare", "-rm", "sh", "-c", mount + "exec \"$0\" new \"$1\" 2>&1", kKavelo, setup});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("kavelo: Error creating setup file\nkavelo: " + setup +
                         "\nkavelo: No space left on device\n"),
              std::string::npos)
        << r.out;
}

// A setup whose entry names climb out of the target folder writes nothing
// outside it.
TEST(Runtime, ExtractNeverLeavesTheFolder) {
    TempDir dir;
    const std::string runtime = ReadFile(kRuntime);
    ASSERT_FALSE(runtime.empty());
    const std::string setup = dir / "evil.exe";
    WriteFile(setup, BuildSetup(runtime, {{"..\\escaped.txt", "x"},
                                          {"sub\\..\\..\\escaped2.txt", "y"},
                                          {"/tmp/abs-kavelo.txt", "z"},
                                          {"fine\\file.txt", "ok"}}));
    std::filesystem::permissions(setup, std::filesystem::perms::owner_all);
    std::filesystem::create_directory(dir / "target");
    // A symbolic link planted in the target folder is not followed.
    std::filesystem::create_directory_symlink(dir.Path(), dir / "target/fine");
    const ShellResult r = Spawn({setup, "--extract", (dir / "target")});
    EXPECT_NE(r.status, 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "escaped.txt"));
    EXPECT_FALSE(std::filesystem::exists(dir / "escaped2.txt"));
    EXPECT_FALSE(std::filesystem::exists(dir / "file.txt"));
    EXPECT_EQ(ReadFile(dir / "target/tmp/abs-kavelo.txt"), "z");

    const ShellResult plain = Spawn({kRuntime}, true);
    EXPECT_NE(plain.status, 0);
    EXPECT_NE(plain.out.find("carries no package"), std::string::npos);
}

} // namespace

// A folder is added as one tree, listed as one line, listed whole by "tree",
// unpacked by "extract"; a folder with a FIFO and an escaping link is refused
// with both paths and the setup left as it was.
TEST(Cli, FolderIsAddedListedAndExtractedAsATree) {
    TempDir dir;
    const std::string setup = dir / "t.exe";
    const std::string app = dir / "MyApp";
    std::filesystem::create_directories(app + "/bin");
    std::filesystem::create_directories(app + "/Empty");
    WriteFile(app + "/bin/Run.sh", "#!/bin/sh\n");
    ::chmod((app + "/bin/Run.sh").c_str(), 0755);
    std::filesystem::create_symlink("bin/Run.sh", app + "/run");
    ASSERT_EQ(Spawn({kKavelo, "new", "--empty", setup}).status, 0);
    // Without the sample program, the template's copy of it is a comment.
    EXPECT_EQ(Spawn({kKavelo, "check", setup}).status, 0);
    const ShellResult add = Spawn({kKavelo, "add", setup, app});
    ASSERT_EQ(add.status, 0) << add.err;
    EXPECT_EQ(add.out, "1 added, 0 replaced\n");
    EXPECT_NE(Spawn({kKavelo, "list", setup}).out.find("myapp.tree"), std::string::npos);
    EXPECT_NE(Spawn({kKavelo, "list", setup}).out.find("tree: 4 entries, 20 bytes"),
              std::string::npos);
    const ShellResult tree = Spawn({kKavelo, "tree", setup, "MyApp"});
    EXPECT_EQ(tree.out, "d            0  Empty/\n"
                        "d            0  bin/\n"
                        "x           10  bin/Run.sh\n"
                        "l            0  run -> bin/Run.sh\n"
                        "2 files, 10 bytes, in \"MyApp\"\n");
    ASSERT_EQ(Spawn({kKavelo, "extract", setup, (dir / "out")}).status, 0);
    EXPECT_EQ(ReadFile(dir / "out/MyApp/bin/Run.sh"), "#!/bin/sh\n");
    EXPECT_EQ(std::filesystem::read_symlink(dir / "out/MyApp/run"), "bin/Run.sh");
    EXPECT_TRUE(std::filesystem::is_directory(dir / "out/MyApp/Empty"));
    // check reads the tree: a launcher of a file it holds passes, one it
    // does not hold fails in the installer's words.
    WriteFile(dir / "s.txt", "[Install]\r\nCopy myapp.tree,1,,\r\nLink myapp.tree/run,1,,,S 2\r\n");
    ASSERT_EQ(Spawn({kKavelo, "script", setup, "--set", (dir / "s.txt")}).status, 0);
    EXPECT_EQ(Spawn({kKavelo, "check", setup}).status, 0);
    WriteFile(dir / "s.txt", "[Install]\r\nLink myapp.tree/bin/Gone.sh,1,,,S 2\r\n");
    ASSERT_EQ(Spawn({kKavelo, "script", setup, "--set", (dir / "s.txt")}).status, 0);
    const ShellResult check = Spawn({kKavelo, "check", setup});
    EXPECT_EQ(check.status, 1);
    EXPECT_NE(check.err.find(setup + ": Link myapp.tree/bin/Gone.sh,1,,,S 2: "
                                     "myapp.tree/bin/Gone.sh: the tree holds no such file\n"),
              std::string::npos)
        << check.err;

    const std::string before = ReadFile(setup);
    ASSERT_EQ(::mkfifo((app + "/fifo").c_str(), 0600), 0);
    std::filesystem::create_symlink("../..", app + "/bin/up");
    const ShellResult refused = Spawn({kKavelo, "add", setup, app});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find(app + "/fifo: a FIFO (named pipe); not added"), std::string::npos);
    EXPECT_NE(refused.err.find(app + "/bin/up: a link to \"../..\", outside the tree; not added"),
              std::string::npos);
    EXPECT_EQ(ReadFile(setup), before);
}
