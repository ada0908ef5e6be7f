#include "project/TreeIntake.h"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <system_error>

#include "common/Errors.h"
#include "common/WholeFile.h"
#include "project/ContentsBuilder.h"

namespace fs = std::filesystem;

namespace {

struct Walk {
    FolderRead Out;
    uint64_t Bytes = 0; // of the files' contents and link targets

    void Problem(const fs::path& path, std::string why) {
        Out.Problems.push_back({path.string(), std::move(why)});
    }
    void Add(TreeEntry e, const std::string& path, uint64_t size, uint8_t group = 0) {
        Bytes += size;
        Out.Contents.Entries.push_back(std::move(e));
        Out.Paths.push_back(path);
        Out.Sizes.push_back(size);
        Out.Groups.push_back(group);
    }
};

// Tells progress its share: part k of n.
class ShareOf : public ProgressSink {
  public:
    ShareOf(ProgressSink* whole, size_t k, size_t n)
        : whole_(whole), base_(static_cast<float>(k) / static_cast<float>(n)),
          span_(1.0f / static_cast<float>(n)) {}
    void ValueSet(float value) override { whole_->ValueSet(base_ + span_ * value); }

  private:
    ProgressSink* whole_;
    float base_;
    float span_;
};

// What a tree cannot hold, by the kind of file lstat found.
std::string KindProblem(fs::file_type type) {
    switch (type) {
    case fs::file_type::block:
    case fs::file_type::character:
        return "a device";
    case fs::file_type::fifo:
        return "a FIFO (named pipe)";
    case fs::file_type::socket:
        return "a socket";
    default:
        return "not a file, folder or link";
    }
}

void ReadEntry(Walk& w, const fs::directory_entry& item, const std::string& name);

void ReadFolder(Walk& w, const fs::path& folder, const std::string& prefix) {
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) return w.Problem(folder, "cannot be read: " + ec.message());
    for (const fs::directory_iterator end; it != end; it.increment(ec)) {
        if (ec) return w.Problem(folder, "cannot be read: " + ec.message());
        const std::string own = it->path().filename().string();
        ReadEntry(w, *it, prefix.empty() ? own : prefix + "/" + own);
    }
    if (ec) w.Problem(folder, "cannot be read: " + ec.message());
}

void ReadEntry(Walk& w, const fs::directory_entry& item, const std::string& name) {
    const fs::path& path = item.path();
    if (std::string why = TreeNameProblem(name); !why.empty())
        return w.Problem(path, "the name " + why);
    std::error_code ec;
    const fs::file_status status = item.symlink_status(ec);
    if (ec) return w.Problem(path, ec.message());
    TreeEntry e{TreeKind::File, name, {}};
    switch (status.type()) {
    case fs::file_type::directory:
        e.Kind = TreeKind::Folder;
        w.Add(std::move(e), path.string(), 0);
        return ReadFolder(w, path, name);
    case fs::file_type::symlink: {
        e.Kind = TreeKind::Link;
        e.Data = fs::read_symlink(path, ec).string();
        if (ec) return w.Problem(path, ec.message());
        if (std::string why = LinkTargetProblem(name, e.Data); !why.empty())
            return w.Problem(path, why);
        const uint64_t size = e.Data.size();
        return w.Add(std::move(e), path.string(), size);
    }
    case fs::file_type::regular:
        if ((status.permissions() & fs::perms::owner_exec) != fs::perms::none)
            e.Kind = TreeKind::Program;
        try {
            // Read when the tree is written; readable now. Its first bytes
            // place it among files alike.
            std::string head(kTreeHeadSample, '\0');
            const FileStamp stamp = CheckReadableFile(path.string(), kMaxTreeBytes, &head);
            return w.Add(std::move(e), path.string(), stamp.Size, TreeFileGroup(head));
        } catch (const KaveloError& err) {
            return w.Problem(path, err.Reason());
        }
    default:
        return w.Problem(path, KindProblem(status.type()));
    }
}

// The folder's own name as written, without trailing "/" ("." and ".." are
// named from the absolute path).
std::string FolderName(const std::string& folder) {
    std::error_code ec;
    fs::path p = fs::absolute(folder, ec).lexically_normal();
    if (!p.has_filename()) p = p.parent_path();
    return p.filename().string();
}

// The index, written first, holds every file's kind and size as the scan
// found them: a file that is no longer that refuses the folder.
void CheckUnchanged(const FolderRead& scan, size_t k) {
    const std::string& path = scan.Paths[k];
    struct stat st {}; // a file gone is a file changed
    if (::lstat(path.c_str(), &st) != 0 && errno != ENOENT) throw IoError(errno, path);
    const bool program = (st.st_mode & S_IXUSR) != 0;
    if (!S_ISREG(st.st_mode) || static_cast<uint64_t>(st.st_size) != scan.Sizes[k] ||
        program != (scan.Contents.Entries[k].Kind == TreeKind::Program))
        throw KaveloError("changed while it was being added", path);
}

} // namespace

FolderRead ScanFolderTree(const std::string& folder) {
    Walk w;
    w.Out.Contents.RootName = FolderName(folder);
    if (std::string why = TreeNameProblem(w.Out.Contents.RootName);
        w.Out.Contents.RootName.empty() || !why.empty()) {
        w.Problem(folder, "the folder's name " + why);
        return std::move(w.Out);
    }
    ReadFolder(w, folder, "");
    if (w.Out.Contents.Entries.size() > kMaxTreeEntries)
        w.Problem(folder, "holds " + std::to_string(w.Out.Contents.Entries.size()) +
                              " files, folders and links, more than the " +
                              std::to_string(kMaxTreeEntries) + " a tree can hold");
    if (w.Bytes > kMaxTreeBytes)
        w.Problem(folder, "holds " + std::to_string(w.Bytes) + " bytes, more than the " +
                              std::to_string(kMaxTreeBytes) + " a tree can hold");
    return std::move(w.Out);
}

FolderRead ReadFolderTree(const std::string& folder) {
    FolderRead read = ScanFolderTree(folder);
    for (size_t k = 0; k < read.Contents.Entries.size() && read.Problems.empty(); ++k) {
        TreeEntry& e = read.Contents.Entries[k];
        if (e.Kind != TreeKind::File && e.Kind != TreeKind::Program) continue;
        try {
            e.Data = ReadWholeFile(read.Paths[k], kMaxTreeBytes);
        } catch (const KaveloError& err) {
            read.Problems.push_back({read.Paths[k], err.Reason()});
        }
    }
    return read;
}

std::variant<std::string, EntryRecord, FileOnDisk> WriteFolderTree(const FolderRead& scan,
                                                                   ProgressSink* progress) {
    uint64_t total = 0;
    uint64_t done = 0;
    for (size_t k = 0; k < scan.Sizes.size(); ++k)
        if (scan.Contents.Entries[k].Kind != TreeKind::Link) total += scan.Sizes[k];
    ContentsBuilder container;
    const auto fileContents = [&](size_t k, const TreeBytes& put) {
        CheckUnchanged(scan, k);
        ReadFileInPieces(scan.Paths[k], scan.Sizes[k], [&](const char* data, size_t n) {
            put({data, n});
            done += n;
            if (progress && total > 0)
                progress->ValueSet(
                    static_cast<float>(static_cast<double>(done) / static_cast<double>(total)));
        });
    };
    EncodeTreeInPieces(
        scan.Contents.RootName, scan.Contents.Entries, scan.Sizes, fileContents,
        [&](std::string_view bytes) { container.Append(bytes); }, scan.Groups);
    return container.Finish();
}

DropResult DropFolders(SetupProject& project, const std::vector<std::string>& folders,
                       ProgressSink* progress) {
    DropResult result;
    std::map<std::string, std::string> byName;
    std::vector<std::pair<std::string, FolderRead>> scanned;
    for (const std::string& folder : folders) {
        FolderRead r = ScanFolderTree(folder);
        const std::string name = TreeProjectName(r.Contents.RootName);
        const auto [it, fresh] = byName.emplace(name, folder);
        if (!fresh)
            r.Problems.push_back(
                {folder, "\"" + it->second + "\" would get the same name \"" + name + "\""});
        for (DropProblem& p : r.Problems) {
            result.Skipped.push_back(p.Path);
            result.Problems.push_back(std::move(p));
        }
        scanned.emplace_back(name, std::move(r));
    }
    int fresh = 0;
    for (const auto& [name, scan] : scanned)
        if (project.FindFile(name) < 0) ++fresh;
    if (result.Problems.empty() && project.FileCount() + fresh > kMaxFiles)
        for (const std::string& folder : folders) {
            result.Refused.push_back(folder);
            result.Problems.push_back(
                {folder, "the setup already holds " + std::to_string(kMaxFiles) + " files"});
        }
    if (!result.Problems.empty()) return result;
    // Each tree is written file by file; a file that cannot be read now
    // refuses the whole drop, as a problem found by the scan does.
    std::vector<std::variant<std::string, EntryRecord, FileOnDisk>> written;
    for (size_t k = 0; k < scanned.size(); ++k) {
        ShareOf share(progress, k, scanned.size());
        try {
            written.push_back(WriteFolderTree(scanned[k].second, progress ? &share : nullptr));
        } catch (const KaveloError& e) {
            const std::string path = e.Path().empty() ? folders[k] : e.Path();
            result.Skipped.push_back(path);
            result.Problems.push_back({path, e.Reason()});
            return result;
        }
    }
    for (size_t k = 0; k < scanned.size(); ++k) {
        const std::string& name = scanned[k].first;
        if (const int32_t at = project.FindFile(name); at >= 0) {
            project.Files[static_cast<size_t>(at)].Data = std::move(written[k]);
            ++result.Replaced;
        } else {
            project.AddFile({name, std::move(written[k])});
            ++result.Added;
        }
    }
    return result;
}
