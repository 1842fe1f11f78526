#pragma once
// The writing side of FByteReader: numbers in either byte order and byte runs
// stored at positions of a caller's buffer. Every write is checked against
// the buffer first; one that would leave it calls the owner's handler, which
// throws the writer's own exception, and nothing is written.

#include "foundation/FByteReader.h"

#include <cstddef>
#include <cstdint>

class FByteWriter {
public:
    // Must throw; it is never allowed to return.
    using OverrunHandler = FByteReader::OverrunHandler;

    FByteWriter(void* data, size_t size, OverrunHandler onOverrun);

    size_t Size() const { return m_Size; }
    uint8_t* Data() const { return m_pData; }

    void PutU8(size_t position, uint8_t value);
    void PutU16LE(size_t position, uint16_t value);
    void PutU16BE(size_t position, uint16_t value);
    void PutU32LE(size_t position, uint32_t value);
    void PutU32BE(size_t position, uint32_t value);
    void PutU16(size_t position, uint16_t value, bool bigEndian)
    {
        bigEndian ? PutU16BE(position, value) : PutU16LE(position, value);
    }
    void PutU32(size_t position, uint32_t value, bool bigEndian)
    {
        bigEndian ? PutU32BE(position, value) : PutU32LE(position, value);
    }
    void PutBytes(size_t position, const void* bytes, size_t count);

private:
    uint8_t* Place(size_t position, size_t count) const;

    uint8_t* m_pData;
    size_t m_Size;
    OverrunHandler m_OnOverrun;
};
