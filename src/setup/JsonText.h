// JSON text for the tools' reports: string literals of byte strings.
#pragma once

#include <string>

// A JSON string literal of bytes as UTF-8 (kept when they are valid UTF-8,
// else read as Windows-1252). Control characters, DEL and the C1 controls
// are written as \uXXXX.
std::string JsonString(const std::string& bytes);
