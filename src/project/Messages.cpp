#include "project/Messages.h"

#include "common/Host.h"
#include "res/StringTable.h"

std::string MessageWithPath(int32_t stringId, const std::string& path) {
    const std::string text = GetResString(stringId, true);
    std::string out;
    out.reserve(text.size() + path.size());
    for (char c : text) {
        if (c == '$')
            out += path;
        else
            out += c;
    }
    return out;
}

void ShowErrorWithPath(int32_t stringId, const std::string& path) {
    GetHost().ShowError(MessageWithPath(stringId, path));
}
