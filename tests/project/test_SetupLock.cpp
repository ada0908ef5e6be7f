// The setup lock against other users and other sessions: a lock folder or
// lock file planted by someone else is never written through, and a writer
// of another session (another runtime folder, or none) is kept out by the
// lock on the setup's own file, which follows the file a save writes.
#include "project/SetupLock.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "TestHost.h"
#include "common/Errors.h"

namespace fs = std::filesystem;

namespace {

// Points the lock folders at a temporary world: TMPDIR and HOME inside it,
// no runtime folder; restores the environment afterwards.
class LockWorld {
  public:
    LockWorld() {
        for (const char* name : {"TMPDIR", "HOME", "XDG_RUNTIME_DIR", "XDG_CACHE_HOME"})
            if (const char* v = std::getenv(name))
                saved_.emplace_back(name, v);
            else
                saved_.emplace_back(name, std::nullopt);
        fs::create_directories(root / "tmp");
        fs::create_directories(root / "home");
        setenv("TMPDIR", (root / "tmp").c_str(), 1);
        setenv("HOME", (root / "home").c_str(), 1);
        unsetenv("XDG_RUNTIME_DIR");
        unsetenv("XDG_CACHE_HOME");
    }
    ~LockWorld() {
        for (const auto& [name, value] : saved_)
            value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
    }
    // The folder of this user in the temporary folder.
    fs::path Own() const { return root.Path() / "tmp" / ("kavelo-" + std::to_string(geteuid())); }

    TempDir root;

  private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

void MakeFolder(const fs::path& folder, mode_t mode) {
    fs::create_directories(folder);
    ASSERT_EQ(chmod(folder.c_str(), mode), 0) << folder;
}

struct PlantCase {
    const char* what;
    // Plants in world; lockName is the lock file's name.
    std::function<void(LockWorld& world, const std::string& lockName)> plant;
    bool refused; // else the lock is taken, in the cache folder
};

TEST(SetupLock, PlantedFoldersAndFilesAreNeverWrittenThrough) {
    const std::string precious = "export PATH=/usr/bin\n";
    auto linkToVictim = [](LockWorld& w, const fs::path& at) {
        fs::create_symlink(w.root / "victim", at);
    };
    std::vector<PlantCase> cases = {
        {"the user's folder is a link to another's",
         [&](LockWorld& w, const std::string& name) {
             MakeFolder(w.root.Path() / "theirs/kavelo-locks", 0700);
             linkToVictim(w, w.root.Path() / "theirs/kavelo-locks" / name);
             fs::create_directory_symlink(w.root.Path() / "theirs", w.Own());
         },
         false},
        {"the user's folder may be written by others",
         [&](LockWorld& w, const std::string& name) {
             MakeFolder(w.Own() / "kavelo-locks", 0777);
             MakeFolder(w.Own(), 0777);
             linkToVictim(w, w.Own() / "kavelo-locks" / name);
         },
         false},
        {"the lock folder may be used by others",
         [&](LockWorld& w, const std::string& name) {
             MakeFolder(w.Own() / "kavelo-locks", 0755);
             MakeFolder(w.Own(), 0700);
             linkToVictim(w, w.Own() / "kavelo-locks" / name);
         },
         false},
        {"the lock file is a link",
         [&](LockWorld& w, const std::string& name) {
             MakeFolder(w.Own() / "kavelo-locks", 0700);
             MakeFolder(w.Own(), 0700);
             linkToVictim(w, w.Own() / "kavelo-locks" / name);
         },
         true},
        {"the lock file is another name of a file",
         [&](LockWorld& w, const std::string& name) {
             MakeFolder(w.Own() / "kavelo-locks", 0700);
             MakeFolder(w.Own(), 0700);
             fs::create_hard_link(w.root / "victim", w.Own() / "kavelo-locks" / name);
         },
         true},
    };
    // Only root can give a folder to another user.
    if (geteuid() == 0)
        cases.push_back({"the user's folder belongs to another user",
                         [&](LockWorld& w, const std::string& name) {
                             MakeFolder(w.Own() / "kavelo-locks", 0700);
                             MakeFolder(w.Own(), 0700);
                             linkToVictim(w, w.Own() / "kavelo-locks" / name);
                             ASSERT_EQ(lchown((w.Own() / "kavelo-locks").c_str(), 65534, 65534), 0);
                             ASSERT_EQ(lchown(w.Own().c_str(), 65534, 65534), 0);
                         },
                         false});

    for (const PlantCase& c : cases) {
        LockWorld world;
        WriteFile(world.root / "victim", precious);
        const std::string setup = world.root / "t.exe";
        const std::string lockName = fs::path(SetupLock::LockPathFor(setup)).filename();
        fs::remove_all(world.root.Path() / "home/.cache");
        fs::remove_all(world.Own());
        c.plant(world, lockName);
        if (c.refused) {
            EXPECT_THROW(SetupLock::Acquire(setup, "kavelo"), KaveloError) << c.what;
        } else {
            const SetupLock lock = SetupLock::Acquire(setup, "kavelo");
            EXPECT_TRUE(lock.Held()) << c.what;
            EXPECT_EQ(fs::path(SetupLock::LockPathFor(setup)).parent_path(),
                      world.root.Path() / "home/.cache/kavelo-locks")
                << c.what;
        }
        EXPECT_EQ(ReadFile(world.root / "victim"), precious) << c.what;
    }
}

// Another session has another runtime folder (or none): the lock on the
// setup's own file keeps its writers out all the same.
TEST(SetupLock, WritersOfAnotherSessionAreKeptOut) {
    LockWorld world;
    const std::string setup = world.root / "t.exe";
    WriteFile(setup, "a setup");
    setenv("XDG_RUNTIME_DIR", (world.root / "home").c_str(), 1);
    const SetupLock mine = SetupLock::Acquire(setup, "kavelomaker");
    unsetenv("XDG_RUNTIME_DIR");
    try {
        SetupLock::Acquire(setup, "kavelo", std::chrono::milliseconds(100));
        ADD_FAILURE() << "a writer of another session got the setup";
    } catch (const KaveloError& e) {
        EXPECT_EQ(e.Reason(), "in use by another program");
        EXPECT_EQ(e.Path(), setup);
    }
}

} // namespace
