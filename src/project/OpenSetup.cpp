#include "project/OpenSetup.h"

#include <filesystem>
#include <memory>
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

// The record of a user's file, checked against its checksum: its stored
// bytes read now, or, when leaveStored, left in the setup file (the record
// then points at them and the file keeps their digest, checked when they are
// read).
ProjectFile UserFile(const ByteSource& source, const DirectoryEntry& e, std::string name,
                     const ChecksumBlock* checksums, size_t k, bool leaveStored) {
    ProjectFile file{std::move(name), {}, {}};
    if (!leaveStored) {
        EntryRecord entry = ReadEntry(source, e);
        if (checksums) VerifyEntryChecksum(source, *checksums, k, e, entry.Stored);
        file.Data = std::move(entry);
        return file;
    }
    EntryRecord record;
    record.Flags = e.Flags;
    record.SourceOffset = static_cast<uint32_t>(e.Offset); // checked by ReadDirectory
    record.StoredSize = e.StoredSize;
    record.Size = e.Size;
    file.Data = std::move(record);
    if (checksums) file.Digest = checksums->Entries.at(k);
    return file;
}

// Reads the directory and the setup files of the package into the project,
// and the user's files unless leaveStored; returns the setup text. Throws
// DamagedInput for anything damaged.
std::string ReadPackageIntoProject(SetupProject& project, const ByteSource& source,
                                   bool leaveStored) {
    const int64_t P = FindPackage(source);
    if (P < 0) throw DamagedInput("the file carries no setup package");
    std::string setupText;
    const std::vector<DirectoryEntry> entries = ReadDirectory(source, P, kMaxEntriesRead);
    // A damaged entry is refused when it is read, or the next save would
    // write it back under a checksum of its own.
    const std::optional<ChecksumBlock> checksums = ReadChecksumBlock(source, P, entries);
    if (checksums) VerifyDirectoryChecksum(source, P, *checksums);
    for (size_t k = 0; k < entries.size(); ++k) {
        const DirectoryEntry& e = entries[k];
        const std::string name = LowerAscii(e.Name);
        if (IsUnsafeEntryName(name))
            throw DamagedInput("the package holds an entry named \"" + e.Name +
                               "\", which no setup can hold");
        if (name.starts_with(kSetupFolderPrefix)) {
            EntryRecord entry = ReadEntry(source, e);
            if (checksums) VerifyEntryChecksum(source, *checksums, k, e, entry.Stored);
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
        project.Files.push_back(UserFile(source, e, std::move(fileName),
                                         checksums ? &*checksums : nullptr, k, leaveStored));
    }
    return setupText;
}

// Opens the package in source; with file, the user's files stay in that
// setup file until they are needed.
bool OpenFrom(SetupProject& project, Host& host, const ByteSource& source,
              std::shared_ptr<const BinaryFile> file) {
    NewProject(project, false);
    std::string setupText;
    std::string why;
    try {
        setupText = ReadPackageIntoProject(project, source, file != nullptr);
        if (file) project.Source = StoredIn::Of(std::move(file));
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

} // namespace

bool OpenSetup(SetupProject& project, Host& host, const ByteSource& source) {
    return OpenFrom(project, host, source, {});
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
        auto file = std::make_shared<const BinaryFile>(BinaryFile::OpenRead(path));
        return OpenFrom(project, host, *file, file);
    } catch (const KaveloError& e) {
        why = e.Reason();
    }
    NewProject(project, false);
    SplitLines(project.SetupLines, "", "\r\n");
    ShowErrorWithPath(host, 32, path, why);
    return false;
}
