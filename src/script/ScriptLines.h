// Line handling shared by the component script and the install script: lines
// end with CR LF, a comment runs from the first "//" to the end of its line,
// and only the blank character counts as a blank.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/AsciiCase.h"

namespace script_lines {

using ::LowerAscii;

inline std::string_view CutComment(std::string_view line) {
    const size_t at = line.find("//");
    return at == std::string_view::npos ? line : line.substr(0, at);
}

inline std::string_view TrimBlanks(std::string_view s) {
    const size_t first = s.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    const size_t last = s.find_last_not_of(' ');
    return s.substr(first, last - first + 1);
}

inline std::string RemoveBlanks(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s)
        if (c != ' ') out += c;
    return out;
}

// The lines of text read as if a CR LF followed it: every line that a CR LF
// ends, so a text ending in CR LF gives no extra empty line. The views point
// into text.
inline std::vector<std::string_view> SplitCrLfLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t from = 0;
    while (from < text.size()) {
        const size_t at = text.find("\r\n", from);
        if (at == std::string_view::npos) {
            lines.push_back(text.substr(from));
            break;
        }
        lines.push_back(text.substr(from, at - from));
        from = at + 2;
    }
    return lines;
}

} // namespace script_lines
