// The one copy of each text helper: bytes to UTF-8 with the Windows-1252
// fallback, line ends at the project's boundary, splitting at separators.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/LineEnds.h"
#include "common/Split.h"
#include "common/Utf8Text.h"

namespace {

using namespace std::string_literals;

TEST(Utf8Text, ValidUtf8IsKeptAndTheRestReadAsWindows1252) {
    struct Case {
        std::string bytes, utf8;
    };
    const Case cases[] = {
        {"caf\xC3\xA9.txt", "caf\xC3\xA9.txt"},           // already UTF-8
        {"caf\xE9.txt", "caf\xC3\xA9.txt"},               // Latin-1 é
        {"\x80 \x9F", "\xE2\x82\xAC \xC5\xB8"},           // € Ÿ
        {"\xC0\xAF", "\xC3\x80\xC2\xAF"},                 // overlong "/"
        {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"}, // a surrogate
        {"cut \xE2\x82", "cut \xC3\xA2\xE2\x80\x9A"},     // a cut sequence
        {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},         // four bytes
        {"\x81\x8D\x8F\x90\x9D", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {""s, ""s},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BytesToUtf8(c.bytes), c.utf8) << c.bytes;
        EXPECT_TRUE(IsValidUtf8(BytesToUtf8(c.bytes))) << c.bytes;
    }
}

TEST(Utf8Text, EveryHighByteIsReadAsItsWindows1252Letter) {
    EXPECT_EQ(Cp1252CodePoint(0x41), U'A');
    EXPECT_EQ(Cp1252CodePoint(0x80), U'\u20AC');
    EXPECT_EQ(Cp1252CodePoint(0x9F), U'\u0178');
    EXPECT_EQ(Cp1252CodePoint(0xA0), U'\u00A0');
    EXPECT_EQ(Cp1252CodePoint(0xFF), U'\u00FF');
    for (const unsigned char undefined : {0x81, 0x8D, 0x8F, 0x90, 0x9D})
        EXPECT_EQ(Cp1252CodePoint(undefined), U'\uFFFD') << int(undefined);
}

TEST(LineEnds, ConvertAtTheBoundary) {
    struct Case {
        std::string lf, crlf;
    };
    // LfToCrLf and CrLfToLf are each other's inverse on these.
    const Case cases[] = {
        {"a\nb", "a\r\nb"}, {"\n\n", "\r\n\r\n"}, {"a\rb", "a\rb"}, {"a\r\nb", "a\r\r\nb"},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LfToCrLf(c.lf), c.crlf) << c.lf;
        EXPECT_EQ(CrLfToLf(c.crlf), c.lf) << c.lf;
    }
    EXPECT_EQ(BareLfToCrLf("a\nb\r\nc\n"), "a\r\nb\r\nc\r\n");
    EXPECT_EQ(BareLfToCrLf("\n"), "\r\n");
}

TEST(SplitAt, EveryPartBetweenSeparatorsEmptyOnesIncluded) {
    struct Case {
        const char* text;
        std::vector<std::string_view> parts;
    };
    const Case cases[] = {
        {"a\\b/c", {"a", "b", "c"}},
        {"a\\\\b/", {"a", "", "b", ""}},
        {"", {""}},
        {"\\", {"", ""}},
        {"..", {".."}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SplitAt(c.text, "\\/"), c.parts) << c.text;
}

} // namespace
