// Line ends at the boundary of the project: inside it lines end in CR LF, in
// Linux files and Qt's text widgets in LF.
#pragma once

#include <string>
#include <string_view>

// Every LF becomes CR LF, a CR stays as it is (so "\r\r\n" read out by
// CrLfToLf comes back unchanged).
std::string LfToCrLf(std::string_view text);

// Every LF that no CR precedes becomes CR LF: a Linux file's text in the
// project's form, its CR LF lines kept.
std::string BareLfToCrLf(std::string_view text);

// Every CR LF becomes LF; a lone CR stays.
std::string CrLfToLf(std::string_view text);
