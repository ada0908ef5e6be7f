// Setup texts and names on a terminal, in a log or in a launcher: the
// setup's 8-bit texts become UTF-8 (kept when they already are, else read as
// Windows-1252), and names from a setup never reach a terminal raw.
#pragma once

#include <string>
#include <string_view>

// text as UTF-8: unchanged when it is valid UTF-8, else each byte read as
// Windows-1252.
std::string TextToUtf8(std::string_view text);

// A name or path to show: control characters (and DEL) as \xHH, so that no
// escape sequence reaches the terminal, and a name longer than 240 bytes cut
// to its first 200 with "..." after.
std::string Shown(std::string_view name);

// A setup text to show: UTF-8, CR LF as one line break, other control
// characters except tab removed.
std::string ShownText(std::string_view text);
