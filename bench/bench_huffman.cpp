// Speed of the Huffman codec in MB/s of uncompressed data, beside zlib's
// Huffman-only deflate and inflate, the plain one-bit-at-a-time decoder, the
// decoder in pieces that installing uses and the zstd decoder of entries, on
// three generated 16 MB corpora (English-like text, executable-like binary,
// an 8-bit image) and 16 MB of the machine's own
// files (Qt libraries and plugins, documentation, icons), whole and cut into
// 4 KB pieces (the cost of many small files). Rates are from wall time. After
// the table it prints the speed ratios.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <cstdio>
#include <map>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchCorpus.h"
#include "huffman/Huffman.h"
#include "HuffmanPlain.h"
#include "zstd/ZstdCompress.h"
#include "zstd/ZstdDecompress.h"

namespace {

constexpr size_t kCorpusSize = 16 << 20;

std::string TextCorpus() {
    static const char* const common[] = {
        "the",  "of",   "and",   "to",   "a",     "in",    "is",   "that", "for",  "it",
        "as",   "was",  "with",  "be",   "by",    "on",    "not",  "he",   "this", "are",
        "or",   "his",  "from",  "at",   "which", "but",   "have", "an",   "had",  "they",
        "you",  "were", "their", "one",  "all",   "we",    "can",  "her",  "has",  "there",
        "been", "if",   "more",  "when", "will",  "would", "who",  "so",   "no"};
    const std::string letters = "eeeeeeeeeeeetttttttttaaaaaaaaooooooooiiiiiiinnnnnnnsssssshhhhhh"
                                "rrrrrrddddlllluuucccmmmwwffggyyppbbvkjxqz";
    std::mt19937 rng(11);
    std::vector<std::string> words(common, common + std::size(common));
    while (words.size() < 5000) {
        std::string w;
        for (int k = 2 + rng() % 8; k > 0; --k)
            w += letters[rng() % letters.size()];
        words.push_back(w);
    }
    // Zipf-like choice of words, sentences with capitals, commas and paragraphs.
    std::vector<double> weights(words.size());
    for (size_t i = 0; i < words.size(); ++i)
        weights[i] = 1.0 / (i + 1);
    std::discrete_distribution<size_t> pick(weights.begin(), weights.end());
    std::string s;
    s.reserve(kCorpusSize + 64);
    bool start = true;
    while (s.size() < kCorpusSize) {
        std::string w = words[pick(rng)];
        if (start) w[0] = static_cast<char>(w[0] - 32);
        s += w;
        start = false;
        const unsigned r = rng() % 100;
        if (r < 7) {
            s += ". ";
            start = true;
            if (r < 1) s += "\r\n\r\n";
        } else if (r < 13) {
            s += ", ";
        } else {
            s += ' ';
        }
    }
    s.resize(kCorpusSize);
    return s;
}

std::string BinaryCorpus() {
    // Blocks of instruction-like bytes, zero padding, little-endian pointers
    // and tables, and string tables.
    static const uint8_t opcodes[] = {0x48, 0x89, 0x8B, 0xE8, 0x0F, 0x83, 0xC7, 0x45, 0x85,
                                      0xC0, 0x74, 0x75, 0xEB, 0x4C, 0x8D, 0x24, 0x44, 0x41,
                                      0x5D, 0xC3, 0x55, 0x31, 0xFF, 0x01, 0x39, 0x66, 0x90};
    std::mt19937 rng(12);
    std::geometric_distribution<int> small(0.3);
    std::string s;
    s.reserve(kCorpusSize + 4096);
    while (s.size() < kCorpusSize) {
        const unsigned kind = rng() % 10;
        const size_t len = 256 + rng() % 3840;
        for (size_t i = 0; i < len; ++i) {
            if (kind < 5) {
                const unsigned r = rng() % 10;
                s.push_back(static_cast<char>(r < 6   ? opcodes[small(rng) % std::size(opcodes)]
                                              : r < 8 ? small(rng)
                                                      : rng()));
            } else if (kind < 7) {
                s.push_back(0);
            } else if (kind < 9) {
                const uint32_t v = 0x401000 + rng() % 0x40000;
                for (int b = 0; b < 4; ++b)
                    s.push_back(static_cast<char>(v >> (8 * b)));
                i += 3;
            } else {
                s.push_back(static_cast<char>(rng() % 8 == 0 ? 0 : 'a' + small(rng) % 26));
            }
        }
    }
    s.resize(kCorpusSize);
    return s;
}

std::string ImageCorpus() {
    // 4096 x 4096 grey levels: smooth shading, circles and sensor noise.
    const int side = 4096;
    std::mt19937 rng(13);
    std::normal_distribution<double> noise(0, 4);
    std::string s(kCorpusSize, '\0');
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            double v = 128 + 60 * std::sin(x / 300.0) * std::cos(y / 410.0) + (x + y) / 80.0;
            const int cx = x % 512 - 256, cy = y % 512 - 256;
            if (cx * cx + cy * cy < 120 * 120) v = 0.6 * v + 70;
            v += noise(rng);
            s[size_t(y) * side + x] = static_cast<char>(std::clamp(static_cast<int>(v), 0, 255));
        }
    return s;
}

constexpr int kCorpora = 4;

const std::string& Corpus(int which) {
    static const std::string corpora[kCorpora] = {TextCorpus(), BinaryCorpus(), ImageCorpus(),
                                                  RealCorpus(kCorpusSize)};
    return corpora[which];
}

const char* const kNames[kCorpora] = {"text", "binary", "image", "real"};

const std::string& Stream(int which) {
    static std::map<int, std::string> streams;
    auto& s = streams[which];
    if (s.empty()) s = CompressHuffman(Corpus(which));
    return s;
}

std::string ZlibDeflate(const std::string& in) {
    z_stream z{};
    // Raw deflate: no checksum on either side, like the Huffman stream.
    if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_HUFFMAN_ONLY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    std::string out(deflateBound(&z, in.size()), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    if (deflate(&z, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate");
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

std::string ZlibInflate(const std::string& in, size_t size) {
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) throw std::runtime_error("inflateInit2");
    std::string out(size, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    if (inflate(&z, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("inflate");
    inflateEnd(&z);
    return out;
}

void Finish(benchmark::State& state, int which, size_t stored) {
    const size_t n = Corpus(which).size();
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
    state.counters["ratio"] = static_cast<double>(stored) / n;
    state.SetLabel(kNames[which]);
}

void BM_Compress(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    const std::string& in = Corpus(which);
    size_t size = 0;
    for (auto _ : state)
        size = CompressHuffman(in).size();
    Finish(state, which, size);
}

void BM_Decompress(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    const std::string& stream = Stream(which);
    if (DecompressHuffman(stream) != Corpus(which)) state.SkipWithError("round trip differs");
    for (auto _ : state)
        benchmark::DoNotOptimize(DecompressHuffman(stream));
    Finish(state, which, stream.size());
}

// The installer's form: the stream read and the result handed out a window
// at a time, in bounded memory.
void BM_DecompressInPieces(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    const std::string& stream = Stream(which);
    const auto read = [&](uint64_t at, char* data, size_t n) {
        std::memcpy(data, stream.data() + at, n);
    };
    for (auto _ : state)
        DecompressHuffmanInPieces(stream.size(), read,
                                  [](const char* data, size_t) { benchmark::DoNotOptimize(data); });
    Finish(state, which, stream.size());
}

// The entries' second codec, at the level and window setups use.
void BM_ZstdDecompress(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    const std::string& in = Corpus(which);
    const std::string frame = CompressZstd(in);
    if (DecompressZstd(frame, in.size(), "corpus") != in) state.SkipWithError("round trip differs");
    for (auto _ : state)
        benchmark::DoNotOptimize(DecompressZstd(frame, in.size(), "corpus"));
    Finish(state, which, frame.size());
}

void BM_DecompressPlain(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    const std::string& stream = Stream(which);
    for (auto _ : state)
        benchmark::DoNotOptimize(DecompressHuffmanPlain(stream));
    Finish(state, which, stream.size());
}

void BM_ZlibHuffmanDeflate(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    const std::string& in = Corpus(which);
    size_t size = 0;
    for (auto _ : state)
        size = ZlibDeflate(in).size();
    Finish(state, which, size);
}

void BM_ZlibHuffmanInflate(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    const std::string& in = Corpus(which);
    const std::string packed = ZlibDeflate(in);
    if (ZlibInflate(packed, in.size()) != in) state.SkipWithError("zlib round trip differs");
    for (auto _ : state)
        benchmark::DoNotOptimize(ZlibInflate(packed, in.size()));
    Finish(state, which, packed.size());
}

// The first 1 MB of a corpus as 4 KB pieces, each coded on its own.
constexpr size_t kPiece = 4096, kPieces = 256;

std::vector<std::string> Pieces(int which) {
    std::vector<std::string> pieces;
    for (size_t i = 0; i < kPieces; ++i)
        pieces.push_back(Corpus(which).substr(i * kPiece, kPiece));
    return pieces;
}

void FinishPieces(benchmark::State& state, int which, size_t stored) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kPiece * kPieces));
    state.counters["ratio"] = static_cast<double>(stored) / (kPiece * kPieces);
    state.SetLabel(kNames[which]);
}

void BM_CompressPieces(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    const auto pieces = Pieces(which);
    size_t size = 0;
    for (auto _ : state) {
        size = 0;
        for (const auto& piece : pieces)
            size += CompressHuffman(piece).size();
    }
    FinishPieces(state, which, size);
}

void BM_DecompressPieces(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    std::vector<std::string> streams;
    size_t size = 0;
    for (const auto& piece : Pieces(which)) {
        streams.push_back(CompressHuffman(piece));
        size += streams.back().size();
        if (DecompressHuffman(streams.back()) != piece) state.SkipWithError("round trip differs");
    }
    for (auto _ : state)
        for (const auto& stream : streams)
            benchmark::DoNotOptimize(DecompressHuffman(stream));
    FinishPieces(state, which, size);
}

void BM_ZlibHuffmanDeflatePieces(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    const auto pieces = Pieces(which);
    size_t size = 0;
    for (auto _ : state) {
        size = 0;
        for (const auto& piece : pieces)
            size += ZlibDeflate(piece).size();
    }
    FinishPieces(state, which, size);
}

void BM_ZlibHuffmanInflatePieces(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    std::vector<std::string> packed;
    size_t size = 0;
    for (const auto& piece : Pieces(which)) {
        packed.push_back(ZlibDeflate(piece));
        size += packed.back().size();
    }
    for (auto _ : state)
        for (const auto& p : packed)
            benchmark::DoNotOptimize(ZlibInflate(p, kPiece));
    FinishPieces(state, which, size);
}

BENCHMARK(BM_Compress)->DenseRange(0, kCorpora - 1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ZlibHuffmanDeflate)
    ->DenseRange(0, kCorpora - 1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Decompress)->DenseRange(0, kCorpora - 1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecompressInPieces)
    ->DenseRange(0, kCorpora - 1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_ZlibHuffmanInflate)
    ->DenseRange(0, kCorpora - 1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_ZstdDecompress)
    ->DenseRange(0, kCorpora - 1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_DecompressPlain)
    ->DenseRange(0, kCorpora - 1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_CompressPieces)
    ->DenseRange(0, kCorpora - 1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_ZlibHuffmanDeflatePieces)
    ->DenseRange(0, kCorpora - 1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_DecompressPieces)
    ->DenseRange(0, kCorpora - 1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_ZlibHuffmanInflatePieces)
    ->DenseRange(0, kCorpora - 1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Keeps each run's speed so that the ratios can be printed after the table.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            auto it = run.counters.find("bytes_per_second");
            if (it != run.counters.end()) speed_[run.benchmark_name()] = it->second;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void PrintRatios() const {
        std::printf("\nSpeed ratios (same run):\n");
        for (int c = 0; c < kCorpora; ++c) {
            auto get = [&](const char* name) {
                char key[64];
                // Runs from wall time carry "/real_time" in their names.
                std::snprintf(key, sizeof key, "%s/%d/real_time", name, c);
                auto it = speed_.find(key);
                return it == speed_.end() ? 0.0 : it->second;
            };
            auto ratio = [](double a, double b) { return b > 0 ? a / b : 0.0; };
            std::printf("  %-7s encode / zlib deflate %5.2fx   decode / zlib inflate %5.2fx   "
                        "decode / plain walk %6.2fx\n",
                        kNames[c], ratio(get("BM_Compress"), get("BM_ZlibHuffmanDeflate")),
                        ratio(get("BM_Decompress"), get("BM_ZlibHuffmanInflate")),
                        ratio(get("BM_Decompress"), get("BM_DecompressPlain")));
            std::printf("  %-7s decode in pieces / zlib inflate %5.2fx   (%.0f and %.0f MB/s)\n",
                        kNames[c],
                        ratio(get("BM_DecompressInPieces"), get("BM_ZlibHuffmanInflate")),
                        get("BM_DecompressInPieces") / 1e6, get("BM_ZlibHuffmanInflate") / 1e6);
            std::printf("  %-7s zstd decode / zlib inflate %5.2fx\n", kNames[c],
                        ratio(get("BM_ZstdDecompress"), get("BM_ZlibHuffmanInflate")));
            std::printf("  %-7s 4 KB pieces: encode / zlib deflate %5.2fx   "
                        "decode / zlib inflate %5.2fx\n",
                        kNames[c],
                        ratio(get("BM_CompressPieces"), get("BM_ZlibHuffmanDeflatePieces")),
                        ratio(get("BM_DecompressPieces"), get("BM_ZlibHuffmanInflatePieces")));
        }
    }

  private:
    std::map<std::string, double> speed_;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    return 0;
}
