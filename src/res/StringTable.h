// The numbered string table that every user-visible text comes from.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// What one "|" of a text becomes when it is loaded with line-break expansion.
// The program runs on Linux, where terminals and the toolkit break lines at a
// line feed; a lone carriage return would overwrite the line on a terminal.
inline constexpr char kResLineBreak = '\n';

// One entry of the string table.
struct ResString {
    int32_t Id;
    std::string_view Text;
};

// Text number id of the string table, or "#" followed by id in decimal when
// the table has no such text. With multiline set, a single "|" becomes
// kResLineBreak and "||" one literal "|"; without it the text is returned as
// stored. Never fails.
std::string GetResString(int32_t id, bool multiline);

// The expansion GetResString applies with multiline set, read from the
// left: "||" gives one "|", any other "|" gives kResLineBreak.
std::string ExpandLineBreaks(std::string_view text);

// The whole string table in ascending order of number.
std::span<const ResString> ResStringTable();
