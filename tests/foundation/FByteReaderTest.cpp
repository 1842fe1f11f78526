#include "foundation/FByteReader.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace {

[[noreturn]] void ThrowOverrun(const char* what) { throw std::out_of_range(what); }

const uint8_t kBytes[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};

TEST(FByteReader, ReadsBothByteOrders)
{
    FByteReader r(kBytes, sizeof kBytes, ThrowOverrun);
    EXPECT_EQ(r.U16LE(), 0x0201);
    EXPECT_EQ(r.U16BE(), 0x0304);
    EXPECT_EQ(r.U32LE(), 0x08070605u);
    r.Seek(0);
    EXPECT_EQ(r.U64BE(), 0x0102030405060708ull);
    r.Seek(0);
    EXPECT_EQ(r.U64LE(), 0x0807060504030201ull);
    EXPECT_EQ(r.Remaining(), 0u);
}

TEST(FByteReader, EveryOverrunThrowsAndKeepsPosition)
{
    FByteReader r(kBytes, sizeof kBytes, ThrowOverrun);
    r.Seek(6);
    EXPECT_THROW(r.U32LE(), std::out_of_range);
    EXPECT_EQ(r.Position(), 6u);
    EXPECT_THROW(r.Skip(3), std::out_of_range);
    EXPECT_THROW(r.Seek(9), std::out_of_range);
    EXPECT_THROW(r.Take(UINT64_MAX), std::out_of_range);
    EXPECT_THROW(r.Sub(4, UINT64_MAX - 2), std::out_of_range);
    EXPECT_THROW(r.From(9), std::out_of_range);
    EXPECT_EQ(r.U16LE(), 0x0807);
}

TEST(FByteReader, SubViewIsConfinedToItsRange)
{
    FByteReader r(kBytes, sizeof kBytes, ThrowOverrun);
    FByteReader sub = r.Sub(2, 3);
    EXPECT_EQ(sub.U16LE(), 0x0403);
    EXPECT_EQ(sub.U8(), 0x05);
    EXPECT_THROW(sub.U8(), std::out_of_range);
    EXPECT_TRUE(FByteReader::Fits(8, 8, 0));
    EXPECT_FALSE(FByteReader::Fits(8, 9, 0));
    EXPECT_FALSE(FByteReader::Fits(8, 1, UINT64_MAX));
}

TEST(FByteReader, FourCCIsLittleEndian)
{
    EXPECT_EQ(FourCC("PDXb"), 0x62584450u);
}

} // namespace
