// The package writer: entries, the empty package, the build's one call
// byte for byte, merges with every policy and the delete mask, relocation of
// kept data checked against an in-memory model, sources of every kind.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <random>
#include <set>
#include <tuple>
#include <vector>

#include "huffman/Huffman.h"
#include "common/Sha256.h"
#include "package/PackageChecksums.h"
#include "package/PackageReader.h"
#include "package/PackageWriter.h"
#include "PackageTestUtil.h"

using namespace pkgtest;

namespace {

const std::string kAbracadabraStream =
    FromHex("00 00 00 0A | 61 01 62 03 63 03 64 03 72 03 | A2 18 | 00 00 00 0B | A7 31 4E");

std::string Entry(uint8_t flags, const std::string& stored, uint32_t uncompressed) {
    return std::string(1, static_cast<char>(flags)) + LongToChars(0) +
           LongToChars(static_cast<uint32_t>(stored.size())) + LongToChars(uncompressed) + stored;
}

std::string RawEntry(const std::string& contents) {
    return Entry(0, contents, static_cast<uint32_t>(contents.size()));
}

// An item list with the bytes and records its items point to.
struct Items {
    std::deque<std::string> bytes;
    std::deque<EntryRecord> records;
    std::vector<PackageItem> list;

    void Inline(const std::string& data, const std::string& name) {
        bytes.push_back(data);
        list.push_back({name, PackageItem::Inline{bytes.back()}});
    }
    void File(const std::string& path, const std::string& name) {
        list.push_back({name, PackageItem::FromFile{path}});
    }
    void Packed(const std::string& entry, const std::string& name,
                const std::string& sourcePath = {}) {
        records.push_back(DecodeEntryRecord(entry));
        list.push_back({name, PackageItem::Packed{&records.back(), sourcePath}});
    }
};

WriteOptions Options(int32_t policy, std::set<uint32_t> deleted = {}, bool compress = false,
                     bool abortOnUnreadable = false, bool keepTail = true) {
    WriteOptions o;
    o.Policy = static_cast<NameConflictPolicy>(policy);
    o.Delete = std::move(deleted);
    o.CompressRawItems = compress;
    o.AbortOnUnreadableItem = abortOnUnreadable;
    o.KeepTail = keepTail;
    return o;
}

std::string MakeEntryBytes(const std::string& contents, bool compress, int32_t threshold) {
    return EncodeEntryRecord(MakeEntry(contents, compress, threshold));
}

// Writes host + a package of entries; returns P.
int64_t MakePackageFile(const std::string& path, const std::string& host,
                        const std::vector<ModelEntry>& entries) {
    WriteBytes(path, host + ModelPackage(entries, static_cast<uint32_t>(host.size())));
    return static_cast<int64_t>(host.size());
}

// The file after a rewrite: host and the expected package; when the package
// shrank, the trailer stays at the old end and the bytes between are the old
// ones (keep tail) or zeros.
void ExpectPackageFile(const std::string& bytes, const std::string& host,
                       const std::vector<ModelEntry>& expected, size_t oldLength, bool keepTail,
                       const std::string& context = "") {
    // The checksum block goes with the trailer.
    const std::string package = ModelPackage(expected, static_cast<uint32_t>(host.size()), true);
    const size_t tail = 10 + 48 + 32 * expected.size();
    const std::string body = host + package.substr(0, package.size() - tail);
    const std::string trailer = package.substr(package.size() - tail);
    if (body.size() + tail >= oldLength) {
        EXPECT_EQ(bytes, body + trailer) << context;
        return;
    }
    ASSERT_EQ(bytes.size(), oldLength) << context;
    EXPECT_EQ(bytes.substr(0, body.size()), body) << context;
    EXPECT_EQ(bytes.substr(bytes.size() - tail), trailer) << context;
    if (!keepTail) {
        EXPECT_EQ(bytes.substr(body.size(), oldLength - tail - body.size()),
                  std::string(oldLength - tail - body.size(), '\0'))
            << context;
    }
}

std::string Flat(size_t n) { // every byte value equally often
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>((i * 167) % 256);
    return s;
}

} // namespace

TEST(MakeEntry, EmptyAndOneByteFilesAreStoredRaw) {
    EXPECT_EQ(MakeEntryBytes("", true, 100), FromHex("00 00000000 00000000 00000000"));
    // The compressor gives an empty stream for one byte; keeping it would
    // bring the file back empty.
    EXPECT_EQ(MakeEntryBytes("Q", true, 110), FromHex("00 00000000 00000001 00000001") + "Q");
    EXPECT_EQ(MakeEntryBytes("Q", true, 1000), FromHex("00 00000000 00000001 00000001") + "Q");
}

TEST(MakeEntry, WithoutCompressionTheBytesAreStoredAsTheyAre) {
    EXPECT_EQ(MakeEntryBytes("aaaaaaaaaaaaaaaaaaab", false, 100), RawEntry("aaaaaaaaaaaaaaaaaaab"));
}

TEST(MakeEntry, ThresholdDecidesBetweenStreamAndRawBytes) {
    // abracadabra's stream is 23 bytes, 209 % of the 11 input bytes.
    EXPECT_EQ(MakeEntryBytes("abracadabra", true, 100), RawEntry("abracadabra"));
    EXPECT_EQ(MakeEntryBytes("abracadabra", true, 209),
              RawEntry("abracadabra")); // 23 < 22.99 fails
    EXPECT_EQ(MakeEntryBytes("abracadabra", true, 210), Entry(1, kAbracadabraStream, 11));

    // 15616 bytes using all 256 values equally: every code is 8 bits, so the
    // stream is 4 + 512 (table) + 256 (code bits) + 4 + 15616 = 16392 bytes,
    // about 105 % of the file.
    const std::string flat = Flat(15616);
    const std::string asFile = MakeEntryBytes(flat, true, 110);
    EXPECT_EQ(asFile[0], 1);
    EXPECT_EQ(CharsToLong(asFile, 5), 16392u);
    EXPECT_EQ(CharsToLong(asFile, 9), 15616u);
    EXPECT_EQ(MakeEntryBytes(flat, true, 100), RawEntry(flat));
}

TEST(MakeEntry, EveryEntryExtractsToItsContents) {
    const std::vector<std::string> inputs = {"",
                                             "x",
                                             "xx",
                                             "xy",
                                             std::string(5000, 'z'),
                                             "abracadabra",
                                             Flat(3000),
                                             std::string(1000, 'a') + "b"};
    for (const std::string& input : inputs)
        for (int threshold : {95, 100, 110, 1000}) {
            const EntryRecord entry = MakeEntry(input, true, threshold);
            EXPECT_EQ(ExtractEntry(entry), input)
                << input.size() << " bytes, threshold " << threshold;
            EXPECT_EQ(entry.Size, input.size());
        }
}

TEST(MakeEntry, ProgressReachesTheSink) {
    struct Sink : ProgressSink {
        float last = -1;
        int calls = 0;
        void ValueSet(float v) override {
            last = v;
            ++calls;
        }
    } sink;
    const std::string text(100000, 'a');
    MakeEntry(text + "b", true, 100, {&sink, 100000, 200001, 100001});
    EXPECT_GT(sink.calls, 0);
    EXPECT_NEAR(sink.last, 1.0f, 1e-3);
}

TEST(PreparePackage, AppendsExactlyAnEmptyPackageOnce) {
    ScratchDir dir;
    const std::string runtime = "MZ runtime bytes";
    WriteBytes(dir.File("s.exe"), runtime);
    BinaryFile f = BinaryFile::OpenReadWrite(dir.File("s.exe"));
    EXPECT_EQ(PreparePackage(f, false), 16);
    const std::string once =
        runtime + "qkpA" + std::string(12, '\0') + "eof" + FromHex("00 00 00 10") + "qkp";
    EXPECT_EQ(ReadBytes(dir.File("s.exe")), once);
    EXPECT_EQ(EmptyPackageHeader(), "qkpA" + std::string(12, '\0'));
    // A second call finds the package and changes nothing.
    EXPECT_EQ(PreparePackage(f, false), 16);
    EXPECT_EQ(PreparePackage(f, true), 16);
    EXPECT_EQ(ReadBytes(dir.File("s.exe")), once);
    EXPECT_EQ(GetEntryCount(f, 16), 0u);
    EXPECT_EQ(GetEntryCount(f, -1), 0u);
}

TEST(PreparePackage, EmptyFileAndNonEmptyPackage) {
    ScratchDir dir;
    BinaryFile empty = BinaryFile::CreateEmpty(dir.File("e.bin"));
    EXPECT_EQ(PreparePackage(empty, true), 0);
    EXPECT_EQ(empty.Length(), 26);

    MakePackageFile(dir.File("p.bin"), "host", {Raw("a", "1"), Raw("b", "22")});
    BinaryFile f = BinaryFile::OpenReadWrite(dir.File("p.bin"));
    EXPECT_EQ(GetEntryCount(f, 4), 2u);
    EXPECT_EQ(PreparePackage(f, false), -1);
    EXPECT_EQ(PreparePackage(f, true), 4);
}

TEST(WritePackage, TheBuildsCallGivesTheLayoutByteForByte) {
    ScratchDir dir;
    WriteBytes(dir.File("setup.exe"), "MZhost");
    BinaryFile f = BinaryFile::OpenReadWrite(dir.File("setup.exe"));
    const int64_t P = PreparePackage(f, true);
    ASSERT_EQ(P, 6);
    Items items;
    items.Packed(Entry(1, kAbracadabraStream, 11), "setup\\picture.bmp");
    items.Packed(RawEntry("[Create]"), "setup\\script.txt");
    items.Packed(RawEntry(""), "setup\\setup.txt");
    items.Packed(RawEntry("x"), "setup\\strings.txt");
    WriteOptions options = Options(0, {}, true);
    options.RawThresholdPercent = 95;
    EXPECT_EQ(WritePackage(f, P, items.list, options), 4);
    const std::string head =
        FromHex("71 6B 70 41 | 00000004 | 00000041 | 00000020") +
        FromHex("01 00000011 00000017 0000000B") + FromHex("00 00000010 00000008 00000008") +
        FromHex("00 0000000F 00000000 00000000") + FromHex("00 00000011 00000001 00000001") +
        "setup\\picture.bmpsetup\\script.txtsetup\\setup.txtsetup\\strings.txt";
    const std::string expected =
        "MZhost" + head + kAbracadabraStream + "[Create]" + "x" +
        ModelChecksumBlock(head, {kAbracadabraStream, "[Create]", "", "x"}) + "eof" +
        FromHex("00000006") + "qkp";
    EXPECT_EQ(ReadBytes(dir.File("setup.exe")), expected);
    EXPECT_EQ(FindPackage(f), 6);
}

TEST(WritePackage, ReadBackGivesEveryEntry) {
    ScratchDir dir;
    BinaryFile f = BinaryFile::CreateEmpty(dir.File("r.bin"));
    const int64_t P = PreparePackage(f, true);
    const std::vector<std::string> contents = {"abracadabra", "", "x",
                                               std::string(3000, 'q') + "rs", Flat(700)};
    Items items;
    for (size_t k = 0; k < contents.size(); ++k)
        items.Packed(MakeEntryBytes(contents[k], true, 110), "file" + std::to_string(k));
    ASSERT_EQ(WritePackage(f, P, items.list, Options(0, {}, true)), 5);

    const std::vector<DirectoryEntry> read = ReadDirectory(f, FindPackage(f));
    ASSERT_EQ(read.size(), 5u);
    for (size_t k = 0; k < contents.size(); ++k) {
        EXPECT_EQ(read[k].Name, "file" + std::to_string(k));
        EXPECT_EQ(ExtractEntry(ReadEntry(f, read[k])), contents[k]);
    }
}

TEST(WritePackage, RawItemsFromInlineDataAndFiles) {
    ScratchDir dir;
    const std::string compressible = std::string(2000, 'a') + std::string(20, 'b');
    WriteBytes(dir.File("big.txt"), compressible);
    WriteBytes(dir.File("small.txt"), "hi");
    // On the calling thread and through the workers alike.
    for (auto [compress, workers] : {std::pair{false, 0}, std::pair{true, 0}, std::pair{true, 2}}) {
        BinaryFile f = BinaryFile::CreateEmpty(dir.File("raw.bin"));
        const int64_t P = PreparePackage(f, true);
        Items items;
        items.Inline(compressible, "inline");
        items.File(dir.File("big.txt"), "file");
        items.File(dir.File("small.txt"), "small"); // its stream would be longer
        items.Inline("", "empty");
        WriteOptions options = Options(0, {}, compress, true);
        options.Workers = workers;
        ASSERT_EQ(WritePackage(f, P, items.list, options), 4);
        const std::vector<DirectoryEntry> read = ReadDirectory(f, P);
        ASSERT_EQ(read.size(), 4u);
        const std::vector<std::string> back = {compressible, compressible, "hi", ""};
        for (size_t k = 0; k < 4; ++k) {
            const EntryRecord entry = ReadEntry(f, read[k]);
            const bool packed = compress && k < 2;
            EXPECT_EQ(entry.Flags, packed ? 1 : 0) << k;
            if (packed) {
                EXPECT_EQ(entry.Stored, CompressHuffman(compressible));
            }
            EXPECT_EQ(ExtractEntry(entry), back[k]) << k;
            EXPECT_EQ(entry.Size, back[k].size());
        }
    }
}

TEST(WritePackage, RawThresholdForInlineItems) {
    // A stream at 105 % of the data: kept with 110, not with 100.
    const std::string flat = Flat(15616);
    for (auto [threshold, flags, workers] : {std::tuple{110, 1, 0}, std::tuple{100, 0, 0},
                                             std::tuple{110, 1, 2}, std::tuple{100, 0, 2}}) {
        ScratchDir dir;
        BinaryFile f = BinaryFile::CreateEmpty(dir.File("t.bin"));
        Items items;
        items.Inline(flat, "flat");
        WriteOptions options = Options(0, {}, true);
        options.RawThresholdPercent = threshold;
        options.Workers = workers;
        WritePackage(f, PreparePackage(f, true), items.list, options);
        const std::vector<DirectoryEntry> read = ReadDirectory(f, 0);
        ASSERT_EQ(read.size(), 1u);
        EXPECT_EQ(read[0].Flags, flags) << threshold;
        EXPECT_EQ(read[0].StoredSize, flags ? 16392u : 15616u);
    }
}

TEST(WritePackage, EntryWithAnOffsetIntoItsSourceFile) {
    ScratchDir dir;
    const std::string stored = "the stored bytes";
    WriteBytes(dir.File("src.bin"), std::string(100, '#') + stored + "tail");
    std::string entry = Entry(0, "", 99);
    entry.replace(1, 4, LongToChars(100));
    entry.replace(5, 4, LongToChars(static_cast<uint32_t>(stored.size())));
    BinaryFile f = BinaryFile::CreateEmpty(dir.File("o.bin"));
    Items items;
    items.Packed(entry, "copied", dir.File("src.bin"));
    ASSERT_EQ(WritePackage(f, PreparePackage(f, true), items.list, Options(0, {}, true, true)), 1);
    EXPECT_EQ(ReadBytes(dir.File("o.bin")), ModelPackage({{"copied", stored, 0, 99}}, 0, true));

    // Past the end of the source, the item cannot be read.
    entry.replace(1, 4, LongToChars(110));
    Items bad;
    bad.Packed(entry, "copied", dir.File("src.bin"));
    BinaryFile g = BinaryFile::CreateEmpty(dir.File("o2.bin"));
    EXPECT_EQ(WritePackage(g, PreparePackage(g, true), bad.list, Options(0, {}, true, true)), -1);
}

TEST(WritePackage, UnreadableItemsAreDroppedOrAbortTheWrite) {
    ScratchDir dir;
    WriteBytes(dir.File("ok.txt"), "present");
    Items items;
    items.Inline("first", "a");
    items.File(dir.File("missing.txt"), "b");
    items.File(dir.File(""), "c"); // a directory
    items.File(dir.File("ok.txt"), "d");
    items.File("", "e"); // no source at all

    MakePackageFile(dir.File("p.bin"), "host", {});
    const std::string before = ReadBytes(dir.File("p.bin"));
    {
        BinaryFile f = BinaryFile::OpenReadWrite(dir.File("p.bin"));
        EXPECT_EQ(WritePackage(f, 4, items.list, Options(0, {}, false, true)), -1);
        EXPECT_EQ(ReadBytes(dir.File("p.bin")), before); // nothing written
    }
    BinaryFile f = BinaryFile::OpenReadWrite(dir.File("p.bin"));
    EXPECT_EQ(WritePackage(f, 4, items.list, Options(0)), 2);
    EXPECT_EQ(ReadBytes(dir.File("p.bin")),
              "host" + ModelPackage({Raw("a", "first"), Raw("d", "present")}, 4, true));
}

TEST(WritePackage, BadArgumentsAreRefusedBeforeWriting) {
    ScratchDir dir;
    MakePackageFile(dir.File("p.bin"), "", {});
    BinaryFile f = BinaryFile::OpenReadWrite(dir.File("p.bin"));
    Items items;
    items.Inline("x", "x");
    const std::vector<PackageItem> tooMany(kMaxWriteItems + 1, items.list[0]);
    EXPECT_THROW(WritePackage(f, 0, tooMany, Options(0)), InvalidRequest);
    EXPECT_THROW(WritePackage(f, 0, items.list, Options(5)), InvalidRequest);
    EXPECT_THROW(WritePackage(f, 3, items.list, Options(0)), DamagedInput);
    Items broken;
    broken.Packed(Entry(0, "abc", 3), "short");
    broken.records.back().StoredSize = 4; // a record that does not hold its stored size
    EXPECT_THROW(WritePackage(f, 0, broken.list, Options(0)), DamagedInput);
    EXPECT_EQ(ReadBytes(dir.File("p.bin")), ModelPackage({}, 0));
}

TEST(WritePackage, DamagedOldDirectoryIsOverwrittenOrRefused) {
    ScratchDir dir;
    std::string damaged = "host" + ModelPackage({Raw("a", "1")}, 4);
    damaged.replace(4 + 4, 4, LongToChars(0xFFFFFFFFu)); // count
    Items items;
    items.Inline("new", "b");
    // A merge must read the old directory: refused before anything is written.
    WriteBytes(dir.File("d.bin"), damaged);
    {
        BinaryFile f = BinaryFile::OpenReadWrite(dir.File("d.bin"));
        EXPECT_THROW(WritePackage(f, 4, items.list, Options(2)), DamagedInput);
        EXPECT_EQ(ReadBytes(dir.File("d.bin")), damaged);
    }
    // Policy 0 does not look at the old entries and writes a sound package.
    BinaryFile f = BinaryFile::OpenReadWrite(dir.File("d.bin"));
    EXPECT_EQ(WritePackage(f, 4, items.list, Options(0)), 1);
    ExpectPackageFile(ReadBytes(dir.File("d.bin")), "host", {Raw("b", "new")}, damaged.size(),
                      true);
}

// A package whose header runs into its trailer: found at P, so a policy-0
// write puts a sound package there; a merge cannot read it and refuses.
TEST(WritePackage, HeaderOverlappingTheTrailerIsRewrittenInPlace) {
    ScratchDir dir;
    const std::string bytes =
        "HOST" + std::string(12, 'h') + "qkpA" + "eof" + LongToChars(16) + "qkp";
    WriteBytes(dir.File("o.bin"), bytes);
    Items items;
    items.Inline("new", "b");
    {
        BinaryFile f = BinaryFile::OpenReadWrite(dir.File("o.bin"));
        ASSERT_EQ(PreparePackage(f, true), 16);
        EXPECT_THROW(WritePackage(f, 16, items.list, Options(2)), DamagedInput);
        EXPECT_EQ(ReadBytes(dir.File("o.bin")), bytes);
        EXPECT_EQ(WritePackage(f, 16, items.list, Options(0)), 1);
    }
    const std::string host = "HOST" + std::string(12, 'h');
    EXPECT_EQ(ReadBytes(dir.File("o.bin")), host + ModelPackage({Raw("b", "new")}, 16, true));
}

// Merging: old entries a, B, c (names compared without regard to case).
struct MergeCase {
    const char* what;
    int32_t policy;
    std::set<uint32_t> deleted;
    int32_t result;                    // -1: nothing written
    std::vector<std::string> expected; // names after the write, in order
};

class MergePolicies : public ::testing::TestWithParam<MergeCase> {};

TEST_P(MergePolicies, KeepDropOrRefuse) {
    const MergeCase c = GetParam();
    ScratchDir dir;
    const std::vector<ModelEntry> old = {Raw("dir\\a.txt", "AAAA"), Raw("dir\\B.txt", "BB"),
                                         Raw("dir\\c.txt", "CCCCCC")};
    const int64_t P = MakePackageFile(dir.File("m.bin"), "runtime", old);
    const std::string before = ReadBytes(dir.File("m.bin"));
    Items items;
    items.Inline("new b", "DIR\\b.TXT");
    items.Inline("new d", "dir\\d.txt");
    BinaryFile f = BinaryFile::OpenReadWrite(dir.File("m.bin"));
    if (c.policy == ConflictRaiseError) {
        try {
            WritePackage(f, P, items.list, Options(c.policy, c.deleted));
            FAIL() << "policy 4 must raise the name conflict";
        } catch (const NameConflict& e) {
            EXPECT_EQ(e.Number(), 1);
        }
        EXPECT_EQ(ReadBytes(dir.File("m.bin")), before);
        return;
    }
    EXPECT_EQ(WritePackage(f, P, items.list, Options(c.policy, c.deleted)), c.result);
    if (c.result == -1) {
        EXPECT_EQ(ReadBytes(dir.File("m.bin")), before);
        return;
    }
    const std::vector<ModelEntry> all = {old[0], old[1], old[2], Raw("DIR\\b.TXT", "new b"),
                                         Raw("dir\\d.txt", "new d")};
    std::vector<ModelEntry> expected;
    for (const std::string& name : c.expected)
        for (const ModelEntry& e : all)
            if (e.name == name) expected.push_back(e);
    ExpectPackageFile(ReadBytes(dir.File("m.bin")), "runtime", expected, before.size(), true,
                      c.what);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MergePolicies,
    ::testing::Values(
        MergeCase{"abort on conflict", 1, {}, -1, {}},
        MergeCase{"abort, but the conflicting entry is deleted",
                  1,
                  {1},
                  4,
                  {"dir\\a.txt", "dir\\c.txt", "DIR\\b.TXT", "dir\\d.txt"}},
        MergeCase{
            "replace old", 2, {}, 4, {"dir\\a.txt", "dir\\c.txt", "DIR\\b.TXT", "dir\\d.txt"}},
        MergeCase{"replace old, delete first and last", 2, {0, 2}, 2, {"DIR\\b.TXT", "dir\\d.txt"}},
        MergeCase{"keep old", 3, {}, 4, {"dir\\a.txt", "dir\\B.txt", "dir\\c.txt", "dir\\d.txt"}},
        MergeCase{"keep old, old deleted so the new one goes in",
                  3,
                  {1},
                  4,
                  {"dir\\a.txt", "dir\\c.txt", "DIR\\b.TXT", "dir\\d.txt"}},
        MergeCase{"deleting an index past the old entries changes nothing",
                  3,
                  {7},
                  4,
                  {"dir\\a.txt", "dir\\B.txt", "dir\\c.txt", "dir\\d.txt"}},
        MergeCase{"raise", 4, {}, 0, {}},
        MergeCase{"policy 0 does not carry old entries", 0, {}, 2, {"DIR\\b.TXT", "dir\\d.txt"}}));

TEST(WritePackage, KeptRunsMoveUpAndDownInOneWrite) {
    // Old data A(100) B(5) C(100) D(50) E(30). B and D are deleted and one new
    // item with a 45-byte name adds 30 bytes of directory and names: A moves
    // up 30 bytes onto the old place of C, C moves up 25, E moves down 25. A
    // copy in plain order would overwrite C before it is moved.
    ScratchDir dir;
    auto fill = [](char c, size_t n) {
        std::string s(n, c);
        for (size_t i = 0; i < n; i += 7)
            s[i] = static_cast<char>('0' + i % 10);
        return s;
    };
    const std::vector<ModelEntry> old = {Raw("A", fill('a', 100)), Raw("B", fill('b', 5)),
                                         Raw("C", fill('c', 100)), Raw("D", fill('d', 50)),
                                         Raw("E", fill('e', 30))};
    const int64_t P = MakePackageFile(dir.File("k.bin"), "host", old);
    const size_t oldLength = ReadBytes(dir.File("k.bin")).size();
    const std::string name(45, 'n');
    Items items;
    items.Inline("new", name);
    BinaryFile f = BinaryFile::OpenReadWrite(dir.File("k.bin"));
    ASSERT_EQ(WritePackage(f, P, items.list, Options(2, {1, 3}, false, false, false)), 4);
    ExpectPackageFile(ReadBytes(dir.File("k.bin")), "host",
                      {old[0], old[2], old[4], Raw(name, "new")}, oldLength, false);
}

TEST(WritePackage, KeepTailOffClearsTheOldTailAndTheTrailerStays) {
    for (bool keepTail : {true, false}) {
        ScratchDir dir;
        const std::vector<ModelEntry> old = {Raw("a", std::string(500, 'x')), Raw("b", "yy")};
        const int64_t P = MakePackageFile(dir.File("t.bin"), "host", old);
        const std::string before = ReadBytes(dir.File("t.bin"));
        BinaryFile f = BinaryFile::OpenReadWrite(dir.File("t.bin"));
        ASSERT_EQ(WritePackage(f, P, {}, Options(2, {0}, false, false, keepTail)), 1);
        const std::string after = ReadBytes(dir.File("t.bin"));
        ExpectPackageFile(after, "host", {old[1]}, before.size(), keepTail);
        if (keepTail) { // the old bytes past the new data are left as they were
            const size_t beforeBlock = after.size() - 10 - (48 + 32) - 2;
            EXPECT_EQ(after.substr(beforeBlock, 2), before.substr(beforeBlock, 2));
        }
        EXPECT_EQ(FindPackage(f), 4);
    }
}

TEST(WritePackage, IntoAnotherFileCopiesTheKeptData) {
    ScratchDir dir;
    const std::vector<ModelEntry> old = {Raw("keep", "kept data"), Raw("drop", "dropped")};
    const int64_t P = MakePackageFile(dir.File("from.bin"), "HOST", old);
    const std::string from = ReadBytes(dir.File("from.bin"));
    WriteBytes(dir.File("to.bin"), "other runtime");
    BinaryFile source = BinaryFile::OpenReadWrite(dir.File("from.bin"));
    BinaryFile target = BinaryFile::OpenReadWrite(dir.File("to.bin"));
    const int64_t P2 = PreparePackage(target, true);
    Items items;
    items.Inline("added", "added");
    WriteOptions options = Options(3, {1});
    options.Destination = &target;
    options.DestinationOffset = P2;
    ASSERT_EQ(WritePackage(source, P, items.list, options), 2);
    EXPECT_EQ(ReadBytes(dir.File("to.bin")),
              "other runtime" +
                  ModelPackage({old[0], Raw("added", "added")}, static_cast<uint32_t>(P2), true));
    EXPECT_EQ(ReadBytes(dir.File("from.bin")), from); // the source package is untouched
}

// Random merges against an in-memory model of the merge: whatever the runs
// look like, the rewritten file must hold exactly the model's package.
TEST(WritePackage, RandomMergesMatchTheModel) {
    std::mt19937 rng(20240707);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    auto bytes = [&](int n) {
        std::string s(static_cast<size_t>(n), '\0');
        for (char& c : s)
            c = static_cast<char>(pick(0, 255));
        return s;
    };
    ScratchDir dir;
    for (int round = 0; round < 300; ++round) {
        std::vector<ModelEntry> old;
        const int oldCount = pick(0, 8);
        for (int k = 0; k < oldCount; ++k)
            old.push_back(Raw("old" + std::to_string(k) + std::string(pick(0, 40), 'n'),
                              bytes(pick(0, 3) == 0 ? 0 : pick(1, 300))));
        std::set<uint32_t> deleted;
        for (int k = 0; k < oldCount; ++k)
            if (pick(0, 2) == 0) deleted.insert(static_cast<uint32_t>(k));
        std::vector<ModelEntry> added;
        Items items;
        const int newCount = pick(0, 5);
        for (int k = 0; k < newCount; ++k) {
            std::string name = "new" + std::to_string(k) + std::string(pick(0, 60), 'm');
            if (oldCount > 0 && pick(0, 2) == 0) { // a conflict, in other case
                name = old[static_cast<size_t>(pick(0, oldCount - 1))].name;
                for (char& c : name)
                    c = static_cast<char>(std::toupper(c));
            }
            const std::string data = bytes(pick(0, 200));
            added.push_back(Raw(name, data));
            items.Inline(data, name);
        }
        const int32_t policy = pick(2, 3);
        const bool keepTail = pick(0, 1) == 1;

        // The model.
        std::vector<ModelEntry> expected;
        for (int k = 0; k < oldCount; ++k) {
            if (deleted.contains(static_cast<uint32_t>(k))) continue;
            std::string upper = old[static_cast<size_t>(k)].name;
            for (char& c : upper)
                c = static_cast<char>(std::toupper(c));
            bool conflict = false;
            for (size_t j = 0; j < added.size();) {
                if (added[j].name != upper) {
                    ++j;
                    continue;
                }
                conflict = true;
                if (policy == 3)
                    added.erase(added.begin() + static_cast<std::ptrdiff_t>(j));
                else
                    ++j;
            }
            if (!(conflict && policy == 2)) expected.push_back(old[static_cast<size_t>(k)]);
        }
        expected.insert(expected.end(), added.begin(), added.end());

        const std::string host = bytes(pick(0, 50));
        const int64_t P = MakePackageFile(dir.File("r.bin"), host, old);
        const size_t oldLength = host.size() + ModelPackage(old, 0).size();
        BinaryFile f = BinaryFile::OpenReadWrite(dir.File("r.bin"));
        ASSERT_EQ(WritePackage(f, P, items.list, Options(policy, deleted, false, false, keepTail)),
                  static_cast<int32_t>(expected.size()))
            << "round " << round;
        ExpectPackageFile(ReadBytes(dir.File("r.bin")), host, expected, oldLength, keepTail,
                          "round " + std::to_string(round));
        if (HasFailure()) break;
    }
}

// Items larger than the workers' pieces: Huffman streams byte for byte as
// the whole-file compressor makes them, zstd frames that give the contents
// back, and contents that do not shrink stored raw with nothing left of the
// stream given up, in the order given and with their checksums.
TEST(WritePackage, WorkersCompressLargeItemsInPiecesInOrder) {
    std::mt19937 rng(5);
    std::string noise(3 << 20, '\0');
    for (char& c : noise)
        c = static_cast<char>(rng());
    std::string text;
    while (text.size() < (5u << 20))
        text += "line " + std::to_string(rng() % 1000) + " of a long text file\r\n";
    for (EntryCodec codec : {EntryCodec::Huffman, EntryCodec::Zstd}) {
        ScratchDir dir;
        BinaryFile f = BinaryFile::CreateEmpty(dir.File("big.bin"));
        Items items;
        items.Inline(text, "text");
        items.Inline(noise, "noise");
        items.Inline("x", "one");
        WriteOptions options = Options(0, {}, true);
        options.Codec = codec;
        options.Workers = 2;
        std::vector<std::pair<std::string, int64_t>> told;
        options.Packing = [&](const std::string& name, int64_t taken) {
            told.emplace_back(name, taken);
        };
        ASSERT_EQ(WritePackage(f, PreparePackage(f, true), items.list, options), 3);
        const std::vector<DirectoryEntry> read = ReadDirectory(f, 0);
        ASSERT_EQ(read.size(), 3u);
        EXPECT_EQ(read[0].Flags, CompressedFlags(codec));
        if (codec == EntryCodec::Huffman) {
            EXPECT_EQ(ReadEntry(f, read[0]).Stored, CompressHuffman(text));
        }
        EXPECT_EQ(ReadEntryContents(f, read[0]), text);
        EXPECT_EQ(read[1].Flags, 0);
        EXPECT_EQ(ReadEntry(f, read[1]).Stored, noise);
        EXPECT_EQ(read[2].Flags, 0);
        EXPECT_EQ(f.Length(),
                  read[2].Offset + 1 + kChecksumFixedSize + 3 * kDigestSize + kTrailerSize);
        EXPECT_TRUE(VerifyPackageChecksums(f, 0, read));
        ASSERT_FALSE(told.empty());
        EXPECT_EQ(told.front(), (std::pair<std::string, int64_t>{"text", 0}));
        EXPECT_EQ(told.back(), (std::pair<std::string, int64_t>{"one", 1}));
    }
}

// Stored bytes copied from their source, a file or bytes in memory, are
// checked against the digest their caller knows: a short entry, and one of
// several blocks (hashed on a second thread as it is copied).
TEST(WritePackage, CopiedBytesThatDifferFromTheirDigestAreRefused) {
    std::string large(static_cast<size_t>(2 * kMoveBlockSize + 5), '\0');
    for (size_t i = 0; i < large.size(); ++i)
        large[i] = static_cast<char>((i * 2654435761u) >> 13);
    for (const std::string& stored : {std::string("the stored bytes"), large}) {
        ScratchDir dir;
        const std::string held = std::string(100, '#') + stored;
        WriteBytes(dir.File("src.bin"), held);
        const BinaryFile file = BinaryFile::OpenRead(dir.File("src.bin"));
        const MemorySource memory(held, "memory");
        EntryRecord record;
        record.SourceOffset = 100;
        record.StoredSize = record.Size = static_cast<uint32_t>(stored.size());
        for (const ByteSource* source :
             {static_cast<const ByteSource*>(&file), static_cast<const ByteSource*>(&memory)}) {
            BinaryFile f = BinaryFile::CreateEmpty(dir.File("out.bin"));
            std::vector<PackageItem> items = {
                {"copied", PackageItem::Packed{&record, {}, source, Sha256Digest(stored)}}};
            ASSERT_EQ(WritePackage(f, PreparePackage(f, true), items), 1);
            const std::vector<DirectoryEntry> read = ReadDirectory(f, 0);
            EXPECT_TRUE(ReadEntryContents(f, read[0]) == stored);
            EXPECT_TRUE(VerifyPackageChecksums(f, 0, read));

            BinaryFile g = BinaryFile::CreateEmpty(dir.File("refused.bin"));
            items[0] = {"copied", PackageItem::Packed{&record, {}, source, Sha256Digest("other")}};
            EXPECT_THROW(WritePackage(g, PreparePackage(g, true), items), DamagedInput);
        }
    }
}
