#include "install/DisplayText.h"

#include <cstdint>

#include "common/Errors.h"
#include "common/Utf8Text.h"

std::string Shown(std::string_view name) {
    const bool cut = name.size() > 240;
    if (cut) name = name.substr(0, 200);
    const std::string out = PrintableText(BytesToUtf8(name));
    return cut ? out + "..." : out;
}

std::string ShownText(std::string_view text) {
    const std::string utf8 = BytesToUtf8(text);
    std::string out;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        // A C1 control (U+0080 to U+009F, such as U+009B, the one-character
        // CSI) is escaped as in a name: a terminal may act on it.
        if (c == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) <= 0x9F) {
            out += PrintableText(std::string_view(utf8).substr(i, 2));
            ++i;
        } else if (c == '\n' || c == '\t' || (c >= 0x20 && c != 0x7F)) {
            out += utf8[i];
        }
    }
    return out;
}

namespace printable {

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

} // namespace printable

std::string PrintableText(std::string_view text) {
    using namespace printable;
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

std::string ShownError(const KaveloError& error) {
    const std::string text =
        error.Path().empty() ? error.Reason() : Shown(error.Path()) + ": " + error.Reason();
    return error.Context().empty() ? text : Shown(error.Context()) + ": " + text;
}
