#include "fileio/metadata/FPardexTag.h"

#include "foundation/FByteWriter.h"
#include "foundation/FException.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <string>

namespace {

struct KeyEntry {
    uint32_t key;
    int type;
};

constexpr uint32_t DisKey(uint8_t last) { return (PardexKey("dis ") & 0xFFFFFF00u) | last; }
constexpr uint32_t DitKey(uint8_t last) { return (PardexKey("dit ") & 0xFFFFFF00u) | last; }

// The 193 keys in look-up order. The 'dis'/'dit' codes between 'dism' and
// 'nred' are reserved by the file format; the program never sets them, but they
// stay known so that their items serialise with the right layout.
std::vector<KeyEntry> BuildKeyTable()
{
    using T = FPardexTag;
    std::vector<KeyEntry> table = {
        {PardexKey("lens"), T::TYPE_TEXT},   {PardexKey("lnuq"), T::TYPE_TEXT},
        {PardexKey("focl"), T::TYPE_DOUBLE}, {PardexKey("ffsp"), T::TYPE_DOUBLE},
        {PardexKey("sfsp"), T::TYPE_TEXT},   {PardexKey("issd"), T::TYPE_INT},
        {PardexKey("fssd"), T::TYPE_DOUBLE}, {PardexKey("sssd"), T::TYPE_TEXT},
        {PardexKey("ctmp"), T::TYPE_DOUBLE}, {PardexKey("drks"), T::TYPE_TEXT},
        {PardexKey("drkl"), T::TYPE_TEXT},   {PardexKey("camf"), T::TYPE_TEXT},
        {PardexKey("imgn"), T::TYPE_INT},    {PardexKey("roln"), T::TYPE_INT},
        {PardexKey("came"), T::TYPE_TEXT},   {PardexKey("excp"), T::TYPE_DOUBLE},
        {PardexKey("blkn"), T::TYPE_DOUBLE}, {PardexKey("cont"), T::TYPE_DOUBLE},
        {PardexKey("hilt"), T::TYPE_DOUBLE}, {PardexKey("cadr"), T::TYPE_DOUBLE},
        {PardexKey("cadg"), T::TYPE_DOUBLE}, {PardexKey("cadb"), T::TYPE_DOUBLE},
        {PardexKey("clsp"), T::TYPE_INT},    {PardexKey("rawh"), T::TYPE_WORD_ARRAY},
        {PardexKey("dish"), T::TYPE_WORD_ARRAY}, {PardexKey("disi"), T::TYPE_INT},
        {PardexKey("disj"), T::TYPE_TEXT},   {PardexKey("disk"), T::TYPE_INT},
        {PardexKey("disl"), T::TYPE_DOUBLE}, {PardexKey("dism"), T::TYPE_DOUBLE_ARRAY},
    };
    auto disRange = [&table](unsigned first, unsigned last, int type) {
        for (unsigned b = first; b <= last; ++b)
            table.push_back({DisKey(static_cast<uint8_t>(b)), type});
    };
    disRange(0x6E, 0x6F, T::TYPE_TEXT);
    disRange(0x70, 0x78, T::TYPE_INT);
    disRange(0x79, 0x83, T::TYPE_DOUBLE);
    disRange(0x84, 0x86, T::TYPE_DOUBLE_ARRAY);
    disRange(0xFF, 0xFF, T::TYPE_DOUBLE_ARRAY);
    for (unsigned b = 0x00; b <= 0x07; ++b)
        table.push_back({DitKey(static_cast<uint8_t>(b)), T::TYPE_DOUBLE_ARRAY});
    // 0x87-0x92: text, integer, word array, repeated.
    for (unsigned b = 0x87; b <= 0x92; ++b) {
        static constexpr int kCycle[3] = {T::TYPE_TEXT, T::TYPE_INT, T::TYPE_WORD_ARRAY};
        table.push_back({DisKey(static_cast<uint8_t>(b)), kCycle[(b - 0x87) % 3]});
    }
    disRange(0x93, 0x9A, T::TYPE_INT);
    disRange(0x9B, 0xA1, T::TYPE_WORD_ARRAY);
    disRange(0xA2, 0xA7, T::TYPE_DOUBLE);
    disRange(0xA8, 0xA8, T::TYPE_INT);
    disRange(0xA9, 0xA9, T::TYPE_DOUBLE);
    disRange(0xAA, 0xAA, T::TYPE_TEXT);
    // Nine groups of seven double arrays and one text.
    for (unsigned b = 0xAB; b <= 0xF2; ++b)
        table.push_back({DisKey(static_cast<uint8_t>(b)),
                         (b - 0xAB) % 8 == 7 ? T::TYPE_TEXT : T::TYPE_DOUBLE_ARRAY});
    disRange(0xF3, 0xF9, T::TYPE_DOUBLE_ARRAY);
    disRange(0xFA, 0xFE, T::TYPE_INT);
    const KeyEntry tail[] = {
        {PardexKey("nred"), T::TYPE_DOUBLE}, {PardexKey("ngrn"), T::TYPE_DOUBLE},
        {PardexKey("nblu"), T::TYPE_DOUBLE}, {PardexKey("ndat"), T::TYPE_TEXT},
        {PardexKey("nfnm"), T::TYPE_TEXT},   {PardexKey("nptx"), T::TYPE_INT},
        {PardexKey("npty"), T::TYPE_INT},    {PardexKey("exst"), T::TYPE_TEXT},
        {PardexKey("exsu"), T::TYPE_INT},
    };
    table.insert(table.end(), std::begin(tail), std::end(tail));
    return table;
}

const std::vector<KeyEntry>& KeyTable()
{
    static const std::vector<KeyEntry> table = BuildKeyTable();
    return table;
}

// The payload is sized before it is written: a write outside it is a fault of this code.
[[noreturn]] void ThrowWriteOutside(const char* what)
{
    throw FExceptionPardexTag((std::string("FPardexTag: ") + what).c_str());
}

// How many of the item's bytes its key's type serialises. An item set through a
// setter of another type never spills into its neighbour: the copy is bounded
// by the item's own length.
size_t SerialisedBytes(int type, size_t length)
{
    switch (type) {
    case FPardexTag::TYPE_INT: return std::min<size_t>(4, length);
    case FPardexTag::TYPE_DOUBLE: return std::min<size_t>(8, length);
    case FPardexTag::TYPE_TEXT: return length;
    case FPardexTag::TYPE_WORD_ARRAY: return length / 4 * 4;
    case FPardexTag::TYPE_DOUBLE_ARRAY: return length / 8 * 8;
    default: throw FExceptionPTUnknownTag("FPardexTag GetBuffer()");
    }
}

} // namespace

FPardexTag::FPardexTag() = default;

FPardexTag::~FPardexTag() = default;

int FPardexTag::GetKeyType(uint32_t key)
{
    for (const KeyEntry& entry : KeyTable())
        if (entry.key == key)
            return entry.type;
    return TYPE_UNKNOWN;
}

FPardexTag::Item& FPardexTag::FindOrAppend(uint32_t key)
{
    for (Item& item : m_Items)
        if (item.key == key)
            return item;
    m_Items.push_back(Item{key, 0, {}});
    return m_Items.back();
}

bool FPardexTag::StoreItem(uint32_t key, const void* bytes, size_t count, size_t itemLength)
{
    if (!IsKnownKey(key))
        return false;
    try {
        std::vector<uint8_t> data(itemLength, 0);
        if (count)
            std::memcpy(data.data(), bytes, count);
        Item& item = FindOrAppend(key);
        item.offset = 0;
        item.data = std::move(data);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool FPardexTag::SetInt(uint32_t key, int32_t value)
{
    uint8_t bytes[4];
    FByteWriter(bytes, sizeof bytes, ThrowWriteOutside).PutU32LE(0, static_cast<uint32_t>(value));
    return StoreItem(key, bytes, 4, 4);
}

bool FPardexTag::SetDouble(uint32_t key, double value)
{
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    uint8_t bytes[8];
    FByteWriter out(bytes, sizeof bytes, ThrowWriteOutside);
    out.PutU32LE(0, static_cast<uint32_t>(bits));
    out.PutU32LE(4, static_cast<uint32_t>(bits >> 32));
    return StoreItem(key, bytes, 8, 8);
}

bool FPardexTag::SetString(uint32_t key, const char* text)
{
    const size_t length = text ? std::strlen(text) : 0;
    // The payload's lengths are 32-bit words.
    if (length > std::numeric_limits<uint32_t>::max() - 8)
        return false;
    // The zero byte and the padding come from the item's zero fill.
    return StoreItem(key, text, length, (length + 1 + 3) / 4 * 4);
}

void FPardexTag::FillHeader(uint32_t totalLength, bool bScramble)
{
    std::fill(std::begin(m_Header), std::end(m_Header), 0u);
    m_Header[0] = kMagic;
    m_Header[1] = totalLength;
    m_Header[2] = bScramble ? 1 : 0;
}

bool FPardexTag::GetBuffer(std::vector<uint8_t>& buffer, uint32_t& length, bool bScramble)
{
    uint64_t total = kEmptyPayloadBytes + uint64_t(kIndexEntryBytes) * m_Items.size();
    for (const Item& item : m_Items)
        total += item.data.size();
    if (total > std::numeric_limits<uint32_t>::max())
        return false;

    FillHeader(static_cast<uint32_t>(total), bScramble);
    try {
        buffer.assign(static_cast<size_t>(total), 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    FByteWriter out(buffer.data(), buffer.size(), ThrowWriteOutside);
    for (size_t i = 0; i < 16; ++i)
        out.PutU32LE(4 * i, m_Header[i]);
    out.PutU32LE(kHeaderBytes, static_cast<uint32_t>(m_Items.size()));

    uint32_t offset = kEmptyPayloadBytes + kIndexEntryBytes * static_cast<uint32_t>(m_Items.size());
    size_t index = kEmptyPayloadBytes;
    for (Item& item : m_Items) {
        const uint32_t itemLength = static_cast<uint32_t>(item.data.size());
        out.PutU32LE(index, item.key);
        out.PutU32LE(index + 4, offset);
        out.PutU32LE(index + 8, itemLength);
        index += kIndexEntryBytes;
        item.offset = offset;
        offset += itemLength;
    }
    for (const Item& item : m_Items) {
        const size_t count = SerialisedBytes(GetKeyType(item.key), item.data.size());
        if (count)
            std::memcpy(&buffer[item.offset], item.data.data(), count);
    }
    if (bScramble)
        ScramblePardexBytes(buffer.data() + kHeaderBytes, buffer.size() - kHeaderBytes);
    length = static_cast<uint32_t>(total);
    return true;
}

void ScramblePardexBytes(uint8_t* data, size_t length)
{
    // A xorshift32 stream from a fixed seed: every byte is combined with a mask
    // that depends only on its position, which makes the scramble its own inverse.
    uint32_t state = 0x5DEECE66u;
    for (size_t i = 0; i < length; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        data[i] ^= static_cast<uint8_t>(state >> 24);
    }
}
