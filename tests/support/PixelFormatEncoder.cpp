#include "support/PixelFormatEncoder.h"

#include <cstring>
#include <map>
#include <stdexcept>

namespace testsupport {

namespace {

bool IsCopied(uint32_t format) { return format == 0 || format == 1 || format == 3 || format == 8 || format == 29; }

uint32_t PixelBytes(uint32_t format)
{
    switch (format) {
    case 1: return 4;
    case 3: return 3;
    case 8: case 9: case 17: return 2;
    default: return 6;
    }
}

// Byte offsets and sample counts of the planes of a stored row.
struct PlaneSpan {
    uint64_t offset, span, samples;
    bool packed;
};

std::vector<PlaneSpan> Planes(uint32_t format, uint64_t R, uint64_t C)
{
    const uint64_t half = (C + 1) / 2;
    switch (format) {
    case 4: return {{0, R, 3 * C, true}};
    case 28: return {{0, R, 3 * C, true}};
    case 9: return {{0, R, C, true}};
    case 5: return {{0, R, C, false}};  // one 32-bit word per pixel: checked below
    case 12: {
        const uint64_t p = 2 * (R / 6);
        return {{0, p, C, false}, {p, p, C, false}, {2 * p, R - 2 * p, C, false}};
    }
    case 13: case 24: {
        const uint64_t p = 4 * (R / 12);
        return {{0, p, C, true}, {p, p, C, true}, {2 * p, R - 2 * p, C, true}};
    }
    case 14: case 16: {
        const uint64_t p = R / 6;
        std::vector<PlaneSpan> planes;
        for (uint64_t k = 0; k < 6; ++k)
            planes.push_back({k * p, p, C, format == 16});
        return planes;
    }
    case 17: {
        const uint64_t p = 4 * (R / 16);
        std::vector<PlaneSpan> planes;
        for (uint64_t k = 0; k < 4; ++k)
            planes.push_back({k * p, p, C, true});
        return planes;
    }
    case 20: {
        const uint64_t t = R / 3, s = R / 6;
        return {{0, t, C, true}, {t, t, C, true}, {2 * t, s, half, true}, {2 * t + s, R - 2 * t - s, half, true}};
    }
    case 21: {
        const uint64_t h = R / 2, q = R / 4;
        return {{0, h, C, true}, {h, q, half, true}, {h + q, R - h - q, half, true}};
    }
    case 22: {
        const uint64_t q = R / 4;
        return {{0, q, C, true}, {q, q, C, true}, {2 * q, q, C, true}, {3 * q, R - 3 * q, C, true}};
    }
    case 25: return {{0, R, 6 * C, true}};
    case 26: return {{0, R, 4 * half, false}};  // bytes
    case 27: return {{0, R, 4 * half, true}};
    default: return {};
    }
}

bool Fits(uint32_t format, uint64_t R, uint64_t C)
{
    if (IsCopied(format))
        return R >= C * PixelBytes(format);
    if (format == 5)
        return R >= 4 * C;
    if (format == 26)
        return R >= 4 * ((C + 1) / 2);
    for (const PlaneSpan& plane : Planes(format, R, C)) {
        const uint64_t need = plane.packed ? Packed12Size(plane.samples) : 2 * plane.samples;
        if (need > plane.span)
            return false;
    }
    return true;
}

void Put16(uint8_t* at, uint16_t v)
{
    at[0] = uint8_t(v);
    at[1] = uint8_t(v >> 8);
}

void WritePlane(std::vector<uint8_t>& row, const PlaneSpan& plane, const std::vector<uint16_t>& samples)
{
    if (plane.packed) {
        const std::vector<uint8_t> bytes = Pack12(samples);
        std::memcpy(row.data() + plane.offset, bytes.data(), bytes.size());
    } else {
        for (size_t i = 0; i < samples.size(); ++i)
            Put16(row.data() + plane.offset + 2 * i, samples[i]);
    }
}

// Reads component k (0 red, 1 green, 2 blue) of a 48-bit pixel, or the grey value (k ignored).
class Decoded {
public:
    Decoded(const std::vector<uint8_t>& pixels, uint32_t columns, uint32_t bytes)
        : m_Pixels(pixels), m_iColumns(columns), m_iBytes(bytes)
    {
    }
    uint16_t At(uint64_t row, uint64_t column, int k = 0) const
    {
        const uint8_t* p = m_Pixels.data() + (row * m_iColumns + column) * m_iBytes + 2 * uint64_t(k);
        return uint16_t(p[0] | p[1] << 8);
    }

private:
    const std::vector<uint8_t>& m_Pixels;
    uint32_t m_iColumns;
    uint32_t m_iBytes;
};

FixedRows Prepare(uint32_t format, uint32_t decodedColumns, uint32_t decodedRows, uint32_t rowSize)
{
    FixedRows out;
    StoredSize(format, decodedColumns, decodedRows, out.columns, out.rows);
    out.rowSize = rowSize ? rowSize : MinimalRowSize(format, out.columns);
    if (!Fits(format, out.rowSize, out.columns))
        throw std::invalid_argument("row size too small for the planes");
    return out;
}

} // namespace

uint64_t Packed12Size(uint64_t n) { return (n * 12 + 31) / 32 * 4; }

std::vector<uint8_t> Pack12(const std::vector<uint16_t>& samples)
{
    std::vector<uint32_t> words(size_t(Packed12Size(samples.size()) / 4), 0);
    for (size_t i = 0; i < samples.size(); ++i)
        for (int b = 11; b >= 0; --b) {
            const size_t bit = 12 * i + size_t(11 - b);  // position in the stream
            if ((samples[i] >> b) & 1)
                words[bit / 32] |= 1u << (31 - bit % 32);
        }
    std::vector<uint8_t> bytes(words.size() * 4);
    for (size_t w = 0; w < words.size(); ++w)
        for (int i = 0; i < 4; ++i)
            bytes[4 * w + size_t(i)] = uint8_t(words[w] >> (8 * i));
    return bytes;
}

void StoredSize(uint32_t format, uint32_t decodedColumns, uint32_t decodedRows, uint32_t& columns, uint32_t& rows)
{
    columns = decodedColumns;
    rows = decodedRows;
    if (format == 14 || format == 16 || format == 17 || format == 25) {
        columns /= 2;
        rows /= 2;
    } else if (format == 20 || format == 22) {
        rows /= 2;
    }
}

uint32_t MinimalRowSize(uint32_t format, uint32_t columns)
{
    uint32_t R = 1;
    while (!Fits(format, R, columns))
        ++R;
    return R;
}

FixedRows EncodeFixedRows(uint32_t format, uint32_t decodedColumns, uint32_t decodedRows,
                          const std::vector<uint8_t>& pixels, uint32_t rowSize, const std::vector<int16_t>& curve)
{
    const uint32_t bytes = PixelBytes(format);
    if (pixels.size() != size_t(decodedColumns) * decodedRows * bytes)
        throw std::invalid_argument("pixel bytes do not match the size");
    FixedRows out = Prepare(format, decodedColumns, decodedRows, rowSize);
    const uint64_t R = out.rowSize, C = out.columns;
    const Decoded image(pixels, decodedColumns, bytes);

    std::map<uint16_t, uint32_t> indexOf;
    if (format == 5) {
        if (curve.size() != 1024)
            throw std::invalid_argument("format 5 needs a curve of 1024 values");
        for (uint32_t i = 0; i < 1024; ++i) {
            indexOf.emplace(uint16_t(curve[i]), i);
            out.data.push_back(uint8_t(curve[i]));
            out.data.push_back(uint8_t(uint16_t(curve[i]) >> 8));
        }
    }

    const std::vector<PlaneSpan> planes = Planes(format, R, C);
    for (uint32_t r = 0; r < out.rows; ++r) {
        std::vector<uint8_t> row(size_t(R), 0);
        const auto plane = [&](size_t p, auto&& sample) {
            std::vector<uint16_t> samples(size_t(planes[p].samples));
            for (size_t i = 0; i < samples.size(); ++i)
                samples[i] = sample(uint64_t(i));
            WritePlane(row, planes[p], samples);
        };
        switch (format) {
        case 0: case 1: case 3: case 8: case 29:
            std::memcpy(row.data(), pixels.data() + size_t(r) * C * bytes, size_t(C * bytes));
            break;
        case 4:
            plane(0, [&](uint64_t i) { return image.At(r, i / 3, int(i % 3)); });
            break;
        case 9:
            plane(0, [&](uint64_t i) { return image.At(r, i); });
            break;
        case 5: {
            uint16_t previous[3] = {0, 0, 0};
            for (uint64_t j = 0; j < C; ++j) {
                uint32_t word = 0;
                for (int k = 0; k < 3; ++k) {
                    const uint16_t value = image.At(r, j, k);
                    const auto found = indexOf.find(uint16_t(value - previous[k]));
                    if (found == indexOf.end())
                        throw std::invalid_argument("difference is not on the curve");
                    word |= found->second << (20 - 10 * k);
                    previous[k] = value;
                }
                for (int i = 0; i < 4; ++i)
                    row[size_t(4 * j) + size_t(i)] = uint8_t(word >> (8 * i));
            }
            break;
        }
        case 12: case 13:
            for (int k = 0; k < 3; ++k)
                plane(size_t(k), [&](uint64_t i) { return image.At(r, i, k); });
            break;
        case 24: {
            const int order[3] = {1, 2, 0};  // planes G, B, R
            for (int p = 0; p < 3; ++p)
                plane(size_t(p), [&](uint64_t i) { return image.At(r, i, order[p]); });
            break;
        }
        case 14: case 16: {
            // G0, G1, G2, G3 from the block's four pixels; B and R from its first.
            for (int p = 0; p < 4; ++p)
                plane(size_t(p), [&](uint64_t i) { return image.At(2 * r + p / 2, 2 * i + p % 2, 1); });
            plane(4, [&](uint64_t i) { return image.At(2 * r, 2 * i, 2); });
            plane(5, [&](uint64_t i) { return image.At(2 * r, 2 * i, 0); });
            break;
        }
        case 17:
            for (int p = 0; p < 4; ++p)
                plane(size_t(p), [&](uint64_t i) { return image.At(2 * r + p / 2, 2 * i + p % 2); });
            break;
        case 20:
            plane(0, [&](uint64_t j) { return image.At(2 * r, j, 1); });
            plane(1, [&](uint64_t j) { return image.At(2 * r + 1, j, 1); });
            plane(2, [&](uint64_t m) { return image.At(2 * r, 2 * m, 2); });
            plane(3, [&](uint64_t m) { return image.At(2 * r, 2 * m, 0); });
            break;
        case 21:
            plane(0, [&](uint64_t j) { return image.At(r, j, 1); });
            plane(1, [&](uint64_t m) { return image.At(r, 2 * m, 2); });
            plane(2, [&](uint64_t m) { return image.At(r, 2 * m, 0); });
            break;
        case 22:
            plane(0, [&](uint64_t j) { return image.At(2 * r, j, 1); });
            plane(1, [&](uint64_t j) { return image.At(2 * r + 1, j, 1); });
            plane(2, [&](uint64_t j) { return image.At(2 * r, j, 2); });
            plane(3, [&](uint64_t j) { return image.At(2 * r, j, 0); });
            break;
        default:
            throw std::invalid_argument("not an RGB or grey fixed-row format");
        }
        out.data.insert(out.data.end(), row.begin(), row.end());
    }
    return out;
}

FixedRows EncodeYCbCrRows(uint32_t format, uint32_t decodedColumns, uint32_t decodedRows,
                          const std::vector<YCbCr>& pixels, uint32_t rowSize)
{
    if (pixels.size() != size_t(decodedColumns) * decodedRows)
        throw std::invalid_argument("pixel count does not match the size");
    FixedRows out = Prepare(format, decodedColumns, decodedRows, rowSize);
    const uint64_t R = out.rowSize, C = out.columns;
    const auto at = [&](uint64_t row, uint64_t column) -> const YCbCr& {
        return pixels[size_t(row * decodedColumns + column)];
    };
    // Y of a pixel that may lie past the last column (the second of an odd pair).
    const auto y = [&](uint64_t row, uint64_t column) -> uint16_t {
        return column < decodedColumns ? at(row, column)[0] : 0;
    };
    const std::vector<PlaneSpan> planes = Planes(format, R, C);
    for (uint32_t r = 0; r < out.rows; ++r) {
        std::vector<uint8_t> row(size_t(R), 0);
        std::vector<uint16_t> s;
        switch (format) {
        case 25:
            for (uint64_t i = 0; i < C; ++i) {
                const YCbCr& lead = at(2 * r, 2 * i);
                s.insert(s.end(), {y(2 * r, 2 * i), y(2 * r, 2 * i + 1), y(2 * r + 1, 2 * i),
                                   y(2 * r + 1, 2 * i + 1), lead[1], lead[2]});
            }
            WritePlane(row, planes[0], s);
            break;
        case 26:
            for (uint64_t m = 0; m < (C + 1) / 2; ++m) {
                const YCbCr& lead = at(r, 2 * m);
                const uint8_t bytes[4] = {uint8_t(lead[0]), uint8_t(lead[1]), uint8_t(y(r, 2 * m + 1)),
                                          uint8_t(lead[2])};
                std::memcpy(row.data() + 4 * m, bytes, 4);
            }
            break;
        case 27:
            for (uint64_t m = 0; m < (C + 1) / 2; ++m) {
                const YCbCr& lead = at(r, 2 * m);
                s.insert(s.end(), {lead[0], lead[1], y(r, 2 * m + 1), lead[2]});
            }
            WritePlane(row, planes[0], s);
            break;
        case 28:
            for (uint64_t j = 0; j < C; ++j) {
                const YCbCr& p = at(r, j);
                s.insert(s.end(), {p[0], p[2], p[1]});
            }
            WritePlane(row, planes[0], s);
            break;
        default:
            throw std::invalid_argument("not a YCbCr format");
        }
        out.data.insert(out.data.end(), row.begin(), row.end());
    }
    return out;
}

} // namespace testsupport
