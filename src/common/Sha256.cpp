#include "common/Sha256.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define KAVELO_SHA_X86 1
#endif

namespace {

constexpr std::array<uint32_t, 64> kRound = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

inline uint32_t Rotr(uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}

void PortableBlocks(uint32_t* state, const uint8_t* data, size_t count) {
    for (; count > 0; --count, data += 64) {
        uint32_t w[64];
        for (int i = 0; i < 16; ++i)
            w[i] = uint32_t{data[4 * i]} << 24 | uint32_t{data[4 * i + 1]} << 16 |
                   uint32_t{data[4 * i + 2]} << 8 | data[4 * i + 3];
        for (int i = 16; i < 64; ++i) {
            const uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
            const uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
        uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
        for (int i = 0; i < 64; ++i) {
            const uint32_t t1 = h + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) +
                                ((e & f) ^ (~e & g)) + kRound[i] + w[i];
            const uint32_t t2 =
                (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
            h = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
        state[4] += e;
        state[5] += f;
        state[6] += g;
        state[7] += h;
    }
}

#ifdef KAVELO_SHA_X86
// Four rounds per step; the message schedule runs three steps ahead, as the
// SHA instructions are meant to be used.
__attribute__((target("sha,sse4.1,ssse3"))) void ShaNiBlocks(uint32_t* state, const uint8_t* data,
                                                             size_t count) {
    const __m128i mask = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    __m128i tmp = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0xB1);
    __m128i state1 =
        _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4)), 0x1B);
    __m128i state0 = _mm_alignr_epi8(tmp, state1, 8); // ABEF
    state1 = _mm_blend_epi16(state1, tmp, 0xF0);      // CDGH
    for (; count > 0; --count, data += 64) {
        const __m128i abef = state0;
        const __m128i cdgh = state1;
        __m128i m[4];
        #pragma GCC unroll 16
        for (int i = 0; i < 16; ++i) {
            if (i < 4)
                m[i] = _mm_shuffle_epi8(
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i)), mask);
            __m128i msg = _mm_add_epi32(
                m[i % 4], _mm_loadu_si128(reinterpret_cast<const __m128i*>(&kRound[4 * i])));
            state1 = _mm_sha256rnds2_epu32(state1, state0, msg);
            if (i >= 3 && i <= 14) {
                const __m128i t = _mm_alignr_epi8(m[i % 4], m[(i + 3) % 4], 4);
                m[(i + 1) % 4] = _mm_sha256msg2_epu32(_mm_add_epi32(m[(i + 1) % 4], t), m[i % 4]);
            }
            msg = _mm_shuffle_epi32(msg, 0x0E);
            state0 = _mm_sha256rnds2_epu32(state0, state1, msg);
            if (i >= 1 && i <= 12) m[(i + 3) % 4] = _mm_sha256msg1_epu32(m[(i + 3) % 4], m[i % 4]);
        }
        state0 = _mm_add_epi32(state0, abef);
        state1 = _mm_add_epi32(state1, cdgh);
    }
    tmp = _mm_shuffle_epi32(state0, 0x1B);       // FEBA
    state1 = _mm_shuffle_epi32(state1, 0xB1);    // DCHG
    state0 = _mm_blend_epi16(tmp, state1, 0xF0); // DCBA
    state1 = _mm_alignr_epi8(state1, tmp, 8);    // HGFE
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), state0);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), state1);
}

bool HasShaInstructions() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
    const bool sse = (c & (1u << 9)) && (c & (1u << 19)); // SSSE3, SSE4.1
    if (!sse || !__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
    return (b & (1u << 29)) != 0;
}
#endif

} // namespace

Sha256::Sha256(Engine engine)
    : engine_(engine), state_{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                              0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19} {}

void Sha256::Blocks(const uint8_t* data, size_t count) {
#ifdef KAVELO_SHA_X86
    static const bool fast = HasShaInstructions();
    if (fast && engine_ == Engine::Best) return ShaNiBlocks(state_.data(), data, count);
#endif
    PortableBlocks(state_.data(), data, count);
}

void Sha256::Update(std::string_view bytes) {
    // An empty view may carry no pointer at all, which memcpy must not see.
    if (bytes.empty()) return;
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    size_t n = bytes.size();
    length_ += n;
    if (buffered_ > 0) {
        const size_t take = std::min(n, 64 - buffered_);
        std::memcpy(buffer_.data() + buffered_, p, take);
        buffered_ += take;
        p += take;
        n -= take;
        if (buffered_ < 64) return;
        Blocks(buffer_.data(), 1);
        buffered_ = 0;
    }
    Blocks(p, n / 64);
    p += n / 64 * 64;
    buffered_ = n % 64;
    std::memcpy(buffer_.data(), p, buffered_);
}

std::string Sha256::Finish() {
    const uint64_t bits = length_ * 8;
    const uint8_t one = 0x80;
    Update(std::string_view(reinterpret_cast<const char*>(&one), 1));
    const uint8_t zero[64] = {};
    const size_t pad = (buffered_ <= 56 ? 56 : 120) - buffered_;
    Update(std::string_view(reinterpret_cast<const char*>(zero), pad));
    uint8_t tail[8];
    for (int i = 0; i < 8; ++i)
        tail[i] = static_cast<uint8_t>(bits >> (56 - 8 * i));
    Update(std::string_view(reinterpret_cast<const char*>(tail), 8));
    std::string digest;
    for (uint32_t word : state_)
        for (int shift = 24; shift >= 0; shift -= 8)
            digest += static_cast<char>((word >> shift) & 0xFF);
    return digest;
}

std::string Sha256::FinishHex() {
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    for (const char c : Finish()) {
        hex += kHex[static_cast<uint8_t>(c) >> 4];
        hex += kHex[static_cast<uint8_t>(c) & 15];
    }
    return hex;
}

std::string Sha256Digest(std::string_view bytes) {
    Sha256 hash;
    hash.Update(bytes);
    return hash.Finish();
}

std::string Sha256Hex(std::string_view bytes, Sha256::Engine engine) {
    Sha256 hash(engine);
    hash.Update(bytes);
    return hash.FinishHex();
}
