// A tree read from its stored entry, wherever the stored bytes lie, without
// holding it whole: its header alone (its folder's name, entry count and
// data size) by decoding only the entry's first bytes, or every entry as the
// stored bytes are decoded in pieces.
#pragma once

#include "package/EntryPieces.h"
#include "package/TreeArchive.h"
#include "package/TreeReader.h"

// The header of the tree stored as stored describes, checked as DecodeTree
// checks it (its counts against the entry's size). Throws DamagedInput for a
// header that is not a tree's or a stream damaged within it; damage further
// on is not seen.
TreeSummary ReadTreeSummary(const StoredContents& stored);

// Decodes the tree and reads it as it comes, telling events, with every rule
// of DecodeTree; gives its header. Throws DamagedInput, "the tree NAME is
// damaged: why", for a damaged tree or stream.
TreeSummary ReadStoredTree(const StoredContents& stored, TreeReader::Events& events);

// What reading names, sizes and links' targets needs, read as ReadStoredTree
// reads it: of a version 2 or 3 tree only its header and index are decoded (the
// files' contents, and damage within them, are not seen), every entry told
// without contents; a version 1 tree is read whole.
TreeSummary ReadStoredTreeIndex(const StoredContents& stored, TreeReader::Events& events);

// Keeps the entries a reader tells without the files' contents (a link's
// target is kept): what checking names against a tree needs.
class TreeNameList : public TreeReader::Events {
  public:
    explicit TreeNameList(Tree& tree) : tree_(tree) {}
    void Begin(const TreeEntry& entry, uint32_t) override { tree_.Entries.push_back(entry); }
    void Contents(const char*, size_t) override {}

  private:
    Tree& tree_;
};

// ReadStoredTreeIndex keeping only the entries' kinds, names and links'
// targets, in name order.
Tree ReadStoredTreeNames(const StoredContents& stored);
