// Big-endian package numbers and the BinaryFile handle.
#include <gtest/gtest.h>

#include <stdexcept>

#include "common/Errors.h"
#include "package/BinaryFile.h"
#include "common/BigEndian.h"
#include "PackageTestUtil.h"

using namespace pkgtest;

TEST(CharLength, LongToCharsIsBigEndian) {
    EXPECT_EQ(LongToChars(0), std::string(4, '\0'));
    EXPECT_EQ(LongToChars(0x12345678u), FromHex("12 34 56 78"));
    EXPECT_EQ(LongToChars(0xFFFFFFFFu), FromHex("FF FF FF FF"));
    EXPECT_EQ(LongToChars(19661), FromHex("00 00 4C CD"));
}

TEST(CharLength, CharsToLongReadsAtZeroBasedOffset) {
    const std::string bytes = FromHex("01 00 00 00 00 00 00 4C CD 00 00 A4 36");
    EXPECT_EQ(CharsToLong(bytes, 5), 19661u);
    EXPECT_EQ(CharsToLong(bytes, 9), 42038u);
    EXPECT_EQ(CharsToLong(bytes, 0), 0x01000000u);
}

TEST(CharLength, MissingBytesReadAsZero) {
    EXPECT_EQ(CharsToLong(FromHex("AB CD"), 0), 0xABCD0000u);
    EXPECT_EQ(CharsToLong(FromHex("AB CD"), 1), 0xCD000000u);
    EXPECT_EQ(CharsToLong(FromHex("AB CD"), 2), 0u);
    EXPECT_EQ(CharsToLong("", 1000), 0u);
}

TEST(CharLength, RoundTrip) {
    for (uint32_t v : {0u, 1u, 255u, 256u, 65535u, 0x80000000u, 0xDEADBEEFu})
        EXPECT_EQ(CharsToLong(LongToChars(v), 0), v);
}

TEST(BinaryFile, ReadWriteAtOffsetsAndLength) {
    ScratchDir dir;
    BinaryFile f = BinaryFile::OpenReadWrite(dir.File("a.bin"));
    EXPECT_EQ(f.Length(), 0);
    f.WriteAt(0, "hello");
    f.WriteAt(10, "world"); // grows the file, the gap reads as zeros
    EXPECT_EQ(f.Length(), 15);
    EXPECT_EQ(f.ReadAt(0, 15), std::string("hello\0\0\0\0\0world", 15));
    EXPECT_EQ(f.ReadAt(15, 0), "");
    f.Flush();
    f.Close();
    f.Close(); // a second close is harmless
    EXPECT_FALSE(f.IsOpen());
    EXPECT_EQ(ReadBytes(dir.File("a.bin")), std::string("hello\0\0\0\0\0world", 15));
}

TEST(BinaryFile, ShortReadsThrowDamagedInput) {
    ScratchDir dir;
    WriteBytes(dir.File("s.bin"), "12345");
    BinaryFile f = BinaryFile::OpenRead(dir.File("s.bin"));
    EXPECT_THROW(f.ReadAt(3, 3), DamagedInput);
    EXPECT_THROW(f.ReadAt(6, 0), DamagedInput);
    EXPECT_THROW(f.ReadAt(-1, 1), DamagedInput);
    // A hostile count fails before anything is allocated.
    EXPECT_THROW(f.ReadAt(0, size_t{1} << 62), DamagedInput);
    EXPECT_FALSE(f.IsWritable());
    EXPECT_THROW(f.WriteAt(0, "x"), IoError);
}

TEST(BinaryFile, OpenErrorsNameThePath) {
    ScratchDir dir;
    const std::string missing = dir.File("missing.bin");
    try {
        BinaryFile::OpenRead(missing);
        FAIL() << "opening a missing file must throw";
    } catch (const IoError& e) {
        EXPECT_NE(std::string(e.what()).find(missing), std::string::npos);
    }
    EXPECT_THROW(BinaryFile::OpenRead(dir.File("")), IoError); // a directory
}

TEST(BinaryFile, CreateEmptyTruncatesAndMoveTransfersTheHandle) {
    ScratchDir dir;
    WriteBytes(dir.File("t.bin"), "old contents");
    BinaryFile a = BinaryFile::CreateEmpty(dir.File("t.bin"));
    EXPECT_EQ(a.Length(), 0);
    BinaryFile b = std::move(a);
    EXPECT_FALSE(a.IsOpen());
    b.WriteAt(0, "new");
    EXPECT_EQ(b.ReadAt(0, 3), "new");
    BinaryFile other = BinaryFile::OpenRead(dir.File("t.bin"));
    EXPECT_TRUE(b.SameFileAs(other));
    b.Resize(1);
    EXPECT_EQ(other.Length(), 1);
}

TEST(BinaryFile, OffsetsBeyondFourGigabytes) {
    ScratchDir dir;
    BinaryFile f = BinaryFile::OpenReadWrite(dir.File("big.bin"));
    const int64_t far = (int64_t{1} << 32) + 12345; // sparse on any usual file system
    f.WriteAt(far, "tail");
    EXPECT_EQ(f.Length(), far + 4);
    EXPECT_EQ(f.ReadAt(far, 4), "tail");
    EXPECT_EQ(f.ReadAt(far - 2, 2), std::string(2, '\0'));
}
