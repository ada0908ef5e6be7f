#include "project/Project.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "common/Errors.h"
#include "common/Sha256.h"
#include "package/PackageReader.h"
#include "project/ContentsBuilder.h"
#include "project/ProjectFileBytes.h"

int32_t SetupProject::FindFile(std::string_view name) const {
    for (size_t k = 0; k < Files.size(); ++k)
        if (Files[k].Name == name) return static_cast<int32_t>(k);
    return -1;
}

bool SetupProject::AddFile(ProjectFile file) {
    if (Files.size() >= static_cast<size_t>(kMaxFiles)) return false;
    Files.push_back(std::move(file));
    return true;
}

void SetupProject::RemoveFile(int32_t k) {
    if (k < 0 || k >= FileCount()) return;
    Files.erase(Files.begin() + k);
}

std::string SetupProject::JoinedSetupLines() const {
    std::string joined;
    for (int i = 0; i < kSetupLineCount; ++i) {
        if (i) joined += "\r\n";
        joined += SetupLines[i];
    }
    return joined + CodecLine(Codec);
}

void SetupProject::UnpackOtherCodec() {
    for (ProjectFile& f : Files) {
        if (!f.Packed() || !f.Record().Compressed() ||
            f.Record().Zstd() == (Codec == EntryCodec::Zstd))
            continue;
        // Decoded in pieces: a large file goes to a scratch file, not memory.
        ContentsBuilder contents;
        ReadProjectFile(Source, f, [&](const char* data, size_t n) { contents.Append({data, n}); });
        f.Data = contents.Finish();
    }
}

namespace {

// Length and modification time of an open file.
std::pair<int64_t, int64_t> LengthAndTime(const BinaryFile& file) {
    struct stat st {};
    if (::fstat(file.Fd(), &st) != 0) throw IoError(errno, file.Path());
    return {static_cast<int64_t>(st.st_size),
            static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

} // namespace

StoredIn StoredIn::Of(std::shared_ptr<const BinaryFile> file) {
    const auto [length, time] = LengthAndTime(*file);
    return {std::move(file), length, time};
}

void StoredIn::CheckUnchanged() const {
    if (!File) throw InvalidRequest("the project's files lie in no setup file");
    if (LengthAndTime(*File) != std::pair{Length, ModifiedNs})
        throw KaveloError("the setup was changed by another program after it was read",
                          File->Path());
}

bool SetupProject::ReadsFromSource() const {
    return std::any_of(Files.begin(), Files.end(),
                       [](const ProjectFile& f) { return f.InSetupFile(); });
}

void SetupProject::CheckSource() const {
    if (ReadsFromSource()) Source.CheckUnchanged();
}

EntryRecord SetupProject::LoadedRecord(const ProjectFile& file) const {
    if (!file.InSetupFile()) return file.Record();
    Source.CheckUnchanged();
    const EntryRecord& at = file.Record();
    const DirectoryEntry where{at.Flags, at.SourceOffset, at.StoredSize, at.Size, file.Name};
    EntryRecord record = ReadEntry(*Source.File, where);
    if (!file.Digest.empty() && Sha256Digest(record.Stored) != file.Digest)
        throw DamagedInput("the data of \"" + file.Name + "\" does not match its checksum",
                           Source.File->Path());
    return record;
}
