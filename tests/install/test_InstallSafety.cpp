// What a reliability campaign broke, each pinned: links and ownership (roots
// swapped for links after planning, folders another user could replace,
// modes whatever the umask), records (journals and manifests that name
// places outside the mapping), the desktop and the XDG folders, the start
// of a journal (folders another process made, the journal going last, the
// folders a killed start was making) and the program started at
// the end.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "InstallMachine.h"
#include "common/Errors.h"
#include "install/Uninstall.h"

namespace {

InstallResult InstallAll(Machine& m, const InstallPlan& plan) {
    StopAt never(1 << 30, false);
    std::optional<InstallLock> lock;
    return RunInstallation(m.Setup(), plan, never, lock);
}

// The message of what f throws, "" when it throws nothing.
template <typename F> std::string Refusal(F f) {
    try {
        f();
    } catch (const Refused& e) {
        return e.Reason() + " | " + e.Path();
    }
    return "";
}

// ---- links and ownership

TEST(InstallSafety, RootsSwappedForLinksAfterPlanningAreNotFollowed) {
    Machine m;
    const InstallPlan plan = m.Plan();
    // Between the first pass and the second another user swaps the
    // installation folder and the desktop for links to a folder of theirs.
    std::filesystem::rename(m / "root/inst", m / "root/inst-real");
    std::filesystem::rename(m / "root/desktop", m / "root/desktop-real");
    std::filesystem::create_directory_symlink(m / "root/outside", m / "root/inst");
    std::filesystem::create_directory_symlink(m / "root/outside", m / "root/desktop");
    const TreeSnapshot outside = Snapshot(m / "root/outside");
    const InstallResult r = InstallAll(m, plan);
    ASSERT_EQ(r.Outcome, InstallOutcome::Installed) << r.Failure->what();
    EXPECT_EQ(SnapshotDifference(outside, Snapshot(m / "root/outside")), "");
    EXPECT_EQ(ReadFile(m / "root/inst-real/a.bin").size(), 3u << 20);
    EXPECT_TRUE(std::filesystem::exists(m / "root/desktop-real/Start-D.desktop"));
}

TEST(InstallSafety, FoldersAnotherUserCouldReplaceAreNotTrusted) {
    struct stat st {};
    const uid_t other = ::geteuid() == 12345 ? 12346 : 12345;
    const struct {
        mode_t mode;
        uid_t owner;
        std::string why;
    } cases[] = {
        {S_IFDIR | 0755, 0, ""},
        {S_IFDIR | 0700, ::geteuid(), ""},
        {S_IFDIR | 01777, 0, ""},
        {S_IFDIR | 0755, other, "is owned by another user"},
        {S_IFDIR | 0775, 0, "may be written by other users"},
        {S_IFDIR | 0757, 0, "may be written by other users"},
        {S_IFLNK | 0777, 0, "is a symbolic link"},
    };
    for (const auto& c : cases) {
        st.st_mode = c.mode;
        st.st_uid = c.owner;
        EXPECT_EQ(UntrustedFolder(st), c.why) << std::oct << c.mode << " " << std::dec << c.owner;
    }
}

TEST(InstallSafety, StrictOpeningRefusesLinksAndFoldersOthersMayWrite) {
    TempDir dir;
    const FolderRules strict{true, true};
    if (!Refusal([&] { OpenAbsoluteFolder(dir.Path().string(), strict); }).empty())
        GTEST_SKIP() << "the temporary folder lies below a folder other users could replace";
    std::filesystem::create_directories(dir / "real/x");
    std::filesystem::create_directory_symlink(dir / "real", dir / "link");
    for (const char* name : {"open", "sticky"})
        std::filesystem::create_directories(dir / (std::string(name) + "/x"));
    ::chmod((dir / "open").c_str(), 0777);
    ::chmod((dir / "sticky").c_str(), 01777);
    EXPECT_EQ(Refusal([&] { OpenAbsoluteFolder(dir / "link/x", strict); }),
              "is a symbolic link, not followed | " + (dir / "link"));
    EXPECT_EQ(Refusal([&] { OpenAbsoluteFolder(dir / "open/x", strict); }),
              "may be written by other users | " + (dir / "open"));
    EXPECT_TRUE(OpenAbsoluteFolder(dir / "sticky/x", strict).Complete);
    // Without strict rules a link is followed once, now.
    EXPECT_TRUE(OpenAbsoluteFolder(dir / "link/x", FolderRules{}).Complete);
    const OpenedFolder partial = OpenAbsoluteFolder(dir / "real/x/y/z", FolderRules{});
    EXPECT_FALSE(partial.Complete);
    EXPECT_EQ(partial.Reached, dir / "real/x");
}

TEST(InstallSafety, ModesOfFoldersAndFilesWhateverTheUmask) {
    const struct {
        mode_t umask;
        bool exact; // as root
        mode_t folder, program, text;
    } cases[] = {
        {000, true, 0755, 0755, 0644},
        {077, true, 0755, 0755, 0644},
        {000, false, 0755, 0755, 0644},
        {077, false, 0700, 0700, 0600},
    };
    for (const auto& c : cases) {
        Machine m;
        const mode_t old = ::umask(c.umask);
        const InstallResult r = InstallAll(m, m.Plan(FolderRules{false, c.exact}));
        ::umask(old);
        ASSERT_EQ(r.Outcome, InstallOutcome::Installed) << r.Failure->what();
        const auto mode = [](const std::string& path) {
            struct stat st {};
            return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
        };
        const std::string name = std::to_string(c.umask) + (c.exact ? " as root" : "");
        for (const char* folder : {"root/lib", "root/lib/kt", "root/inst/sub/deep"})
            EXPECT_EQ(mode(m / folder), c.folder) << folder << " " << name;
        EXPECT_EQ(mode(m / "root/inst/d.sh"), c.program) << name;
        EXPECT_EQ(mode(m / "root/inst/uninstall"), c.program) << name;
        EXPECT_EQ(mode(m / "root/inst/a.bin"), c.text) << name;
        EXPECT_EQ(mode(m / "root/share/applications/Acme/Start-D.desktop"), c.text) << name;
    }
}

// ---- records

TEST(InstallSafety, RecoveryActsOnlyOnPlacesTheMappingAllows) {
    Machine m;
    struct stat victim {};
    ASSERT_EQ(::stat((m / "root/outside/victim.txt").c_str(), &victim), 0);
    const std::string head = "kavelo-journal\t1\nroot\t0\t" + (m / "root/inst") + "\n";
    const std::string ids = std::to_string(victim.st_dev) + "\t" + std::to_string(victim.st_ino);
    const struct {
        std::string name, journal;
    } cases[] = {
        {"a file outside", "kavelo-journal\t1\nroot\t0\t" + (m / "root") + "\nnew\t0\toutside/" +
                               "victim.txt\t" + ids + "\n"},
        {"a temporary name of the installation's file", head + "temp\t0\ta.bin\n"},
        {"a kept-aside name not private", head + "keep\t0\tx\ta.bin\t1\t2\n"},
    };
    for (const auto& c : cases) {
        const TreeSnapshot before = m.Tree();
        WriteFile(m / "root/inst/.kavelo-journal", c.journal);
        ::chmod((m / "root/inst/.kavelo-journal").c_str(), 0600);
        auto lock = InstallLock::Take(m / "root/inst");
        ASSERT_TRUE(lock);
        const std::string why =
            Refusal([&] { RecoverInstallation(*lock, m / "root/inst", m.Folders()); });
        EXPECT_NE(why.find("names a place this installation cannot have written"),
                  std::string::npos)
            << c.name << ": " << why;
        std::filesystem::remove(m / "root/inst/.kavelo-journal");
        EXPECT_EQ(SnapshotDifference(before, m.Tree()), "") << c.name;
    }
}

TEST(InstallSafety, UninstallLeavesFilesOutsideTheMappingAndListsThem) {
    Machine m;
    ASSERT_EQ(InstallAll(m, m.Plan()).Outcome, InstallOutcome::Installed);
    // The manifest edited to name a file outside.
    std::string text = ReadFile(m / "root/inst/.kavelo-manifest");
    const auto manifest = ReadPreviousManifest(m / "root/inst");
    ASSERT_TRUE(manifest);
    const std::string n = std::to_string(manifest->Roots.Folders().size());
    text += "root\t" + n + "\t" + (m / "root/outside") + "\nfile\t" + n + "\tvictim.txt\t6\t" +
            Sha256Hex("victim") + "\t\n";
    WriteFile(m / "root/inst/.kavelo-manifest", text);
    ::chmod((m / "root/inst/.kavelo-manifest").c_str(), 0644);
    const UninstallResult r = Uninstall(m / "root/inst", false, m.Folders(), {});
    EXPECT_EQ(r.Outside, std::vector<std::string>{m / "root/outside/victim.txt"});
    EXPECT_EQ(ReadFile(m / "root/outside/victim.txt"), "victim");
    EXPECT_FALSE(std::filesystem::exists(m / "root/inst/a.bin"));
}

// ---- the desktop and the XDG folders

TEST(InstallSafety, TheDesktopTakesLaunchersOnly) {
    Machine m(5, "[Install]\r\nCopy c.txt,99,@ROOT@\\desktop,x.txt\r\n");
    const std::string why = Refusal([&] { m.Plan(); });
    EXPECT_EQ(why.substr(0, why.find(" (")),
              "lies outside the folders this installation may write to")
        << why;
    EXPECT_NE(why.find(" | " + (m / "root/desktop/x.txt")), std::string::npos) << why;
}

TEST(InstallSafety, NoDesktopAtOrAboveHomeAndNoDataHomeThere) {
    TempDir dir;
    std::filesystem::create_directories(dir / "home/.config");
    InstallEnvironment env;
    env.Home = dir / "home";
    env.DataHome = dir / "home/.local/share";
    env.ConfigHome = dir / "home/.config";
    for (const std::string& desktop : {dir / "home", dir.Path().string(), std::string("/")}) {
        env.DesktopDir = desktop;
        EXPECT_EQ(DesktopFolder(env), "") << desktop;
    }
    WriteFile(dir / "home/.config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/\"\n");
    env.DesktopDir.clear();
    EXPECT_EQ(DesktopFolder(env), "");
    for (const std::string& bad : {std::string("/"), dir / "home", dir.Path().string()}) {
        InstallEnvironment data = env, config = env;
        data.DataHome = bad;
        config.ConfigHome = bad;
        EXPECT_EQ(Refusal([&] { MapFolders("/opt/x", data); }).substr(0, 13), "XDG_DATA_HOME")
            << bad;
        EXPECT_EQ(Refusal([&] { MapFolders("/opt/x", config); }).substr(0, 15), "XDG_CONFIG_HOME")
            << bad;
    }
}

TEST(InstallSafety, AsRootADesktopNotRootsOwnIsIgnored) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to give the folder to another user";
    TempDir dir;
    std::filesystem::create_directories(dir / "home/Desktop");
    InstallEnvironment env;
    env.Root = true;
    env.Home = dir / "home";
    env.ConfigHome = dir / "home/.config";
    env.DesktopDir = dir / "home/Desktop";
    EXPECT_EQ(DesktopFolder(env), dir / "home/Desktop");
    ASSERT_EQ(::chown((dir / "home/Desktop").c_str(), 65534, 65534), 0);
    EXPECT_EQ(DesktopFolder(env), "");
}

// ---- the start of a journal

TEST(InstallSafety, AFolderAnotherProcessMadeIsNeverRecordedAsMade) {
    TempDir dir;
    std::vector<std::pair<std::string, FolderEvent>> events;
    const FolderHandle top(::open(dir.Path().c_str(), O_RDONLY | O_DIRECTORY));
    const FolderHandle made =
        OpenFolderBelowFd(top.Get(), dir.Path().string(), "a/b", FolderWalk::Create, FolderRules{},
                          [&](const std::filesystem::path& folder, FolderEvent event) {
                              events.push_back({folder.string(), event});
                              // Another process makes "b" just before this walk would.
                              if (event == FolderEvent::AboutToMake && folder.filename() == "b")
                                  std::filesystem::create_directory(folder);
                          });
    EXPECT_TRUE(made.IsOpen());
    const std::vector<std::pair<std::string, FolderEvent>> expected = {
        {dir / "a", FolderEvent::AboutToMake},
        {dir / "a/b", FolderEvent::AboutToMake},
        {dir / "a/b", FolderEvent::FoundMade}};
    EXPECT_EQ(events, expected);
    // Undoing removes the folder made, never the one found made.
    RootTable roots;
    roots.Add(dir.Path().string());
    roots.Open({});
    const std::vector<JournalRecord> records = {
        {JournalKind::Root, {0, ""}, dir.Path().string(), "", 0, 0},
        {JournalKind::MakeFolder, {0, "a"}, "", "", 0, 0},
        {JournalKind::MakeFolder, {0, "a/b"}, "", "", 0, 0},
        {JournalKind::Found, {0, "a/b"}, "", "", 0, 0}};
    const RecoveryResult r = UndoJournal(records, roots, [] {});
    EXPECT_TRUE(std::filesystem::exists(dir / "a/b"));
    EXPECT_EQ(r.KeptFolders, std::vector<std::string>{dir / "a"}); // it holds b
}

TEST(InstallSafety, TwoInstallationsIntoOneNewFolderDoNotPlanAtOnce) {
    TempDir dir;
    const InstallLock first = InstallLock::TakeAnchor(dir / "new/app");
    EXPECT_EQ(Refusal([&] { InstallLock::TakeAnchor(dir / "new/other"); }),
              "another installation or uninstallation is working there | " + dir.Path().string());
}

// A folder made that cannot be removed (a file is there now) keeps the
// journal for the next start; the folders that hold the journal go after it.
TEST(InstallSafety, TheJournalGoesOnlyAfterEveryFolderItMade) {
    TempDir dir;
    RootTable roots;
    roots.Add(dir.Path().string());
    roots.Open({});
    const std::string journal = dir / "a/inst/.kavelo-journal";
    const auto made = [&](const std::string& folder) {
        return JournalRecord{JournalKind::MakeFolder, {0, folder}, "", "", 0, 0};
    };
    const struct {
        std::vector<std::string> folders;
        bool journalStays;
    } cases[] = {{{"a", "a/inst", "x"}, true}, {{"a", "a/inst"}, false}};
    for (const auto& c : cases) {
        std::filesystem::create_directories(dir / "a/inst");
        WriteFile(journal, "kavelo-journal\t1\n");
        WriteFile(dir / "x", "a file where a folder was made");
        std::vector<JournalRecord> records = {
            {JournalKind::Root, {0, ""}, dir.Path().string(), "", 0, 0}};
        for (const std::string& folder : c.folders)
            records.push_back(made(folder));
        // Removed through its folder, as the installation does: the chain
        // may have moved out of sight.
        const FolderHandle inst(::open((dir / "a/inst").c_str(), O_RDONLY | O_DIRECTORY));
        const RecoveryResult r = UndoJournal(
            records, roots, [&] { ::unlinkat(inst.Get(), ".kavelo-journal", 0); },
            Place{0, "a/inst"});
        EXPECT_EQ(std::filesystem::exists(journal), c.journalStays) << c.folders.size();
        EXPECT_EQ(std::filesystem::exists(dir / "a"), c.journalStays) << c.folders.size();
        EXPECT_EQ(r.Problems.empty(), !c.journalStays) << c.folders.size();
    }
}

// A start killed while it made its folders left them under a private name;
// the next start into a folder there removes them, and nothing else.
TEST(InstallSafety, FoldersAKilledStartWasMakingAreRemovedByTheNext) {
    TempDir dir;
    const std::string killed = dir / ".kavelo-chain-12-0123456789abcdef";
    const std::string other = dir / ".kavelo-chain-13-0123456789abcdef";
    std::filesystem::create_directories(killed + "/deep/inst");
    WriteFile(killed + "/deep/inst/.kavelo-journal", "kavelo-journal\t1\n");
    std::filesystem::create_directories(other + "/deep");
    WriteFile(other + "/deep/notes.txt", "the user's");
    const InstallLock anchor = InstallLock::TakeAnchor(dir / "new/deep/inst");
    EXPECT_FALSE(std::filesystem::exists(killed));
    EXPECT_TRUE(std::filesystem::exists(other + "/deep/notes.txt"));
}

// ---- the program started at the end

TEST(InstallSafety, OnlyAProgramTheInstallationWritesIsStarted) {
    const struct {
        std::string script, launch;
    } cases[] = {
        {"[Install]\r\nCopy d.sh,1,,d.sh,S 1\r\n", "root/inst/d.sh"},
        {"[Install]\r\nCopy c.txt,1,,c.txt\r\nLink c.txt,99,\\bin,sh,S 1,,,-c \"echo\"\r\n", ""},
        {"[Install]\r\nLink d.sh,1,,d.sh,S 1\r\nCopy d.sh,1,,d.sh\r\n", ""},
    };
    for (const auto& c : cases) {
        Machine m(5, c.script);
        const InstallPlan plan = m.Plan();
        EXPECT_EQ(plan.LaunchProgram, c.launch.empty() ? "" : m / c.launch) << c.script;
    }
}

} // namespace
