#include "project/ProjectTrees.h"

#include <cstring>
#include <optional>

#include "common/Errors.h"
#include "common/Sha256.h"
#include "package/BinaryFile.h"
#include "package/StoredTree.h"

namespace {

uint32_t CheckedSize(uint64_t size, const std::string& name) {
    if (size > UINT32_MAX)
        throw InvalidRequest("is larger than a package entry can be (4 GiB - 1)", name);
    return static_cast<uint32_t>(size);
}

// Where file's bytes are read from; a file on disk is opened into opened,
// which must outlive the result.
StoredContents Stored(const StoredIn& source, const ProjectFile& file,
                      std::optional<BinaryFile>& opened) {
    if (file.InSetupFile()) {
        source.CheckUnchanged();
        const EntryRecord& at = file.Record();
        return StoredInSource(*source.File,
                              {at.Flags, at.SourceOffset, at.StoredSize, at.Size, file.Name});
    }
    if (file.Packed()) return StoredInRecord(file.Record(), file.Name);
    if (file.OnDisk()) {
        opened = BinaryFile::OpenRead(file.Disk().Path);
        const uint32_t size =
            CheckedSize(static_cast<uint64_t>(opened->Length()), file.Disk().Path);
        return {0, size, size, file.Name, [&opened](uint64_t at, char* data, size_t n) {
                    opened->ReadAt(static_cast<int64_t>(at), data, n);
                }};
    }
    const std::string& raw = file.Raw();
    const uint32_t size = CheckedSize(raw.size(), file.Name);
    return {0, size, size, file.Name,
            [&raw](uint64_t at, char* data, size_t n) { std::memcpy(data, raw.data() + at, n); }};
}

// The stored bytes' SHA-256 as they are read in order, for a tree whose
// setup names one.
class DigestCheck {
  public:
    DigestCheck(StoredContents& stored, const ProjectFile& file, const StoredIn& source)
        : expected_(file.InSetupFile() ? file.Digest : std::string()), name_(file.Name),
          size_(stored.StoredSize) {
        if (expected_.empty()) return;
        path_ = source.File->Path();
        stored.Read = [this, read = std::move(stored.Read)](uint64_t at, char* data, size_t n) {
            read(at, data, n);
            if (at != next_) inOrder_ = false;
            hash_.Update({data, n});
            next_ = at + n;
        };
    }
    void Finish() {
        if (expected_.empty() || !inOrder_ || next_ != size_) return;
        if (hash_.Finish() != expected_)
            throw DamagedInput("the data of \"" + name_ + "\" does not match its checksum", path_);
    }

  private:
    std::string expected_, name_, path_;
    uint64_t size_;
    Sha256 hash_;
    uint64_t next_ = 0;
    bool inOrder_ = true;
};

} // namespace

TreeSummary ReadProjectTreeSummary(const StoredIn& source, const ProjectFile& file) {
    std::optional<BinaryFile> opened;
    return ReadTreeSummary(Stored(source, file, opened));
}

TreeSummary ReadProjectTree(const StoredIn& source, const ProjectFile& file,
                            TreeReader::Events& events) {
    std::optional<BinaryFile> opened;
    StoredContents stored = Stored(source, file, opened);
    DigestCheck digest(stored, file, source);
    const TreeSummary summary = ReadStoredTree(stored, events);
    digest.Finish();
    return summary;
}

Tree ReadProjectTreeNames(const StoredIn& source, const ProjectFile& file) {
    Tree tree;
    TreeNameList names(tree);
    tree.RootName = ReadProjectTree(source, file, names).RootName;
    return tree;
}
