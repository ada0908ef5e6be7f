// The runtime run as root, each run inside a private mount namespace with
// empty file systems over the folders a root installation maps to, so that
// nothing reaches the machine's own: folders another user could replace are
// refused (unless --allow-unsafe-folders), and what is made gets 0755 and
// 0644 whatever the umask.
#include <gtest/gtest.h>

#include "InstallSandbox.h"

namespace {

const std::string kKavelo = KAVELO_PATH;

// Runs command as root in a private mount namespace, umask 000.
RunResult RunIsolated(const Sandbox& box, const std::vector<std::string>& command) {
    std::vector<std::string> words = {
        "unshare",
        "-m",
        "sh",
        "-c",
        "mount --make-rprivate / && "
        "for d in /opt /usr/local /usr/share/applications; do "
        "if [ -d $d ]; then mount -t tmpfs tmpfs $d || exit 99; fi; done && "
        "umask 000 && exec \"$@\"",
        "sh",
        "env",
        "-i",
        "PATH=/usr/bin:/bin",
        "HOME=" + box / "home"};
    words.insert(words.end(), command.begin(), command.end());
    return RunCommand(words);
}

TEST(RuntimeAsRoot, RefusesFoldersAnotherUserCouldReplace) {
    if (::geteuid() != 0) GTEST_SKIP() << "runs only as root";
    Sandbox box;
    if (RunIsolated(box, {"true"}).status != 0)
        GTEST_SKIP() << "no private mount namespace can be made here";
    const std::string setup = box.MakeSetup(kKavelo, "app", {{"app.sh", "#!/bin/sh\n"}},
                                            CrLf({"[Install]", "Copy app.sh,1,bin,app.sh"}), "");
    std::filesystem::create_directories(box / "users");
    std::filesystem::create_directories(box / "mine");
    ASSERT_EQ(::chown((box / "users").c_str(), 65534, 65534), 0);
    std::filesystem::create_directory_symlink(box / "mine", box / "link");
    const struct {
        std::string dir;
        bool allow;
        int status;
        std::string says;
    } cases[] = {
        {box / "users/inst", false, 1, box / "users: is owned by another user"},
        {box / "link/inst", false, 1, box / "link: is a symbolic link, not followed"},
        {box / "users/inst", true, 0, "Installed into"},
        {box / "mine/inst", false, 0, "Installed into"},
    };
    for (const auto& c : cases) {
        const TreeSnapshot before = box.Tree();
        std::vector<std::string> command = {setup, "--unattended", "--dir", c.dir};
        if (c.allow) command.push_back("--allow-unsafe-folders");
        const RunResult r = RunIsolated(box, command);
        EXPECT_EQ(r.status, c.status) << c.dir << "\n" << r.out;
        EXPECT_TRUE(Contains(r.out, c.says)) << r.out;
        if (c.status != 0) {
            EXPECT_TRUE(Contains(r.out, "--allow-unsafe-folders uses it anyway")) << r.out;
            EXPECT_EQ(SnapshotDifference(before, box.Tree()), "") << c.dir;
        }
    }
    // Made under umask 000: never writable by others.
    for (const char* made : {"mine/inst", "mine/inst/bin"})
        EXPECT_EQ(ModeOf(box / made), 0755u) << made;
    EXPECT_EQ(ModeOf(box / "mine/inst/bin/app.sh"), 0755u);
    EXPECT_EQ(ModeOf(box / "mine/inst/.kavelo-manifest"), 0644u);
}

} // namespace
