// Opening a setup executable: its package becomes the project again. The four
// setup files are extracted; user files stay packed as they were stored.
#include <cstdint>
#include <exception>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "project/Messages.h"
#include "project/Project.h"
#include "package/BinaryFile.h"
#include "package/PackageReader.h"
#include "package/PackageWriter.h"

namespace {

const std::string kSetupPrefix = "setup\\";

// The most entries a setup may have: the file table's 512 user files, the
// four setup files and as many other "setup\\" entries again, which are
// ignored. The count is checked against the file's length as well.
constexpr int32_t kMaxEntriesRead = 2 * kMaxFiles;

// A name our writer could never have stored: a ".." part, an absolute path or
// a drive, or nothing after the last backslash. Such a package is damaged.
bool IsUnsafeEntryName(const std::string& name) {
    if (name.empty() || name[0] == '\\' || name[0] == '/') return true;
    if (name.size() >= 2 && name[1] == ':') return true;
    if (name.back() == '\\' || name.back() == '/') return true;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of("\\/", start);
        if (end == std::string::npos) end = name.size();
        if (name.compare(start, end - start, "..") == 0) return true;
        start = end + 1;
    }
    return name.find('\0') != std::string::npos;
}

struct DamagedPackage : std::exception {
    const char* what() const noexcept override { return "damaged package"; }
};

// Reads every entry of the package at p into the project; returns the setup
// text. Throws on anything damaged.
std::string ReadPackageIntoProject(BinaryFile& file, int64_t p) {
    // A full project saves its 512 files after the four setup files, so the
    // directory is read into a list of its own rather than into the file
    // table's 512 record slots, which would refuse such a setup.
    const uint32_t count = static_cast<uint32_t>(GetEntryCount(file, p));
    if (count > static_cast<uint32_t>(kMaxEntriesRead)) throw DamagedPackage();
    std::vector<std::string> records(count);
    int64_t total = 0;
    const int32_t n = ReadDirectory(file, p, records, static_cast<int32_t>(count), total, 1, 0);
    if (n < 0 || static_cast<uint32_t>(n) != count) throw DamagedPackage();

    std::string setupText;
    int32_t c = 0;
    for (const std::string& record : records) {
        if (record.size() < 13) throw DamagedPackage();
        const std::string name = LowerAscii(std::string_view(record).substr(13));
        if (IsUnsafeEntryName(name)) throw DamagedPackage();
        std::string entry = ReadEntry(file, record);
        if (name.compare(0, kSetupPrefix.size(), kSetupPrefix) == 0) {
            const std::string rest = name.substr(kSetupPrefix.size());
            int64_t size = 0;
            if (rest == "picture.bmp") {
                gProject.Picture = ExtractEntry(entry, size);
                gProject.PicturePacked = std::move(entry);
            } else if (rest == "setup.txt") {
                setupText = ExtractEntry(entry, size);
            } else if (rest == "script.txt") {
                gProject.ScriptText = ExtractEntry(entry, size);
            } else if (rest == "strings.txt") {
                gProject.StringsText = ExtractEntry(entry, size);
            }
            continue;
        }
        if (c >= kMaxFiles) throw DamagedPackage();
        gProject.Name(c) = name.substr(name.find_last_of('\\') + 1);
        gProject.Data(c) = std::move(entry);
        gProject.Packed[c] = true;
        ++c;
    }
    gProject.FileCount = c;
    return setupText;
}

} // namespace

bool OpenSetup() {
    const std::string path = gProject.ProjectPath;
    BinaryFile file;
    int64_t p = -1;
    try {
        // Only a file is opened: a named pipe or a device would wait for input
        // that never comes.
        std::error_code ec;
        if (std::filesystem::is_regular_file(path, ec)) {
            file = BinaryFile::OpenRead(path);
            p = FindPackage(file);
        }
    } catch (const std::exception&) {
        p = -1;
    }

    NewProject(false);
    std::string setupText;
    bool result = false;
    if (p >= 0) {
        try {
            setupText = ReadPackageIntoProject(file, p);
            result = true;
        } catch (const std::exception&) {
            // A damaged package leaves the project as for a file without one.
            NewProject(false);
            setupText.clear();
        }
    }
    if (!result) ShowErrorWithPath(32, path);
    SplitLines(gProject.SetupLines, setupText, "\r\n");
    try {
        file.Close();
    } catch (const std::exception&) {
    }
    return result;
}
