#include "package/TreeReader.h"

#include <algorithm>

#include "common/BigEndian.h"
#include "common/Errors.h"

namespace {

uint16_t ShortAt(std::string_view bytes, size_t at) {
    return static_cast<uint16_t>((static_cast<unsigned char>(bytes[at]) << 8) |
                                 static_cast<unsigned char>(bytes[at + 1]));
}

bool IsFile(const TreeEntry& e) {
    return e.Kind == TreeKind::File || e.Kind == TreeKind::Program;
}

} // namespace

TreeReader::TreeReader(uint64_t size, Events& events, Reading reading)
    : size_(size), reading_(reading), events_(events) {
    Need(kTreeHeadSize, "the header");
}

// Within a version 2 tree's index, its records must fit in it.
void TreeReader::Need(uint64_t n, const char* what) const {
    const uint64_t end = inIndex_ ? indexEnd_ : size_;
    if (n <= end - at_) return;
    if (inIndex_)
        throw DamagedInput("the tree's index is cut short: " + std::string(what) + " needs " +
                           std::to_string(n) + " bytes, " + std::to_string(end - at_) +
                           " are left");
    throw DamagedInput(TreeCutShort(what, n, end - at_));
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

size_t TreeReader::Want() const {
    switch (part_) {
    case Part::Magic:
        return kTreeMagicSize;
    case Part::Head:
        return headSize_;
    case Part::RecordHead:
        return kTreeRecordHeadSize;
    case Part::Target:
        return dataLength_;
    default:
        return nameLength_;
    }
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
            if (!indexed_) {
                EntryComplete();
                continue;
            }
            ++told_;
            TellIndexed();
            continue;
        }
        const size_t want = Want();
        if (Gather(data, count, want) < want) return;
        switch (part_) {
        case Part::Magic:
            headSize_ = TreeHeadSize(held_);
            Need(headSize_ - kTreeMagicSize, "the header");
            part_ = Part::Head;
            continue; // the header gathers on after its magic
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
    if (summary_.Version != 1) {
        indexed_ = inIndex_ = true;
        indexEnd_ = at_ + summary_.IndexSize; // checked against the bytes left
    }
    StartNext();
}

void TreeReader::RecordHeadRead() {
    entry_ = TreeEntry{static_cast<TreeKind>(held_[0]), {}, {}};
    nameLength_ = ShortAt(held_, 1);
    dataLength_ = CharsToLong(held_, 3);
    Need(nameLength_, "an entry's name");
    part_ = Part::Name;
}

// A file's contents go on as they come (in version 2, after the index); a
// link's target is gathered and checked whole. A target too long to be one,
// or a folder with contents, is refused for its length alone, whatever its
// bytes (a stand-in of that length is checked).
void TreeReader::NameRead() {
    entry_.Name = held_;
    dataRead_ += dataLength_;
    if (dataRead_ > summary_.DataSize)
        throw DamagedInput("the entries hold more bytes than the " +
                               std::to_string(summary_.DataSize) + " the header claims",
                           entry_.Name);
    const bool file = IsFile(entry_);
    if (indexed_ && file) {
        fileBytes_ += dataLength_;
        if (fileBytes_ > size_ - indexEnd_)
            throw DamagedInput("the files' contents take more than the " +
                                   std::to_string(size_ - indexEnd_) +
                                   " bytes that follow the tree's index",
                               entry_.Name);
    } else {
        Need(dataLength_, "an entry's contents");
    }
    if (entry_.Kind == TreeKind::Link && dataLength_ <= kMaxTreePath) {
        part_ = Part::Target;
        return;
    }
    if (!file && dataLength_ > 0)
        entry_.Data.assign(std::min<size_t>(dataLength_, kMaxTreePath + 1), 'x');
    Check();
    if (!file || indexed_) return EntryComplete();
    events_.Begin(entry_, dataLength_);
    dataLeft_ = dataLength_;
    part_ = Part::Contents;
}

// A version 3 tree's names are in the writer's order: they are checked to
// be unique once the index has been read.
void TreeReader::Check() {
    const bool unordered = entriesRead_ == 0 || summary_.Version >= 3;
    const std::string why = TreeEntryProblem(entry_, previous_, unordered, folders_);
    if (!why.empty()) throw DamagedInput(why, entry_.Name);
}

// An entry read whole but for a version 1 file's contents: told now
// (version 1), or kept until the index has been read (version 2).
void TreeReader::EntryComplete() {
    if (entry_.Kind == TreeKind::Folder) folders_.insert(entry_.Name);
    previous_ = entry_.Name;
    if (indexed_) {
        const uint32_t size = IsFile(entry_) ? dataLength_ : 0;
        indexEntries_.emplace_back(std::move(entry_), size);
    } else if (!IsFile(entry_)) {
        events_.Begin(entry_, 0);
    }
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
    if (indexed_) return IndexRead();
    if (at_ != size_)
        throw DamagedInput(std::to_string(size_ - at_) + " bytes follow the tree's last entry");
    part_ = Part::Done;
}

// Versions 2 and 3: every record has been read. The index holds them exactly, and
// the files' contents take every byte after it.
void TreeReader::IndexRead() {
    if (at_ != indexEnd_)
        throw DamagedInput(std::to_string(indexEnd_ - at_) +
                           " bytes of the tree's index follow its last entry");
    inIndex_ = false;
    if (fileBytes_ != size_ - indexEnd_)
        throw DamagedInput("the files' contents take " + std::to_string(fileBytes_) + " bytes; " +
                           std::to_string(size_ - indexEnd_) + " follow the tree's index");
    if (summary_.Version >= 3) {
        std::vector<uint32_t> byName(indexEntries_.size());
        for (uint32_t k = 0; k < byName.size(); ++k)
            byName[k] = k;
        const auto name = [&](uint32_t k) -> const std::string& {
            return indexEntries_[k].first.Name;
        };
        std::sort(byName.begin(), byName.end(),
                  [&](uint32_t a, uint32_t b) { return name(a) < name(b); });
        const auto twice = std::adjacent_find(
            byName.begin(), byName.end(), [&](uint32_t a, uint32_t b) { return name(a) == name(b); });
        if (twice != byName.end())
            throw DamagedInput("a second entry of this name", name(*twice));
    }
    if (reading_ == Reading::IndexOnly) {
        for (const auto& [entry, size] : indexEntries_)
            events_.Begin(entry, size);
        indexEntries_ = {};
        part_ = Part::Done;
        return;
    }
    TellIndexed();
}

// Versions 2 and 3: tells the entries from told_ on, up to a file whose contents
// come next.
void TreeReader::TellIndexed() {
    for (; told_ < indexEntries_.size(); ++told_) {
        const auto& [entry, size] = indexEntries_[told_];
        events_.Begin(entry, size);
        if (size > 0) {
            dataLeft_ = size;
            part_ = Part::Contents;
            return;
        }
    }
    indexEntries_ = {};
    part_ = Part::Done;
}

void TreeReader::Finish() {
    if (part_ != Part::Done)
        throw DamagedInput(TreeCutShort("the rest of the tree", size_ - at_, 0));
}
