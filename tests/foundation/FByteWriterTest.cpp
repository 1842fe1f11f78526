#include "foundation/FByteWriter.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace {

[[noreturn]] void ThrowOverrun(const char* what) { throw std::out_of_range(what); }

// What the writer stores, the reader reads back, in both byte orders.
TEST(FByteWriter, WritesWhatTheReaderReads)
{
    uint8_t bytes[13] = {};
    FByteWriter w(bytes, sizeof bytes, ThrowOverrun);
    w.PutU16LE(0, 0x0201);
    w.PutU16BE(2, 0x0304);
    w.PutU32LE(4, 0x08070605u);
    w.PutU32(8, 0x090A0B0Cu, true);
    w.PutU8(12, 0x0D);
    const std::vector<uint8_t> expected = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 13), expected);
    FByteReader r(bytes, sizeof bytes, ThrowOverrun);
    EXPECT_EQ(r.U16(false), 0x0201);
    EXPECT_EQ(r.U16(true), 0x0304);
    EXPECT_EQ(r.U32(false), 0x08070605u);
    EXPECT_EQ(r.U32(true), 0x090A0B0Cu);
}

// A write that would leave the buffer, by any amount and without overflow,
// throws and changes nothing.
TEST(FByteWriter, WritesOutsideTheBufferChangeNothing)
{
    std::vector<uint8_t> bytes(6, 0xEE);
    FByteWriter w(bytes.data(), bytes.size(), ThrowOverrun);
    EXPECT_THROW(w.PutU32LE(3, 0), std::out_of_range);
    EXPECT_THROW(w.PutU16BE(5, 0), std::out_of_range);
    EXPECT_THROW(w.PutU8(6, 0), std::out_of_range);
    EXPECT_THROW(w.PutBytes(2, bytes.data(), SIZE_MAX - 1), std::out_of_range);
    EXPECT_EQ(bytes, std::vector<uint8_t>(6, 0xEE));
    w.PutBytes(6, nullptr, 0);
    FByteWriter none(nullptr, 8, ThrowOverrun);
    EXPECT_THROW(none.PutU8(0, 1), std::out_of_range);
}

} // namespace
