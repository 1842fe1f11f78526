#pragma once
// Encoder of the raw container's Huffman image rows (pixel formats 6 and 11),
// the inverse of the decoder: canonical length-limited codes, most significant
// bit first, every row padded to whole 32-bit words, the row table last.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace testsupport {

// Appends bits most significant first.
class BitWriter {
public:
    void Put(uint32_t value, int bits);
    // Pads with zero bits to a multiple of `bytes` bytes.
    void Pad(size_t bytes);
    uint64_t BitCount() const { return m_iBits; }
    const std::vector<uint8_t>& Bytes() const { return m_Bytes; }

private:
    std::vector<uint8_t> m_Bytes;
    uint64_t m_iBits = 0;
};

// Code lengths of a Huffman code for the frequencies, none above maxLength;
// symbols of frequency 0 get no code (length 0). A single used symbol gets 1.
std::vector<int> HuffmanCodeLengths(const std::vector<uint64_t>& frequencies, int maxLength);
// Canonical codes for the lengths: shorter codes first, in symbol order within
// a length. Returned as table words: length << 27 | code.
std::vector<uint32_t> CanonicalCodeWords(const std::vector<int>& lengths);

// curve[i] = i - 512: every difference from -512 to 511 has a symbol.
std::vector<int16_t> DefaultHuffmanCurve();

struct HuffmanImage {
    std::vector<uint8_t> data;        // the section's image data
    std::vector<uint32_t> codeWords;  // the code table used
    uint64_t huffmanStart = 0;        // offset of the coded rows in data
    std::vector<uint32_t> rowOffsets; // the row table (from huffmanStart)
};

// Image data of a format-6 or format-11 section from ready rows (each a whole
// number of 32-bit words): curve (format 6 only), code table, rows, row table.
HuffmanImage AssembleHuffmanImage(uint32_t format, const std::vector<int16_t>& curve,
                                  const std::vector<uint32_t>& codeWords,
                                  const std::vector<std::vector<uint8_t>>& rows);

// Image data of a format-6 or format-11 section. pixels are the decoded
// pixmap's bytes, rows after one another without padding: three int16 per
// pixel for format 6 (each difference to the pixel on the left, from 0 at the
// row start, must be a curve value), three bytes per pixel for format 11.
HuffmanImage EncodeHuffmanImage(uint32_t format, uint32_t columns, uint32_t rows, const std::vector<uint8_t>& pixels,
                                const std::vector<int16_t>& curve = DefaultHuffmanCurve(), int maxCodeLength = 16);

} // namespace testsupport
