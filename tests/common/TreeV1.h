// A tree container of version 1 (each file's contents right after its
// name), which programs no longer write but still read: written by hand, for
// the tests that pin that reading.
#pragma once

#include <algorithm>
#include <string>

#include "common/BigEndian.h"
#include "package/TreeArchive.h"

// One version 1 record: kind, name length, data length, name, data.
inline std::string TreeRecordV1(TreeKind kind, const std::string& name, const std::string& data) {
    return std::string(1, static_cast<char>(kind)) +
           LongToChars(static_cast<uint32_t>(name.size())).substr(2) +
           LongToChars(static_cast<uint32_t>(data.size())) + name + data;
}

// The tree's entries in name order, unchecked.
inline std::string EncodeTreeV1(Tree tree) {
    std::sort(tree.Entries.begin(), tree.Entries.end(),
              [](const TreeEntry& a, const TreeEntry& b) { return a.Name < b.Name; });
    std::string records;
    uint32_t data = 0;
    for (const TreeEntry& e : tree.Entries) {
        records += TreeRecordV1(e.Kind, e.Name, e.Data);
        data += static_cast<uint32_t>(e.Data.size());
    }
    return "KVTREE" + std::string("\0\1", 2) +
           LongToChars(static_cast<uint32_t>(tree.RootName.size())).substr(2) +
           LongToChars(static_cast<uint32_t>(tree.Entries.size())) + LongToChars(data) +
           tree.RootName + records;
}
