// The Huffman codec: the worked streams byte for byte, round trips, the
// open cases (0, 1 and single-value inputs), progress reporting, and the fast
// decoder against the plain tree walk on good, skewed and damaged streams.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "huffman/Huffman.h"
#include "HuffmanPlain.h"
#include "StreamTestUtil.h"

namespace {

struct Worked {
    const char* name;
    std::string input;
    std::string stream;
};

const std::vector<Worked>& WorkedStreams() {
    static const std::vector<Worked> streams = {
        {"abracadabra", "abracadabra",
         Bytes({0x00, 0x00, 0x00, 0x0A, 0x61, 0x01, 0x62, 0x03, 0x63, 0x03, 0x64, 0x03,
                0x72, 0x03, 0xA2, 0x18, 0x00, 0x00, 0x00, 0x0B, 0xA7, 0x31, 0x4E})},
        {"ab", "ab", Bytes({0, 0, 0, 4, 0x61, 1, 0x62, 1, 0x80, 0, 0, 0, 2, 0x80})},
        {"abc", "abc", Bytes({0, 0, 0, 6, 0x61, 2, 0x62, 2, 0x63, 1, 0x48, 0, 0, 0, 3, 0x48})},
        {"aab", "aab", Bytes({0, 0, 0, 4, 0x61, 1, 0x62, 1, 0x80, 0, 0, 0, 3, 0xC0})},
        // The open case: one distinct value gets the 1-bit code 0.
        {"single value", "aaaaaaaaa", Bytes({0, 0, 0, 2, 0x61, 1, 0x00, 0, 0, 0, 9, 0x00, 0x00})},
    };
    return streams;
}

TEST(Huffman, WorkedStreamsCompressByteExact) {
    for (const auto& w : WorkedStreams())
        EXPECT_EQ(CompressHuffman(w.input), w.stream) << w.name;
}

TEST(Huffman, WorkedStreamsDecompress) {
    for (const auto& w : WorkedStreams()) {
        EXPECT_EQ(DecompressHuffman(w.stream), w.input) << w.name;
        EXPECT_EQ(DecompressHuffmanPlain(w.stream), w.input) << w.name;
    }
}

TEST(Huffman, EmptyAndOneByteGiveEmptyStream) {
    EXPECT_EQ(CompressHuffman(""), "");
    EXPECT_EQ(CompressHuffman("x"), "");
    EXPECT_EQ(DecompressHuffman(""), "");
    EXPECT_EQ(DecompressHuffmanPlain(""), "");
}

TEST(Huffman, DeadEndRaisesErrorTen) {
    const std::string stream = Bytes({0, 0, 0, 4, 0x61, 1, 0x62, 2, 0xA0, 0, 0, 0, 1, 0x00});
    for (auto decode : {DecompressHuffman, DecompressHuffmanPlain}) {
        try {
            decode(stream, nullptr, 0, 0, 0);
            ADD_FAILURE() << "no error";
        } catch (const HuffmanError& e) {
            EXPECT_EQ(e.Number(), 10);
            EXPECT_STREQ(e.Source(), "DecompressHuffman");
            EXPECT_STREQ(e.what(), "We zijn de boom tot op een dood punt genaderd, "
                                   "waarschijnlijk is de header beschadigd");
        }
    }
}

TEST(Huffman, TrailingBytesAreIgnored) {
    const auto& abra = WorkedStreams()[0];
    EXPECT_EQ(DecompressHuffman(abra.stream + Bytes({0xFF, 0x00, 0x12})), abra.input);
    // The padding bit may be anything too.
    std::string padded = abra.stream;
    padded.back() = static_cast<char>(0x4F);
    EXPECT_EQ(DecompressHuffman(padded), abra.input);
}

TEST(Huffman, TruncatedStreamsGiveRangeError) {
    const auto& abra = WorkedStreams()[0];
    // Every cut: inside the header, the table, the code bits, N or the data.
    for (size_t len = 1; len < abra.stream.size(); ++len) {
        const std::string cut = abra.stream.substr(0, len);
        EXPECT_THROW(DecompressHuffman(cut), DamagedInput) << len;
        EXPECT_THROW(DecompressHuffmanPlain(cut), DamagedInput) << len;
    }
}

TEST(Huffman, OversizedTablesAndTreesGiveRangeError) {
    // T = 514: 257 entries.
    std::string big = Bytes({0, 0, 2, 2}) + std::string(514 + 100, '\x01');
    EXPECT_THROW(DecompressHuffman(big), DamagedInput);
    // Two codes of 255 bits that part at the root fill 511 nodes; c needs two more.
    std::vector<std::pair<int, std::string>> entries = {
        {'a', "0" + std::string(254, '0')}, {'b', "1" + std::string(254, '0')}, {'c', "111"}};
    EXPECT_THROW(DecompressHuffman(MakeStream(entries, 1, "111")), DamagedInput);
    entries.pop_back();
    EXPECT_EQ(DecompressHuffman(MakeStream(entries, 1, "1" + std::string(254, '0'))), "b");
}

TEST(Huffman, DeclaredSizeBeyondTheDataFailsAtOnce) {
    // 14 bytes that promise 4 GB: a runs out of bits after eight bytes.
    const std::string bomb =
        Bytes({0, 0, 0, 4, 0x61, 1, 0x62, 2, 0xA0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_THROW(DecompressHuffman(bomb), DamagedInput);
    // The same promise with data that reaches a dead end first gives error 10,
    // as the plain walk does.
    const std::string deadEnd =
        Bytes({0, 0, 0, 4, 0x61, 1, 0x62, 2, 0xA0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFC});
    EXPECT_THROW(DecompressHuffman(deadEnd), HuffmanError);
    EXPECT_THROW(DecompressHuffmanPlain(deadEnd), HuffmanError);
}

TEST(Huffman, OddTableLengthReadsOneEntryMore) {
    // T = 3 reads two entries; the second entry's length (9) is also the first
    // byte of the code bits: a = 0, b = 000010010.
    const std::string stream = Bytes({0, 0, 0, 3, 0x61, 1, 0x62, 0x09, 0x00, 0, 0, 0, 2, 0x00});
    EXPECT_EQ(DecompressHuffman(stream), "aa");
    ExpectSameAsPlain(stream);
}

TEST(Huffman, RepeatedSymbolJoinsItsCodeBits) {
    // The entries (a, 1) and (a, 1) append both bits to a's code: a = 01.
    const std::string stream = MakeStream({{'a', "0"}, {'a', "1"}}, 2, "0101");
    EXPECT_EQ(DecompressHuffman(stream), "aa");
    ExpectSameAsPlain(stream);
}

TEST(Huffman, CodesLongerThan64BitsDecode) {
    const std::string longCode = std::string(99, '1') + "0";
    const std::string stream =
        MakeStream({{'x', "0"}, {'y', longCode}, {'z', std::string(100, '1')}}, 5,
                   "0" + longCode + "0" + std::string(100, '1') + longCode);
    EXPECT_EQ(DecompressHuffman(stream), "xyxzy");
    ExpectSameAsPlain(stream);
}

std::string RandomText(std::mt19937& rng, size_t n, int alphabet) {
    std::geometric_distribution<int> pick(0.15);
    std::string s(n, '\0');
    for (auto& c : s)
        c = static_cast<char>('A' + pick(rng) % alphabet);
    return s;
}

// Fibonacci counts give the deepest trees a given length allows.
std::string Fibonacci(int symbols) {
    std::string s;
    uint64_t a = 1, b = 1;
    for (int i = 0; i < symbols; ++i) {
        s.append(a, static_cast<char>(i));
        b = a + b;
        a = b - a;
    }
    std::shuffle(s.begin(), s.end(), std::mt19937(7));
    return s;
}

TEST(Huffman, RoundTripsAndRecompressesToTheSameStream) {
    std::mt19937 rng(1);
    std::vector<std::string> inputs = {"ab", "ba", std::string(5000, '\0'), Fibonacci(28)};
    for (size_t n : {2u, 3u, 17u, 1023u, 1024u, 1025u, 70000u}) {
        std::string bytes(n, '\0');
        for (auto& c : bytes)
            c = static_cast<char>(rng());
        inputs.push_back(bytes);
        inputs.push_back(RandomText(rng, n, 40));
    }
    for (const auto& input : inputs) {
        const std::string stream = CompressHuffman(input);
        ASSERT_EQ(DecompressHuffman(stream), input) << input.size();
        EXPECT_EQ(DecompressHuffmanPlain(stream), input);
        EXPECT_EQ(CompressHuffman(DecompressHuffman(stream)), stream);
    }
}

TEST(Huffman, FastDecoderMatchesPlainWalkOnDamagedStreams) {
    std::mt19937 rng(2);
    std::vector<std::string> streams;
    for (const std::string& input :
         {RandomText(rng, 3000, 30), Fibonacci(20), std::string("abracadabra")}) {
        const std::string good = CompressHuffman(input);
        for (int i = 0; i < 300; ++i) {
            std::string bad = good;
            const int flips = 1 + static_cast<int>(rng() % 3);
            for (int f = 0; f < flips; ++f) {
                // Mostly in the header, where damage changes the tree.
                const size_t limit = rng() % 2 ? std::min<size_t>(bad.size(), 64) : bad.size();
                bad[rng() % limit] ^= static_cast<char>(1 << (rng() % 8));
            }
            if (rng() % 4 == 0) bad.resize(rng() % bad.size());
            streams.push_back(bad);
        }
    }
    for (int i = 0; i < 300; ++i) {
        // Small random trees with gaps and random data.
        std::vector<std::pair<int, std::string>> entries;
        for (int e = 1 + rng() % 6; e > 0; --e) {
            std::string code;
            for (int k = 1 + rng() % 14; k > 0; --k)
                code += rng() % 2 ? '1' : '0';
            entries.push_back({static_cast<int>(rng() % 256), code});
        }
        std::string data;
        for (int k = rng() % 12000; k > 0; --k)
            data += rng() % 2 ? '1' : '0';
        streams.push_back(MakeStream(entries, rng() % 5000, data));
    }
    std::map<std::string, int> kinds;
    for (const auto& s : streams)
        ++kinds[ExpectSameAsPlain(s)];
    // The cases cover all three endings.
    EXPECT_GT(kinds["ok"], 50);
    EXPECT_GT(kinds["dead end"], 50);
    EXPECT_GT(kinds["range"], 50);
}

TEST(Huffman, FastDecoderMatchesPlainWalkOnLongDamagedData) {
    // Long enough for the decoder's parallel chains; damage in the data bits
    // moves symbol boundaries, hits dead ends or cuts the stream short.
    std::mt19937 rng(4);
    std::string text = RandomText(rng, 300000, 60);
    for (int i = 0; i < 200; ++i)
        text[rng() % text.size()] = static_cast<char>(rng());
    const std::string good = CompressHuffman(text);
    ASSERT_EQ(DecompressHuffman(good), text);
    std::map<std::string, int> kinds;
    for (int i = 0; i < 40; ++i) {
        std::string bad = good;
        for (int f = 1 + i % 4; f > 0; --f)
            bad[600 + rng() % (bad.size() - 600)] ^= static_cast<char>(1 << (rng() % 8));
        if (i % 5 == 0) bad.resize(bad.size() - 1 - rng() % 1000);
        if (i % 7 == 0) bad += std::string(5000, '\xFF');
        ++kinds[ExpectSameAsPlain(bad)];
    }
    EXPECT_GT(kinds["ok"], 10);
    EXPECT_GT(kinds["range"], 3);
}

TEST(Huffman, FastDecoderMatchesPlainWalkOnLongStreamsWithDeadEnds) {
    // The branch 1111 is empty, so chains that start at a wrong boundary
    // meet dead ends, and a planted 1111 far into the data is a real one.
    const std::vector<std::pair<int, std::string>> entries = {
        {'a', "0"}, {'b', "10"}, {'c', "110"}, {'d', "1110"}};
    std::mt19937 rng(5);
    std::map<std::string, int> kinds;
    for (int i = 0; i < 12; ++i) {
        std::string bits;
        uint32_t n = 0;
        for (; n < 150000; ++n)
            bits += entries[rng() % 4].second;
        if (i % 3 != 0) bits.insert(bits.size() / 2 + rng() % (bits.size() / 2), "1111");
        ++kinds[ExpectSameAsPlain(MakeStream(entries, n - (i % 2) * 100, bits))];
    }
    EXPECT_GT(kinds["ok"], 2);
    EXPECT_GT(kinds["dead end"], 4);
}

struct Recorder : ProgressSink {
    std::vector<float> values;
    int yields = 0;
    void ValueSet(float v) override { values.push_back(v); }
    void Yield() override { ++yields; }
};

struct Untouchable : ProgressSink {
    void ValueSet(float) override { ADD_FAILURE() << "sink touched with scale 0"; }
};

TEST(Huffman, ProgressRisesToTheCallersShare) {
    std::mt19937 rng(3);
    const std::string input = RandomText(rng, 100000, 50);
    Recorder c;
    const std::string stream = CompressHuffman(input, &c, 1000, 301000, 100000);
    ASSERT_FALSE(c.values.empty());
    EXPECT_TRUE(std::is_sorted(c.values.begin(), c.values.end()));
    EXPECT_FLOAT_EQ(c.values.back(), 101000.0f / 301000);
    EXPECT_GE(c.values.front(), 1000.0f / 301000);
    // Counting and coding each report every 1024 bytes.
    EXPECT_GE(c.values.size(), 2u * (100000 / 1024));
    EXPECT_GT(c.yields, 190);

    Recorder d;
    EXPECT_EQ(DecompressHuffman(stream, &d, 500, 100500, 100000), input);
    EXPECT_EQ(d.yields, static_cast<int>(d.values.size()));
    Recorder p;
    DecompressHuffmanPlain(stream, &p, 500, 100500, 100000);
    EXPECT_EQ(d.values, p.values);
    // One report before decoding, then one at 1023, 2047, ...
    ASSERT_EQ(d.values.size(), 1u + 100000 / 1024);
    EXPECT_FLOAT_EQ(d.values.front(), (500.0f + 1000) / 100500);
    EXPECT_TRUE(std::is_sorted(d.values.begin(), d.values.end()));
    EXPECT_NEAR(d.values.back(), (500 + 99327.0 / 100000 * 99000) / 100500, 1e-6);

    Untouchable none;
    EXPECT_EQ(CompressHuffman(input, &none, 5, 0, 7), stream);
    EXPECT_EQ(DecompressHuffman(stream, &none, 5, 0, 7), input);
}

// The compressor's reporting points and values, worked out step by step: the
// count pass, its end, the last merge, the header (a value without a yield),
// the data pass and the end. "y" marks a yield.
std::vector<std::string> CompressorEvents(const std::string& input, int32_t base, int32_t scale,
                                          int32_t span) {
    std::vector<std::string> events;
    auto set = [&](double v) { events.push_back(std::to_string(static_cast<float>(v / scale))); };
    auto report = [&](double v) {
        set(v);
        events.push_back("y");
    };
    const int64_t n = static_cast<int64_t>(input.size());
    int distinct = 0;
    for (int v = 0; v < 256; ++v)
        distinct += input.find(static_cast<char>(v)) != std::string::npos;
    int64_t b = base, s = span;
    const int64_t share1 = s / 25;
    for (int64_t k = 0; k < n; ++k)
        if (k % 1024 == 1023) report(b + static_cast<double>(k) / (n - 1) * share1);
    b += share1;
    s -= share1;
    report(static_cast<double>(b));
    const int64_t share2 = s / 50;
    if (distinct >= 2) {
        const int m = 2 * distinct - 2; // the root's index
        report(b + static_cast<double>(m - 2 + 1) / m * share2);
    }
    b += share2;
    s -= share2;
    events.push_back("y");
    const int64_t share3 = s / 20;
    b += share3;
    s -= share3;
    events.push_back("y");
    set(static_cast<double>(b));
    for (int64_t p = 0; p < n; ++p)
        if (p % 1024 == 1023) report(b + static_cast<double>(p) / (n - 1) * s);
    report(static_cast<double>(b + s));
    return events;
}

TEST(Huffman, CompressorReportsAtItsPointsWithItsValues) {
    std::mt19937 rng(5);
    struct Case {
        const char* what;
        std::string input;
        int32_t base, scale, span;
    };
    const std::vector<Case> cases = {
        {"text", RandomText(rng, 5000, 30), 700, 20000, 9000},
        {"exactly 1024 bytes", RandomText(rng, 1024, 3), 0, 1024, 1024},
        {"two bytes", "ab", 10, 100, 50},
        {"one value", std::string(3000, 'z'), 0, 3000, 3000},
        {"negative base", RandomText(rng, 2100, 200), -500, 7000, 6999},
    };
    for (const Case& c : cases) {
        std::vector<std::string> events;
        struct Sink : ProgressSink {
            std::vector<std::string>* events;
            void ValueSet(float v) override { events->push_back(std::to_string(v)); }
            void Yield() override { events->push_back("y"); }
        } sink;
        sink.events = &events;
        CompressHuffman(c.input, &sink, c.base, c.scale, c.span);
        EXPECT_EQ(events, CompressorEvents(c.input, c.base, c.scale, c.span)) << c.what;
    }
}

TEST(Huffman, ProgressStopsWhereTheDecodeFails) {
    // The plain walk reports the points it reaches before the error.
    std::string input(5000, 'a');
    input[4000] = 'b';
    std::string stream = CompressHuffman(input);
    stream.resize(stream.size() - 200);
    Recorder fast, plain;
    EXPECT_THROW(DecompressHuffman(stream, &fast, 0, 100, 100), DamagedInput);
    EXPECT_THROW(DecompressHuffmanPlain(stream, &plain, 0, 100, 100), DamagedInput);
    EXPECT_EQ(fast.values, plain.values);
    EXPECT_EQ(fast.values.size(), 4u);
}

// The streaming forms give the same bytes, and every prefix they call final
// is already the result's own.
TEST(Huffman, StreamingCallsBackWithFinalPrefixes) {
    std::mt19937 rng(11);
    const std::string input = RandomText(rng, 5 << 20, 40);
    struct Call {
        const char* data;
        size_t count;
        std::string head; // the first and last bytes of the prefix at the time of the call
    };
    auto recorder = [](std::vector<Call>& calls) {
        return [&calls](const char* data, size_t count) {
            calls.push_back({data, count,
                             std::string(data, std::min<size_t>(count, 64)) +
                                 std::string(data + count - std::min<size_t>(count, 64),
                                             std::min<size_t>(count, 64))});
        };
    };
    std::vector<Call> calls;
    std::string stream;
    CompressHuffmanStreaming(input, stream, recorder(calls));
    EXPECT_EQ(stream, CompressHuffman(input));
    std::string output;
    std::vector<Call> decodeCalls;
    DecompressHuffmanStreaming(stream, output, recorder(decodeCalls));
    EXPECT_EQ(output, input);
    for (auto* list : {&calls, &decodeCalls}) {
        const std::string& result = list == &calls ? stream : output;
        EXPECT_GE(list->size(), 3u);
        size_t last = 0;
        for (const Call& c : *list) {
            EXPECT_EQ(c.data, result.data());
            EXPECT_GE(c.count, last);
            EXPECT_LE(c.count, result.size());
            const size_t k = std::min<size_t>(c.count, 64);
            EXPECT_EQ(c.head, result.substr(0, k) + result.substr(c.count - k, k));
            last = c.count;
        }
    }

    // A damaged stream fails as DecompressHuffman does, with out still the caller's.
    std::string cut = stream.substr(0, stream.size() / 2);
    std::vector<Call> none;
    EXPECT_THROW(DecompressHuffmanStreaming(cut, output, recorder(none)), DamagedInput);
    EXPECT_THROW(DecompressHuffman(cut), DamagedInput);
}

// Streams several times longer than the decoder's window, with codes up to
// some 30 bits, decode in pieces to the same bytes and the same errors as
// whole, reading at most a window and handing out at most 1 MB at a time.
TEST(Huffman, InPiecesDecodesLongStreamsInBoundedMemory) {
    std::mt19937 rng(5);
    std::geometric_distribution<int> rare(0.5);
    std::string input(12 << 20, '\0');
    for (char& c : input)
        c = static_cast<char>(rng() % 2 ? rng() % 200 : 200 + std::min(rare(rng), 55));
    const std::string stream = CompressHuffman(input);
    ASSERT_GT(stream.size(), 8u << 20);

    size_t largestRead = 0, largestPiece = 0;
    const auto decode = [&](const std::string& s) {
        std::string out;
        DecompressHuffmanInPieces(
            s.size(),
            [&](uint64_t at, char* data, size_t n) {
                largestRead = std::max(largestRead, n);
                std::memcpy(data, s.data() + at, n);
            },
            [&](const char* data, size_t n) {
                largestPiece = std::max(largestPiece, n);
                out.append(data, n);
            });
        return out;
    };
    EXPECT_TRUE(decode(stream) == input);
    EXPECT_LE(largestRead, 4u << 20);
    EXPECT_LE(largestPiece, 1u << 20);

    // Cut short in the last window, and a damaged byte in the second.
    const std::string cut = stream.substr(0, stream.size() - 1000);
    std::string damaged = stream;
    damaged[6 << 20] = static_cast<char>(damaged[6 << 20] ^ 0x5A);
    for (const std::string* s : {&cut, static_cast<const std::string*>(&damaged)})
        EXPECT_EQ(Outcome(DecompressJoined, *s), Outcome(DecompressHuffman, *s));
    EXPECT_THROW(decode(cut), DamagedInput);
}

} // namespace
