#include "project/OpenSetup.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "common/AsciiCase.h"
#include "common/Errors.h"
#include "common/TextLines.h"
#include "package/BinaryFile.h"
#include "package/PackageChecksums.h"
#include "package/PackageReader.h"
#include "package/SetupEntries.h"
#include "project/Messages.h"
#include "project/NewProject.h"

namespace {

// The most entries a setup may have: the project's 512 user files, the four
// setup files and as many other "setup\" entries again, which are ignored.
// The count is checked against the file's length as well.
constexpr uint32_t kMaxEntriesRead = 2 * kMaxFiles;

// Puts one of the four setup files where it belongs; other "setup\" names
// are ignored.
void ReadSetupFile(SetupProject& project, std::string_view name, EntryRecord entry,
                   std::string& setupText) {
    if (name == kSetupPictureName) {
        project.Picture = ExtractEntry(entry, std::string(name));
        project.PicturePacked = std::move(entry);
    } else if (name == kSetupLinesName) {
        setupText = ExtractEntry(entry, std::string(name));
    } else if (name == kSetupScriptName) {
        project.ScriptText = ExtractEntry(entry, std::string(name));
    } else if (name == kSetupStringsName) {
        project.StringsText = ExtractEntry(entry, std::string(name));
    }
}

// Reads every entry of the package into the project; returns the setup text.
// Throws DamagedInput for anything damaged.
std::string ReadPackageIntoProject(SetupProject& project, const ByteSource& source) {
    const int64_t P = FindPackage(source);
    if (P < 0) throw DamagedInput("the file carries no setup package");
    std::string setupText;
    const std::vector<DirectoryEntry> entries = ReadDirectory(source, P, kMaxEntriesRead);
    // A damaged entry is refused here, or the next save would write it back
    // under a checksum of its own.
    const std::optional<ChecksumBlock> checksums = ReadChecksumBlock(source, P, entries);
    if (checksums) VerifyDirectoryChecksum(source, P, *checksums);
    for (size_t k = 0; k < entries.size(); ++k) {
        const DirectoryEntry& e = entries[k];
        const std::string name = LowerAscii(e.Name);
        if (IsUnsafeEntryName(name))
            throw DamagedInput("the package holds an entry named \"" + e.Name +
                               "\", which no setup can hold");
        EntryRecord entry = ReadEntry(source, e);
        if (checksums) VerifyEntryChecksum(source, *checksums, k, e, entry.Stored);
        if (name.starts_with(kSetupFolderPrefix)) {
            ReadSetupFile(project, name, std::move(entry), setupText);
            continue;
        }
        if (project.FileCount() >= kMaxFiles)
            throw DamagedInput("the package holds more than " + std::to_string(kMaxFiles) +
                               " files");
        // The project keeps the part after the last "\": two entries that end
        // alike would become one name.
        std::string fileName = name.substr(name.find_last_of('\\') + 1);
        if (project.FindFile(fileName) >= 0)
            throw DamagedInput("the package holds two files named \"" + fileName + "\"");
        project.Files.push_back({std::move(fileName), std::move(entry)});
    }
    return setupText;
}

} // namespace

bool OpenSetup(SetupProject& project, Host& host, const ByteSource& source) {
    NewProject(project, false);
    std::string setupText;
    std::string why;
    try {
        setupText = ReadPackageIntoProject(project, source);
    } catch (const KaveloError& e) {
        // A damaged package leaves the project as for a file without one.
        why = e.Reason();
        NewProject(project, false);
        setupText.clear();
    }
    SplitLines(project.SetupLines, setupText, "\r\n");
    project.Codec = SetupTextCodec(setupText);
    if (why.empty()) return true;
    ShowErrorWithPath(host, 32, project.ProjectPath, why);
    return false;
}

bool OpenSetup(SetupProject& project, Host& host) {
    const std::string path = project.ProjectPath;
    std::string why;
    try {
        // Only a file is opened: a named pipe or a device would wait for
        // input that never comes.
        std::error_code ec;
        const auto status = std::filesystem::status(path, ec);
        if (ec) throw IoError(ec.value(), path);
        if (std::filesystem::is_directory(status)) throw IoError(EISDIR, path);
        if (!std::filesystem::is_regular_file(status))
            throw KaveloError("not a regular file", path);
        const BinaryFile file = BinaryFile::OpenRead(path);
        return OpenSetup(project, host, file);
    } catch (const KaveloError& e) {
        why = e.Reason();
    }
    NewProject(project, false);
    SplitLines(project.SetupLines, "", "\r\n");
    ShowErrorWithPath(host, 32, path, why);
    return false;
}
