// kavelo and the setup runtime as packagers use them, case by case: command
// lines the tools refuse or answer with help (usage), failures and their
// reasons (errors), and hostile files and setups (hostile). Each case runs in
// a folder of its own holding a fresh setup t.exe and a few input files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include "CliRun.h"
#include "PackageBuilder.h"
#include "TestHost.h"
#include "project/SetupLock.h"

namespace {

const auto* const kLockFolder = ::testing::AddGlobalTestEnvironment(new LockFolderEnvironment);

// The script and texts of a setup whose simulation has a problem of each kind.
const std::string kUnclearScript = "[Create]\nCheck 2\n[Install]\n{val(1)=1}\nCopy gone.txt,1\n"
                                   "Cpy readme,1\n{val(1) =}\nDel ,1,,old.log\n";

struct CliCase {
    std::string command; // run in the case's folder; $K is kavelo
    int status;
    std::string out; // found in standard output ("" for anything)
    std::string err; // found in standard error
    bool keepsSetup; // t.exe is left as it was
};

class CliTable : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(Shell("cd " + master.Path().string() + " && $K new t.exe").status, 0);
        std::filesystem::create_directories(master / "a");
        std::filesystem::create_directories(master / "b");
        std::filesystem::create_directories(master / "folder.exe");
        WriteFile(master / "a/README", "from a\n");
        WriteFile(master / "b/readme", "from b\n");
        WriteFile(master / "plain.bin", std::string(100, 'x'));
        WriteFile(master / "unclear.txt", kUnclearScript);
        WriteFile(master / "strings.txt", "Component\n");
    }

    // Runs each case in a copy of the master folder.
    void RunCases(const std::vector<CliCase>& cases) {
        for (const CliCase& c : cases) {
            TempDir dir;
            std::filesystem::copy(master.Path(), dir.Path(),
                                  std::filesystem::copy_options::recursive);
            const std::string before = ReadFile(dir / "t.exe");
            const ShellResult r = Shell("cd " + dir.Path().string() + " && " + c.command);
            EXPECT_EQ(r.status, c.status) << c.command << "\n" << r.err;
            EXPECT_NE(r.out.find(c.out), std::string::npos) << c.command << "\n" << r.out;
            EXPECT_NE(r.err.find(c.err), std::string::npos) << c.command << "\n" << r.err;
            if (c.keepsSetup) {
                EXPECT_EQ(ReadFile(dir / "t.exe"), before) << c.command;
            }
        }
    }

    TempDir master;
};

TEST_F(CliTable, Usage) {
    RunCases({
        // Help on every command, never a file named after it.
        {"$K new --help && test ! -e --help.exe", 0, "usage: kavelo new SETUP", "", true},
        {"$K info -h", 0, "usage: kavelo info SETUP [--json]", "", true},
        {"$K simulate t.exe --strict --help", 0, "--strict", "", true},
        {"$K help add", 0, "usage: kavelo add SETUP FILE|DIR...", "", true},
        {"$K --version", 0, "KaveloMaker 1.00 [beta 2]\nsetup runtime: ", "", true},
        {"./t.exe --version", 0, "KaveloMaker 1.00 [beta 2]\nsetup runtime: ", "", true},
        {"./t.exe -h", 0, "--extract DIR [--all]", "", true},
        // The project's only storage is not overwritten without --force.
        {"$K new t.exe", 2, "", "kavelo: new: t.exe already exists; --force replaces it", true},
        // A name without an extension gets ".run", written executable.
        {"$K new t && test -x t.run", 0, "created t.run", "", true},
        {"$K new --force t.exe --empty", 0, "replaced t.exe", "", false},
        // Options anywhere, "--" ends them, "-" is standard input, ".exe" is tried.
        {"$K info --json t.exe", 0, "\"caption\": \"My Application setup\"", "", true},
        {"cp t.exe ./-t.exe && $K info -- -t.exe", 0, "caption ", "", true},
        {"$K info - < t.exe", 0, "files             1", "", true},
        {"$K list t", 0, "myapp.exe", "", true},
        {"$K compress a/README - | $K decompress - - | cmp - a/README", 0, "", "", true},
        // Refused command lines: status 2 everywhere.
        {"$K info t.exe --bogus", 2, "", "kavelo: info: unknown option --bogus", true},
        {"$K list", 2, "", "missing operand", true},
        {"$K list t.exe t.exe", 2, "", "unexpected operand", true},
        {"$K compress a/README", 2, "", "usage: kavelo compress IN OUT", true},
        {"$K set t.exe colour red", 2, "", "unknown key \"colour\"", true},
        {"$K set t.exe caption 'two\nlines'", 2, "", "use \"|\" for a line break", true},
        {"$K add t.exe a/README b/readme", 2, "",
         "\"a/README\" and \"b/readme\" would both be named \"readme\"", true},
        {"$K add t.exe -", 2, "", "standard input gives no file name", true},
        {"$K script t.exe --set - --strings -", 2, "", "cannot both read standard input", true},
        {"$K panel t.exe --click one", 2, "", "--click one", true},
        {"$K simulate t.exe --select 1=300", 2, "", "VALUE from 0 to 255", true},
        {"$K nosuchcommand", 2, "", "unknown command \"nosuchcommand\"", true},
        {"./t.exe --extract", 2, "", "usage: ./t.exe", true},
        {"./t.exe --info --list", 2, "", "usage: ./t.exe", true},
        {"./t.exe --list --all", 2, "", "usage: ./t.exe", true},
    });
}

TEST_F(CliTable, Errors) {
    std::string damaged = ReadFile(master / "t.exe");
    damaged.resize(damaged.size() - 20000);
    damaged += ReadFile(master / "t.exe").substr(damaged.size() + 10000);
    WriteFile(master / "damaged.exe", damaged);
    RunCases({
        // Each message names the file and says why, every line after "kavelo: ".
        {"$K info missing.exe", 1, "",
         "kavelo: Error opening setup file\nkavelo: missing.exe\nkavelo: No such file or "
         "directory\n",
         true},
        {"$K info folder.exe", 1, "", "kavelo: folder.exe\nkavelo: Is a directory\n", true},
        {"$K info plain.bin", 1, "", "kavelo: the file carries no setup package\n", true},
        {"$K info damaged.exe", 1, "", "kavelo: damaged.exe\nkavelo: ", true},
        {"$K list plain.bin", 1, "", "kavelo: plain.bin: no package found", true},
        {"$K extract plain.bin out", 1, "", "plain.bin: the file carries no setup package", true},
        {"$K remove t.exe nothere", 1, "", "no file named \"nothere\"; nothing removed", true},
        // Refused at once, by size, naming the file and the limit; nothing changes.
        // A sparse file past the package's 32-bit sizes, yet nothing to read.
        {"truncate -s 4G huge.bin && timeout 5 $K add t.exe a/README huge.bin", 1, "",
         "kavelo: huge.bin: the file has 4294967296 bytes, more than the 4294967295 allowed; "
         "not added\nkavelo: t.exe: nothing was changed",
         true},
        // Files that change while read: one grows past its size of 0, one says
        // 4096 bytes and yields 18.
        {"$K add t.exe /proc/self/status", 1, "",
         "/proc/self/status: the file changed its size while it was read; not added", true},
        {"$K add t.exe /sys/class/net/lo/address", 1, "",
         "/sys/class/net/lo/address: the file changed its size while it was read; not added", true},
        // Checks for CI: the template passes; warnings, lines not understood and
        // values out of range fail, told on standard error.
        {"$K check t.exe && $K simulate --strict t.exe", 0, "Copy: MyApp.exe", "", true},
        {"$K check t.exe --select 1=2", 1, "", "element 1 is a check element and takes 0 or 1",
         true},
        {"$K check t.exe --select 9=1", 1, "", "the panel has no element 9", true},
        {"$K script t.exe --set unclear.txt && $K simulate --strict t.exe", 1, "Copy: gone.txt",
         "kavelo: t.exe: ### Warning: Reference to missing file: gone.txt", false},
        {"$K script t.exe --set unclear.txt && $K check t.exe", 1, "",
         "kavelo: t.exe: line not understood: Cpy readme,1\nkavelo: t.exe: guard not "
         "understood: {val(1) =}\n",
         false},
        {"$K script t.exe --set unclear.txt && $K simulate t.exe --json", 0,
         "\"warnings\": [\"### Warning: Reference to missing file: gone.txt\"], \"problems\": "
         "[\"### Warning: Reference to missing file: gone.txt\", \"###      Copy gone.txt,1\", "
         "\"line not understood: Cpy readme,1\", \"guard not understood: {val(1) =}\", "
         "\"Copy gone.txt,1: the setup carries no file \\\"gone.txt\\\"\"]}\n",
         "", false},
        // JSON is UTF-8: a UTF-8 name as it is, a Latin-1 name read as Windows-1252.
        {"printf x > 'caf\xC3\xA9.txt' && $K add t.exe 'caf\xC3\xA9.txt' && $K list t.exe --json",
         0, "\"name\": \"caf\xC3\xA9.txt\"", "", false},
        {"f=$(printf 'lat\\351n\\200.txt') && printf x > \"$f\" && $K add t.exe \"$f\" && "
         "$K list t.exe --json",
         0, "\"name\": \"lat\xC3\xA9n\xE2\x82\xAC.txt\"", "", false},
    });
}

// A planted hard link, an executable entry and a name with terminal controls.
std::string HostileSetup(const std::string& runtime) {
    return BuildSetup(runtime, SetupEntries("Caption\x1b]0;owned\x07\r\nStart",
                                            {{"readme.txt", "new text"},
                                             {"tool", "\x7f"
                                                      "ELF rest"},
                                             {"run.sh", "#!/bin/sh\n"},
                                             {"bell\x07\x1b[2J.txt", "controls"}}));
}

TEST_F(CliTable, Hostile) {
    WriteFile(master / "x\\..", "climbs out");
    WriteFile(master / "c:foo.txt", "drive");
    WriteFile(master / "dir\\note.txt", "note");
    WriteFile(master / "evil.exe", HostileSetup(ReadFile(RUNTIME_PATH)));
    chmod((master / "evil.exe").c_str(), 0755);
    WriteFile(master / "victim.txt", "outside the folder\n");
    // Every extraction below: into out/, where a hard link to victim.txt waits.
    const std::string link = "mkdir out && ln victim.txt out/readme.txt && umask 022 && ";
    const std::string outcome = " ; cat victim.txt; stat -c %a out/tool out/run.sh out/readme.txt";
    RunCases({
        {"$K add t.exe 'x\\..' && $K info t.exe", 1, "",
         "x\\..: a setup cannot hold a file named \"..\"; not added", true},
        {"$K add t.exe 'c:foo.txt'; $K info t.exe", 0, "files             1",
         "c:foo.txt: a setup cannot hold a file named \"c:foo.txt\"", true},
        {"$K add t.exe 'dir\\note.txt' && $K list t.exe", 0, "note.txt",
         "dir\\note.txt: added as \"note.txt\"", false},
        // Control characters never reach the terminal raw.
        {"$K list evil.exe | grep -c \"$(printf '\\033')\"", 1, "0\n", "", true},
        {"$K list evil.exe", 0, "bell\\x07\\x1b[2J.txt", "", true},
        {"./evil.exe --list", 0, "bell\\x07\\x1b[2J.txt", "", true},
        {"./evil.exe --info", 0, "caption           Caption\\x1b]0;owned\\x07\n", "", true},
        {"./evil.exe --welcome", 0, "Caption\\x1b]0;owned\\x07\n", "", true},
        {"$K info evil.exe", 0, "caption           Caption\\x1b]0;owned\\x07\n", "", true},
        // Hard links are replaced, not written through; programs keep their
        // execute bit; setup files only with --all.
        {link + "./evil.exe --extract out" + outcome, 0,
         "bell\\x07\\x1b[2J.txt\noutside the folder\n755\n755\n644\n",
         "out/readme.txt: an existing file was replaced", true},
        {link + "$K extract evil.exe out" + outcome, 0, "outside the folder\n755\n755\n644\n",
         "out/readme.txt: an existing file was replaced", true},
        {"$K extract evil.exe out && test ! -e out/setup", 0, "tool", "", true},
        {"$K extract evil.exe out --all && ls out/setup", 0, "picture.bmp\nscript.txt", "", true},
        {"./evil.exe --extract out --all && ls out/setup", 0, "setup.txt\nstrings.txt", "", true},
        // The tool's outputs replace a file whole: a hard link is not written
        // through, the mode stays, a device is written as it is.
        {"ln victim.txt out.txt && chmod 640 out.txt && $K script t.exe --get-script out.txt && "
         "$K compress victim.txt /dev/null && cat victim.txt && stat -c %a out.txt",
         0, "outside the folder\n640\n", "", true},
    });
}

// A setup holding one name twice (in two letter cases) could show one file
// and install the other: every reader refuses it and names the file.
TEST_F(CliTable, NameHeldTwiceIsRefusedEverywhere) {
    WriteFile(master / "twice.exe",
              BuildSetup(ReadFile(RUNTIME_PATH),
                         SetupEntries("Caption\r\nStart\r\n\r\nApp\r\n\r\n\r\n",
                                      {{"Tool.sh", "benign"}, {"tool.SH", "evil"}})));
    chmod((master / "twice.exe").c_str(), 0755);
    const std::string why = "the package holds two entries named \"tool.SH\"";
    const std::string home = "HOME=$PWD/home XDG_DATA_HOME=$PWD/home/data ";
    RunCases({
        {"$K list twice.exe", 1, "", why, true},
        {"$K info twice.exe", 1, "", why, true},
        {"$K extract twice.exe out; test ! -e out/tool.sh", 0, "", why, true},
        {"$K script twice.exe --get-script -", 1, "", why, true},
        {"$K simulate twice.exe", 1, "", why, true},
        {"$K add twice.exe plain.bin", 1, "", why, true},
        {"./twice.exe --list", 1, "", why, true},
        {"./twice.exe --extract out; test ! -e out/tool.sh", 0, "", why, true},
        {home + "./twice.exe --unattended; test ! -e home/data", 0, "", why, true},
    });
}

// A setup carries a checksum of every entry: kavelo verify names an entry
// that differs, the setup installs nothing from it, and no command that
// changes a setup writes it back; a setup written before checksums installs
// as before, with a note.
TEST_F(CliTable, ChecksumsFindAFlippedByte) {
    std::string bytes = ReadFile(master / "t.exe");
    // The last data byte: the sample program's, stored raw, before the block
    // of five digests and the trailer.
    bytes[bytes.size() - 10 - (48 + 32 * 5) - 1] ^= 0x01;
    WriteFile(master / "flipped.exe", bytes);
    auto oldEntries =
        SetupEntries("Caption\r\nStart\r\n\r\nApp\r\n\r\n\r\n", {{"readme.txt", "text"}});
    oldEntries[1].stored = "[Create]\r\n[Install]\r\nCopy readme.txt,1\r\n";
    WriteFile(master / "old.exe", BuildSetup(ReadFile(RUNTIME_PATH), oldEntries));
    chmod((master / "flipped.exe").c_str(), 0755);
    chmod((master / "old.exe").c_str(), 0755);
    const std::string why = "the data of \"myapp.exe\" does not match its checksum";
    const std::string home = "HOME=$PWD/home XDG_DATA_HOME=$PWD/home/data ";
    RunCases({
        {"$K verify t.exe", 0, "t.exe: 5 entries and the directory match their checksums\n", "",
         true},
        {"$K verify flipped.exe", 1, "", "kavelo: flipped.exe: " + why + "\n", true},
        {"$K verify old.exe", 1, "",
         "old.exe: the setup carries no checksums (it was written before they were added)", true},
        {"$K add flipped.exe plain.bin && cmp flipped.exe t.exe", 1, "", why, true},
        {home + "./flipped.exe --unattended; test ! -e home/data", 0, "", why, true},
        // Extracting refuses the entry by name and writes the others.
        {"./flipped.exe --extract out --all; test ! -e out/myapp.exe && test -s "
         "out/setup/script.txt",
         0, "", "\"myapp.exe\": its bytes differ from the setup's checksum, skipped", true},
        {"$K extract flipped.exe out --all; test ! -e out/myapp.exe && test -s "
         "out/setup/script.txt",
         0, "", "kavelo: \"myapp.exe\": its bytes differ from the setup's checksum, skipped", true},
        {"./old.exe --extract out && test -e out/readme.txt", 0, "",
         "this setup carries no checksums; its files are not verified", true},
        {home + "./old.exe --unattended --dir $PWD/inst && test -e inst/readme.txt", 0,
         "Note: this setup carries no checksums; its files are not verified.", "", true},
    });
}

// Texts from Linux files reach the project with CR LF; a byte-order mark is
// dropped; what --get-script writes, --set reads back unchanged.
TEST_F(CliTable, TextsFromLinuxFiles) {
    WriteFile(master / "lf-script.txt", "[Create]\nLabel 1\n[Install]\nCopy myapp.exe,1\n");
    WriteFile(master / "bom-strings.txt", "\xEF\xBB\xBFHello\nWorld\n");
    WriteFile(master / "start.txt", "First line\nsecond line\n");
    RunCases({
        {"$K script t.exe --set lf-script.txt --strings bom-strings.txt && $K panel t.exe", 0,
         "label   -  8,8        bold        Hello\n", "", false},
        {"$K script t.exe --set lf-script.txt && $K simulate --paths windows t.exe", 0,
         "    Copy: myapp.exe -> C:\\Programmes\\MyDirectory\\myapp.exe\n", "", false},
        {"$K script --strings bom-strings.txt t.exe && $K script t.exe --get-strings -", 0,
         "Hello\r\nWorld\r\n", "", false},
        {"$K set t.exe start-text --file start.txt && $K info t.exe", 0,
         "start-text        First line|second line\n", "", false},
        {"$K script t.exe --get-script s.txt --get-strings n.txt && $K script t.exe --set s.txt "
         "--strings n.txt && $K script t.exe --get-script s2.txt && cmp s.txt s2.txt && "
         "$K info t.exe",
         0, "script            5437 bytes\nstrings           64 bytes\n", "", false},
    });
}

// Every command that changes a setup holds its lock from opening to the
// rename: writers at the same moment all get their changes in.
TEST(CliLock, ConcurrentAddsLoseNothing) {
    TempDir dir;
    ASSERT_EQ(Shell("cd " + dir.Path().string() + " && $K new t.exe").status, 0);
    std::string command = "cd " + dir.Path().string() + " || exit 1; ";
    for (int i = 0; i < 8; ++i) {
        WriteFile(dir / ("f" + std::to_string(i) + ".txt"), std::string(20000 + i, 'a' + i));
        command += "$K add t.exe f" + std::to_string(i) + ".txt > /dev/null & p=\"$p $!\"; ";
    }
    command += "s=0; for j in $p; do wait $j || s=1; done; exit $s";
    ASSERT_EQ(Shell(command).status, 0);
    const ShellResult list = Shell("$K list " + (dir / "t.exe"));
    for (int i = 0; i < 8; ++i)
        EXPECT_NE(list.out.find("f" + std::to_string(i) + ".txt"), std::string::npos) << i;
}

TEST(CliLock, ASecondWriterWaitsThenNamesTheHolder) {
    TempDir dir;
    ASSERT_EQ(Shell("cd " + dir.Path().string() + " && $K new t.exe").status, 0);
    WriteFile(dir / "a.txt", "a");
    const SetupLock held = SetupLock::Acquire(dir / "t.exe", "the editor");
    const ShellResult r = Shell("$K add " + (dir / "t.exe") + " " + (dir / "a.txt"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "kavelo: " + (dir / "t.exe") + ": in use by the editor, process " +
                         std::to_string(getpid()) + "\n");
}

// Writers of another session (another runtime folder) are kept out by the
// lock on the setup's own file: of two adds at once each either adds its
// file for good or is refused, and one that is kept out names no holder.
TEST(CliLock, WritersOfAnotherSessionAreKeptOut) {
    TempDir dir;
    ASSERT_EQ(Shell("cd " + dir.Path().string() + " && $K new t.exe").status, 0);
    std::mt19937 random(3);
    for (const char* name : {"a.bin", "b.bin"}) {
        std::string bytes(1 << 20, '\0');
        for (char& c : bytes)
            c = static_cast<char>(random() % 16);
        WriteFile(dir / name, bytes);
    }
    const std::string cd = "cd " + dir.Path().string() + " || exit 9; mkdir -p s1 s2 s3; ";
    {
        const SetupLock held = SetupLock::Acquire(dir / "t.exe", "the editor");
        const ShellResult r = Shell(cd + "XDG_RUNTIME_DIR=$PWD/s1 $K add t.exe a.bin");
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "kavelo: t.exe: in use by another program\n");
    }
    const ShellResult both = Shell(cd + "XDG_RUNTIME_DIR=$PWD/s2 $K add t.exe a.bin > a.out 2>&1 & "
                                        "XDG_RUNTIME_DIR=$PWD/s3 $K add t.exe b.bin > b.out 2>&1 & "
                                        "wait; cat a.out b.out; $K list t.exe");
    for (const char* name : {"a.bin", "b.bin"}) {
        const bool listed = both.out.find(std::string(name) + "  ") != std::string::npos;
        const std::string out = ReadFile(dir / (std::string(name, 1) + ".out"));
        EXPECT_EQ(out == "1 added, 0 replaced\n", listed) << name << ": " << out;
    }
}

// A save killed at any moment leaves the setup whole and, once the next save
// has run, no temporary file.
TEST(CliKill, KilledSaveLeavesNothingBehind) {
    TempDir dir;
    ASSERT_EQ(Shell("cd " + dir.Path().string() + " && $K new t.exe").status, 0);
    std::mt19937 random(7);
    std::string text;
    while (text.size() < (48u << 20))
        text += static_cast<char>('a' + random() % 40);
    WriteFile(dir / "big.txt", text);
    for (const char* delay : {"0.05", "0.2", "0.4"}) {
        Shell("$K add " + (dir / "t.exe") + " " + (dir / "big.txt") + " & sleep " + delay +
              "; kill -9 $! 2>/dev/null; wait");
        EXPECT_EQ(Shell("$K info " + (dir / "t.exe") + " > /dev/null").status, 0) << delay;
        ASSERT_EQ(Shell("$K set " + (dir / "t.exe") + " caption again").status, 0);
        for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
            EXPECT_EQ(e.path().filename().string().find(".saving-"), std::string::npos)
                << e.path() << " after " << delay;
    }
}

} // namespace
