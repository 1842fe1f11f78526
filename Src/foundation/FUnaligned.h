#pragma once
// Native-order 16- and 32-bit words at any byte address. Pixel rows and file
// buffers give no alignment guarantee, and memcpy is what compilers turn into a
// plain load or store where the target allows it.

#include <cstdint>
#include <cstring>

inline uint32_t Load16(const uint8_t* p)
{
    uint16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline uint32_t Load32(const uint8_t* p)
{
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline void Store16(uint8_t* p, uint32_t v)
{
    const uint16_t w = static_cast<uint16_t>(v);
    std::memcpy(p, &w, sizeof w);
}

inline void Store32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, sizeof v); }
