// Helpers for the package tests: a scratch folder per test, whole-file reads
// and writes, hex byte strings and packages assembled by hand.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/BigEndian.h"
#include "common/Sha256.h"

namespace pkgtest {

class ScratchDir {
  public:
    ScratchDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "kavelo_package_XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// "00 0A ff" -> the three bytes; spaces and '|' are ignored.
inline std::string FromHex(const std::string& hex) {
    std::string bytes;
    int high = -1;
    for (char c : hex) {
        int v;
        if (c >= '0' && c <= '9')
            v = c - '0';
        else if (c >= 'a' && c <= 'f')
            v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            v = c - 'A' + 10;
        else
            continue;
        if (high < 0) {
            high = v;
        } else {
            bytes += static_cast<char>(high * 16 + v);
            high = -1;
        }
    }
    return bytes;
}

// One entry of a package built by hand.
struct ModelEntry {
    std::string name;
    std::string stored;
    uint8_t flags = 0;
    uint32_t uncompressed = 0;
};

// The checksum block of a package whose header, directory and names are
// head and whose data blocks are stored, laid out by hand.
inline std::string ModelChecksumBlock(const std::string& head,
                                      const std::vector<std::string>& stored) {
    std::string block =
        "qkpS" + LongToChars(static_cast<uint32_t>(stored.size())) + Sha256Digest(head);
    for (const std::string& s : stored)
        block += Sha256Digest(s);
    return block + LongToChars(static_cast<uint32_t>(48 + 32 * stored.size())) + "qkpS";
}

// The bytes of a package at P holding entries, followed directly by its
// trailer, or with checksums by its checksum block and the trailer.
inline std::string ModelPackage(const std::vector<ModelEntry>& entries, uint32_t P,
                                bool checksums = false) {
    std::string directory, names, data;
    for (const ModelEntry& e : entries) {
        directory += static_cast<char>(e.flags);
        directory += LongToChars(static_cast<uint32_t>(e.name.size()));
        directory += LongToChars(static_cast<uint32_t>(e.stored.size()));
        directory += LongToChars(e.uncompressed);
        names += e.name;
        data += e.stored;
    }
    std::string package = "qkpA";
    package += LongToChars(static_cast<uint32_t>(entries.size()));
    package += LongToChars(static_cast<uint32_t>(names.size()));
    package += LongToChars(static_cast<uint32_t>(data.size()));
    package += directory + names;
    std::string block;
    if (checksums) {
        std::vector<std::string> stored;
        for (const ModelEntry& e : entries)
            stored.push_back(e.stored);
        block = ModelChecksumBlock(package, stored);
    }
    return package + data + block + "eof" + LongToChars(P) + "qkp";
}

// A raw entry whose uncompressed size is its length.
inline ModelEntry Raw(const std::string& name, const std::string& contents) {
    return {name, contents, 0, static_cast<uint32_t>(contents.size())};
}

} // namespace pkgtest
