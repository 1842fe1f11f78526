#include "fileio/container/Huffman.h"

#include "foundation/FException.h"
#include "support/HuffmanEncoder.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

using testsupport::BitWriter;
using testsupport::CanonicalCodeWords;
using testsupport::HuffmanCodeLengths;

namespace {

uint32_t Word(int length, uint32_t code) { return uint32_t(length) << 27 | code; }

// Symbol 0 = "0", symbol 1 = "10", symbol 2 = "11".
std::unique_ptr<FHuffman> SmallCode()
{
    auto huffman = std::make_unique<FHuffman>(2);
    const uint32_t words[] = {Word(1, 0), Word(2, 2), Word(2, 3), 0};
    huffman->DecodeReset();
    huffman->SetTable(words, 4);
    return huffman;
}

std::string HuffmanMessage(const std::function<void()>& action)
{
    try {
        action();
    } catch (const FExceptionHuffman& e) {
        return e.GetMessage();
    }
    return "(no exception)";
}

struct Stream {
    std::vector<uint16_t> symbols;
    std::vector<uint8_t> bytes;
    std::vector<uint32_t> words;
};

// Random symbols of a skewed distribution, so that codes run up to maxLength bits.
Stream RandomStream(int width, int maxLength, size_t count, uint32_t seed)
{
    std::mt19937 random(seed);
    const size_t symbols = size_t(1) << width;
    std::vector<uint64_t> frequencies(symbols);
    for (size_t s = 0; s < symbols; ++s)
        frequencies[s] = s < 40 ? uint64_t(1) << (40 - s) : 1 + random() % 3;
    Stream stream;
    stream.words = CanonicalCodeWords(HuffmanCodeLengths(frequencies, maxLength));
    std::discrete_distribution<uint32_t> pick(frequencies.begin(), frequencies.end());
    // Half drawn by weight (mostly short codes), half uniformly (many long ones).
    BitWriter bits;
    for (size_t i = 0; i < count; ++i) {
        const uint16_t s = uint16_t(i % 2 ? pick(random) : random() % symbols);
        stream.symbols.push_back(s);
        bits.Put(stream.words[s] & 0x7FFFFFF, int(stream.words[s] >> 27));
    }
    bits.Pad(4);
    stream.bytes = bits.Bytes();
    return stream;
}

} // namespace

TEST(HuffmanTest, RefusesSymbolWidthsOutside2To16)
{
    for (const int width : {1, 17, 0, -3})
        EXPECT_EQ(HuffmanMessage([&] { FHuffman huffman(width); }), "Invalid number of bits") << width;
    EXPECT_NO_THROW(FHuffman(2));
    EXPECT_NO_THROW(FHuffman(16));
}

TEST(HuffmanTest, DecodesTheOneByteExample)
{
    const auto owner = SmallCode();
    FHuffman& huffman = *owner;
    const uint8_t data[] = {0x2C};  // 0 0 10 11 0 0
    uint16_t symbols[8] = {};
    uint32_t position = 0, decoded = 0;
    huffman.Decode(data, 1, position, symbols, 6, decoded);
    ASSERT_EQ(decoded, 6u);
    EXPECT_EQ(std::vector<uint16_t>(symbols, symbols + 6), (std::vector<uint16_t>{0, 0, 1, 2, 0, 0}));
    EXPECT_EQ(position, 1u);
}

TEST(HuffmanTest, KeepsUnusedBitsInTheSpareRegisterUntilFlushed)
{
    const auto owner = SmallCode();
    FHuffman& huffman = *owner;
    const uint8_t data[] = {0xC0};  // 11 0 0, then four zero bits
    uint16_t symbols[3] = {};
    uint32_t position = 0, decoded = 0;
    huffman.Decode(data, 1, position, symbols, 3, decoded);
    ASSERT_EQ(decoded, 3u);
    EXPECT_EQ(std::vector<uint16_t>(symbols, symbols + 3), (std::vector<uint16_t>{2, 0, 0}));
    EXPECT_EQ(position, 1u);
    EXPECT_EQ(huffman.SpareCount(), 4);
    EXPECT_EQ(huffman.SpareBits(), 0u);
    huffman.DecodeFlush();
    EXPECT_EQ(huffman.SpareCount(), 0);
}

TEST(HuffmanTest, StateErrorsHaveTheirTexts)
{
    EXPECT_EQ(HuffmanMessage([] { SmallCode()->DecodeFlush(); }), "DecodeFlush() not decoding data!");
    EXPECT_EQ(HuffmanMessage([] {
                  FHuffman huffman(4);
                  huffman.DecodeReset();
                  const uint8_t data[] = {0};
                  uint16_t symbol;
                  uint32_t position, decoded;
                  huffman.Decode(data, 1, position, &symbol, 1, decoded);
              }),
              "Can't build decoding tree without a valid table!");
    // Before any data, a call without data is not yet decoding and returns nothing.
    const auto owner = SmallCode();
    FHuffman& huffman = *owner;
    uint16_t symbol = 7;
    uint32_t position = 9, decoded = 9;
    huffman.Decode(nullptr, 0, position, &symbol, 1, decoded);
    EXPECT_EQ(decoded, 0u);
    EXPECT_EQ(position, 0u);
}

TEST(HuffmanTest, RefusesCodesThatDoNotFitTheirLength)
{
    struct Case {
        const char* what;
        uint32_t word;
    };
    const Case cases[] = {
        {"code wider than its length", Word(3, 8)},
        {"code bits without a length", Word(0, 1)},
        {"length 28", Word(28, 1)},
        {"length 31", Word(31, 0)},
    };
    for (const Case& c : cases) {
        FHuffman huffman(4);
        const uint32_t words[] = {Word(1, 0), c.word};
        EXPECT_EQ(HuffmanMessage([&] { huffman.SetTable(words, 2); }), "Invalid code in table") << c.what;
    }
    // A 27-bit code is the longest there is and decodes.
    FHuffman huffman(2);
    const uint32_t words[] = {Word(1, 0), Word(27, (1u << 27) - 1), Word(27, (1u << 27) - 2), Word(2, 2)};
    huffman.DecodeReset();
    huffman.SetTable(words, 4);
    BitWriter bits;
    bits.Put((1u << 27) - 1, 27);
    bits.Put(0, 1);
    bits.Put((1u << 27) - 2, 27);
    bits.Put(2, 2);
    bits.Pad(4);
    uint16_t symbols[4];
    uint32_t position, decoded, more = 0;
    huffman.Decode(bits.Bytes().data(), uint32_t(bits.Bytes().size()), position, symbols, 4, decoded);
    // The last code is followed by fewer bits than a lookup takes.
    ASSERT_EQ(decoded, 3u);
    huffman.Decode(nullptr, 0, position, symbols + 3, 1, more);
    ASSERT_EQ(more, 1u);
    EXPECT_EQ(std::vector<uint16_t>(symbols, symbols + 4), (std::vector<uint16_t>{1, 0, 2, 3}));
}

TEST(HuffmanTest, StopsAtBitsThatStartNoCode)
{
    // Only "1" and "01": the bits 00 start no code.
    FHuffman huffman(2);
    const uint32_t words[] = {Word(1, 1), Word(2, 1)};
    huffman.DecodeReset();
    huffman.SetTable(words, 2);
    const uint8_t data[] = {0xD0, 0xFF, 0xFF, 0xFF};  // 1 1 01 00 ...
    uint16_t symbols[8];
    uint32_t position, decoded;
    huffman.Decode(data, 4, position, symbols, 8, decoded);
    EXPECT_EQ(decoded, 3u);
    EXPECT_EQ(std::vector<uint16_t>(symbols, symbols + 3), (std::vector<uint16_t>{0, 0, 1}));
}

TEST(HuffmanTest, RandomStreamsDecodeExactly)
{
    struct Case {
        int width, maxLength;
    };
    for (const Case c : {Case{8, 12}, Case{10, 16}, Case{10, 27}, Case{12, 20}, Case{16, 27}, Case{3, 5}}) {
        const Stream stream = RandomStream(c.width, c.maxLength, 5000, uint32_t(c.width * 100 + c.maxLength));
        FHuffman huffman(c.width);
        huffman.DecodeReset();
        huffman.SetTable(stream.words.data(), uint32_t(stream.words.size()));
        std::vector<uint16_t> symbols(stream.symbols.size());
        uint32_t position, decoded;
        huffman.Decode(stream.bytes.data(), uint32_t(stream.bytes.size()), position, symbols.data(),
                       uint32_t(symbols.size()), decoded);
        if (decoded < symbols.size()) {
            uint32_t more = 0;
            huffman.Decode(nullptr, 0, position, symbols.data() + decoded, uint32_t(symbols.size() - decoded), more);
            decoded += more;
        }
        ASSERT_EQ(decoded, symbols.size()) << c.width << " bits, codes up to " << c.maxLength;
        EXPECT_EQ(symbols, stream.symbols) << c.width << " bits, codes up to " << c.maxLength;
    }
}

TEST(HuffmanTest, ChunkedInputGivesTheSameSymbolsAsOneBuffer)
{
    // Feeding the stream in pieces, and asking for a few symbols at a time,
    // exercises the spare register: bits read too far are put back, short
    // tails are parked, and the bytes reported as consumed must let the
    // caller go on exactly where the decoder stopped.
    struct Code {
        int width, maxLength;
    };
    for (const Code code : {Code{10, 27}, Code{10, 12}, Code{8, 11}}) {
        const Stream stream = RandomStream(code.width, code.maxLength, 3000, uint32_t(code.maxLength));
        for (const size_t chunk : {1, 2, 3, 5, 7, 64, 100000}) {
            for (const uint32_t step : {37u, 100000u}) {
                FHuffman huffman(code.width);
                huffman.DecodeReset();
                huffman.SetTable(stream.words.data(), uint32_t(stream.words.size()));
                std::vector<uint16_t> symbols(stream.symbols.size());
                size_t done = 0, offset = 0;
                while (done < symbols.size() && offset < stream.bytes.size()) {
                    const size_t length = std::min(chunk, stream.bytes.size() - offset);
                    const uint32_t wanted = uint32_t(std::min<size_t>(step, symbols.size() - done));
                    uint32_t position = 0, decoded = 0;
                    huffman.Decode(stream.bytes.data() + offset, uint32_t(length), position, symbols.data() + done,
                                   wanted, decoded);
                    ASSERT_LE(huffman.SpareCount(), 32);
                    done += decoded;
                    offset += position;
                    ASSERT_TRUE(decoded > 0 || position > 0) << "no progress at byte " << offset;
                }
                uint32_t position = 0, decoded = 0;
                huffman.Decode(nullptr, 0, position, symbols.data() + done, uint32_t(symbols.size() - done),
                               decoded);
                done += decoded;
                ASSERT_EQ(done, symbols.size()) << "chunks of " << chunk << ", steps of " << step;
                EXPECT_EQ(symbols, stream.symbols) << "chunks of " << chunk << ", steps of " << step;
            }
        }
    }
}

TEST(HuffmanTest, FinishesShortTailsFromTheSpareBits)
{
    // Codes of 1 to 7 bits, so a lookup takes 3 bits. The stream ends exactly
    // after two 1-bit codes: their lookups reach past the data and must be
    // finished from the parked bits.
    FHuffman huffman(3);
    const std::vector<int> lengths = {1, 2, 3, 4, 5, 6, 7, 7};
    const std::vector<uint32_t> words = CanonicalCodeWords(lengths);
    huffman.DecodeReset();
    huffman.SetTable(words.data(), uint32_t(words.size()));
    BitWriter bits;
    const std::vector<uint16_t> expected = {7, 6, 5, 4, 2, 1, 0, 0};  // 7+7+6+5+3+2+1+1 = 32 bits
    for (const uint16_t s : expected)
        bits.Put(words[s] & 0x7FFFFFF, int(words[s] >> 27));
    ASSERT_EQ(bits.BitCount(), 32u);
    std::vector<uint16_t> symbols(expected.size());
    uint32_t position, decoded;
    huffman.Decode(bits.Bytes().data(), 4, position, symbols.data(), uint32_t(symbols.size()), decoded);
    ASSERT_LT(decoded, expected.size());
    EXPECT_EQ(position, 4u);
    uint32_t more = 0;
    huffman.Decode(nullptr, 0, position, symbols.data() + decoded, uint32_t(symbols.size() - decoded), more);
    EXPECT_EQ(decoded + more, expected.size());
    EXPECT_EQ(symbols, expected);
    huffman.DecodeFlush();
}

TEST(HuffmanTest, RefusesTablesWhoseLookupWouldNotFitInMemory)
{
    // Sixty-four thousand 27-bit codes with distinct 13-bit prefixes would
    // need gigabytes of second-level tables.
    FHuffman huffman(16);
    std::vector<uint32_t> words(1u << 16);
    for (uint32_t s = 0; s < words.size(); ++s)
        words[s] = Word(27, (s & 0x1FFF) << 14 | s >> 13);
    huffman.DecodeReset();
    huffman.SetTable(words.data(), uint32_t(words.size()));
    const uint8_t data[] = {0, 0, 0, 0};
    uint16_t symbol;
    uint32_t position, decoded;
    EXPECT_EQ(HuffmanMessage([&] { huffman.Decode(data, 4, position, &symbol, 1, decoded); }),
              "Code table too large");
    // The refused table is gone: the next row does not try to build it again.
    EXPECT_EQ(HuffmanMessage([&] { huffman.Decode(data, 4, position, &symbol, 1, decoded); }),
              "Can't build decoding tree without a valid table!");
}
