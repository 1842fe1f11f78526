#include "support/ExifBytes.h"

namespace testsupport {

void ExifBytes::PadTo(size_t size, uint8_t fill)
{
    if (m_Bytes.size() < size)
        m_Bytes.resize(size, fill);
}

void ExifBytes::Append(const std::vector<uint8_t>& bytes) { m_Bytes.insert(m_Bytes.end(), bytes.begin(), bytes.end()); }

void ExifBytes::PutU16(size_t position, uint16_t value)
{
    PadTo(position + 2);
    const auto bytes = U16s({value});
    std::copy(bytes.begin(), bytes.end(), m_Bytes.begin() + static_cast<std::ptrdiff_t>(position));
}

void ExifBytes::PutU32(size_t position, uint32_t value)
{
    PadTo(position + 4);
    const auto bytes = U32s({value});
    std::copy(bytes.begin(), bytes.end(), m_Bytes.begin() + static_cast<std::ptrdiff_t>(position));
}

size_t ExifBytes::AppendIfd(const std::vector<ExifRawEntry>& entries, uint32_t nextIfd)
{
    const size_t ifd = m_Bytes.size();
    size_t valueCursor = ifd + 2 + 12 * entries.size() + 4;
    PutU16(ifd, static_cast<uint16_t>(entries.size()));
    for (size_t i = 0; i < entries.size(); ++i) {
        const ExifRawEntry& e = entries[i];
        const size_t at = ifd + 2 + 12 * i;
        PutU16(at, e.tag);
        PutU16(at + 2, e.type);
        PutU32(at + 4, e.count);
        if (e.data.size() <= 4 && !e.offset) {
            PadTo(at + 12);
            std::copy(e.data.begin(), e.data.end(), m_Bytes.begin() + static_cast<std::ptrdiff_t>(at + 8));
        } else {
            PutU32(at + 8, e.offset ? *e.offset : OffsetOf(valueCursor));
            if (!e.offset)
                valueCursor += e.data.size();
        }
    }
    PutU32(ifd + 2 + 12 * entries.size(), nextIfd);
    for (const ExifRawEntry& e : entries)
        if (e.data.size() > 4 && !e.offset)
            Append(e.data);
    return ifd;
}

std::vector<uint8_t> ExifBytes::U16s(std::initializer_list<uint16_t> values) const
{
    std::vector<uint8_t> out;
    for (uint16_t v : values) {
        const uint8_t hi = static_cast<uint8_t>(v >> 8), lo = static_cast<uint8_t>(v);
        out.push_back(m_bBig ? hi : lo);
        out.push_back(m_bBig ? lo : hi);
    }
    return out;
}

std::vector<uint8_t> ExifBytes::U32s(std::initializer_list<uint32_t> values) const
{
    std::vector<uint8_t> out;
    for (uint32_t v : values)
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<uint8_t>(v >> (m_bBig ? 24 - 8 * i : 8 * i)));
    return out;
}

ExifRawEntry ExifBytes::Short(uint16_t tag, uint16_t value) const
{
    auto data = U16s({value, 0});
    return {tag, 3, 1, data, std::nullopt};
}

ExifRawEntry ExifBytes::Long(uint16_t tag, uint32_t value) const { return {tag, 4, 1, U32s({value}), std::nullopt}; }

ExifRawEntry ExifBytes::Rational(uint16_t tag, int32_t numerator, int32_t denominator, bool bSigned) const
{
    return {tag, static_cast<uint16_t>(bSigned ? 10 : 5), 1,
            U32s({static_cast<uint32_t>(numerator), static_cast<uint32_t>(denominator)}), std::nullopt};
}

ExifRawEntry ExifBytes::Ascii(uint16_t tag, const std::string& text) const
{
    std::vector<uint8_t> data(text.begin(), text.end());
    data.push_back(0);
    const uint32_t count = static_cast<uint32_t>(data.size());
    if (data.size() < 4)
        data.resize(4, 0);
    return {tag, 2, count, data, std::nullopt};
}

ExifRawEntry ExifBytes::Undefined(uint16_t tag, const std::vector<uint8_t>& bytes) const
{
    return {tag, 7, static_cast<uint32_t>(bytes.size()), bytes, std::nullopt};
}

} // namespace testsupport
