#include "install/TreeWrite.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "common/Errors.h"
#include "install/SafeWrite.h"

namespace fs = std::filesystem;

namespace {

// The safe writer's reason begins with the path it names; the error keeps
// the two apart.
void Check(bool ok, const std::string& why, const fs::path& path) {
    if (ok) return;
    const std::string shown = path.string() + ": ";
    throw KaveloError(why.starts_with(shown) ? why.substr(shown.size()) : why, path.string());
}

// The link is made under a private name beside its place and renamed over
// whatever file or link is there; a folder there is refused.
void WriteLink(const fs::path& dir, const TreeEntry& e) {
    const fs::path relative(e.Name);
    const fs::path shown = dir / relative;
    std::string why;
    const FolderHandle folder = OpenFolderBelow(dir, relative.parent_path(), true, why);
    Check(folder.IsOpen(), why, shown);
    const std::string name = relative.filename().string();
    if (const auto st = StatIn(folder, name); st && S_ISDIR(st->st_mode))
        throw KaveloError("a folder is in the way of the link", shown.string());
    const std::string temp = PrivateName("link");
    if (::symlinkat(e.Data.c_str(), folder.Get(), temp.c_str()) != 0)
        throw IoError(errno, shown.string(), "cannot make the link");
    if (::renameat(folder.Get(), temp.c_str(), folder.Get(), name.c_str()) != 0) {
        const int err = errno;
        ::unlinkat(folder.Get(), temp.c_str(), 0);
        throw IoError(err, shown.string(), "cannot put the link in place");
    }
}

} // namespace

void WriteTreeBelow(const fs::path& dir, const Tree& tree, const TreeWritten& written) {
    const mode_t mask = CurrentUmask();
    std::string why;
    Check(OpenFolderBelow(dir, {}, true, why).IsOpen(), why, dir);
    for (const TreeEntry& e : tree.Entries) {
        switch (e.Kind) {
        case TreeKind::Folder:
            Check(OpenFolderBelow(dir, e.Name, true, why).IsOpen(), why, dir / e.Name);
            break;
        case TreeKind::Link:
            WriteLink(dir, e);
            break;
        case TreeKind::File:
        case TreeKind::Program: {
            const mode_t mode = (e.Kind == TreeKind::Program ? 0755 : 0644) & ~mask;
            Check(WriteBelow(dir, e.Name, e.Data, mode, why), why, dir / e.Name);
            break;
        }
        }
        if (written) written(e);
    }
}
