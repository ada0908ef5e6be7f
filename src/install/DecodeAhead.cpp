#include "install/DecodeAhead.h"

#include <algorithm>
#include <functional>
#include <optional>

#include "common/Errors.h"
#include "install/TreeIndex.h"

namespace {

// A piece gathers the decoder's output, of one entry or of many small ones,
// so that a megabyte costs one hand-over between the threads whatever the
// file sizes: on a busy machine every wait for the other thread is a turn
// lost to the scheduler.
constexpr size_t kPiece = size_t{1} << 20;
// Pieces decoded and not yet written: with one being filled and one being
// written, at most 10 MB.
constexpr size_t kQueued = 8;

} // namespace

DecodeAhead::DecodeAhead(const ByteSource& source, std::vector<DecodeItem> order, Hashing hashing)
    : source_(source), order_(std::move(order)), hashingMode_(hashing) {
    if (!order_.empty()) thread_ = std::thread([this] { Decode(); });
}

DecodeAhead::~DecodeAhead() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

DecodeAhead::Piece DecodeAhead::Fresh() {
    Piece piece;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (!spare_.empty()) {
            piece.Bytes = std::move(spare_.back());
            spare_.pop_back();
        }
    }
    piece.Bytes.clear();
    piece.Bytes.reserve(kPiece);
    return piece;
}

// Waits for room in the queue; Cancelled when the object is going away, which
// ends the entry being decoded and the thread.
void DecodeAhead::Push(Piece& piece) {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return stop_ || queue_.size() < kQueued; });
        if (stop_) throw Cancelled();
        queue_.push_back(std::move(piece));
    }
    changed_.notify_all();
    piece = Fresh();
}

DecodeAhead::Piece DecodeAhead::Pop() {
    Piece piece;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return !queue_.empty(); });
        piece = std::move(queue_.front());
        queue_.pop_front();
    }
    changed_.notify_all();
    return piece;
}

void DecodeAhead::NewPart(Piece& piece) {
    piece.Lengths.push_back(0);
    piece.Ahead.push_back(hashing_);
}

// A file begins: hashed here when the queue is at least half full, that is
// when the writing is the slower side (Huffman's decoding seldom is faster).
void DecodeAhead::StartFile(Piece& piece) {
    if (hashingMode_ == Hashing::Balanced) {
        const std::lock_guard<std::mutex> lock(mutex_);
        hashing_ = queue_.size() >= kQueued / 2;
    } else {
        hashing_ = hashingMode_ == Hashing::Ahead;
    }
    if (hashing_) hash_ = Sha256();
    NewPart(piece);
}

void DecodeAhead::EndFile(Piece& piece) {
    piece.Ends.push_back(piece.Lengths.size() - 1);
    piece.Digests.push_back(hashing_ ? hash_.FinishHex() : std::string());
}

void DecodeAhead::Append(Piece& piece, const char* data, size_t count) {
    if (hashing_) hash_.Update(std::string_view(data, count));
    while (count > 0) {
        if (piece.Bytes.size() == kPiece) {
            Push(piece);
            NewPart(piece);
        }
        const size_t take = std::min(count, kPiece - piece.Bytes.size());
        piece.Bytes.append(data, take);
        piece.Lengths.back() += take;
        data += take;
        count -= take;
    }
}

void DecodeAhead::DecodeEntry(const DirectoryEntry& entry, Piece& piece) {
    StartFile(piece);
    ExtractEntryInPieces(source_, entry,
                         [&](const char* data, size_t count) { Append(piece, data, count); });
    EndFile(piece);
}

namespace {

// Hands on the wanted files of a tree as it is read, in order.
class WantedFiles : public TreeReader::Events {
  public:
    using Wanted = std::function<bool(size_t file)>;
    using Part = std::function<void(bool first, bool last, const char* data, size_t count)>;

    WantedFiles(Wanted wanted, Part part) : wanted_(std::move(wanted)), part_(std::move(part)) {}
    void Begin(const TreeEntry&, uint32_t size) override {
        taking_ = wanted_(file_++);
        started_ = false;
        left_ = size;
        if (taking_ && size == 0) part_(true, true, nullptr, 0);
    }
    void Contents(const char* data, size_t count) override {
        if (!taking_) return;
        const bool first = !started_;
        left_ -= count;
        started_ = true;
        part_(first, left_ == 0, data, count);
    }

  private:
    Wanted wanted_;
    Part part_;
    size_t file_ = 0;
    bool taking_ = false;
    bool started_ = false;
    uint64_t left_ = 0;
};

} // namespace

// The files order_[first] and those after it that belong to the same pass
// over the same tree; gives the index after them.
size_t DecodeAhead::DecodeTreeFiles(size_t first, Piece& piece) {
    const DirectoryEntry& tree = *order_[first].Source;
    size_t end = first + 1;
    while (end < order_.size() && order_[end].Source == &tree &&
           order_[end].File != DecodeItem::kWhole && order_[end].File > order_[end - 1].File)
        ++end;
    size_t next = first;
    WantedFiles files([&](size_t file) { return next < end && order_[next].File == file; },
                      [&](bool first, bool last, const char* data, size_t count) {
                          if (first) StartFile(piece);
                          Append(piece, data, count);
                          if (!last) return;
                          EndFile(piece);
                          ++next;
                      });
    ReadTreeEntry(source_, tree, files);
    if (next != end)
        throw DamagedInput("the tree holds fewer files than when the installation was planned",
                           tree.Name);
    return end;
}

// The thread's whole life. An error goes to the installing thread after the
// pieces before it, and ends the decoding.
void DecodeAhead::Decode() {
    Piece piece = Fresh();
    try {
        try {
            for (size_t k = 0; k < order_.size();) {
                if (order_[k].File != DecodeItem::kWhole) {
                    k = DecodeTreeFiles(k, piece);
                    continue;
                }
                DecodeEntry(*order_[k].Source, piece);
                ++k;
            }
        } catch (const Cancelled&) {
            throw;
        } catch (const std::exception&) {
            piece.Error = std::current_exception();
        }
        Push(piece);
    } catch (const Cancelled&) {
        // The object is going away: nobody takes the rest.
    }
}

std::string DecodeAhead::Take(const DecodeItem& item, const ContentPieces& out) {
    if (broken_ || next_ >= order_.size() || !(order_[next_] == item))
        throw InvalidRequest("the entry is not the next one decoded",
                             item.Source ? item.Source->Name : std::string());
    broken_ = true;
    std::optional<bool> hashHere; // known at the item's first part
    Sha256 hash;
    std::string digest;
    for (;;) {
        if (part_ == current_.Lengths.size()) {
            if (current_.Error) std::rethrow_exception(current_.Error);
            {
                const std::lock_guard<std::mutex> lock(mutex_);
                spare_.push_back(std::move(current_.Bytes));
            }
            current_ = Pop();
            part_ = 0;
            offset_ = 0;
            ends_ = 0;
            continue;
        }
        const size_t length = current_.Lengths[part_];
        const std::string_view bytes(current_.Bytes.data() + offset_, length);
        if (!hashHere) hashHere = !current_.Ahead[part_];
        if (*hashHere) hash.Update(bytes);
        if (length > 0) out(bytes.data(), length);
        offset_ += length;
        const bool last = ends_ < current_.Ends.size() && current_.Ends[ends_] == part_;
        ++part_;
        if (last) {
            digest = *hashHere ? hash.FinishHex() : std::move(current_.Digests[ends_]);
            ++ends_;
            break;
        }
    }
    broken_ = false;
    ++next_;
    return digest;
}
