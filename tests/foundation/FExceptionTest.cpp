#include "foundation/FArray.h"
#include "foundation/FException.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

template <typename E>
std::function<const char*()> DescriptionOf()
{
    return [] {
        try {
            throw E("m");
        } catch (const FException& e) { // every class answers through the catch-all
            return e.GetDescription();
        }
    };
}

TEST(FException, EveryClassAnswersItsDescription)
{
    struct Case {
        const char* name;
        std::function<const char*()> description;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"FException", DescriptionOf<FException>(), "Pardex exception"},
        {"FArrayException", DescriptionOf<FArrayException>(), "FArrayException"},
        {"FExceptionIO", DescriptionOf<FExceptionIO>(), "General I/O exception"},
        {"FExceptionFileIO", DescriptionOf<FExceptionFileIO>(), "File I/O exception"},
        {"FExceptionFileRead", DescriptionOf<FExceptionFileRead>(), "File read failed"},
        {"FExceptionEOF", DescriptionOf<FExceptionEOF>(), "End-of-file"},
        {"FExceptionFileOpen", DescriptionOf<FExceptionFileOpen>(), "File open failed"},
        {"FExceptionFileNotFound", DescriptionOf<FExceptionFileNotFound>(), "File or path not found"},
        {"FExceptionFileWrite", DescriptionOf<FExceptionFileWrite>(), "File write failed"},
        {"FExceptionLaunchFailed", DescriptionOf<FExceptionLaunchFailed>(), "Application Launch Failed"},
        {"FExceptionSyncObject", DescriptionOf<FExceptionSyncObject>(), "Sync object exception"},
        {"FExceptionPixmap", DescriptionOf<FExceptionPixmap>(), "Pixmap exception"},
        {"FExceptionUnknownPixelType", DescriptionOf<FExceptionUnknownPixelType>(), "Unknown pixel type"},
        {"FExceptionBitDepthMismatch", DescriptionOf<FExceptionBitDepthMismatch>(),
         "Bit depths of the two pixel types don't match."},
        {"FExceptionPixelProc", DescriptionOf<FExceptionPixelProc>(), "Pixel processing exception"},
        {"FExceptionPpUnknownPixelType", DescriptionOf<FExceptionPpUnknownPixelType>(), "Unknown Pixel Type"},
        {"FExceptionPixelProc2", DescriptionOf<FExceptionPixelProc2>(), "Pixel processing2 exception"},
        {"FExceptionProperties", DescriptionOf<FExceptionProperties>(), "FHasProperties exception"},
        {"FExceptionConversion", DescriptionOf<FExceptionConversion>(), "FHasProperties conversion exception"},
        {"FExceptionEndOfList", DescriptionOf<FExceptionEndOfList>(), "FHasProperties end of list exception"},
        {"FExceptionTIFF", DescriptionOf<FExceptionTIFF>(), "General TIFF I/O exception"},
        {"FExceptionPixmapTooSmall", DescriptionOf<FExceptionPixmapTooSmall>(), "Pixmap too small"},
        {"FExceptionThumbTooBig", DescriptionOf<FExceptionThumbTooBig>(), "Thumbnail too big for Photoshop tag"},
        {"FExceptionWriteUninitialized", DescriptionOf<FExceptionWriteUninitialized>(),
         "SetDimensions() must be called before WriteLine()."},
        {"FExceptionJPEG", DescriptionOf<FExceptionJPEG>(), "General JPEG I/O exception"},
        {"FExceptionJPEGWriteUninitialized", DescriptionOf<FExceptionJPEGWriteUninitialized>(),
         "SetDimensions() must be called before WriteLine()."},
        {"FExceptionJPEGOutOfOrderOperation", DescriptionOf<FExceptionJPEGOutOfOrderOperation>(),
         "Operations on JPEG writer must be executed in a specified order."},
        {"FExceptionJPEGPixmapTooSmall", DescriptionOf<FExceptionJPEGPixmapTooSmall>(), "Pixmap too small."},
        {"FExceptionPdxbReader", DescriptionOf<FExceptionPdxbReader>(), "General Pdxb Reader I/O exception"},
        {"FExceptionNotAPdxb", DescriptionOf<FExceptionNotAPdxb>(), "This file is not a pdxb"},
        {"FExceptionPdxbIncompatible", DescriptionOf<FExceptionPdxbIncompatible>(), "Incompatible pdxb version"},
        {"FExceptionIndexOutOfRange", DescriptionOf<FExceptionIndexOutOfRange>(), "Index out of range"},
        {"FExceptionPdxbWriter", DescriptionOf<FExceptionPdxbWriter>(), "General Pdxb Writer I/O exception"},
        {"FExceptionPardexTag", DescriptionOf<FExceptionPardexTag>(), "PardexTag exception"},
        {"FExceptionPTUnknownTag", DescriptionOf<FExceptionPTUnknownTag>(), "Unknown PardexTag"},
        {"FExceptionHuffman", DescriptionOf<FExceptionHuffman>(), "Huffman coding exception"},
        {"FExceptionTIFFIndexOutOfRange", DescriptionOf<FExceptionTIFFIndexOutOfRange>(),
         "General TIFF I/O exception"},
        {"FExceptionJPEGIndexOutOfRange", DescriptionOf<FExceptionJPEGIndexOutOfRange>(),
         "General JPEG I/O exception"},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(c.description(), c.expected) << c.name;
}

TEST(FException, EofIsCaughtByEveryBaseWithItsOwnDescription)
{
    int caught = 0;
    auto expectEof = [&caught](const FException& e) {
        EXPECT_STREQ(e.GetDescription(), "End-of-file");
        EXPECT_STREQ(e.GetMessage(), "FIFile::ReadExact");
        ++caught;
    };
    try { throw FExceptionEOF("FIFile::ReadExact"); } catch (const FExceptionFileRead& e) { expectEof(e); }
    try { throw FExceptionEOF("FIFile::ReadExact"); } catch (const FExceptionFileIO& e) { expectEof(e); }
    try { throw FExceptionEOF("FIFile::ReadExact"); } catch (const FExceptionIO& e) { expectEof(e); }
    try { throw FExceptionEOF("FIFile::ReadExact"); } catch (const FException& e) { expectEof(e); }
    EXPECT_EQ(caught, 4);

    // Sibling branches do not catch each other.
    EXPECT_THROW(
        {
            try {
                throw FExceptionNotAPdxb("x");
            } catch (const FExceptionTIFF&) {
                ADD_FAILURE() << "a raw-reader exception was caught as a TIFF exception";
            }
        },
        FExceptionPdxbReader);
}

TEST(FException, MessageIsKeptVerbatim)
{
    EXPECT_STREQ(FException().GetMessage(), "");
    EXPECT_STREQ(FException("").GetMessage(), "");
    EXPECT_STREQ(FException(nullptr).GetMessage(), "");
    EXPECT_STREQ(FExceptionHuffman("100%s %d %n").GetMessage(), "100%s %d %n");

    // The copy made when throwing owns its own text.
    std::string text = "FImage::GetBytesPerPixel()";
    try {
        FExceptionUnknownPixelType original(text.c_str());
        text.assign(text.size(), 'x');
        throw original;
    } catch (const FException& e) {
        EXPECT_STREQ(e.GetMessage(), "FImage::GetBytesPerPixel()");
        EXPECT_STREQ(e.GetDescription(), "Unknown pixel type");
    }
}

void ExpectIndexError(const std::function<void()>& access)
{
    try {
        access();
        ADD_FAILURE() << "no exception";
    } catch (const FArrayException& e) {
        EXPECT_STREQ(e.GetMessage(), "Index out of range.");
        EXPECT_STREQ(e.GetDescription(), "FArrayException");
    }
}

TEST(FArray, OutOfRangeAccessThrowsAndTouchesNothing)
{
    FArray<FString> empty;
    ExpectIndexError([&] { empty[0]; });
    ExpectIndexError([&] { empty.RemoveAt(0); });

    FArray<int> a;
    a.Append(10);
    a.Append(20);
    ExpectIndexError([&] { a[2]; });
    ExpectIndexError([&] { a[-1]; });
    ExpectIndexError([&] { a.RemoveAt(2); });
    ExpectIndexError([&] { a.InsertAt(-1, 5); });
    const FArray<int>& constView = a;
    ExpectIndexError([&] { constView[2]; });
    ASSERT_EQ(a.GetCount(), 2);
    EXPECT_EQ(a[0], 10);
    EXPECT_EQ(a[1], 20);
}

TEST(FArray, InsertRemoveAndAppendAll)
{
    FArray<FString> a;
    a.Append(u"a");
    a.Append(u"c");
    a.InsertAt(5, FString(u"d")); // beyond the end appends
    a.InsertAt(1, FString(u"b"));
    ASSERT_EQ(a.GetCount(), 4);
    EXPECT_TRUE(a[0] == u"a");
    EXPECT_TRUE(a[1] == u"b");
    EXPECT_TRUE(a[2] == u"c");
    EXPECT_TRUE(a[3] == u"d");

    a.RemoveAt(0);
    a.AppendAll(a); // appending an array to itself doubles it once
    std::u16string joined;
    for (const FString& s : a)
        joined += s.GetText();
    EXPECT_EQ(joined, u"bcdbcd");

    a.RemoveAll();
    EXPECT_EQ(a.GetCount(), 0);
}

} // namespace
