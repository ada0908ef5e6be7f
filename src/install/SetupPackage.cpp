#include "install/SetupPackage.h"

#include "common/Errors.h"
#include "common/TextLines.h"
#include "package/PackageReader.h"
#include "package/SetupEntries.h"

namespace {

constexpr size_t kStringsListSize = 1024;

std::string EntryText(const SetupPackage& setup, std::string_view name) {
    const DirectoryEntry* e = FindEntry(setup.Entries, name);
    return e ? ReadEntryContents(setup.File, *e) : std::string();
}

} // namespace

std::string SetupPackage::Line(int index) const {
    return SetupLineText(Lines, index);
}

namespace {

// Whether name, lower-cased, is lower: without making a lower-cased copy,
// as a script of many lines looks up every file by name.
bool LowersTo(std::string_view name, std::string_view lower) {
    if (name.size() != lower.size()) return false;
    for (size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != lower[i]) return false;
    }
    return true;
}

} // namespace

const DirectoryEntry* SetupPackage::FindUserFile(const std::string& lowerName) const {
    // The setup's own files are not the user's: no user file is named like one.
    if (lowerName.starts_with(kSetupFolderPrefix)) return nullptr;
    for (const DirectoryEntry& e : Entries)
        if (LowersTo(e.Name, lowerName)) return &e;
    return nullptr;
}

std::vector<std::string> SetupPackage::StringsList() const {
    std::vector<std::string> list(kStringsListSize);
    SplitLines(list, Strings, "\r\n");
    return list;
}

void RequireUnchangedSetup(const SetupPackage& setup) {
    if (setup.File.ChangeTime() != setup.OpenedChangeTime)
        throw DamagedInput("the setup changed while it was being installed", setup.Path);
}

std::optional<SetupPackage> OpenSetupPackage(const std::string& path) {
    SetupPackage setup;
    setup.Path = path;
    setup.File = BinaryFile::OpenRead(path);
    setup.OpenedChangeTime = setup.File.ChangeTime();
    const int64_t P = FindPackage(setup.File);
    if (P < 0) return std::nullopt;
    setup.RuntimeLength = P;
    setup.Entries = ReadDirectory(setup.File, P);
    setup.Lines = EntryText(setup, kSetupLinesName);
    setup.Script = EntryText(setup, kSetupScriptName);
    setup.Strings = EntryText(setup, kSetupStringsName);
    return setup;
}
