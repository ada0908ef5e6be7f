// The setup lines in the editor windows' text boxes. A setup line is one line
// of setup\setup.txt, so a line break typed into it is stored as "|"; the
// startup and finish texts show each "|" as a line break again.
#pragma once

#include <QString>

#include <string>
#include <string_view>

// The line as a one-line box shows it: "|" stays "|".
QString SetupLineToField(std::string_view line);

// The line as a multi-line box shows it: every "|" is a line break.
QString SetupLineToText(std::string_view line);

// Store what a box holds into line. A text that reads as the line already
// does leaves the bytes alone, so looking at a setup written in another code
// page does not rewrite it; an edited text is stored as UTF-8 with every line
// break (CR LF, LF, CR, U+2028, U+2029) as one "|".
void StoreFieldInLine(std::string& line, const QString& text);
void StoreTextInLine(std::string& line, const QString& text);
