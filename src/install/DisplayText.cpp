#include "install/DisplayText.h"

#include <cstdint>

#include "common/Errors.h"

namespace {

// Code points of Windows-1252 bytes 0x80 ... 0x9F (0 where none is defined).
constexpr uint16_t kHigh1252[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

bool IsValidUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        int more = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        if (more < 0 || (more == 1 && c < 0xC2)) return false;
        if (more > 0 && i + static_cast<size_t>(more) >= s.size()) return false;
        uint32_t cp = more == 0 ? c : c & (0x3F >> more);
        for (int k = 1; k <= more; ++k) {
            const auto d = static_cast<unsigned char>(s[i + k]);
            if ((d >> 6) != 2) return false;
            cp = cp << 6 | (d & 0x3F);
        }
        if ((more == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
            (more == 3 && (cp < 0x10000 || cp > 0x10FFFF)))
            return false;
        i += static_cast<size_t>(more) + 1;
    }
    return true;
}

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | cp >> 6);
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | cp >> 12);
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

} // namespace

std::string TextToUtf8(std::string_view text) {
    if (IsValidUtf8(text)) return std::string(text);
    std::string out;
    out.reserve(text.size() * 2);
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x80 && c < 0xA0)
            AppendUtf8(out, kHigh1252[c - 0x80] ? kHigh1252[c - 0x80] : 0xFFFD);
        else
            AppendUtf8(out, c);
    }
    return out;
}

std::string Shown(std::string_view name) {
    const bool cut = name.size() > 240;
    if (cut) name = name.substr(0, 200);
    const std::string out = PrintableText(TextToUtf8(name));
    return cut ? out + "..." : out;
}

std::string ShownText(std::string_view text) {
    const std::string utf8 = TextToUtf8(text);
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
