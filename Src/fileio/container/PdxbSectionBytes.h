#pragma once
// The coded bytes of one section, wherever they lie: already in memory, or in
// the file, read on demand into the decoder's own window. A decoder that walks
// its data from front to back holds only a window of it, so a load needs
// little more memory than its output image.

#include <cstddef>
#include <cstdint>

struct FByteSpan {
    const uint8_t* data = nullptr;
    size_t size = 0;
};

class FSectionBytes {
public:
    virtual ~FSectionBytes() = default;

    virtual uint64_t Size() const = 0;
    // True when From reads into the caller's window (which must then hold
    // `want` bytes); false when it points into memory that holds the section.
    virtual bool NeedsWindow() const = 0;
    // The bytes from offset (at most Size()) on: at least min(want, Size() -
    // offset) of them, valid until the next call with the same window.
    virtual FByteSpan From(uint64_t offset, size_t want, uint8_t* window) = 0;
};

// A section already in memory: every span reaches to its end, nothing is copied.
class FMemorySectionBytes final : public FSectionBytes {
public:
    FMemorySectionBytes(const uint8_t* data, uint64_t size) : m_pData(data), m_iSize(data ? size : 0) {}

    uint64_t Size() const override { return m_iSize; }
    bool NeedsWindow() const override { return false; }
    FByteSpan From(uint64_t offset, size_t, uint8_t*) override
    {
        const uint64_t at = offset < m_iSize ? offset : m_iSize;
        return {m_pData + at, static_cast<size_t>(m_iSize - at)};
    }

private:
    const uint8_t* m_pData;
    uint64_t m_iSize;
};
