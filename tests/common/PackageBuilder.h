// Builds package bytes by hand, independently of the package writer, so tests
// can make exactly the damaged setups they need.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct RawEntry {
    std::string name;
    std::string stored;
    uint8_t flags = 0;
    int64_t unpacked = -1; // -1: the stored size
};

inline std::string BigEndian(uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
            static_cast<char>(v)};
}

inline std::string BuildSetup(const std::string& host, const std::vector<RawEntry>& entries) {
    std::string directory, names, data;
    for (const RawEntry& e : entries) {
        directory += static_cast<char>(e.flags);
        directory += BigEndian(static_cast<uint32_t>(e.name.size()));
        directory += BigEndian(static_cast<uint32_t>(e.stored.size()));
        directory +=
            BigEndian(static_cast<uint32_t>(e.unpacked < 0 ? e.stored.size() : e.unpacked));
        names += e.name;
        data += e.stored;
    }
    std::string out = host;
    out += "qkpA";
    out += BigEndian(static_cast<uint32_t>(entries.size()));
    out += BigEndian(static_cast<uint32_t>(names.size()));
    out += BigEndian(static_cast<uint32_t>(data.size()));
    out += directory + names + data;
    out += "eof" + BigEndian(static_cast<uint32_t>(host.size())) + "qkp";
    return out;
}

// The four setup files stored raw, then the user files.
inline std::vector<RawEntry> SetupEntries(const std::string& lines,
                                          std::vector<RawEntry> userFiles = {}) {
    std::vector<RawEntry> entries = {{"setup\\picture.bmp", "BMpicture"},
                                     {"setup\\script.txt", "[Create]\r\n"},
                                     {"setup\\setup.txt", lines},
                                     {"setup\\strings.txt", "one\r\n"}};
    entries.insert(entries.end(), userFiles.begin(), userFiles.end());
    return entries;
}
