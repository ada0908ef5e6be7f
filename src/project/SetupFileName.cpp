#include "project/SetupFileName.h"

#include <sys/stat.h>

#include "common/AsciiCase.h"

namespace {

bool IsFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

} // namespace

bool HasSetupExtension(const std::string& path) {
    if (path.size() < 4) return false;
    const std::string end = LowerAscii(path.substr(path.size() - 4));
    return end == ".exe" || end == ".run";
}

std::string WithSetupExtension(const std::string& path) {
    return HasSetupExtension(path) ? path : path + ".run";
}

std::string SetupToOpen(const std::string& chosen) {
    if (HasSetupExtension(chosen)) return chosen;
    for (const std::string& candidate : {chosen + ".run", chosen + ".exe", chosen})
        if (IsFile(candidate)) return candidate;
    return chosen + ".run";
}
