#pragma once
// Decoder of the raw container's Huffman image rows. The code comes as one
// code word per symbol (length in bits 27 to 31, code in bits 0 to 26) and is
// turned into a two-level lookup table: a root table indexed by the first
// half of the longest code's bits, and second-level tables for longer codes.
//
// A row's bytes are handed over in one piece. Bits read past a symbol's code
// are kept in a 32-bit spare register, and bytes too few for a full lookup are
// parked there too, so that a later call without data can finish the row's
// last symbols (their missing bits read as zeros).
//
// Errors are FExceptionHuffman.

#include <cstdint>
#include <vector>

class FHuffman {
public:
    // width: bits per symbol, 2 to 16; anything else throws "Invalid number of bits".
    explicit FHuffman(int width);
    ~FHuffman();
    FHuffman(const FHuffman&) = delete;
    FHuffman& operator=(const FHuffman&) = delete;

    // Symbol i gets the code in words[i]; symbols beyond count have no code,
    // words beyond the symbol count are ignored. A code longer than 27 bits or
    // with more significant bits than its length is refused.
    void SetTable(const uint32_t* words, uint32_t count);
    void DecodeReset();
    // Decodes up to `wanted` symbols from the spare bits followed by `data`.
    // Without data (null or length 0) it finishes from the spare bits alone,
    // reading missing bits as zeros. `position` receives the bytes consumed.
    void Decode(const uint8_t* data, uint32_t length, uint32_t& position, uint16_t* symbols, uint32_t wanted,
                uint32_t& decoded);
    // Empties the spare register; only while decoding.
    void DecodeFlush();

    // Spare register (right-aligned bits) and the number of bits it holds.
    uint32_t SpareBits() const { return m_iSpare; }
    int SpareCount() const { return m_iSpareCount; }

private:
    enum State { kReset = 4, kTableReady = 6, kDecoding = 7 };

    void BuildTree();
    // The bits of the current input (spare register, then data) from a bit position on.
    uint32_t StreamBits(const uint8_t* data, uint32_t length, uint64_t position, int count) const;

    int m_iWidth;
    std::vector<uint8_t> m_Lengths;
    std::vector<uint32_t> m_Codes;
    int m_iMaxLength = 0;
    bool m_bTableLoaded = false;
    int m_iState = kReset;
    uint32_t m_iSpare = 0;
    int m_iSpareCount = 0;

    int m_iRootBits = 0;
    std::vector<uint32_t> m_Root;
    std::vector<uint32_t> m_Second;  // every second-level table, one after another
    // The two levels folded into one table of m_iFlatBits bits, for decoding
    // while bits are ample; codes longer than that are marked to take the two
    // levels.
    int m_iFlatBits = 0;
    std::vector<uint32_t> m_Flat;
};
