#include "res/ProgramVersion.h"

#include <cstdio>

#include "res/StringTable.h"

std::string VersionText(const ProgramVersion& version) {
    char text[32];
    std::snprintf(text, sizeof text, "%d.%02d", version.Major, version.Minor);
    return text;
}

std::string VersionLine(const ProgramVersion& version) {
    std::string line;
    for (const char c : GetResString(version.Revision == 0 ? 101 : 102, false)) {
        if (c == '$')
            line += VersionText(version);
        else if (c == '%' && version.Revision != 0)
            line += std::to_string(version.Revision);
        else
            line += c;
    }
    return line;
}
