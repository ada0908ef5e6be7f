// Saving a project as a setup executable and opening it again.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <fcntl.h>
#include <unistd.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <random>
#include <thread>

#include "PackageBuilder.h"
#include "TestHost.h"
#include "common/Errors.h"
#include "common/WholeFile.h"
#include "package/BinaryFile.h"
#include "package/PackageChecksums.h"
#include "package/PackageReader.h"
#include "package/PackageWriter.h"
#include "project/AppPaths.h"
#include "project/ContentsBuilder.h"
#include "project/FileIntake.h"
#include "project/ProjectTrees.h"
#include "project/SaveSetup.h"
#include "project/Session.h"
#include "project/SetupLock.h"
#include "res/BuiltInFiles.h"

namespace {

const std::string kRuntime = "#!RUNTIME-STUB\n" + std::string(300, 'R');

std::string RandomBytes(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s)
        c = static_cast<char>(rng());
    return s;
}

// Every test saves with a known runtime and no data file beside the program.
class SetupTest : public ::testing::Test {
  protected:
    void SetUp() override {
        session.Saving.ProgramPath = dir / "kavelomaker";
        session.Saving.BuiltInRuntime = kRuntime;
    }
    bool Open(const std::string& path) { return session.OpenSetup(path); }
    bool SaveSetup() { return session.SaveSetup(); }
    void NewProject(bool withSample) { session.NewProject(withSample); }
    bool AddFile(const std::string& name, const std::string& data) {
        return gProject.AddFile({name, data});
    }
    std::string StoredBytes(int k) const { return gProject.LoadedRecord(gProject.Files[k]).Stored; }

    TempDir dir;
    RecordingHost host;
    Module1 session{host};
    SetupProject& gProject = session.Project;
};

struct NameCase {
    const char* program;
    const char* suffix;
    const char* expected;
};

TEST(AppFileName, FollowsTheProgramPathsCase) {
    const std::vector<NameCase> cases = {
        {"C:\\TOOLS\\MAKER.EXE", "dat", "C:\\TOOLS\\MAKER.DAT"},
        {"C:\\Tools\\Maker.exe", "dat", "C:\\Tools\\Maker.dat"},
        {"C:\\Tools\\Maker.exe", "DAT", "C:\\Tools\\Maker.dat"},
        {"C:\\Tools\\Maker.exe", "Dat", "C:\\Tools\\Maker.Dat"},
        {"/usr/local/bin/kavelomaker", "dat", "/usr/local/bin/kavelomaker.dat"},
        {"/opt/K.1/bin/kavelo", "dat", "/opt/K.1/bin/kavelo.dat"},
        {"/opt/app/setup.tar.gz", "dat", "/opt/app/setup.tar.dat"},
        {"/OPT/KAVELO", "dat", "/OPT/KAVELO.DAT"},
        {"/opt/123/x.1", "dat", "/opt/123/x.dat"},
        {"kavelo", "dat", "kavelo.dat"},
        {"/opt/app/kavelo", "", "/opt/app/kavelo."},
        {"/opt/app/kavelo", "\1", "/opt/app/"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AppFileNameFor(c.program, c.suffix), c.expected) << c.program << " " << c.suffix;
    EXPECT_EQ(AppFileNameFor("/opt/app/kavelo", std::string("\0", 1)), "/opt/app/kavelo");
}

TEST_F(SetupTest, NewProjectFillsTheTemplate) {
    NewProject(false);
    EXPECT_EQ(gProject.FileCount(), 0);
    EXPECT_EQ(gProject.SetupLines[LineCaption], "My Application setup");
    EXPECT_EQ(gProject.SetupLines[LineStartText], "This will install My Application||    ...");
    EXPECT_EQ(gProject.SetupLines[LineLicense], "");
    EXPECT_EQ(gProject.SetupLines[LineInstallFolder], "My Company\\My Application");
    EXPECT_EQ(gProject.SetupLines[LineStartMenuFolder], "My Company\\My Application");
    EXPECT_EQ(gProject.SetupLines[LineFinishText],
              "My Application installed successfully||    ...");
    EXPECT_EQ(gProject.SetupLines[LineLaunchText], "Launch My Application now");
    EXPECT_EQ(gProject.Picture.size(), 42038u);
    EXPECT_EQ(gProject.Picture.substr(0, 2), "BM");
    EXPECT_TRUE(gProject.PicturePacked.has_value());
    EXPECT_EQ(gProject.StringsText,
              "Components to install:\r\nMy Application\r\n\r\nStart My Application\r\n");
    EXPECT_EQ(gProject.ScriptText, LoadResFile("SCRIPT.TXT"));

    NewProject(true);
    ASSERT_EQ(gProject.FileCount(), 1);
    EXPECT_EQ(gProject.Files[0].Name, "myapp.exe");
    ASSERT_TRUE(gProject.Files[0].Packed());
    EXPECT_EQ(EncodeEntryRecord(gProject.Files[0].Record()), LoadResFile("myapp.exe"));
}

TEST_F(SetupTest, SavedSetupOpensWithEveryField) {
    NewProject(true);
    gProject.SetupLines[LineCaption] = "Tool setup";
    gProject.SetupLines[LineStartText] = "Hello||there";
    gProject.SetupLines[LineLicense] = "license.txt";
    gProject.ScriptText = "[Create]\r\nLabel 1\r\n";
    gProject.StringsText = "Pick:\r\n";
    ASSERT_TRUE(AddFile("license.txt", std::string(2000, 'L') + "terms"));
    ASSERT_TRUE(AddFile("random.bin", RandomBytes(5000, 1)));
    ASSERT_TRUE(AddFile("empty.dat", ""));
    ASSERT_TRUE(AddFile("one.txt", "1"));
    const std::string path = dir / "tool.exe";
    gProject.ProjectPath = path;
    ASSERT_TRUE(SaveSetup());
    EXPECT_TRUE(host.errors.empty());
    EXPECT_EQ(host.packings, 1);
    EXPECT_EQ(host.ends, 1);
    EXPECT_EQ(host.labels,
              (std::vector<std::string>{"license.txt", "random.bin", "empty.dat", "one.txt"}));
    const SetupProject saved = gProject;
    for (const ProjectFile& f : saved.Files)
        EXPECT_TRUE(f.Packed());

    gProject = SetupProject{};
    ASSERT_TRUE(Open(path));
    EXPECT_EQ(gProject.ProjectPath, path);
    EXPECT_EQ(gProject.SetupLines, saved.SetupLines);
    EXPECT_EQ(gProject.ScriptText, saved.ScriptText);
    EXPECT_EQ(gProject.StringsText, saved.StringsText);
    EXPECT_EQ(gProject.Picture, saved.Picture);
    EXPECT_EQ(gProject.PicturePacked, saved.PicturePacked);
    ASSERT_EQ(gProject.FileCount(), saved.FileCount());
    for (int k = 0; k < saved.FileCount(); ++k) {
        EXPECT_EQ(gProject.Files[k].Name, saved.Files[k].Name);
        ASSERT_TRUE(gProject.Files[k].Packed());
        EXPECT_EQ(gProject.Files[k].Record(), saved.Files[k].Record());
    }

    // The empty and the 1-byte file come back as they were.
    EXPECT_EQ(ExtractEntry(gProject.LoadedRecord(gProject.Files[gProject.FindFile("empty.dat")])),
              "");
    const EntryRecord one = gProject.LoadedRecord(gProject.Files[gProject.FindFile("one.txt")]);
    EXPECT_EQ(ExtractEntry(one), "1");
    EXPECT_EQ(one.Size, 1u);
}

TEST_F(SetupTest, LayoutIsRuntimeThenSetupFilesThenUserFiles) {
    NewProject(false);
    ASSERT_TRUE(AddFile("b.txt", "bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb"));
    ASSERT_TRUE(AddFile("a.bin", RandomBytes(300, 2)));
    gProject.ProjectPath = dir / "s.exe";
    ASSERT_TRUE(SaveSetup());

    const std::string bytes = ReadFile(dir / "s.exe");
    EXPECT_EQ(bytes.substr(0, kRuntime.size()), kRuntime);
    BinaryFile file = BinaryFile::OpenRead(dir / "s.exe");
    const int64_t p = FindPackage(file);
    EXPECT_EQ(p, static_cast<int64_t>(kRuntime.size()));
    const std::vector<DirectoryEntry> records = ReadDirectory(file, p);
    ASSERT_EQ(records.size(), 6u);
    const std::vector<std::string> names = {"setup\\picture.bmp",
                                            "setup\\script.txt",
                                            "setup\\setup.txt",
                                            "setup\\strings.txt",
                                            "b.txt",
                                            "a.bin"};
    int64_t end = 0;
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(records[k].Name, names[k]);
        end = records[k].Offset + records[k].StoredSize;
    }
    // The checksum block follows the last data block, the trailer follows it.
    EXPECT_EQ(end + 48 + 32 * 6 + 10, static_cast<int64_t>(bytes.size()));
    EXPECT_TRUE(VerifyPackageChecksums(file, p, records));
    // The setup lines are stored joined with CR LF, nothing after the last.
    const std::string lines = gProject.JoinedSetupLines();
    EXPECT_EQ(ReadEntryContents(file, records[2]), lines);
    EXPECT_EQ(lines.substr(lines.size() - 25), "Launch My Application now");
    // Incompressible random data is stored raw.
    EXPECT_FALSE(records[5].Compressed());
    EXPECT_EQ(records[5].StoredSize, 300u);
}

// A user file is kept compressed only when that makes it smaller: random
// bytes, whose stream is a little longer than they are, are stored raw.
// A tree still lying in the opened setup is read where it lies, with every
// codec: its header alone, or its names in pieces, checked against the
// setup's checksum, so that a changed byte the tree's rules cannot see is
// still refused.
TEST_F(SetupTest, ATreeIsReadInPiecesWhereItLiesInTheSetup) {
    Tree tree;
    tree.RootName = "App";
    tree.Entries = {{TreeKind::Folder, "bin", ""},
                    {TreeKind::Program, "bin/app", std::string(300000, 'a') + "end"}};
    const std::string bytes = EncodeTree(tree);
    for (const EntryCodec codec : {EntryCodec::Huffman, EntryCodec::Zstd}) {
        for (const bool raw : {false, true}) {
            SCOPED_TRACE(std::to_string(raw) + std::string(CodecName(codec)));
            NewProject(false);
            gProject.Codec = codec;
            gProject.ProjectPath = dir / "t.exe";
            ASSERT_TRUE(AddFile("app.tree", bytes));
            if (raw) gProject.Files[0].Data = MakeEntry(bytes, false, 100);
            ASSERT_TRUE(SaveSetup());
            ASSERT_TRUE(Open(dir / "t.exe"));
            const ProjectFile& file = gProject.Files[0];
            ASSERT_TRUE(file.InSetupFile());
            EXPECT_EQ(file.Record().Compressed(), !raw);
            const TreeSummary summary = ReadProjectTreeSummary(gProject.Source, file);
            EXPECT_EQ(summary.EntryCount, 2u);
            EXPECT_EQ(summary.DataSize, 300003u);
            const Tree names = ReadProjectTreeNames(gProject.Source, file);
            ASSERT_EQ(names.Entries.size(), 2u);
            EXPECT_EQ(names.Entries[1].Name, "bin/app");
            EXPECT_EQ(names.Entries[1].Data, "");
            if (!raw) continue;
            // The last byte of the file's contents changes, the setup's time
            // stays: only the checksum tells.
            struct stat st {};
            ASSERT_EQ(::stat((dir / "t.exe").c_str(), &st), 0);
            BinaryFile::OpenReadWrite(dir / "t.exe")
                .WriteAt(file.Record().SourceOffset + file.Record().StoredSize - 1, "E");
            const timespec times[2] = {st.st_atim, st.st_mtim};
            ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "t.exe").c_str(), times, 0), 0);
            EXPECT_EQ(ReadProjectTreeSummary(gProject.Source, file).EntryCount, 2u);
            EXPECT_THROW(ReadProjectTreeNames(gProject.Source, file), DamagedInput);
        }
    }
}

// A codec change only chooses; the save unpacks a large file in pieces into
// a scratch file, not into memory, packs it from there with the new codec,
// and the scratch file is gone once the project no longer needs it.
TEST_F(SetupTest, ACodecChangeUnpacksALargeFileToAScratchFileThatGoes) {
    const TemporaryFolderVariable tmp(dir.Path()); // scratch files go there
    std::string big;
    for (int i = 0; big.size() <= ContentsBuilder::kHeldInMemory; ++i)
        big += "line " + std::to_string(i % 1000) + " of a large text\r\n";
    NewProject(false);
    gProject.ProjectPath = dir / "c.exe";
    ASSERT_TRUE(AddFile("big.txt", big));
    ASSERT_TRUE(AddFile("small.txt", "small text, small text, small text"));
    ASSERT_TRUE(SaveSetup());
    ASSERT_TRUE(Open(dir / "c.exe"));

    gProject.ChangeCodec(EntryCodec::Zstd);
    EXPECT_TRUE(gProject.Files[0].InSetupFile()); // nothing is read on the window's thread
    gProject.UnpackOtherCodec();                  // as the save does on its worker
    ASSERT_TRUE(gProject.Files[0].OnDisk());
    const std::weak_ptr<const ScratchFile> scratch = gProject.Files[0].Disk().Scratch;
    ASSERT_FALSE(scratch.expired());
    EXPECT_EQ(ReadWholeFile(gProject.Files[0].Disk().Path), big);
    EXPECT_FALSE(gProject.Files[1].OnDisk()); // small: held in memory
    ASSERT_TRUE(SaveSetup());
    EXPECT_TRUE(scratch.expired());
    ASSERT_TRUE(Open(dir / "c.exe"));
    EXPECT_TRUE(gProject.Files[0].Record().Zstd());
    EXPECT_EQ(ExtractEntry(gProject.LoadedRecord(gProject.Files[0])), big);
    // Nothing of the scratch file stays in the temporary folder.
    for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
        EXPECT_FALSE(e.path().filename().string().starts_with("kavelo-")) << e.path();

    // A setup changed since it was read: the save that would repack the file
    // fails, and the file stays packed as it was.
    const timespec later[2] = {{0, UTIME_OMIT}, {12345, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "c.exe").c_str(), later, 0), 0);
    gProject.ChangeCodec(EntryCodec::Huffman);
    EXPECT_THROW(gProject.UnpackOtherCodec(), KaveloError);
    EXPECT_FALSE(SaveSetup());
    EXPECT_TRUE(gProject.Files[0].InSetupFile());
}

TEST_F(SetupTest, FileThatDoesNotShrinkIsStoredRaw) {
    struct Case {
        const char* name;
        std::string data;
        bool compressed;
    };
    const std::vector<Case> cases = {{"random.bin", RandomBytes(20000, 5), false},
                                     {"zeros.bin", std::string(20000, '\0'), true},
                                     {"text.txt", std::string(5000, 'a') + "b", true}};
    NewProject(false);
    for (const Case& c : cases)
        ASSERT_TRUE(AddFile(c.name, c.data));
    gProject.ProjectPath = dir / "raw.exe";
    ASSERT_TRUE(SaveSetup());
    for (size_t k = 0; k < cases.size(); ++k) {
        const EntryRecord r = gProject.LoadedRecord(gProject.Files[k]);
        EXPECT_EQ(r.Compressed(), cases[k].compressed) << cases[k].name;
        EXPECT_EQ(r.Size, cases[k].data.size()) << cases[k].name;
        if (r.Compressed()) {
            EXPECT_LT(r.StoredSize, r.Size) << cases[k].name;
        } else {
            EXPECT_EQ(r.Stored, cases[k].data) << cases[k].name;
        }
    }
}

TEST_F(SetupTest, SecondSaveCompressesNothingAgainAndGivesTheSameFile) {
    NewProject(true);
    ASSERT_TRUE(AddFile("data.bin", RandomBytes(20000, 3) + std::string(20000, 'z')));
    gProject.ProjectPath = dir / "twice.exe";
    ASSERT_TRUE(SaveSetup());
    const std::string first = ReadFile(dir / "twice.exe");
    const EntryRecord packed = gProject.Files[1].Record();
    host.labels.clear();
    ASSERT_TRUE(SaveSetup());
    EXPECT_TRUE(host.labels.empty());
    EXPECT_EQ(gProject.Files[1].Record(), packed);
    EXPECT_EQ(ReadFile(dir / "twice.exe"), first);

    // Opened again, the project saves to the same bytes without packing any user file.
    ASSERT_TRUE(Open(dir / "twice.exe"));
    gProject.ProjectPath = dir / "again.exe";
    ASSERT_TRUE(SaveSetup());
    EXPECT_TRUE(host.labels.empty());
    EXPECT_EQ(ReadFile(dir / "again.exe"), first);
}

// Opening reads the directory and the setup files; the user's files stay in
// the setup, held open, and a save copies their stored bytes from there.
TEST_F(SetupTest, UserFilesStayInTheSetupAndAreCopiedAsTheyAre) {
    NewProject(false);
    const std::string data = RandomBytes(30000, 8) + std::string(30000, 'q');
    ASSERT_TRUE(AddFile("data.bin", data));
    const std::string path = dir / "lazy.exe";
    gProject.ProjectPath = path;
    ASSERT_TRUE(SaveSetup());
    // After the save the project holds none of the file's bytes either.
    ASSERT_TRUE(gProject.Files[0].InSetupFile());
    EXPECT_TRUE(gProject.Files[0].Record().Stored.empty());

    ASSERT_TRUE(Open(path));
    ASSERT_TRUE(gProject.Files[0].InSetupFile());
    EXPECT_TRUE(gProject.Files[0].Record().Stored.empty());
    const std::string stored = gProject.LoadedRecord(gProject.Files[0]).Stored;
    EXPECT_EQ(ExtractEntry(gProject.LoadedRecord(gProject.Files[0])), data);

    // Another program renames a new setup over it: the project reads the
    // file it opened, and the caption change saves the same stored bytes.
    WriteFile(dir / "other.exe", "not a setup");
    std::filesystem::rename(dir / "other.exe", path);
    gProject.SetupLines[LineCaption] = "Changed";
    ASSERT_TRUE(SaveSetup());
    EXPECT_TRUE(host.labels.empty() || host.labels.back() == "data.bin");
    ASSERT_TRUE(Open(path));
    EXPECT_EQ(gProject.SetupLines[LineCaption], "Changed");
    EXPECT_EQ(gProject.LoadedRecord(gProject.Files[0]).Stored, stored);
}

// A setup written in place since it was opened is not read from: its
// bytes are no longer the ones the project knows.
TEST_F(SetupTest, SetupWrittenInPlaceSinceOpeningIsNotReadFrom) {
    NewProject(false);
    ASSERT_TRUE(AddFile("a.txt", "contents of a"));
    const std::string path = dir / "inplace.exe";
    gProject.ProjectPath = path;
    ASSERT_TRUE(SaveSetup());
    ASSERT_TRUE(Open(path));
    {
        std::ofstream out(path, std::ios::binary | std::ios::app);
        out << "x";
    }
    EXPECT_THROW(gProject.LoadedRecord(gProject.Files[0]), KaveloError);
    EXPECT_FALSE(SaveSetup());
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(host.errors[0], "Error creating setup file\n" + path +
                                  "\nthe setup was changed by another program after it was read");
}

// Files added to be read at the save are packed from the disk then, and
// one changed since it was added fails the save.
TEST_F(SetupTest, FilesReadAtTheSaveArePackedFromTheDiskUnlessChanged) {
    NewProject(false);
    const std::string text = std::string(3 << 20, 'a') + RandomBytes(100000, 9);
    WriteFile(dir / "big.txt", text);
    WriteFile(dir / "small.txt", "small");
    const DropResult r =
        DropFiles(gProject, {dir / "big.txt", dir / "small.txt"}, nullptr, FileReading::AtSave);
    ASSERT_EQ(r.Added, 2);
    ASSERT_TRUE(gProject.Files[0].OnDisk());
    EXPECT_EQ(gProject.Files[0].UnpackedSize(), text.size());
    gProject.ProjectPath = dir / "disk.exe";
    ASSERT_TRUE(SaveSetup());
    EXPECT_EQ(ExtractEntry(gProject.LoadedRecord(gProject.Files[0])), text);
    EXPECT_EQ(ExtractEntry(gProject.LoadedRecord(gProject.Files[1])), "small");

    ASSERT_EQ(DropFiles(gProject, {dir / "small.txt"}, nullptr, FileReading::AtSave).Replaced, 1);
    WriteFile(dir / "small.txt", "changed after it was added");
    EXPECT_FALSE(SaveSetup());
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(host.errors[0], "Error creating setup file\n" + gProject.ProjectPath + "\n\"" +
                                  (dir / "small.txt") + "\" changed after it was added");
}

TEST_F(SetupTest, SavedSetupIsExecutable) {
    NewProject(false);
    gProject.ProjectPath = dir / "run.exe";
    struct stat st {};
    // A new setup is 0755 less the umask.
    for (const auto& [mask, mode] :
         {std::pair<mode_t, mode_t>{022, 0755}, {002, 0755}, {077, 0700}, {027, 0750}}) {
        std::filesystem::remove(dir / "run.exe");
        const mode_t old = umask(mask);
        const bool saved = SaveSetup();
        umask(old);
        ASSERT_TRUE(saved);
        ASSERT_EQ(stat((dir / "run.exe").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, mode) << std::oct << mask;
    }
    chmod((dir / "run.exe").c_str(), 0750);
    ASSERT_TRUE(SaveSetup());
    ASSERT_EQ(stat((dir / "run.exe").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0750u);
}

TEST_F(SetupTest, RuntimeComesFromTheDataFileBesideTheProgram) {
    session.Saving.ProgramPath = dir / "Maker";
    NewProject(false);
    WriteFile(dir / "Maker.dat", "RUNTIME-A");
    gProject.ProjectPath = dir / "one.exe";
    ASSERT_TRUE(SaveSetup());
    WriteFile(dir / "Maker.dat", "RUNTIME-BB");
    gProject.ProjectPath = dir / "two.exe";
    ASSERT_TRUE(SaveSetup());
    EXPECT_EQ(ReadFile(dir / "one.exe").substr(0, 10), "RUNTIME-Aq");
    EXPECT_EQ(ReadFile(dir / "two.exe").substr(0, 11), "RUNTIME-BBq");

    // An empty data file counts as missing: the built-in runtime is taken.
    WriteFile(dir / "Maker.dat", "");
    ASSERT_TRUE(SaveSetup());
    EXPECT_EQ(ReadFile(dir / "two.exe").substr(0, kRuntime.size()), kRuntime);
}

TEST_F(SetupTest, NoRuntimeAtAllShowsString34AndWritesNothing) {
    session.Saving.BuiltInRuntime = std::string();
    NewProject(false);
    WriteFile(dir / "old.exe", "previous setup");
    gProject.ProjectPath = dir / "old.exe";
    EXPECT_FALSE(SaveSetup());
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(host.errors[0],
              "Error opening '" + (dir / "kavelomaker.dat") + "\"\nNo such file or directory");
    EXPECT_EQ(host.packings, 0);
    EXPECT_EQ(ReadFile(dir / "old.exe"), "previous setup");
}

TEST_F(SetupTest, UnwritableFolderShowsString31) {
    NewProject(false);
    const std::string path = dir / "no/such/folder/x.exe";
    gProject.ProjectPath = path;
    EXPECT_FALSE(SaveSetup());
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(host.errors[0], "Error creating setup file\n" + path + "\nNo such file or directory");
}

// A setup whose write permission was taken away is not replaced behind the
// user's back (renaming over it would succeed where writing into it fails),
// and a folder in the setup's place fails before anything is packed.
TEST_F(SetupTest, ReadOnlySetupOrFolderIsNotReplaced) {
    NewProject(false);
    const std::string path = dir / "locked.exe";
    gProject.ProjectPath = path;
    ASSERT_TRUE(SaveSetup());
    const std::string before = ReadFile(path);
    ASSERT_EQ(chmod(path.c_str(), 0555), 0);
    ASSERT_TRUE(AddFile("new.txt", "new file"));
    EXPECT_FALSE(SaveSetup());
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(host.errors[0], "Error creating setup file\n" + path + "\nPermission denied");
    EXPECT_EQ(ReadFile(path), before);
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0555u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                            std::filesystem::directory_iterator()),
              1);

    host.errors.clear();
    const int packingsBefore = host.packings;
    std::filesystem::create_directory(dir / "folder.exe");
    gProject.ProjectPath = dir / "folder.exe";
    EXPECT_FALSE(SaveSetup());
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(host.errors[0],
              "Error creating setup file\n" + (dir / "folder.exe") + "\nIs a directory");
    EXPECT_EQ(host.packings, packingsBefore);
    EXPECT_TRUE(std::filesystem::is_empty(dir / "folder.exe"));
}

// A packed record that does not hold its stored bytes cannot be written; the
// save must fail rather than report success for a setup that lacks the file.
TEST_F(SetupTest, PackedFileWithABrokenRecordFailsTheSave) {
    NewProject(false);
    const std::string path = dir / "lost.exe";
    gProject.ProjectPath = path;
    ASSERT_TRUE(SaveSetup());
    const std::string before = ReadFile(path);
    EntryRecord broken;
    broken.StoredSize = 5;
    ASSERT_TRUE(gProject.AddFile({"ghost.bin", broken}));
    EXPECT_FALSE(SaveSetup());
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(host.errors[0],
              "Error creating setup file\n" + path +
                  "\nthe entry record of \"ghost.bin\" does not hold its stored size");
    EXPECT_EQ(ReadFile(path), before);
}

// A save that runs out of room must leave the previous setup as it was and
// no temporary file behind.
TEST_F(SetupTest, FailedWriteKeepsThePreviousSetup) {
    NewProject(false);
    const std::string path = dir / "keep.exe";
    gProject.ProjectPath = path;
    ASSERT_TRUE(SaveSetup());
    const std::string before = ReadFile(path);
    const std::string big = RandomBytes(1 << 20, 4);
    ASSERT_TRUE(AddFile("big.bin", big));

    struct rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 64 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = SaveSetup();
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved);
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(host.errors[0], "Error creating setup file\n" + path + "\nFile too large");
    EXPECT_EQ(host.ends, host.packings);
    EXPECT_EQ(ReadFile(path), before);
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path())) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 1);
    // A file is packed into the new setup as it is read, not into the
    // project: after the failure the project still holds its contents, and
    // the next save packs them.
    ASSERT_FALSE(gProject.Files[0].Packed());
    EXPECT_EQ(gProject.Files[0].Raw(), big);
    ASSERT_TRUE(SaveSetup());
    EXPECT_EQ(ExtractEntry(gProject.LoadedRecord(gProject.Files[0])), big);
}

const std::string kLines =
    "Caption\r\nStart\r\nlicense.txt\r\nInst\\Folder\r\nMenu\\Folder\r\nFinish\r\nLaunch";

TEST_F(SetupTest, OpenRecognisesNamesInAnyCaseAndIgnoresUnknownSetupFiles) {
    auto entries = SetupEntries(
        kLines, {{"DOCS\\ReadMe.TXT", "read me"}, {"setup\\icon.ico", "icon"}, {"plain.bin", "x"}});
    entries[1].name = "SETUP\\SCRIPT.TXT";
    WriteFile(dir / "caps.exe", BuildSetup("HOST", entries));
    ASSERT_TRUE(Open(dir / "caps.exe"));
    EXPECT_EQ(gProject.ScriptText, "[Create]\r\n");
    EXPECT_EQ(gProject.SetupLines[LineCaption], "Caption");
    EXPECT_EQ(gProject.SetupLines[LineLaunchText], "Launch");
    EXPECT_EQ(gProject.Picture, "BMpicture");
    ASSERT_EQ(gProject.FileCount(), 2);
    EXPECT_EQ(gProject.Files[0].Name, "readme.txt");
    EXPECT_EQ(gProject.Files[1].Name, "plain.bin");
    EXPECT_EQ(StoredBytes(0), "read me");
}

TEST_F(SetupTest, MissingSetupFilesKeepTemplateValues) {
    std::vector<RawEntry> entries = {{"setup\\script.txt", "S"}, {"user.txt", "u"}};
    WriteFile(dir / "partial.exe", BuildSetup("", entries));
    ASSERT_TRUE(Open(dir / "partial.exe"));
    EXPECT_EQ(gProject.SetupLines[LineCaption], "");
    EXPECT_EQ(gProject.SetupLines[LineStartText], "This will install My Application||    ...");
    EXPECT_EQ(gProject.SetupLines[LineLaunchText], "Launch My Application now");
    EXPECT_EQ(gProject.Picture.size(), 42038u);
    EXPECT_EQ(gProject.ScriptText, "S");
    EXPECT_EQ(gProject.FileCount(), 1);
}

// Every damaged setup gives string 32 once, false, and the project reset to
// the template without files and with an empty caption.
TEST_F(SetupTest, DamagedSetupsAreRefused) {
    const std::string good = BuildSetup("HOST", SetupEntries(kLines, {{"a.txt", "aaaa"}}));
    std::vector<std::pair<std::string, std::string>> cases;
    for (size_t cut = 7; cut < good.size(); cut += 7)
        cases.push_back({"truncated at " + std::to_string(cut), good.substr(0, cut)});

    const size_t p = 4; // after "HOST"
    auto patched = [&](size_t at, const std::string& bytes) {
        std::string s = good;
        s.replace(at, bytes.size(), bytes);
        return s;
    };
    cases.push_back({"count 0xFFFFFFFF", patched(p + 4, BigEndian(0xFFFFFFFF))});
    cases.push_back({"count 6", patched(p + 4, BigEndian(6))});
    cases.push_back({"names length past the end", patched(p + 8, BigEndian(0x7FFFFFF0))});
    cases.push_back(
        {"trailer offset past the end",
         patched(good.size() - 7, BigEndian(static_cast<uint32_t>(good.size() + 100)))});
    // The last entry's data runs into the trailer.
    cases.push_back({"data overlapping the trailer", patched(p + 16 + 4 * 13 + 5, BigEndian(9))});
    cases.push_back({"data past the end", patched(p + 16 + 4 * 13 + 5, BigEndian(0xFFFFFF00))});
    cases.push_back({"not a setup", std::string(5000, 'M')});
    cases.push_back({"25 bytes", std::string(25, '\0')});
    cases.push_back({"empty file", ""});
    cases.push_back({"name with ..", BuildSetup("H", SetupEntries(kLines, {{"..\\..\\x", "x"}}))});
    cases.push_back(
        {"name ending in a folder", BuildSetup("H", SetupEntries(kLines, {{"dir\\", "x"}}))});
    cases.push_back({"a name twice", BuildSetup("H", SetupEntries(kLines, {{"Tool.sh", "benign"},
                                                                           {"tool.SH", "evil"}}))});
    cases.push_back({"one file name in two folders",
                     BuildSetup("H", SetupEntries(kLines, {{"a\\tool.sh", "benign"},
                                                           {"b\\tool.sh", "evil"}}))});
    // setup\script.txt as a compressed stream that declares 4 GB of output.
    {
        auto entries = SetupEntries(kLines);
        entries[1].flags = 1;
        entries[1].stored = std::string("\0\0\0\x04\x61\x01\x62\x01\x80\xFF\xFF\xFF\xFF\x80", 14);
        entries[1].unpacked = 0xFFFFFFFF;
        cases.push_back({"4 GB N", BuildSetup("H", entries)});
    }
    {
        std::vector<RawEntry> many;
        for (int i = 0; i < 513; ++i)
            many.push_back({"f" + std::to_string(i), ""});
        cases.push_back({"513 entries", BuildSetup("", many)});
    }

    for (const auto& [what, bytes] : cases) {
        WriteFile(dir / "bad.exe", bytes);
        host.errors.clear();
        AddFile("leftover", "x");
        EXPECT_FALSE(Open(dir / "bad.exe")) << what;
        ASSERT_EQ(host.errors.size(), 1u) << what;
        // The message, the path, and why on a line of its own.
        const std::string head = "Error opening setup file\n" + (dir / "bad.exe") + "\n";
        EXPECT_EQ(host.errors[0].substr(0, head.size()), head) << what;
        EXPECT_GT(host.errors[0].size(), head.size()) << what;
        EXPECT_EQ(host.errors[0].find('\n', head.size()), std::string::npos) << what;
        EXPECT_EQ(gProject.FileCount(), 0) << what;
        EXPECT_EQ(gProject.SetupLines[LineCaption], "") << what;
        EXPECT_EQ(gProject.SetupLines[LineLaunchText], "Launch My Application now") << what;
    }
    EXPECT_FALSE(Open(dir / "missing.exe"));
    EXPECT_TRUE(Open(dir / "bad.exe") == false);

    // The undamaged original opens.
    WriteFile(dir / "good.exe", good);
    EXPECT_TRUE(Open(dir / "good.exe"));
    EXPECT_EQ(gProject.FileCount(), 1);
}

// Opening a named pipe would wait for a writer forever; anything but a file
// is refused at once with string 32.
TEST_F(SetupTest, PipeIsRefusedWithoutWaiting) {
    const std::string path = dir / "pipe.exe";
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    std::mutex m;
    std::condition_variable cv;
    bool done = false, hadToUnblock = false;
    std::thread watchdog([&] {
        std::unique_lock lock(m);
        if (!cv.wait_for(lock, std::chrono::seconds(5), [&] { return done; })) {
            hadToUnblock = true;
            close(open(path.c_str(), O_RDWR)); // lets a blocked open return
        }
    });
    const bool opened = Open(path);
    {
        std::lock_guard lock(m);
        done = true;
    }
    cv.notify_one();
    watchdog.join();
    EXPECT_FALSE(hadToUnblock);
    EXPECT_FALSE(opened);
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(host.errors[0], "Error opening setup file\n" + path + "\nnot a regular file");
}

// A full file table saves 516 entries (four setup files first); opening it
// must give every file back, or the project could never be edited again.
TEST_F(SetupTest, FullProjectSavesAndOpensAgain) {
    NewProject(false);
    for (int i = 0; i < kMaxFiles; ++i)
        ASSERT_TRUE(AddFile("f" + std::to_string(i), "x"));
    gProject.ProjectPath = dir / "full.exe";
    ASSERT_TRUE(SaveSetup());
    gProject = SetupProject{};
    ASSERT_TRUE(Open(dir / "full.exe"));
    EXPECT_EQ(gProject.FileCount(), kMaxFiles);
    EXPECT_EQ(gProject.Files[kMaxFiles - 1].Name, "f511");
    EXPECT_EQ(StoredBytes(kMaxFiles - 1), "x");
    EXPECT_TRUE(host.errors.empty());
}

TEST_F(SetupTest, FiveHundredTwelveEntriesStillOpen) {
    std::vector<RawEntry> many;
    for (int i = 0; i < 512; ++i)
        many.push_back({"f" + std::to_string(i), "d"});
    WriteFile(dir / "full.exe", BuildSetup("", many));
    ASSERT_TRUE(Open(dir / "full.exe"));
    EXPECT_EQ(gProject.FileCount(), 512);
    EXPECT_EQ(gProject.Files[511].Name, "f511");
}

} // namespace

namespace {

// Opening says why it failed, under string 32 and the path.
TEST_F(SetupTest, OpeningFailuresGiveTheirReason) {
    std::string good = BuildSetup("HOST", SetupEntries(kLines));
    std::string manyEntries = good;
    manyEntries.replace(4 + 4, 4, BigEndian(0xFFFFFFFF));
    WriteFile(dir / "text.exe", "just some text, no package");
    WriteFile(dir / "count.exe", manyEntries);
    WriteFile(dir / "climb.exe", BuildSetup("H", SetupEntries(kLines, {{"..\\x", "x"}})));
    std::filesystem::create_directory(dir / "folder.exe");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"missing.exe", "No such file or directory"},
        {"folder.exe", "Is a directory"},
        {"text.exe", "the file carries no setup package"},
        {"count.exe", "the package holds 4294967295 entries, more than the 1024 a setup can have"},
        {"climb.exe", "the package holds an entry named \"..\\x\", which no setup can hold"},
    };
    for (const auto& [name, reason] : cases) {
        host.errors.clear();
        EXPECT_FALSE(Open(dir / name));
        ASSERT_EQ(host.errors.size(), 1u) << name;
        EXPECT_EQ(host.errors[0], "Error opening setup file\n" + (dir / name) + "\n" + reason);
    }
}

} // namespace

namespace {

// A host that looks into the setup's folder while a file is being packed.
class WatchingHost : public RecordingHost {
  public:
    explicit WatchingHost(std::filesystem::path folder) : folder_(std::move(folder)) {}
    void PackingLabel(const std::string& text) override {
        RecordingHost::PackingLabel(text);
        for (const auto& e : std::filesystem::directory_iterator(folder_))
            seen.push_back(e.path().filename().string());
    }
    std::vector<std::string> seen;

  private:
    std::filesystem::path folder_;
};

// A save that is killed leaves nothing behind: the new setup has no name
// while it is written. Where unnamed files are not to be had, it is written
// under a temporary name that tells the saving process.
TEST_F(SetupTest, NewSetupHasNoNameUntilItIsComplete) {
    for (const bool unnamed : {true, false}) {
        WatchingHost watcher(dir.Path());
        Module1 watched(watcher);
        watched.Saving = session.Saving;
        watched.Saving.UnnamedFiles = unnamed;
        watched.NewProject(false);
        watched.Project.ProjectPath = dir / "t.exe";
        ASSERT_TRUE(watched.Project.AddFile({"a.txt", "some text"}));
        ASSERT_TRUE(watched.SaveSetup());
        const std::string named = "t.exe.saving-" + std::to_string(getpid()) + "-";
        ASSERT_EQ(watcher.seen.size(), unnamed ? 0u : 1u);
        if (!unnamed) {
            EXPECT_TRUE(watcher.seen[0].starts_with(named)) << watcher.seen[0];
        }
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                                std::filesystem::directory_iterator()),
                  1);
        std::filesystem::remove(dir / "t.exe");
    }
}

// The lock follows a save to the file it writes, so a writer of another
// session is kept out after the save too; a setup that a program taking no
// lock replaced, wrote or removed meanwhile is saved over only when the user
// says so.
TEST_F(SetupTest, LockFollowsTheSaveAndChangesByOthersAreAskedAbout) {
    const std::string path = dir / "t.exe";
    NewProject(false);
    gProject.ProjectPath = path;
    ASSERT_TRUE(SaveSetup());
    TempDir mySession, otherSession;
    setenv("XDG_RUNTIME_DIR", mySession.Path().c_str(), 1);
    session.Lock = SetupLock::Acquire(path, "kavelomaker");
    ASSERT_TRUE(SaveSetup());
    setenv("XDG_RUNTIME_DIR", otherSession.Path().c_str(), 1);
    EXPECT_THROW(SetupLock::Acquire(path, "kavelo", std::chrono::milliseconds(100)), KaveloError);

    struct Change {
        const char* what;
        std::function<void()> make;
        std::string reason;
    };
    const std::vector<Change> changes = {
        {"replaced",
         [&] {
             WriteFile(dir / "theirs.exe", "theirs");
             std::filesystem::rename(dir / "theirs.exe", path);
         },
         "the setup was replaced by another program since it was opened"},
        {"written",
         [&] {
             WriteFile(path, "theirs");
             const timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
             ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), old, 0), 0);
         },
         "the setup was changed by another program since it was opened"},
        {"removed", [&] { std::filesystem::remove(path); },
         "the setup was removed or renamed by another program since it was opened"},
    };
    for (const Change& c : changes) {
        c.make();
        const bool exists = std::filesystem::exists(path);
        host.errors.clear();
        host.questions.clear();
        host.answer = false;
        EXPECT_FALSE(SaveSetup()) << c.what;
        ASSERT_EQ(host.questions.size(), 1u) << c.what;
        EXPECT_EQ(host.questions[0].substr(0, path.size() + c.reason.size() + 1),
                  path + "\n" + c.reason)
            << c.what;
        ASSERT_EQ(host.errors.size(), 1u) << c.what;
        EXPECT_EQ(host.errors[0], "Error creating setup file\n" + path + "\n" + c.reason) << c.what;
        EXPECT_EQ(std::filesystem::exists(path) && ReadFile(path) == "theirs", exists) << c.what;
        host.answer = true;
        EXPECT_TRUE(SaveSetup()) << c.what;
        EXPECT_TRUE(Open(path)) << c.what;
        EXPECT_THROW(SetupLock::Acquire(path, "kavelo", std::chrono::milliseconds(0)), KaveloError)
            << c.what;
    }
    session.Lock.Release();
    unsetenv("XDG_RUNTIME_DIR");
}

// The temporary files that killed saves left are removed by the next save
// of that setup, but only those of processes that no longer run.
TEST_F(SetupTest, NextSaveRemovesTemporariesOfDeadProcesses) {
    const pid_t child = fork();
    if (child == 0) _exit(0);
    ASSERT_GT(child, 0);
    waitpid(child, nullptr, 0);
    const std::string dead = std::to_string(child);
    const std::string alive = std::to_string(getpid());
    for (const bool unnamed : {true, false}) {
        session.Saving.UnnamedFiles = unnamed;
        const std::vector<std::pair<std::string, bool>> files = {
            {"t.exe.saving-" + dead + "-Ab12Cd", false},
            {"t.exe.saving-" + alive + "-Ab12Cd", true},
            {"t.exe.saving-XyZ123", true},
            {"other.exe.saving-" + dead + "-Ab12Cd", true},
            {"t.exe.saving-" + dead, true}};
        for (const auto& [name, kept] : files)
            WriteFile(dir / name, "left over");
        NewProject(false);
        gProject.ProjectPath = dir / "t.exe";
        ASSERT_TRUE(SaveSetup());
        for (const auto& [name, kept] : files) {
            EXPECT_EQ(std::filesystem::exists(dir / name), kept) << name;
            std::filesystem::remove(dir / name);
        }
    }
}

// An installed program finds its runtime in lib/kavelo/ beside its bin/
// folder; a data file beside the program comes first.
TEST_F(SetupTest, InstalledRuntimeIsFoundInLibKavelo) {
    std::filesystem::create_directories(dir / "usr/bin");
    std::filesystem::create_directories(dir / "usr/lib/kavelo");
    SaveOptions options = session.Saving;
    options.ProgramPath = dir / "usr/bin/kavelo";
    WriteFile(dir / "usr/lib/kavelo/kavelo.dat", "INSTALLED");
    std::string path, why;
    EXPECT_EQ(LoadRuntime(options, path, why), "INSTALLED");
    EXPECT_EQ(path, dir / "usr/lib/kavelo/kavelo.dat");
    EXPECT_EQ(why, "");
    WriteFile(dir / "usr/bin/kavelo.dat", "BESIDE");
    EXPECT_EQ(LoadRuntime(options, path, why), "BESIDE");
    EXPECT_EQ(path, dir / "usr/bin/kavelo.dat");
    std::filesystem::remove(dir / "usr/bin/kavelo.dat");
    std::filesystem::remove(dir / "usr/lib/kavelo/kavelo.dat");
    EXPECT_EQ(LoadRuntime(options, path, why), kRuntime);
    EXPECT_EQ(path, dir / "usr/bin/kavelo.dat");
    EXPECT_EQ(why, "No such file or directory");
}

} // namespace
