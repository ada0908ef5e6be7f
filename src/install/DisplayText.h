// Setup texts and names on a terminal, in a log or in a launcher: the
// setup's 8-bit texts become UTF-8 (kept when they already are, else read as
// Windows-1252), and names from a setup never reach a terminal raw.
#pragma once

#include <string>
#include <string_view>

class KaveloError;

// text with every control character written as "\xHH": the bytes 0x00 to
// 0x1F and 0x7F, the C1 controls U+0080 to U+009F of a UTF-8 text (each of
// their two bytes), and a byte 0x80 to 0x9F that is no part of a UTF-8
// character. Everything else, UTF-8 and single Windows-1252 bytes among it,
// is kept as it is: a name or line of a hostile setup must not move the
// cursor, change colours or ring the bell.
std::string PrintableText(std::string_view text);

// A name or path to show: as UTF-8 with its control characters escaped
// (PrintableText), and a name longer than 240 bytes cut to its first 200
// with "..." after.
std::string Shown(std::string_view name);

// A setup text to show: UTF-8, CR LF as one line break, other C0 control
// characters except tab removed, C1 controls escaped as PrintableText does.
std::string ShownText(std::string_view text);

// An error to show: "context: path: reason", each part Shown, the context
// and the path only when there are such.
std::string ShownError(const KaveloError& error);
