#pragma once
// Builds EXIF IFDs byte by byte in either byte order, so tests can hand the
// EXIF reader blocks that our own writer never makes: big-endian twins, shifted
// or broken offsets, truncated and cyclic structures.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

struct ExifRawEntry {
    uint16_t tag = 0;
    uint16_t type = 0;
    uint32_t count = 0;
    // The value in the block's byte order. Up to 4 bytes go into the entry;
    // longer values go behind the IFD unless offset is given.
    std::vector<uint8_t> data;
    // Stored as the value field instead of the real position (block offset).
    std::optional<uint32_t> offset;
};

class ExifBytes {
public:
    // basePosition: where block offset 0 lies in the bytes (6 for a JPEG APP1).
    explicit ExifBytes(bool bBigEndian, size_t basePosition = 0) : m_bBig(bBigEndian), m_Base(basePosition) {}

    bool BigEndian() const { return m_bBig; }
    std::vector<uint8_t>& Bytes() { return m_Bytes; }
    size_t Size() const { return m_Bytes.size(); }
    // Block offset of a position in the bytes.
    uint32_t OffsetOf(size_t position) const { return static_cast<uint32_t>(position - m_Base); }

    void PadTo(size_t size, uint8_t fill = 0);
    void Append(const std::vector<uint8_t>& bytes);
    void PutU16(size_t position, uint16_t value);
    void PutU32(size_t position, uint32_t value);

    // Appends the IFD and then the long values (in entry order); returns the
    // IFD's position.
    size_t AppendIfd(const std::vector<ExifRawEntry>& entries, uint32_t nextIfd = 0);

    // Value encoders in this block's order.
    std::vector<uint8_t> U16s(std::initializer_list<uint16_t> values) const;
    std::vector<uint8_t> U32s(std::initializer_list<uint32_t> values) const;

    ExifRawEntry Short(uint16_t tag, uint16_t value) const;
    ExifRawEntry Long(uint16_t tag, uint32_t value) const;
    ExifRawEntry Rational(uint16_t tag, int32_t numerator, int32_t denominator, bool bSigned = false) const;
    ExifRawEntry Ascii(uint16_t tag, const std::string& text) const;
    ExifRawEntry Undefined(uint16_t tag, const std::vector<uint8_t>& bytes) const;

private:
    bool m_bBig;
    size_t m_Base;
    std::vector<uint8_t> m_Bytes;
};

} // namespace testsupport
