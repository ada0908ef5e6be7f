// Bytes to UTF-8: the project's texts are byte strings, kept as they are when
// they are valid UTF-8 and otherwise read as Windows-1252. The one table of
// Windows-1252 and the one UTF-8 check.
#pragma once

#include <string>
#include <string_view>

// True when bytes are well-formed UTF-8: no overlong forms, no surrogates,
// nothing above U+10FFFF, no cut sequence.
bool IsValidUtf8(std::string_view bytes);

// The code point of one byte read as Windows-1252. The five bytes it leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) become U+FFFD, the replacement
// character, which no terminal or reader takes for a control.
char32_t Cp1252CodePoint(unsigned char byte);

// bytes as UTF-8: unchanged when they are valid UTF-8, else each byte read as
// Windows-1252.
std::string BytesToUtf8(std::string_view bytes);

// Appends the UTF-8 form of code point cp (at most U+10FFFF) to out.
void AppendUtf8(std::string& out, char32_t cp);
