// The one writer: a file replaced only when the new one is complete, in the
// folder of the target, with the mode asked for, and nothing left behind.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "common/AtomicFile.h"
#include "common/Errors.h"
#include "common/FileDescriptor.h"
#include "common/WholeFile.h"

namespace {

namespace fs = std::filesystem;

class AtomicFileTest : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "kavelo-atomic-XXXXXX").string();
        dir_ = mkdtemp(pattern.data());
    }
    void TearDown() override { fs::remove_all(dir_); }
    size_t EntriesInFolder() const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(dir_), {}));
    }
    fs::path dir_;
};

TEST_P(AtomicFileTest, ReplacesTheTargetOnlyOnCommit) {
    const std::string target = (dir_ / "out.bin").string();
    std::ofstream(target) << "old";
    {
        AtomicFile file(target, GetParam());
        file.Write("new contents");
        EXPECT_EQ(ReadWholeFile(target), "old");
        file.Commit(0640);
    }
    EXPECT_EQ(ReadWholeFile(target), "new contents");
    struct stat st {};
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(EntriesInFolder(), 1u);
}

TEST_P(AtomicFileTest, AWriteGivenUpLeavesTheOldFileAndNoTemporary) {
    const std::string target = (dir_ / "out.bin").string();
    std::ofstream(target) << "old";
    {
        AtomicFile file(target, GetParam());
        file.Write("half");
    }
    EXPECT_EQ(ReadWholeFile(target), "old");
    EXPECT_EQ(EntriesInFolder(), 1u);
}

TEST_P(AtomicFileTest, WritersThatOpenByNameReachTheTemporaryFile) {
    const std::string target = (dir_ / "out.bin").string();
    AtomicFile file(target, GetParam());
    std::ofstream(file.OpenPath(), std::ios::binary) << "by name";
    file.Commit(0600);
    EXPECT_EQ(ReadWholeFile(target), "by name");
}

INSTANTIATE_TEST_SUITE_P(UnnamedAndNamed, AtomicFileTest, ::testing::Bool());

TEST(AtomicFile, AMissingFolderIsAnIoErrorNamingTheTarget) {
    const std::string target = "/nonexistent-kavelo-folder/out.bin";
    try {
        WriteFileAtomically(target, "x", 0644);
        FAIL() << "no error";
    } catch (const IoError& e) {
        EXPECT_EQ(e.Path(), target);
        EXPECT_EQ(e.Code(), ENOENT);
    }
}

TEST(FileDescriptor, ClosesOnceAndHandsOnWhenMoved) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    FileDescriptor reader(fds[0]);
    {
        FileDescriptor writer(fds[1]);
        FileDescriptor moved(std::move(writer));
        EXPECT_FALSE(writer.IsOpen());
        EXPECT_EQ(moved.Get(), fds[1]);
    }
    // Every writer is closed: the reader sees the end at once.
    char c;
    EXPECT_EQ(read(reader.Get(), &c, 1), 0);
    EXPECT_EQ(reader.Close(), 0);
    EXPECT_FALSE(reader.IsOpen());
}

} // namespace
