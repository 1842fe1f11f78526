#include "foundation/FByteReader.h"

#include <cstdlib>

FByteReader::FByteReader(const void* data, size_t size, OverrunHandler onOverrun)
    : m_pData(static_cast<const uint8_t*>(data)), m_Size(data ? size : 0), m_OnOverrun(onOverrun)
{
}

void FByteReader::Require(uint64_t count, const char* what) const
{
    if (Fits(m_Size, m_Pos, count))
        return;
    m_OnOverrun(what);
    std::abort(); // the handler must throw; never read past the view if it did not
}

void FByteReader::Seek(uint64_t position)
{
    if (position > m_Size) {
        m_OnOverrun("seek past the end of the data");
        std::abort();
    }
    m_Pos = static_cast<size_t>(position);
}

void FByteReader::Skip(uint64_t count)
{
    Require(count, "skip past the end of the data");
    m_Pos += static_cast<size_t>(count);
}

uint8_t FByteReader::U8()
{
    Require(1, "read past the end of the data");
    return m_pData[m_Pos++];
}

uint16_t FByteReader::U16LE()
{
    const uint8_t* p = Take(2);
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

uint16_t FByteReader::U16BE()
{
    const uint8_t* p = Take(2);
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

uint32_t FByteReader::U32LE()
{
    const uint8_t* p = Take(4);
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint32_t FByteReader::U32BE()
{
    const uint8_t* p = Take(4);
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

uint64_t FByteReader::U64LE()
{
    const uint64_t low = U32LE();
    return low | uint64_t(U32LE()) << 32;
}

uint64_t FByteReader::U64BE()
{
    const uint64_t high = U32BE();
    return high << 32 | U32BE();
}

void FByteReader::Read(void* destination, uint64_t count)
{
    const uint8_t* p = Take(count);
    if (count)
        std::memcpy(destination, p, static_cast<size_t>(count));
}

const uint8_t* FByteReader::Take(uint64_t count)
{
    Require(count, "read past the end of the data");
    const uint8_t* p = m_pData + m_Pos;
    m_Pos += static_cast<size_t>(count);
    return p;
}

FByteReader FByteReader::Sub(uint64_t offset, uint64_t length) const
{
    if (!Fits(m_Size, offset, length)) {
        m_OnOverrun("range outside the data");
        std::abort();
    }
    return FByteReader(m_pData + offset, static_cast<size_t>(length), m_OnOverrun);
}

FByteReader FByteReader::From(uint64_t offset) const
{
    if (offset > m_Size) {
        m_OnOverrun("offset outside the data");
        std::abort();
    }
    return Sub(offset, m_Size - offset);
}
