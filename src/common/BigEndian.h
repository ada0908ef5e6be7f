// Numbers in packages and streams: unsigned 32-bit values stored as 4
// big-endian bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The 4 bytes of value, most significant first.
std::string LongToChars(uint32_t value);

// The number in the 4 bytes of bytes that start at the 0-based offset.
// Bytes missing at the end of the string (or an offset past its end) read as 0.
uint32_t CharsToLong(std::string_view bytes, size_t offset);
