// Byte strings to QString and back: UTF-8 with a Windows-1252 fallback, and
// the CR LF / LF conversion at the boundary of Qt's text widgets.
#include "ui/TextConvert.h"

#include <array>

namespace {

// Windows-1252 for 0x80 to 0x9F; the five bytes it leaves undefined (81, 8D,
// 8F, 90, 9D) map to the C1 control with the same number, so that every byte
// has a character.
constexpr std::array<char16_t, 32> kCp1252High{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString DecodeCp1252(std::string_view bytes) {
    QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *out++ = (b >= 0x80 && b < 0xA0) ? QChar(kCp1252High[b - 0x80]) : QChar(b);
    }
    return text;
}

QString Decode(std::string_view bytes) {
    if (!IsValidUtf8(bytes)) return DecodeCp1252(bytes);
    // Qt drops a leading byte-order mark; it is part of the text here, so
    // that the bytes come back unchanged.
    constexpr std::string_view kBom = "\xEF\xBB\xBF";
    const bool bom = bytes.substr(0, 3) == kBom;
    if (bom) bytes.remove_prefix(3);
    QString text = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    if (bom) text.prepend(QChar(0xFEFF));
    return text;
}

// Length of the sequence a lead byte starts, with the allowed range of its
// second byte (the first continuation decides overlong forms and surrogates).
struct Utf8Lead {
    int length;
    unsigned char low, high;
};

Utf8Lead LeadOf(unsigned char b) {
    if (b >= 0xC2 && b <= 0xDF) return {2, 0x80, 0xBF};
    if (b == 0xE0) return {3, 0xA0, 0xBF};
    if (b == 0xED) return {3, 0x80, 0x9F};
    if (b >= 0xE1 && b <= 0xEF) return {3, 0x80, 0xBF};
    if (b == 0xF0) return {4, 0x90, 0xBF};
    if (b >= 0xF1 && b <= 0xF3) return {4, 0x80, 0xBF};
    if (b == 0xF4) return {4, 0x80, 0x8F};
    return {0, 0, 0};
}

} // namespace

bool IsValidUtf8(std::string_view bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            ++i;
            continue;
        }
        const Utf8Lead lead = LeadOf(b);
        if (lead.length == 0 || bytes.size() - i < static_cast<size_t>(lead.length)) return false;
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        if (second < lead.low || second > lead.high) return false;
        for (int k = 2; k < lead.length; ++k) {
            const auto c = static_cast<unsigned char>(bytes[i + static_cast<size_t>(k)]);
            if (c < 0x80 || c > 0xBF) return false;
        }
        i += static_cast<size_t>(lead.length);
    }
    return true;
}

QString BytesToLine(std::string_view bytes) {
    return Decode(bytes);
}

std::string LineToBytes(const QString& text) {
    return text.toUtf8().toStdString();
}

QString BytesToText(std::string_view bytes) {
    QString text = Decode(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

std::string TextToBytes(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    std::string out;
    out.reserve(static_cast<size_t>(utf8.size()) + static_cast<size_t>(text.count(u'\n')));
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        if (utf8[i] == '\n') out += '\r';
        out += utf8[i];
    }
    return out;
}
