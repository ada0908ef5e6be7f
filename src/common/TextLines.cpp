#include "common/TextLines.h"

void SplitLines(std::span<std::string> target, std::string_view text, std::string_view separator) {
    if (target.empty() || separator.empty()) return;
    std::string work(text);
    work += separator;
    size_t from = 0;
    for (size_t i = 0; i < target.size(); ++i) {
        const size_t at = work.find(separator, from);
        if (at == std::string::npos) return;
        target[i] = work.substr(from, at - from);
        from = at + separator.size();
    }
}
