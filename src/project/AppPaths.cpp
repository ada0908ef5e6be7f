#include "project/AppPaths.h"

#include "common/AsciiCase.h"

std::string AppFileNameFor(const std::string& programPath, const std::string& suffix) {
    if (suffix.size() == 1 && suffix[0] == '\0') return programPath;
    // Split at the last folder separator; both "/" and "\" count.
    const size_t slash = programPath.find_last_of("/\\");
    const std::string folder =
        slash == std::string::npos ? std::string() : programPath.substr(0, slash + 1);
    if (suffix.size() == 1 && suffix[0] == '\1') return folder;
    const std::string file = programPath.substr(folder.size());
    const size_t dot = file.rfind('.');
    const std::string stem = dot == std::string::npos ? file + "." : file.substr(0, dot + 1);
    const std::string base = folder + stem;

    const bool suffixMixed = suffix != LowerAscii(suffix) && suffix != UpperAscii(suffix);
    if (suffixMixed) return base + suffix;
    const bool upperMode = base != LowerAscii(base) && base == UpperAscii(base);
    return base + (upperMode ? UpperAscii(suffix) : LowerAscii(suffix));
}
