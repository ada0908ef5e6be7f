// The recent list in the settings: moves to the top, letter case, the 33rd
// entry, stale values, exact paths, and damaged or unwritable settings.
#include "ui/RecentProjects.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include <map>
#include <string>
#include <unistd.h>
#include <vector>

#include "ProcessRun.h"
#include "common/ProcessInfo.h"

namespace {

using Paths = std::vector<std::string>;

// Every test gets its own settings folder under the test run's temporary HOME.
class RecentProjectsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        UseFolder(dir_.path());
    }
    void TearDown() override {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, previous_);
    }

    void UseFolder(const QString& folder) {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
    }
    QString SettingsFile() const { return dir_.path() + "/Tavrin/KaveloMaker.conf"; }

    // What the store holds, by value name.
    static std::map<QString, QString> Stored() {
        QSettings settings(QStringLiteral("Tavrin"), QStringLiteral("KaveloMaker"));
        std::map<QString, QString> values;
        for (const QString& key : settings.allKeys())
            values[key] = settings.value(key).toString();
        return values;
    }
    static void Store(const std::map<QString, QString>& values) {
        QSettings settings(QStringLiteral("Tavrin"), QStringLiteral("KaveloMaker"));
        for (const auto& [key, value] : values)
            settings.setValue(key, value);
    }

    // Updates with s<count>.exe down to s1.exe, so s1 ends at the top.
    static void Fill(RecentProjects& list, int count) {
        for (int i = count; i >= 1; --i)
            list.UpdateRecentList("/setups/s" + std::to_string(i) + ".exe");
    }

    QTemporaryDir dir_;
    QString previous_ = QDir::homePath() + "/.config";
};

TEST_F(RecentProjectsTest, InsertsAtTheTopAndReadsBack) {
    RecentProjects list;
    list.Read();
    EXPECT_TRUE(list.Entries().empty());
    EXPECT_TRUE(list.UpdateRecentList("/setups/one.exe"));
    EXPECT_TRUE(list.UpdateRecentList("/setups/two.exe"));
    EXPECT_EQ(list.Entries(), (Paths{"/setups/two.exe", "/setups/one.exe"}));
    RecentProjects again;
    again.Read();
    EXPECT_EQ(again.Entries(), list.Entries());
    EXPECT_EQ(Stored().size(), 2u);
}

TEST_F(RecentProjectsTest, TheTopEntryAgainWritesNothing) {
    RecentProjects list;
    list.UpdateRecentList("/setups/a.exe");
    Store({{"05", "/left/alone.exe"}}); // a write would delete it
    EXPECT_FALSE(list.UpdateRecentList("/setups/a.exe"));
    EXPECT_EQ(Stored().count("05"), 1u);
}

TEST_F(RecentProjectsTest, ThirdOfFiveMovesToTheTop) {
    RecentProjects list;
    Fill(list, 5);
    list.UpdateRecentList("/setups/s3.exe");
    const Paths expected{"/setups/s3.exe", "/setups/s1.exe", "/setups/s2.exe", "/setups/s4.exe",
                         "/setups/s5.exe"};
    EXPECT_EQ(list.Entries(), expected);
    RecentProjects stored;
    stored.Read();
    EXPECT_EQ(stored.Entries(), expected);
}

TEST_F(RecentProjectsTest, LetterCaseIsIgnoredAndTheNewSpellingKept) {
    RecentProjects list;
    Fill(list, 3);
    list.UpdateRecentList("/SETUPS/S1.EXE"); // the top entry in other letters
    EXPECT_EQ(list.Entries(), (Paths{"/SETUPS/S1.EXE", "/setups/s2.exe", "/setups/s3.exe"}));
    list.UpdateRecentList("/Setups/S3.exe");
    EXPECT_EQ(list.Entries(), (Paths{"/Setups/S3.exe", "/SETUPS/S1.EXE", "/setups/s2.exe"}));
}

TEST_F(RecentProjectsTest, The33rdProjectDropsTheOldest) {
    RecentProjects list;
    Fill(list, 32);
    list.UpdateRecentList("/setups/new.exe");
    ASSERT_EQ(list.Entries().size(), 32u);
    EXPECT_EQ(list.Entries().front(), "/setups/new.exe");
    EXPECT_EQ(list.Entries().back(), "/setups/s31.exe");
    const auto stored = Stored();
    EXPECT_EQ(stored.size(), 32u);
    EXPECT_EQ(stored.begin()->first, QStringLiteral("01"));
    EXPECT_EQ(stored.rbegin()->first, QStringLiteral("32"));
}

TEST_F(RecentProjectsTest, ListEndsAtAGapAndStaleValuesAreDeleted) {
    Store({{"01", "/a.exe"}, {"02", "/b.exe"}, {"04", "/d.exe"}, {"07", ""}});
    RecentProjects list;
    list.Read();
    EXPECT_EQ(list.Entries(), (Paths{"/a.exe", "/b.exe"}));
    list.UpdateRecentList("/c.exe");
    const auto stored = Stored();
    EXPECT_EQ(stored.size(), 3u);
    EXPECT_EQ(stored.at("03"), QStringLiteral("/b.exe"));
    EXPECT_EQ(stored.count("04"), 0u);
}

TEST_F(RecentProjectsTest, PathsReadBackExactly) {
    const Paths paths{"/home/j\xC3\xBCrgen/My Setups/\xE2\x82\xAC setup.exe", " leading blank.exe",
                      "trailing blank.exe ", "/latin1 \xE9t\xE9.exe", "a, b; c=d \"q\" \\x.exe"};
    RecentProjects list;
    for (auto it = paths.rbegin(); it != paths.rend(); ++it)
        list.UpdateRecentList(*it);
    RecentProjects stored;
    stored.Read();
    EXPECT_EQ(stored.Entries(), paths);
}

TEST_F(RecentProjectsTest, GarbageSettingsFileGivesAnEmptyListAndIsReplaced) {
    QDir().mkpath(dir_.path() + "/Tavrin");
    QFile file(SettingsFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    std::string garbage;
    for (int i = 0; i < 4096; ++i)
        garbage += static_cast<char>((i * 7919) % 251);
    file.write(garbage.data(), static_cast<qint64>(garbage.size()));
    file.close();
    RecentProjects list;
    list.Read();
    EXPECT_TRUE(list.Entries().empty());
    EXPECT_TRUE(list.UpdateRecentList("/setups/fresh.exe"));
    EXPECT_EQ(Stored().size(), 1u); // nothing of the garbage is kept
    RecentProjects again;
    again.Read();
    EXPECT_EQ(again.Entries(), Paths{"/setups/fresh.exe"});
}

TEST_F(RecentProjectsTest, UnreadableSettingsGiveAnEmptyListAndAreNotReplaced) {
    QDir().mkpath(SettingsFile()); // a folder where the file should be
    RecentProjects list;
    list.Read();
    EXPECT_TRUE(list.Entries().empty());
    EXPECT_FALSE(list.UpdateRecentList("/setups/x.exe"));
    EXPECT_TRUE(QFileInfo(SettingsFile()).isDir());
}

TEST_F(RecentProjectsTest, UnwritableFolderWritesNothing) {
    QFile blocker(dir_.path() + "/not-a-folder");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    UseFolder(blocker.fileName()); // the settings folder would have to be inside a file
    RecentProjects list;
    list.Read();
    EXPECT_FALSE(list.UpdateRecentList("/setups/x.exe"));
    EXPECT_EQ(list.Entries(), Paths{"/setups/x.exe"}); // the dialog's list still moves
    EXPECT_EQ(QFileInfo(blocker.fileName()).size(), 0);
}

TEST_F(RecentProjectsTest, ReadOnlyFolderWritesNothing) {
    if (::geteuid() == 0) {
        // Permissions do not bind root: this test runs again as the user
        // "nobody", in a process of its own.
        const ProcessResult r =
            RunProcess({"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", OwnPath(),
                        "--gtest_filter=RecentProjectsTest.ReadOnlyFolderWritesNothing"});
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_NE(r.out.find("[  PASSED  ] 1 test"), std::string::npos) << r.out;
        return;
    }
    QDir().mkpath(dir_.path() + "/Tavrin");
    QFile::setPermissions(dir_.path() + "/Tavrin", QFile::ReadOwner | QFile::ExeOwner);
    RecentProjects list;
    EXPECT_FALSE(list.UpdateRecentList("/setups/x.exe"));
    EXPECT_FALSE(QFile::exists(SettingsFile()));
    QFile::setPermissions(dir_.path() + "/Tavrin",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace
