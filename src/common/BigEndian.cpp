#include "common/BigEndian.h"

std::string LongToChars(uint32_t value) {
    std::string bytes(4, '\0');
    bytes[0] = static_cast<char>(value >> 24);
    bytes[1] = static_cast<char>(value >> 16);
    bytes[2] = static_cast<char>(value >> 8);
    bytes[3] = static_cast<char>(value);
    return bytes;
}

uint32_t CharsToLong(std::string_view bytes, size_t offset) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) {
        const size_t at = offset + i;
        const uint32_t b = at < bytes.size() ? static_cast<unsigned char>(bytes[at]) : 0u;
        value = (value << 8) | b;
    }
    return value;
}
