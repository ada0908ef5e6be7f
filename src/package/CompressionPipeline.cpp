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
// Contents counted ahead of the coding: little enough that they are still in
// the page cache when they are read again.
constexpr int64_t kCountAhead = int64_t{256} << 20;

// The stream is kept when strictly shorter than the limit and not empty (the
// Huffman compressor gives no stream for a single byte).
bool Pays(uint64_t streamLength, int64_t size, int32_t thresholdPercent) {
    if (streamLength == 0 && size > 0) return false;
    return static_cast<double>(streamLength) < static_cast<double>(size) * thresholdPercent / 100.0;
}

} // namespace

struct CompressionPipeline::Plan {
    HuffmanPieceEncoder Encoder;
    std::string Head;
    uint64_t Length = 0;
    bool Counted = false;
    bool Failed = false; // the first pass ended the job with an error
};

CompressionPipeline::CompressionPipeline(std::vector<Job> jobs, EntryCodec codec,
                                         int32_t thresholdPercent, int workers,
                                         int64_t wholeTablesFrom)
    : jobs_(std::move(jobs)), codec_(codec), threshold_(thresholdPercent),
      workerCount_(std::max(1, std::min<int>(workers, static_cast<int>(jobs_.size())))),
      wholeTablesFrom_(wholeTablesFrom),
      out_(jobs_.size()), plans_(codec == EntryCodec::Huffman ? jobs_.size() : 0) {
    for (auto& plan : plans_)
        plan = std::make_unique<Plan>();
    if (jobs_.empty()) return;
    for (int i = 0; i < workerCount_; ++i)
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
    size_t k;
    bool counting;
    while (NextTask(k, counting))
        RunTask(k, counting);
}

bool CompressionPipeline::NextTask(size_t& k, bool& counting) {
    const bool twoPasses = codec_ == EntryCodec::Huffman;
    std::unique_lock lock(mutex_);
    for (;;) {
        if (stopping_ || nextJob_ >= jobs_.size()) return false;
        // The job after the one being written is coded as soon as it can
        // be, so that the writer finds it ready; further ones are counted
        // ahead meanwhile, and coded once nothing is left to count. A job
        // that needs the whole tables waits until it can run alone, and
        // nothing starts beside it.
        const bool codable = (!twoPasses || plans_[nextJob_]->Counted) && !alone_ &&
                             (!WholeTables(nextJob_) || running_ == 0);
        const bool countable = twoPasses && nextCount_ < jobs_.size() &&
                               (nextCount_ == nextJob_ || countedAhead_ < kCountAhead);
        if (codable && (nextJob_ <= current_ + 1 || !countable)) {
            k = nextJob_++;
            counting = false;
            if (twoPasses) countedAhead_ -= jobs_[k].Size;
            ++running_;
            alone_ = WholeTables(k);
            return true;
        }
        if (countable) {
            k = nextCount_++;
            counting = true;
            countedAhead_ += jobs_[k].Size;
            return true;
        }
        changed_.wait(lock);
    }
}

void CompressionPipeline::RunTask(size_t k, bool counting) {
    // A coding task, however it ends, lets the next job start.
    struct Done {
        CompressionPipeline* pipeline;
        size_t k;
        ~Done() {
            if (!pipeline) return;
            {
                std::lock_guard lock(pipeline->mutex_);
                --pipeline->running_;
                if (pipeline->WholeTables(k)) pipeline->alone_ = false;
            }
            pipeline->changed_.notify_all();
        }
    } done{counting ? nullptr : this, k};
    std::exception_ptr error;
    uint8_t flags = 0;
    try {
        if (counting) {
            CountHuffman(k);
        } else if (codec_ == EntryCodec::Zstd) {
            flags = CompressZstd(k);
        } else if (!plans_[k]->Failed) {
            flags = CompressHuffman(k);
            plans_[k].reset();
        } else {
            return; // its first pass ended it
        }
    } catch (...) {
        error = std::current_exception();
    }
    if (counting && !error) {
        {
            std::lock_guard lock(mutex_);
            plans_[k]->Counted = true;
        }
        changed_.notify_all();
        return;
    }
    if (counting) {
        std::lock_guard lock(mutex_);
        plans_[k]->Counted = plans_[k]->Failed = true;
    }
    End(k, flags, error);
}

bool CompressionPipeline::WholeTables(size_t k) const {
    return codec_ == EntryCodec::Zstd && workerCount_ > 1 && jobs_[k].Size >= wholeTablesFrom_;
}

void CompressionPipeline::End(size_t k, uint8_t flags, std::exception_ptr error) {
    {
        std::lock_guard lock(mutex_);
        out_[k].Ended = true;
        out_[k].Flags = flags;
        out_[k].Error = error;
    }
    changed_.notify_all();
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
uint8_t CompressionPipeline::CountHuffman(size_t k) {
    const Job& job = jobs_[k];
    Plan& plan = *plans_[k];
    std::string buffer;
    for (int64_t at = 0; at < job.Size; at += kPiece)
        plan.Encoder.Count(Read(k, at, buffer));
    plan.Length = plan.Encoder.Plan(plan.Head);
    return 0;
}

uint8_t CompressionPipeline::CompressHuffman(size_t k) {
    const Job& job = jobs_[k];
    Plan& plan = *plans_[k];
    if (!Pays(plan.Length, job.Size, threshold_)) return StoreRaw(k, false);
    Piece head;
    head.Bytes = std::move(plan.Head);
    if (!Put(k, std::move(head))) return 0;
    std::string buffer;
    for (int64_t at = 0; at < job.Size; at += kPiece) {
        Piece piece;
        plan.Encoder.Encode(Read(k, at, buffer), piece.Bytes);
        piece.Taken = at + static_cast<int64_t>(buffer.size());
        if (!Put(k, std::move(piece))) return 0;
    }
    Piece last;
    last.Taken = job.Size;
    if (!plan.Encoder.Finish(last.Bytes))
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
    // A lone compressor (a save of one item, a large item) may use the
    // level's whole tables and still stay within the save's memory.
    writer.Begin(static_cast<unsigned long long>(job.Size), workerCount_ > 1 && !WholeTables(k));
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
