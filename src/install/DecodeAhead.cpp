#include "install/DecodeAhead.h"

#include <algorithm>

#include "common/Errors.h"

namespace {

constexpr size_t kPiece = size_t{1} << 20;
// Pieces decoded and not yet written: with one being filled and one being
// written, at most 10 MB.
constexpr size_t kQueued = 8;

} // namespace

DecodeAhead::DecodeAhead(const ByteSource& source, std::vector<const DirectoryEntry*> order)
    : source_(source), order_(std::move(order)) {
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

std::string DecodeAhead::Spare() {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (spare_.empty()) return {};
    std::string bytes = std::move(spare_.back());
    spare_.pop_back();
    bytes.clear();
    return bytes;
}

// Waits for room in the queue; Cancelled when the object is going away, which
// ends the entry being decoded and the thread.
void DecodeAhead::Push(Piece piece) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return stop_ || queue_.size() < kQueued; });
    if (stop_) throw Cancelled();
    queue_.push_back(std::move(piece));
    changed_.notify_all();
}

DecodeAhead::Piece DecodeAhead::Pop() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return !queue_.empty(); });
    Piece piece = std::move(queue_.front());
    queue_.pop_front();
    changed_.notify_all();
    return piece;
}

// The decoder's pieces (up to 1 MB raw, 128 KB from zstd) gathered into
// pieces of 1 MB, so that a piece costs one hand-over.
void DecodeAhead::DecodeEntry(const DirectoryEntry& entry) {
    std::string piece = Spare();
    piece.reserve(kPiece);
    ExtractEntryInPieces(source_, entry, [&](const char* data, size_t count) {
        while (count > 0) {
            const size_t take = std::min(count, kPiece - piece.size());
            piece.append(data, take);
            data += take;
            count -= take;
            if (piece.size() == kPiece) {
                Push({std::move(piece), false, {}});
                piece = Spare();
                piece.reserve(kPiece);
            }
        }
    });
    Push({std::move(piece), true, {}});
}

// The thread's whole life: its errors go to the installing thread, which
// reports them; after one it stops.
void DecodeAhead::Decode() {
    for (const DirectoryEntry* entry : order_) {
        try {
            DecodeEntry(*entry);
        } catch (const Cancelled&) {
            return;
        } catch (const std::exception&) {
            try {
                Push({{}, true, std::current_exception()});
            } catch (const Cancelled&) {
            }
            return;
        }
    }
}

void DecodeAhead::Take(const DirectoryEntry& entry, const ContentPieces& out) {
    if (broken_ || next_ >= order_.size() || order_[next_] != &entry)
        throw InvalidRequest("the entry is not the next one decoded", entry.Name);
    broken_ = true;
    for (;;) {
        Piece piece = Pop();
        if (piece.Error) std::rethrow_exception(piece.Error);
        if (!piece.Bytes.empty()) out(piece.Bytes.data(), piece.Bytes.size());
        const bool last = piece.Last;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            spare_.push_back(std::move(piece.Bytes));
        }
        if (last) break;
    }
    broken_ = false;
    ++next_;
}
