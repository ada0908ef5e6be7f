// Case-insensitivity of the system: only the ASCII letters change case, so
// bytes from 0x80 on (UTF-8, other code pages) stay as they are.
#pragma once

#include <string>
#include <string_view>

std::string LowerAscii(std::string_view s);
std::string UpperAscii(std::string_view s);
