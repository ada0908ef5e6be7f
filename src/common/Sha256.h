// SHA-256: the package's checksums, and the manifest's record of every file
// an installation writes (uninstalling and upgrading tell a file changed
// since by its hash). Uses the processor's SHA instructions where it has
// them, with the same results.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class Sha256 {
  public:
    // Which code computes the blocks: the SHA instructions where the
    // processor has them (Best), or the portable code everywhere (tests
    // compare the two).
    enum class Engine { Best, Portable };

    explicit Sha256(Engine engine = Engine::Best);
    void Update(std::string_view bytes);
    // The digest as 32 bytes; the object is spent.
    std::string Finish();
    // The digest as 64 lower-case hexadecimal digits; the object is spent.
    std::string FinishHex();

  private:
    void Blocks(const uint8_t* data, size_t count);

    Engine engine_;
    std::array<uint32_t, 8> state_;
    std::array<uint8_t, 64> buffer_{};
    size_t buffered_ = 0;
    uint64_t length_ = 0;
};

// The SHA-256 of bytes: 32 bytes, or 64 hexadecimal digits.
std::string Sha256Digest(std::string_view bytes);
std::string Sha256Hex(std::string_view bytes, Sha256::Engine engine = Sha256::Engine::Best);
