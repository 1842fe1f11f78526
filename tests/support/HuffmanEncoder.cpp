#include "support/HuffmanEncoder.h"

#include <algorithm>
#include <queue>
#include <stdexcept>

namespace testsupport {

void BitWriter::Put(uint32_t value, int bits)
{
    while (bits > 0) {
        if (m_iBits % 8 == 0)
            m_Bytes.push_back(0);
        const int free = 8 - int(m_iBits % 8);
        const int take = std::min(free, bits);
        const uint32_t chunk = (value >> (bits - take)) & ((1u << take) - 1);
        m_Bytes.back() = uint8_t(m_Bytes.back() | chunk << (free - take));
        bits -= take;
        m_iBits += uint64_t(take);
    }
}

void BitWriter::Pad(size_t bytes)
{
    m_iBits = (m_iBits + 7) / 8 * 8;
    while (m_Bytes.size() % bytes != 0)
        m_Bytes.push_back(0);
    m_iBits = 8 * uint64_t(m_Bytes.size());
}

namespace {

std::vector<int> PlainHuffmanLengths(const std::vector<uint64_t>& frequencies)
{
    struct Node {
        uint64_t weight;
        int left, right;
    };
    std::vector<Node> nodes;
    using Item = std::pair<uint64_t, int>;
    std::priority_queue<Item, std::vector<Item>, std::greater<Item>> queue;
    for (size_t s = 0; s < frequencies.size(); ++s)
        if (frequencies[s] > 0) {
            nodes.push_back({frequencies[s], -1, int(s)});
            queue.push({frequencies[s], int(nodes.size()) - 1});
        }
    std::vector<int> lengths(frequencies.size(), 0);
    if (queue.empty())
        return lengths;
    if (queue.size() == 1) {
        lengths[size_t(nodes[0].right)] = 1;
        return lengths;
    }
    while (queue.size() > 1) {
        const Item a = queue.top();
        queue.pop();
        const Item b = queue.top();
        queue.pop();
        nodes.push_back({a.first + b.first, a.second, b.second});
        queue.push({a.first + b.first, int(nodes.size()) - 1});
    }
    // Depth-first walk: a node with left == -1 is a leaf whose symbol is `right`.
    std::vector<std::pair<int, int>> stack{{queue.top().second, 0}};
    while (!stack.empty()) {
        const auto [index, depth] = stack.back();
        stack.pop_back();
        const Node& node = nodes[size_t(index)];
        if (node.left < 0) {
            lengths[size_t(node.right)] = depth;
        } else {
            stack.push_back({node.left, depth + 1});
            stack.push_back({node.right, depth + 1});
        }
    }
    return lengths;
}

} // namespace

std::vector<int> HuffmanCodeLengths(const std::vector<uint64_t>& frequencies, int maxLength)
{
    const size_t used = size_t(std::count_if(frequencies.begin(), frequencies.end(), [](uint64_t f) { return f > 0; }));
    if (maxLength < 1 || (maxLength < 63 && used > (uint64_t(1) << maxLength)))
        throw std::invalid_argument("too many symbols for the code length limit");
    std::vector<uint64_t> weights = frequencies;
    for (;;) {
        std::vector<int> lengths = PlainHuffmanLengths(weights);
        if (*std::max_element(lengths.begin(), lengths.end()) <= maxLength)
            return lengths;
        // Flatten the distribution until the longest code fits.
        for (uint64_t& w : weights)
            if (w > 0)
                w = (w + 1) / 2;
    }
}

std::vector<uint32_t> CanonicalCodeWords(const std::vector<int>& lengths)
{
    std::vector<uint32_t> order;
    for (uint32_t s = 0; s < lengths.size(); ++s)
        if (lengths[s] > 0)
            order.push_back(s);
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return lengths[a] < lengths[b]; });
    std::vector<uint32_t> words(lengths.size(), 0);
    uint32_t code = 0;
    int previous = 0;
    for (const uint32_t s : order) {
        code <<= (lengths[s] - previous);
        previous = lengths[s];
        words[s] = uint32_t(lengths[s]) << 27 | code;
        ++code;
    }
    return words;
}

std::vector<int16_t> DefaultHuffmanCurve()
{
    std::vector<int16_t> curve(1024);
    for (int i = 0; i < 1024; ++i)
        curve[size_t(i)] = int16_t(i - 512);
    return curve;
}

HuffmanImage EncodeHuffmanImage(uint32_t format, uint32_t columns, uint32_t rows, const std::vector<uint8_t>& pixels,
                                const std::vector<int16_t>& curve, int maxCodeLength)
{
    const bool tenBit = format == 6;
    if (!tenBit && format != 11)
        throw std::invalid_argument("Huffman rows are formats 6 and 11");
    const size_t bytesPerSample = tenBit ? 2 : 1;
    const size_t perRow = size_t(columns) * 3;
    if (pixels.size() != perRow * rows * bytesPerSample)
        throw std::invalid_argument("pixel bytes do not match the size");

    std::vector<int32_t> symbolOf(65536, -1);  // difference -> first curve index giving it
    if (tenBit)
        for (uint32_t i = 0; i < 1024; ++i)
            if (symbolOf[uint16_t(curve.at(i))] < 0)
                symbolOf[uint16_t(curve.at(i))] = int32_t(i);

    // Symbols: the differences along each row, per component.
    std::vector<uint32_t> symbols(perRow * rows);
    for (uint32_t r = 0; r < rows; ++r) {
        uint32_t previous[3] = {0, 0, 0};
        for (size_t i = 0; i < perRow; ++i) {
            const size_t at = r * perRow + i;
            const uint32_t value = tenBit ? uint32_t(pixels[2 * at] | pixels[2 * at + 1] << 8) : pixels[at];
            const uint32_t mask = tenBit ? 0xFFFF : 0xFF;
            const uint32_t difference = (value - previous[i % 3]) & mask;
            previous[i % 3] = value;
            if (tenBit) {
                if (symbolOf[difference] < 0)
                    throw std::invalid_argument("difference is not on the curve");
                symbols[at] = uint32_t(symbolOf[difference]);
            } else {
                symbols[at] = difference;
            }
        }
    }

    std::vector<uint64_t> frequencies(tenBit ? 1024 : 256, 0);
    for (const uint32_t s : symbols)
        ++frequencies[s];
    const std::vector<uint32_t> words = CanonicalCodeWords(HuffmanCodeLengths(frequencies, maxCodeLength));
    std::vector<std::vector<uint8_t>> coded;
    for (uint32_t r = 0; r < rows; ++r) {
        BitWriter bits;
        for (size_t i = 0; i < perRow; ++i) {
            const uint32_t word = words[symbols[r * perRow + i]];
            bits.Put(word & 0x7FFFFFF, int(word >> 27));
        }
        bits.Pad(4);
        coded.push_back(bits.Bytes());
    }
    return AssembleHuffmanImage(format, curve, words, coded);
}

HuffmanImage AssembleHuffmanImage(uint32_t format, const std::vector<int16_t>& curve,
                                  const std::vector<uint32_t>& codeWords,
                                  const std::vector<std::vector<uint8_t>>& rows)
{
    HuffmanImage image;
    image.codeWords = codeWords;
    std::vector<uint8_t>& data = image.data;
    const auto put32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            data.push_back(uint8_t(v >> (8 * i)));
    };
    if (format == 6)
        for (const int16_t v : curve) {
            data.push_back(uint8_t(v));
            data.push_back(uint8_t(uint16_t(v) >> 8));
        }
    for (const uint32_t word : codeWords)
        put32(word);
    image.huffmanStart = data.size();
    for (const auto& row : rows) {
        image.rowOffsets.push_back(uint32_t(data.size() - image.huffmanStart));
        data.insert(data.end(), row.begin(), row.end());
    }
    for (const uint32_t offset : image.rowOffsets)
        put32(offset);
    return image;
}

} // namespace testsupport
