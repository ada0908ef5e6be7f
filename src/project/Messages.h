// The program's error messages about a file: a numbered string loaded with
// line-break expansion, every "$" replaced by the file's path.
#pragma once

#include <cstdint>
#include <string>

std::string MessageWithPath(int32_t stringId, const std::string& path);

// Shows MessageWithPath through the host as an error message box.
void ShowErrorWithPath(int32_t stringId, const std::string& path);
