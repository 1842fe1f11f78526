#include "foundation/FByteWriter.h"

#include <cstdlib>
#include <cstring>

FByteWriter::FByteWriter(void* data, size_t size, OverrunHandler onOverrun)
    : m_pData(static_cast<uint8_t*>(data)), m_Size(data ? size : 0), m_OnOverrun(onOverrun)
{
}

uint8_t* FByteWriter::Place(size_t position, size_t count) const
{
    if (!FByteReader::Fits(m_Size, position, count)) {
        m_OnOverrun("write outside the buffer");
        std::abort(); // the handler must throw; never write past the buffer if it did not
    }
    return m_pData + position;
}

void FByteWriter::PutU8(size_t position, uint8_t value) { *Place(position, 1) = value; }

void FByteWriter::PutU16LE(size_t position, uint16_t value)
{
    uint8_t* p = Place(position, 2);
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
}

void FByteWriter::PutU16BE(size_t position, uint16_t value)
{
    uint8_t* p = Place(position, 2);
    p[0] = static_cast<uint8_t>(value >> 8);
    p[1] = static_cast<uint8_t>(value);
}

void FByteWriter::PutU32LE(size_t position, uint32_t value)
{
    uint8_t* p = Place(position, 4);
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(value >> (8 * i));
}

void FByteWriter::PutU32BE(size_t position, uint32_t value)
{
    uint8_t* p = Place(position, 4);
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

void FByteWriter::PutBytes(size_t position, const void* bytes, size_t count)
{
    uint8_t* p = Place(position, count);
    if (count)
        std::memcpy(p, bytes, count);
}
