#include "project/SaveSetup.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "common/AtomicFile.h"
#include "common/Errors.h"
#include "common/ProcessInfo.h"
#include "common/Progress.h"
#include "common/WholeFile.h"
#include "package/BinaryFile.h"
#include "package/CompressionPipeline.h"
#include "package/PackageChecksums.h"
#include "package/PackageFormat.h"
#include "package/PackageReader.h"
#include "package/SetupEntries.h"
#include "package/PackageWriter.h"
#include "project/AppPaths.h"
#include "project/Messages.h"
#include "res/BuiltInFiles.h"

namespace {

// Every entry, setup file or user's file, is kept compressed only when that
// makes it smaller; a file that would grow is stored as it is.
constexpr int32_t kCompressThreshold = 100;

// Progress counters are 32-bit; a project beyond 2 GB is shown at a coarser scale.
class ProgressScale {
  public:
    explicit ProgressScale(int64_t total) {
        while ((total >> shift_) > std::numeric_limits<int32_t>::max())
            ++shift_;
    }
    int32_t operator()(int64_t bytes) const { return static_cast<int32_t>(bytes >> shift_); }

  private:
    int shift_ = 0;
};

// The file a save replaces: a symbolic link is followed, so the setup it
// names is the one replaced.
std::string SaveTarget(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::is_symlink(path, ec)) {
        auto resolved = std::filesystem::weakly_canonical(path, ec);
        if (!ec) return resolved.string();
    }
    return path;
}

// Writing into the old file is what a save does; since the new file is
// renamed over it instead, a setup that could not be written into (no write
// permission, a folder) is refused here, or the rename would replace it.
void CheckReplaceable(const std::string& target) {
    struct stat old {};
    if (stat(target.c_str(), &old) != 0) return;
    if (S_ISDIR(old.st_mode)) throw IoError(EISDIR, target);
    if ((old.st_mode & 0222) == 0 || access(target.c_str(), W_OK) != 0)
        throw IoError(EACCES, target);
}

// The setup is a program: a new one is 0755 less the umask; one written
// over keeps the old file's permissions, and whoever may read it may also run it.
mode_t SetupMode(const std::string& target) {
    struct stat st {};
    if (stat(target.c_str(), &st) != 0) return 0755 & ~CurrentUmask();
    mode_t mode = st.st_mode & 07777;
    if (mode & S_IRUSR) mode |= S_IXUSR;
    if (mode & S_IRGRP) mode |= S_IXGRP;
    if (mode & S_IROTH) mode |= S_IXOTH;
    return mode;
}

// The progress window from the first report to the end of the save.
class PackingWindow {
  public:
    explicit PackingWindow(Host& host) : host_(host), bar_(host.BeginPacking()) {
        if (bar_) bar_->Yield();
    }
    ~PackingWindow() { host_.EndPacking(); }
    ProgressSink* Bar() const { return bar_; }

  private:
    Host& host_;
    ProgressSink* bar_;
};

// Packs what is not packed yet and writes the package into file at P.
class ProjectPacker {
  public:
    ProjectPacker(SetupProject& project, Host& host, ProgressSink* bar)
        : project_(project), host_(host), bar_(bar), lines_(project.JoinedSetupLines()),
          total_(UnpackedTotal()), scale_(total_) {}

    void Write(BinaryFile& file, int64_t P);

  private:
    int64_t UnpackedTotal() const;
    EntryRecord Pack(std::string_view bytes, int32_t threshold);
    void Report(const std::string& name, int64_t taken);

    SetupProject& project_;
    Host& host_;
    ProgressSink* bar_;
    const std::string lines_;
    const int64_t total_;
    const ProgressScale scale_;
    int64_t done_ = 0;
    std::string packing_; // the user's file being packed
    int64_t packingSize_ = 0;
};

int64_t ProjectPacker::UnpackedTotal() const {
    int64_t total = static_cast<int64_t>(project_.StringsText.size() + project_.ScriptText.size() +
                                         lines_.size());
    if (!project_.PicturePacked) total += static_cast<int64_t>(project_.Picture.size());
    for (const ProjectFile& f : project_.Files)
        if (!f.Packed()) total += static_cast<int64_t>(f.UnpackedSize());
    return total;
}

EntryRecord ProjectPacker::Pack(std::string_view bytes, int32_t threshold) {
    EntryRecord entry =
        MakeEntry(bytes, true, threshold,
                  {bar_, scale_(done_), scale_(total_), scale_(static_cast<int64_t>(bytes.size()))},
                  project_.Codec);
    done_ += static_cast<int64_t>(bytes.size());
    return entry;
}

// The writer's item for a user's file: stored bytes in memory or in the
// setup file (copied as they are, checked against their checksum), or
// contents that the writer compresses as it reads them.
PackageItem UserFileItem(const SetupProject& project, const ProjectFile& f) {
    if (f.OnDisk()) return {f.Name, PackageItem::FromFile{f.Disk().Path}};
    if (!f.Packed()) return {f.Name, PackageItem::Inline{f.Raw()}};
    if (!f.InSetupFile()) return {f.Name, PackageItem::Packed{&f.Record(), {}}};
    return {f.Name, PackageItem::Packed{&f.Record(), {}, project.Source.File.get(), f.Digest}};
}

// A file added to be read at the save must still be as it was added: what
// the user added is what goes into the setup.
void CheckFilesOnDisk(const SetupProject& project) {
    for (const ProjectFile& f : project.Files) {
        if (!f.OnDisk()) continue;
        const FileOnDisk& disk = f.Disk();
        if (CheckReadableFile(disk.Path, kMaxPackageNumber) !=
            FileStamp{disk.Size, disk.ModifiedNs})
            throw KaveloError("\"" + disk.Path + "\" changed after it was added", disk.Path);
    }
}

void ProjectPacker::Write(BinaryFile& file, int64_t P) {
    project_.CheckSource();
    CheckFilesOnDisk(project_);
    if (!project_.PicturePacked)
        project_.PicturePacked = Pack(project_.Picture, kCompressThreshold);
    const EntryRecord script = Pack(project_.ScriptText, kCompressThreshold);
    const EntryRecord lines = Pack(lines_, kCompressThreshold);
    const EntryRecord strings = Pack(project_.StringsText, kCompressThreshold);

    // The project's records and contents are lent to the writer, not copied.
    std::vector<PackageItem> items;
    items.reserve(kSetupFileCount + project_.Files.size());
    items.push_back(
        {std::string(kSetupPictureName), PackageItem::Packed{&*project_.PicturePacked, {}}});
    items.push_back({std::string(kSetupScriptName), PackageItem::Packed{&script, {}}});
    items.push_back({std::string(kSetupLinesName), PackageItem::Packed{&lines, {}}});
    items.push_back({std::string(kSetupStringsName), PackageItem::Packed{&strings, {}}});
    for (const ProjectFile& f : project_.Files)
        items.push_back(UserFileItem(project_, f));

    WriteOptions options;
    options.CompressRawItems = true;
    // As for the setup files: kept compressed only when that is smaller.
    options.RawThresholdPercent = kCompressThreshold;
    options.Codec = project_.Codec;
    options.Workers = CompressionPipeline::WorkersForThisMachine();
    options.Packing = [this](const std::string& name, int64_t taken) { Report(name, taken); };
    // The writer leaves out an item it cannot read; a setup without one of
    // the project's files is a failed save.
    if (WritePackage(file, P, items, options) != static_cast<int32_t>(items.size()))
        throw KaveloError("not every file of the project could be written", file.Path());
}

// The name of the file being packed, and the bar across the whole save.
void ProjectPacker::Report(const std::string& name, int64_t taken) {
    if (name != packing_) {
        if (!packing_.empty()) done_ += packingSize_;
        packing_ = name;
        const int32_t k = project_.FindFile(name);
        packingSize_ = k < 0 ? 0 : static_cast<int64_t>(project_.Files[k].UnpackedSize());
        host_.PackingLabel(name);
    }
    if (!bar_) return;
    if (total_ > 0) bar_->ValueSet(static_cast<float>(static_cast<double>(done_ + taken) / total_));
    bar_->Yield();
}

// Where the user's files lie in a setup just written: their records, as
// the writer stored them, and their digests.
std::vector<ProjectFile> WrittenFiles(const SetupProject& project, const BinaryFile& file,
                                      int64_t P) {
    const std::vector<DirectoryEntry> entries = ReadDirectory(file, P);
    const std::optional<ChecksumBlock> checksums = ReadChecksumBlock(file, P, entries);
    if (entries.size() != kSetupFileCount + project.Files.size() || !checksums)
        throw InvalidRequest("the setup written does not hold the project's files");
    std::vector<ProjectFile> written;
    for (size_t k = kSetupFileCount; k < entries.size(); ++k) {
        const DirectoryEntry& e = entries[k];
        EntryRecord record;
        record.Flags = e.Flags;
        record.SourceOffset = static_cast<uint32_t>(e.Offset);
        record.StoredSize = e.StoredSize;
        record.Size = e.Size;
        written.push_back(
            {project.Files[k - kSetupFileCount].Name, std::move(record), checksums->Entries[k]});
    }
    return written;
}

// Writes the whole setup into file; returns the user's files as they lie in it.
std::vector<ProjectFile> WriteSetupFile(SetupProject& project, Host& host,
                                        const std::string& runtime, BinaryFile& file) {
    file.WriteAt(0, runtime);
    const int64_t P = PreparePackage(file, true);
    PackingWindow window(host);
    project.UnpackOtherCodec();
    ProjectPacker(project, host, window.Bar()).Write(file, P);
    std::vector<ProjectFile> written = WrittenFiles(project, file, P);
    file.Flush();
    // Flushing a large setup to the disk takes about as long as the rename
    // over the old setup that follows; the windows may be painted between them.
    if (window.Bar()) window.Bar()->Yield();
    return written;
}

// After a save the user's files are read from the new setup when needed,
// so the project holds none of their bytes.
void LeaveFilesInSetup(SetupProject& project, std::vector<ProjectFile> written,
                       std::shared_ptr<const BinaryFile> setup) {
    project.Source = StoredIn::Of(std::move(setup));
    project.Files = std::move(written);
}

// Where an installed program keeps its runtime: lib/kavelo/ beside the
// folder of the program (/usr/lib/kavelo/kavelo.dat for /usr/bin/kavelo).
std::string InstalledRuntimePath(const std::string& programPath, const std::string& dataFilePath) {
    const std::string folder = AppFileNameFor(programPath, std::string(1, '\1'));
    if (folder.empty()) return {};
    const std::string name = std::filesystem::path(dataFilePath).filename().string();
    return (std::filesystem::path(folder) / "../lib/kavelo" / name).lexically_normal().string();
}

} // namespace

std::string LoadRuntime(const SaveOptions& options, std::string& dataFilePath, std::string& why) {
    // The kernel's link names the executable even when argv[0] does not.
    const std::string program = options.ProgramPath.empty() ? OwnPath() : options.ProgramPath;
    const std::string beside = program.empty() ? std::string() : AppFileNameFor(program, "dat");
    dataFilePath = beside;
    for (const std::string& candidate : {beside, InstalledRuntimePath(program, beside)}) {
        if (candidate.empty()) continue;
        std::string reason;
        try {
            std::string bytes = ReadWholeFile(candidate);
            if (!bytes.empty()) {
                dataFilePath = candidate;
                why.clear();
                return bytes;
            }
            reason = "the file is empty";
        } catch (const KaveloError& e) {
            reason = e.Reason();
        }
        // The reason told is the one for the file beside the program.
        if (candidate == beside) why = reason;
    }
    if (options.BuiltInRuntime) return *options.BuiltInRuntime;
    return LoadResFile("KAVELO.EXE", "FILE");
}

namespace {

// A setup that another program replaced or wrote since it was opened is
// replaced only when the user says so: its changes would be lost.
bool MayReplace(const SetupLock& lock, const SetupProject& project, Host& host) {
    try {
        lock.CheckUnchanged();
        return true;
    } catch (const KaveloError& e) {
        if (host.AskYesNo(project.ProjectPath + "\n" + e.Reason() + ".\n" +
                          "Replace it with the project as it is here? What the other program "
                          "wrote is then lost."))
            return true;
        ShowErrorWithPath(host, 31, project.ProjectPath, e.Reason());
        return false;
    }
}

} // namespace

bool SaveSetup(SetupProject& project, Host& host, SetupLock* lock, const SaveOptions& options) {
    std::string dataFilePath;
    std::string why;
    const std::string runtime = LoadRuntime(options, dataFilePath, why);
    if (runtime.empty()) {
        ShowErrorWithPath(host, 34, dataFilePath, why);
        return false;
    }
    if (lock && !MayReplace(*lock, project, host)) return false;
    const std::string target = SaveTarget(project.ProjectPath);
    try {
        CheckReplaceable(target);
        RemoveStaleTemporaries(target);
        AtomicFile pending(target, options.UnnamedFiles);
        BinaryFile file = BinaryFile::OpenReadWrite(pending.OpenPath());
        std::vector<ProjectFile> written = WriteSetupFile(project, host, runtime, file);
        // Read through a handle that does not write, so the setup can be
        // started while the project reads from it.
        auto setup = std::make_shared<const BinaryFile>(file.ReopenForReading());
        file.Close();
        // The new file is locked before it takes the setup's place.
        pending.Commit(SetupMode(target), [lock](const std::string& named) {
            if (lock) lock->LockReplacement(named);
        });
        if (lock) lock->ReplacementInPlace();
        LeaveFilesInSetup(project, std::move(written), std::move(setup));
        return true;
    } catch (const KaveloError& e) {
        ShowErrorWithPath(host, 31, project.ProjectPath, e.Reason());
        return false;
    }
}
