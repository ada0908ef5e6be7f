// Compressing a write's items on worker threads while the caller writes them
// in order: each item is read in pieces and its stored bytes come back in
// pieces, so memory stays bounded whatever the files' sizes. A Huffman item
// is read twice (its counts come before its first code); the first passes
// of later items run while earlier ones are coded, so the writer seldom
// waits. The workers never report or yield; the caller does both between
// pieces.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
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

    // From this size a zstd job is coded alone, with the level's whole
    // search tables (about 94 MB), for about 0.5 % fewer bytes than the
    // capped tables two compressors side by side use; a tree of an
    // application is typically such a job.
    static constexpr int64_t kWholeTablesFrom = int64_t{32} << 20;

    // Starts workers on jobs in order. A stream is kept when it is strictly
    // shorter than Size * thresholdPercent / 100 (and not empty), else the
    // item is stored raw.
    CompressionPipeline(std::vector<Job> jobs, EntryCodec codec, int32_t thresholdPercent,
                        int workers, int64_t wholeTablesFrom = kWholeTablesFrom);
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
    // A Huffman job's first pass, made before its second: the counts, the
    // stream's head and length.
    struct Plan;

    void Work();
    // Takes the next task: a job's first pass (counting) when that may run
    // ahead, else the next job's coding; false when there is none left.
    bool NextTask(size_t& k, bool& counting);
    void RunTask(size_t k, bool counting);
    // Each returns the item's flags (0: stored raw).
    uint8_t CountHuffman(size_t k);
    uint8_t CompressHuffman(size_t k);
    uint8_t CompressZstd(size_t k);
    uint8_t StoreRaw(size_t k, bool restart);
    // Job k is coded alone with the whole tables (see kWholeTablesFrom).
    bool WholeTables(size_t k) const;
    std::string_view Read(size_t k, int64_t at, std::string& buffer) const;
    // Hands a piece to the writer, waiting while job k's queue is full;
    // false when the pipeline is stopping.
    bool Put(size_t k, Piece piece);
    void End(size_t k, uint8_t flags, std::exception_ptr error);

    const std::vector<Job> jobs_;
    const EntryCodec codec_;
    const int32_t threshold_;
    const int workerCount_;
    const int64_t wholeTablesFrom_;
    std::vector<Output> out_;
    std::vector<std::unique_ptr<Plan>> plans_;
    std::mutex mutex_;
    std::condition_variable changed_;
    size_t nextJob_ = 0;       // the next job to code (or to store)
    size_t nextCount_ = 0;     // the next job to count
    int64_t countedAhead_ = 0; // contents counted of jobs not yet taken to code
    size_t current_ = 0;       // the job the writer takes pieces of
    size_t queued_ = 0;        // bytes in every Output's Pieces
    int running_ = 0;          // jobs being coded or stored
    bool alone_ = false;       // the job being coded runs alone (WholeTables)
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};
