#include "project/FileIntake.h"

#include "common/AsciiCase.h"
#include "common/Errors.h"
#include "common/WholeFile.h"
#include "package/PackageFormat.h"

namespace {

int32_t LittleEndian32(const std::string& bytes, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
    return static_cast<int32_t>(v);
}

bool EndsWith(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

} // namespace

DropResult DropFiles(SetupProject& project, const std::vector<std::string>& paths) {
    DropResult result;
    for (const std::string& path : paths) {
        const size_t slash = path.find_last_of("\\/");
        const std::string name =
            LowerAscii(slash == std::string::npos ? path : path.substr(slash + 1));
        std::string bytes;
        try {
            if (name.empty()) throw KaveloError("no file name");
            bytes = ReadWholeFile(path, kMaxPackageNumber);
        } catch (const KaveloError&) {
            result.Skipped.push_back(path);
            continue;
        }
        const int32_t k = project.FindFile(name);
        if (k >= 0) {
            project.Files[static_cast<size_t>(k)].Data = std::move(bytes);
            ++result.Replaced;
        } else if (project.AddFile({name, std::move(bytes)})) {
            ++result.Added;
            if (EndsWith(name, ".txt")) result.AddedTxt = true;
        } else {
            result.Refused.push_back(path);
        }
    }
    return result;
}

std::string LoadPictureFile(const std::string& path, bool allowTmp, bool checkSize) {
    if (path.size() < 4) return {};
    const std::string ext = LowerAscii(path.substr(path.size() - 4));
    if (ext != ".bmp" && ext != ".jpg" && ext != ".gif" && ext != ".ico" && ext != ".tmp")
        return {};
    if (ext == ".tmp" && !allowTmp) return {};
    std::string bytes;
    try {
        bytes = ReadWholeFile(path);
    } catch (const KaveloError&) {
        return {};
    }
    if (bytes.size() <= 93) return {};
    // The width and height of the bitmap information header that follows
    // the 14-byte file header.
    if (checkSize && (LittleEndian32(bytes, 18) != 128 || LittleEndian32(bytes, 22) != 320))
        return {};
    return bytes;
}
