// A tree container (docs/tree-format.md) read as its bytes arrive, in pieces
// of any size, in bounded memory: the rules and errors of DecodeTree, each
// entry checked before any of its contents are handed on, so that a large
// tree is never held whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_set>

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

    // size: the container's length in bytes, all of which Add must bring.
    TreeReader(uint64_t size, Events& events);

    // The next bytes of the container. Throws DamagedInput naming the entry.
    void Add(const char* data, size_t count);
    // Throws DamagedInput unless the container ended where it should.
    void Finish();
    // The header, once Add has brought it.
    const TreeSummary& Summary() const { return summary_; }

  private:
    enum class Part { Head, RootName, RecordHead, Name, Contents, Target, Done };

    size_t Gather(const char*& data, size_t& count, size_t want);
    void Need(uint64_t n, const char* what) const;
    void HeaderRead();
    void RecordHeadRead();
    void NameRead();
    void Check();
    void EntryComplete();
    void StartNext();

    const uint64_t size_;
    uint64_t at_ = 0; // bytes taken so far
    Events& events_;
    Part part_ = Part::Head;
    std::string held_; // the part being gathered (headers, names, a link's target)
    std::string head_; // the header's first bytes, until the folder's name has come
    TreeSummary summary_;
    uint32_t entriesRead_ = 0;
    uint64_t dataRead_ = 0;
    TreeEntry entry_;
    uint32_t nameLength_ = 0;
    uint32_t dataLength_ = 0;
    uint64_t dataLeft_ = 0;
    std::string previous_;
    std::unordered_set<std::string> folders_;
};
