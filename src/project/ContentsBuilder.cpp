#include "project/ContentsBuilder.h"

#include "common/WholeFile.h"

void ContentsBuilder::Append(std::string_view bytes) {
    if (!scratch_ && held_.size() + bytes.size() <= kHeldInMemory) {
        held_.append(bytes);
        return;
    }
    if (!scratch_) {
        scratch_ = std::make_shared<ScratchFile>();
        scratch_->Append(held_);
        std::string().swap(held_);
    }
    scratch_->Append(bytes);
}

std::variant<std::string, EntryRecord, FileOnDisk> ContentsBuilder::Finish() {
    if (!scratch_) return std::move(held_);
    const FileStamp stamp = CheckReadableFile(scratch_->Path());
    return FileOnDisk{scratch_->Path(), stamp.Size, stamp.ModifiedNs, std::move(scratch_)};
}
