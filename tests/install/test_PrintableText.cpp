// Names and lines of a setup on their way to a terminal.
#include "install/DisplayText.h"

#include <gtest/gtest.h>

namespace {

TEST(PrintableText, EscapesControlsAndKeepsText) {
    const struct {
        std::string in;
        std::string out;
    } cases[] = {
        {"setup\\picture.bmp", "setup\\picture.bmp"},
        {"bell\x07\x1b[2J", "bell\\x07\\x1b[2J"},
        {std::string("nul\0tab\tdel\x7f", 12), "nul\\x00tab\\x09del\\x7f"},
        {"line\r\nbreak", "line\\x0d\\x0abreak"},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x99\x82", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x99\x82"},
        // The C1 controls: CSI as UTF-8 and as a single byte.
        {"a\xc2\x9b"
         "31mb",
         "a\\xc2\\x9b31mb"},
        {"a\x9b"
         "31mb",
         "a\\x9b31mb"},
        // Windows-1252 letters that are no UTF-8 stay as they are.
        {"caf\xe9 na\xefve", "caf\xe9 na\xefve"},
        {"cut \xe2\x82", "cut \xe2\\x82"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PrintableText(c.in), c.out) << c.out;
}

// The startup, licence and finish texts the terminal wizard prints: line
// breaks and tabs kept, C0 controls dropped, C1 controls never reach the
// terminal as controls (as UTF-8 they are escaped; as a single byte the
// text is read as Windows-1252, where 0x9B is a letter).
TEST(ShownText, KeepsLinesDropsC0AndEscapesC1) {
    const struct {
        std::string in;
        std::string out;
    } cases[] = {
        {"one\r\ntwo\tthree", "one\ntwo\tthree"},
        {"bell\x07\x1b[2J", "bell[2J"},
        {"a\xc2\x9b"
         "31mb",
         "a\\xc2\\x9b31mb"},
        {"\xc2\x80\xc2\x9f caf\xc3\xa9", "\\xc2\\x80\\xc2\\x9f caf\xc3\xa9"},
        {"a\x9b"
         "31mb",
         "a\xe2\x80\xba"
         "31mb"},
        {"\xc2\xa0nbsp", "\xc2\xa0nbsp"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ShownText(c.in), c.out) << c.out;
}

} // namespace
