#include "project/Project.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "common/Errors.h"
#include "package/BinaryFile.h"
#include "package/PackageReader.h"

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

void SetupProject::ChangeCodec(EntryCodec codec) {
    if (codec == Codec) return;
    Codec = codec;
    for (ProjectFile& f : Files)
        if (f.Packed() && f.Record().Compressed() &&
            f.Record().Zstd() != (codec == EntryCodec::Zstd))
            f.Data = ExtractEntry(LoadedRecord(f), f.Name);
}

StoredIn StoredIn::Now(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) throw IoError(errno, path);
    return {path, static_cast<int64_t>(st.st_size),
            static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

void SetupProject::CheckSource() const {
    if (std::none_of(Files.begin(), Files.end(),
                     [](const ProjectFile& f) { return f.InSetupFile(); }))
        return;
    if (StoredIn::Now(Source.Path) != Source)
        throw KaveloError("the setup was changed by another program after it was opened",
                          Source.Path);
}

EntryRecord SetupProject::LoadedRecord(const ProjectFile& file) const {
    if (!file.InSetupFile()) return file.Record();
    CheckSource();
    EntryRecord record = file.Record();
    DirectoryEntry where{record.Flags, record.SourceOffset, record.StoredSize, record.Size, file.Name};
    record = ReadEntry(BinaryFile::OpenRead(Source.Path), where);
    return record;
}
