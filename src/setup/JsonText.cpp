#include "setup/JsonText.h"

#include <cstdio>

#include "common/Utf8Text.h"

namespace {

void AppendEscape(std::string& out, unsigned code) {
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\u%04x", code);
    out += escaped;
}

} // namespace

std::string JsonString(const std::string& bytes) {
    const std::string utf8 = BytesToUtf8(bytes);
    std::string out = "\"";
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20 || c == 0x7F) {
                AppendEscape(out, c);
            } else if (c == 0xC2 && static_cast<unsigned char>(utf8[i + 1]) < 0xA0) {
                // A C1 control (U+0080 to U+009F) is escaped like the others.
                AppendEscape(out, static_cast<unsigned char>(utf8[++i]));
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}
