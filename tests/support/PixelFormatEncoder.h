#pragma once
// Encoder of the raw container's fixed-row pixel formats: turns a decoded image
// into the stored rows the decoder reads back, for every copied and converted
// format (packed 12-bit samples, planes, two by two blocks, half-width
// chroma, YCbCr).

#include <array>
#include <cstdint>
#include <vector>

namespace testsupport {

// Packed 12-bit samples: little-endian 32-bit words filled from bit 31 down,
// three words per eight samples; the last word is padded with zero bits.
std::vector<uint8_t> Pack12(const std::vector<uint16_t>& samples);
// Bytes (whole words) that n packed samples take.
uint64_t Packed12Size(uint64_t n);

struct FixedRows {
    uint32_t columns = 0;  // as stored
    uint32_t rows = 0;     // as stored
    uint32_t rowSize = 0;
    std::vector<uint8_t> data;  // the section's image data (format 5: curve first)
};

// Stored size of a decoded image: halved for the two by two formats (14, 16,
// 17, 25), rows halved for the two-green-row formats (20, 22).
void StoredSize(uint32_t format, uint32_t decodedColumns, uint32_t decodedRows, uint32_t& columns, uint32_t& rows);
// The smallest row size whose planes hold `columns` stored columns.
uint32_t MinimalRowSize(uint32_t format, uint32_t columns);

// Stored rows of an RGB or grey format, from the decoded pixmap's bytes (rows
// after one another without padding). Where pixels share a stored sample
// (half-width blue and red, two by two blocks) the first of them gives it.
// Format 5 stores curve indices: each difference along a row must be a value
// of `curve` (1024 entries). rowSize 0 means the smallest that fits.
FixedRows EncodeFixedRows(uint32_t format, uint32_t decodedColumns, uint32_t decodedRows,
                          const std::vector<uint8_t>& pixels, uint32_t rowSize = 0,
                          const std::vector<int16_t>& curve = {});

// Stored rows of a YCbCr format (25 to 28) from Y, Cb, Cr per decoded pixel;
// pixels sharing chroma take it from the first of them.
using YCbCr = std::array<uint16_t, 3>;
FixedRows EncodeYCbCrRows(uint32_t format, uint32_t decodedColumns, uint32_t decodedRows,
                          const std::vector<YCbCr>& pixels, uint32_t rowSize = 0);

} // namespace testsupport
