// Shipping an application folder as a tree, end to end: a folder holding a
// real program of this machine, a script that starts it, a relative link and
// mixed-case names is added with kavelo, installed for a user, started from
// the installed tree, through its link and its command link, its launcher
// showing its icon, upgraded by a tree that drops a
// file, and uninstalled; a tree whose folder place holds a file or a link to
// outside writes nothing.
#include <gtest/gtest.h>

#include <filesystem>

#include "InstallSandbox.h"

namespace fs = std::filesystem;

namespace {

const std::string kKavelo = KAVELO_PATH;

// The application folder: bin/RealTrue (this machine's true), bin/Start.sh
// that runs it and says so, bin/start -> Start.sh, lib/Plugins/Readme.TXT
// and an empty share/Empty.
void MakeApp(const std::string& app) {
    fs::create_directories(app + "/bin");
    fs::create_directories(app + "/lib/Plugins");
    fs::create_directories(app + "/share/Empty");
    fs::copy_file("/bin/true", app + "/bin/RealTrue");
    WriteFile(app + "/bin/Start.sh", "#!/bin/sh\nhere=$(dirname \"$(readlink -f \"$0\")\")\n"
                                     "\"$here/RealTrue\" && echo started from the tree\n");
    fs::permissions(app + "/bin/Start.sh",
                    fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
    fs::create_symlink("Start.sh", app + "/bin/start");
    WriteFile(app + "/lib/Plugins/Readme.TXT", "plugin notes\n");
    WriteFile(app + "/bin/start.svg",
              "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"16\" height=\"16\">"
              "<rect width=\"16\" height=\"16\" fill=\"teal\"/></svg>\n");
    WriteFile(app + "/share/Logo.svg", "<svg xmlns=\"http://www.w3.org/2000/svg\"/>\n");
}

// The launcher's categories, and its icon: the SVG beside the target, or
// the one the sixth field names.
std::string Script(const std::string& version, const std::string& icon) {
    return CrLf({"[Install]", "Copy MyApp.tree,1,,,,," + version,
                 "Link myapp.tree/bin/start,1,,,SCT 1 Development;IDE;," + icon});
}

std::string MakeTreeSetup(const Sandbox& box, const std::string& name, const std::string& version,
                          const std::string& icon = "") {
    const std::string setup = box.MakeSetup(kKavelo, name, {}, Script(version, icon), "My App\r\n");
    const RunResult r = RunCommand({kKavelo, "add", setup, box / "MyApp"});
    EXPECT_EQ(r.status, 0) << r.out;
    return setup;
}

} // namespace

TEST(RuntimeTrees, InstallStartUpgradeAndUninstallATree) {
    Sandbox box;
    MakeApp(box / "MyApp");
    const std::string v1 = MakeTreeSetup(box, "v1", "1.0");
    fs::remove(box / "MyApp/lib/Plugins/Readme.TXT");
    const std::string v2 = MakeTreeSetup(box, "v2", "2.0", "MyApp.tree/share/Logo.svg");
    box.HandOver();
    const std::string inst = box / "inst";

    RunResult r = box.Run({v1, "--unattended", "--dir", inst, "--no-launch"});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(ReadFile(inst + "/lib/Plugins/Readme.TXT"), "plugin notes\n");
    EXPECT_TRUE(fs::is_directory(inst + "/share/Empty"));
    EXPECT_EQ(fs::read_symlink(inst + "/bin/start"), "Start.sh");
    EXPECT_EQ(box.Run({inst + "/bin/Start.sh"}).out, "started from the tree\n");
    EXPECT_EQ(box.Run({inst + "/bin/start"}).out, "started from the tree\n");
    // "C": a command link on the PATH, and a word when the folder is not on it.
    EXPECT_EQ(fs::read_symlink(box / "home/.local/bin/start"), inst + "/bin/start");
    EXPECT_EQ(box.Run({box / "home/.local/bin/start"}).out, "started from the tree\n");
    EXPECT_NE(r.out.find(box / "home/.local/bin" + " is not on the PATH"), std::string::npos);
    // The launcher shows the SVG beside its target, installed into the theme;
    // "T" asks for a terminal; it passes desktop-file-validate.
    const std::string desktop =
        box / "home/.local/share/applications/My-Company/My-Application/My-App.desktop";
    const std::string launcher = ReadFile(desktop);
    for (const std::string& line :
         {"Exec=" + inst + "/bin/start\n", std::string("Icon=My-App\n"),
          std::string("Terminal=true\n"), std::string("Categories=Development;IDE;\n")})
        EXPECT_NE(launcher.find(line), std::string::npos) << line << launcher;
    EXPECT_EQ(ReadFile(box / "home/.local/share/icons/hicolor/scalable/apps/My-App.svg"),
              ReadFile(box / "MyApp/bin/start.svg"));
    const RunResult valid = RunCommand({"desktop-file-validate", desktop});
    EXPECT_EQ(valid.status, 0) << valid.out;

    // The same version again keeps the tree; a higher one replaces it and
    // removes what the new tree no longer holds.
    r = box.Run({v1, "--unattended", "--dir", inst, "--no-launch"});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("Skip"), std::string::npos) << r.out;
    r = box.Run({v2, "--unattended", "--dir", inst, "--no-launch"});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_FALSE(fs::exists(inst + "/lib/Plugins/Readme.TXT"));
    EXPECT_EQ(ReadFile(box / "home/.local/share/icons/hicolor/scalable/apps/My-App.svg"),
              ReadFile(box / "MyApp/share/Logo.svg"));
    EXPECT_TRUE(fs::exists(inst + "/bin/RealTrue"));
    EXPECT_EQ(box.Run({inst + "/bin/start"}).out, "started from the tree\n");

    r = box.Run({inst + "/uninstall", "--yes"});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_FALSE(fs::exists(inst));
    EXPECT_FALSE(fs::exists(fs::symlink_status(box / "home/.local/bin/start")));
    EXPECT_FALSE(fs::exists(box / "home/.local/share/icons/hicolor/scalable/apps/My-App.svg"));
}

TEST(RuntimeTrees, ATreeNeverWritesThroughWhatIsInItsWay) {
    const struct {
        const char* plant;
        const char* says;
    } cases[] = {
        {"file", "is not a folder"},
        {"link", "symbolic link"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.plant);
        Sandbox box;
        MakeApp(box / "MyApp");
        const std::string setup = MakeTreeSetup(box, "t", "1.0");
        fs::create_directories(box / "inst");
        if (std::string(c.plant) == "file") WriteFile(box / "inst/lib", "in the way");
        if (std::string(c.plant) == "link")
            fs::create_directory_symlink(box / "outside", box / "inst/lib");
        box.HandOver();
        const TreeSnapshot before = box.Tree();
        const RunResult r = box.Run({setup, "--unattended", "--dir", box / "inst", "--no-launch"});
        EXPECT_EQ(r.status, 1) << r.out;
        EXPECT_NE(r.out.find(c.says), std::string::npos) << r.out;
        EXPECT_EQ(SnapshotDifference(before, box.Tree()), "");
    }
}
