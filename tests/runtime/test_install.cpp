// Setups made with kavelo, installed with --unattended under a temporary home
// and installation folder: every file, mode, launcher and manifest line, an
// upgrade, a Check that stops, an uninstall that keeps a changed file, a
// reinstall; and hostile setups that must never write outside the folders the
// mapping allows.
#include <gtest/gtest.h>

#include "InstallSandbox.h"
#include "install/Manifest.h"
#include "common/Sha256.h"

namespace {

const std::string kKavelo = KAVELO_PATH;
const std::string kRuntime = RUNTIME_PATH;

const std::string kStrings =
    CrLf({"Components:", "Main program", "Documentation", "English", "German", "Start Demo"});

std::string FirstScript(const Sandbox& box) {
    return CrLf({"[Create]",
                 "Label 1",
                 "  Check 3",
                 "  Check 0",
                 "  Combo 2,1",
                 "[Event_1_0]",
                 "Add 1",
                 "[Install]",
                 "{1}",
                 "Check ,1,,app.sh,,,1.0",
                 "Del ,1,,old.log",
                 "Copy app.sh,1,,app.sh,SDQ 6,,1.0,--fast \"two words\"",
                 "Copy lib.so,2,kavelo-e2e,libdemo.so",
                 "Copy data.txt,3,demo-share,data.txt",
                 "Copy readme.txt,1,doc,readme.txt,,,3.0",
                 "{val(2)=1}",
                 "Copy manual.txt,1,doc,manual.txt",
                 "{VAL(3)=2}",
                 "Copy german.txt,1,lang,de.txt",
                 "{val(3)=1}",
                 "Copy english.txt,1,lang,en.txt",
                 "{1}",
                 "Copy conf.txt,99," + box.ScriptPath("inst") + "\\etc,conf.txt"});
}

std::string SecondScript(const Sandbox& box) {
    return CrLf({"[Install]", "{1}", "Check ,1,,app.sh,,,1.0", "Copy app.sh,1,,app.sh,S 6,,2.0",
                 "Copy lib.so,2,kavelo-e2e,libdemo.so", "Copy readme.txt,1,doc,readme.txt,,,1.0",
                 "Copy german.txt,1,lang,de.txt",
                 "Copy conf.txt,99," + box.ScriptPath("inst") + "\\etc,conf.txt"});
}

const std::vector<std::pair<std::string, std::string>> kLines = {{"install-folder", "Demo\\App"},
                                                                 {"startmenu-folder", "Demo Corp"},
                                                                 {"launch-text", "Start Demo now"}};

std::vector<std::pair<std::string, std::string>> Files(const std::string& version) {
    return {{"app.sh", "#!/bin/sh\necho " + version + "\n"},
            {"lib.so", "lib"},
            {"data.txt", "data"},
            {"readme.txt", "readme " + version},
            {"manual.txt", "manual"},
            {"german.txt", "deutsch"},
            {"english.txt", "english"},
            {"conf.txt", "conf"}};
}

// The manifest as written, read without the ownership check of the
// installer (the test may not be its owner).
Manifest ReadManifestOf(const Sandbox& box) {
    return ReadManifest(ReadFile(box / "inst/.kavelo-manifest"), box / "inst/.kavelo-manifest");
}

void ExpectFirstInstallation(const Sandbox& box, const RunResult& r) {
    const std::string inst = box / "inst";
    const std::string share = box / "home/.local/share";
    const struct {
        std::string path, contents;
        mode_t mode;
    } files[] = {
        {inst + "/app.sh", "#!/bin/sh\necho v1\n", 0755},
        {box / "home/.local/lib/kavelo-e2e/libdemo.so", "lib", 0644},
        {share + "/demo-share/data.txt", "data", 0644},
        {inst + "/doc/readme.txt", "readme v1", 0644},
        {inst + "/doc/manual.txt", "manual", 0644},
        {inst + "/lang/de.txt", "deutsch", 0644},
        {inst + "/etc/conf.txt", "conf", 0644},
        {inst + "/uninstall", ReadFile(kRuntime), 0755},
    };
    for (const auto& f : files) {
        EXPECT_EQ(ReadFile(f.path), f.contents) << f.path;
        EXPECT_EQ(ModeOf(f.path), f.mode) << f.path;
    }
    EXPECT_FALSE(std::filesystem::exists(inst + "/old.log"));
    EXPECT_FALSE(std::filesystem::exists(inst + "/lang/en.txt"));
    const std::string exec = "Exec=" + inst + "/app.sh --fast \"two words\"\n";
    const std::string menu = share + "/applications/Demo-Corp/Start-Demo.desktop";
    const std::string desktop = box / "home/Desktop/Start-Demo.desktop";
    EXPECT_TRUE(Contains(ReadFile(menu), "Name=Start Demo\n" + exec)) << ReadFile(menu);
    EXPECT_TRUE(Contains(ReadFile(desktop), exec));
    EXPECT_EQ(ModeOf(menu), 0644u);
    EXPECT_EQ(ModeOf(desktop), 0755u);
    EXPECT_TRUE(Contains(r.out, "Skipped quick-launch icon \"Start Demo\""));

    const Manifest m = ReadManifestOf(box);
    EXPECT_EQ(m.Caption, "My Application setup");
    EXPECT_EQ(m.Files.size(), 9u); // seven files and two launchers
    for (const ManifestFile& f : m.Files) {
        const std::string path = m.Roots.Absolute(f.Where);
        EXPECT_EQ(f.Sha256, Sha256Hex(ReadFile(path))) << path;
        EXPECT_EQ(f.Size, ReadFile(path).size()) << path;
        const bool app = path == inst + "/app.sh", readme = path == inst + "/doc/readme.txt";
        EXPECT_EQ(f.Version, app ? "1.0" : readme ? "3.0" : "") << path;
    }
    std::vector<std::string> folders;
    for (const Place& p : m.Folders)
        folders.push_back(m.Roots.Absolute(p));
    for (const std::string& made : {box / "home/.local/lib", box / "home/.local/lib/kavelo-e2e",
                                    inst + "/doc", share + "/applications/Demo-Corp"})
        EXPECT_NE(std::find(folders.begin(), folders.end(), made), folders.end()) << made;
    EXPECT_EQ(std::find(folders.begin(), folders.end(), inst), folders.end()); // it was there
}

TEST(RuntimeInstall, InstallUpgradeCheckUninstallReinstall) {
    Sandbox box;
    const std::string v1 =
        box.MakeSetup(kKavelo, "v1", Files("v1"), FirstScript(box), kStrings, kLines);
    const std::string v2 =
        box.MakeSetup(kKavelo, "v2", Files("v2"), SecondScript(box), kStrings, kLines);
    const std::string v3 = box.MakeSetup(
        kKavelo, "v3", Files("v3"),
        CrLf({"[Install]", "Check ,1,,app.sh,,,5.0", "Copy readme.txt,1,,new.txt"}), kStrings);
    std::filesystem::create_directories(box / "inst");
    WriteFile(box / "inst/old.log", "log");
    box.HandOver();
    const std::vector<std::string> options = {"--dir", box / "inst", "--no-launch"};

    RunResult r =
        box.Run({v1, "--unattended", "--dir", box / "inst", "--select", "2=1,3=2", "--no-launch"});
    ASSERT_EQ(r.status, 0) << r.out;
    ExpectFirstInstallation(box, r);

    // An upgrade: a newer app.sh, readme.txt skipped for its recorded 3.0, the
    // unchanged manual.txt and desktop icon removed, the edited data.txt kept.
    WriteFile(box / "home/.local/share/demo-share/data.txt", "edited by the user");
    r = box.Run({v2, "--unattended", "--dir", box / "inst", "--no-launch"});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(ReadFile(box / "inst/app.sh"), "#!/bin/sh\necho v2\n");
    EXPECT_EQ(ReadFile(box / "inst/doc/readme.txt"), "readme v1");
    EXPECT_TRUE(Contains(r.out, "version 3.0 recorded, not lower than 1.0")) << r.out;
    EXPECT_FALSE(std::filesystem::exists(box / "inst/doc/manual.txt"));
    EXPECT_FALSE(std::filesystem::exists(box / "home/Desktop/Start-Demo.desktop"));
    EXPECT_EQ(ReadFile(box / "home/.local/share/demo-share/data.txt"), "edited by the user");
    EXPECT_TRUE(Contains(r.out, "data.txt: changed since it was installed, left in place"));
    for (const ManifestFile& f : ReadManifestOf(box).Files) {
        if (f.Where.Relative.ends_with("app.sh")) {
            EXPECT_EQ(f.Version, "2.0");
        }
    }

    // A Check against the recorded 2.0 stops before anything is written.
    const TreeSnapshot before = box.Tree();
    r = box.Run({v3, "--unattended", "--dir", box / "inst", "--no-launch"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.out, "version 2.0 is installed, lower than 5.0; the installation stops"))
        << r.out;
    EXPECT_EQ(SnapshotDifference(before, box.Tree()), "");

    // Uninstalling keeps the file changed since and the folder holding it.
    WriteFile(box / "inst/doc/readme.txt", "my notes");
    box.HandOver();
    r = box.Run({box / "inst/uninstall", "--yes"});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(Contains(r.out, "Kept " + box / "inst/doc/readme.txt" + ": changed since"));
    EXPECT_TRUE(Contains(r.out, "Kept the folder " + box / "inst/doc"));
    for (const std::string& gone :
         {box / "inst/app.sh", box / "inst/uninstall", box / "inst/.kavelo-manifest",
          box / "inst/lang", box / "inst/etc", box / "home/.local/lib",
          box / "home/.local/share/applications"})
        EXPECT_FALSE(std::filesystem::exists(gone)) << gone;
    EXPECT_EQ(ReadFile(box / "inst/doc/readme.txt"), "my notes");

    r = box.Run({v2, "--unattended", "--dir", box / "inst", "--no-launch"});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(ReadFile(box / "inst/app.sh"), "#!/bin/sh\necho v2\n");
    EXPECT_EQ(ReadFile(box / "inst/doc/readme.txt"), "readme v2");
    EXPECT_EQ(ModeOf(box / "inst/uninstall"), 0755u);
}

TEST(RuntimeInstall, TemplateSetupInstallsIntoTheDefaultFolderAndUninstalls) {
    Sandbox box;
    const std::string setup = box / "src/demo.exe";
    ASSERT_EQ(RunCommand({kKavelo, "new", setup}).status, 0);
    box.HandOver();
    const std::string inst = box / "home/.local/opt/My Company/My Application";
    const RunResult dry = box.Run({setup, "--dry-run"});
    EXPECT_EQ(dry.status, 0) << dry.out;
    EXPECT_TRUE(Contains(dry.out, "Copy    MyApp.exe -> " + inst + "/MyApp.exe"));
    EXPECT_FALSE(std::filesystem::exists(box / "home/.local/opt"));
    RunResult r = box.Run({setup, "--unattended", "--no-launch"});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(Contains(r.out, "Check   " + inst + "/MyApp.exe: not installed, passes"));
    EXPECT_EQ(ModeOf(inst + "/MyApp.exe"), 0755u);
    EXPECT_TRUE(std::filesystem::exists(
        box /
        "home/.local/share/applications/My-Company/My-Application/Start-My-Application.desktop"));
    r = box.Run({inst + "/uninstall"});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_FALSE(std::filesystem::exists(box / "home/.local/opt"));
    EXPECT_FALSE(std::filesystem::exists(box / "home/.local/share/applications"));
    EXPECT_FALSE(std::filesystem::exists(box / "home/Desktop/Start-My-Application.desktop"));
}

// A setup whose files are stored with zstd installs them whole: one larger
// than the 1 MB pieces it is decoded in, one small.
TEST(RuntimeInstall, ZstdSetupInstallsItsFiles) {
    Sandbox box;
    std::string big;
    for (int i = 0; big.size() < 1500000; ++i)
        big += "row " + std::to_string(i) + " of a file that zstd makes smaller\n";
    const std::string setup =
        box.MakeSetup(kKavelo, "z", {{"big.txt", big}, {"small.txt", "small"}},
                      CrLf({"[Install]", "Copy big.txt,1,,big.txt", "Copy small.txt,1,,small.txt"}),
                      kStrings, {{"compression", "zstd"}});
    EXPECT_TRUE(Contains(RunCommand({kKavelo, "list", setup}).out, "zstd"));
    box.HandOver();
    const RunResult r = box.Run({setup, "--unattended", "--dir", box / "inst", "--no-launch"});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(ReadFile(box / "inst/big.txt"), big);
    EXPECT_EQ(ReadFile(box / "inst/small.txt"), "small");
}

// One byte of a stored file changed after the setup was written: the check
// of the checksums (beside the planning) refuses it before anything is
// written, for an installation and a dry run alike.
TEST(RuntimeInstall, ADamagedSetupIsRefusedBeforeAnythingIsWritten) {
    Sandbox box;
    const std::string setup = box.MakeSetup(
        kKavelo, "d", {{"small.txt", "small"}, {"other.txt", "other"}},
        CrLf({"[Install]", "Copy small.txt,1,,small.txt", "Copy other.txt,1,,other.txt"}),
        kStrings);
    std::string bytes = ReadFile(setup);
    const size_t data = bytes.rfind("small");
    ASSERT_NE(data, std::string::npos);
    bytes[data] = 'S';
    WriteFile(setup, bytes);
    box.HandOver();
    for (const char* mode : {"--unattended", "--dry-run"}) {
        const RunResult r = box.Run({setup, mode, "--dir", box / "inst", "--no-launch"});
        EXPECT_EQ(r.status, 1) << mode << r.out;
        EXPECT_TRUE(Contains(r.out, "the data of \"small.txt\" does not match its checksum"))
            << mode << r.out;
        EXPECT_FALSE(std::filesystem::exists(box / "inst")) << mode;
    }
}

TEST(RuntimeInstall, OptionsLicenceAndExitStatuses) {
    Sandbox box;
    const std::string setup = box.MakeSetup(
        kKavelo, "lic", {{"app.sh", "#!/bin/sh\n"}, {"licence.txt", "You must agree.\r\n"}},
        CrLf({"[Install]", "Copy app.sh,1,,app.sh"}), "", {{"license", "licence.txt"}});
    box.HandOver();
    const std::string dir = box / "inst";
    const struct {
        std::vector<std::string> args;
        int status;
        std::string says;
    } cases[] = {
        {{"--unattended", "--dir", dir}, 3, "run the setup again with --accept-license"},
        {{"--unattended", "--bogus"}, 2, "unknown option \"--bogus\""},
        {{"--unattended", "--dry-run"}, 2, "exclude each other"},
        {{"--unattended", "--launch", "--no-launch"}, 2, "exclude each other"},
        {{"--unattended", "--dir"}, 2, "--dir needs a value"},
        {{"--unattended", "--dir", "/", "--accept-license"}, 2, "cannot be an installation folder"},
        {{"--unattended", "--select", "70=1", "--accept-license"}, 2, "ID from 1 to 64"},
        {{"--dry-run", "--dir", dir}, 0, "must be accepted with --accept-license"},
        {{"--dir", dir}, 6, "no display and no terminal"},
        {{"--unattended", "--dir", dir, "--accept-license", "--select", "1=1"},
         0,
         "Installed into"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> command = {setup};
        command.insert(command.end(), c.args.begin(), c.args.end());
        const RunResult r = box.Run(command);
        EXPECT_EQ(r.status, c.status) << c.says << "\n" << r.out;
        EXPECT_TRUE(Contains(r.out, c.says)) << r.out;
    }
    const RunResult help = RunCommand({setup, "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(Contains(help.out, "5 failed and not everything could be undone"));
}

// With --launch an unattended installation ends by starting the target of
// the first "s" shortcut, detached, in its own folder, with its options;
// without it, it starts nothing; --dry-run shows the command.
TEST(RuntimeInstall, StartsTheFirstShortcutsTargetAtTheEndWhenAsked) {
    Sandbox box;
    const std::string setup = box.MakeSetup(
        kKavelo, "launch",
        {{"run.sh", "#!/bin/sh\npwd > \"$HOME/launched\"\necho \"$1\" >> \"$HOME/launched\"\n"}},
        CrLf({"[Install]", "Copy run.sh,1,,run.sh,S 1,,,\"two words\""}), CrLf({"Run"}));
    box.HandOver();
    const RunResult dry = box.Run({setup, "--dry-run", "--dir", box / "inst"});
    EXPECT_TRUE(Contains(dry.out, "At the end it can start " + box / "inst/run.sh \"two words\""))
        << dry.out;
    RunResult r = box.Run({setup, "--unattended", "--dir", box / "inst"});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_FALSE(Contains(r.out, "Started")) << r.out;
    r = box.Run(
        {setup, "--unattended", "--dir", box / "inst", "--launch", "--log", box / "log.txt"});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(Contains(r.out, "Started " + box / "inst/run.sh"));
    // The program runs on its own; wait (at most 20 s) until it has written both lines.
    const std::string marker = box / "home/launched";
    for (int wait = 0; wait < 200 && !ReadFile(marker).ends_with("words\n"); ++wait)
        usleep(100000);
    EXPECT_EQ(ReadFile(box / "home/launched"), box / "inst" + "\ntwo words\n");
    EXPECT_TRUE(Contains(ReadFile(box / "log.txt"), "Copy    run.sh -> " + box / "inst/run.sh"));
}

// Hostile install scripts: each line alone, with links and files planted
// first. Refused lines stop the installation before anything is written;
// accepted ones stay inside the installation folder; "outside" never changes.
TEST(RuntimeInstall, HostileSetupsNeverWriteOutside) {
    const std::string deep = [] {
        std::string s;
        for (int i = 0; i < 2100; ++i)
            s += "d\\";
        return s;
    }();
    const struct {
        std::string line;
        std::string plant; // "link", "folderlink", "hardlink" or "folder"
        int status;
        std::string says;
        std::string written; // below inst, for accepted lines
    } cases[] = {
        {"Copy a.txt,1,..\\..\\..\\..\\..\\..\\..\\..\\..\\etc,passwd", "", 1,
         "is not an absolute path", ""},
        {"Copy a.txt,1,..\\outside,x.txt", "", 1, "lies outside the folders", ""},
        {"Copy a.txt,1,,..\\..\\evil.txt", "", 1, "holds a \"..\" part", ""},
        {"Copy a.txt,99,\\etc,kavelo-evil", "", 1, "lies outside the folders", ""},
        {"Del ,1,..\\outside,victim.txt", "", 1, "lies outside the folders", ""},
        {"Copy a.txt,99,,x", "", 1, "the third field, which is empty", ""},
        {"Copy a.txt,1,,/etc/kavelo-abs.txt", "", 0, "", "etc/kavelo-abs.txt"},
        {"Copy a.txt,1,,link.txt", "link", 0, "", "link.txt"},
        {"Copy a.txt,1,sub,x.txt", "folderlink", 1, "is a symbolic link", ""},
        {"Copy a.txt,1,,hard.txt", "hardlink", 0, "", "hard.txt"},
        {"Del ,1,,afolder", "folder", 0, "is a folder; Del removes files only", ""},
        {"Copy a.txt,1,," + std::string(5000, 'x'), "", 1, "too long", ""},
        {"Copy a.txt,1," + deep + ",a.txt", "", 1, "too long a path", ""},
        {"Copy " + std::string(5000, 'n') + ",1,,a.txt", "", 1, "the setup carries no file", ""},
        {"Copy a.txt,1,,uninstall", "", 1, "keeps for its own files", ""},
        {"Copy a.txt,1,,bad\x1b[2Jname.txt", "", 0, "bad\\x1b[2Jname.txt", "bad\x1b[2Jname.txt"},
    };
    for (const auto& c : cases) {
        Sandbox box;
        const std::string setup =
            box.MakeSetup(kKavelo, "evil", {{"a.txt", "EVIL"}}, CrLf({"[Install]", c.line}), "");
        std::filesystem::create_directories(box / "inst");
        WriteFile(box / "outside/victim.txt", "victim");
        if (c.plant == "link")
            std::filesystem::create_symlink(box / "outside/victim.txt", box / "inst/link.txt");
        if (c.plant == "folderlink")
            std::filesystem::create_directory_symlink(box / "outside", box / "inst/sub");
        if (c.plant == "hardlink")
            std::filesystem::create_hard_link(box / "outside/victim.txt", box / "inst/hard.txt");
        if (c.plant == "folder") std::filesystem::create_directories(box / "inst/afolder/inner");
        box.HandOver();
        const TreeSnapshot before = box.Tree();
        const RunResult r = box.Run({setup, "--unattended", "--dir", box / "inst", "--no-launch"});
        const std::string name = c.line.substr(0, 60);
        EXPECT_EQ(r.status, c.status) << name << "\n" << r.out;
        EXPECT_TRUE(Contains(r.out, c.says)) << name << "\n" << r.out;
        EXPECT_FALSE(Contains(r.out, "\x1b")) << name; // names never reach the terminal raw
        EXPECT_EQ(ReadFile(box / "outside/victim.txt"), "victim") << name;
        TreeSnapshot after = box.Tree();
        if (c.status != 0) {
            EXPECT_EQ(SnapshotDifference(before, after), "") << name;
            continue;
        }
        if (!c.written.empty()) {
            EXPECT_EQ(ReadFile(box / ("inst/" + c.written)), "EVIL") << name;
        }
        // Nothing new or changed outside the installation folder.
        std::erase_if(after, [](const auto& e) { return e.first.rfind("inst", 0) == 0; });
        TreeSnapshot outside = before;
        std::erase_if(outside, [](const auto& e) { return e.first.rfind("inst", 0) == 0; });
        EXPECT_EQ(SnapshotDifference(outside, after), "") << name;
        EXPECT_FALSE(std::filesystem::exists("/etc/kavelo-abs.txt"));
    }
}

} // namespace
