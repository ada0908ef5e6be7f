#include "PrintableText.h"

#include <cstdint>

namespace {

void AppendEscaped(std::string& out, unsigned char c) {
    static const char kDigits[] = "0123456789abcdef";
    out += "\\x";
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
}

bool IsContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// The length of the well-formed UTF-8 character at text[at] (a lead byte of 2
// to 4 bytes with its continuation bytes); 0 when there is none.
size_t Utf8Length(std::string_view text, size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                          : lead >= 0xE0 && lead <= 0xEF ? 3
                          : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                         : 0;
    if (length == 0 || at + length > text.size()) return 0;
    for (size_t i = 1; i < length; ++i)
        if (!IsContinuation(static_cast<unsigned char>(text[at + i]))) return 0;
    return length;
}

} // namespace

std::string PrintableText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F) {
            AppendEscaped(out, c);
            ++i;
            continue;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        const size_t length = Utf8Length(text, i);
        if (length == 0) {
            // A single byte: Windows-1252 shows it as a letter, a terminal
            // that reads 8-bit controls as a control.
            if (c <= 0x9F)
                AppendEscaped(out, c);
            else
                out += static_cast<char>(c);
            ++i;
            continue;
        }
        const bool c1Control = c == 0xC2 && static_cast<unsigned char>(text[i + 1]) <= 0x9F;
        for (size_t k = 0; k < length; ++k) {
            if (c1Control)
                AppendEscaped(out, static_cast<unsigned char>(text[i + k]));
            else
                out += text[i + k];
        }
        i += length;
    }
    return out;
}
