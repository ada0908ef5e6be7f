#include "package/CompressionPipeline.h"

#include <algorithm>

#include "common/Errors.h"
#include "huffman/Huffman.h"
#include "zstd/ZstdCompress.h"

namespace {

// Contents are read in pieces of this size.
constexpr int64_t kPiece = 1 << 20;
// Stored bytes waiting for the writer: per item, and in all for the items
// after the one being written.
constexpr size_t kItemQueue = 8 << 20;
constexpr size_t kAllQueued = 16 << 20;

// The stream is kept when strictly shorter than the limit and not empty (the
// Huffman compressor gives no stream for a single byte).
bool Pays(uint64_t streamLength, int64_t size, int32_t thresholdPercent) {
    if (streamLength == 0 && size > 0) return false;
    return static_cast<double>(streamLength) < static_cast<double>(size) * thresholdPercent / 100.0;
}

} // namespace

CompressionPipeline::CompressionPipeline(std::vector<Job> jobs, EntryCodec codec,
                                         int32_t thresholdPercent, int workers)
    : jobs_(std::move(jobs)), codec_(codec), threshold_(thresholdPercent), out_(jobs_.size()) {
    const int count = std::max(1, std::min<int>(workers, static_cast<int>(jobs_.size())));
    if (jobs_.empty()) return;
    for (int i = 0; i < count; ++i)
        workers_.emplace_back([this] { Work(); });
}

CompressionPipeline::~CompressionPipeline() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& t : workers_)
        t.join();
}

int CompressionPipeline::WorkersForThisMachine() {
    return std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, 2);
}

bool CompressionPipeline::Next(size_t k, Piece& piece, uint8_t& flags) {
    std::unique_lock lock(mutex_);
    if (current_ != k) {
        current_ = k;
        changed_.notify_all();
    }
    Output& o = out_.at(k);
    changed_.wait(lock, [&] { return o.Error || !o.Pieces.empty() || o.Ended; });
    if (o.Error) std::rethrow_exception(o.Error);
    if (o.Pieces.empty()) {
        flags = o.Flags;
        return false;
    }
    piece = std::move(o.Pieces.front());
    o.Pieces.pop_front();
    o.Queued -= piece.Bytes.size();
    queued_ -= piece.Bytes.size();
    lock.unlock();
    changed_.notify_all();
    return true;
}

bool CompressionPipeline::Put(size_t k, Piece piece) {
    std::unique_lock lock(mutex_);
    Output& o = out_[k];
    changed_.wait(lock, [&] {
        return stopping_ || (o.Queued < kItemQueue && (k == current_ || queued_ < kAllQueued));
    });
    if (stopping_) return false;
    o.Queued += piece.Bytes.size();
    queued_ += piece.Bytes.size();
    o.Pieces.push_back(std::move(piece));
    lock.unlock();
    changed_.notify_all();
    return true;
}

void CompressionPipeline::Work() {
    for (;;) {
        size_t k;
        {
            std::lock_guard lock(mutex_);
            if (stopping_ || nextJob_ >= jobs_.size()) return;
            k = nextJob_++;
        }
        std::exception_ptr error;
        uint8_t flags = 0;
        try {
            flags = RunJob(k);
        } catch (...) {
            error = std::current_exception();
        }
        {
            std::lock_guard lock(mutex_);
            out_[k].Ended = true;
            out_[k].Flags = flags;
            out_[k].Error = error;
        }
        changed_.notify_all();
    }
}

uint8_t CompressionPipeline::RunJob(size_t k) {
    if (codec_ == EntryCodec::Zstd) return CompressZstd(k);
    return CompressHuffman(k);
}

// Reads piece number `at / kPiece` of job k into buffer.
std::string_view CompressionPipeline::Read(size_t k, int64_t at, std::string& buffer) const {
    const Job& job = jobs_[k];
    buffer.resize(static_cast<size_t>(std::min(kPiece, job.Size - at)));
    job.Source->ReadAt(at, buffer.data(), buffer.size());
    return buffer;
}

// Huffman needs the counts of the whole contents before the first code: one
// pass counts, a second codes. The stream's length is known after the first,
// so contents that do not pay are never coded.
uint8_t CompressionPipeline::CompressHuffman(size_t k) {
    const Job& job = jobs_[k];
    HuffmanPieceEncoder encoder;
    std::string buffer;
    for (int64_t at = 0; at < job.Size; at += kPiece)
        encoder.Count(Read(k, at, buffer));
    Piece head;
    const uint64_t length = encoder.Plan(head.Bytes);
    if (!Pays(length, job.Size, threshold_)) return StoreRaw(k, false);
    if (!Put(k, std::move(head))) return 0;
    for (int64_t at = 0; at < job.Size; at += kPiece) {
        Piece piece;
        encoder.Encode(Read(k, at, buffer), piece.Bytes);
        piece.Taken = at + static_cast<int64_t>(buffer.size());
        if (!Put(k, std::move(piece))) return 0;
    }
    Piece last;
    last.Taken = job.Size;
    if (!encoder.Finish(last.Bytes))
        throw KaveloError("the file changed while it was read", job.Source->Name());
    Put(k, std::move(last));
    return CompressedFlags(EntryCodec::Huffman);
}

// A zstd frame is made as the contents are read; when it grows past what
// pays, the item starts again raw.
uint8_t CompressionPipeline::CompressZstd(size_t k) {
    const Job& job = jobs_[k];
    const double limit = static_cast<double>(job.Size) * threshold_ / 100.0;
    ZstdFrameWriter writer;
    writer.Begin(static_cast<unsigned long long>(job.Size));
    std::string buffer;
    uint64_t made = 0;
    for (int64_t at = 0; at < job.Size; at += kPiece) {
        Piece piece;
        writer.Add(Read(k, at, buffer), piece.Bytes);
        piece.Taken = at + static_cast<int64_t>(buffer.size());
        made += piece.Bytes.size();
        if (static_cast<double>(made) >= limit) return StoreRaw(k, true);
        if (!piece.Bytes.empty() && !Put(k, std::move(piece))) return 0;
    }
    Piece last;
    writer.Finish(last.Bytes);
    last.Taken = job.Size;
    made += last.Bytes.size();
    if (!Pays(made, job.Size, threshold_)) return StoreRaw(k, true);
    Put(k, std::move(last));
    return CompressedFlags(EntryCodec::Zstd);
}

uint8_t CompressionPipeline::StoreRaw(size_t k, bool restart) {
    const Job& job = jobs_[k];
    if (restart && job.Size == 0) {
        Put(k, Piece{{}, true, 0});
        return 0;
    }
    for (int64_t at = 0; at < job.Size; at += kPiece) {
        Piece piece;
        Read(k, at, piece.Bytes);
        piece.Restart = restart && at == 0;
        piece.Taken = at + static_cast<int64_t>(piece.Bytes.size());
        if (!Put(k, std::move(piece))) return 0;
    }
    return 0;
}
