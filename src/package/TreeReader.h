// A tree container (docs/tree-format.md) read as its bytes arrive, in pieces
// of any size, in bounded memory: the rules and errors of DecodeTree, each
// entry checked before any of its contents are handed on, so that a large
// tree is never held whole. Versions 1 to 3 give the same events, in the
// container's order; a version 2 or 3 tree's index (names, sizes, link
// targets: at most kMaxTreeIndex bytes) is held until its files' contents
// have come. What is said of version 2 below holds for version 3, which
// differs only in its order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "package/TreeArchive.h"

class TreeReader {
  public:
    class Events {
      public:
        virtual ~Events() = default;
        // An entry, checked: its kind, its name and, for a link, its target
        // (Data); size bytes of a file's contents follow through Contents.
        virtual void Begin(const TreeEntry& entry, uint32_t size) = 0;
        virtual void Contents(const char* data, size_t count) = 0;
    };

    // What a reader reads: the whole container, or (for a version 2 tree)
    // its index alone, every entry told without contents once the index has
    // come and been checked; a version 1 tree is read whole either way.
    enum class Reading { Whole, IndexOnly };

    // size: the container's length in bytes, all of which Add must bring
    // (up to Summary().IndexEnd() when only the index is read).
    TreeReader(uint64_t size, Events& events, Reading reading = Reading::Whole);

    // The next bytes of the container. Throws DamagedInput naming the entry.
    void Add(const char* data, size_t count);
    // Throws DamagedInput unless the container ended where it should.
    void Finish();
    // Whether what was to be read has been read: Add takes no more.
    bool Done() const { return part_ == Part::Done; }
    // The header, once Add has brought it.
    const TreeSummary& Summary() const { return summary_; }

  private:
    enum class Part { Magic, Head, RootName, RecordHead, Name, Contents, Target, Done };

    size_t Gather(const char*& data, size_t& count, size_t want);
    void Need(uint64_t n, const char* what) const;
    void HeaderRead();
    void RecordHeadRead();
    void NameRead();
    void Check();
    void EntryComplete();
    void StartNext();
    void IndexRead();
    void TellIndexed();
    size_t Want() const;

    const uint64_t size_;
    const Reading reading_;
    uint64_t at_ = 0; // bytes taken so far
    Events& events_;
    Part part_ = Part::Magic;
    std::string held_; // the part being gathered (headers, names, a link's target)
    std::string head_; // the header's first bytes, until the folder's name has come
    size_t headSize_ = 0;
    TreeSummary summary_;
    bool indexed_ = false;     // version 2
    bool inIndex_ = false;     // version 2: the records are being read
    uint64_t indexEnd_ = 0;    // version 2: where the index ends
    uint64_t fileBytes_ = 0;   // version 2: the files' contents the index claims
    uint32_t entriesRead_ = 0; // records read
    uint64_t dataRead_ = 0;
    TreeEntry entry_;
    uint32_t nameLength_ = 0;
    uint32_t dataLength_ = 0;
    uint64_t dataLeft_ = 0;
    std::string previous_;
    std::unordered_set<std::string> folders_;
    // Version 2: the entries of the index with their sizes, and the next one
    // whose contents come.
    std::vector<std::pair<TreeEntry, uint32_t>> indexEntries_;
    size_t told_ = 0;
};
