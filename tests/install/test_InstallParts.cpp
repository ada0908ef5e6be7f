// The installer's small parts: SHA-256 (both ways of computing it), the
// Linux mapping of script targets, launcher texts, record lines, manifests
// and version comparison.
#include <gtest/gtest.h>

#include <random>

#include "TestHost.h"
#include "common/BigEndian.h"
#include "common/Errors.h"
#include "common/Utf8Text.h"
#include "install/DesktopEntry.h"
#include "install/DisplayText.h"
#include "install/LinuxFolders.h"
#include "install/Manifest.h"
#include "common/Sha256.h"

namespace {

TEST(Sha256, KnownDigestsAndBothWaysAgree) {
    const std::string million(1000000, 'a');
    const struct {
        std::string input, digest;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {million, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const Sha256::Engine engine : {Sha256::Engine::Best, Sha256::Engine::Portable}) {
        for (const auto& c : cases)
            EXPECT_EQ(Sha256Hex(c.input, engine), c.digest)
                << c.input.size() << " portable " << (engine == Sha256::Engine::Portable);
    }
    // Pieces of every length around the 64-byte blocks give the digest of the whole.
    std::mt19937 rng(5);
    std::string data(3000, '\0');
    for (char& c : data)
        c = static_cast<char>(rng());
    for (size_t cut : {0u, 1u, 55u, 56u, 63u, 64u, 65u, 127u, 2999u}) {
        const std::string expected = Sha256Hex(data, Sha256::Engine::Portable);
        Sha256 pieces;
        pieces.Update(std::string_view(data).substr(0, cut));
        pieces.Update(std::string_view(data).substr(cut));
        EXPECT_EQ(pieces.FinishHex(), expected) << cut;
    }
}

InstallEnvironment UserEnvironment() {
    InstallEnvironment env;
    env.Home = "/home/ann";
    env.DataHome = "/home/ann/.local/share";
    env.ConfigHome = "/home/ann/.config";
    return env;
}

TEST(LinuxFolders, BaseFoldersForRootAndForAUser) {
    InstallEnvironment env = UserEnvironment();
    EXPECT_EQ(DefaultInstallFolder("My Company\\My App", env),
              "/home/ann/.local/opt/My Company/My App");
    const LinuxFolders user = MapFolders("/home/ann/.local/opt/x", env);
    EXPECT_EQ(user.Lib, "/home/ann/.local/lib");
    EXPECT_EQ(user.Share, "/home/ann/.local/share");
    EXPECT_EQ(user.Menu, "/home/ann/.local/share/applications");
    EXPECT_EQ(user.AllUsersMenu, "");
    env.Root = true;
    EXPECT_EQ(DefaultInstallFolder("Acme\\Tool\\", env), "/opt/Acme/Tool");
    const LinuxFolders root = MapFolders("/opt/x", env);
    EXPECT_EQ(root.Lib, "/usr/local/lib");
    EXPECT_EQ(root.Share, "/usr/local/share");
    EXPECT_EQ(root.AllUsersMenu, "/usr/share/applications");
    for (const char* bad : {"", "..\\..\\etc", "a\\..\\..\\b"})
        EXPECT_THROW(DefaultInstallFolder(bad, env), InvalidRequest) << bad;
    try {
        AbsoluteFolder("/tmp/with\\backslash");
        ADD_FAILURE() << "a backslash was taken";
    } catch (const InvalidRequest& e) {
        EXPECT_EQ(e.Reason(), "a folder name may not hold a backslash or a control character");
        EXPECT_EQ(e.Path(), "/tmp/with\\backslash");
    }
    EXPECT_EQ(AbsoluteFolder("/tmp//a/./b/../c/"), "/tmp/a/c");
}

// Script targets worked out with the Linux folders, then made Linux paths.
TEST(LinuxFolders, TargetsOfCommandLines) {
    const LinuxFolders folders = MapFolders("/opt/Acme/Tool", UserEnvironment());
    const BaseFolders base = ScriptFolders(folders);
    const std::string longName(5000, 'x');
    // path, or the reason it is refused.
    const struct {
        std::string line;
        std::string path;
    } cases[] = {
        {"Copy a,1,,a.exe", "/opt/Acme/Tool/a.exe"},
        {"Copy a,0,bin\\x,a", "/opt/Acme/Tool/bin/x/a"},
        {"Copy a,2,,liba.so", "/home/ann/.local/lib/liba.so"},
        {"Copy a,3,icons,a.png", "/home/ann/.local/share/icons/a.png"},
        {"Copy a,1,..\\Other,a.exe", "/opt/Acme/Other/a.exe"},
        {"Copy a,1,\\srv\\data,a", "/srv/data/a"},
        {"Copy a,99,\\var\\lib\\acme,a", "/var/lib/acme/a"},
        {"Copy a,1,,/etc/passwd", "/opt/Acme/Tool/etc/passwd"},
        {"Copy sub\\b.txt,1,,", "/opt/Acme/Tool/b.txt"},
        {"Copy a,99,D:\\Apps,a", "is not an absolute path"},
        {"Copy a,99,,a", "/a"},
        {"Copy a,1,,..\\..\\evil", "holds a \"..\" part"},
        {"Copy a,1,..\\..\\..\\..\\..\\x,a", "is not an absolute path"},
        {"Copy a,1,," + longName, "a name in it is too long or holds a NUL"},
    };
    for (const auto& c : cases) {
        const InstallCommand command = ParseInstallCommand(c.line, base);
        std::string got;
        try {
            got = LinuxPath(command.TargetPath);
        } catch (const InvalidRequest& e) {
            got = e.Reason();
        }
        EXPECT_EQ(got, c.path) << c.line.substr(0, 60);
    }
}

TEST(LinuxFolders, DesktopFromTheEnvironmentOrTheUserDirsFile) {
    TempDir dir;
    std::filesystem::create_directories(dir / "home/Schreibtisch");
    std::filesystem::create_directories(dir / "home/.config");
    InstallEnvironment env;
    env.Home = dir / "home";
    env.ConfigHome = dir / "home/.config";
    EXPECT_EQ(DesktopFolder(env), ""); // no ~/Desktop
    WriteFile(dir / "home/.config/user-dirs.dirs",
              "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
    EXPECT_EQ(DesktopFolder(env), dir / "home/Schreibtisch");
    std::filesystem::create_directories(dir / "elsewhere");
    env.DesktopDir = dir / "elsewhere";
    EXPECT_EQ(DesktopFolder(env), dir / "elsewhere");
}

TEST(DesktopEntry, ExecQuotingAndNames) {
    const struct {
        std::string program;
        std::vector<std::string> args;
        std::string exec;
    } cases[] = {
        {"/opt/a/app", {}, "/opt/a/app"},
        {"/opt/My App/app", {"--fast"}, "\"/opt/My App/app\" --fast"},
        {"/opt/a/app", {"two words", "100%"}, "/opt/a/app \"two words\" 100%%"},
        {"/opt/a/app",
         {"$HOME", "a\"b", "c\\d", "`x`"},
         "/opt/a/app \"\\\\$HOME\" \"a\\\\\"b\" \"c\\\\\\\\d\" \"\\\\`x\\\\`\""},
        {"/opt/a/app", {""}, "/opt/a/app \"\""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DesktopExec(c.program, c.args), c.exec) << c.exec;
    EXPECT_EQ(SplitOptions("--a  \"two words\" b\"c d\""),
              (std::vector<std::string>{"--a", "two words", "bc d"}));
    const std::pair<std::string, std::string> names[] = {
        {"Start My Application", "Start-My-Application"},
        {"..", "launcher"},
        {"../../etc/x", "etc-x"},
        {".hidden", "hidden"},
        {"\x1b[31mred", "31mred"},
    };
    for (const auto& [text, name] : names)
        EXPECT_EQ(LauncherName(text), name) << text;
    EXPECT_EQ(MenuSubfolder("My Company\\..\\My App"), "My-Company/My-App");
    const std::string entry = DesktopEntryText({"Caf\xe9 line\nbreak", "/opt/a/app", {}});
    EXPECT_NE(entry.find("Name=Caf\xc3\xa9 line\\nbreak\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("Exec=/opt/a/app\nPath=/opt/a\n"), std::string::npos) << entry;
}

TEST(Manifest, RoundTripsHostileNamesAndRefusesDamage) {
    Manifest m;
    m.Caption = "Tab\there, line\nbreak, back\\slash";
    m.Installed = "2024-01-02 03:04:05";
    m.Roots.Add("/opt/x y");
    m.Roots.Add("/home/ann/.local");
    m.Folders.push_back({1, "lib/\x01odd"});
    m.Files.push_back({{0, "a\tb/c\nd.txt"}, 12, std::string(64, 'a'), "1.0", false});
    m.Files.push_back({{1, "share/x.desktop"}, 7, std::string(64, 'b'), "", true});
    const Manifest read = ReadManifest(ManifestText(m), "/m");
    EXPECT_EQ(read.Caption, m.Caption);
    EXPECT_EQ(read.Roots.Folders(), m.Roots.Folders());
    ASSERT_EQ(read.Files.size(), 2u);
    EXPECT_EQ(read.Files[0].Where, m.Files[0].Where);
    EXPECT_EQ(read.Files[0].Version, "1.0");
    EXPECT_TRUE(read.Files[1].Launcher);
    EXPECT_EQ(read.Folders, m.Folders);
    const std::string head = "kavelo-manifest\t1\nroot\t0\t/opt/x\n";
    const std::pair<std::string, std::string> bad[] = {
        {"not a manifest\n", "not a manifest of an installation"},
        {head + "file\t3\ta\t1\t" + std::string(64, 'a') + "\t\n", "line 3 does not read"},
        {head + "file\t0\ta\tx\t" + std::string(64, 'a') + "\t\n", "line 3 does not read"},
        {head + "folder\t0\tbad\\q\n", "line 3 does not read"},
        {"", "the manifest is empty"}};
    for (const auto& [text, reason] : bad) {
        try {
            ReadManifest(text, "/opt/x/.kavelo-manifest");
            ADD_FAILURE() << text;
        } catch (const DamagedInput& e) {
            EXPECT_EQ(e.Reason(), reason) << text;
            EXPECT_EQ(e.Path(), "/opt/x/.kavelo-manifest");
        }
    }
}

TEST(Manifest, CompareVersions) {
    const struct {
        const char *a, *b;
        int order;
    } cases[] = {{"1.0", "1", 0},     {"1.10", "1.9", 1}, {"2", "10", -1},     {"1.0.1", "1.0", 1},
                 {"", "0", 0},        {"1.0a", "1.0", 1}, {"1.0b", "1.0a", 1}, {"007", "7", 0},
                 {" 1.2 ", "1.2", 0}, {"3.0", "", 1}};
    for (const auto& c : cases) {
        EXPECT_EQ(CompareVersions(c.a, c.b), c.order) << c.a << " vs " << c.b;
        EXPECT_EQ(CompareVersions(c.b, c.a), -c.order) << c.b << " vs " << c.a;
    }
}

TEST(DisplayText, ControlsEscapedAndCodePageTurnedIntoUtf8) {
    EXPECT_EQ(Shown("a\x1b[2Jb\x07"), "a\\x1b[2Jb\\x07");
    EXPECT_EQ(Shown(std::string(300, 'n')), std::string(200, 'n') + "...");
    EXPECT_EQ(BytesToUtf8("gr\xfc\xdf \x80"), "gr\xc3\xbc\xc3\x9f \xe2\x82\xac");
    EXPECT_EQ(BytesToUtf8("gr\xc3\xbc\xc3\x9f"), "gr\xc3\xbc\xc3\x9f");
    EXPECT_EQ(ShownText("one\r\ntwo\x1b"), "one\ntwo");
}

} // namespace

TEST(DesktopEntry, IconThemePathFromTheIconsKindAndSize) {
    const auto png = [](uint32_t w, uint32_t h) {
        return std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) + LongToChars(w) + LongToChars(h);
    };
    const struct {
        const char* file;
        std::string contents;
        const char* path;
    } cases[] = {
        {"a/tally.svg", "<svg/>", "hicolor/scalable/apps/Tally-App.svg"},
        {"a/tally.png", png(48, 48), "hicolor/48x48/apps/Tally-App.png"},
        {"a/tally.png", png(48, 32), ""},                  // not square
        {"a/tally.png", png(0, 0), ""},                    // no size
        {"a/tally.png", "GIF89a-and-more-bytes-here", ""}, // not a PNG
        {"a/tally.png", png(48, 48).substr(0, 20), ""},    // cut short
        {"a/tally.xpm", "/* XPM */", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IconThemePath("Tally App", c.file, c.contents), c.path) << c.file;
}
