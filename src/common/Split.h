// Splitting a text at any of a set of separator characters, as a path or a
// package name is split at "\" and "/".
#pragma once

#include <string_view>
#include <vector>

// The parts of text between separators, empty parts included: "a\\b/" gives
// "a", "b", "". An empty text gives one empty part.
std::vector<std::string_view> SplitAt(std::string_view text, std::string_view separators);
