#include "support/HuffmanM4Encoder.h"

#include "support/HuffmanEncoder.h"

#include <algorithm>
#include <stdexcept>

namespace testsupport {

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// Calls visit(predictor, value) for every value of a plane in stream order.
template <class Visit>
void WalkPlane(const std::vector<uint16_t>& values, uint32_t columns, uint32_t predictor, Visit&& visit)
{
    if (columns == 0)
        return;
    const size_t rows = values.size() / columns;
    uint32_t rowStart[2][2] = {{0, 0}, {0, 0}};
    for (size_t r = 0; r < rows; ++r) {
        uint32_t last[2] = {0, 0};
        for (uint32_t c = 0; c < columns; ++c) {
            const uint32_t value = values[r * columns + c];
            const uint32_t p = c >= 2 ? last[c & 1] : r >= 2 ? rowStart[c][r & 1] : predictor;
            visit(p, value);
            last[c & 1] = value;
            if (c < 2)
                rowStart[c][r & 1] = value;
        }
    }
}

bool IsEmpty(const HuffmanM4Table& table)
{
    return std::all_of(table.begin(), table.end(), [](uint16_t e) { return e == 0; });
}

} // namespace

HuffmanM4Table HuffmanM4TableFromLengths(const std::array<int, 13>& lengths)
{
    const std::vector<uint32_t> words = CanonicalCodeWords(std::vector<int>(lengths.begin(), lengths.end()));
    HuffmanM4Table table{};
    for (size_t i = 0; i < 13; ++i) {
        const int length = lengths[i];
        if (length == 0)
            continue;
        const uint32_t code = words[i] & 0x7FFFFFF;
        table[i] = uint16_t((code << (12 - length)) << 4 | uint32_t(length));
    }
    return table;
}

int HuffmanM4BitCount(int32_t difference)
{
    uint32_t magnitude = uint32_t(difference < 0 ? -difference : difference);
    int bits = 0;
    while (magnitude) {
        ++bits;
        magnitude >>= 1;
    }
    return bits;
}

uint32_t HuffmanM4DifferenceBits(int32_t difference)
{
    const int s = HuffmanM4BitCount(difference);
    return difference >= 0 ? uint32_t(difference) : uint32_t(difference + (1 << s) - 1);
}

HuffmanM4Table HuffmanM4TableFor(const std::vector<std::vector<uint16_t>>& planes, uint32_t columns,
                                 const std::vector<uint32_t>& predictors)
{
    std::vector<uint64_t> frequencies(13, 1);
    for (size_t p = 0; p < planes.size(); ++p)
        WalkPlane(planes[p], columns, predictors.at(p), [&](uint32_t predictor, uint32_t value) {
            ++frequencies[size_t(HuffmanM4BitCount(int32_t(value) - int32_t(predictor)))];
        });
    const std::vector<int> lengths = HuffmanCodeLengths(frequencies, 12);
    std::array<int, 13> fixed{};
    std::copy(lengths.begin(), lengths.end(), fixed.begin());
    return HuffmanM4TableFromLengths(fixed);
}

std::vector<uint8_t> EncodeHuffmanM4Plane(const std::vector<uint16_t>& values, uint32_t columns, uint32_t predictor,
                                          const HuffmanM4Table& table)
{
    BitWriter bits;
    WalkPlane(values, columns, predictor, [&](uint32_t p, uint32_t value) {
        if (value > 4095)
            throw std::invalid_argument("HuffmanM4 values are 12-bit");
        const int32_t difference = int32_t(value) - int32_t(p);
        const int s = HuffmanM4BitCount(difference);
        const int length = table[size_t(s)] & 15;
        if (length == 0 || length > 12)
            throw std::invalid_argument("no code for this bit count");
        bits.Put(uint32_t(table[size_t(s)] >> 4) >> (12 - length), length);
        bits.Put(HuffmanM4DifferenceBits(difference), s);
    });
    bits.Pad(1);
    return bits.Bytes();
}

std::vector<uint8_t> EncodeHuffmanM4Image(uint32_t columns, uint32_t rows, const std::vector<uint16_t>& samples,
                                          const std::array<uint16_t, 3>& predictors, HuffmanM4Table table)
{
    if (samples.size() != size_t(columns) * rows * 3)
        throw std::invalid_argument("sample count does not match the size");
    std::vector<std::vector<uint16_t>> planes(3);
    for (size_t i = 0; i < samples.size(); ++i)
        planes[i % 3].push_back(samples[i]);
    const std::vector<uint32_t> initial = {uint32_t(predictors[0] & 0x3FF), uint32_t(predictors[1] & 0x3FF),
                                           uint32_t(predictors[2] & 0x3FF)};
    if (IsEmpty(table))
        table = HuffmanM4TableFor(planes, columns, initial);

    std::array<std::vector<uint8_t>, 3> coded;
    for (size_t p = 0; p < 3; ++p)
        coded[p] = EncodeHuffmanM4Plane(planes[p], columns, initial[p], table);
    return HuffmanM4ImageData(predictors, table, coded);
}

std::vector<uint8_t> HuffmanM4ImageData(const std::array<uint16_t, 3>& predictors, const HuffmanM4Table& table,
                                        const std::array<std::vector<uint8_t>, 3>& coded)
{
    std::vector<uint8_t> data;
    for (const uint16_t predictor : predictors)
        Put16(data, predictor);
    Put16(data, 0);
    for (const uint16_t entry : table)
        Put16(data, entry);
    Put16(data, 0);
    for (const auto& plane : coded)
        Put32(data, uint32_t(plane.size()));
    for (const auto& plane : coded) {
        data.insert(data.end(), plane.begin(), plane.end());
        while (data.size() % 16 != 0)
            data.push_back(0);
    }
    return data;
}

std::vector<uint8_t> EncodeHuffmanM4Camfile(const std::vector<uint8_t>& bytes, uint32_t columns, uint32_t predictor,
                                            HuffmanM4Table table)
{
    if (columns == 0)
        throw std::invalid_argument("columns must not be 0");
    // Two values per three bytes, most significant bits first.
    std::vector<uint16_t> values;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const uint32_t b0 = bytes[i];
        const uint32_t b1 = i + 1 < bytes.size() ? bytes[i + 1] : 0;
        const uint32_t b2 = i + 2 < bytes.size() ? bytes[i + 2] : 0;
        values.push_back(uint16_t(b0 << 4 | b1 >> 4));
        values.push_back(uint16_t((b1 & 15) << 8 | b2));
    }
    while (values.size() % columns != 0)
        values.push_back(0);
    const uint32_t rows = uint32_t(values.size() / columns);
    predictor &= 0x3FF;
    if (IsEmpty(table))
        table = HuffmanM4TableFor({values}, columns, {predictor});

    std::vector<uint8_t> data;
    Put32(data, predictor);
    Put32(data, columns);
    Put32(data, rows);
    for (const uint16_t entry : table)
        Put16(data, entry);
    Put16(data, 0);
    Put32(data, 0);
    const std::vector<uint8_t> coded = EncodeHuffmanM4Plane(values, columns, predictor, table);
    data.insert(data.end(), coded.begin(), coded.end());
    return data;
}

} // namespace testsupport
