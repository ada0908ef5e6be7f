#include "package/TreeReader.h"

#include <algorithm>

#include "common/BigEndian.h"
#include "common/Errors.h"

namespace {

uint16_t ShortAt(std::string_view bytes, size_t at) {
    return static_cast<uint16_t>((static_cast<unsigned char>(bytes[at]) << 8) |
                                 static_cast<unsigned char>(bytes[at + 1]));
}

} // namespace

TreeReader::TreeReader(uint64_t size, Events& events) : size_(size), events_(events) {
    Need(kTreeHeadSize, "the header");
}

void TreeReader::Need(uint64_t n, const char* what) const {
    if (n > size_ - at_) throw DamagedInput(TreeCutShort(what, n, size_ - at_));
}

// Moves bytes of data into held_ until it holds want; what it holds.
size_t TreeReader::Gather(const char*& data, size_t& count, size_t want) {
    const size_t take = std::min(count, want - std::min(want, held_.size()));
    held_.append(data, take);
    data += take;
    count -= take;
    at_ += take;
    return held_.size();
}

void TreeReader::Add(const char* data, size_t count) {
    if (count > size_ - at_)
        throw DamagedInput("the tree holds more than the " + std::to_string(size_) +
                           " bytes it was said to hold");
    for (;;) {
        if (part_ == Part::Done) return;
        if (part_ == Part::Contents) {
            const size_t take = static_cast<size_t>(std::min<uint64_t>(count, dataLeft_));
            if (take > 0) events_.Contents(data, take);
            data += take;
            count -= take;
            at_ += take;
            dataLeft_ -= take;
            if (dataLeft_ > 0) return;
            EntryComplete();
            continue;
        }
        const size_t want = part_ == Part::Head         ? kTreeHeadSize
                            : part_ == Part::RecordHead ? kTreeRecordHeadSize
                            : part_ == Part::Target     ? dataLength_
                                                        : nameLength_;
        if (Gather(data, count, want) < want) return;
        switch (part_) {
        case Part::Head:
            head_ = held_;
            nameLength_ = CheckTreeHead(head_);
            Need(nameLength_, "the folder's name");
            part_ = Part::RootName;
            break;
        case Part::RootName:
            HeaderRead();
            break;
        case Part::RecordHead:
            RecordHeadRead();
            break;
        case Part::Name:
            NameRead();
            break;
        case Part::Target:
            entry_.Data = held_;
            Check();
            EntryComplete();
            break;
        default:
            break;
        }
        held_.clear();
    }
}

void TreeReader::HeaderRead() {
    summary_ = ReadTreeHeader(head_, held_, size_ - at_);
    StartNext();
}

void TreeReader::RecordHeadRead() {
    entry_ = TreeEntry{static_cast<TreeKind>(held_[0]), {}, {}};
    nameLength_ = ShortAt(held_, 1);
    dataLength_ = CharsToLong(held_, 3);
    Need(nameLength_, "an entry's name");
    part_ = Part::Name;
}

// A file's contents go on as they come; a link's target is gathered and
// checked whole. A target too long to be one, or a folder with contents, is
// refused for its length alone, whatever its bytes (a stand-in of that
// length is checked).
void TreeReader::NameRead() {
    entry_.Name = held_;
    dataRead_ += dataLength_;
    if (dataRead_ > summary_.DataSize)
        throw DamagedInput("the entries hold more bytes than the " +
                               std::to_string(summary_.DataSize) + " the header claims",
                           entry_.Name);
    Need(dataLength_, "an entry's contents");
    if (entry_.Kind == TreeKind::Link && dataLength_ <= kMaxTreePath) {
        part_ = Part::Target;
        return;
    }
    const bool file = entry_.Kind == TreeKind::File || entry_.Kind == TreeKind::Program;
    if (!file && dataLength_ > 0)
        entry_.Data.assign(std::min<size_t>(dataLength_, kMaxTreePath + 1), 'x');
    Check();
    if (!file) return EntryComplete();
    events_.Begin(entry_, dataLength_);
    dataLeft_ = dataLength_;
    part_ = Part::Contents;
}

void TreeReader::Check() {
    const std::string why = TreeEntryProblem(entry_, previous_, entriesRead_ == 0, folders_);
    if (!why.empty()) throw DamagedInput(why, entry_.Name);
}

void TreeReader::EntryComplete() {
    if (entry_.Kind == TreeKind::Folder || entry_.Kind == TreeKind::Link) events_.Begin(entry_, 0);
    if (entry_.Kind == TreeKind::Folder) folders_.insert(entry_.Name);
    previous_ = std::move(entry_.Name);
    ++entriesRead_;
    StartNext();
}

void TreeReader::StartNext() {
    if (entriesRead_ < summary_.EntryCount) {
        Need(kTreeRecordHeadSize, "an entry");
        part_ = Part::RecordHead;
        return;
    }
    if (dataRead_ != summary_.DataSize)
        throw DamagedInput("the entries hold " + std::to_string(dataRead_) + " bytes, not the " +
                           std::to_string(summary_.DataSize) + " the header claims");
    if (at_ != size_)
        throw DamagedInput(std::to_string(size_ - at_) + " bytes follow the tree's last entry");
    part_ = Part::Done;
}

void TreeReader::Finish() {
    if (part_ != Part::Done)
        throw DamagedInput(TreeCutShort("the rest of the tree", size_ - at_, 0));
}
