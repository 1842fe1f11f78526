#include "managers/IPMCacheEntry.h"

#include "foundation/FCache.h"
#include "foundation/FPixmap.h"
#include "foundation/FString.h"
#include "managers/FIPMImage.h"
#include "managers/FRotation16.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(IPMCacheEntryTest, EntriesHoldTheirDataBehindAFreshHeader)
{
    // The data parts: 65536 entries of one or three channels, rows of padded
    // row bytes (display pixels are 4 bytes, 100 x 400 bytes of rows).
    EXPECT_EQ(LUTCacheEntrySize(true) - LUTCacheEntrySize(false), 65536u * 4);
    EXPECT_GE(LUTCacheEntrySize(false), 65536u * 2);
    EXPECT_GE(PixmapCacheEntrySize(FPixmap::PIXEL_32_BGRA, 100, 100), 40000u);
    EXPECT_EQ(PixmapCacheEntrySize(FPixmap::PIXEL_24_RGB, 5, 3) - PixmapCacheEntrySize(FPixmap::PIXEL_24_RGB, 5, 2),
              16u); // 15 bytes padded to 16

    FICacheObject* entry = GetPixmapCacheEntry(FString("IPMCacheEntryTest-pixmap"), FPixmap::PIXEL_48S_RGB, 7, 5);
    ASSERT_NE(entry, nullptr);
    FPixmapEntryHeader& header = *PixmapEntryHeader(entry);
    EXPECT_FALSE(IsEntryDone(header.m_bDone));
    EXPECT_NE(header.m_pMutex, nullptr);
    EXPECT_EQ(header.m_ResumeState.m_aWords[0], 0u);
    EXPECT_EQ(header.m_pScratch, nullptr);
    const FPixmap& pixmap = *header.m_pPixmap;
    EXPECT_EQ(pixmap.GetPixelType(), FPixmap::PIXEL_48S_RGB);
    EXPECT_EQ(pixmap.m_iColumns, 7);
    EXPECT_EQ(pixmap.m_iRowBytes, 44);
    uint8_t* end = static_cast<uint8_t*>(entry->GetData()) + entry->GetSize();
    EXPECT_EQ(pixmap.GetRow(4) + 44, end); // the rows end the block
    EXPECT_TRUE(AttachScratchPixmap(entry, FPixmap::PIXEL_48S_RGB, 7, 3));

    // Found again by its label, whatever size is asked for.
    FICacheObject* again = GetPixmapCacheEntry(FString("IPMCacheEntryTest-pixmap"), FPixmap::PIXEL_48S_RGB, 70, 50);
    EXPECT_EQ(again, entry);
    again->Unlock();
    entry->Unlock();

    FICacheObject* lut = GetLUTCacheEntry(FString("IPMCacheEntryTest-lut"), true);
    ASSERT_NE(lut, nullptr);
    EXPECT_TRUE(LUTEntryHeader(lut)->m_bColorLUT);
    int16_t* table = LUTEntryHeader(lut)->m_pTable;
    table[65536 * 3 - 1] = 7; // the last entry lies inside the block
    EXPECT_LE(reinterpret_cast<uint8_t*>(table + 65536 * 3), static_cast<uint8_t*>(lut->GetData()) + lut->GetSize());
    lut->Unlock();
}

TEST(IPMCacheEntryTest, AResultImageHoldsItsEntryUntilItsLastReference)
{
    const FString label("IPMCacheEntryTest-image");
    FICacheObject* entry = GetPixmapCacheEntry(label, FPixmap::PIXEL_32_BGRA, 2, 2);
    ASSERT_NE(entry, nullptr);
    std::memset(PixmapEntryHeader(entry)->m_pPixmap->m_pData, 255, 16);
    FIPMImage* image = new FIPMCommon::Image(entry);
    entry->Unlock();
    EXPECT_EQ(image->GetCachedHistogram(), nullptr);
    EXPECT_EQ(image->GetHistogram()->m_iTotal, 4);
    image->AddRef();
    image->Release();

    // Locked by the image: not evicted by a limit that leaves no room.
    FICache* cache = GetGlobalCache();
    const uint32_t limit = cache->GetSizeLimit();
    cache->SetSizeLimit(1);
    EXPECT_TRUE(cache->Contains(label, 0));
    image->Release(); // the last one: the entry is unlocked once and may go
    cache->SetSizeLimit(1);
    EXPECT_FALSE(cache->Contains(label, 0));
    cache->SetSizeLimit(limit);
}

TEST(IPMCacheEntryTest, RectanglesTurnWithThePicture)
{
    struct Case {
        double angle;
        FIntRect rect;
        FIntRect turned;
        int width, height;
    };
    const Case cases[] = {
        {0, {10, 20, 110, 220}, {10, 20, 110, 220}, 600, 400},
        {90, {0, 0, 600, 400}, {-1, 0, 399, 600}, 400, 600},
        {180, {0, 0, 600, 400}, {-1, -1, 599, 399}, 600, 400},
        {-90, {0, 0, 600, 400}, {0, -1, 400, 599}, 400, 600},
        {90, {100, 50, 200, 80}, {319, 100, 349, 200}, 400, 600},
    };
    for (const Case& c : cases) {
        FIntRect rect = c.rect;
        FIntSize size(600, 400);
        RotateRectBounds(rect, size, c.angle);
        EXPECT_EQ(rect.left, c.turned.left) << c.angle;
        EXPECT_EQ(rect.top, c.turned.top) << c.angle;
        EXPECT_EQ(rect.right, c.turned.right) << c.angle;
        EXPECT_EQ(rect.bottom, c.turned.bottom) << c.angle;
        EXPECT_EQ(size.width, c.width) << c.angle;
        EXPECT_EQ(size.height, c.height) << c.angle;
    }
}
