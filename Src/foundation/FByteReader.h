#pragma once
// A bounds-checked view of bytes with a read position. Every parser of the
// system reads its input through one of these: each read, seek and sub-view is
// checked against the view, and an overrun calls the owner's handler, which
// throws the parser's own exception. No read ever leaves the view.

#include <cstddef>
#include <cstdint>
#include <cstring>

class FByteReader {
public:
    // Must throw; it is never allowed to return.
    using OverrunHandler = void (*)(const char* what);

    FByteReader(const void* data, size_t size, OverrunHandler onOverrun);

    size_t Size() const { return m_Size; }
    size_t Position() const { return m_Pos; }
    size_t Remaining() const { return m_Size - m_Pos; }
    const uint8_t* Data() const { return m_pData; }

    void Seek(uint64_t position);
    void Skip(uint64_t count);

    uint8_t U8();
    uint16_t U16LE();
    uint16_t U16BE();
    uint32_t U32LE();
    uint32_t U32BE();
    uint64_t U64LE();
    uint64_t U64BE();
    int16_t I16LE() { return static_cast<int16_t>(U16LE()); }
    int16_t I16BE() { return static_cast<int16_t>(U16BE()); }
    int32_t I32LE() { return static_cast<int32_t>(U32LE()); }
    int32_t I32BE() { return static_cast<int32_t>(U32BE()); }
    uint16_t U16(bool bigEndian) { return bigEndian ? U16BE() : U16LE(); }
    uint32_t U32(bool bigEndian) { return bigEndian ? U32BE() : U32LE(); }

    // Copies count bytes out and advances.
    void Read(void* destination, uint64_t count);
    // Returns a pointer to the next count bytes (valid while the data lives) and advances.
    const uint8_t* Take(uint64_t count);

    // A reader over [offset, offset + length) of this view, position 0, same handler.
    FByteReader Sub(uint64_t offset, uint64_t length) const;
    // Same as Sub, but from offset to the end of this view.
    FByteReader From(uint64_t offset) const;

    // True when [offset, offset + length) lies inside a buffer of the given size,
    // without overflow for any 64-bit inputs.
    static bool Fits(uint64_t size, uint64_t offset, uint64_t length)
    {
        return offset <= size && length <= size - offset;
    }

private:
    void Require(uint64_t count, const char* what) const;

    const uint8_t* m_pData;
    size_t m_Size;
    size_t m_Pos = 0;
    OverrunHandler m_OnOverrun;
};

// Four-character codes are compared as little-endian 32-bit words: "PDXb" is
// 'P' | 'D' << 8 | 'X' << 16 | 'b' << 24.
constexpr uint32_t FourCC(const char (&code)[5])
{
    return static_cast<uint32_t>(static_cast<uint8_t>(code[0])) |
           static_cast<uint32_t>(static_cast<uint8_t>(code[1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(code[2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(code[3])) << 24;
}
