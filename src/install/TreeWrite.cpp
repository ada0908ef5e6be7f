#include "install/TreeWrite.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "common/Errors.h"
#include "install/SafeWrite.h"

namespace fs = std::filesystem;

namespace {

// The link is made under a private name beside its place and renamed over
// whatever file or link is there; a folder there is refused.
void WriteLink(const fs::path& dir, const TreeEntry& e) {
    const fs::path relative(e.Name);
    const fs::path shown = dir / relative;
    const FolderHandle folder = OpenFolderBelow(dir, relative.parent_path(), FolderWalk::Create);
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
    OpenFolderBelow(dir, {}, FolderWalk::Create);
    for (const TreeEntry& e : tree.Entries) {
        switch (e.Kind) {
        case TreeKind::Folder:
            OpenFolderBelow(dir, e.Name, FolderWalk::Create);
            break;
        case TreeKind::Link:
            WriteLink(dir, e);
            break;
        case TreeKind::File:
        case TreeKind::Program: {
            const mode_t mode = (e.Kind == TreeKind::Program ? 0755 : 0644) & ~mask;
            WriteBelow(dir, e.Name, e.Data, mode);
            break;
        }
        }
        if (written) written(e);
    }
}
