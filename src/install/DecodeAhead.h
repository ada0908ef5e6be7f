// Decoding ahead of writing: a thread reads and decodes the setup's entries
// and the files of its trees, in the order the installation writes them,
// into a bounded queue of pieces, while the installing thread writes them.
// Each file's SHA-256 is computed on whichever thread has the time: on the
// decoding one when the queue is at least half full as the file begins (the
// writing is the slower side), else on the installing one. The memory it holds is bounded (a few
// pieces of 1 MB and one decoder's window) whatever the sizes of the entries and trees.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/Sha256.h"
#include "package/ByteSource.h"
#include "package/PackageReader.h"

// What to decode: a whole entry, or file number File (counting every entry
// of the tree) of the tree that Source holds. The files of one tree that
// follow one another in increasing order are read in one pass.
struct DecodeItem {
    static constexpr size_t kWhole = SIZE_MAX;
    const DirectoryEntry* Source = nullptr;
    size_t File = kWhole;
    bool operator==(const DecodeItem&) const = default;
};

class DecodeAhead {
  public:
    // Which thread hashes a file: the one with the time, or always one side
    // (for tests).
    enum class Hashing { Balanced, Ahead, Behind };

    // Starts decoding order, one item after another; source and the entries
    // must outlive the object.
    DecodeAhead(const ByteSource& source, std::vector<DecodeItem> order,
                Hashing hashing = Hashing::Balanced);
    // Stops the decoding thread, wherever it stands, and waits for it.
    ~DecodeAhead();
    DecodeAhead(const DecodeAhead&) = delete;
    DecodeAhead& operator=(const DecodeAhead&) = delete;

    // Hands the contents of item, which must be the next one of the order,
    // to out in pieces of at most 1 MB; gives their SHA-256 (hexadecimal).
    // Throws what reading or decoding it threw, and what out throws; after
    // an error nothing more is taken.
    std::string Take(const DecodeItem& item, const ContentPieces& out);

  private:
    // Decoded bytes of one or more entries: part k of Bytes is Lengths[k]
    // long, and the parts listed in Ends are the last of their entries. An
    // entry's first part follows the last part of the entry before it.
    struct Piece {
        std::string Bytes;
        std::vector<size_t> Lengths;
        std::vector<char> Ahead; // for each part: its file is hashed by the decoding thread
        std::vector<size_t> Ends;
        std::vector<std::string> Digests; // one for each of Ends: hashed ahead, or empty
        std::exception_ptr Error;         // after the parts: what ended the decoding
    };

    void Decode();
    void DecodeEntry(const DirectoryEntry& entry, Piece& piece);
    size_t DecodeTreeFiles(size_t first, Piece& piece);
    void Append(Piece& piece, const char* data, size_t count);
    void StartFile(Piece& piece);
    void NewPart(Piece& piece);
    void EndFile(Piece& piece);
    void Push(Piece& piece);
    Piece Pop();
    Piece Fresh();

    const ByteSource& source_;
    const std::vector<DecodeItem> order_;
    const Hashing hashingMode_;
    // The decoding thread's: the file being decoded, when it hashes it.
    bool hashing_ = false;
    Sha256 hash_;
    // The installing thread's side: the piece it takes from, and where.
    size_t next_ = 0;     // the entry Take hands out next
    bool broken_ = false; // Take failed; the order is lost
    Piece current_;
    size_t part_ = 0, offset_ = 0, ends_ = 0;
    // Shared by the threads, under mutex_.
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Piece> queue_;
    std::vector<std::string> spare_; // pieces taken, kept for their memory
    bool stop_ = false;
    std::thread thread_;
};
