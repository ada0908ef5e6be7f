#include "project/SaveSetup.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <random>
#include <string_view>
#include <utility>
#include <vector>

#include "common/Errors.h"
#include "common/Progress.h"
#include "common/WholeFile.h"
#include "package/BinaryFile.h"
#include "package/PackageWriter.h"
#include "project/AppPaths.h"
#include "project/Messages.h"
#include "res/BuiltInFiles.h"

namespace {

// Every entry, setup file or user's file, is kept compressed only when that
// makes it smaller; a file that would grow is stored as it is.
constexpr int32_t kCompressThreshold = 100;
constexpr int32_t kRawThreshold = 95;

std::optional<std::string>& BuiltInOverride() {
    static std::optional<std::string> bytes;
    return bytes;
}

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

bool& UnnamedFilesAllowed() {
    static bool allowed = true;
    return allowed;
}

mode_t CurrentUmask() {
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
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

std::string FolderOf(const std::string& path) {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

// Every temporary name of a save of target starts so; the process number
// follows, so a later save can tell whose file it is.
std::string TemporaryPrefix(const std::string& target) {
    return target + ".saving-" + std::to_string(::getpid()) + "-";
}

// The process number in a temporary name's rest "PID-XXXXXX"; 0 when the
// rest is not of that form.
pid_t TemporaryOwner(std::string_view rest) {
    const size_t dash = rest.find('-');
    if (dash == 0 || dash > 9 || rest.find_first_not_of("0123456789") != dash) return 0;
    return static_cast<pid_t>(std::stol(std::string(rest.substr(0, dash))));
}

// Removes the temporary files that saves of target by processes that no
// longer run left behind (a save killed between naming its file and the
// rename, or on a file system without unnamed files).
void RemoveStaleTemporaries(const std::string& target) {
    namespace fs = std::filesystem;
    const std::string start = fs::path(target).filename().string() + ".saving-";
    std::error_code ec;
    for (fs::directory_iterator it(FolderOf(target), ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (!name.starts_with(start)) continue;
        const pid_t owner = TemporaryOwner(std::string_view(name).substr(start.size()));
        if (owner <= 0 || ::kill(owner, 0) == 0 || errno != ESRCH) continue;
        struct stat st {};
        if (::lstat(it->path().c_str(), &st) == 0 && S_ISREG(st.st_mode))
            ::unlink(it->path().c_str());
    }
}

// The new setup while it is written. It is an unnamed file in the target's
// folder (O_TMPFILE), so a save that is killed leaves nothing behind; it gets
// a name only when complete, just before the rename. Where the file system
// has no unnamed files it is a named temporary file from the start.
class PendingSetup {
  public:
    explicit PendingSetup(const std::string& target) : target_(target) {
        if (!UnnamedFilesAllowed() || !OpenUnnamed()) OpenNamed();
    }
    ~PendingSetup() {
        if (!named_.empty()) ::unlink(named_.c_str());
        if (unnamed_ >= 0) ::close(unnamed_);
    }
    PendingSetup(const PendingSetup&) = delete;
    PendingSetup& operator=(const PendingSetup&) = delete;

    BinaryFile& File() { return file_; }
    // Gives the written, closed file its mode and puts it in the target's
    // place; the setup's lock, when one is held, moves to it.
    void Commit(mode_t mode, SetupLock* lock);

  private:
    bool OpenUnnamed();
    void OpenNamed();
    std::string ProcPath() const { return "/proc/self/fd/" + std::to_string(unnamed_); }

    std::string target_;
    int unnamed_ = -1;  // the O_TMPFILE descriptor
    std::string named_; // the temporary name while the file has one
    BinaryFile file_;
};

// False when the file system (or the kernel) has no unnamed files, or the
// descriptor cannot be named through /proc; other errors are the save's.
bool PendingSetup::OpenUnnamed() {
    unnamed_ = ::open(FolderOf(target_).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (unnamed_ < 0) {
        if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL || errno == ENOSYS)
            return false;
        throw IoError(errno, target_);
    }
    try {
        file_ = BinaryFile::OpenReadWrite(ProcPath());
        return true;
    } catch (const KaveloError&) {
        ::close(std::exchange(unnamed_, -1));
        return false;
    }
}

void PendingSetup::OpenNamed() {
    std::string pattern = TemporaryPrefix(target_) + "XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd < 0) throw IoError(errno, target_);
    close(fd);
    named_ = pattern;
    file_ = BinaryFile::OpenReadWrite(named_);
}

void PendingSetup::Commit(mode_t mode, SetupLock* lock) {
    if (unnamed_ >= 0) {
        if (::fchmod(unnamed_, mode) != 0) throw IoError(errno, target_);
        std::random_device random;
        for (int attempt = 0; named_.empty(); ++attempt) {
            const std::string name = TemporaryPrefix(target_) + std::to_string(random() % 1000000);
            const std::string from = ProcPath();
            if (::linkat(AT_FDCWD, from.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
                named_ = name;
            else if (errno != EEXIST || attempt > 100)
                throw IoError(errno, target_);
        }
    } else if (::chmod(named_.c_str(), mode) != 0) {
        throw IoError(errno, named_);
    }
    if (lock) lock->LockReplacement(named_);
    if (std::rename(named_.c_str(), target_.c_str()) != 0) throw IoError(errno, target_);
    named_.clear();
    if (lock) lock->ReplacementInPlace();
}

// The progress window from the first report to the end of the save.
class PackingWindow {
  public:
    explicit PackingWindow(Host& host) : host_(host), bar_(host.BeginPacking()) {
        YieldToEventLoop();
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

    SetupProject& project_;
    Host& host_;
    ProgressSink* bar_;
    const std::string lines_;
    const int64_t total_;
    const ProgressScale scale_;
    int64_t done_ = 0;
};

int64_t ProjectPacker::UnpackedTotal() const {
    int64_t total = static_cast<int64_t>(project_.StringsText.size() + project_.ScriptText.size() +
                                         lines_.size());
    if (!project_.PicturePacked) total += static_cast<int64_t>(project_.Picture.size());
    for (const ProjectFile& f : project_.Files)
        if (!f.Packed()) total += static_cast<int64_t>(f.Raw().size());
    return total;
}

EntryRecord ProjectPacker::Pack(std::string_view bytes, int32_t threshold) {
    EntryRecord entry = MakeEntry(
        bytes, true, threshold,
        {bar_, scale_(done_), scale_(total_), scale_(static_cast<int64_t>(bytes.size()))},
        project_.Codec);
    done_ += static_cast<int64_t>(bytes.size());
    return entry;
}

void ProjectPacker::Write(BinaryFile& file, int64_t P) {
    if (!project_.PicturePacked)
        project_.PicturePacked = Pack(project_.Picture, kCompressThreshold);
    const EntryRecord script = Pack(project_.ScriptText, kCompressThreshold);
    const EntryRecord lines = Pack(lines_, kCompressThreshold);
    const EntryRecord strings = Pack(project_.StringsText, kCompressThreshold);
    for (ProjectFile& f : project_.Files) {
        if (f.Packed()) continue;
        host_.PackingLabel(f.Name);
        f.Data = Pack(f.Raw(), kCompressThreshold);
    }

    // The project's records are lent to the writer, not copied.
    std::vector<PackageItem> items;
    items.reserve(4 + project_.Files.size());
    items.push_back(
        {std::string(kSetupPictureName), PackageItem::Packed{&*project_.PicturePacked, {}}});
    items.push_back({std::string(kSetupScriptName), PackageItem::Packed{&script, {}}});
    items.push_back({std::string(kSetupLinesName), PackageItem::Packed{&lines, {}}});
    items.push_back({std::string(kSetupStringsName), PackageItem::Packed{&strings, {}}});
    for (const ProjectFile& f : project_.Files)
        items.push_back({f.Name, PackageItem::Packed{&f.Record(), {}}});

    WriteOptions options;
    options.CompressRawItems = true;
    options.RawThresholdPercent = kRawThreshold;
    options.Codec = project_.Codec;
    // The writer leaves out an item it cannot read; a setup without one of
    // the project's files is a failed save.
    if (WritePackage(file, P, items, options) != static_cast<int32_t>(items.size()))
        throw KaveloError("not every file of the project could be written", file.Path());
}

// Writes the whole setup into file.
void WriteSetupFile(SetupProject& project, Host& host, const std::string& runtime,
                    BinaryFile& file) {
    file.WriteAt(0, runtime);
    const int64_t P = PreparePackage(file, true);
    PackingWindow window(host);
    ProjectPacker(project, host, window.Bar()).Write(file, P);
    file.Flush();
    // Flushing a large setup to the disk takes about as long as the rename
    // over the old setup that follows; the windows are painted between them.
    YieldToEventLoop();
    file.Close();
}

// Where an installed program keeps its runtime: lib/kavelo/ beside the
// folder of the program (/usr/lib/kavelo/kavelo.dat for /usr/bin/kavelo).
std::string InstalledRuntimePath(const std::string& dataFilePath) {
    const std::string folder = AppFileName(std::string(1, '\1'));
    if (folder.empty()) return {};
    const std::string name = std::filesystem::path(dataFilePath).filename().string();
    return (std::filesystem::path(folder) / "../lib/kavelo" / name).lexically_normal().string();
}

} // namespace

std::string LoadRuntime(std::string& dataFilePath, std::string& why) {
    const std::string beside = AppFileName("dat");
    dataFilePath = beside;
    for (const std::string& candidate : {beside, InstalledRuntimePath(beside)}) {
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
    if (BuiltInOverride()) return *BuiltInOverride();
    return LoadResFile("KAVELO.EXE", "FILE");
}

void SetBuiltInRuntimeForTesting(std::optional<std::string> bytes) {
    BuiltInOverride() = std::move(bytes);
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

bool SaveSetup(SetupProject& project, Host& host, SetupLock* lock) {
    std::string dataFilePath;
    std::string why;
    const std::string runtime = LoadRuntime(dataFilePath, why);
    if (runtime.empty()) {
        ShowErrorWithPath(host, 34, dataFilePath, why);
        return false;
    }
    if (lock && !MayReplace(*lock, project, host)) return false;
    const std::string target = SaveTarget(project.ProjectPath);
    try {
        CheckReplaceable(target);
        RemoveStaleTemporaries(target);
        PendingSetup pending(target);
        WriteSetupFile(project, host, runtime, pending.File());
        pending.Commit(SetupMode(target), lock);
        return true;
    } catch (const KaveloError& e) {
        ShowErrorWithPath(host, 31, project.ProjectPath, e.Reason());
        return false;
    }
}

void SetUnnamedSaveFilesForTesting(bool allowed) {
    UnnamedFilesAllowed() = allowed;
}
