// Setups written before entries could be stored with zstd (kept in
// tests/data/setups with the files they were made from) open, give back their
// files and save again with every entry's bytes as they were; and a project
// that compresses with zstd remembers it where older readers do not look.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <map>

#include "TestHost.h"
#include "common/AsciiCase.h"
#include "common/TextLines.h"
#include "common/WholeFile.h"
#include "package/BinaryFile.h"
#include "package/PackageReader.h"
#include "package/SetupEntries.h"
#include "project/AppPaths.h"
#include "project/SaveSetup.h"
#include "project/Session.h"

namespace {

const std::string kSetups = KAVELO_SETUPS_DIR;

std::map<std::string, EntryRecord> EntriesOf(const std::string& path) {
    const BinaryFile file = BinaryFile::OpenRead(path);
    std::map<std::string, EntryRecord> entries;
    const auto directory = ReadPackageDirectory(file);
    for (const DirectoryEntry& e : directory.value())
        entries[e.Name] = ReadEntry(file, e);
    return entries;
}

class OldSetups : public ::testing::TestWithParam<const char*> {
  protected:
    void SetUp() override { session.Saving.ProgramPath = dir / "kavelomaker"; }
    TempDir dir;
    RecordingHost host;
    Module1 session{host};
};

} // namespace

TEST_P(OldSetups, OpenAndSaveAgainWithEveryEntryAsItWas) {
    const std::string fixture = kSetups + "/" + GetParam();
    const std::string bytes = ReadWholeFile(fixture);
    const int64_t P = FindPackage(BinaryFile::OpenRead(fixture));
    ASSERT_GT(P, 0);
    session.Saving.BuiltInRuntime = bytes.substr(0, static_cast<size_t>(P));
    const std::string copy = dir / "copy.exe";
    std::filesystem::copy_file(fixture, copy);

    ASSERT_TRUE(session.OpenSetup(copy));
    EXPECT_EQ(session.Project.Codec, EntryCodec::Huffman);
    ASSERT_TRUE(session.SaveSetup()) << (host.errors.empty() ? "" : host.errors.back());
    EXPECT_TRUE(host.errors.empty());

    const auto before = EntriesOf(fixture);
    const auto after = EntriesOf(copy);
    for (const auto& [name, record] : before) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(after.count(name));
        EXPECT_EQ(after.at(name), record);
    }
    for (const auto& [name, record] : after)
        EXPECT_TRUE(before.count(name) || LowerAscii(name).starts_with(kSetupFolderPrefix)) << name;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, OldSetups, ::testing::Values("template.exe", "files.exe"));

TEST(OldSetupFiles, GiveBackTheFilesTheyWereMadeFrom) {
    RecordingHost host;
    Module1 session{host};
    ASSERT_TRUE(session.OpenSetup(kSetups + "/files.exe"));
    const SetupProject& p = session.Project;
    EXPECT_EQ(p.SetupLines[LineCaption], "Fixture|two lines");
    EXPECT_EQ(p.SetupLines[LineLicense], "license.txt");
    int compared = 0;
    for (const ProjectFile& f : p.Files) {
        const std::string source = kSetups + "/files/" + f.Name;
        if (!std::filesystem::exists(source)) continue;
        EXPECT_EQ(ExtractEntry(p.LoadedRecord(f), f.Name), ReadWholeFile(source)) << f.Name;
        ++compared;
    }
    EXPECT_EQ(compared, 5);
}

TEST(ZstdProject, RemembersItsCodecPastTheSevenLinesAndPacksWithIt) {
    TempDir dir;
    RecordingHost host;
    Module1 session{host};
    session.Saving.ProgramPath = dir / "kavelomaker";
    session.Saving.BuiltInRuntime = "#!RUNTIME-STUB\n";
    session.Project.ProjectPath = dir / "z.exe";
    session.NewProject(false);
    std::string text;
    for (int i = 0; i < 500; ++i)
        text += "a line that zstd makes much smaller " + std::to_string(i % 7) + "\r\n";
    ASSERT_TRUE(session.Project.AddFile({"notes.txt", text}));
    const auto lines = session.Project.SetupLines;
    session.Project.ChangeCodec(EntryCodec::Zstd);
    ASSERT_TRUE(session.SaveSetup());

    ASSERT_TRUE(session.OpenSetup(dir / "z.exe"));
    EXPECT_EQ(session.Project.Codec, EntryCodec::Zstd);
    EXPECT_EQ(session.Project.SetupLines, lines);
    EXPECT_EQ(session.Project.Files[0].Record().Flags, kFlagCompressed | kFlagZstd);
    // A reader that knows only the seven lines sees them unchanged.
    const BinaryFile file = BinaryFile::OpenRead(dir / "z.exe");
    const auto entries = *ReadPackageDirectory(file);
    const std::string setupText = ReadEntryContents(file, *FindEntry(entries, kSetupLinesName));
    std::array<std::string, kSetupLineCount> seen;
    SplitLines(seen, setupText, "\r\n");
    EXPECT_EQ(seen, lines);

    // Back to Huffman: the file is packed again, and the line is gone.
    session.Project.ChangeCodec(EntryCodec::Huffman);
    ASSERT_TRUE(session.SaveSetup());
    ASSERT_TRUE(session.OpenSetup(dir / "z.exe"));
    EXPECT_EQ(session.Project.Codec, EntryCodec::Huffman);
    EXPECT_EQ(session.Project.Files[0].Record().Flags, kFlagCompressed);
    EXPECT_EQ(session.Project.JoinedSetupLines().find("compression"), std::string::npos);
    EXPECT_EQ(ExtractEntry(session.Project.LoadedRecord(session.Project.Files[0])), text);
}
