#include "package/TreeArchive.h"

#include <algorithm>
#include <unordered_set>

#include "common/AsciiCase.h"
#include "common/BigEndian.h"
#include "common/Errors.h"
#include "package/TreeReader.h"

namespace {

// The header: magic and version, root name length, entry count, data size
// and, from version 2, the index's length. Writers write version 3, which is
// version 2 with its entries in an order of the writer's choosing (names
// unique rather than increasing).
constexpr std::string_view kMagic = "KVTREE";
constexpr uint16_t kVersion1 = 1;
constexpr uint16_t kVersion = 3;
constexpr size_t kRecordHead = kTreeRecordHeadSize;

std::string Short(uint16_t v) {
    return {static_cast<char>(v >> 8), static_cast<char>(v & 0xff)};
}

uint16_t ShortAt(std::string_view bytes, size_t at) {
    return static_cast<uint16_t>((static_cast<unsigned char>(bytes[at]) << 8) |
                                 static_cast<unsigned char>(bytes[at + 1]));
}

// Length of the UTF-8 sequence at s[i], or 0 when it is not a valid one
// (overlong forms, surrogates and values past U+10FFFF are not).
size_t Utf8Length(std::string_view s, size_t i) {
    const auto b = [&](size_t k) { return static_cast<unsigned char>(s[i + k]); };
    const unsigned char c = b(0);
    if (c < 0x80) return 1;
    size_t n = c >= 0xf0 && c <= 0xf4 ? 4 : c >= 0xe0 ? 3 : c >= 0xc2 && c < 0xe0 ? 2 : 0;
    if (n == 0 || c > 0xf4 || i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k)
        if ((b(k) & 0xc0) != 0x80) return 0;
    if (c == 0xe0 && b(1) < 0xa0) return 0;  // overlong
    if (c == 0xed && b(1) >= 0xa0) return 0; // surrogate
    if (c == 0xf0 && b(1) < 0x90) return 0;  // overlong
    if (c == 0xf4 && b(1) >= 0x90) return 0; // past U+10FFFF
    return n;
}

// Why text cannot be written as a name on the target (empty when it can).
std::string TextProblem(std::string_view text) {
    if (text.size() > kMaxTreePath) return "longer than " + std::to_string(kMaxTreePath) + " bytes";
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7f) return "holds a control character";
        if (c == '\\') return "holds a \"\\\", which setups read as a folder separator";
        const size_t n = Utf8Length(text, i);
        if (n == 0) return "is not valid UTF-8";
        i += n;
    }
    return {};
}

std::vector<std::string_view> Parts(std::string_view text) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (true) {
        const size_t slash = text.find('/', start);
        parts.push_back(text.substr(start, slash - start));
        if (slash == std::string_view::npos) return parts;
        start = slash + 1;
    }
}

std::string Parent(std::string_view name) {
    const size_t slash = name.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(name.substr(0, slash));
}

std::string Quoted(std::string_view name) {
    return "\"" + std::string(name) + "\"";
}

} // namespace

std::string TreeEntryProblem(const TreeEntry& e, std::string_view previous, bool first,
                             const std::unordered_set<std::string>& folders) {
    if (static_cast<uint8_t>(e.Kind) > static_cast<uint8_t>(TreeKind::Link))
        return "an entry of unknown kind " + std::to_string(static_cast<int>(e.Kind));
    if (std::string why = TreeNameProblem(e.Name); !why.empty()) return "the name " + why;
    if (!first && e.Name <= previous)
        return e.Name == previous ? "a second entry of this name" : "entries out of order";
    if (const std::string parent = Parent(e.Name); !parent.empty() && !folders.count(parent))
        return "its folder " + Quoted(parent) + " is not a folder of the tree";
    if (e.Kind == TreeKind::Folder && !e.Data.empty()) return "a folder with contents";
    if (e.Kind == TreeKind::Link) return LinkTargetProblem(e.Name, e.Data);
    return {};
}

std::string TreeCutShort(const char* what, uint64_t needs, uint64_t left) {
    return "the tree is cut short: " + std::string(what) + " needs " + std::to_string(needs) +
           " bytes, " + std::to_string(left) + " are left";
}

size_t TreeHeadSize(std::string_view magic) {
    if (magic.substr(0, kMagic.size()) != kMagic) throw DamagedInput("not a tree");
    const uint16_t v = ShortAt(magic, 6);
    if (v < kVersion1 || v > kVersion)
        throw DamagedInput("a tree of version " + std::to_string(v) + "; this program reads " +
                           "versions 1 to 3");
    return v == kVersion1 ? kTreeHeadSize : kTreeHeadSizeV2;
}

uint16_t CheckTreeHead(std::string_view head) {
    TreeHeadSize(head);
    return ShortAt(head, 8);
}

uint64_t TreeSummary::IndexEnd() const {
    return Version == kVersion1 ? UINT64_MAX : kTreeHeadSizeV2 + RootName.size() + IndexSize;
}

namespace {

// A version 2 or 3 tree's index, against the bytes left after the folder's name:
// at most kMaxTreeIndex, and there; every record takes its head and one
// byte of name; the files' contents, which follow it, are part of the data.
void CheckIndexSize(const TreeSummary& s, uint64_t left) {
    if (s.IndexSize > kMaxTreeIndex)
        throw DamagedInput("the tree claims an index of " + std::to_string(s.IndexSize) +
                           " bytes, more than the " + std::to_string(kMaxTreeIndex) + " allowed");
    if (s.IndexSize > left)
        throw DamagedInput("the tree claims an index of " + std::to_string(s.IndexSize) +
                           " bytes; only " + std::to_string(left) + " bytes follow");
    if (uint64_t{s.EntryCount} * (kRecordHead + 1) > s.IndexSize)
        throw DamagedInput("the tree claims " + std::to_string(s.EntryCount) +
                           " entries; its index of " + std::to_string(s.IndexSize) +
                           " bytes cannot hold them");
    if (left - s.IndexSize > s.DataSize)
        throw DamagedInput(std::to_string(left - s.IndexSize) + " bytes follow the tree's index; " +
                           "its entries claim " + std::to_string(s.DataSize));
}

} // namespace

TreeSummary ReadTreeHeader(std::string_view head, std::string_view rootName, uint64_t left) {
    TreeSummary s;
    s.Version = ShortAt(head, 6);
    s.EntryCount = CharsToLong(head, 10);
    s.DataSize = CharsToLong(head, 14);
    if (s.Version != kVersion1) s.IndexSize = CharsToLong(head, 18);
    s.RootName = std::string(rootName);
    if (s.RootName.empty() || s.RootName.find('/') != std::string::npos ||
        !TreeNameProblem(s.RootName).empty())
        throw DamagedInput("the tree's folder name " + Quoted(s.RootName) + " is not one name");
    if (s.EntryCount > kMaxTreeEntries)
        throw DamagedInput("the tree claims " + std::to_string(s.EntryCount) + " entries, more " +
                           "than the " + std::to_string(kMaxTreeEntries) + " allowed");
    if (s.DataSize > kMaxTreeBytes)
        throw DamagedInput("the tree claims " + std::to_string(s.DataSize) + " bytes, more than " +
                           "the " + std::to_string(kMaxTreeBytes) + " allowed");
    if (s.Version != kVersion1) {
        CheckIndexSize(s, left);
        return s;
    }
    // Every entry takes its record head and at least one byte of name.
    if (uint64_t{s.EntryCount} * (kRecordHead + 1) + s.DataSize > left)
        throw DamagedInput("the tree claims " + std::to_string(s.EntryCount) + " entries and " +
                           std::to_string(s.DataSize) + " bytes; only " + std::to_string(left) +
                           " bytes follow");
    return s;
}

namespace {

struct Cursor {
    std::string_view Bytes;
    size_t At = 0;

    size_t Left() const { return Bytes.size() - At; }
    std::string_view Take(size_t n, const char* what) {
        if (n > Left()) throw DamagedInput(TreeCutShort(what, n, Left()));
        const std::string_view part = Bytes.substr(At, n);
        At += n;
        return part;
    }
};

TreeSummary ReadHeader(Cursor& in) {
    const size_t headSize = TreeHeadSize(in.Take(kTreeMagicSize, "the header"));
    in.At = 0;
    const std::string_view head = in.Take(headSize, "the header");
    const uint16_t rootLength = CheckTreeHead(head);
    const std::string_view rootName = in.Take(rootLength, "the folder's name");
    return ReadTreeHeader(head, rootName, in.Left());
}

} // namespace

uint64_t Tree::FileCount() const {
    return static_cast<uint64_t>(std::count_if(
        Entries.begin(), Entries.end(), [](const auto& e) { return e.Kind != TreeKind::Folder; }));
}

uint64_t Tree::ContentSize() const {
    uint64_t total = 0;
    for (const TreeEntry& e : Entries)
        if (e.Kind == TreeKind::File || e.Kind == TreeKind::Program) total += e.Data.size();
    return total;
}

std::string TreeProjectName(std::string_view folderName) {
    return LowerAscii(std::string(folderName)) + std::string(kTreeSuffix);
}

std::string TreeNameProblem(std::string_view name) {
    if (std::string why = TextProblem(name); !why.empty()) return why;
    for (std::string_view part : Parts(name)) {
        if (part.empty() || part == "." || part == "..")
            return "has an empty, \".\" or \"..\" part";
        if (part.size() > kMaxTreeComponent)
            return "has a part longer than " + std::to_string(kMaxTreeComponent) + " bytes";
    }
    return {};
}

std::string LinkTargetProblem(std::string_view linkName, std::string_view target) {
    if (target.empty()) return "a link with an empty target";
    if (target.front() == '/') return "a link to the absolute path " + Quoted(target);
    if (std::string why = TextProblem(target); !why.empty()) return "the link's target " + why;
    // The kernel reads ".." after a link in the target from where that link
    // leads, so ".." may only lead the target: then every folder it climbs is
    // a real folder of the tree above the link.
    const size_t depth = Parts(linkName).size() - 1;
    size_t up = 0;
    bool named = false;
    for (std::string_view part : Parts(target)) {
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (named) return "a link whose target " + Quoted(target) + " climbs after a name";
            if (++up > depth) return "a link to " + Quoted(target) + ", outside the tree";
        } else {
            named = true;
        }
    }
    return {};
}

namespace {

bool IsFile(const TreeEntry& e) {
    return e.Kind == TreeKind::File || e.Kind == TreeKind::Program;
}

} // namespace

uint8_t TreeFileGroup(std::string_view head) {
    head = head.substr(0, kTreeHeadSample);
    static constexpr std::string_view kPacked[] = {
        "\x89PNG", "\xff\xd8\xff", "GIF8", "PK\x03\x04", "\x1f\x8b", "\xfd" "7zXZ",
        "\x28\xb5\x2f\xfd", "BZh", "wOF2", "wOFF", "OggS", "RIFF", "ID3", "fLaC"};
    if (head.starts_with("\x7f" "ELF")) return 1;
    for (const std::string_view magic : kPacked)
        if (head.starts_with(magic)) return 3;
    size_t control = 0;
    for (const char c : head) {
        if (c == '\0') return 2;
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r' &&
            c != '\f')
            ++control;
    }
    return control * 32 > head.size() ? 2 : 0;
}

namespace {

// The leaf name's extension, lower-cased ("" for none).
std::string Extension(std::string_view name) {
    const std::string_view leaf = name.substr(name.rfind('/') + 1);
    const size_t dot = leaf.rfind('.');
    return dot == std::string_view::npos || dot == 0 ? std::string()
                                                     : LowerAscii(std::string(leaf.substr(dot)));
}

// The entries' order in the container, the sizes of their data and of the
// index they take, checked in name order as DecodeTree checks them.
struct EncodePlan {
    std::vector<size_t> Order;
    uint64_t Data = 0;
    uint64_t Index = 0;
};

EncodePlan PlanEncoding(const std::string& rootName, const std::vector<TreeEntry>& entries,
                        const std::vector<uint64_t>& sizes, const std::vector<uint8_t>& groups) {
    EncodePlan plan;
    plan.Order.resize(entries.size());
    for (size_t k = 0; k < plan.Order.size(); ++k)
        plan.Order[k] = k;
    std::sort(plan.Order.begin(), plan.Order.end(),
              [&](size_t a, size_t b) { return entries[a].Name < entries[b].Name; });
    if (rootName.empty() || rootName.find('/') != std::string::npos ||
        !TreeNameProblem(rootName).empty())
        throw InvalidRequest("a tree's folder name must be one name", rootName);
    if (entries.size() > kMaxTreeEntries)
        throw InvalidRequest("more than " + std::to_string(kMaxTreeEntries) + " entries", rootName);
    std::unordered_set<std::string> folders;
    for (size_t i = 0; i < plan.Order.size(); ++i) {
        const TreeEntry& e = entries[plan.Order[i]];
        const std::string_view previous =
            i ? std::string_view(entries[plan.Order[i - 1]].Name) : "";
        if (std::string why = TreeEntryProblem(e, previous, i == 0, folders); !why.empty())
            throw InvalidRequest(why, e.Name);
        if (e.Kind == TreeKind::Folder) folders.insert(e.Name);
        plan.Data += IsFile(e) ? sizes[plan.Order[i]] : e.Data.size();
        plan.Index += kRecordHead + e.Name.size() + (IsFile(e) ? 0 : e.Data.size());
    }
    if (plan.Data > kMaxTreeBytes)
        throw InvalidRequest("more than " + std::to_string(kMaxTreeBytes) + " bytes", rootName);
    if (plan.Index > kMaxTreeIndex)
        throw InvalidRequest("the names and link targets take " + std::to_string(plan.Index) +
                                 " bytes, more than the " + std::to_string(kMaxTreeIndex) +
                                 " a tree's index holds",
                             rootName);
    // Folders first (each before what it holds), then links, then the files
    // alike together; by name within each.
    std::vector<std::pair<int, std::string>> keys(entries.size());
    for (size_t k = 0; k < entries.size(); ++k) {
        const TreeEntry& e = entries[k];
        if (!IsFile(e)) {
            keys[k] = {e.Kind == TreeKind::Folder ? 0 : 1, std::string()};
            continue;
        }
        keys[k] = {2 + (k < groups.size() ? groups[k] : 0), Extension(e.Name)};
    }
    std::stable_sort(plan.Order.begin(), plan.Order.end(),
                     [&](size_t a, size_t b) { return keys[a] < keys[b]; });
    return plan;
}

} // namespace

// Version 3: the header, the index (every record, with a link's target but
// no file's contents), then the files' contents in the index's order.
void EncodeTreeInPieces(const std::string& rootName, const std::vector<TreeEntry>& entries,
                        const std::vector<uint64_t>& sizes, const TreeFileContents& contents,
                        const TreeBytes& out, const std::vector<uint8_t>& groups) {
    const EncodePlan plan = PlanEncoding(rootName, entries, sizes, groups);
    std::string index;
    index.reserve(static_cast<size_t>(plan.Index));
    for (const size_t k : plan.Order) {
        const TreeEntry& e = entries[k];
        const uint64_t size = IsFile(e) ? sizes[k] : e.Data.size();
        index += std::string(1, static_cast<char>(e.Kind)) +
                 Short(static_cast<uint16_t>(e.Name.size())) +
                 LongToChars(static_cast<uint32_t>(size)) + e.Name +
                 (IsFile(e) ? std::string() : e.Data);
    }
    out(std::string(kMagic) + Short(kVersion) + Short(static_cast<uint16_t>(rootName.size())) +
        LongToChars(static_cast<uint32_t>(entries.size())) +
        LongToChars(static_cast<uint32_t>(plan.Data)) +
        LongToChars(static_cast<uint32_t>(plan.Index)) + rootName);
    out(index);
    for (const size_t k : plan.Order) {
        const TreeEntry& e = entries[k];
        if (!IsFile(e)) continue;
        const uint64_t size = sizes[k];
        uint64_t given = 0;
        contents(k, [&](std::string_view piece) {
            given += piece.size();
            if (given > size) return;
            out(piece);
        });
        if (given != size)
            throw InvalidRequest("gave " + std::to_string(given) + " bytes of contents, not " +
                                     std::to_string(size),
                                 e.Name);
    }
}

std::string EncodeTree(Tree tree) {
    std::vector<uint64_t> sizes;
    std::vector<uint8_t> groups;
    uint64_t data = 0;
    for (const TreeEntry& e : tree.Entries) {
        sizes.push_back(e.Data.size());
        groups.push_back(TreeFileGroup(e.Data));
        data += e.Data.size();
    }
    std::string out;
    out.reserve(kTreeHeadSizeV2 + tree.RootName.size() + data +
                tree.Entries.size() * (kRecordHead + 32));
    EncodeTreeInPieces(
        tree.RootName, tree.Entries, sizes,
        [&](size_t k, const TreeBytes& put) { put(tree.Entries[k].Data); },
        [&](std::string_view bytes) { out.append(bytes); }, groups);
    return out;
}

TreeSummary PeekTree(std::string_view bytes) {
    Cursor in{bytes};
    return ReadHeader(in);
}

namespace {

// Keeps every entry with its contents.
class WholeTree : public TreeReader::Events {
  public:
    explicit WholeTree(Tree& tree) : tree_(tree) {}
    void Begin(const TreeEntry& entry, uint32_t size) override {
        tree_.Entries.push_back(entry);
        tree_.Entries.back().Data.reserve(size); // checked against the bytes that exist
    }
    void Contents(const char* data, size_t count) override {
        tree_.Entries.back().Data.append(data, count);
    }

  private:
    Tree& tree_;
};

} // namespace

Tree DecodeTree(std::string_view bytes) {
    Tree tree;
    WholeTree whole(tree);
    TreeReader reader(bytes.size(), whole);
    reader.Add(bytes.data(), bytes.size());
    reader.Finish();
    tree.RootName = reader.Summary().RootName;
    SortTreeEntries(tree.Entries);
    return tree;
}

void SortTreeEntries(std::vector<TreeEntry>& entries) {
    std::sort(entries.begin(), entries.end(),
              [](const TreeEntry& a, const TreeEntry& b) { return a.Name < b.Name; });
}
