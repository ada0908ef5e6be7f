// Bytes to QString and back: UTF-8 round trips with CR LF, the Windows-1252
// fallback for every byte, and the one-line variants that keep line breaks.
#include "ui/TextConvert.h"

#include <gtest/gtest.h>

#include <QSet>

#include <string>

namespace {

using namespace std::string_literals;

TEST(TextConvert, ValidUtf8WithCrLfRoundTripsByteForByte) {
    const std::string cases[] = {
        ""s,
        "plain ASCII"s,
        "Gr\xC3\xBC\xC3\x9F"
        "e\r\nzweite Zeile\r\n"s,
        "\xEF\xBB\xBF"
        "BOM first\r\n"s,
        "lone\rCR stays\r\n"s,
        "\r\r\n"s,
        "\r\n\r\n\r\n"s,
        "four bytes \xF0\x9F\x93\xA6 and \xE2\x82\xAC"s,
        "nul \0 inside"s,
    };
    for (const std::string& bytes : cases)
        EXPECT_EQ(TextToBytes(BytesToText(bytes)), bytes) << bytes;
    EXPECT_EQ(BytesToText("a\r\nb\r\n"), QStringLiteral("a\nb\n"));
    EXPECT_EQ(BytesToText("\xEF\xBB\xBF"
                          "a"),
              QStringLiteral(u"\uFEFFa"));
}

TEST(TextConvert, InvalidUtf8IsReadAsWindows1252) {
    struct Case {
        std::string bytes;
        QString text;
    };
    const Case cases[] = {
        {"Gr\xFC\xDF"
         "e"s,
         QStringLiteral(u"Grüße")},
        {"\x80 \x9F"s, QStringLiteral(u"€ Ÿ")},
        {"\xC0\xAF"s, QStringLiteral(u"À¯")},                // overlong "/"
        {"\xED\xA0\x80"s, QStringLiteral(u"í\u00A0€")},      // a surrogate
        {"\xF4\x90\x80\x80"s, QStringLiteral(u"ô\uFFFD€€")}, // above U+10FFFF
        {"cut \xE2\x82"s, QStringLiteral(u"cut \u00E2\u201A")},
        {"line\r\nbreak \xE9"s, QStringLiteral(u"line\nbreak é")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BytesToText(c.bytes), c.text) << c.bytes;
}

TEST(TextConvert, EveryDefinedByteHasItsOwnCharacter) {
    std::string all;
    for (int b = 0x80; b < 0x100; ++b)
        all += static_cast<char>(b);
    const QString text = BytesToLine(all);
    ASSERT_EQ(text.size(), 128);
    QSet<QChar> distinct(text.begin(), text.end());
    // The five bytes Windows-1252 leaves open are all the replacement character.
    EXPECT_EQ(distinct.size(), 128 - 4);
    for (const int b : {0x81, 0x8D, 0x8F, 0x90, 0x9D})
        EXPECT_EQ(text[b - 0x80].unicode(), 0xFFFD);
}

TEST(TextConvert, LineVariantsKeepLineBreaks) {
    EXPECT_EQ(BytesToLine("a\r\nb"), QStringLiteral("a\r\nb"));
    EXPECT_EQ(LineToBytes(QStringLiteral("a\nb")), "a\nb");
    EXPECT_EQ(TextToBytes(QStringLiteral("a\nb")), "a\r\nb");
    EXPECT_EQ(LineToBytes(QStringLiteral(u"/home/jürgen/my setup.exe")),
              "/home/j\xC3\xBCrgen/my setup.exe");
}

} // namespace
