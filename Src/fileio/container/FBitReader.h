#pragma once
// A most-significant-bit-first reader over a byte span, shared by the Huffman
// and HuffmanM4 decoders. It keeps up to 64 bits in a left-aligned register so
// that a decoder looks at the next bits with one shift and one table lookup;
// each decoder keeps its own rules for what happens when the bits run out.
//
// Bits past the end of the span read as zeros and are never counted as
// available, so a decoder can look ahead freely and decide for itself whether
// a symbol that reaches into that padding is acceptable. Nothing is ever read
// outside the span.

#include <cstddef>
#include <cstdint>
#include <cstring>

class FBitReader {
public:
    // prefix: up to 32 bits (right-aligned, prefixCount of them) that come
    // before the span's first byte.
    FBitReader(const uint8_t* data, size_t size, uint32_t prefix = 0, int prefixCount = 0)
        : m_pNext(data), m_pEnd(data + size), m_iPrefix(prefixCount)
    {
        if (prefixCount > 0) {
            const uint64_t bits = prefixCount >= 32 ? prefix : prefix & ((uint32_t(1) << prefixCount) - 1);
            m_Buf = bits << (64 - prefixCount);
            m_iHave = prefixCount;
        }
        Refill();
    }

    // Fills the register to at least `minimum` bits (at most 56) while the span
    // has bytes left; a register still below that afterwards holds everything
    // that remains.
    void Refill(int minimum = 32)
    {
        if (m_iHave >= minimum)
            return;
        if (m_pEnd - m_pNext >= 8) {
            m_Buf |= LoadBE64(m_pNext) >> m_iHave;
            m_pNext += (63 - m_iHave) >> 3;
            m_iHave |= 56;
            return;
        }
        while (m_iHave <= 56 && m_pNext < m_pEnd) {
            m_Buf |= uint64_t(*m_pNext++) << (56 - m_iHave);
            m_iHave += 8;
        }
        // Whatever the fast path preloaded beyond the counted bits came from
        // bytes that have now been counted again; anything past the end must
        // read as zero.
        if (m_pNext == m_pEnd)
            m_Buf &= m_iHave == 0 ? 0 : ~uint64_t(0) << (64 - m_iHave);
    }

    // The register, left-aligned: the next bit is bit 63. Bits beyond
    // Available() are the stream's next bits or, past the end, zeros.
    uint64_t Window() const { return m_Buf; }
    // Bits held in the register; after Refill, below the minimum only at the end.
    int Held() const { return m_iHave; }

    // Drops n bits (n <= Held()).
    void Consume(int n)
    {
        m_Buf <<= n;
        m_iHave -= n;
    }

    // Bits consumed since construction, prefix included.
    uint64_t Consumed(const uint8_t* start) const
    {
        return uint64_t(m_iPrefix) + 8 * uint64_t(m_pNext - start) - uint64_t(m_iHave);
    }

    static uint64_t LoadBE64(const uint8_t* p)
    {
        uint64_t v;
        std::memcpy(&v, p, 8);
        return __builtin_bswap64(v);
    }

private:
    uint64_t m_Buf = 0;
    int m_iHave = 0;
    const uint8_t* m_pNext;
    const uint8_t* m_pEnd;
    int m_iPrefix;
};
