// Splitting a text into a fixed set of slots: the seven setup lines, the
// numbered texts, the test window's string slots.
#pragma once

#include <span>
#include <string>
#include <string_view>

// Splits text at separator into target's slots from the first on; slots after
// the last line keep their contents, lines past the last slot are dropped. The
// text is read with one separator after it, so its last line (even an empty
// one) is always stored.
void SplitLines(std::span<std::string> target, std::string_view text, std::string_view separator);
