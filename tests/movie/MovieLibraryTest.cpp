// The movie library as the program meets it: a shared library that exports
// its classes and nothing else, and whose records, filled and freed by library
// code, cross into the program. This test links libTKRMovie.so itself.
#include "movie/TKRMovie.h"
#include "support/MovieWriter.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <string>

namespace {

// The dynamic symbols the library defines, demangled.
std::string ExportedSymbols()
{
    const std::string command = std::string("nm -DC --defined-only '") + TKRMOVIE_LIBRARY_FILE + "'";
    FILE* pipe = popen(command.c_str(), "r");
    std::string symbols;
    if (!pipe)
        return symbols;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0;)
        symbols.append(buffer, n);
    pclose(pipe);
    return symbols;
}

TEST(MovieLibraryTest, ExportsItsClassesAndHidesEverythingElse)
{
    const std::string symbols = ExportedSymbols();
    ASSERT_FALSE(symbols.empty()) << "nm could not read " << TKRMOVIE_LIBRARY_FILE;
    for (const char* member : {
             "CTMThumbnailData::Reset()",
             "CTMThumbnailData::CTMThumbnailData(CTMThumbnailData const&)",
             "CTMThumbnailData::operator=(CTMThumbnailData const&)",
             "typeinfo for CTMThumbnailData",
             "CTMAVIMediaInformation::operator=(CTMAVIMediaInformation const&)",
             "CTMAVIFileBase::GetAVIMediaData(char16_t const*, CTMAVIMediaInformation*)",
             "CTMAVIFileBase::GetTimeThumbnailImage(CTMThumbnailData*)",
             "CTMAVIFileBase::SaveAVIBitmap(char const*, CTMThumbnailData*)",
             "CTMAVIFileBase::~CTMAVIFileBase()",
             "CTMDirectImageBase::CTMDirectImageBase()",
             "CTMDirectImageBase::~CTMDirectImageBase()",
             "CTMDirectImageBase::GetTimeThumbnailImage(CTMThumbnailData*, int)",
             "CTMDirectImageBase::GetTimeThumbnailImage2(CTMThumbnailData*, int)",
             "CTMDirectImageBase::ThumbnailCancel()",
             "CTMDirectImageBase::ThreadCancel()",
             "CTMDirectImageBase::ThumbnailThreadBreak(unsigned int, unsigned long, long)",
             "CTMDirectImageBase::CreateThumbnailThread(void*)",
             "vtable for CTMDirectImageBase",
             "CTMDirectShowBase::~CTMDirectShowBase()",
             "CTMDirectShowBase::GetMediaFileType(char16_t const*)",
             "CTMDirectShowBase::GetPlayTotalSec(char16_t const*, long*)",
             "CTMDirectShowBase::GetDirectXVersion",
             "CTMDirectShowBase::GetDirectXVersionViaDxDiag",
             "CTMDirectShowBase::GetDeviceList",
             "CTMDirectShowBase::GetDeviceCompressorList",
             "CTMDirectShowBase::FindCompressDevice(emTMDEVICECATEGORY, char16_t const*)",
             "CTMDirectShowBase::GetResultFormatMessage",
         })
        EXPECT_NE(symbols.find(member), std::string::npos) << member;
    // The back end and the core's units linked into the library stay inside.
    for (const char* hidden : {"tkrmovie::", "FString", "FByteReader", "PathToNative", "Utf16ToUtf8"})
        EXPECT_EQ(symbols.find(hidden), std::string::npos) << hidden;
}

TEST(MovieLibraryTest, ARecordFilledByTheLibraryIsFreedThroughIt)
{
    testsupport::TempDir dir;
    const auto movie = dir.Path() / "m.avi";
    testsupport::WriteMovie(movie, testsupport::MovieSpec{});
    const FString wide = testsupport::WideFromUtf8(movie.string());

    CTMAVIMediaInformation info;
    ASSERT_EQ(CTMAVIFileBase::GetAVIMediaData(wide.GetText(), &info), 0);
    EXPECT_EQ(std::tolower(info.szHandler[0]), 'm');

    // As the browser does it: a record on the stack, a grab object on the
    // stack, header and pixels read, both destroyed.
    CTMThumbnailData record;
    std::copy_n(wide.GetText(), wide.GetLength() + 1, record.szFileName);
    record.llTime = 0;
    {
        CTMDirectImageBase grab;
        ASSERT_EQ(grab.GetTimeThumbnailImage2(&record, 0), 0);
    }
    EXPECT_EQ(record.dwBitsSize, 230400u);
    EXPECT_EQ(record.bmInfo.bmiHeader.biBitCount, 24);
    CTMThumbnailData copy = record; // a second buffer, freed by the library too
    EXPECT_NE(copy.GetBits(), record.GetBits());
}

} // namespace
