#include "install/SetupPackage.h"

#include "common/AsciiCase.h"
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

const DirectoryEntry* SetupPackage::FindUserFile(const std::string& lowerName) const {
    for (const DirectoryEntry& e : Entries) {
        const std::string name = LowerAscii(e.Name);
        if (!name.starts_with(kSetupFolderPrefix) && name == lowerName) return &e;
    }
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
