// The codecs an entry can be stored with, and their names as the project,
// kavelo and the reports spell them.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

enum class EntryCodec : uint8_t {
    Huffman, // the default: a static Huffman code per file
    Zstd,    // one zstd frame per file, for smaller setups
};

// "huffman" or "zstd".
std::string_view CodecName(EntryCodec codec);
// The codec of that name (lower case, as CodecName spells it), or nullopt.
std::optional<EntryCodec> CodecNamed(std::string_view name);

// The flags byte of a compressed entry of codec.
uint8_t CompressedFlags(EntryCodec codec);

// How an entry with flags is stored, as the listing names it: "raw",
// "huffman" or "zstd".
std::string_view StoredForm(uint8_t flags);
