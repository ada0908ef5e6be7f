#include "project/Project.h"

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
            f.Data = ExtractEntry(f.Record(), f.Name);
}
