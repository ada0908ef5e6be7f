#include "SetupFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "common/BigEndian.h"
#include "package/PackageReader.h"
#include "package/PackageWriter.h"
#include "package/PackageFormat.h"

std::optional<std::vector<SetupEntry>> ReadSetupEntries(const BinaryFile& file) {
    const int64_t p = FindPackage(file);
    if (p < 0) return std::nullopt;
    // The count is checked against the bytes that exist before anything is
    // allocated for it.
    const int64_t count = static_cast<uint32_t>(GetEntryCount(file, p));
    if (count * kRecordSize > file.Length() - p) throw PackageError("entry count past the end");
    std::vector<std::string> records(static_cast<size_t>(count));
    int64_t total = 0;
    const int32_t n = ReadDirectory(file, p, records, static_cast<int32_t>(count), total, 1, 0);
    std::vector<SetupEntry> entries;
    entries.reserve(static_cast<size_t>(n));
    for (int32_t k = 0; k < n; ++k) {
        const std::string& r = records[static_cast<size_t>(k)];
        SetupEntry e;
        e.Record = r;
        e.Flags = static_cast<uint8_t>(r[kRecordFlagsAt]);
        e.Offset = CharsToLong(r, kRecordFieldAt);
        e.StoredSize = CharsToLong(r, kRecordStoredSizeAt);
        e.UncompressedSize = CharsToLong(r, kRecordUncompressedSizeAt);
        e.Name = r.substr(kRecordSize);
        entries.push_back(std::move(e));
    }
    return entries;
}

std::string ReadSetupEntryContents(const BinaryFile& file, const SetupEntry& entry) {
    int64_t size = 0;
    return ExtractEntry(ReadEntry(file, entry.Record), size);
}

std::optional<std::filesystem::path> SafeRelativePath(const std::string& name) {
    std::string rest = name;
    if (rest.size() >= 2 && rest[1] == ':') rest.erase(0, 2);  // a drive letter
    std::filesystem::path out;
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = rest.find_first_of("\\/", start);
        if (end == std::string::npos) end = rest.size();
        const std::string part = rest.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == ".") continue;
        if (part == ".." || part.find('\0') != std::string::npos) return std::nullopt;
        out /= part;
    }
    if (out.empty()) return std::nullopt;
    return out;
}

bool WriteBelow(const std::filesystem::path& dir, const std::filesystem::path& relative,
                const std::string& contents, std::string& why) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path at = dir;
    fs::path parts = relative.parent_path();
    for (const fs::path& part : parts) {
        at /= part;
        const auto st = fs::symlink_status(at, ec);
        if (fs::is_symlink(st)) {
            why = at.string() + ": is a symbolic link, not followed";
            return false;
        }
        if (!fs::exists(st)) {
            fs::create_directory(at, ec);
            if (ec) {
                why = at.string() + ": " + ec.message();
                return false;
            }
        } else if (!fs::is_directory(st)) {
            why = at.string() + ": is not a folder";
            return false;
        }
    }
    const fs::path file = dir / relative;
    const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        why = file.string() + ": " + std::strerror(errno);
        return false;
    }
    size_t written = 0;
    while (written < contents.size()) {
        const ssize_t w = write(fd, contents.data() + written, contents.size() - written);
        if (w < 0) {
            if (errno == EINTR) continue;
            why = file.string() + ": " + std::strerror(errno);
            close(fd);
            return false;
        }
        written += static_cast<size_t>(w);
    }
    if (close(fd) != 0) {
        why = file.string() + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

std::string SetupLineText(const std::string& setupText, int index) {
    std::string line;
    int current = 0;
    for (size_t i = 0; i < setupText.size(); ++i) {
        if (setupText.compare(i, 2, "\r\n") == 0) {
            ++current;
            ++i;
            continue;
        }
        if (current == index) line += setupText[i] == '|' ? '\n' : setupText[i];
    }
    return line;
}
