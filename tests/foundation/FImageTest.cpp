#include "foundation/FImage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <memory>

#include "foundation/FException.h"
#include "foundation/FMemoryAllocator.h"
#include "foundation/FPixmap.h"

namespace {

// Images are released, never deleted; this keeps a test's image released
// whatever happens in between.
struct Released {
    void operator()(FImage* image) const { image->Release(); }
};
using ImagePtr = std::unique_ptr<FImage, Released>;

ImagePtr MakeImage(int32_t columns, int32_t rows, int32_t type, int32_t alignment)
{
    return ImagePtr(new FImage(columns, rows, type, alignment));
}

TEST(FImageTest, RowsAreAlignedAndTheHeaderHasTheTypesClass)
{
    struct Case {
        int32_t columns, rows, type, alignment, rowBytes;
    };
    const Case cases[] = {
        {5, 2, 7, 4, 16}, {5, 2, 7, 1, 15}, {5, 2, 7, 0, 15}, {3, 3, 13, 4, 12},
        {3, 1, 16, 4, 20}, {3, 1, 1, 8, 8},  {0, 4, 15, 4, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.columns << "x" << c.rows << " type " << c.type << " align " << c.alignment);
        ImagePtr image = MakeImage(c.columns, c.rows, c.type, c.alignment);
        const FPixmap* pixmap = image->GetPixmap();
        EXPECT_EQ(pixmap->m_iRowBytes, c.rowBytes);
        EXPECT_EQ(pixmap->m_iColumns, c.columns);
        EXPECT_EQ(pixmap->GetRows(), c.rows);
        EXPECT_EQ(pixmap->GetPixelType(), c.type);
        EXPECT_EQ(image->GetPixelType(), c.type);
        EXPECT_EQ(dynamic_cast<const FPixmap_Display*>(pixmap) != nullptr, c.type == 13);
        // The whole buffer is writable (the address sanitizer watches its end).
        if (c.rows > 0 && c.rowBytes > 0)
            std::memset(pixmap->m_pData, 0x5A, static_cast<size_t>(c.rows) * c.rowBytes);
    }
}

TEST(FImageTest, BytesPerPixelFollowTheType)
{
    const int32_t expected[18] = {0, 1, 2, 2, 2, 4, 3, 3, 4, 4, 4, 4, 4, 4, 4, 6, 6, 6};
    for (int32_t type = 1; type <= 17; ++type) {
        SCOPED_TRACE(type);
        EXPECT_EQ(MakeImage(2, 1, type, 4)->GetBytesPerPixel(), expected[type]);
    }
}

TEST(FImageTest, RefusedImagesHoldNoMemory)
{
    const uint32_t holders = GetMemoryAllocatorRefCount();
    for (int32_t type : {18, 19, 0, 20}) {
        SCOPED_TRACE(type);
        try {
            FImage image(10, 10, type, 4);
            ADD_FAILURE() << "no exception";
        } catch (const FExceptionUnknownPixelType& e) {
            EXPECT_STREQ(e.GetMessage(), "FImage::GetBytesPerPixel()");
            EXPECT_STREQ(e.GetDescription(), "Unknown pixel type");
        }
    }
    // Sizes beyond the header's 32-bit fields, or negative ones.
    EXPECT_THROW(FImage(std::numeric_limits<int32_t>::max() / 4, 1, 16, 4), FExceptionPixmap);
    EXPECT_THROW(FImage(std::numeric_limits<int32_t>::max() - 1, 1, 1, 4), FExceptionPixmap);
    EXPECT_THROW(FImage(-1, 1, 7, 4), FExceptionPixmap);
    EXPECT_THROW(FImage(1, -1, 7, 4), FExceptionPixmap);
    EXPECT_EQ(GetMemoryAllocatorRefCount(), holders);
}

TEST(FImageTest, SameFormatMeansSameSizeAndType)
{
    ImagePtr a = MakeImage(640, 480, 13, 4);
    ImagePtr b = MakeImage(640, 480, 13, 1);
    ImagePtr c = MakeImage(640, 480, 11, 4);
    ImagePtr d = MakeImage(480, 640, 13, 4);
    EXPECT_TRUE(a->IsSameFormat(b.get()));
    EXPECT_FALSE(a->IsSameFormat(c.get()));
    EXPECT_FALSE(a->IsSameFormat(d.get()));
    EXPECT_FALSE(a->IsSameFormat(nullptr));
}

TEST(FImageTest, ASingleReleaseDestroysTheImage)
{
    const uint32_t holders = GetMemoryAllocatorRefCount();
    FImage* image = new FImage(4, 4, 16, 4);
    EXPECT_EQ(GetMemoryAllocatorRefCount(), holders + 1);
    EXPECT_EQ(image->Release(), 0);
    EXPECT_EQ(GetMemoryAllocatorRefCount(), holders);
}

}  // namespace
