// The runtime starts on any x86-64 Linux with glibc 2.17 or later: it is
// static (no dynamic section) or needs no symbol version above GLIBC_2.17;
// and without HOME it finds the user's home in /etc/passwd itself.
#include <gtest/gtest.h>

#include <regex>

#include "InstallSandbox.h"

namespace {

const std::string kKavelo = KAVELO_PATH;

// "2.17" -> {2, 17}
std::pair<int, int> Version(const std::string& text) {
    const size_t dot = text.find('.');
    return {std::stoi(text.substr(0, dot)), std::stoi(text.substr(dot + 1))};
}

TEST(PortableRuntime, NeedsNoGlibcAbove217) {
    const RunResult dynamic = RunCommand({"readelf", "-d", RUNTIME_PATH});
    ASSERT_EQ(dynamic.status, 0) << dynamic.out;
    if (Contains(dynamic.out, "There is no dynamic section")) return;
    const RunResult symbols = RunCommand({"objdump", "-T", RUNTIME_PATH});
    ASSERT_EQ(symbols.status, 0) << symbols.out;
    EXPECT_FALSE(Contains(symbols.out, "GLIBCXX_")) << "the C++ library must be linked in";
    const std::regex version("GLIBC_([0-9]+\\.[0-9]+)");
    for (auto it = std::sregex_iterator(symbols.out.begin(), symbols.out.end(), version);
         it != std::sregex_iterator(); ++it)
        EXPECT_LE(Version((*it)[1]), std::make_pair(2, 17)) << (*it)[0];
}

TEST(PortableRuntime, WithoutHomeTheUsersHomeComesFromPasswd) {
    // As root the setup would run as nobody, whose home does not exist.
    if (::geteuid() == 0) GTEST_SKIP() << "needs a user with a home of its own";
    Sandbox box;
    const std::string setup = box / "src/demo.run";
    ASSERT_EQ(RunCommand({kKavelo, "new", setup}).status, 0);
    // "name:x:uid:gid:gecos:home:shell": the sixth field.
    const RunResult passwd = RunCommand({"getent", "passwd", std::to_string(::getuid())});
    ASSERT_EQ(passwd.status, 0);
    std::string home = passwd.out.substr(0, passwd.out.find('\n'));
    for (int field = 0; field < 5; ++field)
        home.erase(0, home.find(':') + 1);
    home = home.substr(0, home.find(':'));
    const RunResult dry =
        RunCommand({"env", "-i", "PATH=/usr/bin:/bin", setup, "--dry-run", "--dir", box / "inst"});
    EXPECT_EQ(dry.status, 0) << dry.out;
    EXPECT_TRUE(Contains(dry.out, home + "/.local/share/applications/")) << home << "\n" << dry.out;
}

} // namespace
