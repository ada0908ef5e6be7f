// Byte strings to QString and back: bytes to UTF-8 (UTF-8 when valid, else
// Windows-1252) and the line-end conversion, both from src/common, at the
// boundary of Qt's text widgets.
#include "ui/TextConvert.h"

#include "common/LineEnds.h"
#include "common/Utf8Text.h"

namespace {

QString Decode(std::string_view bytes) {
    const std::string utf8 = BytesToUtf8(bytes);
    std::string_view text = utf8;
    // Qt drops a leading byte-order mark; it is part of the text here, so
    // that the bytes come back unchanged.
    constexpr std::string_view kBom = "\xEF\xBB\xBF";
    const bool bom = text.substr(0, 3) == kBom;
    if (bom) text.remove_prefix(3);
    QString decoded = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    if (bom) decoded.prepend(QChar(0xFEFF));
    return decoded;
}

} // namespace

QString BytesToLine(std::string_view bytes) {
    return Decode(bytes);
}

std::string LineToBytes(const QString& text) {
    return text.toUtf8().toStdString();
}

QString BytesToText(std::string_view bytes) {
    return Decode(CrLfToLf(bytes));
}

std::string TextToBytes(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return LfToCrLf(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}
