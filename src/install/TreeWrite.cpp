#include "install/TreeWrite.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "common/Errors.h"

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

TreeUnpacker::TreeUnpacker(fs::path dir, TreeWritten written)
    : dir_(std::move(dir)), written_(std::move(written)), mask_(CurrentUmask()) {
    OpenFolderBelow(dir_, {}, FolderWalk::Create);
}

TreeUnpacker::~TreeUnpacker() {
    // A file cut short by an error leaves no temporary file behind.
    if (file_.IsOpen()) ::unlinkat(folder_.Get(), temp_.c_str(), 0);
}

void TreeUnpacker::Begin(const TreeEntry& e, uint32_t size) {
    switch (e.Kind) {
    case TreeKind::Folder:
        OpenFolderBelow(dir_, e.Name, FolderWalk::Create);
        break;
    case TreeKind::Link:
        WriteLink(dir_, e);
        break;
    case TreeKind::File:
    case TreeKind::Program: {
        const fs::path relative(e.Name);
        entry_ = e;
        folder_ = OpenFolderBelow(dir_, relative.parent_path(), FolderWalk::Create);
        shown_ = (dir_ / relative).string();
        temp_ = PrivateName("part");
        file_ = CreateFileIn(folder_, temp_, shown_);
        left_ = size;
        if (left_ == 0) FileDone();
        return;
    }
    }
    if (written_) written_(e);
}

void TreeUnpacker::Contents(const char* data, size_t count) {
    WriteAll(file_.Get(), {data, count}, shown_);
    left_ -= count;
    if (left_ == 0) FileDone();
}

void TreeUnpacker::FileDone() {
    const mode_t mode = (entry_.Kind == TreeKind::Program ? 0755 : 0644) & ~mask_;
    FinishFile(folder_, temp_, file_, mode, shown_);
    RenameIntoPlace(folder_, temp_, fs::path(entry_.Name).filename().string(), shown_);
    if (written_) written_(entry_);
}
