#include "project/TreeIntake.h"

#include <filesystem>
#include <map>
#include <system_error>

#include "common/Errors.h"
#include "common/WholeFile.h"

namespace fs = std::filesystem;

namespace {

struct Walk {
    FolderRead Out;
    uint64_t Bytes = 0;
    ProgressSink* Progress = nullptr;
    uint64_t Total = 0; // bytes of the regular files found beforehand

    void Problem(const fs::path& path, std::string why) {
        Out.Problems.push_back({path.string(), std::move(why)});
    }
    void Report() const {
        if (Progress && Total > 0)
            Progress->ValueSet(static_cast<float>(
                std::min<double>(1.0, static_cast<double>(Bytes) / static_cast<double>(Total))));
    }
};

// The bytes of the regular files below folder, links not followed: the
// whole that progress is told shares of. Errors are the reading's to report.
uint64_t BytesBelow(const std::string& folder) {
    uint64_t total = 0;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code ignored;
        if (it->symlink_status(ignored).type() == fs::file_type::regular)
            total += it->file_size(ignored);
    }
    return total;
}

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
        w.Out.Contents.Entries.push_back(std::move(e));
        return ReadFolder(w, path, name);
    case fs::file_type::symlink: {
        e.Kind = TreeKind::Link;
        e.Data = fs::read_symlink(path, ec).string();
        if (ec) return w.Problem(path, ec.message());
        if (std::string why = LinkTargetProblem(name, e.Data); !why.empty())
            return w.Problem(path, why);
        break;
    }
    case fs::file_type::regular:
        if ((status.permissions() & fs::perms::owner_exec) != fs::perms::none)
            e.Kind = TreeKind::Program;
        try {
            e.Data = ReadWholeFile(path.string(), kMaxTreeBytes);
        } catch (const KaveloError& err) {
            return w.Problem(path, err.Reason());
        }
        break;
    default:
        return w.Problem(path, KindProblem(status.type()));
    }
    w.Bytes += e.Data.size();
    w.Report();
    w.Out.Contents.Entries.push_back(std::move(e));
}

// The folder's own name as written, without trailing "/" ("." and ".." are
// named from the absolute path).
std::string FolderName(const std::string& folder) {
    std::error_code ec;
    fs::path p = fs::absolute(folder, ec).lexically_normal();
    if (!p.has_filename()) p = p.parent_path();
    return p.filename().string();
}

} // namespace

FolderRead ReadFolderTree(const std::string& folder, ProgressSink* progress) {
    Walk w;
    w.Progress = progress;
    if (progress) w.Total = BytesBelow(folder);
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

DropResult DropFolders(SetupProject& project, const std::vector<std::string>& folders,
                       ProgressSink* progress) {
    DropResult result;
    std::map<std::string, std::string> byName;
    std::vector<std::pair<std::string, Tree>> read;
    for (size_t k = 0; k < folders.size(); ++k) {
        const std::string& folder = folders[k];
        ShareOf share(progress, k, folders.size());
        FolderRead r = ReadFolderTree(folder, progress ? &share : nullptr);
        const std::string name = TreeProjectName(r.Contents.RootName);
        const auto [it, fresh] = byName.emplace(name, folder);
        if (!fresh)
            r.Problems.push_back(
                {folder, "\"" + it->second + "\" would get the same name \"" + name + "\""});
        for (DropProblem& p : r.Problems) {
            result.Skipped.push_back(p.Path);
            result.Problems.push_back(std::move(p));
        }
        read.emplace_back(name, std::move(r.Contents));
    }
    int fresh = 0;
    for (const auto& [name, tree] : read)
        if (project.FindFile(name) < 0) ++fresh;
    if (result.Problems.empty() && project.FileCount() + fresh > kMaxFiles)
        for (const std::string& folder : folders) {
            result.Refused.push_back(folder);
            result.Problems.push_back(
                {folder, "the setup already holds " + std::to_string(kMaxFiles) + " files"});
        }
    if (!result.Problems.empty()) return result;
    for (auto& [name, tree] : read) {
        std::string bytes = EncodeTree(std::move(tree));
        if (const int32_t k = project.FindFile(name); k >= 0) {
            project.Files[static_cast<size_t>(k)].Data = std::move(bytes);
            ++result.Replaced;
        } else {
            project.AddFile({name, std::move(bytes)});
            ++result.Added;
        }
    }
    return result;
}
