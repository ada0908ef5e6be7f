// JSON text for the tools' reports: string literals of byte strings.
#pragma once

#include <string>

// A JSON string literal; bytes from 0x7F on are written as \u00XX, their
// Latin-1 code points.
std::string JsonString(const std::string& bytes);
