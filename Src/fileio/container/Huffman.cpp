#include "fileio/container/Huffman.h"

#include "fileio/container/FBitReader.h"
#include "foundation/FException.h"

#include <algorithm>
#include <array>
#include <numeric>
#include <utility>

namespace {

// Table entries. A leaf holds the code length in bits 0-4 (so that the
// register shifts by the entry itself), the bits its lookups take in bits
// 8-12 and the symbol in bits 16-31; a node holds the width of its
// second-level table and where that table starts.
constexpr uint32_t kLeaf = 1u << 7;
constexpr uint32_t kNode = 1u << 6;
constexpr int kMaxCodeLength = 27;
// Second-level tables of all nodes together. No complete code of up to 12-bit
// symbols comes near this; only a hostile table would, and it must not make
// us allocate gigabytes.
constexpr uint32_t kMaxSecondEntries = 1u << 24;
// Width of the folded table: 16 KiB, which stays in the first-level cache.
constexpr int kMaxFlatBits = 12;

uint32_t Leaf(uint32_t symbol, int length, int lookup)
{
    return kLeaf | uint32_t(length) | uint32_t(lookup) << 8 | symbol << 16;
}
uint32_t Node(int width, uint32_t offset) { return kNode | uint32_t(width) | offset << 8; }
int LeafLength(uint32_t entry) { return int(entry & 31); }
int LeafLookup(uint32_t entry) { return int(entry >> 8) & 31; }
uint16_t LeafSymbol(uint32_t entry) { return uint16_t(entry >> 16); }
int NodeWidth(uint32_t entry) { return int(entry & 31); }
uint32_t NodeOffset(uint32_t entry) { return entry >> 8; }

// An empty entry takes the leaf before it, so that every index starting with
// a code decodes to that code's symbol; entries before the first leaf (and
// after a node) stay empty.
void FillGaps(uint32_t* table, size_t size)
{
    for (size_t i = 1; i < size; ++i)
        if (table[i] == 0 && (table[i - 1] & kLeaf))
            table[i] = table[i - 1];
}

// The bulk of a row: two symbols per refill while 2 M bits are held, so every
// lookup has all the bits it can need. Codes of up to F bits take one lookup
// in the folded table (F is a constant here, so the index is a shift by a
// constant); longer ones take the root and second-level tables. Returns false
// when a lookup found no code; `reached` takes the furthest bit a failed
// lookup took (those of the decoded symbols are settled by the caller).
template <int F>
bool DecodeWhileAmple(FBitReader& bits, const uint8_t* data, const uint32_t* flat, const uint32_t* root,
                      const uint32_t* second, int k, int pairBits, uint16_t* symbols, uint32_t& count,
                      uint32_t wanted, uint32_t& lastEntry, uint64_t& reached)
{
    FBitReader in = bits;
    uint32_t n = count;
    uint32_t last = lastEntry;
    bool found = true;
    while (n + 2 <= wanted) {
        in.Refill(56);
        if (in.Held() < pairBits)
            break;
        for (int twice = 0; twice < 2; ++twice) {
            const uint64_t window = in.Window();
            uint32_t entry = flat[window >> (64 - F)];
            if (entry & kNode) {
                entry = root[window >> (64 - k)];
                const int width = NodeWidth(entry);
                entry = second[NodeOffset(entry) + uint32_t((window << k) >> (64 - width))];
                if (!(entry & kLeaf))
                    reached = std::max(reached, in.Consumed(data) + uint64_t(k + width));
            }
            if (!(entry & kLeaf)) {
                reached = std::max(reached, in.Consumed(data) + uint64_t(k));
                found = false;
                break;
            }
            last = entry;
            symbols[n++] = LeafSymbol(entry);
            in.Consume(LeafLength(entry));
        }
        if (!found)
            break;
    }
    bits = in;
    count = n;
    lastEntry = last;
    return found;
}

using DecodeWhileAmpleFunction = bool (*)(FBitReader&, const uint8_t*, const uint32_t*, const uint32_t*,
                                          const uint32_t*, int, int, uint16_t*, uint32_t&, uint32_t, uint32_t&,
                                          uint64_t&);

template <int... F>
constexpr std::array<DecodeWhileAmpleFunction, sizeof...(F)> MakeDecoders(std::integer_sequence<int, F...>)
{
    return {&DecodeWhileAmple<F + 1>...};
}

// By folded width: 1 to kMaxFlatBits, or the root width when that is wider
// (up to 13 for 27-bit codes).
constexpr auto kDecoders = MakeDecoders(std::make_integer_sequence<int, 14>());

} // namespace

FHuffman::FHuffman(int width) : m_iWidth(width)
{
    if (width < 2 || width > 16)
        throw FExceptionHuffman("Invalid number of bits");
    m_Lengths.assign(size_t(1) << width, 0);
    m_Codes.assign(size_t(1) << width, 0);
}

FHuffman::~FHuffman() = default;

void FHuffman::SetTable(const uint32_t* words, uint32_t count)
{
    const uint32_t symbols = uint32_t(m_Lengths.size());
    count = std::min(count, symbols);
    std::fill(m_Lengths.begin(), m_Lengths.end(), 0);
    std::fill(m_Codes.begin(), m_Codes.end(), 0);
    int longest = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const int length = int(words[i] >> 27);
        const uint32_t code = words[i] & 0x7FFFFFF;
        // Such codes would index past the lookup tables.
        if (length > kMaxCodeLength || uint64_t(code) >> length != 0) {
            m_bTableLoaded = false;
            throw FExceptionHuffman("Invalid code in table");
        }
        m_Lengths[i] = uint8_t(length);
        m_Codes[i] = code;
        longest = std::max(longest, length);
    }
    m_iMaxLength = longest;
    m_bTableLoaded = true;
}

void FHuffman::DecodeReset()
{
    m_iState = kReset;
    m_iSpare = 0;
    m_iSpareCount = 0;
}

void FHuffman::DecodeFlush()
{
    if (m_iState != kDecoding)
        throw FExceptionHuffman("DecodeFlush() not decoding data!");
    m_iSpare = 0;
    m_iSpareCount = 0;
}

void FHuffman::BuildTree()
{
    // At least one root bit, so that a root index is one shift of the
    // register; a code of one bit decodes the same either way.
    const int k = std::max(1, m_iMaxLength / 2);
    m_iRootBits = k;
    m_Root.assign(size_t(1) << k, 0);
    m_Second.clear();

    // Longest codes first, in symbol order within a length.
    std::vector<uint32_t> order(m_Lengths.size());
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(),
                     [this](uint32_t a, uint32_t b) { return m_Lengths[a] > m_Lengths[b]; });

    for (const uint32_t symbol : order) {
        const int length = m_Lengths[symbol];
        const uint32_t code = m_Codes[symbol];
        if (length == 0)
            break;
        if (length > k) {
            uint32_t& root = m_Root[code >> (length - k)];
            if (!(root & kNode)) {
                const int width = length - k;
                const size_t offset = m_Second.size();
                if (offset + (size_t(1) << width) > kMaxSecondEntries)
                    throw FExceptionHuffman("Code table too large");
                m_Second.resize(offset + (size_t(1) << width), 0);
                root = Node(width, uint32_t(offset));
            }
            const int width = NodeWidth(root);
            const uint32_t index = (code << (width + k - length)) & ((1u << width) - 1);
            m_Second[NodeOffset(root) + index] = Leaf(symbol, length, k + width);
        } else {
            m_Root[code << (k - length)] = Leaf(symbol, length, k);
        }
    }

    for (const uint32_t root : m_Root)
        if (root & kNode)
            FillGaps(&m_Second[NodeOffset(root)], size_t(1) << NodeWidth(root));
    FillGaps(m_Root.data(), m_Root.size());

    // Fold both levels: each index decodes exactly as the two lookups would.
    const int f = std::max(k, std::min(m_iMaxLength, kMaxFlatBits));
    m_iFlatBits = f;
    m_Flat.assign(size_t(1) << f, 0);
    for (uint32_t index = 0; index < m_Flat.size(); ++index) {
        const uint32_t root = m_Root[index >> (f - k)];
        if (!(root & kNode)) {
            m_Flat[index] = root;
            continue;
        }
        const int width = NodeWidth(root);
        if (k + width > f) {
            m_Flat[index] = kNode;  // take the two levels
            continue;
        }
        const uint32_t low = (index >> (f - k - width)) & ((1u << width) - 1);
        const uint32_t leaf = m_Second[NodeOffset(root) + low];
        // A failed second-level lookup counts its bits: let the two levels tell.
        m_Flat[index] = leaf ? leaf : kNode;
    }
}

uint32_t FHuffman::StreamBits(const uint8_t* data, uint32_t length, uint64_t position, int count) const
{
    uint32_t value = 0;
    for (int i = 0; i < count; ++i, ++position) {
        uint32_t bit;
        if (position < uint64_t(m_iSpareCount)) {
            bit = (m_iSpare >> (m_iSpareCount - 1 - int(position))) & 1;
        } else {
            const uint64_t at = position - uint64_t(m_iSpareCount);
            bit = at / 8 < length ? (data[at / 8] >> (7 - at % 8)) & 1 : 0;
        }
        value = value << 1 | bit;
    }
    return value;
}

void FHuffman::Decode(const uint8_t* data, uint32_t length, uint32_t& position, uint16_t* symbols, uint32_t wanted,
                      uint32_t& decoded)
{
    decoded = 0;
    position = 0;
    if (m_iState == kReset) {
        if (length == 0)
            return;
        m_iState = kTableReady;
    }
    if (m_iState == kTableReady) {
        if (!m_bTableLoaded)
            throw FExceptionHuffman("Can't build decoding tree without a valid table!");
        try {
            BuildTree();
        } catch (...) {
            // Dropped, so that the rows after it fail at once instead of
            // building the same oversized table again, row after row.
            m_bTableLoaded = false;
            throw;
        }
        m_iState = kDecoding;
    } else if (m_iState != kDecoding) {
        throw FExceptionHuffman("Decode() invalid state!");
    }

    const bool withData = data != nullptr && length > 0;
    if (!withData) {
        data = nullptr;
        length = 0;
    }
    FBitReader in(data, length, m_iSpare, m_iSpareCount);
    const int k = m_iRootBits;
    const int rootShift = 64 - k;
    const uint32_t* root = m_Root.data();
    const uint32_t* second = m_Second.data();
    // Bytes count as read up to the furthest bit any lookup has taken. A
    // lookup takes at most one bit more than twice the root width, so no
    // symbol's lookup reaches beyond the next symbol's: only the last symbol
    // and failed lookups need counting.
    uint64_t reached = 0;
    uint32_t lastEntry = 0;
    uint32_t n = 0;
    bool stopped = false;
    bool outOfBits = false;
    const auto reach = [&](int bits) { reached = std::max(reached, in.Consumed(data) + uint64_t(bits)); };

    const int pairBits = 2 * std::max(m_iMaxLength, k);
    stopped = !kDecoders[size_t(m_iFlatBits - 1)](in, data, m_Flat.data(), root, second, k, pairBits, symbols, n,
                                                   wanted, lastEntry, reached);

    // The last symbols: a lookup may need more bits than remain.
    while (!stopped && n < wanted) {
        in.Refill();
        const int held = in.Held();  // below 32 only when nothing else remains
        const uint64_t window = in.Window();  // zeros beyond the held bits
        const uint32_t rootEntry = root[window >> rootShift];
        uint32_t entry = rootEntry;
        if (held < k) {
            // With data the bits simply ran out; without data the spare bits,
            // padded with zeros, may still hold one short code.
            if (withData || held == 0 || !(rootEntry & kLeaf)) {
                outOfBits = withData;
                break;
            }
        } else {
            if (withData)
                reach(k);
            if (rootEntry & kNode) {
                const int width = NodeWidth(rootEntry);
                if (held < k + width && (withData || held == k)) {
                    outOfBits = withData;
                    break;
                }
                if (withData)
                    reach(k + width);
                entry = second[NodeOffset(rootEntry) + uint32_t((window << k) >> (64 - width))];
            }
        }
        if (!(entry & kLeaf))
            break;
        // Padding bits beyond the held ones are not taken from anywhere.
        lastEntry = entry;
        symbols[n++] = LeafSymbol(entry);
        in.Consume(std::min(LeafLength(entry), held));
    }
    const uint64_t consumed = in.Consumed(data);
    if (n > 0 && withData)
        reached = std::max(reached, consumed - uint64_t(LeafLength(lastEntry)) + uint64_t(LeafLookup(lastEntry)));
    decoded = n;

    if (!withData) {
        const int left = m_iSpareCount - int(consumed);
        m_iSpare = left > 0 ? m_iSpare & (left >= 32 ? ~0u : (1u << left) - 1) : 0;
        m_iSpareCount = left;
        return;
    }

    // Bytes any lookup touched are consumed; the bits of them not yet used by
    // a symbol stay in the spare register. When the bytes ran short of a full
    // lookup, the rest of the bytes are parked there too.
    const uint64_t prefix = uint64_t(m_iSpareCount);
    uint64_t bytes = reached > prefix ? (reached - prefix + 7) / 8 : 0;
    if (outOfBits)
        while (bytes < length && prefix + 8 * bytes - consumed <= 24)
            ++bytes;
    const uint64_t spareCount = prefix + 8 * bytes - consumed;
    if (spareCount > 32)
        throw FExceptionHuffman("Overflow of spare bits register");
    const uint32_t spare = StreamBits(data, length, consumed, int(spareCount));
    m_iSpare = spare;
    m_iSpareCount = int(spareCount);
    position = uint32_t(bytes);
}
