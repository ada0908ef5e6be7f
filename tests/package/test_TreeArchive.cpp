// The tree container: a round trip keeps every entry exactly, files alike go
// together, containers of versions 1 and 2 still read, and every hostile
// container of any version (lying counts and sizes, unsafe names,
// duplicates, escaping links, left-over bytes, an index that lies) is
// refused as damaged input.
#include <gtest/gtest.h>

#include "common/BigEndian.h"
#include "common/Errors.h"
#include "package/TreeArchive.h"
#include "package/TreeReader.h"

namespace {

Tree Sample() {
    return {"MyApp",
            {{TreeKind::Folder, "bin", ""},
             {TreeKind::Program, "bin/Run.sh", "#!/bin/sh\necho hi\n"},
             {TreeKind::Folder, "empty", ""},
             {TreeKind::Folder, "lib", ""},
             {TreeKind::File, "lib/libQt6Core.so.6.4",
              std::string("\0\x7f"
                          "ELF",
                          5)},
             {TreeKind::Link, "lib/libQt6Core.so.6", "libQt6Core.so.6.4"},
             {TreeKind::Link, "bin/app", "../lib/libQt6Core.so.6"},
             {TreeKind::File, "Ünïcode näme", "x"}}};
}

// One record as EncodeTree writes it.
std::string Record(TreeKind kind, const std::string& name, const std::string& data) {
    const std::string len = LongToChars(static_cast<uint32_t>(name.size()));
    return std::string(1, static_cast<char>(kind)) + len.substr(2) +
           LongToChars(static_cast<uint32_t>(data.size())) + name + data;
}

std::string Header(uint32_t count, uint32_t data, const std::string& root = "r") {
    return "KVTREE" + std::string("\0\1", 2) + LongToChars(root.size()).substr(2) +
           LongToChars(count) + LongToChars(data) + root;
}

// Versions 2 and 3: index is the index's length; a file's record is its
// head alone.
std::string Header2(uint32_t count, uint32_t data, uint32_t index, char version = 2) {
    return "KVTREE" + std::string(1, '\0') + version + std::string("\0\1", 2) +
           LongToChars(count) + LongToChars(data) + LongToChars(index) + "r";
}

std::string FileHead(const std::string& name, uint32_t size) {
    return Record(TreeKind::File, name, "").substr(0, 3) + LongToChars(size) + name;
}

} // namespace

TEST(TreeArchive, RoundTripKeepsNamesKindsAndContentsInNameOrder) {
    const Tree tree = DecodeTree(EncodeTree(Sample()));
    EXPECT_EQ(tree.RootName, "MyApp");
    Tree sorted = Sample();
    std::sort(sorted.Entries.begin(), sorted.Entries.end(),
              [](const auto& a, const auto& b) { return a.Name < b.Name; });
    EXPECT_EQ(tree.Entries, sorted.Entries);
    EXPECT_EQ(tree.FileCount(), 5u);
    EXPECT_EQ(tree.ContentSize(), 18u + 5u + 1u);
    const TreeSummary s = PeekTree(EncodeTree(Sample()));
    EXPECT_EQ(s.EntryCount, 8u);
    EXPECT_EQ(s.RootName, "MyApp");
}

// Version 3 is what is written: the index (folders, links, then files),
// then the files' contents. Version 1 and 2 containers of the same tree read
// as the same tree.
TEST(TreeArchive, HandWrittenContainersOfEveryVersionRead) {
    const std::string v3 = Header2(4, 6, 39, 3) + Record(TreeKind::Folder, "a", "") +
                           Record(TreeKind::Link, "a/c", "b") + FileHead("a/b", 2) +
                           FileHead("a/d", 3) + "hi" + "you";
    const std::string v2 = Header2(4, 6, 39) + Record(TreeKind::Folder, "a", "") +
                           FileHead("a/b", 2) + Record(TreeKind::Link, "a/c", "b") +
                           FileHead("a/d", 3) + "hi" + "you";
    EXPECT_EQ(EncodeTree(DecodeTree(v2)), v3);
    const std::string v1 =
        Header(4, 6) + Record(TreeKind::Folder, "a", "") + Record(TreeKind::File, "a/b", "hi") +
        Record(TreeKind::Link, "a/c", "b") + Record(TreeKind::File, "a/d", "you");
    const Tree tree = DecodeTree(v1);
    EXPECT_EQ(tree.Entries, DecodeTree(v2).Entries);
    EXPECT_EQ(tree.Entries, DecodeTree(v3).Entries);
    EXPECT_EQ(tree.Entries[3].Data, "you");
    EXPECT_EQ(PeekTree(v1).Version, 1u);
    EXPECT_EQ(PeekTree(v2).IndexSize, 39u);
}

// The files' contents go text first, then programs and libraries, other
// binary data, and data already compressed; by extension, then name, within
// each: the compressor's statistics carry from one file to the next alike.
TEST(TreeArchive, FilesAlikeGoTogether) {
    const std::string elf("\x7f" "ELF\2\1\1\0", 8);
    const std::string png("\x89PNG\r\n\x1a\n", 8);
    const std::string binary("\1\0\2\0", 4);
    const Tree tree{"r",
                    {{TreeKind::File, "a.png", png},
                     {TreeKind::File, "b.so", elf},
                     {TreeKind::File, "c.txt", "text\n"},
                     {TreeKind::File, "d.dat", binary},
                     {TreeKind::File, "e.md", "more text"},
                     {TreeKind::Program, "f", elf},
                     {TreeKind::File, "g.txt", "text"},
                     {TreeKind::Folder, "z", ""},
                     {TreeKind::Link, "y", "c.txt"}}};
    struct Order : TreeReader::Events {
        std::vector<std::string> Names;
        void Begin(const TreeEntry& e, uint32_t) override { Names.push_back(e.Name); }
        void Contents(const char*, size_t) override {}
    } order;
    const std::string bytes = EncodeTree(tree);
    TreeReader reader(bytes.size(), order);
    reader.Add(bytes.data(), bytes.size());
    reader.Finish();
    EXPECT_EQ(order.Names, (std::vector<std::string>{"z", "y", "e.md", "c.txt", "g.txt", "f",
                                                     "b.so", "d.dat", "a.png"}));
}

TEST(TreeArchive, HostileContainersAreRefused) {
    const std::string file = Record(TreeKind::File, "f", "xy");
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"wrong magic", "KVTROO" + Header(0, 0).substr(6)},
        {"version 4", "KVTREE" + std::string("\0\4\0\1\0\0\0\0\0\0\0\0\0\0\0\0r", 17)},
        {"root name with a slash", Header(0, 0, "a/b")},
        {"root name ..", Header(0, 0, "..")},
        {"count larger than the bytes", Header(1000000, 0) + file},
        {"count over the limit", Header(kMaxTreeEntries + 1, 0)},
        {"data size that lies high", Header(1, 3) + file},
        {"data size that lies low", Header(1, 1) + file},
        {"record cut short", Header(1, 2) + file.substr(0, file.size() - 1)},
        {"bytes left over", Header(1, 2) + file + "!"},
        {"dot-dot name", Header(1, 0) + Record(TreeKind::File, "../x", "")},
        {"absolute name", Header(1, 0) + Record(TreeKind::File, "/etc/x", "")},
        {"empty part", Header(1, 0) + Record(TreeKind::File, "a//b", "")},
        {"backslash", Header(1, 0) + Record(TreeKind::File, "a\\b", "")},
        {"control character", Header(1, 0) + Record(TreeKind::File, "a\nb", "")},
        {"not UTF-8", Header(1, 0) + Record(TreeKind::File, "a\xff", "")},
        {"overlong UTF-8", Header(1, 0) + Record(TreeKind::File, "\xc0\xaf", "")},
        {"duplicate",
         Header(2, 0) + Record(TreeKind::File, "f", "") + Record(TreeKind::File, "f", "")},
        {"out of order",
         Header(2, 0) + Record(TreeKind::File, "g", "") + Record(TreeKind::File, "f", "")},
        {"no folder entry", Header(1, 0) + Record(TreeKind::File, "a/b", "")},
        {"file as folder",
         Header(2, 0) + Record(TreeKind::File, "a", "") + Record(TreeKind::File, "a/b", "")},
        {"link as folder",
         Header(2, 1) + Record(TreeKind::Link, "a", "b") + Record(TreeKind::File, "a/b", "")},
        {"unknown kind", Header(1, 0) + Record(static_cast<TreeKind>(9), "f", "")},
        {"folder with data", Header(1, 1) + Record(TreeKind::Folder, "d", "x")},
        {"absolute link", Header(1, 4) + Record(TreeKind::Link, "l", "/etc")},
        {"escaping link", Header(1, 2) + Record(TreeKind::Link, "l", "..")},
        {"link climbing after a name", Header(2, 9) + Record(TreeKind::Folder, "d", "") +
                                           Record(TreeKind::Link, "d/l", "x/../../y")},
        {"empty link", Header(1, 0) + Record(TreeKind::Link, "l", "")},
        // Version 2: the index's length, the data lengths and the count
        // against the index and the bytes after it.
        {"v2 index longer than its records", Header2(1, 2, 9) + FileHead("f", 2) + "xy"},
        {"v2 index shorter than its records", Header2(1, 2, 7) + FileHead("f", 2) + "xy"},
        {"v2 index past the end", Header2(1, 2, 100) + FileHead("f", 2) + "xy"},
        {"v2 index over the limit", Header2(1, 2, kMaxTreeIndex + 1) + FileHead("f", 2) + "xy"},
        {"v2 data size that lies high", Header2(1, 3, 8) + FileHead("f", 3) + "xy"},
        {"v2 data size that lies low", Header2(1, 2, 8) + FileHead("f", 3) + "xy"},
        {"v2 contents longer than the data", Header2(1, 2, 8) + FileHead("f", 2) + "xyz"},
        {"v2 contents cut short", Header2(1, 2, 8) + FileHead("f", 2) + "x"},
        {"v2 count larger than the index", Header2(5000, 2, 8) + FileHead("f", 2) + "xy"},
        {"v2 a record past the index", Header2(2, 2, 8) + FileHead("f", 2) + "xy"},
        {"v2 link target past the index",
         Header2(1, 3, 8) + FileHead("l", 3).replace(0, 1, "\3") + "abc"},
        {"v2 escaping link", Header2(1, 2, 10) + Record(TreeKind::Link, "l", "..")},
        {"v2 dot-dot name", Header2(1, 0, 11) + FileHead("../x", 0)},
        // Version 3: any order, but each name once and each folder first.
        {"v3 duplicate apart", Header2(3, 0, 24, 3) + FileHead("f", 0) + FileHead("g", 0) +
                                   FileHead("f", 0)},
        {"v3 folder after its file", Header2(2, 0, 18, 3) + FileHead("a/b", 0) +
                                         Record(TreeKind::Folder, "a", "")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_THROW(DecodeTree(c.bytes), DamagedInput);
    }
}

TEST(TreeArchive, LinkTargetsStayInsideTheTree) {
    const struct {
        const char* link;
        const char* target;
        bool ok;
    } cases[] = {
        {"a", "b", true},           {"a", "./b/c", true},        {"d/a", "../b", true},
        {"d/e/a", "../../b", true}, {"d/e/a", "../..", true},    {"a", "../b", false},
        {"d/a", "../../b", false},  {"d/a", "b/../../c", false}, {"a", "/b", false},
        {"a", "b/..", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.link) + " -> " + c.target);
        EXPECT_EQ(LinkTargetProblem(c.link, c.target).empty(), c.ok);
    }
}

TEST(TreeArchive, EncodeRefusesWhatDecodeWouldRefuse) {
    Tree t = Sample();
    t.Entries.push_back({TreeKind::Link, "evil", "../../etc/passwd"});
    EXPECT_THROW(EncodeTree(t), InvalidRequest);
    t = Sample();
    t.Entries.push_back({TreeKind::File, "nofolder/x", ""});
    EXPECT_THROW(EncodeTree(t), InvalidRequest);
}

TEST(TreeArchive, ProjectNameIsLowerCaseWithTheSuffix) {
    EXPECT_EQ(TreeProjectName("MyApp"), "myapp.tree");
    EXPECT_TRUE(IsTreeName("myapp.tree"));
    EXPECT_FALSE(IsTreeName(".tree"));
    EXPECT_FALSE(IsTreeName("myapp.exe"));
}
