// The one place where the project's byte strings meet Qt's text: UTF-8 when
// the bytes are valid UTF-8, otherwise Windows-1252, and CR LF inside the
// project against LF in Qt's text widgets.
#pragma once

#include <QString>

#include <string>
#include <string_view>

// Bytes of a multi-line project text to a QString: decoded as UTF-8 when the
// bytes are valid UTF-8 (the BOM included, kept as U+FEFF), else as
// Windows-1252 (BytesToUtf8); every CR LF becomes LF, a lone CR stays.
QString BytesToText(std::string_view bytes);

// A QString from a text widget to project bytes: UTF-8, every LF becomes
// CR LF, a CR stays as it is (so "\r\r\n" read in comes back unchanged).
// BytesToText and TextToBytes round-trip valid UTF-8 with CR LF line ends.
std::string TextToBytes(const QString& text);

// The same pair without line-break conversion, for one-line texts, captions
// and paths.
QString BytesToLine(std::string_view bytes);
std::string LineToBytes(const QString& text);
