// Compressing a write's items on worker threads while the caller writes them
// in order: each item is read in pieces and its stored bytes come back in
// pieces, so memory stays bounded whatever the files' sizes. The workers
// never report or yield; the caller does both between pieces.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "package/ByteSource.h"
#include "package/EntryCodec.h"

class CompressionPipeline {
  public:
    // One item to compress: its contents (which must stay readable and
    // unchanged until the pipeline ends) and their length.
    struct Job {
        const ByteSource* Source = nullptr;
        int64_t Size = 0;
    };

    // What Next hands out: stored bytes that follow the ones before, or,
    // with Restart, the first stored bytes of the item again (the stream
    // did not pay, and the contents are stored raw instead).
    struct Piece {
        std::string Bytes;
        bool Restart = false;
        int64_t Taken = 0; // contents read so far for this item
    };

    // Starts workers on jobs in order. A stream is kept when it is strictly
    // shorter than Size * thresholdPercent / 100 (and not empty), else the
    // item is stored raw.
    CompressionPipeline(std::vector<Job> jobs, EntryCodec codec, int32_t thresholdPercent,
                        int workers);
    // Stops the workers (an unfinished write abandons what they make).
    ~CompressionPipeline();
    CompressionPipeline(const CompressionPipeline&) = delete;
    CompressionPipeline& operator=(const CompressionPipeline&) = delete;

    // The next piece of job k; false when job k has ended, flags then
    // telling how it was stored. Jobs are taken in order, each to its end.
    // Rethrows a worker's error (a failing read, a file that changed).
    bool Next(size_t k, Piece& piece, uint8_t& flags);

    // The workers a machine's cores allow: at least 1, at most 2.
    static int WorkersForThisMachine();

  private:
    struct Output {
        std::deque<Piece> Pieces;
        size_t Queued = 0; // bytes in Pieces
        bool Ended = false;
        uint8_t Flags = 0;
        std::exception_ptr Error;
    };

    void Work();
    // Each returns the item's flags (0: stored raw).
    uint8_t RunJob(size_t k);
    uint8_t CompressHuffman(size_t k);
    uint8_t CompressZstd(size_t k);
    uint8_t StoreRaw(size_t k, bool restart);
    std::string_view Read(size_t k, int64_t at, std::string& buffer) const;
    // Hands a piece to the writer, waiting while job k's queue is full;
    // false when the pipeline is stopping.
    bool Put(size_t k, Piece piece);

    const std::vector<Job> jobs_;
    const EntryCodec codec_;
    const int32_t threshold_;
    std::vector<Output> out_;
    std::mutex mutex_;
    std::condition_variable changed_;
    size_t nextJob_ = 0;
    size_t current_ = 0; // the job the writer takes pieces of
    size_t queued_ = 0;  // bytes in every Output's Pieces
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};
