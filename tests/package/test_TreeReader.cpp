// The tree container read as it arrives: fed in pieces of any size it gives
// what DecodeTree gives, the same for versions 1 and 2, refuses what
// DecodeTree refuses, and hands a file's contents on in the pieces it was
// given, after the entry (in version 2, the whole index) is checked.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/BigEndian.h"
#include "common/Errors.h"
#include "package/TreeArchive.h"
#include "package/TreeReader.h"
#include "TreeV1.h"

namespace {

struct Collect : TreeReader::Events {
    std::vector<TreeEntry> entries;
    size_t largest = 0;
    void Begin(const TreeEntry& entry, uint32_t) override { entries.push_back(entry); }
    void Contents(const char* data, size_t count) override {
        largest = std::max(largest, count);
        entries.back().Data.append(data, count);
    }
};

// The entries read from bytes fed step bytes at a time, or the error's reason.
std::string ReadInSteps(const std::string& bytes, size_t step, Collect& into,
                        TreeReader::Reading reading = TreeReader::Reading::Whole) {
    try {
        TreeReader reader(bytes.size(), into, reading);
        for (size_t at = 0; at < bytes.size(); at += step)
            reader.Add(bytes.data() + at, std::min(step, bytes.size() - at));
        reader.Finish();
        return "ok";
    } catch (const DamagedInput&) {
        return "damaged";
    }
}

std::string Outcome(const std::string& bytes) {
    try {
        DecodeTree(bytes);
        return "ok";
    } catch (const DamagedInput&) {
        return "damaged";
    }
}

std::string Record(TreeKind kind, const std::string& name, const std::string& data) {
    return std::string(1, static_cast<char>(kind)) +
           LongToChars(static_cast<uint32_t>(name.size())).substr(2) +
           LongToChars(static_cast<uint32_t>(data.size())) + name + data;
}

std::string Header(uint32_t count, uint32_t data) {
    return "KVTREE" + std::string("\0\1\0\1", 4) + LongToChars(count) + LongToChars(data) + "r";
}

} // namespace

TEST(TreeReader, PiecesOfAnySizeGiveWhatDecodeTreeGives) {
    const std::string big(300000, 'b');
    const Tree tree{"App",
                    {{TreeKind::Folder, "bin", ""},
                     {TreeKind::Program, "bin/run", "#!/bin/sh\n"},
                     {TreeKind::Link, "bin/x", "run"},
                     {TreeKind::File, "big", big},
                     {TreeKind::File, "empty", ""}}};
    const std::string v2 = EncodeTree(tree);
    const std::string v1 = EncodeTreeV1(tree);
    for (const std::string& bytes : {v1, v2}) {
        for (size_t step : {size_t{1}, size_t{7}, size_t{4096}, bytes.size()}) {
            SCOPED_TRACE(step);
            Collect got;
            ASSERT_EQ(ReadInSteps(bytes, step, got), "ok");
            // In the container's order; DecodeTree gives them by name.
            std::sort(got.entries.begin(), got.entries.end(),
                      [](const auto& a, const auto& b) { return a.Name < b.Name; });
            EXPECT_EQ(got.entries, DecodeTree(v2).Entries);
            EXPECT_LE(got.largest, step);
        }
    }
    // Reading only the index of a version 3 tree: every entry without
    // contents (folders, links, then files), and nothing read past the index.
    Collect names;
    const size_t indexEnd = PeekTree(v2).IndexEnd();
    TreeReader reader(v2.size(), names, TreeReader::Reading::IndexOnly);
    reader.Add(v2.data(), indexEnd);
    EXPECT_TRUE(reader.Done());
    reader.Finish();
    ASSERT_EQ(names.entries.size(), 5u);
    EXPECT_EQ(names.entries[1], (TreeEntry{TreeKind::Link, "bin/x", "run"}));
    EXPECT_EQ(names.entries[2], (TreeEntry{TreeKind::File, "big", ""}));
}

TEST(TreeReader, RefusesWhatDecodeTreeRefusesWhateverThePieces) {
    const std::string file = Record(TreeKind::File, "f", "xy");
    const std::string cases[] = {
        Header(1, 3) + file,
        Header(1, 1) + file,
        Header(1, 2) + file + "!",
        Header(1, 2) + file.substr(0, file.size() - 1),
        Header(2, 2) + Record(TreeKind::File, "g", "") + file,
        Header(1, 1) + Record(TreeKind::Folder, "d", "x"),
        Header(1, 0) + Record(TreeKind::Link, "l", ""),
        Header(1, 5000) + Record(TreeKind::Link, "l", std::string(5000, 'a')),
        Header(1, 2) + Record(static_cast<TreeKind>(9), "f", "xy"),
        Header(0, 0).substr(0, 12),
    };
    for (const std::string& bytes : cases) {
        ASSERT_EQ(Outcome(bytes), "damaged");
        for (size_t step : {size_t{1}, size_t{5}, bytes.size() + 1}) {
            Collect got;
            EXPECT_EQ(ReadInSteps(bytes, step, got), "damaged") << step;
        }
    }
    // A version 2 tree tells nothing before its whole index is checked.
    Collect none;
    const Tree two{"r", {{TreeKind::File, "a", "ab"}, {TreeKind::File, "c", "cd"}}};
    // The header, the folder's name and the first record come before "c".
    EXPECT_EQ(ReadInSteps(EncodeTree(two).replace(22 + 1 + 8 + 7, 1, "\\"), 1, none), "damaged");
    EXPECT_TRUE(none.entries.empty());
    // A file's contents go on only after its entry has been checked.
    Collect got;
    ReadInSteps(Header(2, 4) + Record(TreeKind::File, "g", "ab") +
                    Record(TreeKind::File, "f", "cd"),
                1, got);
    ASSERT_EQ(got.entries.size(), 1u);
    EXPECT_EQ(got.entries[0].Data, "ab");
}
