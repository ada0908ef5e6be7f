#include "package/EntryCodec.h"

#include "package/PackageFormat.h"

std::string_view CodecName(EntryCodec codec) {
    return codec == EntryCodec::Zstd ? "zstd" : "huffman";
}

std::optional<EntryCodec> CodecNamed(std::string_view name) {
    if (name == "huffman") return EntryCodec::Huffman;
    if (name == "zstd") return EntryCodec::Zstd;
    return std::nullopt;
}

uint8_t CompressedFlags(EntryCodec codec) {
    return codec == EntryCodec::Zstd ? kFlagCompressed | kFlagZstd : kFlagCompressed;
}

std::string_view StoredForm(uint8_t flags) {
    if ((flags & kFlagCompressed) == 0) return "raw";
    return (flags & kFlagZstd) != 0 ? "zstd" : "huffman";
}
