#pragma once
// The payload of TIFF tag 37717: typed key/value items that have no standard
// TIFF tag (lens and exposure texts, adjustment values, neutral point, and every
// remaining property joined into one text). The TIFF line writer fills one and
// stores the serialised bytes as an array of 32-bit words.
//
// Payload layout (all words little-endian):
//   0  magic 0x76657231 ("1rev")    4  total length T      8  scramble flag
//   12 thirteen zero words          64 item count n
//   68 n index entries {key, data offset, data length}, then the item data.

#include <cstddef>
#include <cstdint>
#include <vector>

// Keys are four-character codes with the first character in the most
// significant byte: PardexKey("lens") == 0x6C656E73.
constexpr uint32_t PardexKey(const char (&code)[5])
{
    return static_cast<uint32_t>(static_cast<uint8_t>(code[0])) << 24 |
           static_cast<uint32_t>(static_cast<uint8_t>(code[1])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(code[2])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(code[3]));
}

class FPardexTag {
public:
    // Value types of the key table.
    enum : int {
        TYPE_UNKNOWN = 0,
        TYPE_INT = 1,
        TYPE_DOUBLE = 2,
        TYPE_TEXT = 3,
        TYPE_WORD_ARRAY = 4,
        TYPE_DOUBLE_ARRAY = 5,
    };
    static constexpr uint32_t kMagic = 0x76657231;
    static constexpr uint32_t kHeaderBytes = 64;
    // Header, item count.
    static constexpr uint32_t kEmptyPayloadBytes = kHeaderBytes + 4;
    static constexpr uint32_t kIndexEntryBytes = 12;

    FPardexTag();
    virtual ~FPardexTag();
    FPardexTag(const FPardexTag&) = delete;
    FPardexTag& operator=(const FPardexTag&) = delete;

    // False for a key outside the table; otherwise the key's item is replaced in
    // place or appended at the end.
    bool SetInt(uint32_t key, int32_t value);
    bool SetDouble(uint32_t key, double value);
    // The text is stored with its zero byte, padded to a multiple of 4.
    bool SetString(uint32_t key, const char* text);

    static bool IsKnownKey(uint32_t key) { return GetKeyType(key) != TYPE_UNKNOWN; }
    static int GetKeyType(uint32_t key);

    int GetItemCount() const { return static_cast<int>(m_Items.size()); }

    // Serialises the payload into buffer (replacing its contents) and sets length
    // to its size T. With bScramble, everything from the item count on is
    // scrambled (ScramblePardexBytes); the 64-byte header stays plain.
    bool GetBuffer(std::vector<uint8_t>& buffer, uint32_t& length, bool bScramble);

private:
    struct Item {
        uint32_t key = 0;
        uint32_t offset = 0;
        // Little-endian image of the value, already padded to its item length.
        std::vector<uint8_t> data;
    };

    Item& FindOrAppend(uint32_t key);
    // The item of a known key gets itemLength bytes, the first count of them
    // copied from bytes and the rest zero; false for an unknown key or when
    // the memory cannot be had.
    bool StoreItem(uint32_t key, const void* bytes, size_t count, size_t itemLength);
    void FillHeader(uint32_t totalLength, bool bScramble);

    std::vector<Item> m_Items;
    uint32_t m_Header[16] = {};
};

// The program's own scramble of the payload body: a position-keyed byte mask,
// so it keeps the length and applying it twice gives the original bytes.
void ScramblePardexBytes(uint8_t* data, size_t length);
