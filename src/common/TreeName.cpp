#include "common/TreeName.h"

#include "common/AsciiCase.h"

bool IsTreeName(std::string_view projectName) {
    return projectName.size() > kTreeSuffix.size() && projectName.ends_with(kTreeSuffix);
}

std::optional<TreeReference> ReadTreeReference(std::string_view fileName) {
    const std::string lowered = LowerAscii(fileName);
    for (size_t at = lowered.find(kTreeSuffix); at != std::string::npos;
         at = lowered.find(kTreeSuffix, at + 1)) {
        const size_t end = at + kTreeSuffix.size();
        if (at == 0 || (end < lowered.size() && lowered[end] != '/')) continue;
        return TreeReference{lowered.substr(0, end),
                             end < fileName.size() ? std::string(fileName.substr(end + 1)) : ""};
    }
    return std::nullopt;
}
