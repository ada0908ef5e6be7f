// SaveSetup writes the new setup beside the old one under a temporary name and
// renames it over the old file only when everything was written and flushed,
// so a failed save never loses the previous setup.
#include "project/SaveSetup.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <vector>

#include "common/Host.h"
#include "project/AppPaths.h"
#include "project/Messages.h"
#include "project/Project.h"
#include "common/Progress.h"
#include "package/BinaryFile.h"
#include "package/PackageWriter.h"
#include "res/StringTable.h"

namespace {

constexpr int32_t kTextThreshold = 100; // setup files: only when smaller
constexpr int32_t kFileThreshold = 110; // user files: unless 10 % larger
constexpr int32_t kRawThreshold = 95;

std::optional<std::string>& BuiltInOverride() {
    static std::optional<std::string> bytes;
    return bytes;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return in.bad() ? std::string() : bytes;
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

// A temporary file in the folder of target, so the final rename stays on one
// file system.
std::string MakeTemporaryPath(const std::string& target) {
    std::string pattern = target + ".saving-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = mkstemp(buffer.data());
    if (fd < 0) return {};
    close(fd);
    return std::string(buffer.data());
}

// The setup is a program: it keeps the old file's permissions, and whoever
// may read it may also run it.
void MakeExecutable(const std::string& tempPath, const std::string& target) {
    struct stat st {};
    mode_t mode;
    if (stat(target.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    if (mode & S_IRUSR) mode |= S_IXUSR;
    if (mode & S_IRGRP) mode |= S_IXGRP;
    if (mode & S_IROTH) mode |= S_IXOTH;
    if (chmod(tempPath.c_str(), mode) != 0) throw std::runtime_error("cannot set permissions");
}

class PackingWindow {
  public:
    PackingWindow() : bar_(GetHost().BeginPacking()) { YieldToEventLoop(); }
    ~PackingWindow() { GetHost().EndPacking(); }
    ProgressSink* Bar() const { return bar_; }

  private:
    ProgressSink* bar_;
};

} // namespace

std::string JoinedSetupLines() {
    std::string joined;
    for (int i = 0; i < kSetupLineCount; ++i) {
        if (i) joined += "\r\n";
        joined += gProject.SetupLines[i];
    }
    return joined;
}

std::string LoadRuntime(std::string& dataFilePath) {
    dataFilePath = AppFileName("dat");
    std::string bytes = ReadWholeFile(dataFilePath);
    if (!bytes.empty()) return bytes;
    if (BuiltInOverride()) return *BuiltInOverride();
    return LoadResFile("KAVELO.EXE", "FILE");
}

void SetBuiltInRuntimeForTesting(std::optional<std::string> bytes) {
    BuiltInOverride() = std::move(bytes);
}

bool SaveSetup() {
    std::string dataFilePath;
    const std::string runtime = LoadRuntime(dataFilePath);
    if (runtime.empty()) {
        ShowErrorWithPath(34, dataFilePath);
        return false;
    }

    // A symbolic link is followed, so the setup it names is the one replaced.
    std::string target = gProject.ProjectPath;
    std::error_code ec;
    if (std::filesystem::is_symlink(target, ec)) {
        auto resolved = std::filesystem::weakly_canonical(target, ec);
        if (!ec) target = resolved.string();
    }

    // Writing into the old file is what a save does; since the new file is
    // renamed over it instead, a setup that could not be written into (no
    // write permission, a folder) must be refused here, or the rename would
    // replace it anyway.
    struct stat old {};
    if (stat(target.c_str(), &old) == 0 &&
        (S_ISDIR(old.st_mode) || (old.st_mode & 0222) == 0 || access(target.c_str(), W_OK) != 0)) {
        ShowErrorWithPath(31, gProject.ProjectPath);
        return false;
    }

    const std::string tempPath = MakeTemporaryPath(target);
    if (tempPath.empty()) {
        ShowErrorWithPath(31, gProject.ProjectPath);
        return false;
    }

    bool result = false;
    std::optional<PackingWindow> window;
    try {
        BinaryFile file = BinaryFile::CreateEmpty(tempPath);
        file.WriteAt(0, runtime);
        const int64_t p = PreparePackage(file, true);
        if (p < 0) throw std::runtime_error("no package position");

        window.emplace();
        ProgressSink* bar = window->Bar();

        const std::string lines = JoinedSetupLines();
        int64_t total = static_cast<int64_t>(gProject.StringsText.size()) +
                        static_cast<int64_t>(gProject.ScriptText.size()) +
                        static_cast<int64_t>(lines.size());
        if (gProject.PicturePacked.empty()) total += static_cast<int64_t>(gProject.Picture.size());
        for (int32_t k = 0; k < gProject.FileCount; ++k)
            if (!gProject.Packed[k]) total += static_cast<int64_t>(gProject.Data(k).size());
        const ProgressScale scale(total);
        int64_t done = 0;
        auto pack = [&](const std::string& bytes, int32_t threshold) {
            std::string entry = MakeEntry(bytes, true, threshold, bar, scale(done), scale(total),
                                          scale(static_cast<int64_t>(bytes.size())));
            done += static_cast<int64_t>(bytes.size());
            return entry;
        };

        if (gProject.PicturePacked.empty())
            gProject.PicturePacked = pack(gProject.Picture, kTextThreshold);
        // The user files' records are moved into the item list for the write
        // and back afterwards, so a save holds no second copy of them.
        std::vector<std::string> items;
        items.reserve(3 * (4 + static_cast<size_t>(gProject.FileCount)));
        auto addItem = [&](const std::string& name, std::string entry) {
            items.emplace_back();
            items.push_back(name);
            items.push_back(std::move(entry));
        };
        addItem(kSetupPictureName, gProject.PicturePacked);
        addItem(kSetupScriptName, pack(gProject.ScriptText, kTextThreshold));
        addItem(kSetupLinesName, pack(lines, kTextThreshold));
        addItem(kSetupStringsName, pack(gProject.StringsText, kTextThreshold));

        for (int32_t k = 0; k < gProject.FileCount; ++k) {
            if (!gProject.Packed[k]) {
                GetHost().PackingLabel(gProject.Name(k));
                gProject.Data(k) = pack(gProject.Data(k), kFileThreshold);
                gProject.Packed[k] = true;
            }
        }
        struct GiveBack {
            std::vector<std::string>& items;
            int32_t moved = 0;
            ~GiveBack() {
                for (int32_t k = 0; k < moved; ++k)
                    gProject.Data(k) = std::move(items[3 * (4 + static_cast<size_t>(k)) + 2]);
            }
        } giveBack{items};
        for (int32_t k = 0; k < gProject.FileCount; ++k) {
            addItem(gProject.Name(k), std::string());
            items.back() = std::move(gProject.Data(k));
            ++giveBack.moved;
        }

        const int32_t count = static_cast<int32_t>(items.size() / 3);
        // The writer leaves out an item it cannot read; a setup without one of
        // the project's files is a failed save.
        if (WritePackage(file, p, items, count, "", true, false, ConflictIgnore, true, nullptr, -1,
                         kRawThreshold) != count)
            throw std::runtime_error("an item was left out of the package");
        file.Flush();
        file.Close();
        MakeExecutable(tempPath, target);
        if (std::rename(tempPath.c_str(), target.c_str()) != 0)
            throw std::runtime_error("cannot replace the setup file");
        result = true;
    } catch (const std::exception&) {
        result = false;
    }
    window.reset();
    if (!result) {
        std::remove(tempPath.c_str());
        ShowErrorWithPath(31, gProject.ProjectPath);
    }
    return result;
}
