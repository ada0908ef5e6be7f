// A tree unpacked as a reader tells it: the same files, modes and links
// whatever the pieces its bytes come in; a tree that breaks off keeps what
// came before it and leaves no temporary file; a folder in a file's way is
// refused.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>

#include "TestHost.h"
#include "common/Errors.h"
#include "common/ProcessInfo.h"
#include "install/TreeWrite.h"
#include "package/TreeArchive.h"

namespace {

namespace fs = std::filesystem;

Tree Sample() {
    Tree tree;
    tree.RootName = "App";
    std::string big(300000, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 7 % 251);
    tree.Entries = {{TreeKind::Folder, "bin", ""},
                    {TreeKind::Program, "bin/app", big},
                    {TreeKind::File, "empty", ""},
                    {TreeKind::Link, "run", "bin/app"},
                    {TreeKind::File, "z.txt", "last"}};
    return tree;
}

// Feeds bytes to an unpacker below dir, step bytes at a time, then finishes;
// the names told as written.
std::vector<std::string> Unpack(const std::string& bytes, size_t step, const fs::path& dir) {
    std::vector<std::string> written;
    TreeUnpacker unpacker(dir, [&](const TreeEntry& e) { written.push_back(e.Name); });
    TreeReader reader(bytes.size(), unpacker);
    for (size_t at = 0; at < bytes.size(); at += step)
        reader.Add(bytes.data() + at, std::min(step, bytes.size() - at));
    reader.Finish();
    return written;
}

mode_t ModeOf(const fs::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// Names below dir that are no entry of the sample (temporary files).
std::vector<std::string> Strays(const fs::path& dir) {
    std::vector<std::string> strays;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        const std::string name = fs::relative(e.path(), dir).string();
        if (name != "bin" && name != "bin/app" && name != "empty" && name != "run" &&
            name != "z.txt")
            strays.push_back(name);
    }
    return strays;
}

TEST(TreeUnpacker, WritesTheSameTreeWhateverThePieces) {
    const Tree tree = Sample();
    const std::string bytes = EncodeTree(tree);
    const mode_t mask = CurrentUmask();
    for (const size_t step : {size_t{1}, size_t{4093}, bytes.size()}) {
        SCOPED_TRACE(step);
        TempDir dir;
        // In the container's order: folders, links, then files alike together.
        EXPECT_EQ(Unpack(bytes, step, dir / "out"),
                  (std::vector<std::string>{"bin", "run", "empty", "z.txt", "bin/app"}));
        EXPECT_EQ(ReadFile(dir / "out/bin/app"), tree.Entries[1].Data);
        EXPECT_EQ(ReadFile(dir / "out/empty"), "");
        EXPECT_EQ(ReadFile(dir / "out/z.txt"), "last");
        EXPECT_EQ(fs::read_symlink(dir / "out/run"), "bin/app");
        EXPECT_EQ(ModeOf(dir / "out/bin/app"), 0755 & ~mask);
        EXPECT_EQ(ModeOf(dir / "out/z.txt"), 0644 & ~mask);
        EXPECT_TRUE(Strays(dir / "out").empty());
    }
}

TEST(TreeUnpacker, ABrokenTreeKeepsWhatCameBeforeAndNoTemporaryFile) {
    const std::string bytes = EncodeTree(Sample());
    TempDir dir;
    // Cut inside bin/app's contents: the reader stops there.
    const std::string cut = bytes.substr(0, 100000);
    std::vector<std::string> written;
    {
        TreeUnpacker unpacker(dir / "out", [&](const TreeEntry& e) { written.push_back(e.Name); });
        TreeReader reader(bytes.size(), unpacker);
        reader.Add(cut.data(), cut.size());
        EXPECT_THROW(reader.Finish(), DamagedInput);
    }
    EXPECT_EQ(written, (std::vector<std::string>{"bin", "run", "empty", "z.txt"}));
    EXPECT_TRUE(fs::is_directory(dir / "out/bin"));
    EXPECT_TRUE(Strays(dir / "out").empty());
    EXPECT_FALSE(fs::exists(dir / "out/bin/app"));

    // A folder where a file goes is refused, naming it; nothing stays of the file.
    fs::create_directories(dir / "again/z.txt");
    try {
        Unpack(bytes, bytes.size(), dir / "again");
        ADD_FAILURE() << "unpacked";
    } catch (const KaveloError& e) {
        EXPECT_EQ(e.Path(), dir / "again/z.txt");
    }
    EXPECT_TRUE(Strays(dir / "again").empty());
}

} // namespace
