#include "project/FileIntake.h"

#include <filesystem>
#include <map>
#include <variant>

#include "common/AsciiCase.h"
#include "common/Errors.h"
#include "common/WholeFile.h"
#include "package/PackageFormat.h"
#include "package/SetupEntries.h"
#include "package/TreeArchive.h"

namespace {

int32_t LittleEndian32(const std::string& bytes, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
    return static_cast<int32_t>(v);
}

bool EndsWith(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() &&
           s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

} // namespace

std::string IntakeName(const std::string& path, bool* shortened) {
    const size_t slash = path.rfind('/');
    const std::string own = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t backslash = own.rfind('\\');
    if (shortened) *shortened = backslash != std::string::npos;
    return LowerAscii(backslash == std::string::npos ? own : own.substr(backslash + 1));
}

// The contents of the file at path, or the file to read them from at the
// next save; throws as ReadWholeFile does.
std::variant<std::string, EntryRecord, FileOnDisk> IntakeData(const std::string& path,
                                                              FileReading when) {
    if (when == FileReading::Now) return ReadWholeFile(path, kMaxPackageNumber);
    const FileStamp stamp = CheckReadableFile(path, kMaxPackageNumber);
    // The path is made absolute: the save may run in another folder.
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    return FileOnDisk{ec ? path : absolute.string(), stamp.Size, stamp.ModifiedNs, nullptr};
}

DropResult DropFiles(SetupProject& project, const std::vector<std::string>& paths,
                     ProgressSink* progress, FileReading when) {
    DropResult result;
    std::map<std::string, std::vector<std::string>> byName;
    for (const std::string& path : paths)
        byName[IntakeName(path)].push_back(path);
    const auto skip = [&](const std::string& path, std::string why, bool unreadable = false) {
        result.Skipped.push_back(path);
        result.Problems.push_back({path, std::move(why), unreadable});
    };
    for (size_t i = 0; i < paths.size(); ++i) {
        if (progress) progress->ValueSet(static_cast<float>(i) / static_cast<float>(paths.size()));
        const std::string& path = paths[i];
        bool shortened = false;
        const std::string name = IntakeName(path, &shortened);
        const std::vector<std::string>& same = byName[name];
        if (same.size() > 1) {
            const std::string& other = same[0] == path ? same[1] : same[0];
            skip(path, "\"" + other + "\" would get the same name \"" + name + "\"");
            continue;
        }
        if (name.empty()) {
            skip(path, "the path names no file");
            continue;
        }
        if (IsTreeName(name)) {
            skip(path, "a name ending in \"" + std::string(kTreeSuffix) +
                           "\" is kept for a folder's tree");
            continue;
        }
        if (IsUnsafeEntryName(name)) {
            skip(path, "a setup cannot hold a file named \"" + name + "\"");
            continue;
        }
        std::variant<std::string, EntryRecord, FileOnDisk> bytes;
        try {
            bytes = IntakeData(path, when);
        } catch (const IoError& e) {
            skip(path, e.Reason(), true);
            continue;
        } catch (const KaveloError& e) {
            skip(path, e.Reason(), e.Reason() == kNotRegularFile);
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
            result.Problems.push_back(
                {path, "the setup already holds " + std::to_string(kMaxFiles) + " files"});
            continue;
        }
        if (shortened) result.Shortened.push_back({path, name});
    }
    if (progress) progress->ValueSet(1);
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
