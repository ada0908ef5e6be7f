// The program's error messages about a file: a numbered string loaded with
// line-break expansion, every "$" replaced by the file's path, and the reason
// for the failure on a line of its own beneath.
#pragma once

#include <cstdint>
#include <string>

#include "common/Host.h"

std::string MessageWithPath(int32_t stringId, const std::string& path);

// MessageWithPath with the reason (when there is one) on a line beneath.
std::string MessageWithReason(int32_t stringId, const std::string& path, const std::string& reason);

// Shows MessageWithReason through the host as an error message box.
void ShowErrorWithPath(Host& host, int32_t stringId, const std::string& path,
                       const std::string& reason = {});
