// The movie library as the program meets it: a shared library that exports
// its classes and nothing else, whose records, filled and freed by library
// code, cross into the program, and which shares the program's window layer.
// This test links libTKRMovie.so itself.
#include "movie/TKRMovie.h"
#include "platform/afx/AfxWin.h"
#include "platform/testing/Headless.h"
#include "support/MovieWriter.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

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
             "CTMDirectShowBase::LoadFile(char16_t const*, CWnd*, int, long, long)",
             "CTMDirectShowBase::AttachPreviewWindow(CWnd*, CRect)",
             "CTMDirectShowBase::GetEventCode(int*, int*, int*)",
             "CTMDirectShowBase::SendNotifyDXMessage(unsigned int, int, int)",
             "CTMDirectShowBase::EncodeFile(CTMEncodeData*)",
             "CTMDirectShowBase::PressAVIFileThread(void*)",
             "CTMDirectImageBase::CreateThumbCash(HWND__*, char16_t const*)",
             "CTMDirectImageBase::CreateThumbCash(HDC__*, char16_t const*)",
             "CTMEncodeData::Init()",
             "CTMEncodeData::operator=(CTMEncodeData const&)",
             "vtable for CTMDirectShowBase",
         })
        EXPECT_NE(symbols.find(member), std::string::npos) << member;
    // The back end and the core's units linked into the library stay inside;
    // the window layer is the program's shared one, not a copy of its own.
    for (const char* hidden : {"tkrmovie::", "FString", "FByteReader", "PathToNative", "Utf16ToUtf8",
                               "RegisterWindowMessageW", "PostMessageW", "CWnd::FromHandle"})
        EXPECT_EQ(symbols.find(hidden), std::string::npos) << hidden;
}

// Takes the library's registered notification.
class NotifiedWindow : public CWnd {
public:
    std::vector<std::pair<WPARAM, LPARAM>> notified;

protected:
    afx_msg LRESULT OnNotify(WPARAM wParam, LPARAM lParam)
    {
        notified.emplace_back(wParam, lParam);
        return 0;
    }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(NotifiedWindow, CWnd)
    ON_REGISTERED_MESSAGE(TM_DIRECTXNOTIFY_MESSAGE, OnNotify)
END_MESSAGE_MAP()

TEST(MovieLibraryTest, TheLibraryAndTheProgramHoldTheSameRegisteredMessages)
{
    platform::testing::Init();
    EXPECT_GE(TM_DIRECTXNOTIFY_MESSAGE, WM_REGISTERED_FIRST);
    EXPECT_GE(TM_DIRECTXMUSICNOTIFY_MESSAGE, WM_REGISTERED_FIRST);
    EXPECT_NE(TM_DIRECTXNOTIFY_MESSAGE, TM_DIRECTXMUSICNOTIFY_MESSAGE);
    EXPECT_EQ(::RegisterWindowMessageW(u"TM_DIRECTXMUSICNOTIFY_MESSAGE"), TM_DIRECTXMUSICNOTIFY_MESSAGE);

    // The library posts and sends its number into the program's queue: it
    // reaches the program's window under the program's number.
    NotifiedWindow window;
    ASSERT_TRUE(window.CreateEx(0, u"Notified", u"", WS_POPUP, RECT{0, 0, 40, 30}, nullptr, 0));
    CTMDirectShowBase player;
    player.AttachPreviewWindow(&window, CRect());
    player.SendNotifyDXMessage(3, 4, 0);
    platform::testing::Pump();
    player.SendNotifyDXMessage(5, 6, 1);
    EXPECT_EQ(window.notified, (std::vector<std::pair<WPARAM, LPARAM>>{{3, 4}, {5, 6}}));
}

TEST(MovieLibraryTest, ARecordFilledByTheLibraryIsFreedThroughIt)
{
    testsupport::TempDir dir;
    const auto movie = dir.Path() / "m.avi";
    testsupport::WriteMovie(movie, testsupport::MovieShape{});
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
