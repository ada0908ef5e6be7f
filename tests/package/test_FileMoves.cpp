// Moving and clearing file data: overlapping moves within one file in both
// directions, with blocks smaller than the range, checked against a plain
// memmove of the same bytes.
#include <gtest/gtest.h>

#include <cstring>

#include "common/Errors.h"
#include "package/FileMoves.h"
#include "PackageTestUtil.h"

using namespace pkgtest;

namespace {
std::string Pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>('A' + (i * 7 + i / 26) % 26);
    return s;
}
} // namespace

struct MoveCase {
    int64_t length, from, to, block;
};

class MoveWithinOneFile : public ::testing::TestWithParam<MoveCase> {};

TEST_P(MoveWithinOneFile, MatchesMemmove) {
    const MoveCase c = GetParam();
    ScratchDir dir;
    const std::string original = Pattern(200);
    WriteBytes(dir.File("m.bin"), original);
    BinaryFile f = BinaryFile::OpenReadWrite(dir.File("m.bin"));
    EXPECT_TRUE(MoveFileData(f, c.length, c.from, c.to, nullptr, 0, c.block));

    std::string expected = original;
    if (static_cast<size_t>(c.to + c.length) > expected.size())
        expected.resize(static_cast<size_t>(c.to + c.length), '\0');
    std::memmove(expected.data() + c.to, original.data() + c.from, static_cast<size_t>(c.length));
    EXPECT_EQ(f.ReadAt(0, static_cast<size_t>(f.Length())), expected);
}

INSTANTIATE_TEST_SUITE_P(Overlaps, MoveWithinOneFile,
                         ::testing::Values(MoveCase{100, 10, 30, 7}, // up, overlapping, many blocks
                                           MoveCase{100, 30, 10, 7}, // down, overlapping
                                           MoveCase{100, 50, 51, 3}, // up by one byte
                                           MoveCase{100, 51, 50, 3}, // down by one byte
                                           MoveCase{50, 0, 150,
                                                    16}, // up past the old end: the file grows
                                           MoveCase{64, 0, 64, 64},  // exactly one block, touching
                                           MoveCase{40, 20, 20, 8},  // onto itself
                                           MoveCase{0, 10, 20, 8})); // nothing

TEST(MoveFileData, CopiesIntoAnotherFile) {
    ScratchDir dir;
    WriteBytes(dir.File("src.bin"), Pattern(100));
    WriteBytes(dir.File("dst.bin"), std::string(10, 'z'));
    BinaryFile src = BinaryFile::OpenRead(dir.File("src.bin"));
    BinaryFile dst = BinaryFile::OpenReadWrite(dir.File("dst.bin"));
    EXPECT_TRUE(MoveFileData(src, 30, 60, 5, &dst, 1, 4));
    EXPECT_EQ(dst.ReadAt(0, 35), std::string(5, 'z') + Pattern(100).substr(60, 30));
}

TEST(MoveFileData, SecondHandleOnTheSameFileIsStillOverlapSafe) {
    ScratchDir dir;
    const std::string original = Pattern(120);
    WriteBytes(dir.File("m.bin"), original);
    BinaryFile a = BinaryFile::OpenReadWrite(dir.File("m.bin"));
    BinaryFile b = BinaryFile::OpenReadWrite(dir.File("m.bin"));
    MoveFileData(a, 100, 0, 20, &b, 0, 8);
    EXPECT_EQ(a.ReadAt(20, 100), original.substr(0, 100));
}

TEST(MoveFileData, ReadingPastTheSourceEndThrows) {
    ScratchDir dir;
    WriteBytes(dir.File("m.bin"), Pattern(50));
    BinaryFile f = BinaryFile::OpenReadWrite(dir.File("m.bin"));
    EXPECT_THROW(MoveFileData(f, 40, 20, 100, nullptr, 0, 8), DamagedInput);
}

TEST(MoveFileData, ModeTwoZeroesTheVacatedRange) {
    ScratchDir dir;
    const std::string original = Pattern(100);
    for (auto [from, to] : {std::pair{10, 40}, std::pair{40, 10}}) {
        WriteBytes(dir.File("m.bin"), original);
        BinaryFile f = BinaryFile::OpenReadWrite(dir.File("m.bin"));
        MoveFileData(f, 50, from, to, nullptr, 2, 16);
        std::string expected = original;
        std::memmove(expected.data() + to, original.data() + from, 50);
        // the source bytes outside the destination range are cleared
        for (int i = from; i < from + 50; ++i)
            if (i < to || i >= to + 50) expected[i] = '\0';
        EXPECT_EQ(f.ReadAt(0, 100), expected) << "from " << from << " to " << to;
    }
}

TEST(ClearData, ZeroesExactlyTheRangeInBlocks) {
    ScratchDir dir;
    WriteBytes(dir.File("c.bin"), std::string(100, 'x'));
    BinaryFile f = BinaryFile::OpenReadWrite(dir.File("c.bin"));
    EXPECT_TRUE(ClearData(f, 13, 50, 7));
    EXPECT_EQ(f.ReadAt(0, 100),
              std::string(13, 'x') + std::string(50, '\0') + std::string(37, 'x'));
    EXPECT_TRUE(ClearData(f, 90, 20, 7)); // grows the file with zeros
    EXPECT_EQ(f.Length(), 110);
    EXPECT_EQ(f.ReadAt(89, 21), "x" + std::string(20, '\0'));
}
