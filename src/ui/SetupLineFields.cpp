// Setup lines to text boxes and back, over the one byte/text conversion.
#include "ui/SetupLineFields.h"

#include "ui/TextConvert.h"

namespace {

std::string ToSetupLine(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    for (const char16_t lineBreak : {u'\r', u'\u2028', u'\u2029'})
        text.replace(QChar(lineBreak), QChar(u'\n'));
    std::string bytes = LineToBytes(text);
    for (char& c : bytes)
        if (c == '\n') c = '|';
    return bytes;
}

} // namespace

QString SetupLineToField(std::string_view line) {
    return BytesToLine(line);
}

QString SetupLineToText(std::string_view line) {
    QString text = BytesToLine(line);
    text.replace(QChar(u'|'), QChar(u'\n'));
    return text;
}

void StoreFieldInLine(std::string& line, const QString& text) {
    if (SetupLineToField(line) != text) line = ToSetupLine(text);
}

void StoreTextInLine(std::string& line, const QString& text) {
    if (SetupLineToText(line) != text) line = ToSetupLine(text);
}
