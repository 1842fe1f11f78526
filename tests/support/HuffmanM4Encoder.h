#pragma once
// Encoder of HuffmanM4 data (pixel format 30 and camfile type 4): each 12-bit
// value becomes the code of its difference's bit count followed by those bits,
// predicted from two columns to the left, or at a row start from two rows up.

#include <array>
#include <cstdint>
#include <vector>

namespace testsupport {

// Thirteen stored entries: code left-aligned in bits 4 to 15, length in 0 to 3.
using HuffmanM4Table = std::array<uint16_t, 13>;

// A canonical code of the given lengths (1 to 12 each; 0 ends the table).
HuffmanM4Table HuffmanM4TableFromLengths(const std::array<int, 13>& lengths);
// A code fitted to the difference bit counts of the planes (every entry gets a code).
HuffmanM4Table HuffmanM4TableFor(const std::vector<std::vector<uint16_t>>& planes, uint32_t columns,
                                 const std::vector<uint32_t>& predictors);

// Difference bit count and the bits that carry a difference.
int HuffmanM4BitCount(int32_t difference);
uint32_t HuffmanM4DifferenceBits(int32_t difference);

// One plane's bit stream, unpadded (its last byte filled with zero bits).
std::vector<uint8_t> EncodeHuffmanM4Plane(const std::vector<uint16_t>& values, uint32_t columns, uint32_t predictor,
                                          const HuffmanM4Table& table);

// Image data of a format-30 section from three ready plane streams (each padded
// to 16 bytes in the data, its unpadded size in the header).
std::vector<uint8_t> HuffmanM4ImageData(const std::array<uint16_t, 3>& predictors, const HuffmanM4Table& table,
                                        const std::array<std::vector<uint8_t>, 3>& planes);

// Image data of a format-30 section. samples: rows x columns x 3 values of
// 0..4095 (red, green, blue per pixel). A table of all zeros means: fit one.
std::vector<uint8_t> EncodeHuffmanM4Image(uint32_t columns, uint32_t rows, const std::vector<uint16_t>& samples,
                                          const std::array<uint16_t, 3>& predictors,
                                          HuffmanM4Table table = HuffmanM4Table{});

// Data of a type-4 camfile section holding `bytes` (padded with zeros to whole
// rows of `columns` 12-bit values). The section header's data length is the
// caller's: bytes.size().
std::vector<uint8_t> EncodeHuffmanM4Camfile(const std::vector<uint8_t>& bytes, uint32_t columns, uint32_t predictor,
                                            HuffmanM4Table table = HuffmanM4Table{});

} // namespace testsupport
