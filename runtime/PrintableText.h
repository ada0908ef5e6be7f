// Text from a setup on its way to a terminal: a name or line of a hostile
// setup must not move the cursor, change colours or ring the bell, so control
// characters are shown escaped.
#pragma once

#include <string>
#include <string_view>

// text with every control character written as "\xHH": the bytes 0x00 to
// 0x1F and 0x7F, the C1 controls U+0080 to U+009F of a UTF-8 text (each of
// their two bytes), and a byte 0x80 to 0x9F that is no part of a UTF-8
// character. Everything else, UTF-8 and single Windows-1252 bytes among it,
// is kept as it is.
std::string PrintableText(std::string_view text);
