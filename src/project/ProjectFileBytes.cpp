#include "project/ProjectFileBytes.h"

#include <cstring>

#include "common/Errors.h"

namespace {

uint32_t CheckedSize(uint64_t size, const std::string& name) {
    if (size > UINT32_MAX)
        throw InvalidRequest("is larger than a package entry can be (4 GiB - 1)", name);
    return static_cast<uint32_t>(size);
}

} // namespace

ProjectFileBytes::ProjectFileBytes(const StoredIn& source, const ProjectFile& file) {
    if (file.InSetupFile()) {
        source.CheckUnchanged();
        const EntryRecord& at = file.Record();
        stored_ = StoredInSource(*source.File,
                                 {at.Flags, at.SourceOffset, at.StoredSize, at.Size, file.Name});
        if (file.Digest.empty()) return;
        digest_ = file.Digest;
        setupPath_ = source.File->Path();
        stored_.Read = [this, read = std::move(stored_.Read)](uint64_t at, char* data, size_t n) {
            read(at, data, n);
            Hash(at, data, n);
        };
    } else if (file.Packed()) {
        stored_ = StoredInRecord(file.Record(), file.Name);
    } else if (file.OnDisk()) {
        opened_ = BinaryFile::OpenRead(file.Disk().Path);
        const uint32_t size =
            CheckedSize(static_cast<uint64_t>(opened_->Length()), file.Disk().Path);
        stored_ = {0, size, size, file.Name, [this](uint64_t at, char* data, size_t n) {
                       opened_->ReadAt(static_cast<int64_t>(at), data, n);
                   }};
    } else {
        const std::string& raw = file.Raw();
        const uint32_t size = CheckedSize(raw.size(), file.Name);
        stored_ = {0, size, size, file.Name, [&raw](uint64_t at, char* data, size_t n) {
                       std::memcpy(data, raw.data() + at, n);
                   }};
    }
}

void ProjectFileBytes::Hash(uint64_t at, const char* data, size_t n) {
    if (at != next_) inOrder_ = false;
    hash_.Update({data, n});
    next_ = at + n;
}

void ProjectFileBytes::CheckDigest() {
    if (digest_.empty() || !inOrder_ || next_ != stored_.StoredSize) return;
    if (hash_.Finish() != digest_)
        throw DamagedInput("the data of \"" + stored_.Name + "\" does not match its checksum",
                           setupPath_);
}

void ReadProjectFile(const StoredIn& source, const ProjectFile& file, const ContentPieces& out) {
    ProjectFileBytes bytes(source, file);
    DecodeInPieces(bytes.Stored(), out);
    bytes.CheckDigest();
}
