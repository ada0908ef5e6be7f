#include "project/Messages.h"

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

std::string MessageWithReason(int32_t stringId, const std::string& path,
                              const std::string& reason) {
    std::string text = MessageWithPath(stringId, path);
    if (!reason.empty()) text += kResLineBreak + reason;
    return text;
}

void ShowErrorWithPath(Host& host, int32_t stringId, const std::string& path,
                       const std::string& reason) {
    host.ShowError(MessageWithReason(stringId, path, reason));
}
