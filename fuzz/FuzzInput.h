// Splits a fuzz input into parts separated by 0xFF bytes.
#pragma once

#include <string>

// The part that starts at from; from moves past it and its separator.
inline std::string NextPart(const std::string& input, size_t& from) {
    const size_t end = input.find('\xff', from);
    const std::string part =
        input.substr(from, end == std::string::npos ? std::string::npos : end - from);
    from = end == std::string::npos ? input.size() : end + 1;
    return part;
}
